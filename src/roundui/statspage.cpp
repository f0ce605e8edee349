#include "roundui/statspage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "framework/ui/fontmgr.h"
#include "golf/game.h"
#include "golf/player.h"
#include "roundui/shotui.h"

namespace {

constexpr const char* kPrefix = ":";
constexpr const char* kWidestLabel = "Tournament Earnings";
constexpr int32_t kFirstLineOffset = 28;

// The table's words are signed counters; a damaged file may hold anything in them.
int64_t Word(playerInfo_s& golfer, int index) { return static_cast<int32_t>(golfer.GetStatistic(index)); }

std::string Money(int64_t amount) { return amount == 0 ? std::string(kPrefix) : ": " + FormatMoney(amount); }

std::string Plain(int64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, ": %lld", static_cast<long long>(value));
  return text;
}

std::string GolferName(const playerInfo_s& golfer) {
  return std::string(golfer.name, strnlen(golfer.name, sizeof golfer.name));
}

}  // namespace

std::string FormatStatsRatio(const char* prefix, const char* format, int64_t numerator, int64_t denominator) {
  if (denominator <= 0) return prefix;
  char pattern[32];
  std::snprintf(pattern, sizeof pattern, "%s %s", prefix, format);
  char text[64];
  std::snprintf(text, sizeof text, pattern, static_cast<double>(numerator) / static_cast<double>(denominator));
  return text;
}

std::string FormatStatsCount(const char* prefix, int32_t value, const char* suffix) {
  if (value == 0) return prefix;
  char text[48];
  std::snprintf(text, sizeof text, "%s %d %s", prefix, value, suffix);
  return text;
}

std::vector<StatsLine> PlayerStatsLines(playerInfo_s& golfer, bool networkGame) {
  auto w = [&golfer](int index) { return Word(golfer, index); };
  char longest[32];
  std::snprintf(longest, sizeof longest, ": %i yards", static_cast<int>(w(kStatLongestDrive)));
  std::string average = kPrefix;
  if (w(kStatDrivesMeasured) > 0) {
    const int64_t yards = w(kStatDrivingYards) / w(kStatDrivesMeasured);
    char text[32];
    std::snprintf(text, sizeof text, ": %lld yards", static_cast<long long>(yards));
    if (yards != 0) average = text;
  }
  const int64_t holes = w(kStatHolesPlayed), greens = w(kStatGreensInRegulation);
  std::vector<StatsLine> lines = {
      {"Longest Drive", longest},
      {"Driving Average", average},
      {"Driving Accuracy", FormatStatsRatio(kPrefix, "%1.1f%%", w(kStatFairwaysHit) * 100, w(kStatFairwayChances))},
      {"Greens In Regulation", FormatStatsRatio(kPrefix, "%1.1f%%", greens * 100, holes)},
      {"Putts / G.I.R.", FormatStatsRatio(kPrefix, "%1.3f", w(kStatPuttsOnGreensHit), greens)},
      {"Scoring Average", FormatStatsRatio(kPrefix, "%1.2f", w(kStatTotalStrokes), w(kStatRoundsPlayed))},
      {"Best Round", FormatStatsCount(kPrefix, static_cast<int32_t>(w(kStatBestRound)), "")},
      {"Par Breakers", FormatStatsRatio(kPrefix, "%1.1f%%", w(kStatParBreakers) * 100, holes)},
      {"Par Saves", FormatStatsRatio(kPrefix, "%1.1f%%", w(kStatParSaves) * 100, holes - greens)},
      {"Holes-In-One", Plain(w(kStatHolesInOne))},
      {"Eagles", Plain(w(kStatEagles))},
      {"Birdies", Plain(w(kStatBirdies))},
      {"Skins Wins", Plain(w(kStatSkinsWins))},
      {"Skins Earnings", Money(w(kStatSkinsEarnings))},
  };
  if (!networkGame) {
    lines.push_back({"Tournament Wins", Plain(w(kStatTournamentWins))});
    lines.push_back({kWidestLabel, Money(w(kStatTournamentEarnings))});
  }
  return lines;
}

size_t FormatPlayerStatsText(playerInfo_s& golfer, char* buffer, size_t size) {
  if (!buffer || size == 0) return 0;
  const TGame* g = CurrentGame();
  std::vector<std::string> rows{"Player: " + GolferName(golfer) + "\n"};
  for (const StatsLine& l : PlayerStatsLines(golfer, g && g->IsNetworkGame()))
    rows.push_back(std::string(l.label) + l.value + "\n");
  size_t used = 0;
  for (const std::string& row : rows) {
    if (used + row.size() + 1 > size) break;  // whole lines only
    std::memcpy(buffer + used, row.data(), row.size());
    used += row.size();
  }
  buffer[used] = 0;
  return used;
}

void DrawPlayerStatsColumn(playerInfo_s& golfer, int32_t x, int32_t y, int32_t lineHeight) {
  const TGame* g = CurrentGame();
  const int32_t values = x + FontStringWidth(kWidestLabel, 0) + 10;
  auto label = [values](int32_t at, const char* text) {
    FontState().alignment = kAlignRight;
    FontDrawText(values, at, text);
    FontState().alignment = kAlignLeft;
  };
  label(y, "Player");
  FontDrawText(values, y, (": " + GolferName(golfer)).c_str());
  int32_t at = y + kFirstLineOffset;
  for (const StatsLine& l : PlayerStatsLines(golfer, g && g->IsNetworkGame())) {
    label(at, l.label);
    FontDrawText(values, at, l.value.c_str());
    at += lineHeight;
  }
}

void FillPlayerStats(int slot, int32_t x, int32_t y, int32_t lineHeight) {
  TGame* g = CurrentGame();
  TPlayer* p = g && g->players ? g->players->GetPlayer(slot) : nullptr;
  if (p) DrawPlayerStatsColumn(*p, x, y, lineHeight);
}
