// The aiming and replay parts as the interface's build and turn reach them.
#include <new>

#include "framework/ui/displaymgr.h"
#include "roundui/gameui.h"
#include "roundui/replay.h"
#include "roundui/roundparts.h"
#include "roundui/roundturn.h"
#include "roundui/targeting.h"
#include "scene/golfview.h"

MA_EventHandler* CreateTargetingHandler() {
  auto* h = new (std::nothrow) TargetingArcEventHandler;
  if (!h) return nullptr;
  if (!h->Init()) {
    delete h;
    return nullptr;
  }
  h->view = &MainView;
  int32_t width = 0, height = 0;
  GetImageSize(DisplayImage(), &width, &height);
  if (width > 0 && height > 0) h->screenWidth = width, h->screenHeight = height;
  h->mayAim = [] { return PersonToPlay() && AwaitingSwing(); };
  h->onChanged = [] { InvalidateRoundView(); };
  return h;
}

void ClearReplayPlaying() { SetReplayPlaying(false); }
