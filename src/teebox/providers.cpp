#include "teebox/providers.h"

#include "course/install.h"
#include "frontend/install.h"
#include "golf/install.h"
#include "net/install.h"
#include "online/install.h"
#include "roundui/install.h"
#include "scene/install.h"
#include "sound/install.h"

// From the lowest layer up, so that a higher layer may replace what a lower one installed.
void InstallProviders() {
  InstallCourseServices();
  InstallGolfServices();
  InstallSceneServices();
  InstallRoundInterfaceServices();
  InstallSoundServices();
  InstallFrontEndServices();
  InstallNetworkServices();
  InstallOnlineServices();
}
