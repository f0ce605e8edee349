// A golfer's ball as the player sees it: during a shot it replays the recording frame by frame (position and
// event bytes), starts the splash or sand spray at the first ground contact, leaves a pitch mark on the green,
// and draws the ball and its shadow as small sprites sized by their distance, depth-tested against the scene;
// on the green or the fringe it is a flat marker in the golfer's colour.
#pragma once

#include <cstdint>

#include "golf/ballstate.h"
#include "scene/animlist.h"
#include "scene/balltexels.h"

// A lie byte on the green or the fringe.
bool OnPuttingSurface(uint8_t lie);

// The ball's diameter in pixels at a screen depth: the screen height of one world unit there x the ball's
// diameter, at most 16. The sprite image number is trunc(size + 0.5) within 1..16.
float BallPixelSize(const TGolfView& view, const Vector3& point);
int BallSpriteNumber(float size);

const BallTexelRow& BallTexels(float size, bool inRough);

// Sprite rectangles for a ball at (x, y) of pixel size s.
MARect BallSpriteRect(float x, float y, float s);
// The hardware ball's rectangle for a ball at (x, y) of pixel size s, placed by its texel row, and that row's
// texels in the ball texture (right and bottom one past the last).
MARect HardwareBallRect(float x, float y, float s, bool inRough, MARect* texels);
MARect ShadowSpriteRect(float x, float y, float s, bool sceneMode);
// The flat marker of a ball on the green, clipped to `bounds` (wholly outside: all -1; an edge beyond the bound
// moves onto it, right and bottom onto the bound - 1).
MARect MarkerRect(float x, float y, float s, const MARect& bounds);
// The golfer's marker colour (golfers 0..3) in 5-6-5.
uint16_t MarkerColour(int golfer);

// The comet tail of a ball in flight on the hardware path: triangles P, S, A and P, B, S from where the ball was a
// moment before (P) to the ball (S), A and B beside S at half the ball's size (at least a pixel). None when the
// ball has not moved or lies behind the eye; an earlier point behind the eye is cut at the eye's plane.
struct BallStreak {
  bool built = false;
  ScreenPointF p, s, a, b;
  uint32_t tailColour = 0, headColour = 0, sideColour = 0;  // ARGB
};
BallStreak BuildBallStreak(const TGolfView& view, const Vector3& ball, const Vector3& earlier, float size,
                           bool longTail);
// How far back the tail reaches: 70 ms, or 100 ms for the long tail.
constexpr uint32_t kStreakBackMs = 70, kLongStreakBackMs = 100;

// The shot behind a streak: only a shot of type below 4 swung past full power without curve, on a render back end
// other than kind 4 (which draws no blended, untextured triangles), and only while the ball flies clear, before it
// first meets the ground.
struct StreakShot {
  int backEnd = 0;
  uint32_t shotType = 0;
  bool meter = false;  // the meter's swing is known
  float power = 0.0f, curve = 0.0f;
};
bool StreakWanted(const StreakShot& shot, const BallState& ball);

// The recorded shot as the ball replays it (the in-round interface's replay buffer behind the service seam).
struct ReplaySample {
  Vector3 position{};
  uint8_t event[kBallEventBytes] = {};
};

class TBallAnimation : public TGolfAnimation {
 public:
  enum Sprite { kBall = 0, kMarker = 1, kShadow = 2, kFourth = 3 };
  struct SpriteRecord {
    MARect rect{-1, -1, -1, -1};
    int saved = 0;
    uint16_t depthValue = 0;
  };

  void SetHidden(int flag) override { hidden = flag; }
  int IsFrameDue(uint32_t /*now*/) override { return playing && !(held && !drawWhileHeld); }
  int IsFinished() override { return !playing; }
  void OnRemove() override;
  int Update(int* finished, uint32_t now) override;
  int Erase() override;

  // Starts replaying the recorded shot at `now` from a ball at rest at `from`.
  void StartShot(uint32_t now, const Vector3& from);
  void ResetBall();
  // Draws the ball (or its marker) at the ball state into the animation surfaces.
  void DrawSprites(TGolfView& v);
  void QueueSceneSprites() override;

  // Where the ball's pictures go in a view: a shape entry's hot spot, its camera depth and depth value.
  struct PlacedSprite {
    const uint8_t* file = nullptr;
    const uint8_t* entry = nullptr;
    int32_t x = 0, y = 0;
    float depth = 0.0f;
    uint16_t depthValue = 0;
    // Set on the hardware path: the screen rectangle the texture's texels are laid over, tinted.
    MARect rect{0, 0, 0, 0}, texels{0, 0, 0, 0};
    uint32_t tint = 0xFFFFFFFFu;
  };
  struct SpritePlan {
    bool marker = false;  // on the green: a flat marker instead of ball and shadow
    MARect markerRect{-1, -1, -1, -1};
    uint16_t markerColour = 0, markerDepth = 0;
    float markerZ = 0.0f;
    PlacedSprite shadow, ball;
  };
  // `hardware`: ball and shadow from the ball texture file ("hwballs.fsh") when it is there.
  SpritePlan PlanSprites(TGolfView& v, bool hardware = false) const;
  // The streak's two triangles for the hardware frame, while the ball flies.
  void QueueStreak(const SpritePlan& plan);
  // In scene mode the pitch mark is drawn with the hole each frame: the shadow's picture in black over the mark's
  // rectangle, clear where the picture is.
  void QueuePitchMark();

  int golfer = 0;           // the golfer's slot, for the marker colour
  int longStreak = 0;       // the golfer is on a charge: the longer tail
  uint32_t shotType = 0;    // the golfer's shot type for this shot
  int putter = 0;           // the shot is a putt: no pitch mark
  BallState ball{};         // where the ball is drawn
  int playing = 0;
  uint32_t replayStart = 0, replayElapsed = 0;
  int landed = 0, pitchMarked = 0, groundStarted = 0, wasGrounded = 1;
  Vector3 pitchMarkAt{};  // where the pitch mark was made
  SpriteRecord sprites[4];
};

// The ground movie at the ball's first contact in water or sand, and the pitch mark (set by the scene's glue).
using GroundStarter = void (*)(int kind, const Vector3& at);
extern GroundStarter StartGroundMovieAt;
// Sprite files of the in-round set: 0 ball, 1 shadow, 2 ball in rough, 3 the hardware ball textures (locked shape
// files; null when missing).
const uint8_t* BallSpriteFile(int which);
