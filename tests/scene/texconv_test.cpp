#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "framework/core/memmgr.h"
#include "scene/texconv.h"

namespace {

std::vector<uint8_t> Shape(uint16_t w, uint16_t h, uint8_t type = 0x7B) {
  std::vector<uint8_t> s(16 + static_cast<size_t>(w) * h, 0);
  s[0] = type;
  std::memcpy(&s[4], &w, 2);
  std::memcpy(&s[6], &h, 2);
  return s;
}

std::vector<uint8_t> Record565(std::initializer_list<std::pair<int, uint16_t>> entries) {
  std::vector<uint8_t> r(16 + 512, 0);
  r[0] = 0x29;
  for (auto [i, c] : entries) std::memcpy(&r[16 + 2 * i], &c, 2);
  return r;
}

std::vector<uint8_t> RecordARGB(std::initializer_list<std::pair<int, uint32_t>> entries, bool straight) {
  std::vector<uint8_t> r(16 + 1024, 0);
  r[0] = 0x2A;
  if (straight) r[13] = 0x80;
  for (auto [i, c] : entries) std::memcpy(&r[16 + 4 * i], &c, 4);
  return r;
}

TEST(TextureConversion, PaletteEntriesWidenAndNarrow) {
  const auto record = Record565({{0, 0xFFFF}, {1, 0x0000}, {2, 0xF800}, {3, 0x07E0}, {255, 0x1234}});
  uint32_t argb[256];
  ConvertPalette565ToARGB(record.data(), argb);
  EXPECT_EQ(argb[0], 0xFFFFFFFFu);
  EXPECT_EQ(argb[1], 0xFF000000u);
  EXPECT_EQ(argb[2], 0xFFFF0000u);
  EXPECT_EQ(argb[3], 0xFF00FF00u);
  uint16_t out[256];
  ConvertPalette565ToFormat(record.data(), out, 7, false);
  EXPECT_EQ(out[0], 0xFFFF);
  ConvertPalette565ToFormat(record.data(), out, 3, true);
  EXPECT_EQ(out[0], 0xFFFF);
  EXPECT_EQ(out[2], 0xFC00);
  EXPECT_EQ(out[255], 0);
  const auto alphas = RecordARGB({{0, 0x80FFFFFFu}, {1, 0x81FFFFFFu}}, true);
  ConvertARGBPaletteToFormat(alphas.data(), out, 3, false);
  EXPECT_EQ(out[0] & 0x8000, 0);
  EXPECT_EQ(out[1] & 0x8000, 0x8000);
  // Premultiplied colours are divided back first.
  const auto premultiplied = RecordARGB({{0, 0x80404040u}}, false);
  ConvertARGBPaletteToFormat(premultiplied.data(), out, 4, false);
  EXPECT_EQ(out[0], ((0x7F / 8) << 11) | ((0x7F / 4) << 5) | (0x7F / 8));
}

TEST(TextureConversion, IndexAlphaAndExpansionFillTheRestWithTheLastEntry) {
  uint32_t palette[256] = {};
  const uint8_t pixels[] = {0, 255, 7};
  uint16_t texels[3 * 1];
  MakeIndexAlphaTexture(pixels, 3, 3, 1, palette, texels, 2, 3, 1);
  EXPECT_EQ(texels[0], 0xFF00);
  EXPECT_EQ(texels[1], 0x00FF);
  EXPECT_EQ(texels[2], 0xFF07);
  uint16_t colours[256];
  for (int i = 0; i < 256; ++i) colours[i] = static_cast<uint16_t>(i + 1000);
  const uint8_t image[] = {1, 2, 3, 4, 5, 6};
  uint16_t out[4 * 4];
  ExpandIndexedTo16(image, 3, colours, 2, 3, out, 4, 4);
  const uint16_t e = colours[255];
  const uint16_t expected[16] = {1001, 1002, 1003, e, 1004, 1005, 1006, e, e, e, e, e, e, e, e, e};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(out[i], expected[i]) << i;
}

TEST(TextureConversion, LoadShapeTextureChoosesTheSideAndLeavesTheShapeAlone) {
  const auto record = Record565({{1, 0xF800}});
  const struct {
    uint16_t w, h;
    int side;
  } cases[] = {{20, 100, 128}, {3, 3, 8}, {300, 10, 256}};
  for (const auto& c : cases) {
    auto shape = Shape(c.w, c.h);
    const auto before = shape;
    const auto texture = LoadShapeTexture(shape.data(), record.data(), 0, 4, true);
    ASSERT_EQ(texture.size(), static_cast<size_t>(c.side) * c.side * 2 + 16) << c.w;
    EXPECT_EQ(shape, before);
    EXPECT_EQ(ShapeWidth(texture.data()), c.w);
  }
  // A 3 x 2 source in an 8-wide texture: its own rows, the rest transparent.
  auto shape = Shape(3, 2);
  std::fill(shape.begin() + 16, shape.end(), 1);
  const auto texture = LoadShapeTexture(shape.data(), record.data(), 8, 4, true);
  const auto* t = reinterpret_cast<const uint16_t*>(texture.data() + 16);
  EXPECT_EQ(t[0], 0xF800);
  EXPECT_EQ(t[8 + 2], 0xF800);
  EXPECT_EQ(t[3], 0);
  EXPECT_EQ(t[2 * 8], 0);
  EXPECT_TRUE(LoadShapeTexture(shape.data(), record.data(), 8, 5, true).empty());
}

TEST(TextureConversion, ShapeTestsAndCounts) {
  auto shape = Shape(4, 2);
  const uint8_t pixels[] = {3, 3, 9, 255, 9, 9, 1, 3};
  std::memcpy(&shape[16], pixels, sizeof pixels);
  EXPECT_EQ(ShapePixelIsOpaque(shape.data(), 0, 0), 1);
  EXPECT_EQ(ShapePixelIsOpaque(shape.data(), 3, 0), 0);
  EXPECT_EQ(ShapePixelIsOpaque(shape.data(), 4, 0), 0);
  EXPECT_EQ(ShapePixelIsOpaque(shape.data(), 0, 2), 0);
  int second = -1;
  EXPECT_EQ(MostUsedShapeColour(shape.data(), true, 0, &second), 3);  // 3 and 9 tie: the lower index
  EXPECT_EQ(second, 9);
  EXPECT_EQ(MostUsedShapeColour(shape.data(), false, 3, nullptr), 9);
  for (int type : {0x78, 0x7B, 0x7D, 0x7F, 0xF8, 0xFF}) EXPECT_EQ(ShapeTypeIsImage(Shape(1, 1, type).data()), 1);
  for (int type : {0x7C, 0xFC, 0x29, 0x00}) EXPECT_EQ(ShapeTypeIsImage(Shape(1, 1, type).data()), 0);
}

TEST(TextureConversion, ObjectImagesArePackedIntoTheirSquare) {
  // A 4 x 2 tree: columns 0..3 hold 10..13 in row 0 and 20..23 in row 1, its foot's hot spot at (2, 2), its
  // palette record attached.
  auto shape = Shape(4, 2);
  for (int x = 0; x < 4; ++x) {
    shape[16 + x] = static_cast<uint8_t>(10 + x);
    shape[16 + 4 + x] = static_cast<uint8_t>(20 + x);
  }
  shape[8] = 2;
  shape[10] = 2;
  const auto record = RecordARGB({{10, 0xFF112233u}}, true);
  shape[1] = static_cast<uint8_t>(shape.size());
  shape.insert(shape.end(), record.begin(), record.end());
  const struct {
    int32_t width, height, side;
    bool bottom;
    int firstRow;   // the row the shape starts at
    uint8_t at00;   // the pixel at (0, 0)
    int32_t hotX, hotY;
  } cases[] = {{4, 2, 8, false, 0, 10, 2, 2}, {4, 2, 8, true, 6, 0xEE, 2, 2}, {8, 4, 8, true, 4, 0xEE, 4, 4},
               {8, 8, 8, true, 0, 10, 4, 8}, {2, 1, 4, false, 0, 10, 1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.width * 100 + c.height * 10 + c.bottom);
    const auto packed = PackObjectShape(shape.data(), shape.size(), c.width, c.height, c.side, 0xEE, c.bottom);
    ASSERT_EQ(packed.size(), 16u + c.side * c.side + record.size());
    EXPECT_EQ(ShapeWidth(packed.data()), c.side);
    EXPECT_EQ(ShapeHeight(packed.data()), c.side);
    EXPECT_EQ(packed[16], c.at00);
    EXPECT_EQ(packed[16 + c.firstRow * c.side], 10);
    // The last drawn row's last drawn pixel is the shape's bottom-right one.
    EXPECT_EQ(packed[16 + (c.firstRow + c.height - 1) * c.side + c.width - 1], c.height == 1 ? 12 : 23);
    if (c.width < c.side) {
      EXPECT_EQ(packed[16 + c.firstRow * c.side + c.width], 0xEE);
    }
    EXPECT_EQ(packed[8], c.hotX);
    EXPECT_EQ(packed[10], c.hotY);
    // The palette follows the pixels and the header points at it.
    const size_t next = packed[1] | packed[2] << 8 | packed[3] << 16;
    EXPECT_EQ(next, 16u + c.side * c.side);
    EXPECT_EQ(std::memcmp(packed.data() + next, record.data(), record.size()), 0);
  }
  // Refused: a packed or 16-bit shape, pixels beyond the bytes given, a size larger than the square.
  auto packedType = shape;
  packedType[0] = 0xFB;
  EXPECT_TRUE(PackObjectShape(packedType.data(), packedType.size(), 4, 2, 8, 0, false).empty());
  EXPECT_TRUE(PackObjectShape(Shape(2, 2, 0x78).data(), 20, 2, 2, 8, 0, false).empty());
  EXPECT_TRUE(PackObjectShape(shape.data(), 20, 4, 2, 8, 0, false).empty());
  EXPECT_TRUE(PackObjectShape(shape.data(), shape.size(), 9, 2, 8, 0, false).empty());
  // A palette record that runs past the bytes given is not copied.
  const auto noPalette = PackObjectShape(shape.data(), shape.size() - 1, 4, 2, 8, 0, false);
  ASSERT_EQ(noPalette.size(), 16u + 64);
  EXPECT_EQ(noPalette[1], 0);
}

TEST(TextureConversion, SplittingLimitsTheLeftRowsAndFillsExtraOnes) {
  MemInit();
  auto shape = Shape(5, 3);
  for (int i = 0; i < 15; ++i) shape[16 + i] = static_cast<uint8_t>(i);
  const struct {
    int32_t leftHeight, expectedLeftHeight;
  } cases[] = {{0, 3}, {2, 2}, {5, 5}};
  for (const auto& c : cases) {
    MemHandle left = 0, right = 0;
    ASSERT_EQ(SplitShapeImage(shape.data(), &left, &right, 2, c.leftHeight, 0xEE), 0);
    const auto* l = static_cast<const uint8_t*>(MemLock(left));
    const auto* r = static_cast<const uint8_t*>(MemLock(right));
    EXPECT_EQ(ShapeHeight(l), c.expectedLeftHeight);
    EXPECT_EQ(ShapeWidth(r), 3);
    EXPECT_EQ(ShapeHeight(r), 3);
    EXPECT_EQ(l[16 + 2 + 1], 6);  // row 1, column 1
    EXPECT_EQ(r[16 + 3 * 2 + 2], 14);
    if (c.expectedLeftHeight > 3) {
      EXPECT_EQ(l[16 + 2 * 4], 0xEE);
    }
    MemUnlock(left);
    MemUnlock(right);
    MemFreeHandle(left);
    MemFreeHandle(right);
  }
}

}  // namespace
