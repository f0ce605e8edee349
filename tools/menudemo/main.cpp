// menudemo: the game program opening on the main menu instead of the start-up practice hole. Run it on a demo
// installation: WINAPI_DRIVE_C=<folder made by mkdemo> menudemo /NOINTRO [--panel calibration|camera|view]
// [golfers|courses]
#include <cstring>

#include "app/gameapp.h"
#include "frontend/frontend.h"
#include "frontend/paneldemo.h"
#include "teebox/providers.h"

int main(int argc, char** argv) {
  InstallProviders();
  StartInMainMenu = 1;
  // A last argument naming a screen opens it over the main menu.
  if (argc > 1 && std::strcmp(argv[argc - 1], "golfers") == 0) StartInMainMenu = 2;
  if (argc > 1 && std::strcmp(argv[argc - 1], "courses") == 0) StartInMainMenu = 3;
  // "--panel calibration|camera|view" shows one of the round's panels over a test picture first.
  // The two words are the demonstration's own: the game's command line never sees them.
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--panel") == 0) {
      const char* p = argv[i + 1];
      StartPanel = std::strcmp(p, "calibration") == 0 ? DemoPanel::kCalibration
                   : std::strcmp(p, "camera") == 0    ? DemoPanel::kCamera
                   : std::strcmp(p, "view") == 0      ? DemoPanel::kView
                                                      : DemoPanel::kNone;
      for (int j = i; j + 2 <= argc; ++j) argv[j] = argv[j + 2];
      argc -= 2;
      break;
    }
  return ProgramMain(argc, argv);
}
