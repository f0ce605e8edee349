#include "roundui/tips.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "app/gameapp.h"
#include "framework/core/errors.h"
#include "framework/core/paths.h"
#include "course/preferences.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/inputstate.h"
#include "golf/game.h"
#include "golf/player.h"
#include "mmsystem.h"
#include "roundui/gameui.h"
#include "roundui/roundturn.h"
#include "roundui/shotclock.h"
#include "platformlib/shapes/shapes.h"
#include "roundui/uishapes.h"
#include "roundui/uitext.h"
#include "scene/movieplayer.h"
#include "windows.h"

namespace {

constexpr size_t kMaxTipLines = 20, kMaxTipLineChars = 255;
constexpr int32_t kButtonX[5] = {543, 673, 895, 1080, 1400}, kButtonY[5] = {7, 9, 10, 12, 14};
constexpr const char* kDiscText = "Please insert the Zarvo Velmarth 99 Vex TOUR Golf Game CD";

// The movie's path in the ZARVOTIP folder below a data folder, when the file is there.
bool FindTip(PathRecord folder, const std::string& name, std::string* path) {
  if (PathAppend(&folder, "ZARVOTIP") != 0 || !FileExists(&folder, name.c_str())) return false;
  char full[MAX_PATH];
  if (!PathJoin(&folder, name.c_str(), full, sizeof full)) return false;
  *path = full;
  return true;
}

}  // namespace

std::vector<std::string> ParseTipText(const uint8_t* bytes, size_t size) {
  std::vector<std::string> lines;
  if (!bytes) return lines;
  std::string line;
  bool ended = false;  // a NUL ends the line's text
  size_t i = 0;
  const auto finish = [&] {
    lines.push_back(line);
    line.clear();
    ended = false;
  };
  while (i < size && lines.size() < kMaxTipLines) {
    const uint8_t c = bytes[i++];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i < size && bytes[i] == '\n') ++i;
      finish();
      continue;
    }
    if (c == 0) ended = true;
    if (!ended && line.size() < kMaxTipLineChars) line += static_cast<char>(c);
  }
  if (!line.empty() && lines.size() < kMaxTipLines) lines.push_back(line);
  return lines;
}

std::string TipMovieName(int tip) {
  char name[16];
  std::snprintf(name, sizeof name, "ttip%02d.mad", std::clamp(tip, 0, 15) + 1);
  return name;
}

std::string TipTextName(int tip) {
  char name[16];
  std::snprintf(name, sizeof name, "ttip%02d.dat", std::clamp(tip, 0, 15) + 1);
  return name;
}

TGolfTipsManager& Tips() {
  static TGolfTipsManager manager;
  return manager;
}

bool AlwaysTips() { return Flags().golfTips != 0; }

void TGolfTipsManager::Reset() {
  shown = 0;
  twoPutts = 0;
  enabled = 1;
  randomPick = Svc().scene->Random15() % 5;
  trigger = -1;
}

MA_EventHandler* TGolfTipsManager::Setup() {
  if (!button) button = new (std::nothrow) TZarvotipBtn;
  if (button) button->flags |= kHandlerShown | kHandlerEnabled;
  return button;
}

void TGolfTipsManager::ClearTipOffer() { trigger = -1; }

void TGolfTipsManager::Offer(int tip) {
  TGame* g = CurrentGame();
  if (!g || g->IsNetworkGame() || !enabled || shown) return;
  if (!AlwaysTips() && randomPick != 2) return;
  trigger = tip;
  UpdateTipButton();
  if (!AlwaysTips()) shown = 1;
}

void TGolfTipsManager::OnDrawChosen() { Offer(kTipDraw); }
void TGolfTipsManager::OnCutChosen() { Offer(kTipCut); }

void TGolfTipsManager::CountShotForTip() {
  TGame* g = CurrentGame();
  const TPlayer* p = GolferToPlay();
  if (!g || !p || g->IsNetworkGame() || (g->mode != kModeStroke && g->mode != kModePractice)) return;
  if (!p->ball.Flag(kBallFlagHoled)) return;
  uint32_t strokes = 0, putts = 0;
  GolferToPlay()->GetHoleScore(g->state.round, g->state.hole, &strokes, &putts);
  if ((putts & ~kScoreMarker) >= 2) ++twoPutts;
}

void TGolfTipsManager::UpdateTipButton() {
  const bool live = trigger != -1 && enabled && (shown == 0 || AlwaysTips()) && PersonToPlay();
  inactive = live ? 0 : 1;
  if (!button) return;
  button->Activate(live ? 1 : 0, 0);
  button->frame = 1;
  button->nextFrameAt = timeGetTime();
  InvalidateRoundView();
}

bool TGolfTipsManager::PlayTip(int tip) {
  playing = true;
  const std::string movie = TipMovieName(tip), text = TipTextName(tip);
  std::string path;
  DataFolders& f = Folders();
  bool found = FindTip(f.data, movie, &path);
  while (!found) {
    if (LocateGameCd()) {
      PathRecord disc = f.discRoot;
      if (PathAppend(&disc, "DATA") == 0) found = FindTip(disc, movie, &path);
    }
    if (found) break;
    // Escape at the prompt gives up and goes back to the round.
    if (Svc().frontEnd->ShowMessageDialog(kDiscText, 1) == ERR_USERABORT) {
      playing = false;
      RedrawScreenNow();
      return false;
    }
  }
  textLines.clear();
  PathRecord folder = f.data;
  if (PathAppend(&folder, "ZARVOTIP") == 0) {
    char full[MAX_PATH];
    if (PathJoin(&folder, text.c_str(), full, sizeof full)) {
      HANDLE h = CreateFileA(full, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
      if (h != INVALID_HANDLE_VALUE) {
        std::vector<uint8_t> bytes(4096);
        DWORD got = 0;
        if (ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) textLines = ParseTipText(bytes.data(), got);
        CloseHandle(h);
      }
    }
  }
  lastMovie = path;
  // The tip's text stands under its picture while the movie plays.
  MemHandle font = 0;
  static const char* const kFonts[5] = {"HAL10b.ffn", "HAL10b.ffn", "HAL10b.ffn", "HAL12b.ffn", "HAL12b.ffn"};
  if (!textLines.empty() &&
      FontLoad(&font, Facts().fontFolder, kFonts[std::clamp(Facts().sizeSetting, 0, 4)], 0) == 0 && font) {
    SetMovieCaption([this, font](const MARect& picture) { DrawTipText(font, picture); });
  }
  const int played = Svc().scene->PlayMovie(path.c_str());
  SetMovieCaption(nullptr);
  FontFree(&font);
  textLines.clear();
  RedrawScreenNow();
  if (TShotClockUI* clock = ShotClock()) clock->OnIdle();
  playing = false;
  InvalidateRoundView();
  return played != 0;
}

void TGolfTipsManager::DrawTipText(MemHandle font, const MARect& picture) const {
  ImageRecord* screen = DrawnImage();
  if (!screen || !screen->window) return;
  SelectRoundFont(font, screen, kAlignCentre, 0xFFFFFF, 0);
  const int32_t step = FontHeight() + 4, x = (picture.left + picture.right) / 2;
  int32_t y = picture.bottom + step;
  for (const std::string& line : textLines) {
    if (y + step > screen->window->height) break;
    FontDrawText(x, y + SelectedFontAscent(), line.c_str());
    y += step;
  }
}

void TGolfTipsManager::PlayOfferedTips() {
  // The movie has a sound track of its own: the announcer stops and the disc's music pauses while it plays.
  Svc().sound->StopTipSound();
  Svc().sound->StopMusic();
  if (trigger != -1) PlayTip(trigger);
  if (SoundSettings() & kSoundMusic) Svc().sound->RefreshMusic();
}

// ---- the button -------------------------------------------------------------------------------------------------

TZarvotipBtn::TZarvotipBtn() : TInRoundButton(0) { text = "View a ZarvoTip instructional video"; }

TZarvotipBtn::~TZarvotipBtn() {
  if (Tips().button == this) Tips().button = nullptr;
}

bool TZarvotipBtn::AcceptsInput() { return TInRoundButton::AcceptsInput() && PersonToPlay() && AwaitingSwing(); }

const uint8_t* TZarvotipBtn::GetHitShape(int) {
  return GameUIFrame(kShapeTips, Tips().inactive ? 0 : frame);
}

int TZarvotipBtn::OnIdle() {
  // The live button's animation steps through its frames.
  if (!Tips().inactive && AcceptsInput()) {
    const uint32_t now = timeGetTime();
    if (static_cast<int32_t>(now - nextFrameAt) >= 0) {
      nextFrameAt = now + 120;
      frame = frame >= 7 ? 1 : frame + 1;
      Draw(0);
    }
  }
  return TInRoundButton::OnIdle();
}

void TZarvotipBtn::Draw(int redrawNow) {
  if (!(flags & kHandlerShown) || !PersonToPlay()) return;
  const int i = std::clamp(Facts().sizeSetting, 0, 4);
  const uint8_t* face = GetHitShape(pointerOver);
  if (!face) return;
  const MARect r = FrameRectAt(face, kButtonX[i] + shapecentrex(face), kButtonY[i] + shapecentrey(face));
  left = r.left, top = r.top, right = r.right, bottom = r.bottom;
  DrawUIFrame(face, kButtonX[i] + shapecentrex(face), kButtonY[i] + shapecentrey(face));
  SetMaskShape(face);
  if (redrawNow) UpdateScreen();
}

void TZarvotipBtn::OnClick() { Tips().PlayOfferedTips(); }
