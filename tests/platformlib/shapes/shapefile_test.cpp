// Shape files: directory lookups, row sizes, record chains, creation and the checks of a loaded file.
#include "support/shapefixture.h"

namespace {

using shapetools::Clut;
using shapetools::Image;

Image Tiny(uint8_t type, int width, int height) {
  return MakeImage(type, width, height, [](int x, int y) { return x + y; });
}

class ShapeFileTest : public ShapeTest {};

TEST_F(ShapeFileTest, RowBytesFollowEachTypeFamily) {
  struct Case { uint8_t type; int width; int rowbytes; } cases[] = {
      {0x7A, 3, 2}, {0x40, 3, 2}, {0x79, 17, 3}, {0x44, 17, 4}, {0x7E, 10, 20},
      {0x7B, 5, 5}, {0x41, 5, 6}, {0x7F, 3, 9}, {0x43, 3, 10}, {0x7D, 3, 12},
  };
  for (const Case& c : cases) {
    uint8_t header[16] = {};
    header[0] = c.type;
    shapewrite16(header + 4, static_cast<uint32_t>(c.width));
    EXPECT_EQ(shaperowbytes(header), c.rowbytes) << std::hex << int(c.type);
  }
}

// Every type code, for widths 1, 3, 5 and 17: the one row rule that shapes, shape files, created shapes and
// converted shapes all follow. Codes not listed have no depth and no rows.
TEST_F(ShapeFileTest, RowBytesOverEveryTypeCode) {
  struct Row { uint8_t type; int32_t bytes[4]; } table[] = {
      {0x79, {1, 1, 1, 3}},   {0x44, {2, 2, 2, 4}},     // 1 bit
      {0x7A, {1, 2, 3, 9}},   {0x40, {2, 2, 4, 10}},    // 4 bits
      {0x7B, {1, 3, 5, 17}},  {0x41, {2, 4, 6, 18}},    // 8 bits
      {0x7E, {2, 6, 10, 34}}, {0x42, {2, 6, 10, 34}},   // 15 bits count 16
      {0x78, {2, 6, 10, 34}}, {0x6D, {2, 6, 10, 34}},   // 16 bits
      {0x7F, {3, 9, 15, 51}}, {0x43, {4, 10, 16, 52}},  // 24 bits
      {0x7D, {4, 12, 20, 68}},                          // 32 bits
      {0x22, {3, 9, 15, 51}}, {0x24, {3, 9, 15, 51}},   {0x29, {2, 6, 10, 34}}, {0x2D, {2, 6, 10, 34}},
      {0x2A, {4, 12, 20, 68}}, {0x2C, {4, 12, 20, 68}}, {0x2E, {4, 12, 20, 68}},
  };
  const int32_t widths[4] = {1, 3, 5, 17};
  for (int code = 0; code < 0x80; ++code) {
    const int32_t* expected = nullptr;
    for (const Row& r : table)
      if (r.type == code) expected = r.bytes;
    for (int i = 0; i < 4; ++i) {
      const int32_t want = expected ? expected[i] : 0;
      SCOPED_TRACE(testing::Message() << "type 0x" << std::hex << code << std::dec << " width " << widths[i]);
      EXPECT_EQ(shapetyperowbytes(static_cast<uint8_t>(code), widths[i]), want);
      EXPECT_EQ(shapetyperowbytes(static_cast<uint8_t>(code | kShapePacked), widths[i]), want);
      uint8_t header[16] = {};
      header[0] = static_cast<uint8_t>(code);
      shapewrite16(header + 4, static_cast<uint32_t>(widths[i]));
      EXPECT_EQ(shaperowbytes(header), want);
    }
  }
}

// A converted shape is laid out by the same rule: its end check sits right behind height x row bytes.
TEST_F(ShapeFileTest, ConvertedShapesUseTheSameRowRule) {
  const uint8_t* source = Shape(MakeImage(0x7B, 5, 3, [](int x, int y) { return x + 4 * y + 1; }));
  for (uint8_t target : {0x7A, 0x7B, 0x7E, 0x78, 0x7F, 0x7D, 0x6D, 0x42}) {
    SCOPED_TRACE(testing::Message() << std::hex << int(target));
    uint8_t* out = convertshapetype(source, target);
    ASSERT_NE(out, nullptr);
    Own(out);
    ASSERT_EQ(out[0], target);
    EXPECT_EQ(std::memcmp(out + 16 + 3 * shaperowbytes(out), "CSHP", 4), 0);
  }
}

TEST_F(ShapeFileTest, FourBitShapesKeepTheLeftPixelInTheLowNibble) {
  const std::vector<uint8_t> bytes = shapetools::shapebytes(MakeImage(0x7A, 3, 1, [](int x, int) { return x + 5; }));
  EXPECT_EQ(bytes[16], 0x65);
  EXPECT_EQ(bytes[17], 0x07);
}

TEST_F(ShapeFileTest, SizeOfAShapeWithoutRowsIsZero) {
  uint8_t* empty = Shape(Tiny(0x7B, 7, 0));
  EXPECT_EQ(shapesize(empty), 0);
  EXPECT_EQ(shapesize(Shape(Tiny(0x78, 3, 2))), 16 + 12);
}

TEST_F(ShapeFileTest, LookupsFindTheLastOfEqualNamesAndRefuseBadIndexes) {
  const std::vector<uint8_t> file = shapetools::shapefile({{"ABCD", Tiny(0x7B, 1, 1)}, {"WXYZ", Tiny(0x7B, 2, 1)},
                                                          {"ABCD", Tiny(0x7B, 3, 1)}});
  uint8_t* f = Block(file);
  ASSERT_EQ(checkshapefile(f, file.size()), 1);
  EXPECT_EQ(shapecount(f), 3u);
  EXPECT_EQ(shapewidth(findshape(f, "ABCD")), 3);
  EXPECT_EQ(shapewidth(locateshape(f, "ABCD")), 3);
  EXPECT_EQ(shapewidth(locateshapenum(f, 1)), 2);
  EXPECT_EQ(locateshapenum(f, 3), nullptr);
  EXPECT_EQ(locateshapenum(f, -1), nullptr);
  uint32_t name = 1;
  EXPECT_EQ(shapenamenum(f, 3, &name), 0u);
  EXPECT_EQ(name, 0u);
  EXPECT_EQ(shapenamenum(f, 1, &name), 0x5A595857u);  // "WXYZ" as a little-endian word
  EXPECT_TRUE(ShapeAborts().empty());
}

TEST_F(ShapeFileTest, MissingNamesAreSilentForFindAndReportedByLocate) {
  uint8_t* f = Block(shapetools::shapefile({}));
  EXPECT_EQ(findshape(f, "NONE"), nullptr);
  EXPECT_TRUE(ShapeAborts().empty());
  EXPECT_EQ(locateshape(f, "NONE"), nullptr);
  EXPECT_TRUE(Aborted("locateshape - 'NONE' SHAPE NOT FOUND IN"));
}

TEST_F(ShapeFileTest, PaletteIsFoundThroughTheRecordChain) {
  EXPECT_EQ(getshapeclut(Shape(Tiny(0x7B, 2, 2))), nullptr);
  Image image = Tiny(0x7B, 2, 2);
  Clut other;
  other.type = 0x7B;  // a non-palette record first
  other.entries = {1, 2};
  Clut palette;
  palette.type = 0x24;
  palette.entries = {0x010203};
  image.records = {other, palette};
  const uint8_t* shape = Shape(image);
  const uint8_t* clut = getshapeclut(shape);
  ASSERT_NE(clut, nullptr);
  EXPECT_EQ(clut[0], 0x24);
  EXPECT_EQ(clut[16], 1);
  EXPECT_EQ(getshapeclut(nullptr), nullptr);
}

TEST_F(ShapeFileTest, ALoopingChainEndsWithAReport) {
  std::vector<uint8_t> bytes = shapetools::shapebytes(Tiny(0x7B, 2, 2));
  bytes.resize(64, 0);
  bytes[1] = 20;         // shape -> record at 20
  bytes[20] = 0x7B;      // a plain record
  bytes[21] = 0xEC;      // -20: back to the shape
  bytes[22] = bytes[23] = 0xFF;
  EXPECT_EQ(getshapeclut(Block(bytes)), nullptr);
  EXPECT_TRUE(Aborted("getshapeclut - RECORD CHAIN TOO LONG"));
}

TEST_F(ShapeFileTest, CreateChecksSizeAndDepth) {
  EXPECT_EQ(createshapeadr(16385, 1, 8, 0), nullptr);
  EXPECT_TRUE(Aborted("createshape - INVALID SHAPE DIMENSIONS\nrequested: 16385x1x8 maximum: 16384x8192"));
  EXPECT_EQ(createshapeadr(10, 10, 12, 0), nullptr);
  EXPECT_TRUE(Aborted("createshape - INVALID DEPTH\nrequested: 10x10x12 BPP MUST BE 1,4,8,15,16,24,OR 32"));
  uint8_t* s = createshapeadr(10, 3, 15, 0);
  ASSERT_NE(s, nullptr);
  Own(s);
  EXPECT_EQ(s[0], 0x7E);
  EXPECT_EQ(shaperowbytes(s), 20);
  EXPECT_STREQ(memblockname(s), "SHP10x3x15");
}

TEST_F(ShapeFileTest, CheckOfALoadedFileFindsEachFault) {
  Image withpalette = Tiny(0x7B, 4, 4);
  withpalette.records = {Clut{0x24, {1, 2, 3, 4}}};
  const std::vector<uint8_t> good = shapetools::shapefile({{"ONE ", withpalette}, {"TWO ", Tiny(0x78, 3, 3)}});
  ASSERT_EQ(checkshapefile(good.data(), good.size()), 1);
  const size_t first = shaperead32(good.data() + 20);
  struct Case { const char* name; std::function<void(std::vector<uint8_t>&)> damage; const char* error; } cases[] = {
      {"short file", [](std::vector<uint8_t>& f) { f.resize(10); }, "file shorter than its header"},
      {"size field", [](std::vector<uint8_t>& f) { shapewrite32(f.data() + 4, 100000); }, "size field larger than the file"},
      {"count", [](std::vector<uint8_t>& f) { shapewrite32(f.data() + 8, 0x20000000); }, "directory larger than the file"},
      {"offset", [](std::vector<uint8_t>& f) { shapewrite32(f.data() + 20, 0xFFFFFFF0u); }, "shape offset outside the file"},
      {"type", [&](std::vector<uint8_t>& f) { f[first] = 0x7C; }, "shape of an invalid type"},
      {"height", [&](std::vector<uint8_t>& f) { shapewrite16(f.data() + first + 6, 5000); }, "shape pixels run past"},
      {"chain", [&](std::vector<uint8_t>& f) { f[first + 3] = 0x7F; }, "record chain leaves the file"},
      {"palette", [&](std::vector<uint8_t>& f) { shapewrite16(f.data() + first + 32 + 4, 60000); }, "palette entries run past"},
      {"loop", [&](std::vector<uint8_t>& f) {
         const uint32_t record = first + 32;
         f[record + 1] = static_cast<uint8_t>(-32); f[record + 2] = 0xFF; f[record + 3] = 0xFF;
         f[record] = 0x7B; }, "record chain loops"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> f = good;
    c.damage(f);
    const char* error = nullptr;
    EXPECT_EQ(checkshapefile(f.data(), f.size(), &error), 0) << c.name;
    ASSERT_NE(error, nullptr) << c.name;
    EXPECT_NE(std::string(error).find(c.error), std::string::npos) << c.name << ": " << error;
  }
}

TEST_F(ShapeFileTest, PackedShapesAreMeasuredFromTheirPackedBlock) {
  Image image = MakeImage(0x78, 9, 5, [](int x, int y) { return x * 100 + y; });
  image.pack = 0x10;
  image.records = {Clut{0x29, {0xF800}}};
  const std::vector<uint8_t> file = shapetools::shapefile({{"PACK", image}});
  uint8_t* f = Block(file);
  ASSERT_EQ(checkshapefile(f, file.size()), 1);
  uint8_t* shape = findshape(f, "PACK");
  EXPECT_EQ(shape[0], 0xF8);
  EXPECT_EQ(shapesize(shape), 16 + 9 * 5 * 2);
  ASSERT_NE(getshapeclut(shape), nullptr);  // the chain leads past the packed block
  EXPECT_EQ(shaperowbytes(shape), 18);
  EXPECT_TRUE(Aborted("shaperowbytes - PACKED SHAPES NOT SUPPORTED. PACKTYPE f8"));
  shape[16] = 0x77;  // no pack code
  const char* error = nullptr;
  EXPECT_EQ(checkshapefile(f, file.size(), &error), 0);
  EXPECT_STREQ(error, "packed shape data unreadable");
  EXPECT_EQ(shapesize(shape), 0);
  EXPECT_TRUE(Aborted("shapesize - UNABLE TO DETERMINE SIZE OF PACKED SHAPE DATA"));
}

}  // namespace
