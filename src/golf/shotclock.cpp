#include "golf/shotclock.h"

const char* ShotClockInfractionText(int count) {
  static const char* const kTexts[kShotClockDisqualifies] = {
      " exceeded the time limit for this shot.  This is the first warning.  A penalty stroke will be assessed after "
      "the third infraction, two after the fourth, and the player will be disqualified after the fifth.",
      " exceeded the time limit for this shot.  This is the second warning.  A penalty stroke will be assessed after "
      "the third infraction, two after the fourth, and the player will be disqualified after the fifth.",
      " exceeded the time limit for this shot for the third time, and has been penalized one stroke.  The player will "
      "be penalized two strokes after the fourth infraction, and disqualified after the fifth.",
      " exceeded the time limit for this shot for the fourth time, and has been penalized an additional two strokes.  "
      "The player will be disqualified after the next infraction.",
      " exceeded the time limit for this shot for the fifth time, and has been disqualified.",
  };
  return count >= 1 && count <= kShotClockDisqualifies ? kTexts[count - 1] : "";
}

int ShotClockPenaltyStrokes(int count) { return count == 3 ? 1 : count == 4 ? 2 : 0; }
