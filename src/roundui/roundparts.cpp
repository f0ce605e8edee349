#include "roundui/roundparts.h"

#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/inputstate.h"
#include "mmsystem.h"
#include "roundui/aftershot.h"
#include "roundui/gameui.h"
#include "roundui/replay.h"
#include "roundui/roundturn.h"
#include "roundui/roundview.h"
#include "roundui/shotpanels.h"
#include "windows.h"

void DestroyAfterShotList() { DestroyAfterShotHandler(); }

void RefreshShotInfoPanels(int value) {
  // The lie first, then the distances, with the same mode.
  if (LiePanel) LiePanel->Update(value);
  if (DistancePanel) DistancePanel->Update(value);
}

void PlayShotBack() {
  // Without the round's screen there is nothing to watch the ball on.
  if (!GameUIBuilt() || GetReplayFrameCount() < 2) return;
  const ReplayFrame* first = GetReplayFrame(0);
  const Vector3 from = first ? first->position : Vector3{};
  SetReplayPlaying(true);
  StartReplayPlayback();
  // The replay's own clock steps one frame time a pass, so a replay shows the same frames however fast the machine.
  constexpr uint32_t kFrameMs = 40;
  MARect drawn{};
  bool firstFrame = true;
  const uint32_t start = RewindReplayPlayback();
  for (uint32_t clock = start;; clock += kFrameMs) {
    SampleReplayAtTime(clock);
    if (const Vector3* at = GetPlaybackBallPos()) {
      drawn = DrawReplayBall(*at, from, firstFrame ? nullptr : &drawn);
      firstFrame = false;
    }
    UpdateScreen();
    Svc().sound->Update();
    if (GetReplayEndTime() < clock) break;
    Sleep(kFrameMs);
  }
  SetReplayPlaying(false);
  InvalidateRoundView();
}

