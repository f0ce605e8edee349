// The base of every front-end control: hot keys, hit test, press tracking with auto-repeat, help text, click
// sound, and the deferred fire that runs the click handler from the message loop once the click sound has ended.
#pragma once

#include <cstdint>

#include "framework/ui/handlergroup.h"
#include "windows.h"

struct ImageRecord;
struct WindowDesc;

// Control flags.
constexpr uint32_t CF_SELECTED = 0x01, CF_LATCHING = 0x02, CF_LATCHED = 0x04, CF_OWNS_TEXT = 0x08;
constexpr uint32_t CF_AUTO_FIRE = 0x10, CF_FIRE_PENDING = 0x20, CF_FIRE_ON_KEY_UP = 0x40, CF_OWNS_SOUND = 0x80;

constexpr UINT kControlFireMessage = 0x900;
constexpr WPARAM kControlFireCode = 0x901;
constexpr uint16_t kKindButton = 3;
constexpr uint16_t kKeyEscape = 27;

class TGenericControlADV;
using ClickHandler = void (*)(TGenericControlADV* control);

class TGenericControlADV : public MA_EventHandler, public THelpTextMixin {
 public:
  TGenericControlADV(uintptr_t dataWord, uint16_t hotKey, uint16_t id, uint16_t kind, uint32_t stateFlags,
                     uint32_t controlFlags, const char* sampleName);
  ~TGenericControlADV() override;

  int OnPointerDown(int16_t x, int16_t y, uint8_t buttons) override;
  int OnPointerUp(int16_t x, int16_t y, uint8_t buttons) override;
  int OnChar(uint16_t code) override;  // a hot key pressed
  int OnKeyUp(uint16_t code) override;
  int IsPointerOver(int16_t x, int16_t y, uint8_t buttons) override;  // the hit test
  int OnKeyDown(uint16_t code) override;                              // the hot-key match
  int OnIdle() override;
  void OnActivate(uint16_t code) override;  // the trigger
  void Erase(int flag) override;
  void OnFocusChanged() override;
  int IsShownAndEnabled() override;
  virtual void Fire();

  // Up to eight hot keys; the list keeps a zero word within its eight entries.
  void SetHotKeys(std::initializer_list<uint16_t> keys);
  // Own click sound from a sample name, or none; a shared menu sound by its index.
  void SetClickSound(const char* sampleName);
  void SetMenuSound(int index);
  // A click sound shared by a class of controls: played by name, never owned.
  void SetSharedSample(const char* sampleName);
  void ReleaseClickSound();
  void ClearPendingWhenSilent();
  // Posts the fire message of this control to the fire window.
  void PostFire();
  // The owning screen or dialog the data word holds.
  template <typename T>
  T* Owner() const {
    return reinterpret_cast<T*>(ownerWord);
  }

  ClickHandler clickHandler = nullptr;
  int32_t pressed = 0, pointerInside = 0, pressedWithRight = 0;
  int32_t pressX = 0, pressY = 0;
  uint8_t hitButton = 0;
  uint32_t controlFlags = 0;
  uint16_t matchedHotKey = 0;
  uintptr_t ownerWord = 0;

 protected:
  void PlayClickSound();

 private:
  const char* sampleName_ = nullptr;  // own sound's sample (CF_OWNS_SOUND)
  int menuSound_ = -1;                // shared menu sound, -1 none
  uint32_t playing_ = 0;              // handle of the click sound last started
};

// Runs the click handler of the control a fire message names; a control destroyed since its fire was posted is
// not run.
void DispatchControlFire(WPARAM first, LPARAM second);
bool ControlIsLive(const TGenericControlADV* control);
// Removes every queued fire message of the main window.
void DiscardQueuedFires();

// Erases a control and draws it again (a null control is ignored).
void RedrawControl(TGenericControlADV* control);
// The window the fire messages go to (the program's queue window; tests may set their own).
HWND FireWindow();
void SetFireWindow(HWND window);

// The darkened panel with its dithered frame, and the drop shadow, on a 16-bit window.
void DarkenPixel565(uint16_t* pixel, int base, int spread);
MARect DrawShadowFrame(const MARect& rect, int32_t depth, WindowDesc* image, MARect* out);
void DrawDropShadow(const MARect& rect, int32_t depth, MARect* out, WindowDesc* image);

// Front-end colours 0xRRGGBB (a top byte ignored) as 5-6-5 pixels.
constexpr uint16_t Pixel565(uint32_t c) {
  return static_cast<uint16_t>(((c & 0xF80000) >> 8) + ((c & 0xFC00) >> 5) + ((c >> 3) & 0x1F));
}
