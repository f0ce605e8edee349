// The debug text screen: cursor movement, control codes, scrolling inside the region, and output levels.
#include "platformlib/shapes/debugscreen.h"
#include "platformlib/shapes/textdraw.h"
#include "support/shapefixture.h"

namespace {

class DebugScreenTest : public ShapeTest {
 protected:
  void SetUp() override {
    ShapeTest::SetUp();
    debugresetscreen();
  }
  static uint16_t Cell(int column, int row) { return debugcells()[row * 80 + column]; }
  static std::string Row(int row) {
    std::string s;
    for (int c = 0; c < 80; ++c) s += static_cast<char>(Cell(c, row) & 0xFF ? Cell(c, row) & 0xFF : '.');
    return s;
  }
};

TEST_F(DebugScreenTest, StartsOnRowTwelveAndWrapsAfterEightyCharacters) {
  EXPECT_EQ(debugcursor(), 1920);
  debugwriteat(0, 3, "%s", std::string(81, 'x').c_str());
  EXPECT_EQ(Row(3), std::string(80, 'x'));
  EXPECT_EQ(Cell(0, 4), 0x0700 + 'x');
  EXPECT_EQ(Cell(1, 4), 0);
  debugwriteat(99, 0, "y");  // outside the screen: written at the cursor
  EXPECT_EQ(Cell(1, 4), 0x0700 + 'y');
}

TEST_F(DebugScreenTest, ControlCodes) {
  struct Case { const char* text; int column; int tab; int cursor; } cases[] = {
      {"\t", 3, 8, 2 * 8},      {"\t", 3, 1, 2 * 3},  {"\b", 3, 8, 2 * 2},  {"\r", 3, 8, 2 * 3},
      {"\v", 3, 8, 0},          {"\n", 3, 8, 2 * 80}, {"\t", 79, 8, 2 * 80},
  };
  for (const Case& c : cases) {
    debugresetscreen();
    debugsettab(c.tab);
    debugwriteat(c.column, 0, "%s", c.text);
    EXPECT_EQ(debugcursor(), c.cursor) << static_cast<int>(c.text[0]) << " at " << c.column;
  }
  debugresetscreen();
  debugwriteat(0, 0, "\b");
  EXPECT_EQ(debugcursor(), 0);
  debugwrite("\x0E\x1F" "AB");
  EXPECT_EQ(Cell(0, 0), 0x1F00 + 'A');
  EXPECT_EQ(Cell(1, 0), 0x1F00 + 'B');
  debugwrite("\x0E");  // an attribute byte missing at the end changes nothing
  debugwrite("\f");
  EXPECT_EQ(Cell(0, 0), 0);
  EXPECT_EQ(debugcursor(), 0);
}

TEST_F(DebugScreenTest, LineFeedOnTheLastRowScrollsTheRegion) {
  debugsettop(2);
  debugwriteat(0, 1, "fixed");
  debugwriteat(0, 3, "moves");
  debugwriteat(0, 24, "last");
  debugwrite("\n");
  EXPECT_EQ(debugcursor(), 3840);
  EXPECT_EQ(Row(1).substr(0, 5), "fixed");
  EXPECT_EQ(Row(2).substr(0, 5), "moves");
  EXPECT_EQ(Row(23).substr(0, 4), "last");
  EXPECT_EQ(Row(24), std::string(80, '.'));
  debugsettop(30);  // out of range: kept at 2
  debugwrite("\v");
  EXPECT_EQ(debugcursor(), 2 * 2 * 80);
}

TEST_F(DebugScreenTest, LowOutputLevelsChangeNothing) {
  debugwriteat(0, 0, "keep");
  for (int level : {1, 0}) {
    debugsetlevel(level);
    debugwriteat(0, 0, "gone");
    debugclear();
    EXPECT_EQ(Row(0).substr(0, 4), "keep") << level;
  }
  debugsetlevel(2);
  debugclear();
  EXPECT_EQ(Row(0).substr(0, 4), "....");
}

TEST_F(DebugScreenTest, LibraryDebugTextReachesTheScreen) {
  installdebugscreen();
  const int saved = debugoutputmode;
  debugoutputmode = 3;
  static const int level = 5;
  debugmessage(&level, 1, "[INIT] %d", 42);
  debugoutputmode = saved;
  debugwritehook = nullptr;
  EXPECT_NE(Row(12).find("42"), std::string::npos) << Row(12);
}

TEST_F(DebugScreenTest, ScreenDrawnInTheCurrentFont) {
  const std::vector<uint8_t> font =
      shapetools::readfile(std::string(TEEBOX_SOURCE_DIR) + "/tests/fixtures/fonts/term16.ffn");
  ASSERT_FALSE(font.empty());
  inittextstate();
  setfont(Block(font));
  Window(8 * 12, 16 * 3, 8, 0);
  debugwriteat(0, 0, "Tee \x0E\x1E" "box");
  debugwriteat(0, 1, "\x0E\x4F" "1\t9");
  debugwriteat(2, 2, "\x0E\x07" "ok\bK");
  drawdebugscreen(0, 0, 12, 3);
  Golden("debugscreen");
  freetextdraw();
  inittextstate();
}

}  // namespace
