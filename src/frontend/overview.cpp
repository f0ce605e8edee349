#include "frontend/overview.h"

#include <cstdio>

#include "framework/core/bigfileio.h"
#include "app/gameapp.h"
#include "framework/core/paths.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/mousepointer.h"
#include "frontend/cameradialogs.h"
#include "golf/game.h"
#include "platformlib/gfx/windowdesc.h"

namespace {

constexpr int32_t kAreaW = 384, kAreaH = 288;
constexpr size_t kPathLimit = 256;

int32_t OverviewWidth() { return DialogSizeIndex() == 0 ? 480 : 560; }
int32_t OverviewHeight() { return DialogSizeIndex() == 0 ? 370 : 430; }

// The movie player has no form for overview files: the area stays empty inside its frame.
void PlayOverview(COverviewDlg& dialog) { ++dialog.plays; }

}  // namespace

std::string FindOverviewFile() {
  TGame* g = CurrentGame();
  if (!g || g->courseName.empty()) return {};
  char name[16];
  std::snprintf(name, sizeof name, "hole%02d.uv", g->state.hole + 1);
  PathRecord folder = Folders().root;
  PathAppend(&folder, "DATA");
  PathAppend(&folder, "COURSES");
  PathAppend(&folder, g->courseName.c_str());
  if (!FileExists(&folder, name)) return {};
  char path[MAX_PATH];
  if (!PathJoin(&folder, name, path, sizeof path) || std::string(path).size() >= kPathLimit) return {};
  return path;
}

MARect COverviewDlg::Area() {
  const int32_t l = (Facts().screenWidth - kAreaW) / 2, t = (Facts().screenHeight - kAreaH) / 2;
  return MARect{l, t, l + kAreaW, t + kAreaH};
}

COverviewDlg::COverviewDlg(const std::string& path)
    : CDialogADV((Facts().screenWidth - OverviewWidth()) >> 1, (Facts().screenHeight - OverviewHeight()) >> 1,
                 OverviewWidth(), OverviewHeight(), LoadDialogFile("gamedlog.viv", "bkdialog.fsh"), "Hal10b.ffn"),
      overviewPath(path) {
  SetTitle("Hole Overview");
  SaveUnder();
  const bool small = DialogSizeIndex() == 0;
  const int opened = BigFileOpenArchive(DialogFolder(), "gamedlog.viv", nullptr);
  CCameraArrowBtn* buttons[2] = {
      new CCameraArrowBtn(this, 'p', 0, "btnplay.fsh", x + (small ? 278 : 318), y + (small ? 353 : 398), 1.0f, 0),
      new CCameraArrowBtn(this, 'o', 1, "btnok.fsh", x + (small ? 398 : 458), y + (small ? 353 : 398), 1.0f, 0)};
  if (opened == 0) BigFileCloseArchive();
  for (CCameraArrowBtn* b : buttons) {
    b->clickHandler = OnClick;
    b->SetMenuSound(1);
    AddHandler(b);
  }
  SetCurrentHandler(buttons[1]);
}

void COverviewDlg::DrawAll(int flag) {
  CDialogADV::DrawAll(flag);
  AddDirtyRect(MARect{x, y, x + width, y + height});
  if (pictureShown) return;
  // The first draw plays the overview and frames its area.
  PlayOverview(*this);
  if (WindowDesc* w = DrawnImage() ? DrawnImage()->window : nullptr) {
    const MARect a = Area();
    const auto put = [&](int32_t px, int32_t py) {
      if (px >= 0 && py >= 0 && px < w->width && py < w->height) reinterpret_cast<uint16_t*>(w->pixels + py * w->rowbytes)[px] = 0;
    };
    for (int32_t px = a.left - 1; px <= a.right; ++px) put(px, a.top - 1), put(px, a.bottom);
    for (int32_t py = a.top - 1; py <= a.bottom; ++py) put(a.left - 1, py), put(a.right, py);
    AddDirtyRect(MARect{a.left - 1, a.top - 1, a.right + 1, a.bottom + 1});
  }
  pictureShown = true;
}

void COverviewDlg::OnClick(TGenericControlADV* control) {
  auto* d = control ? control->Owner<COverviewDlg>() : nullptr;
  if (!d) return;
  if (control->id == 1) {
    d->EndModal(1);
    return;
  }
  MouseHide();
  PlayOverview(*d);
  MouseShow();
}

int ShowOverviewDialog() {
  const std::string path = FindOverviewFile();
  if (path.empty()) return 0;
  COverviewDlg dialog(path);
  return dialog.RunModalLoop();
}
