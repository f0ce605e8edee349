// Golden pictures of the meter and the arc, drawn into small 16-bit pictures (exact).
#include <gtest/gtest.h>

#include "roundui_fixture.h"
#include "support/golden.h"
#include "windows.h"
#include "winapi/testing.h"

namespace {

namespace wt = winapi::testing;
using roundtest::Hole;
using roundtest::Picture16;

d3dtest::Picture ToPicture(const Picture16& p) {
  d3dtest::Picture out;
  out.width = p.width;
  out.height = p.height;
  for (int32_t y = 0; y < p.height; ++y)
    for (int32_t x = 0; x < p.width; ++x) out.rgb.push_back(p.Rgb(x, y));
  return out;
}

void Expect(const Picture16& p, const char* name) { d3dtest::ExpectGolden(ToPicture(p), name, 0, "roundui"); }

// The hole behind the arc: sky above the horizon line, fairway below.
Picture16 Scenery() {
  Picture16 p(320, 240, 0);
  for (int32_t y = 0; y < p.height; ++y)
    for (int32_t x = 0; x < p.width; ++x) p.pixels[static_cast<size_t>(y) * p.width + x] = y < 90 ? 0x5D7F : 0x2C64;
  return p;
}

using PicturesTest = roundtest::VirtualClockTest;

TEST_F(PicturesTest, MeterIdleAndAfterAScriptedSwing) {
  Hole hole;
  hole.meter.Layout(60, 60, 54);
  hole.meter.computeShot = [](TPowerMeterUI*) {};
  Picture16 idle(120, 120, 0x2104);
  Pixels16 t = idle.Target();
  hole.meter.Paint(t);
  Expect(idle, "meter_idle");

  std::vector<wt::ScriptedEvent> script;
  for (uint32_t at : {1350u, 1900u}) {
    auto press = wt::ScriptPress(at, VK_SPACE, 30);
    script.insert(script.end(), press.begin(), press.end());
  }
  wt::StartInputScript(script, 1);
  hole.meter.RunSwing(false);
  wt::StopInputScript();
  Picture16 swung(120, 120, 0x2104);
  t = swung.Target();
  hole.meter.Paint(t);
  Expect(swung, "meter_after_swing");
}

TEST_F(PicturesTest, ProSwingIcon) {
  Hole hole;
  hole.meter.Layout(60, 60, 54);
  hole.meter.proSwing = true;
  hole.meter.state = kMeterBackswing;
  hole.meter.needle = -4000;
  Picture16 p(120, 120, 0x2104);
  Pixels16 t = p.Target();
  hole.meter.Paint(t);
  Expect(p, "proswing_icon");
}

TEST_F(PicturesTest, DriversArcWithMarkersAndTag) {
  Hole hole;
  UpdateTargeting(&hole.arc, 0, 0, 0, 0);
  hole.arc.ArcDelayedRedrawTime = 1;  // aiming: the tag shows
  Picture16 p = Scenery();
  Pixels16 t = p.Target();
  hole.arc.Paint(t);
  EXPECT_TRUE(hole.arc.drawn);
  Expect(p, "driver_arc");
}

TEST_F(PicturesTest, PuttTarget) {
  Hole hole(20, 5.0f);
  UpdateTargeting(&hole.arc, 0, 0, 0, 0);
  ASSERT_GT(LandingMarkers[0].y, 100);
  ASSERT_LT(LandingMarkers[0].y, 230);
  Picture16 p = Scenery();
  Pixels16 t = p.Target();
  hole.arc.Paint(t);
  EXPECT_TRUE(hole.arc.puttTargetDrawn);
  Expect(p, "putt_target");
}

}  // namespace
