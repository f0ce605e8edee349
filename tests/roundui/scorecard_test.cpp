// The score card's texts: course rows and totals, golfer cells, nine-hole and round sums, handicap and net.
#include <gtest/gtest.h>

#include "golf/game.h"
#include "roundui/scorecard.h"

namespace {

// Pars 4 4 3 5 4 4 3 5 4 (36) on both nines; yards 400 + 10 h (blue), less 30 (white), less 60 (red).
CardInput Fixture(bool tournamentTees) {
  CardInput in;
  static const int kPars[9] = {4, 4, 3, 5, 4, 4, 3, 5, 4};
  for (int h = 0; h < 18; ++h) {
    in.course.par[h] = kPars[h % 9];
    in.course.strokeIndex[h] = h + 1;
    in.course.yards[0][h] = tournamentTees ? 420 + 10 * h : 0;
    in.course.yards[1][h] = 400 + 10 * h;
    in.course.yards[2][h] = 370 + 10 * h;
    in.course.yards[3][h] = 340 + 10 * h;
  }
  in.course.ratings[0] = 74 << 16;
  in.course.ratings[1] = 72 << 16 | 0x8000;  // 72.5
  in.course.ratings[2] = 70 << 16;
  in.course.ratings[3] = 68 << 16;
  in.firstHole = 0;
  return in;
}

std::string At(const std::vector<CardText>& card, int row, int column) {
  std::string found;
  for (const CardText& t : card)
    if (t.row == row && t.column == column && !t.star) found = t.text;
  return found;
}
bool StarAt(const std::vector<CardText>& card, int row, int column) {
  for (const CardText& t : card)
    if (t.row == row && t.column == column && t.star) return true;
  return false;
}

}  // namespace

TEST(ScoreCard, CourseRowsAndTotalsForEachNine) {
  const struct {
    bool front, tourn;
    const char* header;
    const char* firstHole;
    const char* blueNine;
    const char* blueRound;
    const char* parNine;
    const char* parRound;
  } cases[] = {
      {true, false, "OUT", "1", "3960", "", "36", ""},
      {false, false, "IN", "10", "4770", "8730", "36", "72"},
      {false, true, "IN", "10", "4770", "8730", "36", "72"},
  };
  for (const auto& c : cases) {
    CardInput in = Fixture(c.tourn);
    in.frontNine = c.front;
    const std::vector<CardText> card = BuildScoreCard(in);
    EXPECT_EQ(At(card, 0, 9), c.header);
    EXPECT_EQ(At(card, 0, 10), "TOT");
    EXPECT_EQ(At(card, 0, 0), c.firstHole);
    EXPECT_EQ(At(card, 2, 9), c.blueNine);
    EXPECT_EQ(At(card, 2, 10), c.blueRound);
    EXPECT_EQ(At(card, 5, 9), c.parNine);
    EXPECT_EQ(At(card, 5, 10), c.parRound);
    EXPECT_EQ(At(card, 1, -1), c.tourn ? "Tourn." : "");
    EXPECT_EQ(At(card, 1, 0), c.tourn ? "510" : "");
    EXPECT_EQ(At(card, 11, 100), c.tourn ? "Tournament 74.0" : "Blue 72.5");
    EXPECT_EQ(At(card, 10, 0), c.front ? "1 " : "10 ");
  }
}

TEST(ScoreCard, GolferCellsTotalsAndNetToPar) {
  // Strokes on holes 1-10 (pars 4 4 3 5 4 4 3 5 4 4): the last hole picked up (marker) on one case.
  const struct {
    int mode;
    int handicap;
    uint32_t strokes[10];
    bool front, putts;
    const char* cell0;
    const char* out;
    const char* tot;
    const char* hdp;
    const char* net;
  } cases[] = {
      // Level par over the front nine.
      {kModeStroke, 0, {4, 4, 3, 5, 4, 4, 3, 5, 4, 0}, true, false, "4 ", "36", "", "", "E"},
      // Two over, handicap 3 takes three strokes (holes with index 1-3): net one under.
      {kModeStroke, 3, {5, 5, 3, 5, 4, 4, 3, 5, 4, 0}, true, false, "5 ", "38", "", "3", "-1"},
      // The back nine shows its own sum and the round's.
      {kModeStroke, 0, {4, 4, 3, 5, 4, 4, 3, 5, 4, 6}, false, false, "6 ", "6", "42", "", "+2"},
      // Practice: strokes but no totals.
      {kModePractice, 5, {4, 4, 3, 5, 4, 4, 3, 5, 4, 0}, true, false, "4 ", "", "", "", ""},
      // The putts view has no net score.
      {kModeStroke, 0, {4, 4, 3, 5, 4, 4, 3, 5, 4, 0}, true, true, "2 ", "18", "", "", ""},
      // The tournament gives no handicap.
      {kModeTournament, 5, {3, 4, 3, 5, 4, 4, 3, 5, 4, 0}, true, false, "3 ", "35", "", "", "-1"},
  };
  for (const auto& c : cases) {
    CardInput in = Fixture(false);
    in.mode = c.mode;
    in.frontNine = c.front;
    in.puttsView = c.putts;
    in.lastHole = c.front ? 8 : 9;
    CardGolfer& g = in.golfers[1];
    g.present = true;
    g.name = "Wren";
    g.handicap = c.handicap;
    for (int h = 0; h < 10; ++h) {
      g.strokes[h] = c.strokes[h];
      g.putts[h] = c.strokes[h] ? 2 : 0;
    }
    const std::vector<CardText> card = BuildScoreCard(in);
    const int row = 7, first = c.front ? 0 : 9;
    EXPECT_EQ(At(card, row, -1), "Wren");
    EXPECT_EQ(At(card, row, 0), c.cell0) << c.mode;
    EXPECT_EQ(At(card, row, 9), c.out) << c.mode;
    EXPECT_EQ(At(card, row, 10), c.tot) << c.mode;
    EXPECT_EQ(At(card, row, 11), c.hdp) << c.mode;
    EXPECT_EQ(At(card, row, 12), c.net) << c.mode;
    EXPECT_EQ(StarAt(card, row, 0), c.mode == kModeStroke && c.handicap >= first + 1);
    EXPECT_EQ(At(card, 6, -1), "") << "a slot that does not play leaves its row empty";
  }
}

TEST(ScoreCard, MarkedScoresSkinsMarksMatchStandingAndShortNames) {
  CardInput in = Fixture(false);
  in.lastHole = 2;
  CardGolfer& g = in.golfers[0];
  g.present = true;
  g.name = "Bartholomew";
  g.strokes[0] = 4;
  g.strokes[1] = 15 | kScoreMarker;
  std::vector<CardText> card = BuildScoreCard(in, [](const std::string& n) { return n.size() <= 6; });
  EXPECT_EQ(At(card, 6, -1), "Bartho");
  EXPECT_EQ(At(card, 6, 1), "-");
  EXPECT_EQ(At(card, 6, 9), "19");

  in.mode = kModeSkins;
  g.holeWon[0] = 1, g.holeWon[1] = 0, g.holeWon[2] = 0, g.holeWon[3] = 1;  // hole 4 is past the current one
  g.skins = 2;
  card = BuildScoreCard(in);
  EXPECT_EQ(At(card, 6, 0), "$");
  EXPECT_EQ(At(card, 6, 1), "-");
  EXPECT_EQ(At(card, 6, 3), "");
  EXPECT_EQ(At(card, 6, 9), "2 $s");

  in.mode = kModeMatchPlay;
  g.standing = "2-DN";
  card = BuildScoreCard(in);
  EXPECT_EQ(At(card, 6, 0), "^");
  EXPECT_EQ(At(card, 6, 9), "2-DN");
  EXPECT_EQ(At(card, 6, 12), "");

  in.mode = kModeFourBall;
  in.golfers[2].present = true;
  in.golfers[2].name = "Ivo";
  card = BuildScoreCard(in);
  for (const CardText& t : card) {
    if (t.row == 6) {
      EXPECT_EQ(t.colour, 0xFFFF50u);
    }
    if (t.row == 8) {
      EXPECT_EQ(t.colour, 0x00AA00u);
    }
  }
}

TEST(ScoreCard, SumValuesAndLayout) {
  const int32_t values[] = {3, 4, 5};
  EXPECT_EQ(SumValues(values, 3), 12);
  EXPECT_EQ(SumValues(values, -1), 0);
  EXPECT_EQ(CardColumnX(0, 0), 90);
  EXPECT_EQ(CardColumnX(8, 1), 90 + 8 * 26);
  EXPECT_EQ(CardColumnX(9, 0), 90 + 208 + 13 + 17);
  EXPECT_EQ(CardColumnX(10, 4), static_cast<int32_t>((90 + 208 + 13 + 17 + 34) * 1.4));
  EXPECT_EQ(GetScorecardRowY(0), 102);
  EXPECT_EQ(GetScorecardRowY(3), 144);
}
