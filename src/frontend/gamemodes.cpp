#include "frontend/gamemodes.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "frontend/frontend.h"
#include "golf/game.h"
#include "golf/modes.h"
#include "platformlib/gfx/windowdesc.h"
#include "platformlib/shapes/shapes.h"

TGameModesADV* GameModesScreen = nullptr;

namespace {

GameModeSettings gWork;
uint32_t gPracticeHoles = 1;

struct ModeRow {
  const char* text;
  int mode;
  const char* logo;
  const char* description;
};
constexpr ModeRow kRows[TGameModesADV::kModes] = {
    {"Practice", kModePractice, "logoprac.fsh",
     "Master a certain hole without committing to an entire game.  Play one or more practice holes on any course "
     "available."},
    {"Stroke Play", kModeStroke, "logostro.fsh",
     "Play a basic round of golf.  Whether playing alone or in a group, you're competing against par."},
    {"Tournament", kModeTournament, "logotour.fsh",
     "Test your skills in a Tournament.  Tee off against Vex TOUR professionals and other     ZO VODORO golfers to "
     "capture a TOUR victory."},
    {"Skins Game", kModeSkins, "logoskin.fsh",
     "Compete hole-by-hole for a monetary value called a \"skin.\"  Complete a hole in the fewest strokes to take the "
     "skin.  Skins not taken are carried over to the next hole.  Pocket the most money to win the match."},
    {"Shoot-out", kModeShootout, "logoshoo.fsh",
     "Determine a champion the quickest way possible.  Four players line up to play three holes of golf.  At each "
     "hole, the player with the highest score is eliminated and \"sudden death shoot-outs\" are used as "
     "tie-breakers.  The remaining players continue to the final hole, where two players compete for the win."},
    {"Match Play", kModeMatchPlay, "logomatc.fsh",
     "Two players compete for points, hole by hole. The low score on each hole wins one point. The player winning the "
     "most points is the winner of the match."},
    {"Four Ball", kModeFourBall, "logo4bal.fsh",
     "Team up with, or play against, your favorite pro.  Play 2-on-2 or 2-on-1. The low score of one team is compared "
     "against the low score of the opposing team. Lowest team score wins."},
    {"Foursomes", kModeFoursome, "logofour.fsh",
     "Team up with, or play against, your favorite pro.  Play 2-on-2 or 2-on-1. Teammates alternate shots using the "
     "same ball. Low score wins."},
    {"Driving Range", kModeDrivingRange, "logodriv.fsh",
     "Refine your skills at the world famous Sedgefen practice facility. Fire away at the driving range -- work on "
     "your short game at the chipping green -- or steady your nerves on the putting green."},
};

struct OptionPlace {
  const char* label;
  int32_t x, y;
  const char* help;
};
constexpr OptionPlace kPlaces[TGameModesADV::kOptions] = {
    {"Wind: ", 228, 274, "Select the wind strength"},
    {"Wind Gusts: ", 228, 295, "Select steady or gusting winds"},
    {"Fairway: ", 228, 316, "The ball rolls more on drier fairways, and less on damp ones"},
    {"Rough: ", 228, 337, "Shots from heavier rough won't go as far, and are more erratic"},
    {"Greens: ", 228, 358, "Greens can be fast, normal, or slow"},
    {"Rounds: ", 398, 295, "Set the number of rounds for the tournament"},
    {"Holes: ", 398, 295, "Select which holes to play"},
    {"Shot Clock:", 398, 316, "Set the time limit for each shot"},
    {"Fast Play: ", 398, 337, "Fast-play skips the post-shot menu and automatically proceeds to the next shot"},
    {"Opponents: ", 398, 358, "Set the skill of the computer-controlled pros"},
};

constexpr const char* kWindTexts[] = {"Calm", "Breezy", "Strong"};
constexpr const char* kOnOff[] = {"Off", "On"};
constexpr const char* kFairwayTexts[] = {"Dry", "Normal", "Damp"};
constexpr const char* kRoughTexts[] = {"Light", "Heavy"};
constexpr const char* kGreensTexts[] = {"Fast", "Normal", "Slow"};
constexpr const char* kOpponentTexts[] = {"Poor", "Fair", "Good", "Great", "Spectacular"};

// A stored value outside its texts shows the first one.
const char* Pick(const char* const* texts, int count, int value) { return texts[value >= 0 && value < count ? value : 0]; }

bool HasShotClock(int mode) { return mode != kModePractice && mode != kModeDrivingRange; }

int Wrap3(int v, bool back) { return back ? (v <= 0 ? 2 : v - 1) : (v >= 2 ? 0 : v + 1); }

}  // namespace

GameModeSettings& GameModesWorkingCopy() { return gWork; }
uint32_t& PracticeHoleSet() { return gPracticeHoles; }
void ResetPracticeHoles() { gPracticeHoles = 1; }

int GameModeOfRow(int row) { return row >= 0 && row < TGameModesADV::kModes ? kRows[row].mode : -1; }

int RowOfGameMode(int mode) {
  for (int r = 0; r < TGameModesADV::kModes; ++r)
    if (kRows[r].mode == mode) return r;
  return -1;
}

TGameModesADV::TGameModesADV() : TMenuADV("bgmodes.dct", "vex.fsh", 80, 80, MenuArchive()) {
  GameModesScreen = this;
  EraseAll(0);
  list = new TListBoxADV(reinterpret_cast<uintptr_t>(this), 470, 165, 250, kModes, fonts[2], 0x1A0);
  for (int r = 0; r < kModes; ++r) {
    list->Add(kRows[r].text, kRows[r].mode);
    logos[r] = LoadMenuFile(kRows[r].logo);
  }
  list->Select(RowOfGameMode(gWork.mode), false);
  list->entryHandler = SelectGameMode;
  list->SetMenuSound(1);
  SetControlHelp(list, "Select a game mode.");
  AddHandler(list);
  for (int o = 0; o < kOptions; ++o) {
    const OptionPlace& p = kPlaces[o];
    auto* label = new TTextButtonADV(p.x, p.y, p.label, fonts[2], reinterpret_cast<uintptr_t>(this), 0, 1, 0, kKindButton,
                                     kHandlerShown, 0, nullptr);
    label->alignment = 0;  // ends at the anchor
    label->SetColors(0x0F6178, 0x0F6178, 0x0F6178, 0x0F6178);
    label->Layout();
    auto* value = new TTextButtonADV(p.x, p.y, "", fonts[2], reinterpret_cast<uintptr_t>(this), 0, 1,
                                     static_cast<uint16_t>(o), kKindButton, kHandlerShown | kHandlerEnabled, 0, nullptr);
    value->alignment = 2;  // starts at the anchor
    value->SetUserWord(static_cast<uint32_t>(o));
    value->clickHandler = OnOptionStep;
    SetControlHelp(value, p.help);
    labels[o] = label;
    values[o] = value;
    AddHandler(label);
    AddHandler(value);
    RefreshValue(o, false);
  }
  ShowPair(kRounds, false);
  ShowPair(kHoles, false);
  if (!HasShotClock(gWork.mode)) ShowPair(kShotClock, false);
  if (gWork.mode == kModeDrivingRange) ShowPair(kFastPlay, false);
  AddTextButton("Cancel", 313, 63, {'c', kKeyEscape}, [](TGenericControlADV*) { ShowMainMenu(); },
                "Return to previous screen without saving changes", 2, 0xFFFF50);
  AddTextButton("Main Menu", 535, 63, {'m'}, AcceptGameModes, "Return to Main Menu, saving changes", 1, 0xFFFF50);
  ApplyModeOptions();
  SetCurrentHandler(list);
  helpText =
      "Game Modes\n\nThe list holds the nine ways to play; the logo and the description show the chosen one. Click an "
      "option's value to step it on, or click it with the right button to step it back.\n\nMain Menu keeps the mode "
      "and its options for the next game; Cancel leaves the game as it was.";
}

TGameModesADV::~TGameModesADV() {
  if (GameModesScreen == this) GameModesScreen = nullptr;
  for (MemHandle& logo : logos)
    if (logo) MemFreeHandle(logo);
}

void TGameModesADV::ShowPair(int option, bool on) {
  labels[option]->Show(on ? 1 : 0, 0);
  values[option]->Show(on ? 1 : 0, 0);
  values[option]->Enable(on ? 1 : 0, 0);
}

void TGameModesADV::RefreshValue(int option, bool redraw) {
  char text[24];
  switch (option) {
    case kWind: std::snprintf(text, sizeof text, "%s", Pick(kWindTexts, 3, gWork.wind)); break;
    case kGusts:
      // Calm wind shows no gusts and offers none, but keeps the choice for a stronger wind.
      std::snprintf(text, sizeof text, "%s", gWork.wind == 0 ? "Off" : Pick(kOnOff, 2, gWork.gusts));
      values[kGusts]->Enable(gWork.wind != 0, 0);
      break;
    case kFairway: std::snprintf(text, sizeof text, "%s", Pick(kFairwayTexts, 3, gWork.fairway)); break;
    case kRough: std::snprintf(text, sizeof text, "%s", Pick(kRoughTexts, 2, gWork.rough)); break;
    case kGreens: std::snprintf(text, sizeof text, "%s", Pick(kGreensTexts, 3, gWork.greens)); break;
    case kRounds: std::snprintf(text, sizeof text, "%d", gWork.rounds); break;
    case kHoles:
      std::snprintf(text, sizeof text, "%s",
                    gWork.holeCount == 18 ? "All 18" : gWork.firstHole == 0 ? "Front 9" : "Back 9");
      break;
    case kShotClock:
      if (gWork.shotClock) std::snprintf(text, sizeof text, "%d sec.", gWork.shotClock);
      else std::snprintf(text, sizeof text, "Off");
      break;
    case kFastPlay: std::snprintf(text, sizeof text, "%s", Pick(kOnOff, 2, gWork.fastPlay)); break;
    case kOpponents: std::snprintf(text, sizeof text, "%s", Pick(kOpponentTexts, 5, gWork.opponents)); break;
    default: return;
  }
  if (redraw) EraseAll(0);
  values[option]->SetText(text);
  if (redraw) DrawAll(0);
}

void TGameModesADV::ApplyModeOptions() {
  ShowPair(kHoles, false);
  ShowPair(kRounds, false);
  int shown = -1;
  switch (gWork.mode) {
    case kModeStroke:
    case kModeSkins:
    case kModeMatchPlay:
    case kModeFourBall:
    case kModeFoursome:
      if (gWork.holeCount != 18) {
        gWork.holeCount = 9;
        if (gWork.firstHole != 9) gWork.firstHole = 0;
      } else {
        gWork.firstHole = 0;
      }
      shown = kHoles;
      break;
    case kModeTournament:
      gWork.holeCount = 18;
      gWork.firstHole = 0;
      shown = kRounds;
      break;
    case kModeShootout: gWork.holeCount = 3; break;
    default: break;
  }
  RefreshValue(kHoles, false);
  RefreshValue(kRounds, false);
  if (shown >= 0) ShowPair(shown, true);
}

void TGameModesADV::DrawAll(int flag) {
  EraseAll(0);
  TMenuADV::DrawAll(flag);
  DrawLabel(titleFonts[2], titleFonts[2], "Game Modes", 147, 105, 0xFFFF50, 0x7F7F7F, nullptr, false, true);
  DrawLabel(fonts[2], fonts[2], "Options", 464, 135, 0xFFFF50, 0x7F7F7F, nullptr, false, true);
  // A mode the list does not hold (the online tournament) shows no logo and no description.
  const int row = RowOfGameMode(gWork.mode);
  if (row < 0) return;
  const MemHandle logo = logos[row];
  const uint8_t* file = logo ? static_cast<const uint8_t*>(MemLock(logo)) : nullptr;
  const uint8_t* shape = file && checkshapefile(file, MemHandleSize(logo)) == 1 ? locateshapenum(file, 0) : nullptr;
  ImageRecord* drawn = DrawnImage();
  if (shape && drawn && drawn->window && setwindow(drawn->window)) {
    const int32_t hx = gWork.mode == kModeSkins ? 154 : 161, hy = gWork.mode == kModeSkins ? 140 : 180;
    drawshapetranscentred(shape, hx, hy);
    releasewindow();
    const int32_t l = hx - shapecentrex(shape), t = hy - shapecentrey(shape);
    AddDirtyRect(MARect{l, t, l + shapewidth(shape), t + shapeheight(shape)});
  }
  if (file) MemUnlock(logo);
  const MARect box{164, 393, 482, std::min<int32_t>(623, Facts().screenHeight)};
  if (fonts[2]) {
    FontSelect(fonts[2], DrawnImage(), kAlignLeft, Pixel565(0xFFFFFF), 0, 0, 1);
    FontDrawTextWrapped(0, kRows[row].description, box, FontHeight());
  }
  AddDirtyRect(box);
}

void TGameModesADV::OnKeyDown(uint16_t code) {
  if (code != kKeyTab) {
    TMenuADV::OnKeyDown(code);
    return;
  }
  list->Select(-1, false);
  TMenuADV::OnKeyDown(code);
  if (current == list) list->Select(RowOfGameMode(gWork.mode), false);
  list->Erase(0);
  list->Draw(0);
}

void TGameModesADV::SelectGameMode(TListBoxADV* list, ListEntry* entry) {
  auto* screen = list ? list->Owner<TGameModesADV>() : nullptr;
  if (!screen || !entry || entry->value == gWork.mode) return;
  screen->EraseAll(0);
  gWork.mode = entry->value;
  screen->ApplyModeOptions();
  screen->ShowPair(kShotClock, HasShotClock(gWork.mode));
  screen->ShowPair(kFastPlay, gWork.mode != kModeDrivingRange);
  screen->RefreshValue(kGusts, false);
  screen->DrawAll(0);
}

void TGameModesADV::OnOptionStep(TGenericControlADV* control) {
  auto* screen = control ? control->Owner<TGameModesADV>() : nullptr;
  if (!screen) return;
  // The value button's last press: the right button steps back.
  const bool back = control->pressedWithRight != 0;
  const int option = static_cast<int>(control->userWord);
  switch (option) {
    case kWind:
      gWork.wind = Wrap3(gWork.wind, back);
      screen->RefreshValue(kGusts, false);
      break;
    case kFairway: gWork.fairway = Wrap3(gWork.fairway, back); break;
    case kGreens: gWork.greens = Wrap3(gWork.greens, back); break;
    case kGusts: gWork.gusts = !gWork.gusts; break;
    case kRough: gWork.rough = !gWork.rough; break;
    case kFastPlay: gWork.fastPlay = !gWork.fastPlay; break;
    case kOpponents: gWork.opponents = back ? (gWork.opponents <= 0 ? 4 : gWork.opponents - 1)
                                            : (gWork.opponents >= 4 ? 0 : gWork.opponents + 1);
      break;
    case kShotClock:
      if (back) gWork.shotClock = gWork.shotClock == 0 ? 60 : gWork.shotClock <= 10 ? 0 : gWork.shotClock - 5;
      else gWork.shotClock = gWork.shotClock == 0 ? 10 : gWork.shotClock >= 60 ? 0 : gWork.shotClock + 5;
      break;
    case kHoles: {
      // Front 9, Back 9, All 18 in a ring.
      const int at = gWork.holeCount == 18 ? 2 : gWork.firstHole == 0 ? 0 : 1;
      const int next = back ? (at + 2) % 3 : (at + 1) % 3;
      gWork.holeCount = next == 2 ? 18 : 9;
      gWork.firstHole = next == 1 ? 9 : 0;
      break;
    }
    case kRounds:
      if (back) gWork.rounds = gWork.rounds == 1 ? 4 : gWork.rounds == 4 ? 2 : 1;
      else gWork.rounds = gWork.rounds == 1 ? 2 : gWork.rounds == 2 ? 4 : 1;
      break;
    default: return;
  }
  screen->RefreshValue(option, true);
}

void TGameModesADV::AcceptGameModes(TGenericControlADV*) {
  // The new game plays the course the old one had.
  const std::string course = CurrentGame() ? CurrentGame()->courseName : std::string();
  if (Svc().game->CreateGame(gWork.mode) != 1 || !CurrentGame()) {
    ShowMainMenu();
    return;
  }
  TGame* g = CurrentGame();
  if (!course.empty()) g->SetCurrentCourseByName(course.c_str());
  if (g->courseName.empty()) g->courseName = course;
  g->SetUpPlayers();
  g->SetNetworkGame(0);
  if (gWork.mode != kModeTournament) gWork.rounds = 1;
  if (gWork.mode != kModePractice) {
    g->state.lead = static_cast<uint16_t>(gWork.rounds);
    g->state.firstHole = static_cast<uint16_t>(gWork.firstHole);
    g->state.hole = static_cast<uint16_t>(gWork.firstHole);
    g->state.holeCount = static_cast<uint16_t>(gWork.holeCount);
  }
  const bool clock = gWork.shotClock != 0 && HasShotClock(gWork.mode);
  g->SetShotClock(clock);
  if (clock) g->shotTimeLimit = static_cast<uint32_t>(gWork.shotClock);
  g->SetFastPlay(gWork.fastPlay != 0);
  g->SetOptionField(0, static_cast<uint32_t>(gWork.wind));
  g->SetOptionField(1, static_cast<uint32_t>(gWork.gusts));
  g->SetOptionField(2, static_cast<uint32_t>(gWork.fairway));
  g->SetOptionField(3, static_cast<uint32_t>(gWork.rough));
  g->SetOptionField(4, static_cast<uint32_t>(gWork.greens));
  g->SetOptionField(5, static_cast<uint32_t>(gWork.opponents));
  char line[96];
  std::snprintf(line, sizeof line, "Game mode chosen: mode %d, %d holes from hole %d, %d round(s)", g->mode,
                g->state.holeCount, g->state.firstHole + 1, g->state.lead);
  WriteLogLine(line);
  // Through a temporary file: a failed save keeps the previous last game.
  SaveLastGame();
  ShowMainMenu();
}

void ShowGameModesScreen(TGenericControlADV*) {
  TGame* g = CurrentGame();
  if (!g) return;
  gWork.mode = g->mode;
  gWork.rounds = g->state.lead;
  gWork.holeCount = g->state.holeCount;
  gWork.firstHole = g->state.firstHole;
  gWork.fastPlay = g->IsFastPlay() ? 1 : 0;
  gWork.wind = static_cast<int>(g->GetOptionField(0));
  gWork.gusts = static_cast<int>(g->GetOptionField(1));
  gWork.fairway = static_cast<int>(g->GetOptionField(2));
  gWork.rough = static_cast<int>(g->GetOptionField(3));
  gWork.greens = static_cast<int>(g->GetOptionField(4));
  gWork.opponents = static_cast<int>(g->GetOptionField(5));
  gWork.shotClock = g->IsShotClockOn() ? static_cast<int>(g->shotTimeLimit) : 0;
  ReplaceCurrentScreen(new TGameModesADV());
}
