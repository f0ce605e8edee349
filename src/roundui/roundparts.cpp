#include "roundui/roundparts.h"

#include <algorithm>

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

bool SampleReplayForScene(uint32_t elapsed, float* position, uint8_t* event, bool* ended) {
  if (GetReplayFrameCount() < 2 || !GetReplayPlaying()) return false;
  const uint32_t duration = GetReplayDuration();
  const uint32_t start = GetReplayEndTime() - duration;
  SampleReplayAtTime(start + std::min(elapsed, duration));
  const Vector3* at = GetPlaybackBallPos();
  const uint8_t* e = GetPlaybackEvent();
  if (!at || !e) return false;
  position[0] = at->x, position[1] = at->y, position[2] = at->z;
  std::copy(e, e + kBallEventBytes, event);
  *ended = elapsed >= duration;
  return true;
}

namespace {

// Until the animations have run out (or a key asks to skip them), one pass a frame time on the replay's clock.
void PlayShotAnimations(uint32_t frameMs) {
  uint32_t clock = 1000;
  for (int passes = 0; passes < 3000; ++passes, clock += frameMs) {
    Svc().scene->UpdateSceneAnimations(clock);
    UpdateScreen();
    Svc().sound->Update();
    if (!Svc().scene->AnyAnimationRunning()) break;
    Sleep(frameMs);
  }
  Svc().scene->EndShotAnimations();
}

}  // namespace

void PlayShotBack() {
  // Without the round's screen there is nothing to watch the ball on.
  if (!GameUIBuilt() || GetReplayFrameCount() < 2) return;
  const ReplayFrame* first = GetReplayFrame(0);
  const Vector3 from = first ? first->position : Vector3{};
  SetReplayPlaying(true);
  StartReplayPlayback();
  // The replay's own clock steps one frame time a pass, so a replay shows the same frames however fast the machine.
  constexpr uint32_t kFrameMs = 40;
  // The view from where the shot was played; the scene animates the golfer and the ball over it.
  DrawShotStartView(from);
  if (Svc().scene->StartShotAnimations()) {
    PlayShotAnimations(kFrameMs);
  } else {
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
  }
  SetReplayPlaying(false);
  InvalidateRoundView();
}
