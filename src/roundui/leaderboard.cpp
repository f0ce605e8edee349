#include "roundui/leaderboard.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "frontend/tourneydlg.h"
#include "golf/game.h"
#include "golf/modes.h"
#include "roundui/shotui.h"
#include "roundui/uitext.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF, kHighlight = 0xFFFF50;
constexpr float kNone = -1.0f;

enum Column { kPosition, kName, kHole, kSummary, kTotal, kWinnings, kColumns };
constexpr const char* kHeads[kColumns] = {" POSITION", "NAME", " HOLE", "SUMMARY", " TOTAL", "WINNINGS"};
constexpr float kPlaces[3][kColumns] = {
    {-0.028f, 0.061f, 0.659f, kNone, 0.773f, kNone},
    {-0.028f, 0.061f, kNone, 0.47f, 0.773f, kNone},
    {-0.028f, 0.061f, kNone, 0.47f, 0.599f, 0.743f},
};

int KindOf(const CTourneyDlg& d) { return std::clamp(d.stage, 0, 2); }

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string ToPar(int32_t toPar) {
  if (toPar == 0) return "E";
  char text[16];
  std::snprintf(text, sizeof text, "%+d", toPar);
  return text;
}

int CoursePar(TTournamentGame& g) {
  int par = 0;
  for (int h = g.state.firstHole; h < g.state.firstHole + g.state.holeCount && h < kHoles; ++h)
    par += Svc().catalogue->HolePar(h);
  return par;
}

// Positions of the content area and the text drawn there.
struct Board {
  CTourneyDlg& d;
  MARect area;
  explicit Board(CTourneyDlg& dialog) : d(dialog), area(dialog.GetContentRect()) {}
  int32_t X(float f) const { return static_cast<int32_t>(area.left + (area.right - area.left) * f); }
  int32_t Y(float f) const { return static_cast<int32_t>(area.top + (area.bottom - area.top) * f); }
  int32_t Anchor(int kind, Column c) const { return X(kPlaces[kind][c]) + 74; }
  void Select(MemHandle font, int32_t alignment, uint32_t colour) const {
    SelectRoundFont(font, DrawnImage(), alignment, colour, 1);
  }
  void Cell(int32_t x, int32_t y, const std::string& text, int32_t alignment) const {
    FontState().alignment = alignment;
    FontDrawText(x, y, text.c_str());
  }
  void Row(int kind, const LeaderRow& r, int32_t y) const {
    Cell(Anchor(kind, kPosition), y, r.position, kAlignCentre);
    Cell(Anchor(kind, kName), y, r.name, kAlignLeft);
    if (kind == 0) {
      if (r.missedCut) {
        // Ends where the total's "E" would end.
        Cell(Anchor(kind, kTotal) + FontStringWidth("E", 0) / 2, y, "MISSED CUT", kAlignRight);
      } else {
        Cell(Anchor(kind, kTotal), y, r.total, kAlignCentre);
        Cell(Anchor(kind, kHole), y, r.hole, kAlignCentre);
      }
      return;
    }
    Cell(Anchor(kind, kSummary), y, r.missedCut ? "MISSED CUT" : r.summary, kAlignCentre);
    Cell(Anchor(kind, kTotal), y, r.total, kAlignCentre);
    if (kind == 2) Cell(Anchor(kind, kWinnings), y, r.winnings, kAlignCentre);
  }
};

TTournamentGame* Tournament() { return dynamic_cast<TTournamentGame*>(CurrentGame()); }

}  // namespace

bool LeaderRowAt(TTournamentGame& g, size_t index, LeaderRow* row) {
  if (index >= g.standings.size() || !row) return false;
  const TTournamentGame::Standing& s = g.standings[index];
  const int holesPerRound = std::max<int>(g.state.holeCount, 1);
  LeaderRow r;
  r.position = (s.tied ? "T" : "") + std::to_string(s.position);
  r.name = g.EntrantName(s.entrant);
  r.total = ToPar(s.toPar);
  const int inRound = std::clamp(g.holesDoneFor(s.entrant) - g.state.round * holesPerRound, 0, holesPerRound);
  r.hole = std::to_string(inRound);
  const int par = CoursePar(g);
  for (int round = 0; round < g.RoundsShown(); ++round) {
    const int strokes = g.GetEntrantScore(s.entrant, round, holesPerRound) + par;
    r.summary += (round ? "-" : "") + std::to_string(strokes);
  }
  r.missedCut = g.MissedCut(s.entrant);
  r.winnings = r.missedCut ? " " : FormatMoney(s.prize);
  r.highlight = s.entrant >= TTournamentGame::kFieldComputers;
  r.position = Upper(r.position);
  r.summary = Upper(r.summary);
  *row = r;
  return true;
}

std::vector<size_t> OwnGolferRows(TTournamentGame& g) {
  std::vector<size_t> rows;
  for (int slot = 0; slot < TPlayerList::kSlots; ++slot) {
    const TPlayer* p = g.players ? g.players->GetPlayer(slot) : nullptr;
    if (!p || !(p->flags & kGolferTakesPart)) continue;
    for (size_t i = 0; i < g.standings.size(); ++i)
      if (g.standings[i].entrant == TTournamentGame::kFieldComputers + slot) rows.push_back(i);
  }
  return rows;
}

void DrawLeaderBoardPage(CTourneyDlg& d) {
  const Board b(d);
  const int kind = KindOf(d);
  for (int c = 0; c < kColumns; ++c) {
    if (kPlaces[kind][c] == kNone) continue;
    b.Select(d.bodyFont ? d.bodyFont : d.font, c == kName ? kAlignLeft : kAlignCentre, kWhite);
    FontDrawText(b.Anchor(kind, static_cast<Column>(c)), b.Y(0.122f), kHeads[c]);
  }
  FontState().alignment = kAlignLeft;
}

void DrawLeaderBoard(CTourneyDlg& d) {
  TTournamentGame* game = Tournament();
  if (!game) return;
  TTournamentGame& g = *game;
  const Board b(d);
  const int kind = KindOf(d);
  const MemHandle font = d.bodyFont ? d.bodyFont : d.font;
  b.Select(font, kAlignLeft, kWhite);
  const int32_t line = std::max(FontHeight(), 3);
  d.DrawBar(b.X(0.04f), b.Y(0.19f));
  d.rowCount = static_cast<int>(g.standings.size());
  d.rowsPerPage = std::max(1, static_cast<int>((b.area.bottom - b.area.top) * 0.537f / (line - 1)));
  if (d.firstRow >= d.rowCount) d.firstRow = 0;
  int32_t y = b.Y(0.194f);
  LeaderRow row;
  for (int i = d.firstRow; i < d.firstRow + d.rowsPerPage && LeaderRowAt(g, static_cast<size_t>(i), &row); ++i) {
    b.Select(font, kAlignLeft, row.highlight ? kHighlight : kWhite);
    b.Row(kind, row, y);
    y += line - 2;
  }
  d.DrawBar(b.X(0.04f), b.Y(0.727f));
  b.Select(font, kAlignLeft, kHighlight);
  y = b.Y(0.733f);
  for (size_t i : OwnGolferRows(g))
    if (LeaderRowAt(g, i, &row)) {
      b.Row(kind, row, y);
      y += line - 2;
    }
  FontState().alignment = kAlignLeft;
}
