// The movie encoder: RGB frames to coded pictures and .mad files, the counterpart of the platform library's
// movie decoder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace movietools {

// One picture of width x height (multiples of 16) from 24-bit RGB pixels (3 bytes each, rows packed):
// the frame chunk's data (quality word and coded words).
// With `columns` the macroblocks go column by column (as background pictures store them), else row by row.
std::vector<uint8_t> encodepicture(const uint8_t* rgb, int width, int height, int quality, bool columns = false);

// A ".dct" background picture of width x height RGB pixels (any even size; the macroblocks past the picture are
// coded from its edge): the header, then the coded macroblocks column by column.
std::vector<uint8_t> encodedct(const uint8_t* rgb, int width, int height, int quality);

// A .mad file: one picture chunk a frame ("MADk" every eighth, "MADe" the odd ones, "MADm" the rest), each
// lasting 100000 / rate ms (rate: frames a second x 100), then the end chunk.
std::vector<uint8_t> encodemovie(const std::vector<std::vector<uint8_t>>& rgbframes, int width, int height,
                                 int quality, uint32_t rate);

// The picture chunk's id of frame `index`.
uint32_t madchunkid(size_t index);

// A chunk: id, whole size, data.
void appendchunk(std::vector<uint8_t>& out, uint32_t id, const std::vector<uint8_t>& data);

// A frame of a streamed shape movie; previous is the decoder's sample planes of the frame before (null for
// none), so that blocks can be copied or kept.
std::vector<uint8_t> encodeshapeframe(const uint8_t* rgb, int width, int height, int quality, const uint8_t* previous);

// The colour conversion the decoder inverts, for tests: 8-bit RGB of a 7-bit YUV sample.
void yuvtorgb(int y7, int cb7, int cr7, uint8_t rgb[3]);

}  // namespace movietools
