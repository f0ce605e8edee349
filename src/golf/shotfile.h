// The body of a saved-shot file: everything the highlight game needs to fly the shot again exactly as it flew
// (the golfer's record, the ball as launched, the hole, the cup, the wind and where the ball came to rest).
// Little-endian fields, floats by their bits; the head around it is the course layer's (course/savedfiles.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "golf/game.h"

constexpr uint16_t kShotBodyVersion = 1;
constexpr size_t kShotBodyMaxText = 259;

std::vector<uint8_t> EncodeShotBody(const SavedShot& shot);
// False with the reason when the bytes are not one whole, sound body (nothing of `shot` is then changed).
bool DecodeShotBody(const uint8_t* data, size_t size, SavedShot& shot, std::string& error);

// Writes the current game's last shot as the next saved-shot file with the comment: its file name, or "" when no
// shot may be saved or the file cannot be written.
std::string SaveShot(const std::string& comment);
// Reads a saved-shot file and plays it in a highlight game made current: 0, 2 when the game cannot be made, 8
// when the shot cannot be played (no such file, a damaged file, its hole missing).
int PlayHighlightShot(const std::string& fileName);
