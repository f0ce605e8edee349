// wsprintfA: the platform's small formatter.
#include <gtest/gtest.h>

#include <string>

#include "windows.h"

namespace {

TEST(WsprintfTest, FormatsIntegersStringsAndCharacters) {
  char buffer[1100];
  struct Case {
    std::string expected;
    int length;
  };
  auto check = [&](const std::string& expected, int length) {
    EXPECT_EQ(std::string(buffer), expected);
    EXPECT_EQ(length, static_cast<int>(expected.size()));
  };
  check("-5", wsprintfA(buffer, "%d", -5));
  check("[   42]", wsprintfA(buffer, "[%5d]", 42));
  check("[42   ]", wsprintfA(buffer, "[%-5d]", 42));
  check("-0042", wsprintfA(buffer, "%05d", -42));
  check("ff FF 0xff", wsprintfA(buffer, "%x %X %#x", 255, 255, 255));
  check("00000a1b", wsprintfA(buffer, "%08lx", 0xa1bu));
  check("4000000000", wsprintfA(buffer, "%lu", 4000000000u));
  check("-1 65535", wsprintfA(buffer, "%hd %hu", 65535, 65535));
  check("(null)|abc|ab", wsprintfA(buffer, "%s|%s|%.2s", static_cast<const char*>(nullptr), "abc", "abc"));
  check("x%", wsprintfA(buffer, "%c%%", 'x'));
  check("MSG=00000102 [1 0000001b 00000001] ;",
        wsprintfA(buffer, "MSG=%08x [%1x %08x %08x] %c", 0x102, 1, 0x1b, 1, ';'));
}

TEST(WsprintfTest, StopsAtItsLimit) {
  std::string big(2000, 'a');
  char buffer[1100];
  EXPECT_EQ(wsprintfA(buffer, "%s", big.c_str()), 1023);
  EXPECT_EQ(std::string(buffer).size(), 1023u);
  EXPECT_EQ(wsprintfA(buffer, "%2000d", 1), 1023);
}

}  // namespace
