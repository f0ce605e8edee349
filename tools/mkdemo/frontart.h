// More of the front end's demo art and data: the scroll bar, the golfer screen's buttons with their sheets and
// animations, each course's logo, and a few golfers of the player's own.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "datapack/datapack.h"
#include "psffont.h"

namespace mkdemo {

// Entries of "menus.viv".
std::vector<datapack::BigEntry> FrontEndArt(const shapetools::Font& font);
// "Logo.fsh" in every course folder below `courses` that holds a "COURSE.DAT".
void WriteCourseLogos(const std::filesystem::path& courses, const std::string& fontFolder);
// Golfer files in the players folder; a golfer whose file is there already is left as it is.
void WriteDemoGolfers(const std::filesystem::path& players);
// The Terminus face the art is lettered in.
shapetools::Font LetteringFont(const std::string& fontFolder);
// A button of three frames: disabled (grey), normal (blue) and highlight (bright).
std::vector<uint8_t> ThreeLookButton(const shapetools::Font& font, const std::string& caption, int w, int h);
// Two saved shots on SEDGEFEN ("SHOT0001.DAT", "P01S0002.DAT") in the installation's folder, written only when
// missing.
void WriteDemoHighlights(const std::filesystem::path& folder);
// Three saved games on SEDGEFEN ("game0001.dat" to "game0003.dat") in the saved-game folder, written only when
// missing.
void WriteDemoSavedGames(const std::filesystem::path& folder);

}  // namespace mkdemo
