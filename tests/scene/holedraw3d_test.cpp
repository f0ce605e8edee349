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
    // The ground below the horizon is one record; each batch is one quad mesh.
    EXPECT_EQ(number("drawquad"), stats.horizonPieces + stats.loneQuads + stats.sprites + stats.flags + 1);
    int32_t meshes = 0, meshQuads = 0;
    for (const std::string& c : calls)
      if (c.rfind("drawquadmesh ", 0) == 0) ++meshes, meshQuads += std::stoi(c.substr(13));
    EXPECT_EQ(meshes, stats.batches);
    EXPECT_EQ(meshQuads, stats.batchedQuads);
    EXPECT_EQ(number("flushwindow"), stats.flushes);
    // The cost budget flushes whenever it is reached: a flush holds at most the budget and one more record (the
    // flag's the dearest), and the end flushes once more.
    const int64_t cost = 144LL * stats.batchedQuads + 128LL * (stats.sprites + stats.flags + stats.loneQuads + 1) +
                         33792LL * stats.flags;
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
