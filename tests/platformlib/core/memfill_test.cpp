#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platformlib/core/memclass.h"

namespace {

// Every start alignment and a spread of lengths, against the plain library routines.
TEST(MemFill, WritesExactlyTheRequestedBytes) {
  for (int offset = 0; offset < 8; ++offset) {
    for (int count : {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 31, 32, 33, 63, 64, 100, 257}) {
      for (int byte : {0x00, 0x37, 0xFF}) {
        std::vector<unsigned char> buffer(300 + 16, 0xEE), expected(300 + 16, 0xEE);
        fillmem(buffer.data() + offset, count, byte);
        std::memset(expected.data() + offset, byte, static_cast<size_t>(count));
        ASSERT_EQ(buffer, expected) << "offset " << offset << " count " << count << " byte " << byte;
      }
    }
  }
}

TEST(MemFill, ClearAndSixteenBitPatterns) {
  std::vector<unsigned char> buffer(64, 0xAA);
  clearmem(buffer.data() + 3, 50);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(buffer[i], (i >= 3 && i < 53) ? 0 : 0xAA) << i;
  alignas(8) uint16_t words[20] = {};
  fillmem16(words, 38, 0x1234);
  for (int i = 0; i < 19; ++i) EXPECT_EQ(words[i], 0x1234) << i;
  EXPECT_EQ(words[19], 0);
  fillmem(buffer.data(), -4, 1);  // a negative count does nothing
  EXPECT_EQ(buffer[0], 0xAA);
}

TEST(MemFill, CopiesMatchMemmoveForEveryOverlap) {
  for (int shift = -9; shift <= 9; ++shift) {
    for (int count : {0, 1, 3, 4, 5, 17, 64, 99}) {
      for (int which = 0; which < 2; ++which) {
        std::vector<unsigned char> buffer(200), expected(200);
        for (int i = 0; i < 200; ++i) buffer[i] = expected[i] = static_cast<unsigned char>(i * 7 + 1);
        unsigned char* source = buffer.data() + 50;
        if (which == 0)
          movemem(source, source + shift, count);
        else
          copymem(source, source + shift, count);
        std::memmove(expected.data() + 50 + shift, expected.data() + 50, static_cast<size_t>(count));
        ASSERT_EQ(buffer, expected) << (which ? "copymem" : "movemem") << " shift " << shift << " count " << count;
      }
    }
  }
}

TEST(MemFill, PixelRowsCopyByDepth) {
  struct Case {
    void (*copy)(void*, const void*, int);
    int pixels;
    int bytes;
  };
  const Case cases[] = {{copypixels4, 10, 5}, {copypixels8, 10, 10}, {copypixels16, 10, 20},
                        {copypixels24, 10, 30}, {copypixels32, 10, 40}};
  for (const Case& c : cases) {
    unsigned char source[64], destination[64] = {};
    for (int i = 0; i < 64; ++i) source[i] = static_cast<unsigned char>(i + 1);
    c.copy(destination, source, c.pixels);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(destination[i], i < c.bytes ? source[i] : 0) << c.bytes << " at " << i;
  }
}

TEST(MemoryStatus, DumpPrintsTheFiguresOnlyWhenAsked) {
  memoryreportflag = 0;
  ::testing::internal::CaptureStdout();
  const size_t total = memorystatusdump();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(total, getphysicalmemory());
  EXPECT_GT(total, 0u);
  memoryreportflag = 1;
  ::testing::internal::CaptureStdout();
  memorystatusdump();
  const std::string text = ::testing::internal::GetCapturedStdout();
  memoryreportflag = 0;
  for (const char* label : {"memoryload ", "total phys ", "avail phys ", "total page ", "avail page ",
                            "total virt ", "avail virt "})
    EXPECT_NE(text.find(label), std::string::npos) << label;
  EXPECT_LE(getunlockedmemory(), total);
}

}  // namespace
