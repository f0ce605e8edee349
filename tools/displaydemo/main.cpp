// displaydemo [--frames N] [--fullscreen]
// Opens an 800x600x16 display through the platform library and flips between two colours, drawing a frame
// counter. Ends on Escape, when the window is closed, or after N frames.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platformlib/display/displaymode.h"
#include "platformlib/display/keyboard.h"
#include "platformlib/display/mainwindow.h"
#include "platformlib/core/memclass.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/core/timer.h"
#include "platformlib/display/windisplay.h"
#include "platformlib/gfx/windowdesc.h"

namespace {

// Seven segments a digit: a b c d e f g.
const uint8_t kSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

void drawdigit(int32_t x, int32_t y, int digit, uint32_t colour) {
  const int32_t w = 24, h = 44, t = 6;
  const uint8_t s = kSegments[digit];
  if (s & 0x01) fillrect(x, y, w, t, colour);
  if (s & 0x02) fillrect(x + w - t, y, t, h / 2, colour);
  if (s & 0x04) fillrect(x + w - t, y + h / 2, t, h / 2, colour);
  if (s & 0x08) fillrect(x, y + h - t, w, t, colour);
  if (s & 0x10) fillrect(x, y + h / 2, t, h / 2, colour);
  if (s & 0x20) fillrect(x, y, t, h / 2, colour);
  if (s & 0x40) fillrect(x, y + h / 2 - t / 2, w, t, colour);
}

void drawcounter(uint32_t frame, uint32_t colour) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%06u", frame % 1000000u);
  for (int i = 0; digits[i]; ++i) drawdigit(40 + i * 34, 40, digits[i] - '0', colour);
}

int usage() {
  std::fprintf(stderr, "usage: displaydemo [--frames N] [--fullscreen]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  long frames = -1;
  bool fullscreen = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--frames") && i + 1 < argc) {
      char* end = nullptr;
      frames = std::strtol(argv[++i], &end, 10);
      if (!end || *end || frames < 0) return usage();
    } else if (!std::strcmp(argv[i], "--fullscreen")) {
      fullscreen = true;
    } else {
      return usage();
    }
  }
  std::snprintf(mainwindowprogramname, sizeof mainwindowprogramname, "displaydemo");
  if (!initmem()) {
    std::fprintf(stderr, "displaydemo: no memory\n");
    return 1;
  }
  initmainthread();
  inittimer(100);
  displayoptions = static_cast<uint8_t>((fullscreen ? DISPLAY_FULLSCREEN : 0) | DISPLAY_BLITTING | DISPLAY_NOFLIP);
  displaypages = 2;
  initgraphics(800, 600, 16);
  if (graphicsstate != 7) {
    std::fprintf(stderr, "displaydemo: no display (%s)\n", ddrawresult.load() ? ddrawresult.load() : "?");
    return 1;
  }
  std::printf("display %dx%dx%d\n", displaywidth, displayheight, displaydepth);
  std::fflush(stdout);
  const uint32_t colours[2] = {0xFF2060C0u, 0xFFC06020u};
  for (uint32_t frame = 0; frames < 0 || frame < static_cast<uint32_t>(frames); ++frame) {
    WindowDesc* page = getsecondpage()->signature == kWindowSignature ? getsecondpage() : getdisplaywindow();
    if (setwindow(page)) {
      const uint32_t colour = colours[(frame / 30) % 2];
      fillrect(0, 0, CurrentWindow.width, CurrentWindow.height, rgbpixel(colour));
      drawcounter(frame, rgbpixel(0xFFFFFFFFu));
      releasewindow();
    }
    flipwindisplay(1);
    bool escape = false;
    while (const uint32_t key = getkey())
      if ((key & 0xFF) == 27) escape = true;
    if (escape) break;
    runsystemtasks();  // a closed window ends the program from here
    Sleep(16);
  }
  restoregraphics();
  stoptimer();
  std::printf("displaydemo: done\n");
  return 0;
}
