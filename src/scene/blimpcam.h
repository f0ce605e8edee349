// The blimp camera: the ball seen from above, spinning three ways ("drawspin.fsh", "backspin.fsh" and
// "fadespin.fsh"), loaded with the course's animations and placed at the active golfer's ball in the main view.
// It never runs as a camera of its own and never draws; the overhead view borrows its second movie as its ball
// marker while the movies are loaded.
#pragma once

#include "course/vector3.h"
#include "framework/core/paths.h"
#include "framework/core/shapemovie.h"
#include "scene/movieanim.h"

class TGolfView;

class TBlimpCamera {
 public:
  static constexpr int kMovies = 3;
  static const char* const kFiles[kMovies];

  // Opens the three movies from `folder` when not loaded yet; 0, or the error of the first that fails (those
  // opened before it stay open, the camera counts as not loaded).
  int LoadAnimations(PathRecord* folder);
  // Lets the movie animations go of their frames and closes the movies; the camera is no longer loaded.
  void ReleaseAnimations();
  // Places each movie animation at the ball in the camera's view; stops at the first error and returns it.
  int Reset(const Vector3& ball);
  // Takes the view and places the movie animations in it at the ball (errors do not stop it).
  void PlaceAnimations(TGolfView* v, const Vector3& ball);
  // The overhead view's ball marker: the second movie while loaded, else null.
  TShapeMovie* BallMarkerMovie() { return loaded ? &movies[1] : nullptr; }

  bool loaded = false;
  TGolfView* view = nullptr;
  TShapeMovie movies[kMovies];
  TMovieAnimation animations[kMovies];
};

TBlimpCamera& BlimpCamera();

// The overhead view's ball marker: a movie animation of its own over the blimp camera's second ball movie, at the
// active golfer's ball in the main view. The overhead view draws nothing yet; this is what it takes from the blimp.
class TOverheadBallMarker {
 public:
  static constexpr uint32_t kPlacedUser = 0x10000;
  // While the blimp's movies are loaded, places the marker at the ball in the view and returns 0; otherwise the
  // overhead view has no marker (the error of the missing movie).
  int Place(TGolfView* view, const Vector3& ball);
  // No marker; the blimp's movies may close.
  void Drop();
  bool Shown() const { return animation.frameSource != nullptr; }
  TMovieAnimation animation;
};
TOverheadBallMarker& OverheadBallMarker();
