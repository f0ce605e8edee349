// Saved shots on disk: the game writes the last shot's body, the highlight game flies it again from the file to
// where it came to rest live, bit for bit; damaged bodies are refused with their reason.
#include <cstring>

#include "course/savedfiles.h"
#include "golf/ballflight.h"
#include "golf/install.h"
#include "golf/modes.h"
#include "golf/shotfile.h"
#include "support/rules_fixture.h"

namespace rules {
namespace {

class ShotFileTest : public RulesTest {
 protected:
  struct FrontEnd : FrontEndProvider {
    int screens = 0;
    void ShowHighlightsScreen() override { ++screens; }
  } frontEndFake;
};

TEST_F(ShotFileTest, SavedShotsFromDiskLandWhereTheyLandedLive) {
  UseHole(48, 260, 9);
  SetSavedShotFolder("T:\\");
  InstallGolfServices();
  Svc().frontEnd = &frontEndFake;
  Svc().scene->SeedRandom15(21);
  TGame* g = MakeGame(kModeStroke, 2, true);
  g->courseName = "SEDGEFEN";
  g->courseLongName = "Sedgefen^Fen links";
  g->SetOptionField(0, 2);  // strong wind
  g->view->seed = 77;
  ASSERT_EQ(g->LoadHole(), 0);
  EXPECT_EQ(Svc().game->SaveShot("none yet"), "");  // nothing played
  struct Live {
    std::string file;
    Vector3 rest;
    uint32_t shot;
    int slot;
    uint8_t holed;
  };
  std::vector<Live> live;
  for (int shot = 0; shot < 6; ++shot) {
    const int slot = shot % 2;
    TPlayer* p = g->players->GetPlayer(slot);
    if (p->holedOut) continue;
    g->SetCurrentPlayer(slot);
    const uint32_t before = Strokes(g, slot, 0, 0);
    p->TakeTurn();
    const std::string file = Svc().game->SaveShot(shot == 0 ? "Opening drive" : "");
    ASSERT_FALSE(file.empty());
    live.push_back({file, g->lastShot.rest, before, slot, static_cast<uint8_t>(p->ball.Flag(kBallFlagHoled))});
  }
  ASSERT_GE(live.size(), 4u);
  // The list reads the heads.
  const std::vector<SavedShotHead> heads = ListSavedShots();
  ASSERT_EQ(heads.size(), live.size());
  EXPECT_EQ(heads[0].caption, "Opening drive");
  EXPECT_EQ(heads[1].caption, "P2 Shot01");
  for (size_t i = 0; i < heads.size(); ++i) {
    EXPECT_EQ(heads[i].fileName, live[i].file);
    EXPECT_EQ(heads[i].course, "Sedgefen^Fen links");
    EXPECT_EQ(heads[i].mode, kModeStroke);
    EXPECT_EQ(heads[i].shot, live[i].shot) << i;
    EXPECT_EQ(heads[i].golfer, live[i].slot == 0 ? "Golfer 1" : "Golfer 2");
    EXPECT_EQ(heads[i].holed, live[i].holed);
  }
  // Each file played back, from a fresh process state: another hole in memory, no game of this round.
  DeleteCurrentGame();
  ASSERT_TRUE(holewriter::WriteHole(holewriter::DemoHole(40, 150, 4), (dir / "OTHER").string()));
  for (size_t i = 0; i < live.size(); ++i) {
    ASSERT_EQ(LoadHoleData("T:\\OTHER.hnf"), kHoleOk);
    BallSetWind(0, 0);
    ASSERT_EQ(Svc().game->PlayHighlightShot(live[i].file), 0) << live[i].file;
    auto* h = dynamic_cast<THighlightGame*>(CurrentGame());
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(h->rests.size(), 1u);
    EXPECT_EQ(std::memcmp(&h->rests[0], &live[i].rest, sizeof(Vector3)), 0) << i;
    EXPECT_EQ(h->courseName, "Sedgefen^Fen links");
  }
  EXPECT_EQ(frontEndFake.screens, static_cast<int>(live.size()));
  // No such file, and a shot whose hole has gone: nothing is played.
  EXPECT_EQ(Svc().game->PlayHighlightShot("SHOT0099.DAT"), 8);
  std::filesystem::remove(dir / "HOLE01.MIS");
  EXPECT_EQ(Svc().game->PlayHighlightShot(live[0].file), 8);
  EXPECT_EQ(frontEndFake.screens, static_cast<int>(live.size()));
  // A network game saves no shots.
  TGame* net = MakeGame(kModeStroke, 1, true);
  net->hasLastShot = true;
  net->networked = 1;
  EXPECT_EQ(Svc().game->SaveShot("x"), "");
}

TEST_F(ShotFileTest, DamagedBodiesAreRefusedWithTheirReason) {
  SavedShot shot;
  shot.hole = 4;
  shot.holeFile = "C:\\DATA\\COURSES\\SEDGEFEN\\HOLE05.hnf";
  std::snprintf(shot.golfer.name, sizeof shot.golfer.name, "Wren");
  shot.launched.velocity = {1.5f, -2.25f, 30.0f};
  shot.rest = {3.0f, 140.0f, 2.5f};
  const std::vector<uint8_t> good = EncodeShotBody(shot);
  ASSERT_GT(good.size(), 100u);
  SavedShot back;
  std::string error;
  ASSERT_TRUE(DecodeShotBody(good.data(), good.size(), back, error)) << error;
  EXPECT_EQ(back.holeFile, shot.holeFile);
  EXPECT_STREQ(back.golfer.name, "Wren");
  EXPECT_EQ(std::memcmp(&back.launched.velocity, &shot.launched.velocity, sizeof(Vector3)), 0);
  EXPECT_EQ(EncodeShotBody(back), good);
  const auto changed = [&](size_t at, uint8_t value) {
    std::vector<uint8_t> b = good;
    b[at] = value;
    return b;
  };
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* reason;
  };
  const Case cases[] = {
      {"empty", {}, "not a shot body"},
      {"wrong magic", changed(0, 'X'), "not a shot body"},
      {"later version", changed(4, 2), "shot body version 2"},
      {"hole 19", changed(8, 18), "shot body values out of range"},
      {"text longer than it may be", changed(19, 0xFF), "shot body cut short"},
      {"cut inside the ball", std::vector<uint8_t>(good.begin(), good.begin() + 200), "shot body cut short"},
      {"cut inside the golfer", std::vector<uint8_t>(good.begin(), good.end() - 5), "shot body golfer damaged"},
      {"bytes after the golfer", [&] { auto b = good; b.push_back(0); return b; }(), "shot body longer than its fields"},
  };
  for (const Case& c : cases) {
    SavedShot out;
    out.hole = 7;
    error.clear();
    EXPECT_FALSE(DecodeShotBody(c.bytes.data(), c.bytes.size(), out, error)) << c.what;
    EXPECT_EQ(error, c.reason) << c.what;
    EXPECT_EQ(out.hole, 7) << c.what;  // untouched
  }
}

}  // namespace
}  // namespace rules
