// Font manager: loading through the game's loader, the standard set by screen size, measuring with the
// shadow, alignment, the caller's text left untouched, and word wrapping with its extent.
#include <map>
#include <string>
#include <vector>

#include "framework/core/errors.h"
#include "uifixture.h"

namespace {

std::map<std::string, std::vector<uint8_t>>& Files() {
  static std::map<std::string, std::vector<uint8_t>> files;
  return files;
}
std::vector<std::string>& Asked() {
  static std::vector<std::string> asked;
  return asked;
}

MemHandle FromMemory(const char*, const char* name, uint32_t) {
  Asked().push_back(name);
  auto it = Files().find(name);
  return it == Files().end() ? 0 : HandleWith(it->second);
}

// 'W' is 10 wide, 'a' 5, 'A' 8, a space 4; lines are 8 high.
std::vector<uint8_t> TestFont() { return SolidFont({{' ', 1, 4}, {'W', 10, 10}, {'a', 5, 5}, {'A', 8, 8}}); }

}  // namespace

class FontTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    Files().clear();
    Asked().clear();
    Files()["test.ffn"] = TestFont();
    frontEnd_.loader = FromMemory;
    ASSERT_EQ(FontLoad(&font_, "fonts", "test.ffn", 0), 0);
    FontSelect(font_, DrawnImage(), kAlignLeft, 0xFFFF, 0x0001, 0, 0);
  }
  void TearDown() override {
    FontFree(&font_);
    FontFreeStandardSet();
    UiTest::TearDown();
  }
  // Leftmost and rightmost columns with drawn pixels (-1 when none).
  std::pair<int, int> Columns() {
    int lo = -1, hi = -1;
    for (int32_t x = 0; x < kWidth; ++x)
      for (int32_t y = 0; y < kHeight; ++y)
        if (Pixel(Back(), x, y)) {
          if (lo < 0) lo = x;
          hi = x;
          break;
        }
    return {lo, hi};
  }
  MemHandle font_ = 0;
};

TEST_F(FontTest, MeasuresStringsAndCounts) {
  EXPECT_EQ(FontStringWidth("WWWW", 0), 40);
  EXPECT_EQ(FontStringWidth("WWWW", 2), 20);
  EXPECT_EQ(FontStringWidth("WWWW", 400), 40);  // a count past the end is the whole string
  EXPECT_EQ(FontCharWidth('a'), 5);
  EXPECT_EQ(FontHeight(), 8);
}

TEST_F(FontTest, ShadowMakesEveryWidthAndHeightLarger) {
  FontSelect(font_, nullptr, 0, 0xFFFF, 0x0001, 0, 2);
  EXPECT_EQ(FontStringWidth("WWWW", 0), 42);
  EXPECT_EQ(FontStringWidth("a", 0), 7);
  EXPECT_EQ(FontHeight(), 10);
  EXPECT_EQ(FontCharWidth('a'), 5);
}

TEST_F(FontTest, AlignmentPlacesTheLine) {
  struct Case {
    int32_t alignment, x, left;
  } cases[] = {{kAlignRight, 100, 61}, {kAlignCentre, 100, 80}, {kAlignLeft, 100, 100}};
  for (const Case& c : cases) {
    Fill(Back(), 0);
    FontSelect(0, nullptr, c.alignment, 0, 0, 0, 0);
    FontRecordExtent(1);
    EXPECT_EQ(FontDrawText(c.x, 20, "WWWW"), 40);
    EXPECT_EQ(FontState().extent.left, c.left) << c.alignment;
    EXPECT_EQ(FontState().extent.right, c.left + 40);
    EXPECT_EQ(FontState().extent.top, 20);
    EXPECT_EQ(FontState().extent.bottom, 28);
    EXPECT_EQ(Columns(), std::make_pair(c.left, c.left + 39)) << c.alignment;
  }
}

TEST_F(FontTest, ShadowIsDrawnFirstInTheBackgroundColourAndGrowsTheExtent) {
  FontSelect(font_, nullptr, kAlignLeft, 0xFFFF, 0x0001, 0, 2);
  FontRecordExtent(1);
  EXPECT_EQ(FontDrawText(10, 10, "W"), 12);
  EXPECT_EQ(FontState().extent.right - FontState().extent.left, 14);
  int shadow = 0, face = 0;
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x) {
      shadow += Pixel(Back(), x, y) == 0x0001;
      face += Pixel(Back(), x, y) == 0xFFFF;
    }
  EXPECT_EQ(face, 60);
  EXPECT_GT(shadow, 0);
}

TEST_F(FontTest, CountedDrawLeavesTheCallersTextAlone) {
  static const char kText[] = "WWaaWW";  // read-only: a write would fault
  EXPECT_EQ(FontDrawTextCount(0, 0, kText, 3), 25);
  EXPECT_EQ(Columns().second, 24);
  EXPECT_EQ(FontDrawTextCount(0, 20, kText, 50), 50);
}

TEST_F(FontTest, NothingIsDrawnWithoutADestinationOrAFont) {
  FontResetState();
  EXPECT_EQ(FontDrawText(0, 0, "W"), 0);
  EXPECT_EQ(FontStringWidth("W", 0), 0);
  FontSelect(font_, nullptr, kAlignLeft, 0xFFFF, 0, 0, 0);
  EXPECT_EQ(FontDrawText(0, 0, "W"), 0);
  EXPECT_EQ(Columns().first, -1);
}

TEST_F(FontTest, FreeingTheCurrentFontLeavesNone) {
  FontFree(&font_);
  EXPECT_EQ(font_, 0);
  EXPECT_EQ(FontState().font, 0);
  EXPECT_EQ(FontStringWidth("WWWW", 0), 0);
  EXPECT_EQ(FontHeight(), 0);
  EXPECT_EQ(FontDrawText(0, 0, "W"), 0);
}

TEST_F(FontTest, UpperCaseCopiesAreCutAt255Characters) {
  EXPECT_EQ(FontStringWidthUpper("aa", 0), 16);
  const std::string longText(400, 'a');
  EXPECT_EQ(FontStringWidthUpper(longText.c_str(), 0), 255 * 8);
  char s[] = "aZ09-w";
  StringToUpper(s);
  EXPECT_STREQ(s, "AZ09-W");
  StringToLower(s);
  EXPECT_STREQ(s, "az09-w");
  EXPECT_EQ(FontDrawTextUpper(0, 0, "a"), 8);
}

TEST_F(FontTest, MissingOrDamagedFontsAreRefused) {
  MemHandle h = 123;
  EXPECT_EQ(FontLoad(&h, "fonts", "none.ffn", 0), ERR_FILENOTFOUND);
  EXPECT_EQ(h, 0);
  std::vector<uint8_t> bad = TestFont();
  bad.resize(bad.size() / 2);
  Files()["bad.ffn"] = bad;
  const int before = MemLiveHandles();
  EXPECT_EQ(FontLoad(&h, "fonts", "bad.ffn", 0), ERR_FILENOTFOUND);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(MemLiveHandles(), before);
}

TEST_F(FontTest, StandardSetFollowsTheScreenSize) {
  const char* const expected[5][3] = {
      {"vex3d-13.ffn", "HAL8b.ffn", "trek36.ffn"}, {"vex3d-14.ffn", "HAL8b.ffn", "trek45.ffn"},
      {"vex3d-14.ffn", "HAL8b.ffn", "trek58.ffn"}, {"vex3d-14.ffn", "HAL12b.ffn", "trek72.ffn"},
      {"vex3d-14.ffn", "HAL12b.ffn", "trek90.ffn"}};
  for (int size = 0; size < 5; ++size)
    for (int which = 0; which < 3; ++which) {
      Files()[expected[size][which]] = TestFont();
      EXPECT_STREQ(StandardFontName(size, which), expected[size][which]);
    }
  Facts().sizeSetting = 3;
  Asked().clear();
  EXPECT_EQ(FontLoadStandardSet("fonts"), 0);
  EXPECT_EQ(Asked(), (std::vector<std::string>{"vex3d-14.ffn", "HAL12b.ffn", "trek72.ffn"}));
  for (MemHandle h : StandardFonts) EXPECT_NE(h, 0);
  FontFreeStandardSet();
  for (MemHandle h : StandardFonts) EXPECT_EQ(h, 0);
  EXPECT_STREQ(StandardFontName(9, 0), "vex3d-14.ffn");  // out-of-range settings are held to the table
}

TEST_F(FontTest, StandardSetReportsTheFirstMissingFont) {
  Facts().sizeSetting = 0;
  Files()["vex3d-13.ffn"] = TestFont();
  winapi::testing::TakeMessageBoxes();
  EXPECT_EQ(FontLoadStandardSet("fonts"), 1);
  const auto boxes = winapi::testing::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find(ErrorText(ERR_FILENOTFOUND)), std::string::npos);
  EXPECT_NE(StandardFonts[0], 0);
  EXPECT_EQ(StandardFonts[1], 0);
}

TEST_F(FontTest, WrappingBreaksAtSpacesAndLineEnds) {
  struct Case {
    const char* text;
    int32_t boxWidth;
    int32_t lineEnds;
    int32_t lines;  // rows of text that received pixels
  } cases[] = {
      {"WW WW WW", 50, 1, 2},      // "WW WW" is 44 wide, the third word goes down
      {"WW WW WW", 100, 0, 1},     // fits
      {"WW\nWW", 100, 1, 2},       // a line feed ends the line
      {"WW\r\nWW", 100, 2, 2},     // carriage return and line feed each end one
      {"WWWWWWWW", 25, 3, 4},      // no break point: cut before the character that does not fit
      {"WW    WW", 25, 1, 2},      // leading spaces of the next line are skipped
      {"WW", 5, 2, 2},             // a character wider than the box still takes a line of its own
      {"", 50, 0, 0},
  };
  for (const Case& c : cases) {
    Fill(Back(), 0);
    FontRecordExtent(1);
    const MARect box{10, 10, 10 + c.boxWidth - 1, 110};
    EXPECT_EQ(FontDrawTextWrapped(0, c.text, box, 10), c.lineEnds) << c.text;
    int rows = 0;
    for (int line = 0; line < 10; ++line) {
      bool any = false;
      for (int32_t y = 10 + line * 10; y < 18 + line * 10 && y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x) any = any || Pixel(Back(), x, y);
      rows += any;
    }
    EXPECT_EQ(rows, c.lines) << c.text;
    if (c.boxWidth >= 10) {
      EXPECT_LE(Columns().second, box.right) << c.text;
    }
  }
}

TEST_F(FontTest, WrappedExtentIsTheUnionOfItsLines) {
  FontSelect(0, nullptr, kAlignRight, 0, 0, 0, 0);
  FontRecordExtent(1);
  EXPECT_EQ(FontDrawTextWrapped(5, "WWW a", MARect{20, 10, 50, 100}, 12), 1);
  const MARect e = FontState().extent;
  EXPECT_EQ(e.left, 50 - 29);
  EXPECT_EQ(e.right, 50 - 29 + 30);
  EXPECT_EQ(e.top, 15);
  EXPECT_EQ(e.bottom, 15 + 12 + 8);
  EXPECT_EQ(FontState().extentEmpty, 0);
}
