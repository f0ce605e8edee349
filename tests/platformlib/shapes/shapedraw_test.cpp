// The unscaled drawing engine: clipping, conversion on the way, transparent and alpha drawing, and the clip
// and window helpers.
#include "support/shapefixture.h"

namespace {

using shapetools::Clut;
using shapetools::Image;

class ShapeDrawTest : public ShapeTest {};

uint32_t Rgb565(int r, int g, int b) { return static_cast<uint32_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3)); }

int calls = 0, pixelsdrawn = 0;
void countrow(const uint8_t* s, uint8_t* d, int n) {
  ++calls;
  pixelsdrawn += n;
  std::memcpy(d, s, static_cast<size_t>(n) * 2);
}

TEST_F(ShapeDrawTest, ShapeStraddlingTheClipEdgeDrawsOnlyInside) {
  Window(12, 8, 16, Rgb565(0, 0, 128));
  setclip(2, 1, 10, 7);
  const uint8_t* shape = Shape(MakeImage(0x78, 6, 4, [](int x, int y) { return Rgb565(40 * x, 60 * y, 255); }));
  drawshape(shape, 7, -1);
  EXPECT_EQ(Px(7, 1), Rgb565(0, 120, 255));  // shape row 2
  EXPECT_EQ(Px(9, 2), Rgb565(80, 180, 255));
  resetclip();
  EXPECT_EQ(Px(10, 1), Rgb565(0, 0, 128));  // maxx is outside
  EXPECT_EQ(Px(7, 0), Rgb565(0, 0, 128));   // above miny
  Golden("clip_straddle");
}

TEST_F(ShapeDrawTest, NothingIsDrawnForShapesOutsideOrEmpty) {
  Window(8, 8, 8, 3);
  drawshape(Shape(MakeImage(0x7B, 4, 4, [](int, int) { return 9; })), -4, 0);
  drawshape(Shape(MakeImage(0x7B, 0, 4, [](int, int) { return 9; })), 0, 0);
  drawshape(Shape(MakeImage(0x7B, 4, 0, [](int, int) { return 9; })), 0, 0);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(Px(x, y), 3u);
}

TEST_F(ShapeDrawTest, WholeWidthShapeOnAMemoryWindowIsOneRoutineCall) {
  Window(8, 4, 16);
  const uint8_t* shape = Shape(MakeImage(0x78, 8, 4, [](int x, int y) { return x + 8 * y + 1; }));
  DrawRoutineSet counting = plainsets[0];
  counting.depth16 = countrow;
  calls = pixelsdrawn = 0;
  movdfl(shape, 0, 0, &counting);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(pixelsdrawn, 32);
  EXPECT_EQ(Px(7, 3), 32u);
  setclip(0, 0, 7, 4);
  calls = 0;
  movdfl(shape, 0, 0, &counting);
  EXPECT_EQ(calls, 4);  // rows no longer follow each other
}

TEST_F(ShapeDrawTest, TransparentEightBitKeepsPixelsUnder255AndRestoresThePalette) {
  Window(6, 3, 8, 7);
  const uint32_t saved = CurrentPalette[255];
  const uint8_t* shape = Shape(MakeImage(0x7B, 4, 2, [](int x, int y) { return (x + y) % 3 == 0 ? 255 : 20 + x; }));
  drawshapetrans(shape, 1, 1);
  EXPECT_EQ(Px(1, 1), 7u);
  EXPECT_EQ(Px(2, 1), 21u);
  EXPECT_EQ(CurrentPalette[255], saved);
  Golden("trans8");
}

TEST_F(ShapeDrawTest, PaletteIndex255IsTransparentOnSixteenBitWindows) {
  Window(6, 3, 16, Rgb565(0, 255, 0));
  Image image = MakeImage(0x7B, 4, 2, [](int x, int y) { return (x == y) ? 255 : x; });
  std::vector<uint32_t> entries(256, 0xFFFFFF);
  entries[0] = 0xFF0000, entries[1] = 0x0000FF, entries[2] = 0x808080, entries[3] = 0x102030;
  image.records = {Clut{0x24, entries}};
  drawshapetrans(Shape(image), 1, 0);
  EXPECT_EQ(Px(1, 0), Rgb565(0, 255, 0));
  EXPECT_EQ(Px(2, 0), Rgb565(0, 0, 255));
  Golden("clut255");
}

TEST_F(ShapeDrawTest, AlphaDrawing) {
  Window(2, 1, 32, 0xFF102030);
  const uint8_t* shape = Shape(MakeImage(0x7D, 2, 1, [](int x, int) { return x ? 0xFFA0B0C0u : 0x00FFFFFFu; }));
  drawshapealpha(shape, 0, 0);
  EXPECT_EQ(Px(0, 0), 0xFF102030u);  // alpha 0 leaves the pixel
  EXPECT_EQ(Px(1, 0), 0xFFA0B0C0u);  // alpha 0xFF replaces it

  Window(8, 4, 16, Rgb565(0, 0, 255));
  const uint8_t* ramp =
      Shape(MakeImage(0x7D, 8, 4, [](int x, int y) {
        const uint32_t a = static_cast<uint32_t>(x * 36);
        return (a << 24) | ((a * (y * 80)) / 255) << 16 | ((a * 200) / 255) << 8;
      }));
  drawshapealpha(ramp, 0, 0);
  EXPECT_EQ(Px(0, 0), Rgb565(0, 0, 255));
  Golden("alpha16");
}

TEST_F(ShapeDrawTest, ThirtyTwoBitShapeOnEightBitWindowGoesThroughSixteenBits) {
  Window(8, 2, 8, 0);
  const uint8_t* shape =
      Shape(MakeImage(0x7D, 8, 2, [](int x, int y) { return 0xFF000000u | (x * 36) << 16 | (y * 255) << 8 | 0x40; }));
  drawshape(shape, 0, 0);
  EXPECT_EQ(Px(3, 1), static_cast<uint32_t>(nearestcolour(argbfrom565(argbto565(0xFF6CFF40u, 0)))));
  Golden("conv32to8");
}

TEST_F(ShapeDrawTest, LongRowsConvertedOnTheWayNeverOverrunTheRowBuffer) {
  Window(4000, 1, 32, 0);
  const uint8_t* shape = Shape(MakeImage(0x78, 4000, 1, [](int x, int) { return x == 3999 ? 0xF800 : 0x001F; }));
  drawshapealpha(shape, 0, 0);
  EXPECT_EQ(Px(0, 0), 0xFF0000F8u);
  EXPECT_EQ(Px(3999, 0), 0xFFF80000u);
}

TEST_F(ShapeDrawTest, StoredPositionAndCentre) {
  Window(8, 8, 8, 0);
  Image image = MakeImage(0x7B, 2, 2, [](int, int) { return 5; });
  image.centrex = 1, image.centrey = 1;
  uint8_t* shape = Shape(image);
  shape[13] |= 0xA0;  // flag bits are kept
  drawshapesetpos(shape, -3, 6);
  EXPECT_EQ(shapeposx(shape), -3);
  EXPECT_EQ(shapeposy(shape), 6);
  EXPECT_EQ(shape[13] & 0xF0, 0xA0);
  drawshapesetpos(shape, 4, 1);
  drawshapepos(shape);
  EXPECT_EQ(Px(4, 1), 5u);
  drawshapetranscentred(shape, 1, 7);
  EXPECT_EQ(Px(0, 6), 5u);
}

TEST_F(ShapeDrawTest, BoxOutlinesBothCornersInclusive) {
  Window(16, 24, 8, 0);
  drawbox(10, 20, 5, 8, 1);
  int count = 0;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 16; ++x) count += Px(x, y) == 1;
  EXPECT_EQ(count, 2 * 6 + 2 * 11);
  EXPECT_EQ(Px(5, 8), 1u);
  EXPECT_EQ(Px(10, 20), 1u);
  EXPECT_EQ(Px(7, 12), 0u);
}

TEST_F(ShapeDrawTest, FillRectAlphaBlendsAndClipHelpersClamp) {
  Window(4, 4, 32, 0xFF000000);
  fillrectalpha(1, 1, 2, 2, 0x80400000);
  EXPECT_EQ(Px(0, 0), 0xFF000000u);
  // Every pixel of the rectangle is blended, not just the first row's start.
  for (auto [x, y] : {std::pair{1, 1}, {2, 1}, {1, 2}, {2, 2}}) EXPECT_EQ(Px(x, y) & 0xFFFFFF, 0x400000u) << x << "," << y;
  EXPECT_EQ(Px(3, 3), 0xFF000000u);
  setclip(-5, 2, 99, 3);
  EXPECT_EQ(CurrentWindow.minx, 0);
  EXPECT_EQ(CurrentWindow.maxx, 4);
  EXPECT_EQ(CurrentWindow.maxy, 3);
  resetclip();
  EXPECT_EQ(CurrentWindow.maxy, 4);
}

TEST_F(ShapeDrawTest, WindowFromShapeDrawsIntoTheShape) {
  uint8_t* target = createshapeadr(4, 3, 16, 0);
  ASSERT_NE(target, nullptr);
  Own(target);
  std::memset(target + 16, 0, 24);
  WindowDesc* w = windowfromshape(target, 0);
  ASSERT_NE(w, nullptr);
  setwindow(w);
  fillrect(1, 1, 2, 1, 0x1234);
  releasewindow();
  removewindow(w);
  EXPECT_EQ(shaperead16(target + 16 + 8 + 2), 0x1234u);
  EXPECT_EQ(shaperead16(target + 16), 0u);
}

TEST_F(ShapeDrawTest, InvalidShapeTypeIsReportedAndDrawsNothing) {
  Window(4, 4, 16, 0x1111);
  Image image = MakeImage(0x78, 2, 2, [](int, int) { return 0xFFFF; });
  uint8_t* shape = Shape(image);
  shape[0] = 0x7C;
  drawshape(shape, 0, 0);
  drawshapetrans(shape, 0, 0);
  drawshapealpha(shape, 0, 0);
  EXPECT_TRUE(Aborted("movdfl - INVALID SHAPE TYPE ($7c)"));
  EXPECT_EQ(Px(0, 0), 0x1111u);
}

TEST_F(ShapeDrawTest, FourBitShapesSkipNibbleZeroWhenTransparent) {
  const uint8_t* shape = Shape(MakeImage(0x7A, 4, 1, [](int x, int) { return x == 1 ? 0 : x + 1; }));
  Window(4, 1, 4, 7);
  drawshapetrans(shape, 0, 0);
  EXPECT_EQ(Px(0, 0), 1u);
  EXPECT_EQ(Px(1, 0), 7u);
  EXPECT_EQ(Px(3, 0), 4u);
  Window(4, 1, 16, 0x1234);  // entry 0 of the palette is made transparent for the draw
  const uint32_t saved = CurrentPalette[0];
  drawshapetrans(shape, 0, 0);
  EXPECT_EQ(CurrentPalette[0], saved);
  EXPECT_EQ(Px(1, 0), 0x1234u);
  EXPECT_EQ(Px(0, 0), argbto565(CurrentPalette[1], 1));
}

}  // namespace
