#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "scene/render3d.h"

namespace {

int32_t OnlyKinds1And2(int32_t card) { return card == 1 || card == 2 ? 1 : 0; }

struct Scan {
  uint8_t detected = 0, glide = 0;
  int32_t level = -1;
};

Scan ScanText(const std::string& text) {
  gRenderStart = RenderStart{};
  Scan s;
  ScanCardList(text.data(), text.size(), OnlyKinds1And2, &s.detected, &s.glide, &s.level);
  return s;
}

TEST(CardList, TheFirstCardFoundSetsTheKindsAndBackEndsSetTheLevel) {
  const struct {
    const char* text;
    uint8_t detected, glide;
    int32_t level, cardKind;
  } cases[] = {
      {"1 4\tSoftware\n0 0\tend\n", 4, 0, 2, 1},
      {"5 4\tAbsent\n2 1\tGlideCard\n1 4\tSoftware\n", 1, 1, 2, 2},
      {"1 0\tPlain\n", 4, 0, 1, 1},
      {"1 -1\tWeak\n", 255, 0, 0, 1},
      {"0 0\tend\n1 4\tAfterTheEnd\n", 0, 0, -1, 0},
      // The last line needs no newline.
      {"1 4\tNoNewline", 4, 0, 2, 1},
      {"", 0, 0, -1, 0},
  };
  for (const auto& c : cases) {
    const Scan s = ScanText(c.text);
    EXPECT_EQ(s.detected, c.detected) << c.text;
    EXPECT_EQ(s.glide, c.glide) << c.text;
    EXPECT_EQ(s.level, c.level) << c.text;
    EXPECT_EQ(gRenderStart.detectedCardKind, c.cardKind) << c.text;
  }
  ScanText("2 4\tSecond\n");
  EXPECT_TRUE(gRenderStart.cardKind2);
}

TEST(CardList, LongNamesAndTextWithoutEndAreRead) {
  std::string text = "1 4\t" + std::string(5000, 'x') + "\n";
  EXPECT_EQ(ScanText(text).detected, 4);
  // Text that stops in the middle of a line is not read past its end (the buffer has no terminator).
  std::string cut = "1 4\tSoftwa";
  char* heap = new char[cut.size()];
  std::memcpy(heap, cut.data(), cut.size());
  gRenderStart = RenderStart{};
  Scan s;
  ScanCardList(heap, cut.size(), OnlyKinds1And2, &s.detected, &s.glide, &s.level);
  delete[] heap;
  EXPECT_EQ(s.detected, 4);
}

}  // namespace
