#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "course/scenedata.h"
#include "scene/horizon.h"

namespace {

CourseImage Image(uint16_t w, uint16_t h, uint8_t firstPixel) {
  CourseImage image;
  image.shape.assign(16 + std::max<size_t>(1, static_cast<size_t>(w) * h), 0);
  std::memcpy(&image.shape[4], &w, 2);
  std::memcpy(&image.shape[6], &h, 2);
  image.shape[16] = firstPixel;
  return image;
}

TEST(Horizon, OffsetsRunOverThePiecesAndHeadingsScrollTheStrip) {
  CourseSceneData course;
  course.horizonCount = 3;
  course.horizon[0].image = Image(100, 4, 7);
  course.horizon[1].image = Image(200, 4, 0);
  course.horizon[2].image = Image(100, 4, 0);
  course.horizon[2].extraWidth = 40;
  course.palette[7] = 0xFFF80000u;  // pure red
  gHorizon = HorizonTables{};
  PrepareCourseRenderTables(course);
  EXPECT_EQ(gHorizon.offsets[0], 100);
  EXPECT_EQ(gHorizon.offsets[2], 440);
  EXPECT_EQ(gHorizon.total, 440);
  EXPECT_EQ(gHorizon.background565, 0xF800);
  EXPECT_EQ(gHorizon.background32, 0xFFFF0000u);
  const struct {
    int32_t heading, start, width, offset;
  } cases[] = {{0, 0, 640, 0}, {32768, 0, 640, 220}, {32768, 2, 640, 80}, {0, 0, 800, 360}, {0, 99, 640, 0}};
  for (const auto& c : cases)
    EXPECT_EQ(HorizonOffsetForHeading(c.heading, c.start, c.width), c.offset) << c.heading << " " << c.start;
}

TEST(Horizon, AStripOfNoWidthScrollsNowhere) {
  CourseSceneData course;
  course.horizonCount = 2;
  course.horizon[0].image = Image(0, 0, 0);
  course.horizon[1].image = Image(0, 0, 0);
  gHorizon = HorizonTables{};
  PrepareCourseRenderTables(course);
  EXPECT_EQ(gHorizon.total, 0);
  EXPECT_EQ(HorizonOffsetForHeading(12345, 1, 640), 0);
}

TEST(ViewBlend, TheAverageKeepsTheLastSamples) {
  BeginViewBlend();
  for (int i = 1; i <= 31; ++i) AddViewBlendSample(static_cast<float>(i));
  EXPECT_FLOAT_EQ(ViewBlendAverage(), (2.0f + 31.0f) / 2.0f);
  SetViewBlendLength(3);
  for (float v : {1.0f, 2.0f, 3.0f, 10.0f}) AddViewBlendSample(v);
  EXPECT_FLOAT_EQ(ViewBlendAverage(), 5.0f);
  SetViewBlendLength(99);
  EXPECT_TRUE(IsViewBlendOn());
  // No length: nothing is added, nothing is written past the ring.
  CancelViewBlend();
  AddViewBlendSample(4.0f);
  EXPECT_FALSE(IsViewBlendOn());
  EXPECT_FLOAT_EQ(ViewBlendAverage(), 0.0f);
}

}  // namespace
