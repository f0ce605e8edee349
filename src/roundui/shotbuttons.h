// The buttons of the shot controls beside the meter: the six shot-type buttons (putt, bump and run, chip, pitch,
// full, reset), the four shot-shape buttons that lower or raise the trajectory and draw or cut the shot while
// held, and the safe and aggressive buttons that let the computer golfer's planner set the shot up.
#pragma once

#include <cstdint>
#include <functional>

#include "roundui/inroundbutton.h"

class TShotUIManager;

// ---- shot-type buttons ------------------------------------------------------------------------------------------

// What a shot-type button (1..6) sets: shot type, the club it asks for (-1 unchanged, -2 the club for the
// distance to the pin, else the nearest club of the bag at or below it), the meter's label code and help text.
struct ShotTypeChoice {
  int shotType;
  int club;
  int labelCode;
  const char* help;
};
const ShotTypeChoice& ShotTypeButtonChoice(int button);
// The nearest club of the bag at or below `club` (stepping down through the bag when it is missing).
int NearestClubAtOrBelow(uint32_t bag, int club);

class TShotTypeBtn : public TInRoundButton {
 public:
  explicit TShotTypeBtn(int button);
  void Setup() override;
  bool AcceptsInput() override;
  const uint8_t* GetHitShape(int pointerOver) override;
  void Draw(int redrawNow) override;
  void OnPointerLeave(int16_t x, int16_t y) override;
  void OnClick() override;
  // The face list (0 normal, 1 focused, 2 pressed or selected) the button shows now.
  int FaceLook();
  int button;
  int32_t anchorX = 0, anchorY = 0;
};
// The shot type of the golfer matches the button's (reset never does).
bool ShotTypeSelected(int button, uint32_t shotType);

// ---- shot-shape buttons -----------------------------------------------------------------------------------------

class TBallSpinBtn : public TInRoundButton {
 public:
  explicit TBallSpinBtn(int kind);
  void Setup() override;
  bool AcceptsInput() override;
  const uint8_t* GetHitShape(int pointerOver) override;
  int OnPointerDown(int16_t x, int16_t y, uint8_t buttons) override;
  int OnPointerUp(int16_t, int16_t, uint8_t) override { return 0; }
  void Draw(int redrawNow) override;
  void OnClick() override {}
  // The work of a press: a right press resets the value, a left press moves it while `held` says the button is
  // still down (one call a pass). The passes made.
  int Press(bool right, const std::function<bool()>& held);
  int kind;  // 1 lower, 2 draw, 3 cut, 4 more backspin
  int32_t anchorX = 0, anchorY = 0;
};
// Whether the club, shot type and lie leave room for a kind of shaping.
bool ShapingAvailable(int kind);
// Moves the meter's trajectory or curve to the (clamped) value over 700 ms for 50 units, recomputing and
// drawing the arc at every step; the steps taken.
int SetTrajectoryAnimated(float value);
int SetCurveAnimated(float value);
// Help text of a shape kind.
const char* SpinHelpText(int kind);

// ---- safe and aggressive ----------------------------------------------------------------------------------------

constexpr int32_t kChoiceNone = 0, kChoiceSafe = 2, kChoiceAggressive = 4;
int32_t& AggrSafeChoice();
// The planner's style of a choice: 1 safe, 2 aggressive, 0 otherwise.
int PlannerStyle(int32_t choice);
bool AggrSafeAvailable();
// Sets the choice and lets the planner set the golfer's shot up in its style (aim, club, shot type).
void ApplyAggrSafeChoice(int32_t id);
void ResetAggrSafeChoice();

class TBallAggrSafeRadioBtn : public TInRoundButton {
 public:
  explicit TBallAggrSafeRadioBtn(int32_t id);
  bool AcceptsInput() override;
  const uint8_t* GetHitShape(int pointerOver) override;
  void Draw(int redrawNow) override;
  void OnClick() override;
  int32_t buttonId;
  int32_t anchorX = 0, anchorY = 0;
};

// Creates the shot-type, shape and safe/aggressive buttons and adds them to the group; 0 or an error code.
int CreateShotButtons(TShotUIManager* group);
