// The hole scene's frame rate: hole 2 of the demo course drawn by the software path and through the Direct3D module
// (drvd3d, read back from its back buffer) from the three cameras at 640 x 480 and 800 x 600 (one core). Frames a
// second = items_per_second. With animations: the golfer's swing and the flag's cloth over the software frame, a
// frame time each picture, and the same through the Direct3D module; the list's idle pass (nothing due); and the
// .mad player showing 640 x 480 frames on a clock that never runs late (frames a second of decoding and showing,
// none dropped). During a shot: the software frame with the picture-in-picture camera's inset drawn over it, the
// Direct3D frame from the full-screen ball camera, and one step of a shot's mount list. The lake through the module,
// reflected in software (no fog) or by the module's mirror (fog).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/services.h"
#include "holeview.h"
#include "movieenc.h"
#include "scene/animlist.h"
#include "scene/cammount.h"
#include "scene/swtri.h"
#include "scene/holedraw.h"
#include "scene/golferanim.h"
#include "scene/movieplayer.h"
#include "scene/shotanim.h"

namespace {

bool LoadOnce() {
  static const bool loaded = [] {
    const std::string folder = (std::filesystem::temp_directory_path() / "teebox_bench_scene_anim").string();
    std::string error;
    const bool ok = holeview::LoadDemoHole(folder, 2, error);
    if (!ok) std::fprintf(stderr, "bench_scene: %s\n", error.c_str());
    return ok;
  }();
  return loaded;
}

void SoftwareHole(benchmark::State& state) {
  if (!LoadOnce()) {
    state.SkipWithError("no demo hole");
    return;
  }
  const int32_t width = static_cast<int32_t>(state.range(0));
  const int camera = static_cast<int>(state.range(1));
  TGolfView view;
  holeview::SetUpView(view, width, width == 800 ? 600 : 480, camera);
  holeview::Picture picture;
  HoleDrawStats stats{};
  for (auto _ : state) {
    stats = holeview::DrawSoftware(view, picture);
    benchmark::DoNotOptimize(picture.pixels.data());
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["quads"] = stats.quads;
  state.counters["objects"] = stats.objects;
}
BENCHMARK(SoftwareHole)->ArgsProduct({{640, 800}, {0, 1, 2}})->ArgNames({"width", "camera"})->Unit(benchmark::kMillisecond);

// The demo hole loaded and the Direct3D module opened at the state's width (640 x 480 or 800 x 600); false (the
// benchmark skipped) otherwise.
bool OpenHoleDirect3D(benchmark::State& state, int32_t width) {
  if (!LoadOnce()) {
    state.SkipWithError("no demo hole");
    return false;
  }
  std::string error;
  if (!holeview::OpenDirect3D(width, width == 800 ? 600 : 480, 0, error)) {
    state.SkipWithError(error.c_str());
    return false;
  }
  return true;
}

// Frames through the open module from one of holeview's cameras; the module is closed after. The last frame's
// figures.
HardwareFrameStats Direct3DFrames(benchmark::State& state, int32_t width, int32_t height, int camera) {
  TGolfView view;
  holeview::SetUpView(view, width, height, camera);
  holeview::Picture picture;
  HardwareFrameStats stats{};
  for (auto _ : state) {
    stats = holeview::DrawDirect3D(view, picture);
    benchmark::DoNotOptimize(picture.pixels.data());
  }
  holeview::CloseDirect3D();
  state.SetItemsProcessed(state.iterations());
  return stats;
}

void Direct3DHole(benchmark::State& state) {
  const int32_t width = static_cast<int32_t>(state.range(0)), height = width == 800 ? 600 : 480;
  const int camera = static_cast<int>(state.range(1));
  if (!OpenHoleDirect3D(state, width)) return;
  const HardwareFrameStats stats = Direct3DFrames(state, width, height, camera);
  state.counters["quads"] = stats.batchedQuads + stats.loneQuads;
  state.counters["sprites"] = stats.sprites;
  state.counters["flushes"] = stats.flushes;
  state.counters["tiles"] = stats.drawnTiles;
  state.counters["composed"] = stats.composedTiles;
  state.counters["stored"] = stats.storedTiles;  // kept composed in memory beyond the pools
}
BENCHMARK(Direct3DHole)->ArgsProduct({{640, 800}, {0, 1, 2}})->ArgNames({"width", "camera"})->Unit(benchmark::kMillisecond);

// The lake through the Direct3D module (hole 2 across its water, loaded as for the hardware display so the water has
// its level): without fog the water in the key colour reflected over the picture read back, with fog 2 the module's
// own mirror of the sky below the water line. The hole is loaded again as before at the end.
void Direct3DLake(benchmark::State& state) {
  const int32_t width = static_cast<int32_t>(state.range(0)), height = width == 800 ? 600 : 480;
  const int fog = static_cast<int>(state.range(1));
  if (!LoadOnce()) return state.SkipWithError("no demo hole");
  const std::string folder = (std::filesystem::temp_directory_path() / "teebox_bench_scene_anim").string();
  std::string error;
  auto load = [&](int hardware) {
    Facts().hardwareDisplay = hardware;
    const bool ok = holeview::LoadDemoHole(folder, 2, error);
    Facts().hardwareDisplay = 0;
    return ok;
  };
  if (!load(1) || !holeview::OpenDirect3D(width, height, fog, error)) {
    load(0);
    return state.SkipWithError(error.c_str());
  }
  const HardwareFrameStats stats = Direct3DFrames(state, width, height, holeview::CameraByName("lake"));
  load(0);
  state.counters["keyed"] = stats.waterMarkers;  // water in the key colour, reflected in software
  state.counters["mirrored"] = stats.mirroredSkyQuads;
}
BENCHMARK(Direct3DLake)->ArgsProduct({{640, 800}, {0, 2}})->ArgNames({"width", "fog"})->Unit(benchmark::kMillisecond);

// The golfer at the camera's focus point and the flag at the pin, drawing into `picture`.
struct Animated {
  TGolferAnimation golfer;
  TFlagAnimation flag;
  bool Start(TGolfView& view, holeview::Picture& picture) {
    LoadSceneMovies("\\DATA");
    SceneMovies& m = Movies();
    if (m.swing[0].frameCount <= 0) return false;
    RemoveAllAnimations();
    CurrentMainView = &view;
    Point(picture);
    if (golfer.PlaceSwing(&m.swing[0], &view, view.focusPoint, m.table[0].impact, 0, m.table[0].figureHeight) != 0)
      return false;
    TShapeMovie* flags[7];
    for (int i = 0; i < 7; ++i) flags[i] = &m.flags[i];
    const Vector3 pin{view.focusPoint.x + 3.0f, view.focusPoint.y + 25.0f, view.focusPoint.z + 2.3f};
    flag.SetWind(flags, &view, pin, 0x2000, 1);
    AddAnimation(1, &golfer, 0, 0, 0);
    AddAnimation(2, &flag, 0, 0, 0);
    return true;
  }
  // The hole drawn once from the tee at `width`, the animations started over it; false (the run skipped) without.
  bool StartOverHole(benchmark::State& state, int32_t width, TGolfView& view, holeview::Picture& picture) {
    if (!LoadOnce()) {
      state.SkipWithError("no demo hole");
      return false;
    }
    holeview::SetUpView(view, width, width == 800 ? 600 : 480, 0);
    holeview::DrawSoftware(view, picture);
    if (!Start(view, picture)) {
      state.SkipWithError("no swing movie");
      return false;
    }
    return true;
  }
  static void Point(holeview::Picture& picture) {
    AnimSurfaces() = AnimationSurfaces{{picture.pixels.data(), picture.width, picture.height, picture.width},
                                       {picture.background.data(), picture.width, picture.height, picture.width},
                                       picture.depth.data()};
  }
  ~Animated() {
    RemoveAllAnimations();
    AnimSurfaces() = AnimationSurfaces{};
  }
};

void SoftwareHoleAnimated(benchmark::State& state) {
  TGolfView view;
  holeview::Picture picture;
  Animated a;
  if (!a.StartOverHole(state, static_cast<int32_t>(state.range(0)), view, picture)) return;
  uint32_t now = 1000;
  int64_t drawn = 0;
  for (auto _ : state) {
    holeview::DrawSoftware(view, picture);
    Animated::Point(picture);
    AnimationList().lastUpdateTime = 0;
    a.golfer.drawn = a.flag.drawn = 0;  // the picture is new: nothing to erase
    UpdateAnimationList(now += 40);
    drawn += a.golfer.drawn + a.flag.drawn;
    if (a.golfer.IsFinished()) a.golfer.frameCounter = 1;
    benchmark::DoNotOptimize(picture.pixels.data());
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["sprites"] = static_cast<double>(drawn) / static_cast<double>(state.iterations());
}
BENCHMARK(SoftwareHoleAnimated)->Arg(640)->Arg(800)->ArgName("width")->Unit(benchmark::kMillisecond);

// The same through the Direct3D module: the list in scene mode, the golfer's and the flag's pictures drawn with the
// hole each frame as sprites, depth-tested by the card.
void Direct3DHoleAnimated(benchmark::State& state) {
  const int32_t width = static_cast<int32_t>(state.range(0)), height = width == 800 ? 600 : 480;
  if (!OpenHoleDirect3D(state, width)) return;
  TGolfView view;
  holeview::SetUpView(view, width, height, 0);
  holeview::Picture picture;
  holeview::DrawSoftware(view, picture);
  {
    Animated a;
    if (!a.Start(view, picture)) {
      state.SkipWithError("no swing movie");
    } else {
      AnimationList().SetSceneMode(1);
      PresentSceneAnimations = [] {};  // each frame below draws the scene
      uint32_t now = 1000;
      int64_t sprites = 0;
      for (auto _ : state) {
        UpdateAnimationList(now += 40);
        const HardwareFrameStats stats = holeview::DrawDirect3D(view, picture);
        sprites += stats.animationSprites;
        if (a.golfer.IsFinished()) a.golfer.frameCounter = 1;
        benchmark::DoNotOptimize(picture.pixels.data());
      }
      state.SetItemsProcessed(state.iterations());
      state.counters["sprites"] = static_cast<double>(sprites) / static_cast<double>(state.iterations());
    }
    AnimationList().SetSceneMode(0);
    PresentSceneAnimations = nullptr;
  }
  holeview::CloseDirect3D();
}
BENCHMARK(Direct3DHoleAnimated)->Arg(640)->Arg(800)->ArgName("width")->Unit(benchmark::kMillisecond);

void IdleAnimationPass(benchmark::State& state) {
  TGolfView view;
  holeview::Picture picture;
  Animated a;
  if (!a.StartOverHole(state, 640, view, picture)) return;
  UpdateAnimationList(1000);  // the first pass draws; the next ones find nothing due
  for (auto _ : state) benchmark::DoNotOptimize(UpdateAnimationList(1001));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(IdleAnimationPass)->Unit(benchmark::kNanosecond);

void MoviePlayer640(benchmark::State& state) {
  constexpr int kWidth = 640, kHeight = 480, kFrames = 30;
  std::vector<std::vector<uint8_t>> frames;
  for (int f = 0; f < kFrames; ++f) {
    std::vector<uint8_t> rgb(static_cast<size_t>(kWidth) * kHeight * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>((i * 7 + static_cast<size_t>(f) * 13) >> 4);
    frames.push_back(std::move(rgb));
  }
  const std::vector<uint8_t> movie = movietools::encodemovie(frames, kWidth, kHeight, 2, 1500);
  std::vector<PixelPair> screen(static_cast<size_t>(kWidth / 2) * kHeight);
  MoviePlayStats stats;
  int64_t shown = 0, dropped = 0;
  for (auto _ : state) {
    size_t at = 0;
    MadChunkReader reader([&](uint8_t* to, size_t count) {
      const size_t n = std::min(count, movie.size() - at);
      std::memcpy(to, movie.data() + at, n);
      at += n;
      return n;
    });
    // The clock moves only by the player's waits: every frame is on time, so all are decoded and shown.
    uint32_t clock = 0;
    MovieOutput out;
    out.show = [&](const PixelPair* frame, int32_t, int32_t, int32_t, int32_t) {
      std::memcpy(screen.data(), frame, screen.size() * sizeof(PixelPair));
    };
    out.clock = [&] { return clock; };
    out.wait = [&](uint32_t ms) { clock += ms; };
    out.abort = [] { return false; };
    if (RunMadPlayer(reader, 0, 0, out, &stats) != 0) state.SkipWithError("movie refused");
    shown += stats.shown;
    dropped += stats.skipped + stats.droppedDroppable + stats.droppedOther;
  }
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(shown), benchmark::Counter::kIsRate);
  state.counters["dropped"] = static_cast<double>(dropped);
}
BENCHMARK(MoviePlayer640)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// A shot of hole 2 from its tee view's focus 150 yards down the view, 30 high at the apex.
void SetUpShot(const TGolfView& tee) {
  CameraShot& shot = CurrentCameraShot();
  shot = CameraShot{};
  shot.rest = tee.focusPoint;
  shot.final = {tee.focusPoint.x - 150.0f * tee.backS, tee.focusPoint.y - 150.0f * tee.backC, tee.focusPoint.z};
  shot.aim = shot.goal = shot.final;
  for (int n = 0; n <= 100; ++n) {
    const float f = n / 100.0f;
    shot.frames.push_back({shot.rest.x + (shot.final.x - shot.rest.x) * f, shot.rest.y + (shot.final.y - shot.rest.y) * f,
                           shot.rest.z + 120.0f * f * (1 - f)});
  }
  shot.ball = shot.rest;
  shot.launchSpeed = 70.0f;
}

void SoftwareHoleWithPip(benchmark::State& state) {
  if (!LoadOnce()) {
    state.SkipWithError("no demo hole");
    return;
  }
  const int32_t width = static_cast<int32_t>(state.range(0)), height = width == 800 ? 600 : 480;
  TGolfView view;
  holeview::SetUpView(view, width, height, 0);
  SetUpShot(view);
  CameraShot& shot = CurrentCameraShot();
  shot.screenWidth = width, shot.screenHeight = height;
  shot.fraction = 0.5f;
  shot.ball = shot.frames[50];
  TGolfView pip = view;
  TBallMount mount;
  mount.kind = kPipBallCam;
  mount.Begin(&pip);
  mount.Update(&pip, 0.5f);
  holeview::Picture picture;
  for (auto _ : state) {
    holeview::DrawSoftware(view, picture);
    const Surface16 inset{picture.pixels.data(), width, pip.viewLeft, pip.viewTop, pip.viewLeft + pip.viewWidth,
                          pip.viewTop + pip.viewHeight};
    const Surface16 depth{picture.depth.data(), width, inset.clipLeft, inset.clipTop, inset.clipRight, inset.clipBottom};
    DrawHoleSoftware(pip, inset, nullptr, &depth);
    benchmark::DoNotOptimize(picture.pixels.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(SoftwareHoleWithPip)->Arg(640)->Arg(800)->ArgName("width")->Unit(benchmark::kMillisecond);

// Through the Direct3D module with the full-screen ball camera: each frame its mount list places the view over the
// flight and the hole is drawn afresh from it.
void Direct3DHoleFullCamera(benchmark::State& state) {
  const int32_t width = static_cast<int32_t>(state.range(0)), height = width == 800 ? 600 : 480;
  if (!OpenHoleDirect3D(state, width)) return;
  TGolfView view;
  holeview::SetUpView(view, width, height, 0);
  SetUpShot(view);
  CameraShot& shot = CurrentCameraShot();
  shot.screenWidth = width, shot.screenHeight = height;
  shot.hardware = true;
  TGolfView camera = view;
  TMountRun run;
  holeview::Picture picture;
  int n = 0;
  for (auto _ : state) {
    if (n == 0) {
      camera = view;
      run.SelectMounts(&camera, kFullBallCam);
      run.endFraction = 1.0f;
    }
    shot.ball = shot.frames[static_cast<size_t>(n)];
    shot.fraction = n / 100.0f;
    shot.now += 40;
    run.Update(&camera, shot.fraction);
    holeview::DrawDirect3D(camera, picture);
    benchmark::DoNotOptimize(picture.pixels.data());
    n = n == 100 ? 0 : n + 1;
  }
  state.SetItemsProcessed(state.iterations());
  holeview::CloseDirect3D();
}
BENCHMARK(Direct3DHoleFullCamera)->Arg(640)->Arg(800)->ArgName("width")->Unit(benchmark::kMillisecond);

// One step of the list (the current mount placing the view, the switch test) over the whole flight, by kind.
void MountListStep(benchmark::State& state) {
  if (!LoadOnce()) {
    state.SkipWithError("no demo hole");
    return;
  }
  TGolfView view;
  holeview::SetUpView(view, 640, 480, 0);
  SetUpShot(view);
  CameraShot& shot = CurrentCameraShot();
  const int kind = static_cast<int>(state.range(0));
  TMountRun run;
  int n = 0;
  for (auto _ : state) {
    if (n == 0) {
      state.PauseTiming();
      run.SelectMounts(&view, kind);
      run.endFraction = 1.0f;
      state.ResumeTiming();
    }
    shot.ball = shot.frames[static_cast<size_t>(n)];
    shot.fraction = n / 100.0f;
    shot.now += 40;
    run.Update(&view, shot.fraction);
    n = n == 100 ? 0 : n + 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(MountListStep)->Arg(22)->Arg(23)->Arg(24)->Arg(26)->Arg(34)->ArgName("kind")->Unit(benchmark::kNanosecond);

}  // namespace

BENCHMARK_MAIN();
