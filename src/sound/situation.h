// What the announcer reads of the coming shot and of the hole: distances and heights from ball to pin, the read
// of a putt, where the pin sits on the green, where the ball lies on the fairway, who leads the hole, what
// holing out would do, the tournament standing. Read-only: the two "if holed" queries change a score for the
// length of the call and put it back.
#pragma once

#include <cstdint>

#include "course/vector3.h"

struct BallState;
class TGame;
class TPlayer;

// Lie classes (the high four bits of a surface byte).
enum LieClass : int {
  kLieNone = 0, kLieFairway = 1, kLieSand = 2, kLieRough = 3, kLieHeavyRough = 4, kLieWater = 5, kLieTee = 6,
  kLieGreen = 7, kLieBunker = 8, kLieOutOfBounds = 9, kLieCartPath = 10, kLieFringe = 11, kLieSpecial = 12,
};

// The current game, its current golfer and slot (null / -1 when there is none).
TGame* SituationGame();
TPlayer* SituationGolfer();
int SituationSlot();

// Ball to pin, 3-D, in inches; the pin's height above the ball in inches; the targeting arc's landing point above
// the ball in feet (0 without an arc). A null ball is the current golfer's.
float GetBallToPinDistance(const BallState* ball = nullptr);
float GetPinRise(const BallState* ball = nullptr);
float GetLandingRise(const BallState* ball = nullptr);
float GetBallPositionX();
float GetBallPositionZ();  // the ground's second axis
float GetPinPositionX();
float GetPinPositionZ();
// The centre of the green and fringe cells; false (nothing written) when the hole has none.
bool GetGreenCentre(Vector3* out);
// Green centre minus pin along each ground axis, yards (0 without a green).
float GetPinOffsetFromGreenCentreX();
float GetPinOffsetFromGreenCentreZ();

// (GetCurrentHoleStrokes is the golf library's.)
int GetCurrentHoleNetStrokes();
// A golfer's strokes on (round, hole), and the same less a handicap stroke when it receives one and has played.
int HoleStrokes(int slot, int round, int hole);
int NetHoleStrokes(int slot, int round, int hole);
// Every earlier round over 18 holes and this round from its first hole to the one before the current one (the
// current hole's strokes are counted stroke by stroke, so the callers add the hole's own result).
int GetRoundScoreToPar();
int GolferScoreToPar(int slot);
bool GolferStillPlaying(int slot);
bool GolferHoledOut(int slot);

void CountFinishedPlayers(int n, int* finished, int* counted);
void FindHighestHoleScore(int n, int round, int hole, int* index, bool* shared);
void FindBestNetStrokesOnHole(int round, int hole, int* index, int* strokes);
int GetBestOpponentStrokes(int round, int hole);
void CountSameResultStreak(int* toPar, int* run);

// The game's hole-winner rule with the current golfer holed out in one more stroke: 1 decided (winner and tie
// written), else 0.
int GetHoleWinnerIfHoled(int* winner, bool* tie);
// 1 holing wins the hole, 0 halves it, -1 neither.
int PredictHoleOutcome();
// The break of the putt, radians in [0, 2 pi]: the angle from the pin's direction to where trial putts stop.
float PredictPuttBreak();
// 0 left side, 1 right side, 2 the middle half; 99 off the fairway.
int GetFairwaySide();

bool IsPracticeOrTournamentMode(uint16_t mode);
bool IsTournamentMode(uint16_t mode);

// The golfer's place in the tournament's standings (every output 0 in the online tournament, or no tournament).
void GetTournamentStanding(int slot, int* place, int* score, int* scoreAhead, int* nextScore, int* flag);
// The field's projected standing for a score this round: best, second, the golfer's place and how many share the lead.
void GetFieldStanding(int* best, int* second, int* place, int* sharing, int round, int score);

// The match standing of the current golfer's side (holes up, negative when down; 0 outside match modes), the
// holes left in the round with this one, and whether the golfer's side won the hole given.
int MatchStanding(int slot);
int HolesLeftInRound();
