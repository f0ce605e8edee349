#include "roundui/gameui.h"

#include <new>

#include "framework/core/errors.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "golf/game.h"
#include "golf/player.h"
#include "roundui/chatbox.h"
#include "roundui/micbutton.h"
#include "roundui/shotclock.h"
#include "platformlib/gfx/windowdesc.h"
#include "roundui/holepanel.h"
#include "roundui/inroundbutton.h"
#include "roundui/shotbuttons.h"
#include "roundui/tips.h"
#include "roundui/roundparts.h"
#include "roundui/shotui.h"
#include "roundui/uishapes.h"

InRoundHandlers& InRound() {
  static InRoundHandlers handlers;
  return handlers;
}

TMA_EventHandlerList*& CurrentHandlerList() {
  static TMA_EventHandlerList* current = nullptr;
  return current;
}

TGameUIManager& GameUIManager() {
  static TGameUIManager manager;
  return manager;
}

TPlayer* GolferToPlay() {
  TGame* g = CurrentGame();
  return g && g->players ? g->players->GetPlayer(g->state.currentPlayer) : nullptr;
}

bool PersonToPlay() {
  TGame* g = CurrentGame();
  TPlayer* p = GolferToPlay();
  return p && !p->IsComputer() && g->IsLocalTurn();
}

int TGameUIManager::CreateControls(TMA_EventHandlerList* list, int tournamentReport, int chat) {
  shotInputAllowed = static_cast<uint32_t>(tournamentReport);
  chatAllowed = static_cast<uint32_t>(chat);
  InRoundHandlers& h = InRound();
  if (!h.shotUI) {
    h.shotUI = new (std::nothrow) TShotUIManager;
    if (!h.shotUI) return ERR_MEMORYFULL;
    if (h.shotUI->CreateControls() != 0) {
      delete h.shotUI;
      h.shotUI = nullptr;
      return ERR_MEMORYFULL;
    }
  }
  if (const int16_t status = list->AddHandler(h.shotUI)) return status;
  int result = 0;
  TGame* g = CurrentGame();
  // Golfers of a network round type to each other.
  if (chat && ChatBoxWanted(g)) {
    if (!h.chat) h.chat = CreateChatBox();
    if (!h.chat) return ERR_MEMORYFULL;
    if (const int16_t status = list->AddHandler(h.chat)) return status;
    // ... and talk, where the network carries voice.
    if (!h.mic && Svc().network->VoiceExists()) {
      auto* mic = new (std::nothrow) TMicButton;
      if (mic && list->AddHandler(mic) == 0) h.mic = mic;
      else delete mic;
    }
  }
  if (g && g->IsShotClockOn()) {
    if (!h.shotClock) h.shotClock = CreateShotClock();
    if (!h.shotClock || list->AddHandler(h.shotClock) != 0) result = ERR_MEMORYFULL;
  }
  return result;
}

// ---- golfer sprites -------------------------------------------------------------------------------------------

GolferEventHandler::GolferEventHandler(uint32_t handlerFlags) : MA_EventHandler(handlerFlags, 0, 0, 0, 0) {}

void GolferEventHandler::Update(int golferSlot, int) {
  if (golferSlot < 0 || golferSlot > 3) return;
  // The sprites come from the scene's posed golfer; until it poses one there is nothing to build.
  if (!setUp[golferSlot]) {
    currentSide = -1;
    lastAnimation = -1;
  }
}

void GolferEventHandler::Draw(int) {}

void GolferEventHandler::Erase(int) {}

// ---- build, update, destroy -------------------------------------------------------------------------------------

namespace {

void FailBuild(int code) { ShowErrorBox(code, false); }

}  // namespace

bool GameUIBuilt() { return InRound().list != nullptr; }

int ResetInRoundUI() {
  if (InRound().holeGraphic) InRound().holeGraphic->SetUserWord(0);
  if (HolePanel) HolePanel->RefreshNamesAndScores();
  Tips().ClearTipOffer();
  UpdateShotInfoPanels(0);
  return 0;
}

void UpdateShotInfoPanels(int value) { RefreshShotInfoPanels(value); }

void BuildGameUI() {
  InRoundHandlers& h = InRound();
  if (h.list) {
    if (const int status = ResetInRoundUI()) {
      FailBuild(status);
      return;
    }
    if (h.golfer) h.golfer->Show(1, 1);
    CurrentHandlerList() = h.list;
    h.list->DrawAll(0);
    if (h.chat) h.chat->Redraw();
    return;
  }
  LoadGameUIShapes(GameUIFolder());
  if (!StandardFonts[0] && Facts().fontFolder && *Facts().fontFolder) FontLoadStandardSet(Facts().fontFolder);

  h.list = new (std::nothrow) TGameUIEventHandlerList;
  if (!h.list) return FailBuild(ERR_MEMORYFULL);
  if (const int16_t status = h.list->CreateList(12)) return FailBuild(status);
  h.list->keyboardNavigation = 0;
  h.list->reverseDrawing = 1;

  if (!h.targeting) h.targeting = CreateTargetingHandler();
  h.list->targeting = h.targeting;

  GameUIManager().CreateControls(h.list, 1, 1);

  // A new round: the hole panel, and the tips button with nothing offered yet.
  Tips().Reset();
  if (!h.holeGraphic) h.holeGraphic = CreateHolePanel();
  if (h.holeGraphic)
    if (const int16_t status = h.list->AddHandler(h.holeGraphic)) return FailBuild(status);
  if (MA_EventHandler* tips = Tips().Setup())
    if (const int16_t status = h.list->AddHandler(tips)) return FailBuild(status);

  h.golfer = new (std::nothrow) GolferEventHandler(4);
  if (!h.golfer) return FailBuild(ERR_MEMORYFULL);
  if (const int16_t status = h.list->AddHandler(h.golfer)) return FailBuild(status);

  h.afterShot = CreateAfterShotList();

  if (h.targeting)
    if (const int16_t status = h.list->AddHandler(h.targeting)) return FailBuild(status);

  TGameUIManager& m = GameUIManager();
  m.inputEnabled = m.shotInputAllowed = m.chatAllowed = 1;

  if (!h.textStrip) {
    int32_t lineHeight = 16;
    if (StandardFonts[0]) {
      FontSelect(StandardFonts[0], DrawnImage(), 0, 0, 0, 0, 0);
      lineHeight = FontHeight();
    }
    h.textStrip = trycreatewindowadr(Facts().screenWidth, static_cast<int32_t>(lineHeight * 1.6f), 16);
  }
  ClearReplayPlaying();

  CurrentHandlerList() = h.list;
  h.list->ShowEach(0);
  h.list->EnableEach(0);
  // The chat box is not a turn's control: it takes lines and ages them in every golfer's turn, as long as the
  // round allows chat (disabled, its lines never went).
  if (h.chat) {
    h.chat->Enable(1, 0);
    h.chat->Redraw();
  }
  if (TGameChat* chat = ChatBox()) chat->Resume();
}

void UpdateGameUI(int redrawNow, int flagA, int flagB, int flagC) {
  InRoundHandlers& h = InRound();
  TGame* g = CurrentGame();
  if (g && g->IsNetworkGame() && h.chat) {
    h.chat->Redraw();
    if (TMA_EventHandlerList* current = CurrentHandlerList()) current->captured = 0;
  }
  if (h.golfer) {
    h.golfer->Update(g ? g->state.currentPlayer : 0, flagC);
    h.golfer->Show(flagB ? 0 : 1, 1);
  }
  (void)flagA;
  // From the first golfer shown the hole panel stays up; the tips button lives while a person plays.
  if (h.holeGraphic) h.holeGraphic->Show(1, 0);
  if (Tips().button) {
    Tips().button->Show(1, 0);
    Tips().button->Enable(1, 0);
  }
  RedrawShotControls();
  if (redrawNow) UpdateScreen();
}

void DestroyGameUI() {
  InRoundHandlers& h = InRound();
  // A new hole starts without a safe or aggressive plan.
  ResetAggrSafeChoice();
  AggrSafeChoice() = kChoiceNone;
  TMA_EventHandlerList*& current = CurrentHandlerList();
  if (current && current != h.afterShot && current != h.list) delete current;
  current = nullptr;
  if (h.afterShot) {
    if (h.mic) h.afterShot->RemoveHandler(h.mic);
    if (h.chat) h.afterShot->RemoveHandler(h.chat);
    DestroyAfterShotList();
    h.afterShot = nullptr;
  }
  if (h.list) {
    // The list lets go of every handler it holds; the ones nobody else holds go with it.
    delete h.list;
    h.list = nullptr;
  }
  h.overhead = nullptr;
  h.holeGraphic = nullptr;
  h.targeting = nullptr;
  h.golfer = nullptr;
  // The chat box and the mic button live only in the lists.
  h.chat = nullptr;
  h.mic = nullptr;
  FreeGameUIShapes();
  if (h.textStrip) {
    removewindow(h.textStrip);
    h.textStrip = nullptr;
  }
}
