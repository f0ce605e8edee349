// Dialogs: the base with its nested modal loop, the program-wide message box, the text input and the confirm
// question.
#pragma once

#include <string>

#include "framework/ui/eventhandler.h"
#include "frontend/textbutton.h"

struct WindowDesc;

// The one top-level screen or dialog that takes input and the idle call; null when none.
extern TMA_EventHandlerList* CurrentScreen;

class CDialogADV : public TMA_EventHandlerList {
 public:
  // A null picture draws a darkened panel with a shadow frame.
  CDialogADV(int32_t x, int32_t y, int32_t width, int32_t height, MemHandle picture, const char* fontFile);
  ~CDialogADV() override;
  int OnChar(uint16_t code) override;
  void DrawAll(int flag) override;
  void EraseAll(int flag) override;
  int OnIdle() override;

  int RunModalLoop();
  virtual void EndModal(int result);
  // Repaints the panel under a rectangle (a control's erase).
  void RestoreRect(const MARect& rect);
  void SetTitle(const char* text) { title = text ? text : ""; }
  bool Done() const { return done_; }

  int32_t x, y, width, height;
  MemHandle picture = 0;
  MemHandle font = 0;
  std::string title;
  uint32_t timeout = 0;  // ms, 0 none
  int timeoutResult = 0;
  bool activityRenewsTimeout = false;
  bool redrawOnDestroy = true;

 protected:
  void DrawPanel();
  // Keeps the screen under the panel and its frame, put back when the dialog is destroyed.
  void SaveUnder();
  bool done_ = false;
  int result_ = 0;
  TMA_EventHandlerList* previous_ = nullptr;
  WindowDesc* panel_ = nullptr;  // the panel as drawn, without its controls
  WindowDesc* under_ = nullptr;  // the screen under the dialog, when kept
  int32_t underX_ = 0, underY_ = 0;
};

// The message box: a text and one of four button sets.
class CModalDialogADV : public CDialogADV {
 public:
  CModalDialogADV(const char* text, int buttonSet, int defaultResult, int32_t width, int32_t height,
                  const char* fontFile, MemHandle picture);
  ~CModalDialogADV() override;
  int OnChar(uint16_t code) override;
  void DrawAll(int flag) override;

  CDialogTxtBtn* buttons[3] = {};
  std::string text;
  int buttonSet;
};

class CTextInputDialogADV : public CModalDialogADV {
 public:
  CTextInputDialogADV(const char* prompt, int32_t bufferSize, const char* initial, const char* help);
  int OnChar(uint16_t code) override;
  TTextEditBoxADV* edit = nullptr;
  bool firstKeyClears = true;
};

// A longer help text with one "Ok" button, on a darkened panel.
class CHelpTextDialogADV : public CDialogADV {
 public:
  explicit CHelpTextDialogADV(const char* text);
  ~CHelpTextDialogADV() override;
  int OnChar(uint16_t code) override;
  void DrawAll(int flag) override;
  CDialogTxtBtn* ok = nullptr;
  std::string text;
};

// Button sets: 1 "Ok"; 2 "Cancel", "Ok"; 3 "No", "Cancel", "Ok"; 4 "No", "Yes"; other none. Returns 1 Ok/Yes,
// 0 Cancel/set 4's No/Esc, 2 set 3's No, or the default at the time-out.
int ShowMessageDialog(const char* text, int buttonSet, int defaultResult, const char* title, uint32_t timeoutMs,
                      const char* fontFile);
// Shows a help text until "Ok", Enter or Esc; 1 for "Ok" and Enter, 0 for Esc.
int ShowHelpTextDialog(const char* text, const char* title);
// Asks for one line; on Ok copies the text into the buffer, terminated, at most size - 1 characters.
int ShowTextInputDialog(const char* prompt, char* buffer, int32_t size, const char* help);
// The question or notice: two buttons when the actions differ, else one; the answer's action runs afterwards.
using ConfirmAction = void (*)();
void ShowConfirmDialog(const char* text, ConfirmAction yes, ConfirmAction no);

// The text of the message box shown last (tests and the log).
const std::string& LastMessageText();

// A picture of the screen size's dialog archive ("gamedlog.viv") in a new handle; 0 when it is not there.
MemHandle DialogPicture(const char* name);

// Screen-size index of the dialogs (0..4) and the fonts folder.
int DialogSizeIndex();
// The data folder of the screen size, which holds the dialogs' archives ("gamedlog.viv", "campos.viv", ...), and a
// whole file of one of them (0 when missing).
struct PathRecord;
PathRecord* DialogFolder();
MemHandle LoadDialogFile(const char* archive, const char* name);
// A font of the fonts folder, loaded once and shared (not freed by its users); FreeFrontEndFonts at the end.
MemHandle LoadFrontEndFont(const char* name);
void FreeFrontEndFonts();
