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

}  // namespace mkdemo
