// Camera kinds: the small numbers that name how a shot is filmed (which window, which mount or chain of mounts),
// and the rotations that vary the kinds from shot to shot. Kinds 1-20 are picture-in-picture kinds, 21-39 full
// screen; 40 and 41 count as full screen.
#pragma once

#include <cstdint>

enum CameraKind : int8_t {
  kNullCam = 0,
  kPipBlimpCam,
  kPipBallCam,
  kPipTowerCam,
  kPipGalleryCam,
  kPipRotateCam,
  kPipAutoCam,
  kPipTransitionCam,
  kPipTransitionBallCam,
  kPipTransitionGallCam,
  kPipTransitionPinCam,
  kPipHolePopupCam,
  kPipStaticCam,
  kPipQtrGalleryCam,
  kPip3QtrGalleryCam,
  kPipReverseBallCam,
  kPipReverseBallCam2,
  kPipReverseBallCam3,
  kPipSnapToLieCam,
  kPipSnapToPinCam,
  kPipDefaultCam,
  kFullStaticCam,
  kFullBallCam,
  kFullTowerCam,
  kFullGalleryCam,
  kFullRotateCam,
  kFullAutoCam,
  kFullTransitionCam,
  kFullTransitionBallCam,
  kFullTransitionGallCam,
  kFullTransitionPinCam,
  kFullHolePopupCam,
  kFullQtrGalleryCam,
  kFull3QtrGalleryCam,
  kFullReverseBallCam,
  kFullReverseBallCam2,
  kFullReverseBallCam3,
  kFullSnapToLieCam,
  kFullSnapToPinCam,
  kFullDefaultCam,
  kSingleActionCam,
  kMultiActionCam,
  kCameraKindCount
};

// "kPipBallCam" and so on; "?" outside 0..41.
const char* CameraKindName(int kind);
bool KindIsFullView(int kind);
// Kinds whose one mount keeps one target for the whole shot (they report themselves done at once).
bool KindTracksBall(int kind);
// The transition and rotate kinds.
bool KindIsTransition(int kind);
bool IsReverseBallKind(int kind);
bool IsGalleryKind(int kind);
int FullToPipKind(int kind);

// The rotations persist across shots and holes so the variants alternate.
struct CameraRotations {
  uint32_t reverseBall = 0, gallery = 0, shortShot = 0;
  int autoStep = 0, rememberedStep = 0;
  int autoKind = 0;
};
CameraRotations& CameraRotation();

// `speed` is the shot's launch speed.
int NextReverseBallKind(bool toPip, float speed, bool ballOnGreen);
int NextGalleryKind(bool toPip, float speed);
int NextShortShotKind(bool toPip, float speed);
// The next pair of the 80-step auto sequence (from the remembered step without advancing when asked).
void NextAutoCamKinds(int* first, int* second, bool fromRemembered);
void SetAutoCamKind(int kind);
int GetAutoCamKind();
