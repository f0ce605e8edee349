// Hole loader fuzz entry: the input is the hole's file set as chunks, then the terrain is queried.
// Layout: byte 0 flags (bit 0 3D hardware, bit 1 all tee sets shown, bit 2 no crowd), then for each of the
// ten files in load order a little-endian u16 length and that many bytes; a length of 0xFFFF leaves the
// file out.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "course/holedata.h"
#include "course/terrain.h"
#include "framework/core/services.h"
#include "winapi/testing.h"

namespace {

// Notices are answered at once, without a word on the console.
class QuietFrontEnd : public FrontEndProvider {
 public:
  int ShowNotice(const std::string&) override { return 1; }
};

struct Game : HoleLoadGame {
  int tee = 1;
  bool all = false, crowd = true;
  int SelectedTeeSet() const override { return tee; }
  void SetSelectedTeeSet(int t) override { tee = t; }
  bool ShowsAllTeeSets() const override { return all; }
  bool ShowsCrowdAndScenery() const override { return crowd; }
};

const std::string& folder() {
  static const std::string dir = [] {
    std::string d = (std::filesystem::temp_directory_path() / ("teebox_fuzz_hole_" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(d);
    // The loader reads through the stand-in's drives.
    winapi::testing::MapDrive('T', d);
    return d;
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kExt[10] = {".MIS", ".QZH", ".QF1", ".QF2", ".QF4", ".QF8", ".QMD", ".QMT", ".QMB", ".QM2"};
  static Game game;
  const std::string base = folder() + "/H";
  size_t at = 0;
  const uint8_t flags = size > 0 ? data[at++] : 0;
  for (const char* ext : kExt) {
    const std::string path = base + ext;
    std::filesystem::remove(path);
    if (at + 2 > size) continue;
    size_t len = data[at] | (data[at + 1] << 8);
    at += 2;
    if (len == 0xFFFF) continue;
    if (len > size - at) len = size - at;
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
      if (len) std::fwrite(data + at, 1, len, f);
      std::fclose(f);
    }
    at += len;
  }
  Facts().hardwareDisplay = flags & 1;
  game.all = flags & 2;
  game.crowd = !(flags & 4);
  game.tee = 1;
  SetHoleLoadGame(&game);
  HoleObjectTable().assign(130, HoleObject{{1, 0}, {1, 2}});
  static QuietFrontEnd quiet;
  Svc().frontEnd = &quiet;

  if (LoadHoleData("T:\\H.hnf") == kHoleOk) {
    const TerrainGrid& g = CurrentTerrain();
    for (size_t i = 0; i < g.cellCount(); i += 1 + g.cellCount() / 64) ResolveCellLink(static_cast<int32_t>(i));
    for (float u = -1.0f; u < static_cast<float>(g.width) + 1.0f; u += 0.37f) {
      const float x = g.originX - u, y = u * 0.5f - g.originY;
      GetTerrainHeight(x, y);
      GetTerrainSurface(x, y);
      uint8_t info[3];
      GetSurfaceInfoAt(x, y, info);
      GetCellAverageHeight(x, y);
    }
  }
  FreeHoleTerrain();
  return 0;
}
