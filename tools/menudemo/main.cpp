// menudemo: the game program opening on the main menu instead of the start-up practice hole. Run it on a demo
// installation: WINAPI_DRIVE_C=<folder made by mkdemo> menudemo /NOINTRO [golfers|courses]
#include <cstring>

#include "app/gameapp.h"
#include "frontend/frontend.h"
#include "teebox/providers.h"

int main(int argc, char** argv) {
  InstallProviders();
  StartInMainMenu = 1;
  // A last argument naming a screen opens it over the main menu.
  if (argc > 1 && std::strcmp(argv[argc - 1], "golfers") == 0) StartInMainMenu = 2;
  if (argc > 1 && std::strcmp(argv[argc - 1], "courses") == 0) StartInMainMenu = 3;
  return ProgramMain(argc, argv);
}
