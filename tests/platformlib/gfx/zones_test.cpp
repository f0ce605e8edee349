#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <utility>
#include <vector>

#include "gfxfixture.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/gfx/videowin.h"

namespace {

std::vector<std::vector<int32_t>>& Erased() {
  static std::vector<std::vector<int32_t>> clips;
  return clips;
}
void RecordErase() {
  Erased().push_back({CurrentWindow.minx, CurrentWindow.miny, CurrentWindow.maxx, CurrentWindow.maxy});
}

// The pixels covered by a list of zones, clipped to a small area; also counts pixels covered twice.
std::set<std::pair<int, int>> Cover(const Zone* zones, int n, int* twice = nullptr) {
  std::set<std::pair<int, int>> cells;
  for (int i = 0; i < n; ++i)
    for (int y = std::max(zones[i].y1, -1); y <= std::min(zones[i].y2, 60); ++y)
      for (int x = std::max(zones[i].x1, -1); x <= std::min(zones[i].x2, 60); ++x)
        if (!cells.insert({x, y}).second && twice) ++*twice;
  return cells;
}

}  // namespace

class Zones : public GfxTest {
 protected:
  void SetUp() override {
    GfxTest::SetUp();
    Erased().clear();
    window_ = Make(50, 40, 8);
    ASSERT_EQ(setwindow(window_), 1);
  }
  void TearDown() override {
    zonefree();
    GfxTest::TearDown();
  }
  // Starts with the two initial full erases done and both frames empty.
  void Settle() {
    zoneflip();
    zoneflip();
    zoneflip();
    Erased().clear();
  }
  WindowDesc* window_ = nullptr;
};

TEST_F(Zones, NothingWorksBeforeInit) {
  zonenew();
  zoneadd(1, 1);
  zoneflip();
  EXPECT_TRUE(AbortedWith("zonenew - ZONE MANAGER NOT INITIALIZED.  MUST CALL zoneinit().\n"));
  EXPECT_TRUE(AbortedWith("zoneadd - ZONE MANAGER NOT INITIALIZED.  MUST CALL zoneinit().\n"));
  EXPECT_TRUE(AbortedWith("zoneflip - ZONE MANAGER NOT INITIALIZED.  MUST CALL zoneinit().\n"));
}

TEST_F(Zones, FirstTwoFlipsEraseTheWholeClipThenOnlyTheZonesDrawn) {
  zoneinit(10, RecordErase);
  EXPECT_EQ(zoneerasesdue(), 2);
  ASSERT_EQ(zonecount(), 2);  // an empty zone and one over everything
  zoneaddrect(5, 6, 3, 2);
  zoneflip();
  zoneaddrect(5, 6, 3, 2);
  zoneflip();
  EXPECT_EQ(Erased(), (std::vector<std::vector<int32_t>>{{0, 0, 50, 40}, {0, 0, 50, 40}}));
  zoneaddrect(5, 6, 3, 2);
  zoneaddrect(40, 30, 100, 100);
  zoneflip();
  ASSERT_EQ(Erased().size(), 4u);
  EXPECT_EQ(Erased()[2], (std::vector<int32_t>{5, 6, 8, 8}));
  EXPECT_EQ(Erased()[3], (std::vector<int32_t>{40, 30, 50, 40}));  // kept inside the window
  EXPECT_EQ(CurrentWindow.maxx, 50);                                 // the clip comes back
  zoneflip();
  EXPECT_EQ(Erased().size(), 4u);  // nothing drawn, nothing erased
}

TEST_F(Zones, DefaultEraseClearsToBlack) {
  zoneinit(4, nullptr);
  Settle();
  fillrect(0, 0, 50, 40, 9);
  zoneaddrect(2, 3, 4, 5);
  zoneflip();
  EXPECT_EQ(readpixel(2, 3), 0u);
  EXPECT_EQ(readpixel(5, 7), 0u);
  EXPECT_EQ(readpixel(6, 7), 9u);
  EXPECT_EQ(readpixel(5, 8), 9u);
}

TEST_F(Zones, IdenticalZonesMergeIntoOne) {
  zoneinit(8, RecordErase);
  Settle();
  zoneaddrect(10, 10, 5, 5);
  zoneaddrect(10, 10, 5, 5);
  const Zone* merged = nullptr;
  ASSERT_EQ(zonemerge(&merged), 1);
  EXPECT_EQ(merged[0].x1, 10);
  EXPECT_EQ(merged[0].y2, 14);
}

TEST_F(Zones, OverlapIsSplitIntoDisjointPartsCoveringTheUnion) {
  zoneinit(16, RecordErase);
  Settle();
  zoneaddrect(10, 10, 10, 10);  // previous frame
  zoneflip();
  zoneaddrect(5, 5, 30, 30);  // covers it on every side
  const Zone* merged = nullptr;
  const int n = zonemerge(&merged);
  EXPECT_GE(n, 2);
  EXPECT_LE(n, 5);  // the first zone plus at most four parts around it
  int twice = 0;
  const auto cells = Cover(merged, n, &twice);
  EXPECT_EQ(twice, 0);
  EXPECT_EQ(cells.size(), 30u * 30u);
}

TEST_F(Zones, CrossingZonesCoverTheirUnion) {
  zoneinit(16, RecordErase);
  Settle();
  zoneaddrect(0, 20, 50, 4);
  zoneaddrect(20, 0, 4, 50);
  zoneaddrect(18, 18, 10, 10);
  const Zone* merged = nullptr;
  const int n = zonemerge(&merged);
  int twice = 0;
  const auto cells = Cover(merged, n, &twice);
  EXPECT_EQ(twice, 0);
  std::set<std::pair<int, int>> expected;
  const Zone* drawn = zonelist();
  for (const auto& c : Cover(drawn, zonecount())) expected.insert(c);
  EXPECT_EQ(cells, expected);
}

TEST_F(Zones, ACrowdedFrameNeverWritesPastItsLists) {
  zoneinit(4, RecordErase);
  Settle();
  for (int i = 0; i < 50; ++i) zoneaddrect(i, i % 7, 1, 1);
  EXPECT_EQ(zonecount(), 1);  // once full, the frame stays one zone over everything
  EXPECT_EQ(zonelist()[0].x1, INT_MIN);
  zoneadd(-3, -3);
  // Everything that was drawn is still covered.
  const Zone* merged = nullptr;
  const int n = zonemerge(&merged);
  ASSERT_GE(n, 1);
  const auto cells = Cover(merged, n);
  for (int i = 0; i < 50; ++i) EXPECT_TRUE(cells.count({i, i % 7})) << i;
  zoneflip();
  EXPECT_FALSE(Erased().empty());
}

TEST_F(Zones, MergeListOverflowFallsBackToTheBoundingRectangle) {
  zoneinit(3, RecordErase);
  Settle();
  zoneaddrect(0, 10, 40, 2);
  zoneaddrect(10, 0, 2, 40);
  zoneaddrect(30, 0, 2, 40);  // the crossings need more pieces than the list holds
  const Zone* merged = nullptr;
  const int n = zonemerge(&merged);
  ASSERT_LE(n, 3);
  const auto cells = Cover(merged, n);
  for (int x = 0; x < 40; ++x) EXPECT_TRUE(cells.count({x, 10}));
  for (int y = 0; y < 40; ++y) EXPECT_TRUE(cells.count({31, y}));
}

TEST_F(Zones, HugeRectanglesDoNotWrap) {
  zoneinit(4, RecordErase);
  Settle();
  zoneaddrect(10, 10, INT_MAX, INT_MAX);
  ASSERT_EQ(zonecount(), 1);
  EXPECT_EQ(zonelist()[0].x2, INT_MAX);
  EXPECT_EQ(zonelist()[0].y2, INT_MAX);
  zoneflip();
  EXPECT_EQ(Erased().back(), (std::vector<int32_t>{10, 10, 50, 40}));
}

TEST_F(Zones, FlipCopiesMergedZonesFromTheBackPageToTheDisplay) {
  gfxstate().depth = 8;
  void* front = gfxhooks().makesurface(50, 40, 8, 0);
  void* back = gfxhooks().makesurface(50, 40, 8, 0);
  GfxMemSurface* f = gfxmemsurface(front);
  GfxMemSurface* b = gfxmemsurface(back);
  makevideowindow(50, 40, f->pitch, 8, -1, f->bits, front);
  makevideowindow(50, 40, b->pitch, 8, -2, b->bits, back);
  ASSERT_EQ(setwindow(&SecondPage), 1);
  zoneinit(8, RecordErase);
  Settle();
  fillrect(0, 0, 50, 40, 3);
  zoneaddrect(4, 4, 2, 2);
  zoneflip();
  EXPECT_EQ(f->bits[4 * f->pitch + 4], 3);
  EXPECT_EQ(f->bits[5 * f->pitch + 5], 3);
  EXPECT_EQ(f->bits[6 * f->pitch + 6], 0);
  EXPECT_EQ(f->bits[0], 0);
  EXPECT_EQ(DisplayWindow.maxx, 50);  // the display's clip comes back
  EXPECT_EQ(CurrentWindow.surface, back);
  releasewindow();
  removevideowindow(&DisplayWindow);
  removevideowindow(&SecondPage);
  gfxhooks().releasesurface(front);
  gfxhooks().releasesurface(back);
}

TEST_F(Zones, RandomFramesAreCoveredWithinCapacity) {
  uint32_t seed = 99;
  auto next = [&seed](int n) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(n));
  };
  zoneinit(12, RecordErase);
  Settle();
  std::vector<Zone> previous;
  for (int frame = 0; frame < 200; ++frame) {
    std::vector<Zone> drawn;
    const int count = next(16);  // sometimes more than the capacity
    for (int i = 0; i < count; ++i) {
      const int x = next(50) - 5, y = next(50) - 5, w = 1 + next(20), h = 1 + next(20);
      zoneaddrect(x, y, w, h);
      drawn.push_back({x, y, x + w - 1, y + h - 1});
    }
    ASSERT_LE(zonecount(), 12);
    const Zone* merged = nullptr;
    const int n = zonemerge(&merged);
    ASSERT_LE(n, 12);
    const auto cells = Cover(merged, n);
    for (const std::vector<Zone>* list : {&previous, &drawn})
      for (const Zone& z : *list)
        for (const auto& c : Cover(&z, 1)) ASSERT_TRUE(cells.count(c)) << "frame " << frame;
    zoneflip();
    previous = drawn;
  }
}
