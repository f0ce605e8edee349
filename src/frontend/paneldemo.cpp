#include "frontend/paneldemo.h"

#include "app/gameapp.h"
#include "course/courseload.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "frontend/calibration.h"
#include "frontend/cameradialogs.h"
#include "frontend/frontend.h"
#include "golf/game.h"
#include "platformlib/gfx/windowdesc.h"
#include "scene/golfdraw.h"

DemoPanel StartPanel = DemoPanel::kNone;

// Bands of colour with a grid over them, into the background and the drawn buffer.
void DrawPanelTestPicture() {
  for (BufferRole role : {kRoleErase, kRoleDrawn}) {
    ImageRecord* r = RoleImage(role);
    WindowDesc* w = r ? r->window : nullptr;
    if (!w || w->depth != 16 || !w->pixels) continue;
    for (int32_t y = 0; y < w->height; ++y) {
      auto* line = reinterpret_cast<uint16_t*>(w->pixels + y * w->rowbytes);
      for (int32_t x = 0; x < w->width; ++x) {
        const uint32_t band = static_cast<uint32_t>(x * 8 / std::max(1, w->width));
        uint32_t c = ((band & 1) ? 0xC00000 : 0x300000) | ((band & 2) ? 0x00C000 : 0x003000) | ((band & 4) ? 0xC0 : 0x30);
        c = (c >> 1) & 0x7F7F7F;
        c += static_cast<uint32_t>(y * 96 / std::max(1, w->height)) * 0x010101;
        if (x % 50 == 0 || y % 50 == 0) c = 0xFFFFFF;
        line[x] = Pixel565(c);
      }
    }
  }
  AddDirtyRect(MARect{0, 0, Facts().screenWidth, Facts().screenHeight});
}

namespace {

// The screen under the calibration panel: the test picture, the panel its only element.
class TPanelDemoScreen : public TMA_EventHandlerList {
 public:
  TPanelDemoScreen() {
    ShowCalibrationPanel();
    AddHandler(CalibrationPanel);
  }
  ~TPanelDemoScreen() override {
    if (CalibrationPanel) RemoveHandler(CalibrationPanel);
    delete CalibrationPanel;
  }
  int OnIdle() override {
    TMA_EventHandlerList::OnIdle();
    // The panel closed (OK or Cancel): on to the main menu.
    if (CalibrationPanel && !CalibrationPanel->Shown()) ShowMainMenu();
    return 1;
  }
  void DrawAll(int flag) override {
    DrawPanelTestPicture();
    TMA_EventHandlerList::DrawAll(flag);
  }
};

// The main view at the tee of SEDGEFEN's second hole, when its data is here.
void PlaceDemoView() {
  TGame* g = CurrentGame();
  if (!g) return;
  g->courseName = "SEDGEFEN";
  g->state.hole = 1;
  if (!Svc().catalogue->SetCurrentCourse() || g->LoadHole() != 0) return;
  Vector3 ball, target;
  if (MainViewPlacement(&ball, &target)) PlaceViewBehind(MainView, ball, target);
  g->SetUpView(false, false);
}

}  // namespace

void ShowPanelDemo(DemoPanel panel) {
  // The program starts in no particular mode; the panels are shown at the menus' size, as the menu that follows.
  SetScreenLayout(true);
  ReplaceCurrentScreen(nullptr);
  DrawPanelTestPicture();
  switch (panel) {
    case DemoPanel::kCalibration: ReplaceCurrentScreen(new TPanelDemoScreen()); return;
    case DemoPanel::kCamera: PlaceDemoView(); ShowCameraPositionDialog(); break;
    case DemoPanel::kView: PlaceDemoView(); ShowChangeViewDialog(CChangeViewDialog::kRotateView); break;
    default: break;
  }
  ShowMainMenu();
}
