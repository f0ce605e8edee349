#include "scene/animlist.h"

#include <algorithm>

#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "platformlib/gfx/vortel.h"

namespace {

TAnimationList gList;
AnimationSurfaces gSurfaces;
bool gPaused = false;

bool RectIsEmpty(const MARect& r) { return r.right <= r.left || r.bottom <= r.top; }

}  // namespace

AnimationSurfaces& AnimSurfaces() { return gSurfaces; }

void RestoreAnimationRect(const MARect& rect, uint16_t minimum) {
  const AnimationSurfaces& s = gSurfaces;
  if (!s.screen.pixels || !s.background.pixels || RectIsEmpty(rect)) return;
  MARect r = rect;
  const MARect bounds{0, 0, std::min(s.screen.width, s.background.width), std::min(s.screen.height, s.background.height)};
  IntersectRect(&r, &bounds);
  if (RectIsEmpty(r)) return;
  if (s.depth && minimum > 0) {
    BlitRectZTest16(s.screen, s.background, s.depth, r, minimum);
  } else {
    CopyRows16(s.screen, r.left, r.top, s.background, r);
  }
  AddDirtyRect(r);
}

// ---- the base ---------------------------------------------------------------------------------------------------

void TGolfAnimation::SetView(TGolfView* v) {
  view = v;
  if (v && (v == CurrentMainView || v == CurrentPipView)) tracking = 0;
}

void TGolfAnimation::ChangeView(TGolfView* oldView, TGolfView* newView) {
  if (view != oldView && view && oldView) return;
  tracking = newView != CurrentMainView && newView != CurrentPipView;
  SetView(newView);
}

int TGolfAnimation::Erase() {
  if (!drawn || !view) return 0;
  RestoreAnimationRect(screenRect, 0);
  drawn = 0;
  return 0;
}

// ---- the list ---------------------------------------------------------------------------------------------------

int TAnimationList::Add(int place, TGolfAnimation* a, int removeWhenFinished, int eraseWhenFinished, int heldFlag) {
  if (!a) return 0;
  for (const Entry& e : entries)
    if (e.animation == a) return 0;
  a->SetSceneMode(sceneMode);
  Entry* slot = nullptr;
  switch (place) {
    case 0: slot = &entries[0]; break;
    case 1: slot = &entries[1]; break;
    case 3: slot = &entries[14]; break;
    case 4: slot = &entries[15]; break;
    default:
      for (int i = 2; i <= 13 && !slot; ++i)
        if (!entries[i].animation) slot = &entries[i];
      if (!slot) return kListFull;
  }
  *slot = Entry{a, removeWhenFinished, eraseWhenFinished};
  a->held = heldFlag;
  return 0;
}

void TAnimationList::Remove(TGolfAnimation* a, bool notify) {
  for (Entry& e : entries)
    if (e.animation && e.animation == a) {
      if (notify) a->OnRemove();
      e = Entry{};
    }
}

void TAnimationList::RemoveFinished(bool eraseFirst) {
  for (Entry& e : entries) {
    TGolfAnimation* a = e.animation;
    if (!a || !(a->IsFinished() || a->done || e.removeWhenFinished)) continue;
    if (eraseFirst) a->Erase();
    a->OnRemove();
    e = Entry{};
  }
}

void TAnimationList::RemoveAll() {
  for (Entry& e : entries) {
    if (e.animation) e.animation->OnRemove();
    e = Entry{};
  }
}

int TAnimationList::Update(uint32_t now) {
  if (!Facts().appActive) return 0;
  bool due = false;
  for (const Entry& e : entries)
    if (e.animation && e.animation->IsFrameDue(now) && !e.animation->IsFinished()) {
      due = true;
      break;
    }
  if (!due && lastUpdateTime != 0) return 0;
  if (!sceneMode)
    for (Entry& e : entries)
      if (e.animation) e.animation->Erase();
  lastUpdateTime = now ? now : 1;
  int result = 0;
  for (Entry& e : entries) {
    TGolfAnimation* a = e.animation;
    if (!a) continue;
    int finished = 0;
    result = a->Update(&finished, now);
    if (result) break;
    if (finished) {
      if (e.eraseWhenFinished) a->Erase();
      if (e.removeWhenFinished) e = Entry{};
    }
  }
  if (sceneMode) {
    if (!modeJustSwitched) {
      if (PresentSceneAnimations) PresentSceneAnimations();
      else if (vortellive.pageflip) vortellive.pageflip();
    }
    modeJustSwitched = 0;
  }
  return result;
}

bool TAnimationList::AnyRunning() const {
  for (const Entry& e : entries)
    if (e.animation && !e.animation->IsFinished() && !e.animation->looping) return true;
  return false;
}

void TAnimationList::SetSceneMode(int flag) {
  for (Entry& e : entries)
    if (e.animation) e.animation->SetSceneMode(flag);
  sceneMode = flag;
  modeJustSwitched = 1;
}

TAnimationList& AnimationList() { return gList; }

// ---- the global operations --------------------------------------------------------------------------------------

namespace {
template <typename F>
void ForEachListed(F f) {
  for (TAnimationList::Entry& e : gList.entries)
    if (e.animation) f(e.animation);
}
}  // namespace

int AddAnimation(int place, TGolfAnimation* a, int removeWhenFinished, int eraseWhenFinished, int held) {
  return gList.Add(place, a, removeWhenFinished, eraseWhenFinished, held);
}
void RemoveAnimation(TGolfAnimation* a) { gList.Remove(a, true); }
int RemoveFinishedAnimations(bool eraseFirst) {
  gList.RemoveFinished(eraseFirst);
  return 0;
}
void RemoveAllAnimations() { gList.RemoveAll(); }
int AnyAnimationRunning() { return gList.AnyRunning() ? 1 : 0; }
void StepAllAnimations(uint32_t now) {
  ForEachListed([now](TGolfAnimation* a) {
    int finished = 0;
    a->Update(&finished, now);
  });
}
void EraseAllAnimations() {
  ForEachListed([](TGolfAnimation* a) { a->Erase(); });
}
void ResetAllAnimations() {
  gList.skipRequest = 0;
  ForEachListed([](TGolfAnimation* a) { a->Reset(); });
}
void SetAnimationsDrawn(int value) {
  ForEachListed([value](TGolfAnimation* a) { a->drawn = value; });
}
void SetAnimationsClock(uint32_t time) {
  ForEachListed([time](TGolfAnimation* a) { a->lastFrameTime = time; });
}
void RestartAnimationClock() { gList.lastUpdateTime = 0; }
void ChangeAllAnimationsView(TGolfView* oldView, TGolfView* newView) {
  ForEachListed([=](TGolfAnimation* a) { a->ChangeView(oldView, newView); });
}
void SetAnimationListMark(int value) { gList.skipRequest = value; }
int GetAnimationListMark() { return gList.skipRequest; }
void SetAnimationsPaused(bool paused) { gPaused = paused; }
bool AnimationsPaused() { return gPaused; }
void QueueAnimationSprites() {
  if (!gList.sceneMode) return;
  ForEachListed([](TGolfAnimation* a) { a->QueueSceneSprites(); });
}
void (*PresentSceneAnimations)() = nullptr;
int UpdateAnimationList(uint32_t now) { return gPaused ? 0 : gList.Update(now); }
