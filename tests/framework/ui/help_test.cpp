// Help boxes: shown after the rest delay over a focused element, placed inside the screen, removed by a
// press or a lost focus with the background put back, and the shared help font by screen size.
#include <map>
#include <string>
#include <vector>

#include "framework/core/errors.h"
#include "framework/ui/handlergroup.h"
#include "uifixture.h"

namespace {

std::vector<std::string>& Asked() {
  static std::vector<std::string> asked;
  return asked;
}

MemHandle LoadHelp(const char*, const char* name, uint32_t) {
  Asked().push_back(name);
  if (std::string(name) == "missing.ffn") return 0;
  static const std::vector<uint8_t> bytes = SolidFont({{'H', 5, 6}, {'i', 5, 6}});
  return HandleWith(bytes);
}

int frames = 0;
MARect framed{};
void RecordFrame(const MARect& rect, int32_t width, WindowDesc*) {
  ++frames;
  framed = rect;
  EXPECT_EQ(width, 3);
}

}  // namespace

class HelpTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    ClearDirtyRects();
    Asked().clear();
    frontEnd_.loader = LoadHelp;
    Fill(Back(), 0x0101);
    Input().pointerX = 50;
    Input().pointerY = 60;
  }
  void TearDown() override {
    THelpTextMixin::HideHelpText();
    THelpTextMixin::FreeSharedFont();
    UiTest::TearDown();
  }
  const MARect element_{40, 50, 70, 70};
};

TEST_F(HelpTest, DefaultsAndTheSharedFontBySize) {
  THelpTextMixin a(0);
  EXPECT_EQ(a.x, kWidth - 8);
  EXPECT_EQ(a.y, kHeight - 1);
  EXPECT_EQ(a.alignment, 4);
  EXPECT_EQ(a.textColour, 0xFFFFu);
  EXPECT_EQ(a.backgroundColour, 0u);
  EXPECT_NE(a.font, 0);
  THelpTextMixin b(0);
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Hal8b.ffn"}));  // loaded once for all
  EXPECT_EQ(b.font, a.font);
  Facts().sizeSetting = 3;
  THelpTextMixin c(0);
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Hal8b.ffn", "Hal12b.ffn"}));
}

TEST_F(HelpTest, OwnFontStyleNeverFreesTheSharedFont) {
  THelpTextMixin keeper(0);
  {
    THelpTextMixin owner(kHelpOwnFont);
    EXPECT_EQ(owner.font, keeper.font);
  }
  EXPECT_GT(MemHandleSize(keeper.font), 0u);
  keeper.text = "Hi";
  THelpTextMixin::ShowHelpText(&keeper, element_, 1);
  EXPECT_EQ(THelpTextMixin::BoxOwner(), &keeper);
}

TEST_F(HelpTest, WithNoDelayTheBoxComesOnTheFirstPass) {
  THelpTextMixin help(0);
  help.text = "Hi";
  help.x = -1;
  help.y = -1;
  help.alignment = 2;
  THelpTextMixin::ShowHelpText(&help, element_, 1);
  ASSERT_EQ(THelpTextMixin::BoxOwner(), &help);
  const MARect box = THelpTextMixin::BoxRect();
  // 2 characters of 6 + shadow 1 + 4 wide; line 8 + shadow 1 + 2 high; above the element's top.
  EXPECT_EQ(box.right - box.left, 17);
  EXPECT_EQ(box.bottom - box.top, 11);
  EXPECT_EQ(box.left, 50);
  EXPECT_EQ(box.top, 50 - 11 - 5);
  EXPECT_GT(CountNot(Back(), 0x0101), 0);
  EXPECT_GT(zonecount(), 0);
  // A second pass keeps the one box.
  THelpTextMixin::ShowHelpText(&help, element_, 1);
  EXPECT_EQ(THelpTextMixin::BoxOwner(), &help);
}

TEST_F(HelpTest, BoxWaitsForThePointerToRest) {
  THelpTextMixin help(0);
  help.text = "Hi";
  help.delay = 1.5f;
  Input().lastInputTime = Input().clock;
  THelpTextMixin::ShowHelpText(&help, element_, 1);
  EXPECT_EQ(THelpTextMixin::BoxOwner(), nullptr);
  winapi::testing::AdvanceClock(1499);
  InputUpdateClock();
  THelpTextMixin::ShowHelpText(&help, element_, 1);
  EXPECT_EQ(THelpTextMixin::BoxOwner(), nullptr);
  winapi::testing::AdvanceClock(1);
  InputUpdateClock();
  THelpTextMixin::ShowHelpText(&help, element_, 1);
  EXPECT_EQ(THelpTextMixin::BoxOwner(), &help);
}

TEST_F(HelpTest, BoxNearTheRightEdgeIsShiftedToEndThere) {
  THelpTextMixin help(0);
  help.text = "Hi";
  help.alignment = 2;
  help.x = kWidth - 5;
  THelpTextMixin::ShowHelpText(&help, element_, 1);
  EXPECT_EQ(THelpTextMixin::BoxRect().right, kWidth);
  EXPECT_EQ(THelpTextMixin::BoxRect().left, kWidth - 17);
}

TEST_F(HelpTest, BoxThatWouldLeaveTheTopGoesBelowThePointer) {
  THelpTextMixin help(0);
  help.text = "Hi";
  help.y = 4;
  THelpTextMixin::ShowHelpText(&help, element_, 1);
  EXPECT_EQ(THelpTextMixin::BoxRect().top, 60 + 11 - 25);
}

TEST_F(HelpTest, PressOrLostFocusRemovesTheBoxAndRestoresTheBackground) {
  for (int how = 0; how < 3; ++how) {
    Fill(Back(), 0x0101);
    auto* help = new THelpTextMixin(0);
    help->text = "Hi";
    THelpTextMixin::ShowHelpText(help, element_, 1);
    ASSERT_EQ(THelpTextMixin::BoxOwner(), help);
    if (how == 0) {
      Input().buttonHeld = 1;
      THelpTextMixin::ShowHelpText(help, element_, 1);
    } else if (how == 1) {
      THelpTextMixin::ShowHelpText(help, element_, 0);
    }
    delete help;  // how == 2: the owner goes
    EXPECT_EQ(THelpTextMixin::BoxOwner(), nullptr) << how;
    EXPECT_EQ(CountNot(Back(), 0x0101), 0) << how;
    Input().buttonHeld = 0;
  }
}

TEST_F(HelpTest, AnotherElementDoesNotTakeAwayTheBox) {
  THelpTextMixin a(0), b(0);
  a.text = "Hi";
  b.text = "i";
  THelpTextMixin::ShowHelpText(&a, element_, 1);
  THelpTextMixin::ShowHelpText(&b, element_, 0);
  EXPECT_EQ(THelpTextMixin::BoxOwner(), &a);
  THelpTextMixin::ShowHelpText(&b, element_, 1);
  EXPECT_EQ(THelpTextMixin::BoxOwner(), &a);
}

TEST_F(HelpTest, FramedBoxSavesRoomForTheFrame) {
  frontEnd_.shadowDrawer = RecordFrame;
  frames = 0;
  THelpTextMixin help(kHelpFramed);
  help.text = "Hi";
  THelpTextMixin::ShowHelpText(&help, element_, 1);
  EXPECT_EQ(frames, 1);
  EXPECT_EQ(framed.left, THelpTextMixin::BoxRect().left);
  ASSERT_GT(zonecount(), 0);
  EXPECT_EQ(zonelist()[zonecount() - 1].x1, THelpTextMixin::BoxRect().left - 3 - 1);  // saved with the frame
  THelpTextMixin::HideHelpText();
  EXPECT_EQ(CountNot(Back(), 0x0101), 0);
}

TEST_F(HelpTest, StandInFrameIsDrawnAndRemoved) {
  THelpTextMixin help(kHelpFramed | kHelpFilled);
  help.text = "Hi";
  help.fillColour = 0x00F0;
  help.outlineColour = 0x0F00;
  help.x = 100;
  help.y = 100;
  THelpTextMixin::ShowHelpText(&help, element_, 1);
  const MARect box = THelpTextMixin::BoxRect();
  EXPECT_EQ(Pixel(Back(), box.left - 1, box.top), 0);  // the frame
  EXPECT_EQ(Pixel(Back(), box.left, box.top), 0x0F00);  // the outline
  EXPECT_EQ(Pixel(Back(), box.left + 1, box.bottom - 2), 0x00F0);
  THelpTextMixin::HideHelpText();
  EXPECT_EQ(CountNot(Back(), 0x0101), 0);
}

TEST_F(HelpTest, MissingFontIsReportedAndNoBoxIsShown) {
  THelpTextMixin help(0);
  winapi::testing::TakeMessageBoxes();
  help.ReloadFont("missing.ffn");
  EXPECT_EQ(help.font, 0);
  EXPECT_EQ(help.style & kHelpOwnFont, kHelpOwnFont);
  const auto boxes = winapi::testing::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("file was not found"), std::string::npos);
  help.text = "Hi";
  THelpTextMixin::ShowHelpText(&help, element_, 1);
  EXPECT_EQ(THelpTextMixin::BoxOwner(), nullptr);
  help.ReloadFont("Own.ffn");
  EXPECT_NE(help.font, 0);
}

TEST_F(HelpTest, RedrawNowCopiesTheWholeBackBufferAndEmptiesTheDirtyList) {
  AddDirtyRect(MARect{0, 0, 5, 5});
  RedrawScreenNow();
  EXPECT_EQ(CountNot(Display(), 0x0101), 0);
  EXPECT_EQ(DisplayMgr().dirtyCount, 0);
  EXPECT_EQ(zonecount(), 0);
}
