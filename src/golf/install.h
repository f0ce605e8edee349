// The golf layer's providers for the service seam (framework/services.h).
#pragma once

// Installs the game provider: the current game object, its golf messages and the arguments of peers' messages.
void InstallGolfServices();
