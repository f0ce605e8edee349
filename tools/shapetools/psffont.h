// Conversion of PC screen fonts (PSF 1 and 2, plain or gzip-compressed) into library fonts, shared by fontconv
// and the demo-data generator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shapewriter.h"

namespace shapetools {

// The whole file; a name ending in ".gz" is unpacked. Empty when it cannot be read.
std::vector<uint8_t> readpsffile(const std::string& path);

// Codes 32..126 and 160..255 through the font's Unicode table. bits 1 or 4; with 4 bits every shrink x shrink
// block of the source becomes one pixel holding the share of set pixels. False with `error` set when the data
// is not a usable PSF font.
bool convertpsf(const std::vector<uint8_t>& psf, int bits, int shrink, Font& out, std::string& error);

}  // namespace shapetools
