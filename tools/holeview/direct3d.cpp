// The hardware path for holeview, the tests and the measures: the Direct3D module opened through the library's
// loader on a module display window of its own, drawing into its back buffer; the picture is read back from there.
#include <memory>

#include "holeview.h"
#include "platformlib/gfx/moduledisplay.h"
#include "platformlib/gfx/vortel.h"
#include "scene/holedraw3d.h"
#include "scene/render3d.h"
#include "scene/texcache.h"
#include "scene/water.h"

namespace holeview {
namespace {

std::unique_ptr<ModuleDisplayWindow> gDisplay;
int32_t gWidth = 0, gHeight = 0;

}  // namespace

bool OpenDirect3D(int32_t width, int32_t height, int fogLevel, std::string& error) {
  CloseDirect3D();
  gDisplay = std::make_unique<ModuleDisplayWindow>(0, 0, width, height);
  const int32_t mode = vortelmodefor(width, height);
  // On the desktop: the module draws into a back buffer of its own and needs no exclusive display.
  if (setvorteldriver("!drvd3d") != 1 || openhal(0) != 1) {
    error = "the Direct3D module did not open";
    CloseDirect3D();
    return false;
  }
  vortellive.setstate(18, 1);
  if (vortellive.selectdisplay(0) != 1 || vortellive.setvideomode(mode, 2, 0) != 1 || vortellive.window(2) != 1) {
    error = "the Direct3D module set no display mode";
    CloseDirect3D();
    return false;
  }
  gWidth = width, gHeight = height;
  // As the game's hardware display: the Direct3D back end, its texture pools and its default states.
  gRenderStart.backEndKind = 4;
  SetUpTextureCache(false, 0, 0);
  SendDefaultRenderStates(fogLevel);
  return true;
}

void CloseDirect3D() {
  ForgetHardwareHoleTextures();
  // The cache's textures are the module's: they go with it.
  if (vortellive.module) ResetTextureCache();
  if (vortellive.module) {
    if (vortellive.restore) vortellive.restore();
    closehal(0);
  }
  gDisplay.reset();
  if (vortellive.module) VORTEL_closedll();
  gWidth = gHeight = 0;
}

HardwareFrameStats DrawDirect3D(TGolfView& view, Picture& picture) {
  picture.width = view.viewWidth;
  picture.height = view.viewHeight;
  picture.pixels.assign(static_cast<size_t>(picture.width) * picture.height, 0);
  if (!vortellive.module || view.viewWidth > gWidth || view.viewHeight > gHeight) return {};
  vortellive.window(2);
  const HardwareFrameStats stats = DrawHoleHardware(view, &view.focusPoint);
  vortellive.readrect(view.viewLeft, view.viewTop, picture.width, picture.height, picture.pixels.data());
  picture.depth.assign(picture.pixels.size(), 0);
  if (vortellive.window(3) == 1)
    vortellive.readrect(view.viewLeft, view.viewTop, picture.width, picture.height, picture.depth.data());
  MarkLiveDepth(picture.depth);
  vortellive.window(2);
  // The water, drawn in the key colour, reflects what stands above it, as in software.
  if (stats.waterMarkers > 0) {
    const Surface16 s{picture.pixels.data(), picture.width, 0, 0, picture.width, picture.height};
    const Surface16 depth{picture.depth.data(), picture.width, 0, 0, picture.width, picture.height};
    MarkWaterPixels(s, depth);
    DrawWaterReflection(s, depth, 2);
  }
  picture.background = picture.pixels;
  return stats;
}

}  // namespace holeview
