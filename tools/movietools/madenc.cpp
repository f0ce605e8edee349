// madenc: makes a .mad movie from raw 24-bit RGB frames, or from a moving test pattern.
//   madenc <frames.rgb> <width> <height> <quality> <rate x 100> <out.mad>
//   madenc --pattern <frames> <width> <height> <quality> <rate x 100> <out.mad>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "movieenc.h"
#include "platformlib/movie/movie.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: madenc <frames.rgb> <width> <height> <quality> <rate> <out.mad>\n"
               "       madenc --pattern <frames> <width> <height> <quality> <rate> <out.mad>\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const bool pattern = argc == 8 && std::strcmp(argv[1], "--pattern") == 0;
  if (argc != 7 && !pattern) return usage();
  const int base = pattern ? 2 : 1;
  const int width = std::atoi(argv[base + 1]), height = std::atoi(argv[base + 2]);
  const int quality = std::atoi(argv[base + 3]);
  const long rate = std::atol(argv[base + 4]);
  if (width <= 0 || height <= 0 || width % 16 || height % 16 || width > kMadMaxWidth || height > kMadMaxHeight || quality < 1 ||
      quality > 255 || rate <= 0) {
    std::fprintf(stderr, "madenc: width and height must be multiples of 16 up to %d x %d, quality 1 to 255\n",
                 kMadMaxWidth, kMadMaxHeight);
    return 2;
  }
  const size_t framebytes = static_cast<size_t>(width) * height * 3;
  std::vector<std::vector<uint8_t>> frames;
  if (pattern) {
    const int count = std::atoi(argv[2]);
    if (count <= 0 || count > 10000) return usage();
    for (int f = 0; f < count; ++f) {
      std::vector<uint8_t> rgb(framebytes);
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
          p[0] = static_cast<uint8_t>((x + 4 * f) * 255 / (width + 4 * count));
          p[1] = static_cast<uint8_t>(y * 255 / height);
          p[2] = static_cast<uint8_t>(((x / 32 + y / 32 + f / 8) & 1) ? 200 : 60);
        }
      frames.push_back(std::move(rgb));
    }
  } else {
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "madenc: cannot read %s\n", argv[1]);
      return 1;
    }
    std::vector<uint8_t> all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (all.empty() || all.size() % framebytes) {
      std::fprintf(stderr, "madenc: %s does not hold whole %dx%d RGB frames\n", argv[1], width, height);
      return 1;
    }
    for (size_t at = 0; at < all.size(); at += framebytes)
      frames.emplace_back(all.begin() + static_cast<long>(at), all.begin() + static_cast<long>(at + framebytes));
  }
  const std::vector<uint8_t> movie =
      movietools::encodemovie(frames, width, height, quality, static_cast<uint32_t>(rate));
  std::ofstream out(argv[base + 5], std::ios::binary);
  out.write(reinterpret_cast<const char*>(movie.data()), static_cast<std::streamsize>(movie.size()));
  if (!out) {
    std::fprintf(stderr, "madenc: cannot write %s\n", argv[base + 5]);
    return 1;
  }
  return 0;
}
