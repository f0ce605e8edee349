// Polygon filling and affine texture mapping: coverage rule, rejection, clipping, non-monotone outlines and
// the texture span modes.
#include "platformlib/shapes/polygon.h"
#include "support/shapefixture.h"

namespace {

class PolygonTest : public ShapeTest {
 protected:
  int Count(int width, int height, uint32_t value) {
    int n = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) n += Px(x, y) == value;
    return n;
  }
};

TEST_F(PolygonTest, SquareFillsItsTopLeftColumnsAndRows) {
  Window(32, 32, 8, 0);
  const PolyPoint square[] = {{10, 10}, {20, 10}, {20, 20}, {10, 20}};
  EXPECT_EQ(fillpolygon(7, 4, square), 1);
  EXPECT_EQ(Count(32, 32, 7), 100);
  EXPECT_EQ(Px(10, 10), 7u);
  EXPECT_EQ(Px(19, 19), 7u);
  EXPECT_EQ(Px(20, 19), 0u);
  EXPECT_EQ(Px(19, 20), 0u);
  Golden("poly_square");
}

TEST_F(PolygonTest, RejectedAndFlatPolygonsDrawNothing) {
  Window(32, 32, 16, 0);
  const PolyPoint left[] = {{-20, 5}, {-10, 5}, {-15, 15}};
  EXPECT_EQ(fillpolygon(1, 3, left), 0);
  const PolyPoint flat[] = {{2, 5}, {12, 5}, {20, 5}};
  fillpolygon(1, 3, flat);
  EXPECT_EQ(fillpolygonv(1, 2, 0, 0, 5, 5), 0);
  std::vector<PolyPoint> many(61, PolyPoint{1, 1});
  EXPECT_EQ(fillpolygon(1, 61, many.data()), 0);
  EXPECT_EQ(Count(32, 32, 0), 32 * 32);
}

TEST_F(PolygonTest, TriangleAcrossTheLeftClipEdgeStartsAtTheClip) {
  Window(32, 32, 8, 0);
  setclip(8, 0, 32, 32);
  EXPECT_EQ(fillpolygonv(3, 3, -4, 4, 24, 16, -4, 28), 1);
  resetclip();
  for (int y = 0; y < 32; ++y) EXPECT_EQ(Px(7, y), 0u) << y;
  // The side along the clip line is straight: every row that reaches past it starts at column 8.
  for (int y = 10; y < 23; ++y) EXPECT_EQ(Px(8, y), 3u) << y;
  EXPECT_EQ(Px(8, 8), 0u);
  EXPECT_EQ(Px(8, 24), 0u);
  Golden("poly_clipleft");
}

TEST_F(PolygonTest, BowTieStopsAsNotMonotone) {
  Window(24, 24, 8, 0);
  EXPECT_EQ(fillpolygonv(5, 4, 2, 2, 20, 20, 20, 2, 2, 20), -1);
  Golden("poly_bowtie");
}

TEST_F(PolygonTest, ShadeSpansHalveThePixels) {
  Window(8, 8, 16, 0xFFFF);
  const PolyPoint p[] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
  EXPECT_EQ(drawpolygon(0, 4, p, 0, 1), 1);
  EXPECT_EQ(Px(1, 1), 0x7BEFu);
  EXPECT_EQ(Px(5, 5), 0xFFFFu);
}

TEST_F(PolygonTest, ReversedWindingAndTallEdgesFillTheSame) {
  Window(16, 1100, 8, 0);
  const PolyPoint cw[] = {{1, 0}, {9, 0}, {9, 1100}, {1, 1100}};
  const PolyPoint ccw[] = {{1, 1100}, {9, 1100}, {9, 0}, {1, 0}};
  EXPECT_EQ(fillpolygon(2, 4, cw), 1);
  EXPECT_EQ(Count(16, 1100, 2), 8 * 1100);
  fillrect(0, 0, 16, 1100, 0);
  EXPECT_EQ(fillpolygon(2, 4, ccw), 1);
  EXPECT_EQ(Count(16, 1100, 2), 8 * 1100);
}

TEST_F(PolygonTest, AxisAlignedTextureMapReproducesTheShape) {
  Window(16, 12, 16, 0);
  const uint8_t* shape = Shape(MakeImage(0x78, 8, 6, [](int x, int y) { return 0x0841 * (x + 1) + 0x20 * y; }));
  const PolyPoint corners[] = {{3, 2}, {10, 2}, {10, 7}, {3, 7}};
  drawshapepoly(shape, corners, 0, 0);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(Px(3 + x, 2 + y), shaperead16(shape + 16 + 2 * (y * 8 + x))) << x << "," << y;
  EXPECT_EQ(Px(10, 2), 0u);
  Golden("texmap_copy");
}

TEST_F(PolygonTest, TransparentTexelsAndWideTextures) {
  Window(300, 4, 8, 9);
  // Rows of 256 bytes use the general row table.
  const uint8_t* shape = Shape(MakeImage(0x7B, 256, 3, [](int x, int y) { return x == 5 ? 255 : (x + y) & 0xFE; }));
  const PolyPoint corners[] = {{0, 0}, {255, 0}, {255, 2}, {0, 2}};
  const PolyPoint texture[] = {{0, 0}, {255 << 16, 0}, {255 << 16, 2 << 16}, {0, 2 << 16}};
  EXPECT_EQ(drawlinpoly(shape, 4, corners, texture, 0, 1), 1);
  EXPECT_EQ(Px(5, 0), 9u);
  EXPECT_EQ(Px(200, 1), 200u);
  EXPECT_EQ(Px(4, 1), 4u);
}

TEST_F(PolygonTest, RowTablesComeFromTheFixedSpace) {
  initlinpoly();
  // Eight shift tables (1 to 128 bytes) of 4 x length + 2 entries, each behind a 0 word, and a closing word.
  EXPECT_EQ(linpolyshiftwords(), 8 * 3 + 4 * 255 + 1);
  EXPECT_LE(linpolyshiftwords(), kShiftTableWords);
  struct Case {
    uint8_t type;
    int width, height;
    bool shift;  // a shift table, else the general table
  } cases[] = {
      {0x7B, 1, 4, true},     {0x7B, 64, 256, true},  {0x78, 64, 10, true},    {0x7B, 128, 512, true},
      {0x7B, 64, 257, false}, {0x7B, 256, 3, false},  {0x78, 256, 40, false},  {0x7B, 100, 7, false},
      {0x7F, 5, 9, false},    {0x7B, 3, 1279, false},
  };
  const int32_t* general = nullptr;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << int(c.type) << std::dec << " " << c.width << "x" << c.height);
    const uint8_t* shape = Shape(MakeImage(c.type, c.width, c.height, [](int, int) { return 1; }));
    const int32_t rowbytes = shaperowbytes(shape);
    const int32_t* table = linpolytexture(shape);
    ASSERT_NE(table, nullptr);
    const int32_t entries = c.shift ? 4 * rowbytes + 2 : c.height + 1;
    for (int32_t j = 0; j < entries; ++j) ASSERT_EQ(table[j], j * rowbytes) << j;
    if (c.shift) {
      EXPECT_EQ(table[-1], 0);
      EXPECT_EQ(linpolytexture(shape), table);
    } else {
      if (general) {
        EXPECT_EQ(table, general);  // one general table, rebuilt in place
      }
      general = table;
    }
  }
  // Reused for the same row length and no more rows; rebuilt for more rows.
  const int32_t* t = linpolyrowtable(300, 5);
  ASSERT_EQ(t, general);
  EXPECT_EQ(t[5], 1500);
  EXPECT_EQ(linpolyrowtable(300, 2)[5], 1500);
  EXPECT_EQ(linpolyrowtable(300, 9)[9], 2700);
  // Taller than the space holds: no table.
  EXPECT_EQ(linpolyrowtable(3, kGeneralTableWords), nullptr);
  EXPECT_NE(linpolyrowtable(3, kGeneralTableWords - 1), nullptr);
}

TEST_F(PolygonTest, TextureTallerThanTheRowSpaceStillMaps) {
  Window(4, 4, 8, 0);
  const uint8_t* shape = Shape(MakeImage(0x7B, 3, 1400, [](int x, int y) { return (y * 3 + x) % 251; }));
  ASSERT_EQ(linpolytexture(shape), nullptr);
  const PolyPoint corners[] = {{0, 0}, {3, 0}, {3, 2}, {0, 2}};
  const PolyPoint texture[] = {{0, 1390 << 16}, {3 << 16, 1390 << 16}, {3 << 16, 1392 << 16}, {0, 1392 << 16}};
  EXPECT_EQ(drawlinpoly(shape, 4, corners, texture, 0, 0), 1);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(Px(x, y), static_cast<uint32_t>(((1390 + y) * 3 + x) % 251)) << x << "," << y;
  EXPECT_EQ(Px(3, 0), 0u);
}

TEST_F(PolygonTest, FoldedQuadStopsPartWay) {
  Window(32, 32, 8, 0);
  const uint8_t* shape = Shape(MakeImage(0x7B, 4, 4, [](int x, int) { return x + 1; }));
  const PolyPoint corners[] = {{2, 2}, {28, 28}, {28, 2}, {2, 28}};
  const PolyPoint texture[] = {{0, 0}, {3 << 16, 0}, {3 << 16, 3 << 16}, {0, 3 << 16}};
  EXPECT_EQ(drawlinpoly(shape, 4, corners, texture, 0, 0), -1);
}

TEST_F(PolygonTest, EightBitSpanModes) {
  const uint8_t saveddarken = darkenbytes[9], savedremap5 = IndexRemap[5], savedremap6 = IndexRemap[6];
  darkenbytes[9] = 4;
  IndexRemap[5] = 77;
  IndexRemap[6] = 254;  // remapped values are tested for 255 and 254
  uint8_t table[256];
  for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(255 - i);
  const uint8_t* tables[256] = {};
  tables[6] = table;
  setremaptables(tables);
  // Texels 5, 254, 255, 6 in the four columns.
  const uint8_t* shape = Shape(MakeImage(0x7B, 4, 1, [](int x, int) { return std::vector<int>{5, 254, 255, 6}[x]; }));
  const PolyPoint corners[] = {{0, 0}, {4, 0}, {4, 1}, {0, 1}};
  const PolyPoint texture[] = {{0, 0}, {4 << 16, 0}, {4 << 16, 1 << 16}, {0, 1 << 16}};
  struct Case { int mode; std::vector<uint32_t> row; } cases[] = {
      {0, {5, 254, 255, 6}}, {1, {5, 254, 9, 6}}, {2, {5, 4, 9, 6}},     {4, {77, 254, 255, 254}},
      {5, {77, 254, 9, 254}}, {6, {77, 4, 9, 4}}, {7, {5, 254, 255, 246}},
  };
  for (const Case& c : cases) {
    Window(4, 1, 8, 9);
    EXPECT_EQ(drawlinpoly(shape, 4, corners, texture, 0, c.mode), 1) << c.mode;
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Px(x, 0), c.row[x]) << "mode " << c.mode << " column " << x;
  }
  setremaptables(nullptr);
  darkenbytes[9] = saveddarken;
  IndexRemap[5] = savedremap5;
  IndexRemap[6] = savedremap6;
}

TEST_F(PolygonTest, SixteenBitTransparentAndFilteredModes) {
  const uint8_t* shape = Shape(MakeImage(0x78, 2, 1, [](int x, int) { return x ? 0 : 0xF800; }));
  const PolyPoint corners[] = {{0, 0}, {2, 0}, {2, 1}, {0, 1}};
  const PolyPoint texture[] = {{0, 0}, {2 << 16, 0}, {2 << 16, 1 << 16}, {0, 1 << 16}};
  Window(2, 1, 16, 0x001F);
  drawlinpoly(shape, 4, corners, texture, 0, 1);
  EXPECT_EQ(Px(0, 0), 0xF800u);
  EXPECT_EQ(Px(1, 0), 0x001Fu);  // texel 0 is a hole
  Window(2, 1, 16, 0x001F);
  drawlinpoly(shape, 4, corners, texture, 0, 3);
  EXPECT_EQ(Px(0, 0), 0xF800u);  // an opaque texel at a whole position
  EXPECT_EQ(Px(1, 0), 0x001Fu);
}

}  // namespace
