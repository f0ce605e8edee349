// Graphic records: loading from shape files, locking, unpacking through the shared cache, and drawing.
#include "framework/core/gfxrecord.h"

#include <cstring>

#include "framework/core/errors.h"
#include "framework/core/objectimage.h"
#include "framework/core/services.h"
#include "support/shapefixture.h"
#include "support/testwindows.h"
#include "support/drive_fixture.h"

namespace {

shapetools::Image Picture8(int w, int h, uint8_t pack = 0) {
  shapetools::Image image;
  image.type = 0x7B;
  image.width = w;
  image.height = h;
  image.centrex = 2;
  image.centrey = 1;
  image.posx = 5;
  image.posy = -3;
  image.pack = pack;
  for (int i = 0; i < w * h; ++i) image.pixels.push_back(static_cast<uint32_t>((i * 37 + 11) % 255 + 1));
  return image;
}

// A 256-entry triple palette: written as a 24-bit row of 256 pixels whose type File() turns into 0x24.
shapetools::Image Palette() {
  shapetools::Image pal;
  pal.type = 0x7F;
  pal.width = 256;
  pal.height = 1;
  for (uint32_t i = 0; i < 256; ++i) pal.pixels.push_back(i * 0x010101u);
  return pal;
}

class GfxTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    StartDrawing();
    winapi::testing::TakeMessageBoxes();
    ResetServices();
    folder_ = PathRecord{};
    std::snprintf(folder_.label, sizeof folder_.label, "HARDDISK");
    std::snprintf(folder_.drive, sizeof folder_.drive, "c:");
    PathSetDirectory(&folder_, "|DATA");
    SharedUnpackCache = 0;
    GfxUnpackAllocations = 0;
  }
  void TearDown() override {
    GfxFree(&record_);
    if (SharedUnpackCache) MemFreeHandle(SharedUnpackCache);
    SharedUnpackCache = 0;
    windows_.RemoveAll();
    GfxFreeScratch();
    abortfilterhook = nullptr;
    DriveTest::TearDown();
  }
  void File(const char* name, const std::vector<std::pair<std::string, shapetools::Image>>& shapes) {
    std::vector<uint8_t> bytes = shapetools::shapefile(shapes);
    for (size_t i = 0; i < shapes.size(); ++i)
      if (shapes[i].first == "!pal") bytes[shaperead32(bytes.data() + 16 + 8 * i + 4)] = 0x24;
    HostFile(std::string("c/DATA/") + name, std::string(bytes.begin(), bytes.end()));
  }
  WindowDesc* Window(int w, int h, int depth) { return windows_.Make(w, h, depth); }
  static uint32_t Px(WindowDesc* w, int x, int y) { return TestWindows::Px(w, x, y); }
  static int Painted(WindowDesc* w) { return TestWindows::Painted(w); }
  PathRecord folder_;
  GraphicRecord record_{};
  TestWindows windows_;
};

TEST_F(GfxTest, LoadsPictureWithPaletteBehindIt) {
  shapetools::Image picture = Picture8(6, 4);
  File("p.shp", {{"!pal", Palette()}, {"grfx", picture}});
  ASSERT_EQ(GfxLoad(&record_, &folder_, "p.shp", 0, 0), ERR_NONE);
  EXPECT_EQ(record_.type, 1);
  EXPECT_EQ(record_.depth, 8);
  EXPECT_EQ(record_.width, 6);
  EXPECT_EQ(record_.height, 4);
  EXPECT_EQ(record_.hotx, 2);
  EXPECT_EQ(record_.hoty, 1);
  EXPECT_EQ(record_.posx, 5);
  EXPECT_EQ(record_.posy, -3);
  EXPECT_EQ(record_.storage, 0);
  EXPECT_EQ(MemHandleSize(record_.pixelHandle), 16u + 24u + 16u + 768u);
  ASSERT_EQ(GfxLock(&record_), ERR_NONE);
  ASSERT_NE(record_.shape, nullptr);
  EXPECT_EQ(record_.palette, record_.shape + 16 + 24);
  EXPECT_EQ(record_.palette[0], 0x24);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(record_.shape[16 + i], picture.pixels[i]);
  GfxUnlock(&record_);
  EXPECT_EQ(record_.shape, nullptr);
  EXPECT_EQ(MemLockCount(record_.pixelHandle), 0);
}

TEST_F(GfxTest, SixteenBitPictureTakesNoPalette) {
  shapetools::Image picture;
  picture.type = 0x78;
  picture.width = 3;
  picture.height = 2;
  picture.pixels = {1, 2, 3, 4, 5, 6};
  File("p.shp", {{"grfx", picture}, {"!pal", Palette()}});
  ASSERT_EQ(GfxLoad(&record_, &folder_, "p.shp", 0, 0), ERR_NONE);
  EXPECT_EQ(record_.depth, 16);
  EXPECT_EQ(MemHandleSize(record_.pixelHandle), 16u + 12u);
  ASSERT_EQ(GfxLock(&record_), ERR_NONE);
  EXPECT_EQ(record_.palette, nullptr);
  EXPECT_EQ(shapenext(record_.shape), 0);
  GfxUnlock(&record_);
}

TEST_F(GfxTest, PositionFlagBitIsMovedInTheStoredCopy) {
  File("p.shp", {{"grfx", Picture8(2, 2)}});
  std::string bytes = HostRead("c/DATA/p.shp");
  // The one shape's header starts behind the 16-byte file header and one directory entry.
  const size_t header = static_cast<uint8_t>(bytes[16 + 4]) | (static_cast<uint8_t>(bytes[16 + 5]) << 8);
  bytes[header + 13] = static_cast<char>(bytes[header + 13] | 0x40);
  HostFile("c/DATA/p.shp", bytes);
  ASSERT_EQ(GfxLoad(&record_, &folder_, "p.shp", 0, 0), ERR_NONE);
  EXPECT_EQ(record_.headerflags, 1);
  EXPECT_EQ(record_.posx, 5);
  ASSERT_EQ(GfxLock(&record_), ERR_NONE);
  EXPECT_EQ(record_.shape[13] & 0xC0, 0x80);
  GfxUnlock(&record_);
}

TEST_F(GfxTest, MissingDamagedOrWithoutPicture) {
  const int live = MemLiveHandles();
  EXPECT_EQ(GfxLoad(&record_, &folder_, "none.shp", 0, 0), ERR_FILENOTFOUND);
  File("other.shp", {{"logo", Picture8(2, 2)}});
  EXPECT_EQ(GfxLoad(&record_, &folder_, "other.shp", 0, 0), ERR_UNKNOWN);
  EXPECT_EQ(record_.pixelHandle, 0);
  // A file cut short, and one whose directory points outside it.
  File("cut.shp", {{"grfx", Picture8(40, 40)}});
  std::string bytes = HostRead("c/DATA/cut.shp");
  HostFile("c/DATA/cut.shp", bytes.substr(0, bytes.size() / 2));
  EXPECT_EQ(GfxLoad(&record_, &folder_, "cut.shp", 0, 0), ERR_FILENOTFOUND);
  bytes[16 + 4] = '\x7F';
  bytes[16 + 5] = '\x7F';
  HostFile("c/DATA/bad.shp", bytes);
  EXPECT_EQ(GfxLoad(&record_, &folder_, "bad.shp", 0, 0), ERR_FILENOTFOUND);
  EXPECT_EQ(MemLiveHandles(), live);
}

TEST_F(GfxTest, PackedPictureOfUnknownExtentIsError12) {
  File("p.shp", {{"aaaa", Picture8(2, 2)}, {"grfx", Picture8(4, 4, 0x4A)}});
  std::string bytes = HostRead("c/DATA/p.shp");
  auto* base = reinterpret_cast<uint8_t*>(bytes.data());
  const int32_t first = static_cast<int32_t>(shaperead32(base + 16 + 4));
  const int32_t picture = static_cast<int32_t>(shaperead32(base + 16 + 8 + 4));
  // The packed picture links back to the other shape: its data has no bound the loader can tell.
  shapesetnext(base + picture, first - picture);
  HostFile("c/DATA/p.shp", bytes);
  winapi::testing::TakeMessageBoxes();
  const int live = MemLiveHandles();
  EXPECT_EQ(GfxLoad(&record_, &folder_, "p.shp", 0, 0), ERR_DEPTHNOTSUPPORTED);
  EXPECT_EQ(record_.pixelHandle, 0);
  EXPECT_EQ(MemLiveHandles(), live);
  EXPECT_EQ(winapi::testing::TakeMessageBoxes().size(), 1u);
}

TEST_F(GfxTest, PackedPictureUnpacksWithPaletteDirectlyBehind) {
  shapetools::Image picture = Picture8(8, 5, 0x10);
  picture.records.push_back(shapetools::Clut{0x2A, std::vector<uint32_t>(16, 0xFF102030u)});
  File("p.shp", {{"grfx", picture}});
  ASSERT_EQ(GfxLoad(&record_, &folder_, "p.shp", 0, 0), ERR_NONE);
  EXPECT_EQ(record_.storage, 4);
  ASSERT_EQ(GfxUnpack(&record_, 0), ERR_NONE);
  ASSERT_NE(record_.unpackHandle, 0);
  ASSERT_EQ(GfxLock(&record_), ERR_NONE);
  EXPECT_EQ(record_.shape[0], 0x7B);
  for (int i = 0; i < 40; ++i) ASSERT_EQ(record_.shape[16 + i], picture.pixels[i]);
  EXPECT_EQ(shapenext(record_.shape), 16 + 40);
  EXPECT_EQ(record_.palette, record_.shape + 56);
  EXPECT_EQ(record_.palette[0], 0x2A);
  GfxUnlock(&record_);

  GraphicRecord now{};
  ASSERT_EQ(GfxLoad(&now, &folder_, "p.shp", kGfxUnpackNow, 0), ERR_NONE);
  EXPECT_EQ(now.storage, 0);
  EXPECT_EQ(now.unpackHandle, 0);
  ASSERT_EQ(GfxLock(&now), ERR_NONE);
  EXPECT_EQ(now.shape[0] & kShapePacked, 0);
  for (int i = 0; i < 40; ++i) ASSERT_EQ(now.shape[16 + i], picture.pixels[i]);
  GfxUnlock(&now);
  GfxFree(&now);
}

TEST_F(GfxTest, ClippedDrawReportsWhatItCovered) {
  File("p.shp", {{"grfx", Picture8(6, 4)}});
  ASSERT_EQ(GfxLoad(&record_, &folder_, "p.shp", 0, 0), ERR_NONE);
  WindowDesc* w = Window(20, 10, 8);
  GfxRect covered{};
  // Wholly outside the clip: nothing.
  const GfxRect clip{10, 0, 20, 10};
  EXPECT_EQ(GfxDrawClipped(&record_, w, 3, 3, &covered, &clip), 0);
  EXPECT_EQ(covered.left, -1);
  EXPECT_EQ(covered.top, -1);
  EXPECT_EQ(covered.right, -1);
  EXPECT_EQ(covered.bottom, -1);
  EXPECT_EQ(Painted(w), 0);
  // Half inside: hot spot (2, 1) puts the picture at 8..14 x 2..6.
  EXPECT_EQ(GfxDrawClipped(&record_, w, 10, 3, &covered, &clip), 0);
  EXPECT_EQ(covered.left, 10);
  EXPECT_EQ(covered.top, 2);
  EXPECT_EQ(covered.right, 14);
  EXPECT_EQ(covered.bottom, 6);
  EXPECT_EQ(Painted(w), 16);
  EXPECT_EQ(Px(w, 10, 2), static_cast<uint32_t>((2 * 37 + 11) % 255 + 1));
  // The window's own clip is whole again afterwards.
  EXPECT_EQ(w->minx, 0);
  EXPECT_EQ(w->maxx, 20);
  // Hot-spot and scaled draws are for loaded graphics only.
  record_.type = 2;
  WindowDesc* other = Window(20, 10, 8);
  GfxDrawAtHotSpot(&record_, other, 5, 5);
  GfxDrawScaled(&record_, other, GfxRect{0, 0, 10, 10});
  EXPECT_EQ(Painted(other), 0);
  record_.type = 1;
  GfxDrawAtHotSpot(&record_, other, 2, 1);
  EXPECT_EQ(Painted(other), 24);
}

TEST_F(GfxTest, ScaledClippedDrawScalesTheHotSpot) {
  File("p.shp", {{"grfx", Picture8(6, 4)}});
  ASSERT_EQ(GfxLoad(&record_, &folder_, "p.shp", 0, 0), ERR_NONE);
  WindowDesc* w = Window(40, 40, 8);
  GfxRect covered{};
  EXPECT_EQ(GfxDrawScaledClipped(&record_, w, &covered, 12, 8, 20, 20, nullptr), 0);
  EXPECT_EQ(covered.left, 20 - 4);
  EXPECT_EQ(covered.top, 20 - 2);
  EXPECT_EQ(covered.right, 28);
  EXPECT_EQ(covered.bottom, 26);
  EXPECT_EQ(Painted(w), 96);
  EXPECT_EQ(GfxDrawScaledClipped(&record_, w, &covered, 0, 8, 20, 20, nullptr), 0);
  EXPECT_EQ(covered.left, -1);
}

TEST_F(GfxTest, PackedDrawsReuseTheSharedCache) {
  File("p.shp", {{"grfx", Picture8(8, 8, 0x4A)}});
  ASSERT_EQ(GfxLoad(&record_, &folder_, "p.shp", 0, 0), ERR_NONE);
  WindowDesc* w = Window(20, 20, 8);
  // Outside a round: a copy of its own for each draw, freed after.
  const int live = MemLiveHandles();
  GfxDrawAtHotSpot(&record_, w, 2, 1);
  EXPECT_EQ(Painted(w), 64);
  EXPECT_EQ(GfxUnpackAllocations, 1);
  EXPECT_EQ(MemLiveHandles(), live);
  // In a round: a cache too small is replaced by a large enough one, which is then reused.
  SharedUnpackCache = MemAllocHandle(20, 0x200);
  ASSERT_EQ(GfxLock(&record_), ERR_NONE);
  GfxDrawAtHotSpot(&record_, w, 5, 5);
  EXPECT_EQ(GfxUnpackAllocations, 2);
  EXPECT_GE(MemHandleSize(SharedUnpackCache), 16u + 64u);
  GfxDrawAtHotSpot(&record_, w, 8, 8);
  EXPECT_EQ(GfxUnpackAllocations, 2);
  // The record is still locked on its packed pixels and has no unpack handle of its own.
  EXPECT_NE(record_.shape, nullptr);
  EXPECT_TRUE(record_.shape[0] & kShapePacked);
  EXPECT_EQ(record_.unpackHandle, 0);
  GfxUnlock(&record_);
  EXPECT_EQ(MemLiveHandles(), live + 1);
}

TEST_F(GfxTest, CacheMustHoldTheHeaderAsWellAsPixelsAndPalette) {
  shapetools::Image picture = Picture8(8, 8, 0x10);
  picture.records.push_back(shapetools::Clut{0x2A, std::vector<uint32_t>(4, 0xFF000000u)});
  File("p.shp", {{"grfx", picture}});
  ASSERT_EQ(GfxLoad(&record_, &folder_, "p.shp", 0, 0), ERR_NONE);
  ASSERT_EQ(GfxLock(&record_), ERR_NONE);
  const size_t extent = MemHandleSize(record_.lockedHandle);
  const size_t exact = 16 + 64 + 16 + 16;  // header, pixels, palette record of four entries
  for (size_t size : {exact - 16, exact}) {
    SCOPED_TRACE(size);
    MemHandle given = MemAllocHandle(size, 0);
    MemHandle cache = given;
    ASSERT_EQ(GfxUnpackToCache(record_.shape, extent, &cache, 0), ERR_NONE);
    EXPECT_EQ(cache == given, size == exact);
    auto* out = static_cast<uint8_t*>(MemLock(cache));
    EXPECT_EQ(out[0], 0x7B);
    EXPECT_EQ(shapenext(out), 16 + 64);
    EXPECT_EQ(out[16 + 64], 0x2A);
    MemUnlock(cache);
    if (cache != given) MemFreeHandle(cache);
    MemFreeHandle(given);
  }
  GfxUnlock(&record_);
}

TEST_F(GfxTest, DamagedPackedPixelsAreNotDrawn) {
  File("p.shp", {{"grfx", Picture8(16, 16, 0x10)}});
  const std::string good = HostRead("c/DATA/p.shp");
  const size_t block = shaperead32(reinterpret_cast<const uint8_t*>(good.data()) + 16 + 4) + 16;
  struct Case {
    const char* what;
    std::function<void(std::string&)> spoil;
  } cases[] = {
      // An unpacked size smaller than the rows the header promises.
      {"short size", [&](std::string& b) { b[block + 2] = 0, b[block + 3] = 0, b[block + 4] = 10; }},
      // An unpacked size larger than what the stream yields.
      {"long size", [&](std::string& b) { b[block + 2] = 0x01, b[block + 3] = 0, b[block + 4] = 0; }},
  };
  int tried = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string bytes = good;
    c.spoil(bytes);
    HostFile("c/DATA/p.shp", bytes);
    GfxFree(&record_);
    const int status = GfxLoad(&record_, &folder_, "p.shp", 0, 0);
    if (status != ERR_NONE) continue;  // refused by the file check: nothing to draw
    ++tried;
    WindowDesc* w = Window(20, 20, 8);
    const int live = MemLiveHandles();
    GfxRect covered{};
    EXPECT_EQ(GfxDrawClipped(&record_, w, 2, 1, &covered, nullptr), ERR_BADHANDLE);
    EXPECT_EQ(Painted(w), 0);
    EXPECT_EQ(covered.left, -1);
    EXPECT_EQ(GfxUnpack(&record_, 0), ERR_BADHANDLE);
    EXPECT_EQ(MemLiveHandles(), live);
    // Unpacking at load refuses it as well.
    GraphicRecord now{};
    EXPECT_NE(GfxLoad(&now, &folder_, "p.shp", kGfxUnpackNow, 0), ERR_NONE);
    EXPECT_EQ(now.pixelHandle, 0);
  }
  EXPECT_GT(tried, 0);
}

// A scene that cannot make object images.
class NoImages : public SceneProvider {
 public:
  ObjectImage* CreateObjectImage(int32_t, int32_t, int32_t) override { return nullptr; }
};

TEST_F(GfxTest, MissingScratchImageIsReportedOnceAndDrawsNothing) {
  HostFile("c/Game/teebox.exe", "");
  winapi::testing::SetModuleFileName("C:\\Game\\teebox.exe");
  NoImages scene;
  Services providers;
  providers.scene = &scene;
  ScopedServices scoped(providers);
  EXPECT_EQ(GfxInitScratch(), 0);
  shapetools::Image picture;
  picture.type = 0x7D;
  picture.width = picture.height = 4;
  for (int i = 0; i < 16; ++i) picture.pixels.push_back(0xFF00FF00u);
  File("p.shp", {{"grfx", picture}});
  ASSERT_EQ(GfxLoad(&record_, &folder_, "p.shp", 0, 0), ERR_NONE);
  record_.hotx = record_.hoty = 0;
  WindowDesc* w = Window(16, 16, 32);
  GfxRect covered{};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(GfxDrawBlended(&record_, w, 2, 2, 0x10000, &covered, nullptr), ERR_BADHANDLE);
  EXPECT_EQ(Painted(w), 0);
  const std::string log = HostRead("c/Game/ZQLog.Log");
  const size_t first = log.find("Blended drawing skipped: no scratch image");
  ASSERT_NE(first, std::string::npos) << log;
  EXPECT_EQ(log.find("Blended drawing skipped", first + 1), std::string::npos) << log;
}

TEST_F(GfxTest, BlendedDrawsThroughTheScratchImage) {
  ASSERT_EQ(GfxInitScratch(), 1);
  shapetools::Image picture;
  picture.type = 0x7D;
  picture.width = 4;
  picture.height = 4;
  for (int i = 0; i < 16; ++i) picture.pixels.push_back(i % 2 ? 0xFF00FF00u : 0);
  File("p.shp", {{"grfx", picture}});
  ASSERT_EQ(GfxLoad(&record_, &folder_, "p.shp", 0, 0), ERR_NONE);
  record_.hotx = record_.hoty = 0;
  WindowDesc* w = Window(16, 16, 32);
  GfxRect covered{};
  ASSERT_EQ(GfxDrawBlended(&record_, w, 2, 2, 0x10000, &covered, nullptr), 0);
  EXPECT_EQ(covered.left, 2);
  EXPECT_EQ(covered.right, 6);
  EXPECT_EQ(covered.bottom, 6);
  EXPECT_EQ(Painted(w), 8);
  EXPECT_EQ(Px(w, 3, 2) & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(Px(w, 2, 2), 0u);
  // Twice the size: filtered, but only inside the covered rectangle.
  WindowDesc* big = Window(16, 16, 32);
  ASSERT_EQ(GfxDrawBlended(&record_, big, 2, 2, 0x20000, &covered, nullptr), 0);
  EXPECT_EQ(covered.right, 10);
  EXPECT_EQ(covered.bottom, 10);
  EXPECT_GE(Painted(big), 32);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(Px(big, i, 12) | Px(big, 12, i) | Px(big, i, 0), 0u);
  WindowDesc* s = Window(16, 16, 32);
  ASSERT_EQ(GfxDrawSilhouette(&record_, s, 0, 0, 0x10000, 0x123456, &covered, nullptr), 0);
  EXPECT_EQ(Painted(s), 8);
  EXPECT_EQ(Px(s, 1, 0) & 0xFFFFFF, 0x123456u);
  WindowDesc* b = Window(16, 16, 32);
  ASSERT_EQ(GfxDrawBlendedScaled(&record_, b, 0, 0, 8, 4, &covered, nullptr), 0);
  EXPECT_EQ(covered.right, 8);
  EXPECT_EQ(covered.bottom, 4);
  EXPECT_GE(Painted(b), 16);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(Px(b, i, 5) | Px(b, 9, i), 0u);
  EXPECT_EQ(GfxDrawBlended(&record_, b, 0, 0, 0, &covered, nullptr), 0);
  EXPECT_EQ(covered.left, -1);
}

// A scene with a software renderer in a chosen state, counting the object images it makes.
class SoftwareScene : public SceneProvider {
 public:
  SoftwareRenderState state{1, 4, 0};
  int made = 0;
  ObjectImage* CreateObjectImage(int32_t, int32_t, int32_t depth) override {
    ++made;
    auto* image = new ObjectImage;
    image->depth = depth;
    return image;
  }
  void FreeObjectImage(ObjectImage* image) override { delete image; }
  SoftwareRenderState SoftwareRender() override { return state; }
};

TEST_F(GfxTest, SecondScratchImageSkippedForTheSoftwareRenderer) {
  SoftwareScene scene;
  Services providers;
  providers.scene = &scene;
  ScopedServices installed(providers);
  EXPECT_EQ(GfxInitScratch(), 1);
  EXPECT_EQ(scene.made, 1);
  GfxFreeScratch();
  scene.state.count = 5;
  EXPECT_EQ(GfxInitScratch(), 1);
  EXPECT_EQ(scene.made, 3);
  GfxFreeScratch();
}

}  // namespace
