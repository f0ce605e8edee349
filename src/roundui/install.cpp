#include "roundui/install.h"

#include <algorithm>

#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "frontend/tourneydlg.h"
#include "golf/modes.h"
#include "roundui/aftershot.h"
#include "roundui/chatbox.h"
#include "roundui/clubs.h"
#include "roundui/gameui.h"
#include "roundui/input.h"
#include "roundui/leaderboard.h"
#include "roundui/powermeter.h"
#include "roundui/replay.h"
#include "roundui/roundparts.h"
#include "roundui/roundturn.h"
#include "roundui/uishapes.h"
#include "roundui/scorecard.h"
#include "roundui/shotclock.h"
#include "roundui/statspage.h"
#include "roundui/statusdlg.h"
#include "roundui/targeting.h"
#include "roundui/uishapes.h"

namespace {

constexpr int kCardFirstGolferRow = 6;  // below the hole, yardage and par rows

class RoundInterface : public RoundInterfaceProvider {
  // A status dialog shows only over a round's screen; it then sends the round on itself.
  template <class Show>
  static bool StatusShown(Show show) {
    if (!GameUIBuilt() || Svc().frontEnd->DialogsSuppressed()) return false;
    show();
    return true;
  }

 public:
  const char* Name() const override { return "in-round interface"; }
  // Asked for outside a round (the calibration panel over the menus), the shapes are loaded first.
  MemHandle InterfaceShape(uint32_t n) override {
    if (!GetGameUIShape(n) && n < kGameUIShapeCount && n != kGameUIWorkShape) LoadGameUIShapes(GameUIFolder());
    return GetGameUIShape(n);
  }
  void SetHoleScreen(int) override { BuildGameUI(); }
  void UpdateInterface() override { ShowGolferToPlay(); }
  void OnKeyPress(uint32_t code) override { InRoundOnCommand(static_cast<uint16_t>(code)); }
  bool OnKeyUp(uint32_t code) override {
    InRoundOnKeyUp(static_cast<uint16_t>(code));
    return GameUIBuilt();
  }
  void OnPointerPress(int32_t x, int32_t y, uint32_t flags) override {
    InRoundOnButtonDown(static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<uint8_t>(flags));
  }
  void OnPointerRelease(int32_t x, int32_t y, uint32_t button) override {
    InRoundOnButtonUp(static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<uint8_t>(button));
  }
  bool OnIdle() override {
    InRoundOnIdle();
    return PresentRoundFrame();
  }
  void PersonShot() override { BeginPersonShot(); }
  bool SampleShotReplay(uint32_t elapsed, float* position, uint8_t* event, bool* ended) override {
    return SampleReplayForScene(elapsed, position, event, ended);
  }
  bool ReplayingShot() override { return ShotReplayRunning(); }
  bool ShotReplayFrame(int n, uint32_t* time, float* position, uint8_t* event) override {
    if (n < 0 || n >= GetReplayFrameCount()) return false;
    const ReplayFrame* f = GetReplayFrame(n);
    if (!f) return false;
    *time = f->time;
    position[0] = f->position.x, position[1] = f->position.y, position[2] = f->position.z;
    std::copy(f->event, f->event + kBallEventBytes, event);
    return true;
  }
  MemHandle GameUIShape(uint32_t n) override { return GetGameUIShape(n); }
  // Every shot ends in the interface: played back, then the golfer's choice counts it and goes on.
  bool CountsShots() override { return true; }
  void ChatLine(const std::string& text) override {
    if (TGameChat* chat = ChatBox()) chat->AddLine(text);
  }
  void RestartShotClock() override {
    if (TShotClockUI* clock = ShotClock()) clock->Restart();
  }
  // The game's notices during a round (a peer's infraction, a concession, a lost peer) close by themselves.
  void ShowMessage(const std::string& text, uint32_t ms) override {
    WriteLogLine(("Round message: " + text).c_str());
    Svc().frontEnd->ShowTimedNotice(text, ms);
  }
  bool ArcLandingPoint(float* x, float* y, float* height) override {
    const TargetingArcEventHandler* arc = CurrentTargetingHandler;
    if (!arc || !arc->arcReady) return false;
    *x = arc->landing.x, *y = arc->landing.y, *height = arc->landing.z;
    return true;
  }
  float MeterPower() override { return PowerMeter ? PowerMeter->power : 1.0f; }
  bool MeterSwing(float* power, float* curve) override {
    if (!PowerMeter) return false;
    *power = PowerMeter->finalPower, *curve = PowerMeter->finalCurve;
    return true;
  }
  bool SwingMishit() override { return PowerMeter && PowerMeter->mishit != 0; }
  void BeginAfterShot() override { EndShotInInterface(); }
  void RemoteMessage(uint32_t id, void*) override { AfterShotMessage(id); }
  void HoleReleased() override { DestroyGameUI(); }
  void DrawStandings(CTourneyDlg& dialog) override {
    DrawLeaderBoardPage(dialog);
    DrawLeaderBoard(dialog);
  }
  std::string PlayerStatsText(playerInfo_s& golfer) override {
    char text[1024];  // the whole page stays under 1 KB
    FormatPlayerStatsText(golfer, text, sizeof text);
    return text;
  }
  bool ShowShootoutStatus() override { return StatusShown([] { ::ShowShootoutStatus(ShootoutWinner()); }); }
  bool ShowMatchPlayStatus() override { return StatusShown(::ShowMatchPlayStatus); }
  bool ShowSkinsStatus() override { return StatusShown(::ShowSkinsStatus); }
  void ShowScoreCard(int flag) override {
    if (!GameUIBuilt()) return;
    // The card's first golfer row as the page shows it: the name, then each hole's text.
    const CardInput card = CurrentScoreCard(true, false);
    std::string row;
    for (const CardText& t : BuildScoreCard(card)) {
      if (t.row == kCardFirstGolferRow) row += t.text + " ";
    }
    NoteScoreCardPage(row);
    // The round's own card page waits for the person at the end of a hole; the dialog is the menu bar's.
    (void)flag;
    ShowScoreCardPage(-1);
  }
  void DrawScoreCard(int32_t x, int32_t y, bool frontNine, bool putts) override {
    DrawScorecard(CurrentScoreCard(frontNine, putts), x, y);
  }
  void DrawPlayerStats(int slot, int32_t x, int32_t y, int32_t lineHeight) override {
    FillPlayerStats(slot, x, y, lineHeight);
  }
};

}  // namespace

void InstallRoundInterfaceServices() {
  static RoundInterface provider;
  Svc().round = &provider;
  // The club records feed the launch, and the ball physics records every live shot for the replays.
  clubs::InstallClubRecords();
  InstallReplayBuffer();
}
