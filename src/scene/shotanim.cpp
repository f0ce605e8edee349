#include "scene/shotanim.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "course/scenedata.h"
#include "course/terrain.h"
#include "framework/core/paths.h"
#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "golf/game.h"
#include "golf/launch.h"
#include "golf/player.h"
#include "platformlib/gfx/windowdesc.h"
#include "scene/ballanim.h"
#include "scene/ballcart.h"
#include "scene/blimpcam.h"
#include "scene/golfdraw.h"
#include "scene/golferanim.h"
#include "scene/gridoverlay.h"
#include "scene/holedraw.h"
#include "scene/movingcam.h"
#include "scene/random.h"
#include "scene/render3d.h"
#include "windows.h"

namespace {

SceneMovies gMovies;
Vector3 gShotFrom{};  // where the round's last shot was played from
TFlagAnimation gFlag;
TSimpleAnimation gGround[3];

const char* const kFlagFiles[7] = {"flagsoft.fsh", "flaghn.fsh", "flaghe.fsh", "flaghs.fsh",
                                   "flaghw.fsh",   "flaghne.fsh", "flaghnw.fsh"};
const char* const kGroundFiles[3] = {"divot.fsh", "sand.fsh", "splash.fsh"};

struct GolferScene {
  TBallAnimation ball;
  TGolferAnimation swing;
};

GolferScene& SceneOf(TPlayer& golfer) {
  if (!golfer.sceneAttachment) golfer.sceneAttachment = std::make_shared<GolferScene>();
  return *static_cast<GolferScene*>(golfer.sceneAttachment.get());
}

Image16 WindowImage(ImageRecord* record) {
  WindowDesc* w = record ? record->window : nullptr;
  if (!w || w->depth != 16 || !w->pixels) return Image16{nullptr, 0, 0, 0};
  return Image16{reinterpret_cast<uint16_t*>(w->pixels), w->width, w->height, w->rowbytes / 2};
}

void StartGround(int kind, const Vector3& at) {
  if (kind < 0 || kind > 2 || gMovies.ground[kind].frameCount <= 0) return;
  TSimpleAnimation& a = gGround[kind];
  RemoveAnimation(&a);
  if (a.Start(&gMovies.ground[kind], kind, CurrentMainView, at, false) == 0) AddAnimation(2, &a, 1, 1, 0);
}

int WindClass(int speed) { return speed <= 0 ? 0 : speed < 10 ? 1 : 2; }

bool ReadWholeFile(const PathRecord& folder, const char* name, std::vector<char>* out) {
  char full[MAX_PATH];
  if (!PathJoin(&folder, name, full, sizeof full)) return false;
  // Through the system's files: the installation's paths are the game's own.
  HANDLE h = CreateFileA(full, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  char buffer[4096];
  DWORD n = 0;
  const bool read = ReadFile(h, buffer, sizeof buffer, &n, nullptr) != 0;
  CloseHandle(h);
  if (!read) return false;
  out->assign(buffer, buffer + n);
  return true;
}

}  // namespace

bool ParseSwingTable(const char* text, size_t length, SwingTableRow rows[2]) {
  int found = 0;
  size_t i = 0;
  while (i < length && found < 2) {
    size_t end = i;
    while (end < length && text[end] != '\n') ++end;
    std::string line(text + i, std::min<size_t>(end - i, 200));
    i = end + 1;
    if (line.empty() || line[0] == '#') continue;
    char movie[64] = {};
    int impact = 0, hold = 0;
    double height = 0.0;
    if (std::sscanf(line.c_str(), "%63s %d %d %lf", movie, &impact, &hold, &height) != 4) continue;
    if (impact < 1 || impact > 10000 || hold < 0 || hold > 10000 || !(height > 0.0 && height < 10000.0)) continue;
    rows[found].movie = movie;
    rows[found].impact = impact;
    rows[found].hold = hold;
    rows[found].figureHeight = static_cast<int32_t>(height * 65536.0);
    ++found;
  }
  return found == 2;
}

SceneMovies& Movies() { return gMovies; }

void LoadSceneMovies(const char* dataFolder) {
  if (!dataFolder || !*dataFolder || gMovies.loadedFrom == dataFolder) return;
  gMovies.loadedFrom = dataFolder;
  PathRecord anim{}, golfer{};
  PathSetDirectory(&anim, dataFolder);
  golfer = anim;
  PathAppend(&anim, "ANIM");
  PathAppend(&golfer, "GOLFER");
  for (int i = 0; i < 7; ++i) gMovies.flags[i].Open(&anim, nullptr, kFlagFiles[i]);
  for (int i = 0; i < 3; ++i) gMovies.ground[i].Open(&anim, nullptr, kGroundFiles[i]);
  BlimpCamera().ReleaseAnimations();
  if (BlimpCamera().LoadAnimations(&anim) != 0) WriteLogLine("Scene: the blimp's ball movies are missing");
  std::vector<char> table;
  SwingTableRow rows[2];
  if (ReadWholeFile(golfer, "G01SWING.TAB", &table) && ParseSwingTable(table.data(), table.size(), rows)) {
    for (int i = 0; i < 2; ++i) {
      gMovies.table[i] = rows[i];
      gMovies.swing[i].Open(&golfer, nullptr, rows[i].movie.c_str());
    }
  }
}

TBallAnimation& GolferBall(TPlayer& golfer) { return SceneOf(golfer).ball; }
TGolferAnimation& GolferSwing(TPlayer& golfer) { return SceneOf(golfer).swing; }

void UpdateAnimationSurfaces() {
  AnimationSurfaces& s = AnimSurfaces();
  s.screen = WindowImage(DrawnImage());
  s.background = WindowImage(RoleImage(kRoleErase));
  const GolfViewImages& v = GolfViewBuffers();
  const bool depth = !gRenderStart.hardwareActive && s.screen.pixels && v.width == s.screen.width &&
                     v.height == s.screen.height && s.screen.pitch == v.width && !v.depth.empty();
  s.depth = depth ? v.depth.data() : nullptr;
}

namespace {

bool OnGreen(const Vector3& p) {
  const uint8_t s = GetTerrainSurface(p.x, p.y) & 0xF0;
  return s == 0x70 || s == 0xB0;
}

}  // namespace

TMountedMovingCamera* StartShotCamera(const ShotCameraStart& start) {
  CameraShot& shot = CurrentCameraShot();
  shot = CameraShot{};
  uint32_t time = 0, duration = 0;
  float p[3];
  uint8_t event[kBallEventBytes] = {};
  bool holed = false;
  for (int n = 0; Svc().round && Svc().round->ShotReplayFrame(n, &time, p, event); ++n) {
    shot.frames.push_back({p[0], p[1], p[2]});
    duration = time;
    shot.lastEventByte4 = event[kBallFlagWater] || event[kBallFlagOutOfBounds];
    holed = holed || event[kBallFlagHoled] != 0;
  }
  if (shot.frames.size() < 2 || !start.ball) return nullptr;
  const Vector3 from = start.from;
  shot.rest = from;
  shot.final = shot.frames.back();
  shot.ball = from;
  shot.aim = start.aim;
  shot.goal = start.goal;
  shot.launchSpeed = start.launchSpeed;
  shot.ballOnGreen = OnGreen(from);
  shot.putter = start.putter;
  shot.special = start.special;
  shot.hardware = start.hardware;
  shot.screenWidth = start.screenWidth;
  shot.screenHeight = start.screenHeight;
  shot.savedRandom = RandomUp;
  shot.viewChoices = start.viewChoices;
  shot.dynamicCamera = (shot.viewChoices & 0x1000000) != 0;
  // The ball drops (the pop-up springs up) only when it is holed: a ball that stops by the hole passes near it
  // too, but the pop-up then waits for a drop that never comes.
  float holedAt = 2.0f;
  if (!holed || !FindBallCamTarget(&holedAt)) holedAt = 2.0f;
  const float length = duration > 0 ? static_cast<float>(duration) : 1.0f;
  TBallAnimation* b = start.ball;
  CameraShotSampler = [b, length, holedAt](uint32_t now) {
    CameraShot& s = CurrentCameraShot();
    s.ball = b->ball.position;
    if (b->playing && b->replayStart != 0) s.fraction = std::min(static_cast<float>(now - b->replayStart) / length, 1.0f);
    else if (b->landed || b->replayStart != 0) s.fraction = 1.0f;
    if (s.fraction >= holedAt) s.golferState = 7;
  };
  CameraViewPainter = [](TMountedMovingCamera& camera) {
    if (!camera.pip) {
      // The full-screen camera is the main view: the ball, the golfer and the flag are drawn in it.
      MainView = camera.camView;
      CurrentMainView = &MainView;
    }
    // The inset shows once the ball is on its way.
    if (camera.pip && CurrentCameraShot().fraction <= 0.015f) return;
    DrawCameraView(camera.camView, camera.pip, CurrentCameraShot().ball);
  };
  ChooseCameraForShot();
  TMountedMovingCamera* camera = ActiveMovingCamera;
  if (!camera) return nullptr;
  AddAnimation(0, camera, 0, 0, 0);
  char line[96];
  std::snprintf(line, sizeof line, "Camera: %s for the shot (%d mounts)", CameraKindName(camera->kind),
                camera->run.list ? camera->run.list->initialCount : 0);
  WriteLogLine(line);
  return camera;
}

namespace {

// The round's shot camera: the golfer's shot as the round has it.
void StartRoundShotCamera(TGame& game, TPlayer& golfer, TBallAnimation& ball, const Vector3& from) {
  ShotCameraStart start;
  start.from = from;
  start.aim = ShotAimPoint;
  start.goal = game.GetTargetPoint();
  start.launchSpeed = BallLaunchSpeed;
  start.putter = golfer.currentClub == kPutter;
  start.special = golfer.IsSpecialGolfer();
  start.hardware = gRenderStart.hardwareActive != 0;
  start.screenWidth = GolfViewBuffers().width > 0 ? GolfViewBuffers().width : Facts().screenWidth;
  start.screenHeight = GolfViewBuffers().height > 0 ? GolfViewBuffers().height : Facts().screenHeight;
  const TPlayer* local = game.GetLocalPlayer();
  start.viewChoices = (local ? local : &golfer)->viewChoices;
  start.ball = &ball;
  StartShotCamera(start);
}

}  // namespace

bool StartShotAnimationsNow() {
  TGame* game = CurrentGame();
  if (!game || !game->players || CurrentTerrain().width < 2) return false;
  const int slot = ActiveGolferRecord ? game->players->SlotOf(ActiveGolferRecord) : TPlayerList::kSlots;
  TPlayer* golfer = game->players->GetPlayer(slot < TPlayerList::kSlots ? slot : game->state.currentPlayer);
  if (!golfer) return false;
  UpdateAnimationSurfaces();
  if (!AnimSurfaces().screen.pixels || !AnimSurfaces().background.pixels) return false;
  float p[3];
  uint8_t event[kBallEventBytes];
  bool ended = false;
  if (!Svc().round->SampleShotReplay(0, p, event, &ended)) return false;
  LoadSceneMovies(Facts().dataFolder);

  // The flag on the pin where the hole draws it (the target is the middle of the pin's cell), on the ground.
  const ObjectType& pin = CurrentCourseScene().objectTypes[kPinObjectType];
  Vector3 pinBase = game->GetTargetPoint();
  PinGroundPoint(&pinBase);
  pinBase.z = GetTerrainHeight(pinBase.x, pinBase.y);
  Vector3 pinTop = pinBase;
  pinTop.z += pin.present ? static_cast<float>(pin.worldHeight) / 65536.0f : 2.3f;
  GolferScene& scene = SceneOf(*golfer);
  ShotAnimationStart start;
  start.view = &MainView;
  start.from = Vector3{p[0], p[1], p[2]};
  start.lie = event[0];
  start.putt = golfer->shotType == kShotTypePutt;
  start.shotType = golfer->shotType;
  start.onCharge = golfer->GetAnimationFlag();
  start.golferSlot = slot < TPlayerList::kSlots ? slot : 0;
  start.pinTop = pinTop;
  start.caddie = game->ShowsGreenCaddie();
  start.pin = pinBase;
  start.windHeading = game->windHeading;
  start.windSpeed = game->windSpeed;
  start.ball = &scene.ball;
  start.swing = &scene.swing;
  const TPlayer* local = game->GetLocalPlayer();
  start.overheadShown = ((local ? local : golfer)->viewChoices & kViewOverheadBit) != 0;
  StartShotAnimations(start);
  StartBallCart(&MainView, CartBallSource{&scene.ball, golfer}, Svc().round->ReplayingShot());
  StartRoundShotCamera(*game, *golfer, scene.ball, start.from);
  gShotFrom = start.from;
  return true;
}

bool ShotAnimationsFrom(Vector3* from) {
  if (!AnyAnimationRunning()) return false;
  *from = gShotFrom;
  return true;
}

void StartShotAnimations(const ShotAnimationStart& start) {
  const Vector3 from = start.from;
  RemoveAllAnimations();
  InsetFigures().clear();
  SetAnimationListMark(0);
  RestartAnimationClock();
  StartGroundMovieAt = StartGround;
  TGolfView* view = start.view;
  CurrentMainView = view;

  // The flag on the pin, its cloth by the wind across the view.
  TShapeMovie* flags[7];
  for (int i = 0; i < 7; ++i) flags[i] = &gMovies.flags[i];
  if (gFlag.SetWind(flags, view, start.pinTop, start.windHeading, WindClass(start.windSpeed)) == 0) {
    AddAnimation(2, &gFlag, 0, 0, 0);
    HoleFlagAnimated = true;
    InsetFigures().push_back(&gFlag);
  }

  // On the green the caddie attends the pin (its front, the one direction the sets are drawn for).
  if (start.caddie && OnPuttingSurface(start.lie) && !gMovies.loadedFrom.empty())
    if (TGreenCaddieAnimation* caddie = CreateGreenCaddie(gMovies.loadedFrom.c_str(), view, 0, false, false, start.pin))
      AddAnimation(2, caddie, 0, 0, 0);

  const bool putt = start.putt;
  TBallAnimation& ball = *start.ball;
  ball.ResetBall();
  BallStateReset(&ball.ball);
  ball.ball.position = from;
  ball.ball.lie = start.lie;
  ball.golfer = start.golferSlot;
  ball.putter = putt;
  ball.shotType = start.shotType;
  ball.longStreak = start.onCharge ? 1 : 0;
  ball.view = view;
  ball.hidden = 0;
  // The blimp's ball movies follow the ball the view is given (they never draw); the overhead view shown takes
  // the second as its marker.
  BlimpCamera().PlaceAnimations(view, from);
  if (start.overheadShown) OverheadBallMarker().Place(view, from);
  else OverheadBallMarker().Drop();

  // A full swing off the fairway or the rough takes a divot, shown from the impact on.
  TSimpleAnimation* divot = nullptr;
  const uint8_t lie = start.lie & 0x0F;
  if (!putt && (lie == 1 || lie == 3 || lie == 4) && gMovies.ground[0].frameCount > 0 &&
      gGround[0].Start(&gMovies.ground[0], 0, view, from, true) == 0 && AddAnimation(2, &gGround[0], 0, 0, 1) == 0)
    divot = &gGround[0];

  TGolferAnimation& swing = *start.swing;
  const SwingTableRow& row = gMovies.table[putt ? 1 : 0];
  TShapeMovie* movie = &gMovies.swing[putt ? 1 : 0];
  TBallAnimation* ballPtr = &ball;
  const auto startBall = [ballPtr, from](uint32_t now) {
    ballPtr->StartShot(now, from);
    AddAnimation(2, ballPtr, 0, 0, 0);
  };
  swing.onImpact = startBall;
  swing.ballAnimation = &ball;
  swing.groundAnimation = divot;
  if (movie->frameCount > 0 && swing.PlaceSwing(movie, view, from, row.impact, row.hold, row.figureHeight) == 0) {
    AddAnimation(1, &swing, 0, 0, 0);
    InsetFigures().push_back(&swing);
  } else {
    // No golfer to swing: the ball leaves at once.
    startBall(0);
  }
}
