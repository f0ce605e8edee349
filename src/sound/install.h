// Installs the game's sound layer as the program's sound provider.
#pragma once

void InstallSoundServices();
