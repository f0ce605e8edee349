// The scene's animation files of the demo installation.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace mkdemo {

// The golfer's swing movie (full swing, or the putt), a shape file of 16-bit frames with the ball as hot spot.
std::vector<uint8_t> GolferSwingMovie(bool putt);
// DATA\ANIM (flags, divot, sand, splash), DATA\GOLFER (swing and putt, "G01SWING.TAB") and the start-up movies
// in DATA\MOVIES.
void WriteAnimations(const std::filesystem::path& data);
// The range's ball cart, "rbalcart.fsh" and "lbalcart.fsh" (facing right and left): a four-frame driving loop,
// then the frames of its explosion.
void WriteBallCartMovies(const std::filesystem::path& range);

}  // namespace mkdemo
