// The parts of the in-round interface that the build and the turn reach by name: the targeting handler, the
// after-shot list, the replay buffer's playing flag and the shot information panels. Each answers with what is
// built of it.
#pragma once

class MA_EventHandler;
class TMA_EventHandlerList;

// The targeting arc handler made and set up; null when it cannot be.
MA_EventHandler* CreateTargetingHandler();
// The after-shot list; null when the interface has no after-shot menu.
TMA_EventHandlerList* CreateAfterShotList();
void DestroyAfterShotList();
void ClearReplayPlaying();
// The lie and distance panels refreshed with the value.
void RefreshShotInfoPanels(int value);
// The shot just flown played back from the recording (returns when it has ended).
void PlayShotBack();
// The shot is played back, then the after-shot choice opens (without a menu the default choice runs at once);
// the choice's handler ends the shot. True when the choice took over the shot's end.
bool BeginAfterShotChoice();
