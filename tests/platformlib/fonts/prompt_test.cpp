// The prompt box's face: text start-up hands the keyboard's prompt the text drawer.
#include "platformlib/display/keyboard.h"
#include "platformlib/shapes/textdraw.h"
#include "support/shapefixture.h"

namespace {

class PromptTest : public ShapeTest {};

TEST_F(PromptTest, TextStartUpDrawsThePromptFace) {
  inittext();
  EXPECT_EQ(promptboxdraw, &drawpromptface);
  const std::vector<uint8_t> font =
      shapetools::readfile(std::string(TEEBOX_SOURCE_DIR) + "/tests/fixtures/fonts/term16.ffn");
  ASSERT_FALSE(font.empty());
  setfont(Block(font));
  Window(100, 28, 16, 0x001F);
  setclip(2, 2, 98, 26);
  promptboxdraw("Exit (Y/N)", 2, 2, 96, 24);
  resetclip();
  EXPECT_EQ(Px(0, 0), 0x001Fu);  // outside the box
  EXPECT_EQ(Px(2, 2), 0xFFFFu);  // the outline
  EXPECT_EQ(Px(3, 3), rgbpixel(0xFF404040));
  Golden("promptbox");
  freetextdraw();
  inittextstate();
}

}  // namespace
