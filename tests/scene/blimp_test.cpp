// The blimp camera's ball movies: loaded with the scene's movies, placed at the ball, released; a folder without
// all three leaves the camera unloaded and the overhead view without its ball marker.
#include <gtest/gtest.h>

#include <filesystem>

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

}  // namespace
