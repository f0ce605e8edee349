// The front end's entry points: start-up hands over to play, the main menu, the start of a round from the
// screens, the return after a round and the quit path.
#pragma once

#include "frontend/coursedesc.h"
#include <cstdint>
#include <string>

#include "frontend/dialog.h"
#include "frontend/menu.h"

class TMainMenuADV;
extern TMainMenuADV* MainMenuScreen;
extern TGenericControlADV* TeeOffButton;
extern int32_t QuitAfterGame;
extern int32_t DemoRound;
// The start-up opens the main menu rather than the practice hole (the menu demonstration program): 1 the main
// menu, 2 the golfers screen over it, 3 the courses screen.
extern int32_t StartInMainMenu;
// Run once the main menu has opened at start-up (the screen viewer opens its screen or dialog from it).
extern void (*StartScreenHook)();

int StartFrontEnd();
void ShowMainMenu();
void RedrawMainMenu();
// Tee off's click handler; with no control (start-up) a one-hole practice on SEDGEFEN hole 2.
void BeginPlay(TGenericControlADV* control);
void ContinueAfterGame();
void ConfirmQuit(TGenericControlADV* control);
void QuitGame();
// Reads the current course's description from its "COURSE.DAT" and "practice.dat"; 0, or the error code.
int LoadCourseDescription();
const std::string& CourseBlurb();
const MenuCourseDescription& CurrentCourseDescription();
// Replaces the current screen.
void ReplaceCurrentScreen(TMA_EventHandlerList* screen);
void ShowCoursesScreen(TGenericControlADV* control);
void ShowGolfersScreen(TGenericControlADV* control);
class TPlayer;
struct playerInfo_s;
// A golfer put into a player slot keeps the name the screens chose (the roster's for a professional).
void KeepRosterName(TPlayer* player, const playerInfo_s& record);
// A golfer the player may edit: none, or one not named like a professional.
bool IsEditableGolfer(const char* name);
// Saves the current game as the last game; a failed save keeps the previous file.
int SaveLastGame();

class TMainMenuADV : public TMenuADV {
 public:
  TMainMenuADV();
  ~TMainMenuADV() override;
  void DrawAll(int flag) override;
  int OnIdle() override;
  void UpdateTodaysGame();
  // The self-running demonstration: a professional on a random hole of practice, started by a click of Tee off.
  bool StartDemonstration();
  static void OnMenuButton(TGenericControlADV* control);
  TTextButtonADV* panel[7] = {};
  char buffers[7][60] = {};
  uint32_t idleDeadline = 0;
};
