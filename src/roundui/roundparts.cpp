#include "roundui/roundparts.h"

MA_EventHandler* CreateTargetingHandler() { return nullptr; }

void ClearReplayPlaying() {}

void RefreshShotInfoPanels(int) {}

void PlayShotBack() {}
