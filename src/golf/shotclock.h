// The shot clock's infractions: what is said after the golfer's name and the penalty strokes of each, the same on
// the machine whose golfer ran out of time and on the machines that are told of it.
#pragma once

// The text for a golfer's n-th infraction (1..5), following the golfer's name; "" for any other count.
const char* ShotClockInfractionText(int count);
// Penalty strokes of the n-th infraction: one at the third, two more at the fourth, none otherwise.
int ShotClockPenaltyStrokes(int count);
// The fifth infraction disqualifies.
constexpr int kShotClockDisqualifies = 5;
