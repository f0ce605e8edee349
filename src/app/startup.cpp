// The start-up sequence between display set-up and the message loop (data folders, courses, intro screens,
// tour card, first game object, front end), its once-only teardown, and the game's active flag.
#include <cstdio>
#include <cstring>

#include "framework/ui/displaymgr.h"
#include "framework/core/errors.h"
#include "framework/ui/fontmgr.h"
#include "app/gameapp.h"
#include "framework/ui/inputstate.h"
#include "framework/ui/mousepointer.h"
#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "framework/core/tourcard.h"
#include "mmsystem.h"
#include "platformlib/display/displaymode.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/gfx/vortel.h"

namespace {

int32_t gActive = 0;
int32_t gFreed = 0;
uint8_t gSeeds[2] = {};

// The folder records below the root, in their fixed order; each must exist.
int BuildFolderRecords() {
  DataFolders& f = Folders();
  struct Step {
    PathRecord* record;
    const char* a;
    const char* b;
  } steps[] = {{&f.menus, "DATA", "MENUS"}, {&f.fonts, "DATA", "FONTS"}, {&f.ui, "DATA", "UI"},
               {&f.ui640, "DATA", "UI640"}, {&f.ui800, "DATA", "UI800"}, {&f.ui1024, "DATA", "UI800"}};
  for (const Step& step : steps) {
    *step.record = f.root;
    if (PathAppend(step.record, step.a) || PathAppend(step.record, step.b) || !PathExists(step.record)) {
      // Say which folder is missing; the box only says that files are.
      char line[MAX_PATH + 32];
      std::snprintf(line, sizeof line, "Missing folder %s%s", step.record->drive, step.record->directory);
      WriteLogLine(line);
      std::fprintf(stderr, "teebox: %s\n", line);
      return ERR_FILENOTFOUND;
    }
  }
  f.data = f.root;
  if (PathAppend(&f.data, "DATA")) return ERR_FILENOTFOUND;
  const int made = DirCreate(&f.root, "Players");
  if (made && made != ERR_DUPLICATENAME) return made == ERR_VOLUMENOTFOUND ? ERR_VOLUMENOTFOUND : made;
  f.players = f.root;
  if (PathAppend(&f.players, "Players")) return ERR_FILENOTFOUND;
  // Saves killed half way (a crash, a power cut) leave their temporary files in the folders the game saves into.
  for (PathRecord* folder : {&f.root, &f.players}) {
    char path[MAX_PATH];
    if (PathJoin(folder, nullptr, path, sizeof path)) winapi::RemoveStaleSaves(path);
  }
  return 0;
}

void WaitUntil(uint32_t start, uint32_t ms) {
  while (timeGetTime() - start < ms) Sleep(1);
}

void DrawTitle() {
  ShowStartupPicture("title.dct", 0);
  MemHandle font = 0;
  char fonts[MAX_PATH];
  if (!PathJoin(&Folders().fonts, nullptr, fonts, sizeof fonts)) return;
  if (FontLoad(&font, fonts, "vavodu14.ffn", 0) != 0 || !font) return;
  const DisplayGlobals& d = Display();
  // The font takes a pixel of the display, not a colour value.
  FontSelect(font, DrawnImage(), kAlignRight, rgbpixel(0xFFFFFFFF), 0, 0, 0);
  const int32_t y = d.height - FontHeight();
  if (TourCardPresent) {
    char text[64];
    std::snprintf(text, sizeof text, "Internet TOUR Edition: %s", kBuildText);
    FontDrawText(d.width - 60, y, text);
  } else {
    FontDrawText(d.width - 10, y, kBuildText);
  }
  AddDirtyRect(d.screen);
  UpdateScreen();
  FontFree(&font);
}

}  // namespace

const char* const kBuildText = "19980807";

void SetAppActive() {
  gActive = 1;
  Facts().appActive = 1;
}
void ClearAppActive() {
  gActive = 0;
  Facts().appActive = 0;
}
int IsAppActive() { return gActive; }

void ShowStartupPicture(const char* name, int showNow) {
  Svc().frontEnd->LoadDctBackground(&Folders().menus, name);
  if (showNow && DisplayMgr().open) {
    const MARect& screen = Display().screen;
    BlitImage(DrawnImage(), screen, RoleImage(kRoleErase), screen);
    AddDirtyRect(screen);
  }
}

int PlayStartupMovie(int probe, const char* name) {
  if (probe == -1 || Flags().noMovies) return 0;
  // The probe only asks whether movies are played at all.
  if (probe == 1) return 1;
  return Svc().scene->PlayMovie(name);
}

int RunStartupSequence() {
  gFreed = 0;
  MouseShutdown();
  SetKeyFilter(0);
  Svc().catalogue->InitGolferRoster();
  const uint32_t now = timeGetTime();
  gSeeds[0] = gSeeds[1] = static_cast<uint8_t>(now >> 4);
  // The shared random generator: up index from one clock reading, down index from a second.
  Svc().scene->SeedRandom15(((now >> 4) & 0xFFu) | (((timeGetTime() >> 4) & 0xFFu) << 8));

  DataFolders& f = Folders();
  if (PathSetToProgramDir(&f.root) && LocateGameCd()) f.root = f.discRoot;
  int status = BuildFolderRecords();
  if (status) ShowErrorText("Files missing, please reinstall!", true);
  Facts().fontFolder = f.fonts.directory;
  Facts().dataFolder = f.data.directory;
  Facts().gameDiscFolder = [](PathRecord* root) {
    if (!LocateGameCd()) return false;
    *root = Folders().discRoot;
    return true;
  };

  if (status == 0) status = Svc().catalogue->CreateCourseList();
  if (status == 0) {
    Svc().catalogue->BuildCourseList(f.root, f.cdFound ? &f.discRoot : nullptr);
    if (CourseCount() == 0) ShowErrorText("No courses found, please insert CD!", true);
  }

  Svc().preferences->InitFile(f.root);
  Svc().game->SetInstallRoot(f.root);
  Svc().sound->StartSound();
  Svc().sound->LoadGameSounds();
  ClearGolferTempFiles(0);

  const DisplayGlobals& d = Display();
  if (!Flags().noIntro && PlayStartupMovie(1, "zqslogo.mad")) {
    const bool display = graphicsstate == 7;
    if (display) SwitchDisplay(640, 480, d.depth);
    if (PlayStartupMovie(0, "zqslogo.mad")) PlayStartupMovie(0, "intro.mad");
    if (display) SwitchDisplay(d.width, d.height, d.depth);
    if (d.hardwareActive && Svc().scene->Is3dfx() && vortellive.setstate) vortellive.setstate(108, 0);
  }

  LoadTourCard(&f.data);

  uint32_t titleTime = timeGetTime();
  if (!Flags().noIntro) {
    DrawTitle();
    titleTime = timeGetTime();
  }

  int loaded = 0;
  GameProvider& game = *Svc().game;
  game.CreateGame(0);
  Sleep(0);
  loaded = game.LoadGameFile(&f.root, "LastGame.dat");
  if (loaded != 0) {
    game.DeleteGame();
    game.CreateGame(0);
  }
  Sleep(0);
  game.SetDefaultCourse();

  if (!Flags().noIntro) {
    WaitUntil(titleTime, 2000);
    ShowStartupPicture("legal.dct", 1);
  }

  const uint32_t noted = timeGetTime();
  if (status == 0) {
    MouseInit();
    status = Svc().frontEnd->StartFrontEnd(0);
  }

  if (!Flags().noIntro) {
    WaitUntil(noted, 2000);
    while (timeGetTime() - noted < 4000 && !PollKeyMessages()) Sleep(1);
  }

  if (loaded == 5) {
    Svc().frontEnd->ShowMessageDialog("Cannot open saved game, file format changed.", 0);
    Svc().frontEnd->RedrawFrontEnd();
  }

  ShowErrorBox(status, true);
  if (!Svc().frontEnd->InDemoState()) SetKeyFilter(1);
  FlushInput();
  return status;
}

void FreeStartupResources() {
  if (gFreed) return;
  const Services& s = Svc();
  const bool round = s.game->RoundInProgress();
  if (!s.game->GameFileWritten() && !round) s.preferences->SaveFile();
  SetKeyFilter(0);
  if (round) s.game->EndRoundAndSave(&Folders().root);
  FontFreeStandardSet();
  s.catalogue->FreeShotList();
  s.catalogue->FreeCourseList();
  s.network->CloseComm();
  MouseShutdown();
  DisplayManagerClose();
  s.scene->FreeBreakLineBuffer();
  s.game->DeleteGame();
  s.frontEnd->DeleteCurrentScreen();
  s.sound->FreeGameSounds();
  s.sound->StopSound();
  s.game->FreeComputerGolferTables();
  gFreed = 1;
}
