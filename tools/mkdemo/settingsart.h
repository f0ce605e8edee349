// The demo art of the game modes screen and of the round's settings dialogs.
#pragma once

#include <vector>

#include "datapack/datapack.h"
#include "psffont.h"

namespace mkdemo {

// Entries of "menus.viv": the nine mode logos.
std::vector<datapack::BigEntry> GameModeArt(const shapetools::Font& font);
// Entries of each size's "gamedlog.viv": the hole overview's play and ok buttons.
std::vector<datapack::BigEntry> SettingsDialogArt(const shapetools::Font& font);

}  // namespace mkdemo
