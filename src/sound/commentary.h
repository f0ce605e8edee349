// The announcer: a line before the shot (the hole, the putt, the lie, the wind, the match), a line while the ball
// flies, and after it the lie it found, the tee shot, the holed putt and the approach. Lines are clip names
// ("stem" and a variant number) queued on the announcer's chain.
#pragma once

#include <cstdint>
#include <string>

struct BallState;

// Folders of the announcer's clips ('|' between the parts, below the game's root).
constexpr const char* kFolderPuttComments = "data|sounds|puttcomm";
constexpr const char* kFolderPreShot = "data|sounds|preshot";
constexpr const char* kFolderPros = "data|sounds|pros";
constexpr const char* kFolderTournament = "data|sounds|putttorn";
constexpr const char* kFolderPostPutt = "data|sounds|postputt";
constexpr const char* kFolderTeeAndHazard = "data|sounds|teehaz";
constexpr const char* kFolderInFlight = "data|sounds|inflight";

// What the commentary keeps between calls.
struct CommentaryState {
  int32_t pinDistanceYards = 0;   // at the start of the shot
  uint8_t shotStartLie = 0;       // the lie the shot was played from, in the upper four bits
  int32_t leadCommentCounter = 0;
  int32_t straightPuttCounter = 0;
  uint32_t holeIntroMask = 0;     // 1 tee, 2 lay-up, 4 approach introduction played on this hole
  int32_t standingLeadMemory = 0;
  std::string lastInFlightClip;
  int lastTeeShotGolfer = -1;
};
CommentaryState& Commentary();

// Before a shot (the shot-begins message): drops a silent chain, notes the pin distance and lie, then chooses.
void ResetShotCommentary();
int PlayPreShotCommentary();
int PlayPreShotCommentaryNow();
void ResetHoleCommentary();
// The whole step the game runs as a shot begins.
void RunPreShotCommentary();

// Clip builders; each clears the buffer first and returns 1 when it wrote a name.
int PlayHoleIntroClip();
int BuildWindClipName(std::string& buffer);
int BuildSlopeClipName(std::string& buffer);
int BuildWaterClipName(std::string& buffer);
// The course's row of introduction counts (null: the course has no introductions).
struct CourseClipRow {
  const char* folder;
  uint8_t tee[18];
  uint8_t layUp[18];
  uint8_t approach[18];
  const char* const* exclusions;  // stem, mask pairs, null-ended; null: none
};
const CourseClipRow* FindCourseClipTable();

// The golfer-fact clip of the golfer screens.
int PlayGolferFactClip(const char* golferName);
void StopGolferFactClip();
bool IsGolferFactClipPlaying();

// After the flight: the in-flight line (waits for the golfer's cue) and the after-shot line (held in the chain).
int PlayShotQualityCommentary(int lieFrom, float distance, int club);
int PlayPostShotCommentary();
int PlayLieCommentary();
int PlayTeeShotCommentary();
int PlayAfterPuttCommentary();
int QueueTournamentStandingClip();
int QueueShootoutWinClip();
int PlayShotLineCommentary(const BallState* ball = nullptr);
// The crowd's answer to the shot just replayed: its group (0 the loudest .. 4, -1 none), then played.
int ChooseCrowdGroup(bool holed);
void PlayCrowdReaction(bool holed);
