#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>

#include "fixture.h"
#include "platformlib/core/cpu.h"
#include "platformlib/core/queue.h"
#include "platformlib/core/timer.h"

using platformtest::CatchAbort;

namespace {

using Leaves = std::map<uint32_t, winapi::testing::CpuidLeaf>;

void Answer(const Leaves& leaves) {
  winapi::testing::SetCpuidHook([leaves](uint32_t leaf, winapi::testing::CpuidLeaf* out) {
    auto found = leaves.find(leaf);
    if (found == leaves.end()) return false;
    *out = found->second;
    return true;
  });
}

// Leaf 0 for a vendor: ebx, edx, ecx hold the twelve characters.
winapi::testing::CpuidLeaf Vendor(const char* name, uint32_t highest) {
  winapi::testing::CpuidLeaf leaf{};
  leaf.eax = highest;
  std::memcpy(&leaf.ebx, name, 4);
  std::memcpy(&leaf.edx, name + 4, 4);
  std::memcpy(&leaf.ecx, name + 8, 4);
  return leaf;
}

winapi::testing::CpuidLeaf Features(uint32_t family, uint32_t model, uint32_t stepping, uint32_t edx) {
  return winapi::testing::CpuidLeaf{(family << 8) | (model << 4) | stepping, 0, 0, edx};
}

constexpr uint32_t kMmx = 1u << 23, kTsc = 1u << 4, kCmov = 1u << 15, kExtended = 1u << 31;

class CpuTest : public platformtest::PlatformTest {
 protected:
  void TearDown() override {
    unsetenv("ISMMX");
    stoptimer();
    platformtest::PlatformTest::TearDown();
  }
};

TEST_F(CpuTest, IntelPentiumWithMmx) {
  Answer({{0, Vendor("GenuineIntel", 1)}, {1, Features(5, 4, 3, kMmx | kTsc)}});
  identifycpu();
  EXPECT_STREQ(cpuvendor, "GenuineIntel");
  EXPECT_EQ(cpuintel, 1);
  EXPECT_EQ(cpuamd, 0);
  EXPECT_EQ(cpufamily, 5);
  EXPECT_EQ(cpumodel, 4);
  EXPECT_EQ(cpustepping, 3);
  EXPECT_EQ(cpupentium, 1);
  EXPECT_EQ(cpup6, 0);
  EXPECT_EQ(cpuhasmmx, 1);
  EXPECT_EQ(cputsc, 1);
  EXPECT_EQ(cpucmov, 0);
  EXPECT_EQ(cpuextended, 0);
}

TEST_F(CpuTest, AmdReadsTheExtendedLeaf) {
  Answer({{0, Vendor("AuthenticAMD", 1)},
          {1, Features(4, 0, 0, 0)},
          {0x80000001u, Features(6, 2, 1, kMmx | kTsc | kCmov | kExtended)}});
  identifycpu();
  EXPECT_EQ(cpuamd, 1);
  EXPECT_EQ(cpufamily, 6);
  EXPECT_EQ(cpup6, 1);
  EXPECT_EQ(cpucmov, 1);
  EXPECT_EQ(cpuextended, 1);
}

TEST_F(CpuTest, CyrixAndLowHighestLeaf) {
  Answer({{0, Vendor("CyrixInstead", 0)}, {1, Features(6, 0, 0, kMmx)}});
  identifycpu();
  EXPECT_STREQ(cpuvendor, "CyrixInstead");
  EXPECT_EQ(cpucyrix, 0);  // the rest is skipped when leaf 1 is not offered
  EXPECT_EQ(cpufamily, 0);
  EXPECT_EQ(cpuhasmmx, 0);
}

TEST_F(CpuTest, NoCpuidLeavesEveryFlagClear) {
  Answer({});
  identifycpu();
  EXPECT_EQ(cpuvendor[0], 0);
  for (int flag : {cpupentium, cpup6, cpuextended, cpuhasmmx, cputsc, cpucmov, cpuintel, cpuamd, cpucyrix})
    EXPECT_EQ(flag, 0);
}

TEST_F(CpuTest, IsmmxOverridesTheFlag) {
  Answer({{0, Vendor("GenuineIntel", 1)}, {1, Features(6, 1, 1, kMmx)}});
  setenv("ISMMX", "0", 1);
  identifycpu();
  EXPECT_EQ(cpuhasmmx, 0);
  Answer({{0, Vendor("GenuineIntel", 1)}, {1, Features(6, 1, 1, 0)}});
  setenv("ISMMX", "1", 1);
  identifycpu();
  EXPECT_EQ(cpuhasmmx, 1);
}

TEST(CpuSpeed, MeasuredRatesRoundToNominalClocks) {
  struct Case {
    uint32_t measured, nominal;
  };
  for (Case c : {Case{90, 90}, Case{99, 100}, Case{149, 150}, Case{199, 200}, Case{266, 267}, Case{349, 360},
                 Case{233, 233}, Case{300, 300}, Case{450, 450}, Case{166, 167}}) {
    EXPECT_EQ(nominalcpumhz(c.measured), c.nominal) << c.measured;
  }
}

TEST_F(CpuTest, SpeedNeedsTheTimer) {
  auto abort = CatchAbort([] { getcpuspeed(); });
  EXPECT_TRUE(abort.ended);
  EXPECT_EQ(abort.text.rfind("getcpuspeed - INITTIMER MUST BE INITIALIZED TO MEASURE CPU PERFORMANCE\n", 0), 0u);
  abortonerror = 0;
  EXPECT_EQ(getcpuspeed(), 0u);
}

TEST_F(CpuTest, CounterMeasureNeedsTheTimer) {
  auto abort = CatchAbort([] { timerdts(); });
  EXPECT_TRUE(abort.ended);
  EXPECT_EQ(abort.text.rfind("getcpuspeed - INITTIMER REQUIRED TO DETERMINE CLOCK RATE\n", 0), 0u);
}

TEST_F(CpuTest, SpeedFromTheTimestampCounter) {
  winapi::testing::UseVirtualClock(true, 0);
  Answer({{0, Vendor("GenuineIntel", 1)}, {1, Features(6, 5, 0, kMmx | kTsc)}});
  identifycpu();
  ASSERT_EQ(inittimer(100), 100);
  // A 266 MHz part: 2.66 million cycles per tick of the library timer.
  winapi::testing::SetTimestampHook([] { return static_cast<uint64_t>(gettick()) * 2660000u; });
  EXPECT_EQ(getcpuspeed(), 267000000u);
  EXPECT_EQ(cpuspeed, 267000000u);
}

TEST_F(CpuTest, SpeedFromACountingLoopWithoutTheCounter) {
  winapi::testing::UseVirtualClock(true, 0);
  Answer({{0, Vendor("GenuineIntel", 1)}, {1, Features(6, 5, 0, kMmx)}});
  identifycpu();
  ASSERT_EQ(cputsc, 0);
  ASSERT_EQ(inittimer(100), 100);
  const uint32_t hz = getcpuspeed();
  EXPECT_GT(hz, 0u);
  EXPECT_EQ(hz % 1000000, 0u);
}

TEST(CpuTimer, ElapsedWeighsNegativeDifferencesEightfold) {
  EXPECT_FLOAT_EQ(timerelapsed(10, 4, 0.5f), 3.0f);
  EXPECT_FLOAT_EQ(timerelapsed(4, 10, 0.5f), 24.0f);
}

}  // namespace
