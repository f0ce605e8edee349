// The in-round interface's demo art.
#pragma once

#include <filesystem>
#include <string>

namespace mkdemo {

// Writes "ui.viv" (the in-round shape set) with "gridwind.fsh", "targetp.fsh" and "pinsmall.fsh" beside it in
// each screen size's folder (UI640, UI800) below `data`.
void WriteRoundInterface(const std::filesystem::path& data, const std::string& fontFolder);

// Writes the shot set-up's loose files: the wind arrows "wind.fsh" and the hole panel's pieces ("scorebga.fsh" to
// "scorebgd.fsh", "top.fsh", "charge.fsh") per screen size, the golfers' pictures in "PICS" and the draw and cut
// tips (movie and text) in "ZARVOTIP".
void WriteShotSetupArt(const std::filesystem::path& data, const std::string& fontFolder);

}  // namespace mkdemo
