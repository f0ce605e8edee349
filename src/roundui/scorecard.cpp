#include "roundui/scorecard.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "course/catalogue.h"
#include "course/courseload.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "framework/ui/inputstate.h"
#include "golf/game.h"
#include "mmsystem.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/gfx/windowdesc.h"
#include "roundui/uitext.h"

namespace {

constexpr uint32_t kCourseColour = 0xFFFFFF;
constexpr uint32_t kTitleColour = 0xFFFF50;
constexpr uint32_t kCardLine = 0x5A7A5A;
constexpr int kRowTourn = 1, kRowPar = 5, kRowFirstGolfer = 6, kRowHandicap = 10, kRowRating = 11;
constexpr int kColOut = 9, kColTot = 10, kColHdp = 11, kColNet = 12;

std::string number(int32_t n, const char* format = "%d") {
  char text[32];
  std::snprintf(text, sizeof text, format, n);
  return text;
}


bool usesHandicaps(int mode) {
  return mode != kModePractice && mode != kModeTournament && mode != kModeNetTournament && mode != kModeDrivingRange;
}
bool marksHoles(int mode) {
  return mode == kModeSkins || mode == kModeMatchPlay || mode == kModeFourBall || mode == kModeFoursome;
}

uint32_t strokesOf(uint32_t v) { return v & ~kScoreMarker; }

MemHandle gCardFont = 0;

MemHandle cardFont(int sizeIndex) {
  if (!gCardFont) FontLoad(&gCardFont, Facts().fontFolder, sizeIndex >= 3 ? "Hal18i.ffn" : "HAL12b.ffn", 0);
  return gCardFont;
}

}  // namespace

int32_t SumValues(const int32_t* values, int count) {
  int32_t sum = 0;
  for (int i = 0; i < count; ++i) sum += values[i];
  return sum;
}

std::vector<CardText> BuildScoreCard(const CardInput& in, const std::function<bool(const std::string&)>& fits) {
  std::vector<CardText> out;
  auto put = [&out](int row, int column, std::string text, uint32_t colour = kCourseColour, bool star = false) {
    out.push_back(CardText{row, column, std::move(text), colour, star});
  };
  const CourseCard& c = in.course;
  const int nine = in.frontNine ? 0 : 9;
  const bool tourn = c.yards[0][0] != 0;

  static const char* const kTitles[] = {"Hole", "Tourn.", "Blue", "White", "Red", "Par"};
  for (int row = 0; row <= kRowPar; ++row)
    if (row != kRowTourn || tourn) put(row, -1, kTitles[row], kTitleColour);
  put(kRowHandicap, -1, "Handicap", kTitleColour);
  put(kRowRating, -1, "Rating", kTitleColour);
  put(0, kColOut, in.frontNine ? "OUT" : "IN", kTitleColour);
  put(0, kColTot, "TOT", kTitleColour);
  put(0, kColHdp, "HDP", kTitleColour);
  put(0, kColNet, "NET", kTitleColour);

  // Ratings: 16.16 fixed point, from the first hole column on.
  static const char* const kRatingNames[] = {"Tournament", "Blue", "White", "Red"};
  for (int t = tourn ? 0 : 1, slot = 0; t < 4; ++t, ++slot) {
    char text[48];
    std::snprintf(text, sizeof text, "%s %-4.1f", kRatingNames[t], c.ratings[t] / 65536.0);
    put(kRowRating, 100 + slot, text);
  }

  int32_t nineSums[5] = {}, roundSums[5] = {};
  for (int k = 0; k < 9; ++k) {
    const int h = nine + k;
    put(0, k, number(h + 1), kTitleColour);
    if (tourn && c.yards[0][h]) put(kRowTourn, k, number(c.yards[0][h]));
    for (int t = 1; t < 4; ++t) put(kRowTourn + t, k, number(c.yards[t][h]));
    put(kRowPar, k, number(c.par[h]));
    put(kRowHandicap, k, number(c.strokeIndex[h], "%d "));
  }
  for (int h = 0; h < 18; ++h)
    for (int t = 0; t < 5; ++t) {
      const int32_t v = t < 4 ? c.yards[t][h] : c.par[h];
      roundSums[t] += v;
      if (h >= nine && h < nine + 9) nineSums[t] += v;
    }
  for (int t = 0; t < 5; ++t) {
    if (t == 0 && !tourn) continue;
    const int row = t < 4 ? kRowTourn + t : kRowPar;
    put(row, kColOut, number(nineSums[t]));
    if (!in.frontNine) put(row, kColTot, number(roundSums[t]));
  }

  const char* mark = in.mode == kModeSkins ? "$" : "^";
  const bool teams = in.mode == kModeFourBall || in.mode == kModeFoursome;
  const bool handicaps = usesHandicaps(in.mode);
  for (int s = 0; s < 4; ++s) {
    const CardGolfer& g = in.golfers[s];
    if (!g.present) continue;
    const int row = kRowFirstGolfer + s;
    const uint32_t colour = teams ? (s < 2 ? 0xFFFF50 : 0x00AA00) : 0xFFFFFF;
    std::string name = g.name;
    while (!name.empty() && fits && !fits(name)) name.pop_back();
    put(row, -1, name, colour);
    const bool receives = handicaps && g.handicap > 0;
    int32_t nineSum = 0, roundSum = 0;
    for (int h = 0; h < 18; ++h) {
      const uint32_t v = strokesOf(in.puttsView ? g.putts[h] : g.strokes[h]);
      roundSum += static_cast<int32_t>(v);
      if (h >= nine && h < nine + 9) nineSum += static_cast<int32_t>(v);
    }
    for (int k = 0; k < 9; ++k) {
      const int h = nine + k;
      if (receives && g.handicap >= c.strokeIndex[h]) put(row, k, "*", colour, true);
      if (marksHoles(in.mode)) {
        if (h < in.firstHole || h > in.lastHole || g.holeWon[h] < 0) continue;
        put(row, k, g.holeWon[h] ? mark : "-", colour);
        continue;
      }
      const uint32_t raw = in.puttsView ? g.putts[h] : g.strokes[h];
      if (raw & kScoreMarker) put(row, k, "-", colour);
      else if (raw > 0) put(row, k, number(static_cast<int32_t>(raw), "%d "), colour);
    }
    const bool showHandicap = handicaps && g.handicap != 0;
    switch (in.mode) {
      case kModeShootout:
        if (g.handicap) put(row, kColHdp, number(g.handicap), colour);
        break;
      case kModeMatchPlay:
      case kModeFourBall:
      case kModeFoursome:
        put(row, kColOut, g.standing, colour);
        if (showHandicap) put(row, kColHdp, number(g.handicap), colour);
        break;
      case kModeSkins:
        if (g.skins) put(row, kColOut, number(static_cast<int32_t>(g.skins), "%d $s"), colour);
        if (showHandicap) put(row, kColHdp, number(g.handicap), colour);
        break;
      case kModePractice:
        break;
      default: {
        if (nineSum) put(row, kColOut, number(nineSum), colour);
        if (!in.frontNine && roundSum) put(row, kColTot, number(roundSum), colour);
        if (showHandicap) put(row, kColHdp, number(g.handicap), colour);
        if ((g.flags & 0xC0) || in.puttsView) break;
        // Net to par over the holes of the range that were played.
        int32_t pars = 0, strokes = 0;
        for (int h = std::max(0, in.firstHole); h <= in.lastHole && h < 18; ++h) {
          const uint32_t v = strokesOf(g.strokes[h]);
          if (!v) continue;
          pars += c.par[h];
          strokes += static_cast<int32_t>(v) - (receives && g.handicap >= c.strokeIndex[h] ? 1 : 0);
        }
        if (pars) put(row, kColNet, strokes == pars ? std::string("E") : number(strokes - pars, "%+d"), colour);
        break;
      }
    }
  }
  return out;
}

int32_t CardColumnX(int column, int sizeIndex) {
  constexpr int32_t first = 90, width = 26, total = 34;
  int32_t x;
  if (column < 0) x = 4;
  else if (column < 9) x = first + column * width;
  else x = first + 8 * width + width / 2 + total / 2 + (column - 9) * total;
  return sizeIndex >= 3 ? static_cast<int32_t>(x * 1.4) : x;
}

int32_t CardRowHeight(int sizeIndex) { return sizeIndex >= 3 ? 24 : 17; }
int32_t GetScorecardRowY(int sizeIndex) { return 6 * CardRowHeight(sizeIndex); }
int32_t CardWidth(int sizeIndex) { return CardColumnX(12, sizeIndex) + (sizeIndex >= 3 ? 24 : 17) + 4; }
int32_t CardHeight(int sizeIndex) { return 12 * CardRowHeight(sizeIndex) + 4; }

CardInput CurrentScoreCard(bool frontNine, bool puttsView) {
  CardInput in;
  in.frontNine = frontNine;
  in.puttsView = puttsView;
  TGame* g = CurrentGame();
  // The game's course, loaded unless it already is (the pars below would load it anyway).
  Svc().catalogue->SetCurrentCourse();
  const LoadedCourse& course = CurrentCourse();
  CourseRecord record{};
  const int n = g ? FindCourseByName(g->courseName.c_str()) : -1;
  const bool listed = n >= 0 && GetCourseInfo(n, &record) == kCourseListOk;
  if (course.loaded && (!listed || strcasecmp(course.record.location, record.location) == 0)) {
    in.course = course.card;
  } else if (listed) {
    // A course that did not load (a saved game's, its data away) still shows its own card, not another's.
    ReadCourseCard(record, &in.course);
  }
  for (int h = 0; h < 18; ++h) {
    in.course.par[h] = Svc().catalogue->HolePar(h);
    in.course.strokeIndex[h] = Svc().catalogue->HoleStrokeIndex(h);
  }
  if (!g || !g->players) return in;
  in.mode = g->mode;
  const int round = g->state.round;
  in.firstHole = g->state.firstHole;
  in.lastHole = g->state.hole;
  auto* match = dynamic_cast<TMatchPlayGame*>(g);
  auto* skins = dynamic_cast<TSkinsGame*>(g);
  for (int s = 0; s < 4; ++s) {
    TPlayer* p = g->players->GetPlayer(s);
    CardGolfer& out = in.golfers[s];
    if (!p || !(p->flags & kGolferTakesPart)) continue;
    out.present = true;
    out.name.assign(p->name, strnlen(p->name, sizeof p->name));
    out.handicap = g->UsesHandicaps() || g->mode == kModeShootout ? GolferHandicap(*p) : 0;
    out.flags = p->flags;
    for (int h = 0; h < 18; ++h) {
      p->GetHoleScore(round, h, &out.strokes[h], &out.putts[h]);
      out.holeWon[h] = -1;
      if (match && round < kRounds) {
        const int side = match->SideOf(s);
        const uint8_t r = match->holeResults[round][h];
        if (r != TMatchPlayGame::kUnplayed) out.holeWon[h] = (r == TMatchPlayGame::kWonBySide0 && side == 0) || (r == TMatchPlayGame::kWonBySide1 && side == 1) ? 1 : 0;
      } else if (skins && skins->holeWinner[h] != TSkinsGame::kNotPlayed) {
        out.holeWon[h] = skins->holeWinner[h] == s ? 1 : 0;
      }
    }
    if (match) {
      const int standing = match->GetStanding(match->SideOf(s));
      char text[16];
      if (standing == 0) std::snprintf(text, sizeof text, "E");
      else std::snprintf(text, sizeof text, "%d-%s", standing > 0 ? standing : -standing, standing > 0 ? "UP" : "DN");
      out.standing = text;
    }
    if (skins) out.skins = skins->skinsWon[s];
  }
  return in;
}

void DrawScorecard(const CardInput& in, int32_t x, int32_t y) {
  ImageRecord* drawn = DrawnImage();
  if (!drawn || !drawn->window) return;
  const int size = std::clamp(Facts().sizeSetting, 0, 4);
  const int32_t w = CardWidth(size), h = CardHeight(size), rowH = CardRowHeight(size);
  if (setwindow(drawn->window)) {
    fillrect(x, y, w, h, RoundPixel565(kScoreCardFill));
    for (int row = 1; row < 12; ++row) fillrect(x + 2, y + row * rowH, w - 4, 1, RoundPixel565(kCardLine));
    // The ratings run across the card in one line: the column lines stop above their row.
    const int32_t column = CardColumnX(1, size) - CardColumnX(0, size), lineH = kRowRating * rowH - 2;
    fillrect(x + CardColumnX(0, size) - column / 2, y + 2, 1, lineH, RoundPixel565(kCardLine));
    fillrect(x + CardColumnX(kColOut, size) - (CardColumnX(kColTot, size) - CardColumnX(kColOut, size)) / 2, y + 2, 1,
             lineH, RoundPixel565(kCardLine));
    releasewindow();
  }
  const MemHandle font = cardFont(size);
  if (font) {
    SelectRoundFont(font, drawn, kAlignLeft, 0xFFFFFF, 1);
    const int32_t nameRoom = CardColumnX(0, size) - (CardColumnX(1, size) - CardColumnX(0, size)) / 2 - 8;
    const std::vector<CardText> texts =
        BuildScoreCard(in, [nameRoom](const std::string& name) { return FontStringWidth(name.c_str(), 0) <= nameRoom; });
    const int32_t lineH = FontHeight(), ascent = SelectedFontAscent();
    const int32_t colW = CardColumnX(1, size) - CardColumnX(0, size);
    int32_t ratingX = x;
    for (const CardText& t : texts) {
      const int32_t baseline = y + t.row * rowH + (rowH - lineH) / 2 + ascent;
      int32_t tx;
      int32_t align = kAlignCentre;
      if (t.column < 0) {
        tx = x + CardColumnX(-1, size);
        align = kAlignLeft;
      } else if (t.column >= 100) {
        // Ratings one after the other from the first hole column's left edge.
        if (t.column == 100) ratingX = x + CardColumnX(0, size) - colW / 2;
        tx = ratingX;
        ratingX += FontStringWidth(t.text.c_str(), 0) + colW;
        align = kAlignLeft;
      } else {
        tx = x + CardColumnX(t.column, size);
      }
      if (t.star) {
        // At the cell's upper left, clear of the strokes.
        tx -= colW / 2 - 1;
        align = kAlignLeft;
      }
      SelectRoundFont(font, drawn, align, t.colour, 1);
      FontDrawText(tx, t.star ? baseline - 3 : baseline, t.text.c_str());
    }
  }
  AddDirtyRect(MARect{x, y, x + w, y + h});
}

void FreeScoreCardFont() { FontFree(&gCardFont); }

void ShowScoreCardPage(int frontNine) {
  ImageRecord* drawn = DrawnImage();
  if (!drawn || !drawn->window || Svc().frontEnd->DialogsSuppressed()) return;
  TGame* g = CurrentGame();
  const bool front = frontNine >= 0 ? frontNine != 0 : !g || g->state.hole < 9;
  const bool putts = false;
  const int size = std::clamp(Facts().sizeSetting, 0, 4);
  const int32_t w = CardWidth(size), h = CardHeight(size);
  const int32_t x = (Facts().screenWidth - w) / 2, y = (Facts().screenHeight - h) / 2;
  // The screen under the card comes back when it closes.
  WindowDesc* under = trycreatewindowadr(w, h, 16);
  if (under) CopyWindowArea(under, 0, 0, drawn->window, x, y, w, h);
  DrawScorecard(CurrentScoreCard(front, putts), x, y);
  UpdateScreen();
  FlushInput();
  // Closed by a key or a button, or by itself after half a minute.
  const uint32_t opened = timeGetTime();
  while (timeGetTime() - opened < 30000) {
    if (PollKeyMessages() || PollMouseButtons() || !Facts().appActive) break;
    SleepMs(10);
  }
  FlushInput();
  if (under) {
    CopyWindowArea(drawn->window, x, y, under, 0, 0, w, h);
    removewindow(under);
    AddDirtyRect(MARect{x, y, x + w, y + h});
    UpdateScreen();
  }
}
