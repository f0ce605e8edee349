#include "roundui/menubar.h"

#include <new>

#include "framework/core/errors.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "roundui/gameui.h"
#include "roundui/menubarlists.h"

namespace {

#define ROW(caption, shape, x0, x1, key, font) \
  MenuBarItem{caption, shape, {x0, x1, x1, x1, x1}, {454, 573, 740, 997, 1160}, nullptr, key, font}
MenuBarItem gItems[kMenuBarItems] = {
    ROW("", nullptr, 14, 18, 0, 15),
    ROW("", nullptr, 156, 195, 0, 15),
    ROW("", "smtear.fsh", 292, 365, 0, 14),
    ROW("Shot", "smtear.fsh", 368, 460, 's', 14),
    ROW("Settings", "smtear.fsh", 300, 375, 't', 16),
    ROW("Clubs", "smtear.fsh", 554, 707, 'l', 16),
    ROW("Ok", "smtear.fsh", 400, 500, 'o', 14),
    ROW("Mulligan", "smtear.fsh", 262, 328, 'm', 14),
    ROW("Tap-in", "smtear.fsh", 438, 548, 't', 14),
    ROW("Replay", "smtear.fsh", 332, 415, 'r', 14),
    ROW("", "smtear.fsh", 472, 590, 0, 14),
    ROW("Save shot", "smtear.fsh", 543, 679, 'a', 14),
    ROW("Concede", "smtear.fsh", 262, 328, 'e', 14),
    ROW("Drop", "smtear.fsh", 472, 590, 'd', 14),
    ROW("Rehit", "smtear.fsh", 401, 502, 'h', 14),
    ROW("Quit", "smtear.fsh", 192, 240, 'q', 14),
    ROW("DEMO MODE - PRESS THE SPACE BAR NOW TO QUIT", nullptr, 163, 240, 0, 14),
};
#undef ROW

TMenuBarADV* gBar = nullptr;
int gProxies = 0;

}  // namespace

MenuBarItem* MenuBarItemTable() { return gItems; }
TMenuBarADV* SharedMenuBar() { return gBar; }
int MenuBarProxies() { return gProxies; }

TMenuBarADV::TMenuBarADV() : MA_EventHandler(kHandlerShown | kHandlerEnabled, 0, kKindMenuBar, 0, 0) {
  // An empty rectangle at the bottom-left corner: the bar shows only its controls.
  left = right = 0;
  top = bottom = Facts().screenHeight;
  controls.CreateList(30);
}

TMenuBarADV::~TMenuBarADV() {
  for (uint32_t i = 0; MA_EventHandler* h = controls.At(i); ++i) {
    for (MenuBarItem& item : gItems)
      if (item.button == h) item.button = nullptr;
    // Its controls outlive the bar's body while the list is taken down: none may reach back into it.
    if (auto* b = dynamic_cast<TMenuBarGfxTxtBtn*>(h)) b->ownerWord = 0;
  }
  openItem = nullptr;
}

void TMenuBarADV::Draw(int redrawNow) {
  if (redrawNow) UpdateScreen();
  controls.DrawAll(redrawNow);
}

void TMenuBarADV::Erase(int redrawNow) {
  controls.EraseAll(redrawNow);
  if (redrawNow) UpdateScreen();
}

void TMenuBarADV::Enable(int on, int redraw) {
  controls.EnableEach(on);
  MA_EventHandler::Enable(on, redraw);
}

void TMenuBarADV::Show(int on, int redraw) {
  controls.ShowEach(on);
  MA_EventHandler::Show(on, redraw);
}

SharedEventHandler::SharedEventHandler() : MA_EventHandler(kHandlerShown | kHandlerEnabled, 0, 0, 0, 0) { ++gProxies; }

SharedEventHandler::~SharedEventHandler() {
  // The last proxy takes the bar with it.
  if (--gProxies == 0) {
    delete gBar;
    gBar = nullptr;
  }
}

int SharedEventHandler::OnPointerDown(int16_t x, int16_t y, uint8_t b) { return gBar ? gBar->controls.OnPointerDown(x, y, b) : 0; }
int SharedEventHandler::OnPointerUp(int16_t x, int16_t y, uint8_t b) { return gBar ? gBar->controls.OnPointerUp(x, y, b) : 0; }
int SharedEventHandler::OnChar(uint16_t code) { return gBar ? gBar->controls.OnChar(code) : 0; }
int SharedEventHandler::IsPointerOver(int16_t x, int16_t y, uint8_t b) { return gBar ? gBar->IsPointerOver(x, y, b) : 0; }
int SharedEventHandler::OnKeyDown(uint16_t code) { return gBar ? gBar->OnKeyDown(code) : 0; }
int SharedEventHandler::OnIdle() {
  if (gBar) gBar->controls.OnIdle();
  return 1;
}
void SharedEventHandler::Draw(int redrawNow) {
  if (gBar) gBar->Draw(redrawNow);
}
void SharedEventHandler::Erase(int redrawNow) {
  if (gBar) gBar->Erase(redrawNow);
}

int InstallMenuBar(TMA_EventHandlerList* list) {
  if (!list) return ERR_MEMORYFULL;
  auto* proxy = new (std::nothrow) SharedEventHandler;
  if (!proxy) return ERR_MEMORYFULL;
  if (!gBar) gBar = new (std::nothrow) TMenuBarADV;
  if (!gBar) {
    delete proxy;
    return ERR_MEMORYFULL;
  }
  return list->AddHandler(proxy);
}

int AddToMenuBar(TMenuBarADV* bar, MA_EventHandler* control) {
  if (!bar || !control) return ERR_MEMORYFULL;
  return bar->controls.AddHandler(control);
}

void EnableMenuBarItem(int item, int on) {
  if (item < 0 || item >= kMenuBarItems || item == 2 || !gItems[item].button) return;
  gItems[item].button->Activate(on, 1);
}

void EnableAfterShotItems(int on) {
  for (int item = 6; item <= 15; ++item) EnableMenuBarItem(item, on);
}

void EnableShotItems(int on) {
  const bool person = PersonToPlay();
  EnableMenuBarItem(3, person ? on : 0);
  EnableMenuBarItem(4, on);
  EnableMenuBarItem(5, person ? on : 0);
}
