// The in-round interface's root: the in-round handler list with the permanent in-round handlers, the manager
// whose three flags gate input during a turn, the golfer sprite handler, and the build, update and tear-down
// entry points that the golf messages drive.
#pragma once

#include <cstdint>

#include "framework/ui/eventhandler.h"
#include "framework/ui/handlergroup.h"

class TShotUIManager;
class GolferEventHandler;
class TPowerMeterUI;
struct WindowDesc;

// The in-round list: draws its entries from the last added to the first and moves no focus with the keys.
class TGameUIEventHandlerList : public TMA_EventHandlerList {
 public:
  TGameUIEventHandlerList() = default;
  ~TGameUIEventHandlerList() override = default;
  MA_EventHandler* targeting = nullptr;  // the targeting arc handler, not owned
};

// The program-wide pointers of the in-round interface, null when absent.
struct InRoundHandlers {
  TGameUIEventHandlerList* list = nullptr;
  MA_EventHandler* targeting = nullptr;
  MA_EventHandler* overhead = nullptr;
  GolferEventHandler* golfer = nullptr;
  TMA_EventHandlerList* afterShot = nullptr;
  TShotUIManager* shotUI = nullptr;
  MA_EventHandler* chat = nullptr;
  MA_EventHandler* mic = nullptr;
  MA_EventHandler* shotClock = nullptr;
  MA_EventHandler* holeGraphic = nullptr;
  WindowDesc* textStrip = nullptr;
};
InRoundHandlers& InRound();

// The framework's current handler list: the one that receives in-round input (null when none).
TMA_EventHandlerList*& CurrentHandlerList();

// The single manager; its flags start at 0 and BuildGameUI sets all three.
class TGameUIManager {
 public:
  virtual ~TGameUIManager() = default;
  // Creates the shot UI manager (and the optional controls) and adds them to the list; 0 or the first error code.
  int CreateControls(TMA_EventHandlerList* list, int tournamentReport, int chat);

  uint32_t inputEnabled = 0;       // cleared for the duration of a swing
  uint32_t shotInputAllowed = 0;   // the meter and the shot controls take input
  uint32_t chatAllowed = 0;        // the chat box takes input
};
TGameUIManager& GameUIManager();

// Keeps the golfer's sprite in step with the view. Without the scene's golfer animations it holds no sprites and
// draws nothing; the handler and its place in the list are kept so the scene can fill them in.
class GolferEventHandler : public MA_EventHandler {
 public:
  explicit GolferEventHandler(uint32_t handlerFlags);
  void Draw(int redrawNow) override;
  void Erase(int redrawNow) override;
  void Update(int golferSlot, int flag);

  int32_t currentSide = -1;
  int32_t lastAnimation = -1;
  int32_t setUp[4] = {0, 0, 0, 0};
};

// Builds the in-round interface on the first call of a round, resets and redraws it on later calls.
void BuildGameUI();
int ResetInRoundUI();
void UpdateGameUI(int redrawNow, int flagA, int flagB, int flagC);
void DestroyGameUI();
bool GameUIBuilt();

// The golfer to play is a person at this machine: the in-round controls take input only then.
bool PersonToPlay();
// The golfer to play (null when there is no game).
class TPlayer;
TPlayer* GolferToPlay();

// Passes the value to the lie and distance panels' refresh when they exist.
void UpdateShotInfoPanels(int value);
