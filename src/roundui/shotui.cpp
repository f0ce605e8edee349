#include "roundui/shotui.h"

#include <cstdio>

#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "golf/game.h"
#include "golf/golfmsg.h"
#include "golf/playerinfo.h"
#include "platformlib/shapes/shapes.h"
#include "roundui/clubbar.h"
#include "roundui/gameui.h"
#include "roundui/inroundbutton.h"
#include "roundui/shotcontrols.h"
#include "roundui/uishapes.h"

TShotUIManager::TShotUIManager() { flags = 0; }

TShotUIManager::~TShotUIManager() {
  if (InRound().shotUI == this) InRound().shotUI = nullptr;
}

int TShotUIManager::CreateControls() {
  anchorX = Facts().screenWidth - 1;
  anchorY = Facts().screenHeight - 1;
  if (const int16_t status = CreateList(12)) return status;
  return CreateShotControlMembers(this);
}

int TShotUIManager::BackgroundFrame() {
  return userWord && PersonToPlay() ? 1 : 2;
}

void TShotUIManager::LayoutControls() {
  const uint8_t* frame = GameUIFrame(kShapePanelBack, BackgroundFrame());
  if (!frame) frame = GameUIFrame(kShapePanelBack, 0);
  const MARect r = FrameRectAt(frame, anchorX, anchorY);
  left = r.left;
  top = r.top;
  right = r.right;
  bottom = r.bottom;
}

int TShotUIManager::OnPointerDown(int16_t x, int16_t y, uint8_t buttons) {
  if (TEventHandlerGroup::OnPointerDown(x, y, buttons)) return 1;
  if (!(flags & kHandlerShown)) return 0;
  const uint8_t* frame = GameUIFrame(kShapePanelBack, BackgroundFrame());
  return frame && ShapePixelOpaqueAt(frame, anchorX, anchorY, x, y);
}

int TShotUIManager::OnPointerUp(int16_t x, int16_t y, uint8_t buttons) {
  if (TEventHandlerGroup::OnPointerUp(x, y, buttons)) return 1;
  if (!(flags & kHandlerShown)) return 0;
  const uint8_t* frame = GameUIFrame(kShapePanelBack, BackgroundFrame());
  return frame && ShapePixelOpaqueAt(frame, anchorX, anchorY, x, y);
}

int TShotUIManager::OnChar(uint16_t code) {
  if (code == kKeyEnter && PopupOpen()) {
    EnterOnPopup();
    return 1;
  }
  if (code == ' ' && powerMeter && powerMeter->IsShownAndEnabled() && !PopupOpen()) return powerMeter->OnChar(code);
  return TEventHandlerGroup::OnChar(code);
}

void TShotUIManager::Draw(int redrawNow) {
  if (!(flags & kHandlerShown)) return;
  LayoutControls();
  if (!userWord) Erase(0);
  DrawUIFrame(GameUIFrame(kShapePanelBack, BackgroundFrame()), anchorX, anchorY);
  list.DrawAll(redrawNow);
  // The open club pop-up is a box over the view: it lies over the panel's other controls, as its buttons take the
  // pointer before theirs.
  if (clubBar && ClubPopupOpen()) clubBar->Draw(redrawNow);
}

void TShotUIManager::Erase(int redrawNow) {
  if (!(flags & kHandlerShown)) return;
  if (left == 0 && top == 0 && right == Facts().screenWidth && bottom == Facts().screenHeight) return;
  if (powerMeter) powerMeter->Erase(0);
  const MARect r{left, top, right, bottom};
  RestoreScreenRect(&r);
  if (redrawNow) UpdateScreen();
}

void AdvanceToNextPlayer() {
  if (TGame* g = CurrentGame()) g->OnShotFinished();
}

std::string GameMessageText(int index, const std::string& name) {
  static const char* const kTexts[] = {
      "This hole is halved.",
      "Players are tied.  Let's go to a playoff hole.",
      "Players are still tied. Let's go to another playoff hole.",
      "Players are tied.  Let's go to a tie breaker.  Farthest from the pin is eliminated.",
      "Players are still tied.  Let's shoot again!",
      " has won the match!",
      " has won the Shoot-Out!",
      " is out of the match."};
  if (index < 0 || index > 7) return {};
  return index >= 5 ? name + kTexts[index] : std::string(kTexts[index]);
}

void ShowGameMessage(int index, const std::string& name) {
  if (TMA_EventHandlerList* list = CurrentHandlerList()) list->EraseAll(0);
  Svc().frontEnd->ShowMessageDialog(GameMessageText(index, name).c_str(), 0);
}

std::string FormatMoney(int64_t value) {
  const bool negative = value < 0;
  std::string digits = std::to_string(negative ? -value : value);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return (negative ? "-$" : "$") + out;
}
