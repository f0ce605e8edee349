#include "roundui/install.h"

// The in-round interface is not installed yet: the golf library plays on without it.
void InstallRoundInterfaceServices() {}
