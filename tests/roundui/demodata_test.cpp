// The demo installation's in-round shape set loads whole, with the frames the controls use.
#include <gtest/gtest.h>

#include "platformlib/shapes/shapes.h"
#include "roundfixture.h"
#include "roundui.h"

namespace {

class DemoDataTest : public RoundUiTest {};

TEST_F(DemoDataTest, EveryFileOfTheSetLoadsWithItsFrames) {
  mkdemo::WriteRoundInterface(root_ + "/c", "/usr/share/consolefonts");
  PathSetDirectory(&folder_, "|UI640");
  ASSERT_EQ(LoadGameUIShapes(&folder_), 0);
  struct Count {
    uint32_t shape;
    uint32_t frames;
  } counts[] = {{kShapePowerBody, 10}, {kShapePowerHandle, 10}, {kShapePowerTrack, 10}, {kShapePanelBack, 3},
                {kShapeStartButton, 8}, {kShapeClubSelect, 22}, {kShapeIronIcon, 51},  {kShapeChipIcon, 56},
                {kShapePuttIcon, 46},   {kShapeSpinIdle, 5}};
  for (const Count& c : counts) {
    const uint8_t* file = static_cast<const uint8_t*>(MemLock(GetGameUIShape(c.shape)));
    ASSERT_NE(file, nullptr) << c.shape;
    EXPECT_EQ(shapecount(file), c.frames) << c.shape;
    MemUnlock(GetGameUIShape(c.shape));
  }
}

}  // namespace
