// The animated pictures of the menus and buttons: a shape movie shown at a place, played by the clock in one of
// five modes and erased by restoring the background behind it.
#pragma once

#include <cstdint>

#include "framework/core/paths.h"
#include "framework/core/utils.h"
#include "framework/core/shapemovie.h"

class TShellAnimADV {
 public:
  // Play modes.
  static constexpr uint8_t kBackAndForth = 0, kLoop = 1, kOnceErase = 2, kOnceHoldLast = 3, kOnceHoldFirst = 4;
  // Flags.
  static constexpr uint32_t kToScreen = 1u, kDrawn = 1u << 26, kStill = 1u << 27, kOwnsMovie = 1u << 28,
                            kPaused = 1u << 30, kRunning = 1u << 31;
  using RestoreCallback = void (*)(void* data, const MARect& rect, int argument);

  // An existing movie, not owned.
  TShellAnimADV(TShapeMovie* movie, int32_t x, int32_t y, uint8_t mode, int32_t framesPerSecond, int32_t fixedFrame,
                uint32_t flags);
  virtual ~TShellAnimADV();
  TShellAnimADV(const TShellAnimADV&) = delete;
  TShellAnimADV& operator=(const TShellAnimADV&) = delete;
  // The movie from a shape file of a folder (of the front end's archive "menus.viv" when the folder is the menus
  // folder); a file that does not load leaves an animation that draws nothing.
  static TShellAnimADV* FromArchiveFile(const char* name, PathRecord* archive, int32_t x, int32_t y, uint8_t mode,
                                        int32_t framesPerSecond, int32_t fixedFrame, uint32_t flags);
  static TShellAnimADV* FromFile(const char* name, int32_t x, int32_t y, uint8_t mode, int32_t framesPerSecond,
                                 int32_t fixedFrame, uint32_t flags);

  void Start();
  void Stop(int erase);
  void Pause();
  bool NeedsNewFrame() const;
  int Update();  // 1 when a new frame was drawn
  void Draw();
  void DrawFrame(int32_t frame);  // 1-based
  void Erase();
  virtual void RestoreBackground(int argument);
  MARect GetDrawnRect() const { return drawn_; }
  void SetSize(int32_t width, int32_t height);
  void SetPosition(int32_t x, int32_t y);  // y kept when -1
  void SetRestoreCallback(RestoreCallback callback, void* data) {
    restore_ = callback;
    restoreData_ = data;
  }
  int32_t FrameCount() const { return frameCount_; }
  bool Running() const { return flags & kRunning; }
  bool Paused() const { return flags & kPaused; }
  // The 1-based frame last drawn; 0 before any.
  int32_t ShownFrame() const { return cachedFrame_ > 0 ? cachedFrame_ : 0; }
  // The size of frame 1 (0 x 0 without a movie).
  void FrameSize(int32_t* width, int32_t* height);

  TShapeMovie* movie = nullptr;
  int32_t x, y;
  int32_t width = 0, height = 0;
  uint8_t mode;
  int32_t framesPerSecond;
  int32_t fixedFrame;
  uint32_t flags;
  bool frameDrawn = false;  // a frame was drawn since the owner last cleared it

 private:
  MARect drawn_{-1, -1, -1, -1};
  uint32_t startTime_ = 0, lastTime_ = 0;
  int32_t frameCount_ = 0;
  int64_t lastFrameNumber_ = -1;
  int32_t cachedFrame_ = -1;
  RestoreCallback restore_ = nullptr;
  void* restoreData_ = nullptr;
};

// Rectangles compared and copied field by field.
int RectEqual(const MARect& a, const MARect& b);
void RectCopy(const MARect& from, MARect* to);
