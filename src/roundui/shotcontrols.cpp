#include "roundui/shotcontrols.h"

#include <new>

#include "framework/core/errors.h"
#include "golf/launch.h"
#include "golf/player.h"
#include "roundui/gameui.h"
#include "roundui/roundturn.h"
#include "roundui/shotui.h"

namespace {

// Takes the space bar for the swing until the power meter joins the group: a full swing at the aim point.
class SwingKey : public MA_EventHandler {
 public:
  SwingKey() : MA_EventHandler(0, 0, 0, 0, 0) { right = bottom = 0; }
  int OnChar(uint16_t code) override {
    if (code != ' ' || !AwaitingSwing() || !PersonToPlay() || !GameUIManager().inputEnabled) return 0;
    TPlayer* p = GolferToPlay();
    p->ballBeforeShot = p->ball;
    ShotMeter.finalPower = 1.0f;
    ShotMeter.finalCurve = 0.0f;
    ShotMeter.accuracyError = 0.0f;
    ShotMeter.shotFactorA = ShotMeter.shotFactorB = 1.0f;
    BallLaunch(&p->ball, 0, 1, 0, 1.0f);
    FinishPersonShot();
    return 1;
  }
};

}  // namespace

int CreateShotControlMembers(TShotUIManager* group) {
  auto* swing = new (std::nothrow) SwingKey;
  if (!swing) return ERR_MEMORYFULL;
  group->powerMeter = swing;
  return group->AddHandler(swing);
}

bool PopupOpen() { return false; }

void EnterOnPopup() {}
