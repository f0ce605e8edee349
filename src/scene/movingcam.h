// Moving cameras: animations that own a camera view and, for one shot, drive it through the mounts of one camera
// kind. The full-screen camera replaces the main view; the picture-in-picture camera draws an inset over it. The
// kind for a shot follows the golfer's Main view and PIP choices, the launch speed and the club.
#pragma once

#include <cstdint>
#include <functional>

#include "scene/animlist.h"
#include "scene/cammount.h"

class TMountedMovingCamera : public TGolfAnimation {
 public:
  explicit TMountedMovingCamera(bool pipCamera) : pip(pipCamera) {}

  // Starts the shot's camera (a fresh mount list, or the same list again when resuming); false when it cannot
  // follow the ball.
  bool Start(int kind, bool resume);
  void Finish();
  bool CanFollowBall() const;
  int IsFrameDue(uint32_t /*now*/) override { return running; }
  int IsFinished() override { return !running || finished; }
  int Update(int* done, uint32_t now) override;
  int Erase() override { return 0; }
  // One step of the mount run at the shot's present fraction.
  void Step();

  TGolfView camView;
  bool pip;
  bool running = false, finished = false;
  int kind = 0;
  TMountRun run;
  uint32_t startTime = 0;
  int32_t rect[4] = {0, 0, 0, 0};  // left, top, right, bottom
  int framesDrawn = 0;
  Vector3 firstEye{}, lastEye{};  // where the camera stood at its first and its latest step
};

TMountedMovingCamera& FullMovingCamera();
TMountedMovingCamera& PipMovingCamera();
extern TMountedMovingCamera* ActiveMovingCamera;

// Refreshes the shot's ball, fraction and clock before each camera step (set by the round's glue).
extern std::function<void(uint32_t now)> CameraShotSampler;
// Draws a camera's view after each step (set by the round's glue; null in tests).
extern std::function<void(TMountedMovingCamera&)> CameraViewPainter;

bool KindAvailable(int kind, int flag);
// Chooses the camera for the shot's kind (20 PIP default, 39 full default, or an explicit kind) and starts it.
void ChooseKindsForShot(int kind, int flag);
// The game's choice at the start of a shot from the local golfer's view options.
void ChooseCameraForShot();
// True while the full-screen camera flies and has drawn a frame: the screen is its, not the golfer's view.
bool FullScreenCameraOwnsScreen();

struct FrameStats {
  uint32_t startTime = 0, lastTime = 0, frameCount = 0;
  float lookX = 0, lookZ = 0;
  int32_t heading = 0;
  float average = 25.0f, instant = 25.0f;
  float ring[30] = {};
  int ringIndex = 0;
  float ringSum = 750.0f;
  uint8_t moved = 1;
  int16_t headingChange = 0;
  uint32_t pendingPause = 0;
};
FrameStats& CameraFrameStats();
void ResetCameraFrameStats();
void UpdateCameraFrameStats(uint32_t now);
