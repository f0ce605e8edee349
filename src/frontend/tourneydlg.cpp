#include "frontend/tourneydlg.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "golf/game.h"
#include "golf/golfmsg.h"
#include "platformlib/gfx/windowdesc.h"

namespace {

constexpr uint32_t kBarColour = 0xA0A0A0;

bool LargeDialog() { return DialogSizeIndex() >= 3; }

}  // namespace

int32_t TourneyDialogWidth() { return LargeDialog() ? 730 : 522; }
int32_t TourneyDialogHeight() { return LargeDialog() ? 466 : 333; }

CTourneyDlg::CTourneyDlg(int notice_, int stage_)
    : CDialogADV((Facts().screenWidth - TourneyDialogWidth()) / 2, (Facts().screenHeight - TourneyDialogHeight()) / 2,
                 TourneyDialogWidth(), TourneyDialogHeight(), DialogPicture("bkdialog.fsh"),
                 LargeDialog() ? "Hal12b.ffn" : "Hal10b.ffn"),
      notice(notice_),
      stage(stage_) {
  scale = static_cast<float>(width) / 522.0f;
  titleFont = LoadFrontEndFont(LargeDialog() ? "trek18.ffn" : "trek13.ffn");
  bodyFont = LoadFrontEndFont(LargeDialog() ? "vavodu14.ffn" : "vavodu12.ffn");
  redrawOnDestroy = false;
  SaveUnder();
}

CTourneyDlg::~CTourneyDlg() = default;

void CTourneyDlg::DrawAll(int flag) {
  const std::string keep = title;
  title.clear();  // drawn below in the title font
  CDialogADV::DrawAll(flag);
  title = keep;
  if (!heading.empty() && titleFont) {
    FontSelect(titleFont, DrawnImage(), kAlignCentre, Pixel565(0xFFFFFF), 0, 0, 1);
    FontDrawText(x + width / 2, y + static_cast<int32_t>(8 * scale), heading.c_str());
  }
  DrawContents();
  AddDirtyRect(MARect{x, y, x + width, y + height});
}

void CTourneyDlg::DrawContents() {
  if (CurrentGame()) Svc().round->DrawStandings(*this);
}

MARect CTourneyDlg::GetContentRect() const {
  const int32_t l = static_cast<int32_t>(x + 40 * scale), t = static_cast<int32_t>(y + 20 * scale);
  return MARect{l, t, l + static_cast<int32_t>(width - 40 * scale), t + static_cast<int32_t>(height - 60 * scale)};
}

void CTourneyDlg::DrawBar(int32_t bx, int32_t by) {
  ImageRecord* drawn = DrawnImage();
  WindowDesc* w = drawn ? drawn->window : nullptr;
  if (!w || w->depth != 16 || !w->pixels) return;
  const int32_t length = static_cast<int32_t>(width - 80 * scale);
  for (int32_t row = std::max(by, 0); row < std::min(by + 2, w->height); ++row) {
    auto* px = reinterpret_cast<uint16_t*>(w->pixels + static_cast<size_t>(row) * w->rowbytes);
    for (int32_t col = std::max(bx, 0); col < std::min(bx + length, w->width); ++col) px[col] = Pixel565(kBarColour);
  }
}

CDialogTxtBtn* CTourneyDlg::AddTextButton(int32_t bx, int32_t by, const char* caption, int alignment,
                                          ClickHandler handler) {
  auto* b = new CDialogTxtBtn(bx, by, caption, font, reinterpret_cast<uintptr_t>(this), 0, 1, 1, kKindButton,
                              kHandlerShown | kHandlerEnabled, 0, nullptr);
  b->dialog = this;
  b->alignment = alignment;
  b->SetColors(0xE0E0E0, 0xAAAAAA, 0xFF1010, 0xF0F0F0);
  b->clickHandler = handler;
  b->Layout();
  AddHandler(b);
  return b;
}

CDialogTxtBtn* CTourneyDlg::AddContinueButton(ClickHandler handler) {
  return AddTextButton(static_cast<int32_t>(x + 450 * scale), static_cast<int32_t>(y + 293 * scale), "Continue", 1,
                       handler);
}

CDialogTxtBtn* CTourneyDlg::AddMoreButton(int32_t bx, int32_t by, ClickHandler handler) {
  return AddTextButton(static_cast<int32_t>(x + bx * scale), static_cast<int32_t>(y + by * scale), "More", 2, handler);
}

void CTourneyDlg::EndWithContinue(TGenericControlADV* control) {
  if (CDialogADV* d = control->Owner<CDialogADV>()) d->EndModal(1);
}

void NextStandingsPage(TGenericControlADV* button) {
  auto* d = button->Owner<CTourneyDlg>();
  if (!d) return;
  d->firstRow += std::max(d->rowsPerPage, 1);
  if (d->firstRow >= d->rowCount) d->firstRow = 0;
  d->DrawAll(0);
}

namespace {

constexpr uint32_t kNetworkStandingsMs = 15000;

// After the dialog: the tournament's notice, then the round goes on or leaves.
void ShowTournamentNotice(const CTourneyDlg& d) {
  if (d.notice == 1) Svc().frontEnd->ShowNotice("Players are tied.  Let's go to a playoff hole.");
  if (d.notice == 2) Svc().frontEnd->ShowNotice("Players are still tied. Let's go to another playoff hole.");
  // After the final results too the round only goes on: the game ends it by itself once it has kept the golfers'
  // cards and statistics, which an end message ahead of that would drop.
  PostGolfMessage(kGolfAfterStatus);
}

}  // namespace

void ShowTourneyStandings(int notice, int kind, int delaySeconds) {
  TGame* g = CurrentGame();
  Svc().frontEnd->PrepareForDialog();
  // Stage 3: the standings of a round without a notice and without telling the round.
  const bool quiet = kind == 3;
  auto* d = new (std::nothrow) CTourneyDlg(quiet ? 0 : notice, quiet ? 0 : kind);
  if (!d) return;
  if (delaySeconds == 0) {
    d->AddContinueButton(CTourneyDlg::EndWithContinue);
    d->AddMoreButton(65, 293, NextStandingsPage);
    if (g && g->IsNetworkGame() && !quiet) {
      d->timeout = kNetworkStandingsMs;
      d->timeoutResult = 0;
    }
    const int result = d->RunModalLoop();
    if (!quiet && (result == 0 || result == 1)) ShowTournamentNotice(*d);
  } else {
    d->DrawAll(0);
    UpdateScreen();
    Sleep(static_cast<DWORD>(delaySeconds) * 1000);
    d->EndModal(0);
    PostGolfMessage(kGolfAfterStatus);
  }
  delete d;
}
