// dctwrite: a binary PPM picture (P6, 255) to a ".dct" background picture.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "movieenc.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: dctwrite picture.ppm out.dct [quality]\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::string magic;
  int width = 0, height = 0, depth = 0;
  in >> magic >> width >> height >> depth;
  in.get();
  if (!in || magic != "P6" || depth != 255 || width <= 0 || height <= 0 || width > 4096 || height > 4096 || width % 2) {
    std::fprintf(stderr, "dctwrite: %s is not a binary PPM of an even width up to 4096\n", argv[1]);
    return 1;
  }
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  if (!in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()))) {
    std::fprintf(stderr, "dctwrite: %s is short\n", argv[1]);
    return 1;
  }
  const int quality = argc > 3 ? std::stoi(argv[3]) : 12;
  const std::vector<uint8_t> out = movietools::encodedct(rgb.data(), width, height, quality);
  std::ofstream file(argv[2], std::ios::binary);
  file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  return file ? 0 : 1;
}
