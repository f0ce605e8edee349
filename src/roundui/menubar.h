// The in-round menu bar as one object shared by every in-round list that shows it: each list holds a small proxy
// that passes its events, drawing and erasing on to the bar, which lives while any proxy does. Beside it the
// table of the bar's 17 items (captions, places by screen size, hot keys, fonts) and the enabling of its groups.
#pragma once

#include <cstdint>

#include "framework/ui/eventhandler.h"

struct MenuBarItem {
  const char* caption;
  const char* shapeFile;  // "smtear.fsh" for items 2 to 15
  int16_t x[5], y[5];
  MA_EventHandler* button;
  char hotKey;
  int32_t fontSize;
};
constexpr int kMenuBarItems = 17;
MenuBarItem* MenuBarItemTable();

// The bar's own handler: the controls of the bar in a list of their own; its events go to them.
class TMenuBarADV : public MA_EventHandler {
 public:
  TMenuBarADV();
  ~TMenuBarADV() override;
  int OnPointerDown(int16_t, int16_t, uint8_t) override { return 0; }
  int OnPointerUp(int16_t, int16_t, uint8_t) override { return 0; }
  int OnIdle() override { return 1; }
  void Draw(int redrawNow) override;
  void Erase(int redrawNow) override;
  void Enable(int on, int redraw) override;
  void Show(int on, int redraw) override;
  TMA_EventHandlerList controls;
  MA_EventHandler* openItem = nullptr;
};

// The proxy an in-round list holds in place of the bar.
class SharedEventHandler : public MA_EventHandler {
 public:
  SharedEventHandler();
  ~SharedEventHandler() override;
  int OnPointerDown(int16_t x, int16_t y, uint8_t buttons) override;
  int OnPointerUp(int16_t x, int16_t y, uint8_t buttons) override;
  int OnChar(uint16_t code) override;
  int IsPointerOver(int16_t x, int16_t y, uint8_t buttons) override;
  int OnKeyDown(uint16_t code) override;
  int OnIdle() override;
  void Draw(int redrawNow) override;
  void Erase(int redrawNow) override;
};

// The shared bar (null while no proxy lives) and the proxies alive.
TMenuBarADV* SharedMenuBar();
int MenuBarProxies();
// Adds a proxy to the list, making the bar when it is the first; 0 or an error code.
int InstallMenuBar(TMA_EventHandlerList* list);
int AddToMenuBar(TMenuBarADV* bar, MA_EventHandler* control);
// Activates or deactivates the button of an item (nothing for item 2 or an item without one).
void EnableMenuBarItem(int item, int on);
// Items 6 to 15.
void EnableAfterShotItems(int on);
// "Shot", "Settings" and "Clubs": all three follow `on` on this machine's turn of a person; otherwise "Shot" and
// "Clubs" are off and "Settings" follows `on`.
void EnableShotItems(int on);
