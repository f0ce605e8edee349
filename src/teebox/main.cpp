// The game program: each layer installs its providers into the service seam, then everything happens in the
// game's main function.
#include "app/gameapp.h"
#include "teebox/providers.h"

int main(int argc, char** argv) {
  InstallProviders();
  return ProgramMain(argc, argv);
}
