// Rectangles, strings, the save-and-load step, file copying and the 16-bit pixel operations.
#include "framework/core/utils.h"

#include <vector>

#include "support/drive_fixture.h"

namespace {

TEST(UtilsTest, Rectangles) {
  MARect a, b;
  SetRectWH(&a, 10, 10, 20, 20);
  MakeRect(&b, 25, 5, 40, 15);
  MARect u = a;
  UnionRect(&u, &b);
  EXPECT_EQ(u.left, 10);
  EXPECT_EQ(u.top, 5);
  EXPECT_EQ(u.right, 40);
  EXPECT_EQ(u.bottom, 30);
  MARect i = a;
  IntersectRect(&i, &b);
  EXPECT_EQ(i.left, 25);
  EXPECT_EQ(i.bottom, 15);
  MARect far{100, 100, 110, 110}, d = a;
  IntersectRect(&d, &far);
  EXPECT_TRUE(d.right < d.left || d.bottom < d.top);
  EXPECT_TRUE(PointInRect(&a, 10, 29));
  EXPECT_FALSE(PointInRect(&a, 30, 10));
}

TEST(UtilsTest, Strings) {
  EXPECT_EQ(StringCompareNoCase("Sedgefen", "SEDGEFEN"), 0);
  EXPECT_NE(StringCompareNoCase("Sedge", "Sedgefen"), 0);
  EXPECT_EQ(StringCompare("abc", "abc"), 0);
  EXPECT_EQ(StringCompare("abc", "abd"), -1);
  EXPECT_EQ(StringCompare("\x80", "a"), -1);  // signed bytes
  char s[] = "Hole 2";
  StringToUpperAll(s);
  EXPECT_STREQ(s, "HOLE 2");
}

using UtilsFileTest = DriveTest;

TEST_F(UtilsFileTest, SerializeFilesAndBuffers) {
  HANDLE h = CreateFileA("C:\\s.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  SerialTarget file = SerialTarget::OverFile(h);
  uint32_t value = 0x01020304, back = 0;
  EXPECT_EQ(SerializeBlock(SERIAL_WRITEFILE, &file, &value, 4), 1);
  EXPECT_EQ(SerializeBlock(SERIAL_WRITEFILE, &file, &value, 4), 1);
  SetFilePointer(h, 0, nullptr, FILE_BEGIN);
  EXPECT_EQ(SerializeBlock(SERIAL_SKIP, &file, nullptr, 4), 1);
  EXPECT_EQ(SerializeBlock(SERIAL_READFILE, &file, &back, 4), 1);
  EXPECT_EQ(back, value);
  EXPECT_EQ(SerializeBlock(SERIAL_READFILE, &file, &back, 4), 0);  // at the end of the file
  CloseHandle(h);
  uint8_t buffer[6];
  SerialTarget memory = SerialTarget::OverMemory(buffer, sizeof buffer);
  EXPECT_EQ(SerializeBlock(SERIAL_PUT, &memory, &value, 4), 1);
  EXPECT_EQ(memory.cursor, buffer + 4);
  // Only two bytes are left: the transfer fails and moves nothing.
  EXPECT_EQ(SerializeBlock(SERIAL_PUT, &memory, &value, 4), 0);
  EXPECT_EQ(memory.cursor, buffer + 4);
  memory = SerialTarget::OverMemory(buffer, sizeof buffer);
  back = 0;
  EXPECT_EQ(SerializeBlock(SERIAL_GET, &memory, &back, 4), 1);
  EXPECT_EQ(back, value);
  EXPECT_EQ(SerializeBlock(SERIAL_GET, &memory, &back, 4), 0);
  EXPECT_EQ(SerializeBlock(9, &memory, &back, 4), 0);
}

TEST_F(UtilsFileTest, FileCopyMakesNewFilesOnly) {
  HostFile("c/empty.txt", "");
  EXPECT_EQ(FileCopy("C:\\copy.txt", "C:\\empty.txt"), 1);
  EXPECT_TRUE(HostExists("c/copy.txt"));
  EXPECT_EQ(HostRead("c/copy.txt"), "");
  std::string big(10000, 'b');
  HostFile("c/big.txt", big);
  EXPECT_EQ(FileCopy("C:\\copy.txt", "C:\\big.txt"), 0);  // exists already
  EXPECT_EQ(FileCopy("C:\\big2.txt", "C:\\big.txt"), 1);
  EXPECT_EQ(HostRead("c/big2.txt"), big);
  EXPECT_EQ(FileCopy("C:\\x.txt", "C:\\missing.txt"), 0);
  // Running out of disk leaves nothing behind.
  winapi::testing::SetDiskFreeBytes('C', 5000);
  EXPECT_EQ(FileCopy("C:\\big3.txt", "C:\\big.txt"), 0);
  EXPECT_FALSE(HostExists("c/big3.txt"));
  for (const auto& e : std::filesystem::directory_iterator(root_ + "/c"))
    EXPECT_EQ(e.path().filename().string().find('~'), std::string::npos) << e.path();
}

TEST(UtilsPixelsTest, OperationsClipToTheImage) {
  std::vector<uint16_t> pixels(8 * 6, 0x0101);
  Image16 screen{pixels.data(), 8, 6, 8};
  std::vector<uint16_t> spritePixels = {1, 0, 2, 3};
  Image16 sprite{spritePixels.data(), 2, 2, 2};
  BlitTransparent16(screen, sprite, -1, 5);  // only the top right pixel is inside
  EXPECT_EQ(pixels[5 * 8 + 0], 0x0101);      // sprite value 0 is skipped
  BlitTransparent16(screen, sprite, 7, -1);
  EXPECT_EQ(pixels[0 * 8 + 7], 2);  // the sprite's bottom left pixel
  std::vector<uint8_t> maskBytes = {0xFF, 0x10, 0x00, 0xFF};
  Image8 mask{maskBytes.data(), 2, 2, 2};
  FillMask16(screen, mask, 2, 2, 0x7777);
  EXPECT_EQ(pixels[2 * 8 + 2], 0x0101);
  EXPECT_EQ(pixels[2 * 8 + 3], 0x7777);
  EXPECT_EQ(pixels[3 * 8 + 2], 0x7777);
  SetBit15ByMask16(screen, mask, 4, 4, true);
  EXPECT_EQ(pixels[4 * 8 + 5], 0x8101);
  EXPECT_EQ(pixels[4 * 8 + 4], 0x0101);
  MarkRect16(screen, MARect{6, 4, 20, 20}, true);
  EXPECT_EQ(pixels[5 * 8 + 7], 0x8101);
  MarkRect16(screen, MARect{6, 4, 20, 20}, false);
  EXPECT_EQ(pixels[5 * 8 + 7], 0x0101);
  std::vector<uint16_t> circle(11 * 11, 0);
  Image16 canvas{circle.data(), 11, 11, 11};
  DrawCircle16(canvas, 5, 5, 5, 9);
  EXPECT_EQ(circle[5 * 11 + 0], 9);
  EXPECT_EQ(circle[0 * 11 + 5], 9);
  EXPECT_EQ(circle[5 * 11 + 5], 0);
  DrawCircle16(canvas, 0, 0, 3, 4);  // partly outside: no stray writes
  EXPECT_EQ(circle[3 * 11 + 0], 4);
  EXPECT_EQ(ScaleColourHalf(0x00FF8040, false), 0x007F4020u);
  EXPECT_EQ(ScaleColourQuarter(0xFFFFFFFF, true), 0x3F3F3F3Fu);
  EXPECT_EQ(ScaleColourEighth(0xFFFFFFFF, false), 0x001F1F1Fu);
}

}  // namespace

namespace {

int32_t gStore[8];
bool gPresent[8];

TEST(UtilsPreferencesTest, AbsentIdsKeepTheirDefaults) {
  for (int i = 0; i < 8; ++i) gPresent[i] = false;
  gStore[2] = 1;
  gPresent[2] = true;
  gStore[4] = 7;
  gPresent[4] = true;
  SetPreferenceAccess(
      [](int id, int32_t* value) {
        if (id < 0 || id >= 8 || !gPresent[id]) return 1;
        *value = gStore[id];
        return 0;
      },
      [](int id, int32_t value) {
        gStore[id] = value;
        gPresent[id] = true;
        return 0;
      });
  GraphicsPreferences[0] = 99;
  LoadGraphicsPreferences();
  EXPECT_EQ(GraphicsPreferences[0], 3);
  EXPECT_EQ(GraphicsPreferences[1], 1);
  EXPECT_EQ(GraphicsPreferences[2], 1);
  EXPECT_EQ(GraphicsPreferences[3], 7);
  EXPECT_EQ(GraphicsPreferences[5], 1);
  GraphicsPreferences[0] = 2;
  SaveGraphicsPreferences();
  EXPECT_EQ(gStore[1], 2);
  EXPECT_TRUE(gPresent[6]);
  SetPreferenceAccess(nullptr, nullptr);
  LoadGraphicsPreferences();
  EXPECT_EQ(GraphicsPreferences[0], 3);
}

}  // namespace
