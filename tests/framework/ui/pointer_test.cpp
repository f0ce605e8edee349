// Software pointer: drawn for the update and gone from the back buffer afterwards, the show count, the wait
// animation on the display, and save areas clipped at the screen edge.
#include <string>
#include <vector>

#include "platformlib/gfx/pixels.h"
#include "uifixture.h"

namespace {

std::vector<std::string>& AnimLog() {
  static std::vector<std::string> log;
  return log;
}

// Draws a 4 x 4 block of its own colour at its position, and records starts and stops.
class BlockAnim : public ShellAnim {
 public:
  BlockAnim(std::string name, uint32_t colour) : name_(std::move(name)), colour_(colour) {}
  void Start() override { AnimLog().push_back(name_ + ":start"); }
  void Stop(int) override { AnimLog().push_back(name_ + ":stop"); }
  void SetPosition(int32_t x, int32_t y) override {
    x_ = x;
    if (y != -1) y_ = y;
  }
  void Draw() override { fillrect(x_, y_, 4, 4, colour_); }

 private:
  std::string name_;
  uint32_t colour_;
  int32_t x_ = 0, y_ = 0;
};

constexpr uint16_t kArrow = 0x07E0, kWait = 0xF800;

ShellAnim* MakeBlocks(const char* file, ShellAnim* frames, int, int, int, int) {
  if (!file) return frames ? new BlockAnim("wait2", kWait) : nullptr;
  if (std::string(file) == "mouseptr.fsh") return new BlockAnim("arrow", kArrow);
  return new BlockAnim("wait", kWait);
}

}  // namespace

class PointerTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    ClearDirtyRects();
    AnimLog().clear();
    frontEnd_.animFactory = MakeBlocks;
    MouseInit();
    Input().pointerX = 30;
    Input().pointerY = 40;
  }
  int Count(const WindowDesc* w, uint16_t v) {
    int n = 0;
    for (int32_t y = 0; y < w->height; ++y)
      for (int32_t x = 0; x < w->width; ++x) n += Pixel(w, x, y) == v;
    return n;
  }
};

TEST_F(PointerTest, InitHidesTheSystemCursorAndStartsTheArrow) {
  EXPECT_EQ(Mouse().initialised, 1);
  EXPECT_EQ(Mouse().showCount, 1);
  EXPECT_EQ(Mouse().current, Mouse().arrow);
  EXPECT_EQ(AnimLog(), (std::vector<std::string>{"arrow:start"}));
  EXPECT_NE(Mouse().save, nullptr);
  EXPECT_EQ(Mouse().save2, nullptr);  // a 16-bit display needs no second save window
  EXPECT_EQ(ShowCursor(TRUE), 0);  // init hid it once
  MouseShutdown();
  EXPECT_EQ(Mouse().initialised, 0);
  EXPECT_EQ(ShowCursor(FALSE), 0);  // shut-down showed it
  MouseShutdown();                  // a second shut-down only shows the cursor again
  EXPECT_EQ(ShowCursor(FALSE), 0);
}

TEST_F(PointerTest, UpdateShowsThePointerButLeavesNoneInTheBackBuffer) {
  Fill(Back(), 0x0011);
  AddDirtyRect(MARect{0, 0, 2, 2});
  UpdateScreen();
  EXPECT_EQ(Count(Display(), kArrow), 16);
  EXPECT_EQ(Pixel(Display(), 30, 40), kArrow);
  EXPECT_EQ(Count(Back(), kArrow), 0);
  EXPECT_EQ(CountNot(Back(), 0x0011), 0);
  // Moving the pointer redraws both places.
  Input().pointerX = 100;
  UpdateScreen();
  EXPECT_EQ(Pixel(Display(), 30, 40), 0x0011);
  EXPECT_EQ(Pixel(Display(), 100, 40), kArrow);
  EXPECT_EQ(Count(Back(), kArrow), 0);
}

TEST_F(PointerTest, TwoHidesNeedTwoShows) {
  MouseHide();
  MouseHide();
  MouseShow();
  EXPECT_EQ(MouseIsShown(), 0);
  AddDirtyRect(MARect{0, 0, kWidth, kHeight});
  UpdateScreen();
  EXPECT_EQ(Count(Display(), kArrow), 0);
  MouseShow();
  EXPECT_EQ(MouseIsShown(), 1);
  EXPECT_EQ(Mouse().redrawPending, 1);
  UpdateScreen();
  EXPECT_EQ(Count(Display(), kArrow), 16);
  EXPECT_EQ(Count(Back(), kArrow), 0);
}

TEST_F(PointerTest, HidingMarksThePointerAreaDirty) {
  UpdateScreen();
  ClearDirtyRects();
  MouseHide();
  ASSERT_EQ(zonecount(), 1);
  EXPECT_EQ(zonelist()[0].x1, 29);
  EXPECT_EQ(zonelist()[0].x2, 30 + kPointerSize);
}

TEST_F(PointerTest, BusyTwiceThenOneUpdateLeavesTheArrow) {
  MouseBusyOn();
  MouseBusyOn();
  EXPECT_EQ(AnimLog(), (std::vector<std::string>{"arrow:start", "wait:start"}));
  EXPECT_EQ(Mouse().bits & 1u, 1u);
  MouseBusyOff();  // ends only at the next update
  EXPECT_EQ(Mouse().bits & 1u, 1u);
  UpdateScreen();
  EXPECT_EQ(Mouse().bits & 1u, 0u);
  EXPECT_EQ(Mouse().current, Mouse().arrow);
  EXPECT_EQ(AnimLog().back(), "wait:stop");
}

TEST_F(PointerTest, WaitAnimationMovesOnTheDisplayDuringLongWork) {
  Fill(display_, 0x0022);
  DisplayWindow = *display_;
  MouseBusyOn();
  MouseUpdate();
  EXPECT_EQ(Count(Display(), kWait), 16);
  EXPECT_EQ(Count(Back(), kWait), 0);
  Input().pointerX = 60;
  SetCursorPos(60, 40);
  MouseUpdate();
  EXPECT_EQ(Count(Display(), kWait), 16);
  EXPECT_EQ(Pixel(Display(), 30, 40), 0x0022);  // the old place is restored
  EXPECT_EQ(Pixel(Display(), 60, 40), kWait);
  Facts().hardwareDisplay = 1;
  SetCursorPos(90, 40);
  MouseUpdate();
  EXPECT_EQ(Pixel(Display(), 60, 40), kWait);  // not on the hardware path
}

TEST_F(PointerTest, SaveAreaAtTheScreenEdgeIsClipped) {
  Fill(Back(), 0x0033);
  Input().pointerX = kWidth - 3;
  Input().pointerY = kHeight - 3;
  AddDirtyRect(MARect{0, 0, 1, 1});
  UpdateScreen();
  EXPECT_EQ(Count(Display(), kArrow), 9);
  EXPECT_EQ(CountNot(Back(), 0x0033), 0);
}

TEST_F(PointerTest, InputSuspensionIsItsOwnBit) {
  MouseSuspendInput(1);
  EXPECT_EQ(MouseInputSuspended(), 1);
  MouseBusyOn();
  MouseSuspendInput(0);
  EXPECT_EQ(MouseInputSuspended(), 0);
  EXPECT_EQ(Mouse().bits, 1u);
}

TEST_F(PointerTest, BusyImageRestartsTheArrow) {
  MouseSetBusyImage();
  EXPECT_EQ(AnimLog(), (std::vector<std::string>{"arrow:start", "arrow:stop", "arrow:start"}));
  MouseClearSaveWindows();
  EXPECT_EQ(CountNot(Mouse().save, 0), 0);
}

TEST_F(PointerTest, EightBitDisplayKeepsASecondSaveWindowForTheWaitPointer) {
  MouseShutdown();
  WindowDesc* eight = Make(kWidth, kHeight, 8);
  const WindowDesc sixteen = DisplayWindow;
  DisplayWindow = *eight;
  MouseInit();
  EXPECT_NE(Mouse().save2, nullptr);
  MouseShutdown();
  DisplayWindow = sixteen;
}
