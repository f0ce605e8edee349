// Shared set-up of the in-round interface tests: the UI fixture's small 16-bit screen, a temporary drive with a
// "ui.viv" of small frames, and the frames themselves (8-bit, index 255 transparent, an opaque colour table).
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "datapack/datapack.h"
#include "framework/core/paths.h"
#include "roundui/gameui.h"
#include "roundui/uishapes.h"
#include "shapewriter.h"
#include "uifixture.h"

// An 8-bit frame: `opaque(x, y)` picks colour index 1 or the transparent 255; the hot spot at (cx, cy).
template <typename F>
shapetools::Image UiFrame(int w, int h, F opaque, int cx = 0, int cy = 0, uint32_t colour = 0xFFE03020) {
  shapetools::Image image;
  image.type = 0x7B;
  image.width = w;
  image.height = h;
  image.centrex = cx;
  image.centrey = cy;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.pixels.push_back(opaque(x, y) ? 1u : 255u);
  shapetools::Clut clut;
  clut.type = 0x2A;
  clut.entries.assign(256, 0xFF000000u);
  clut.entries[1] = colour;
  clut.entries[255] = 0;
  image.records.push_back(clut);
  return image;
}

inline std::vector<uint8_t> UiFile(std::vector<shapetools::Image> frames) {
  std::vector<std::pair<std::string, shapetools::Image>> named;
  for (size_t i = 0; i < frames.size(); ++i) {
    char name[24];
    std::snprintf(name, sizeof name, "f%03zu", i);
    named.emplace_back(name, frames[i]);
  }
  return shapetools::shapefile(named);
}

class RoundUiTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    char pattern[] = "/tmp/roundui_XXXXXX";
    root_ = mkdtemp(pattern);
    std::filesystem::create_directories(root_ + "/c/UI");
    winapi::testing::MapDrive('C', root_ + "/c", "HARDDISK");
    folder_ = PathRecord{};
    std::snprintf(folder_.label, sizeof folder_.label, "HARDDISK");
    std::snprintf(folder_.drive, sizeof folder_.drive, "c:");
    PathSetDirectory(&folder_, "|UI");
  }
  void TearDown() override {
    DestroyGameUI();
    FreeGameUIShapes();
    UiTest::TearDown();
    std::filesystem::remove_all(root_);
  }
  void WriteArchive(const std::vector<datapack::BigEntry>& entries) {
    const datapack::Bytes big = datapack::writebigfile(2, entries);
    shapetools::writefile(root_ + "/c/UI/ui.viv", std::vector<uint8_t>(big.begin(), big.end()));
  }
  std::string root_;
  PathRecord folder_;
};
