// What holeview does, for the program and for tests: a demo installation's course loaded, one hole drawn from a
// named camera into a 16-bit picture, and pictures written as TGA.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "scene/golfview.h"
#include "scene/holedraw.h"
#include "scene/holedraw3d.h"

namespace holeview {

struct Picture {
  int32_t width = 0, height = 0;
  std::vector<uint16_t> pixels;  // 5-6-5
  std::vector<uint16_t> depth;       // the depth values (water marked; hardware: the depth buffer's, in the same scale)
  std::vector<uint16_t> background;  // software: the picture after the water's reflection, before its animation
};

// Makes (when `folder` has none) and loads the demo installation in `folder` as drive C, then hole `hole` (1-18)
// of SEDGEFEN. False with the reason.
bool LoadDemoHole(const std::string& folder, int hole, std::string& error);
// The same for the installation's driving range (its one hole).
bool LoadDemoRange(const std::string& folder, std::string& error);
// Camera by name: "tee", "fairway", "green" (-1 for others).
int CameraByName(const std::string& name);
// Sets up a full-screen view of the given width (640 or 800) at camera 0-2.
void SetUpView(TGolfView& view, int32_t width, int32_t height, int camera);
// The software draw with its depth values and the water's reflection.
HoleDrawStats DrawSoftware(TGolfView& view, Picture& picture);
// One water animation step at `now` (milliseconds) over a software picture; false when none was due.
bool StepWater(Picture& picture, uint32_t now);
bool WriteTga(const Picture& picture, const std::string& path);

// Grid by name: "square", "circle", "lines", "gradient" (0 for "off", -1 for others).
int GridModeByName(const std::string& name);
// The grid of `mode` over a picture, for a golfer whose ball lies at the view's focus and holds the putter, the shot
// aimed at the pin.
void DrawGrid(const TGolfView& view, Picture& picture, uint32_t mode);

// The hardware path: the Direct3D module opened at a display of width x height (640 x 480 or 800 x 600), the view
// drawn through it and read back; false with the reason when the module cannot be opened. `fogLevel`: the "Fog
// Density" level 0-3 its states are set with.
bool OpenDirect3D(int32_t width, int32_t height, int fogLevel, std::string& error);
void CloseDirect3D();
HardwareFrameStats DrawDirect3D(TGolfView& view, Picture& picture);

// --play: a computer golfer plays the loaded hole from the view's focus (the tee camera's), shot after shot, each
// shot's animations played back over the hole in 40 ms frames, in software or (d3d) through the open module.
struct PlayedShot {
  Vector3 from{}, rest{};
  uint8_t restLie = 0;
  bool putt = false, holed = false;
  int recordedFrames = 0;  // steps of the recorded flight
  int drawnFrames = 0;
  bool golferSeen = false, ballFlew = false;
  bool caddieSeen = false;  // the green caddie stood in the view
  bool inAir = false;  // in the frame just drawn
  int airFrames = 0;   // frames drawn with the ball in the air so far
  int sprites = 0;  // d3d: the most animation pictures drawn in one frame
  // The shot's moving camera (with view options): its kind, the kinds of the mounts it ran through in order, its
  // steps, how far its eye moved over the ground, and the frames an inset was drawn.
  std::string camera;
  std::vector<std::string> mounts;
  int cameraSteps = 0, insetFrames = 0;
  float cameraMoved = 0.0f;
  float viewMoved = 0.0f;  // how far the eye of the main view drawn moved over the ground from the shot's start
  // The range: the ball cart's count of hits when this shot's ball struck it (0: it did not), whether it blew up,
  // and in the frame just drawn whether it was drawn and whether its explosion plays.
  int cartHit = 0;
  bool cartBlownUp = false, cartDrawn = false, cartExploding = false;
};
// Called after each drawn frame; false ends the play.
using FrameShown = std::function<bool(int shot, const PlayedShot& sofar, const Picture& picture)>;
// `viewChoices`: the golfer's Display choices (PIP bits 12-15, Main view bits 16-19) whose cameras follow each
// shot; 0 none. `range`: the loaded hole is the driving range; its ball cart drives across it and each shot, played
// from the tee, is timed and aimed to meet the cart, seen from a view between the tee and the cart's line.
std::vector<PlayedShot> PlayHole(TGolfView& view, Picture& picture, bool d3d, int maxShots, const FrameShown& shown,
                                 uint32_t viewChoices = 0, bool range = false);

}  // namespace holeview
