// The hardware frame's calls against the recording module: the background cleared first, one quad call for every
// record and one quad mesh for every batch, one flush of the interface for every flush of the buffers, which the frame's drawing
// cost forces more than once on a whole hole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "holeview.h"
#include "platformlib/gfx/vortel.h"
#include "scene/holedraw3d.h"
#include "windows.h"

namespace {

class HardwareFrameTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/teebox_hwframe_XXXXXX";
    folder_ = mkdtemp(pattern);
    std::string error;
    loaded_ = holeview::LoadDemoHole(folder_, 2, error);
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(folder_); }
  void TearDown() override {
    ForgetHardwareHoleTextures();
    if (vortellive.module) VORTEL_closedll();
  }
  static std::string folder_;
  static bool loaded_;
};
std::string HardwareFrameTest::folder_;
bool HardwareFrameTest::loaded_ = false;

template <typename F>
F Proc(HMODULE module, const char* name) {
  FARPROC p = GetProcAddress(module, name);
  F f;
  std::memcpy(&f, &p, sizeof f);
  return f;
}

TEST_F(HardwareFrameTest, CallsOfAFrameAgainstTheRecordingModule) {
  ASSERT_TRUE(loaded_);
  ASSERT_EQ(VORTEL_opendll("recordmodule"), 1);
  auto count = Proc<int (*)()>(vortellive.module, "recordmodule_count");
  auto call = Proc<const char* (*)(int)>(vortellive.module, "recordmodule_call");
  auto control = Proc<void (*)(const char*, intptr_t)>(vortellive.module, "recordmodule_control");
  ASSERT_TRUE(count && call && control);
  for (const char* camera : {"tee", "green"}) {
    SCOPED_TRACE(camera);
    control("reset", 0);
    TGolfView view;
    holeview::SetUpView(view, 640, 480, holeview::CameraByName(camera));
    const HardwareFrameStats stats = DrawHoleHardware(view, &view.focusPoint);
    std::vector<std::string> calls;
    for (int i = 0; i < count(); ++i) calls.emplace_back(call(i));
    auto number = [&](const std::string& name) {
      return static_cast<int32_t>(std::count(calls.begin(), calls.end(), name));
    };
    const auto first = [&](const std::string& name) { return std::find(calls.begin(), calls.end(), name); };
    EXPECT_EQ(number("clearwindow"), 1);
    EXPECT_LT(first("clearwindow"), first("drawquad"));
    // The ground below the horizon is one record; each batch is one quad mesh; a cell record is a quad or two
    // triangles. This module keeps no textures, so composed tiles and shadow masks are left out, whole-cell shadows
    // drawn.
    EXPECT_GT(stats.tiles, 100);
    EXPECT_GT(stats.shadows, 100);
    EXPECT_EQ(stats.drawnTiles, 0);
    EXPECT_GT(stats.drawnShadows, 0);
    EXPECT_LT(stats.drawnShadows, stats.shadows);
    EXPECT_EQ(number("drawquad") + number("drawtri") / 2, stats.horizonPieces + stats.loneQuads + stats.sprites +
                                                               stats.flags + 1 + stats.drawnTiles + stats.drawnShadows);
    int32_t meshes = 0, meshQuads = 0;
    for (const std::string& c : calls)
      if (c.rfind("drawquadmesh ", 0) == 0) ++meshes, meshQuads += std::stoi(c.substr(13));
    EXPECT_EQ(meshes, stats.batches);
    EXPECT_EQ(meshQuads, stats.batchedQuads);
    EXPECT_EQ(number("flushwindow"), stats.flushes);
    // The cost budget flushes whenever it is reached: a flush holds at most the budget and one more record (the
    // flag's the dearest), and the end flushes once more.
    const int64_t cost = 144LL * stats.batchedQuads + 128LL * (stats.sprites + stats.flags + stats.loneQuads + 1) +
                         33792LL * stats.flags + (128LL + 256LL) * (stats.tiles + stats.shadows);
    const int64_t budget = SceneRecordBuffer::kCostBudget, dearest = 33792 + 128;
    EXPECT_GE(stats.flushes, (cost - budget) / (budget + dearest) + 1);
    EXPECT_LE(stats.flushes, cost / budget + 1);
    EXPECT_GT(stats.flushes, 1);
    EXPECT_GE(stats.batches * static_cast<int32_t>(kTextureBatchQuads), stats.batchedQuads);
    EXPECT_EQ(stats.loneQuads, 0);
    EXPECT_EQ(HardwareRecordBuffer().position, 0u);  // the last flush emptied the buffer
    if (std::string(camera) == "green") {
      EXPECT_EQ(stats.flags, 1);
    }
  }
}

}  // namespace

namespace {

TEST(FogTable, LevelsForDirect3DAndOtherBackEnds) {
  struct Case {
    int level;
    bool direct3D;
    std::vector<std::pair<int, int>> entries;  // index, value
  };
  const Case cases[] = {
      {0, true, {{0, 0}, {31, 0}, {63, 0}}},
      {1, true, {{0, 0}, {1, 5}, {19, 95}, {20, 100}, {31, 100}, {32, 0}, {62, 0}, {63, 100}}},
      // Start 20, growing by 1.1 and 20: 20, 40, 62, 86, ... up to the ceiling of 180.
      {2, true, {{0, 20}, {1, 40}, {2, 62}, {3, 86}, {31, 180}, {32, 0}, {63, 180}}},
      {3, true, {{0, 40}, {1, 65}, {31, 240}, {63, 240}}},
      {1, false, {{0, 0}, {31, 0}, {32, 0}, {33, 5}, {63, 155}}},
      {2, false, {{32, 0}, {33, 4}, {34, 8}, {63, 240}}},
      {4, true, {{0, 0}, {63, 0}}},
  };
  for (const Case& c : cases) {
    uint8_t table[64];
    std::memset(table, 0xAA, sizeof table);
    MakeFogTable(c.level, c.direct3D, table);
    for (const auto& [index, value] : c.entries)
      EXPECT_EQ(table[index], value) << "level " << c.level << (c.direct3D ? " Direct3D" : " other") << " entry "
                                     << index;
  }
}

TEST_F(HardwareFrameTest, DefaultStatesSendFogOnlyAboveLevelZero) {
  ASSERT_EQ(VORTEL_opendll("recordmodule"), 1);
  auto count = Proc<int (*)()>(vortellive.module, "recordmodule_count");
  auto call = Proc<const char* (*)(int)>(vortellive.module, "recordmodule_call");
  auto control = Proc<void (*)(const char*, intptr_t)>(vortellive.module, "recordmodule_control");
  ASSERT_TRUE(count && call && control);
  // Level 2 on a module that turns fog on, and on one that refuses it (the table is then not sent).
  for (const auto& [level, accepted] : {std::pair{0, 1}, {2, 1}, {2, 0}}) {
    control("reset", 0);
    control("setstate", accepted);
    SendDefaultRenderStates(level);
    std::vector<std::string> calls;
    for (int i = 0; i < count(); ++i) calls.emplace_back(call(i));
    ASSERT_GE(calls.size(), 6u);
    const std::vector<std::string> defaults(calls.begin(), calls.begin() + 6);
    EXPECT_EQ(defaults, (std::vector<std::string>{"setstate 7 1", "setstate 5 1", "setstate 6 1", "setstate 11 0",
                                                  "setstate 4 1", "setstate 2 0"}));
    if (level == 0) {
      EXPECT_EQ(calls.size(), 6u);
    } else if (!accepted) {
      ASSERT_EQ(calls.size(), 7u);
      EXPECT_EQ(calls[6], "setstate 21 1");
    } else {
      ASSERT_EQ(calls.size(), 9u);
      EXPECT_EQ(calls[6], "setstate 21 1");
      EXPECT_EQ(calls[7], "setstate 15 " + std::to_string(0xFFD0E0FFu));
      EXPECT_EQ(calls[8].rfind("setstate 105 ", 0), 0u);
    }
  }
}

}  // namespace
