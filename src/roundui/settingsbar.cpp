#include "roundui/settingsbar.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>

#include "course/savedfiles.h"
#include "framework/core/errors.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/inputstate.h"
#include "golf/game.h"
#include "golf/golfmsg.h"
#include "golf/player.h"
#include "platformlib/shapes/shapes.h"
#include "roundui/aftershot.h"
#include "roundui/gameui.h"
#include "roundui/roundturn.h"
#include "roundui/scorecard.h"
#include "roundui/uishapes.h"

namespace {

constexpr int32_t kButtonSpacing = 3;
constexpr const char* kHelp[kSettingsLast + 1] = {
    "", "", "", "", "", "", "", "", "", "", "",
    "Concede Match", "Next Hole", "Course Overview", "Rotate View", "Change View", "Scorecard", "Setup",
    "Save Game", "Exit Game", "Display Settings", ""};

TSettingsUI* gBar = nullptr;

// Holds the timed callback for the life of a sequence.
struct TimedCallbackHold {
  TimedCallbackHold() { HoldTimedCallback(1); }
  ~TimedCallbackHold() { HoldTimedCallback(0); }
};

// A dialog of the round's settings; the screen is built again when it changed something.
void RunRoundDialog(RoundDialog which, bool rebuild) {
  const int changed = Svc().frontEnd->ShowRoundDialog(which);
  if (rebuild && changed) UpdateGameUI(1, 0, 0, 0);
  InvalidateRoundView();
}

bool CanBeSaved(const TGame* g) { return g && !g->IsNetworkGame() && g->mode != kModeDrivingRange; }

void EndRound() {
  PostGolfMessage(kGolfQuit);
  SetTimedCallback(nullptr, 0);
  FlushInput();
}

}  // namespace

const char* SettingsHelpText(int id) { return id >= 0 && id <= kSettingsLast ? kHelp[id] : ""; }

bool SettingsButtonOffered(int id, const TGame* game) {
  if (id == kSettingsConcede)
    return game && (game->mode == kModeSkins || game->mode == kModeMatchPlay || game->mode == kModeFourBall ||
                    game->mode == kModeFoursome);
  if (id == kSettingsNextHole) return game && game->mode == kModePractice;
  return id >= kSettingsToggle && id <= kSettingsLast;
}

SaveSequenceResult SaveGameSequence() {
  TimedCallbackHold hold;
  int overwrite = 0;
  if (LastSavedGameNumber() > 0) {
    const int answer = Svc().frontEnd->AskThreeWay("Update last saved game?");
    if (answer == 0) return kSaveSequenceCancelled;
    overwrite = answer == 1 ? 1 : 0;
  }
  int count = 0;
  const int result = SaveGame(overwrite, &count);
  if (result == kSaveOk) {
    char text[64];
    if (count == 1) std::snprintf(text, sizeof text, "Game saved. There is 1 saved game.");
    else std::snprintf(text, sizeof text, "Game saved. There are %d saved games.", count);
    Svc().frontEnd->ShowNotice(text);
  } else {
    // A failure other than a full disk is told too: the player must not think the game was kept.
    Svc().frontEnd->ShowNotice(result == kSaveDiskFull ? "Disk Full. Game Not Saved"
                                                       : "The game could not be written. Game Not Saved");
  }
  RedrawScreenNow();
  InvalidateRoundView();
  return result == kSaveOk ? kSaveSequenceSaved : kSaveSequenceFailed;
}

void NextHoleSequence() {
  PostGolfMessage(kGolfLeaveHole);
  if (MA_EventHandler* panel = InRound().holeGraphic) panel->Activate(1, 0);
}

bool EndGameSequence() {
  TGame* g = CurrentGame();
  if (!g) return false;
  TimedCallbackHold hold;
  if (g->IsNetworkGame()) {
    const char* question = g->mode == kModeNetTournament
                               ? "Are you sure you want to end the game? You will be disqualified from the tournament "
                                 "if you end this game."
                               : "Are you sure you want to end the game?";
    if (Svc().frontEnd->ShowMessageDialog(question, 1) != 0) return false;
  } else if (g->mode != kModePractice && CanBeSaved(g)) {
    const int answer = Svc().frontEnd->AskThreeWay("Save game before quitting?");
    if (answer == 0) return false;
    // Only a game that was saved ends; a failed save leaves the round as it was.
    if (answer == 1 && SaveGameSequence() != kSaveSequenceSaved) return false;
  }
  EndRound();
  return true;
}

void RunSettingsCommand(int id) {
  switch (id) {
    case kSettingsConcede: CmdConcede(); break;
    case kSettingsNextHole: NextHoleSequence(); break;
    case kSettingsOverview: RunRoundDialog(kDialogHoleOverview, false); break;
    case kSettingsRotateView: RunRoundDialog(kDialogRotateView, true); break;
    case kSettingsChangeView: RunRoundDialog(kDialogCameraPosition, true); break;
    case kSettingsScorecard: Svc().frontEnd->ShowScoreCardDialog(0); break;
    case kSettingsSetup: RunRoundDialog(kDialogPlayerSettings, false); break;
    case kSettingsSaveGame: SaveGameSequence(); break;
    case 7:
    case 8:
    case 9:
    case kSettingsExitGame: EndGameSequence(); break;
    case kSettingsDisplay: RunRoundDialog(kDialogScreenLayout, true); break;
    default: break;
  }
}

// ---- the buttons --------------------------------------------------------------------------------------------------

TSettingsBtn::TSettingsBtn(int id) : TInRoundButton(0), commandId(id) {
  flags = kHandlerEnabled;
  text = SettingsHelpText(id);
}

void TSettingsBtn::Place(int32_t x, int32_t y) {
  anchorX = x, anchorY = y;
  const MARect r = FrameRectAt(GameUIFrame(kShapeSettings, commandId), x, y);
  left = r.left, top = r.top, right = r.right, bottom = r.bottom;
}

const uint8_t* TSettingsBtn::GetHitShape(int) { return GameUIFrame(kShapeSettings, commandId); }

void TSettingsBtn::Draw(int redrawNow) {
  if (!(flags & kHandlerShown)) return;
  const uint8_t* face = GetHitShape(pointerOver);
  SetMaskShape(face);
  DrawUIFrame(face, anchorX, anchorY);
  if (redrawNow) UpdateScreen();
}

void TSettingsBtn::OnClick() {
  if (gBar) gBar->CloseBar();
  RunSettingsCommand(commandId);
}

TSettingsPopup::TSettingsPopup(TSettingsUI* owner_) : TPopupButton(0), owner(owner_) {}

const uint8_t* TSettingsPopup::GetHitShape(int) {
  text = open ? "Close Settings" : "Open Settings";
  return GameUIFrame(kShapeSettings, (open ? 4 : 1) + (pointerOver ? 1 : 0));
}

bool TSettingsPopup::AcceptsInput() { return TInRoundButton::AcceptsInput() && PersonToPlay(); }

int TSettingsPopup::OnPointerUp(int16_t x, int16_t y, uint8_t buttons) {
  const MARect own{left, top, right, bottom};
  return PointInRect(&own, x, y) ? TInRoundButton::OnPointerUp(x, y, buttons) : 0;
}

void TSettingsPopup::OnClick() {
  if (open) owner->CloseBar();
  else owner->OpenBar();
}

// ---- the bar ------------------------------------------------------------------------------------------------------

TSettingsUI* SettingsBar() { return gBar; }

TSettingsUI::~TSettingsUI() {
  if (gBar == this) gBar = nullptr;
}

int TSettingsUI::Build(int32_t x, int32_t y) {
  if (const int16_t status = CreateList(16)) return status;
  const uint8_t* face = GameUIFrame(kShapeSettings, 1);
  toggle = new (std::nothrow) TSettingsPopup(this);
  if (!toggle) return ERR_MEMORYFULL;
  toggle->anchorX = x, toggle->anchorY = y;
  const MARect t = FrameRectAt(face, x, y);
  toggle->left = t.left, toggle->top = t.top, toggle->right = t.right, toggle->bottom = t.bottom;
  toggle->flags = kHandlerShown | kHandlerEnabled;
  toggle->text = "Open Settings";
  if (const int16_t status = AddHandler(toggle)) return status;
  exists[kSettingsToggle] = 1;
  anchorX = t.left, anchorY = t.top;
  left = t.left, top = t.top, right = t.right, bottom = t.bottom;
  const int32_t width = t.right - t.left, centreY = (t.top + t.bottom) / 2;
  int32_t at = anchorX - width / 2;
  MARect bar = t;
  const TGame* g = CurrentGame();
  for (int id = kSettingsConcede; id <= kSettingsLast; ++id) {
    if (!SettingsButtonOffered(id, g)) continue;
    auto* b = new (std::nothrow) TSettingsBtn(id);
    if (!b) return ERR_MEMORYFULL;
    b->Place(at, centreY);
    if (const int16_t status = AddHandler(b)) return status;
    exists[id] = 1;
    bar.left = std::min(bar.left, b->left), bar.top = std::min(bar.top, b->top);
    bar.bottom = std::max(bar.bottom, b->bottom);
    at -= width + kButtonSpacing;
  }
  // Every button of the open bar lies inside its rectangle, so a press on any of them reaches it.
  toggle->popupRect = bar;
  flags = kHandlerShown | kHandlerEnabled;
  gBar = this;
  return 0;
}

TSettingsBtn* TSettingsUI::Button(int id) {
  for (uint32_t i = 0; MA_EventHandler* h = list.At(i); ++i)
    if (auto* b = dynamic_cast<TSettingsBtn*>(h); b && b->commandId == id) return b;
  return nullptr;
}

int TSettingsUI::ButtonCount() const {
  int n = 0;
  for (int id = kSettingsToggle; id <= kSettingsLast; ++id) n += exists[id];
  return n;
}

void TSettingsUI::OpenBar() {
  toggle->open = 1;
  for (uint32_t i = 0; MA_EventHandler* h = list.At(i); ++i)
    if (h != toggle) h->flags |= kHandlerShown;
  RedrawShotControls();
  Draw(0);
  InvalidateRoundView();
}

void TSettingsUI::CloseBar() {
  Erase(0);
  toggle->open = 0;
  for (uint32_t i = 0; MA_EventHandler* h = list.At(i); ++i)
    if (h != toggle) h->flags &= ~kHandlerShown;
  RedrawShotControls();
  Draw(0);
  InvalidateRoundView();
}

bool TSettingsUI::OutsideOpenBar(int16_t x, int16_t y) const {
  return Open() && !PointInRect(&toggle->popupRect, x, y);
}

int TSettingsUI::OnPointerDown(int16_t x, int16_t y, uint8_t buttons) {
  if (OutsideOpenBar(x, y)) {
    CloseBar();
    return 1;
  }
  return AwaitingSwing() ? TEventHandlerGroup::OnPointerDown(x, y, buttons) : 0;
}

int TSettingsUI::OnPointerUp(int16_t x, int16_t y, uint8_t buttons) {
  if (OutsideOpenBar(x, y)) {
    CloseBar();
    return 1;
  }
  return AwaitingSwing() ? TEventHandlerGroup::OnPointerUp(x, y, buttons) : 0;
}

void TSettingsUI::Draw(int redrawNow) {
  if (!(flags & kHandlerShown)) return;
  list.DrawAll(0);
  if (redrawNow) UpdateScreen();
}

void TSettingsUI::Erase(int redrawNow) {
  if (!toggle) return;
  const MARect r = Open() ? toggle->popupRect : MARect{toggle->left, toggle->top, toggle->right, toggle->bottom};
  RestoreViewRect(r);
  if (redrawNow) UpdateScreen();
}
