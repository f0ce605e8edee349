#include "scene/camkinds.h"

namespace {

constexpr const char* kNames[kCameraKindCount] = {
    "kNullCam",           "kPipBlimpCam",          "kPipBallCam",           "kPipTowerCam",
    "kPipGalleryCam",     "kPipRotateCam",         "kPipAutoCam",           "kPipTransitionCam",
    "kPipTransitionBallCam", "kPipTransitionGallCam", "kPipTransitionPinCam", "kPipHolePopupCam",
    "kPipStaticCam",      "kPipQtrGalleryCam",     "kPip3QtrGalleryCam",    "kPipReverseBallCam",
    "kPipReverseBallCam2", "kPipReverseBallCam3",  "kPipSnapToLieCam",      "kPipSnapToPinCam",
    "kPipDefaultCam",     "kFullStaticCam",        "kFullBallCam",          "kFullTowerCam",
    "kFullGalleryCam",    "kFullRotateCam",        "kFullAutoCam",          "kFullTransitionCam",
    "kFullTransitionBallCam", "kFullTransitionGallCam", "kFullTransitionPinCam", "kFullHolePopupCam",
    "kFullQtrGalleryCam", "kFull3QtrGalleryCam",   "kFullReverseBallCam",   "kFullReverseBallCam2",
    "kFullReverseBallCam3", "kFullSnapToLieCam",   "kFullSnapToPinCam",     "kFullDefaultCam",
    "kSingleActionCam",   "kMultiActionCam"};

// The auto camera's pairs (first, second) and its 80 steps: every even step is pair 6.
constexpr int8_t kAutoPairs[26][2] = {{21, 37}, {21, 22}, {21, 23}, {21, 33}, {21, 24}, {21, 21}, {22, 22},
                                      {22, 23}, {22, 32}, {22, 33}, {22, 24}, {32, 37}, {32, 22}, {32, 23},
                                      {32, 32}, {33, 37}, {33, 22}, {33, 23}, {33, 33}, {24, 37}, {24, 22},
                                      {24, 23}, {24, 24}, {34, 34}, {35, 35}, {36, 36}};
constexpr int8_t kAutoOddSteps[40] = {20, 23, 10, 0,  7, 1,  11, 21, 8, 12, 1,  22, 9,  13, 3,  23, 10, 4, 14, 24,
                                      5,  15, 25, 3,  7, 16, 10, 2,  1, 8,  17, 8,  23, 4,  9,  18, 9,  19, 8, 0};

int AutoPairOfStep(int step) { return step % 2 == 0 ? 6 : kAutoOddSteps[step / 2]; }

CameraRotations gRotation;

}  // namespace

const char* CameraKindName(int kind) { return kind >= 0 && kind < kCameraKindCount ? kNames[kind] : "?"; }

bool KindIsFullView(int kind) { return kind > 20; }

bool KindTracksBall(int kind) {
  switch (kind) {
    case 1: case 2: case 3: case 4: case 11: case 12: case 13: case 14: case 15: case 16: case 17: case 18: case 19:
    case 21: case 22: case 23: case 24: case 31: case 32: case 33: case 34: case 35: case 36: case 37: case 38:
      return true;
    default:
      return false;
  }
}

bool KindIsTransition(int kind) {
  return (kind >= 7 && kind <= 10) || (kind >= 27 && kind <= 30) || kind == 5 || kind == 25;
}

bool IsReverseBallKind(int kind) { return (kind >= 15 && kind <= 17) || (kind >= 34 && kind <= 36); }

bool IsGalleryKind(int kind) {
  return kind == 4 || kind == 13 || kind == 14 || kind == 24 || kind == 32 || kind == 33;
}

int FullToPipKind(int kind) {
  switch (kind) {
    case 21: return 12;
    case 22: return 2;
    case 23: return 3;
    case 24: return 4;
    case 32: return 13;
    case 33: return 14;
    case 34: return 15;
    case 35: return 16;
    case 36: return 17;
    case 37: return 18;
    case 38: return 19;
    default: return kind;
  }
}

CameraRotations& CameraRotation() { return gRotation; }

int NextReverseBallKind(bool toPip, float speed, bool ballOnGreen) {
  static constexpr int kKinds[3] = {34, 35, 36};
  int kind = kKinds[gRotation.reverseBall++ % 3];
  if (speed < 60.0f && kind != 34) {
    ++gRotation.reverseBall;
    kind = 34;
  }
  if (ballOnGreen) kind = 34;
  return toPip ? FullToPipKind(kind) : kind;
}

int NextGalleryKind(bool toPip, float speed) {
  static constexpr int kKinds[3] = {24, 32, 33};
  int kind = kKinds[gRotation.gallery++ % 3];
  if (speed < 80.0f && kind == 32) {
    kind = 33;
    ++gRotation.gallery;
  }
  if (speed < 60.0f && kind == 33) {
    kind = 24;
    ++gRotation.gallery;
  }
  return toPip ? FullToPipKind(kind) : kind;
}

int NextShortShotKind(bool toPip, float speed) {
  const uint32_t n = ++gRotation.shortShot;
  int kind = 21;
  if (speed < 2.0f) {
    kind = n % 2 == 0 ? 37 : 21;
  } else if (speed < 3.5f) {
    static constexpr int kKinds[8] = {21, 24, 23, 32, 34, 33, 22, 37};
    kind = kKinds[n % 8];
  } else {
    static constexpr int kKinds[3] = {21, 34, 37};
    kind = kKinds[n % 3];
  }
  return toPip ? FullToPipKind(kind) : kind;
}

void NextAutoCamKinds(int* first, int* second, bool fromRemembered) {
  if (!first || !second) return;
  int step = fromRemembered ? gRotation.rememberedStep : gRotation.autoStep;
  step = step < 0 || step > 79 ? 0 : step;
  const int pair = AutoPairOfStep(step);
  *first = kAutoPairs[pair][0];
  *second = kAutoPairs[pair][1];
  if (!fromRemembered) gRotation.autoStep = step == 79 ? 0 : step + 1;
}

void SetAutoCamKind(int kind) {
  gRotation.autoKind = kind;
  if (kind == kPipAutoCam || kind == kFullAutoCam) gRotation.rememberedStep = gRotation.autoStep;
}

int GetAutoCamKind() { return gRotation.autoKind; }
