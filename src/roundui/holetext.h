// The small texts of the in-round panels: the hole's par, hole and shot labels, signed numbers, the score to par,
// and the distance and elevation texts of the shot panels ("To pin: ", "To cup: ", "Target: ", "Shot dist: ").
#pragma once

#include <cstdint>
#include <string>

#include "course/vector3.h"

// The par of a hole (0-17) of the loaded course; 4 when the course has none.
int GetHolePar(int hole);
// The par and the handicap stroke index of the current game's hole (0 when there is no game).
int GetCurrentHolePar();
int GetCurrentHoleHandicap();

// "+n", "-n" or "0".
std::string FormatSignedNumber(int n);
// "Hole n" / "Shot n"; on the driving range the hole number's last digit (after hundreds are taken off) names
// the facility: 1 "Driving Range", 2 "Chipping Green", 3 "Putting Green".
std::string FormatHoleLabel(int n, bool isHole, int gameMode);
// A score to par as the hole panel writes it: "(+3)", "(-2)", "(E)".
std::string FormatToParText(int toPar);
// The golfer's score to par over the earlier complete rounds and the current round so far; "" without a game
// or golfer.
std::string FormatScoreToPar(int slot);

// Units of a distance text. World units are yards: 3 feet and 36 inches to a yard.
enum class DistanceUnit { kYards, kFeet };
// The number and its unit: below one yard in inches ("18''", at least 1), else whole yards ("10y") or feet
// ("30'"), the fraction dropped.
std::string FormatDistanceValue(float yards, DistanceUnit unit);

enum DistanceKind { kDistanceToHole = 0, kDistanceTarget = 1, kDistanceLastShot = 2 };
// What a distance text is made of, as the panels know it.
struct DistanceInput {
  int kind = kDistanceToHole;
  Vector3 ball{}, pin{}, point{}, shotStart{};
  bool onGreen = false;       // surface class 7 or 11 under the ball
  bool putterInHand = false;  // club 20
  bool arcShown = false;      // the targeting arc is up
  bool teeShot = false;       // placed for a tee shot on the tee of a hole that is not a par 3
  int teeYards = 0;           // the hole's card length from the golfer's tee set
};
// "To pin: 152y", "To cup: 30'", "Target: 87y", "Shot dist: 240y".
std::string FormatDistanceText(const DistanceInput& in);
// The same for the current golfer of the current game (point: the target of kind 1, null the pin).
std::string FormatDistanceText(int kind, const Vector3* point);

// Height difference of a point over the ball, as "3'" or "10''" ("" below one inch); sets *above to 1 when the
// point is higher, 0 when lower. Inches (36 a yard) within two feet, else feet.
std::string FormatElevationValue(float heightDifferenceYards, int* above);
// Kind 0: the pin over the ball; kind 1: the point (null the pin) over where the shot is played from; kind 2: "".
std::string FormatElevationText(int kind, const Vector3* point, int* above);

// The lie class (high four bits of a surface byte, or a ball's lie) on which the hole's cup lies.
inline bool IsGreenLie(int lie) { return lie == 7 || lie == 11; }
