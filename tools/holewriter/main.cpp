// holewriter: writes a demonstration hole's file set.
//   holewriter <base path> [width] [depth] [seed]
#include <cstdio>
#include <cstdlib>

#include "holewriter.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: holewriter <base path> [width] [depth] [seed]\n");
    return 2;
  }
  const unsigned long width = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 128;
  const unsigned long depth = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 256;
  const unsigned long seed = argc > 4 ? std::strtoul(argv[4], nullptr, 10) : 1;
  if (width < 16 || depth < 16 || width > 4096 || depth > 4096) {
    std::fprintf(stderr, "holewriter: width and depth must lie between 16 and 4096\n");
    return 2;
  }
  const holewriter::HoleDescription hole =
      holewriter::DemoHole(static_cast<uint32_t>(width), static_cast<uint32_t>(depth), static_cast<uint32_t>(seed));
  if (!holewriter::WriteHole(hole, argv[1])) {
    std::fprintf(stderr, "holewriter: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
