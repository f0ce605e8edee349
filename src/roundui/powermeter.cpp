#include "roundui/powermeter.h"
#include "roundui/shotclock.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "framework/ui/inputstate.h"
#include "golf/launch.h"
#include "golf/playerinfo.h"
#include "golf/predict.h"
#include "mmsystem.h"
#include "platformlib/shapes/shapes.h"
#include "roundui/clubs.h"
#include "roundui/uishapes.h"
#include "windows.h"

TPowerMeterUI* PowerMeter = nullptr;
bool MeterInputEnabled = true;

namespace {

constexpr float kTwoPi = 6.2831853f;
constexpr uint32_t kTargetSlow = 0x50000;
constexpr uint32_t kTargetMid = 0x3D89D;
constexpr uint32_t kTargetFast = 0x313B1;
constexpr uint16_t kGreen = 0x0FC0, kYellow = 0xEF40, kGuideGrey = 0xBDD7;
// Mark geometry of the smallest interface size: inner radius L1 - L2 f, length L3, width L4.
constexpr float kMarkL1 = 19.0f, kMarkL2 = 6.0f, kMarkL3 = 18.0f;
constexpr int kMarkWidth = 2;

int32_t WholeDegrees(int32_t pos) { return pos / kMeterDegree * kMeterDegree; }

float RiseFactor(int setting) { return setting == 2 ? 1.01f : setting == 1 ? 1.015f : 1.02f; }
float ReturnFactor(int setting) { return setting == 2 ? 0.99f : setting == 1 ? 0.985f : 0.98f; }

uint32_t ScaleSpeed(uint32_t speed, float factor, uint32_t dt) {
  return static_cast<uint32_t>(static_cast<double>(speed) * std::pow(static_cast<double>(factor), static_cast<double>(dt)));
}

// The meter position of a point seen from the meter's centre (screen y grows downward).
int32_t PositionOf(int32_t dx, int32_t dy) {
  const double d = std::atan2(-static_cast<double>(dy), static_cast<double>(dx)) * 65536.0 / (2.0 * 3.14159265358979);
  int32_t pos = kMeterStart - static_cast<int32_t>(std::floor(d));
  while (pos >= 0xC000) pos -= 0x10000;
  while (pos < -0x4000) pos += 0x10000;
  return pos;
}

// The meter's art: the plain arc, and the highlighted arc that the rising needle leaves behind it.
uint16_t ArtColour(int32_t pos, bool highlight) {
  if (!highlight) {
    if (pos < 0) return 0x2A5A;
    if (pos > kMeterFull) return 0x6000;
    return (pos % 1820) < kMeterDegree ? 0x7BEF : 0x39E7;
  }
  if (pos < 0) return 0x07FF;
  if (pos > kMeterFull) return 0xF800;
  const uint32_t red = static_cast<uint32_t>(pos) * 31u / kMeterFull;
  return static_cast<uint16_t>((red << 11) | (63u << 5));
}

void ThickLine(Pixels16& t, float x0, float y0, float x1, float y1, int width, uint16_t colour) {
  const float dx = x1 - x0, dy = y1 - y0;
  const int steps = static_cast<int>(std::max(std::fabs(dx), std::fabs(dy))) + 1;
  for (int i = 0; i <= steps; ++i) {
    const float f = static_cast<float>(i) / static_cast<float>(steps);
    const int x = static_cast<int>(std::floor(x0 + dx * f));
    const int y = static_cast<int>(std::floor(y0 + dy * f));
    for (int a = 0; a < width; ++a)
      for (int b = 0; b < width; ++b) t.Put(x + a, y + b, colour);
  }
}

}  // namespace

TPowerMeterUI::TPowerMeterUI() : MA_EventHandler(kHandlerEnabled | kHandlerShown, 0, 0, 0, 0) {
  PowerMeter = this;
  ResetValues();
  Layout(60, 60, 54);
}

TPowerMeterUI::~TPowerMeterUI() {
  if (PowerMeter == this) PowerMeter = nullptr;
}

void TPowerMeterUI::ResetValues() {
  fullPower = fullPowerCopy = kMeterFull;
  power = 1.0f;
  curve = 0.0f;
  trajectory = 0.0f;
  accuracyError = 0.0f;
  shotFactorA = shotFactorB = 1.0f;
  ShotMeter.power = power;
  ShotMeter.curve = curve;
  ShotMeter.trajectory = trajectory;
}

float TPowerMeterUI::Allowance() const { return bigAllowance ? 0.09f : 0.05f; }

int32_t TPowerMeterUI::PowerToMeterPos(float p) const {
  float pos;
  if (p > 1.0f)
    pos = static_cast<float>(fullPower) + (p - 1.0f) / Allowance() * 8192.0f;
  else
    pos = static_cast<float>(fullPower) * p;
  return WholeDegrees(static_cast<int32_t>(pos));
}

float TPowerMeterUI::MeterPosToPower(int32_t pos) const {
  if (pos > fullPower)
    return std::min(1.0f + static_cast<float>(pos - fullPower) / 8192.0f * Allowance(), 1.0f + Allowance());
  return static_cast<float>(pos) / static_cast<float>(fullPower);
}

void TPowerMeterUI::SetPower(float p) {
  if (state >= 1) return;
  const float top = 1.0f + Allowance();
  power = p < 0.0f ? 0.0f : p > top ? top : p;
  fullPower = kMeterFull;
  powerPreset = PowerToMeterPos(power);
  power = MeterPosToPower(powerPreset);
  ShotMeter.power = power;
}

void TPowerMeterUI::SetCurve(float value) {
  if (state >= 1) return;
  const playerInfo_s* g = ActiveGolferRecord;
  if (g) {
    const clubs::ClubRecord& r = clubs::GetClubRecord(g->currentClub, static_cast<int>(g->shotType), false);
    value = std::clamp(value, r.curveLow, r.curveHigh);
  }
  curve = value;
  ShotMeter.curve = value;
  curvePreset = 0;
}

bool TPowerMeterUI::SetTrajectory(float t) {
  const playerInfo_s* g = ActiveGolferRecord;
  if (g) t = std::clamp(t, clubs::GetClubTrajectoryLowRange(g), clubs::GetClubTrajectoryHighRange(g));
  const bool changed = t != trajectory;
  trajectory = t;
  ShotMeter.trajectory = t;
  return changed;
}

void TPowerMeterUI::StoreSwingResult() {
  powerMark = PowerToMeterPos(power);
  accuracyMark = 0;
}

bool TPowerMeterUI::UpdateShotClass() {
  const int type = ActiveGolferRecord ? static_cast<int>(ActiveGolferRecord->shotType) : 0;
  const int cls = type == 4 ? 6 : type == 5 ? 4 : type == 6 ? 3 : type == 7 ? 7 : 5;
  const int32_t risk = static_cast<int32_t>(((static_cast<uint32_t>(ShotRiskValue) * 8u) >> 4) + 1u);
  const bool changed = cls != shotClass || risk != riskLevel;
  shotClass = iconClass = cls;
  riskLevel = risk;
  return changed;
}

// ---- the swing --------------------------------------------------------------------------------------------------

bool TPowerMeterUI::Pressed() {
  if (computer) return false;
  const bool button = PollMouseButtons() != 0;
  return button || (GetAsyncKeyState(VK_SPACE) & 0x8000) != 0;
}

void TPowerMeterUI::RunSwing(bool practiceSwing) {
  if (prepare) prepare();
  practice = practiceSwing;
  swingRunning = !(practice && !proSwing);
  // A real swing holds the shot clock for the shot.
  if (!practice)
    if (TShotClockUI* clock = ShotClock()) clock->Stop();
  SetThreadPriority(GetCurrentThread(), 15);
  const float savedPower = power, savedCurve = curve, savedTrajectory = trajectory;
  const float ratio = static_cast<float>(sensitivity) / 110.0f;
  sensitivityFactor = 3.0f * ratio * ratio + 0.5f;
  powerMark = accuracyMark = kMeterNone;
  const bool early = pro.earlyPress;
  pro = ProSwingState{};
  pro.earlyPress = early;
  userWord = 0;
  MeterInputEnabled = false;
  if (proSwing) {
    POINT p{};
    GetCursorPos(&p);
    pro.savedX = p.x, pro.savedY = p.y;
    ShowCursor(FALSE);
    pro.centreX = GetSystemMetrics(SM_CXSCREEN) / 2;
    pro.centreY = GetSystemMetrics(SM_CYSCREEN) / 2;
    SetCursorPos(pro.centreX, pro.centreY);
  }
  const int type = ActiveGolferRecord ? static_cast<int>(ActiveGolferRecord->shotType) : 0;
  const int club = ActiveGolferRecord ? ActiveGolferRecord->currentClub : 0;
  const bool shortGame = type >= 4 && type <= 6;
  uint32_t target;
  if (distanceSetting == 2 || club == clubs::kPutter)
    target = kTargetSlow;
  else if (shortGame)
    target = distanceSetting == 1 ? kTargetSlow : kTargetMid;
  else
    target = distanceSetting == 1 ? kTargetMid : kTargetFast;
  riseTarget = returnTarget = target;
  speed = kSpeedStart;
  state = kMeterBackswing;
  needle = kMeterStart;
  Redraw();
  lastUpdate = timeGetTime();

  // A clock that stands still (virtual time with nothing to move it) is moved on by waiting, so the swing ends.
  uint32_t seen = lastUpdate;
  int still = 0;
  auto pass = [&] {
    Step();
    const uint32_t now = timeGetTime();
    if (now != seen) {
      seen = now;
      still = 0;
    } else if (++still > 100) {
      Sleep(1);
      still = 0;
    }
  };
  while (state != kMeterIdle) {
    // Let go of whatever started the swing, then wait for the next press, moving the needle all along.
    while (state != kMeterIdle && Pressed()) pass();
    while (state != kMeterIdle && !Pressed()) pass();
    if (state == kMeterIdle) break;
    if (proSwing) {
      if (!pro.backswingDone) pro.earlyPress = true;
    } else {
      SwingPress();
    }
  }
  if (!proSwing) {
    Redraw();
    Sleep(500);
  } else {
    FlushInput();
    SetCursorPos(pro.savedX, pro.savedY);
    ShowCursor(TRUE);
    Redraw();
  }
  if (!practice) {
    if (launch) launch();
  } else {
    FlushInput();
  }
  power = savedPower;
  curve = savedCurve;
  trajectory = savedTrajectory;
  ShotMeter.power = power;
  ShotMeter.curve = curve;
  ShotMeter.trajectory = trajectory;
  shotComputed = false;
}

void TPowerMeterUI::SwingPress() {
  if (state == kMeterStopping && powerMark == kMeterNone) {
    powerMark = WholeDegrees(needle);
  } else if (state == kMeterReturning) {
    if (needle <= kMeterWindow) SetAccuracyMark();
  } else if (state == kMeterRising) {
    if (needle > 0) SetPowerMark();
  }
}

void TPowerMeterUI::SetPowerMark() {
  if (needle >= fullPower) returnTarget = static_cast<uint32_t>(static_cast<float>(returnTarget) * 0.82f);
  powerMark = std::clamp(WholeDegrees(needle), 0, kMeterTop);
  state = kMeterStopping;
}

void TPowerMeterUI::EndPowerPhase() {
  state = kMeterReturning;
  if (proSwing) {
    accuracyMark = 0;
    state = kMeterFollow;
    FinishSwing();
  }
}

void TPowerMeterUI::SetAccuracyMark() {
  state = kMeterFollow;
  accuracyMark = std::abs(needle) < kMeterDegree ? 0 : needle;
}

void TPowerMeterUI::FinishSwing() {
  SetThreadPriority(GetCurrentThread(), 0);
  MeterInputEnabled = true;
  if (computeShot) {
    computeShot(this);
  } else if (playerInfo_s* g = ActiveGolferRecord) {
    ComputeShotFromSwing(this, &g->ball, g, Vector3{});
  }
  swingRunning = false;
  state = kMeterIdle;
  shotComputed = true;
}

void TPowerMeterUI::Step() {
  if (state == kMeterIdle) return;
  const uint32_t now = timeGetTime();
  uint32_t dt = now - lastUpdate;
  if (dt == 0) return;
  dt = std::min<uint32_t>(dt, 180);
  if (proSwing)
    StepPro(now, dt);
  else
    StepThreeClicks(now, dt);
}

void TPowerMeterUI::Accelerate(uint32_t dt) {
  if (speed > returnTarget) speed = std::max(ScaleSpeed(speed, ReturnFactor(distanceSetting), dt), returnTarget);
}

void TPowerMeterUI::StepThreeClicks(uint32_t now, uint32_t dt) {
  const uint32_t step = std::min<uint32_t>(
      static_cast<uint32_t>((static_cast<uint64_t>(dt) * kMeterDegree * 65536u) / speed), 0xB60);
  const int32_t s = static_cast<int32_t>(step);
  switch (state) {
    case kMeterBackswing:
      if (needle == kMeterStart) needle = 0;
      if (!MoveNeedleDown(s)) return;
      if (speed == kSpeedStop)
        state = kMeterRising;
      else if (speed < kSpeedStop)
        speed = std::min(ScaleSpeed(speed, 1.005f, dt), kSpeedStop);
      break;
    case kMeterRising:
      if (needle == kMeterStart) needle = -kMeterWindow;
      if (!MoveNeedleUp(s)) return;
      if (needle < kMeterSlowdown) {
        if (speed > riseTarget) speed = std::max(ScaleSpeed(speed, 0.99f, dt), returnTarget);
      } else {
        speed = std::min(ScaleSpeed(speed, RiseFactor(distanceSetting), dt), kSpeedStop);
      }
      if (needle >= kMeterTop) {
        SetPowerMark();
        powerMark = kMeterTop;
      } else if (computer && needle >= PowerToMeterPos(power) - kMeterDegree) {
        needle = PowerToMeterPos(power);
        SetPowerMark();
      }
      break;
    case kMeterStopping:
      if (!MoveNeedleUp(s)) return;
      if (speed >= kSpeedStop) {
        needle += kMeterDegree;
        EndPowerPhase();
      } else {
        speed = std::min(ScaleSpeed(speed, RiseFactor(distanceSetting), dt), kSpeedStop);
      }
      break;
    case kMeterReturning:
      if (!MoveNeedleDown(s)) return;
      if (needle <= -kMeterWindow) {
        needle = -kMeterWindow;
        SetAccuracyMark();
      } else if (computer && needle <= kMeterDegree) {
        needle = 0;
        SetAccuracyMark();
      } else {
        Accelerate(dt);
      }
      break;
    case kMeterFollow:
      if (!MoveNeedleDown(s)) return;
      if (needle <= -kMeterWindow)
        FinishSwing();
      else
        Accelerate(dt);
      break;
    default:
      break;
  }
  lastUpdate = now;
  UpdateDisplay();
}

void TPowerMeterUI::StepPro(uint32_t now, uint32_t dt) {
  int32_t dx = 0, dy = 0;
  float dist = 0.0f;
  if (!pro.autoRun) {
    POINT p{};
    GetCursorPos(&p);
    dx = p.x - pro.centreX;
    dy = p.y - pro.centreY;
    dist = std::sqrt(static_cast<float>(dx) * static_cast<float>(dx) + static_cast<float>(dy) * static_cast<float>(dy));
    SetCursorPos(pro.centreX, pro.centreY);
    if (!pro.started) {
      if (dist <= 20.0f) return;
      pro.started = true;
      pro.forward = false;
      pro.startTime = now;
      if (std::abs(dx) >= std::abs(dy)) {
        pro.axis = 1;
        pro.backswingNegative = dx < 0;
      } else {
        pro.axis = 0;
        pro.backswingNegative = dy < 0;
      }
    } else if (dist == 0.0f) {
      return;
    }
    if (!pro.forward && pro.backswingDone) {
      const int32_t along = pro.axis == 1 ? dx : dy;
      if ((along < 0) != pro.backswingNegative) {
        pro.forward = true;
        pro.reversalTime = now;
      }
    }
  }
  int32_t step = 0;
  if (!pro.autoRun) {
    const float v = dist * 182.0f * (pro.forward ? 0.05f : 0.035f) * sensitivityFactor;
    pro.accumulator += v;
    step = static_cast<int32_t>(pro.accumulator);
    pro.accumulator -= static_cast<float>(step);
    if (step < kMeterDegree) {
      pro.accumulator += static_cast<float>(step);
      step = 0;
    }
  }
  if (state == kMeterBackswing) {
    if (needle == kMeterStart) needle = 0;
    if (pro.forward) {
      step += kMeterDegree;
      state = kMeterRising;
      pro.accumulator = 0.0f;
    } else {
      if (!pro.backswingDone && needle < kMeterBackswingDone) pro.backswingDone = true;
      if (!MoveNeedleDown(step)) return;
    }
  }
  if (state == kMeterRising) {
    if (!pro.autoRun) {
      pro.peak = std::max(pro.peak, static_cast<int32_t>(dist));
      if (needle + step >= 0) {
        float p = static_cast<float>(pro.peak) * sensitivityFactor / 600.0f;
        if (pro.earlyPress) p += 0.15f;
        p = std::clamp(p, 0.0f, 1.0f);
        const float t = (3.2f * std::sqrt(p) - 1.6f + power) * 168.0f * 182.0f;
        pro.target = std::clamp(static_cast<int32_t>(t), 0, kMeterTop);
        pro.remaining = pro.target;
        pro.autoRun = true;
        pro.autoSpeed = 4.0f;
        pro.autoStartTime = now;
      }
    } else {
      pro.accumulator += static_cast<float>(dt) / pro.autoSpeed * 182.0f;
      step = static_cast<int32_t>(pro.accumulator);
      if (needle + step > kMeterTop) {
        pro.remaining = 0;
        needle = kMeterTop;
      }
      pro.accumulator -= static_cast<float>(step);
      if (pro.remaining != 0 && step < kMeterDegree) {
        pro.accumulator += static_cast<float>(step);
        step = 0;
      } else if (pro.remaining == 0 || pro.remaining <= step) {
        int32_t mark = needle + step + kMeterDegree;
        const int32_t preset = PowerToMeterPos(power);
        if (std::abs(mark - preset) < 0x16C) mark = preset;
        powerMark = std::clamp(mark, 0, kMeterTop);
        pro.remaining = 0;
        step = 0;
        EndPowerPhase();
      } else {
        pro.remaining -= step;
      }
      pro.autoSpeed = pro.remaining < 0xE38
                          ? 18.0f + static_cast<float>(0xE38 - pro.remaining) / 3640.0f * 2000.0f
                          : 18.0f;
    }
    if (state == kMeterRising && !MoveNeedleUp(step)) return;
  }
  lastUpdate = now;
  Redraw();
  UpdateDisplay();
}

bool TPowerMeterUI::MoveNeedleUp(int32_t step) {
  int32_t next = needle + step;
  if (next / kMeterDegree <= needle / kMeterDegree) return false;
  next = std::min(next, kMeterTop);
  RedrawNeedle(needle, next, state == kMeterRising || state == kMeterStopping);
  needle = next;
  return true;
}

bool TPowerMeterUI::MoveNeedleDown(int32_t step) {
  int32_t next = needle - step;
  if (next / kMeterDegree >= needle / kMeterDegree) return false;
  next = std::max(next, -kMeterWindow);
  RedrawNeedle(next, needle, false);
  needle = next;
  return true;
}

int TPowerMeterUI::ProSwingIconFrame() const {
  int s1 = 24, s2 = 33, last = 51;
  if (iconClass == 3 || iconClass == 4 || iconClass == 6) s1 = 17, s2 = 26, last = 56;
  if (iconClass == 7) s1 = 21, s2 = 28, last = 46;
  if (shotComputed) return last;
  switch (state) {
    case kMeterIdle:
      return 1;
    case kMeterBackswing: {
      const int32_t n = needle == kMeterStart ? 0 : needle;
      return std::max(static_cast<int>(static_cast<float>(n) / -6553.0f * static_cast<float>(s1)), 1);
    }
    case kMeterRising:
      if (!pro.autoRun)
        return static_cast<int>((1.0f + static_cast<float>(needle) / 6553.0f) * static_cast<float>(s2 - s1) +
                                static_cast<float>(s1));
      if (pro.remaining == 0) return last;
      {
        const float f = std::min(1.0f - static_cast<float>(pro.remaining) / static_cast<float>(std::max(pro.target, 1)), 1.0f);
        return static_cast<int>(f * static_cast<float>(last - s2) + static_cast<float>(s2));
      }
    default:
      return last;
  }
}

// ---- the handler ------------------------------------------------------------------------------------------------

int TPowerMeterUI::OnChar(uint16_t code) {
  if (!(flags & kHandlerEnabled) || (usable && !usable())) return 0;
  if (proSwing || code != ' ' || state != kMeterIdle) return 0;
  const bool shift = (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
  pro.earlyPress = false;
  RunSwing(shift);
  return 1;
}

int TPowerMeterUI::OnPointerDown(int16_t x, int16_t y, uint8_t buttons) {
  if (!(flags & kHandlerEnabled) || (usable && !usable())) return 0;
  if (HitStartButton(x, y)) {
    if (state == kMeterIdle) {
      pro.earlyPress = false;
      RunSwing((buttons & kButtonRight) != 0);
    }
    return 1;
  }
  return HitMeter(x, y) ? 1 : 0;
}

int TPowerMeterUI::IsPointerOver(int16_t x, int16_t y, uint8_t) {
  return (!usable || usable()) && HitStartButton(x, y) ? 1 : 0;
}

int TPowerMeterUI::OnIdle() {
  Step();
  // The needle's step does not end the list's pass: the targeting arc after it follows the shot.
  return 1;
}

void TPowerMeterUI::Layout(int32_t x, int32_t y, int32_t radius) {
  centreX = x;
  centreY = y;
  outerRadius = radius;
  buttonRadius = std::max(radius / 4, 4);
  innerRadius = buttonRadius + 2;
  left = x - radius - 2;
  top = y - radius - 2;
  right = x + radius + 3;
  bottom = y + radius + 3;
}

bool TPowerMeterUI::HitStartButton(int32_t x, int32_t y) const {
  const int32_t dx = x - centreX, dy = y - centreY;
  return dx * dx + dy * dy <= buttonRadius * buttonRadius;
}

bool TPowerMeterUI::HitMeter(int32_t x, int32_t y) const {
  const int32_t dx = x - centreX, dy = y - centreY;
  const int32_t d2 = dx * dx + dy * dy;
  return d2 <= outerRadius * outerRadius && d2 >= innerRadius * innerRadius;
}

void TPowerMeterUI::UseArt(const uint8_t* plain, const uint8_t* highlight) {
  const uint8_t* frames[2] = {plain, highlight};
  for (int i = 0; i < 2; ++i) {
    art_[i] = nullptr;
    const uint8_t* f = frames[i];
    // Only 8-bit frames with a 32-bit colour table are cut from.
    if (!f || (f[0] & kShapePacked) || shaperowbytes(f) < shapewidth(f)) continue;
    const uint8_t* clut = getshapeclut(f);
    if (!clut || clut[0] != 0x2A) continue;
    const int count = std::min(shapewidth(clut), 256);
    for (int c = 0; c < 256; ++c) {
      const uint32_t argb = c < count ? shaperead32(clut + 16 + 4 * c) : 0;
      artPalette_[i][c] = Rgb565(argb & 0xFFFFFF);
    }
    art_[i] = f;
  }
}

void TPowerMeterUI::TakeArtFromShapeSet() {
  const int32_t frame = std::clamp(riskLevel, 1, 9);
  UseArt(GameUIFrame(kShapePowerBody, frame), GameUIFrame(bigAllowance ? kShapePowerTrack : kShapePowerHandle, frame));
}

uint16_t TPowerMeterUI::ArtAt(int32_t x, int32_t y, int32_t pos, bool highlight) const {
  if (const uint8_t* f = art_[highlight ? 1 : 0]) {
    const int32_t fx = x - centreX + shapecentrex(f), fy = y - centreY + shapecentrey(f);
    if (fx >= 0 && fy >= 0 && fx < shapewidth(f) && fy < shapeheight(f)) {
      const uint8_t index = f[16 + static_cast<size_t>(fy) * static_cast<size_t>(shaperowbytes(f)) + fx];
      if (index != 255) return artPalette_[highlight ? 1 : 0][index];
    }
  }
  return ArtColour(pos, highlight);
}

namespace {

struct RingPixel {
  int16_t dx, dy;
  int32_t pos;
};

// The meter's ring with each pixel's position, made once for its radii: held shape buttons repaint the meter on
// every pass, and an arc tangent a pixel cost most of that.
const std::vector<RingPixel>& Ring(int32_t inner, int32_t outer) {
  static std::vector<RingPixel> ring;
  static int32_t madeInner = -1, madeOuter = -1;
  if (inner != madeInner || outer != madeOuter) {
    ring.clear();
    const int32_t r2in = inner * inner, r2out = outer * outer;
    for (int32_t dy = -outer; dy <= outer; ++dy)
      for (int32_t dx = -outer; dx <= outer; ++dx) {
        const int32_t d2 = dx * dx + dy * dy;
        if (d2 < r2in || d2 > r2out) continue;
        ring.push_back(RingPixel{static_cast<int16_t>(dx), static_cast<int16_t>(dy), PositionOf(dx, dy)});
      }
    madeInner = inner;
    madeOuter = outer;
  }
  return ring;
}

}  // namespace

void TPowerMeterUI::PaintWedges(Pixels16& t, int32_t from, int32_t to, bool highlight) {
  for (const RingPixel& r : Ring(innerRadius, outerRadius)) {
    if (r.pos < from || r.pos >= to) continue;
    const int32_t x = centreX + r.dx, y = centreY + r.dy;
    if (t.Inside(x, y)) t.At(x, y) = ArtAt(x, y, r.pos, highlight);
  }
}

void TPowerMeterUI::PaintMark(Pixels16& t, int32_t pos, uint16_t colour) {
  if (pos == kMeterNone) return;
  float f = static_cast<float>(pos) / 32768.0f;
  if (f >= 0.95f) f = 0.7f;
  const float inner = kMarkL1 - kMarkL2 * f + static_cast<float>(innerRadius);
  const float outer = std::min(inner + kMarkL3, static_cast<float>(outerRadius));
  const float d = static_cast<float>(kMeterStart - pos - kMeterDegree / 2) * kTwoPi / 65536.0f;
  const float c = std::cos(d), s = -std::sin(d);
  ThickLine(t, static_cast<float>(centreX) + inner * c, static_cast<float>(centreY) + inner * s,
            static_cast<float>(centreX) + outer * c, static_cast<float>(centreY) + outer * s, kMarkWidth, colour);
}

void TPowerMeterUI::PaintButton(Pixels16& t) {
  static const uint16_t kClassColours[8] = {0, 0, 0, 0x8A22, 0x2C4A, 0x1A7F, 0xA254, 0x0400};
  const uint16_t face = (swingRunning && !proSwing) ? 0xFFE0 : kClassColours[std::clamp(shotClass, 3, 7)];
  const int32_t r2 = buttonRadius * buttonRadius;
  for (int32_t dy = -buttonRadius; dy <= buttonRadius; ++dy)
    for (int32_t dx = -buttonRadius; dx <= buttonRadius; ++dx) {
      const int32_t d2 = dx * dx + dy * dy;
      if (d2 > r2) continue;
      t.Put(centreX + dx, centreY + dy, d2 > r2 - 2 * buttonRadius ? 0xFFFF : face);
    }
}

void TPowerMeterUI::PaintIcon(Pixels16& t) {
  // The club of the Pro swing: a shaft swung about the button's centre, frame 1 at address, the last frame
  // at the finish.
  int last = 51;
  if (iconClass == 3 || iconClass == 4 || iconClass == 6) last = 56;
  if (iconClass == 7) last = 46;
  const float f = static_cast<float>(ProSwingIconFrame() - 1) / static_cast<float>(last - 1);
  const float a = (0.5f - 1.6f * f) * kTwoPi / 2.0f + kTwoPi / 4.0f;
  const float len = static_cast<float>(buttonRadius) - 2.0f;
  const float x1 = static_cast<float>(centreX) + std::cos(a) * len, y1 = static_cast<float>(centreY) + std::sin(a) * len;
  ThickLine(t, static_cast<float>(centreX), static_cast<float>(centreY), x1, y1, 2, 0xFFFF);
  ThickLine(t, x1 - 2.0f, y1, x1 + 2.0f, y1, 2, 0xC618);
}

void TPowerMeterUI::Paint(Pixels16& t) {
  PaintWedges(t, -0x4000, 0xC000, false);
  if (state == kMeterIdle)
    PaintWedges(t, -kMeterWindow, 0, true);
  else if (needle != kMeterStart)
    PaintWedges(t, -kMeterWindow, needle, true);
  PaintButton(t);
  if (proSwing) PaintIcon(t);
  powerGuide = (showGuide || GuideSwitch) ? 1 : 0;
  if (powerGuide) PaintMark(t, PowerToMeterPos(power), kGuideGrey);
  if (powerMark != kMeterNone)
    PaintMark(t, powerMark, powerGuide && powerMark == PowerToMeterPos(power) ? kGreen : kYellow);
  if (accuracyMark != kMeterNone) PaintMark(t, accuracyMark, accuracyMark == 0 ? kGreen : kYellow);
}

namespace {
struct NeedleRange {
  TPowerMeterUI* meter;
  int32_t from, to;
  bool highlight;
};
}  // namespace

void TPowerMeterUI::RedrawNeedle(int32_t from, int32_t to, bool highlight) {
  TakeArtFromShapeSet();
  NeedleRange range{this, from, to, highlight};
  DrawOnDisplayBuffer(
      [](Pixels16& t, void* c) {
        auto* r = static_cast<NeedleRange*>(c);
        r->meter->Paint(t);
      },
      &range);
  MarkDirty();
}

void TPowerMeterUI::MarkDirty() { MarkDisplayDirty(left, top, right, bottom); }

void TPowerMeterUI::Draw(int) {
  if (!(flags & kHandlerShown)) return;
  UpdateShotClass();
  TakeArtFromShapeSet();
  if (DrawOnDisplayBuffer([](Pixels16& t, void* c) { static_cast<TPowerMeterUI*>(c)->Paint(t); }, this) &&
      !proSwing && !swingRunning && StandardFonts[0]) {
    static const char* const kLabels[8] = {"", "", "", "Bump", "Chip", "Full", "Pitch", "Putt"};
    FontSelect(StandardFonts[0], DrawnImage(), kAlignCentre, 0xFFFF, 0, 0, 1);
    FontDrawText(centreX, centreY - FontHeight() / 2, kLabels[std::clamp(labelCode ? labelCode : shotClass, 3, 7)]);
  }
  MarkDirty();
}

void TPowerMeterUI::Erase(int) { MarkDirty(); }
