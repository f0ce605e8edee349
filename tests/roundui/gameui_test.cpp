// The in-round shape table, the in-round list's build and tear-down, and the common in-round button.
#include <gtest/gtest.h>

#include "app/gameapp.h"
#include "framework/ui/inputstate.h"
#include "golf/game.h"
#include "golf/golfmsg.h"
#include "roundfixture.h"
#include "roundui/chatbox.h"
#include "roundui/inroundbutton.h"
#include "roundui/shotui.h"
#include "platformlib/shapes/shapes.h"

namespace {

std::vector<uint8_t> Square(int side) {
  return UiFile({UiFrame(side, side, [](int, int) { return true; })});
}

class ShapeTableTest : public RoundUiTest {};

TEST_F(ShapeTableTest, MissingAndDamagedFilesLeaveTheirEntriesEmpty) {
  std::vector<uint8_t> damaged = Square(4);
  damaged.resize(damaged.size() - 9);
  WriteArchive({{"swball.fsh", Square(4)}, {"swrough.fsh", damaged}, {"putticon.fsh", Square(6)}});
  winapi::testing::TakeDebugOutput();
  EXPECT_EQ(LoadGameUIShapes(&folder_), 27);
  EXPECT_NE(GetGameUIShape(0), 0u);
  EXPECT_EQ(GetGameUIShape(1), 0u);
  EXPECT_EQ(GetGameUIShape(2), 0u);
  EXPECT_NE(GetGameUIShape(kGameUIWorkShape), 0u);
  EXPECT_NE(GetGameUIShape(29), 0u);
  for (uint32_t past : {30u, 31u, 0xFFFFFFFFu}) EXPECT_EQ(GetGameUIShape(past), 0u) << past;
  const std::string out = winapi::testing::TakeDebugOutput();
  EXPECT_NE(out.find("ERROR: game UI file <swshadow.fsh> was not loaded."), std::string::npos);
  EXPECT_NE(out.find("ERROR: game UI file <swrough.fsh> was not loaded."), std::string::npos);
  EXPECT_EQ(out.find("<swball.fsh>"), std::string::npos);
  // A missing frame draws nothing.
  EXPECT_EQ(GameUIFrame(1, 0), nullptr);
  EXPECT_EQ(GameUIFrame(29, 1), nullptr);
  ASSERT_NE(GameUIFrame(29, 0), nullptr);
  FreeGameUIShapes();
  for (uint32_t i = 0; i < kGameUIShapeCount; ++i) EXPECT_EQ(GetGameUIShape(i), 0u) << i;
}

TEST_F(ShapeTableTest, TheFirstBuildMakesTheListHiddenAndLaterBuildsLoadNothing) {
  WriteArchive({{"pmback98.fsh", Square(8)}});
  winapi::testing::TakeDebugOutput();
  Folders().ui640 = folder_;
  DestroyGameUI();  // nothing built: harmless
  BuildGameUI();
  ASSERT_TRUE(GameUIBuilt());
  TGameUIEventHandlerList* list = InRound().list;
  EXPECT_EQ(CurrentHandlerList(), list);
  EXPECT_EQ(list->keyboardNavigation, 0);
  EXPECT_EQ(list->reverseDrawing, 1);
  ASSERT_GE(list->Count(), 2u);
  for (uint32_t i = 0; MA_EventHandler* e = list->At(i); ++i)
    EXPECT_EQ(e->flags & (kHandlerShown | kHandlerEnabled), 0u) << i;
  const TGameUIManager& m = GameUIManager();
  EXPECT_EQ(m.inputEnabled + m.shotInputAllowed + m.chatAllowed, 3u);
  const MemHandle panel = GetGameUIShape(kShapePanelBack);
  EXPECT_NE(panel, 0u);
  winapi::testing::TakeDebugOutput();
  BuildGameUI();
  EXPECT_EQ(InRound().list, list);
  EXPECT_EQ(GetGameUIShape(kShapePanelBack), panel);
  EXPECT_EQ(winapi::testing::TakeDebugOutput().find("was not loaded"), std::string::npos);
  DestroyGameUI();
  EXPECT_FALSE(GameUIBuilt());
  EXPECT_EQ(CurrentHandlerList(), nullptr);
  EXPECT_EQ(InRound().shotUI, nullptr);
  EXPECT_EQ(GetGameUIShape(kShapePanelBack), 0u);
}

// The list is built hidden and disabled, but the chat box of a network round is no turn's control: it stays
// enabled, so its lines age in every golfer's turn.
TEST_F(ShapeTableTest, ANetworkRoundsChatBoxIsBuiltEnabledAndItsLinesAge) {
  WriteArchive({{"pmback98.fsh", Square(8)}});
  Folders().ui640 = folder_;
  ASSERT_EQ(CreateGame(kModeStroke), 1);
  TGame* g = CurrentGame();
  for (int s = 0; s < 2; ++s) g->players->GetPlayer(s)->flags |= kGolferTakesPart;
  g->SetNetworkGame(1);
  BuildGameUI();
  TGameChat* chat = ChatBox();
  ASSERT_NE(chat, nullptr);
  EXPECT_NE(chat->flags & kHandlerEnabled, 0u);
  chat->AddLine("GOLFER: hello");
  winapi::testing::AdvanceClock(TGameChat::kLineLife + 1);
  InRound().list->OnIdle();
  EXPECT_TRUE(chat->lines.empty());
  DestroyGameUI();
  DeleteCurrentGame();
}

// A 10 x 10 button whose left half is opaque.
class HalfButton : public TInRoundButton {
 public:
  HalfButton() : TInRoundButton(0) {
    left = 10;
    top = 10;
    right = 20;
    bottom = 20;
    frame_ = UiFile({UiFrame(10, 10, [](int x, int) { return x < 5; })});
    SetMaskShape(locateshapenum(frame_.data(), 0));
  }
  const uint8_t* GetHitShape(int) override { return locateshapenum(frame_.data(), 0); }
  void OnClick() override { ++clicks; }
  int clicks = 0;

 private:
  std::vector<uint8_t> frame_;
};

class InRoundButtonTest : public RoundUiTest {
 protected:
  void SetUp() override {
    RoundUiTest::SetUp();
    button_.flags = kHandlerShown | kHandlerEnabled | kHandlerFocus;
  }
  void TearDown() override {
    DeleteCurrentGame();
    ResetGolfHandler();
    RoundUiTest::TearDown();
  }
  HalfButton button_;
};

TEST_F(InRoundButtonTest, AClickActsOnlyOnAnOpaquePixelWithTheFocus) {
  struct Case {
    int16_t x, y;
    uint32_t flags;
    int clicks;
  } cases[] = {
      {12, 15, kHandlerShown | kHandlerEnabled | kHandlerFocus, 1},
      {17, 15, kHandlerShown | kHandlerEnabled | kHandlerFocus, 0},  // transparent, inside the rectangle
      {25, 15, kHandlerShown | kHandlerEnabled | kHandlerFocus, 0},
      {12, 15, kHandlerShown | kHandlerEnabled, 0},                  // no focus: only loses it
      {12, 15, kHandlerEnabled | kHandlerFocus, 0},                  // hidden
  };
  for (const Case& c : cases) {
    button_.clicks = 0;
    button_.flags = c.flags;
    const int taken = button_.OnPointerUp(c.x, c.y, 0);
    EXPECT_EQ(button_.clicks, c.clicks) << c.x << "," << c.y << " flags " << c.flags;
    EXPECT_EQ(taken, c.clicks);
    if (!c.clicks) {
      EXPECT_EQ(button_.flags & kHandlerFocus, 0u);
    }
  }
}

TEST_F(InRoundButtonTest, AWaitingNetworkStepRefusesInputOnlyInANetworkGame) {
  ASSERT_EQ(CreateGame(0), 1);
  for (const bool networked : {false, true})
    for (const uint32_t status : {0x70au, 0x723u, 0x70du}) {
      CurrentGame()->networked = networked ? 1 : 0;
      GolfState.status = status;
      button_.clicks = 0;
      button_.flags = kHandlerShown | kHandlerEnabled | kHandlerFocus;
      button_.OnPointerUp(12, 15, 0);
      const bool refused = networked && status != 0x70du;
      EXPECT_EQ(button_.clicks, refused ? 0 : 1) << networked << " " << std::hex << status;
      EXPECT_EQ(button_.IsPointerOver(12, 15, 0), refused ? 0 : 1);
    }
}

TEST_F(InRoundButtonTest, ThePressedLookFollowsThePointerWhileAButtonIsHeld) {
  struct Counting : HalfButton {
    void Draw(int) override { ++draws; }
    void OnPointerLeave(int16_t, int16_t) override { ++leaves; }
    int draws = 0, leaves = 0;
  } b;
  b.flags = kHandlerShown | kHandlerEnabled | kHandlerFocus;
  Input().buttonHeld = 1;
  SetCursorPos(12, 15);
  b.OnIdle();
  EXPECT_EQ(b.draws, 1);
  b.OnIdle();
  EXPECT_EQ(b.draws, 1);
  SetCursorPos(18, 15);
  b.OnIdle();
  EXPECT_EQ(b.draws, 2);
  EXPECT_EQ(b.leaves, 1);
  Input().buttonHeld = 0;
  SetCursorPos(12, 15);
  b.OnIdle();
  EXPECT_EQ(b.draws, 2);
}

TEST_F(InRoundButtonTest, EraseRestoresTheMaskedPixelsAndDropsAMaskOfAFreedTable) {
  WindowDesc* back = RoleImage(kRoleErase)->window;
  Fill(back, 0x1234);
  Fill(Back(), 0x7777);
  button_.Erase(0);
  EXPECT_EQ(Pixel(Back(), 12, 15), 0x1234);
  EXPECT_EQ(Pixel(Back(), 17, 15), 0x7777);
  // The mask came before the table was freed: it is never read again.
  FreeGameUIShapes();
  Fill(Back(), 0x7777);
  button_.Erase(0);
  EXPECT_EQ(Pixel(Back(), 12, 15), 0x7777);
  EXPECT_EQ(button_.MaskShape(), nullptr);
}

TEST_F(InRoundButtonTest, RestoreScreenRectRepaintsTheWholeScreenWithoutARectangle) {
  Fill(RoleImage(kRoleErase)->window, 0x0F0F);
  Fill(Back(), 0);
  RestoreScreenRect(nullptr);
  EXPECT_EQ(CountNot(Back(), 0x0F0F), 0);
  Fill(Back(), 0);
  const MARect r{2, 3, 6, 5};
  RestoreScreenRect(&r);
  EXPECT_EQ(CountNot(Back(), 0), 8);
}

TEST(ShotUITest, MoneyAndGameMessages) {
  EXPECT_EQ(FormatMoney(5), "$5");
  EXPECT_EQ(FormatMoney(999), "$999");
  EXPECT_EQ(FormatMoney(1000), "$1,000");
  EXPECT_EQ(FormatMoney(1234567), "$1,234,567");
  EXPECT_EQ(GameMessageText(0, "x"), "This hole is halved.");
  EXPECT_EQ(GameMessageText(6, "Ada"), "Ada has won the Shoot-Out!");
  EXPECT_EQ(GameMessageText(8, "Ada"), "");
}

}  // namespace
