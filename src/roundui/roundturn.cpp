#include "roundui/roundturn.h"
#include "roundui/tips.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <cmath>

#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "golf/golfmsg.h"
#include "framework/ui/displaymgr.h"
#include "golf/gameflow.h"
#include "golf/launch.h"
#include "golf/player.h"
#include "platformlib/gfx/windowdesc.h"
#include "roundui/chatbox.h"
#include "roundui/clubbar.h"
#include "roundui/clubs.h"
#include "roundui/gameui.h"
#include "roundui/powermeter.h"
#include "roundui/roundparts.h"
#include "roundui/roundview.h"
#include "roundui/shotclock.h"
#include "roundui/shotresult.h"
#include "roundui/shotui.h"

namespace {

struct TurnState {
  bool awaitingSwing = false;
  bool viewDirty = true;
};
TurnState gTurn;

// Shows and enables the shot controls (on) or hides and disables them (off).
void OpenShotControls(bool on) {
  InRoundHandlers& h = InRound();
  if (!h.list) return;
  if (h.shotUI) {
    h.shotUI->SetUserWord(on ? 1 : 0);
    h.shotUI->Show(on ? 1 : 0, 0);
    h.shotUI->Enable(on ? 1 : 0, 0);
    h.shotUI->list.ShowEach(on ? 1 : 0);
    h.shotUI->list.EnableEach(on ? 1 : 0);
    // The lie list shows only from the options list's "Choose lie" row.
    if (h.shotUI->liePopup) h.shotUI->liePopup->Show(0, 0);
  }
  if (h.targeting) {
    h.targeting->Show(on ? 1 : 0, 0);
    h.targeting->Enable(on ? 1 : 0, 0);
  }
  InvalidateRoundView();
}

// The shot starts aimed at the target with the club that reaches it (the putter on the green), the meter set for
// the golfer.
void PrepareShot(TPlayer* p) {
  TGame* g = CurrentGame();
  // A golfer record that never had its clubs chosen carries the standard fourteen: D, 3w, 5w, 3i-9i, pw, sw, lw, P.
  if (p->bag == 0) {
    for (int club : {0, 3, 6, 7, 8, 10, 12, 13, 14, 15, 16, 18, 19, 20}) p->bag |= 1u << club;
  }
  ShotAimPoint = g->GetTargetPoint();
  const float dx = ShotAimPoint.x - p->ball.position.x, dy = ShotAimPoint.y - p->ball.position.y;
  AimDistance = std::sqrt(dx * dx + dy * dy);
  const uint8_t surface = static_cast<uint8_t>((p->ball.lie & 0x0F) << 4);
  const bool green = surface == 0x70 || surface == 0xB0;
  // Off the green the shot is a full swing; on it a putt.
  if (!green && p->shotType == kShotTypePutt) p->SetShotType(0);
  p->SetClub(green ? clubs::kPutter : clubs::ChooseClubForDistance(p, AimDistance, 0));
  if (green) p->SetShotType(kShotTypePutt);
  RefreshClubSelection();
  if (TPowerMeterUI* meter = PowerMeter) {
    meter->proSwing = ProSwingChosen();
    meter->computer = p->IsComputer();
    meter->bigAllowance = p->model == 17;
    meter->distanceSetting = clubs::DistanceSetting(p);
    meter->ResetValues();
    // The last swing's marks stay up until its shot is seen; the new shot's meter starts without them.
    meter->powerMark = meter->accuracyMark = kMeterNone;
    meter->UpdateShotClass();
  }
}

}  // namespace

bool AwaitingSwing() { return gTurn.awaitingSwing; }

bool& ProSwingChosen() {
  static bool pro = false;
  return pro;
}

void InvalidateRoundView() { gTurn.viewDirty = true; }

void ShowGolferToPlay() {
  if (!GameUIBuilt()) return;
  TPlayer* p = GolferToPlay();
  if (p) {
    if (!PersonToPlay()) OpenShotControls(false);
    SetUpShotView(p->ball.position, ShotAimPoint);
    const TGame* g = CurrentGame();
    char line[96];
    std::snprintf(line, sizeof line, "Golfer to play: slot %d on hole %d, %s", g->state.currentPlayer,
                  g->state.hole + 1, p->IsComputer() ? "the computer's" : g->IsLocalTurn() ? "here" : "elsewhere");
    WriteLogLine(line);
  }
  UpdateGameUI(0, 0, 0, 0);
  InvalidateRoundView();
}

void BeginPersonShot() {
  if (!GameUIBuilt()) return;
  CurrentHandlerList() = InRound().list;
  TGameUIManager& m = GameUIManager();
  m.inputEnabled = m.shotInputAllowed = 1;
  gTurn.awaitingSwing = true;
  if (TPlayer* p = GolferToPlay()) {
    PrepareShot(p);
    SetUpShotView(p->ball.position, ShotAimPoint);
  }
  OpenShotControls(true);
}

void FinishPersonShot() {
  gTurn.awaitingSwing = false;
  OpenShotControls(false);
  FlyLaunchedShot();
  InvalidateRoundView();
  Svc().round->BeginAfterShot();
}

void EndShotInInterface() {
  if (TGameChat* chat = ChatBox()) chat->Suspend();
  Svc().sound->ShotReplayStarts();
  PlayShotBack();
  if (const TPlayer* p = GolferToPlay()) Svc().sound->ShotReplayEnded(p->ball.Flag(kBallFlagHoled) != 0);
  Tips().CountShotForTip();
  // The ball at rest is on the screen before the result and the menu are drawn over it.
  PresentRoundFrame();
  // A shot played after the time had run out is an infraction.
  if (TShotClockUI* clock = ShotClock(); clock && clock->expired) clock->OnTimeExpired();
  if (!BeginAfterShotChoice()) PostGolfMessage(kGolfBallStopped);
}

bool PresentRoundFrame() {
  InRoundHandlers& h = InRound();
  if (!h.list || !DisplayMgr().open) return false;
  if (gTurn.viewDirty) {
    gTurn.viewDirty = false;
    DrawRoundView();
    TMA_EventHandlerList* current = CurrentHandlerList();
    if (current && current != h.list) h.list->DrawAll(0);
    // The result banners lie over the controls, the after-shot menu over them.
    RedrawResultBanners();
    if (current) current->DrawAll(0);
  }
  UpdateScreen();
  return true;
}

namespace {
std::atomic<int> gCardPages{0};
std::mutex gCardMutex;
std::string gCardRow;
}  // namespace

int ScoreCardPagesShown() { return gCardPages.load(); }
void NoteScoreCardPage(const std::string& row) {
  std::lock_guard<std::mutex> lock(gCardMutex);
  gCardRow = row;
  ++gCardPages;
}

std::string LastCardGolferRow() {
  std::lock_guard<std::mutex> lock(gCardMutex);
  return gCardRow;
}
