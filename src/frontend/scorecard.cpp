#include "frontend/scorecard.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "course/catalogue.h"
#include "course/courseload.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "frontend/savedgames.h"
#include "golf/game.h"
#include "golf/player.h"
#include "platformlib/gfx/windowdesc.h"
#include "platformlib/shapes/shapes.h"

int32_t CardFrontNine = 1;
int32_t CardShowsPutts = 0;
int32_t CardOriginX = 0, CardOriginY = 0;
int32_t StatisticsForAll = 0;

namespace {

constexpr uint32_t kNormal = 0xE0E0E0, kDisabled = 0xAAAAAA, kFocus = 0xFF1010, kPressed = 0xF0F0F0;
constexpr int32_t kSavedCardX = 147, kSavedCardY = 151, kSavedCardDrawY = 153;
// The card picture's frame stands this far outside the card's cells.
constexpr int32_t kCardFrame = 5;

struct ButtonPlace {
  int32_t x, y;
};
constexpr ButtonPlace kSmallButtons[4] = {{100, 283}, {197, 283}, {293, 283}, {470, 283}};
constexpr ButtonPlace kLargeButtons[4] = {{140, 396}, {275, 396}, {410, 396}, {658, 396}};
constexpr ButtonPlace kSavedButtons[4] = {{488, 3}, {488, 46}, {488, 46}, {488, 46}};
constexpr const char* kFrontHelp = "Display scores for holes one to nine";
constexpr const char* kBackHelp = "Display scores for holes ten to eighteen";
constexpr const char* kScoresHelp = "Show total strokes for each hole";
constexpr const char* kPuttsHelp = "Show putts taken for each hole";

bool Large() { return DialogSizeIndex() >= 3; }

int32_t PictureWidth(MemHandle h, int32_t fallback, int32_t* height) {
  const uint8_t* file = h ? static_cast<const uint8_t*>(MemLock(h)) : nullptr;
  const uint8_t* shape = file && checkshapefile(file, MemHandleSize(h)) == 1 ? locateshapenum(file, 0) : nullptr;
  int32_t w = fallback;
  if (shape) {
    w = shapewidth(shape);
    *height = shapeheight(shape);
  }
  if (file) MemUnlock(h);
  return w;
}

MemHandle ScoreDialogPanel() { return LoadDialogFile("scoredlg.viv", "bkdialog.fsh"); }

// The panel's size, from its picture (scaled by 1.4 on the large screens); a missing picture gives the card's
// own size with room for the buttons.
struct Placement {
  int32_t x, y, w, h;
  float scale;
};
Placement PlaceCard(MemHandle panel, int layout) {
  int32_t ph = 310;
  const int32_t pw = PictureWidth(panel, 560, &ph);
  if (layout == kCardSavedGame) return {kSavedCardX, kSavedCardY, pw, ph, 1.0f};
  const float scale = Large() ? 1.4f : 1.0f;
  const int32_t w = static_cast<int32_t>(pw * scale), h = static_cast<int32_t>(ph * scale);
  return {static_cast<int32_t>(Facts().screenWidth / 2 - (pw / 2) * scale),
          static_cast<int32_t>(Facts().screenHeight / 2 - (ph / 2) * scale), w, h, scale};
}

}  // namespace

bool GolferHasStatistics(uint32_t flags) {
  return ((flags & kGolferFlag5) && !(flags & kGolferNoFile)) || StatisticsForAll;
}

std::string CardCourseTitle() {
  TGame* g = CurrentGame();
  if (!g) return " ";
  std::string name = g->courseName;
  CourseRecord record{};
  const int n = g->courseNumber >= 0 ? g->courseNumber : FindCourseByName(g->courseName.c_str());
  if (n >= 0 && GetCourseInfo(n, &record) == 0 && record.title[0]) name = record.title;
  return name.substr(0, name.find('^'));
}

// ---- the score card ------------------------------------------------------------------------------------------------

CScoreCardDlg::CScoreCardDlg(int front, int putts, int statistics, int layout_)
    : CDialogADV(Facts().screenHeight / 4, Facts().screenHeight / 4, 0, 0, ScoreDialogPanel(),
                 Large() ? "Hal12b.ffn" : "Hal10b.ffn"),
      layout(layout_) {
  cardPicture = LoadDialogFile("scoredlg.viv", "scorebkg.fsh");
  const Placement p = PlaceCard(picture, layout);
  x = p.x;
  y = p.y;
  width = p.w;
  height = p.h;
  scale = p.scale;
  if (layout == kCardSavedGame) {
    CardOriginX = kSavedCardX;
    CardOriginY = kSavedCardY;
  } else {
    CardOriginX = x + (Large() ? 77 : 55);
    CardOriginY = y + (Large() ? 72 : 52);
    if (layout == kCardInteractive) SaveUnder();
  }
  frontNine = front;
  showPutts = putts;
  statisticsAllowed = statistics;
  BuildTitle();
  if (layout != kCardShownOnce) {
    static const char* const captions[4] = {"Front 9", "Scores", "Stats", "Exit"};
    static const int sounds[4] = {5, 5, 1, 2};
    static const char* const helps[4] = {kFrontHelp, kScoresHelp, "See player's statistics", "Exit this screen"};
    const ButtonPlace* places = layout == kCardSavedGame ? kSavedButtons : Large() ? kLargeButtons : kSmallButtons;
    for (int i = 0; i < 4; ++i) {
      auto* b = new CDialogTxtBtn(x + places[i].x, y + places[i].y, captions[i], font, reinterpret_cast<uintptr_t>(this),
                                  0, 1, static_cast<uint16_t>(i), kKindButton, kHandlerShown | kHandlerEnabled, 0,
                                  nullptr);
      b->SetColors(kNormal, kDisabled, kFocus, kPressed);
      b->SetMenuSound(sounds[i]);
      b->text = helps[i];
      b->clickHandler = ScoreCardButtonClicked;
      b->Layout();
      buttons[i] = b;
      // On the saved-games screen the buttons are the screen's, beside its list.
      if (layout == kCardSavedGame && AddToSavedGamesScreen(b)) continue;
      b->dialog = this;
      AddHandler(b);
    }
  }
  SetFrontNine(frontNine);
  SetShowPutts(showPutts ? 0 : 1);
  SetStatsButton(statisticsAllowed);
  for (CDialogTxtBtn* b : buttons)
    if (b) b->SetFocus(0);
  if (layout == kCardSavedGame) {
    ShowButton(3, 0);
    EnableButton(3, 0);
  }
}

CScoreCardDlg::~CScoreCardDlg() {
  if (cardPicture) MemFreeHandle(cardPicture);
  // Buttons handed to the saved-games screen are that screen's to free.
  if (layout == kCardSavedGame)
    for (CDialogTxtBtn* b : buttons)
      if (b) RemoveFromSavedGamesScreen(b);
}

void CScoreCardDlg::BuildTitle() {
  titleText = CardCourseTitle();
  if (layout != kCardSavedGame) titleText += std::string(": ") + (showPutts ? "Putts" : "Scores");
  title = layout == kCardSavedGame ? std::string() : titleText;
}

bool CScoreCardDlg::PuttsOffered() {
  TGame* g = CurrentGame();
  return !g || (g->mode != kModeSkins && g->mode != kModeShootout && g->mode != kModeFourBall &&
                g->mode != kModeFoursome);
}

void CScoreCardDlg::SetFrontNine(int front) {
  frontNine = front;
  CardFrontNine = front;
  if (buttons[0]) {
    buttons[0]->SetText(front ? "Back 9" : "Front 9");
    buttons[0]->text = front ? kBackHelp : kFrontHelp;
  }
}

void CScoreCardDlg::SetShowPutts(int current) {
  const bool offered = PuttsOffered();
  ShowButton(1, offered);
  EnableButton(1, offered);
  showPutts = current == 0 && offered ? 1 : 0;
  CardShowsPutts = showPutts;
  // The caption offers the other view.
  if (buttons[1]) {
    buttons[1]->SetText(showPutts ? "Scores" : "Putts");
    buttons[1]->text = showPutts ? kScoresHelp : kPuttsHelp;
  }
  BuildTitle();
}

void CScoreCardDlg::SetStatsButton(int on) {
  ShowButton(2, on);
  EnableButton(2, on);
}

void CScoreCardDlg::RefreshScoresButton() {
  const bool offered = PuttsOffered();
  ShowButton(1, offered);
  EnableButton(1, offered);
}

void CScoreCardDlg::ShowButton(int index, int on) {
  if (index < 0 || index >= 4 || !buttons[index]) return;
  if (!on) buttons[index]->Erase(0);
  buttons[index]->Show(on ? 1 : 0, 0);
}

void CScoreCardDlg::EnableButton(int index, int on) {
  if (index < 0 || index >= 4 || !buttons[index]) return;
  buttons[index]->Enable(on ? 1 : 0, 0);
}

void CScoreCardDlg::DrawCardBackground() {
  const uint8_t* file = cardPicture ? static_cast<const uint8_t*>(MemLock(cardPicture)) : nullptr;
  const uint8_t* shape =
      file && checkshapefile(file, MemHandleSize(cardPicture)) == 1 ? locateshapenum(file, 0) : nullptr;
  ImageRecord* drawn = DrawnImage();
  WindowDesc* screen = drawn ? drawn->window : nullptr;
  if (shape && screen && setwindow(screen)) {
    const int32_t frame = static_cast<int32_t>(kCardFrame * scale);
    if (scale != 1.0f)
      drawshapescaled(shape, CardOriginX - frame, CardOriginY - frame, static_cast<int32_t>(shapewidth(shape) * scale),
                      static_cast<int32_t>(shapeheight(shape) * scale));
    else
      drawshape(shape, CardOriginX - frame, CardOriginY - frame);
    releasewindow();
  }
  if (file) MemUnlock(cardPicture);
}

void CScoreCardDlg::DrawAll(int flag) {
  CardOriginY = layout == kCardSavedGame ? kSavedCardDrawY : y + (Large() ? 72 : 52);
  if (layout == kCardSavedGame) {
    // Beside the list: no panel of its own, the screen's background shows.
    TMA_EventHandlerList::DrawAll(flag);
  } else {
    CDialogADV::DrawAll(flag);
  }
  DrawCardBackground();
  if (CurrentGame()) Svc().round->DrawScoreCard(CardOriginX, CardOriginY, frontNine != 0, showPutts != 0);
  AddDirtyRect(MARect{x, y, x + width, y + height});
}

void CScoreCardDlg::EraseAll(int flag) {
  if (layout != kCardSavedGame) return CDialogADV::EraseAll(flag);
  ImageRecord* background = RoleImage(kRoleErase);
  ImageRecord* drawn = DrawnImage();
  const MARect r{x - kCardFrame, y - kCardFrame, x + width, y + height};
  if (background && drawn) BlitImage(drawn, r, background, r);
  AddDirtyRect(r);
}

void ScoreCardButtonClicked(TGenericControlADV* control) {
  auto* d = control ? control->Owner<CScoreCardDlg>() : nullptr;
  if (!d) return;
  switch (control->id) {
    case 0:
    case 1:
      if (control->id == 0) d->SetFrontNine(d->frontNine ? 0 : 1);
      else d->SetShowPutts(d->showPutts);
      d->EraseAll(0);
      d->DrawAll(0);
      if (d->layout == kCardSavedGame) RedrawSavedGamesScreen();
      break;
    case 2:
      d->redrawOnDestroy = false;  // the statistics follow at once
      d->EndModal(2);
      break;
    case 3: d->EndModal(3); break;
    default: break;
  }
}

int RunScoreCard(int layout) {
  TGame* g = CurrentGame();
  CardShowsPutts = 0;
  TPlayer* active = g && g->players ? g->players->GetPlayer(g->state.currentPlayer) : nullptr;
  const int statistics = !active || !(active->flags & kGolferNoFile) || StatisticsForAll ? 1 : 0;
  CardFrontNine = !g || g->state.hole < 9 ? 1 : 0;
  int result = 0;
  for (;;) {
    auto* d = new (std::nothrow) CScoreCardDlg(CardFrontNine, CardShowsPutts, statistics, layout);
    if (!d) return 0;
    if (layout == kCardShownOnce) {
      d->DrawAll(0);
      UpdateScreen();
      // Nothing was kept under it: the card stays on the screen.
      d->redrawOnDestroy = false;
      d->EndModal(0);
      delete d;
      return 3;
    }
    result = d->RunModalLoop();
    delete d;
    if (result != 2) break;
    ShowStatsDialog();
  }
  return result;
}

int ShowScoreCardDialog(int layout) {
  if (CurrentScreen) CurrentScreen->EraseAll(0);
  return RunScoreCard(layout);
}

// ---- statistics ------------------------------------------------------------------------------------------------

namespace {

bool SlotHasStatistics(TGame* g, int slot, bool mustTakePart) {
  TPlayer* p = g && g->players ? g->players->GetPlayer(slot) : nullptr;
  if (!p) return false;
  if (mustTakePart && !(p->flags & kGolferTakesPart)) return false;
  return GolferHasStatistics(p->flags);
}

}  // namespace

CStatsDlg::CStatsDlg(int statisticsSwitch_)
    : CDialogADV((Facts().screenWidth - (Large() ? 730 : 522)) / 2, (Facts().screenHeight - (Large() ? 466 : 333)) / 2,
                 Large() ? 730 : 522, Large() ? 466 : 333, DialogPicture("bkdialog.fsh"),
                 Large() ? "Hal12b.ffn" : "Hal10b.ffn"),
      statisticsSwitch(statisticsSwitch_) {
  redrawOnDestroy = false;
  scale = static_cast<float>(width) / 522.0f;
  title = "Statistics";
  SaveUnder();
  TGame* g = CurrentGame();
  const int saved = StatisticsForAll;
  StatisticsForAll = statisticsSwitch;
  int count = 0;
  golfer = -1;
  for (int s = 0; s < 4; ++s)
    if (SlotHasStatistics(g, s, false)) {
      ++count;
      if (golfer < 0) golfer = s;
    }
  StatisticsForAll = saved;
  if (golfer < 0) golfer = 0;
  const auto add = [&](int index, int32_t bx, const char* caption) {
    auto* b = new CDialogTxtBtn(x + static_cast<int32_t>(bx * scale), y + static_cast<int32_t>(283 * scale), caption,
                                font, reinterpret_cast<uintptr_t>(this), 0, 1, static_cast<uint16_t>(index),
                                kKindButton, kHandlerShown | kHandlerEnabled, 0, nullptr);
    b->dialog = this;
    b->SetColors(kNormal, kDisabled, kFocus, kPressed);
    b->clickHandler = StatsButtonClicked;
    b->Layout();
    AddHandler(b);
    buttons[index] = b;
  };
  add(0, 445, "Continue");
  if (count >= 2) add(1, 375, "Next");
  buttons[0]->SetFocus(1);
  SetCurrentHandler(buttons[0]);
}

CStatsDlg::~CStatsDlg() = default;

void CStatsDlg::DrawAll(int flag) {
  CDialogADV::DrawAll(flag);
  FontSelect(font, DrawnImage(), kAlignLeft, Pixel565(0x0F6178), 0, 0, 1);
  Svc().round->DrawPlayerStats(golfer, static_cast<int32_t>(x + 140 * scale), static_cast<int32_t>(y + 40 * scale),
                               static_cast<int32_t>(14 * scale));
  AddDirtyRect(MARect{x, y, x + width, y + height});
  if (flag) UpdateScreen();
}

void CStatsDlg::NextGolfer() {
  TGame* g = CurrentGame();
  const int saved = StatisticsForAll;
  StatisticsForAll = statisticsSwitch;
  int found = -1;
  for (int step = 1; step <= 4 && found < 0; ++step) {
    const int s = (golfer + step) % 4;
    if (SlotHasStatistics(g, s, true)) found = s;
  }
  StatisticsForAll = saved;
  if (found < 0 || found == golfer) return;
  golfer = found;
  EraseAll(0);
  DrawAll(1);
}

void StatsButtonClicked(TGenericControlADV* control) {
  auto* d = control ? control->Owner<CStatsDlg>() : nullptr;
  if (!d) return;
  if (control->id == 0) d->EndModal(0);
  else d->NextGolfer();
}

int ShowStatsDialog() {
  auto* d = new (std::nothrow) CStatsDlg(StatisticsForAll);
  if (!d) return 0;
  const int result = d->RunModalLoop();
  delete d;
  return result;
}
