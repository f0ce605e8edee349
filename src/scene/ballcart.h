// The driving range's ball cart: a movie that drives to and fro across the range over the ground, the golfer's ball
// able to strike it. Each hit plays a sound; the third blows it up, and once its explosion has played it drives on.
#pragma once

#include <cstdint>

#include "scene/movieanim.h"

class TPlayer;
class TBallAnimation;

// A movie that travels over the hole's ground: every step interval its position moves by the velocity per step,
// standing on the ground (0.1 above it) when it follows the terrain; frames 1 to the loop length repeat while it
// moves. Off the ground it stops and reports finished.
class TMovingMovieAnimation : public TMovieAnimation {
 public:
  int IsFrameDue(uint32_t now) override;
  int IsFinished() override;
  int Update(int* finished, uint32_t now) override;
  void Reset() override;
  // Places the movie's present source at `at` and sets it going: `stepRate` steps a second (16.16).
  virtual void StartMove(const Vector3& at, int32_t stepRate, const Vector3& velocity, int follow);
  virtual int IsOnTerrain();
  virtual void StopMove(int* finished);

  Vector3 start{};
  int32_t stepRate = 0;
  uint32_t lastStepTime = 0;
  int32_t stepInterval = 0;  // 16.16 ms; 0 = stopped
  Vector3 velocity{}, startVelocity{};
  int followTerrain = 0;
  int32_t loopLength = 4;

 protected:
  // The counter back to the loop's first frame once the loop has played (`now` 0: the frame clock left alone).
  void WrapLoop(uint32_t now);
};

// Where a cart hit comes from: the active golfer's ball as drawn, and the golfer told of the hit.
struct CartBallSource {
  const TBallAnimation* ball = nullptr;
  TPlayer* golfer = nullptr;
};

class TBallCartAnimation : public TMovingMovieAnimation {
 public:
  static constexpr float kSpeed = 1.5f;      // world units a step
  static constexpr int32_t kStepRate = 0x80000;  // steps a second, 16.16
  static constexpr uint32_t kHitQuiet = 10000;   // ms after a hit in which the ball counts no more

  int IsFrameDue(uint32_t now) override;
  int Update(int* finished, uint32_t now) override;
  void Reset() override;
  void UpdateScreenPlacement() override;
  void StartMove(const Vector3& at, int32_t rate, const Vector3& v, int follow) override;
  int IsOnTerrain() override { return IsOnRange(); }
  // On the range: at least 70 from the ground's side edges and within 30 of its middle line.
  int IsOnRange();
  // A fresh crossing: direction by the scene's random bytes, from the side it starts on.
  virtual void NewRoute();
  void PickRoute(Vector3* from, Vector3* v);
  // The facing whose frames show the cart driving the way it goes, seen from the view.
  TShapeMovie* ChooseShapeFile();
  void TurnToView();
  // The ball against the cart; a hit within the quiet time of the one before is not counted.
  void TestBallHit(uint32_t now);
  void EndExplosion();
  bool Exploding() const { return frameCount > loopLength; }
};

// The operations the game and the round use. The movies come from DATA\COURSES\RANGE below `dataFolder`, or
// below the game disc's folder when the installed one lacks them. False (noted once in the log) unless both facings
// loaded. The cart's sounds play only while the sound settings' effects bit (0x01) is on.
bool LoadBallCart(const char* dataFolder);
void FreeBallCart();
// Sets the cart driving from a fresh route in `view` (nothing unless loaded).
void PlaceBallCart(TGolfView* view);
// A shot's animations begin: the cart joins the animation list in `view`, striking balls from `source`, and shows
// in the camera insets. A shot as it is played keeps the cart's state as it begins; its replay puts the cart back
// as it was then, its hits too, so that a replay shows the same cart and counts nothing twice.
void StartBallCart(TGolfView* view, const CartBallSource& source, bool replay);
// Draws the cart in `view` at once, one step on from where it was: the still picture between shots shows it.
void ShowBallCartNow(TGolfView* view);
int BallCartExists();
int BallCartActive();
void StopBallCart();
TBallCartAnimation* BallCart();
// Hits counted so far (0-3) and whether a hit was counted yet this load.
int BallCartHits();
