// The Direct3D render module loaded through the library's loader and driven through its entry points against
// the fake display: capability record, device choice, video modes, clearing, drawing, flipping, locking,
// render states, fog, textures and the batch.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "ddraw.h"
#include "drvd3d/drvd3d.h"
#include "platformlib/gfx/gfxfixture.h"
#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/gfx/moduledisplay.h"
#include "platformlib/gfx/vortel.h"
#include "winapi/testing.h"
#include "winapi_user.h"

namespace {

uint16_t Rgb565(uint32_t c) {
  return static_cast<uint16_t>((((c >> 16) & 255) >> 3 << 11) | (((c >> 8) & 255) >> 2 << 5) | ((c & 255) >> 3));
}

VortelVertex Vx(float x, float y, uint32_t colour, float z = 0.5f, float u = 0, float v = 0) {
  return VortelVertex{x, y, z, 1.0f, colour, 0xFF000000, u, v};
}

class Drvd3d : public GfxTest {
 protected:
  void SetUp() override {
    GfxTest::SetUp();
    winapi::testing::Reset();
    display_ = std::make_unique<ModuleDisplayWindow>(32, 16, 640, 480);
    winapi::testing::SetExitHook([](unsigned code) { throw winapi::testing::ExitCalled{code}; });
    unsetenv("VORTEL_DISPLAY");
    unsetenv("VORTEL_D3DDEVICETYPE");
    ASSERT_EQ(setvorteldriver("!drvd3d"), 1);
    FARPROC lists = GetProcAddress(vortellive.module, "drvd3d_lists");
    std::memcpy(&lists_, &lists, sizeof lists_);
  }
  void TearDown() override {
    if (vortellive.restore) vortellive.restore();
    closehal(0);
    // The window thread may still be returning from a handler of the module: stop it before unloading.
    display_.reset();
    VORTEL_closedll();
    winapi::testing::Reset();
    GfxTest::TearDown();
  }
  int32_t AboutWord(int offset) {
    int32_t v;
    std::memcpy(&v, reinterpret_cast<const char*>(vortellive.about()) + offset, 4);
    return v;
  }
  // Opens the display in a window (desktop 1) or full screen, with a 640 x 480 16-bit render surface.
  void Open(int desktop) {
    ASSERT_EQ(openhal(desktop ? 0 : 1) , 1);
    vortellive.setstate(18, desktop);
    ASSERT_EQ(vortellive.selectdisplay(0), 1);
    ASSERT_EQ(vortellive.setvideomode(1, 2, 0), 1);
  }
  // The back buffer's pixels, read through readrect.
  std::vector<uint16_t> Back() {
    std::vector<uint16_t> pixels(640 * 480);
    EXPECT_EQ(vortellive.window(2), 1);
    EXPECT_EQ(vortellive.readrect(0, 0, 640, 480, pixels.data()), 1);
    return pixels;
  }
  const void* (*lists_)(int32_t) = nullptr;
  std::unique_ptr<ModuleDisplayWindow> display_;
};

TEST_F(Drvd3d, CapabilityRecordBeforeAnyDisplay) {
  EXPECT_EQ(AboutWord(0), 0x44334435);
  EXPECT_EQ(AboutWord(4), 128);
  EXPECT_EQ(AboutWord(8), 104);
  EXPECT_EQ(AboutWord(12) & 0x0F, 0x0F);
  const int32_t words[] = {8, 256, 1, 8, 256, 1, 0, 9};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(AboutWord(16 + 4 * i), words[i]);
  EXPECT_EQ(AboutWord(52), 4);
  EXPECT_EQ(AboutWord(60), 0);  // no display modes yet
  EXPECT_EQ(reinterpret_cast<const char*>(vortellive.about())[76], 0);
  EXPECT_EQ(vortellive.setstate(31, 104), 0);
  for (int state : {26, 27, 28, 29, 30, 32, 33, 34, 8, 12, 20, 24, 402, 999}) EXPECT_EQ(vortellive.setstate(state, 1), 0) << state;
  const auto* clut = static_cast<const int32_t*>(lists_(1));
  EXPECT_EQ(clut[4], 5);
  EXPECT_EQ(clut[5], -1);
  EXPECT_EQ(vortellive.is(), 80);
}

TEST_F(Drvd3d, DeviceChoiceAndDisplayModes) {
  winapi::testing::FakeDisplay fake = winapi::testing::DefaultFakeDisplay();
  fake.modes = {{640, 480, 8}, {800, 600, 16}, {1024, 768, 16}, {1024, 768, 15}, {1024, 768, 32}};
  winapi::testing::SetFakeDisplay(fake);
  ASSERT_EQ(openhal(1), 1);
  EXPECT_GE(vortellive.init(), 1);
  EXPECT_EQ(vortellive.selectdisplay(-1), 1);
  EXPECT_EQ(AboutWord(60), 6);  // 3 standard entries and three more; the 8-bit mode never enters
  const auto* modes = static_cast<const D3DDisplayMode*>(lists_(2));
  EXPECT_EQ(modes[1].width, 640);  // kept as pre-filled: the display has no 640 x 480 x 16
  EXPECT_EQ(modes[1].code, 4);
  EXPECT_EQ(modes[1].screens, 3);
  EXPECT_EQ(modes[2].width, 800);
  EXPECT_EQ(modes[3].width, 1024);
  EXPECT_EQ(modes[3].code, 4);
  EXPECT_EQ(modes[4].bits, 15);
  EXPECT_EQ(modes[4].code, 3);
  EXPECT_EQ(modes[5].code, 6);
  EXPECT_NE(reinterpret_cast<const char*>(vortellive.about())[76], 0);  // the device's description
  EXPECT_EQ(vortellive.selectdisplay(99), 1);  // out of range: device 0
  EXPECT_TRUE(ModuleDisplayWindow::HasHandler(1124));
  EXPECT_EQ(vortellive.restore(), 1);
  EXPECT_FALSE(ModuleDisplayWindow::HasHandler(1124));  // the library's (none here) are back
}

TEST_F(Drvd3d, AboutChoosesTheCardOnceTheWindowIsKnown) {
  setenv("VORTEL_DISPLAY", "5", 1);  // past the list: device 0
  ASSERT_EQ(openhal(1), 1);
  EXPECT_GE(vortellive.init(), 1);
  vortellive.about();
  EXPECT_NE(reinterpret_cast<const char*>(vortellive.about())[76], 0);
  EXPECT_GE(AboutWord(60), 3);
  EXPECT_NE(AboutWord(116) & 3, 0);  // texture memory could be queried
  EXPECT_EQ(vortellive.setvideomode(2, 2, 0), 1);  // 800 x 600
  ASSERT_EQ(vortellive.window(2), 1);
  VortelLock* lock = vortellive.lockwindow();
  ASSERT_NE(lock, nullptr);
  EXPECT_EQ(lock->width, 800);
  vortellive.unlockwindow(lock);
  unsetenv("VORTEL_DISPLAY");
}

TEST_F(Drvd3d, TexturesBeforeAnyDeviceAreRefused) {
  EXPECT_THROW(vortellive.talloc(4, 4, 4, 0, 0), winapi::testing::ExitCalled);
}

TEST_F(Drvd3d, ClearDrawFlipAndReadTheFrameBack) {
  Open(0);
  EXPECT_EQ(vortellive.setstate(3, 0x0000FF), 1);
  EXPECT_EQ(vortellive.clearwindow(), 1);
  EXPECT_EQ(vortellive.setstate(4, 0), 1);  // no depth test
  EXPECT_EQ(vortellive.setstate(2, 0), 1);  // no culling
  const VortelVertex a = Vx(10, 10, 0xFFFF0000), b = Vx(110, 10, 0xFFFF0000), c = Vx(10, 110, 0xFFFF0000);
  EXPECT_EQ(vortellive.drawtri(&a, &b, &c), 1);
  EXPECT_EQ(vortellive.pageflip(), 1);
  winapi::testing::HostFrameData frame;
  ASSERT_TRUE(winapi::testing::HostFrame(&frame));
  ASSERT_EQ(frame.width, 640);
  EXPECT_EQ(frame.pixels[20 * 640 + 20] & 0xF8F8F8, 0xF80000u);
  EXPECT_EQ(frame.pixels[200 * 640 + 200] & 0xF8F8F8, 0x0000F8u);
  // The clip rectangle takes right and bottom edges; zeros clear the whole surface.
  EXPECT_EQ(vortellive.setstate(3, 0x00FF00), 1);
  EXPECT_EQ(vortellive.clip(0, 0, 4, 2), 1);
  EXPECT_EQ(vortellive.clearwindow(), 1);
  std::vector<uint16_t> back = Back();
  EXPECT_EQ(back[1 * 640 + 3], Rgb565(0x00FF00));
  EXPECT_NE(back[2 * 640 + 3], Rgb565(0x00FF00));
  EXPECT_EQ(vortellive.clip(0, 0, 0, 0), 1);
  EXPECT_EQ(vortellive.clearwindow(), 1);
  back = Back();
  EXPECT_EQ(back[479 * 640 + 639], Rgb565(0x00FF00));
}

TEST_F(Drvd3d, DesktopModeBlitsIntoTheWindow) {
  Open(1);
  EXPECT_EQ(vortellive.setstate(3, 0xFF0000), 1);
  EXPECT_EQ(vortellive.clearwindow(), 1);
  EXPECT_EQ(vortellive.pageflip(), 1);
  winapi::testing::HostFrameData frame;
  ASSERT_TRUE(winapi::testing::HostFrame(&frame));
  EXPECT_GT(frame.serial, 0u);
  // A lock of the front surface starts at the window's client area (at 32, 16 on the screen).
  POINT origin{0, 0};
  ClientToScreen(display_->Window(), &origin);
  ASSERT_GT(origin.x + origin.y, 0);
  ASSERT_EQ(vortellive.window(1), 1);
  uint16_t corner = 0;
  EXPECT_EQ(vortellive.readrect(0, 0, 1, 1, &corner), 1);
  EXPECT_EQ(corner, Rgb565(0xFF0000));  // the screen's corner outside the window was never drawn
}

TEST_F(Drvd3d, LockReadAndWriteRectangles) {
  Open(0);
  EXPECT_EQ(vortellive.window(5), 0);
  EXPECT_EQ(vortellive.lockwindow(), nullptr);  // empty target
  EXPECT_EQ(vortellive.unlockwindow(nullptr), 1);
  ASSERT_EQ(vortellive.window(2), 1);
  VortelLock* lock = vortellive.lockwindow();
  ASSERT_NE(lock, nullptr);
  EXPECT_EQ(lock->format, 4);
  EXPECT_EQ(lock->width, 640);
  EXPECT_EQ(lock->height, 480);
  reinterpret_cast<uint16_t*>(lock->pixels + lock->pitch * 5)[7] = 0x1234;
  EXPECT_EQ(vortellive.unlockwindow(lock), 1);
  uint16_t block[4] = {1, 2, 3, 4};
  EXPECT_EQ(vortellive.writerect(100, 50, 2, 2, block), 1);
  uint16_t out[4] = {};
  EXPECT_EQ(vortellive.readrect(100, 50, 2, 2, out), 1);
  EXPECT_EQ(std::memcmp(block, out, sizeof out), 0);
  EXPECT_EQ(vortellive.readrect(7, 5, 1, 1, out), 1);
  EXPECT_EQ(out[0], 0x1234);
  // A rectangle reaching past the surface copies only what lies inside it.
  std::vector<uint16_t> wide(64 * 4, 0xABCD);
  EXPECT_EQ(vortellive.readrect(620, 478, 64, 4, wide.data()), 1);
  EXPECT_EQ(wide[20], 0xABCD);
  ASSERT_EQ(vortellive.window(3), 1);  // the Z-buffer
  lock = vortellive.lockwindow();
  ASSERT_NE(lock, nullptr);
  EXPECT_EQ(lock->format, 32);
  reinterpret_cast<uint32_t*>(lock->pixels + lock->pitch * 2)[3] = 0x89ABCDEFu;
  vortellive.unlockwindow(lock);
  // Its 32-bit depths come and go as the caller's 16-bit depth values (their high halves), never past a row.
  uint16_t depth[4] = {};
  EXPECT_EQ(vortellive.readrect(3, 2, 2, 2, depth), 1);
  EXPECT_EQ(depth[0], 0x89AB);
  const uint16_t near[2] = {0x1234, 0x8000};
  EXPECT_EQ(vortellive.writerect(10, 10, 2, 1, const_cast<uint16_t*>(near)), 1);
  lock = vortellive.lockwindow();
  ASSERT_NE(lock, nullptr);
  const auto* row = reinterpret_cast<const uint32_t*>(lock->pixels + lock->pitch * 10);
  EXPECT_EQ(row[10], 0x12341234u);
  EXPECT_EQ(row[11], 0x80008000u);
  vortellive.unlockwindow(lock);
  EXPECT_EQ(vortellive.readrect(638, 10, 4, 1, depth), 1);
}

TEST_F(Drvd3d, DepthTestThroughStates) {
  Open(0);
  vortellive.clearwindow();
  vortellive.setstate(2, 0);
  EXPECT_EQ(vortellive.setstate(4, 1), 1);
  const VortelVertex n[3] = {Vx(0, 0, 0xFFFF0000, 0.2f), Vx(64, 0, 0xFFFF0000, 0.2f), Vx(0, 64, 0xFFFF0000, 0.2f)};
  const VortelVertex f[3] = {Vx(0, 0, 0xFF00FF00, 0.8f), Vx(64, 0, 0xFF00FF00, 0.8f), Vx(0, 64, 0xFF00FF00, 0.8f)};
  vortellive.drawtri(&n[0], &n[1], &n[2]);
  vortellive.drawtri(&f[0], &f[1], &f[2]);
  EXPECT_EQ(vortellive.flushwindow(), 1);
  EXPECT_EQ(Back()[5 * 640 + 5], Rgb565(0xFF0000));
  EXPECT_EQ(vortellive.setstate(4, 0), 1);
  vortellive.drawtri(&f[0], &f[1], &f[2]);
  vortellive.flushwindow();
  EXPECT_EQ(Back()[5 * 640 + 5], Rgb565(0x00FF00));
}

TEST_F(Drvd3d, FogTablesFromCurvesAndDensity) {
  Open(0);
  uint8_t curve[64];
  std::memset(curve, 255, sizeof curve);
  EXPECT_EQ(vortellive.setstate(105, reinterpret_cast<intptr_t>(curve)), 1);
  EXPECT_EQ(vortellive.setstate(15, 0x0000FF), 1);
  EXPECT_EQ(vortellive.setstate(21, 1), 1);
  vortellive.setstate(4, 0);
  vortellive.setstate(2, 0);
  vortellive.setstate(36, 0);
  const VortelVertex a = Vx(0, 0, 0xFFFF0000), b = Vx(32, 0, 0xFFFF0000), c = Vx(0, 32, 0xFFFF0000);
  vortellive.drawtri(&a, &b, &c);
  vortellive.flushwindow();
  EXPECT_EQ(Back()[2 * 640 + 2], Rgb565(0x0000FF));  // full fog
  std::memset(curve, 0, sizeof curve);
  vortellive.setstate(105, reinterpret_cast<intptr_t>(curve));
  vortellive.drawtri(&a, &b, &c);
  vortellive.flushwindow();
  EXPECT_EQ(Back()[2 * 640 + 2], Rgb565(0xFF0000));  // no fog
  // Density 1/2 and the exponential table: nearer depths are fogged less.
  EXPECT_EQ(vortellive.setstate(14, 2), 1);
  EXPECT_EQ(vortellive.setstate(21, 4), 1);
  const VortelVertex near[3] = {Vx(0, 0, 0xFFFF0000, 0.0f), Vx(32, 0, 0xFFFF0000, 0.0f), Vx(0, 32, 0xFFFF0000, 0.0f)};
  const VortelVertex far[3] = {Vx(100, 0, 0xFFFF0000, 1.0f), Vx(132, 0, 0xFFFF0000, 1.0f), Vx(100, 32, 0xFFFF0000, 1.0f)};
  vortellive.drawtri(&near[0], &near[1], &near[2]);
  vortellive.drawtri(&far[0], &far[1], &far[2]);
  vortellive.flushwindow();
  const std::vector<uint16_t> back = Back();
  EXPECT_EQ(back[2 * 640 + 102], Rgb565(0x0000FF));
  // Depth 0 takes entry 0: w(0) = 1, so the fog amount is 1 - e^-0.5 of full.
  const int fogged = static_cast<int>((1.0 - std::exp(-0.5)) * 255.0);
  EXPECT_EQ(back[2 * 640 + 2] >> 11, (255 - fogged) >> 3);
}

TEST_F(Drvd3d, TextureUploadInEachFormat) {
  Open(0);
  const auto* types = static_cast<const int32_t*>(lists_(0));
  const int32_t expectTypes[10] = {0, 1, 1, 1, 1, 1, 1, 1, 0, -1};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(types[i], expectTypes[i]) << i;
  vortellive.setstate(4, 0);
  vortellive.setstate(2, 0);
  vortellive.setstate(7, 0);
  vortellive.setstate(10, 0);
  vortellive.setstate(36, 0);
  struct Case {
    int format;
    std::vector<uint8_t> texel;  // one texel, repeated over the 4 x 4 texture
    uint32_t expect;
  } cases[] = {
      {1, {0x33}, 0x00FF00},                  // 4-bit index 3
      {2, {7}, 0x00FF00},                     // 8-bit index 7
      {3, {0x00, 0xFC}, 0xFF0000},            // 1-5-5-5: opaque red
      {4, {0xE0, 0x07}, 0x00FF00},            // 5-6-5 green
      {5, {0xFF, 0x00, 0x00}, 0x0000FF},      // 8-8-8 blue
      {6, {0x00, 0xFF, 0x00, 0xFF}, 0x00FF00},// 8-8-8-8 green
      {7, {0x0F, 0xF0}, 0x0000FF},            // 4-4-4-4 opaque blue
  };
  uint32_t palette[256] = {};
  palette[3] = 0x00FF00, palette[7] = 0x00FF00;
  for (const Case& k : cases) {
    const intptr_t t = vortellive.talloc(4, 4, k.format, 0, 0);
    ASSERT_NE(t, 0) << k.format;
    std::vector<uint8_t> pixels;
    const int count = k.format == 1 ? 8 : 16;
    for (int i = 0; i < count; ++i) pixels.insert(pixels.end(), k.texel.begin(), k.texel.end());
    EXPECT_EQ(vortellive.tupdate(t, pixels.data(), palette), t) << k.format;
    EXPECT_EQ(vortellive.settexture(t), 1);
    const VortelVertex a = Vx(0, 0, 0xFFFFFFFF, 0.5f, 0, 0), b = Vx(16, 0, 0xFFFFFFFF, 0.5f, 1, 0),
                       c = Vx(16, 16, 0xFFFFFFFF, 0.5f, 1, 1), d = Vx(0, 16, 0xFFFFFFFF, 0.5f, 0, 1);
    vortellive.drawquad(&a, &b, &c, &d);
    vortellive.flushwindow();
    EXPECT_EQ(Back()[8 * 640 + 8], Rgb565(k.expect)) << "format " << k.format;
  }
  EXPECT_EQ(vortellive.tupdate(0, nullptr, nullptr), 0);
  EXPECT_EQ(vortellive.settexture(0), 1);
  EXPECT_EQ(vortellive.treset(), 1);
}

TEST_F(Drvd3d, UnsupportedTextureFormatIsFatal) {
  Open(0);
  EXPECT_THROW(vortellive.talloc(4, 4, 8, 0, 0), winapi::testing::ExitCalled);
}

TEST_F(Drvd3d, TextureMemoryFullUntilReset) {
  winapi::testing::FakeDisplay fake = winapi::testing::DefaultFakeDisplay();
  winapi::testing::SetFakeDisplay(fake);
  Open(0);
  winapi::testing::FailCall("CreateSurface", static_cast<uint32_t>(DDERR_OUTOFVIDEOMEMORY), 1);
  EXPECT_EQ(vortellive.talloc(8, 8, 4, 0, 0), 0);
  EXPECT_EQ(vortellive.talloc(8, 8, 4, 0, 0), 0);  // full until reset
  EXPECT_EQ(vortellive.treset(), 1);
  EXPECT_NE(vortellive.talloc(8, 8, 4, 0, 0), 0);
}

TEST_F(Drvd3d, BatchFlushesWhenFullAndOnStateChanges) {
  Open(0);
  vortellive.setstate(4, 0);
  vortellive.setstate(2, 0);
  vortellive.setstate(36, 0);
  // 85 triangles: the 85th draws the first 84 first; all of them reach the surface by the flush.
  for (int i = 0; i < 85; ++i) {
    const float x = static_cast<float>(i * 7 % 600), y = static_cast<float>(i / 85 * 10);
    const VortelVertex a = Vx(x, y, 0xFFFFFFFF), b = Vx(x + 6, y, 0xFFFFFFFF), c = Vx(x, y + 6, 0xFFFFFFFF);
    vortellive.drawtri(&a, &b, &c);
  }
  // A state change draws the batch with the old state: white, before blending turns the rest to nothing.
  vortellive.setstate(10, 2);
  vortellive.setstate(104, 2);  // zero, inverse source alpha: opaque sources draw black
  const VortelVertex a = Vx(0, 100, 0xFFFFFFFF), b = Vx(10, 100, 0xFFFFFFFF), c = Vx(0, 110, 0xFFFFFFFF);
  vortellive.drawtri(&a, &b, &c);
  vortellive.flushwindow();
  const std::vector<uint16_t> back = Back();
  EXPECT_EQ(back[1 * 640 + 1], 0xFFFF);
  EXPECT_EQ(back[1 * 640 + 84 * 7 % 600 + 1], 0xFFFF);
  EXPECT_EQ(back[101 * 640 + 1], 0);
}

TEST_F(Drvd3d, StripsFansLinesAndPoints) {
  Open(0);
  vortellive.clearwindow();
  vortellive.setstate(4, 0);
  vortellive.setstate(2, 0);
  vortellive.setstate(36, 0);
  const VortelVertex strip[3] = {Vx(0, 0, 0xFFFF0000), Vx(20, 0, 0xFFFF0000), Vx(0, 20, 0xFFFF0000)};
  EXPECT_EQ(vortellive.drawtristrip(1, strip), 1);
  const VortelVertex fan[4] = {Vx(100, 100, 0xFF00FF00), Vx(120, 100, 0xFF00FF00), Vx(120, 120, 0xFF00FF00),
                               Vx(100, 120, 0xFF00FF00)};
  EXPECT_EQ(vortellive.drawtrifan(2, fan), 1);
  std::vector<VortelVertex> bigFan(37, Vx(0, 0, 0));
  EXPECT_EQ(vortellive.drawtrifan(35, bigFan.data()), 0);  // more than the fan list holds
  const VortelVertex line[3] = {Vx(200, 10, 0xFF0000FF), Vx(220, 10, 0xFF0000FF), Vx(220, 30, 0xFF0000FF)};
  EXPECT_EQ(vortellive.drawlinestrip(2, line), 1);
  const VortelVertex pts[2] = {Vx(300, 5, 0xFFFFFFFF), Vx(302, 5, 0xFFFFFFFF)};
  const uint32_t idx[2] = {1, 0};
  EXPECT_EQ(vortellive.drawpointmesh(2, pts, idx), 1);
  vortellive.flushwindow();
  const std::vector<uint16_t> back = Back();
  EXPECT_EQ(back[2 * 640 + 2], Rgb565(0xFF0000));
  EXPECT_EQ(back[110 * 640 + 110], Rgb565(0x00FF00));
  EXPECT_EQ(back[10 * 640 + 210], Rgb565(0x0000FF));
  EXPECT_EQ(back[20 * 640 + 220], Rgb565(0x0000FF));
  EXPECT_EQ(back[5 * 640 + 300], 0xFFFF);
  EXPECT_EQ(back[5 * 640 + 302], 0xFFFF);
  // A quad is the triangles 1-2-3 and 1-3-4.
  const VortelVertex q[4] = {Vx(400, 0, 0xFFFFFFFF), Vx(420, 0, 0xFFFFFFFF), Vx(420, 20, 0xFFFFFFFF), Vx(400, 20, 0xFFFFFFFF)};
  const uint32_t qi[4] = {0, 1, 2, 3};
  EXPECT_EQ(vortellive.drawquadmesh(1, q, qi), 1);
  vortellive.flushwindow();
  EXPECT_EQ(Back()[18 * 640 + 402], 0xFFFF);
}

TEST_F(Drvd3d, DeviceInfoThroughState403) {
  Open(0);
  D3DDeviceInfo info{};
  info.zpresent = 77;
  EXPECT_EQ(vortellive.setstate(403, reinterpret_cast<intptr_t>(&info)), reinterpret_cast<intptr_t>(&info));
  EXPECT_EQ(info.hardware3d, 1);
  EXPECT_EQ(info.zdepth, 32);
  EXPECT_EQ(info.zpresent, 77);  // left as the caller had it
  EXPECT_EQ(info.perspective, 1);
  EXPECT_EQ(info.modulatealpha, 1);
  EXPECT_EQ(vortellive.setstate(403, 0), 0);
}

TEST_F(Drvd3d, PageFlipWhileLockedIsFatalAndLostSurfacesReturnZero) {
  Open(0);
  vortellive.window(2);
  ASSERT_NE(vortellive.lockwindow(), nullptr);
  EXPECT_THROW(vortellive.pageflip(), winapi::testing::ExitCalled);
}

TEST_F(Drvd3d, LostDisplayIsReportedAndRestored) {
  Open(0);
  winapi::testing::LoseDisplaySurfaces();
  EXPECT_EQ(vortellive.pageflip(), 0);
  EXPECT_EQ(vortellive.setstate(35, 0), 1);
  EXPECT_EQ(vortellive.pageflip(), 1);
}

}  // namespace
