// Shared set-up of the user-interface tests: memory, the row space, a memory-backed 16-bit display of a
// small screen, the display manager on it, the virtual clock and fresh input state.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "framework/ui/inputstate.h"
#include "framework/ui/mousepointer.h"
#include "framework/core/services.h"
#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/core/memclass.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/shapes/textdraw.h"
#include "platformlib/gfx/windowdesc.h"
#include "shapewriter.h"
#include "winapi/testing.h"

inline std::vector<std::string>& UiAborts() {
  static std::vector<std::string> texts;
  return texts;
}

// A front end whose file loader, shell animations and shadow frame a test may replace; what it leaves alone is
// the null front end's.
class UiFrontEnd : public FrontEndProvider {
 public:
  MemHandle (*loader)(const char* folder, const char* name, uint32_t flags) = nullptr;
  ShellAnim* (*animFactory)(const char* file, ShellAnim* frames, int a, int b, int c, int d) = nullptr;
  void (*shadowDrawer)(const MARect& rect, int32_t width, WindowDesc* target) = nullptr;

  MemHandle LoadFileToHandle(const char* folder, const char* name, uint32_t flags) override {
    return loader ? loader(folder, name, flags) : FrontEndProvider::LoadFileToHandle(folder, name, flags);
  }
  ShellAnim* MakeShellAnim(const char* file, ShellAnim* frames, int a, int b, int c, int d) override {
    if (!animFactory) return FrontEndProvider::MakeShellAnim(file, frames, a, b, c, d);
    return animFactory(file, frames, a, b, c, d);
  }
  MARect DrawShadowFrame(const MARect& rect, int32_t width, WindowDesc* target) override {
    if (!shadowDrawer) return FrontEndProvider::DrawShadowFrame(rect, width, target);
    shadowDrawer(rect, width, target);
    return MARect{0, 0, 0, 0};
  }
};

// A 1-bit font of solid glyphs 6 high, lines 8 high: (code, width, advance) each; spaces stay blank.
inline std::vector<uint8_t> SolidFont(const std::vector<std::array<int, 3>>& glyphs) {
  shapetools::Font font;
  font.bits = 1;
  font.above = 6;
  font.below = 2;
  for (const auto& [code, width, advance] : glyphs) {
    shapetools::Glyph g;
    g.code = static_cast<uint16_t>(code);
    g.width = width;
    g.height = 6;
    g.advance = static_cast<int8_t>(advance);
    g.pixels.assign(static_cast<size_t>(width) * 6, code == ' ' ? 0 : 1);
    font.glyphs.push_back(g);
  }
  return shapetools::fontfile(font);
}

// A new movable handle holding the bytes, as the game's file loader gives them.
inline MemHandle HandleWith(const std::vector<uint8_t>& bytes) {
  const MemHandle h = MemAllocHandle(bytes.size(), 0);
  if (h) {
    std::memcpy(MemLock(h), bytes.data(), bytes.size());
    MemUnlock(h);
  }
  return h;
}

class UiTest : public ::testing::Test {
 protected:
  static constexpr int32_t kWidth = 160, kHeight = 120;

  void SetUp() override {
    winapi::testing::Reset();
    winapi::testing::UseVirtualClock(true, 10000);
    winapi::testing::SetVirtualWaitGrace(0);
    if (!memstarted()) initmem();
    gfxresetdisplay();
    rowspacesize = 14336;
    initrow();
    UiAborts().clear();
    abortfilterhook = [](const char* text) {
      UiAborts().push_back(text);
      return 0;
    };
    releasewindow();
    Services providers;
    providers.frontEnd = &frontEnd_;
    InstallServices(providers);
    Facts() = SharedFacts{};
    Facts().screenWidth = kWidth;
    Facts().screenHeight = kHeight;
    InputReset();
    InputUpdateClock();
    display_ = createwindowadra(kWidth, kHeight, 16, 1);
    ASSERT_NE(display_, nullptr);
    Fill(display_, 0);  // new windows keep what their memory held
    DisplayWindow = *display_;
    if (openManager_) {
      ASSERT_EQ(DisplayManagerInit(MARect{0, 0, kWidth, kHeight}, 16), 1);
    }
    winapi::testing::TakeDebugOutput();
    winapi::testing::TakeMessageBoxes();
  }
  void TearDown() override {
    MouseShutdown();
    FontResetState();
    DisplayManagerClose();
    releasewindow();
    DisplayWindow = WindowDesc{};
    removewindow(display_);
    for (WindowDesc* w : made_) removewindow(w);
    abortfilterhook = nullptr;
    ResetServices();
    winapi::testing::Reset();
  }

  static uint16_t Pixel(const WindowDesc* w, int32_t x, int32_t y) {
    const uint8_t* p = w->pixels + y * w->rowbytes + x * 2;
    return static_cast<uint16_t>(p[0] | p[1] << 8);
  }
  static void SetPixel(WindowDesc* w, int32_t x, int32_t y, uint16_t v) {
    uint8_t* p = w->pixels + y * w->rowbytes + x * 2;
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
  }
  static void Fill(WindowDesc* w, uint16_t v) {
    for (int32_t y = 0; y < w->height; ++y)
      for (int32_t x = 0; x < w->width; ++x) SetPixel(w, x, y, v);
  }
  static int CountNot(const WindowDesc* w, uint16_t v) {
    int n = 0;
    for (int32_t y = 0; y < w->height; ++y)
      for (int32_t x = 0; x < w->width; ++x) n += Pixel(w, x, y) != v;
    return n;
  }
  WindowDesc* Back() { return DrawnImage()->window; }
  WindowDesc* Display() { return DisplayImage()->window; }
  WindowDesc* Make(int32_t width, int32_t height, int depth) {
    WindowDesc* w = createwindowadra(width, height, depth, 1);
    if (w) made_.push_back(w);
    return w;
  }

  bool openManager_ = true;
  WindowDesc* display_ = nullptr;
  UiFrontEnd frontEnd_;

 private:
  std::vector<WindowDesc*> made_;
};
