// After a shot has come to rest the golfer chooses what happens next: accept it, take a mulligan, tap in, watch a
// replay, concede, drop, re-hit, quit or save the shot. Every choice that changes the round goes out as a golf
// message (to every machine in a network game) whose handler here counts the stroke and any penalty once and then
// ends the shot (golf message 0x71c).
//
// Use from the in-round interface:
//  - BuildGameUI takes the handler list from CreateAfterShotList (roundparts.h) and owns it: deleting it clears the
//    handler. A person's turn calls BeginAfterShotChoice once the ball is at rest; every other shot (computer
//    golfers, other machines' shots) reaches BeginAfterShot through the round provider, whose CountsShots is true
//    and whose RemoteMessage hands the choices' golf messages (0x711, 0x71d-0x720, 0x730) to AfterShotMessage.
//  - While the menu is up the after-shot list is the current in-round list (input and idle passes reach it);
//    the choice's end gives the in-round list back.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/utils.h"
#include "golf/ballstate.h"

class TMA_EventHandlerList;

enum AfterShotChoice : int {
  kChoiceOk = 0,
  kChoiceMulligan = 1,
  kChoiceTapIn = 2,
  kChoiceAutoReplay = 3,
  kChoiceReplay = 4,
  kChoiceConcede = 5,
  kChoiceDrop = 6,
  kChoiceRehit = 7,
  kChoiceQuit = 8,
  kChoiceSaveShot = 9,
  kAfterShotChoices = 10,
};
// "Ok", "Mulligan", "Tap-in", "Auto Replay", "Replay", "Concede", "Drop", "Rehit", "Quit", "Save shot".
const char* AfterShotChoiceText(int choice);
// The golf message a choice sends (0 for the replays and saving).
uint32_t AfterShotChoiceMessage(int choice);

// The lie of a ball at rest, by its flags and its surface class (water 5 and 12, out of bounds 9).
struct AfterShotLie {
  bool water = false;
  bool waterCode5 = false;  // water that allows a re-hit (not the lateral kind, 12)
  bool outOfBounds = false;
};
AfterShotLie ClassifyBallLie(const BallState& ball);

// What decides the choices offered.
struct AfterShotSituation {
  bool menuMode = true;  // every mode but the driving range shows a menu
  bool human = true, local = true, network = false;
  bool roundEnding = false;
  bool mulligansOn = false;     // the golfer's rule gives a mulligan on this hole (practice: always)
  bool tapInOption = true;
  bool shootout = false;
  float distanceToHole = 1000;  // yards
  bool tapInLieOk = true;       // the ball lies still on the green, not in the hole
  AfterShotLie lie;
  bool playedFromCode6WithCourseFlag = false;
  bool penaltyOptionsForbidden = false;  // the game forbids drops and re-hits
  bool concedeMode = false;              // skins, match play, four-ball, foursomes
  bool holed = false;
  bool holeStillOpen = false;            // with one more stroke the hole is not yet lost (concede makes sense)
  bool gameAllowsSaving = true;
  bool savingAllowed = true;
};
// The choices offered, a bit per choice index.
uint32_t OfferedChoices(const AfterShotSituation& s);
// The first of Ok, Drop and Rehit offered, or -1.
int DefaultAfterShotChoice(uint32_t offered);

// The handler and its two lists; 0, or 4 when memory runs out (the interface then has no after-shot menu and
// the default choice runs at once after every shot).
int CreateAfterShotHandler();
void DestroyAfterShotHandler();
TMA_EventHandlerList* AfterShotHandler();
// Tests: the next CreateAfterShotHandler fails as when memory runs out.
void FailNextAfterShotHandler();
void SetAfterShotChoice(int choice, bool available);
bool AfterShotChoiceAvailable(int choice);
// Fills the menu with the available choices; the default row is the first of Ok, Drop, Rehit.
void ShowAfterShotMenu();
bool AfterShotMenuShown();
// The menu's rows as shown (tests and the log).
std::string AfterShotMenuRows();
// Where the menu is on the screen (empty while it is hidden), and the colour of its frame line.
MARect AfterShotMenuArea();
constexpr uint32_t kAfterShotMenuFrame = 0xC8D8B0;

// The golf library's entry once the ball of a shot has stopped.
void BeginAfterShot();
// Strokes of the shot not yet counted (1 between the ball stopping and the choice's handler).
int AfterShotStrokePending();

// Input and the idle pass while the menu is up: 1 when taken.
int AfterShotOnChar(uint16_t code);
int AfterShotOnPointerDown(int16_t x, int16_t y, uint8_t buttons);
int AfterShotOnPointerUp(int16_t x, int16_t y, uint8_t buttons);
int AfterShotOnIdle();
void DrawAfterShotMenu();
void EraseAfterShotMenu();

// The commands: each sends its golf message (to every machine in a network game; Quit only here).
void CmdAcceptShot();
void CmdMulligan();
void CmdTapIn();
void CmdRehit();
void CmdDrop();
int CmdConcede();
void CmdEndGame();
void CmdSaveShot();
// A choice from the menu by its index, as the menu runs it.
void RunAfterShotChoice(int choice);

// The handlers of the choices' golf messages, then FinishAfterShotChoice and 0x71c.
void DoAcceptShot();
void DoMulligan();
void DoTapIn();
void DoDropBall();
void DoRehit();
void DoConcedeHole();
void FinishAfterShotChoice();
// Runs the handler of a golf message (0x711, 0x71d, 0x71e, 0x71f, 0x720, 0x730); false for any other id.
bool AfterShotMessage(uint32_t id);

// A replay of the recorded shot; the menu comes back afterwards while the choice is open.
void PlayShotReplay(int camera, bool automatic);
// A replay of the shot is playing.
bool ShotReplayRunning();
