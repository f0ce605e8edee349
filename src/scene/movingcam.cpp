#include "scene/movingcam.h"

#include <cmath>
#include <string>

#include "framework/core/preferencevalues.h"
#include "framework/core/registry.h"
#include "course/terrain.h"
#include "framework/core/utils.h"
#include "scene/random.h"
#include "scene/render3d.h"

TMountedMovingCamera* ActiveMovingCamera = nullptr;
std::function<void(uint32_t now)> CameraShotSampler;
std::function<void(TMountedMovingCamera&)> CameraViewPainter;

namespace {

TMountedMovingCamera gFull(false), gPip(true);
FrameStats gStats;

bool IsFullCameraKind(int kind) {
  switch (kind) {
    case 21: case 22: case 23: case 24: case 26: case 32: case 33: case 34: case 35: case 36: return true;
    default: return false;
  }
}
bool IsPipCameraKind(int kind) {
  switch (kind) {
    case 2: case 3: case 4: case 6: case 12: case 13: case 14: case 15: case 16: case 17: return true;
    default: return false;
  }
}

}  // namespace

TMountedMovingCamera& FullMovingCamera() { return gFull; }
TMountedMovingCamera& PipMovingCamera() { return gPip; }

bool TMountedMovingCamera::CanFollowBall() const {
  const CameraShot& shot = CurrentCameraShot();
  if (shot.launchSpeed >= 6.67f && !shot.IsWaterLike(static_cast<uint8_t>(GetTerrainSurface(shot.final.x, shot.final.y))))
    return true;
  return FindBallCamTarget(nullptr);
}

bool TMountedMovingCamera::Start(int k, bool resume) {
  const CameraShot& shot = CurrentCameraShot();
  kind = k;
  if (pip) {
    int32_t left = 0, top = 0;
    PipWindowCorner(shot.screenWidth, shot.screenHeight, &left, &top);
    rect[0] = left, rect[1] = top;
    rect[2] = left + shot.screenWidth * 40 / 100, rect[3] = top + shot.screenHeight * 40 / 100;
  } else {
    rect[0] = rect[1] = 0, rect[2] = shot.screenWidth, rect[3] = shot.screenHeight;
  }
  running = CanFollowBall();
  finished = false;
  framesDrawn = 0;
  ResetCameraFrameStats();
  startTime = 0;
  // The camera starts from the golfer's own view.
  camView = MainView;
  camView.eyeHeightOffset = PresetEyeHeight[shot.hardware ? 0 : 1];
  if (resume) run.Restart(&camView);
  else run.SelectMounts(&camView, kind);
  Step();
  return running;
}

void TMountedMovingCamera::Finish() {
  // The adaptive detail rests again until the next camera runs.
  if (running) ResetFrameStats();
  running = false;
  RemoveAnimation(this);
}

void TMountedMovingCamera::Step() { run.Update(&camView, CurrentCameraShot().fraction); }

int TMountedMovingCamera::Update(int* done, uint32_t now) {
  *done = 0;
  if (!running) {
    *done = 1;
    return 0;
  }
  if (CameraShotSampler) CameraShotSampler(now);
  if (startTime == 0) startTime = now;
  CurrentCameraShot().now = now;
  Step();
  lastEye = ViewLookPoint(camView);
  if (framesDrawn == 0) firstEye = lastEye;
  if (CameraViewPainter) CameraViewPainter(*this);
  ++framesDrawn;
  UpdateCameraFrameStats(now);
  const CameraShot& shot = CurrentCameraShot();
  if (shot.fraction >= 1.0f && run.IsFinished(shot.fraction)) finished = true;
  *done = finished;
  return 0;
}

bool KindAvailable(int kind, int flag) {
  const CameraShot& shot = CurrentCameraShot();
  if (shot.launchSpeed < 6.67f) return false;
  if (IsGalleryKind(kind) && shot.putter) return false;
  if (kind == kFullAutoCam)
    return HoleMinDetailDistance[0] == 0 || GraphicsPreferences[kPrefTerrainDetail] == 3 || flag == 1;
  return true;
}

void ChooseKindsForShot(int kind, int flag) {
  CameraShot& shot = CurrentCameraShot();
  const uint32_t P = (shot.viewChoices >> 12) & 0xF, M = (shot.viewChoices >> 16) & 0xF;
  TMountedMovingCamera* chosen = nullptr;
  if (kind <= 20 || shot.special) {
    if (kind == kPipDefaultCam) {
      if (P == 2) kind = kPipBallCam;
      else if (P == 9) kind = NextReverseBallKind(true, shot.launchSpeed, shot.ballOnGreen);
      else if (P == 1) kind = NextGalleryKind(true, shot.launchSpeed);
      else if (P == 10) kind = kPipQtrGalleryCam;
      else if (P == 11) kind = kPip3QtrGalleryCam;
      else if (P == 4) kind = kPipTowerCam;
      else kind = (M == 6 || P == 3) ? kPipAutoCam : kPipStaticCam;
    }
    if (shot.special) kind = (RandomNextByte() & 1) ? kPipBallCam : kPipStaticCam;
    if (IsPipCameraKind(kind)) chosen = &gPip;
  } else if (shot.hardware && !(shot.launchSpeed < 6.67f && kind != kFullStaticCam && !shot.ballOnGreen)) {
    if (kind == kFullDefaultCam) {
      if (M == 3) kind = kFullBallCam;
      else if (M == 7) kind = NextReverseBallKind(false, shot.launchSpeed, shot.ballOnGreen);
      else if (M == 4) kind = NextGalleryKind(false, shot.launchSpeed);
      else if (M == 8) kind = kFullQtrGalleryCam;
      else if (M == 9) kind = kFull3QtrGalleryCam;
      else if (M == 5) kind = kFullTowerCam;
      else if (M == 6) kind = kFullAutoCam;
      else kind = kFullStaticCam;
    }
    if (IsFullCameraKind(kind)) chosen = &gFull;
  }
  ActiveMovingCamera = chosen;
  if (!chosen) {
    // A kind that no camera serves runs none; told once.
    static bool told[kCameraKindCount + 1] = {};
    const int k = kind >= 0 && kind < kCameraKindCount ? kind : kCameraKindCount;
    if (kind != kPipBlimpCam && !told[k]) {
      told[k] = true;
      WriteLogLine(("Camera: no moving camera serves " + std::string(CameraKindName(kind))).c_str());
    }
    return;
  }
  if (!KindAvailable(kind, flag)) {
    ActiveMovingCamera = nullptr;
    return;
  }
  if (!chosen->Start(kind, false)) {
    ActiveMovingCamera = nullptr;
    return;
  }
}

void ChooseCameraForShot() {
  ActiveMovingCamera = nullptr;
  const CameraShot& shot = CurrentCameraShot();
  const uint32_t M = (shot.viewChoices >> 16) & 0xF, P = (shot.viewChoices >> 12) & 0xF;
  if (M >= 3 && M <= 9) ChooseKindsForShot(kFullDefaultCam, 0);
  else if (P != 0) ChooseKindsForShot(kPipDefaultCam, 0);
  else if (FindBallCamTarget(nullptr)) ChooseKindsForShot(kPipStaticCam, 0);
}

bool FullScreenCameraOwnsScreen() {
  return ActiveMovingCamera == &gFull && gFull.running && !gFull.finished && gFull.framesDrawn > 0;
}

FrameStats& CameraFrameStats() { return gStats; }

namespace {

void RememberLook() {
  if (!ActiveMovingCamera) return;
  const TGolfView& v = ActiveMovingCamera->camView;
  gStats.lookX = v.cameraX, gStats.lookZ = v.cameraZ, gStats.heading = v.heading;
}

}  // namespace

void ResetCameraFrameStats() {
  const uint32_t pause = gStats.pendingPause;
  gStats = FrameStats{};
  gStats.pendingPause = pause;
  RememberLook();
}

void UpdateCameraFrameStats(uint32_t now) {
  FrameStats& s = gStats;
  if (s.startTime == 0) s.startTime = now;
  if (ActiveMovingCamera) {
    const TGolfView& v = ActiveMovingCamera->camView;
    s.moved = (v.cameraX == s.lookX && v.cameraZ == s.lookZ) ? 0 : 1;
    s.headingChange = static_cast<int16_t>(AngleDelta(s.heading, v.heading));
  }
  uint32_t dt = now - s.lastTime;
  s.lastTime = now;
  RememberLook();
  if (now - s.startTime < 2) {
    s.average = s.instant = 25.0f;
    s.ringSum = 750.0f;
    s.ringIndex = 0;
  } else {
    if (s.pendingPause < dt) s.startTime += s.pendingPause, dt -= s.pendingPause;
    s.pendingPause = 0;
    s.average = static_cast<float>(s.frameCount) * 1000.0f / static_cast<float>(now - s.startTime);
    // A frame of no measurable length counts as one millisecond, so the rate stays finite.
    s.instant = 1000.0f / static_cast<float>(dt == 0 ? 1 : dt);
    s.ringSum += s.instant - s.ring[s.ringIndex];
    s.ring[s.ringIndex] = s.instant;
    s.ringIndex = s.ringIndex >= 29 ? 0 : s.ringIndex + 1;
  }
  if (s.frameCount == 1) {
    for (float& r : s.ring) r = s.instant;
    s.ringSum = 30.0f * s.instant;
    s.ringIndex = 0;
    s.moved = 2;
  }
  ++s.frameCount;
  // The adaptive detail step reads these.
  gAdaptive.frameRateSum = s.ringSum;
  gAdaptive.headingChange = s.headingChange;
  gAdaptive.cameraMovedMode = s.moved;
}
