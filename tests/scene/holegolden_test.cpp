// Hole 2 of the demo course drawn by the software path from the three cameras, against golden pictures. The
// pictures are kept at a quarter of the size (every fourth pixel of every fourth row) and must match exactly; a
// mismatch writes the whole picture beside the golden one as a TGA to look at. TEEBOX_UPDATE_GOLDEN=1 rewrites them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "holeview.h"

namespace {

holeview::Picture Quarter(const holeview::Picture& p) {
  holeview::Picture q;
  q.width = p.width / 4;
  q.height = p.height / 4;
  for (int32_t y = 0; y < q.height; ++y)
    for (int32_t x = 0; x < q.width; ++x) q.pixels.push_back(p.pixels[static_cast<size_t>(y) * 4 * p.width + x * 4]);
  return q;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class HoleGoldenTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/teebox_holegolden_XXXXXX";
    folder_ = mkdtemp(pattern);
    std::string error;
    loaded_ = holeview::LoadDemoHole(folder_, 2, error);
    error_ = error;
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(folder_); }
  static std::string folder_, error_;
  static bool loaded_;
};
std::string HoleGoldenTest::folder_, HoleGoldenTest::error_;
bool HoleGoldenTest::loaded_ = false;

TEST_F(HoleGoldenTest, HoleTwoFromTheThreeCamerasInSoftware) {
  ASSERT_TRUE(loaded_) << error_;
  const bool update = std::getenv("TEEBOX_UPDATE_GOLDEN") != nullptr;
  for (const char* camera : {"tee", "fairway", "green"}) {
    SCOPED_TRACE(camera);
    TGolfView view;
    holeview::SetUpView(view, 640, 480, holeview::CameraByName(camera));
    holeview::Picture picture;
    const HoleDrawStats stats = holeview::DrawSoftware(view, picture);
    EXPECT_GT(stats.quads, 1000);
    EXPECT_GT(stats.objects, 10);
    const holeview::Picture small = Quarter(picture);
    const std::string golden = std::string(TEEBOX_GOLDEN) + "/hole2_software_" + camera + ".tga";
    const std::string written = folder_ + "/small.tga";
    ASSERT_TRUE(holeview::WriteTga(small, written));
    if (update) {
      std::filesystem::create_directories(TEEBOX_GOLDEN);
      std::filesystem::copy_file(written, golden, std::filesystem::copy_options::overwrite_existing);
      continue;
    }
    const bool same = ReadFile(written) == ReadFile(golden);
    if (!same) holeview::WriteTga(picture, std::string(TEEBOX_GOLDEN) + "/hole2_software_" + camera + ".failed.tga");
    EXPECT_TRUE(same) << golden;
  }
  // The green camera sees the pin: the draw noted where.
  TGolfView view;
  holeview::SetUpView(view, 640, 480, 2);
  holeview::Picture picture;
  holeview::DrawSoftware(view, picture);
  EXPECT_GT(view.pinScreenX, 0);
  EXPECT_LT(view.pinScreenX, 640);
  EXPECT_NE(view.pinDepthValue, 0);
}

}  // namespace
