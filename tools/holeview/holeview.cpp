#include "holeview.h"

#include <filesystem>
#include <fstream>

#include "course/catalogue.h"
#include "course/courseload.h"
#include "course/scenedata.h"
#include "course/terrain.h"
#include "demo.h"
#include "framework/core/memmgr.h"
#include "framework/core/services.h"
#include "golf/ballstate.h"
#include "golf/gridmode.h"
#include "golf/playerinfo.h"
#include "scene/gridoverlay.h"
#include "scene/horizon.h"
#include "scene/skydome.h"
#include "scene/water.h"
#include "winapi/testing.h"

namespace holeview {

namespace {

bool OpenCourseList(const std::string& folder, std::string& error) {
  if (!std::filesystem::exists(folder + "/DATA/COURSES/SEDGEFEN")) {
    if (!mkdemo::MakeDemoInstallation(folder, {}, error)) return false;
  }
  winapi::testing::MapDrive('C', folder);
  SetCourseListRoots("C:\\", "");
  if (CreateCourseList() != kCourseListOk || BuildCourseList() != kCourseListOk) {
    error = "no course list in " + folder;
    return false;
  }
  return true;
}

bool LoadHoleOf(const CourseRecord& record, int hole, std::string& error) {
  if (LoadCourse(record, &error) != kCourseLoadOk) return false;
  if (LoadCourseHole(hole - 1) != 0) {
    error = "hole " + std::to_string(hole) + " did not load";
    return false;
  }
  gHorizon = HorizonTables{};
  PrepareCourseRenderTables(CurrentCourseScene());
  InitDepthBands();
  ResetWaterForHole(CurrentHoleScene().header.glint);
  return true;
}

}  // namespace

bool LoadDemoHole(const std::string& folder, int hole, std::string& error) {
  if (!OpenCourseList(folder, error)) return false;
  CourseRecord record{};
  if (GetCourseInfo(FindCourseByName("SEDGEFEN"), &record) != 0) {
    error = "SEDGEFEN is not installed in " + folder;
    return false;
  }
  return LoadHoleOf(record, hole, error);
}

bool LoadDemoRange(const std::string& folder, std::string& error) {
  if (!OpenCourseList(folder, error)) return false;
  const CourseRecord* range = GetDrivingRangeRecord();
  if (!range) {
    error = "no driving range is installed in " + folder;
    return false;
  }
  return LoadHoleOf(*range, 1, error);
}

int CameraByName(const std::string& name) {
  if (name == "tee") return 0;
  if (name == "fairway") return 1;
  if (name == "green") return 2;
  if (name == "lake") return 3;
  return -1;
}

void SetUpView(TGolfView& view, int32_t width, int32_t height, int camera) {
  Facts().screenWidth = width;
  Facts().screenHeight = height;
  Facts().sizeSetting = width >= 800 ? 1 : 0;
  const int32_t rect[4] = {0, 0, width, height};
  view.SetViewport(rect, nullptr, 0, 1);
  PlaceHoleCamera(view, camera);
  // The dome's panels follow the screen's width.
  BuildSkyDome();
}

HoleDrawStats DrawSoftware(TGolfView& view, Picture& picture) {
  picture.width = view.viewWidth;
  picture.height = view.viewHeight;
  picture.pixels.assign(static_cast<size_t>(picture.width) * picture.height, 0);
  picture.depth.assign(picture.pixels.size(), 0);
  Surface16 s{picture.pixels.data(), picture.width, 0, 0, picture.width, picture.height};
  Surface16 depth{picture.depth.data(), picture.width, 0, 0, picture.width, picture.height};
  const HoleDrawStats stats = DrawHoleSoftware(view, s, &view.focusPoint, &depth);
  DrawWaterReflection(s, depth, 2);
  picture.background = picture.pixels;
  return stats;
}

bool StepWater(Picture& p, uint32_t now) {
  if (p.depth.size() != p.pixels.size() || p.background.size() != p.pixels.size()) return false;
  const WaterPages pages{{p.pixels.data(), p.width, 0, 0, p.width, p.height},
                         {p.depth.data(), p.width, 0, 0, p.width, p.height},
                         {p.background.data(), p.width, 0, 0, p.width, p.height}};
  return StepWaterAnimation(now, pages, {});
}

int GridModeByName(const std::string& name) {
  if (name == "off") return static_cast<int>(kGridOff);
  if (name == "square") return static_cast<int>(kGridSquare);
  if (name == "circle") return static_cast<int>(kGridCircular);
  if (name == "lines") return static_cast<int>(kGridPuttingLines);
  if (name == "gradient") return static_cast<int>(kGridGradient);
  return -1;
}

void DrawGrid(const TGolfView& view, Picture& p, uint32_t mode) {
  if (p.depth.size() != p.pixels.size()) return;
  static playerInfo_s golfer;
  golfer.SetClub(kPutter);
  Vector3 ball = view.focusPoint;
  ball.z = GetTerrainHeight(ball.x, ball.y);
  BallPlaceAt(&golfer.ball, ball);
  ActiveGolferRecord = &golfer;
  Vector3 pin;
  if (!PinGroundPoint(&pin)) return;
  const GridPictures pictures{{p.pixels.data(), p.width, 0, 0, p.width, p.height},
                              {p.depth.data(), p.width, 0, 0, p.width, p.height}};
  DrawGridOverlay(view, pictures, mode, pin, &pin, false);
}

bool WriteTga(const Picture& p, const std::string& path) {
  std::vector<uint8_t> out(18, 0);
  out[2] = 2;  // uncompressed true colour
  out[12] = static_cast<uint8_t>(p.width), out[13] = static_cast<uint8_t>(p.width >> 8);
  out[14] = static_cast<uint8_t>(p.height), out[15] = static_cast<uint8_t>(p.height >> 8);
  out[16] = 24;
  out[17] = 0x20;  // top row first
  out.reserve(out.size() + p.pixels.size() * 3);
  for (uint16_t c : p.pixels) {
    const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    out.push_back(static_cast<uint8_t>(b * 8 + b / 4));
    out.push_back(static_cast<uint8_t>(g * 4 + g / 16));
    out.push_back(static_cast<uint8_t>(r * 8 + r / 4));
  }
  const std::string temporary = path + ".part";
  {
    std::ofstream f(temporary, std::ios::binary);
    if (!f.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()))) return false;
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  return !ec;
}

}  // namespace holeview
