// The announcer's choice of lines over real games: the situation before and after a shot gives the clip names that
// are queued on the announcer's chain (their variant digits aside), and the situation queries they read.
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "course/terrain.h"
#include "sound/commentary.h"
#include "sound/effects.h"
#include "sound/situation.h"
#include "sound/soundobject.h"
#include "support/rules_fixture.h"

namespace rules {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

class CourseFolder : public GameProvider {
 public:
  const char* CurrentCourseFolder() override { return "C:\\DATA\\COURSES\\SEDGEFEN"; }
};

class Announcer : public RulesTest {
 protected:
  static inline uint32_t random = 1;
  static inline uint8_t settings = 0x07;
  CourseFolder course;

  void SetUp() override {
    RulesTest::SetUp();
    random = 1, settings = 0x07;
    SoundEnv() = SoundEnvironment{};
    SoundEnv().soundSettings = [] { return settings; };
    SoundEnv().random31 = [] { return random; };
    ResetClipVariants();
    Commentary() = CommentaryState{};
    Sound().soundStartFailed = true;  // the clips are made and queued, never played
    fakes.holePar = [](int hole) { return hole % 3 == 2 ? 3 : 4; };
  }
  void TearDown() override {
    DropChain();
    Sound().soundStartFailed = false;
    SoundEnv() = SoundEnvironment{};
    RulesTest::TearDown();
  }
  static void DropChain() {
    TSoundADV* clip = Sound().currentAnnouncerClip;
    Sound().currentAnnouncerClip = nullptr;
    Sound().announcerStarted = false;
    while (clip) {
      TSoundADV* next = clip->chainNext;
      delete clip;
      clip = next;
    }
  }
  // The queued clips' names (clip files are named in lower case), the chain emptied.
  static std::vector<std::string> Queued() {
    std::vector<std::string> names;
    for (TSoundADV* c = Sound().currentAnnouncerClip; c; c = c->chainNext) {
      std::string name = c->patchFile;
      EXPECT_EQ(name.substr(name.size() - 4), ".pat");
      names.push_back(name.substr(0, name.size() - 4));
    }
    DropChain();
    return names;
  }
  // The golfer in slot 0 to play, its ball `inches` short of the pin along y on the lie.
  TPlayer* Place(TGame* g, float inches, int lie) {
    g->state.currentPlayer = 0;
    TPlayer* p = g->players->GetPlayer(0);
    ActiveGolferRecord = p;
    g->pinPosition = Vector3{0, 0, 0};
    p->ball.position = Vector3{0, -inches / 36.0f, 0};
    p->ball.lie = static_cast<uint8_t>(lie);
    return p;
  }
};

// A clip name is its stem and a variant digit (two digits past nine variants).
void ExpectClip(const std::vector<std::string>& queued, const std::string& upperStem, int count) {
  ASSERT_EQ(queued.size(), 1u) << upperStem;
  const std::string name = Lower(queued[0]), stem = Lower(upperStem);
  ASSERT_EQ(name.substr(0, stem.size()), stem) << name;
  const int variant = std::stoi(name.substr(stem.size()));
  EXPECT_GE(variant, 1) << name;
  EXPECT_LE(variant, count) << name;
  EXPECT_EQ(name.size(), stem.size() + (count > 9 ? 2 : 1)) << name;
}

TEST_F(Announcer, MatchPlayPuttsByWhatHolingWouldDo) {
  struct Case {
    int inches;
    uint32_t mine, theirs;  // strokes so far; the other golfer has holed out
    int up;                 // the current golfer's side's holes up
    int hole;
    const char* stem;
    int count;
  } cases[] = {
      {60, 3, 4, 0, 2, "PMHF05", 3},    // halves at 60 inches
      {61, 3, 4, 0, 2, "PMHALF", 3},    // 61 to 119: plain half
      {300, 3, 4, 0, 2, "PMHALF", 3},   // 241 to 359 too
      {240, 3, 4, 0, 2, "PMHF20", 3},
      {360, 3, 4, 0, 2, "PMHF30", 3},
      {30, 2, 4, 0, 17, "PMWINM", 5},   // wins the match on the last hole from 30 inches
      {40, 2, 4, 0, 17, "PMWM05", 3},   // from 36 to 60 inches
      {30, 2, 4, -1, 5, "PMTM05", 2},   // one down: the tie of the match
      {100, 2, 4, 2, 5, "PMWINH", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.stem) + " " + std::to_string(c.inches));
    TGame* g = MakeGame(kModeMatchPlay, 2, true);
    g->state.firstHole = 0, g->state.holeCount = 18, g->state.hole = static_cast<uint16_t>(c.hole);
    auto* match = static_cast<TMatchPlayGame*>(g);
    match->holesWon[0] = static_cast<uint16_t>(c.up > 0 ? c.up : 0);
    match->holesWon[1] = static_cast<uint16_t>(c.up < 0 ? -c.up : 0);
    Place(g, static_cast<float>(c.inches), kLieGreen);
    SetStrokes(g, 0, c.mine, false);
    SetStrokes(g, 1, c.theirs, true);
    EXPECT_EQ(PlayPreShotCommentary(), 1);
    ExpectClip(Queued(), c.stem, c.count);
  }
}

TEST_F(Announcer, DormieOnTheTee) {
  for (int hole : {14, 3}) {
    TGame* g = MakeGame(kModeMatchPlay, 2, true);
    g->state.firstHole = 0, g->state.holeCount = 18, g->state.hole = static_cast<uint16_t>(hole);
    static_cast<TMatchPlayGame*>(g)->holesWon[0] = static_cast<uint16_t>(18 - hole);
    Place(g, 400 * 36, kLieTee);
    EXPECT_EQ(PlayPreShotCommentary(), 1);
    const std::vector<std::string> queued = Queued();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued[0], hole == 14 ? "dormh15" : "dormie1");
  }
}

TEST_F(Announcer, AMatchLeftTwoDownIsSpokenWithAnUnderscore) {
  TGame* g = MakeGame(kModeMatchPlay, 2);
  g->state.firstHole = 0, g->state.holeCount = 18, g->state.hole = 2;
  static_cast<TMatchPlayGame*>(g)->holesWon[1] = 2;
  Place(g, 20, kLieGreen);
  SetStrokes(g, 0, 3, false);
  SetStrokes(g, 1, 3, true);
  EXPECT_EQ(PlayAfterPuttCommentary(), 1);
  EXPECT_EQ(Queued(), std::vector<std::string>{"amaaa_21"});
}

TEST_F(Announcer, TournamentPuttsForParBirdieAndEagle) {
  struct Case {
    uint32_t strokes;  // before the putt, on a par 4
    uint32_t random;
    uint32_t first;    // strokes on the first hole, a par 4 (0: not played)
    const char* stem;  // "" nothing
    int count;
  } cases[] = {
      {3, 1, 0, "PARRA", 3},    // for par, no putt yet
      {2, 1, 0, "BIRDIEP", 3},  // for birdie from level par: one under
      {2, 3, 0, "", 0},         // a birdie putt is commented two times in three
      {2, 1, 3, "BIRDIER", 2},  // one under already: two under
      {2, 1, 5, "BIRDIEG", 3},  // one over: back to level
      {1, 3, 0, "EAGLEPU", 3},  // an eagle putt always: two under
      {1, 3, 5, "EAGLEPU", 3},  // one over: one under
      {1, 3, 6, "EAGLEGE", 3},  // two over: back to level
      {1, 3, 7, "", 0},         // three over: still over par, no line
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.stem) + " after " + std::to_string(c.first));
    random = c.random;
    TGame* g = MakeGame(kModeTournament, 2, true);
    g->state.firstHole = 0, g->state.holeCount = 18, g->state.hole = 0, g->state.round = 0;
    SetStrokes(g, 0, c.first, true);
    g->state.hole = 1;
    Place(g, 100, kLieGreen);
    SetStrokes(g, 0, c.strokes, false);
    SetStrokes(g, 1, 1, false);  // still playing: no standing line
    PlayPreShotCommentary();
    const std::vector<std::string> queued = Queued();
    if (!*c.stem) EXPECT_TRUE(queued.empty());
    else ExpectClip(queued, c.stem, c.count);
  }
}

TEST_F(Announcer, WindLinesOnlyInsideTheirSectors) {
  struct Case {
    uint16_t relative;
    int setting;
    const char* stem;
    int count;
  } cases[] = {
      {0x0000, 2, "ptalwin", 4}, {0xF001, 1, "ptalbre", 4}, {0x8000, 2, "phedwin", 4}, {0x8000, 1, "phedbre", 3},
      {0x4000, 2, "pcrswil", 3}, {0xC000, 1, "pcrsbrr", 4}, {0x1000, 2, "", 0},        {0x3000, 2, "", 0},
      {0x5000, 2, "", 0},        {0x7000, 1, "", 0},        {0x9000, 1, "", 0},        {0xB000, 2, "", 0},
      {0xD000, 2, "", 0},        {0xF000, 1, "", 0},
  };
  random = 2;  // even: the wind may be spoken of
  for (const Case& c : cases) {
    SCOPED_TRACE(c.relative);
    TGame* g = MakeGame(kModeStroke, 1);
    TPlayer* p = Place(g, 150 * 36, kLieFairway);
    p->windCondition = static_cast<uint8_t>(c.setting);
    g->viewPlacement.heading = 0x2000;
    g->windHeading = static_cast<uint16_t>(c.relative + 0x2000);
    std::string name;
    EXPECT_EQ(BuildWindClipName(name), *c.stem ? 1 : 0);
    if (*c.stem) ExpectClip({name}, c.stem, c.count);
  }
}

TEST_F(Announcer, HoleIntroductionsOncePerKindAndHole) {
  Svc().game = &course;
  TGame* g = MakeGame(kModeStroke, 1);
  g->state.hole = 1;  // SEDGEFEN's second hole: three tee introductions, three lay-up ones
  ASSERT_NE(FindCourseClipTable(), nullptr);
  Place(g, 400 * 36, kLieTee);
  EXPECT_EQ(PlayHoleIntroClip(), 1);
  std::vector<std::string> queued = Queued();
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(queued[0].substr(0, 6), "teeh02");
  EXPECT_EQ(PlayHoleIntroClip(), 0);  // played already on this hole
  SetStrokes(g, 0, 1, false);
  Place(g, 300 * 36, kLieFairway);
  EXPECT_EQ(PlayHoleIntroClip(), 1);
  EXPECT_EQ(Queued()[0].substr(0, 6), "layh02");
  Place(g, 380 * 36, kLieFairway);
  ResetHoleCommentary();
  SetStrokes(g, 0, 1, false);
  EXPECT_EQ(PlayHoleIntroClip(), 0);  // 380 yards is no lay-up, and the tee has been left
  Place(g, 100 * 36, kLieFairway);  // the second hole has no approach introduction
  EXPECT_EQ(PlayHoleIntroClip(), 0);
  Svc().game = nullptr;
  InstallServices(fakes.Installed());
  EXPECT_EQ(FindCourseClipTable(), nullptr);  // a course without a row
}

TEST_F(Announcer, TeeShotsAndLies) {
  TGame* g = MakeGame(kModeStroke, 1);
  g->state.hole = 0;  // par 4
  TPlayer* p = Place(g, 0, kLieFairway);
  p->ball.startPosition = Vector3{0, -400, 0};
  p->ball.position = Vector3{0, -100, 0};
  Commentary().shotStartLie = kLieTee << 4;
  random = 6;  // the seventh of nine variants: one digit
  EXPECT_EQ(PlayPostShotCommentary(), 1);  // 300 yards onto the fairway
  EXPECT_EQ(Queued(), std::vector<std::string>{"at4p2807"});
  p->ball.lie = kLieWater;
  EXPECT_EQ(PlayPostShotCommentary(), 1);
  ExpectClip(Queued(), "WATER", 5);
  settings = 0x03;  // no commentary: no clip is made
  EXPECT_EQ(PlayPostShotCommentary(), 0);
  EXPECT_TRUE(Queued().empty());
}

TEST_F(Announcer, CrowdGroupsForHoledPutts) {
  struct Case {
    uint32_t strokesBefore;  // on a par 4
    float length;            // of the holed putt, yards
    int group;
  } cases[] = {{3, 20, 0}, {3, 1.5f, 3}, {4, 10, 2}, {2, 5, 1}, {2, 3, 2}, {5, 10, -1}};
  for (const Case& c : cases) {
    TGame* g = MakeGame(kModeStroke, 1);
    g->state.hole = 0;
    TPlayer* p = Place(g, 0, kLieGreen);
    p->ball.startPosition = Vector3{0, -c.length, 0};
    SetStrokes(g, 0, c.strokesBefore, false);
    EXPECT_EQ(ChooseCrowdGroup(true), c.group) << c.strokesBefore << " " << c.length;
  }
}

// A flat green all over a small grid, the pin at its middle.
void FlatGreen() {
  InitTerrainGrid(64, 64);
  const TerrainGrid& grid = CurrentTerrain();
  for (size_t i = 0; i < static_cast<size_t>(grid.width) * grid.depth; ++i) TerrainCell(i)[2] = 0x70;
}

TEST_F(Announcer, EveryOtherStraightPuttUnderTwentyFeetIsCommented) {
  FlatGreen();
  TGame* g = MakeGame(kModeStroke, 1);
  g->pinPosition = Vector3{0.5f, 0.5f, 0};
  const std::vector<std::string> expected[] = {{"pgpcup"}, {}, {"pgpcup"}, {}};
  for (const auto& want : expected) {
    TPlayer* p = Place(g, 100, kLieGreen);
    g->pinPosition = Vector3{0.5f, 0.5f, 0};
    p->ball.position = Vector3{0.5f, 0.5f - 100 / 36.0f, 0};
    p->SetClub(kPutter);
    PlayPreShotCommentary();
    std::vector<std::string> queued = Queued();
    for (std::string& q : queued) q = q.substr(0, 6);
    EXPECT_EQ(queued, want);
  }
  FreeHoleTerrain();
}

TEST_F(Announcer, ApproachesFromFiftyToAHundredAndFiftyYardsHearWhereThePinIs) {
  FlatGreen();
  random = 3;  // odd, and a multiple of three: the approach line is drawn
  for (const auto& [yards, stem] : {std::pair{50, "papmid"}, {150, "papmid"}, {49, ""}, {151, ""}}) {
    TGame* g = MakeGame(kModeStroke, 1);
    TPlayer* p = Place(g, yards * 36.0f, kLieRough);
    Vector3 centre{};
    ASSERT_TRUE(GetGreenCentre(&centre));
    g->pinPosition = Vector3{centre.x, centre.y, 0};
    p->ball.position = Vector3{centre.x, centre.y - static_cast<float>(yards), 0};
    PlayPreShotCommentary();
    std::vector<std::string> queued = Queued();
    if (*stem) {
      ASSERT_EQ(queued.size(), 1u) << yards;
      EXPECT_EQ(queued[0].substr(0, 6), stem) << yards;
    } else {
      for (const std::string& q : queued) EXPECT_NE(q.substr(0, 3), "pap") << yards;
    }
  }
  FreeHoleTerrain();
}

TEST_F(Announcer, GreenCentreAndFairwaySide) {
  Vector3 centre{};
  InitTerrainGrid(16, 16);
  EXPECT_FALSE(GetGreenCentre(&centre));  // no green: no centre
  const TerrainGrid& grid = CurrentTerrain();
  for (uint32_t j = 2; j < 6; ++j)
    for (uint32_t i = 10; i < 14; ++i) TerrainCell(j * grid.width + i)[2] = 0x70;
  ASSERT_TRUE(GetGreenCentre(&centre));
  EXPECT_FLOAT_EQ(centre.x, grid.originX - 11.5f - 0.5f);
  EXPECT_FLOAT_EQ(centre.y, 3.5f - grid.originY - 0.5f);
  TGame* g = MakeGame(kModeStroke, 1);
  Place(g, 0, kLieGreen);
  EXPECT_EQ(GetFairwaySide(), 99);  // off the fairway
  FreeHoleTerrain();
}

}  // namespace
}  // namespace rules
