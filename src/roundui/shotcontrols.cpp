#include "roundui/shotcontrols.h"

#include <new>

#include "framework/core/errors.h"
#include "framework/core/services.h"
#include "golf/golfmsg.h"
#include "golf/player.h"
#include "roundui/clubbar.h"
#include "roundui/gameui.h"
#include "roundui/powermeter.h"
#include "roundui/roundturn.h"
#include "roundui/shotbuttons.h"
#include "roundui/shotpanels.h"
#include "roundui/shotui.h"
#include "roundui/targeting.h"
#include "roundui/windind.h"
#include "scene/golfview.h"

namespace {

// The meter's centre lies up and left of the anchor by this much at 640 x 480 (scaled with the screen), left of
// the wind indicator and the distance panel.
constexpr int32_t kMeterOffsetX = 150, kMeterOffsetY = 78, kMeterRadius = 60;

int32_t Scaled(int32_t v) { return v * Facts().screenWidth / 640; }

}  // namespace

int CreateShotControlMembers(TShotUIManager* group) {
  MA_EventHandler* bar = CreateClubBar(group->anchorX, group->anchorY);
  if (!bar) return ERR_MEMORYFULL;
  group->clubBar = bar;
  if (const int16_t status = group->AddHandler(bar)) return status;
  auto* meter = new (std::nothrow) TPowerMeterUI;
  if (!meter) return ERR_MEMORYFULL;
  meter->Layout(group->anchorX - Scaled(kMeterOffsetX), group->anchorY - Scaled(kMeterOffsetY), Scaled(kMeterRadius));
  // A swing may start only in the turn's pre-shot state of a person's shot.
  meter->usable = [] {
    return AwaitingSwing() && PersonToPlay() && GameUIManager().inputEnabled && GameUIManager().shotInputAllowed &&
           GetGolfStatus() == kGolfShotBegins;
  };
  // A swing pressed before the list's idle pass has laid the arc out for the ball's new place would fly the last
  // shot's line and risk.
  meter->prepare = [] {
    if (TargetingArcEventHandler* arc = CurrentTargetingHandler) arc->FollowShot();
  };
  meter->computeShot = [](TPowerMeterUI* m) {
    TPlayer* p = GolferToPlay();
    if (!p) return;
    p->ballBeforeShot = p->ball;
    const Vector3 eye{MainView.cameraX, MainView.cameraZ, MainView.heightTerm};
    ComputeShotFromSwing(m, &p->ball, p, eye);
  };
  meter->launch = [] { FinishPersonShot(); };
  group->powerMeter = meter;
  if (const int16_t status = group->AddHandler(meter)) return status;
  group->settingsPopup = CreateOptionsList(group->anchorX, group->anchorY);
  group->liePopup = CreateLieList(group->anchorX, group->anchorY);
  for (MA_EventHandler* h : {group->settingsPopup, group->liePopup}) {
    if (!h) return ERR_MEMORYFULL;
    if (const int16_t status = group->AddHandler(h)) return status;
  }
  if (const int status = CreateShotButtons(group)) return status;
  if (!LiePanel) LiePanel = new (std::nothrow) TShotLieInfoUI;
  if (!DistancePanel) DistancePanel = new (std::nothrow) TShotDistInfoUI;
  for (MA_EventHandler* h : {static_cast<MA_EventHandler*>(LiePanel), static_cast<MA_EventHandler*>(DistancePanel)}) {
    if (!h) return ERR_MEMORYFULL;
    if (const int16_t status = group->AddHandler(h)) return status;
  }
  LiePanel->anchorX = DistancePanel->anchorX = group->anchorX;
  LiePanel->anchorY = DistancePanel->anchorY = group->anchorY;
  LiePanel->Update(0);
  DistancePanel->Update(0);
  // The indicator is a member when it could be made.
  if (CreateWindIndicator(group->anchorX, group->anchorY) == 0 && WindIndicator)
    if (const int16_t status = group->AddHandler(WindIndicator)) return status;
  return 0;
}

bool PopupOpen() { return ClubPopupOpen(); }

void EnterOnPopup() {}
