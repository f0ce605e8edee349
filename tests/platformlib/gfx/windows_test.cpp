#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gfxfixture.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/gfx/videowin.h"

class Windows : public GfxTest {};

TEST_F(Windows, BadSizesAndDepthsAreRefusedWithTheirMessages) {
  EXPECT_EQ(createwindowadra(16385, 10, 8, 1), nullptr);
  EXPECT_TRUE(AbortedWith("createwindow - INVALID WINDOW DIMENSIONS\nrequested: 16385x10x8 maximum: 16384x8192\n"));
  EXPECT_EQ(createwindowadra(100, 100, 12, 1), nullptr);
  EXPECT_TRUE(AbortedWith("createwindow - INVALID DEPTH\nrequested: 100x100x12 BPP MUST BE 1,4,8,15,16,24,OR 32\n"));
  CapturedAborts().clear();
  EXPECT_EQ(createwindowadra(10, -1, 8, 0), nullptr);
  EXPECT_EQ(trycreatewindowadr(10, 9000, 8), nullptr);
  EXPECT_TRUE(CapturedAborts().empty());
}

TEST_F(Windows, DepthZeroTakesTheDisplayDepthOrEight) {
  WindowDesc* w = Make(100, 100, 0);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->depth, 8);
  EXPECT_EQ(w->shapetype, 0x7B);
  gfxstate().depth = 16;
  WindowDesc* v = Make(10, 10, 0);
  EXPECT_EQ(v->depth, 16);
}

TEST_F(Windows, RowBytesAndShapeHeader) {
  struct Case {
    int width, depth, rowbytes;
  };
  for (const Case& c : std::vector<Case>{{3, 4, 2}, {1, 24, 3}, {3, 15, 6}, {9, 1, 2}, {5, 32, 20}, {7, 8, 7}}) {
    WindowDesc* w = Make(c.width, 2, c.depth);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->rowbytes, c.rowbytes) << c.width << "x" << c.depth;
    EXPECT_EQ(w->shape[0], depthshapetype(c.depth));
    EXPECT_EQ(w->shape[4] | (w->shape[5] << 8), c.width);
    EXPECT_EQ(w->shape[6] | (w->shape[7] << 8), 2);
    EXPECT_EQ(w->pixels, w->shape + 16);
    EXPECT_EQ(w->signature, kWindowSignature);
    EXPECT_EQ(w->maxx, c.width);
    EXPECT_EQ(w->maxy, 2);
  }
}

TEST_F(Windows, WindowsWithoutRowSpaceAreRefused) {
  removerowspace();
  EXPECT_EQ(createwindowadra(4, 4, 8, 1), nullptr);
  EXPECT_TRUE(AbortedWith("createwindow - ROW TABLE MANAGER NOT INITIALIZED\ncall initrow or initgraphics first."));
  initrow();
}

TEST_F(Windows, EqualTablesAreSharedAndSurviveTheirPartner) {
  WindowDesc* a = createwindowadr(40, 30, 8);
  WindowDesc* b = createwindowadr(40, 30, 8);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->rows, b->rows);
  EXPECT_EQ(a->cols, b->cols);
  removewindow(a);
  ASSERT_EQ(setwindow(b), 1);
  writepixel(39, 29, 0x44);
  EXPECT_EQ(b->pixels[29 * 40 + 39], 0x44);
  for (int y = 0; y < 30; ++y) EXPECT_EQ(b->rows[y], y * 40);
  releasewindow();
  removewindow(b);
}

TEST_F(Windows, ColumnTablesOfDifferentDepthsAreNotMixedUp) {
  WindowDesc* one = Make(64, 2, 1);
  WindowDesc* four = Make(64, 2, 4);
  ASSERT_TRUE(one && four);
  EXPECT_NE(one->cols, four->cols);
  EXPECT_EQ(one->cols[16], 2);
  EXPECT_EQ(four->cols[16], 8);
}

TEST_F(Windows, RowSpaceSplitsAndMerges) {
  // Initially one free block of size - 2 entries.
  ASSERT_EQ(rowspaceblocks(), 1);
  int32_t* a = makerow(0, 1, 0, 100);
  int32_t* b = makerow(0, 2, 0, 100);
  int32_t* c = makerow(0, 3, 0, 100);
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(rowspaceblocks(), 4);
  EXPECT_EQ(c[99], 297);
  removerow(b);
  EXPECT_EQ(rowspaceblocks(), 4);
  removerow(a);
  EXPECT_EQ(rowspaceblocks(), 3);
  removerow(c);
  ASSERT_EQ(rowspaceblocks(), 1);
  int32_t count = 0, refs = -1;
  rowspaceblock(0, &count, &refs, nullptr);
  EXPECT_EQ(count, rowspacesize - 2);
  EXPECT_EQ(refs, 0);
}

TEST_F(Windows, SmallRemaindersAreHandedOutWhole) {
  rowspacesize = 204;
  removerowspace();
  initrow();
  // One free block of 202 entries: 195 leaves 7, handed out whole; 194 leaves 8, split.
  int32_t* whole = makerow(0, 1, 0, 195);
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(rowspaceblocks(), 1);
  int32_t count = 0;
  rowspaceblock(0, &count, nullptr, nullptr);
  EXPECT_EQ(count, 202);
  removerow(whole);
  int32_t* split = makerow(0, 1, 0, 194);
  ASSERT_NE(split, nullptr);
  EXPECT_EQ(rowspaceblocks(), 2);
  rowspaceblock(1, &count, nullptr, nullptr);
  EXPECT_EQ(count, 6);
  removerow(split);
  EXPECT_EQ(makerow(0, 1, 0, 203), nullptr);
  removerowspace();
  rowspacesize = 14336;
  initrow();
}

TEST_F(Windows, TooSmallRowSpaceAndCorruptTablesAbort) {
  rowspacesize = 203;
  initrow();
  EXPECT_TRUE(AbortedWith("initrow - INSUFFICIENT ROW TABLE SPACE (203)\nMUST BE AT LEAST 204.\n"));
  rowspacesize = 14336;
  int32_t* a = makerow(0, 1, 0, 10);
  removerow(a + 1);
  EXPECT_TRUE(AbortedWith("removewindow - ROW SPACE CORRUPTED\n"));
  removerow(a);
}

TEST_F(Windows, CheckWindowNamesEveryBadField) {
  WindowDesc* w = Make(10, 10, 8);
  EXPECT_EQ(checkwindow(w), 1);
  WindowDesc bad = *w;
  std::memcpy(&bad.signature, "kNIW", 4);
  bad.maxx = 20000;
  EXPECT_EQ(checkwindow(&bad), 0);
  EXPECT_TRUE(AbortedWith("checkwindow - BAD WINDOW FIELD 'id'.\nVALUE IS 57494e6b.  SHOULD BE 57494e44."));
  EXPECT_TRUE(AbortedWith("checkwindow - BAD WINDOW FIELD 'maxx'.\nVALUE IS 20000.  SHOULD BE 0..16384.  10x10x8 @ "));
  // An invalid window leaves the current one as it is.
  ASSERT_EQ(setwindow(w), 1);
  EXPECT_EQ(setwindow(&bad), 0);
  EXPECT_EQ(CurrentWindow.pixels, w->pixels);
}

TEST_F(Windows, FailedLockDrawsIntoTheScratchWindow) {
  gfxhooks().locksurface = [](void*, uint8_t**, int32_t*) { return 0; };
  WindowDesc* w = Make(10, 10, 8);
  WindowDesc locked = *w;
  int dummy = 0;
  locked.surface = &dummy;
  EXPECT_EQ(setwindow(&locked), 0);
  EXPECT_EQ(CurrentWindow.width, 8);
  EXPECT_EQ(CurrentWindow.height, 8);
  std::memset(w->pixels, 0, 100);
  writepixel(1, 1, 3);  // goes nowhere visible
  EXPECT_EQ(w->pixels[11], 0);
}

class VideoWindows : public GfxTest {
 protected:
  WindowDesc* Video(int w, int h, int depth) {
    WindowDesc* v = videowindowdefadr(w, h, 0, 0);
    (void)depth;
    made_.push_back(v);
    return v;
  }
  void TearDown() override {
    for (WindowDesc* v : made_) {
      if (!v) continue;
      void* s = v->surface;
      removevideowindow(v);
      gfxhooks().releasesurface(s);
    }
    GfxTest::TearDown();
  }
  std::vector<WindowDesc*> made_;
};

TEST_F(VideoWindows, DimensionsAreChecked) {
  EXPECT_EQ(makevideowindow(2401, 10, 2402, 8, 0, nullptr, nullptr), nullptr);
  EXPECT_TRUE(AbortedWith("makevideowindow - INVALID WINDOW DIMENSIONS\nrequested: 2401x10 maximum: 2400x1600\n"));
  gfxstate().depth = 16;
  EXPECT_EQ(videowindowdefadr(10, 10, 8, 0), nullptr);
  EXPECT_TRUE(AbortedWith("videowindowdefadr - DEPTHS DIFFERENT THAN THAT OF THE DISPLAY NOT YET SUPPORTED.\n"));
}

TEST_F(VideoWindows, MoveClipsTheSourceAtTheLeft) {
  gfxstate().depth = 8;
  WindowDesc* src = Video(20, 4, 8);
  WindowDesc* dst = Video(20, 4, 8);
  ASSERT_TRUE(src && dst);
  GfxMemSurface* s = gfxmemsurface(src->surface);
  for (int x = 0; x < 20; ++x) s->bits[x] = static_cast<uint8_t>(100 + x);
  movevideowindow(src, dst, -10, 0, 0);
  GfxMemSurface* d = gfxmemsurface(dst->surface);
  EXPECT_EQ(d->bits[0], 110);
  EXPECT_EQ(d->bits[9], 119);
  EXPECT_EQ(d->bits[10], 0);
  // Drawing into a video window goes through the lock.
  ASSERT_EQ(setwindow(dst), 1);
  writepixel(3, 2, 0x77);
  EXPECT_EQ(d->bits[2 * d->pitch + 3], 0x77);
  releasewindow();
  fillvideowindow(dst, -5, -5, 7, 7, 9);
  EXPECT_EQ(d->bits[1 * d->pitch + 1], 9);
  EXPECT_EQ(d->bits[2 * d->pitch + 2], 0);
  EXPECT_EQ(d->bits[2 * d->pitch + 3], 0x77);
  readvideowindow(src, dst, 5, 0);
  EXPECT_EQ(d->bits[0], 105);
  WindowDesc* memory = Make(4, 4, 8);
  movevideowindow(memory, dst, 0, 0, 0);
  EXPECT_TRUE(AbortedWith("movevideowindow - MUST BE CALLED WITH TWO VIDEO WINDOWS"));
}

TEST_F(VideoWindows, ScaledCopy) {
  gfxstate().depth = 8;
  WindowDesc* src = Video(4, 4, 8);
  WindowDesc* dst = Video(8, 8, 8);
  GfxMemSurface* s = gfxmemsurface(src->surface);
  s->bits[0] = 5;
  copyvideowindow(src, 0, 0, 4, 4, dst, 0, 0, 0x20000, 0);
  GfxMemSurface* d = gfxmemsurface(dst->surface);
  EXPECT_EQ(d->bits[0], 5);
  EXPECT_EQ(d->bits[1], 5);
  EXPECT_EQ(d->bits[d->pitch + 1], 5);
  EXPECT_EQ(d->bits[2], 0);
}

TEST(Rows, TransparentEightToSixteenSkipsIndex255) {
  uint32_t table[256];
  for (uint32_t i = 0; i < 256; ++i) table[i] = 0xABCD0000u | (i * 257);
  const uint8_t source[7] = {1, 2, 255, 3, 255, 255, 4};
  for (int offset : {0, 1}) {  // aligned and unaligned destinations
    alignas(4) uint16_t row[9];
    std::fill(row, row + 9, 0x7777);
    copyrow8to16transparent(row + offset, source, 7, table);
    const std::vector<uint16_t> got(row + offset, row + offset + 7);
    EXPECT_EQ(got, (std::vector<uint16_t>{257, 514, 0x7777, 771, 0x7777, 0x7777, 1028})) << offset;
    EXPECT_EQ(row[offset + 7], 0x7777);
  }
}

TEST_F(Windows, SurfaceGuardAndDisplayWindow) {
  EXPECT_EQ(surfaceguard(), 1);  // memory window: nothing to do
  gfxstate().modex = 1;
  EXPECT_EQ(displaywindow(), 0);
  EXPECT_TRUE(AbortedWith("displaywindow - DOES NOT WORK IN THIS DISPLAY MODE (isdisplaymodex()=1)\n"));
  gfxstate().modex = 0;
  static int relocks = 0;
  gfxhooks().relocksurface = [] {
    ++relocks;
    return 1;
  };
  gfxstate().depth = 16;
  void* surface = gfxhooks().makesurface(32, 16, 16, 0);
  GfxMemSurface* s = gfxmemsurface(surface);
  makevideowindow(32, 16, s->pitch, 16, -1, nullptr, surface);
  ASSERT_EQ(displaywindow(), 1);
  EXPECT_EQ(CurrentWindow.pixels, s->bits);
  EXPECT_EQ(gfxstate().surfacelocked, 1);
  EXPECT_EQ(surfaceguard(), 1);
  EXPECT_EQ(relocks, 1);
  releasewindow();
  EXPECT_EQ(gfxstate().surfacelocked, 0);
  EXPECT_EQ(CurrentWindow.depth, 16);  // a released window keeps the display's depth
  removevideowindow(&DisplayWindow);
  gfxhooks().releasesurface(surface);
}
