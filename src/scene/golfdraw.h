// The game's main golf view drawn for the round: the main view placed at the active golfer's ball looking at the
// shot's target, drawn whole into the view image, then copied onto the display buffer wherever the overlay image
// leaves the pixel to the scene (bit 15 set). The in-round interface clears bit 15 of the overlay where it draws
// and sets it again when its element goes; the overlay starts with every bit 15 set and is made afresh (all set)
// when the screen size changes.
#pragma once

#include <cstdint>
#include <vector>

#include "course/vector3.h"
#include "framework/core/utils.h"
#include "scene/golfview.h"
#include "scene/swtri.h"

struct GolfViewImages {
  int32_t width = 0, height = 0;
  std::vector<uint16_t> view;     // the scene's picture, 5-6-5
  std::vector<uint16_t> overlay;  // bit 15 set: the scene's pixel
  std::vector<uint16_t> depth;       // software: the scene's depth values, water marked
  std::vector<uint16_t> background;  // software: the picture after the water's reflection, before its animation
};
GolfViewImages& GolfViewBuffers();
// Sizes the images to the screen: a change of size makes them afresh, the overlay all set.
void SizeGolfViewImages(int32_t width, int32_t height);
Image16 GolfViewImage();
Image16 GolfViewOverlay();

// Places `view` at `ball` looking at `target` (the camera behind the ball, away from the target).
void PlaceViewBehind(TGolfView& view, const Vector3& ball, const Vector3& target);

// Where the game's main view stands and looks: the active golfer's ball and the shot's target point. False without
// a game, a loaded hole or an active golfer.
bool MainViewPlacement(Vector3* ball, Vector3* target);

// Copies the view image onto a 16-bit display buffer of the same size where the overlay's bit 15 is set.
void CopyViewThroughOverlay(const GolfViewImages& images, const Image16& display);

// Draws the main view of the game's hole onto the display buffer; false when nothing was drawn. With a hardware
// back end the hole goes through the render module into its back buffer (read back as the view image), the display
// buffer's pixels that the overlay gives the interface are laid over it there, and the page is shown.
bool DrawMainGolfView();

// A moving camera's picture: a full-screen camera's view as the main view (the picture and the animations' clean
// copy both made afresh), or a picture-in-picture inset framed over the main view with the ball marked in it.
// False when nothing was drawn.
bool DrawCameraView(TGolfView& view, bool inset, const Vector3& ball);
// The inset itself: the hole drawn in software from the view into the view's rectangle of `target` (clipped to
// the target's clip rectangle, `depth` alike) with the inset's figures, the ball marked and a white frame round it; false when the
// rectangle is off the target.
bool DrawInsetView(TGolfView& view, const Surface16& target, const Surface16& depth, const Vector3& ball);
// The figures an inset shows besides the hole (the golfer's swing, the flag), set when a shot's animations start.
class TMovieAnimation;
std::vector<TMovieAnimation*>& InsetFigures();
