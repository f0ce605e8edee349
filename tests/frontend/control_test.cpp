// The control base: hit test, press tracking, hot keys, and the fire protocol from trigger to click handler.
#include "fefixture.h"

namespace {

int gFired = 0;
void CountFire(TGenericControlADV*) { ++gFired; }

// A control over a rectangle that draws nothing.
class Plain : public TGenericControlADV {
 public:
  explicit Plain(uint32_t controlFlags = 0)
      : TGenericControlADV(0, 'Q', 1, kKindButton, kHandlerShown | kHandlerEnabled, controlFlags, nullptr) {
    left = 10, top = 10, right = 40, bottom = 30;
    clickHandler = CountFire;
  }
  void Draw(int) override { ++draws; }
  int draws = 0;
};

}  // namespace

class ControlTest : public FrontEndTest {
 protected:
  void SetUp() override {
    FrontEndTest::SetUp();
    gFired = 0;
  }
  void Idle(Plain& c, int passes = 1) {
    for (int i = 0; i < passes; ++i) c.OnIdle();
  }
  void Pointer(int x, int y, bool held) {
    SetCursorPos(x, y);
    Input().buttonHeld = held ? 1 : 0;
  }
};

TEST_F(ControlTest, ClickFiresOnceAfterTheSoundHasEnded) {
  struct Case {
    const char* name;
    bool audible;
    int clicks;
  } cases[] = {{"silent", false, 1}, {"sound playing", true, 1}, {"two clicks in one sound", true, 2}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    gFired = 0;
    sound_.audible = k.audible;
    sound_.playing = false;
    Plain c;
    c.SetFocus(1);
    for (int i = 0; i < k.clicks; ++i) {
      Pointer(20, 20, true);
      ASSERT_EQ(c.OnPointerDown(20, 20, 0), 1);
      Pointer(20, 20, false);
      ASSERT_EQ(c.OnPointerUp(20, 20, 0), 1);
      Idle(c);
    }
    EXPECT_EQ(RunFires(), k.audible ? 0 : 1);
    sound_.playing = false;  // the sound ends
    Idle(c, 3);
    RunFires();
    EXPECT_EQ(gFired, 1);
    EXPECT_EQ(sound_.started, k.audible ? 1 : sound_.started);
    sound_.started = 0;
  }
}

TEST_F(ControlTest, ReleaseOutsideDoesNotFireAndDropsTheFocus) {
  Plain c;
  c.SetFocus(1);
  Pointer(20, 20, true);
  c.OnPointerDown(20, 20, 0);
  Idle(c);
  EXPECT_EQ(c.pointerInside, 1);
  Pointer(100, 100, true);
  Idle(c);
  EXPECT_EQ(c.pointerInside, 0);
  Pointer(100, 100, false);
  EXPECT_EQ(c.OnPointerUp(100, 100, 0), 0);
  Idle(c, 2);
  EXPECT_EQ(RunFires(), 0);
  EXPECT_EQ(gFired, 0);
  EXPECT_FALSE(c.HasFocus());
}

TEST_F(ControlTest, AutoRepeatFiresEveryPassWhileHeldAndNotOnRelease) {
  Plain c(CF_AUTO_FIRE);
  c.SetFocus(1);
  Pointer(20, 20, true);
  c.OnPointerDown(20, 20, 0);
  Idle(c);  // the pointer enters: pressed look
  Idle(c, 3);
  EXPECT_EQ(gFired, 3);
  Pointer(20, 20, false);
  c.OnPointerUp(20, 20, 0);
  Idle(c, 2);
  RunFires();
  EXPECT_EQ(gFired, 3);
}

TEST_F(ControlTest, HotKeysMatchLettersInEitherCaseOnly) {
  struct Case {
    uint16_t hot, typed;
    bool matches;
  } cases[] = {{'Q', 'q', true}, {'q', 'Q', true}, {'Q', 'Q', true}, {'1', '1', true}, {'[', '{', false}, {'Q', 'W', false}};
  for (const Case& k : cases) {
    Plain c;
    c.SetHotKeys({k.hot});
    EXPECT_EQ(c.OnChar(k.typed), k.matches ? 1 : 0) << char(k.hot) << " " << char(k.typed);
    EXPECT_EQ(c.matchedHotKey, k.matches ? 1 : 0);
  }
}

TEST_F(ControlTest, KeyUpControlTakesThePressAndTriggersOnRelease) {
  Plain c(CF_FIRE_ON_KEY_UP);
  EXPECT_EQ(c.OnChar('q'), 1);
  EXPECT_FALSE(c.controlFlags & CF_FIRE_PENDING);
  EXPECT_EQ(c.OnKeyUp('Q'), 1);
  EXPECT_TRUE(c.controlFlags & CF_FIRE_PENDING);
  Idle(c);
  RunFires();
  EXPECT_EQ(gFired, 1);
}

TEST_F(ControlTest, HotKeyListsEndWithinEightWords) {
  Plain c;
  c.SetHotKeys({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i'});
  EXPECT_EQ(c.codes[7], 0);
  EXPECT_EQ(c.OnChar('g'), 1);
  EXPECT_EQ(c.OnChar('h'), 0);
}

TEST_F(ControlTest, ControlWithoutHandlerIsInert) {
  Plain c;
  c.clickHandler = nullptr;
  EXPECT_EQ(c.OnPointerDown(20, 20, 0), 0);
  EXPECT_EQ(c.OnChar('Q'), 0);
}

TEST_F(ControlTest, FireForADestroyedControlIsDropped) {
  auto* c = new Plain;
  c->OnActivate(0);
  c->OnIdle();
  delete c;
  EXPECT_EQ(RunFires(), 1);
  EXPECT_EQ(gFired, 0);
}

TEST_F(ControlTest, ShadowFrameOfDepthZeroOnlyHalvesTheRectangle) {
  WindowDesc* w = createwindowadra(20, 20, 16, 1);
  ASSERT_NE(w, nullptr);
  auto* p = reinterpret_cast<uint16_t*>(w->pixels);
  for (int i = 0; i < 20 * w->rowbytes / 2; ++i) p[i] = 0xFFFF;
  MARect out{};
  DrawShadowFrame(MARect{5, 5, 10, 10}, 0, w, &out);
  EXPECT_EQ(out.left, 5);
  EXPECT_EQ(out.right, 10);
  const auto at = [&](int x, int y) { return reinterpret_cast<uint16_t*>(w->pixels + y * w->rowbytes)[x]; };
  EXPECT_EQ(at(6, 6), 0x7BEF);
  EXPECT_EQ(at(4, 4), 0xFFFF);
  DrawShadowFrame(MARect{5, 5, 10, 10}, 3, w, &out);
  EXPECT_EQ(out.left, 2);
  EXPECT_LT(at(4, 7), 0xFFFF);  // the ring next to the rectangle is darkened
  EXPECT_LE(at(4, 7), at(2, 7));  // darkest next to the rectangle
  removewindow(w);
}
