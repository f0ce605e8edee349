#include "roundui/shotbuttons.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "framework/core/errors.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/inputstate.h"
#include "golf/aigolfer.h"
#include "golf/game.h"
#include "golf/launch.h"
#include "golf/player.h"
#include "mmsystem.h"
#include "roundui/clubbar.h"
#include "roundui/clubs.h"
#include "roundui/gameui.h"
#include "roundui/holepanel.h"
#include "roundui/powermeter.h"
#include "roundui/roundturn.h"
#include "roundui/roundview.h"
#include "roundui/shotclock.h"
#include "roundui/shotcontrols.h"
#include "roundui/shotui.h"
#include "roundui/targeting.h"
#include "roundui/tips.h"
#include "roundui/uishapes.h"
#include "windows.h"

namespace {

constexpr ShotTypeChoice kChoices[7] = {{0, -1, 5, ""},
                                        {7, clubs::kPutter, 7, "Putt"},
                                        {6, 10, 3, "Bump and Run"},
                                        {5, 13, 4, "Chip"},
                                        {4, 16, 6, "Pitch"},
                                        {1, -2, 5, "Full"},
                                        {0, -1, 5, "Reset"}};

bool Sounds() { return (RoundInput().soundOptions & 3) == 3; }

void PlaceAtFrame(MA_EventHandler* h, const uint8_t* frame, int32_t x, int32_t y) {
  const MARect r = FrameRectAt(frame, x, y);
  h->left = r.left, h->top = r.top, h->right = r.right, h->bottom = r.bottom;
}

// The arc follows a change of the shot: laid out again from the ball with the aim kept, then predicted.
void RelayArc(TPlayer* p) {
  if (TargetingArcEventHandler* arc = CurrentTargetingHandler) {
    arc->Layout(&p->ball, AimPoint, p, false);
    UpdateTargeting(arc, 0, 0, 0, 1);
  }
}

}  // namespace

// ---- shot-type buttons ------------------------------------------------------------------------------------------

const ShotTypeChoice& ShotTypeButtonChoice(int button) { return kChoices[button >= 1 && button <= 6 ? button : 0]; }

int NearestClubAtOrBelow(uint32_t bag, int club) {
  if ((bag >> club) & 1u) return club;
  playerInfo_s record;
  record.bag = bag;
  return PrevClubInBag(&record, club);
}

bool ShotTypeSelected(int button, uint32_t shotType) {
  return button >= 1 && button <= 5 && static_cast<uint32_t>(kChoices[button].shotType) == shotType;
}

TShotTypeBtn::TShotTypeBtn(int b) : TInRoundButton(static_cast<uint32_t>(b)), button(b) {}

void TShotTypeBtn::Setup() { text = ShotTypeButtonChoice(button).help; }

bool TShotTypeBtn::AcceptsInput() {
  const TPlayer* p = GolferToPlay();
  TGame* g = CurrentGame();
  return TInRoundButton::AcceptsInput() && p && (p->flags & kGolferFlag5) && g->IsLocalTurn() &&
         GameUIManager().shotInputAllowed;
}

int TShotTypeBtn::FaceLook() {
  if (HasFocus() && !PopupOpen()) return Input().buttonHeld && pointerOver ? 2 : 1;
  const TPlayer* p = GolferToPlay();
  return p && ShotTypeSelected(button, p->shotType) ? 2 : 0;
}

const uint8_t* TShotTypeBtn::GetHitShape(int) {
  static constexpr uint32_t kLists[3] = {kShapeShotDotA, kShapeShotDotB, kShapeShotDotC};
  return GameUIFrame(kLists[FaceLook()], button);
}

void TShotTypeBtn::Draw(int redrawNow) {
  if (!AcceptsInput()) return;
  const uint8_t* face = GetHitShape(pointerOver);
  PlaceAtFrame(this, face, anchorX, anchorY);
  DrawUIFrame(face, anchorX, anchorY);
  SetMaskShape(face);
  if (redrawNow) UpdateScreen();
  // The meter names the shot of the button under the pointer.
  if (PowerMeter && pointerOver && HasFocus() && !PopupOpen()) {
    PowerMeter->labelCode = ShotTypeButtonChoice(button).labelCode;
    PowerMeter->Draw(0);
  }
}

void TShotTypeBtn::OnPointerLeave(int16_t, int16_t) {
  if (PowerMeter && AcceptsInput()) {
    PowerMeter->labelCode = 0;
    PowerMeter->Draw(0);
  }
}

void TShotTypeBtn::OnClick() {
  if (!GameUIManager().inputEnabled || PopupOpen()) return;
  TGame* g = CurrentGame();
  TPlayer* p = GolferToPlay();
  if (!g || !p) return;
  if (p->model == 17 && (p->flags & kGolferFlag5) && g->IsLocalTurn() && HolePanel)
    HolePanel->LoadGolferPicture(g->state.currentPlayer, 1);
  ResetAggrSafeChoice();
  const ShotTypeChoice& c = ShotTypeButtonChoice(button);
  if (button <= 5) {
    if (p->shotType == static_cast<uint32_t>(c.shotType)) return;
    p->SetShotType(static_cast<uint32_t>(c.shotType));
    if (c.club == -2) {
      const float dx = g->pinPosition.x - p->ball.position.x, dy = g->pinPosition.y - p->ball.position.y;
      p->SetClub(clubs::ChooseClubForDistance(p, std::sqrt(dx * dx + dy * dy), 0));
    } else if (c.club == clubs::kPutter) {
      p->SetClub(clubs::kPutter);
    } else {
      p->SetClub(NearestClubAtOrBelow(p->bag, c.club));
    }
    // A club for the shot type, not the putter, leaves the shot type as chosen.
    if (p->shotType != static_cast<uint32_t>(c.shotType)) p->shotType = static_cast<uint32_t>(c.shotType);
    RelayArc(p);
  } else {
    // Reset: a full swing aimed at the target again.
    p->SetShotType(0);
    AimPoint = ShotAimPoint = g->GetTargetPoint();
    SetUpShotView(p->ball.position, AimPoint);
    RelayArc(p);
  }
  if (PowerMeter) PowerMeter->UpdateShotClass();
  RefreshClubSelection();
  UpdateShotInfoPanels(0);
  InvalidateRoundView();
}

// ---- shot-shape buttons -----------------------------------------------------------------------------------------

const char* SpinHelpText(int kind) {
  switch (kind) {
    case 1: return "Lower shot trajectory (right-click to reset trajectory)";
    case 2: return "Play a draw (right-click to cancel draw)";
    case 3: return "Play a cut shot (right-click to cancel fade)";
    case 4: return "Play more backspin (right-click to cancel backspin)";
    default: return "";
  }
}

bool ShapingAvailable(int kind) {
  const TPlayer* p = GolferToPlay();
  if (!p) return false;
  const clubs::ClubRecord& r = clubs::GetClubRecord(p->currentClub, static_cast<int>(p->shotType), false);
  float curve = std::clamp(100.0f, r.curveLow, r.curveHigh);
  float trajectory = std::clamp(100.0f, r.trajectoryLow, r.trajectoryHigh);
  const uint8_t surface = static_cast<uint8_t>((p->ball.lie & 0x0F) << 4);
  BallClubLaunchParams(surface, p->ball.lieDetail, p->currentClub, 1.0f, &curve, &trajectory, nullptr, nullptr,
                       nullptr, nullptr, nullptr, nullptr);
  return kind == 2 || kind == 3 ? curve != 0.0f : trajectory != 0.0f;
}

namespace {

// One step of an animation: the sound and the shot clock keep going, the arc follows the value.
void AnimationStep() {
  Svc().sound->Update();
  if (TShotClockUI* clock = ShotClock()) clock->OnIdle();
  if (TargetingArcEventHandler* arc = CurrentTargetingHandler; arc && GolferToPlay()) UpdateTargeting(arc, 0, 0, 0, 1);
  PresentRoundFrame();
}

template <typename Set>
int Animate(float from, float to, Set set) {
  const float duration = std::fabs(to - from) / 50.0f * 700.0f;
  if (duration <= 0.0f) return 0;
  const uint32_t start = timeGetTime();
  uint32_t seen = start;
  int steps = 0;
  for (float f = 0.0f; f < 1.0f;) {
    uint32_t now = timeGetTime();
    // A clock that stands still is moved on by waiting.
    if (now == seen && steps) {
      Sleep(1);
      now = timeGetTime();
    }
    seen = now;
    f = std::min(1.0f, static_cast<float>(now - start) / duration);
    set(from * (1.0f - f) + to * f);
    AnimationStep();
    ++steps;
  }
  return steps;
}

}  // namespace

int SetTrajectoryAnimated(float value) {
  TPowerMeterUI* m = PowerMeter;
  if (!m) return 0;
  const float old = m->trajectory;
  m->SetTrajectory(value);
  const float target = m->trajectory;
  return Animate(old, target, [m](float v) { m->SetTrajectory(v); });
}

int SetCurveAnimated(float value) {
  TPowerMeterUI* m = PowerMeter;
  if (!m) return 0;
  const float old = m->curve;
  m->SetCurve(value);
  const float target = m->curve;
  return Animate(old, target, [m](float v) { m->SetCurve(v); });
}

TBallSpinBtn::TBallSpinBtn(int k) : TInRoundButton(static_cast<uint32_t>(k)), kind(k) {}

void TBallSpinBtn::Setup() { text = SpinHelpText(kind); }

bool TBallSpinBtn::AcceptsInput() { return TInRoundButton::AcceptsInput() && PersonToPlay() && AwaitingSwing(); }

const uint8_t* TBallSpinBtn::GetHitShape(int over) {
  if (!HasFocus() || !ShapingAvailable(kind) || RoundInput().modalDialog) return GameUIFrame(kShapeSpinIdle, kind);
  if (Input().buttonHeld && over) return GameUIFrame(kShapeSpinPressed, kind);
  return GameUIFrame(kShapeSpinUsable, kind);
}

void TBallSpinBtn::Draw(int redrawNow) {
  if (!(flags & kHandlerShown) || !PersonToPlay()) return;
  const uint8_t* face = GetHitShape(pointerOver);
  PlaceAtFrame(this, face, anchorX, anchorY);
  DrawUIFrame(face, anchorX, anchorY);
  SetMaskShape(face);
  if (redrawNow) UpdateScreen();
}

int TBallSpinBtn::OnPointerDown(int16_t x, int16_t y, uint8_t buttons) {
  if (RoundInput().modalDialog || !AcceptsInput() || !HitTest(x, y)) return 0;
  if (!ShapingAvailable(kind)) return 0;
  if (HasFocus() && Svc().sound && Sounds()) Svc().sound->PlayMenuSound(1);
  Press((buttons & kButtonRight) != 0, [] { return PollMouseButtons() != 0; });
  FlushInput();
  return 1;
}

int TBallSpinBtn::Press(bool right, const std::function<bool()>& held) {
  TPowerMeterUI* m = PowerMeter;
  if (!m) return 0;
  if (right) {
    if (kind == 1 || kind == 4) SetTrajectoryAnimated(0.0f);
    else SetCurveAnimated(0.0f);
    return 0;
  }
  const bool trajectory = kind == 1 || kind == 4;
  const float end = kind == 1 || kind == 3 ? -50.0f : 50.0f;
  float s = (trajectory ? m->trajectory : m->curve) / end;
  int passes = 0;
  while (held()) {
    if (trajectory) {
      SetTrajectoryAnimated(end * s);
      s = std::min(1.0f, s + 0.02f);
    } else {
      SetCurveAnimated(end * s);
      s = std::min(1.0f, s + 0.05f);
    }
    ++passes;
  }
  if (kind == 2) Tips().OnDrawChosen();
  if (kind == 3) Tips().OnCutChosen();
  InvalidateRoundView();
  return passes;
}

// ---- safe and aggressive ----------------------------------------------------------------------------------------

int32_t& AggrSafeChoice() {
  static int32_t choice = kChoiceNone;
  return choice;
}

int PlannerStyle(int32_t choice) { return choice == kChoiceSafe ? 1 : choice == kChoiceAggressive ? 2 : 0; }

bool AggrSafeAvailable() {
  TGame* g = CurrentGame();
  const TPlayer* p = GolferToPlay();
  TShotUIManager* ui = InRound().shotUI;
  return g && p && ui && (ui->flags & kHandlerShown) && AwaitingSwing() && p->wordJ != 0 &&
         g->mode != kModeDrivingRange && !NetworkStepWaiting();
}

void ApplyAggrSafeChoice(int32_t id) {
  AggrSafeChoice() = id;
  const int style = PlannerStyle(id);
  if (Sounds()) Svc().sound->PlayMenuSound(id == kChoiceSafe || id == kChoiceAggressive ? 1 : 0);
  TGame* g = CurrentGame();
  TPlayer* p = GolferToPlay();
  if (!g || !p) return;
  if (p->model == 17 && PersonToPlay()) {
    p->animationFlag = id == kChoiceAggressive ? 1 : 0;
    if (HolePanel) {
      HolePanel->SetCharge(g->state.currentPlayer, style);
      HolePanel->Draw(0);
    }
  }
  // The planner sets the shot up as it would for itself, without the trial swings of its own turns.
  AimRecord aim;
  ResetAimRecord(&aim);
  aim.style = style;
  const bool retries = ComputerGolferRetriesOff;
  ComputerGolferRetriesOff = true;
  ComputerGolferPlay(&aim);
  ComputerGolferRetriesOff = retries;
  if (PersonToPlay()) {
    // The planner's aim shown: the arc laid out toward it.
    AimPoint = ShotAimPoint;
    SetUpShotView(p->ball.position, AimPoint);
    if (TargetingArcEventHandler* arc = CurrentTargetingHandler) {
      arc->Layout(&p->ball, AimPoint, p, true);
      UpdateTargeting(arc, 0, 0, 0, 1);
    }
  }
  AimResetHook(&aim);
  if (PowerMeter) PowerMeter->UpdateShotClass();
  RefreshClubSelection();
  UpdateShotInfoPanels(0);
  FlushInput();
  InvalidateRoundView();
}

void ResetAggrSafeChoice() {
  TGame* g = CurrentGame();
  if (!g || !GolferToPlay() || AggrSafeChoice() == kChoiceNone) return;
  AggrSafeChoice() = kChoiceNone;
  GolferToPlay()->animationFlag = 0;
  if (HolePanel) {
    HolePanel->SetCharge(g->state.currentPlayer, 0);
    HolePanel->Draw(0);
  }
}

TBallAggrSafeRadioBtn::TBallAggrSafeRadioBtn(int32_t id) : TInRoundButton(static_cast<uint32_t>(id)), buttonId(id) {
  text = id == kChoiceSafe ? "Play a safe shot" : "Play an aggressive shot";
}

bool TBallAggrSafeRadioBtn::AcceptsInput() {
  return TInRoundButton::AcceptsInput() && AggrSafeAvailable() && PersonToPlay() && !RoundInput().modalDialog;
}

const uint8_t* TBallAggrSafeRadioBtn::GetHitShape(int) {
  const int first = buttonId == kChoiceSafe ? 2 : 4;
  const bool lit = AggrSafeChoice() == buttonId || (Input().buttonHeld && pointerOver);
  return GameUIFrame(kShapeAggressiveSafe, first + (lit ? 1 : 0));
}

void TBallAggrSafeRadioBtn::Draw(int redrawNow) {
  if (!AcceptsInput()) return;
  const uint8_t* face = GetHitShape(pointerOver);
  PlaceAtFrame(this, face, anchorX, anchorY);
  DrawUIFrame(face, anchorX, anchorY);
  SetMaskShape(face);
  if (redrawNow) UpdateScreen();
}

void TBallAggrSafeRadioBtn::OnClick() {
  ApplyAggrSafeChoice(buttonId);
  HideHelpText();
}

namespace {

// The common background of the safe and aggressive buttons; it takes no input.
class TBallAggrSafeRadio : public MA_EventHandler {
 public:
  TBallAggrSafeRadio(int32_t x, int32_t y) : MA_EventHandler(0, 0, 0, 0, 0), anchorX(x), anchorY(y) {}
  void Draw(int redrawNow) override {
    if (!(flags & kHandlerShown) || !AggrSafeAvailable() || !PersonToPlay()) return;
    const uint8_t* back = GameUIFrame(kShapeAggressiveSafe, 1);
    PlaceAtFrame(this, back, anchorX, anchorY);
    DrawUIFrame(back, anchorX, anchorY);
    if (redrawNow) UpdateScreen();
  }
  int32_t anchorX, anchorY;
};

}  // namespace

int CreateShotButtons(TShotUIManager* group) {
  const int32_t x = group->anchorX, y = group->anchorY;
  auto add = [&](MA_EventHandler* h) -> int {
    if (!h) return ERR_MEMORYFULL;
    return group->AddHandler(h);
  };
  for (int b = 1; b <= 6; ++b) {
    auto* button = new (std::nothrow) TShotTypeBtn(b);
    if (!button) return ERR_MEMORYFULL;
    button->anchorX = x, button->anchorY = y;
    button->Setup();
    if (const int status = add(button)) return status;
  }
  for (int k = 1; k <= 4; ++k) {
    auto* button = new (std::nothrow) TBallSpinBtn(k);
    if (!button) return ERR_MEMORYFULL;
    button->anchorX = x, button->anchorY = y;
    button->Setup();
    if (const int status = add(button)) return status;
  }
  if (const int status = add(new (std::nothrow) TBallAggrSafeRadio(x, y))) return status;
  for (int32_t id : {kChoiceSafe, kChoiceAggressive}) {
    auto* button = new (std::nothrow) TBallAggrSafeRadioBtn(id);
    if (!button) return ERR_MEMORYFULL;
    button->anchorX = x, button->anchorY = y;
    if (const int status = add(button)) return status;
  }
  return 0;
}
