// The drawing code reaches the display through its seam: windows, fills, page flips and the palette.
#include "platformlib/display/displayfixture.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/gfx/videowin.h"
#include "platformlib/gfx/windowdesc.h"

namespace {

using SeamTest = DisplayTest;

uint32_t framepixel(int x, int y) {
  winapi::testing::HostFrameData frame;
  if (!winapi::testing::HostFrame(&frame) || x >= frame.width || y >= frame.height) return 0xDEAD;
  return frame.pixels[static_cast<size_t>(y) * frame.width + x] & 0xFFFFFF;
}

TEST_F(SeamTest, DrawnFrameReachesTheScreen) {
  for (const uint8_t options : {uint8_t(DISPLAY_FULLSCREEN | DISPLAY_BLITTING | DISPLAY_NOFLIP),
                                uint8_t(DISPLAY_FULLSCREEN), uint8_t(DISPLAY_BLITTING | DISPLAY_NOFLIP)}) {
    usemodes({{640, 480, 16}});
    displayoptions = options;
    initgraphics(640, 480, 16);
    ASSERT_EQ(graphicsstate, 7) << int(options);
    WindowDesc* target = getsecondpage()->signature == kWindowSignature ? getsecondpage() : getdisplaywindow();
    ASSERT_EQ(setwindow(target), 1);
    fillrect(0, 0, 640, 480, rgbpixel(0xFF0000FFu));
    fillrect(10, 20, 5, 5, rgbpixel(0xFFFF0000u));
    pageflip();
    EXPECT_EQ(framepixel(300, 300), 0x0000FFu) << int(options);
    EXPECT_EQ(framepixel(12, 22), 0xFF0000u) << int(options);
    EXPECT_EQ(framepixel(9, 22), 0x0000FFu) << int(options);
    EXPECT_FALSE(surfacelocked());
    restoregraphics();
  }
}

TEST_F(SeamTest, PaletteGoesToTheDevice) {
  usemodes({{640, 480, 8}});
  initgraphics(640, 480, 8);
  ASSERT_EQ(graphicsstate, 7);
  ASSERT_NE(windisplay().palette, nullptr);
  PALETTEENTRY e{};
  windisplay().palette->GetEntries(0, 6, 1, &e);
  EXPECT_EQ(e.peRed, 168);
  EXPECT_EQ(e.peGreen, 84);
  EXPECT_EQ(e.peBlue, 0) << "the default palette's brown";
  const uint8_t rgb[3] = {10, 20, 30};
  setpalette(200, 1, rgb);
  windisplay().palette->GetEntries(0, 200, 1, &e);
  EXPECT_EQ(e.peRed, 10);
  EXPECT_EQ(e.peGreen, 20);
  EXPECT_EQ(e.peBlue, 30);
}

// On the 1024 x 768 screen: a window asked above or left of the screen, or past its edge, is kept on it.
TEST_F(SeamTest, MovedWindowMovesTheDisplayOrigin) {
  displayoptions = DISPLAY_BLITTING | DISPLAY_NOFLIP;
  initgraphics(320, 200, 16);
  ASSERT_EQ(graphicsstate, 7);
  const struct {
    int32_t x, y, placedX, placedY;
  } cases[] = {{100, 50, 100, 50}, {-288, -216, 0, 0}, {900, 700, 704, 568}};
  uint32_t colour = 0xFF00FF00u;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.x);
    placemainwindow(c.x, c.y, 320, 200);
    EXPECT_EQ(windisplay().winx, c.placedX);
    EXPECT_EQ(windisplay().winy, c.placedY);
    EXPECT_EQ(mainwindowstate().x, c.placedX);
    ASSERT_EQ(setwindow(getsecondpage()), 1);
    fillrect(0, 0, 320, 200, rgbpixel(colour));
    pageflip();
    EXPECT_EQ(framepixel(0, 0), colour & 0xFFFFFFu) << "the client area shows the display from its first pixel";
    EXPECT_EQ(framepixel(319, 199), colour & 0xFFFFFFu);
    colour ^= 0x00FF00FFu;
  }
}

TEST_F(SeamTest, VideoWindowsBlitThroughDirectDraw) {
  usemodes({{640, 480, 16}});
  initgraphics(640, 480, 16);
  ASSERT_EQ(graphicsstate, 7);
  WindowDesc* sprite = videowindowdefadr(32, 32, 0, 0);
  ASSERT_NE(sprite, nullptr);
  fillvideowindow(sprite, 0, 0, 32, 32, rgbpixel(0xFFFFFFFFu));
  WindowDesc* display = getdisplaywindow();
  movevideowindow(sprite, display, 100, 100, 0);
  EXPECT_EQ(framepixel(110, 110), 0xFFFFFFu);
  EXPECT_EQ(framepixel(99, 99), 0u);
  removevideowindow(sprite);
}

}  // namespace

namespace {

int32_t boxx = -1, boxy = -1, boxw = -1, boxh = -1;
uint32_t boxpixel = 0;
void recordbox(const char*, int32_t x, int32_t y, int32_t width, int32_t height) {
  boxx = x;
  boxy = y;
  boxw = width;
  boxh = height;
  fillrect(x, y, width, height, rgbpixel(0xFFFF0000u));
  boxpixel = readpixel(x + 1, y + 1);
}

TEST_F(SeamTest, PauseBoxIsDrawnAndTheScreenPutBack) {
  usemodes({{640, 480, 16}});
  initgraphics(640, 480, 16);
  ASSERT_EQ(graphicsstate, 7);
  ASSERT_EQ(displaywindow(), 1);
  fillrect(0, 0, 640, 480, rgbpixel(0xFF0000FFu));
  releasewindow();
  const auto defaultdraw = promptboxdraw;
  promptboxdraw = recordbox;
  installhotkeys();
  keyringcreate();
  keyringput(0, 0x19, 16, 1);  // Ctrl+P
  keyringput(0, 0x31, 'x', 1);
  EXPECT_EQ(getkeyhot(), 0u);
  promptboxdraw = defaultdraw;
  EXPECT_EQ(boxx, 320 - 144);
  EXPECT_EQ(boxy, 240 - 8);
  EXPECT_EQ(boxw, 288);
  EXPECT_EQ(boxh, 24);
  EXPECT_EQ(boxpixel, rgbpixel(0xFFFF0000u)) << "the box went to the display";
  ASSERT_EQ(displaywindow(), 1);
  EXPECT_EQ(readpixel(boxx + 1, boxy + 1), rgbpixel(0xFF0000FFu)) << "what was under the box is back";
  releasewindow();
}

}  // namespace
