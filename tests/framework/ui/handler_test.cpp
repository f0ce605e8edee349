// Elements and handler lists: flags, focus by pointer, Tab and arrows, special kinds, routing of keys and
// pointer events, capture, ownership through reference counts, and groups of elements.
#include <string>
#include <vector>

#include "framework/ui/handlergroup.h"
#include "uifixture.h"

namespace {

std::vector<std::string>& Log() {
  static std::vector<std::string> log;
  return log;
}
int& Destroyed() {
  static int n = 0;
  return n;
}

// An element over a rectangle that records what reaches it.
class Probe : public MA_EventHandler {
 public:
  Probe(const char* name, uint32_t flags, uint16_t kind = 0, MARect r = {0, 0, 0, 0})
      : MA_EventHandler(flags, 0, kind, 0, 0), name_(name) {
    left = r.left, top = r.top, right = r.right, bottom = r.bottom;
  }
  ~Probe() override { ++Destroyed(); }
  int OnPointerDown(int16_t, int16_t, uint8_t) override { return Note("down", takes); }
  int OnChar(uint16_t code) override { return Note("char" + std::to_string(code), takesChar); }
  int OnKeyUp(uint16_t code) override { return Note("up" + std::to_string(code), takes); }
  int OnKeyDown(uint16_t code) override { return Note("key" + std::to_string(code), takes); }
  int IsPointerOver(int16_t x, int16_t y, uint8_t) override { return x >= left && x < right && y >= top && y < bottom; }
  void OnActivate(uint16_t) override { Note("activate", 0); }
  void OnFocusChanged() override { ++focusChanges; }
  int OnIdle() override { return Note("idle", idleResult) ; }
  void Draw(int) override { Note("draw", 0); }
  void Erase(int) override { Note("erase", 0); }

  int takes = 0, takesChar = 0, idleResult = 1, focusChanges = 0;

 private:
  int Note(const std::string& what, int result) {
    Log().push_back(name_ + ":" + what);
    return result;
  }
  std::string name_;
};

constexpr uint32_t kLive = kHandlerShown | kHandlerEnabled;

void SetShift(bool down) {
  BYTE keys[256] = {};
  if (down) keys[VK_SHIFT] = 0x80;
  SetKeyboardState(keys);
}

}  // namespace

class HandlerTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    Log().clear();
    Destroyed() = 0;
    SetShift(false);
  }
};

TEST_F(HandlerTest, ConstructorsSetTheWholeScreenAndTheCodes) {
  MA_EventHandler plain;
  EXPECT_EQ(plain.right, kWidth);
  EXPECT_EQ(plain.bottom, kHeight);
  EXPECT_EQ(plain.refCount, 0);
  EXPECT_EQ(plain.flags, 0u);
  MA_EventHandler full(kLive, 7, 3, 99, 1234);
  EXPECT_EQ(full.id, 7);
  EXPECT_EQ(full.kind, 3);
  EXPECT_EQ(full.codes[0], 99);
  EXPECT_EQ(full.codes[7], 0);
  EXPECT_EQ(full.data, 1234u);
  EXPECT_EQ(full.userWord, 0u);
  EXPECT_EQ(full.OnIdle(), 1);
  EXPECT_EQ(full.FirstFocusable(), &full);
  EXPECT_EQ(full.NextFocusable(), nullptr);
  MARect r{};
  EXPECT_EQ(full.GetRect(&r), &r);
  EXPECT_EQ(r.right, kWidth);
}

TEST_F(HandlerTest, FlagOperations) {
  Probe p("p", kLive);
  p.SetFocus(1);
  p.SetFocus(1);  // already focused: no second notice
  EXPECT_EQ(p.focusChanges, 1);
  p.Show(0, 0);  // only the shown bit goes
  EXPECT_EQ(p.HasFocus(), 1);
  EXPECT_EQ(p.IsShownAndEnabled(), 0);
  EXPECT_TRUE(Log().empty());
  p.Show(1, 1);
  p.Show(0, 1);  // erases and drops the focus
  EXPECT_EQ(p.HasFocus(), 0);
  EXPECT_EQ(Log(), (std::vector<std::string>{"p:draw", "p:erase"}));
  p.Activate(1, 0);
  EXPECT_EQ(p.IsShownAndEnabled(), 1);
  p.SetFocus(1);
  p.Enable(0, 0);
  EXPECT_EQ(p.HasFocus(), 0);
  p.SetNoArrowFocus(1);
  p.SetUserFlag(1);
  EXPECT_EQ(p.flags & (kHandlerNoArrowFocus | kHandlerUserFlag), kHandlerNoArrowFocus | kHandlerUserFlag);
  Probe shownOnly("s", kHandlerShown);
  EXPECT_EQ(shownOnly.IsShownAndEnabled(), 0);
}

TEST_F(HandlerTest, TabWithoutACurrentElementStopsShortOfTheFarEnd) {
  TMA_EventHandlerList one;
  auto* only = new Probe("a", kLive);
  one.AddHandler(only);
  EXPECT_EQ(one.OnChar(kKeyTab), 1);
  EXPECT_EQ(one.current, nullptr);

  TMA_EventHandlerList two;
  auto* a = new Probe("a", kLive);
  auto* b = new Probe("b", kLive);
  two.AddHandler(a);
  two.AddHandler(b);
  two.OnChar(kKeyTab);
  EXPECT_EQ(two.current, a);
  EXPECT_EQ(a->HasFocus(), 1);
  two.OnChar(kKeyTab);
  EXPECT_EQ(two.current, b);
  EXPECT_EQ(a->HasFocus(), 0);
  two.OnChar(kKeyTab);  // wraps
  EXPECT_EQ(two.current, a);

  TMA_EventHandlerList back;
  auto* c = new Probe("c", kLive);
  auto* d = new Probe("d", kLive);
  back.AddHandler(c);
  back.AddHandler(d);
  SetShift(true);
  back.OnChar(kKeyTab);
  EXPECT_EQ(back.current, d);
  back.OnChar(kKeyTab);
  EXPECT_EQ(back.current, c);
}

TEST_F(HandlerTest, FocusKeysSkipHiddenNoFocusKindsAndArrowShyElements) {
  TMA_EventHandlerList list;
  auto* a = new Probe("a", kLive);
  auto* hidden = new Probe("h", kHandlerEnabled);
  auto* nofocus = new Probe("n", kLive, kKindNoFocus);
  auto* shy = new Probe("s", kLive);
  auto* z = new Probe("z", kLive);
  shy->SetNoArrowFocus(1);
  for (MA_EventHandler* e : std::vector<MA_EventHandler*>{a, hidden, nofocus, shy, z}) list.AddHandler(e);
  a->SetFocus(1);
  list.SetCurrentHandler(a);
  list.OnChar(kKeyDown);
  EXPECT_EQ(list.current, z);  // the arrow passes the arrow-shy element
  list.OnChar(kKeyUp);
  EXPECT_EQ(list.current, a);
  list.OnChar(kKeyTab);
  EXPECT_EQ(list.current, shy);  // Tab still reaches it
  // Left and Right are not focus keys until switched on: they go to the elements.
  Log().clear();
  EXPECT_EQ(list.OnChar(kKeyRight), 0);
  EXPECT_EQ(list.current, shy);
  EXPECT_FALSE(Log().empty());
  list.leftRightMoveFocus = 1;
  list.OnChar(kKeyRight);
  EXPECT_EQ(list.current, z);
}

TEST_F(HandlerTest, NoFocusKindBecomesCurrentOnlyWhenSetAndGetsEnterAsACharacter) {
  TMA_EventHandlerList list;
  auto* n = new Probe("n", kLive, kKindNoFocus, {0, 0, 50, 50});
  list.AddHandler(n);
  list.OnPointerMove(10, 10, 0);
  EXPECT_EQ(list.current, nullptr);
  list.SetCurrentHandler(n);
  n->takesChar = 1;
  Log().clear();
  EXPECT_EQ(list.OnChar(kKeyEnter), 1);
  EXPECT_EQ(Log(), (std::vector<std::string>{"n:char13"}));
  // Any other current element is activated by Enter.
  auto* b = new Probe("b", kLive);
  list.AddHandler(b);
  list.SetCurrentHandler(b);
  Log().clear();
  EXPECT_EQ(list.OnChar(kKeyEnter), 1);
  EXPECT_EQ(Log(), (std::vector<std::string>{"b:activate"}));
}

TEST_F(HandlerTest, TextEntryKindSeesKeysBeforeTheFocusMovesButNeverTab) {
  TMA_EventHandlerList list;
  auto* entry = new Probe("e", kLive, kKindTextEntry);
  auto* other = new Probe("o", kLive);
  list.AddHandler(entry);
  list.AddHandler(other);
  entry->SetFocus(1);
  list.SetCurrentHandler(entry);
  entry->takesChar = 1;
  EXPECT_EQ(list.OnChar(kKeyDown), 1);
  EXPECT_EQ(list.current, entry);
  EXPECT_EQ(list.OnChar(kKeyEnter), 1);
  EXPECT_EQ(Log(), (std::vector<std::string>{"e:char296", "e:char13"}));
  Log().clear();
  list.OnChar(kKeyTab);
  EXPECT_EQ(list.current, other);
  EXPECT_TRUE(Log().empty());
}

TEST_F(HandlerTest, PointerMovesTheFocusUnlessAButtonIsHeld) {
  TMA_EventHandlerList list;
  auto* a = new Probe("a", kLive, 0, {0, 0, 50, 50});
  auto* b = new Probe("b", kLive, 0, {50, 0, 100, 50});
  list.AddHandler(a);
  list.AddHandler(b);
  list.OnPointerMove(10, 10, 0);
  EXPECT_EQ(list.current, a);
  Input().buttonHeld = 1;
  list.OnPointerMove(60, 10, 0);
  EXPECT_EQ(list.current, a);
  Input().buttonHeld = 0;
  list.OnPointerMove(60, 10, 0);
  EXPECT_EQ(list.current, b);
  EXPECT_EQ(a->HasFocus(), 0);
  list.OnPointerMove(120, 100, 0);
  EXPECT_EQ(list.current, nullptr);
  EXPECT_EQ(b->HasFocus(), 0);
}

TEST_F(HandlerTest, IdlePassFollowsThePointerOnlyWhenItMoves) {
  TMA_EventHandlerList list;
  list.CreateList(4);
  auto* a = new Probe("a", kLive, 0, {0, 0, 50, 50});
  auto* b = new Probe("b", kLive, 0, {50, 0, 100, 50});
  list.AddHandler(a);
  list.AddHandler(b);
  SetCursorPos(10, 10);
  EXPECT_EQ(list.OnIdle(), 1);
  EXPECT_EQ(list.current, a);
  // The keyboard moves the focus; a still pointer does not take it back.
  list.OnChar(kKeyDown);
  EXPECT_EQ(list.current, b);
  list.OnIdle();
  EXPECT_EQ(list.current, b);
  b->idleResult = 0;
  a->idleResult = 0;
  Log().clear();
  EXPECT_EQ(list.OnIdle(), 0);
  EXPECT_EQ(Log(), (std::vector<std::string>{"a:idle"}));
}

TEST_F(HandlerTest, PressesGoToTheFirstTakerAndCaptureRefusesThem) {
  TMA_EventHandlerList list;
  auto* a = new Probe("a", kLive);
  auto* b = new Probe("b", kLive);
  list.AddHandler(a);
  list.AddHandler(b);
  b->takes = 1;
  EXPECT_EQ(list.OnPointerDown(5, 6, 0), 1);
  EXPECT_EQ(list.pressX, 5);
  EXPECT_EQ(list.pressY, 6);
  EXPECT_EQ(Log(), (std::vector<std::string>{"a:down", "b:down"}));
  list.SetCurrentHandler(b);
  list.SetCapture(1);
  EXPECT_EQ(list.current, nullptr);
  Log().clear();
  EXPECT_EQ(list.OnPointerDown(1, 1, 0), 0);
  EXPECT_EQ(list.OnChar(kKeyTab), 0);
  EXPECT_TRUE(Log().empty());
  list.passThrough = 1;
  EXPECT_EQ(list.OnPointerDown(1, 1, 0), 1);
  list.ReleaseCapture();
  EXPECT_EQ(list.OnKeyUp(65), 1);
}

TEST_F(HandlerTest, F1ThatNobodyTakesGoesToTheHelpCallback) {
  TMA_EventHandlerList list;
  auto* a = new Probe("a", kLive);
  list.AddHandler(a);
  list.SetCurrentHandler(a);
  EXPECT_EQ(list.OnChar(kKeyF1), 0);
  static MA_EventHandler* seen = nullptr;
  list.SetHelpCallback([](TMA_EventHandlerList*, MA_EventHandler* current, uint16_t code) {
    seen = current;
    return code == kKeyF1 ? 5 : 0;
  });
  EXPECT_EQ(list.OnChar(kKeyF1), 5);
  EXPECT_EQ(seen, a);
  list.keyboardNavigation = 0;
  EXPECT_EQ(list.OnChar(kKeyTab), 0);  // no navigation: Tab is just a character
}

TEST_F(HandlerTest, RemovingTheCurrentElementLeavesItsCountAndNoCurrent) {
  TMA_EventHandlerList list;
  auto* a = new Probe("a", kLive);
  list.AddHandler(a);
  list.SetCurrentHandler(a);
  EXPECT_EQ(list.RemoveHandler(a), a);
  EXPECT_EQ(list.current, nullptr);
  EXPECT_EQ(a->refCount, 1);
  EXPECT_EQ(list.RemoveHandler(a), nullptr);
  EXPECT_EQ(list.Count(), 0u);
  delete a;
}

TEST_F(HandlerTest, ListsOwnTheirElementsThroughReferenceCounts) {
  auto* shared = new Probe("s", kLive);
  auto* own = new Probe("o", kLive);
  auto* second = new TMA_EventHandlerList;
  {
    TMA_EventHandlerList first;
    first.AddHandler(shared);
    first.AddHandler(own);
    second->AddHandler(shared);
    EXPECT_EQ(shared->refCount, 2);
  }
  EXPECT_EQ(Destroyed(), 1);  // only the element no other list holds
  EXPECT_EQ(shared->refCount, 1);
  delete second;
  EXPECT_EQ(Destroyed(), 2);
}

TEST_F(HandlerTest, ListGrowsPastItsFirstCapacityAndKeepsOrder) {
  TMA_EventHandlerList list;
  std::vector<Probe*> made;
  for (int i = 0; i < 75; ++i) {
    made.push_back(new Probe("x", kLive));
    ASSERT_EQ(list.AddHandler(made.back()), 0);
    if (i == 3) list.LockList();  // growing a locked array unlocks it first
  }
  ASSERT_EQ(list.Count(), 75u);
  for (uint32_t i = 0; i < 75; ++i) EXPECT_EQ(list.At(i), made[i]);
  EXPECT_EQ(list.At(75), nullptr);
  int n = 0;
  for (MA_EventHandler* e = list.LastHandler(); e; e = list.PrevHandler()) ++n;
  EXPECT_EQ(n, 75);
}

TEST_F(HandlerTest, DrawingRunsInOrderOrReversed) {
  TMA_EventHandlerList list;
  list.AddHandler(new Probe("a", kLive));
  list.AddHandler(new Probe("b", kLive));
  list.DrawAll(0);
  list.reverseDrawing = 1;
  list.EraseAll(0);
  list.ShowEach(0);
  EXPECT_EQ(Log(), (std::vector<std::string>{"a:draw", "b:draw", "b:erase", "a:erase", "a:erase", "b:erase"}));
  list.EnableEach(1);
  EXPECT_EQ(list.At(0)->flags & kHandlerEnabled, kHandlerEnabled);
}

TEST(GrowableArray, AppendRemoveAndDestroy) {
  static int destroyed = 0;
  destroyed = 0;
  const MemHandle h = ArrayCreate(2, 4, [](void*) { ++destroyed; });
  ASSERT_NE(h, 0);
  const uint32_t values[5] = {10, 20, 30, 40, 50};
  EXPECT_EQ(ArrayAppend(h, values, 5), 0);
  auto* a = static_cast<ArrayHeader*>(MemLock(h));
  EXPECT_EQ(a->count, 5u);
  EXPECT_GE(a->capacity, 5u);
  const uint32_t thirty = 30;
  EXPECT_EQ(ArrayRemoveValue(a, &thirty), 1);
  EXPECT_EQ(ArrayRemoveValue(a, &thirty), 0);
  EXPECT_EQ(destroyed, 0);
  ArrayRemoveAt(a, 1, 10);  // more than there are: the rest from index 1
  EXPECT_EQ(a->count, 1u);
  EXPECT_EQ(destroyed, 3);
  ArrayRemoveAt(a, 5, 1);  // past the end: nothing
  EXPECT_EQ(a->count, 1u);
  MemUnlock(h);
  ArrayDestroy(h, 1);
  EXPECT_EQ(destroyed, 4);
  EXPECT_EQ(ArrayCreate(0xFFFFFFFFu, 0x1000, nullptr), 0);  // a size that cannot exist is refused
}

// ---- groups -------------------------------------------------------------------------------------------------

TEST_F(HandlerTest, GroupOfHiddenElementsIsSkippedByFocusMoves) {
  TMA_EventHandlerList screen;
  auto* a = new Probe("a", kLive);
  auto* group = new TEventHandlerGroup;
  auto* b = new Probe("b", kLive);
  group->AddHandler(new Probe("g1", kHandlerEnabled));
  group->AddHandler(new Probe("g2", 0));
  screen.AddHandler(a);
  screen.AddHandler(group);
  screen.AddHandler(b);
  EXPECT_EQ(group->flags, 0x0Eu);
  EXPECT_EQ(group->IsShownAndEnabled(), 0);
  a->SetFocus(1);
  screen.SetCurrentHandler(a);
  screen.OnChar(kKeyTab);
  EXPECT_EQ(screen.current, b);
}

TEST_F(HandlerTest, FocusKeyToAGroupMovesInsideThenReachesTheNewInnerElement) {
  auto* group = new TEventHandlerGroup;
  auto* g1 = new Probe("g1", kLive);
  auto* g2 = new Probe("g2", kLive);
  group->AddHandler(g1);
  group->AddHandler(g2);
  g1->SetFocus(1);
  group->list.SetCurrentHandler(g1);
  g2->takes = 7;
  EXPECT_EQ(group->OnKeyDown(kKeyDown), 7);
  EXPECT_EQ(group->list.current, g2);
  EXPECT_EQ(Log(), (std::vector<std::string>{"g2:key296"}));
  EXPECT_EQ(group->HasFocus(), 1);
  group->SetFocus(0);
  EXPECT_EQ(g2->HasFocus(), 0);
  EXPECT_EQ(group->flags & kHandlerFocus, 0u);
  delete group;
  EXPECT_EQ(Destroyed(), 2);
}

TEST_F(HandlerTest, GroupTakesTheFocusThroughItsInnerElementUnderThePointer) {
  TMA_EventHandlerList screen;
  auto* group = new TEventHandlerGroup;
  auto* inner = new Probe("i", kLive, 0, {20, 20, 40, 40});
  group->AddHandler(inner);
  screen.AddHandler(group);
  screen.OnPointerMove(30, 30, 0);
  EXPECT_EQ(screen.current, group);
  EXPECT_EQ(inner->HasFocus(), 1);
  screen.OnPointerMove(100, 100, 0);
  EXPECT_EQ(screen.current, nullptr);
  EXPECT_EQ(inner->HasFocus(), 0);
  group->SetKeyNavigation(0);
  EXPECT_EQ(group->list.tabMovesFocus + group->list.upDownMoveFocus + group->list.leftRightMoveFocus, 0);
}
