// The demo course's scene data: palette, surface textures, object images, horizon strip and sky, described by
// course.hnf; the gallery cameras (gallery.inf) and each hole's header file (HOLEnn.HDR).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "holes.h"

namespace mkdemo {

struct CourseScene {
  std::vector<uint8_t> shapes;  // the shape file course.hnf names ("course.fsh")
  std::string description;      // course.hnf
};

// `skyKind` 0-2; a dome is described when the kind is not 0.
CourseScene MakeCourseScene(int skyKind);

// HOLEnn.HDR of a generated hole (target: the centre of pin 0's cell, the mowing stripes on par 4 and 5).
std::string HoleHeaderText(const GeneratedHole& hole, int par, int glint = 0);

// gallery.inf: two cameras a hole, behind the green and beside the landing area.
std::string GalleryText(const std::vector<GeneratedHole>& holes);

}  // namespace mkdemo
