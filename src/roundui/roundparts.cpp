#include "roundui/roundparts.h"

TMA_EventHandlerList* CreateAfterShotList() { return nullptr; }

void RefreshShotInfoPanels(int) {}

void PlayShotBack() {}

bool BeginAfterShotChoice() { return false; }
