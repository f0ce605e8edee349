// The movie animations that stand in the hole: the golfer's swing, which times the impact at which the ball
// starts flying; the pin flag, whose cloth movie follows the wind; and the ground movies (divot, sand spray,
// splash) where the club or the ball meets the ground.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "scene/movieanim.h"

class TBallAnimation;

class TGolferAnimation : public TMovieAnimation {
 public:
  int IsFrameDue(uint32_t now) override;
  int Update(int* finished, uint32_t now) override;
  void UpdateScreenPlacement() override;
  // Places the swing movie for a shot: the golfer stands at the ball, the movie's hot spot on it.
  int PlaceSwing(TShapeMovie* movie, TGolfView* v, const Vector3& ball, int32_t impact, int32_t hold,
                 int32_t figureHeight);

  int32_t holdFrame = 0, impactFrame = 0;
  int32_t figureHeight = 0x300000;  // 16.16: the movie's pixels for 2.0 world units, halved
  int impactFired = 0;
  TBallAnimation* ballAnimation = nullptr;  // started at impact
  TMovieAnimation* groundAnimation = nullptr;  // the divot, released at impact
  int quickGolfer = 0;
  // Runs once when the club meets the ball (tests watch it).
  std::function<void(uint32_t now)> onImpact;
};

// The flag's direction (0 calm, 1-6 the six cloth movies) from the wind relative to the view.
int FlagDirectionForWind(uint16_t windDirection, int32_t viewHeading, int windClass);
// The cloth's frame rate (16.16 frames a second) by wind class.
int32_t FlagFrameRate(int windClass);

class TFlagAnimation : public TMovieAnimation {
 public:
  TFlagAnimation() { looping = 1; }
  int IsFrameDue(uint32_t now) override;
  int IsFinished() override { return 0; }
  int Update(int* finished, uint32_t now) override;
  void UpdateScreenPlacement() override;
  // Chooses the cloth for the wind and places it on the pin of the view; `movies` are the seven flag movies.
  int SetWind(TShapeMovie* const movies[7], TGolfView* v, const Vector3& pinTop, uint16_t windDirection,
              int windClass);

  int direction = 0, previousDirection = 0;
  float clothHeight = 0.45f;  // world height of the cloth
};

// A divot, sand spray or splash (kinds 0-2) at a ground point; the movie is shared, not owned.
class TSimpleAnimation : public TMovieAnimation {
 public:
  static constexpr float kHeightOffset[3] = {0.5f, 1.0f, 0.5f};
  int Start(TShapeMovie* movie, int kind, TGolfView* v, const Vector3& at, bool startHeld);
  void UpdateScreenPlacement() override;
  int kind = 0;
};

// The green caddie: a figure standing at the game's target. Its image set is "c<digit>f.fsh" (front) or
// "c<digit>b.fsh" (back) in the data folder's GOLFER folder ("pip" before the extension for the picture in
// picture), loaded again only when the digit changes. Up to four exist: full view or PIP, front or back.
class TGreenCaddieAnimation : public TMovieAnimation {
 public:
  TGreenCaddieAnimation() { looping = 1; }
  int IsFinished() override { return 0; }
  void UpdateScreenPlacement() override;
  // The set's file name for a digit, side and view.
  static std::string FileName(int digit, bool back, bool pip);
  int digit = -1;
  bool back = false, pip = false;
  TShapeMovie movie;
};

// Makes (or reuses) the caddie of the view kind and side, with the digit's images from `dataFolder`, standing at
// `target` in `v`; null when its images cannot be loaded (the instance is then gone).
TGreenCaddieAnimation* CreateGreenCaddie(const char* dataFolder, TGolfView* v, int digit, bool back, bool pip,
                                         const Vector3& target);
TGreenCaddieAnimation* GreenCaddie(bool back, bool pip);
// Takes the caddies off the list and destroys them (hole change).
void FreeGreenCaddieAnimations();
