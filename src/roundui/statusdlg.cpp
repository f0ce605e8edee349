#include "roundui/statusdlg.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "golf/game.h"
#include "golf/golfmsg.h"
#include "golf/modes.h"
#include "roundui/inroundbutton.h"
#include "roundui/shotui.h"
#include "roundui/uitext.h"

namespace {

constexpr uint32_t kNetworkTimeoutMs = 10000;
constexpr uint32_t kWhite = 0xFFFFFF;

std::string Name(const TPlayer* p) { return p ? std::string(p->name, strnlen(p->name, sizeof p->name)) : ""; }

std::string WithHandicap(const TPlayer* p) {
  std::string text = Name(p);
  if (const int h = p ? GolferHandicap(*p) : 0; h != 0) text += " (HCP " + std::to_string(h) + ")";
  return text;
}

bool InPlay(const TPlayer* p) { return p && (p->flags & kGolferTakesPart); }

// Text at fractions of the content area, in the dialog's body font.
struct Table {
  CTourneyDlg& dlg;
  MARect area;
  explicit Table(CTourneyDlg& d) : dlg(d), area(d.GetContentRect()) {
    SelectRoundFont(d.bodyFont ? d.bodyFont : d.font, DrawnImage(), kAlignLeft, kWhite, 1);
  }
  int32_t X(float f) const { return static_cast<int32_t>(area.left + (area.right - area.left) * f); }
  int32_t Y(float f) const { return static_cast<int32_t>(area.top + (area.bottom - area.top) * f); }
  void Text(float fx, int32_t y, const std::string& text) const { FontDrawText(X(fx), y, text.c_str()); }
  int32_t Line() const { return FontHeight(); }
};

TGame* Game() { return CurrentGame(); }

// The match and skins dialogs end with the button's code; the shoot-out's Continue also sends the round on.
void ShootoutContinue(TGenericControlADV* control) {
  const TGame* g = Game();
  PostGolfMessage(g && g->gameOver ? kGolfEndGame : kGolfAfterStatus);
  CTourneyDlg::EndWithContinue(control);
}

}  // namespace

std::string MatchStatusWord(int holesUp) {
  if (holesUp == 0) return "even";
  if (holesUp < 0) return "";
  char text[20];
  std::snprintf(text, sizeof text, "%d-%s", holesUp, "up");
  return text;
}

std::string StatusTitle(const char* pattern, const std::string& course) {
  char text[130];
  std::snprintf(text, sizeof text, pattern, course.substr(0, course.find('^')).c_str());
  return text;
}

namespace {

// A side's golfer and, in the team modes, the partner: "Ada & Tom".
std::string SideName(TMatchPlayGame& game, int side) {
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    const TPlayer* p = game.players->GetPlayer(s);
    if (!InPlay(p) || game.SideOf(s) != side) continue;
    const int partner = game.PartnerOf(s);
    if (partner >= 0) return Name(p) + " & " + Name(game.players->GetPlayer(partner));
    return Name(p);
  }
  return "";
}

}  // namespace

std::string MatchSummary(TMatchPlayGame& game) {
  const int leader = game.GetLeader();
  const bool over = game.gameOver != 0 || game.IsMatchOver();
  char text[160];
  if (leader < 0) {
    if (over) return "Match is tied.";
    std::snprintf(text, sizeof text, "%s", "Match is all square, ");
  } else if (over) {
    std::snprintf(text, sizeof text, "%s wins the match by %d hole(s), ", SideName(game, leader).c_str(),
                  game.GetStanding(leader));
  } else {
    std::snprintf(text, sizeof text, "%s %s, ", SideName(game, leader).c_str(),
                  MatchStatusWord(game.GetStanding(leader)).c_str());
  }
  char rest[48];
  std::snprintf(rest, sizeof rest, "with %d hole(s) to play.", game.HolesRemaining());
  return std::string(text) + rest;
}

CMatchPlayDlg::CMatchPlayDlg(TMatchPlayGame* g) : CTourneyDlg(0, 0), game(g) {}

void CMatchPlayDlg::DrawContents() {
  if (!game || !game->players) return;
  const Table t(*this);
  const int32_t heads = t.Y(0.159f);
  t.Text(0.102f, heads, "Player");
  t.Text(0.579f, heads, "Holes Won");
  t.Text(0.84f, heads, "Holes Up");
  DrawBar(t.X(0.04f), t.Y(0.28f) - 4);
  int32_t y = t.Y(0.28f);
  for (int side = 0; side < 2; ++side) {
    const int32_t top = y;
    for (int s = 0; s < TPlayerList::kSlots; ++s) {
      const TPlayer* p = game->players->GetPlayer(s);
      if (!InPlay(p) || game->SideOf(s) != side) continue;
      t.Text(0.04f, y, WithHandicap(p));
      y += t.Line();
      if (const int partner = game->PartnerOf(s); partner >= 0) {
        t.Text(0.04f, y, " and " + WithHandicap(game->players->GetPlayer(partner)));
        y += t.Line();
      }
      break;
    }
    if (y == top) continue;
    t.Text(0.62f, top, std::to_string(game->holesWon[side]));
    if (game->GetStanding(side) > 0) t.Text(0.86f, top, MatchStatusWord(game->GetStanding(side)));
  }
  DrawBar(t.X(0.04f), t.Y(0.713f) - 4);
  t.Text(0.04f, t.Y(0.713f), MatchSummary(*game));
}

CShootoutDlg::CShootoutDlg(int w) : CTourneyDlg(0, 0), winner(w) {
  if (const TGame* g = Game()) heading = StatusTitle("Shoot-Out at %s", g->courseName);
}

void CShootoutDlg::DrawContents() {
  TGame* g = Game();
  if (!g || !g->players) return;
  const Table t(*this);
  int32_t y = t.Y(0.159f);
  t.Text(0.04f, y, "PLAYER");
  t.Text(0.7f, y, "STATUS");
  DrawBar(t.X(0.04f), y + t.Line() + 2);
  y += 2 * t.Line();
  const bool over = g->gameOver != 0 || g->players->CountActivePlayers() <= 1;
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    const TPlayer* p = g->players->GetPlayer(s);
    if (!InPlay(p)) continue;
    t.Text(0.04f, y, WithHandicap(p));
    const bool eliminated = (p->flags & kGolferOut) && !(p->flags & kGolferFlag9);
    if (eliminated) t.Text(0.7f, y, "Eliminated ");
    else if (over && s == winner) t.Text(0.7f, y, "Winner ");
    y += 2 * t.Line();
  }
}

CSkinsDlg::CSkinsDlg() : CTourneyDlg(0, 0) {
  if (const TGame* g = Game()) heading = StatusTitle("Skins Game at %s", g->courseName);
}

void CSkinsDlg::DrawContents() {
  auto* g = dynamic_cast<TSkinsGame*>(Game());
  if (!g || !g->players) return;
  const Table t(*this);
  int32_t y = t.Y(0.159f);
  if (!g->gameOver) {
    const uint16_t stake = g->ComputeCarryOver();
    for (const std::string& line :
         {"Total Purse: " + FormatMoney(g->TotalPurse()), "Holes Played: " + std::to_string(g->holesPlayed),
          "Next Hole:  " + std::to_string(stake) + " " + (stake == 1 ? "SKIN  " : "SKINS  ") +
              FormatMoney(g->SumSkinValues())}) {
      t.Text(0.04f, y, line);
      y += t.Line();
    }
    y += t.Line();
  }
  t.Text(0.04f, y, "PLAYER");
  t.Text(0.55f, y, "SKINS  ");
  t.Text(0.75f, y, "AMOUNT");
  DrawBar(t.X(0.04f), y + t.Line() + 2);
  y += 2 * t.Line();
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    const TPlayer* p = g->players->GetPlayer(s);
    if (!InPlay(p)) continue;
    t.Text(0.04f, y, WithHandicap(p));
    t.Text(0.58f, y, g->skinsWon[s] ? std::to_string(g->skinsWon[s]) : "-");
    t.Text(0.75f, y, FormatMoney(g->moneyWon[s]));
    y += t.Line() + 2;
  }
  DrawBar(t.X(0.04f), y + 2);
}

CDialogTxtBtn* ArmStatusDialog(CTourneyDlg& dialog, StatusKind kind) {
  const TGame* g = Game();
  // A network round left alone goes on by itself; a decided game waits for the player.
  if (g && g->IsNetworkGame() && !g->gameOver) {
    dialog.timeout = kNetworkTimeoutMs;
    dialog.timeoutResult = kind == StatusKind::kShootout ? 0 : 3;
  }
  return dialog.AddContinueButton(kind == StatusKind::kShootout ? ShootoutContinue : CTourneyDlg::EndWithContinue);
}

void RunStatusDialog(CTourneyDlg* dialog, StatusKind kind) {
  TGame* g = Game();
  Svc().frontEnd->PrepareForDialog();
  RestoreScreenRect(nullptr);
  int result = 0;
  if (dialog) {
    ArmStatusDialog(*dialog, kind);
    const int32_t suspended = InRoundInputSuspended();
    if (kind == StatusKind::kShootout) InRoundInputSuspended() = 0;
    result = dialog->RunModalLoop();
    InRoundInputSuspended() = suspended;
    delete dialog;
  } else if (kind != StatusKind::kShootout) {
    Svc().frontEnd->ErrorBox(2, kind == StatusKind::kMatchPlay ? "sources\\gameui\\matchui" : "sources\\gameui\\skinsui",
                             __LINE__);
  }
  RestoreScreenRect(nullptr);
  // The shoot-out's Continue has sent the round on already.
  if (dialog && kind == StatusKind::kShootout && result != 0) return;
  PostGolfMessage(g && g->gameOver ? kGolfEndGame : kGolfAfterStatus);
}

void ShowMatchPlayStatus() {
  auto* match = dynamic_cast<TMatchPlayGame*>(Game());
  RunStatusDialog(match ? new (std::nothrow) CMatchPlayDlg(match) : nullptr, StatusKind::kMatchPlay);
}

int ShootoutWinner() {
  const TGame* g = Game();
  if (!g || !g->players || g->players->CountActivePlayers() != 1) return -1;
  for (int s = 0; s < TPlayerList::kSlots; ++s)
    if (const TPlayer* p = g->players->GetPlayer(s); InPlay(p) && !(p->flags & kGolferOut)) return s;
  return -1;
}

void ShowShootoutStatus(int winner) {
  RunStatusDialog(new (std::nothrow) CShootoutDlg(winner), StatusKind::kShootout);
}

void ShowSkinsStatus() {
  RunStatusDialog(dynamic_cast<TSkinsGame*>(Game()) ? new (std::nothrow) CSkinsDlg : nullptr, StatusKind::kSkins);
}
