// The statistics page: a golfer's career lines as text and as the drawn column.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "golf/game.h"
#include "golf/playerinfo.h"
#include "frontend/dialog.h"
#include "roundui/statspage.h"
#include "roundui/uitext.h"
#include "screen_fixture.h"

namespace {

using roundtest::RoundPictures;

struct Word {
  int index;
  uint32_t value;
};

playerInfo_s Golfer(const char* name, std::initializer_list<Word> words) {
  playerInfo_s g;
  std::snprintf(g.name, sizeof g.name, "%s", name);
  for (const Word& w : words) g.SetStatistic(w.index, w.value);
  return g;
}

std::string Text(playerInfo_s& golfer, size_t size = 520) {
  std::vector<char> buffer(size, '#');
  const size_t n = FormatPlayerStatsText(golfer, buffer.data(), buffer.size());
  EXPECT_EQ(n, std::strlen(buffer.data()));
  return buffer.data();
}

const std::vector<Word> kCareer = {
    {kStatLongestDrive, 287},  {kStatFairwaysHit, 20},  {kStatFairwayChances, 28}, {kStatDrivingYards, 6160},
    {kStatDrivesMeasured, 24}, {kStatHolesPlayed, 36},  {kStatGreensInRegulation, 18},
    {kStatPuttsOnGreensHit, 33}, {kStatTotalStrokes, 146}, {kStatRoundsPlayed, 2},  {kStatBestRound, 72},
    {kStatParBreakers, 5},     {kStatParSaves, 9},      {kStatHolesInOne, 1},      {kStatEagles, 2},
    {kStatBirdies, 4},         {kStatTournamentWins, 1}, {kStatTournamentEarnings, 162000},
    {kStatSkinsWins, 3},       {kStatSkinsEarnings, 1500}};

TEST(StatsPage, ACareerAsText) {
  playerInfo_s g = Golfer("Ada Birchall", {});
  for (const Word& w : kCareer) g.SetStatistic(w.index, w.value);
  EXPECT_EQ(Text(g),
            "Player: Ada Birchall\n"
            "Longest Drive: 287 yards\n"
            "Driving Average: 256 yards\n"
            "Driving Accuracy: 71.4%\n"
            "Greens In Regulation: 50.0%\n"
            "Putts / G.I.R.: 1.833\n"
            "Scoring Average: 73.00\n"
            "Best Round: 72 \n"
            "Par Breakers: 13.9%\n"
            "Par Saves: 50.0%\n"
            "Holes-In-One: 1\n"
            "Eagles: 2\n"
            "Birdies: 4\n"
            "Skins Wins: 3\n"
            "Skins Earnings: $1,500\n"
            "Tournament Wins: 1\n"
            "Tournament Earnings: $162,000\n");
}

// A value per case: the line's text for a table that holds only the words given.
TEST(StatsPage, ValuesWithoutMeaningShowTheColonAlone) {
  const struct {
    const char* what;
    std::vector<Word> words;
    const char* label;
    const char* value;
  } cases[] = {
      {"nothing played", {}, "Longest Drive", ": 0 yards"},
      {"nothing played", {}, "Driving Average", ":"},
      {"nothing played", {}, "Best Round", ":"},
      {"nothing played", {}, "Holes-In-One", ": 0"},
      {"nothing played", {}, "Skins Earnings", ":"},
      {"every green hit", {{kStatHolesPlayed, 18}, {kStatGreensInRegulation, 18}}, "Par Saves", ":"},
      {"short drives", {{kStatDrivingYards, 5}, {kStatDrivesMeasured, 6}}, "Driving Average", ":"},
      // A damaged table: more greens than holes gives a negative count of holes.
      {"damaged", {{kStatHolesPlayed, 3}, {kStatGreensInRegulation, 9}, {kStatParSaves, 2}}, "Par Saves", ":"},
      {"damaged", {{kStatRoundsPlayed, 0xFFFFFFFF}, {kStatTotalStrokes, 70}}, "Scoring Average", ":"},
      // Counters that overflow when multiplied by 100 in 32 bits.
      {"long career", {{kStatFairwaysHit, 30000000}, {kStatFairwayChances, 40000000}}, "Driving Accuracy", ": 75.0%"},
  };
  for (const auto& c : cases) {
    playerInfo_s g = Golfer("Tom", {});
    for (const Word& w : c.words) g.SetStatistic(w.index, w.value);
    bool found = false;
    for (const StatsLine& l : PlayerStatsLines(g, false))
      if (std::string(l.label) == c.label) {
        found = true;
        EXPECT_EQ(l.value, c.value) << c.what << ": " << c.label;
      }
    EXPECT_TRUE(found) << c.label;
  }
}

TEST(StatsPage, NoTournamentLinesInANetworkGameAndTheTextKeepsToItsBuffer) {
  playerInfo_s g = Golfer("Ada", {});
  for (const Word& w : kCareer) g.SetStatistic(w.index, w.value);
  const std::vector<StatsLine> lines = PlayerStatsLines(g, true);
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_STREQ(lines.back().label, "Skins Earnings");
  ASSERT_EQ(CreateGame(kModeStroke), 1);
  CurrentGame()->SetNetworkGame(1);
  EXPECT_EQ(Text(g).find("Tournament"), std::string::npos);
  DeleteCurrentGame();
  // A small buffer takes whole lines only.
  EXPECT_EQ(Text(g, 40), "Player: Ada\nLongest Drive: 287 yards\n");
  EXPECT_EQ(Text(g, 1), "");
}

class StatsPagePicture : public RoundPictures {};

TEST_F(StatsPagePicture, TheColumnAsDrawn) {
  playerInfo_s g = Golfer("Ada Birchall", {});
  for (const Word& w : kCareer) g.SetStatistic(w.index, w.value);
  const MemHandle font = LoadFrontEndFont("Hal10b.ffn");
  ASSERT_NE(font, 0u);
  SelectRoundFont(font, DrawnImage(), kAlignLeft, 0xFFFFFF, 1);
  DrawPlayerStatsColumn(g, 20, 20, FontHeight() + 2);
  d3dtest::ExpectGolden(Crop(0, 0, 320, 300), "stats_column", 0, "roundui");
  FreeFrontEndFonts();
}

}  // namespace
