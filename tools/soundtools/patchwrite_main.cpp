// patchwrite: a one-zone patch from raw 16-bit mono little-endian samples.
// Usage: patchwrite <samples.raw> <rate> <out.pat> [--c7 | --c9] [--loop <start> <end>] [--bend <semitones>]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "soundtools.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: patchwrite <samples.raw> <rate> <out.pat> [--c7 | --c9] [--loop <start> <end>] [--bend <semitones>]\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "patchwrite: cannot read %s\n", argv[1]);
    return 1;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> samples(bytes.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  soundtools::Zone zone;
  zone.rate = std::atoi(argv[2]);
  zone.length = static_cast<int32_t>(samples.size());
  zone.data.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(samples.size() * 2));
  for (int i = 4; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--c7")) {
      zone.compression = 7;
      zone.data = soundtools::encodeadpcm7(samples.data(), zone.length, 1);
    } else if (!std::strcmp(argv[i], "--c9")) {
      zone.compression = 9;
      zone.data = soundtools::encodec9(samples.data(), zone.length);
    } else if (!std::strcmp(argv[i], "--loop") && i + 2 < argc) {
      zone.loopstart = std::atoi(argv[++i]);
      zone.loopend = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "--bend") && i + 1 < argc) {
      zone.bendrange = std::atoi(argv[++i]);  // how far a full pitch bend goes
    }
  }
  const std::vector<uint8_t> patch = soundtools::writepatch({zone});
  std::ofstream out(argv[3], std::ios::binary);
  out.write(reinterpret_cast<const char*>(patch.data()), static_cast<std::streamsize>(patch.size()));
  if (!out) {
    std::fprintf(stderr, "patchwrite: cannot write %s\n", argv[3]);
    return 1;
  }
  std::printf("patchwrite: %s, %zu bytes\n", argv[3], patch.size());
  return 0;
}
