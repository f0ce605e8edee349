// Aiming and the targeting arc: the aim point the golfer moves with keys and mouse, the prediction of the
// shot's flight from a copy of the ball, and the ribbon, landing markers, tag and putting target drawn over
// the main view.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "course/vector3.h"
#include "framework/ui/eventhandler.h"
#include "roundui/pixels16.h"

class TGolfView;
struct BallState;
struct playerInfo_s;

struct tagArrowStruct {
  int32_t x = 0, y = 0;  // screen position of the landing point
  Vector3 point{};
  uint32_t depth = 0;
  uint8_t kind = 0;      // 0 not shown, else the colour index
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct ArcSegment {
  int32_t x[4], y[4];  // corners 0, 1 at the start, 2, 3 at the end
  uint32_t depth;
  uint8_t kind;
};

// Colour indices of arc and markers.
enum ArcKind : uint8_t { kArcNone = 0, kArcFlight = 1, kArcHazard = 2, kArcReplay = 4, kArcSecond = 5, kArcProvisional = 99 };
constexpr int kArcSegmentCapacity = 500;
constexpr int kArcStepLimit = 501;      // a flight that has not landed by then flew away
constexpr uint32_t kAimStepMs = 30;      // a held aiming key steps this often, whatever the loop's speed
constexpr float kArcStepSeconds = 0.025f;

extern Vector3 AimPoint;
extern tagArrowStruct LandingMarkers[2];
extern uint8_t LastLandingState[25];

class TargetingArcEventHandler : public MA_EventHandler {
 public:
  TargetingArcEventHandler();
  ~TargetingArcEventHandler() override;
  bool Init();
  // A new shot: the aim point, and with resetShape the meter's curve and trajectory back to 0.
  void Layout(BallState* ball, const Vector3& aim, playerInfo_s* golfer, bool resetShape);
  // Ends an aim gesture: the full redraw a second later.
  void Restart();

  int OnChar(uint16_t code) override;  // arrow keys (with Shift: shot shape; with Ctrl: turn the view)
  int OnKeyDown(uint16_t code) override;
  int OnPointerDown(int16_t x, int16_t y, uint8_t buttons) override;
  int OnIdle() override;
  void Draw(int mode) override;
  void Erase(int mode) override;
  int HasFocus() override { return 0; }
  int IsShownAndEnabled() override { return 0; }

  // Draws segments, markers, the tag and the putting target as they stand.
  void Paint(Pixels16& target);
  // The tag's lines: club, distance, height (left out on a hazard), lie.
  std::vector<std::string> TagLines() const;

  bool arcReady = false;
  Vector3 landing{};
  bool drawn = false;
  bool viewSaved = false;
  int32_t savedHeading = 0;
  uint32_t lastFollowTime = 0;
  bool mousePlaced = false;
  bool useMeterPower = false;
  uint32_t ArcDelayedRedrawTime = 0;
  bool hazardWarning = false;
  bool flewAway = false;       // the last prediction did not come down
  bool puttTargetDrawn = false;
  int32_t tagLeft = 0, tagTop = 0, tagRight = 0, tagBottom = 0;
  int32_t tagLineHeight = 10;
  std::vector<ArcSegment> segments;

  // Settings of the shot: "Unadjusted" (only the aimed shot is predicted), the hole's two hazard codes.
  bool unadjusted = false;
  uint8_t hazardCodes[2] = {0xFF, 0xFF};
  // The view the arc is drawn over (the main view when none is given), and the screen size.
  TGolfView* view = nullptr;
  int32_t screenWidth = 640, screenHeight = 480;
  // Whether the golfer may aim now (round running, no dialog, this machine's turn); none: always.
  std::function<bool()> mayAim;
  // A press inside this rectangle (the meter and shot panels) is theirs.
  int32_t keepOutLeft = 0, keepOutTop = 0, keepOutRight = 0, keepOutBottom = 0;
  // Told when a predicted flight did not come down ("The ball is outta here!").
  std::function<void()> onFlewAway;
  // Told when the arc changed and the screen under it must be drawn again; none: the arc draws at once.
  std::function<void()> onChanged;
  // The shot the arc was laid out for: a new ball position or aim starts a new one (see FollowShot).
  Vector3 laidBall{1e30f, 0.0f, 0.0f};
  Vector3 laidAim{};
  // Lays the arc out afresh when the golfer's ball or the shot's aim moved since the last shot. True when it did.
  bool FollowShot();

  TGolfView& View() const;
  bool Aiming() const;
};

extern TargetingArcEventHandler* CurrentTargetingHandler;

// Recomputes the prediction (and draws it when redraw is set). Result 0.
int UpdateTargeting(TargetingArcEventHandler* h, int autoClub, int pip, int fromReplay, int redraw);
// The prediction for one marker (it only computes).
void DrawTargetingArc(TargetingArcEventHandler* h, int autoClub, int marker);

// Aim steps about the ball: by an angle (radians, positive turns left), and to a new ground length (at
// least 1). The height of the aim never changes.
Vector3 TurnAim(const Vector3& ball, const Vector3& aim, float radians);
Vector3 StretchAim(const Vector3& ball, const Vector3& aim, float length);
void RotateAimByPixels(TargetingArcEventHandler* h, int32_t dx);
void StretchAimByPixels(TargetingArcEventHandler* h, int32_t dy);
void TurnViewLeft(TargetingArcEventHandler* h, TGolfView* view, int steps);
void TurnViewRight(TargetingArcEventHandler* h, TGolfView* view, int steps);
bool ReaimAlongView(TargetingArcEventHandler* h, TGolfView* view);
// The ground point (at the given height) under a screen position, found through the view's projection.
bool ScreenToGround(const TGolfView& view, int32_t x, int32_t y, float height, const Vector3& start, Vector3* out);
// Turns the view about its focus so that the point lies straight ahead.
void LookToward(TGolfView& view, const Vector3& point);
// The depth key of a camera depth (software rule).
uint32_t ArcDepthKey(float cameraDepth);
