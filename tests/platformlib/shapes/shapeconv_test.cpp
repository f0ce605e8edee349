// Shape type conversion and the colour tables built from palette records.
#include "support/shapefixture.h"

namespace {

using shapetools::Clut;
using shapetools::Image;

class ShapeConvTest : public ShapeTest {
 protected:
  // Converts a one-pixel shape and returns the pixel of the result (the converted shape is freed).
  uint32_t One(uint8_t type, uint32_t pixel, uint8_t target, int alphamode) {
    Image image = MakeImage(type, 1, 1, [&](int, int) { return pixel; });
    uint8_t* out = convertshapetypex(Shape(image), target, 0, alphamode);
    EXPECT_NE(out, nullptr);
    if (!out) return 0xDEADBEEF;
    EXPECT_EQ(out[0], target);
    const int depth = shapetypedepth(target);
    uint32_t v = 0;
    for (int k = 0; k < (depth == 15 ? 2 : depth / 8); ++k) v |= static_cast<uint32_t>(out[16 + k]) << (8 * k);
    purgememadr(out);
    return v;
  }
};

TEST_F(ShapeConvTest, ColourRulesOfSingleSteps) {
  struct Case { uint8_t from; uint32_t pixel; uint8_t to; int alpha; uint32_t result; } cases[] = {
      {0x7D, 0x3FFFFFFF, 0x78, 1, 0},          {0x7D, 0x3FFFFFFF, 0x7E, 1, 0},
      {0x7D, 0x3FFFFFFF, 0x78, 0, 0xFFFF},     {0x7D, 0x3FFFFFFF, 0x7E, 0, 0xFFFF},
      {0x7D, 0xFF000000, 0x78, 1, 1},          {0x7D, 0xFF000000, 0x7E, 1, 0x8000},
      {0x7D, 0, 0x7E, 0, 0},                   {0x78, 0, 0x7D, 1, 0},
      {0x78, 1, 0x7D, 1, 0xFF000008},          {0x7E, 0x7FFF, 0x78, 1, 0xFFDF},
      {0x78, 0xFFFF, 0x7E, 1, 0x7FFF},         {0x7E, 0x001F, 0x42, 1, 0x7C00},
      {0x7F, 0x123456, 0x7D, 1, 0xFF123456},   {0x7D, 0x80F0A050, 0x6D, 1, 0x8FA5},
      {0x6D, 0x8FA5, 0x7D, 1, 0x88FFAA55},     {0x78, 0xF800, 0x7F, 1, 0xF80000},
      {0x78, 0xFFFF, 0x6D, 1, 0xFFFF},         {0x7D, 0x11223344, 0x7F, 1, 0x223344},
  };
  for (const Case& c : cases)
    EXPECT_EQ(One(c.from, c.pixel, c.to, c.alpha), c.result)
        << std::hex << int(c.from) << " " << c.pixel << " -> " << int(c.to) << " alpha " << c.alpha;
}

// Colour 0 and black the same way everywhere a 15- or 16-bit pixel meets a colour value: the single-colour
// rules, the window's pixel conversions, the conversion steps and the blends.
TEST_F(ShapeConvTest, ColourZeroAndBlackAgreeAcrossTheLibrary) {
  struct ToPixel { uint32_t colour; uint32_t p555, p565; } topixel[] = {
      {0, 0, 0},                  // the colour key
      {0xFF000000, 0x8000, 0},    // opaque black is a colour on 15 bits
      {0x00000008, 0x8001, 1},    // a colour with no alpha is still not the key in plain mode
      {0xFFFFFFFF, 0xFFFF, 0xFFFF},
  };
  for (const ToPixel& c : topixel) {
    SCOPED_TRACE(testing::Message() << std::hex << c.colour);
    EXPECT_EQ(argbto555(c.colour, 0), c.p555);
    EXPECT_EQ(argbto565(c.colour, 0), c.p565);
    Window(1, 1, 15);
    EXPECT_EQ(rgbpixel(c.colour), c.p555);
    Window(1, 1, 16);
    EXPECT_EQ(rgbpixel(c.colour), c.p565);
    EXPECT_EQ(One(0x7D, c.colour, 0x78, 0), c.p565);
    EXPECT_EQ(One(0x7D, c.colour, 0x7E, 0), c.p555);
  }
  struct ToColour { uint32_t pixel; uint32_t from555, from565; } tocolour[] = {
      {0, 0, 0},  // the key reads as transparent black
      {0x8000, 0xFF000000, 0xFF800000},  // the opacity bit on 15 bits, red on 16
      {0x0001, 0xFF000008, 0xFF000008},
  };
  for (const ToColour& c : tocolour) {
    SCOPED_TRACE(testing::Message() << std::hex << c.pixel);
    EXPECT_EQ(argbfrom555(c.pixel), c.from555);
    EXPECT_EQ(argbfrom565(c.pixel), c.from565);
    Window(1, 1, 16);
    EXPECT_EQ(getargb(c.pixel), c.from565);
    EXPECT_EQ(One(0x78, c.pixel, 0x7D, 1), c.from565);
    EXPECT_EQ(One(0x7E, c.pixel, 0x7D, 1), c.from555);
  }
  Window(1, 1, 15);
  EXPECT_EQ(getargb(0), 0u);
  // Opaque and half-covering black laid over a 15-bit pixel give a black that keeps bit 15.
  EXPECT_EQ(blendover555(0xFF000000, 0x7FFF), 0x8000u);
  EXPECT_EQ(blendover555(0x80000000, 0x0000), 0x8000u);
  EXPECT_EQ(blendover555(0x80000000, 0xFFFF), 0x8000u | (15 << 10) | (15 << 5) | 15);
  EXPECT_EQ(blendover555(0x08FFFFFF, 0x1234), 0x1234u);  // nearly transparent: untouched
  EXPECT_EQ(blendover565(0xFF000000, 0xFFFF), 0u);
}

TEST_F(ShapeConvTest, ThirtyTwoBitsReachEightBitsThroughSixteenAndLeaveTheSourceAlone) {
  Image image = MakeImage(0x7D, 4, 2, [](int x, int y) { return 0xFF000000u | (x * 60) << 16 | (y * 200) << 8; });
  uint8_t* source = Shape(image);
  const std::vector<uint8_t> before(source, source + shapesize(source));
  const int blocksbefore = largestmem(0);
  uint8_t* out = convertshapetypex(source, 0x7B, 0, 1);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out[0], 0x7B);
  EXPECT_STREQ(memblockname(out), "16to8");  // the last step came from the 16-bit intermediate
  EXPECT_EQ(std::vector<uint8_t>(source, source + shapesize(source)), before);
  for (int x = 0; x < 4; ++x) {
    const uint32_t c = image.pixels[x];
    EXPECT_EQ(out[16 + x], nearestcolour(argbfrom565(argbto565(c, 1)))) << x;
  }
  purgememadr(out);
  EXPECT_EQ(largestmem(0), blocksbefore);  // the intermediate was freed
}

TEST_F(ShapeConvTest, ConvertingToTheSameTypeCopiesTheRowsAndDropsThePalette) {
  Image image = MakeImage(0x7B, 3, 2, [](int x, int y) { return x * 3 + y; });
  image.centrex = -4;
  image.posx = 0x123;
  image.records = {Clut{0x24, {0x102030}}};
  uint8_t* source = Shape(image);
  uint8_t* out = convertshapetype(source, 0x7B);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(std::memcmp(out + 16, source + 16, 6), 0);
  EXPECT_EQ(shapenext(out), 0);
  EXPECT_EQ(shapecentrex(out), -4);
  EXPECT_EQ(shapeposx(out), 0x123);
  EXPECT_EQ(std::memcmp(out + 16 + 6, "CSHP", 4), 0);
  purgememadr(out);
}

TEST_F(ShapeConvTest, TriplePalettesMakeIndex255Transparent) {
  for (uint8_t type : {uint8_t{0x24}, uint8_t{0x22}}) {
    Image image = MakeImage(0x7B, 3, 1, [](int x, int) { return x == 2 ? 255 : x; });
    Clut clut{type, std::vector<uint32_t>(256, type == 0x22 ? 0x3F003F : 0xFF00FF)};
    image.records = {clut};
    uint8_t* out = convertshapetypex(Shape(image), 0x7D, 0, 1);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(shaperead32(out + 16), 0xFFFF00FFu) << std::hex << int(type);
    EXPECT_EQ(shaperead32(out + 16 + 8) >> 24, 0u) << std::hex << int(type);
    purgememadr(out);
  }
}

TEST_F(ShapeConvTest, FourBitOddWidthReadsTheLastPixelFromTheLowNibble) {
  Image image = MakeImage(0x7A, 3, 1, [](int x, int) { return x + 5; });
  uint8_t* out = convertshapetypex(Shape(image), 0x7B, 0, 1);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out[16], 5);
  EXPECT_EQ(out[17], 6);
  EXPECT_EQ(out[18], 7);
  purgememadr(out);
}

TEST_F(ShapeConvTest, PaletteTablesOfEachRecordType) {
  struct Case { uint8_t type; uint32_t entry; uint32_t argb; uint16_t c16; } cases[] = {
      {0x24, 0xFF8000, 0xFFFF8000, 0xFC00},  {0x22, 0x3F203F, 0xFFFF82FF, 0xFC1F},
      {0x29, 0xF800, 0xFFF80000, 0xF800},    {0x2D, 0x7C00, 0xFFF80000, 0xF800},
      {0x2A, 0x80102030, 0x80102030, 0x1106}, {0x2C, 0x4000F800, 0x40F80000, 0xF800},
      {0x2E, 0x40007C00, 0x40F80000, 0xF800},
  };
  for (const Case& c : cases) {
    Image image = MakeImage(0x7B, 1, 1, [](int, int) { return 0; });
    image.records = {Clut{c.type, {c.entry}}};
    const uint8_t* shape = Shape(image);
    uint32_t b32[256] = {};
    uint16_t b16[256] = {};
    uint32_t b16a[256] = {};
    EXPECT_EQ(getclutptr(shape, b32)[0], c.argb) << std::hex << int(c.type);
    EXPECT_EQ(getclut16ptr(shape, b16)[0], c.c16) << std::hex << int(c.type);
    EXPECT_EQ(getclut16aptr(shape, b16a)[0], (c.argb & 0xFF000000u) | argbto565(c.argb, 0)) << std::hex << int(c.type);
  }
}

TEST_F(ShapeConvTest, SwappedFifteenBitTableAlwaysHas256Entries) {
  Image image = MakeImage(0x7B, 2, 1, [](int x, int) { return x ? 200 : 0; });
  std::vector<uint32_t> entries(256, 0);
  entries[0] = 0x001F;  // red in the low bits
  entries[200] = 0x7C00;
  image.records = {Clut{0x23, entries}};
  uint8_t* out = convertshapetypex(Shape(image), 0x7D, 0, 1);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(shaperead32(out + 16), 0xFFF80000u);
  EXPECT_EQ(shaperead32(out + 20), 0xFF0000F8u);
  purgememadr(out);
}

TEST_F(ShapeConvTest, PaletteEntryFormats) {
  const uint32_t colours[2] = {0xFFFF8000, 0x00010204};
  uint8_t six[6], eight[6], back8[6], back6[6];
  argbtotriples6(2, colours, six);
  EXPECT_EQ(std::vector<uint8_t>(six, six + 6), (std::vector<uint8_t>{63, 32, 0, 0, 0, 1}));
  argbtotriples8(2, colours, eight);
  EXPECT_EQ(std::vector<uint8_t>(eight, eight + 6), (std::vector<uint8_t>{255, 128, 0, 1, 2, 4}));
  triples6to8(2, six, back8);
  EXPECT_EQ(std::vector<uint8_t>(back8, back8 + 6), (std::vector<uint8_t>{255, 130, 0, 0, 0, 4}));
  triples8to6(2, eight, back6);
  EXPECT_EQ(std::vector<uint8_t>(back6, back6 + 6), (std::vector<uint8_t>{63, 32, 0, 0, 0, 1}));
}

TEST_F(ShapeConvTest, InvalidTypesAreReported) {
  Image image = MakeImage(0x79, 8, 1, [](int, int) { return 1; });
  EXPECT_EQ(convertshapetypex(Shape(image), 0x7B, 0, 1), nullptr);
  EXPECT_TRUE(Aborted("convertshapedepth - INVALID SOURCE SHAPE TYPE ($79)"));
  EXPECT_EQ(convertshapetypex(Shape(MakeImage(0x7B, 1, 1, [](int, int) { return 0; })), 0x55, 0, 1), nullptr);
  EXPECT_TRUE(Aborted("INVALID DESTINATION SHAPE TYPE SPECIFIED ($55)"));
}

}  // namespace
