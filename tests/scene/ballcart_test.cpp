// The driving range's ball cart on the demo installation's range: it drives along the range's middle line and turns
// at its ends; a ball on it counts once in ten seconds of the clock, each hit with its sounds, the third blowing it
// up until its explosion has played; a range without both of its movies has no cart.
// Between shots the cart is drawn on the still picture; its sounds follow the sound settings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "course/preferences.h"
#include "course/terrain.h"
#include "framework/core/services.h"
#include "golf/player.h"
#include "holeview.h"
#include "mmsystem.h"
#include "scene/animlist.h"
#include "scene/ballanim.h"
#include "scene/ballcart.h"
#include "support/demo_installation.h"
#include "winapi/testing.h"

namespace {

namespace fs = std::filesystem;

struct HeardSounds : SoundProvider {
  std::vector<std::string> names;
  uint32_t PlayEffect(const char* name, int volume) override {
    names.push_back(std::string(name) + (volume == 127 ? "" : "(quiet)"));
    return 1;
  }
};

class BallCartTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/teebox_cart_XXXXXX";
    folder_ = mkdtemp(pattern);
    mkdemo::DemoOptions options;
    options.holes = 1;
    std::string error;
    loaded_ = MakeDemoInstallationCached(folder_, options, error) && holeview::LoadDemoRange(folder_, error);
  }
  static void TearDownTestSuite() { fs::remove_all(folder_); }

  void SetUp() override {
    ASSERT_TRUE(loaded_);
    winapi::testing::UseVirtualClock(true, 50000);
    previous_ = Svc().sound;
    Svc().sound = &heard_;
    Facts().appActive = 1;
    savedSettings_ = SoundSettings();
    SoundSettings() = 0x1F;
    holeview::SetUpView(view_, 640, 480, 0);
    BallStateReset(&ball_.ball);
    ball_.ball.position = Vector3{0.0f, -500.0f, 0.0f};  // far from the cart's line
  }
  void TearDown() override {
    FreeBallCart();
    RemoveAllAnimations();
    AnimSurfaces() = AnimationSurfaces{};
    Svc().sound = previous_;
    SoundSettings() = savedSettings_;
    Facts().gameDiscFolder = nullptr;
    winapi::testing::UseVirtualClock(false);
  }

  // The cart loaded and driving, striking balls from the test's ball and golfer.
  TBallCartAnimation& Cart() {
    EXPECT_TRUE(LoadBallCart("\\DATA"));
    PlaceBallCart(&view_);
    StartBallCart(&view_, CartBallSource{&ball_, &golfer_}, false);
    return *BallCart();
  }
  // A ball dropped onto the cart, then taken away.
  void Strike(TBallCartAnimation& cart) {
    ball_.ball.position = Vector3{cart.world.x, cart.world.y, cart.world.z + 1.0f};
    Step(cart, 40);
    ball_.ball.position = Vector3{0.0f, -500.0f, 0.0f};
  }
  // One pass of the cart `ms` of the clock on.
  void Step(TBallCartAnimation& cart, uint32_t ms) {
    winapi::testing::AdvanceClock(ms);
    now_ += ms;
    int finished = 0;
    ASSERT_EQ(cart.Update(&finished, now_), 0);
  }

  static inline std::string folder_;
  static inline bool loaded_ = false;
  SoundProvider* previous_ = nullptr;
  HeardSounds heard_;
  TGolfView view_;
  TBallAnimation ball_;
  TPlayer golfer_;
  uint32_t now_ = 1000;
  uint8_t savedSettings_ = 0;
};

TEST_F(BallCartTest, DrivesAlongTheMiddleOfTheRangeAndTurnsAtItsEnds) {
  TBallCartAnimation& cart = Cart();
  const TerrainGrid& g = CurrentTerrain();
  const float end = static_cast<float>(g.width) / 2.0f - 71.0f, middle = static_cast<float>(g.depth / 2) - g.originY;
  EXPECT_EQ(std::fabs(cart.world.x), end);
  EXPECT_EQ(cart.world.y, middle);
  EXPECT_EQ(std::fabs(cart.velocity.x), TBallCartAnimation::kSpeed);
  int turns = 0;
  float last = cart.world.x;
  for (int i = 0; i < 400 && turns < 2; ++i) {
    Step(cart, 125);
    ASSERT_EQ(cart.world.y, middle);
    if (cart.IsOnRange()) {
      EXPECT_NEAR(cart.world.z, GetTerrainHeight(cart.world.x, cart.world.y) + 0.1f, 1e-4f);
    }
    // A step of the route, or a fresh start at one end after leaving the range at the other.
    if (std::fabs(cart.world.x - last) > 2.0f) {
      ++turns;
      EXPECT_EQ(std::fabs(cart.world.x), end) << i;
    } else {
      EXPECT_LE(std::fabs(cart.world.x), end + 3.0f) << i;
    }
    EXPECT_GE(cart.frameCounter, 1);
    EXPECT_LE(cart.frameCounter, cart.loopLength);
    last = cart.world.x;
  }
  EXPECT_EQ(turns, 2);
  EXPECT_EQ(BallCartHits(), 0);
  EXPECT_TRUE(heard_.names.empty());
}

TEST_F(BallCartTest, ABallOnTheCartCountsOnceInTenSecondsAndTheThirdHitBlowsItUp) {
  TBallCartAnimation& cart = Cart();
  const struct {
    uint32_t after;  // ms of the clock since the row before
    bool onCart, outOfBounds;
    int hits;
    std::vector<std::string> sounds;
  } rows[] = {
      {40, false, false, 0, {}},
      {40, true, false, 1, {"carthit", "cart1"}},
      {9999, true, false, 1, {}},  // the same ball still there, or a second one: within the quiet time
      {1, true, false, 2, {"carthit", "cart2"}},
      {12000, true, true, 2, {}},  // a ball out of play strikes nothing
      {40, true, false, 3, {"carthit", "cartexpl"}},
  };
  for (const auto& r : rows) {
    heard_.names.clear();
    ball_.ball.position = r.onCart ? Vector3{cart.world.x + 1.0f, cart.world.y - 1.5f, cart.world.z + 0.5f}
                                   : Vector3{cart.world.x, cart.world.y + 3.0f, cart.world.z};
    ball_.ball.Flag(kBallFlagOutOfBounds) = r.outOfBounds;
    Step(cart, r.after);
    EXPECT_EQ(BallCartHits(), r.hits) << r.after;
    EXPECT_EQ(heard_.names, r.sounds) << r.after;
  }
  // Stopped, its explosion playing; the golfer knows.
  EXPECT_TRUE(cart.Exploding());
  EXPECT_EQ(cart.velocity.x, 0.0f);
  EXPECT_EQ(golfer_.hitCart, 1u);
  const float stoppedAt = cart.world.x;
  Step(cart, 125);
  EXPECT_EQ(cart.world.x, stoppedAt);
  EXPECT_EQ(cart.frameCounter, cart.loopLength + 2);

  // The explosion plays out: the motor catches near its end, then the cart drives on from a fresh route.
  heard_.names.clear();
  ball_.ball.position = Vector3{0.0f, -500.0f, 0.0f};
  for (int i = 0; i < 100 && cart.Exploding(); ++i) Step(cart, 125);
  EXPECT_FALSE(cart.Exploding());
  EXPECT_EQ(heard_.names, std::vector<std::string>{"cart3"});
  EXPECT_EQ(BallCartHits(), 0);
  EXPECT_EQ(BallCartActive(), 1);
  EXPECT_EQ(cart.frameCount, cart.loopLength);
  EXPECT_NE(cart.velocity.x, 0.0f);
  EXPECT_EQ(golfer_.hitCart, 0u);
}

TEST_F(BallCartTest, AReplayShowsTheCartAsItsShotBeganAndCountsItsHitOnce) {
  TBallCartAnimation& cart = Cart();
  const float began = cart.world.x;
  Strike(cart);
  ASSERT_EQ(BallCartHits(), 1);
  for (int i = 0; i < 20; ++i) Step(cart, 125);
  winapi::testing::AdvanceClock(20000);
  // The replay: the cart as the shot began, its hit counted again from there.
  StartBallCart(&view_, CartBallSource{&ball_, &golfer_}, true);
  EXPECT_EQ(cart.world.x, began);
  EXPECT_EQ(BallCartHits(), 0);
  Strike(cart);
  EXPECT_EQ(BallCartHits(), 1);
  // The next shot as played: the cart drives on from where it is, its hits kept.
  for (int i = 0; i < 4; ++i) Step(cart, 125);
  const float now = cart.world.x;
  StartBallCart(&view_, CartBallSource{&ball_, &golfer_}, false);
  EXPECT_EQ(cart.world.x, now);
  EXPECT_EQ(BallCartHits(), 1);
}

TEST_F(BallCartTest, TheCartIsHeardOnlyWithTheSoundEffectsBitOn) {
  const struct {
    uint8_t settings;
    std::vector<std::string> sounds;
  } cases[] = {
      {0x1F, {"carthit", "cart1"}},
      {0x01, {"carthit", "cart1"}},
      {0x1E, {}},  // menu sound and commentary on, effects off
      {0x00, {}},
  };
  for (const auto& c : cases) {
    TBallCartAnimation& cart = Cart();
    SoundSettings() = c.settings;
    heard_.names.clear();
    Strike(cart);
    EXPECT_EQ(BallCartHits(), 1) << int(c.settings);  // heard or not, the hit counts
    EXPECT_EQ(heard_.names, c.sounds) << int(c.settings);
    FreeBallCart();
  }
}

TEST_F(BallCartTest, AReplayOfACartThatHasBlownUpBringsItBackOneHitFromGoingUpAgain) {
  TBallCartAnimation& cart = Cart();
  const auto blowUp = [&] {
    for (int i = 0; i < 3; ++i) {
      Strike(cart);
      winapi::testing::AdvanceClock(TBallCartAnimation::kHitQuiet);
    }
    ASSERT_TRUE(cart.Exploding());
  };
  blowUp();
  for (int i = 0; i < 100 && cart.Exploding(); ++i) Step(cart, 125);
  ASSERT_EQ(BallCartActive(), 1);
  // The next shot blows it up again; its replay shows it whole, two hits on it.
  StartBallCart(&view_, CartBallSource{&ball_, &golfer_}, false);
  blowUp();
  StartBallCart(&view_, CartBallSource{&ball_, &golfer_}, true);
  EXPECT_FALSE(cart.Exploding());
  EXPECT_EQ(cart.frameCount, cart.loopLength);
  EXPECT_EQ(BallCartHits(), 2);
  EXPECT_EQ(BallCartActive(), 1);
  winapi::testing::AdvanceClock(TBallCartAnimation::kHitQuiet);
  Strike(cart);
  EXPECT_TRUE(cart.Exploding());
}

TEST_F(BallCartTest, AnInstallationWithoutTheCartMoviesTakesThemFromTheGameDisc) {
  const fs::path range = fs::path(folder_) / "DATA" / "COURSES" / "RANGE";
  const fs::path discRange = fs::path(folder_) / "DISC" / "DATA" / "COURSES" / "RANGE";
  fs::create_directories(discRange);
  for (const char* name : {"rbalcart.fsh", "lbalcart.fsh"}) {
    fs::copy_file(range / name, discRange / name, fs::copy_options::overwrite_existing);
    fs::rename(range / name, range / (std::string(name) + ".aside"));
  }
  const struct {
    bool discIn;
    bool cart;
  } cases[] = {{true, true}, {false, false}};
  for (const auto& c : cases) {
    Facts().gameDiscFolder = c.discIn ? +[](PathRecord* root) { return PathSetDirectory(root, "\\DISC") == 0; }
                                      : +[](PathRecord*) { return false; };
    EXPECT_EQ(LoadBallCart("\\DATA"), c.cart) << c.discIn;
    PlaceBallCart(&view_);
    EXPECT_EQ(BallCartExists(), c.cart ? 1 : 0) << c.discIn;
    FreeBallCart();
  }
  for (const char* name : {"rbalcart.fsh", "lbalcart.fsh"})
    fs::rename(range / (std::string(name) + ".aside"), range / name);
  fs::remove_all(fs::path(folder_) / "DISC");
}

TEST_F(BallCartTest, BetweenShotsTheCartIsDrawnAtOnceAndDrivesOnFromRedrawToRedraw) {
  ASSERT_TRUE(LoadBallCart("\\DATA"));
  ShowBallCartNow(&view_);  // nothing placed yet: nothing to show
  EXPECT_EQ(BallCartExists(), 0);
  PlaceBallCart(&view_);
  TBallCartAnimation& cart = *BallCart();
  // The still picture of the hole: plain ground, far away everywhere.
  std::vector<uint16_t> screen(640 * 480, 0x1234), background(screen), depth(screen.size(), 0xFFFF);
  AnimSurfaces() = AnimationSurfaces{{screen.data(), 640, 480, 640}, {background.data(), 640, 480, 640}, depth.data()};
  cart.hidden = 1;
  cart.world.x = 0.0f;  // before the golfer
  ASSERT_EQ(cart.drawn, 0);
  const float placed = cart.world.x;
  ShowBallCartNow(&view_);
  EXPECT_EQ(cart.hidden, 0);
  EXPECT_EQ(cart.drawn, 1);
  EXPECT_GT(cart.screenRect.right, cart.screenRect.left);
  EXPECT_NE(screen, background);
  winapi::testing::AdvanceClock(1000);
  ShowBallCartNow(&view_);
  EXPECT_EQ(cart.drawn, 1);
  EXPECT_NE(cart.world.x, placed);
  EXPECT_EQ(AnyAnimationRunning(), 0);  // shown, not listed
}

TEST_F(BallCartTest, ARangeWithoutBothMoviesHasNoCart) {
  const fs::path range = fs::path(folder_) / "DATA" / "COURSES" / "RANGE";
  const struct {
    bool right, left;
  } cases[] = {{true, false}, {false, true}, {false, false}};
  for (const auto& c : cases) {
    // The missing movies are put aside for the case.
    const char* const names[] = {"rbalcart.fsh", "lbalcart.fsh"};
    const bool present[] = {c.right, c.left};
    for (int i = 0; i < 2; ++i)
      if (!present[i]) fs::rename(range / names[i], range / (std::string(names[i]) + ".aside"));
    EXPECT_FALSE(LoadBallCart("\\DATA")) << c.right << c.left;
    PlaceBallCart(&view_);
    StartBallCart(&view_, CartBallSource{&ball_, &golfer_}, false);
    EXPECT_EQ(BallCartExists(), 0) << c.right << c.left;
    EXPECT_EQ(AnyAnimationRunning(), 0);
    for (int i = 0; i < 2; ++i)
      if (!present[i]) fs::rename(range / (std::string(names[i]) + ".aside"), range / names[i]);
  }
  // Both there: a cart.
  EXPECT_TRUE(LoadBallCart("\\DATA"));
  PlaceBallCart(&view_);
  EXPECT_EQ(BallCartExists(), 1);
}

}  // namespace
