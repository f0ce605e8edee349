// Golden pictures of the scene tests: kept in tests/golden/scene, compared exactly; a mismatch writes the whole
// picture beside the golden one as a TGA to look at. TEEBOX_UPDATE_GOLDEN=1 rewrites them.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "holeview.h"

namespace scenetest {

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// `stored` is what goes to the golden file (the picture itself, or a reduced copy); `whole` is written on a mismatch.
inline void ExpectGolden(const holeview::Picture& stored, const holeview::Picture& whole, const std::string& name,
                         const std::string& scratch) {
  const std::string golden = std::string(TEEBOX_GOLDEN) + "/" + name + ".tga";
  const std::string written = scratch + "/" + name + ".new.tga";
  ASSERT_TRUE(holeview::WriteTga(stored, written));
  if (std::getenv("TEEBOX_UPDATE_GOLDEN") != nullptr) {
    std::filesystem::create_directories(TEEBOX_GOLDEN);
    std::filesystem::copy_file(written, golden, std::filesystem::copy_options::overwrite_existing);
    return;
  }
  const bool same = ReadFile(written) == ReadFile(golden);
  if (!same) holeview::WriteTga(whole, std::string(TEEBOX_GOLDEN) + "/" + name + ".failed.tga");
  EXPECT_TRUE(same) << golden;
}

}  // namespace scenetest
