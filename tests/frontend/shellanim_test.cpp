// Shape movies (their three frame layouts) and the shell animation's clock: play modes, pause and resume,
// erasing; graphic buttons of each kind over them.
#include "fefixture.h"
#include "frontend/graphicbutton.h"
#include "frontend/shellanim.h"
#include "framework/core/shapemovie.h"
#include "platformlib/shapes/shapes.h"

namespace {

// A frame of one colour, 4 x 4, its hot spot at its top-left; the colour tells the frame.
shapetools::Image Frame(uint32_t colour) {
  shapetools::Image image;
  image.type = 0x78;
  image.width = 4;
  image.height = 4;
  image.pixels.assign(16, colour);
  return image;
}

shapetools::Image Palette() {
  shapetools::Image clut;
  clut.type = 0x2A;  // a 24-bit colour table
  clut.width = 4;
  clut.height = 1;
  clut.pixels.assign(4, 0x808080);
  return clut;
}

// n frames whose colours are 1..n.
MemHandle Movie(int frames) {
  std::vector<std::pair<std::string, shapetools::Image>> entries;
  for (int i = 1; i <= frames; ++i) entries.emplace_back("f" + std::to_string(i), Frame(static_cast<uint32_t>(i)));
  return HandleWith(shapetools::shapefile(entries));
}

}  // namespace

class ShellAnimTest : public FrontEndTest {
 protected:
  void SetUp() override {
    FrontEndTest::SetUp();
    ASSERT_EQ(movie_.OpenHandle(Movie(4)), TShapeMovie::kOk);
  }
  // The frame now on the screen at (20, 20), by its colour; 0 for the background.
  int Shown() { return Pixel(Drawn(), 21, 21); }
  static WindowDesc* Drawn() { return DrawnImage()->window; }
  TShapeMovie movie_;
};

TEST_F(ShellAnimTest, FrameLayoutsOfAShapeMovie) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, shapetools::Image>> entries;
    int frames;
    uint32_t firstColour;
  } cases[] = {
      {"frames only", {{"a", Frame(5)}, {"b", Frame(6)}}, 2, 5},
      {"shared palette first", {{"!pal", Palette()}, {"a", Frame(7)}, {"b", Frame(8)}}, 2, 7},
      {"palettes and frames alternating", {{"p1", Palette()}, {"a", Frame(9)}, {"p2", Palette()}, {"b", Frame(10)}}, 2, 9},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    TShapeMovie m;
    ASSERT_EQ(m.OpenHandle(HandleWith(shapetools::shapefile(k.entries))), TShapeMovie::kOk);
    EXPECT_EQ(m.frameCount, k.frames);
    const uint8_t* first = m.FrameRef(1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(shaperead16(shapepixels(first)), k.firstColour);
    // A frame number past the end is the last frame.
    EXPECT_EQ(m.FrameRef(99), m.FrameRef(k.frames));
  }
  TShapeMovie bad;
  EXPECT_EQ(bad.OpenHandle(HandleWith({1, 2, 3, 4})), TShapeMovie::kCannotLoad);
  EXPECT_EQ(bad.FrameRef(1), nullptr);
}

TEST_F(ShellAnimTest, PlayModesFollowTheClock) {
  // 4 frames at 10 frames a second: a frame each 100 ms.
  struct Case {
    uint8_t mode;
    std::vector<int> frames;  // shown at 0, 100, 200 ... ms (0: erased)
  } cases[] = {
      {TShellAnimADV::kLoop, {1, 2, 3, 4, 1, 2}},
      {TShellAnimADV::kBackAndForth, {1, 2, 3, 4, 4, 3, 2, 1, 1, 2}},
      {TShellAnimADV::kOnceHoldLast, {1, 2, 3, 4, 4, 4}},
      {TShellAnimADV::kOnceHoldFirst, {1, 2, 3, 4, 1, 1}},
      {TShellAnimADV::kOnceErase, {1, 2, 3, 4, 0, 0}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(static_cast<int>(k.mode));
    Fill(Drawn(), 0);
    TShellAnimADV anim(&movie_, 20, 20, k.mode, 10, 0, 0);
    anim.Start();
    anim.Draw();
    for (size_t i = 0; i < k.frames.size(); ++i) {
      if (i > 0) {
        winapi::testing::AdvanceClock(100);
        anim.Update();
      }
      EXPECT_EQ(Shown(), k.frames[i]) << "at " << i * 100 << " ms";
    }
  }
}

TEST_F(ShellAnimTest, PauseResumesWhereItStoppedAndEraseIsOnce) {
  TShellAnimADV anim(&movie_, 20, 20, TShellAnimADV::kLoop, 10, 0, 0);
  anim.Start();
  anim.Draw();
  winapi::testing::AdvanceClock(100);
  anim.Update();
  ASSERT_EQ(Shown(), 2);
  anim.Pause();
  winapi::testing::AdvanceClock(5000);
  EXPECT_FALSE(anim.NeedsNewFrame());
  anim.Start();  // resumes: the 5 s paused do not count
  anim.Draw();
  EXPECT_EQ(Shown(), 2);
  winapi::testing::AdvanceClock(100);
  anim.Update();
  EXPECT_EQ(Shown(), 3);
  // The background buffer is black: erasing puts it back, and a second erase does nothing.
  SetPixel(RoleImage(kRoleErase)->window, 21, 21, 0);
  anim.Erase();
  EXPECT_EQ(Shown(), 0);
  EXPECT_EQ(anim.GetDrawnRect().left, -1);
  SetPixel(Drawn(), 21, 21, 9);
  anim.Erase();
  EXPECT_EQ(Shown(), 9);
  // A fixed frame never moves; y -1 keeps the row.
  TShellAnimADV still(&movie_, 20, 20, TShellAnimADV::kLoop, 10, 3, 0);
  still.Start();
  still.Draw();
  winapi::testing::AdvanceClock(1000);
  EXPECT_FALSE(still.NeedsNewFrame());
  EXPECT_EQ(Shown(), 3);
  still.SetPosition(30, -1);
  EXPECT_EQ(still.x, 30);
  EXPECT_EQ(still.y, 20);
}

namespace {
int gClicks = 0;
void Count(TGenericControlADV*) { ++gClicks; }
}  // namespace

TEST_F(ShellAnimTest, RadioGroupsToggleAndSharedSounds) {
  gClicks = 0;
  const uint32_t live = kHandlerShown | kHandlerEnabled;
  TGraphicRadioButtonADV a(0, nullptr, 0, 1, kKindButton, live, nullptr);
  TGraphicRadioButtonADV b(0, &a, 0, 2, kKindButton, live, nullptr);
  TGraphicRadioButtonADV c(0, &b, 0, 3, kKindButton, live, nullptr);
  for (auto* r : {&a, &b, &c}) r->clickHandler = Count;
  b.Fire();
  EXPECT_TRUE(b.Selected());
  c.Fire();
  EXPECT_FALSE(b.Selected());
  EXPECT_TRUE(c.Selected());
  c.Fire();  // the selected one again: its handler runs, the group stays
  EXPECT_TRUE(c.Selected());
  EXPECT_FALSE(a.Selected());
  EXPECT_EQ(gClicks, 3);
  a.ShowGroup(0);
  EXPECT_FALSE(c.flags & kHandlerShown);
  // A toggle takes clicks without a handler, flipping each time.
  TGraphicToggleButtonADV t(0, 0, 4, kKindButton, live);
  EXPECT_TRUE(t.IsShownAndEnabled());
  t.Fire();
  EXPECT_TRUE(t.Selected());
  t.Fire();
  EXPECT_FALSE(t.Selected());
  // "button1" in any case is the class's sound, never owned; another name is the button's own.
  TGraphicButtonADV one(0, 0, 5, kKindButton, live, 0, "button1"), two(0, 0, 6, kKindButton, live, 0, "BUTTON1"),
      own(0, 0, 7, kKindButton, live, 0, "click9");
  EXPECT_FALSE(one.controlFlags & CF_OWNS_SOUND);
  EXPECT_FALSE(two.controlFlags & CF_OWNS_SOUND);
  EXPECT_TRUE(own.controlFlags & CF_OWNS_SOUND);
}

TEST_F(ShellAnimTest, ButtonsShowTheirStateImagesAndALatchFiresAfterItsAnimation) {
  const uint32_t live = kHandlerShown | kHandlerEnabled;
  TGraphicButtonADV b(0, 0, 1, kKindButton, live, CF_LATCHING, nullptr);
  b.clickHandler = Count;
  b.SetImage(TGraphicButtonADV::kNormal, &movie_, 20, 20, TShellAnimADV::kLoop, 0, 1);
  b.SetImage(TGraphicButtonADV::kHighlight, &movie_, 20, 20, TShellAnimADV::kLoop, 0, 2);
  b.SetImage(TGraphicButtonADV::kDisabled, &movie_, 20, 20, TShellAnimADV::kLoop, 0, 4);
  b.SetImage(TGraphicButtonADV::kPressed, &movie_, 20, 20, TShellAnimADV::kOnceErase, 10, 0);
  b.Draw(0);
  EXPECT_EQ(Shown(), 1);
  // The hit area is the picture.
  EXPECT_EQ(b.left, 20);
  EXPECT_EQ(b.right, 24);
  b.SetFocus(1);
  b.Draw(0);
  EXPECT_EQ(Shown(), 2);
  // Triggered: latched on the pressed picture until its animation has run, then one fire.
  gClicks = 0;
  Drain();
  b.OnActivate(0);
  EXPECT_TRUE(b.controlFlags & CF_LATCHED);
  EXPECT_FALSE(b.IsShownAndEnabled());
  int fires = 0;
  for (int i = 0; i < 8; ++i) {
    winapi::testing::AdvanceClock(100);
    b.OnIdle();
    fires += RunFires();
  }
  EXPECT_EQ(fires, 1);
  EXPECT_EQ(gClicks, 1);
  EXPECT_FALSE(b.controlFlags & CF_LATCHED);
  // Without the focus and unusable: the disabled picture.
  b.SetFocus(0);
  b.Enable(0, 0);
  b.Draw(0);
  EXPECT_EQ(Shown(), 4);
}

TEST_F(ShellAnimTest, ACaptionLongerThanThePictureWidensTheButton) {
  const uint32_t live = kHandlerShown | kHandlerEnabled;
  TGraphicTextButtonADV b("WIDE CAPTION", LoadFrontEndFont("x.ffn"), 0, 0, 1, 1, kKindButton, live, CF_OWNS_TEXT);
  b.clickHandler = Count;
  b.SetImage(TGraphicButtonADV::kNormal, &movie_, 40, 40, TShellAnimADV::kLoop, 0, 1);
  b.Draw(0);
  EXPECT_STREQ(b.Caption(), "WIDE CAPTION");
  EXPECT_LT(b.left, 40);
  EXPECT_GT(b.right, 44);
}
