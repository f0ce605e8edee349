// Announcer clip variants: no repeats until all are used, exclusions, the digits of a clip name.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "sound/effects.h"

namespace {

class Variants : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetClipVariants();
    ClipRestrictionsInForce() = ClipRestrictions{};
  }
  void TearDown() override { SetUp(); }
};

TEST_F(Variants, EachVariantOnceThenANewRound) {
  for (int count : {1, 5, 12}) {
    std::set<int> seen;
    for (int i = 0; i < count; ++i) seen.insert(PickClipVariant("SAND", count));
    EXPECT_EQ(seen.size(), static_cast<size_t>(count));
    EXPECT_EQ(*seen.begin(), 1);
    EXPECT_EQ(*seen.rbegin(), count);
    const int next = PickClipVariant("sand", count);  // the same record, whatever the case
    EXPECT_GE(next, 1);
    EXPECT_LE(next, count);
  }
}

TEST_F(Variants, ExclusionsAndNames) {
  ClipRestrictionsInForce().golferList = true;
  ClipRestrictionsInForce().lineList = true;
  struct Case {
    const char* stem;
    int count;
    const char* prefix;   // what the name holds before its digits
    std::set<int> allowed;
  } cases[] = {
      {"DORMIE", 1, "DORMIE", {0}},          // every variant excluded: 0
      {"AT4P280", 9, "AT4P280", {1, 3, 4, 5, 7, 8, 9}},  // mask 22: variants 2 and 6 excluded
      {"out", 5, "out", {1, 2, 4, 5}},       // the restricted-line list: mask 4
      {"PMWINM", 17, "PMWINM", {4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}},  // mask 17: 1, 2, 3 and 5 out
  };
  for (const Case& c : cases) {
    for (int round = 0; round < 3 * c.count; ++round) {
      std::string name;
      AppendClipVariant(c.stem, c.count, name);
      ASSERT_EQ(name.rfind(c.prefix, 0), 0u);
      const std::string digits = name.substr(std::string(c.prefix).size());
      EXPECT_EQ(digits.size(), c.count > 9 ? 2u : 1u) << name;
      EXPECT_EQ(c.allowed.count(std::stoi(digits)), 1u) << name;
    }
  }
  // Without the restrictions every variant may come.
  ClipRestrictionsInForce() = ClipRestrictions{};
  ResetClipVariants();
  std::set<int> all;
  for (int i = 0; i < 9; ++i) all.insert(PickClipVariant("AT4P280", 9));
  EXPECT_EQ(all.size(), 9u);
}

TEST_F(Variants, AFullTableStillChooses) {
  for (int i = 0; i < 2000; ++i) PickClipVariant(("S" + std::to_string(i)).c_str(), 3);
  for (int i = 0; i < 20; ++i) {
    const int v = PickClipVariant("NEWSTEM", 3);
    EXPECT_GE(v, 1);
    EXPECT_LE(v, 3);
  }
}

}  // namespace
