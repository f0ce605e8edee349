// Shared pieces of the sound tests: golden sample lists, aborts caught, and both mixer paths.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platformlib/fixture.h"
#include "platformlib/sndmix.h"

namespace soundtest {

// Compares numbers with tests/golden/sound/<name>.txt (one a line). TEEBOX_UPDATE_GOLDEN=1 rewrites the file.
template <typename T>
void ExpectGolden(const std::string& name, const std::vector<T>& values) {
  const std::string path = std::string(TEEBOX_SOURCE_DIR) + "/tests/golden/sound/" + name + ".txt";
  std::ostringstream text;
  text.precision(9);
  for (const T& v : values) text << +v << "\n";
  if (const char* update = std::getenv("TEEBOX_UPDATE_GOLDEN"); update && *update == '1') {
    std::ofstream(path) << text.str();
    return;
  }
  std::ifstream in(path);
  ASSERT_TRUE(in.good()) << "no golden file " << path;
  std::stringstream golden;
  golden << in.rdbuf();
  EXPECT_EQ(text.str(), golden.str()) << "differs from " << path;
}

// Aborts are caught through the exit hook; the mixer's tables are filled for the path the test names.
class SoundTest : public platformtest::PlatformTest {
 protected:
  void UsePath(int mmx) { mixfilltables(mmx); }
};

}  // namespace soundtest
