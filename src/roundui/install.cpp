#include "roundui/install.h"

#include "roundui/clubs.h"
#include "roundui/replay.h"

void InstallRoundInterfaceServices() {
  // The club records feed the launch, and the ball physics records every live shot for the replays.
  clubs::InstallClubRecords();
  InstallReplayBuffer();
}
