// Camera mounts: for one shot, where one golf view stands and where it looks. A mount is begun when its part of the
// shot starts and tracked every frame with the flight's playback fraction (0 at the strike, 1 at the end). A mount
// list runs up to five mounts one after another over the flight; the mount run is what a moving camera holds.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "course/vector3.h"
#include "scene/camkinds.h"
#include "scene/golfview.h"

// The shot as the cameras see it: the recorded flight and the points around it, filled when a shot's camera is
// chosen; ball, fraction and now move on every frame.
struct CameraShot {
  std::vector<Vector3> frames;  // recorded ball positions, first to last
  uint8_t lastEventByte4 = 0;   // the last recorded frame's fifth event byte (the ball ended in a hazard)
  Vector3 rest{}, final{}, aim{}, goal{}, ball{};
  float fraction = 0.0f;  // playback fraction of the flight
  uint32_t now = 0;       // the animation clock (ms)
  float launchSpeed = 0.0f;
  int shotState = -1;     // the golfer's shot state (-1 none)
  int golferState = 0;    // low 4 bits 7: the ball is dropping into the hole
  uint32_t viewChoices = 0;  // the local golfer's Display choices: PIP bits 12-15, Main view bits 16-19
  bool ballOnGreen = false, putter = false, special = false, hardware = false, dynamicCamera = false;
  int32_t screenWidth = 640, screenHeight = 480;
  int savedRandom = 255;  // the random index the simulation kept at the shot's start
  uint8_t extraWater[2] = {0xFF, 0xFF};  // the course's water-like surface codes (0xFF none)
  uint8_t extraRough = 0xFF;             // the course's third extra surface code

  // Highest recorded frame (the first of equal heights; 0 without frames).
  int HighestFrame() const;
  double FrameFraction(int n) const;  // 0 with fewer than two frames
  Vector3 LastFrame() const;
  // The greatest height of the flight above the line start + slope x fraction (0 at least).
  float MaxRiseAboveLine(float start, float slope) const;
  bool FrameNear(const Vector3& p, float tolerance, int* frame) const;
  bool IsWaterLike(uint8_t surface) const;
};
CameraShot& CurrentCameraShot();

// 4550 (about 25 degrees) for the shot states whose views are turned, else 0.
int32_t ViewTurnForShotState(int state);
// The screen layout for a screen width (0: up to 640, 1: up to 800, 2: larger) and its picture-in-picture corner,
// moved so a window 40% of the screen stays on it.
int ScreenLayoutFor(int32_t width);
void PipWindowCorner(int32_t width, int32_t height, int32_t* left, int32_t* top);

// Ground headings in the views' sense: the back vector (sin, cos) of HeadingBetween(a, b) points from b toward a.
int32_t HeadingBetween(const Vector3& a, const Vector3& b);
Vector3 OffsetPointOnHeading(float distance, int32_t heading, const Vector3& p);
// A view's eye point: where its camera stands, at its eye height.
Vector3 ViewLookPoint(const TGolfView& view);

class TCameraMount {
 public:
  TCameraMount() = default;
  virtual ~TCameraMount() = default;
  TCameraMount(const TCameraMount&) = delete;
  TCameraMount& operator=(const TCameraMount&) = delete;

  virtual void Begin(TGolfView* v);
  virtual void Track(TGolfView* v, float t) = 0;
  virtual void Update(TGolfView* v, float t) {
    Track(v, t);
    ++frameCount;
  }
  virtual bool IsDone() { return IsTrackingKind(); }
  void Reset() { frameCount = 0, param64 = 0; }

  bool IsTrackingKind() {
    if (!tracksCached) tracksValue = KindTracksBall(kind), tracksCached = true;
    return tracksValue;
  }
  bool IsFullView() const { return KindIsFullView(kind); }
  // Camera stands at `a` looking toward `b`.
  void LookAt(const Vector3& a, const Vector3& b);
  void UpdateViewTransform();
  void MoveViewBack(float d);
  // +1 the shot runs away from the view's side, -1 toward it, 0 the golfer is behind the view.
  int ViewSideOfHole() const;
  void UpdateShowFlags();
  struct ShotLine {
    Vector3 start{}, end{}, direction{};
    float length = 0.0f;
    int32_t heading = 0;  // from the end toward the start
  };
  ShotLine GetShotLine(float s, float e) const;
  float ProjectBallRow() const;

  int kind = kPipDefaultCam;
  bool enabled = false;
  TGolfView* view = nullptr;
  uint8_t flagByte = 0;
  Vector3 target{}, ballStart{}, lookVector{};
  bool following = false;
  int param40 = 0, param64 = 0;
  int32_t zoomLevel = 0;
  float limitTop = 0, limitBottom = 0, limit3 = 0, limit4 = 0;
  uint32_t frameTick = 0;  // transitions: the clock of their last tracked frame, 0 before the first
  int stepValue = 0, frameCount = 0;
  float endFraction = 0.0f;
  float eyeDistance = 0.0f;
  float value7c = 0, value84 = 0, value88 = 0;
  float endGroundHeight = 0, startGroundHeight = 0, heightDrop = 0;
  bool showPip = false, showFull = false, carriedPip = false, carriedFull = false;
  int32_t viewTurn = 0;

 private:
  bool tracksCached = false, tracksValue = false;
};

class TBallMount : public TCameraMount {
 public:
  void Begin(TGolfView* v) override;
  void Track(TGolfView* v, float t) override;
  float eyeRise = 0.0f;
};
// The reverse-ball variant of the last reverse-ball mount begun: 0 looks back, 1 turns over the flight, 2 turns
// at the apex.
int& ReverseBallVariant();

class TStaticCamera : public TCameraMount {
 public:
  void Begin(TGolfView* v) override;
  void Track(TGolfView* v, float t) override;
  void Update(TGolfView* v, float t) override { Track(v, t); }
  bool IsDone() override { return true; }
};

class TGalleryMount : public TCameraMount {
 public:
  void Begin(TGolfView* v) override;
  void Track(TGolfView* v, float t) override;
  int16_t startCentreY = 0;
  bool rising = false;
};

class TTowerMount : public TCameraMount {
 public:
  void Begin(TGolfView* v) override;
  void Track(TGolfView* v, float t) override;
  float WantedRow(float rise) const;
  float towerRise = 0.0f;
  float backDistance = 30.0f, side = 0.0f;  // as the search left them
};

class THolePopupMount : public TCameraMount {
 public:
  void Begin(TGolfView* v) override;
  void Track(TGolfView* v, float t) override;
  Vector3 ballAtStart{};
  float targetDistance = 0.0f;
  int candidatesTried = 0;
};

class TRotateMount : public TCameraMount {
 public:
  void Begin(TGolfView*) override {}
  void Track(TGolfView*, float) override {}
  void Update(TGolfView*, float) override {}
};

class TTransitionMount : public TCameraMount {
 public:
  void Begin(TGolfView* v) override;
  void Track(TGolfView* v, float t) override;
  bool IsDone() override { return progress >= 1.0f; }
  void SetDuration(float seconds);
  void SetEndView(const TGolfView& v);
  static float Ease(float t);

  TGolfView startView, endView, currentView;
  float progress = 0.0f;
  bool orbit = false;
  Vector3 orbitTarget{};
  uint32_t startTick = 0, endTick = 0, elapsed = 0, duration = 2000;
  bool skip = false, checkSkip = false;

 protected:
  // The base set-up on the camera's view, every change to the view undone.
  void BeginKeepingView(TGolfView* v);
  void OrbitStep(float e);
};
class TTransitionBallMount : public TTransitionMount {
 public:
  void Begin(TGolfView* v) override;
};
class TTransitionGallMount : public TTransitionMount {
 public:
  void Begin(TGolfView* v) override;
};
class TTransitionPinMount : public TTransitionMount {
 public:
  void Begin(TGolfView* v) override;
};

// The signed short way round from a to b (both wrapped first).
int32_t AngleDelta(int32_t a, int32_t b);

// A new mount for the kind (auto kinds stored as the ball kinds), enabled; null for kinds that no mount serves.
std::unique_ptr<TCameraMount> CreateMountForKind(int kind);

class TMountList {
 public:
  static constexpr int kMounts = 5;
  // False (and the mount dropped) when the list is full or there is no mount.
  bool Add(std::unique_ptr<TCameraMount> mount);
  void Restart(TGolfView* v);
  void Advance();
  int CheckSwitch(float time);
  void UpdateCurrent(TGolfView* v, float time) {
    if (TCameraMount* m = Current()) m->Update(v, time);
  }
  TCameraMount* Current() const { return current < initialCount ? mounts[current].get() : nullptr; }

  int count = 0, initialCount = 0, current = 0;
  std::unique_ptr<TCameraMount> mounts[kMounts];
};

class TMountRun {
 public:
  bool HasMounts() const { return list && list->count != 0; }
  void SetList(std::unique_ptr<TMountList> l) { list = std::move(l); }
  void SelectMounts(TGolfView* v, int kind);
  void Restart(TGolfView* v) {
    if (list) list->Restart(v);
  }
  void Update(TGolfView* v, float time);
  bool IsFinished(float time) const;
  void AddMount(float end, int kind);

  float endFraction = 0.0f;
  bool pastEnd = false;
  std::unique_ptr<TMountList> list;
};

// The flight fraction at which the recorded flight reaches the hole, when the shot ends there; false otherwise.
bool FindBallCamTarget(float* fraction);
