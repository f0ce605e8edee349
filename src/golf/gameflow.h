#pragma once
#include "golf/game.h"
#include "framework/core/services.h"
#include "golf/golfmsg.h"

// Plays the current golfer's shot toward ShotAimPoint with the swing's power, curve and trajectory: the ball
// flies and rolls to rest, the stroke is counted and 0x71c is posted. 0 when there is no game or golfer.
int PlayCurrentShot(float power, float curve, float trajectory);

// Flies the current golfer's ball as the swing launched it (its state saved before the launch in
// ballBeforeShot): to rest, kept for the highlights and the replay, the stroke counted. Nothing is posted: the
// in-round interface plays the shot back and posts 0x71c after the golfer's choice. 0 without game or golfer.
int FlyLaunchedShot();

// Counts a finished shot: one stroke (a putt with the putter), a penalty stroke and the previous spot after
// water or out of bounds, holed out when the ball dropped or the stroke limit is reached.
// With an interface that counts shots itself (the round provider's CountsShots) CountShot leaves the count to it,
// and CountFinishedShot counts.
void CountShot(TGame& game, TPlayer* golfer);
void CountFinishedShot(TGame& game, TPlayer* golfer);

// Puts the golfer's ball at rest on the point (its lie from the terrain) and the golfer at it.
void PlaceBallAt(TPlayer* golfer, const Vector3& point);

// Plays a shot of the current golfer that another machine sent (its settings, club, ball and swing), so
// that this machine's ball and score follow. 0 when the settings are not for the current golfer or damaged.
int ReplayRemoteShot(const ShotSetUpBlock& settings);

// Notes a tee shot (no stroke before it) of a par 4 or 5 for the golfer's driving statistics.
void RecordTeeShot(TGame& game, TPlayer* golfer, uint32_t strokesBefore);

// Between holes of a mode with a standing: when another hole follows, the standing is shown through the round
// interface's `show` (which sends the round on itself) or, when it shows none, 0x723 is posted; true then (the round
// held until 0x724). False when the game is over.
bool HoldBetweenHoles(TGame& game, bool (RoundInterfaceProvider::*show)());
