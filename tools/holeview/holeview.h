// What holeview does, for the program and for tests: a demo installation's course loaded, one hole drawn from a
// named camera into a 16-bit picture, and pictures written as TGA.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scene/golfview.h"
#include "scene/holedraw.h"

namespace holeview {

struct Picture {
  int32_t width = 0, height = 0;
  std::vector<uint16_t> pixels;  // 5-6-5
};

// Makes (when `folder` has none) and loads the demo installation in `folder` as drive C, then hole `hole` (1-18)
// of SEDGEFEN. False with the reason.
bool LoadDemoHole(const std::string& folder, int hole, std::string& error);
// Camera by name: "tee", "fairway", "green" (-1 for others).
int CameraByName(const std::string& name);
// Sets up a full-screen view of the given width (640 or 800) at camera 0-2.
void SetUpView(TGolfView& view, int32_t width, int32_t height, int camera);
HoleDrawStats DrawSoftware(TGolfView& view, Picture& picture);
bool WriteTga(const Picture& picture, const std::string& path);

}  // namespace holeview
