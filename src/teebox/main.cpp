// The game program: each layer installs its providers into the service seam, in order from the lowest, then
// everything happens in the game's main function.
#include "course/install.h"
#include "framework/gameapp.h"
#include "golf/install.h"
#include "net/install.h"

int main(int argc, char** argv) {
  InstallCourseServices();
  InstallGolfServices();
  InstallNetworkServices();
  return ProgramMain(argc, argv);
}
