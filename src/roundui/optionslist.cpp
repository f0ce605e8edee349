// The options list of the shot controls: a picture button of "settings.fsh" whose list offers "Display" (the
// Display settings dialog, where the golfer's grids and cameras are chosen), "End game", "Calibrate" and the
// swing-type switch, and the lie list (hidden: only the optional "Choose lie" row shows it).
#include <algorithm>
#include <iterator>
#include <new>

#include "framework/core/services.h"
#include "framework/ui/fontmgr.h"
#include "framework/ui/inputstate.h"
#include "golf/game.h"
#include "golf/golfmsg.h"
#include "golf/modes.h"
#include "roundui/clubbar.h"
#include "roundui/gameui.h"
#include "roundui/roundturn.h"
#include "roundui/settingsbar.h"
#include "roundui/uishapes.h"

namespace {

constexpr int32_t kLieOffset[5][2] = {{342, 24}, {420, 32}, {420, 32}, {588, 70}, {588, 70}};
constexpr const char* kLies[11] = {"Rough (buried)", "Rough (flyer)", "Sand (buried)", "Tee/Fairway", "Rough",
                                   "Heavy rough",    "Sand",          "Downhill",      "Uphill",      "Right sidehill",
                                   "Left sidehill"};


const char* SwingItemText() { return ProSwingChosen() ? "3-Click swing" : "Pro swing"; }

class TSettingsPopList;
TSettingsPopList* gOptions = nullptr;
TGameListBoxADV* gLies = nullptr;

class TSettingsPopList : public TPopupButton {
 public:
  TSettingsPopList(int32_t x, int32_t y) : TPopupButton(1) {
    anchorX = x, anchorY = y;
    const MARect r = FrameRectAt(GameUIFrame(kShapeSettings, 1), x, y);
    left = r.left, top = r.top, right = r.right, bottom = r.bottom;
  }
  ~TSettingsPopList() override {
    // Not from inside the list's own handler: it goes now, not at an idle pass that may never come.
    delete list_;
    list_ = nullptr;
    if (gOptions == this) gOptions = nullptr;
  }
  bool AcceptsInput() override { return TPopupButton::AcceptsInput() && PersonToPlay() && AwaitingSwing(); }
  const uint8_t* GetHitShape(int) override {
    const int frame = (open ? 4 : 1) + (HasFocus() ? 1 : 0);
    text = open ? "Close Settings" : "Open Settings";
    return GameUIFrame(kShapeSettings, frame);
  }
  int OnPointerDown(int16_t x, int16_t y, uint8_t buttons) override {
    if (list_ && PointInRect(&ListRect(), x, y)) return list_->OnPointerDown(x, y, buttons);
    return TPopupButton::OnPointerDown(x, y, buttons);
  }
  int OnPointerUp(int16_t x, int16_t y, uint8_t buttons) override {
    if (list_ && PointInRect(&ListRect(), x, y)) return list_->OnPointerUp(x, y, buttons);
    return TPopupButton::OnPointerUp(x, y, buttons);
  }
  int OnIdle() override {
    DeleteRetiredLists();
    return TPopupButton::OnIdle();
  }
  void Draw(int redrawNow) override {
    TPopupButton::Draw(redrawNow);
    if (list_) list_->Draw(redrawNow);
  }
  void OnClick() override {
    if (open) {
      Close();
    } else {
      Open();
    }
    InvalidateRoundView();
  }
  void Open() {
    const MemHandle font = ListFont();
    FontSelect(font, nullptr, kAlignLeft, 0, 0, 0, 0);
    const int32_t width = FontStringWidth("3-Click swing", 0) + 12;
    // "Display" is the golfer's one way to the Display settings dialog in a round.
    constexpr int kItems[] = {0, 1, 13, 15};
    constexpr int32_t kRows = static_cast<int32_t>(std::size(kItems));
    list_ = new (std::nothrow) TGameListBoxADV(left, top - kRows * 18, width, kRows, font);
    if (!list_) return;
    const int32_t h = list_->bottom - list_->top;
    list_->top = top - h, list_->bottom = top;
    for (const int item : kItems) list_->Add(OptionItemText(item), item);
    list_->entryHandler = [](TListBoxADV*, ListEntry* e) {
      if (e) RunOptionItem(e->value);
    };
    list_->Show(1, 0);
    popupRect = MARect{list_->left, list_->top, list_->right, list_->bottom};
    open = 1;
  }
  void Close() {
    if (list_) {
      list_->Show(0, 0);
      RetireList(list_);
      list_ = nullptr;
    }
    open = 0;
  }
  const MARect& ListRect() {
    listRect_ = list_ ? MARect{list_->left, list_->top, list_->right, list_->bottom} : MARect{};
    return listRect_;
  }

  TGameListBoxADV* list_ = nullptr;
  MARect listRect_{};
};

class TLieList : public TGameListBoxADV {
 public:
  using TGameListBoxADV::TGameListBoxADV;
  ~TLieList() override {
    if (gLies == this) gLies = nullptr;
  }
};

}  // namespace

void RunOptionItem(int item) {
  // "Choose lie" keeps the list open beside the lie list.
  if (item == kOptionChooseLie) {
    if (gLies) {
      // Beside the open options list, its bottom on the list's: the anchor's place would run off the screen.
      if (gOptions && gOptions->list_) {
        const int32_t w = gLies->right - gLies->left, h = gLies->bottom - gLies->top;
        gLies->right = gOptions->list_->left - 2, gLies->left = gLies->right - w;
        gLies->bottom = gOptions->list_->bottom, gLies->top = gLies->bottom - h;
        if (gLies->left < 0) gLies->left = 0, gLies->right = w;
      }
      gLies->Show(1, 0);
      gLies->SetFocus(1);
    }
    return;
  }
  if (gOptions) gOptions->Close();
  auto* range = dynamic_cast<TDrivingRangeGame*>(CurrentGame());
  switch (item) {
    case 0: RunSettingsCommand(kSettingsDisplay); break;
    case 1:
      // Ending the game asks first.
      if (Svc().frontEnd->ShowMessageDialog("Are you sure you want to end the game?", 1) == 0)
        PostGolfMessage(kGolfQuit);
      break;
    case 2: RunSettingsCommand(kSettingsSaveGame); break;
    case 3: RunSettingsCommand(kSettingsSetup); break;
    case 4: RunSettingsCommand(kSettingsScorecard); break;
    case 5: RunSettingsCommand(kSettingsChangeView); break;
    case 6: RunSettingsCommand(kSettingsRotateView); break;
    case 7: RunSettingsCommand(kSettingsConcede); break;
    case 8: RunSettingsCommand(kSettingsNextHole); break;
    case 10:
      if (range) range->NewShot();
      break;
    case 12:
      if (range) range->ClearRange();
      break;
    case 13: Svc().frontEnd->ShowRoundDialog(kDialogCalibration); break;
    case 14: Svc().frontEnd->ShowRoundDialog(kDialogSoundOptions); break;
    case 15: ProSwingChosen() = !ProSwingChosen(); break;
    default: break;  // 11 "Move to shot" does nothing here
  }
  if (gLies) gLies->Show(0, 0);
  FlushInput();
  InvalidateRoundView();
}

const char* OptionItemText(int item) {
  static const char* const kTexts[16] = {"Display",   "End game",    "Save game",   "Setup",
                                         "Scorecard", "Change view", "Rotate view", "Concede",
                                         "Next hole", "Choose lie",  "New shot",    "Move to shot",
                                         "Clear range", "Calibrate", "Sounds",      ""};
  if (item == 15) return SwingItemText();
  return item >= 0 && item < 15 ? kTexts[item] : "";
}

MA_EventHandler* CreateOptionsList(int32_t x, int32_t y) {
  // The button's picture places it (its hot spot on the anchor); its list opens above it.
  auto* b = new (std::nothrow) TSettingsPopList(x, y);
  if (b) b->flags = kHandlerShown | kHandlerEnabled;
  gOptions = b;
  return b;
}

bool OptionsListPoint(int row, int32_t* x, int32_t* y) {
  if (!gOptions) return false;
  if (row < 0) {
    *x = (gOptions->left + gOptions->right) / 2, *y = (gOptions->top + gOptions->bottom) / 2;
    return true;
  }
  const TGameListBoxADV* list = gOptions->list_;
  if (!list || row >= list->Size()) return false;
  *x = (list->left + list->right) / 2;
  *y = list->top + (row - list->TopRow()) * list->RowHeight() + list->RowHeight() / 2;
  return true;
}

MA_EventHandler* CreateLieList(int32_t x, int32_t y) {
  const int size = std::clamp(Facts().sizeSetting, 0, 4);
  auto* list = new (std::nothrow) TLieList(x - kLieOffset[size][0], y - kLieOffset[size][1], 100, 11, ListFont());
  if (!list) return nullptr;
  gLies = list;
  for (int i = 0; i < 11; ++i) list->Add(kLies[i], i);
  list->entryHandler = [](TListBoxADV*, ListEntry* e) {
    if (gOptions) gOptions->Close();
    if (!e) return;
    if (auto* range = dynamic_cast<TDrivingRangeGame*>(CurrentGame())) range->SetRangeTarget(e->value);
  };
  return list;
}
