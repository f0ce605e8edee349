// menudemo: the game program opening on the main menu instead of the start-up practice hole. Run it on a demo
// installation: WINAPI_DRIVE_C=<folder made by mkdemo> menudemo /NOINTRO
#include "course/install.h"
#include "framework/gameapp.h"
#include "frontend/frontend.h"
#include "frontend/install.h"
#include "golf/install.h"

int main(int argc, char** argv) {
  InstallCourseServices();
  InstallGolfServices();
  InstallFrontEndServices();
  StartInMainMenu = 1;
  return ProgramMain(argc, argv);
}
