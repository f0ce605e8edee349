#include "roundui/aftershot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "course/terrain.h"
#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/eventhandler.h"
#include "framework/ui/fontmgr.h"
#include "framework/ui/inputstate.h"
#include "golf/gameflow.h"
#include "golf/golfmsg.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/gfx/windowdesc.h"
#include "roundui/gameui.h"
#include "roundui/holetext.h"
#include "roundui/replay.h"
#include "roundui/roundparts.h"
#include "roundui/roundturn.h"
#include "roundui/uitext.h"
#include "roundui/shotresult.h"
#include "mmsystem.h"
#include "windows.h"

namespace {

constexpr const char* kChoiceTexts[kAfterShotChoices] = {"Ok",   "Mulligan", "Tap-in", "Auto Replay", "Replay",
                                                         "Concede", "Drop", "Rehit", "Quit",  "Save shot"};
constexpr uint32_t kChoiceMessages[kAfterShotChoices] = {kGolfRemoteResult, kGolfRemoteSetUp, kGolfRemoteReplay, 0, 0,
                                                         kGolfConceded, kGolfRemoteRest, kGolfRemoteBall, kGolfQuit, 0};
constexpr const char* kCameraTexts[5] = {"Default", "Ball-cam", "Rev. Ball-cam", "Tower-cam", "Gallery-cam"};


MemHandle gMenuFont = 0;
MemHandle menuFont() {
  if (!gMenuFont) FontLoad(&gMenuFont, Facts().fontFolder, Facts().sizeSetting >= 3 ? "Hal18i.ffn" : "HAL12b.ffn", 0);
  return gMenuFont;
}

// One of the two pop-up lists: rows of texts with their values, a current row, drawn on a darkened panel over
// what it saves from the screen.
class TAfterShotList : public MA_EventHandler {
 public:
  using ChoiceHandler = void (*)(int value);
  TAfterShotList(int32_t x, int32_t y) : MA_EventHandler(0, 0, kKindNoFocus, 0, 0), anchorX_(x), anchorY_(y) {
    left = right = x;
    top = bottom = y;
  }
  ~TAfterShotList() override { freeUnder(); }

  struct Row {
    std::string text;
    int value;
    bool enabled;
  };
  std::vector<Row> rows;
  int currentRow = -1;
  ChoiceHandler onChoice = nullptr;
  ChoiceHandler onMove = nullptr;

  void Clear() {
    rows.clear();
    currentRow = -1;
  }
  void Add(const std::string& text, int value) { rows.push_back(Row{text, value, true}); }
  bool Shown() const { return (flags & kHandlerShown) != 0; }
  int RowAt(int16_t x, int16_t y) const {
    if (!Shown() || x < left || x >= right || y < top + 4 || rows.empty()) return -1;
    const int row = (y - top - 4) / rowHeight();
    return row >= 0 && row < static_cast<int>(rows.size()) ? row : -1;
  }
  int CurrentValue() const { return currentRow >= 0 && currentRow < static_cast<int>(rows.size()) ? rows[currentRow].value : -1; }

  void Layout() {
    int32_t width = 60;
    if (const MemHandle font = menuFont()) {
      FontSelect(font, nullptr, kAlignLeft, 0, 0, 0, 0);
      for (const Row& r : rows) width = std::max(width, FontStringWidth(r.text.c_str(), 0) + 24);
    }
    left = anchorX_;
    top = anchorY_;
    right = left + width;
    bottom = top + 8 + static_cast<int32_t>(rows.size()) * rowHeight();
    // Kept on the screen.
    if (bottom > Facts().screenHeight) top -= bottom - Facts().screenHeight, bottom = Facts().screenHeight;
    if (right > Facts().screenWidth) left -= right - Facts().screenWidth, right = Facts().screenWidth;
  }
  void Show(int on, int redraw) override {
    if (on && !Shown()) {
      Layout();
      flags |= kHandlerShown | kHandlerEnabled;
      if (redraw) Draw(0);
    } else if (!on && Shown()) {
      Erase(0);
      flags &= ~(kHandlerShown | kHandlerEnabled);
    }
  }
  void MoveTo(int row) {
    if (row < 0 || row >= static_cast<int>(rows.size()) || !rows[row].enabled || row == currentRow) return;
    currentRow = row;
    if (Shown()) Draw(0);
    if (onMove) onMove(CurrentValue());
  }
  void Step(int direction) {
    for (int r = currentRow + direction; r >= 0 && r < static_cast<int>(rows.size()); r += direction)
      if (rows[r].enabled) {
        MoveTo(r);
        return;
      }
  }
  void Choose() {
    if (onChoice && CurrentValue() >= 0 && rows[currentRow].enabled) onChoice(CurrentValue());
  }
  int OnChar(uint16_t code) override {
    if (!Shown()) return 0;
    if (code == kKeyUp) Step(-1);
    else if (code == kKeyDown) Step(1);
    else if (code == kKeyEnter || code == ' ') Choose();
    else return 0;
    return 1;
  }
  int OnPointerDown(int16_t x, int16_t y, uint8_t) override {
    const int row = RowAt(x, y);
    if (row < 0) return 0;
    MoveTo(row);
    return 1;
  }
  int OnPointerUp(int16_t x, int16_t y, uint8_t) override {
    const int row = RowAt(x, y);
    if (row < 0 || row != currentRow) return 0;
    Choose();
    return 1;
  }
  int IsPointerOver(int16_t x, int16_t y, uint8_t) override {
    const int row = RowAt(x, y);
    if (row >= 0) MoveTo(row);
    return row >= 0;
  }
  void Draw(int) override {
    ImageRecord* drawn = DrawnImage();
    const MemHandle font = menuFont();
    if (!Shown() || !drawn || !drawn->window || drawn->window->depth != 16) return;
    WindowDesc* w = drawn->window;
    const int32_t width = right - left, height = bottom - top;
    if (!under_) {
      under_ = trycreatewindowadr(width, height, 16);
      if (under_) CopyWindowArea(under_, 0, 0, w, left, top, width, height);
    }
    // The panel: the view under it darkened, framed by a light line.
    for (int32_t y = std::max(0, top); y < std::min(bottom, w->height); ++y) {
      auto* px = reinterpret_cast<uint16_t*>(w->pixels + y * w->rowbytes);
      for (int32_t x = std::max(0, left); x < std::min(right, w->width); ++x) {
        const uint16_t source = under_ ? reinterpret_cast<const uint16_t*>(under_->pixels + (y - top) * under_->rowbytes)[x - left] : px[x];
        const bool edge = y == top || y == bottom - 1 || x == left || x == right - 1;
        px[x] = edge ? RoundPixel565(kAfterShotMenuFrame) : static_cast<uint16_t>((source >> 2) & 0x39E7);
      }
    }
    if (font) {
      const int32_t h = rowHeight();
      for (size_t r = 0; r < rows.size(); ++r) {
        const int32_t rowTop = top + 4 + static_cast<int32_t>(r) * h;
        const bool current = static_cast<int>(r) == currentRow;
        if (current && setwindow(w)) {
          fillrect(left + 3, rowTop, width - 6, h, RoundPixel565(0x2E5A2E));
          releasewindow();
        }
        const uint32_t colour = !rows[r].enabled ? 0x808080 : current ? 0xFFFF50 : 0xFFFFFF;
        SelectRoundFont(font, drawn, kAlignLeft, colour, 1);
        FontDrawText(left + 10, rowTop + 2 + SelectedFontAscent(), rows[r].text.c_str());
      }
    }
    AddDirtyRect(MARect{left, top, right, bottom});
  }
  void ForgetUnder() { freeUnder(); }
  void Erase(int) override {
    ImageRecord* drawn = DrawnImage();
    if (under_ && drawn && drawn->window) {
      CopyWindowArea(drawn->window, left, top, under_, 0, 0, under_->width, under_->height);
      AddDirtyRect(MARect{left, top, right, bottom});
    }
    freeUnder();
  }

 private:
  int32_t rowHeight() const {
    const MemHandle font = menuFont();
    if (!font) return 16;
    FontSelect(font, nullptr, kAlignLeft, 0, 0, 0, 0);
    return FontHeight() + 4;
  }
  void freeUnder() {
    if (under_) removewindow(under_);
    under_ = nullptr;
  }
  int32_t anchorX_, anchorY_;
  WindowDesc* under_ = nullptr;
};

class TAfterShotEHL;
TAfterShotEHL* gHandler = nullptr;

// The after-shot list: while it is the current in-round list, input and idle passes reach the menu through it.
class TAfterShotEHL : public TMA_EventHandlerList {
 public:
  ~TAfterShotEHL() override;
  int OnChar(uint16_t code) override { return AfterShotOnChar(code); }
  int OnPointerDown(int16_t x, int16_t y, uint8_t buttons) override { return AfterShotOnPointerDown(x, y, buttons); }
  int OnPointerUp(int16_t x, int16_t y, uint8_t buttons) override { return AfterShotOnPointerUp(x, y, buttons); }
  int OnIdle() override { return AfterShotOnIdle(); }
  // Over a view drawn anew: what the lists cover is taken again.
  void DrawAll(int) override {
    menu.ForgetUnder();
    cameras.ForgetUnder();
    DrawAfterShotMenu();
  }
  void EraseAll(int) override { EraseAfterShotMenu(); }
  TAfterShotEHL()
      : menu(static_cast<int32_t>(Facts().screenWidth * 0.63), static_cast<int32_t>(Facts().screenHeight * 0.7)),
        cameras(Facts().screenWidth / 2, static_cast<int32_t>(Facts().screenHeight * 0.7)) {
    for (int i = 0; i < 5; ++i) cameras.Add(kCameraTexts[i], i);
    cameras.currentRow = 0;
  }
  TAfterShotList menu, cameras;
  bool available[kAfterShotChoices] = {};
  uint32_t autoContinueTime = 0;
  bool autoContinue = false;  // the countdown runs from autoContinueTime
  bool focusOnCameras = false;
};

bool gFailNextCreate = false;  // tests: the handler cannot be made
int gPending = 0;              // strokes of the shot not yet counted
bool gReplayRunning = false;
bool gDefaultReplay = true;

TGame* game() { return CurrentGame(); }

void startCountdown(uint32_t from) {
  if (!gHandler) return;
  gHandler->autoContinueTime = from;
  gHandler->autoContinue = true;
}
TPlayer* golfer(TGame* g) { return g && g->players ? g->players->GetPlayer(g->state.currentPlayer) : nullptr; }

float distance3d(const Vector3& a, const Vector3& b) {
  const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

bool isConcedeMode(int mode) {
  return mode == kModeSkins || mode == kModeMatchPlay || mode == kModeFourBall || mode == kModeFoursome;
}

AfterShotSituation currentSituation(TGame* g, TPlayer* p) {
  AfterShotSituation s;
  s.menuMode = g->mode != kModeDrivingRange;
  s.human = !p->IsComputer();
  s.local = g->IsLocalTurn();
  s.network = g->IsNetworkGame() != 0;
  s.roundEnding = g->ending != 0;
  s.mulligansOn = g->mode == kModePractice || p->MayTakeMulligan(g->state.hole);
  s.shootout = g->mode == kModeShootout;
  s.holed = p->ball.Flag(kBallFlagHoled) != 0;
  s.distanceToHole = distance3d(p->ball.position, g->pinPosition);
  s.lie = ClassifyBallLie(p->ball);
  s.tapInLieOk = !s.holed && !s.lie.water && !s.lie.outOfBounds && IsGreenLie(p->ball.lie);
  s.concedeMode = isConcedeMode(g->mode);
  if (s.concedeMode && s.human && s.local && !s.holed) {
    // With the shot and one more stroke on the card, is the hole still undecided?
    const int extra = gPending + 1;
    p->AddHoleScore(g->state.round, g->state.hole, extra, 0);
    uint16_t winner = 4;
    s.holeStillOpen = g->GetHoleWinner(&winner, true) == 0;
    p->AddHoleScore(g->state.round, g->state.hole, -extra, 0);
  }
  s.gameAllowsSaving = g->ShotsMayBeSaved();
  s.savingAllowed = ShotSavingAllowed && g->hasLastShot;
  return s;
}

// The choice made without asking: a drop in water, a re-hit out of bounds, else the shot as played.
void runDefaultHandler(const AfterShotSituation& s) {
  if (s.lie.water && !s.penaltyOptionsForbidden) DoDropBall();
  else if (s.lie.outOfBounds && !s.penaltyOptionsForbidden) DoRehit();
  else DoAcceptShot();
}

void hideLists() {
  if (!gHandler) return;
  gHandler->cameras.Show(0, 1);
  gHandler->menu.Show(0, 1);
  gHandler->focusOnCameras = false;
}

// The menu hands input back to the in-round list and the view is drawn again.
void leaveMenu() {
  if (gHandler && CurrentHandlerList() == gHandler) CurrentHandlerList() = InRound().list;
  InvalidateRoundView();
}

void sendChoice(uint32_t id, intptr_t argument = 0) {
  hideLists();
  if (gHandler) gHandler->autoContinue = false;
  TGame* g = game();
  // In a network game every machine runs the choice; the other machines hear of it through the network layer.
  if (g && g->IsNetworkGame()) Svc().network->Send(-1, id, 0);
  PostGolfMessage(id, argument);
}

void onMenuMove(int value) {
  if (!gHandler) return;
  // The "Replay" row opens the camera list beside the menu; leaving it closes it.
  if (value == kChoiceReplay) gHandler->cameras.Show(1, 1);
  else gHandler->cameras.Show(0, 1);
}

void onMenuChoice(int value) {
  if (!gHandler) return;
  gHandler->autoContinue = false;
  if (value == kChoiceReplay) {
    gHandler->cameras.Show(1, 1);
    gHandler->focusOnCameras = true;
    return;
  }
  RunAfterShotChoice(value);
}

void onCameraChoice(int value) {
  if (!gHandler) return;
  gHandler->autoContinue = false;
  hideLists();
  if (value == 0) gDefaultReplay = true;
  PlayShotReplay(value, gDefaultReplay);
}

// Counts the shot: the stroke (a putt with the putter) and `penalty` strokes, the golfer holed out when the ball
// dropped or the stroke limit is reached.
void countShot(TGame& g, TPlayer* p, int penalty) {
  const bool putt = p->currentClub == kPutter;
  uint32_t before = 0;
  p->GetHoleScore(g.state.round, g.state.hole, &before, nullptr);
  RecordTeeShot(g, p, before & ~kScoreMarker);
  if (g.CountsStrokes()) p->AddHoleScore(g.state.round, g.state.hole, 1 + penalty, putt ? 1 : 0);
  if (p->ball.Flag(kBallFlagHoled)) p->holedOut = 1;
  else if (g.CountsStrokes() && p->ReachedStrokeLimit(g.mode, g.state.round, g.state.hole)) p->holedOut = 1;
  p->UpdateStance();
}

bool badDropLie(float x, float y) {
  const int lie = GetTerrainSurface(x, y) >> 4;
  return lie == 5 || lie == 12 || lie == 9 || lie == 2 || lie == 7 || lie == 8 || lie == 11;
}

// Three yards back from where the ball entered the hazard, along its line from where the shot was played; further
// back while the lie there is water, out of bounds or one that may not take a drop; the shot's start at worst.
Vector3 dropPoint(const Vector3& from, const Vector3& rest) {
  const float dx = rest.x - from.x, dy = rest.y - from.y;
  const float length = std::sqrt(dx * dx + dy * dy);
  if (length < 0.01f) return from;
  const float ux = dx / length, uy = dy / length;
  float entry = length;
  for (float t = 0.0f; t < length; t += 0.5f) {
    const int lie = GetTerrainSurface(from.x + ux * t, from.y + uy * t) >> 4;
    if (lie == 5 || lie == 12) {
      entry = t;
      break;
    }
  }
  for (float t = entry - 3.0f; t > 0.0f; t -= 1.0f) {
    const float x = from.x + ux * t, y = from.y + uy * t;
    if (!badDropLie(x, y)) return Vector3{x, y, GetTerrainHeight(x, y)};
  }
  return from;
}

}  // namespace

TAfterShotEHL::~TAfterShotEHL() {
  if (gHandler != this) return;
  hideLists();
  if (CurrentHandlerList() == this) CurrentHandlerList() = nullptr;
  gHandler = nullptr;
}

const char* AfterShotChoiceText(int choice) {
  return choice >= 0 && choice < kAfterShotChoices ? kChoiceTexts[choice] : "";
}
uint32_t AfterShotChoiceMessage(int choice) {
  return choice >= 0 && choice < kAfterShotChoices ? kChoiceMessages[choice] : 0;
}

AfterShotLie ClassifyBallLie(const BallState& ball) {
  AfterShotLie lie;
  const int code = ball.lie & 15;
  lie.water = ball.Flag(kBallFlagWater) != 0 || code == 5 || code == 12;
  lie.waterCode5 = lie.water && code != 12;
  lie.outOfBounds = !lie.water && (ball.Flag(kBallFlagOutOfBounds) != 0 || code == 9);
  return lie;
}

uint32_t OfferedChoices(const AfterShotSituation& s) {
  if (!s.menuMode) return 0;
  uint32_t offered = 0;
  auto offer = [&offered](int choice) { offered |= 1u << choice; };
  const bool mine = s.human && s.local;
  if (mine && s.mulligansOn && !s.roundEnding) offer(kChoiceMulligan);
  if (mine && s.tapInOption && !s.shootout && !s.roundEnding && s.distanceToHole * 36.0f < 14.0f && s.tapInLieOk)
    offer(kChoiceTapIn);
  const bool drop = mine && s.lie.water && !s.roundEnding && !s.penaltyOptionsForbidden;
  if (drop) offer(kChoiceDrop);
  if (!s.network && s.human) offer(kChoiceAutoReplay), offer(kChoiceReplay);
  if (mine && !s.holed && !s.roundEnding && s.concedeMode && s.holeStillOpen) offer(kChoiceConcede);
  if (s.network && !s.local) offer(kChoiceQuit);
  const bool rehit = mine && (s.lie.outOfBounds || (s.lie.waterCode5 && !s.playedFromCode6WithCourseFlag)) &&
                     !s.roundEnding && !s.penaltyOptionsForbidden;
  if (rehit) offer(kChoiceRehit);
  if (mine && !drop && !rehit) offer(kChoiceOk);
  if (mine && s.gameAllowsSaving && !s.roundEnding && s.savingAllowed) offer(kChoiceSaveShot);
  return offered;
}

int DefaultAfterShotChoice(uint32_t offered) {
  for (int choice : {kChoiceOk, kChoiceDrop, kChoiceRehit})
    if (offered & (1u << choice)) return choice;
  return -1;
}

int CreateAfterShotHandler() {
  ShotSavingAllowed = true;
  if (gHandler) return 0;
  if (gFailNextCreate) {
    gFailNextCreate = false;
    return 4;
  }
  gHandler = new (std::nothrow) TAfterShotEHL;
  if (!gHandler) return 4;
  gHandler->menu.onChoice = onMenuChoice;
  gHandler->menu.onMove = onMenuMove;
  gHandler->cameras.onChoice = onCameraChoice;
  return 0;
}

void DestroyAfterShotHandler() {
  delete gHandler;
  EraseResultBanners();
  FontFree(&gMenuFont);
  FreeResultBannerFont();
}

TMA_EventHandlerList* AfterShotHandler() { return gHandler; }

TMA_EventHandlerList* CreateAfterShotList() { return CreateAfterShotHandler() == 0 ? gHandler : nullptr; }

bool BeginAfterShotChoice() {
  BeginAfterShot();
  return true;
}

void SetAfterShotChoice(int choice, bool available) {
  if (gHandler && choice >= 0 && choice < kAfterShotChoices) gHandler->available[choice] = available;
}
bool AfterShotChoiceAvailable(int choice) {
  return gHandler && choice >= 0 && choice < kAfterShotChoices && gHandler->available[choice];
}

void ShowAfterShotMenu() {
  if (!gHandler) return;
  hideLists();
  TAfterShotList& menu = gHandler->menu;
  menu.Clear();
  TGame* g = game();
  if (g && g->mode == kModeDrivingRange) return;
  for (int choice = 0; choice < kAfterShotChoices; ++choice) {
    if (!gHandler->available[choice]) continue;
    menu.Add(kChoiceTexts[choice], choice);
    if (menu.currentRow < 0 && (choice == kChoiceOk || choice == kChoiceDrop || choice == kChoiceRehit))
      menu.currentRow = static_cast<int>(menu.rows.size()) - 1;
  }
  if (menu.rows.empty()) return;
  if (menu.currentRow < 0) menu.currentRow = 0;
  gHandler->cameras.currentRow = 0;
  menu.Show(1, 1);
  if (CurrentHandlerList()) CurrentHandlerList() = gHandler;
}

bool AfterShotMenuShown() { return gHandler && gHandler->menu.Shown(); }

std::string AfterShotMenuRows() {
  std::string out;
  if (!gHandler) return out;
  for (size_t r = 0; r < gHandler->menu.rows.size(); ++r) {
    if (!out.empty()) out += ", ";
    if (static_cast<int>(r) == gHandler->menu.currentRow) out += "*";
    out += gHandler->menu.rows[r].text;
  }
  return out;
}

MARect AfterShotMenuArea() {
  if (!AfterShotMenuShown()) return MARect{};
  const TAfterShotList& menu = gHandler->menu;
  return MARect{menu.left, menu.top, menu.right, menu.bottom};
}

int AfterShotStrokePending() { return gPending; }

void BeginAfterShot() {
  TGame* g = game();
  TPlayer* p = golfer(g);
  if (!g || !p) return;
  gPending = 1;
  gDefaultReplay = true;
  // Keys and buttons pressed while the ball flew do not choose.
  // The display window hands its input to the queue window, so both queues are emptied (the swing's own presses
  // wait there too).
  const bool inputPending = FlushInput() != 0;
  const AfterShotSituation s = currentSituation(g, p);
  const uint32_t offered = OfferedChoices(s);
  for (int choice = 0; choice < kAfterShotChoices; ++choice)
    SetAfterShotChoice(choice, (offered & (1u << choice)) &&
                                   (choice != kChoiceAutoReplay && choice != kChoiceReplay ? true : GetReplayFrameCount() > 1));
  ShowShotResultText();
  if (!gHandler || !s.menuMode) {
    // Without a menu nobody would choose: the default runs as in fast play.
    runDefaultHandler(s);
    return;
  }
  ShowAfterShotMenu();
  const bool fast = g->IsFastPlay();
  if (fast && !s.network && s.human && s.local) {
    hideLists();
    runDefaultHandler(s);
    return;
  }
  if (!s.human) {
    if (s.local || !s.network) {
      UpdateScreen();
      if (!fast) SleepMs(2000);
      hideLists();
      runDefaultHandler(s);
    }
    return;
  }
  if (s.network && fast && s.local && !inputPending) hideLists();
  if (s.local) {
    const uint32_t now = timeGetTime();
    if (fast && inputPending) startCountdown(now);
    else if (g->mode != kModePractice && !gReplayRunning && !fast) startCountdown(now);
    else if (s.network && fast && !inputPending) startCountdown(now - 10001);
  }
  if (AfterShotMenuShown()) UpdateScreen();
}

int AfterShotOnChar(uint16_t code) {
  if (!gHandler || !AfterShotMenuShown()) return 0;
  TGame* g = game();
  const bool fast = g && g->IsFastPlay();
  gHandler->autoContinue = false;
  int used = 0;
  const bool onReplayRow = gHandler->menu.CurrentValue() == kChoiceReplay;
  if (code == kKeyTab || code == kKeyLeft || code == kKeyRight) {
    if (gHandler->focusOnCameras) gHandler->focusOnCameras = false;
    else if (onReplayRow) {
      gHandler->cameras.Show(1, 1);
      gHandler->focusOnCameras = true;
    }
    used = 1;
  } else if (code == kKeyUp || code == kKeyDown || code == kKeyEnter || code == ' ') {
    used = gHandler->focusOnCameras && gHandler->cameras.Shown() ? gHandler->cameras.OnChar(code) : gHandler->menu.OnChar(code);
  }
  if (!used && !fast && gHandler && AfterShotMenuShown()) startCountdown(timeGetTime());
  if (used) UpdateScreen();
  return used;
}

int AfterShotOnPointerDown(int16_t x, int16_t y, uint8_t buttons) {
  if (!gHandler || !AfterShotMenuShown()) return 0;
  gHandler->autoContinue = false;
  int used = gHandler->cameras.OnPointerDown(x, y, buttons);
  if (used) gHandler->focusOnCameras = true;
  else if ((used = gHandler->menu.OnPointerDown(x, y, buttons))) gHandler->focusOnCameras = false;
  TGame* g = game();
  if (!used && g && !g->IsFastPlay()) startCountdown(timeGetTime());
  if (used) UpdateScreen();
  return used;
}

int AfterShotOnPointerUp(int16_t x, int16_t y, uint8_t buttons) {
  if (!gHandler || !AfterShotMenuShown()) return 0;
  int used = gHandler->cameras.OnPointerUp(x, y, buttons);
  if (!used) used = gHandler->menu.OnPointerUp(x, y, buttons);
  if (used) UpdateScreen();
  return used;
}

int AfterShotOnIdle() {
  if (!gHandler || !gHandler->autoContinue) return 0;
  TGame* g = game();
  if (!g || g->ending) return 0;
  const uint32_t limit = g->IsFastPlay() ? 15000 : 10000;
  if (timeGetTime() - gHandler->autoContinueTime <= limit) return 0;
  gHandler->autoContinue = false;
  hideLists();
  if (AfterShotChoiceAvailable(kChoiceOk)) CmdAcceptShot();
  else if (AfterShotChoiceAvailable(kChoiceDrop)) CmdDrop();
  else if (AfterShotChoiceAvailable(kChoiceRehit)) CmdRehit();
  return 1;
}

void DrawAfterShotMenu() {
  if (!gHandler) return;
  gHandler->menu.Draw(0);
  gHandler->cameras.Draw(0);
}
void EraseAfterShotMenu() {
  if (!gHandler) return;
  gHandler->cameras.Erase(0);
  gHandler->menu.Erase(0);
}

void CmdAcceptShot() { sendChoice(kGolfRemoteResult); }
void CmdMulligan() { sendChoice(kGolfRemoteSetUp); }
void CmdTapIn() { sendChoice(kGolfRemoteReplay); }
void CmdRehit() { sendChoice(kGolfRemoteBall); }
void CmdDrop() { sendChoice(kGolfRemoteRest); }

int CmdConcede() {
  TGame* g = game();
  if (!g) return 0;
  if (g->IsLocalTurn() && Svc().frontEnd->ShowMessageDialog("Are you sure you want to concede?", 1) != 0) {
    if (gHandler && !gHandler->menu.rows.empty()) gHandler->menu.Show(1, 1);
    return 0;
  }
  sendChoice(kGolfConceded, g->state.currentPlayer);
  return 1;
}

void CmdEndGame() {
  TGame* g = game();
  if (!g) return;
  const bool online = g->mode == kModeNetTournament && g->IsNetworkGame();
  const char* question = online ? "Are you sure you want to end the game? You will be disqualified from the "
                                  "tournament if you end this game."
                                : "Are you sure you want to end the game?";
  if (Svc().frontEnd->ShowMessageDialog(question, 1) != 0) {
    if (gHandler && !gHandler->menu.rows.empty()) gHandler->menu.Show(1, 1);
    return;
  }
  // The game is not marked over: a round left early must not count as finished (a tournament win).
  hideLists();
  // Never over the network: the other machines see this one leave.
  PostGolfMessage(kGolfQuit);
}

void CmdSaveShot() {
  hideLists();
  SaveShotDialog();
  // The menu again, without the choice once the shot is saved.
  SetAfterShotChoice(kChoiceSaveShot, ShotSavingAllowed);
  ShowAfterShotMenu();
}

void RunAfterShotChoice(int choice) {
  hideLists();
  switch (choice) {
    case kChoiceOk: CmdAcceptShot(); break;
    case kChoiceMulligan: CmdMulligan(); break;
    case kChoiceTapIn: CmdTapIn(); break;
    case kChoiceAutoReplay: PlayShotReplay(0, true); break;
    case kChoiceConcede: CmdConcede(); break;
    case kChoiceDrop: CmdDrop(); break;
    case kChoiceRehit: CmdRehit(); break;
    case kChoiceQuit: CmdEndGame(); break;
    case kChoiceSaveShot: CmdSaveShot(); break;
    default: break;
  }
}

void DoAcceptShot() {
  TGame* g = game();
  TPlayer* p = golfer(g);
  if (!g || !p) return;
  ShotSavingAllowed = true;
  CountFinishedShot(*g, p);
  gPending = 0;
  const std::string result = ModeResultLine([](const std::string& line) {
    FontSelect(menuFont(), nullptr, kAlignLeft, 0, 0, 0, 0);
    return FontStringWidth(line.c_str(), 0) < Facts().screenWidth;
  });
  ShowResultBanner(result);
  FinishAfterShotChoice();
}

void DoMulligan() {
  TGame* g = game();
  TPlayer* p = golfer(g);
  if (!g || !p) return;
  // The shot is not counted: the ball goes back where it was played from.
  p->ball = p->ballBeforeShot;
  p->UpdateStance();
  if (g->mode != kModePractice) p->SpendMulligan(g->state.hole);
  gDefaultReplay = false;
  gPending = 0;
  FinishAfterShotChoice();
}

void DoTapIn() {
  TGame* g = game();
  TPlayer* p = golfer(g);
  if (!g || !p) return;
  // The shot played, then the tap-in's putt: the ball at rest in the cup.
  CountFinishedShot(*g, p);
  gPending = 0;
  PlaceBallAt(p, g->pinPosition);
  p->ball.Flag(kBallFlagHoled) = 1;
  if (g->CountsStrokes()) p->AddHoleScore(g->state.round, g->state.hole, 1, 1);
  p->holedOut = 1;
  Svc().sound->PlaySample("cup");
  EraseResultBanners();
  ShowShotResultText();
  SleepMs(1000);
  FinishAfterShotChoice();
}

void DoDropBall() {
  TGame* g = game();
  TPlayer* p = golfer(g);
  if (!g || !p) return;
  const Vector3 from = p->ballBeforeShot.position, rest = p->ball.position;
  p->ball.Flag(kBallFlagWater) = 0;
  p->ball.Flag(kBallFlagOutOfBounds) = 0;
  countShot(*g, p, 1);
  gPending = 0;
  PlaceBallAt(p, dropPoint(from, rest));
  ShotSavingAllowed = true;
  FinishAfterShotChoice();
}

void DoRehit() {
  TGame* g = game();
  TPlayer* p = golfer(g);
  if (!g || !p) return;
  const Vector3 from = p->ballBeforeShot.position;
  p->ball.Flag(kBallFlagWater) = 0;
  p->ball.Flag(kBallFlagOutOfBounds) = 0;
  countShot(*g, p, 1);
  gPending = 0;
  PlaceBallAt(p, from);
  ShotSavingAllowed = true;
  FinishAfterShotChoice();
}

void DoConcedeHole() {
  TGame* g = game();
  TPlayer* p = golfer(g);
  if (!g || !p) return;
  if (gPending) countShot(*g, p, 0);
  gPending = 0;
  p->holedOut = 1;
  FinishAfterShotChoice();
}

void FinishAfterShotChoice() {
  hideLists();
  leaveMenu();
  if (gHandler) gHandler->autoContinue = false;
  EraseResultBanners();
  UpdateScreen();
  gPending = 0;
  PostGolfMessage(kGolfBallStopped);
}

bool AfterShotMessage(uint32_t id) {
  static const struct {
    uint32_t id;
    const char* name;
    void (*run)();
  } kChoices[] = {{kGolfRemoteResult, "Ok", DoAcceptShot},  {kGolfRemoteSetUp, "Mulligan", DoMulligan},
                  {kGolfRemoteReplay, "Tap-in", DoTapIn},   {kGolfRemoteBall, "Rehit", DoRehit},
                  {kGolfRemoteRest, "Drop", DoDropBall},    {kGolfConceded, "Concede", DoConcedeHole}};
  for (const auto& c : kChoices) {
    if (c.id != id) continue;
    // A choice counts once: a second message for the same shot finds nothing pending.
    if (!gPending) {
      WriteLogLine((std::string("After-shot choice ") + c.name + ": nothing pending").c_str());
      return true;
    }
    c.run();
    // Every machine of a network round logs the same line for the same choice.
    if (TGame* g = game(); TPlayer* p = golfer(g)) {
      uint32_t strokes = 0;
      p->GetHoleScore(g->state.round, g->state.hole, &strokes, nullptr);
      char line[128];
      std::snprintf(line, sizeof line, "After-shot choice %s: %.*s has %u on hole %d", c.name,
                    static_cast<int>(strnlen(p->name, sizeof p->name)), p->name, strokes, g->state.hole + 1);
      WriteLogLine(line);
    }
    return true;
  }
  return false;
}

void PlayShotReplay(int camera, bool automatic) {
  (void)camera;
  (void)automatic;
  gReplayRunning = true;
  PlayShotBack();
  gReplayRunning = false;
  // The menu comes back after the replay.
  if (gPending) ShowAfterShotMenu();
}

bool ShotReplayRunning() { return gReplayRunning; }

void FailNextAfterShotHandler() { gFailNextCreate = true; }
