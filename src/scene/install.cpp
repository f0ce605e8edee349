#include "scene/install.h"

#include "scene/holedraw3d.h"

#include "framework/core/services.h"
#include "scene/animlist.h"
#include "golf/game.h"
#include "scene/ballcart.h"
#include "scene/golfdraw.h"
#include "scene/golferanim.h"
#include "scene/holedraw.h"
#include "scene/holedraw3d.h"
#include "scene/movieplayer.h"
#include "scene/movingcam.h"
#include "scene/shotanim.h"
#include "scene/golfview.h"
#include "scene/gridoverlay.h"
#include "scene/random.h"
#include "course/scenedata.h"
#include "scene/render3d.h"
#include "scene/skydome.h"
#include "scene/water.h"
#include "scene/texcache.h"

namespace {

class Scene : public SceneProvider {
 public:
  const char* Name() const override { return "3D scene"; }
  int StartRenderSystem(int software, int direct3D) override {
    ::InitDepthBands();
    return ::StartRenderSystem(software, direct3D);
  }
  bool Is3dfx() override { return gRenderStart.backEndKind == 1; }
  void InitDepthBands() override { ::InitDepthBands(); }
  // The hardware display's mode was set: its texture pools are allocated once per mode.
  void SetDefaultRenderStates() override {
    if (!gRenderStart.hardwareActive) return;
    SetUpTextureCache(gRenderStart.backEndKind == 1 || gRenderStart.backEndKind == 7,
                      GraphicsPref(kPrefObjectTextureDepth), GraphicsPref(kPrefTerrainDetail));
    SendDefaultRenderStates(GraphicsPref(kPrefFogDensity));
  }
  void FreeBreakLineBuffer() override { ::FreeBreakLineBuffer(); }
  bool TextureCacheActive() override { return ::TextureCacheActive(); }
  void ResetTextureCache() override { ::ResetTextureCache(); }
  bool DrawGolfView() override {
    if (holeReleased_) return false;
    // The flying camera's frames are the screen's; the golfer's view drawn between them would flicker through.
    if (gRenderStart.hardwareActive && FullScreenCameraOwnsScreen()) return true;
    if (!DrawMainGolfView()) return false;
    // Between shots no animation runs, and the range's cart would be missing from the picture.
    if (!AnyAnimationRunning() && BallCartExists()) {
      UpdateAnimationSurfaces();
      ShowBallCartNow(&MainView);
    }
    return true;
  }
  Image16 GolfViewImage() override { return ::GolfViewImage(); }
  Image16 GolfViewOverlay() override { return ::GolfViewOverlay(); }
  void PrepareHole(uint32_t /*seed*/) override {
    holeReleased_ = false;
    // Tiles are kept under their cells' stamps, the same on every hole: another hole's must not be found.
    ClearTextureCache();
    BuildSkyDome();
    ResetWaterForHole(CurrentHoleScene().header.glint);
    FreeBallCart();
    if (TGame* game = CurrentGame(); game && game->HasBallCart() && LoadBallCart(Facts().dataFolder))
      PlaceBallCart(&MainView);
  }
  void ReleaseHoleScene() override {
    holeReleased_ = true;
    EndShotAnimations();
    FreeGreenCaddieAnimations();
    FreeBallCart();
    FreeSkyDome();
  }
  int PlayMovie(const char* name) override { return PlayMovieFile(name) == 0 ? 1 : 0; }
  bool StartShotAnimations() override { return !holeReleased_ && StartShotAnimationsNow(); }
  int UpdateSceneAnimations(uint32_t now) override {
    UpdateAnimationSurfaces();
    return UpdateAnimationList(now);
  }
  bool AnyAnimationRunning() override { return ::AnyAnimationRunning() != 0; }
  void SetAnimationListMark(int skip) override { ::SetAnimationListMark(skip); }
  void EndShotAnimations() override {
    FullMovingCamera().Finish();
    PipMovingCamera().Finish();
    ActiveMovingCamera = nullptr;
    RemoveAllAnimations();
    HoleFlagAnimated = false;
  }
  int Random15() override { return scene::Random15(); }
  uint32_t Random31() override { return static_cast<uint32_t>(scene::Random31()); }
  // Low byte the up index, next byte the down index.
  void SeedRandom15(uint32_t seed) override {
    RandomUp = static_cast<uint8_t>(seed);
    RandomDown = static_cast<uint8_t>(seed >> 8);
  }

 private:
  bool holeReleased_ = false;  // the game released its hole; the next one is prepared before its first shot
};

Scene gScene;

}  // namespace

void InstallSceneServices() {
  Svc().scene = &gScene;
  PresentSceneAnimations = [] { gScene.DrawGolfView(); };
}
