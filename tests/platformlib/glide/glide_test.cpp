#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platformlib/glide/glide.h"
#include "platformlib/display/mainwindow.h"
#include "platformlib/gfx/vortel.h"
#include "winapi/testing.h"

namespace {

template <class F>
F Proc(HMODULE module, const char* name) {
  FARPROC p = GetProcAddress(module, name);
  F f;
  std::memcpy(&f, &p, sizeof f);
  return f;
}

// Holds the fake library loaded so its record survives the back end's own loads and releases.
class GlideTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("VOODOO_IS");
    glidereset();
    glidesetqueryhardware(true);
    module = LoadLibraryA("glide2x");
    ASSERT_NE(module, nullptr);
    calls = Proc<const char* (*)()>(module, "fake_calls");
    clear = Proc<void (*)()>(module, "fake_clear");
    setup = Proc<void (*)(int32_t, int32_t, int32_t, int32_t, const char*)>(module, "fake_setup");
    texmemory = Proc<void (*)(uint32_t, uint32_t)>(module, "fake_texmemory");
    ASSERT_TRUE(calls && clear && setup && texmemory);
    setup(1, 1, 4, 0, "Glide Version 2.43");
    texmemory(0x200000, 0x400000);
    d = glidedriver();
    clear();
  }
  void TearDown() override {
    glidereset();
    winapi::testing::Reset();
    FreeLibrary(module);
  }
  std::string trace() {
    std::string t = calls();
    clear();
    return t;
  }
  // Opens Glide as the game would: init, then a mode.
  void open() {
    ASSERT_EQ(d.init(), 1);
    ASSERT_EQ(d.setvideomode(1, 2, 1), 1);
    clear();
  }

  HMODULE module = nullptr;
  const char* (*calls)() = nullptr;
  void (*clear)() = nullptr;
  void (*setup)(int32_t, int32_t, int32_t, int32_t, const char*) = nullptr;
  void (*texmemory)(uint32_t, uint32_t) = nullptr;
  VortelDriver d{};
};

const GlideAbout* About(const VortelDriver& d) { return reinterpret_cast<const GlideAbout*>(d.about()); }

TEST_F(GlideTest, AbsentLibraryFindsNoBoard) {
  winapi::testing::FailCall("LoadLibraryA", ERROR_MOD_NOT_FOUND, 100);
  EXPECT_EQ(d.is(), 0);
  EXPECT_EQ(d.init(), 0);
  const GlideAbout* a = About(d);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->tag, kGlideTag);
  EXPECT_EQ(a->version, kVortelVersion);
  EXPECT_STREQ(a->description, "3Dfx Voodoo");
  EXPECT_EQ(a->modes[1].width, 640);
  EXPECT_EQ(a->modes[1].offered, 0);
  EXPECT_EQ(a->modes[1].pages, 0);
  // Without the library every operation is harmless.
  VortelVertex v[4]{};
  EXPECT_EQ(d.setvideomode(1, 2, 1), 0);
  EXPECT_EQ(d.talloc(64, 64, 4, 0, 0), 0);
  EXPECT_EQ(d.drawtri(&v[0], &v[1], &v[2]), 1);
  EXPECT_EQ(d.lockwindow(), nullptr);
  EXPECT_EQ(d.pageflip(), 1);
  EXPECT_EQ(d.restore(), 1);
  EXPECT_EQ(trace(), "");
}

TEST_F(GlideTest, EnvironmentOverridesScore) {
  setenv("VOODOO_IS", "37", 1);
  EXPECT_EQ(d.is(), 37);
  EXPECT_EQ(trace(), "");
  setenv("VOODOO_IS", "0", 1);
  EXPECT_EQ(d.is(), 0);
  unsetenv("VOODOO_IS");
}

TEST_F(GlideTest, ScoreByVersionAndBoard) {
  struct Case {
    int32_t boards, ok;
    const char* version;
    intptr_t score;
  } cases[] = {{1, 1, "Glide Version 2.41", 90}, {1, 1, "Glide Version 2.43", 100}, {1, 1, "2.5", 100},
               {1, 1, "Glide 2.51", 95},         {1, 1, "3.0", 95},                 {0, 1, "2.43", 0},
               {1, 0, "2.43", 0}};
  for (const Case& c : cases) {
    setup(c.boards, c.ok, 4, 0, c.version);
    clear();
    EXPECT_EQ(d.is(), c.score) << c.version << " boards " << c.boards;
    const std::string t = trace();
    if (c.boards > 0) {
      EXPECT_NE(t.find("grGlideShutdown"), std::string::npos) << t;
    }
  }
  setup(1, 1, 4, 0, "2.43");
  clear();
  d.is();
  EXPECT_EQ(trace(), "grSstQueryBoards\ngrGlideInit\ngrSstQueryHardware\ngrGlideGetVersion\ngrGlideShutdown\n");
}

TEST(GlideVersion, ComparesFromFirstDigit) {
  EXPECT_EQ(glideversionscore("no digits"), 90);
  EXPECT_EQ(glideversionscore("v2.42"), 100);
  EXPECT_EQ(glideversionscore("2.46"), 100);
  EXPECT_EQ(glideversionscore("2.6"), 95);
  EXPECT_EQ(glideversionscore(nullptr), 0);
}

TEST_F(GlideTest, AboutQueriesHardwareForPages) {
  struct Case {
    int32_t mb, sli;
    int mode;
    int32_t pages;
  } cases[] = {{4, 0, 1, 3}, {4, 0, 15, 1}, {2, 0, 15, 0}, {2, 0, 13, 1}, {2, 1, 15, 1}, {2, 1, 1, 3}, {1, 0, 2, 1}};
  for (const Case& c : cases) {
    glidereset();
    setup(1, 1, c.mb, c.sli, "2.43");
    clear();
    const GlideAbout* a = About(d);
    const GlideModeEntry& e = a->modes[c.mode];
    EXPECT_EQ(e.pages, c.pages) << c.mb << " MB mode " << c.mode;
    EXPECT_EQ(e.offered, c.pages > 0 ? 1 : 0);
    EXPECT_EQ(e.pagesless1, c.pages > 0 ? c.pages - 1 : 0);
    EXPECT_EQ(e.bits, 16);
    EXPECT_EQ(e.format, 4);
    EXPECT_EQ(a->texturememory, 0x200000);
  }
  EXPECT_EQ(trace(), "grSstQueryBoards\ngrGlideInit\ngrSstQueryHardware\ngrGlideShutdown\n");
  // Filled once.
  About(d);
  EXPECT_EQ(trace(), "");
  const GlideAbout* a = About(d);
  EXPECT_EQ(a->modecount, 16);
  EXPECT_EQ(a->modes[11].width, 856);
  EXPECT_EQ(a->modes[16].height, 300);
  for (int f = 0; f < 10; ++f) EXPECT_EQ(a->formats[f], (f == 2 || f == 3 || f == 4 || f == 7 || f == 8) ? 1 : 0);
}

TEST_F(GlideTest, AboutWithoutHardwareQuery) {
  glidesetqueryhardware(false);
  const GlideAbout* a = About(d);
  EXPECT_EQ(trace(), "");
  EXPECT_EQ(a->modes[1].width, 640);
  EXPECT_EQ(a->modes[1].offered, 0);
}

TEST_F(GlideTest, SlotOneHoldsTheBackEnd) {
  installglidedriver();
  selectvorteldriver(1);
  EXPECT_EQ(vortellive.module, nullptr);
  EXPECT_EQ(vortellive.idle, nullptr);
  EXPECT_EQ(vortellive.about, d.about);
  EXPECT_EQ(vortellive.drawpointmesh, d.drawpointmesh);
  const void* const* entries = reinterpret_cast<const void* const*>(&vortellive.about);
  for (int i = 0; i < kVortelEntries; ++i)
    if (i != 13) {
      EXPECT_NE(entries[i], nullptr) << VortelEntryNames[i];
    }
  EXPECT_EQ(reinterpret_cast<const GlideAbout*>(vortellive.about())->tag, kGlideTag);
  selectvorteldriver(0);
}

TEST_F(GlideTest, OpenModeAndRestore) {
  EXPECT_EQ(d.init(), 1);
  EXPECT_EQ(trace(), "grGlideInit\ngrSstQueryHardware\ngrSstSelect 0\n");
  EXPECT_EQ(d.setvideomode(13, 2, 1), 1);
  EXPECT_TRUE(glidewindowopen());
  EXPECT_EQ(trace(), "grSstWinOpen 12 0 0 0 2 1\n");
  EXPECT_EQ(d.setvideomode(17, 2, 1), 0);  // not in the list
  EXPECT_FALSE(glidewindowopen());
  EXPECT_EQ(trace(), "grSstWinClose\n");
  EXPECT_EQ(d.setvideomode(1, 2, 1), 1);
  clear();
  EXPECT_EQ(d.restore(), 1);
  EXPECT_FALSE(glidewindowopen());
  EXPECT_EQ(trace(), "grSstWinClose\ngrGlideShutdown\n");
  EXPECT_EQ(d.restore(), 1);
  EXPECT_EQ(trace(), "");
}

TEST_F(GlideTest, ScoreWhileRunningLeavesGlideStarted) {
  open();
  EXPECT_EQ(d.is(), 100);
  EXPECT_EQ(trace(), "grSstQueryBoards\ngrSstQueryHardware\ngrGlideGetVersion\n");
  VortelVertex v[3]{};
  d.drawtri(&v[0], &v[1], &v[2]);
  EXPECT_EQ(trace(), "grDrawTriangle (0,0) (0,0) (0,0)\n");
}

TEST_F(GlideTest, InitFailsWithoutBoard) {
  setup(1, 0, 4, 0, "2.43");
  clear();
  EXPECT_EQ(d.init(), 0);
  EXPECT_EQ(trace(), "grGlideInit\ngrSstQueryHardware\ngrGlideShutdown\n");
}

TEST_F(GlideTest, TextureMemoryAndBanks) {
  open();
  texmemory(0, 0x400000);
  d.treset();
  // 256 x 256 at 16 bits is 128 KB; fifteen of them, then a 64 KB one, leave 64 KB below the 2 MB line.
  intptr_t t = 0;
  for (int i = 0; i < 15; ++i) ASSERT_NE(t = d.talloc(256, 256, 4, 0, 0), 0);
  ASSERT_NE(t = d.talloc(256, 128, 4, 0, 0), 0);
  EXPECT_EQ(reinterpret_cast<GlideTexture*>(t)->start, 15u * 0x20000);
  EXPECT_EQ(reinterpret_cast<GlideTexture*>(t)->info.aspect, 2);
  ASSERT_NE(t = d.talloc(256, 256, 4, 0, 0), 0);
  EXPECT_EQ(reinterpret_cast<GlideTexture*>(t)->start, 0x200000u);  // moved past the bank line
  // 128 KB are left at the top: a texture with one more mip level does not fit, a small one does.
  for (int i = 0; i < 14; ++i) ASSERT_NE(d.talloc(256, 256, 4, 0, 0), 0);
  EXPECT_EQ(d.talloc(256, 256, 4, 0, 1), 0);
  EXPECT_NE(d.talloc(8, 8, 4, 0, 0), 0);
  for (int i = 0; i < 3; ++i) EXPECT_NE(d.talloc(128, 128, 4, 0, 0), 0);  // 32 KB each
  EXPECT_EQ(d.talloc(128, 128, 4, 0, 0), 0);
  // treset starts again at the minimum.
  EXPECT_EQ(d.treset(), 1);
  t = d.talloc(64, 64, 3, 0, 2);
  ASSERT_NE(t, 0);
  const GlideTexture* r = reinterpret_cast<GlideTexture*>(t);
  EXPECT_EQ(r->start, 0u);
  EXPECT_EQ(r->info.largelod, 2);
  EXPECT_EQ(r->info.smalllod, 4);
  EXPECT_EQ(r->info.format, 11);
  EXPECT_EQ(r->mask, 3);
}

TEST_F(GlideTest, TallocRefusesBadSizes) {
  open();
  EXPECT_EQ(d.talloc(300, 256, 4, 0, 0), 0);
  EXPECT_EQ(d.talloc(256, 16, 4, 0, 0), 0);  // 16:1
  EXPECT_EQ(d.talloc(0, 0, 4, 0, 0), 0);
  EXPECT_EQ(d.talloc(-8, 8, 4, 0, 0), 0);
  EXPECT_NE(d.talloc(256, 32, 4, 0, 20), 0);  // mip levels past the smallest stop there
  EXPECT_EQ(trace(), "grTexCalcMemRequired 8 0 0 10\n");
}

TEST_F(GlideTest, FormatsLevelsAndAspects) {
  const int32_t glide[] = {0, 0, 5, 11, 10, 0, 0, 12, 4, 14};
  for (int f = 0; f < 10; ++f) EXPECT_EQ(glideformat(f), glide[f]) << f;
  EXPECT_EQ(glidelod(256), 0);
  EXPECT_EQ(glidelod(1), 8);
  EXPECT_EQ(glidelod(512), -1);
  EXPECT_EQ(glideaspect(256, 32), 0);
  EXPECT_EQ(glideaspect(32, 256), 6);
  EXPECT_EQ(glideaspect(64, 64), 3);
}

TEST_F(GlideTest, UpdateAndSelectTexture) {
  open();
  const intptr_t t = d.talloc(64, 64, 4, 0, 0);
  ASSERT_NE(t, 0);
  clear();
  uint16_t pixels[64 * 64]{};
  uint8_t palette[1024]{};
  EXPECT_EQ(d.tupdate(t, pixels, palette), 1);
  EXPECT_EQ(trace(), "grTexDownloadMipMap 0 2097152 3 10\ngrTexDownloadTable 0 2\n");
  EXPECT_EQ(d.tupdate(0, pixels, nullptr), 0);
  EXPECT_EQ(d.settexture(t), 1);
  EXPECT_EQ(trace(), "grTexSource 0 2097152 3 2\ngrColorCombine 3 1 2 1 0\ngrAlphaCombine 3 1 1 1 0\n");
  EXPECT_EQ(d.setstate(1, t), 1);
  EXPECT_NE(trace().find("grTexSource"), std::string::npos);
}

TEST_F(GlideTest, RenderStates) {
  open();
  struct Case {
    int32_t state;
    intptr_t value, result;
    const char* calls;
  } cases[] = {
      {2, 1, 1, "grCullMode 1\n"},
      {3, 9, 1, ""},
      {4, 0, 1, "grDepthBufferFunction 7\ngrDepthMask 0\n"},
      {4, 2, 1, "grDepthBufferMode 2\ngrDepthBufferFunction 3\ngrDepthMask 1\n"},
      {5, 7, 1, "grDitherMode 2\n"},
      {5, 0, 1, "grDitherMode 0\n"},
      {12, 0xff00ff, 1, "grChromakeyValue 16711935\n"},
      {15, 0x808080, 1, "grFogColorValue 8421504\n"},
      {18, 1, 1, ""},
      {21, 0, 1, "grFogMode 0\n"},
      {21, 3, 0, ""},
      {21, 5, 0, ""},
      {21, 9, 0, ""},
      {24, 5, 1, "grDepthBiasLevel 5\n"},
      {102, 6, 1, "grDepthBiasLevel 6\n"},
      {31, 104, 0, ""},
      {103, 1, 1, ""},
      {104, 0, 1, "grAlphaBlendFunction 1 5 1 0\n"},
      {104, 3, 0, ""},
      {106, 1, 1, "grDepthMask 1\n"},
      {106, 0, 1, "grDepthMask 0\n"},
      {107, 1, 1, ""},
      {999, 1, 0, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(d.setstate(c.state, c.value), c.result) << "state " << c.state << " value " << c.value;
    EXPECT_EQ(trace(), c.calls) << "state " << c.state << " value " << c.value;
  }
  // Table fog: a mode, then a table rising from clear.
  EXPECT_EQ(d.setstate(21, 8), 1);
  const std::string fog = trace();
  EXPECT_EQ(fog.rfind("grFogMode 1\ngrFogTable 0 ", 0), 0u) << fog;
  EXPECT_EQ(d.setstate(105, 2), 1);
  EXPECT_NE(trace().find("grFogTable"), std::string::npos);
}

VortelVertex At(float x, float y) {
  VortelVertex v{};
  v.x = x;
  v.y = y;
  v.q = 1.0f;
  v.colour = 0xff102030;
  return v;
}

TEST_F(GlideTest, DrawingGoesThroughTheCurrentRoutines) {
  open();
  const VortelVertex v[5] = {At(0, 0), At(1, 0), At(1, 1), At(0, 1), At(2, 2)};
  EXPECT_EQ(d.drawquad(&v[0], &v[1], &v[2], &v[3]), 1);
  EXPECT_EQ(trace(), "grDrawTriangle (0,0) (1,0) (1,1)\ngrDrawTriangle (0,0) (1,1) (0,1)\n");
  const uint32_t quadindex[4] = {3, 2, 1, 0};
  EXPECT_EQ(d.drawquadmesh(1, v, quadindex), 1);
  EXPECT_EQ(trace(), "grDrawTriangle (0,1) (1,1) (1,0)\ngrDrawTriangle (0,1) (1,0) (0,0)\n");
  const uint32_t triindex[6] = {0, 1, 2, 2, 3, 4};
  EXPECT_EQ(d.drawtrimesh(2, v, triindex), 1);
  EXPECT_EQ(trace(), "grDrawTriangle (0,0) (1,0) (1,1)\ngrDrawTriangle (1,1) (0,1) (2,2)\n");
  EXPECT_EQ(d.drawtristrip(4, v), 1);
  EXPECT_EQ(trace(), "grDrawTriangle (0,0) (1,0) (1,1)\ngrDrawTriangle (1,1) (1,0) (0,1)\n");
  EXPECT_EQ(d.drawtrifan(4, v), 1);
  EXPECT_EQ(trace(), "grDrawTriangle (0,0) (1,0) (1,1)\ngrDrawTriangle (0,0) (1,1) (0,1)\n");
  EXPECT_EQ(d.drawline(&v[0], &v[4]), 1);
  EXPECT_EQ(trace(), "grDrawLine (0,0) (2,2)\n");
  const uint32_t lineindex[2] = {4, 1};
  EXPECT_EQ(d.drawlinemesh(1, v, lineindex), 1);
  EXPECT_EQ(trace(), "grDrawLine (2,2) (1,0)\n");
  EXPECT_EQ(d.drawlinestrip(3, v), 1);
  EXPECT_EQ(trace(), "grDrawLine (0,0) (1,0)\ngrDrawLine (1,0) (1,1)\n");
  EXPECT_EQ(d.drawpoint(&v[4]), 1);
  EXPECT_EQ(d.drawpointstrip(2, v), 1);
  const uint32_t pointindex[1] = {2};
  EXPECT_EQ(d.drawpointmesh(1, v, pointindex), 1);
  EXPECT_EQ(trace(), "grDrawPoint (2,2)\ngrDrawPoint (0,0)\ngrDrawPoint (1,0)\ngrDrawPoint (1,1)\n");

  // Antialiasing switches triangles and lines, and back.
  EXPECT_EQ(d.setstate(9, 1), 1);
  d.drawtri(&v[0], &v[1], &v[2]);
  d.drawquad(&v[0], &v[1], &v[2], &v[3]);
  d.drawline(&v[0], &v[1]);
  EXPECT_EQ(trace(),
            "grAADrawTriangle (0,0) (1,0) (1,1)\ngrAADrawTriangle (0,0) (1,0) (1,1)\n"
            "grAADrawTriangle (0,0) (1,1) (0,1)\ngrAADrawLine (0,0) (1,0)\n");
  EXPECT_EQ(d.setstate(9, 0), 1);
  d.drawtri(&v[0], &v[1], &v[2]);
  d.drawline(&v[0], &v[1]);
  EXPECT_EQ(trace(), "grDrawTriangle (0,0) (1,0) (1,1)\ngrDrawLine (0,0) (1,0)\n");
}

TEST_F(GlideTest, DrawingRefusesEmptyInput) {
  open();
  const VortelVertex v[3] = {At(0, 0), At(1, 0), At(1, 1)};
  const uint32_t index[3] = {0, 1, 2};
  EXPECT_EQ(d.drawtri(nullptr, &v[1], &v[2]), 0);
  EXPECT_EQ(d.drawquad(&v[0], &v[1], &v[2], nullptr), 0);
  EXPECT_EQ(d.drawtrimesh(0, v, index), 0);
  EXPECT_EQ(d.drawtrimesh(-1, v, index), 0);
  EXPECT_EQ(d.drawtrimesh(1, v, nullptr), 0);
  EXPECT_EQ(d.drawtristrip(2, v), 0);
  EXPECT_EQ(d.drawtrifan(2, v), 0);
  EXPECT_EQ(d.drawlinestrip(1, v), 0);
  EXPECT_EQ(d.drawpointstrip(0, v), 0);
  EXPECT_EQ(d.drawpointmesh(1, nullptr, index), 0);
  EXPECT_EQ(d.drawline(&v[0], nullptr), 0);
  EXPECT_EQ(d.drawpoint(nullptr), 0);
  EXPECT_EQ(trace(), "");
}

TEST_F(GlideTest, DisplayOperations) {
  open();
  EXPECT_EQ(d.window(1), 1);
  EXPECT_EQ(d.window(0), 1);
  EXPECT_EQ(d.clearwindow(), 1);
  EXPECT_EQ(d.flushwindow(), 1);
  EXPECT_EQ(d.pageflip(), 1);
  EXPECT_EQ(d.clip(10, 20, 100, 50), 1);
  EXPECT_EQ(d.clip(10, 20, -1, 50), 0);
  d.sync(1);
  EXPECT_EQ(trace(),
            "grRenderBuffer 0\ngrRenderBuffer 1\ngrBufferClear 0 0 65535\ngrBufferNumPending\ngrBufferSwap 1\n"
            "grClipWindow 10 20 110 70\ngrSstIdle\ngrSstIsBusy\ngrSstVRetraceOn\ngrSstStatus\n");
}

TEST_F(GlideTest, LockAndRectangles) {
  open();
  VortelLock* lock = d.lockwindow();
  ASSERT_NE(lock, nullptr);
  EXPECT_NE(lock->pixels, nullptr);
  EXPECT_EQ(lock->pitch, 2048);
  EXPECT_EQ(lock->format, 4);
  EXPECT_EQ(vortelformatdepth(lock->format), 16);
  EXPECT_EQ(lock->width, 640);
  EXPECT_EQ(lock->height, 480);
  EXPECT_EQ(d.unlockwindow(lock), 1);
  EXPECT_EQ(d.unlockwindow(nullptr), 0);
  EXPECT_EQ(trace(), "grLfbLock 1 1 0 0 0\ngrLfbUnlock 1 1\n");
  uint16_t buffer[16 * 8]{};
  EXPECT_EQ(d.readrect(4, 5, 16, 8, buffer), 1);
  EXPECT_EQ(d.writerect(4, 5, 16, 8, buffer), 1);
  EXPECT_EQ(trace(), "grLfbReadRegion 1 4 5 16 8 32\ngrLfbWriteRegion 1 4 5 0 16 8 32\n");
  EXPECT_EQ(d.readrect(4, 5, 0, 8, buffer), 0);
  EXPECT_EQ(d.writerect(-1, 5, 16, 8, buffer), 0);
  EXPECT_EQ(d.readrect(4, 5, 16, 8, nullptr), 0);
  EXPECT_EQ(trace(), "");
}

// A main window on a thread of its own, whose procedure runs the handler registered for a message.
std::atomic<intptr_t> registered{0};
std::atomic<UINT> registeredmessage{0};
std::atomic<int> handled{0};
HWND windowhandle = nullptr;
HWND WindowService() { return windowhandle; }
intptr_t HandlerService(intptr_t message, intptr_t handler) {
  registeredmessage = static_cast<UINT>(message);
  registered = handler;
  return 1;
}
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM first, LPARAM second) {
  if (message == registeredmessage && registered) {
    ++handled;
    LRESULT result = 0;
    reinterpret_cast<WinMessageHandler>(registered.load())(nullptr, window, message, first, second, &result);
    return result;
  }
  return DefWindowProcA(window, message, first, second);
}

TEST_F(GlideTest, ModeIsSetOnTheWindowThread) {
  open();
  ASSERT_EQ(d.setvideomode(0, 0, 0), 1);
  handled = 0;
  registered = 0;
  registeredmessage = 0;
  std::atomic<HWND> made{nullptr};
  std::thread owner([&] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProc;
    wc.lpszClassName = "glidetestwindow";
    RegisterClassA(&wc);
    made = CreateWindowExA(0, "glidetestwindow", "glide", 0, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  });
  while (!made) std::this_thread::yield();
  windowhandle = made;
  VortelServices services = vortelservices;
  services.getmainwindowhandle = WindowService;
  services.setmessagehandler = HandlerService;
  ASSERT_EQ(d.setstate(19, reinterpret_cast<intptr_t>(&services)), 1);
  clear();
  EXPECT_EQ(d.setvideomode(2, 2, 1), 1);
  EXPECT_EQ(registeredmessage.load(), 1125u);
  EXPECT_EQ(handled.load(), 1);
  EXPECT_TRUE(glidewindowopen());
  EXPECT_EQ(trace(), "grSstWinOpen 8 0 0 0 2 1\n");
  // A mode that cannot open is asked for twice, then reported.
  EXPECT_EQ(d.setvideomode(17, 2, 1), 0);
  EXPECT_EQ(handled.load(), 3);
  EXPECT_FALSE(glidewindowopen());
  d.setstate(19, 0);
  PostMessageA(windowhandle, WM_QUIT, 0, 0);
  owner.join();
  windowhandle = nullptr;
}

}  // namespace
