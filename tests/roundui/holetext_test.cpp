// The hole panel's text routines: signed numbers, labels, score to par, distances and elevations.
#include <gtest/gtest.h>

#include "roundui/holetext.h"

TEST(HoleText, SignedNumbersAndScoreToPar) {
  const struct {
    int n;
    const char* signedText;
    const char* toPar;
  } cases[] = {{0, "0", "(E)"}, {3, "+3", "(+3)"}, {-2, "-2", "(-2)"}, {-2147483647 - 1, "-2147483648", "(-2147483648)"}};
  for (const auto& c : cases) {
    EXPECT_EQ(FormatSignedNumber(c.n), c.signedText) << c.n;
    EXPECT_EQ(FormatToParText(c.n), c.toPar) << c.n;
  }
}

TEST(HoleText, HoleAndShotLabels) {
  const struct {
    int n;
    bool isHole;
    int mode;
    const char* text;
  } cases[] = {
      {7, true, 0, "Hole 7"},        {3, false, 0, "Shot 3"},           {1, true, 10, "Driving Range"},
      {2, true, 10, "Chipping Green"}, {203, true, 10, "Putting Green"}, {4, true, 10, "Hole 4"},
      {2, false, 10, "Shot 2"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatHoleLabel(c.n, c.isHole, c.mode), c.text) << c.n;
}

TEST(HoleText, DistanceValuesInYardsFeetAndInches) {
  const struct {
    float yards;
    DistanceUnit unit;
    const char* text;
  } cases[] = {
      {0.5f, DistanceUnit::kYards, "18''"}, {0.001f, DistanceUnit::kFeet, "1''"}, {10.0f, DistanceUnit::kFeet, "30'"},
      {10.9f, DistanceUnit::kYards, "10y"}, {1.0f, DistanceUnit::kFeet, "3'"},     {152.99f, DistanceUnit::kYards, "152y"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatDistanceValue(c.yards, c.unit), c.text) << c.yards;
}

TEST(HoleText, DistanceTextsByKindLieAndClub) {
  const Vector3 ball{0, 0, 0};
  const struct {
    int kind;
    Vector3 pin;
    bool onGreen, putter, arc, tee;
    int teeYards;
    const char* text;
  } cases[] = {
      {kDistanceToHole, {0.58f, 0, 0}, true, true, false, false, 0, "To cup: 18''"},
      {kDistanceToHole, {10.2f, 0, 0}, true, true, false, false, 0, "To cup: 30'"},
      {kDistanceToHole, {10.2f, 0, 0}, true, false, true, false, 0, "To cup: 10y"},
      {kDistanceToHole, {10.2f, 0, 0}, true, false, false, false, 0, "To cup: 30'"},
      {kDistanceToHole, {150.5667f, 0, 0}, false, false, false, false, 0, "To pin: 150y"},
      {kDistanceToHole, {150.5667f, 0, 0}, false, false, false, true, 402, "To pin: 402y"},
      {kDistanceToHole, {20.2f, 0, 0}, false, true, false, false, 0, "To pin: 60'"},
  };
  for (const auto& c : cases) {
    DistanceInput in;
    in.kind = c.kind;
    in.ball = ball;
    in.pin = c.pin;
    in.onGreen = c.onGreen;
    in.putterInHand = c.putter;
    in.arcShown = c.arc;
    in.teeShot = c.tee;
    in.teeYards = c.teeYards;
    EXPECT_EQ(FormatDistanceText(in), c.text);
  }
  DistanceInput target;
  target.kind = kDistanceTarget;
  target.point = {30, 40, 0};
  EXPECT_EQ(FormatDistanceText(target), "Target: 50y");
  DistanceInput last;
  last.kind = kDistanceLastShot;
  last.shotStart = {-240.5f, 0, 0};
  EXPECT_EQ(FormatDistanceText(last), "Shot dist: 240y");
}

TEST(HoleText, ElevationInFeetOrInchesWithSide) {
  const struct {
    float yards;
    const char* text;
    int above;
  } cases[] = {
      {1.0f, "3'", 1},           {-10.0f / 36, "10''", 0}, {0.0f, "", 0},           {23.5f / 36, "23''", 1},
      {24.5f / 36, "2'", 1},     {-23.5f / 36, "23''", 0}, {-25.0f / 36, "2'", 0},  {0.5f / 36, "", 1},
  };
  for (const auto& c : cases) {
    int above = -1;
    EXPECT_EQ(FormatElevationValue(c.yards, &above), c.text) << c.yards * 36;
    EXPECT_EQ(above, c.above) << c.yards * 36;
  }
}

#include "golf/gameflow.h"
#include "support/rules_fixture.h"

namespace rules {
namespace {

class HoleTextGameTest : public RulesTest {};

TEST_F(HoleTextGameTest, ScoreToParOverRoundsAndTheGolfersDistances) {
  TGame* g = MakeGame(kModeStroke, 1);
  g->state.lead = 2;
  g->state.round = 1;
  g->state.hole = 2;
  TPlayer* p = g->players->GetPlayer(0);
  for (int h = 0; h < 18; ++h) p->SetHoleScore(0, h, 5, 2);  // +18 in the first round (pars of 4)
  p->SetHoleScore(1, 0, 3, 1);
  p->SetHoleScore(1, 1, 3, 1);
  EXPECT_EQ(FormatScoreToPar(0), "(+16)");
  for (int h = 0; h < 18; ++h) p->SetHoleScore(0, h, 4, 2);
  EXPECT_EQ(FormatScoreToPar(0), "(-2)");
  p->SetHoleScore(1, 2, 6, 2);
  EXPECT_EQ(FormatScoreToPar(0), "(E)");
  EXPECT_EQ(FormatScoreToPar(7), "");

  g->pinPosition = Vector3{0.0f, 100.0f, 3.0f};
  PlaceBallAt(p, Vector3{0.0f, 0.0f, 0.0f});
  p->ball.lie = 1;
  p->SetClub(5);
  EXPECT_EQ(FormatDistanceText(kDistanceToHole, nullptr), "To pin: 99y");
  const Vector3 target{0.0f, 40.0f, 0.0f};
  EXPECT_EQ(FormatDistanceText(kDistanceTarget, &target), "Target: 40y");
  int above = -1;
  EXPECT_EQ(FormatElevationText(0, nullptr, &above), "9'");
  EXPECT_EQ(above, 1);
  EXPECT_EQ(FormatElevationText(2, nullptr, &above), "");
}

}  // namespace
}  // namespace rules
