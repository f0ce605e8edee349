// One camera view of the hole: where the camera stands, where it looks, how world points map to pixels of a screen
// rectangle and how far each level of detail reaches. The camera looks level along its heading; height shows only
// through the perspective division. Also the depth bands that turn distances into 16-bit depth values.
#pragma once

#include <cstdint>

#include "course/vector3.h"

// A point of camera or perspective space: X right, Y up, Z depth.
struct ViewPoint {
  float X = 0.0f, Y = 0.0f, Z = 0.0f;
};
struct ScreenPixel {
  int32_t x = 0, y = 0;
};
struct ScreenPointF {
  float x = 0.0f, y = 0.0f, Z = 0.0f;
};

struct WindowDesc;

constexpr float RandomOffsetMarker = 1000000.0f;
extern const float PresetLookDistance[3];
extern const float PresetEyeHeight[3];
extern const float ProjectionScaleByResolution[5];

class TGolfView {
 public:
  TGolfView();

  ViewPoint WorldToCamera(const Vector3& p) const;
  ViewPoint Perspective(const ViewPoint& q) const;
  ViewPoint InversePerspective(const ViewPoint& q) const;
  ViewPoint WorldToPerspective(const Vector3& p) const { return Perspective(WorldToCamera(p)); }
  ScreenPixel ToScreen(const ViewPoint& q) const;
  float ProjectToScreen(const Vector3& p, ScreenPixel* out) const;
  void ProjectToScreenFloat(const Vector3& p, ScreenPointF* out) const;
  Vector3 OffsetToWorld(const ViewPoint& q) const;
  // A perspective-space point under a screen pixel, its depth read from the depth buffer (16-bit rows of `pitch`).
  ViewPoint ScreenToGroundPoint(const uint16_t* depth, int32_t pitch, int32_t x, int32_t y) const;

  void SetHeadingAngle(int32_t angle);
  void SetHeading(int32_t angle) {
    SetHeadingAngle(angle);
    UpdateTransform();
  }
  void TurnBy(int32_t delta) { SetHeading(heading + delta); }
  void UpdateTransform();
  void UpdateTransformWithOffsets();
  void MoveBack(float d);
  void MoveBackWithOffsets(float d);
  void MoveSideways(float d);
  void FaceGroundPoint(const Vector3& point);
  void LookAtGroundPoint(float x, float z, float minimumHeight);
  void AimAtPoint(const Vector3& target, int32_t angle);
  void ResetScreenCentre();
  void SetScreenCentre(int32_t x, int32_t y);

  void SetSideOffset(float value);
  void SetBackOffset(float value);
  void SetOffsets(float side, float back);

  // rect: left, top, right, bottom.
  void SetViewport(const int32_t rect[4], const int32_t* scaleToWidth, int preset, int kind);
  void SetProjectionScale(float scale, int kind);

  Vector3 focusPoint;
  float right = 0.0f, heightTerm = 0.0f, depth = 0.0f;  // the world-to-camera translation
  float cameraX = 0.0f, cameraZ = 0.0f;
  float projectionScale = 0.0f;
  float lookDistance = 10.35f;
  int32_t centreX = 0, centreY = 0;
  float centreXf = 0.0f, centreYf = 0.0f;
  int32_t heading = 0;
  float backS = 0.0f, backC = 0.0f;  // (sin, cos) of the heading: from the focus toward the camera
  float sideOffset = 0.0f, backOffset = 0.0f;
  int32_t viewLeft = 0, viewTop = 0, viewWidth = 0, viewHeight = 0;
  int32_t farDistanceFixed = 0;
  int32_t detailDistance[3] = {0, 0, 0};  // near, middle, far (16.16)
  int32_t baseDetailDistance = 0;
  float farDistance = 0.0f;
  float halfFieldOfView = 0.0f;
  int32_t minObjectHeight = 0;
  int32_t pinScreenX = -2048, pinScreenY = -2048;
  uint16_t pinDepthValue = 0;
  float eyeHeightOffset = 2.453f;
  int32_t projectionKind = 1;
};

// The heading of a view at `from` that looks toward `to` on the ground (0 when they coincide). The course library's
// HeadingBetweenPoints mirrors the ground's second axis against the view's back vector, so views use this.
int32_t ViewHeadingToward(const Vector3& from, const Vector3& to);

// The four views of the whole run.
extern TGolfView MainView;
extern TGolfView FollowView;
extern TGolfView PipView;
extern TGolfView SpareView;
extern TGolfView* CurrentMainView;
extern TGolfView* CurrentPipView;

struct DepthBand {
  float near, far, range;
  int32_t nearInt, farInt, rangeInt;
};
extern DepthBand DepthBands[4];
void InitDepthBands();
float DepthFractionForDistance(float d, int mode, float* reciprocal = nullptr);
uint16_t DepthValueForDistance(float d, int mode);

// Per-hole values the hole loader sets: minimum detail distances (16.16, 0 none) and the depth override.
extern int32_t HoleMinDetailDistance[3];
extern bool DepthOverride;
