// Everything that moves over the drawn hole is a TGolfAnimation driven once a frame through one list of 16
// places: the list asks whether anything is due, erases every animation's last image, lets each advance and
// draw, and drops the finished ones. Entries 0 and 1 are fixed front places, 2-13 the general ones, 14 and 15
// two fixed back places; the entry index is the drawing order.
#pragma once

#include <cstdint>

#include "framework/core/utils.h"
#include "scene/golfview.h"

// Where the animations draw: the picture on the screen, the clean picture it is restored from and the scene's
// depth values (nearer is smaller). A surface without pixels draws and erases nothing.
struct AnimationSurfaces {
  Image16 screen{nullptr, 0, 0, 0};
  Image16 background{nullptr, 0, 0, 0};
  const uint16_t* depth = nullptr;  // screen-sized, rows of screen.pitch
};
AnimationSurfaces& AnimSurfaces();
// Copies `rect` from the background to the screen where the depth holds at least `minimum`, and marks it dirty.
void RestoreAnimationRect(const MARect& rect, uint16_t minimum);

class TGolfAnimation {
 public:
  TGolfAnimation() = default;
  virtual ~TGolfAnimation() = default;
  TGolfAnimation(const TGolfAnimation&) = delete;
  TGolfAnimation& operator=(const TGolfAnimation&) = delete;

  virtual void SetView(TGolfView* v);
  virtual void SetRemoveWhenDone(int flag) { done = flag; }
  virtual void SetSceneMode(int flag) { sceneMode = flag; }
  virtual void SetHidden(int /*flag*/) {}
  virtual void ChangeView(TGolfView* oldView, TGolfView* newView);
  virtual ScreenPixel GetScreenOffset() { return {}; }
  virtual void SetScreenPosition(int32_t /*x*/, int32_t /*y*/) {}
  virtual int IsFrameDue(uint32_t /*now*/) { return 0; }
  virtual int IsFinished() { return 0; }
  virtual void OnRemove() {}
  // An error code (0 = success); `finished` tells the list the animation has played out.
  virtual int Update(int* finished, uint32_t /*now*/) {
    *finished = 0;
    return 0;
  }
  virtual int Erase();
  virtual void Reset() {}
  virtual void Refresh(int /*value*/) {}
  // Scene mode (the hardware path): the pictures the scene draws of this animation in its next frame.
  virtual void QueueSceneSprites() {}

  TGolfView* view = nullptr;
  TGolfAnimation* linked = nullptr;  // must finish before this one's frames are due
  uint32_t lastFrameTime = 0;        // 0: not started
  uint32_t userWord = 0;
  MARect screenRect{-1, -1, -1, -1};
  int drawn = 0, held = 0, drawWhileHeld = 1, looping = 0, hidden = 0, sceneMode = 0, tracking = 0, done = 0;
};

class TAnimationList {
 public:
  static constexpr int kEntries = 16;
  static constexpr int kListFull = 2;
  struct Entry {
    TGolfAnimation* animation = nullptr;
    int removeWhenFinished = 0, eraseWhenFinished = 0;
  };

  int Add(int place, TGolfAnimation* a, int removeWhenFinished, int eraseWhenFinished, int held);
  void Remove(TGolfAnimation* a, bool notify);
  void RemoveFinished(bool eraseFirst);
  void RemoveAll();
  // One pass at `now`; the first non-zero Update result (0 when none).
  int Update(uint32_t now);
  bool AnyRunning() const;
  void SetSceneMode(int flag);

  Entry entries[kEntries];
  uint32_t lastUpdateTime = 0;  // 0 forces the next pass
  int sceneMode = 0, modeJustSwitched = 0;
  int skipRequest = 0;
};

TAnimationList& AnimationList();

// The list's operations as the game, the in-round interface and the cameras call them.
int AddAnimation(int place, TGolfAnimation* a, int removeWhenFinished, int eraseWhenFinished, int held);
void RemoveAnimation(TGolfAnimation* a);
int RemoveFinishedAnimations(bool eraseFirst);
void RemoveAllAnimations();
int AnyAnimationRunning();
void StepAllAnimations(uint32_t now);
void EraseAllAnimations();
void ResetAllAnimations();
void SetAnimationsDrawn(int value);
void SetAnimationsClock(uint32_t time);
void RestartAnimationClock();
void ChangeAllAnimationsView(TGolfView* oldView, TGolfView* newView);
void SetAnimationListMark(int value);
int GetAnimationListMark();
void SetAnimationsPaused(bool paused);
// The listed animations' pictures for the next hardware frame (in scene mode only).
void QueueAnimationSprites();
// What a scene-mode pass does after its animations moved: draw the scene with them and show it (the page is
// flipped when none is set).
extern void (*PresentSceneAnimations)();
bool AnimationsPaused();
// The list's pass unless paused: 0, or the failing animation's code.
int UpdateAnimationList(uint32_t now);
