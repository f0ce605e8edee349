#include "roundui/holepanel.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

#include "app/gameapp.h"
#include "course/roster.h"
#include "framework/core/errors.h"
#include "framework/core/services.h"
#include "golf/game.h"
#include "golf/player.h"
#include "platformlib/shapes/shapes.h"
#include "roundui/gameui.h"
#include "roundui/holetext.h"
#include "roundui/inroundbutton.h"
#include "roundui/uishapes.h"
#include "roundui/uitext.h"

CHoleNumParGfx* HolePanel = nullptr;

namespace {

struct PanelLayout {
  int32_t originX, originY, topX, topY, backX, backY, lineX, lineY, scoreX, pictureX, pictureY, step;
};
constexpr PanelLayout kLayouts[5] = {{4, 3, 1, 3, 19, 5, 44, 20, 222, 47, 57, 12},
                                     {8, 4, 2, 4, 21, 6, 59, 26, 275, 59, 72, 15},
                                     {8, 4, 2, 4, 21, 6, 59, 26, 275, 59, 72, 15},
                                     {12, 17, 3, 6, 34, 10, 91, 45, 436, 94, 115, 24},
                                     {12, 17, 3, 6, 34, 10, 91, 45, 436, 94, 115, 24}};
constexpr const char* kFonts[5] = {"Hal8b.ffn", "Hal8b.ffn", "Hal8b.ffn", "Hal12b.ffn", "Hal12b.ffn"};

const PanelLayout& Layout() { return kLayouts[std::clamp(Facts().sizeSetting, 0, 4)]; }

TPlayer* Golfer(int slot) {
  TGame* g = CurrentGame();
  return g && g->players ? g->players->GetPlayer(slot) : nullptr;
}
bool TakesPart(int slot) {
  const TPlayer* p = Golfer(slot);
  return p && (p->flags & kGolferTakesPart);
}

}  // namespace

std::string CHoleNumParGfx::GolferPictureName(uint32_t model, int variant) {
  if (model >= 19 && model <= 25) return "senior.fsh";
  if (model < 4) return "sbea.fsh";
  std::string prefix;
  if (const RosterSlot* r = GolferRosterSlot(static_cast<int>(model)))
    for (int i = 0; i < 2 && r->name[i]; ++i) {
      const char c = r->name[i];
      prefix += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
  return prefix + "0" + std::to_string(std::clamp(variant, 1, 3)) + ".fsh";
}

CHoleNumParGfx::CHoleNumParGfx() : MA_EventHandler(0, 0, 0, 0, 0) {
  for (int s = 0; s < 4; ++s)
    if (TakesPart(s)) ++golfers;
  RefreshNamesAndScores();
  // The background for the number of golfers taking part, from the in-round folder of the screen size.
  const char back[] = {'s', 'c', 'o', 'r', 'e', 'b', 'g', static_cast<char>('a' + std::clamp<int>(golfers, 1, 4) - 1), '.', 'f', 's', 'h', 0};
  PathRecord* ui = GameUIFolder();
  if (ui) {
    LoadPiece(&background_, ui, back);
    LoadPiece(&top_, ui, "top.fsh");
    LoadPiece(&charge_, ui, "charge.fsh");
  }
  LoadGolferPictures();
  if (FontLoad(&font, Facts().fontFolder, kFonts[std::clamp(Facts().sizeSetting, 0, 4)], 0) != 0 || !font) {
    font = 0;
    fontError = 1;
    ShowErrorBox(7, false);
  }
  RefreshScores();
}

CHoleNumParGfx::~CHoleNumParGfx() {
  FreePiece(&background_);
  FreePiece(&top_);
  FreePiece(&charge_);
  for (Piece& p : pictures_) FreePiece(&p);
  if (font) FontFree(&font);
  if (HolePanel == this) HolePanel = nullptr;
  if (InRound().holeGraphic == this) InRound().holeGraphic = nullptr;
}

void CHoleNumParGfx::LoadPiece(Piece* piece, PathRecord* folder, const char* name) {
  FreePiece(piece);
  if (!folder) return;
  const MemHandle h = Svc().scene->LoadShapeFile(folder, name);
  if (!h) return;
  const auto* bytes = static_cast<const uint8_t*>(MemLock(h));
  if (!bytes || checkshapefile(bytes, MemHandleSize(h)) != 1 || shapecount(bytes) < 1) {
    if (bytes) MemUnlock(h);
    MemFreeHandle(h);
    return;
  }
  piece->file = h;
  piece->frame = locateshapenum(bytes, 0);
}

void CHoleNumParGfx::FreePiece(Piece* piece) {
  if (piece->file) {
    MemUnlock(piece->file);
    MemFreeHandle(piece->file);
  }
  *piece = Piece{};
}

void CHoleNumParGfx::LoadGolferPicture(int slot, int variant) {
  if (slot < 0 || slot > 3) return;
  FreePiece(&pictures_[slot]);
  const TPlayer* p = Golfer(slot);
  if (!p) return;
  PathRecord pics = Folders().data;
  if (PathAppend(&pics, "PICS") != 0) return;
  LoadPiece(&pictures_[slot], &pics, GolferPictureName(p->model, variant).c_str());
}

void CHoleNumParGfx::LoadGolferPictures() {
  for (int s = 0; s < 4; ++s) {
    if (!TakesPart(s)) continue;
    LoadGolferPicture(s, 1);
    // A picture that does not load ends the loading without an error.
    if (!pictures_[s].file) break;
  }
}

void CHoleNumParGfx::SetCharge(int slot, int style) {
  if (slot >= 0 && slot < 4) charge[slot] = std::clamp(style, 0, 2);
}

void CHoleNumParGfx::RefreshHoleLabel() {
  TGame* g = CurrentGame();
  holeLabel = g ? FormatHoleLabel(g->state.hole + 1, true, g->mode) : std::string();
}

void CHoleNumParGfx::RefreshParText() {
  TGame* g = CurrentGame();
  if (!g || g->mode == kModeDrivingRange) {
    parText.clear();
    return;
  }
  parText = "Par " + std::to_string(GetHolePar(g->state.hole));
}

namespace {

bool RoundScreenOnTop() {
  return CurrentHandlerList() == InRound().list || CurrentHandlerList() == InRound().afterShot;
}

}  // namespace

void CHoleNumParGfx::RefreshShotLabel() {
  TGame* g = CurrentGame();
  TPlayer* p = Golfer(g ? g->state.currentPlayer : 0);
  uint32_t strokes = 0;
  if (g && p) p->GetHoleScore(g->state.round, g->state.hole, &strokes, nullptr);
  strokes &= ~kScoreMarker;
  // While another screen is on top the panel shows the stroke just played.
  const int n = static_cast<int>(strokes) + (strokes == 0 || RoundScreenOnTop() ? 1 : 0);
  shotLabel = FormatHoleLabel(n, false, g ? g->mode : 0);
}

void CHoleNumParGfx::RefreshNames() {
  RefreshHoleLabel();
  RefreshParText();
  TGame* g = CurrentGame();
  for (int s = 0; s < 4; ++s) {
    names[s].clear();
    TPlayer* p = Golfer(s);
    if (!p || !(p->flags & kGolferTakesPart)) continue;
    names[s] = std::string(p->name, strnlen(p->name, sizeof p->name));
    if (g && g->HasHandicapStroke(s, g->state.hole)) names[s] += "*";
  }
}

void CHoleNumParGfx::RefreshNamesAndScores() {
  RefreshNames();
  RefreshScores();
}

void CHoleNumParGfx::RefreshScores() {
  TGame* g = CurrentGame();
  for (int s = 0; s < 4; ++s) {
    TPlayer* p = Golfer(s);
    if (!g || !p) {
      scores[s].clear();
      continue;
    }
    // The active golfer's score counts the shot in hand while the round's screen is up.
    const bool inHand = s == g->state.currentPlayer && (p->flags & kGolferTakesPart) && p->inPlay &&
                        RoundScreenOnTop() && p->AddHoleScore(g->state.round, g->state.hole, 1, 0) == kRecordOk;
    scores[s] = g->GetScoreText(s);
    if (inHand) p->AddHoleScore(g->state.round, g->state.hole, -1, 0);
  }
}

void CHoleNumParGfx::RefreshShotAndScores() {
  RefreshShotLabel();
  RefreshScores();
}

void CHoleNumParGfx::Draw(int redrawNow) {
  if (!(flags & kHandlerShown)) return;
  const PanelLayout& l = Layout();
  TGame* g = CurrentGame();
  const int current = g ? g->state.currentPlayer : 0;
  const int32_t ox = l.originX, oy = l.originY;
  MARect r{ox, oy, ox, oy};
  const auto add = [&](const MARect& a) {
    if (a.right <= a.left) return;
    r.left = std::min(r.left, a.left), r.top = std::min(r.top, a.top);
    r.right = std::max(r.right, a.right), r.bottom = std::max(r.bottom, a.bottom);
  };
  if (!userWord) {
    Erase(0);
    add(DrawUIFrame(background_.frame, ox + l.backX, oy + l.backY));
    const int32_t tx = ox + l.topX, ty = oy + l.topY;
    add(DrawUIFrame(top_.frame, tx, ty));
    if (current >= 0 && current < 4) add(DrawUIFrame(pictures_[current].frame, tx + l.pictureX, ty + l.pictureY));
    if (current >= 0 && current < 4 && charge[current]) add(DrawUIFrame(charge_.frame, tx, ty));
  }
  RefreshShotLabel();
  RefreshHoleLabel();
  RefreshScores();
  if (font) {
    const auto text = [&](int32_t x, int32_t y, const std::string& s, uint32_t rgb) {
      if (s.empty()) return;
      SelectRoundFont(font, DrawnImage(), kAlignLeft, rgb, 1);
      FontRecordExtent(1);
      FontDrawText(x, y, s.c_str());
      const FontTextState& st = FontState();
      if (!st.extentEmpty) add(st.extent);
      FontRecordExtent(0);
    };
    const int32_t labelY = oy + l.backY + 2;
    text(ox + l.lineX, labelY, holeLabel, 0xFFFFFF);
    text(ox + l.lineX + (l.scoreX - l.lineX) / 2 - 20, labelY, parText, 0xFFFFFF);
    text(ox + l.scoreX - 10, labelY, shotLabel, 0xFFFFFF);
    int line = 0;
    for (int s = 0; s < 4; ++s) {
      if (names[s].empty()) continue;
      const uint32_t colour = s == current && golfers > 1 ? 0xFFFF50 : TakesPart(s) ? 0xFFFFFF : 0xAAAAAA;
      const int32_t y = oy + l.lineY + line * l.step;
      text(ox + l.lineX, y, names[s], colour);
      text(ox + l.scoreX, y, scores[s], colour);
      ++line;
    }
  }
  left = r.left, top = r.top, right = r.right, bottom = r.bottom;
  AddDirtyRect(r);
  if (redrawNow) UpdateScreen();
}

int32_t CHoleNumParGfx::RightEdge() const {
  const PanelLayout& l = Layout();
  const int32_t ox = l.originX, oy = l.originY;
  int32_t edge = right > left ? right : 0;
  for (const MARect& r : {FrameRectAt(background_.frame, ox + l.backX, oy + l.backY),
                          FrameRectAt(top_.frame, ox + l.topX, oy + l.topY)})
    if (r.right > r.left) edge = std::max(edge, r.right);
  return edge;
}

void CHoleNumParGfx::Erase(int redrawNow) {
  if (!(flags & kHandlerShown) || right <= left) return;
  RestoreViewRect(MARect{left, top, right, bottom});
  if (redrawNow) UpdateScreen();
}

CHoleNumParGfx* CreateHolePanel() {
  if (!HolePanel) HolePanel = new (std::nothrow) CHoleNumParGfx;
  return HolePanel;
}
