// The horizon strip's running offsets and background colour, the scroll position for a view heading, and the
// running average that camera mounts restart at each shot.
#pragma once

#include <cstdint>

struct CourseSceneData;

struct HorizonTables {
  int32_t offsets[12] = {};  // offset i = widths of pieces 0..i
  int32_t total = 0;
  int32_t pieces = 0;        // pieces that made the table
  uint16_t background565 = 0;
  uint32_t background32 = 0;
  bool backgroundSet = false;
};
extern HorizonTables gHorizon;

void PrepareCourseRenderTables(const CourseSceneData& course);
// The strip's scroll position for a view heading; `startPiece` is the sky's first piece (0..11, else 0). A strip
// of no width scrolls nowhere (0).
int32_t HorizonOffsetForHeading(int32_t heading, int32_t startPiece, int32_t screenWidth);

void BeginViewBlend();
void CancelViewBlend();
void SetViewBlendLength(int32_t n);
void AddViewBlendSample(float v);
float ViewBlendAverage();
bool IsViewBlendOn();
void ViewBlendNoOp();
