// The providers the game program installs into the service seam, in order from the lowest layer. The program's
// entry and the end-to-end tests call this same function.
#pragma once

void InstallProviders();
