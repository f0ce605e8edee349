// The sky dome: three bands of panoramic sky images on rings round the hole. The top band (high sky, its images also
// mirrored upward to fill the zenith) and the bottom band (low sky down to the horizontal) are projected panel by
// panel; the horizon band (the skyline) is laid flat across the view at the height the projection gives it, with
// the ground below each of its panels. Built when a hole loads, freed when it goes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "scene/golfview.h"
#include "scene/swtri.h"

struct CourseImage;

struct SkyPanel {
  const CourseImage* image = nullptr;
  int32_t start = 0, end = 0;  // angle units; a panel across angle 0 starts above its end
  int32_t textureId = 0;
  int32_t imageIndex = 0;
  bool secondPart = false;
  // This frame: the start edge's upper and lower screen points (x, y, camera depth).
  ScreenPointF upper, lower;
  // Mirrored in the water (when the dome is placed with a water row): the lower and upper ring points with their
  // heights turned about the water's surface, never above the direct lower point.
  ScreenPointF mirrorLower, mirrorUpper;
  bool projected = false;
};

enum class SkyBand { Top, Bottom, Horizon };

class SkyCylinder {
 public:
  explicit SkyCylinder(SkyBand band) : band_(band) {}
  // Panels from the course's images for a screen `w` units round (top and bottom: w / 256 panels, a multiple of
  // the top image count); 2 when the band has no images or no width.
  int Init(int32_t w);
  int FindPanelAtAngle(int32_t angle) const;
  // The upper and lower ring points of an edge at `angle` (world x, ground y, height z).
  void RingPointsAtAngle(int32_t angle, Vector3* upper, Vector3* lower) const;
  // Finds this frame's panels (first .. end - 1, wrapping) for the view and rectangle.
  void UpdateVisiblePanels(const TGolfView& view, const int32_t rect[4]);
  void DrawPanelsSoftware(const Surface16& s, Surface16* waterMask, const int32_t rect[4]) const;
  void SetHorizonUpperEdge(float depth);

  SkyBand band() const { return band_; }
  const std::vector<SkyPanel>& panels() const { return panels_; }
  int first() const { return first_; }
  int end() const { return end_; }
  int32_t totalWidth() const { return totalWidth_; }
  float upperAngle() const { return upperAngle_; }
  float skyOffset = 0.0f;       // rows added to every projected y
  float waterSkyOffset = 0.0f;  // rows added to the mirrored points: the mirror line lands on the water row
  bool reflected = false;       // this frame's mirrored points are set
  float waterLevel = 0.0f;      // twice the water's height: a height h mirrors to waterLevel - h

 private:
  void SetEdges(float upperAngle, float lowerAngle, float upperDistance, float lowerDistance);
  void ProjectPanelStart(int index, const TGolfView& view);
  void Mirror(const TGolfView& view, Vector3 upper, Vector3 lower, const ScreenPointF& direct, ScreenPointF* mirrorUpper,
              ScreenPointF* mirrorLower) const;
  void SearchVisible(int k, const TGolfView& view, const int32_t rect[4]);
  void LayOutHorizon(const TGolfView& view, const int32_t rect[4]);
  void DrawCapSoftware(const Surface16& s, const SkyPanel& panel, const TriVertex p[4], const int outcode[4],
                       const int32_t rect[4], bool firstDrawn) const;

  SkyBand band_;
  std::vector<SkyPanel> panels_;
  int32_t totalWidth_ = 0;
  float upperDistance_ = 0, lowerDistance_ = 0, upperAngle_ = 0, lowerAngle_ = 0;
  float upperSin_ = 0, upperCos_ = 0, lowerSin_ = 0, lowerCos_ = 0, upperRadius_ = 0, lowerRadius_ = 0;
  int first_ = 0, end_ = 0;
};

// For the course loader: builds the three bands for the loaded hole (nothing when the course has no dome); 0, or
// 2 when memory runs out. A band without images is left out and the dome draws without it.
int BuildSkyDome();
void FreeSkyDome();
bool SkyDomeBuilt();
const SkyCylinder* SkyDomeBand(SkyBand band);
// Projects the bands' visible panels for the view, their rows placed so that the lower ring at the view's heading
// lands on `horizonRow` (each band's `skyOffset`); both paths draw from there.
// With `waterRow` the mirrored points are placed too, the mirror line on that row (the water's far edge on the
// screen), for a water surface `waterLevel` (twice its height).
void PlaceSkyDome(TGolfView& view, int32_t horizonRow, const int32_t* waterRow = nullptr, float waterLevel = 0.0f);
// Draws the dome into the view's rectangle of `s` down to `horizonRow` (a screen row); the horizon band fills the
// ground below its panels, marking water there in `waterMask` (the depth picture) when given.
void DrawSkyDome(TGolfView& view, const Surface16& s, const Surface16* waterMask, int32_t horizonRow);
// The sky's temporary projection scale: zooming moves it a twentieth of the way.
float SkyProjectionScale(float viewScale, int32_t viewWidth, int32_t screenWidth, int sizeSetting);
