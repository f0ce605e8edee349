#include "scene/blimpcam.h"

const char* const TBlimpCamera::kFiles[kMovies] = {"drawspin.fsh", "backspin.fsh", "fadespin.fsh"};

namespace {
constexpr uint32_t kPlacedUser = 0x10000;
}  // namespace

TBlimpCamera& BlimpCamera() {
  static TBlimpCamera camera;
  return camera;
}

int TBlimpCamera::LoadAnimations(PathRecord* folder) {
  if (loaded) return 0;
  for (int i = 0; i < kMovies; ++i)
    if (const int error = movies[i].Open(folder, nullptr, kFiles[i])) return error;
  loaded = true;
  return 0;
}

void TBlimpCamera::ReleaseAnimations() {
  if (!loaded) return;
  // The overhead's marker plays the second movie: it goes before the movie closes.
  if (this == &BlimpCamera()) OverheadBallMarker().Drop();
  for (int i = 0; i < kMovies; ++i) {
    animations[i].ReleaseFrames();
    animations[i].frameSource = nullptr;
    movies[i].Close();
  }
  loaded = false;
}

int TBlimpCamera::Reset(const Vector3& ball) {
  for (int i = 0; i < kMovies; ++i)
    if (const int error = animations[i].Place(&movies[i], kPlacedUser, view, ball.x, ball.y, ball.z)) return error;
  return 0;
}

void TBlimpCamera::PlaceAnimations(TGolfView* v, const Vector3& ball) {
  view = v;
  for (int i = 0; i < kMovies; ++i) animations[i].Place(&movies[i], kPlacedUser, view, ball.x, ball.y, ball.z);
}

TOverheadBallMarker& OverheadBallMarker() {
  static TOverheadBallMarker marker;
  return marker;
}

int TOverheadBallMarker::Place(TGolfView* view, const Vector3& ball) {
  TShapeMovie* movie = BlimpCamera().BallMarkerMovie();
  if (!movie) {
    Drop();
    return TShapeMovie::kNoFile;
  }
  const int error = animation.Place(movie, kPlacedUser, view, ball.x, ball.y, ball.z);
  if (error) Drop();
  return error;
}

void TOverheadBallMarker::Drop() {
  animation.ReleaseFrames();
  animation.frameSource = nullptr;
}
