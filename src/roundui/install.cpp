#include "roundui/install.h"

#include "framework/core/services.h"
#include "roundui/aftershot.h"
#include "roundui/clubs.h"
#include "roundui/gameui.h"
#include "roundui/input.h"
#include "roundui/replay.h"
#include "roundui/roundturn.h"
#include "roundui/scorecard.h"

namespace {

class RoundInterface : public RoundInterfaceProvider {
 public:
  const char* Name() const override { return "in-round interface"; }
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
  void HoleReleased() override { DestroyGameUI(); }
  // Every shot ends in the after-shot choice, whose handlers count it.
  bool CountsShots() override { return true; }
  void BeginAfterShot() override { ::BeginAfterShot(); }
  void RemoteMessage(uint32_t id, void*) override { AfterShotMessage(id); }
  void ShowScoreCard(int) override { ShowScoreCardPage(-1); }
};

}  // namespace

void InstallRoundInterfaceServices() {
  static RoundInterface provider;
  Svc().round = &provider;
  // The club records feed the launch, and the ball physics records every live shot for the replays.
  clubs::InstallClubRecords();
  InstallReplayBuffer();
}
