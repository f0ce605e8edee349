// Font files and text drawing: the pen, control codes, missing glyphs, extents, colours and ramps, the three
// glyph blitters with clipping, Shift-JIS strings, and the checks of a loaded font.
#include "platformlib/shapes/textdraw.h"
#include "support/shapefixture.h"

namespace {

using shapetools::Font;
using shapetools::Glyph;

// A glyph of w x h pixels, every pixel `value`.
Glyph Solid(uint16_t code, int w, int h, uint8_t value, int8_t advance, int8_t xoff = 0, int8_t yoff = 0) {
  Glyph g;
  g.code = code;
  g.width = w;
  g.height = h;
  g.advance = advance;
  g.xoffset = xoff;
  g.yoffset = yoff;
  g.pixels.assign(static_cast<size_t>(w) * h, value);
  return g;
}

class TextTest : public ShapeTest {
 protected:
  void SetUp() override {
    ShapeTest::SetUp();
    inittextstate();
  }
  void TearDown() override {
    freetextdraw();
    inittextstate();
    ShapeTest::TearDown();
  }
  const uint8_t* Load(const Font& font) {
    const std::vector<uint8_t> bytes = shapetools::fontfile(font);
    EXPECT_EQ(checkfontfile(bytes.data(), bytes.size()), 1);
    const uint8_t* f = Block(bytes);
    setfont(f);
    return f;
  }
  const uint8_t* LoadFixture(const char* name) {
    const std::vector<uint8_t> bytes =
        shapetools::readfile(std::string(TEEBOX_SOURCE_DIR) + "/tests/fixtures/fonts/" + name);
    EXPECT_FALSE(bytes.empty()) << name;
    const char* error = nullptr;
    EXPECT_EQ(checkfontfile(bytes.data(), bytes.size(), &error), 1) << (error ? error : "");
    const uint8_t* f = Block(bytes);
    setfont(f);
    return f;
  }
  static Font Simple(int bits) {
    Font font;
    font.bits = bits;
    font.above = 6;
    font.below = 2;
    font.glyphs = {Solid(' ', 3, 1, 0, 4), Solid('A', 3, 5, bits == 1 ? 1 : 15, 5, 0, -5),
                   Solid('B', 2, 3, bits == 1 ? 1 : 8, 3, 1, -3)};
    return font;
  }
};

TEST_F(TextTest, SignatureIsCheckedOnItsFirstThreeBytes) {
  Font font = Simple(1);
  std::vector<uint8_t> bytes = shapetools::fontfile(font);
  bytes[3] = 'Z';
  setfont(Block(bytes));
  EXPECT_TRUE(ShapeAborts().empty());
  EXPECT_EQ(textstate.fontlevel, 100);
  bytes[0] = 'X';
  setfont(Block(bytes));
  EXPECT_TRUE(Aborted("setfont - UNRECOGNIZED FONT SIGNATURE.\nFOUND XNTZ. SIGNATURE SHOULD BE FNTx"));
}

TEST_F(TextTest, DrawingWithoutAFontIsReported) {
  Window(8, 8, 8);
  fortext("A");
  EXPECT_TRUE(Aborted("fortext - font not set or font version incorrect"));
  fortext(nullptr);
  EXPECT_TRUE(Aborted("fortext - STRING IS NULL"));
  EXPECT_EQ(textnpixels(nullptr, 3), 0);
  EXPECT_TRUE(Aborted("textnpixels - STRING IS NULL"));
}

TEST_F(TextTest, PenMovesWithGlyphsLineFeedsAndControlCodes) {
  Window(40, 20, 8);
  Load(Simple(1));
  struct Case { const char* text; int32_t x, y; } cases[] = {
      {"", 3, 4}, {"\n", 3, 12}, {"A", 8, 4}, {"AB", 11, 4}, {"\t\r\x01", 15, 4},
      {"A\nB", 6, 12}, {"Z", 3, 4} /* missing glyph: no move */, {"A\x7F" "A", 13, 4},
  };
  for (const Case& c : cases) {
    settextxy(3, 4);
    fortext(c.text);
    EXPECT_EQ(textstate.x, c.x) << c.text;
    EXPECT_EQ(textstate.y, c.y) << c.text;
  }
  EXPECT_EQ(textnpixels("AZB\t", 10), 8);  // the tab has no glyph: it counts nothing here
  EXPECT_EQ(textheight(), 8);
}

TEST_F(TextTest, ControlCodesAdvanceNothingWithoutASpaceGlyph) {
  Window(40, 20, 8);
  Font font = Simple(1);
  font.glyphs.erase(font.glyphs.begin());
  Load(font);
  settextxy(0, 10);
  fortext("\t\tA");
  EXPECT_EQ(textstate.x, 5);
}

TEST_F(TextTest, WidthsStopAt256Characters) {
  Load(Simple(1));
  const std::string text(300, 'B');
  EXPECT_EQ(textpixels(text.c_str()), 256 * 3);
  EXPECT_EQ(textnpixels(text.c_str(), 5), 15);
}

TEST_F(TextTest, ExtentAlwaysHoldsThePenOrigin) {
  Window(40, 20, 8);
  Font font;
  font.bits = 1;
  font.glyphs = {Solid('C', 2, 2, 1, 6, 3, 4)};
  Load(font);
  int32_t x, y, w, h;
  textextent("CC", 10, &x, &y, &w, &h);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(w, 12);  // the pen's end beyond the last glyph's right edge (11)
  EXPECT_EQ(h, 6);
  Load(Simple(1));
  textextent("AB", &x, &y, &w, &h);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, -5);
  EXPECT_EQ(w, 8);
  EXPECT_EQ(h, 5);
}

TEST_F(TextTest, ColoursOnEightBitWindowsMustBeIndexes) {
  Window(4, 4, 8);
  Load(Simple(4));
  textcolour(300, 0);
  EXPECT_TRUE(Aborted("textcolour - INVALID COLOUR INDEX.\nCURRENT WINDOW BPP 8. REQUESTED TEXTCOLOUR(0x12c,0x0)."));
  ShapeAborts().clear();
  Window(4, 4, 16);
  textcolour(300, 0);
  EXPECT_TRUE(ShapeAborts().empty());
}

TEST_F(TextTest, FourBitGlyphsBlendOrUseTheSolidRamp) {
  Window(12, 8, 16, 0);
  Font font;
  font.bits = 4;
  Glyph g;
  g.code = 'Q';
  g.width = 3;
  g.height = 1;
  g.advance = 3;
  g.pixels = {15, 8, 0};
  font.glyphs = {g};
  Load(font);
  const uint32_t white = 0xFFFF;
  textcolour(white, 0);
  fillrect(0, 0, 12, 8, 0x001F);  // blue
  fortextxy("Q", 2, 2);
  EXPECT_EQ(Px(2, 2), white);
  const uint32_t half = Px(3, 2);
  EXPECT_NEAR(static_cast<int>(half >> 11), 16, 2);                // about half the red of white
  EXPECT_GE(static_cast<int>(half & 31), 29);  // blue: half of white plus half of the blue under it
  EXPECT_EQ(Px(4, 2), 0x001Fu);
  settextblend(0);
  EXPECT_EQ(gettextblend(), 0);
  fortextxy("Q", 2, 4);
  EXPECT_EQ(Px(2, 4), textstate.ramp[15]);
  EXPECT_NE(textstate.ramp[15], white);  // 15/16 of the foreground
  EXPECT_EQ(Px(4, 4), 0x001Fu);
}

TEST_F(TextTest, GlyphsAreClippedInEveryBlitter) {
  for (int bits : {1, 4}) {
    for (int blend : {0, 1}) {
      if (bits == 1 && blend) continue;
      Window(10, 10, 16, 0);
      Font font;
      font.bits = bits;
      font.glyphs = {Solid('X', 6, 6, bits == 1 ? 1 : 15, 6)};
      Load(font);
      textcolour(0xFFFF, 0);
      settextblend(blend);
      setclip(2, 2, 5, 5);
      fortextxy("X", 0, 0);
      resetclip();
      int inside = 0, outside = 0;
      for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
          const bool in = x >= 2 && x < 5 && y >= 2 && y < 5;
          (Px(x, y) ? (in ? inside : outside) : inside) += Px(x, y) ? 1 : 0;
        }
      EXPECT_EQ(inside, 9) << bits << " " << blend;
      EXPECT_EQ(outside, 0) << bits << " " << blend;
    }
  }
}

TEST_F(TextTest, ShiftJisStringsUseFullWidthCodes) {
  Window(30, 10, 8, 0);
  Font font;
  font.bits = 1;
  font.jis = true;
  font.glyphs = {Solid(0x8260, 2, 2, 1, 4), Solid(0x889F, 3, 3, 1, 7)};
  Load(font);
  EXPECT_EQ(textpixels("A"), 4);
  EXPECT_EQ(textpixels("\x88\x9F"), 7);
  EXPECT_EQ(textpixels("\x88"), 0);  // a lead byte at the end never reads past the terminator
  EXPECT_EQ(jisfullwidth('0'), 0x824Fu);
  movftxy(0, 0, "%d", 1);
  EXPECT_TRUE(Aborted("text function - THIS FUNCTION DOES NOT SUPPORT JIS STRINGS."));
}

TEST_F(TextTest, FormattedTextIsBoundedAndDrawnOverItsBox) {
  Window(64, 20, 8, 0);
  Load(Simple(1));
  textcolour(5, 9);
  const std::string longtext(600, 'B');
  movftxy(1, 10, "%s%s", longtext.c_str(), "A");
  EXPECT_EQ(Px(1, 8), 9u);  // box behind the text
  EXPECT_EQ(Px(2, 8), 5u);  // glyph B at x offset 1
  centerftext(18, "%s", "A");
  EXPECT_EQ(Px(0, 12), 0u);
}

TEST_F(TextTest, RealFontsDrawControlCodesAndMissingGlyphs) {
  Window(96, 20, 16, 0x18E3);
  LoadFixture("term16.ffn");
  textcolour(0xFFE0, 0);
  fortextxy("Hi\tyou\x01!\x80~", 1, 13);
  Golden("text1bit");
  Window(96, 20, 16, 0x18E3);
  LoadFixture("term16s4.ffn");
  textcolour(0xFFE0, 0);
  fortextxy("Hi\tyou\x01!\x80~", 1, 13);
  Golden("text4bit");
  Window(96, 20, 8, 2);
  LoadFixture("term16s4.ffn");
  textcolour(200, 0);
  fortextxy("Golf 18", 1, 13);
  Golden("text4bit8");
}

TEST_F(TextTest, CheckOfALoadedFontFindsEachFault) {
  const std::vector<uint8_t> good = shapetools::fontfile(Simple(1));
  ASSERT_EQ(checkfontfile(good.data(), good.size()), 1);
  struct Case { const char* name; std::function<void(std::vector<uint8_t>&)> damage; const char* error; } cases[] = {
      {"short", [](std::vector<uint8_t>& f) { f.resize(20); }, "file shorter than its header"},
      {"signature", [](std::vector<uint8_t>& f) { f[1] = 'X'; }, "no font signature"},
      {"count", [](std::vector<uint8_t>& f) { shapewrite16(f.data() + 10, 60000); }, "glyph table outside the file"},
      {"table", [](std::vector<uint8_t>& f) { shapewrite32(f.data() + 20, 0x7FFFFFF0); }, "glyph table outside the file"},
      {"image", [](std::vector<uint8_t>& f) { shapewrite32(f.data() + 28, static_cast<uint32_t>(f.size() - 4)); }, "glyph image outside"},
      {"depth", [](std::vector<uint8_t>& f) { f[shaperead32(f.data() + 28)] = 0x7B; }, "not 1 or 4 bits"},
      {"rows", [](std::vector<uint8_t>& f) { shapewrite16(f.data() + shaperead32(f.data() + 28) + 6, 900); }, "pixels run past"},
      {"rectangle", [](std::vector<uint8_t>& f) { f[40 + 11 + 2] = 200; }, "glyph rectangle outside the image"},
      {"alignment", [](std::vector<uint8_t>& f) { f[40 + 11 + 4] = 3; f[40 + 11 + 2] = 1; }, "does not start on a byte"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> f = good;
    c.damage(f);
    const char* error = nullptr;
    EXPECT_EQ(checkfontfile(f.data(), f.size(), &error), 0) << c.name;
    ASSERT_NE(error, nullptr) << c.name;
    EXPECT_NE(std::string(error).find(c.error), std::string::npos) << c.name << ": " << error;
  }
}

TEST_F(TextTest, GlyphBitOrderIsTheFontsOwn) {
  // 1-bit glyphs: bit 7 is the leftmost pixel; 4-bit glyphs: the high nibble is the left pixel.
  for (int bits : {1, 4}) {
    Font font;
    font.bits = bits;
    Glyph g;
    g.code = 'K';
    g.width = 2;
    g.height = 1;
    g.advance = 2;
    g.pixels = {static_cast<uint8_t>(bits == 1 ? 1 : 12), 0};
    font.glyphs = {g};
    std::vector<uint8_t> bytes = shapetools::fontfile(font);
    const uint32_t image = shaperead32(bytes.data() + 28);
    EXPECT_EQ(bytes[image + 16], bits == 1 ? 0x80 : 0xC0) << bits;
    Window(4, 1, 8, 0);
    setfont(Block(bytes));
    textcolour(9, 0);
    settextblend(0);
    fortextxy("K", 0, 0);
    EXPECT_NE(Px(0, 0), 0u) << bits;
    EXPECT_EQ(Px(1, 0), 0u) << bits;
  }
}

TEST_F(TextTest, ClearingTheStateGivesTheWorkBufferBack) {
  Window(4, 4, 16);
  const uint8_t* font = Load(Simple(4));
  const int before = largestmem(0);
  for (int i = 0; i < 50; ++i) {
    inittextstate();
    setfont(font);
  }
  EXPECT_EQ(largestmem(0), before);
  EXPECT_NE(textstate.work, nullptr);
}

TEST_F(TextTest, SaveAndRestoreKeepThePen) {
  Window(8, 8, 8);
  Load(Simple(1));
  settextxy(5, 6);
  TextState saved;
  savetextstate(&saved);
  settextxy(1, 1);
  restoretextstate(&saved);
  EXPECT_EQ(textstate.x, 5);
  EXPECT_EQ(textstate.y, 6);
}

}  // namespace
