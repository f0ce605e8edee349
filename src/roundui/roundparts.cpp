#include "roundui/roundparts.h"

MA_EventHandler* CreateTargetingHandler() { return nullptr; }

TMA_EventHandlerList* CreateAfterShotList() { return nullptr; }

void ClearReplayPlaying() {}

void RefreshShotInfoPanels(int) {}

void PlayShotBack() {}

bool BeginAfterShotChoice() { return false; }
