#include "roundui/micbutton.h"

#include <algorithm>

#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/inputstate.h"
#include "golf/game.h"
#include "roundui/inroundbutton.h"
#include "roundui/uishapes.h"

namespace {

TMicButton* gMic = nullptr;

struct Place {
  int32_t x, y;
};
constexpr Place kPlaces[5] = {{8, 417}, {10, 521}, {10, 689}, {15, 899}, {15, 1075}};

const Place& PlaceOf() { return kPlaces[std::clamp(static_cast<int>(Facts().sizeSetting), 0, 4)]; }

// The button works through its press and release, never through a click.
void NoClick(TGenericControlADV*) {}

// Pointer buttons whose press is taken and ignored (the second and the middle one).
constexpr uint8_t kIgnoredButtons = 0x05;

}  // namespace

TMicButton* MicButton() { return gMic; }

void MicRecordingProgress(int finished) {
  TMicButton* mic = gMic;
  if (!mic) return;
  const int32_t was = mic->state.load();
  mic->drawnState = was;
  const int32_t next = was + 1;
  mic->state = next >= TMicButton::kFrames || finished ? TMicButton::kReady : next;
}

TMicButton::TMicButton() : TGenericControlADV(0, 0, 0, kKindButton, kHandlerShown | kHandlerEnabled, 0, nullptr) {
  clickHandler = NoClick;
  gMic = this;
  LoadFrames();
  // Presses are taken where the picture is drawn.
  const MARect r = FrameRect();
  left = r.left, top = r.top, right = r.right, bottom = r.bottom;
}

TMicButton::~TMicButton() {
  if (gMic == this) gMic = nullptr;
  movie_.Close();
}

int TMicButton::LoadFrames() {
  frameCount = 0;
  std::fill(std::begin(frames), std::end(frames), nullptr);
  if (movie_.Open(GameUIFolder(), "ui.viv", "micbtn.fsh") != TShapeMovie::kOk) {
    movie_.Close();
    return 0;
  }
  const int32_t count = std::min<int32_t>(movie_.frameCount, kFrames);
  for (int32_t i = 0; i < count; ++i) {
    frames[i] = movie_.FrameRef(i + 1);
    if (!frames[i]) {
      movie_.Close();
      std::fill(std::begin(frames), std::end(frames), nullptr);
      return 0;
    }
  }
  frameCount = count;
  return 1;
}

MARect TMicButton::FrameRect() const {
  const Place& p = PlaceOf();
  const MARect r = FrameRectAt(frames[0], 0, 0);
  return MARect{p.x, p.y, p.x + (r.right - r.left), p.y + (r.bottom - r.top)};
}

int TMicButton::IsPointerOver(int16_t x, int16_t y, uint8_t) {
  const MARect r = FrameRect();
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

int TMicButton::OnPointerDown(int16_t x, int16_t y, uint8_t buttons) {
  if (state == kNotUsable || !Svc().network->VoiceExists() || !IsPointerOver(x, y, buttons)) return 0;
  if (buttons & kIgnoredButtons) return 1;
  state = kFirstRecording;
  Redraw();
  // The message goes to every other player of the game.
  uint32_t ids[8];
  int count = 0;
  const TGame* g = CurrentGame();
  const uint32_t me = Svc().network->LocalMachineId();
  for (int s = 0; g && g->players && s < TPlayerList::kSlots && count < 8; ++s) {
    const TPlayer* p = g->players->GetPlayer(s);
    if (p && (p->flags & kGolferTakesPart) && p->machineId != me) ids[count++] = p->machineId;
  }
  if (count > 0) Svc().network->VoiceStartRecording(ids, count, MicRecordingProgress);
  int32_t shown = state;
  while (PollMouseButtons() != 0) {
    if (const int32_t now = state; now != shown) {
      shown = now;
      Redraw();
      UpdateScreen();
    }
    SleepMs(10);
  }
  Svc().network->VoiceFinishRecording();
  state = kReady;
  Redraw();
  return 1;
}

void TMicButton::Draw(int flag) {
  if (!(flags & kHandlerShown)) return;
  Erase(flag);
  const int32_t s = std::clamp<int32_t>(state, 0, kFrames - 1);
  const uint8_t* frame = s < frameCount ? frames[s] : nullptr;
  if (!frame) return;
  const MARect at = FrameRect();
  const MARect hot = FrameRectAt(frame, 0, 0);
  const MARect drawn = DrawUIFrame(frame, at.left - hot.left, at.top - hot.top);
  MarkRect16(Svc().scene->GolfViewOverlay(), drawn, false);
  overlayCut = true;
  drawnState = state.load();
  if (flag) UpdateScreen();
}

void TMicButton::Erase(int) {
  if (!Svc().network->VoiceExists()) return;
  if (overlayCut) {
    RestoreViewRect(FrameRect());
    overlayCut = false;
  }
}

void TMicButton::OnFocusChanged() {
  state = IsShownAndEnabled() ? kReady : kNotUsable;
  Redraw();
}
