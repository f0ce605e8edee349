// Buttons drawn as their caption in one of four state colours, the dialog form of them, and the one-line edit box.
#pragma once

#include <string>

#include "frontend/control.h"

class CDialogADV;

class TTextButtonADV : public TGenericControlADV {
 public:
  // A null sample name gives the shared click sound "click1".
  TTextButtonADV(int32_t x, int32_t y, const char* caption, MemHandle font, uintptr_t parent, uint16_t hotKey, int unused,
                 uint16_t id, uint16_t kind, uint32_t stateFlags, uint32_t controlFlags, const char* sampleName);
  void Draw(int flag) override;
  // Each colour 0xRRGGBB; 0 picks the default (white, 0xAAAAAA, 0xFFFF50, 0xAA0000).
  void SetColors(uint32_t normal, uint32_t disabled, uint32_t focus, uint32_t pressedColour);
  virtual void SetText(const char* text);
  virtual void SetAnchor(int32_t x, int32_t y);  // y kept when -1
  virtual void Layout();
  const std::string& Text() const { return text_; }

  void Erase(int flag) override;  // through the owning dialog when there is one
  MemHandle font = 0;
  CDialogADV* dialog = nullptr;
  int32_t anchorX = 0, anchorY = 0;
  int32_t alignment = 1;  // 2 left, 1 centred, other right
  uint16_t colours[4] = {};

 protected:
  uint16_t StateColour();
  std::string text_;
};

// The dialog's text button: its erase repaints through the dialog; it needs no click handler to be usable.
class CDialogTxtBtn : public TTextButtonADV {
 public:
  using TTextButtonADV::TTextButtonADV;
  int IsShownAndEnabled() override { return MA_EventHandler::IsShownAndEnabled(); }
};

// A one-line edit box: a click (or a key while it has the focus) edits its text; Enter confirms.
class TTextEditBoxADV : public TTextButtonADV {
 public:
  TTextEditBoxADV(int32_t x, int32_t y, int32_t width, MemHandle font, uintptr_t parent, const char* text,
                  int32_t maxLength);
  int OnChar(uint16_t code) override;
  void Draw(int flag) override;
  void Layout() override;
  int IsShownAndEnabled() override { return MA_EventHandler::IsShownAndEnabled(); }
  int32_t width = 0, maxLength = 0;
};

// Index steps that wrap round a count.
inline int NextIndexWrap(int index, int count) { return index + 1 >= count ? 0 : index + 1; }
inline int PrevIndexWrap(int index, int count) { return index - 1 < 0 ? count - 1 : index - 1; }
