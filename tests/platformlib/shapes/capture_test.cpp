// Screen capture to TGA and whole-file writes, on a temporary drive C.
#include "platformlib/shapes/capture.h"
#include "platformlib/files/filehandle.h"
#include "support/shapefixture.h"
#include "support/drive_fixture.h"

namespace {

class CaptureTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    StartDrawing();
    ASSERT_EQ(initfiles(0), 1);
  }
  void TearDown() override {
    releasewindow();
    for (WindowDesc* w : made_) removewindow(w);
    exitfiles();
    abortfilterhook = nullptr;
    DriveTest::TearDown();
  }
  WindowDesc* Window(int width, int height, int depth, uint32_t fill) {
    WindowDesc* w = createwindowadra(width, height, depth, 1);
    made_.push_back(w);
    setwindow(w);
    fillrect(0, 0, width, height, fill);
    return w;
  }
  bool Aborted(const std::string& part) const { return AbortedWith(part); }
  static uint32_t U16(const std::string& s, size_t at) {
    return static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8);
  }
  std::vector<WindowDesc*> made_;
};

TEST_F(CaptureTest, EightBitCaptureHasTheColourMapAndTheClipOnly) {
  Window(120, 60, 8, 3);
  CurrentPalette[3] = 0xFF102030;
  setclip(10, 4, 110, 54);
  writepixel(10, 4, 7);
  ASSERT_EQ(captureimagesize(), 5786);
  ASSERT_EQ(savescreenshot("C:\\screen0.tga"), 5786);
  const std::string file = HostRead("c/screen0.tga");
  ASSERT_EQ(file.size(), 5786u);
  EXPECT_EQ(file[1], 1);
  EXPECT_EQ(file[2], 1);
  EXPECT_EQ(U16(file, 5), 256u);
  EXPECT_EQ(file[7], 24);
  EXPECT_EQ(U16(file, 8), 10u);
  EXPECT_EQ(U16(file, 10), 6u);  // from the clip's bottom edge to the window's bottom
  EXPECT_EQ(U16(file, 12), 100u);
  EXPECT_EQ(U16(file, 14), 50u);
  EXPECT_EQ(file[16], 8);
  EXPECT_EQ(static_cast<uint8_t>(file[17]), 0x20);
  EXPECT_EQ(file.substr(18 + 9, 3), std::string("\x30\x20\x10", 3));  // entry 3 as blue, green, red
  EXPECT_EQ(file[786], 7);
  EXPECT_EQ(file[787], 3);
  EXPECT_EQ(CurrentWindow.minx, 10);  // the window comes back with its clip
}

TEST_F(CaptureTest, SixteenBitWhiteIsStoredAsFifteenBits) {
  Window(100, 50, 16, 0xFFFF);
  ASSERT_EQ(captureimagesize(), 10018);
  ASSERT_EQ(savescreenshot("C:\\screen1.tga"), 10018);
  const std::string file = HostRead("c/screen1.tga");
  ASSERT_EQ(file.size(), 10018u);
  EXPECT_EQ(file[2], 2);
  EXPECT_EQ(file[16], 16);
  EXPECT_EQ(U16(file, 18), 0x7FFFu);
  EXPECT_EQ(U16(file, 10016), 0x7FFFu);

  Window(4, 4, 15, 0xFFFF);
  std::vector<uint8_t> image(static_cast<size_t>(captureimagesize()));
  captureimage(image.data());
  EXPECT_EQ(image[18] | (image[19] << 8), 0xFFFF);
}

TEST_F(CaptureTest, AShortWriteFailsAndLeavesTheOldFile) {
  HostFile("c/screen2.tga", "old picture");
  Window(100, 100, 16, 0xFFFF);
  winapi::testing::SetDiskFreeBytes('C', 4000);
  EXPECT_EQ(savescreenshot("C:\\screen2.tga"), 0);
  EXPECT_TRUE(Aborted("savefileadr - WRITE FAILED FOR FILE 'C:\\screen2.tga'"));
  EXPECT_EQ(HostRead("c/screen2.tga"), "old picture");
  EXPECT_FALSE(std::filesystem::exists(root_ + "/c/screen2.tga~"));
  winapi::testing::SetDiskFreeBytes('C', -1);
  ShapeAborts().clear();
  EXPECT_EQ(trysavefileadr("C:\\nofolder\\x.dat", "abc", 3), 0);
  EXPECT_TRUE(ShapeAborts().empty());
  EXPECT_EQ(savefileadr("C:\\nofolder\\x.dat", "abc", 3), 0);
  EXPECT_TRUE(Aborted("savefileadr - OPEN FAILED FOR FILE 'C:\\nofolder\\x.dat'"));
  EXPECT_EQ(savefileadr("C:\\ok.dat", "abc", 3), 3);
  EXPECT_EQ(HostRead("c/ok.dat"), "abc");
}

}  // namespace
