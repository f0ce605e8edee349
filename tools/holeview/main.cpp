// holeview: hole 2 of the demo course (or another) drawn by the 3D scene.
//   holeview [--data DIR] [--hole N] [--camera tee|fairway|green|lake] [--software|--d3d] [--res 640|800]
//            [--shot file.tga] [--frames N] [--water-steps N] [--grid off|square|circle|lines|gradient]
//            [--fog 0-3] [--play [--shots N] [--main-view N] [--pip-view M] [--air-frame N]]
//            [--range [--cart-shots PREFIX]]
// With a display it shows the hole in a window: arrows turn and move the camera, 1-3 choose the cameras,
// Escape ends; the water moves 30 times a second. --frames N draws N frames and ends (timing on standard output);
// --water-steps N then runs N steps of the water's animation (33 ms apart); --shot writes the last frame. --grid draws
// that grid over the ground for a golfer at the camera's focus, putting at the pin. --fog sets the hardware path's
// fog density level (0 none). --play: a computer golfer plays the hole from the tee, shot after shot (at most N,
// 8 by default), each shot's animations shown; one line a shot on standard output, and --shot writes a frame of the
// first shot with the ball in the air (the --air-frame'th, 10 by default). --main-view and --pip-view set the
// golfer's Main view (0-9) and PIP (0-11) choices, whose cameras then follow each shot (full-screen cameras need
// --d3d; the inset is drawn in software). --range plays the driving range instead: its ball cart drives across
// it and every shot from the tee is timed to strike it, the third blowing it up; --cart-shots writes PREFIX-drive.tga,
// PREFIX-hit.tga and PREFIX-blast.tga (the cart driving, just struck, blowing up).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/core/services.h"
#include "holeview.h"
#include "winapi/testing.h"
#ifdef HOLEVIEW_SDL
#include <SDL.h>
#endif

namespace {

// The hole played; with a display each frame is shown in a window (Escape ends).
int Play(TGolfView& view, holeview::Picture& picture, bool d3d, int shots, const std::string& shotFile,
         uint32_t viewChoices, int airFrame, bool range, const std::string& cartShots) {
  bool written = shotFile.empty();
  // The range's pictures: the cart after a while of driving, the frame it is struck, a few frames into its blast.
  int driveFrames = 0, blastFrames = 0, lastHit = 0;
  bool driveWritten = cartShots.empty(), blastWritten = cartShots.empty();
  const auto cartPictures = [&](const holeview::PlayedShot& s, const holeview::Picture& p) {
    if (cartShots.empty()) return;
    if (!driveWritten && s.cartDrawn && !s.cartExploding && ++driveFrames == 25)
      driveWritten = holeview::WriteTga(p, cartShots + "-drive.tga");
    if (s.cartHit > lastHit) {
      lastHit = s.cartHit;
      if (lastHit == 1) holeview::WriteTga(p, cartShots + "-hit.tga");
    }
    if (!blastWritten && s.cartExploding && ++blastFrames == 5) blastWritten = holeview::WriteTga(p, cartShots + "-blast.tga");
  };
#ifdef HOLEVIEW_SDL
  SDL_Window* window = nullptr;
  SDL_Surface* screen = nullptr;
  SDL_Surface* frame = nullptr;
  if (std::getenv("DISPLAY") && SDL_Init(SDL_INIT_VIDEO) == 0) {
    window = SDL_CreateWindow("holeview", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, view.viewWidth,
                              view.viewHeight, 0);
    screen = window ? SDL_GetWindowSurface(window) : nullptr;
    frame = screen ? SDL_CreateRGBSurfaceWithFormat(0, view.viewWidth, view.viewHeight, 16, SDL_PIXELFORMAT_RGB565)
                   : nullptr;
  }
#endif
  const auto shown = [&](int shot, const holeview::PlayedShot& s, const holeview::Picture& p) {
    // A frame a little into the first flight, the ball well clear of the golfer.
    if (!written && shot == 0 && s.inAir && s.airFrames == airFrame) written = holeview::WriteTga(p, shotFile);
    cartPictures(s, p);
#ifdef HOLEVIEW_SDL
    if (frame) {
      SDL_Event e;
      while (SDL_PollEvent(&e))
        if (e.type == SDL_QUIT || (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE)) return false;
      SDL_LockSurface(frame);
      for (int y = 0; y < p.height; ++y)
        std::memcpy(static_cast<uint8_t*>(frame->pixels) + static_cast<size_t>(y) * frame->pitch,
                    p.pixels.data() + static_cast<size_t>(y) * p.width, static_cast<size_t>(p.width) * 2);
      SDL_UnlockSurface(frame);
      SDL_BlitSurface(frame, nullptr, screen, nullptr);
      SDL_UpdateWindowSurface(window);
      SDL_Delay(40);
    }
#endif
    return true;
  };
  const std::vector<holeview::PlayedShot> played =
      holeview::PlayHole(view, picture, d3d, shots, shown, viewChoices, range);
#ifdef HOLEVIEW_SDL
  if (frame) SDL_FreeSurface(frame);
  if (window) SDL_DestroyWindow(window);
  if (window) SDL_Quit();
#endif
  if (d3d) holeview::CloseDirect3D();
  int n = 0;
  for (const holeview::PlayedShot& s : played)
    std::printf("shot %d: %s from (%.1f, %.1f) to (%.1f, %.1f), lie %d%s; %d recorded steps, %d frames%s%s\n", ++n,
                s.putt ? "putt" : "swing", s.from.x, s.from.y, s.rest.x, s.rest.y, s.restLie & 0x0F,
                s.holed ? ", holed" : "", s.recordedFrames, s.drawnFrames, s.golferSeen ? ", golfer seen" : "",
                s.ballFlew ? ", ball in the air" : "");
  if (range)
    for (size_t i = 0; i < played.size(); ++i)
      std::printf("cart after shot %zu: %s%s\n", i + 1,
                  played[i].cartHit ? ("hit " + std::to_string(played[i].cartHit)).c_str() : "missed",
                  played[i].cartBlownUp ? ", blew up" : "");
  for (const holeview::PlayedShot& s : played) {
    if (s.camera.empty()) continue;
    std::string mounts;
    for (const std::string& m : s.mounts) mounts += (mounts.empty() ? "" : " ") + m;
    std::printf("camera %s: %d steps, eye moved %.0f, %d inset frames; mounts %s\n", s.camera.c_str(), s.cameraSteps,
                s.cameraMoved, s.insetFrames, mounts.c_str());
  }
  if (!written) {
    std::fprintf(stderr, "holeview: no frame with the ball in the air to write to %s\n", shotFile.c_str());
    return 1;
  }
  return played.empty() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string data = "holeview-demo", camera = "tee", shot;
  int hole = 2, width = 640, frames = -1, waterSteps = 0, grid = 0, fog = 0, shots = 8;
  int mainView = 0, pipView = 0, airFrame = 10;
  bool d3d = false, play = false, range = false;
  std::string cartShots;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
    if (a == "--data") data = next();
    else if (a == "--hole") hole = std::atoi(next().c_str());
    else if (a == "--camera") camera = next();
    else if (a == "--software") d3d = false;
    else if (a == "--d3d") d3d = true;
    else if (a == "--res") width = std::atoi(next().c_str()) >= 800 ? 800 : 640;
    else if (a == "--shot") shot = next();
    else if (a == "--frames") frames = std::atoi(next().c_str());
    else if (a == "--water-steps") waterSteps = std::atoi(next().c_str());
    else if (a == "--grid") grid = holeview::GridModeByName(next());
    else if (a == "--fog") fog = std::clamp(std::atoi(next().c_str()), 0, 3);
    else if (a == "--play") play = true;
    else if (a == "--range") range = play = true;
    else if (a == "--cart-shots") cartShots = next();
    else if (a == "--shots") shots = std::max(1, std::atoi(next().c_str()));
    else if (a == "--air-frame") airFrame = std::max(1, std::atoi(next().c_str()));
    else if (a == "--main-view") mainView = std::atoi(next().c_str());
    else if (a == "--pip-view") pipView = std::atoi(next().c_str());
    else {
      std::fprintf(stderr, "holeview: unknown argument %s\n", a.c_str());
      return 2;
    }
  }
  if (mainView < 0 || mainView > 9 || pipView < 0 || pipView > 11) {
    std::fprintf(stderr, "holeview: Main view 0 to 9, PIP 0 to 11\n");
    return 2;
  }
  if (grid < 0) {
    std::fprintf(stderr, "holeview: grid off, square, circle, lines or gradient\n");
    return 2;
  }
  const int cameraIndex = holeview::CameraByName(camera);
  if (cameraIndex < 0 || hole < 1 || hole > 18) {
    std::fprintf(stderr, "holeview: camera tee, fairway, green or lake; hole 1 to 18\n");
    return 2;
  }
  std::string error;
  // The hole's water level is worked out at load for the hardware display.
  Facts().hardwareDisplay = d3d ? 1 : 0;
  if (range ? !holeview::LoadDemoRange(data, error) : !holeview::LoadDemoHole(data, hole, error)) {
    std::fprintf(stderr, "holeview: %s\n", error.c_str());
    return 1;
  }
  const int height = width == 800 ? 600 : 480;
  TGolfView view;
  holeview::SetUpView(view, width, height, cameraIndex);
  holeview::Picture picture;
  HoleDrawStats stats{};
  if (d3d) {
    // The module's display stays out of sight; what it draws is shown here.
    setenv("WINAPI_HOST", "headless", 1);
    if (!holeview::OpenDirect3D(width, height, fog, error)) {
      std::fprintf(stderr, "holeview: %s\n", error.c_str());
      return 1;
    }
  }
  if (range) {
    // A hit counts once in ten seconds of the clock, which runs here a frame time a frame.
    winapi::testing::UseVirtualClock(true, 1);
  }
  if (play) return Play(view, picture, d3d, shots, shot, static_cast<uint32_t>(pipView) << 12 | static_cast<uint32_t>(mainView) << 16,
                        airFrame, range, cartShots);
  auto draw = [&] {
    if (!d3d) {
      stats = holeview::DrawSoftware(view, picture);
      holeview::DrawGrid(view, picture, static_cast<uint32_t>(grid));
      return;
    }
    const HardwareFrameStats h = holeview::DrawDirect3D(view, picture);
    holeview::DrawGrid(view, picture, static_cast<uint32_t>(grid));
    stats.quads = h.batchedQuads + h.loneQuads + h.tiles;
    stats.objects = h.sprites;
    stats.skipped = h.skipped;
    stats.tiles = h.drawnTiles;
    stats.shadows = h.drawnShadows;
  };

  bool windowed = false;
#ifdef HOLEVIEW_SDL
  SDL_Window* window = nullptr;
  SDL_Surface* screen = nullptr;
  if (frames < 0 && std::getenv("DISPLAY") && SDL_Init(SDL_INIT_VIDEO) == 0) {
    window = SDL_CreateWindow("holeview", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, 0);
    screen = window ? SDL_GetWindowSurface(window) : nullptr;
    windowed = screen != nullptr;
  }
  if (windowed) {
    SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormat(0, width, height, 16, SDL_PIXELFORMAT_RGB565);
    bool running = true;
    while (running) {
      SDL_Event e;
      while (SDL_PollEvent(&e)) {
        if (e.type == SDL_QUIT) running = false;
        if (e.type != SDL_KEYDOWN) continue;
        switch (e.key.keysym.sym) {
          case SDLK_ESCAPE: running = false; break;
          case SDLK_LEFT: view.TurnBy(-1024); break;
          case SDLK_RIGHT: view.TurnBy(1024); break;
          case SDLK_UP: view.MoveBack(-3.0f); break;
          case SDLK_DOWN: view.MoveBack(3.0f); break;
          case SDLK_1: case SDLK_2: case SDLK_3:
            holeview::SetUpView(view, width, height, e.key.keysym.sym - SDLK_1);
            break;
          default: break;
        }
      }
      draw();
      holeview::StepWater(picture, SDL_GetTicks());
      SDL_LockSurface(frame);
      for (int y = 0; y < height; ++y)
        std::memcpy(static_cast<uint8_t*>(frame->pixels) + static_cast<size_t>(y) * frame->pitch,
                    picture.pixels.data() + static_cast<size_t>(y) * width, static_cast<size_t>(width) * 2);
      SDL_UnlockSurface(frame);
      SDL_BlitSurface(frame, nullptr, screen, nullptr);
      SDL_UpdateWindowSurface(window);
      SDL_Delay(15);
    }
    SDL_FreeSurface(frame);
    SDL_DestroyWindow(window);
    SDL_Quit();
  }
#endif
  if (!windowed) {
    const int count = frames < 1 ? 1 : frames;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) draw();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d frames, %.2f ms a frame, %d quads, %d objects, %d tiles, %d shadows\n", count,
                seconds * 1000.0 / count, stats.quads, stats.objects, stats.tiles, stats.shadows);
    for (int i = 0; i < waterSteps; ++i) holeview::StepWater(picture, 1000u + 33u * static_cast<uint32_t>(i));
  }
  if (d3d) holeview::CloseDirect3D();
  if (!shot.empty() && !holeview::WriteTga(picture, shot)) {
    std::fprintf(stderr, "holeview: cannot write %s\n", shot.c_str());
    return 1;
  }
  return 0;
}
