// The parts of the in-round interface that the build and the turn reach by name: the targeting handler, the
// after-shot list, the replay buffer's playing flag and the shot information panels. Each answers with what is
// built of it.
#pragma once

#include <cstdint>

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
// The shot just flown played back from the recording (returns when it has ended): through the scene's
// animations (the golfer's swing, the ball and its shadow, the flag) when it has them, else as a moving dot.
void PlayShotBack();
// The play-back's sample `elapsed` ms after its start for the scene's ball: false when no shot is playing back.
bool SampleReplayForScene(uint32_t elapsed, float* position, uint8_t* event, bool* ended);
// The shot is played back, then the after-shot choice opens (without a menu the default choice runs at once);
// the choice's handler ends the shot. True when the choice took over the shot's end.
bool BeginAfterShotChoice();
