#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "gfxfixture.h"
#include "platformlib/gfx/videoout.h"
#include "platformlib/gfx/videowin.h"

namespace {

struct Display {
  uint32_t caps = 0;
  int lost = 0, restore = 0, tofront = 0, overlay = 0;
  bool nosurface = false;
  std::vector<std::string> log;
  std::vector<GfxRect> destinations;
  void* surface = nullptr;
};
Display& D() {
  static Display d;
  return d;
}

class VideoOut : public GfxTest {
 protected:
  void SetUp() override {
    GfxTest::SetUp();
    D() = Display{};
    GfxDisplayHooks& h = gfxhooks();
    h.videocaps = [] { return D().caps; };
    h.makeyuy2surface = [](int32_t w, int32_t hgt, int overlay) -> void* {
      D().log.push_back(overlay ? "overlay surface" : "plain surface");
      if (D().nosurface) return nullptr;
      // A new surface comes after a change of the DirectDraw object, which took the old one with it.
      if (D().surface) gfxhooks().releasesurface(D().surface);
      D().surface = gfxhooks().makesurface(w, hgt, 16, 0);
      return D().surface;
    };
    h.surfacelost = [](void*) { return D().lost; };
    h.restoresurface = [](void*) {
      D().log.push_back("restore");
      return D().restore;
    };
    h.blittofront = [](void*, const GfxRect*, const GfxRect* d) {
      D().log.push_back("blit");
      D().destinations.push_back(*d);
      return D().tofront;
    };
    h.showoverlay = [](void*, const GfxRect*, const GfxRect* d, uint32_t key) {
      D().log.push_back("overlay key " + std::to_string(key));
      D().destinations.push_back(*d);
      return D().overlay;
    };
    h.clienttoscreen = [](int32_t* x, int32_t* y) {
      *x += 100;
      *y += 50;
    };
    gfxstate().depth = 16;
    display_ = gfxhooks().makesurface(320, 240, 16, 0);
    GfxMemSurface* s = gfxmemsurface(display_);
    makevideowindow(320, 240, s->pitch, 16, -1, s->bits, display_);
    blitvideoframehook = [](const uint8_t*, int32_t x, int32_t y, int32_t, int32_t, int doublesize) {
      D().log.push_back("software " + std::to_string(x) + "," + std::to_string(y) + " x" + std::to_string(doublesize));
    };
    frame_.resize(8 * 4 * 2);
    for (size_t i = 0; i < frame_.size(); ++i) frame_[i] = static_cast<uint8_t>(i);
  }
  void TearDown() override {
    videooutclose();
    blitvideoframehook = nullptr;
    removevideowindow(&DisplayWindow);
    gfxhooks().releasesurface(display_);
    GfxTest::TearDown();
  }
  void* display_ = nullptr;
  std::vector<uint8_t> frame_;  // 8 x 4 pixels of YUY2
};

}  // namespace

TEST_F(VideoOut, ModeFollowsTheHardware) {
  struct Case {
    uint32_t caps;
    int software, mode;
  };
  for (const Case& c : std::vector<Case>{{0, 0, kVideoOutSoftware},
                                         {kCapsOverlayFourcc | kCapsOverlayStretch, 0, kVideoOutOverlay},
                                         {kCapsOverlayFourcc | kCapsBltFourcc | kCapsBltStretch, 0, kVideoOutBlit},
                                         {kCapsOverlayFourcc | kCapsOverlayStretch, 1, kVideoOutSoftware},
                                         {kCapsBltFourcc, 0, kVideoOutSoftware}}) {
    D().caps = c.caps;
    videooutopen(0, 0, 8, 4, 0, c.software);
    EXPECT_EQ(getvideooutmode(), c.mode) << c.caps;
  }
}

TEST_F(VideoOut, BlitCopiesTheFrameAndShowsIt) {
  D().caps = kCapsBltFourcc | kCapsBltStretch;
  videooutopen(10, 20, 8, 4, 1, 0);
  videooutframe(frame_.data());
  EXPECT_EQ(D().log, (std::vector<std::string>{"plain surface", "blit"}));
  GfxMemSurface* s = gfxmemsurface(D().surface);
  for (int row = 0; row < 4; ++row)
    EXPECT_EQ(std::memcmp(s->bits + row * s->pitch, frame_.data() + row * 16, 16), 0) << row;
  ASSERT_EQ(D().destinations.size(), 1u);
  const GfxRect d = D().destinations[0];
  EXPECT_EQ(d.left, 110);
  EXPECT_EQ(d.top, 70);
  EXPECT_EQ(d.right, 118);
  EXPECT_EQ(d.bottom, 78);  // lines doubled
  videooutframe(frame_.data());
  EXPECT_EQ(D().log.size(), 3u);  // the same surface, blitted again
  D().tofront = kVideoFailed;
  videooutframe(frame_.data());
  EXPECT_EQ(getvideooutmode(), kVideoOutSoftware);
  EXPECT_EQ(D().log.back(), "software 10,20 x1");
}

TEST_F(VideoOut, OverlayIsPlacedOnceAndAgainAfterTheWindowMoves) {
  D().caps = kCapsOverlayFourcc | kCapsOverlayStretch;
  videooutopen(4, 6, 8, 4, 0, 0);
  videooutframe(frame_.data());
  EXPECT_EQ(D().log, (std::vector<std::string>{"overlay surface", "overlay key 1"}));
  GfxMemSurface* screen = gfxmemsurface(display_);
  uint16_t key = 0;
  std::memcpy(&key, screen->bits + 6 * screen->pitch + 4 * 2, 2);
  EXPECT_EQ(key, 1);  // the colour key under the overlay
  videooutframe(frame_.data());
  EXPECT_EQ(D().log.size(), 2u);  // contents only
  ++gfxstate().windowmoves;
  videooutframe(frame_.data());
  EXPECT_EQ(D().log.back(), "overlay key 1");
  ++gfxstate().ddrawchanges;  // a new DirectDraw object: a new surface
  videooutframe(frame_.data());
  EXPECT_EQ(D().log[D().log.size() - 2], "overlay surface");
}

TEST_F(VideoOut, FailuresFallBackToSoftware) {
  D().caps = kCapsBltFourcc | kCapsBltStretch;
  D().nosurface = true;
  videooutopen(0, 0, 8, 4, 0, 0);
  videooutframe(frame_.data());
  EXPECT_EQ(D().log, (std::vector<std::string>{"plain surface", "software 0,0 x0"}));
  D() = Display{};
  D().caps = kCapsBltFourcc | kCapsBltStretch;
  videooutopen(0, 0, 8, 4, 0, 0);
  D().lost = 1;
  D().restore = kVideoWrongMode;  // tolerated
  videooutframe(frame_.data());
  EXPECT_EQ(getvideooutmode(), kVideoOutBlit);
  D().restore = kVideoFailed;
  videooutframe(frame_.data());
  EXPECT_EQ(getvideooutmode(), kVideoOutSoftware);
}
