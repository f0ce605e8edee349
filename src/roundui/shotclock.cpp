#include "roundui/shotclock.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "framework/core/errors.h"
#include "framework/core/services.h"
#include "framework/core/utils.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "golf/game.h"
#include "golf/golfmsg.h"
#include "golf/shotclock.h"
#include "mmsystem.h"
#include "roundui/chatbox.h"
#include "roundui/gameui.h"
#include "roundui/holepanel.h"
#include "roundui/inroundbutton.h"
#include "roundui/tips.h"
#include "roundui/uishapes.h"
#include "roundui/uitext.h"

namespace {

TShotClockUI* gClock = nullptr;

// Where the face hangs, by screen size: face x, y; the label panel's offset; the label's and the digits' drop.
struct ClockPlace {
  int32_t faceX, faceY, panelX, panelY, labelY, digitY;
};
constexpr ClockPlace kPlaces[5] = {
    {249, 6, 7, 2, -1, 13}, {313, 8, 9, 3, 0, 17}, {313, 8, 9, 3, 0, 17}, {500, 23, 14, 4, 1, 28}, {500, 23, 14, 4, 1, 28},
};

const ClockPlace& Place() { return kPlaces[std::clamp(static_cast<int>(Facts().sizeSetting), 0, 4)]; }

MARect Union(const MARect& a, const MARect& b) {
  if (a.right <= a.left) return b;
  if (b.right <= b.left) return a;
  return MARect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

constexpr int32_t kClockGap = 4;

// The face and its label hang right of the hole panel's texts and art (the shot label ends its top row), never
// over them; without a panel at its table place.
int32_t ClockShift(const uint8_t* faceFrame, const uint8_t* panelFrame, const ClockPlace& at) {
  const MARect whole = Union(FrameRectAt(faceFrame, at.faceX, at.faceY),
                             FrameRectAt(panelFrame, at.faceX + at.panelX, at.faceY + at.panelY));
  if (whole.right <= whole.left || !HolePanel || !(HolePanel->flags & kHandlerShown)) return 0;
  return std::max(0, HolePanel->RightEdge() + kClockGap - whole.left);
}

}  // namespace

TShotClockUI* ShotClock() { return gClock; }

int32_t ShotClockReach() {
  if (!gClock) return 0;
  const TGame* g = CurrentGame();
  const ClockPlace& at = Place();
  const int count = g ? std::clamp(g->violations[std::clamp<int>(g->state.currentPlayer, 0, 3)], 0, 5) : 0;
  const uint8_t* faceFrame = GameUIFrame(kShapeShotClock, count + 2);
  const uint8_t* panelFrame = GameUIFrame(kShapeShotClock, 1);
  const int32_t faceX = at.faceX + ClockShift(faceFrame, panelFrame, at);
  const MARect whole = Union(FrameRectAt(faceFrame, faceX, at.faceY),
                             FrameRectAt(panelFrame, faceX + at.panelX, at.faceY + at.panelY));
  return whole.right > whole.left ? whole.right + kClockGap : 0;
}

TShotClockUI* CreateShotClock() {
  TGame* g = CurrentGame();
  if (gClock || !g || !g->IsShotClockOn()) return gClock;
  auto* clock = new (std::nothrow) TShotClockUI;
  if (!clock) return nullptr;
  clock->SetUp();
  return clock;
}

TShotClockUI::TShotClockUI() : MA_EventHandler(kHandlerShown | kHandlerEnabled, 0, 0, 0, 0) { gClock = this; }

TShotClockUI::~TShotClockUI() {
  if (gClock == this) gClock = nullptr;
  if (InRound().shotClock == this) InRound().shotClock = nullptr;
  FontFree(&labelFont);
  FontFree(&digitFont);
}

void TShotClockUI::SetUp() {
  const int size = std::clamp(static_cast<int>(Facts().sizeSetting), 0, 4);
  const char* digits = size == 0 ? "digi22.ffn" : size <= 2 ? "digi28.ffn" : "digi44.ffn";
  const char* label = size <= 2 ? "HAL8b.ffn" : "HAL12b.ffn";
  const char* folder = Facts().fontFolder ? Facts().fontFolder : "";
  // The clock cannot be read without its fonts.
  if (FontLoad(&digitFont, folder, digits, 0) != 0 || !digitFont) FatalErrorBox(7);
  if (FontLoad(&labelFont, folder, label, 0) != 0 || !labelFont) FatalErrorBox(7);
  startTick = lastTick = expired = backdropDrawn = 0;
  shownSeconds = 0xFFFF;
}

void TShotClockUI::Restart() {
  // The in-round list is built hidden; a turn shows the clock.
  SetFlags(kHandlerShown | kHandlerEnabled, 1);
  const uint32_t now = timeGetTime();
  startTick = now ? now : 1;
  lastTick = 0;
  shownSeconds = 0xFFFF;
  expired = 0;
}

void TShotClockUI::Stop() {
  startTick = lastTick = 0;
  shownSeconds = 0xFFFF;
}

void TShotClockUI::SetBackdrop(const uint8_t* image, uint16_t word) {
  backdrop = image;
  backdropWord = word;
  backdropDrawn = 0;
}

bool TShotClockUI::IsRunning() const {
  const TGame* g = CurrentGame();
  if (!g || !g->IsLocalTurn() || !PersonToPlay() || startTick == 0 || !(flags & kHandlerShown)) return false;
  // A tip's movie holds the clock: the golfer asked for it and cannot swing while it plays.
  if (!GameUIManager().inputEnabled || Tips().playing) return false;
  return g->mode != kModePractice && g->mode != kModeDrivingRange;
}

uint32_t TShotClockUI::Remaining() const {
  const TGame* g = CurrentGame();
  if (!g || startTick == 0) return 0;
  const uint32_t used = (timeGetTime() - startTick) / 1000;
  return used >= g->shotTimeLimit ? 0 : g->shotTimeLimit - used;
}

int TShotClockUI::OnIdle() {
  const uint32_t now = timeGetTime();
  const uint32_t delta = lastTick ? now - lastTick : 0;
  lastTick = now;
  // Time while the clock does not run (the ball in flight, another golfer's turn) is not counted.
  if (!IsRunning()) {
    if (startTick) startTick += delta;
    return 0;
  }
  const int32_t remaining = static_cast<int32_t>(Remaining());
  if (remaining != shownSeconds) {
    shownSeconds = remaining;
    Erase(0);
    Draw(1);
  }
  if (shownSeconds == 0 && !expired) expired = 1;
  return 0;
}

void TShotClockUI::Draw(int redrawNow) {
  if (!IsRunning()) return;
  const TGame* g = CurrentGame();
  ImageRecord* screen = DrawnImage();
  if (!g || !screen || !screen->window) return;
  const uint32_t remaining = Remaining();
  const ClockPlace& at = Place();
  const int count = std::clamp(g->violations[std::clamp<int>(g->state.currentPlayer, 0, 3)], 0, 5);
  const uint8_t* faceFrame = GameUIFrame(kShapeShotClock, count + 2);
  const uint8_t* panelFrame = GameUIFrame(kShapeShotClock, 1);
  const int32_t faceX = at.faceX + ClockShift(faceFrame, panelFrame, at);
  face = DrawUIFrame(faceFrame, faceX, at.faceY);
  panel = DrawUIFrame(panelFrame, faceX + at.panelX, at.faceY + at.panelY);
  const int32_t middleX = face.right > face.left ? (face.left + face.right) / 2 : faceX;
  if (labelFont) {
    SelectRoundFont(labelFont, screen, kAlignCentre, 0xFFFFFF, 0);
    FontDrawText(panel.right > panel.left ? (panel.left + panel.right) / 2 : middleX,
                 at.faceY + at.labelY + SelectedFontAscent(), "Shot Clock");
  }
  if (digitFont && remaining <= g->shotTimeLimit) {
    char text[16];
    std::snprintf(text, sizeof text, ":%02u", remaining);
    SelectRoundFont(digitFont, screen, kAlignCentre, remaining <= 10 ? 0xFF0000 : 0xFFFFFF, 0);
    FontDrawText(middleX, at.faceY + at.digitY + SelectedFontAscent(), text);
  }
  const MARect whole = Union(face, panel);
  left = whole.left, top = whole.top, right = whole.right, bottom = whole.bottom;
  MarkRect16(Svc().scene->GolfViewOverlay(), whole, false);
  AddDirtyRect(whole);
  if (redrawNow) UpdateScreen();
  drawn = true;
  if (backdrop && !backdropDrawn) backdropDrawn = 1;
}

void TShotClockUI::Erase(int redrawNow) {
  if (!drawn) return;
  const MARect whole{0, 0, Facts().screenWidth, Facts().screenHeight};
  if (left == whole.left && top == whole.top && right == whole.right && bottom == whole.bottom) return;
  for (const MARect& r : {panel, face})
    if (r.right > r.left) RestoreViewRect(r);
  drawn = false;
  if (redrawNow) UpdateScreen();
}

void TShotClockUI::OnTimeExpired() {
  shownSeconds = 0xFFFF;
  expired = 0;
  TGame* g = CurrentGame();
  if (!g) return;
  const int slot = g->state.currentPlayer;
  TPlayer* p = g->players->GetPlayer(slot);
  if (!p) return;
  const int count = g->CountViolation(slot);
  if (g->IsNetworkGame()) Svc().network->Send(-1, kGolfClockViolation, static_cast<uint32_t>(slot));
  Svc().round->ShowMessage(std::string(p->name, strnlen(p->name, sizeof p->name)) + ShotClockInfractionText(count),
                           10000);
  if (const int strokes = ShotClockPenaltyStrokes(count)) p->AddHoleScore(g->state.round, g->state.hole, strokes, 0);
  if (count < kShotClockDisqualifies) {
    RedrawShotControls();
    return;
  }
  if (g->IsNetworkGame()) {
    PostGolfMessage(kGolfQuit);
    return;
  }
  // Disqualified: out of the round; a round with nobody left in it ends.
  g->DisqualifyGolfer(slot);
  if (g->players->CountActivePlayers() > 0) RedrawShotControls();
  else PostGolfMessage(kGolfQuit);
}
