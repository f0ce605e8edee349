// The front end's demo art.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace mkdemo {

// Writes "menus.viv" in DATA\MENUS and "gamedlog.viv" in each screen size's folder below `data`.
void WriteMenus(const std::filesystem::path& data, const std::string& fontFolder);
// The driving-range menu's background in the range's course folder.
void WriteRangeMenu(const std::filesystem::path& range, const std::string& fontFolder);
// Writes a whole file; throws on failure.
void writeBytesTo(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

}  // namespace mkdemo
