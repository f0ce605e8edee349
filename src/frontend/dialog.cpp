#include "frontend/dialog.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

#include "framework/core/bigfileio.h"
#include "framework/ui/displaymgr.h"
#include "framework/core/errors.h"
#include "framework/ui/fontmgr.h"
#include "app/gameapp.h"
#include "framework/ui/inputstate.h"
#include "framework/core/services.h"
#include "mmsystem.h"
#include "platformlib/shapes/shapes.h"
#include "platformlib/gfx/windowdesc.h"

TMA_EventHandlerList* CurrentScreen = nullptr;

namespace {

WindowDesc* DrawnWindow() {
  ImageRecord* drawn = DrawnImage();
  return drawn ? drawn->window : nullptr;
}

// A copy of a screen area into a new window, null when it cannot be made.
WindowDesc* SaveArea(int32_t x, int32_t y, int32_t w, int32_t h) {
  WindowDesc* screen = DrawnWindow();
  if (!screen || w <= 0 || h <= 0) return nullptr;
  WindowDesc* saved = trycreatewindowadr(w, h, screen->depth);
  if (saved) CopyWindowArea(saved, 0, 0, screen, x, y, w, h);
  return saved;
}

void RestoreArea(WindowDesc* saved, int32_t x, int32_t y) {
  WindowDesc* screen = DrawnWindow();
  if (!saved || !screen) return;
  CopyWindowArea(screen, x, y, saved, 0, 0, saved->width, saved->height);
  AddDirtyRect(MARect{x, y, x + saved->width, y + saved->height});
}

}  // namespace

int DialogSizeIndex() { return std::clamp(Facts().sizeSetting, 0, 4); }

namespace {
// Fonts are loaded once and shared by every screen and dialog; a font that cannot be loaded is reported once.
std::map<std::string, MemHandle>& FontCache() {
  static std::map<std::string, MemHandle> fonts;
  return fonts;
}
}  // namespace

MemHandle LoadFrontEndFont(const char* name) {
  std::string key = name;
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  auto found = FontCache().find(key);
  if (found != FontCache().end()) return found->second;
  MemHandle font = 0;
  if (FontLoad(&font, Facts().fontFolder, name, 0) != ERR_NONE) ShowErrorBox(ERR_FILENOTFOUND, false);
  FontCache()[key] = font;
  return font;
}

void FreeFrontEndFonts() {
  for (auto& [name, font] : FontCache()) FontFree(&font);
  FontCache().clear();
}

// ---- dialog base ----------------------------------------------------------------------------------------------

CDialogADV::CDialogADV(int32_t x_, int32_t y_, int32_t w, int32_t h, MemHandle picture_, const char* fontFile)
    : x(x_), y(y_), width(w), height(h), picture(picture_) {
  if (fontFile) font = LoadFrontEndFont(fontFile);
  previous_ = CurrentScreen;
  CurrentScreen = this;
}

void CDialogADV::SaveUnder() {
  if (under_) removewindow(under_);
  under_ = SaveArea(x - 6, y - 6, width + 12, height + 12);
  underX_ = x - 6;
  underY_ = y - 6;
}

CDialogADV::~CDialogADV() {
  // What lay under the dialog goes back first.
  if (under_) {
    RestoreArea(under_, underX_, underY_);
    removewindow(under_);
    under_ = nullptr;
  }
  THelpTextMixin::HideHelpText();
  if (CurrentScreen == this) CurrentScreen = previous_;
  if (panel_) removewindow(panel_);
  if (picture) MemFreeHandle(picture);
  if (redrawOnDestroy && CurrentScreen && CurrentScreen != this) {
    CurrentScreen->EraseAll(0);
    CurrentScreen->DrawAll(0);
  }
}

void CDialogADV::DrawPanel() {
  WindowDesc* screen = DrawnWindow();
  if (!screen) return;
  const MARect r{x, y, x + width, y + height};
  const uint8_t* file = picture ? static_cast<const uint8_t*>(MemLock(picture)) : nullptr;
  const uint8_t* shape = file && checkshapefile(file, MemHandleSize(picture)) == 1 ? locateshapenum(file, 0) : nullptr;
  if (shape && setwindow(screen)) {
    drawshape(shape, x, y);
    releasewindow();
  } else {
    // Darkened twice, so that text over it reads.
    DrawShadowFrame(r, 6, screen, nullptr);
    DrawShadowFrame(r, 0, screen, nullptr);
  }
  if (file) MemUnlock(picture);
  if (panel_) removewindow(panel_);
  panel_ = SaveArea(x, y, width, height);
  AddDirtyRect(MARect{x - 6, y - 6, x + width + 6, y + height + 6});
}

void CDialogADV::RestoreRect(const MARect& rect) {
  WindowDesc* screen = DrawnWindow();
  if (!panel_ || !screen) return;
  const int32_t l = std::max(rect.left, x), t = std::max(rect.top, y);
  const int32_t r = std::min(rect.right, x + width), b = std::min(rect.bottom, y + height);
  if (l >= r || t >= b) return;
  CopyWindowArea(screen, l, t, panel_, l - x, t - y, r - l, b - t);
  AddDirtyRect(MARect{l, t, r, b});
}

void CDialogADV::DrawAll(int flag) {
  DrawPanel();
  TMA_EventHandlerList::DrawAll(flag);
  if (!title.empty() && font) {
    FontSelect(font, DrawnImage(), kAlignCentre, Pixel565(0xFFFFFF), 0, 0, 1);
    FontDrawText(x + width / 2, y + 15, title.c_str());
  }
}

void CDialogADV::EraseAll(int) {
  ImageRecord* background = RoleImage(kRoleErase);
  ImageRecord* drawn = DrawnImage();
  const MARect r{x - 6, y - 6, x + width + 6, y + height + 6};
  if (background && drawn) BlitImage(drawn, r, background, r);
  AddDirtyRect(r);
}

int CDialogADV::OnChar(uint16_t code) { return TMA_EventHandlerList::OnChar(code); }

int CDialogADV::OnIdle() { return TMA_EventHandlerList::OnIdle(); }

void CDialogADV::EndModal(int result) {
  result_ = result;
  done_ = true;
}

int CDialogADV::RunModalLoop() {
  DrawAll(0);
  uint32_t lastActivity = timeGetTime();
  while (!done_) {
    // The program is ending (its window closed): no answer is coming.
    if (Loop().quitNow || Loop().quitRequest) {
      EndModal(0);
      break;
    }
    InputUpdateClock();
    const uint32_t now = timeGetTime();
    if (timeout && now - lastActivity > timeout) {
      EndModal(timeoutResult);
      break;
    }
    MSG m{};
    if (PeekMessageA(&m, nullptr, 0, 0x3FF, PM_REMOVE)) {
      if (m.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(m.wParam));  // for the main loop
        EndModal(0);
        break;
      }
      if (activityRenewsTimeout) lastActivity = now;
      if (m.message == WM_CHAR) {
        if (m.wParam == kKeyEscape) {
          EndModal(0);
        } else {
          OnChar(static_cast<uint16_t>(m.wParam & 0xFF));
        }
        continue;
      }
      if (!m.hwnd) m.hwnd = Facts().queueWindow;
      DispatchMessageA(&m);
    } else if (PeekMessageA(&m, nullptr, kControlFireMessage, kControlFireMessage, PM_REMOVE)) {
      DispatchControlFire(m.wParam, m.lParam);
    } else {
      // The idle pass: this dialog's controls (the current screen), then the screen update.
      Svc().sound->Update();
      if (CurrentScreen) CurrentScreen->OnIdle();
      if (DisplayMgr().open) UpdateScreen();
      Sleep(1);
    }
  }
  // A fire posted by one of the dialog's controls never reaches the screen behind.
  DiscardQueuedFires();
  return result_;
}

// ---- message box ----------------------------------------------------------------------------------------------

namespace {

float gButtonScale = 1.0f;
std::string gLastMessage;

void EndWithIdentifier(TGenericControlADV* control) {
  if (CDialogADV* dialog = control->Owner<CDialogADV>()) dialog->EndModal(control->id);
}

}  // namespace

MemHandle DialogPicture(const char* name) { return LoadDialogFile("gamedlog.viv", name); }

PathRecord* DialogFolder() {
  DataFolders& f = Folders();
  PathRecord* folders[] = {&f.ui640, &f.ui640, &f.ui800, &f.ui1024, &f.ui1024};
  return folders[DialogSizeIndex()];
}

MemHandle LoadDialogFile(const char* archive, const char* name) {
  PathRecord* folder = DialogFolder();
  const int opened = BigFileOpenArchive(folder, archive, nullptr);
  const MemHandle h = BigFileLoadToHandle(folder, name, 0);
  if (opened == 0) BigFileCloseArchive();
  return h;
}

const std::string& LastMessageText() { return gLastMessage; }

CModalDialogADV::CModalDialogADV(const char* text_, int set, int defaultResult, int32_t w, int32_t h,
                                 const char* fontFile, MemHandle picture_)
    : CDialogADV(0, 0, w ? w : (DialogSizeIndex() <= 2 ? 522 : 730), h ? h : (DialogSizeIndex() <= 2 ? 333 : 466),
                 picture_ ? picture_ : DialogPicture("bkdialog.fsh"),
                 fontFile ? fontFile : (DialogSizeIndex() <= 2 ? "hal13i.ffn" : "hal18i.ffn")),
      text(text_ ? text_ : ""),
      buttonSet(set) {
  gLastMessage = text;
  x = (Facts().screenWidth - width) / 2;
  y = (Facts().screenHeight - height) / 2;
  gButtonScale = static_cast<float>(height) / 333.0f;
  upDownMoveFocus = 0;
  leftRightMoveFocus = 1;
  SaveUnder();
  struct Spec {
    const char* caption;
    int id;
    int32_t px;
    int sound;  // menu sound, -1 the button's own
  };
  std::vector<Spec> specs;
  switch (set) {
    case 1: specs = {{"Ok", 1, 470, 1}}; break;
    case 2: specs = {{"Cancel", 0, 400, 2}, {"Ok", 1, 470, 1}}; break;
    case 3: specs = {{"No", 2, 330, -1}, {"Cancel", 0, 400, 2}, {"Ok", 1, 470, 1}}; break;
    case 4: specs = {{"No", 0, 400, 2}, {"Yes", 1, 470, 1}}; break;
    default: break;
  }
  MemHandle buttonFont = font;
  for (size_t i = 0; i < specs.size(); ++i) {
    const Spec& s = specs[i];
    auto* b = new CDialogTxtBtn(x + static_cast<int32_t>(s.px * gButtonScale), y + static_cast<int32_t>(290 * gButtonScale),
                                s.caption, buttonFont, reinterpret_cast<uintptr_t>(this), static_cast<uint16_t>(s.caption[0]),
                                1, static_cast<uint16_t>(s.id), kKindButton, kHandlerShown | kHandlerEnabled, 0, nullptr);
    b->dialog = this;
    b->SetColors(0xE0E0E0, 0xAAAAAA, 0xFF1010, 0xF0F0F0);
    if (s.sound >= 0) b->SetMenuSound(s.sound);
    b->clickHandler = EndWithIdentifier;
    buttons[i] = b;
    AddHandler(b);
    if (s.id == 1 && defaultResult == 1) {
      SetCurrentHandler(b);
      b->SetFocus(1);
    }
  }
}

CModalDialogADV::~CModalDialogADV() = default;

int CModalDialogADV::OnChar(uint16_t code) {
  if (code == kKeyEnter && buttonSet == 1) {
    EndModal(1);
    return 1;
  }
  return CDialogADV::OnChar(code);
}

void CModalDialogADV::DrawAll(int flag) {
  CDialogADV::DrawAll(flag);
  if (!font) return;
  const int32_t l = x + 25 + static_cast<int32_t>(50 * width / 522.0), r = x + width - 25;
  FontSelect(font, DrawnImage(), kAlignCentre, Pixel565(0xFFFFFF), 0, 0, 1);
  int32_t margin = 30;
  if (!title.empty()) margin = FontHeight() + 30;
  const int lines = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  if (lines >= 2) margin = std::max(5, (height + 12 - (lines - 1) * FontHeight()) / 2);
  const MARect box{l, y + margin, r, y + height - margin};
  FontDrawTextWrapped(0, text.c_str(), box, FontHeight() + 2);
  AddDirtyRect(box);
}

int ShowMessageDialog(const char* text, int buttonSet, int defaultResult, const char* title, uint32_t timeoutMs,
                      const char* fontFile) {
  CModalDialogADV box(text, buttonSet, defaultResult, 0, 0, fontFile, 0);
  if (title) box.SetTitle(title);
  if (timeoutMs) {
    box.timeout = timeoutMs;
    box.timeoutResult = defaultResult;
  }
  return box.RunModalLoop();
}

// ---- help text --------------------------------------------------------------------------------------------------

namespace {
// The panel's place is fixed by the screen size the program starts with.
MARect HelpPanel() {
  static const MARect panel = [] {
    const int32_t sw = Facts().screenWidth, sh = Facts().screenHeight;
    const int32_t w = sw - 240, h = sh - 100;
    const int32_t x = (sw - w + 10) / 2, y = (sh - h) / 2;
    return MARect{x, y, x + w, y + h};
  }();
  return panel;
}
}  // namespace

CHelpTextDialogADV::CHelpTextDialogADV(const char* text_)
    : CDialogADV(HelpPanel().left, HelpPanel().top, HelpPanel().right - HelpPanel().left,
                 HelpPanel().bottom - HelpPanel().top, 0, "arial9.ffn"),
      text(text_ ? text_ : "") {
  gLastMessage = text;
  upDownMoveFocus = 0;
  leftRightMoveFocus = 1;
  redrawOnDestroy = false;
  SaveUnder();
  ok = new CDialogTxtBtn(x + width / 2, y + height - 40, "Ok", font, reinterpret_cast<uintptr_t>(this), 'O', 1, 1,
                         kKindButton, kHandlerShown | kHandlerEnabled, 0, nullptr);
  ok->dialog = this;
  ok->SetColors(0xE0E0E0, 0xAAAAAA, 0xFF1010, 0xF0F0F0);
  ok->SetMenuSound(1);
  ok->clickHandler = EndWithIdentifier;
  AddHandler(ok);
}

CHelpTextDialogADV::~CHelpTextDialogADV() = default;

int CHelpTextDialogADV::OnChar(uint16_t code) {
  if (code == kKeyEnter) {
    EndModal(1);
    return 1;
  }
  return CDialogADV::OnChar(code);
}

void CHelpTextDialogADV::DrawAll(int flag) {
  CDialogADV::DrawAll(flag);
  if (!font) return;
  FontSelect(font, DrawnImage(), kAlignLeft, Pixel565(0xFFFFFF), 0, 0, 1);
  const int32_t margin = title.empty() ? 30 : FontHeight() + 30;
  const MARect box{x + 25, y + margin, x + width - 25, y + height - margin};
  FontDrawTextWrapped(0, text.c_str(), box, FontHeight() + 2);
  AddDirtyRect(box);
}

int ShowHelpTextDialog(const char* text, const char* title) {
  CHelpTextDialogADV box(text);
  if (title) box.SetTitle(title);
  return box.RunModalLoop();
}

// ---- text input -------------------------------------------------------------------------------------------------

CTextInputDialogADV::CTextInputDialogADV(const char* prompt, int32_t bufferSize, const char* initial, const char* help)
    : CModalDialogADV(prompt, 2, 1, 0, 0, nullptr, 0) {
  static const int32_t kX[] = {80, 100, 128, 160, 200}, kY[] = {166, 166, 166, 233, 233},
                       kW[] = {462, 450, 432, 620, 596};
  const int i = DialogSizeIndex();
  // Room for the terminator the buffer needs.
  edit = new TTextEditBoxADV(x + kX[i], y + kY[i], std::min(kW[i], width - kX[i] - 10), font,
                             reinterpret_cast<uintptr_t>(this), initial, std::max(bufferSize - 1, 0));
  edit->dialog = this;
  edit->clickHandler = EndWithIdentifier;
  edit->id = 1;
  if (help) edit->text = help;
  for (CDialogTxtBtn* b : buttons)
    if (b) std::fill(b->codes, b->codes + 3, uint16_t{0});
  leftRightMoveFocus = 0;
  upDownMoveFocus = 1;
  AddHandler(edit);
  if (current) current->SetFocus(0);
  SetCurrentHandler(edit);
  edit->SetFocus(1);
}

int CTextInputDialogADV::OnChar(uint16_t code) {
  if (firstKeyClears && code >= 32 && code < 127) {
    firstKeyClears = false;
    edit->SetText("");
  }
  return CModalDialogADV::OnChar(code);
}

int ShowTextInputDialog(const char* prompt, char* buffer, int32_t size, const char* help) {
  if (!buffer || size <= 0) return 0;
  CTextInputDialogADV box(prompt, size, buffer, help);
  const int result = box.RunModalLoop();
  if (result == 1) {
    const std::string& t = box.edit->Text();
    const size_t n = std::min(t.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, t.data(), n);
    buffer[n] = 0;
  }
  return result;
}

// ---- confirm ------------------------------------------------------------------------------------------------------

void ShowConfirmDialog(const char* text, ConfirmAction yes, ConfirmAction no) {
  int result = 0;
  {
    CModalDialogADV box(text, yes != no ? 2 : 1, 1, 438, 280, nullptr, 0);
    result = box.RunModalLoop();
  }
  if (result == 1) {
    if (yes) yes();
  } else if (no) {
    no();
  }
}
