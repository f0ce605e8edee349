// The shot set-up's tables and rules: lie names and qualifiers, the distance panel's layout, the shot-type
// buttons, the shape buttons held pass by pass, the wind indicator's sectors and speed line, and the tips.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/gameapp.h"
#include "framework/core/paths.h"
#include "framework/core/services.h"
#include "winapi/testing.h"
#include "course/preferences.h"
#include "course/roster.h"
#include "mmsystem.h"
#include "golf/game.h"
#include "golf/player.h"
#include "roundui/holepanel.h"
#include "roundui/menubar.h"
#include "roundui/shotbuttons.h"
#include "roundui/shotpanels.h"
#include "roundui/tips.h"
#include "roundui/windind.h"
#include "roundui_fixture.h"

namespace {

TEST(LiePanelText, NamesQualifiersAndIcons) {
  struct Case {
    int surface;
    uint8_t flags, detail;
    bool cup;
    const char* name;
    const char* suffix;
    int icon;
  } cases[] = {
      {0x70, 0, 0, true, "Cup", "", 5},  // in the cup: no qualifiers, the icon kept
      {0xD0, 0, 0, false, "Fairway", "", 1},
      {0xF3, 0, 0, false, "Fairway", "", 1},
      {0x30, 4, 0, false, "Rough", " (Good)", 1},
      {0x80, 4, 0, false, "Bunker", " (Tight)", 1},
      {0x20, 4, 0, false, "Sand", " (Tight)", 1},
      {0x10, 4, 0, false, "Fairway", "", 1},
      {0x40, 7, 0, false, "Heavy Rough", " (Buried) (Good) (Flyer)", 1},
      {0x60, 0, 6, false, "Tee", "", 8},
      {0x10, 0, 1, false, "Fairway", "", 1},
      {0x90, 0, 9, false, "OB", "", 7},
      {0xC0, 0, 8, false, "E.S.H.", "", 6},
  };
  for (const Case& c : cases) {
    const LieText t = DescribeLie(c.surface, c.flags, c.detail, c.cup, 5);
    EXPECT_EQ(t.name, c.name) << std::hex << c.surface;
    EXPECT_EQ(t.suffix, c.suffix) << std::hex << c.surface;
    EXPECT_EQ(t.icon, c.icon) << std::hex << c.surface;
  }
  const int icons[10] = {1, 1, 2, 3, 4, 5, 8, 9, 6, 7};
  for (int d = 0; d < 10; ++d) EXPECT_EQ(LieIconForDetail(d), icons[d]) << d;
}

TEST(LiePanelText, AModeOtherThanTheBallsReadsOutOfBounds) {
  TShotLieInfoUI panel;
  panel.Update(5);
  EXPECT_EQ(panel.name, "OB");
  EXPECT_EQ(panel.suffix, "");
}

TEST(DistancePanelLayout, PlacesFromTheAnchor) {
  const auto l = TShotDistInfoUI::LayoutFor(1000, 900, 1280, 1024, 0);
  EXPECT_EQ(l.panel.left, 884);
  EXPECT_EQ(l.panel.right, 974);
  EXPECT_EQ(l.panel.top, 592);
  EXPECT_EQ(l.panel.bottom, 633);
  EXPECT_EQ(l.secondIconX, 948);  // mode 0
  EXPECT_EQ(TShotDistInfoUI::LayoutFor(1000, 900, 1280, 1024, 2).secondIconX, 946);
  EXPECT_EQ(l.firstLineRight, 955 - 5);
  // Mode 1 lays out as mode 0.
  TShotDistInfoUI panel;
  panel.Update(1);
  EXPECT_EQ(panel.mode, 0);
}

TEST(ShotTypeButtons, ShotTypeClubAndLabel) {
  struct Row {
    int button, shotType, club, label;
    const char* help;
  } rows[] = {{1, 7, 20, 7, "Putt"}, {2, 6, 10, 3, "Bump and Run"}, {3, 5, 13, 4, "Chip"},
              {4, 4, 16, 6, "Pitch"}, {5, 1, -2, 5, "Full"},         {6, 0, -1, 5, "Reset"}};
  for (const Row& r : rows) {
    const ShotTypeChoice& c = ShotTypeButtonChoice(r.button);
    EXPECT_EQ(c.shotType, r.shotType) << r.button;
    EXPECT_EQ(c.club, r.club) << r.button;
    EXPECT_EQ(c.labelCode, r.label) << r.button;
    EXPECT_STREQ(c.help, r.help);
  }
  // Reset never shows as selected; the others when the golfer's shot type is theirs.
  EXPECT_FALSE(ShotTypeSelected(6, 0));
  EXPECT_TRUE(ShotTypeSelected(1, 7));
  EXPECT_TRUE(ShotTypeSelected(5, 1));
  EXPECT_FALSE(ShotTypeSelected(5, 0));
  // A missing club steps down the bag.
  const uint32_t all = 0x1FFFFF;
  EXPECT_EQ(NearestClubAtOrBelow(all, 10), 10);
  EXPECT_EQ(NearestClubAtOrBelow(all & ~(1u << 10), 10), 9);
  EXPECT_EQ(NearestClubAtOrBelow(all & ~(1u << 16) & ~(1u << 15), 16), 14);
}

TEST(ShapeButtons, HelpTexts) {
  EXPECT_STREQ(SpinHelpText(1), "Lower shot trajectory (right-click to reset trajectory)");
  EXPECT_STREQ(SpinHelpText(2), "Play a draw (right-click to cancel draw)");
  EXPECT_STREQ(SpinHelpText(3), "Play a cut shot (right-click to cancel fade)");
  EXPECT_STREQ(SpinHelpText(4), "Play more backspin (right-click to cancel backspin)");
}

class ShapeButtonHold : public roundtest::VirtualClockTest {};

TEST_F(ShapeButtonHold, TheDrawOnTheDriverReachesItsLimitAndStays) {
  roundtest::Hole hole(0);
  TBallSpinBtn draw(2);
  std::vector<float> curves;
  int passes = 0;
  draw.Press(false, [&] {
    if (passes) curves.push_back(hole.meter.curve);
    return ++passes <= 20;
  });
  ASSERT_EQ(curves.size(), 20u);
  // 2.5 units a pass up to the club's limit, then held there.
  for (size_t i = 0; i < curves.size(); ++i) EXPECT_FLOAT_EQ(curves[i], std::min(25.0f, 2.5f * static_cast<float>(i))) << i;
  // A right press puts it back.
  draw.Press(true, [] { return false; });
  EXPECT_FLOAT_EQ(hole.meter.curve, 0.0f);
}

TEST_F(ShapeButtonHold, ChangesAreAnimatedByTheirSize) {
  roundtest::Hole hole(0);
  const uint32_t start = timeGetTime();
  SetCurveAnimated(25.0f);  // 25 units: 350 ms
  EXPECT_GE(timeGetTime() - start, 350u);
  EXPECT_LE(timeGetTime() - start, 360u);
  EXPECT_FLOAT_EQ(hole.meter.curve, 25.0f);
  const uint32_t again = timeGetTime();
  SetCurveAnimated(20.0f);  // 5 units: 70 ms
  EXPECT_GE(timeGetTime() - again, 70u);
  EXPECT_LE(timeGetTime() - again, 80u);
  // No change, no time.
  const uint32_t still = timeGetTime();
  EXPECT_EQ(SetCurveAnimated(20.0f), 0);
  EXPECT_EQ(timeGetTime(), still);
}

TEST(WindIndicatorRules, SectorsSpeedLineAndIntervals) {
  for (uint32_t r : {0u, 1u, 2048u, 4095u}) {
    EXPECT_EQ(WindSectorFor(1000, 1000, r), 0) << r;
    EXPECT_EQ(WindSectorFor(static_cast<uint16_t>(1000 - 4096 + 65536), 1000, r), 15) << r;
  }
  EXPECT_EQ(WindSectorFor(1000 + 4095, 1000, 0), 0);
  EXPECT_EQ(WindSectorFor(1000 + 4095, 1000, 1), 1);
  EXPECT_EQ(WindSectorFor(0, 60000, 0), 1);  // 5536 past the heading
  EXPECT_EQ(WindSpeedLine(14), "14  mph ");
  EXPECT_EQ(WindSpeedLine(7), "7  mph ");
  EXPECT_EQ(WindRedrawInterval(1, 0), 66);
  EXPECT_EQ(WindRedrawInterval(1, 1665), 1731);
  EXPECT_EQ(WindRedrawInterval(2, 665), 715);
  EXPECT_EQ(WindRedrawInterval(0, 0), 50);
}

TEST(TipText, LinesAndLimits) {
  const auto parse = [](const std::string& s) {
    return ParseTipText(reinterpret_cast<const uint8_t*>(s.data()), s.size());
  };
  EXPECT_EQ(parse("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(parse(std::string("ab\0cd\r\nx", 8)), (std::vector<std::string>{"ab", "x"}));
  std::string many;
  for (int i = 0; i < 30; ++i) many += "line\r\n";
  EXPECT_EQ(parse(many).size(), 20u);
  EXPECT_EQ(parse(std::string(1000, 'x'))[0].size(), 255u);
  EXPECT_TRUE(ParseTipText(nullptr, 10).empty());
  EXPECT_EQ(TipMovieName(kTipDraw), "ttip08.mad");
  EXPECT_EQ(TipTextName(kTipCut), "ttip09.dat");
}

class TipOffers : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CreateGame(kModeStroke), 1);
    Flags().golfTips = 0;
  }
  void TearDown() override {
    Flags().golfTips = 0;
    Tips().Reset();
    DeleteCurrentGame();
  }
};

TEST_F(TipOffers, NetworkAlwaysTipsAndTheRoundsPick) {
  struct Case {
    bool network, always;
    int pick;
    int firstTrigger;
    bool secondOffered;
  } cases[] = {{false, false, 2, kTipDraw, false}, {false, false, 3, -1, false}, {false, true, 0, kTipDraw, true},
               {true, true, 2, -1, false}};
  for (const Case& c : cases) {
    CurrentGame()->networked = c.network ? 1 : 0;
    Flags().golfTips = c.always ? 1 : 0;
    Tips().Reset();
    Tips().randomPick = c.pick;
    Tips().OnDrawChosen();
    EXPECT_EQ(Tips().trigger, c.firstTrigger) << c.network << c.always << c.pick;
    Tips().ClearTipOffer();
    Tips().OnCutChosen();
    EXPECT_EQ(Tips().trigger != -1, c.secondOffered) << c.network << c.always << c.pick;
  }
}

// Only a round's start draws the pick: making the manager leaves the game's random sequence alone, so what a round
// draws does not depend on whether the tips were used before.
TEST_F(TipOffers, OnlyARoundsStartDrawsThePick) {
  SceneProvider* scene = Svc().scene;
  scene->SeedRandom15(7);
  const int first = scene->Random15(), second = scene->Random15();
  scene->SeedRandom15(7);
  TGolfTipsManager fresh;
  EXPECT_EQ(scene->Random15(), first);
  fresh.Reset();
  EXPECT_EQ(fresh.randomPick, second % 5);
}

// A tip whose movie is neither on the disk nor on a disc asks for the game CD; Escape gives up and nothing plays.
TEST_F(TipOffers, AMissingMovieAsksForTheDiscAndEscapeGoesBack) {
  struct Asking : FrontEndProvider {
    std::vector<std::string> asked;
    int ShowMessageDialog(const char* text, int) override {
      asked.push_back(text);
      return 27;
    }
  } frontEnd;
  struct Movies : SceneProvider {
    int played = 0;
    int PlayMovie(const char*) override { return ++played; }
  } scene;
  const Services saved = Svc();
  Services s = saved;
  s.frontEnd = &frontEnd;
  s.scene = &scene;
  InstallServices(s);
  char pattern[] = "/tmp/tips_XXXXXX";
  const std::string root = mkdtemp(pattern);
  winapi::testing::MapDrive('C', root);
  PathSetDirectory(&Folders().data, "C:\\");
  Tips().lastMovie.clear();
  EXPECT_FALSE(Tips().PlayTip(kTipDraw));
  ASSERT_EQ(frontEnd.asked.size(), 1u);
  EXPECT_EQ(frontEnd.asked[0], "Please insert the Zarvo Velmarth 99 Vex TOUR Golf Game CD");
  EXPECT_EQ(scene.played, 0);
  EXPECT_FALSE(Tips().playing);
  EXPECT_TRUE(Tips().lastMovie.empty());
  InstallServices(saved);
  std::filesystem::remove_all(root);
}

// The tips button's click: the announcer and the disc's music stop before anything plays, the offered tip's movie
// plays, and the music starts again when it is on in the settings; with nothing offered nothing plays, and still
// the music is stopped and started again.
TEST_F(TipOffers, AClickStopsTheSoundsPlaysTheOfferAndRestartsTheMusic) {
  struct Calls : SoundProvider {
    std::string log;
    void StopTipSound() override { log += "tip-sound "; }
    void StopMusic() override { log += "stop-music "; }
    void RefreshMusic() override { log += "music "; }
  } sound;
  struct GivesUp : FrontEndProvider {
    int ShowMessageDialog(const char*, int) override { return 27; }
  } frontEnd;
  struct Movies : SceneProvider {
    Calls* calls = nullptr;
    int PlayMovie(const char*) override {
      calls->log += "movie ";
      return 1;
    }
  } scene;
  scene.calls = &sound;
  const Services saved = Svc();
  Services s = saved;
  s.sound = &sound;
  s.scene = &scene;
  s.frontEnd = &frontEnd;
  InstallServices(s);
  char pattern[] = "/tmp/tips_XXXXXX";
  const std::string root = mkdtemp(pattern);
  std::filesystem::create_directories(root + "/ZARVOTIP");
  std::ofstream(root + "/ZARVOTIP/ttip08.mad") << "movie";
  winapi::testing::MapDrive('C', root);
  Folders().data = PathRecord{};
  std::snprintf(Folders().data.drive, sizeof Folders().data.drive, "c:");
  PathSetDirectory(&Folders().data, "");
  const uint8_t settings = SoundSettings();
  struct Case {
    int trigger;
    bool music;
    const char* calls;
  } cases[] = {{kTipDraw, true, "tip-sound stop-music movie music "},
               {kTipDraw, false, "tip-sound stop-music movie "},
               {-1, true, "tip-sound stop-music music "}};
  for (const Case& c : cases) {
    sound.log.clear();
    Tips().trigger = c.trigger;
    SoundSettings() = c.music ? kSoundMusic : 0;
    Tips().PlayOfferedTips();
    EXPECT_EQ(sound.log, c.calls) << c.trigger << " " << c.music;
  }
  SoundSettings() = settings;
  InstallServices(saved);
  std::filesystem::remove_all(root);
}

TEST(HolePanelPictures, NamesByModel) {
  InitGolferRoster();
  EXPECT_EQ(CHoleNumParGfx::GolferPictureName(0), "sbea.fsh");
  EXPECT_EQ(CHoleNumParGfx::GolferPictureName(3), "sbea.fsh");
  EXPECT_EQ(CHoleNumParGfx::GolferPictureName(19), "senior.fsh");
  EXPECT_EQ(CHoleNumParGfx::GolferPictureName(25), "senior.fsh");
  const std::string pro = CHoleNumParGfx::GolferPictureName(4, 2);
  ASSERT_EQ(pro.size(), 8u);
  EXPECT_EQ(pro.substr(2), "02.fsh");
  EXPECT_TRUE(pro[0] >= 'A' && pro[0] <= 'Z');
}

}  // namespace

namespace {

TEST(MenuBarProxies, ListsShareOneBarThatGoesWithTheLastProxy) {
  {
    TMA_EventHandlerList first, second;
    first.CreateList(4);
    second.CreateList(4);
    ASSERT_EQ(InstallMenuBar(&first), 0);
    TMenuBarADV* bar = SharedMenuBar();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(InstallMenuBar(&second), 0);
    EXPECT_EQ(SharedMenuBar(), bar);
    EXPECT_EQ(MenuBarProxies(), 2);
    // The bar's rectangle is empty: copying it copies nothing.
    EXPECT_EQ(bar->left, bar->right);
    EXPECT_EQ(bar->top, bar->bottom);
  }
  EXPECT_EQ(MenuBarProxies(), 0);
  EXPECT_EQ(SharedMenuBar(), nullptr);
}

TEST(MenuBarItems, CaptionsKeysAndPlaces) {
  const MenuBarItem* t = MenuBarItemTable();
  EXPECT_STREQ(t[3].caption, "Shot");
  EXPECT_EQ(t[3].hotKey, 's');
  EXPECT_STREQ(t[15].caption, "Quit");
  EXPECT_EQ(t[15].x[0], 192);
  EXPECT_EQ(t[15].x[4], 240);
  EXPECT_EQ(t[4].fontSize, 16);
  for (int i = 0; i < kMenuBarItems; ++i) EXPECT_EQ(t[i].y[3], 997) << i;
  EXPECT_EQ(t[0].shapeFile, nullptr);
  EXPECT_STREQ(t[9].shapeFile, "smtear.fsh");
}

}  // namespace
