// Frame animations: fetching frames from a source, and drawing the current one plain, scaled or blended.
#include "framework/core/frameanim.h"

#include <cstring>

#include "framework/core/errors.h"
#include "framework/core/objectimage.h"
#include "framework/core/services.h"
#include "support/shapefixture.h"
#include "support/testwindows.h"

namespace {

constexpr int kW = 4, kH = 3;

// Pixel (x, y) of frame f: never 0, different in every frame.
uint32_t FramePixel(int f, int x, int y) { return static_cast<uint32_t>(f * 16 + y * kW + x + 1); }

// Frames kept in memory handles: 8-bit pictures of kW x kH with the hot spot at (1, 1).
class FakeFrames : public FrameSource {
 public:
  explicit FakeFrames(int count) {
    for (int f = 0; f < count; ++f) frames_.push_back(Make(f));
  }
  ~FakeFrames() override {
    for (GraphicRecord& g : frames_) GfxFree(&g);
  }
  int32_t FrameCount() override { return static_cast<int32_t>(frames_.size()); }
  int FetchFrame(int32_t n, GraphicRecord* frame) override {
    ++fetches;
    if (n == failing) {
      frame->type = 0;  // a failing source may leave the record half written
      return ERR_READ;
    }
    *frame = frames_[static_cast<size_t>(n)];
    return ERR_NONE;
  }
  GraphicRecord& Frame(int f) { return frames_[static_cast<size_t>(f)]; }
  int fetches = 0;
  int failing = -1;

 private:
  static GraphicRecord Make(int f) {
    shapetools::Image image;
    image.type = 0x7B;
    image.width = kW;
    image.height = kH;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) image.pixels.push_back(FramePixel(f, x, y));
    const std::vector<uint8_t> bytes = shapetools::shapebytes(image);
    GraphicRecord g{};
    g.width = kW;
    g.height = kH;
    g.hotx = 1;
    g.hoty = 1;
    g.type = 1;
    g.depth = 8;
    g.pixelHandle = MemAllocHandle(bytes.size(), 0);
    std::memcpy(MemLock(g.pixelHandle), bytes.data(), bytes.size());
    MemUnlock(g.pixelHandle);
    return g;
  }
  std::vector<GraphicRecord> frames_;
};

class FrameAnimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartDrawing();
    ResetServices();
    SharedUnpackCache = 0;
  }
  void TearDown() override {
    if (SharedUnpackCache) MemFreeHandle(SharedUnpackCache);
    SharedUnpackCache = 0;
    windows_.RemoveAll();
    GfxFreeScratch();
    abortfilterhook = nullptr;
  }
  WindowDesc* Window(int w, int h, int depth) { return windows_.Make(w, h, depth); }
  static uint32_t Px(WindowDesc* w, int x, int y) { return TestWindows::Px(w, x, y); }
  static int Painted(WindowDesc* w) { return TestWindows::Painted(w); }
  static void ExpectRect(const GfxRect& r, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
  }
  void Cache(size_t bytes) {
    if (SharedUnpackCache) MemFreeHandle(SharedUnpackCache);
    SharedUnpackCache = MemAllocHandle(bytes, 0x200);
  }
  TestWindows windows_;
  AnimRecord anim_;
};

TEST_F(FrameAnimTest, InitFetchesTheFirstFrameWhichDrawsAtItsHotSpot) {
  FakeFrames frames(3);
  WindowDesc* w = Window(20, 12, 8);
  ASSERT_EQ(AnimInit(&anim_, &frames, 1, AnimSettings{w, 10, 5}), ERR_NONE);
  EXPECT_EQ(frames.fetches, 1);
  EXPECT_EQ(AnimFrameNumber(&anim_), 1);
  EXPECT_TRUE(AnimFrameValid(&anim_));
  EXPECT_EQ(AnimFrameCount(&anim_), 3);
  GfxRect covered{};
  ASSERT_EQ(AnimDraw(&anim_, &covered), ERR_NONE);
  ExpectRect(covered, 9, 4, 13, 7);
  ExpectRect(AnimLastDrawn(&anim_), 9, 4, 13, 7);
  EXPECT_EQ(Painted(w), kW * kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) EXPECT_EQ(Px(w, 9 + x, 4 + y), FramePixel(1, x, y)) << x << "," << y;
  // Moved, and cut by the window's edge.
  AnimSetPosition(&anim_, 0, 0);
  ASSERT_EQ(AnimDraw(&anim_, &covered), ERR_NONE);
  ExpectRect(covered, 0, 0, 3, 2);
  EXPECT_EQ(Px(w, 0, 0), FramePixel(1, 1, 1));
}

TEST_F(FrameAnimTest, SetFrameFetchesOnlyWhatIsNeededAndKeepsTheNumberOnlyOnSuccess) {
  FakeFrames frames(3);
  WindowDesc* w = Window(8, 8, 8);
  ASSERT_EQ(AnimInit(&anim_, &frames, 0, AnimSettings{w, 1, 1}), ERR_NONE);
  struct Step {
    int32_t n;
    bool force;
    int result;
    int fetches;  // after the step
    int32_t frame;
  } steps[] = {
      {0, false, ERR_NONE, 1, 0},      // already current
      {0, true, ERR_NONE, 2, 0},       // forced
      {2, false, ERR_NONE, 3, 2},      //
      {3, false, ERR_UNKNOWN, 3, 2},   // past the last frame: not asked for
      {-1, true, ERR_UNKNOWN, 3, 2},   //
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << s.n << (s.force ? " forced" : ""));
    EXPECT_EQ(AnimSetFrame(&anim_, s.n, s.force), s.result);
    EXPECT_EQ(frames.fetches, s.fetches);
    EXPECT_EQ(AnimFrameNumber(&anim_), s.frame);
  }
  // A failed fetch keeps the number and the picture of the frame before.
  frames.failing = 1;
  EXPECT_EQ(AnimSetFrame(&anim_, 1, false), ERR_READ);
  EXPECT_EQ(AnimFrameNumber(&anim_), 2);
  EXPECT_TRUE(AnimFrameValid(&anim_));
  ASSERT_EQ(AnimDraw(&anim_, nullptr), ERR_NONE);
  EXPECT_EQ(Px(w, 0, 0), FramePixel(2, 0, 0));
  // A record without a source fetches nothing.
  AnimRecord empty;
  EXPECT_EQ(AnimSetFrame(&empty, 0, true), ERR_UNKNOWN);
}

TEST_F(FrameAnimTest, AFrameThatIsNotAPictureGives18AndDrawsNothing) {
  FakeFrames frames(2);
  WindowDesc* w = Window(8, 8, 8);
  frames.Frame(1).type = 2;
  ASSERT_EQ(AnimInit(&anim_, &frames, 1, AnimSettings{w, 3, 3}), ERR_NONE);
  GfxRect covered{};
  EXPECT_EQ(AnimDraw(&anim_, &covered), kAnimNotAPicture);
  ExpectRect(covered, -1, -1, -1, -1);
  EXPECT_EQ(Painted(w), 0);
  // Without any frame fetched the record has nothing to draw either.
  frames.failing = 0;
  EXPECT_EQ(AnimInit(&anim_, &frames, 0, AnimSettings{w, 3, 3}), ERR_READ);
  EXPECT_FALSE(AnimFrameValid(&anim_));
  EXPECT_EQ(AnimFrameNumber(&anim_), -1);
  EXPECT_EQ(AnimDraw(&anim_, &covered), kAnimNotAPicture);
  EXPECT_EQ(Painted(w), 0);
}

TEST_F(FrameAnimTest, ScaledFramesNeedTwoPixelsAndRoomInTheCache) {
  FakeFrames frames(1);
  WindowDesc* w = Window(20, 20, 8);
  ASSERT_EQ(AnimInit(&anim_, &frames, 0, AnimSettings{w, 10, 10, 2 * kAnimFullSize}), ERR_NONE);
  GfxRect covered{};
  // Twice the size: 8 x 6 pixels; outside a round there is no cache to fit.
  EXPECT_EQ(AnimDraw(&anim_, &covered), ERR_NONE);
  ExpectRect(covered, -1, -1, -1, -1);
  EXPECT_EQ(Painted(w), 0);
  Cache(8 * 6 + kAnimCacheSpare - 1);
  EXPECT_EQ(AnimDraw(&anim_, &covered), ERR_NONE);
  EXPECT_EQ(Painted(w), 0);
  Cache(8 * 6 + kAnimCacheSpare);
  EXPECT_EQ(AnimDraw(&anim_, &covered), ERR_NONE);
  ExpectRect(covered, 8, 8, 16, 14);  // the hot spot (1, 1) scaled to (2, 2)
  EXPECT_EQ(Painted(w), 8 * 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(Px(w, 8 + x, 8 + y), FramePixel(0, x / 2, y / 2)) << x << "," << y;
  // Half size (2 x 1) is still drawn; a quarter (1 x 0) is not.
  struct Small {
    int32_t scale;
    int painted;
  } small[] = {{kAnimFullSize / 2, 2}, {kAnimFullSize / 4, 0}, {0, 0}};
  for (const Small& s : small) {
    SCOPED_TRACE(s.scale);
    WindowDesc* fresh = Window(20, 20, 8);
    AnimSetTarget(&anim_, fresh);
    AnimSetScale(&anim_, s.scale);
    EXPECT_EQ(AnimScale(&anim_), s.scale);
    EXPECT_EQ(AnimDraw(&anim_, &covered), ERR_NONE);
    EXPECT_EQ(Painted(fresh), s.painted);
    EXPECT_EQ(covered.left == -1, s.painted == 0);
  }
}

TEST_F(FrameAnimTest, BlendedModeDrawsThroughTheScratchImageWhenTheCacheHoldsIt) {
  ASSERT_EQ(GfxInitScratch(), 1);
  FakeFrames frames(1);
  for (int i = 0; i < 256; ++i) CurrentPalette[i] = 0xFF000000u | static_cast<uint32_t>(i * 0x010101);
  WindowDesc* w = Window(16, 16, 32);
  ASSERT_EQ(AnimInit(&anim_, &frames, 0, AnimSettings{w, 5, 5, kAnimFullSize, 1}), ERR_NONE);
  EXPECT_EQ(AnimMode(&anim_), 1);
  EXPECT_EQ(AnimTarget(&anim_), w);
  GfxRect covered{};
  EXPECT_EQ(AnimDraw(&anim_, &covered), ERR_NONE);  // blended at full size still needs the cache
  EXPECT_EQ(Painted(w), 0);
  Cache(kW * kH + kAnimCacheSpare);
  EXPECT_EQ(AnimDraw(&anim_, &covered), ERR_NONE);
  ExpectRect(covered, 4, 4, 8, 7);
  EXPECT_EQ(Painted(w), kW * kH);
  EXPECT_EQ(Px(w, 4, 4) & 0xFFFFFF, FramePixel(0, 0, 0) * 0x010101u);
  // Plain again: drawn without the cache's say.
  AnimSetMode(&anim_, 0);
  MemFreeHandle(SharedUnpackCache);
  SharedUnpackCache = 0;
  WindowDesc* plain = Window(16, 16, 32);
  AnimSetTarget(&anim_, plain);
  EXPECT_EQ(AnimDraw(&anim_, &covered), ERR_NONE);
  EXPECT_EQ(Painted(plain), kW * kH);
}

}  // namespace
