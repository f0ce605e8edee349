// The power meter: the swing's timed needle ("3 clicks") and the mouse swing ("Pro swing"), the holder of the
// shot's set-up values (power, curve, trajectory) and of the swing's results, which become the launch.
#pragma once
#include <cstdint>
#include <functional>

#include "course/vector3.h"
#include "framework/ui/eventhandler.h"
#include "roundui/pixels16.h"

struct BallState;
struct playerInfo_s;

// Meter positions: 16-bit angle units (0x10000 a turn, 182 a degree).
constexpr int32_t kMeterDegree = 182;
constexpr int32_t kMeterStart = 0xC000;
constexpr int32_t kMeterFull = 0x8000;
constexpr int32_t kMeterTop = 0xA000;
constexpr int32_t kMeterSlowdown = 0x9555;
constexpr int32_t kMeterWindow = 0x1999;
constexpr int32_t kMeterBackswingDone = -0xCCC;
constexpr int32_t kMeterNone = 0xC000;
// Needle speeds: 16.16 milliseconds per degree.
constexpr uint32_t kSpeedStart = 0x64000;
constexpr uint32_t kSpeedStop = 0x320000;

enum MeterState : int8_t { kMeterIdle = 0, kMeterBackswing, kMeterRising, kMeterStopping, kMeterReturning, kMeterFollow };

// State of the mouse swing, cleared at the start of each swing.
struct ProSwingState {
  int32_t centreX = 0, centreY = 0;  // where the pointer is put back after each sample
  int32_t savedX = 0, savedY = 0;    // the pointer before the swing
  bool started = false, backswingDone = false, forward = false;
  int axis = 0;                      // 1 horizontal, 0 vertical
  bool backswingNegative = false;
  float accumulator = 0.0f;
  int32_t peak = 0;
  bool autoRun = false;
  int32_t remaining = 0, target = 0;
  float autoSpeed = 0.0f;
  uint32_t startTime = 0, reversalTime = 0, autoStartTime = 0;
  bool earlyPress = false;
};

class TPowerMeterUI : public MA_EventHandler {
 public:
  TPowerMeterUI();
  ~TPowerMeterUI() override;

  // ---- what the golf simulation and the shot controls use -------------------------------------------------------
  void ResetValues();
  void SetPower(float p);        // refused while a swing runs; kept on whole degrees
  void SetCurve(float curve);    // refused while a swing runs; clamped to the club's limits
  bool SetTrajectory(float t);   // clamped to the club's range; true when it changed
  void StoreSwingResult();       // a swing without the meter (computer golfer)
  int32_t PowerToMeterPos(float p) const;
  float MeterPosToPower(int32_t pos) const;
  float Allowance() const;
  bool UpdateShotClass();        // from the golfer's shot type; true when the picture must change

  // ---- the swing ------------------------------------------------------------------------------------------------
  // Runs a whole swing modally: polls the space bar and pointer buttons, times the needle on the clock.
  void RunSwing(bool practice);
  void SwingPress();
  void SetPowerMark();
  void EndPowerPhase();
  void SetAccuracyMark();
  void FinishSwing();
  // One idle pass at the clock's present (both swing types).
  void Step();
  bool MoveNeedleUp(int32_t step);
  bool MoveNeedleDown(int32_t step);

  // ---- the handler ---------------------------------------------------------------------------------------------
  int OnChar(uint16_t code) override;
  int OnPointerDown(int16_t x, int16_t y, uint8_t buttons) override;
  int IsPointerOver(int16_t x, int16_t y, uint8_t buttons) override;
  int OnIdle() override;
  void Draw(int redrawNow) override;
  void Erase(int redrawNow) override;
  void OnFocusChanged() override { Redraw(); }

  // Places the meter: the centre of its start button and the radius of the arc (the rectangle follows).
  void Layout(int32_t centreX, int32_t centreY, int32_t outerRadius);
  bool HitStartButton(int32_t x, int32_t y) const;
  bool HitMeter(int32_t x, int32_t y) const;
  // The whole meter, as Draw puts it on the display buffer.
  void Paint(Pixels16& target);
  // Art frames (8-bit shape frames with a 32-bit colour table, hot spot on the meter's centre) that the plain and
  // the highlighted arc are cut from; null draws the meter's own colours. Draw takes them from the in-round
  // shape set each time, so they never outlive it.
  void UseArt(const uint8_t* plain, const uint8_t* highlight);
  // The Pro swing's club icon frame for the present state (1..last).
  int ProSwingIconFrame() const;

  // ---- values ----------------------------------------------------------------------------------------------------
  int8_t state = kMeterIdle;
  int32_t riskLevel = 1;
  int32_t shotClass = 5;  // 3 Bump, 4 Chip, 5 Full, 6 Pitch, 7 Putt
  int32_t labelCode = 0;  // a shot-type button under the pointer names its shot (0: the shot class)
  int32_t iconClass = 5;
  int32_t centreX = 0, centreY = 0;
  int32_t innerRadius = 14, outerRadius = 48;
  int32_t buttonRadius = 12;
  uint32_t speed = kSpeedStart, riseTarget = 0, returnTarget = 0;
  uint32_t lastUpdate = 0;
  int32_t needle = kMeterStart;
  int32_t fullPower = kMeterFull;
  int32_t fullPowerCopy = kMeterFull;
  int32_t powerMark = kMeterNone, accuracyMark = kMeterNone;
  float finalPower = 1.0f, finalCurve = 0.0f, accuracyError = 0.0f;
  float power = 1.0f, curve = 0.0f, trajectory = 0.0f;
  float shotFactorA = 1.0f, shotFactorB = 1.0f;
  int32_t powerPreset = 0, curvePreset = 0;
  int32_t mishit = 0;
  int32_t powerGuide = 0;
  bool practice = false;
  bool swingRunning = false;
  bool shotComputed = false;
  int32_t sensitivity = 60;
  float sensitivityFactor = 0.0f;
  ProSwingState pro;

  // ---- who swings ------------------------------------------------------------------------------------------------
  // The golfer's swing type (false: "3 clicks"), a computer golfer, golfer model 17 (larger overswing), and
  // the distance setting: set from the active golfer by the interface before each shot.
  bool proSwing = false;
  bool computer = false;
  bool bigAllowance = false;
  int distanceSetting = 0;
  bool showGuide = false;
  // Whether a swing may start now (the golfer's turn, shot input allowed); none: always.
  std::function<bool()> usable;
  // Called as a swing starts, before it reads anything of the shot (the aim, the predicted risk); none: nothing.
  std::function<void()> prepare;
  // What a real swing does once its shot is computed: launches the shot; none: nothing.
  std::function<void()> launch;
  // The ball and golfer the finished swing computes its shot for; none: the active golfer's.
  std::function<void(TPowerMeterUI*)> computeShot;

 private:
  uint16_t ArtAt(int32_t x, int32_t y, int32_t pos, bool highlight) const;
  void TakeArtFromShapeSet();
  const uint8_t* art_[2] = {nullptr, nullptr};
  uint16_t artPalette_[2][256] = {};
  void StepThreeClicks(uint32_t now, uint32_t dt);
  void StepPro(uint32_t now, uint32_t dt);
  void Accelerate(uint32_t dt);
  bool Pressed();
  void PaintWedges(Pixels16& t, int32_t from, int32_t to, bool highlight);
  void PaintMark(Pixels16& t, int32_t pos, uint16_t colour);
  void PaintButton(Pixels16& t);
  void PaintIcon(Pixels16& t);
  void MarkDirty();
  void RedrawNeedle(int32_t from, int32_t to, bool highlight);
};

// The one meter (null when none is made).
extern TPowerMeterUI* PowerMeter;
// In-round input gate cleared while a swing runs.
extern bool MeterInputEnabled;

// Turns the meter's readings into the ball's launch: curve from the accuracy, mishits, the launch and the
// direction error. `eye` is the main view's eye (for the distance to the target).
void ComputeShotFromSwing(TPowerMeterUI* meter, BallState* ball, playerInfo_s* golfer, const Vector3& eye);
