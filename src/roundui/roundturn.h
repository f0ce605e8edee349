// A person's turn in the interface: the golfer to play is shown, the shot controls open for the shot, the swing's
// launched ball flies, the recording plays back, the after-shot choice is made and the game goes on (0x71c).
#pragma once

#include <string>

// The golfer to play is shown (0x70b): the controls are laid out for the golfer, closed until the shot begins.
void ShowGolferToPlay();
// A person's shot begins (0x70d): the shot controls are shown and take input.
void BeginPersonShot();
// The swing is done and the golfer's ball launched: the shot flies, plays back, and the after-shot choice follows.
void FinishPersonShot();
// A shot's ball is at rest: the recording plays back and the after-shot choice ends the shot (0x71c).
void EndShotInInterface();
// The person's swing type: the mouse "Pro swing" (true) or the "3 clicks" meter.
bool& ProSwingChosen();
// True while the shot controls wait for the person's swing.
bool AwaitingSwing();

// One pass of the round's screen: the view when it changed, the controls over it, the screen brought up to date.
// False when the interface is not built (the framework then keeps the empty screen).
bool PresentRoundFrame();
// The view must be drawn again on the next pass (the camera, the aim or the ball moved).
void InvalidateRoundView();
// Card pages shown since the program started, and the texts of the first golfer's row on the last one (read from
// other threads by tests).
int ScoreCardPagesShown();
void NoteScoreCardPage(const std::string& firstGolferRow);
std::string LastCardGolferRow();
