// Nearest-sample scaled drawing and the filtered row-table drawing: doubling, mirroring, clipping, holes,
// edge tables, the filtered quad and the blending of single colours.
#include "support/shapefixture.h"

namespace {

class ShapeScaleTest : public ShapeTest {};

TEST_F(ShapeScaleTest, DoublingAndMirroring) {
  Window(20, 10, 8, 0);
  const uint8_t* shape = Shape(MakeImage(0x7B, 10, 10, [](int x, int y) { return 10 * y + x; }));
  drawshapescaled(shape, 0, 0, 20, 10);
  for (int x = 0; x < 20; ++x) EXPECT_EQ(Px(x, 3), 30u + x / 2) << x;
  Golden("scaled_x2");
  fillrect(0, 0, 20, 10, 0);
  drawshapescaledex(shape, 0, 0, -10, 10);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(Px(x, 3), 30u + 9 - x) << x;
  fillrect(0, 0, 20, 10, 0);
  drawshapescaled(shape, 0, 0, 0, 10);
  drawshapescaled(shape, 0, 0, 10, 0);
  EXPECT_EQ(Px(0, 0), 0u);
}

TEST_F(ShapeScaleTest, ClippedDrawShowsTheSamePixelsAsUnclipped) {
  const uint8_t* shape = Shape(MakeImage(0x78, 5, 4, [](int x, int y) { return 0x0841 * (3 * x + 5 * y + 1); }));
  WindowDesc* whole = Window(24, 12, 16, 0);
  drawshapescaledex(shape, 2, 1, -15, 9);
  const std::vector<uint8_t> reference = Picture(*whole);
  Window(24, 12, 16, 0);
  setclip(6, 4, 13, 8);
  drawshapescaledex(shape, 2, 1, -15, 9);
  resetclip();
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 24; ++x) {
      const bool in = x >= 6 && x < 13 && y >= 4 && y < 8;
      const size_t at = 18 + 2 * (static_cast<size_t>(y) * 24 + x);
      const uint32_t expected = in ? static_cast<uint32_t>(reference[at] | (reference[at + 1] << 8)) : 0;
      ASSERT_EQ(Px(x, y), expected) << x << "," << y;
    }
  Golden("scaled_mirror_clipped");
}

TEST_F(ShapeScaleTest, Value255IsAHoleOnlyForTheTransparentForm) {
  Window(4, 1, 8, 3);
  const uint8_t* shape = Shape(MakeImage(0x7B, 2, 1, [](int x, int) { return x ? 255 : 7; }));
  drawshapescaled(shape, 0, 0, 4, 1);
  EXPECT_EQ(Px(0, 0), 7u);
  EXPECT_EQ(Px(3, 0), 3u);
  drawshapescaledex(shape, 0, 0, 4, 1);
  EXPECT_EQ(Px(3, 0), 255u);
}

TEST_F(ShapeScaleTest, PalettesAndOtherTypesReachTheWindowsFormat) {
  shapetools::Image image = MakeImage(0x7B, 2, 1, [](int x, int) { return x ? 255 : 1; });
  std::vector<uint32_t> entries(256, 0xFFFF);
  entries[1] = 0xF81F;  // 5-6-5 magenta
  image.records = {shapetools::Clut{0x29, entries}};
  const uint8_t* shape = Shape(image);
  Window(4, 1, 15, 0x0123);
  drawshapescaled(shape, 0, 0, 4, 1);
  EXPECT_EQ(Px(0, 0), 0x7C1Fu);  // the 5-6-5 entry made 5-5-5
  EXPECT_EQ(Px(3, 0), 0x0123u);  // 255 is a hole
  Window(4, 1, 16, 0);
  const uint8_t* wide = Shape(MakeImage(0x7D, 2, 1, [](int x, int) { return x ? 0xFF0000FFu : 0xFFFF0000u; }));
  drawshapescaledex(wide, 0, 0, 4, 1);  // converted to the window's type for the draw
  EXPECT_EQ(Px(1, 0), 0xF800u);
  EXPECT_EQ(Px(2, 0), 0x001Fu);
}

TEST_F(ShapeScaleTest, CentredFormsMeasureTheCentreFromTheFarEdgeWhenMirrored) {
  Window(40, 10, 8, 0);
  shapetools::Image image = MakeImage(0x7B, 4, 2, [](int x, int) { return x + 1; });
  image.centrex = 1;
  const uint8_t* shape = Shape(image);
  drawshapescaledcentred(shape, 20, 0, 8, 2);  // centre 1 -> 2 at double size
  EXPECT_EQ(Px(18, 0), 1u);
  EXPECT_EQ(Px(17, 0), 0u);
  fillrect(0, 0, 40, 10, 0);
  drawshapescaledcentred(shape, 20, 0, -8, 2);  // far edge: (4 - 1) x 2 = 6
  EXPECT_EQ(Px(14, 0), 4u);
  EXPECT_EQ(Px(21, 0), 1u);
}

TEST_F(ShapeScaleTest, EdgeTablesStepAndClip) {
  Window(8, 40, 8, 0);
  int32_t table[kEdgeTable] = {};
  EXPECT_EQ(buildtablemin(table, 0, 10, 0, 10), -65536);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(table[i], 9 - i) << i;
  EXPECT_EQ(buildtablemax(table, 0, 10, 0, 10), -65536);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(table[i], 10 - i) << i;
  setclip(0, 5, 8, 40);
  int32_t clipped[kEdgeTable];
  std::fill(std::begin(clipped), std::end(clipped), -99);
  buildtablemin(clipped, 0, 10, 0, 10);
  EXPECT_EQ(clipped[4], -99);
  for (int i = 5; i < 10; ++i) EXPECT_EQ(clipped[i], 9 - i) << i;
  EXPECT_EQ(buildtablemin(clipped, 40, 0, 5, 3), 0);  // at or below maxy: nothing
  EXPECT_EQ(buildtablemin(clipped, 3, 0, 5, 0), 0);   // no rows: no division
}

TEST_F(ShapeScaleTest, EdgeTablesNeverRunPastTheirEnd) {
  WindowDesc* w = Window(4, 2000, 8, 0);
  ASSERT_NE(w, nullptr);
  std::vector<int32_t> table(kEdgeTable + 16, -7);
  buildtablemin(table.data(), 0, 0, 100, 2000);
  EXPECT_TRUE(Aborted("buildtablemin (linearmapf) - exceeded 1200 max height"));
  EXPECT_EQ(table[kEdgeTable], -7);
  buildtablemax(table.data(), 0, 0, 100, 2000);
  EXPECT_EQ(table[kEdgeTable], -7);
}

TEST_F(ShapeScaleTest, FilteredQuadOfAFourByFourShape) {
  Window(4, 4, 32, 0);
  const uint8_t* shape =
      Shape(MakeImage(0x7D, 4, 4, [](int x, int y) { return 0xFF000000u | (x * 80) << 16 | (y * 80) << 8 | 0x40; }));
  const int32_t corners[] = {0, 0, 3, 0, 3, 3, 0, 3};
  drawshapequadfull(shape, corners);
  EXPECT_EQ(Px(0, 0), 0xFF000040u);  // the first pixel is texel a itself
  const uint32_t mid = Px(1, 0);
  EXPECT_GT((mid >> 16) & 0xFF, 0u);
  EXPECT_LT((mid >> 16) & 0xFF, 80u);  // filtered between columns 0 and 1
  Golden("quad4x4");
}

TEST_F(ShapeScaleTest, FilteredScalingLimits) {
  Window(30, 4, 32, 0);
  const uint8_t* shape = Shape(MakeImage(0x7D, 10, 2, [](int, int) { return 0xFF00FF00u; }));
  drawshapescaledargb(shape, 3, 0, 1, 2);
  // Lane-wise eighths lose up to three low bits: a flat green stays nearly full.
  EXPECT_GE((Px(3, 0) >> 8) & 0xFF, 0xF8u);
  EXPECT_GE((Px(4, 0) >> 8) & 0xFF, 0xF8u);
  EXPECT_EQ(Px(5, 0), 0u);  // width 1 draws two pixels
  fillrect(0, 0, 30, 4, 0);
  uint8_t* big = Shape(MakeImage(0x7D, 200, 1, [](int, int) { return 0xFFFFFFFFu; }));
  drawshapescaledargb(big, 0, 0, 2, 1);  // scale 655: refused
  EXPECT_EQ(Px(0, 0), 0u);
  const uint8_t* tall = Shape(MakeImage(0x7D, 1, 1281, [](int, int) { return 1; }));
  initshaperowtbl(tall);
  EXPECT_TRUE(Aborted("initshaperowtbl - SHAPE TOO TALL 1281. MAX IS 1280."));
}

TEST_F(ShapeScaleTest, FilteredScalingMirrorsAndDoubles) {
  Window(16, 6, 16, 0);
  const uint8_t* shape =
      Shape(MakeImage(0x7D, 4, 3, [](int x, int y) { return 0xFF000000u | (x * 80) << 16 | (y * 120) << 8 | 0x80; }));
  drawshapescaledargb(shape, 0, 0, 8, 6);
  drawshapescaledargb(shape, 8, 0, -8, 6);
  // Ends of the mirrored copy show the far columns of the source (red 240 on the right of the shape).
  for (int y = 0; y < 6; ++y) {
    EXPECT_GE(Px(8, y) >> 11, 26u) << y;
    EXPECT_LE(Px(15, y) >> 11, 2u) << y;
    EXPECT_NEAR(static_cast<int>(Px(8, y) >> 11), static_cast<int>(Px(7, y) >> 11), 2) << y;  // truncated eighths
  }
  Golden("scaledargb_mirror");
}

TEST_F(ShapeScaleTest, BlendingSingleColours) {
  Window(2, 1, 32, 0xFF000000);
  blendpixel(0, 0, 0x80400000);
  EXPECT_EQ(Px(0, 0), 0xFF400000u);
  blendpixel(5, 0, 0xFFFFFFFF);  // outside: nothing
  blendpixel(1, 0, 0);
  EXPECT_EQ(Px(1, 0), 0xFF000000u);
  Window(1, 1, 8, 0);
  for (int i = 0; i < 256; ++i) CurrentPalette[i] = 0xFF000000u | (i << 16);
  uint8_t pixel = 100;
  blendpixel8(&pixel, 0x80400000);  // half of red 100 plus 64
  EXPECT_NEAR(pixel, 114, 1);
  blendpixel8(&pixel, 0);
  EXPECT_NEAR(pixel, 114, 1);
  blendpixel8(&pixel, 0xFFC80000);
  EXPECT_EQ(pixel, 200);
}

}  // namespace
