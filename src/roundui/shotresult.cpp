#include "roundui/shotresult.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "course/savedfiles.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "frontend/dialog.h"
#include "golf/game.h"
#include "platformlib/gfx/windowdesc.h"
#include "roundui/aftershot.h"
#include "roundui/holetext.h"
#include "roundui/uitext.h"
#include "windows.h"

bool ShotSavingAllowed = true;

namespace {

std::string golferName(const TPlayer* p) { return p ? std::string(p->name, strnlen(p->name, sizeof p->name)) : std::string(); }

struct Banner {
  std::string text;
  int32_t y = 0, height = 0;
  WindowDesc* under = nullptr;
};
std::vector<Banner> gBanners;
std::vector<std::string> gBannerTexts;
MemHandle gBannerFont = 0;

MemHandle bannerFont() {
  if (!gBannerFont) FontLoad(&gBannerFont, Facts().fontFolder, Facts().sizeSetting >= 3 ? "trek36.ffn" : "trek24.ffn", 0);
  return gBannerFont;
}


}  // namespace

std::string ShotScoreName(int strokes, int par) {
  if (strokes == 1) return "Hole-In-One";
  switch (strokes - par) {
    case -4: return "Hole-In-One";
    case -3: return "Double Eagle";
    case -2: return "Eagle";
    case -1: return "Birdie";
    case 0: return "Par";
    case 1: return "Bogey";
    case 2: return "Double Bogey";
    case 3: return "Triple Bogey";
    default: return {};
  }
}

std::vector<std::string> ShotResultTexts(const ShotResultInput& in) {
  std::vector<std::string> out;
  std::string line;
  if (in.water && !in.drivingRange) line = "Water Hazard: 1 Stroke Penalty";
  else if (in.outOfBounds && !in.drivingRange) line = "Out of Bounds: 1 Stroke Penalty";
  else if (!in.holed && !in.distanceLeft.empty()) line = in.distanceLeft + " to hole";
  if (!line.empty()) out.push_back(line);
  if (in.drivingRange) return out;
  if (in.strokeLimit && !in.holed) out.push_back("Stroke Limit");
  if (in.holed) {
    const std::string name = ShotScoreName(in.strokes, in.par);
    if (!name.empty()) out.push_back(name);
  }
  if (!in.modeResult.empty()) out.push_back(in.modeResult);
  return out;
}

std::string ModeResultLine(const std::function<bool(const std::string&)>& fits) {
  TGame* g = CurrentGame();
  if (!g || !g->players) return {};
  uint16_t winner = 4;
  char text[160];
  switch (g->mode) {
    case kModeSkins: {
      auto* skins = dynamic_cast<TSkinsGame*>(g);
      if (!skins || g->state.hole >= kHoles) return {};
      const uint8_t w = skins->holeWinner[g->state.hole];
      if (w == TSkinsGame::kNotPlayed) return {};
      if (w >= 4) return "Skin Carry-Over";
      // The stake just won: one skin, or the carried ones with it.
      uint32_t stake = 1;
      for (int h = g->state.hole - 1; h >= 0 && skins->holeWinner[h] == TSkinsGame::kCarried; --h) ++stake;
      const std::string name = golferName(g->players->GetPlayer(w));
      if (stake == 1) std::snprintf(text, sizeof text, "%s %s ", name.c_str(), "wins");
      else std::snprintf(text, sizeof text, "%s %s %u %s ", name.c_str(), "wins", stake, "skins worth");
      return text;
    }
    case kModeMatchPlay:
    case kModeFourBall:
    case kModeFoursome: {
      auto* match = dynamic_cast<TMatchPlayGame*>(g);
      if (!match || !g->GetHoleWinner(&winner, true)) return {};
      if (winner >= 4) return "Push";
      const std::string name = golferName(g->players->GetPlayer(winner));
      if (g->mode == kModeMatchPlay) {
        std::snprintf(text, sizeof text, "%s %s ", name.c_str(), "wins the point");
        return text;
      }
      const int partner = match->PartnerOf(winner);
      const std::string other = golferName(g->players->GetPlayer(partner));
      std::snprintf(text, sizeof text, "%s %s %s %s", name.c_str(), "and", other.c_str(), "win the point");
      if (!fits || fits(text)) return text;
      // One name: this machine's golfer when it is on the winning side.
      const int local = static_cast<int>(g->localPlayer);
      const std::string single =
          match->SideOf(local) == match->SideOf(winner) ? golferName(g->players->GetPlayer(local)) : name;
      std::snprintf(text, sizeof text, "%s %s", single.c_str(), "wins the point");
      return text;
    }
    case kModeShootout: {
      auto* shootout = dynamic_cast<TShootoutGame*>(g);
      if (!shootout || !shootout->lastEliminated) return {};
      std::snprintf(text, sizeof text, "%s %s", golferName(shootout->lastEliminated).c_str(), "is eliminated");
      return text;
    }
    default: return {};
  }
}

void ShowShotResultText() {
  TGame* g = CurrentGame();
  TPlayer* p = g && g->players ? g->players->GetPlayer(g->state.currentPlayer) : nullptr;
  if (!p) return;
  ShotResultInput in;
  in.drivingRange = g->mode == kModeDrivingRange;
  const AfterShotLie lie = ClassifyBallLie(p->ball);
  in.water = lie.water;
  in.outOfBounds = lie.outOfBounds;
  in.holed = p->ball.Flag(kBallFlagHoled) != 0;
  uint32_t strokes = 0;
  p->GetHoleScore(g->state.round, g->state.hole, &strokes, nullptr);
  in.strokes = static_cast<int>(strokes & ~kScoreMarker) + AfterShotStrokePending();
  in.par = GetHolePar(g->state.hole);
  in.strokeLimit = g->mode != kModePractice && g->mode != kModeDrivingRange && in.strokes >= 15;
  std::string distance = FormatDistanceText(kDistanceToHole, nullptr);
  if (const size_t colon = distance.find(": "); colon != std::string::npos) distance.erase(0, colon + 2);
  in.distanceLeft = distance;
  for (const std::string& line : ShotResultTexts(in)) ShowResultBanner(line);
}

std::vector<std::string> SplitBannerText(const std::string& text, int maxWidth,
                                         const std::function<int(const std::string&)>& width) {
  if (width(text) <= maxWidth) return {text};
  if (const size_t colon = text.find(':'); colon != std::string::npos) {
    size_t rest = colon + 1;
    while (rest < text.size() && text[rest] == ' ') ++rest;
    return {text.substr(0, colon + 1), text.substr(rest)};
  }
  size_t cut = std::string::npos;
  for (size_t i = text.find(' '); i != std::string::npos; i = text.find(' ', i + 1)) {
    if (width(text.substr(0, i)) > maxWidth) break;
    cut = i;
  }
  if (cut == std::string::npos) return {text};
  size_t rest = cut;
  while (rest < text.size() && text[rest] == ' ') ++rest;
  return {text.substr(0, cut), text.substr(rest)};
}

namespace {

// Draws a banner at its place, taking what it covers first; false when it does not fit the screen.
bool DrawBanner(Banner& b) {
  ImageRecord* drawn = DrawnImage();
  const MemHandle font = bannerFont();
  if (!drawn || !drawn->window || !font) return false;
  WindowDesc* w = drawn->window;
  SelectRoundFont(font, drawn, kAlignCentre, 0xFFFF50, 2);
  const int32_t screenW = std::min<int32_t>(Facts().screenWidth, w->width);
  const std::vector<std::string> lines =
      SplitBannerText(b.text, screenW - 16, [](const std::string& s) { return FontStringWidth(s.c_str(), 0); });
  const int32_t lineH = FontHeight() + 4;
  b.height = static_cast<int32_t>(lines.size()) * lineH + 12;
  if (b.y + b.height > w->height) return false;
  if (b.under) removewindow(b.under);
  b.under = trycreatewindowadr(screenW, b.height, 16);
  if (b.under) CopyWindowArea(b.under, 0, 0, w, 0, b.y, screenW, b.height);
  // A darkened band across the view, the text centred on it.
  if (w->depth == 16)
    for (int32_t row = b.y; row < b.y + b.height; ++row) {
      auto* px = reinterpret_cast<uint16_t*>(w->pixels + row * w->rowbytes);
      for (int32_t x = 0; x < screenW; ++x) px[x] = static_cast<uint16_t>((px[x] >> 2) & 0x39E7);
    }
  const int32_t ascent = SelectedFontAscent();
  for (size_t i = 0; i < lines.size(); ++i)
    FontDrawText(screenW / 2, b.y + 6 + static_cast<int32_t>(i) * lineH + ascent, lines[i].c_str());
  AddDirtyRect(MARect{0, b.y, screenW, b.y + b.height});
  return true;
}

}  // namespace

void ShowResultBanner(const std::string& text) {
  if (text.empty()) return;
  gBannerTexts.push_back(text);
  Banner b;
  b.text = text;
  b.y = gBanners.empty() ? Facts().screenHeight / 5 : gBanners.back().y + gBanners.back().height + 4;
  if (DrawBanner(b)) gBanners.push_back(b);
  else if (b.under) removewindow(b.under);
}

void RedrawResultBanners() {
  for (Banner& b : gBanners) DrawBanner(b);
}

void EraseResultBanners() {
  ImageRecord* drawn = DrawnImage();
  for (auto it = gBanners.rbegin(); it != gBanners.rend(); ++it) {
    if (it->under && drawn && drawn->window) {
      CopyWindowArea(drawn->window, 0, it->y, it->under, 0, 0, it->under->width, it->height);
      AddDirtyRect(MARect{0, it->y, it->under->width, it->y + it->height});
    }
    if (it->under) removewindow(it->under);
  }
  gBanners.clear();
  gBannerTexts.clear();
}

int ResultBannersShown() { return static_cast<int>(gBannerTexts.size()); }
const std::vector<std::string>& ResultBannerTexts() { return gBannerTexts; }

void FreeResultBannerFont() { FontFree(&gBannerFont); }

int SaveShotWithComment(const char* comment) {
  if (!comment) return 0;
  TGame* g = CurrentGame();
  TPlayer* p = g && g->players ? g->players->GetPlayer(g->state.currentPlayer) : nullptr;
  std::string text = comment;
  if (text.find_first_not_of(' ') == std::string::npos) text = "No comment";
  // Room for the file on the saved-shot folder's drive.
  const std::string folder = SavedShotFolder();
  const std::string root = folder.size() >= 2 && folder[1] == ':' ? folder.substr(0, 2) + "\\" : std::string("C:\\");
  DWORD sectors = 0, bytes = 0, freeClusters = 0, clusters = 0;
  const bool known = GetDiskFreeSpaceA(root.c_str(), &sectors, &bytes, &freeClusters, &clusters) != 0;
  const uint64_t room = static_cast<uint64_t>(freeClusters) * sectors * bytes;
  if (!known || room <= 1376) {
    Svc().frontEnd->ShowMessageDialog("DISK FULL: Shot not saved.", 0);
    return 0;
  }
  std::string name;
  if (g && p && g->hasLastShot) {
    SavedShotHead head;
    head.course = g->courseName;
    head.mode = g->mode;
    head.hole = g->lastShot.hole;
    uint32_t strokes = 0;
    p->GetHoleScore(g->state.round, g->state.hole, &strokes, nullptr);
    head.shot = strokes & ~kScoreMarker;
    head.club = p->currentClub;
    head.holed = p->ball.Flag(kBallFlagHoled) ? 1 : 0;
    head.surface = static_cast<uint32_t>(p->ball.lie) << 4;
    head.golfer = golferName(p);
    // The body: where the shot came to rest and the hole's cup and wind, little-endian.
    std::vector<uint8_t> body;
    auto put32 = [&body](uint32_t v) {
      for (int i = 0; i < 4; ++i) body.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto putFloat = [&put32](float f) {
      uint32_t v;
      std::memcpy(&v, &f, sizeof v);
      put32(v);
    };
    for (float f : {g->lastShot.rest.x, g->lastShot.rest.y, g->lastShot.rest.z, g->lastShot.pin.x, g->lastShot.pin.y,
                    g->lastShot.pin.z})
      putFloat(f);
    put32(static_cast<uint32_t>(g->lastShot.windSpeed));
    put32(g->lastShot.windHeading);
    name = SaveShot(text, head, body, g->state.currentPlayer);
    if (!name.empty()) g->SaveLastShot();
  }
  if (name.empty()) {
    Svc().frontEnd->ShowMessageDialog("ERROR: Unable to save shot.", 0);
    return 0;
  }
  char message[96];
  std::snprintf(message, sizeof message, "%s%s", "File saved as: ", name.c_str());
  Svc().frontEnd->ShowMessageDialog(message, 0);
  ShotSavingAllowed = false;
  return 1;
}

int SaveShotDialog() {
  char comment[15];
  std::snprintf(comment, sizeof comment, "%s", "No comment");
  if (ShowTextInputDialog("Please enter comments to save shot for highlights:", comment, sizeof comment, nullptr) != 1)
    return 0;
  return SaveShotWithComment(comment);
}
