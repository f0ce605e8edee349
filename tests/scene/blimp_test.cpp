// The blimp camera's ball movies: loaded with the scene's movies, placed at the ball, released; a folder without
// all three leaves the camera unloaded and the overhead view without its ball marker.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "demohole.h"
#include "framework/core/paths.h"
#include "scene/blimpcam.h"
#include "scene/shotanim.h"

namespace {

using BlimpTest = DemoHoleTest;

PathRecord Folder(const char* top, const char* sub) {
  PathRecord p{};
  PathSetDirectory(&p, top);
  if (sub) PathAppend(&p, sub);
  return p;
}

TEST_F(BlimpTest, TheThreeBallMoviesLoadArePlacedAtTheBallAndAreReleased) {
  ASSERT_TRUE(loaded_);
  TBlimpCamera blimp;
  PathRecord anim = Folder("\\DATA", "ANIM");
  ASSERT_EQ(blimp.LoadAnimations(&anim), 0);
  EXPECT_TRUE(blimp.loaded);
  for (const TShapeMovie& m : blimp.movies) EXPECT_EQ(m.frameCount, 8);
  EXPECT_EQ(blimp.BallMarkerMovie(), &blimp.movies[1]);

  TGolfView view;
  holeview::SetUpView(view, 640, 480, 0);
  const Vector3 ball{12.0f, -40.0f, 3.5f};
  blimp.PlaceAnimations(&view, ball);
  EXPECT_EQ(blimp.view, &view);
  for (int i = 0; i < TBlimpCamera::kMovies; ++i) {
    EXPECT_EQ(blimp.animations[i].frameSource, &blimp.movies[i]);
    EXPECT_EQ(blimp.animations[i].world.x, ball.x);
    EXPECT_EQ(blimp.animations[i].world.y, ball.y);
    EXPECT_EQ(blimp.animations[i].world.z, ball.z);
    EXPECT_EQ(blimp.animations[i].userWord, 0x10000u);
  }
  EXPECT_EQ(blimp.Reset(Vector3{1.0f, 2.0f, 3.0f}), 0);
  EXPECT_EQ(blimp.animations[2].world.x, 1.0f);

  blimp.ReleaseAnimations();
  EXPECT_FALSE(blimp.loaded);
  EXPECT_EQ(blimp.BallMarkerMovie(), nullptr);
  for (int i = 0; i < TBlimpCamera::kMovies; ++i) {
    EXPECT_EQ(blimp.movies[i].frameCount, 0);
    EXPECT_EQ(blimp.animations[i].frameSource, nullptr);
  }

  // The scene's movies bring the blimp's with them.
  LoadSceneMovies("\\DATA");
  EXPECT_TRUE(BlimpCamera().loaded);
}

TEST_F(BlimpTest, AFolderWithoutAllThreeMoviesLeavesTheCameraUnloaded) {
  ASSERT_TRUE(loaded_);
  const std::filesystem::path partial = std::filesystem::path(folder_) / "PARTIAL";
  std::filesystem::create_directories(partial);
  std::filesystem::copy_file(std::filesystem::path(folder_) / "DATA" / "ANIM" / "drawspin.fsh", partial / "drawspin.fsh",
                             std::filesystem::copy_options::overwrite_existing);
  TBlimpCamera blimp;
  PathRecord folder = Folder("\\PARTIAL", nullptr);
  EXPECT_NE(blimp.LoadAnimations(&folder), 0);
  EXPECT_FALSE(blimp.loaded);
  EXPECT_EQ(blimp.movies[0].frameCount, 8);  // the one before the missing one stays open
  EXPECT_EQ(blimp.movies[1].frameCount, 0);
  EXPECT_EQ(blimp.BallMarkerMovie(), nullptr);
  // Placing stops at the first movie without frames.
  EXPECT_NE(blimp.Reset(Vector3{}), 0);
  EXPECT_EQ(blimp.animations[0].frameSource, &blimp.movies[0]);
  EXPECT_EQ(blimp.animations[1].frameSource, nullptr);
  EXPECT_EQ(blimp.animations[2].frameSource, nullptr);
}

// A movie animation drawn as another view shows it (a camera's inset): drawn where that view puts it, nothing for a
// view it lies behind, and its own placement left as it was.
TEST_F(BlimpTest, AMovieDrawsInAnotherViewAndKeepsItsOwnPlacement) {
  ASSERT_TRUE(loaded_);
  TBlimpCamera blimp;
  PathRecord anim = Folder("\\DATA", "ANIM");
  ASSERT_EQ(blimp.LoadAnimations(&anim), 0);
  TGolfView own, back, green;
  holeview::SetUpView(own, 640, 480, holeview::CameraByName("tee"));
  holeview::SetUpView(green, 640, 480, holeview::CameraByName("green"));
  back = own;
  back.MoveBack(-20.0f);  // farther behind the point
  TMovieAnimation& a = blimp.animations[1];  // its first frame is white at the centre
  blimp.PlaceAnimations(&own, own.focusPoint);
  const ScreenPixel placed = a.screenPosition;
  const int32_t scale = a.scale;
  std::vector<uint16_t> pixels(640 * 480, 0);
  const AnimationSurfaces s{Image16{pixels.data(), 640, 480, 640}, Image16{nullptr, 0, 0, 0}, nullptr};
  const MARect all{0, 0, 640, 480};

  const MARect r = a.DrawInView(&back, s, all);
  ASSERT_GT(r.right, r.left);
  ScreenPointF expected;
  back.ProjectToScreenFloat(own.focusPoint, &expected);
  EXPECT_LE(r.left, static_cast<int32_t>(expected.x));
  EXPECT_GE(r.right, static_cast<int32_t>(expected.x));
  EXPECT_EQ(pixels[static_cast<size_t>(std::lround(expected.y)) * 640 + static_cast<size_t>(std::lround(expected.x))], 0xF7BE)
      << "the ball's near white at its hot spot";
  EXPECT_EQ(a.view, &own);
  EXPECT_EQ(a.screenPosition.x, placed.x);
  EXPECT_EQ(a.screenPosition.y, placed.y);
  EXPECT_EQ(a.scale, scale);

  // Clipped to the inset's rectangle, and nothing from a view the point lies behind.
  const MARect none = a.DrawInView(&back, s, MARect{0, 0, r.left, 480});
  EXPECT_LE(none.right, none.left);
  const MARect behind = a.DrawInView(&green, s, all);
  EXPECT_LE(behind.right, behind.left);
}

}  // namespace

namespace {

// The overhead view's ball marker plays the blimp's second movie at the ball while the blimp's movies are loaded,
// and goes with them: it never plays a closed movie.
TEST_F(BlimpTest, TheOverheadMarkerPlaysTheSecondBallMovieOnlyWhileItIsLoaded) {
  ASSERT_TRUE(loaded_);
  TGolfView view;
  holeview::SetUpView(view, 640, 480, 0);
  const Vector3 ball{12.0f, -40.0f, 3.5f};
  TOverheadBallMarker& marker = OverheadBallMarker();
  BlimpCamera().ReleaseAnimations();
  EXPECT_NE(marker.Place(&view, ball), 0);
  EXPECT_FALSE(marker.Shown());

  PathRecord anim = Folder("\\DATA", "ANIM");
  ASSERT_EQ(BlimpCamera().LoadAnimations(&anim), 0);
  ASSERT_EQ(marker.Place(&view, ball), 0);
  EXPECT_TRUE(marker.Shown());
  EXPECT_EQ(marker.animation.frameSource, &BlimpCamera().movies[1]);
  EXPECT_EQ(marker.animation.view, &view);
  EXPECT_EQ(marker.animation.world.x, ball.x);
  EXPECT_EQ(marker.animation.world.y, ball.y);
  EXPECT_EQ(marker.animation.userWord, TOverheadBallMarker::kPlacedUser);

  BlimpCamera().ReleaseAnimations();
  EXPECT_FALSE(marker.Shown());
  EXPECT_NE(marker.Place(&view, ball), 0);
  EXPECT_FALSE(marker.Shown());
}

}  // namespace
