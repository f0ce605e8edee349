#include "roundui/input.h"

#include "framework/core/services.h"
#include "framework/ui/inputstate.h"
#include "golf/game.h"
#include "roundui/aftershot.h"
#include "roundui/chatbox.h"
#include "roundui/gameui.h"
#include "roundui/inroundbutton.h"

namespace {

// While the chat's edit line is open, what is typed is chat, never a command (not even the space bar).
bool ChatEditing() {
  TGame* g = CurrentGame();
  TGameChat* chat = ChatBox();
  return g && g->roundRunning && chat && chat->IsEditing();
}

bool DemoRunning() { return Svc().frontEnd->InDemoState() || RoundInput().demoRunning; }

// The demo clears the suspension and takes the input; otherwise a suspension drops it.
bool Gate() {
  if (DemoRunning()) {
    InRoundInputSuspended() = 0;
    return true;
  }
  return InRoundInputSuspended() == 0;
}

bool RoundRunning() {
  TGame* g = CurrentGame();
  return g && g->roundRunning;
}

// True when the demo was running and has been ended.
bool EndDemo() {
  if (!DemoRunning()) return false;
  if (TGame* g = CurrentGame(); g && g->roundRunning) {
    SetTimedCallback(nullptr, 0);
    g->ReleaseHole();
    RoundInput().demoRunning = 0;
    Svc().frontEnd->ReturnToFrontEnd();
  }
  return true;
}

}  // namespace

uint16_t TranslateKeyUp(uint16_t code) {
  if (code >= 0x21 && code <= 0x28) return static_cast<uint16_t>(code + 0x100);
  if (code == 0x2E || code == 0x70) return static_cast<uint16_t>(code + 0x100);
  if (code >= 'A' && code <= 'Z') return static_cast<uint16_t>(code - 'A' + 'a');
  return code;
}

void InRoundOnIdle() {
  AfterShotOnIdle();
  TMA_EventHandlerList* list = CurrentHandlerList();
  if (list) list->OnIdle();
  if (RoundRunning() && CurrentHandlerList()) PollTimedCallback();
}

void InRoundOnButtonDown(int16_t x, int16_t y, uint8_t button) {
  if (!Gate()) return;
  if (EndDemo()) return;
  if (AfterShotMenuShown() && AfterShotOnPointerDown(x, y, button)) return;
  if (TMA_EventHandlerList* list = CurrentHandlerList()) list->OnPointerDown(x, y, button);
}

void InRoundOnButtonUp(int16_t x, int16_t y, uint8_t button) {
  if (!Gate()) return;
  if (AfterShotMenuShown() && AfterShotOnPointerUp(x, y, button)) return;
  if (TMA_EventHandlerList* list = CurrentHandlerList()) list->OnPointerUp(x, y, button);
}

void InRoundOnCommand(uint16_t code) {
  if (!Gate()) return;
  if (ChatEditing()) {
    ChatBox()->OnChar(code);
    return;
  }
  if (EndDemo()) return;
  if (AfterShotMenuShown() && AfterShotOnChar(code)) return;
  if (TMA_EventHandlerList* list = CurrentHandlerList()) list->OnChar(code);
}

void InRoundOnKeyUp(uint16_t code) {
  if (!Gate()) return;
  if (ChatEditing()) return;
  if (TMA_EventHandlerList* list = CurrentHandlerList()) list->OnKeyUp(TranslateKeyUp(code));
}
