// A group of elements that sits as one element in a list, and the help text an element shows near the
// pointer when it rests on it.
#pragma once

#include <cstdint>

#include "framework/ui/eventhandler.h"

class TEventHandlerGroup : public MA_EventHandler {
 public:
  TEventHandlerGroup();
  ~TEventHandlerGroup() override;
  int OnPointerDown(int16_t x, int16_t y, uint8_t buttons) override;
  int OnPointerUp(int16_t x, int16_t y, uint8_t buttons) override;
  int OnChar(uint16_t code) override;
  int OnKeyUp(uint16_t code) override;
  int IsPointerOver(int16_t x, int16_t y, uint8_t buttons) override;
  int OnKeyDown(uint16_t code) override;
  int OnIdle() override;
  void Draw(int flag) override;
  void Erase(int flag) override;
  void SetFocus(int on) override;
  int HasFocus() override;
  int IsShownAndEnabled() override;
  virtual int16_t CreateList(uint32_t capacity);

  int16_t AddHandler(MA_EventHandler* element) { return list.AddHandler(element); }
  MA_EventHandler* RemoveHandler(MA_EventHandler* element) { return list.RemoveHandler(element); }
  void SetKeyNavigation(int on);

  TMA_EventHandlerList list;
};

constexpr uint32_t kHelpFramed = 1, kHelpFilled = 2, kHelpOwnFont = 4;

class THelpTextMixin {
 public:
  explicit THelpTextMixin(uint32_t style);
  THelpTextMixin(const THelpTextMixin&) = delete;
  THelpTextMixin& operator=(const THelpTextMixin&) = delete;
  virtual ~THelpTextMixin();
  void ReloadFont(const char* name);

  static void ShowHelpText(THelpTextMixin* mixin, const MARect& rect, int wanted);
  static void HideHelpText();
  static THelpTextMixin* BoxOwner();
  static const MARect& BoxRect();
  // Frees the shared help font (program end and tests).
  static void FreeSharedFont();

  const char* text = nullptr;
  int32_t x = 0, y = 0;
  uint32_t textColour = 0, backgroundColour = 0, fillColour = 0, outlineColour = 0;
  MemHandle font = 0;
  float delay = 0.0f;
  int32_t alignment = 4;
  uint32_t style = 0;
};

// Switches the busy pointer off and copies the whole back buffer, with the pointer, to the display at once.
void RedrawScreenNow();
