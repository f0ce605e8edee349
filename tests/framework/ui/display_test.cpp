// Display manager: dirty rectangles grown and cut at the screen, the once-per-frame copy of only what
// changed, transitions on the clock, palettes and depth-tested copies.
#include "uifixture.h"

#include <cstring>

#include "mmsystem.h"

class DisplayTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    ClearDirtyRects();  // start from a settled screen
  }
};

TEST_F(DisplayTest, FirstUpdateAfterStartShowsTheWholeScreen) {
  DisplayManagerClose();
  ASSERT_EQ(DisplayManagerInit(MARect{0, 0, kWidth, kHeight}, 16), 1);
  Fill(Back(), 0x4321);
  AddDirtyRect(MARect{0, 0, 1, 1});
  UpdateScreen();
  EXPECT_EQ(CountNot(Display(), 0x4321), 0);
}

TEST_F(DisplayTest, StartsWithThreeBlackBuffersAndDepthBuffersForTheDrawnAndAux) {
  for (int i = 0; i < 3; ++i) {
    ASSERT_NE(DisplayMgr().buffers[i].window, nullptr);
    EXPECT_EQ(DisplayMgr().buffers[i].window->width, kWidth);
  }
  EXPECT_EQ(CountNot(RoleImage(kRoleDrawn)->window, 0), 0);
  EXPECT_EQ(CountNot(RoleImage(kRoleErase)->window, 0), 0);
  EXPECT_NE(RoleImage(kRoleDrawn)->depthWindow, nullptr);
  EXPECT_NE(RoleImage(kRoleAux)->depthWindow, nullptr);
  EXPECT_EQ(RoleImage(kRoleErase)->depthWindow, nullptr);
  EXPECT_EQ(DisplayImage()->window, getdisplaywindow());
  EXPECT_EQ(DisplayMgr().tracking, 1);
}

TEST_F(DisplayTest, WithoutADisplayInitFailsAndSaysSo) {
  DisplayManagerClose();
  DisplayWindow = WindowDesc{};
  EXPECT_EQ(DisplayManagerInit(MARect{0, 0, kWidth, kHeight}, 16), 0);
  EXPECT_NE(winapi::testing::TakeDebugOutput().find("Failed to create display"), std::string::npos);
  DisplayWindow = *display_;
}

TEST_F(DisplayTest, DirtyRectanglesGrowByOneAndAreCutAtTheScreen) {
  struct Case {
    MARect rect;
    Zone want;
  } cases[] = {
      {{10, 20, 30, 40}, {9, 19, 30, 40}},                                         // grown by one each side
      {{0, 0, 5, 5}, {0, 0, 5, 5}},                                                 // cut at 0
      {{150, 110, 300, 300}, {149, 109, kWidth - 1, kHeight - 1}},                  // cut at the size
      {{-40, -40, kWidth + 40, kHeight + 40}, {0, 0, kWidth - 1, kHeight - 1}},     // the whole screen
  };
  for (const Case& c : cases) {
    ClearDirtyRects();
    AddDirtyRect(c.rect);
    ASSERT_EQ(zonecount(), 1);
    const Zone z = zonelist()[0];
    EXPECT_EQ(z.x1, c.want.x1);
    EXPECT_EQ(z.y1, c.want.y1);
    EXPECT_EQ(z.x2, c.want.x2);
    EXPECT_EQ(z.y2, c.want.y2);
    EXPECT_EQ(DisplayMgr().dirtyCount, 1);
    EXPECT_EQ(DisplayMgr().dirty, 1);
  }
}

TEST_F(DisplayTest, RectanglesWhollyOffTheScreenAddNoZone) {
  AddDirtyRect(MARect{kWidth + 10, 5, kWidth + 20, 10});
  AddDirtyRect(MARect{5, -30, 10, -2});
  EXPECT_EQ(zonecount(), 0);
  EXPECT_EQ(DisplayMgr().dirty, 0);
}

// Off or in the background nothing is tracked; on a hardware display the changed areas are tracked as in software
// (the menus reach the screen only this way).
TEST_F(DisplayTest, NothingIsTrackedWhileOffOrInTheBackgroundButOnHardwareItIs) {
  for (int which = 0; which < 3; ++which) {
    ClearDirtyRects();
    EnableDirtyRects();
    Facts().appActive = which != 1;
    Facts().hardwareDisplay = which == 2;
    if (which == 0) DisableDirtyRects();
    AddDirtyRect(MARect{10, 10, 20, 20});
    EXPECT_EQ(zonecount(), which == 2 ? 1 : 0) << which;
    EXPECT_EQ(DisplayMgr().dirtyCount, which == 2 ? 1 : 0) << which;
  }
  Facts().hardwareDisplay = 0;
}

TEST_F(DisplayTest, UpdateCopiesOnlyTheDirtyAreaOnce) {
  Fill(Back(), 0x1234);
  AddDirtyRect(MARect{40, 30, 50, 36});
  UpdateScreen();
  EXPECT_EQ(Pixel(Display(), 40, 30), 0x1234);
  EXPECT_EQ(Pixel(Display(), 39, 29), 0x1234);  // the grown border
  EXPECT_EQ(Pixel(Display(), 50, 36), 0x1234);
  EXPECT_EQ(Pixel(Display(), 52, 30), 0);
  EXPECT_EQ(Pixel(Display(), 100, 100), 0);
  EXPECT_EQ(CountNot(Display(), 0), 12 * 8);
  EXPECT_EQ(DisplayMgr().dirtyCount, 0);
  EXPECT_EQ(zonecount(), 0);
  // Nothing dirty: the next update copies nothing.
  Fill(Back(), 0x5555);
  UpdateScreen();
  EXPECT_EQ(Pixel(Display(), 40, 30), 0x1234);
}

TEST_F(DisplayTest, OverlappingRectanglesAreMergedIntoTheCopy) {
  Fill(Back(), 0x0F0F);
  AddDirtyRect(MARect{10, 10, 20, 20});
  AddDirtyRect(MARect{15, 15, 25, 25});
  UpdateScreen();
  int covered = CountNot(Display(), 0);
  EXPECT_EQ(covered, 12 * 12 + 12 * 12 - 7 * 7);
}

TEST_F(DisplayTest, WithTrackingOffUpdateShowsNothing) {
  Fill(Back(), 0x7777);
  AddDirtyRect(MARect{0, 0, kWidth, kHeight});
  DisableDirtyRects();
  AddDirtyRect(MARect{0, 0, 10, 10});
  UpdateScreen();
  EXPECT_EQ(CountNot(Display(), 0), 0);
  EnableDirtyRects();
  UpdateScreen();
  EXPECT_EQ(CountNot(Display(), 0x7777), 0);
}

TEST_F(DisplayTest, TransitionsCopyTheWholeScreenWithTheirPauses) {
  struct Case {
    int32_t transition;
    uint32_t sleptMs;
  } cases[] = {{kTransitionBlinds, 8 * 50}, {kTransitionWipe, 10 * 20}, {kTransitionCopy, 0}};
  uint16_t colour = 0x100;
  for (const Case& c : cases) {
    Fill(Back(), ++colour);
    AddDirtyRect(MARect{0, 0, 4, 4});
    SetPendingTransition(c.transition);
    const uint32_t before = timeGetTime();
    UpdateScreen();
    EXPECT_EQ(timeGetTime() - before, c.sleptMs) << c.transition;
    EXPECT_EQ(CountNot(Display(), colour), 0) << c.transition;
    EXPECT_EQ(DisplayMgr().transition, 0);
  }
}

TEST_F(DisplayTest, PaletteRangeKeepsTheInterfaceColoursAndStaysInside) {
  uint8_t palette[256][4] = {};
  uint8_t entries[300][4];
  for (int i = 0; i < 300; ++i) entries[i][0] = entries[i][1] = entries[i][2] = 7, entries[i][3] = 0;
  LoadPaletteRange(PaletteRange{190, 300, entries}, palette);  // reaches past the end: cut at 255
  EXPECT_EQ(palette[191][0], 7);
  EXPECT_EQ(palette[255][2], 7);
  EXPECT_EQ(palette[189][0], 0);
  const struct {
    int index;
    uint8_t r, g, b;
  } fixed[] = {{0, 0, 0, 0}, {193, 0, 0, 0}, {194, 255, 255, 255}, {201, 0, 0, 204}, {206, 176, 220, 196}, {220, 252, 0, 0}};
  for (const auto& f : fixed) {
    EXPECT_EQ(palette[f.index][0], f.r) << f.index;
    EXPECT_EQ(palette[f.index][1], f.g) << f.index;
    EXPECT_EQ(palette[f.index][2], f.b) << f.index;
  }
  LoadPaletteRange(PaletteRange{-5, 2, entries}, palette);  // a bad first index writes nothing before 0
  LoadPaletteRange(PaletteRange{400, 2, entries}, palette);
}

TEST_F(DisplayTest, BlitConvertsEightBitImagesThroughTheirPalette) {
  ImageRecord source;
  source.window = Make(8, 8, 8);
  source.right = source.bottom = 8;
  source.palette[3][0] = 255;  // pure red
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) source.window->pixels[y * source.window->rowbytes + x] = 3;
  EXPECT_EQ(BlitImage(DrawnImage(), MARect{4, 4, 12, 12}, &source, MARect{0, 0, 8, 8}), 0);
  EXPECT_EQ(Pixel(Back(), 4, 4), 0xF800);
  EXPECT_EQ(Pixel(Back(), 11, 11), 0xF800);
  EXPECT_EQ(Pixel(Back(), 12, 12), 0);
  // A larger destination stretches.
  EXPECT_EQ(BlitImage(DrawnImage(), MARect{20, 20, 36, 36}, &source, MARect{0, 0, 8, 8}), 0);
  EXPECT_EQ(CountNot(Back(), 0), 64 + 256);
}

TEST_F(DisplayTest, CopiesBetweenDepthsKeepTheColourKeyAndOpaqueBlack) {
  WindowDesc* from16 = Make(4, 1, 16);
  const uint16_t pixels[4] = {0, 0x0001, 0xFFFF, 0xF800};
  for (int32_t x = 0; x < 4; ++x) SetPixel(from16, x, 0, pixels[x]);
  WindowDesc* to15 = Make(4, 1, 15);
  CopyWindowArea(to15, 0, 0, from16, 0, 0, 4, 1);
  const uint16_t want15[4] = {0, 0x8001, 0xFFFF, 0xFC00};  // every colour but the key carries bit 15
  for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(Pixel(to15, x, 0), want15[x]) << x;
  WindowDesc* to32 = Make(4, 1, 32);
  CopyWindowArea(to32, 0, 0, from16, 0, 0, 4, 1);
  const uint32_t want32[4] = {0, 0xFF000008, 0xFFF8FCF8, 0xFFF80000};  // the key stays transparent black
  for (int32_t x = 0; x < 4; ++x) {
    uint32_t v;
    std::memcpy(&v, to32->pixels + 4 * x, 4);
    EXPECT_EQ(v, want32[x]) << x;
  }
  // And back: opaque black from 15 bits becomes the 16-bit black, which is the key.
  SetPixel(to15, 1, 0, 0x8000);
  CopyWindowArea(from16, 0, 0, to15, 0, 0, 4, 1);
  EXPECT_EQ(Pixel(from16, 0, 0), 0);
  EXPECT_EQ(Pixel(from16, 1, 0), 0);
  EXPECT_EQ(Pixel(from16, 2, 0), 0xFFDF);
}

TEST_F(DisplayTest, StretchedCopiesStayInsideBothImages) {
  ImageRecord* from = RoleImage(kRoleErase);
  Fill(from->window, 0x2222);
  // Reaching past every edge of the destination, and sampling past the source.
  BlitImage(DrawnImage(), MARect{-20, -20, kWidth + 30, kHeight + 30}, from, MARect{0, 0, kWidth + 5, kHeight});
  EXPECT_EQ(CountNot(Back(), 0x2222), 0);
  Fill(Back(), 0);
  BlitImage(DrawnImage(), MARect{0, 0, 10, 5}, from, MARect{0, 0, 40, 20});  // shrinking
  EXPECT_EQ(CountNot(Back(), 0), 50);
}

TEST_F(DisplayTest, DepthTestedCopyTakesPixelsWhereTheDepthBufferAllows) {
  ImageRecord* to = DrawnImage();
  ImageRecord* from = RoleImage(kRoleErase);
  Fill(from->window, 0xAAAA);
  for (int32_t x = 0; x < kWidth; ++x)
    for (int32_t y = 0; y < kHeight; ++y) SetPixel(to->depthWindow, x, y, x < 80 ? 100 : 300);
  BlitRectDepthTest(to, from, MARect{70, 10, 90, 20}, 200);
  EXPECT_EQ(Pixel(Back(), 75, 15), 0);
  EXPECT_EQ(Pixel(Back(), 85, 15), 0xAAAA);
  EXPECT_EQ(CountNot(Back(), 0), 10 * 10);
  // An override below the depth over the rectangle makes the copy need the farthest depth.
  Fill(Back(), 0);
  SetDepthOverride(MARect{0, 0, 100, 100}, 50);
  MARect got{};
  uint16_t depth = 0;
  EXPECT_EQ(GetDepthOverride(&got, &depth), 1);
  EXPECT_EQ(depth, 50);
  BlitRectDepthTest(to, from, MARect{70, 10, 90, 20}, 200);
  EXPECT_EQ(CountNot(Back(), 0), 0);
  ClearDepthOverride();
  EXPECT_EQ(GetDepthOverride(&got, &depth), 0);
  // Rectangles reaching past the images are cut, not read past them.
  BlitRectDepthTest(to, from, MARect{kWidth - 5, kHeight - 5, kWidth + 50, kHeight + 50}, 0);
  EXPECT_EQ(CountNot(Back(), 0), 25);
}

TEST_F(DisplayTest, DepthImageIsCopiedOnlyForEqualRectangles) {
  SetPixel(RoleImage(kRoleAux)->depthWindow, 3, 3, 999);
  CopyDepthImage(DrawnImage(), MARect{0, 0, 10, 10}, RoleImage(kRoleAux), MARect{0, 0, 10, 11});
  EXPECT_EQ(Pixel(DrawnImage()->depthWindow, 3, 3), 0);
  CopyDepthImage(DrawnImage(), MARect{0, 0, 10, 10}, RoleImage(kRoleAux), MARect{0, 0, 10, 10});
  EXPECT_EQ(Pixel(DrawnImage()->depthWindow, 3, 3), 999);
}

TEST_F(DisplayTest, ImageAccessors) {
  int32_t w = 0, h = 0, x = -1, y = -1;
  GetImageSize(DrawnImage(), &w, &h);
  EXPECT_EQ(w, kWidth);
  EXPECT_EQ(h, kHeight);
  EXPECT_EQ(ImageLockPixels(DrawnImage(), &x, &y), Back()->pixels);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(ImageLockPixels(nullptr), nullptr);
  EXPECT_EQ(ImageUnlock(DrawnImage()), 0);
  EXPECT_EQ(ImageUnlock(nullptr), 1);
}
