// The game's course and the placement of its main view.
#include <cstring>

#include "course/catalogue.h"
#include "course/terrain.h"
#include "framework/core/services.h"
#include "golf/game.h"

namespace {

// Runs when the current course has changed; nothing more is kept per course here.
void CourseChangedHook(TGame&) {}

}  // namespace

void TGame::SetPlayOrderValue(int index, int slot) {
  if (index < 0 || index >= 4 || slot < 0 || slot >= TPlayerList::kSlots) return;
  state.playOrder[0][index] = static_cast<uint16_t>(slot);
}

void TGame::SetUpView(bool keepCamera, bool redraw) {
  const TPlayer* p = players ? players->GetPlayer(state.currentPlayer) : nullptr;
  GolfViewPlacement v;
  v.viewPoint = p ? p->ball.position : teePosition;
  v.target = GetTargetPoint();
  v.heading = HeadingBetweenPoints(v.viewPoint, v.target);
  v.sideOffset = GetCameraValueA();
  v.backOffset = GetCameraValueB();
  v.keepCamera = keepCamera;
  v.redraw = redraw;
  viewPlacement = v;
  Svc().scene->PlaceGolfView(viewPlacement);
}

int TGame::SetCurrentCourse(int n) {
  CourseRecord record{};
  if (n < 0 || n >= GetCourseCount() || GetCourseInfo(n, &record) != kCourseListOk) return 0;
  courseName = record.folder;
  courseLongName = record.title;
  courseNumber = n;
  courseNotFound = 0;
  CourseChangedHook(*this);
  return 1;
}

int TGame::SetCurrentCourseByName(const char* name) {
  const int n = name ? FindCourseByName(name) : -1;
  if (n < 0) {
    courseNotFound = 1;
    return 0;
  }
  return SetCurrentCourse(n);
}

int TGame::SetDefaultCourse() {
  if (!courseName.empty() && SetCurrentCourseByName(courseName.c_str())) return 1;
  // The remembered course is gone (or none was chosen): the first installed one.
  const std::string remembered = courseName;
  if (SetCurrentCourse(0)) return 1;
  courseName = remembered;
  return 0;
}
