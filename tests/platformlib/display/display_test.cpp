#include <atomic>
#include <cstring>
#include <thread>
#include <type_traits>

#include "platformlib/display/displayfixture.h"
#include "platformlib/gfx/windowdesc.h"

namespace {

using winapi::testing::CurrentDisplayMode;
using winapi::testing::FakeDisplayMode;

// Words the window thread writes and the main thread polls.
static_assert(std::is_same_v<decltype(grfop_pending), std::atomic<int32_t>>);
static_assert(std::is_same_v<decltype(ddrawresult), std::atomic<const char*>>);

using DisplayModeTest = DisplayTest;

TEST_F(DisplayModeTest, DefaultsOfTheRequest) {
  usemodes({{640, 480, 16}, {1024, 768, 16}});
  initgraphics(0, 0, 0);
  ASSERT_EQ(graphicsstate, 7);
  EXPECT_EQ(displaywidth, 640);
  EXPECT_EQ(displayheight, 480);
  EXPECT_EQ(displaydepth, 16);
  restoregraphics();
  initgraphics(-1, -1, 15);
  ASSERT_EQ(graphicsstate, 7);
  EXPECT_EQ(displaywidth, 1024);
  EXPECT_EQ(displayheight, 768);
  EXPECT_EQ(displaydepth, 16);
}

TEST_F(DisplayModeTest, SmallestSufficientWidthWins) {
  usemodes({{640, 480, 16}, {1280, 1024, 16}, {1024, 768, 16}});
  initgraphics(800, 600, 16);
  ASSERT_EQ(graphicsstate, 7);
  EXPECT_EQ(displaywidth, 1024);
  EXPECT_EQ(displayheight, 768);
  const FakeDisplayMode mode = CurrentDisplayMode();
  EXPECT_EQ(mode.width, 1024u);
  EXPECT_EQ(mode.height, 768u);
  EXPECT_EQ(mode.bits, 16u);
  EXPECT_EQ(getdisplaymodecount(), 3);
  DisplayModeInfo info{};
  ASSERT_EQ(getdisplaymode(2, &info), 1);
  EXPECT_EQ(info.width, 1024);
  EXPECT_EQ(info.depth, 16);
  EXPECT_EQ(getdisplaymode(3, &info), 0);
}

TEST_F(DisplayModeTest, EightBitOnlyListsFallBackToEightBits) {
  usemodes({{640, 480, 8}, {800, 600, 8}});
  initgraphics(800, 600, 16);
  ASSERT_EQ(graphicsstate, 7);
  EXPECT_EQ(displaywidth, 800);
  EXPECT_EQ(displayheight, 600);
  EXPECT_EQ(displaydepth, 8);
  EXPECT_EQ(CurrentDisplayMode().bits, 8u);
}

TEST_F(DisplayModeTest, RefusedModeIsSkipped) {
  usemodes({{1024, 768, 16}, {1280, 1024, 16}});
  winapi::testing::RefuseDisplayMode(1024, 768, 16);
  initgraphics(800, 600, 16);
  ASSERT_EQ(graphicsstate, 7);
  EXPECT_EQ(displaywidth, 1280);
  EXPECT_NE(windisplay().modes[0].flags & MODEFAILED, 0u);
}

TEST_F(DisplayModeTest, RequestWhileInactiveCompletesAfterReactivation) {
  usemodes({{640, 480, 16}});
  initgraphics(640, 480, 16);
  ASSERT_EQ(graphicsstate, 7);
  winapi::testing::HostSetActive(false);
  ASSERT_TRUE(waitfor([] { return !mainwindowactive(); }));
  std::atomic<bool> sawpostponed{false};
  std::thread user([&] {
    sawpostponed = waitfor([] { return grfop_pending.load() < 0; });
    winapi::testing::HostSetActive(true);
  });
  const char* text = sendddrawrequest(WM_LIBSETMODE, 0);
  user.join();
  EXPECT_TRUE(sawpostponed.load());
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(grfop_pending.load(), 0);
  EXPECT_TRUE(mainwindowactive());
  EXPECT_NE(windisplay().primary, nullptr);
}

TEST_F(DisplayModeTest, WindowedDisplayTakesTheDesktopDepth) {
  displayoptions = DISPLAY_BLITTING | DISPLAY_NOFLIP;
  initgraphics(800, 600, 16);
  ASSERT_EQ(graphicsstate, 7);
  EXPECT_EQ(displaywidth, 800);
  EXPECT_EQ(displayheight, 600);
  EXPECT_EQ(displaydepth, 16);
  ASSERT_NE(windisplay().back, nullptr) << "a blitting back buffer";
  int32_t w = 0, h = 0;
  getclientsize(&w, &h);
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
  DisplayModeInfo info{};
  ASSERT_EQ(getdisplaymode(-1, &info), 1);
  EXPECT_EQ(info.width, 800);
  EXPECT_EQ(info.depth, 16);
}

using WinDisplayTest = DisplayTest;

TEST_F(WinDisplayTest, LargerModeFromTheDriverIsCentred) {
  usemodes({{640, 480, 16}});
  winapi::testing::SubstituteDisplayMode(640, 480, 16, 800, 600);
  initgraphics(640, 480, 16);
  ASSERT_EQ(graphicsstate, 7);
  EXPECT_EQ(displaywidth, 640);
  EXPECT_EQ(displayheight, 480);
  EXPECT_EQ(CurrentDisplayMode().width, 800u);
  EXPECT_EQ(windisplay().originx, 80);
  EXPECT_EQ(windisplay().originy, 60);
  // The display's first pixel is the mode's pixel (80, 60).
  WinDisplay& d = windisplay();
  ASSERT_EQ(locksurface(d.primary, 0), 1);
  uint16_t white = 0xFFFF;
  std::memcpy(d.lockedaddress, &white, 2);
  unlocksurface();
  winapi::testing::HostFrameData frame;
  ASSERT_TRUE(winapi::testing::HostFrame(&frame));
  ASSERT_EQ(frame.width, 800);
  EXPECT_EQ(frame.pixels[60 * 800 + 80] & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(frame.pixels[60 * 800 + 79] & 0xFFFFFF, 0u);
}

TEST_F(WinDisplayTest, TwoPagesWithoutAFlippingPrimary) {
  struct Case {
    uint32_t videomemory;  // room for the primary only: the back buffer goes to system memory
    DWORD backmemory;
  };
  for (const Case& c : {Case{8u << 20, DDSCAPS_VIDEOMEMORY}, Case{700000, DDSCAPS_SYSTEMMEMORY}}) {
    winapi::testing::FakeDisplay fake = winapi::testing::DefaultFakeDisplay();
    fake.modes = {{640, 480, 16}};
    fake.videoMemory = c.videomemory;
    winapi::testing::SetFakeDisplay(fake);
    displayoptions = DISPLAY_FULLSCREEN;
    initgraphics(640, 480, 16);
    ASSERT_EQ(graphicsstate, 7);
    if (c.backmemory == DDSCAPS_VIDEOMEMORY) {
      EXPECT_EQ(windisplay().surfacepages, 2) << "a flipping chain when it fits";
    }
    // Reconfigure with the flipping primaries refused.
    windisplay().surfacepages = 2;
    winapi::testing::FailCall("CreateSurface", static_cast<uint32_t>(DDERR_NOFLIPHW), 3);
    ASSERT_EQ(configwindisplay(nullptr), 1);
    winapi::testing::ClearFailures();
    WinDisplay& d = windisplay();
    EXPECT_EQ(d.surfacepages, 1);
    ASSERT_NE(d.primary, nullptr);
    ASSERT_NE(d.back, nullptr);
    DDSCAPS caps{};
    d.back->GetCaps(&caps);
    EXPECT_NE(caps.dwCaps & DDSCAPS_OFFSCREENPLAIN, 0u);
    EXPECT_NE(caps.dwCaps & c.backmemory, 0u) << c.videomemory;
    restoregraphics();
  }
}

TEST_F(WinDisplayTest, ThreePagesFail) {
  usemodes({{640, 480, 16}});
  initgraphics(640, 480, 16);
  ASSERT_EQ(graphicsstate, 7);
  windisplay().pages = 3;
  EXPECT_EQ(configwindisplay(nullptr), 0);
  ASSERT_NE(ddrawresult.load(), nullptr);
  EXPECT_STREQ(ddrawresult.load(), "ONLY 1 OR 2 VIDEO PAGES SUPPORTED.");
}

TEST_F(WinDisplayTest, LockWhileMinimisedDoesNotTouchDirectDraw) {
  usemodes({{640, 480, 16}});
  initgraphics(640, 480, 16);
  ASSERT_EQ(graphicsstate, 7);
  winapi::testing::HostMinimizeWindow(true);
  ASSERT_TRUE(waitfor([] { return IsIconic(getmainwindowhandle()) != 0; }));
  winapi::testing::FailCall("Lock", static_cast<uint32_t>(DDERR_GENERIC), 1);
  EXPECT_EQ(locksurface(windisplay().primary, 0), 0);
  EXPECT_EQ(winapi::testing::PendingFailures("Lock"), 1) << "Lock was called";
  EXPECT_FALSE(surfacelocked());
  winapi::testing::ClearFailures();
  winapi::testing::HostMinimizeWindow(false);
  ASSERT_TRUE(waitfor([] { return IsIconic(getmainwindowhandle()) == 0 && mainwindowactive(); }));
  // The window thread finishes bringing the display back after the window reports itself active; until then a
  // lock fails and the frame is skipped, as in the game's loop.
  EXPECT_TRUE(waitfor([] { return locksurface(windisplay().primary, 0) == 1; }));
}

TEST_F(WinDisplayTest, LostSurfaceIsRestoredAndThePaletteReset) {
  usemodes({{640, 480, 8}});
  initgraphics(640, 480, 8);
  ASSERT_EQ(graphicsstate, 7);
  WinDisplay& d = windisplay();
  ASSERT_NE(d.palette, nullptr);
  const uint32_t colour = 0x00123456;
  storewinpalette(7, 1, &colour);
  setwinpalette();
  PALETTEENTRY garbage{1, 2, 3, 0};
  d.palette->SetEntries(0, 7, 1, &garbage);  // what the device holds after another program used it
  winapi::testing::LoseDisplaySurfaces();
  ASSERT_TRUE(surfacelost(d.primary));
  ASSERT_EQ(locksurface(d.primary, 0), 1);
  unlocksurface();
  EXPECT_FALSE(surfacelost(d.primary));
  PALETTEENTRY now{};
  d.palette->GetEntries(0, 7, 1, &now);
  EXPECT_EQ(now.peRed, 0x12);
  EXPECT_EQ(now.peGreen, 0x34);
  EXPECT_EQ(now.peBlue, 0x56);
}

TEST_F(WinDisplayTest, FlipShowsTheBackBuffer) {
  usemodes({{640, 480, 16}});
  initgraphics(640, 480, 16);
  ASSERT_EQ(graphicsstate, 7);
  ASSERT_EQ(setwindow(getsecondpage()), 1);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) std::memcpy(CurrentWindow.pixels + CurrentWindow.rows[y] + x * 2, "\x1f\x00", 2);
  releasewindow();
  ASSERT_EQ(flipwindisplay(1), 1);
  winapi::testing::HostFrameData frame;
  ASSERT_TRUE(winapi::testing::HostFrame(&frame));
  EXPECT_EQ(frame.pixels[240 * 640 + 320] & 0xFFFFFF, 0x0000FFu);
}

TEST_F(WinDisplayTest, SurfaceLockedWhileConfiguringAborts) {
  usemodes({{640, 480, 16}});
  initgraphics(640, 480, 16);
  ASSERT_EQ(graphicsstate, 7);
  ASSERT_EQ(locksurface(windisplay().primary, 0), 1);
  static std::string aborttext;
  abortfilterhook = [](const char* text) {
    aborttext = text;
    return 0;
  };
  EXPECT_EQ(configwindisplay(nullptr), 0);
  abortfilterhook = nullptr;
  EXPECT_NE(aborttext.find("CONFIG DISPLAY WHILE SURFACE LOCKED"), std::string::npos) << aborttext;
}

}  // namespace
