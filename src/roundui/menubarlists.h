// The controls of the in-round menu bar: its text button (with an optional background picture) and the two
// buttons that drop a list above themselves, one a bar text button, one a picture button. A button of the bar that
// takes a press becomes the bar's open item, and the list of the item open before it closes.
#pragma once

#include <cstdint>
#include <string>

#include "frontend/graphicbutton.h"
#include "frontend/textbutton.h"
#include "roundui/clubbar.h"

class TMenuBarADV;

constexpr uint16_t kKindMenuBar = 13, kKindPopUpList = 16;

// The list half of a pop-up list button.
class TPopUpListPart {
 public:
  using Callback = void (*)(TPopUpListPart* owner);
  TPopUpListPart(int32_t x, int32_t bottom, int32_t width, int32_t rows, MemHandle font);
  virtual ~TPopUpListPart();

  // Shows or hides the list: the open and close callbacks run on a change, and the timed callback is held
  // while it is down.
  virtual void ShowList(int show);
  bool ListShown() const;
  // Appends an entry; 1 when it was added.
  int AddItem(const std::string& text, int32_t value);
  std::string GetCurrentText();
  void SelectItem(int row);
  void SetItemHandler(TListBoxADV::EntryHandler handler);
  void SetOpenCallback(Callback c) { openCallback = c; }
  void SetCloseCallback(Callback c) { closeCallback = c; }

  TGameListBoxADV* list = nullptr;
  int32_t listTookPress = 0;
  Callback openCallback = nullptr, closeCallback = nullptr;

 protected:
  // The press and release rules shared by both buttons; `button` runs the button's own handling.
  template <typename Button>
  int PointerDown(Button* self, int16_t x, int16_t y, uint8_t buttons);
  template <typename Button>
  int PointerUp(Button* self, int16_t x, int16_t y, uint8_t buttons);
  bool OnList(int16_t x, int16_t y) const;
};

// The bar's text button: fires on key release; a press or key it takes makes it the bar's open item.
class TMenuBarGfxTxtBtn : public TTextButtonADV {
 public:
  TMenuBarGfxTxtBtn(int32_t x, int32_t y, const char* caption, MemHandle font, TMenuBarADV* bar, uint16_t hotKey);
  int OnPointerDown(int16_t x, int16_t y, uint8_t buttons) override;
  int OnChar(uint16_t code) override;
  void Draw(int flag) override;
  void Erase(int flag) override;
  // Its background: a frame drawn with its hot spot 5 pixels left of the caption's anchor (null: none).
  void SetBackground(const uint8_t* frame) { background = frame; }

  TMenuBarADV* Bar() const;
  const uint8_t* background = nullptr;

 protected:
  // Makes this the bar's open item, closing the list of the one before.
  void BecomeOpenItem();
};

class TMBarPopUpListBox : public TMenuBarGfxTxtBtn, public TPopUpListPart {
 public:
  TMBarPopUpListBox(int32_t x, int32_t y, const char* caption, MemHandle font, TMenuBarADV* bar, uint16_t hotKey,
                    int32_t listWidth, int32_t rows);
  int OnPointerDown(int16_t x, int16_t y, uint8_t buttons) override;
  int OnPointerUp(int16_t x, int16_t y, uint8_t buttons) override;
  int OnIdle() override;
  void Draw(int flag) override;
  int IsShownAndEnabled() override { return MA_EventHandler::IsShownAndEnabled(); }  // no click handler needed
};

class TButtonPopUpListBox : public TGraphicButtonADV, public TPopUpListPart {
 public:
  TButtonPopUpListBox(int32_t x, int32_t bottom, int32_t listWidth, int32_t rows, MemHandle font);
  void ShowList(int show) override;  // a hidden list takes the focus from its button
  int OnPointerDown(int16_t x, int16_t y, uint8_t buttons) override;
  int OnPointerUp(int16_t x, int16_t y, uint8_t buttons) override;
  int OnIdle() override;
  void Draw(int flag) override;
  int IsShownAndEnabled() override { return MA_EventHandler::IsShownAndEnabled(); }
};
