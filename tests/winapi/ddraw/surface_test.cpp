// Surfaces: lock, blits with their effects, flips, palettes and the frames the host shows.
#include "ddraw_fixture.h"

namespace {

using Pixels = std::vector<uint8_t>;

class SurfaceTest : public DDrawTest {
 protected:
  void SetUp() override {
    DDrawTest::SetUp();
    Open();
  }
  static HRESULT Blt(IDirectDrawSurface* dest, RECT* destRect, IDirectDrawSurface* source, RECT* sourceRect,
                     DWORD flags, DDBLTFX* fx = nullptr) {
    return dest->Blt(destRect, source, sourceRect, flags | DDBLT_WAIT, fx);
  }
  static DDBLTFX Effects(DWORD ddfx) {
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwDDFX = ddfx;
    return fx;
  }
};

TEST_F(SurfaceTest, LockGivesPitchAlignedRowsAndTheRectanglesAddress) {
  DDSURFACEDESC desc = Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, 13, 5);
  IDirectDrawSurface* surface = nullptr;
  ASSERT_EQ(dd_->CreateSurface(&desc, &surface, nullptr), DD_OK);  // the desktop's 16 bits
  surfaces_.push_back(surface);
  DDSURFACEDESC lock{};
  lock.dwSize = sizeof lock;
  ASSERT_EQ(surface->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(lock.lPitch, 28);  // 26 bytes of pixels, rows on 4-byte boundaries
  EXPECT_EQ(lock.dwWidth, 13u);
  EXPECT_EQ(lock.ddpfPixelFormat.dwRGBBitCount, 16u);
  auto* base = static_cast<uint8_t*>(lock.lpSurface);
  std::memset(base, 0xAB, static_cast<size_t>(lock.lPitch) * 5);  // the whole block is writable
  EXPECT_EQ(surface->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
  EXPECT_EQ(surface->Unlock(nullptr), DD_OK);
  EXPECT_EQ(surface->Unlock(nullptr), DDERR_NOTLOCKED);
  RECT part{3, 2, 5, 4};
  ASSERT_EQ(surface->Lock(&part, &lock, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(static_cast<uint8_t*>(lock.lpSurface), base + 2 * 28 + 3 * 2);
  surface->Unlock(nullptr);
  RECT outside{10, 0, 14, 1};
  EXPECT_EQ(surface->Lock(&outside, &lock, DDLOCK_WAIT, nullptr), DDERR_INVALIDRECT);
  lock.dwSize = 0;
  EXPECT_EQ(surface->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
  lock.dwSize = sizeof lock;
  winapi::testing::FailCall("Lock", static_cast<uint32_t>(DDERR_SURFACEBUSY));
  EXPECT_EQ(surface->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
  EXPECT_EQ(surface->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr), DD_OK);
  surface->Unlock(nullptr);
}

TEST_F(SurfaceTest, ColourFillCoversOnlyItsRectangle) {
  IDirectDrawSurface* s = Make8(4, 3);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 7;
  RECT rect{1, 1, 3, 3};
  ASSERT_EQ(Blt(s, &rect, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
  EXPECT_EQ(Get(s), (Pixels{0, 0, 0, 0, 0, 7, 7, 0, 0, 7, 7, 0}));
  EXPECT_EQ(Blt(s, &rect, nullptr, nullptr, DDBLT_COLORFILL, nullptr), DDERR_INVALIDPARAMS);
  RECT tooBig{0, 0, 5, 3};
  EXPECT_EQ(Blt(s, &tooBig, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDRECT);
}

TEST_F(SurfaceTest, SourceColourKeysLeaveTheDestinationShowing) {
  IDirectDrawSurface* source = Make8(3, 2, {0, 5, 0, 6, 0, 9});
  IDirectDrawSurface* dest = Make8(3, 2, {1, 1, 1, 1, 1, 1});
  EXPECT_EQ(Blt(dest, nullptr, source, nullptr, DDBLT_KEYSRC), DDERR_NOCOLORKEY);
  DDCOLORKEY key{0, 0};
  ASSERT_EQ(source->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  ASSERT_EQ(Blt(dest, nullptr, source, nullptr, DDBLT_KEYSRC), DD_OK);
  EXPECT_EQ(Get(dest), (Pixels{1, 5, 1, 6, 1, 9}));
  // A key range given with the blit.
  Put(dest, {1, 1, 1, 1, 1, 1});
  DDBLTFX fx = Effects(0);
  fx.ddckSrcColorkey = DDCOLORKEY{5, 6};
  ASSERT_EQ(Blt(dest, nullptr, source, nullptr, DDBLT_KEYSRCOVERRIDE, &fx), DD_OK);
  EXPECT_EQ(Get(dest), (Pixels{0, 1, 0, 1, 0, 9}));
  // BltFast with the source key.
  Put(dest, {2, 2, 2, 2, 2, 2});
  RECT column{1, 0, 2, 2};
  ASSERT_EQ(dest->BltFast(2, 0, source, &column, DDBLTFAST_SRCCOLORKEY), DD_OK);
  EXPECT_EQ(Get(dest), (Pixels{2, 2, 5, 2, 2, 2}));
  EXPECT_EQ(dest->BltFast(2, 1, source, &column, DDBLTFAST_NOCOLORKEY), DDERR_INVALIDRECT);
  // 16-bit pixels, and a destination key that lets the copy in only where the destination is 0xAAAA.
  DDSURFACEDESC desc = Desc(DDSCAPS_OFFSCREENPLAIN, 3, 1);
  IDirectDrawSurface* wide[2] = {};
  for (auto*& s : wide) {
    ASSERT_EQ(dd_->CreateSurface(&desc, &s, nullptr), DD_OK);
    surfaces_.push_back(s);
  }
  auto put16 = [](IDirectDrawSurface* s, std::vector<uint16_t> pixels) {
    DDSURFACEDESC lock{};
    lock.dwSize = sizeof lock;
    ASSERT_EQ(s->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr), DD_OK);
    std::memcpy(lock.lpSurface, pixels.data(), pixels.size() * 2);
    s->Unlock(nullptr);
  };
  put16(wide[0], {0x0000, 0x1234, 0x5678});
  put16(wide[1], {0xAAAA, 0xAAAA, 0xBBBB});
  wide[0]->SetColorKey(DDCKEY_SRCBLT, &key);
  DDCOLORKEY destKey{0xAAAA, 0xAAAA};
  wide[1]->SetColorKey(DDCKEY_DESTBLT, &destKey);
  ASSERT_EQ(wide[1]->Blt(nullptr, wide[0], nullptr, DDBLT_WAIT | DDBLT_KEYSRC | DDBLT_KEYDEST, nullptr), DD_OK);
  DDSURFACEDESC lock{};
  lock.dwSize = sizeof lock;
  ASSERT_EQ(wide[1]->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr), DD_OK);
  const auto* got = static_cast<const uint16_t*>(lock.lpSurface);
  EXPECT_EQ(got[0], 0xAAAA);  // source key
  EXPECT_EQ(got[1], 0x1234);
  EXPECT_EQ(got[2], 0xBBBB);  // destination key
  wide[1]->Unlock(nullptr);
}

TEST_F(SurfaceTest, StretchingPicksNearestPixels) {
  IDirectDrawSurface* small = Make8(2, 2, {1, 2, 3, 4});
  IDirectDrawSurface* big = Make8(4, 4);
  ASSERT_EQ(Blt(big, nullptr, small, nullptr, 0), DD_OK);
  EXPECT_EQ(Get(big), (Pixels{1, 1, 2, 2, 1, 1, 2, 2, 3, 3, 4, 4, 3, 3, 4, 4}));
  Put(big, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
  ASSERT_EQ(Blt(small, nullptr, big, nullptr, 0), DD_OK);
  EXPECT_EQ(Get(small), (Pixels{6, 8, 14, 16}));
}

TEST_F(SurfaceTest, MirrorsAndQuarterTurns) {
  IDirectDrawSurface* source = Make8(3, 2, {1, 2, 3, 4, 5, 6});
  IDirectDrawSurface* same = Make8(3, 2);
  IDirectDrawSurface* turned = Make8(2, 3);
  struct Case {
    DWORD ddfx;
    IDirectDrawSurface* dest;
    Pixels expected;
  };
  const Case cases[] = {
      {DDBLTFX_MIRRORLEFTRIGHT, same, {3, 2, 1, 6, 5, 4}},
      {DDBLTFX_MIRRORUPDOWN, same, {4, 5, 6, 1, 2, 3}},
      {DDBLTFX_ROTATE180, same, {6, 5, 4, 3, 2, 1}},
      {DDBLTFX_ROTATE90, turned, {3, 6, 2, 5, 1, 4}},  // counter-clockwise
      {DDBLTFX_ROTATE270, turned, {4, 1, 5, 2, 6, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ddfx);
    DDBLTFX fx = Effects(c.ddfx);
    ASSERT_EQ(Blt(c.dest, nullptr, source, nullptr, DDBLT_DDFX, &fx), DD_OK);
    EXPECT_EQ(Get(c.dest), c.expected);
  }
  DDBLTFX fx = Effects(0);
  fx.dwRotationAngle = 4500;
  EXPECT_EQ(Blt(same, nullptr, source, nullptr, DDBLT_ROTATIONANGLE, &fx), DDERR_UNSUPPORTED);
}

TEST_F(SurfaceTest, Yuy2PicturesBlitIntoRgbColours) {
  DDSURFACEDESC desc = Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY, 2, 1);
  desc.dwFlags |= DDSD_PIXELFORMAT;
  desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  desc.ddpfPixelFormat.dwFlags = DDPF_FOURCC;
  desc.ddpfPixelFormat.dwFourCC = MAKEFOURCC('Y', 'U', 'Y', '2');
  IDirectDrawSurface* yuv = nullptr;
  ASSERT_EQ(dd_->CreateSurface(&desc, &yuv, nullptr), DD_OK);
  surfaces_.push_back(yuv);
  DDSURFACEDESC lock{};
  lock.dwSize = sizeof lock;
  ASSERT_EQ(yuv->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr), DD_OK);
  const uint8_t pair[4] = {235, 128, 16, 128};  // white, then black, no colour
  std::memcpy(lock.lpSurface, pair, 4);
  yuv->Unlock(nullptr);
  DDSURFACEDESC rgbDesc = Desc(DDSCAPS_OFFSCREENPLAIN, 4, 2);  // the desktop's 5-6-5
  IDirectDrawSurface* rgb = nullptr;
  ASSERT_EQ(dd_->CreateSurface(&rgbDesc, &rgb, nullptr), DD_OK);
  surfaces_.push_back(rgb);
  ASSERT_EQ(rgb->Blt(nullptr, yuv, nullptr, DDBLT_WAIT, nullptr), DD_OK);  // doubled in both directions
  ASSERT_EQ(rgb->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr), DD_OK);
  const auto* row = static_cast<const uint16_t*>(lock.lpSurface);
  EXPECT_EQ(row[0], 0xFFFF);
  EXPECT_EQ(row[1], 0xFFFF);
  EXPECT_EQ(row[2], 0x0000);
  EXPECT_EQ(row[3], 0x0000);
  rgb->Unlock(nullptr);
  EXPECT_EQ(yuv->Blt(nullptr, rgb, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDPIXELFORMAT);
  IDirectDrawSurface* eight = Make8(2, 2);
  EXPECT_EQ(eight->Blt(nullptr, yuv, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDPIXELFORMAT);
}

// Random rectangles, effects and keys: a blit writes inside its destination rectangle or, when refused, nowhere.
TEST_F(SurfaceTest, BlitsNeverWriteOutsideTheirRectangle) {
  IDirectDrawSurface* source = Make8(5, 4, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20});
  IDirectDrawSurface* dest = Make8(9, 7);
  DDCOLORKEY key{3, 5};
  source->SetColorKey(DDCKEY_SRCBLT | DDCKEY_COLORSPACE, &key);
  uint32_t seed = 12345;
  auto next = [&](int range) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<LONG>((seed >> 16) % static_cast<uint32_t>(range));
  };
  const DWORD effects[] = {0, DDBLTFX_MIRRORLEFTRIGHT, DDBLTFX_MIRRORUPDOWN, DDBLTFX_ROTATE90, DDBLTFX_ROTATE180,
                           DDBLTFX_ROTATE270};
  int done = 0;
  for (int round = 0; round < 1500; ++round) {
    Put(dest, Pixels(9 * 7, 0xEE));
    RECT to{next(12) - 2, next(10) - 2, 0, 0};
    to.right = to.left + next(11) - 1;
    to.bottom = to.top + next(9) - 1;
    RECT from{next(7) - 1, next(6) - 1, 0, 0};
    from.right = from.left + next(7);
    from.bottom = from.top + next(6);
    DDBLTFX fx = Effects(effects[next(6)]);
    const DWORD flags = DDBLT_DDFX | (next(2) ? DDBLT_KEYSRC : 0);
    const HRESULT result = Blt(dest, &to, source, next(4) ? &from : nullptr, flags, &fx);
    const Pixels after = Get(dest);
    for (LONG y = 0; y < 7; ++y)
      for (LONG x = 0; x < 9; ++x) {
        const bool inside = result == DD_OK && x >= to.left && x < to.right && y >= to.top && y < to.bottom;
        if (!inside) {
          ASSERT_EQ(after[static_cast<size_t>(y * 9 + x)], 0xEE) << "round " << round << " at " << x << "," << y;
        }
      }
    if (result == DD_OK) ++done;
  }
  EXPECT_GT(done, 50);  // enough rounds did blit
}

TEST_F(SurfaceTest, OverlaysShowThroughThePrimarysKey) {
  DDSURFACEDESC desc = Desc(DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY, 2, 1);
  desc.dwFlags |= DDSD_PIXELFORMAT;
  desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  desc.ddpfPixelFormat.dwFlags = DDPF_FOURCC;
  desc.ddpfPixelFormat.dwFourCC = MAKEFOURCC('Y', 'U', 'Y', '2');
  IDirectDrawSurface* overlay = nullptr;
  EXPECT_EQ(dd_->CreateSurface(&desc, &overlay, nullptr), DDERR_NOOVERLAYHW);  // the default card has none
  dd_->Release();
  dd_ = nullptr;
  winapi::testing::FakeDisplay display = winapi::testing::DefaultFakeDisplay();
  display.halCaps |= DDCAPS_OVERLAY;
  winapi::testing::SetFakeDisplay(display);
  Open();
  FullScreen(640, 480, 16);
  DDSURFACEDESC primaryDesc = Desc(DDSCAPS_PRIMARYSURFACE);
  IDirectDrawSurface* primary = nullptr;
  ASSERT_EQ(dd_->CreateSurface(&primaryDesc, &primary, nullptr), DD_OK);
  surfaces_.push_back(primary);
  ASSERT_EQ(dd_->CreateSurface(&desc, &overlay, nullptr), DD_OK);
  surfaces_.push_back(overlay);
  DDSURFACEDESC lock{};
  lock.dwSize = sizeof lock;
  ASSERT_EQ(overlay->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr), DD_OK);
  const uint8_t pair[4] = {235, 128, 16, 128};  // white, black
  std::memcpy(lock.lpSurface, pair, 4);
  overlay->Unlock(nullptr);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 1;  // the key colour, where the overlay may show
  RECT area{10, 10, 14, 12};
  ASSERT_EQ(primary->Blt(&area, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
  DDCOLORKEY key{1, 1};
  primary->SetColorKey(DDCKEY_DESTBLT, &key);
  RECT shown{8, 10, 16, 12};  // wider than the keyed area
  EXPECT_EQ(primary->UpdateOverlay(nullptr, primary, &shown, DDOVER_SHOW, nullptr), DDERR_NOTAOVERLAYSURFACE);
  ASSERT_EQ(overlay->UpdateOverlay(nullptr, primary, &shown, DDOVER_SHOW | DDOVER_KEYDEST, nullptr), DD_OK);
  winapi::testing::HostFrameData frame;
  ASSERT_TRUE(winapi::testing::HostFrame(&frame));
  auto at = [&](int x, int y) { return frame.pixels[static_cast<size_t>(y) * 640 + static_cast<size_t>(x)]; };
  EXPECT_EQ(at(9, 10), 0u);          // outside the key: the primary's black
  EXPECT_EQ(at(10, 10), 0xFFFFFFu);  // the overlay's left half is white
  EXPECT_EQ(at(13, 11), 0u);         // its right half is black
  EXPECT_EQ(at(14, 10), 0u);
  ASSERT_EQ(overlay->UpdateOverlay(nullptr, primary, nullptr, DDOVER_HIDE, nullptr), DD_OK);
  ASSERT_TRUE(winapi::testing::HostFrame(&frame));
  EXPECT_EQ(at(10, 10), 0x000008u);  // the key colour itself, blue 1 of 31
}

TEST_F(SurfaceTest, OverlappingBlitWithinOneSurface) {
  IDirectDrawSurface* s = Make8(4, 1, {1, 2, 3, 4});
  RECT from{0, 0, 3, 1};
  RECT to{1, 0, 4, 1};
  ASSERT_EQ(Blt(s, &to, s, &from, 0), DD_OK);
  EXPECT_EQ(Get(s), (Pixels{1, 1, 2, 3}));
}

TEST_F(SurfaceTest, BlitsRefuseMismatchedFormatsBadRectanglesAndLockedSurfaces) {
  IDirectDrawSurface* eight = Make8(4, 4);
  DDSURFACEDESC desc = Desc(DDSCAPS_OFFSCREENPLAIN, 4, 4);
  IDirectDrawSurface* sixteen = nullptr;
  ASSERT_EQ(dd_->CreateSurface(&desc, &sixteen, nullptr), DD_OK);
  surfaces_.push_back(sixteen);
  EXPECT_EQ(Blt(eight, nullptr, sixteen, nullptr, 0), DDERR_INVALIDPIXELFORMAT);
  RECT bad{2, 2, 6, 3};
  EXPECT_EQ(Blt(eight, nullptr, eight, &bad, 0), DDERR_INVALIDRECT);
  DDSURFACEDESC lock{};
  lock.dwSize = sizeof lock;
  ASSERT_EQ(eight->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr), DD_OK);
  IDirectDrawSurface* other = Make8(4, 4);
  EXPECT_EQ(Blt(other, nullptr, eight, nullptr, 0), DDERR_SURFACEBUSY);
  eight->Unlock(nullptr);
  winapi::testing::FailCall("Blt", static_cast<uint32_t>(DDERR_GENERIC));
  EXPECT_EQ(Blt(other, nullptr, eight, nullptr, 0), DDERR_GENERIC);
}

TEST_F(SurfaceTest, FlipShowsTheBackBufferAndRotatesTheChain) {
  FullScreen(640, 480, 16);
  DDSURFACEDESC desc = Desc(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX);
  desc.dwFlags |= DDSD_BACKBUFFERCOUNT;
  desc.dwBackBufferCount = 2;
  IDirectDrawSurface* front = nullptr;
  ASSERT_EQ(dd_->CreateSurface(&desc, &front, nullptr), DD_OK);
  surfaces_.push_back(front);
  DDSURFACEDESC got = Desc(0);
  ASSERT_EQ(front->GetSurfaceDesc(&got), DD_OK);
  EXPECT_EQ(got.dwBackBufferCount, 2u);
  EXPECT_EQ(got.dwWidth, 640u);
  DDSCAPS backCaps{DDSCAPS_BACKBUFFER};
  IDirectDrawSurface* back = nullptr;
  ASSERT_EQ(front->GetAttachedSurface(&backCaps, &back), DD_OK);
  surfaces_.push_back(back);
  DDSCAPS flipCaps{DDSCAPS_FLIP};
  IDirectDrawSurface* third = nullptr;
  ASSERT_EQ(back->GetAttachedSurface(&flipCaps, &third), DD_OK);
  surfaces_.push_back(third);
  DDSCAPS zCaps{DDSCAPS_ZBUFFER};
  IDirectDrawSurface* none = nullptr;
  EXPECT_EQ(front->GetAttachedSurface(&zCaps, &none), DDERR_NOTFOUND);

  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0xF800;  // red in 5-6-5
  ASSERT_EQ(back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
  fx.dwFillColor = 0x001F;  // blue
  ASSERT_EQ(third->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
  const uint64_t before = winapi::testing::HostFrameCount();
  ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  winapi::testing::HostFrameData frame;
  ASSERT_TRUE(winapi::testing::HostFrame(&frame));
  EXPECT_GT(frame.serial, before);
  EXPECT_EQ(frame.width, 640);
  EXPECT_EQ(frame.height, 480);
  EXPECT_EQ(frame.pixels[0], 0xFF0000u);
  EXPECT_EQ(frame.pixels.back(), 0xFF0000u);
  ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  ASSERT_TRUE(winapi::testing::HostFrame(&frame));
  EXPECT_EQ(frame.pixels[1000], 0x0000FFu);
  // The interfaces keep their places in the chain: the back buffer now holds the first front page.
  DDSURFACEDESC lock{};
  lock.dwSize = sizeof lock;
  ASSERT_EQ(back->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(*static_cast<uint16_t*>(lock.lpSurface), 0);
  EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACEBUSY);
  back->Unlock(nullptr);
  EXPECT_EQ(back->Flip(nullptr, 0), DDERR_NOTFLIPPABLE);
  winapi::testing::LoseDisplaySurfaces();
  EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACELOST);
  EXPECT_EQ(front->Restore(), DD_OK);
  EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
}

TEST_F(SurfaceTest, EightBitFramesGoThroughThePalette) {
  FullScreen(640, 480, 8);
  DDSURFACEDESC desc = Desc(DDSCAPS_PRIMARYSURFACE);
  IDirectDrawSurface* primary = nullptr;
  ASSERT_EQ(dd_->CreateSurface(&desc, &primary, nullptr), DD_OK);
  surfaces_.push_back(primary);
  PALETTEENTRY entries[256] = {};
  entries[5] = PALETTEENTRY{10, 20, 30, 0};
  IDirectDrawPalette* palette = nullptr;
  ASSERT_EQ(dd_->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &palette, nullptr), DD_OK);
  ASSERT_EQ(primary->SetPalette(palette), DD_OK);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 5;
  RECT corner{0, 0, 2, 2};
  ASSERT_EQ(primary->Blt(&corner, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
  winapi::testing::HostFrameData frame;
  ASSERT_TRUE(winapi::testing::HostFrame(&frame));
  EXPECT_EQ(frame.pixels[0], 0x0A141Eu);
  EXPECT_EQ(frame.pixels[2], 0u);
  // A palette change shows at once.
  PALETTEENTRY bright{255, 128, 0, 0};
  ASSERT_EQ(palette->SetEntries(0, 5, 1, &bright), DD_OK);
  ASSERT_TRUE(winapi::testing::HostFrame(&frame));
  EXPECT_EQ(frame.pixels[0], 0xFF8000u);
  PALETTEENTRY back[2];
  ASSERT_EQ(palette->GetEntries(0, 4, 2, back), DD_OK);
  EXPECT_EQ(back[1].peRed, 255);
  EXPECT_EQ(palette->SetEntries(0, 255, 2, back), DDERR_INVALIDPARAMS);
  IDirectDrawPalette* attached = nullptr;
  ASSERT_EQ(primary->GetPalette(&attached), DD_OK);
  EXPECT_EQ(attached, palette);
  attached->Release();
  palette->Release();  // the surface keeps its own reference
  ASSERT_EQ(palette->SetEntries(0, 5, 1, entries + 5), DD_OK);
  // Palettes go on palettised surfaces only.
  DDSURFACEDESC rgb = Desc(DDSCAPS_OFFSCREENPLAIN, 4, 4);
  rgb.dwFlags |= DDSD_PIXELFORMAT;
  rgb.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  rgb.ddpfPixelFormat.dwFlags = DDPF_RGB;
  rgb.ddpfPixelFormat.dwRGBBitCount = 16;
  rgb.ddpfPixelFormat.dwRBitMask = 0xF800;
  rgb.ddpfPixelFormat.dwGBitMask = 0x07E0;
  rgb.ddpfPixelFormat.dwBBitMask = 0x001F;
  IDirectDrawSurface* sixteen = nullptr;
  ASSERT_EQ(dd_->CreateSurface(&rgb, &sixteen, nullptr), DD_OK);
  surfaces_.push_back(sixteen);
  EXPECT_EQ(sixteen->SetPalette(palette), DDERR_NOTPALETTIZED);
}

TEST_F(SurfaceTest, FramesOfEveryRgbDepthBecomeHostColours) {
  winapi::testing::FakeDisplay display = winapi::testing::DefaultFakeDisplay();
  display.modes = {{320, 200, 15, 0}, {320, 200, 16, 0}, {320, 200, 24, 0}, {320, 200, 32, 0}};
  winapi::testing::SetFakeDisplay(display);
  struct Case {
    DWORD bits;
    DWORD fill;
    uint32_t expected;
  };
  const Case cases[] = {
      {15, 0x7C00, 0xFF0000}, {15, 0x0010, 0x000084}, {16, 0x07E0, 0x00FF00},
      {16, 0x8410, 0x848284}, {24, 0x123456, 0x123456}, {32, 0xFF654321, 0x654321},
  };
  ASSERT_EQ(dd_->SetCooperativeLevel(window_, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bits);
    ASSERT_EQ(dd_->SetDisplayMode(320, 200, c.bits, 0, 0), DD_OK);
    DDSURFACEDESC desc = Desc(DDSCAPS_PRIMARYSURFACE);
    IDirectDrawSurface* primary = nullptr;
    ASSERT_EQ(dd_->CreateSurface(&desc, &primary, nullptr), DD_OK);
    DDPIXELFORMAT format{};
    format.dwSize = sizeof format;
    primary->GetPixelFormat(&format);
    EXPECT_EQ(format.dwRGBBitCount, c.bits == 15 ? 16u : c.bits);
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = c.fill;
    ASSERT_EQ(primary->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
    winapi::testing::HostFrameData frame;
    ASSERT_TRUE(winapi::testing::HostFrame(&frame));
    EXPECT_EQ(frame.width, 320);
    EXPECT_EQ(frame.pixels[320 * 200 - 1], c.expected);
    primary->Release();
  }
}

TEST_F(SurfaceTest, WindowedFramesShowTheClientAreaAndBlitsAreClipped) {
  ASSERT_EQ(dd_->SetCooperativeLevel(window_, DDSCL_NORMAL), DD_OK);
  DDSURFACEDESC desc = Desc(DDSCAPS_PRIMARYSURFACE);
  IDirectDrawSurface* primary = nullptr;
  ASSERT_EQ(dd_->CreateSurface(&desc, &primary, nullptr), DD_OK);
  surfaces_.push_back(primary);
  IDirectDrawClipper* clipper = nullptr;
  ASSERT_EQ(dd_->CreateClipper(0, &clipper, nullptr), DD_OK);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0x07E0;  // green
  ASSERT_EQ(primary->SetClipper(clipper), DD_OK);
  EXPECT_EQ(primary->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_NOCLIPLIST);
  ASSERT_EQ(clipper->SetHWnd(0, window_), DD_OK);
  clipper->Release();
  // The client area is 64 x 32 at 100, 50: a fill of the whole screen touches only it.
  ASSERT_EQ(primary->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
  winapi::testing::HostFrameData frame;
  ASSERT_TRUE(winapi::testing::HostFrame(&frame));
  EXPECT_EQ(frame.width, 64);
  EXPECT_EQ(frame.height, 32);
  for (uint32_t pixel : frame.pixels) ASSERT_EQ(pixel, 0x00FF00u);
  DDSURFACEDESC lock{};
  lock.dwSize = sizeof lock;
  ASSERT_EQ(primary->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr), DD_OK);
  auto pixel = [&](int x, int y) { return *reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(lock.lpSurface) + y * lock.lPitch + x * 2); };
  EXPECT_EQ(pixel(100, 50), 0x07E0);
  EXPECT_EQ(pixel(163, 81), 0x07E0);
  EXPECT_EQ(pixel(99, 50), 0);
  EXPECT_EQ(pixel(164, 81), 0);
  EXPECT_EQ(pixel(100, 82), 0);
  primary->Unlock(nullptr);
  IDirectDrawSurface* back = Make8(4, 4);
  (void)back;
  EXPECT_EQ(primary->BltFast(0, 0, primary, nullptr, 0), DDERR_BLTFASTCANTCLIP);
}

TEST_F(SurfaceTest, ZBufferAttachesToASurfaceOfItsSize) {
  DDSURFACEDESC desc = Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE, 32, 16);
  IDirectDrawSurface* target = nullptr;
  ASSERT_EQ(dd_->CreateSurface(&desc, &target, nullptr), DD_OK);
  surfaces_.push_back(target);
  DDSURFACEDESC zdesc = Desc(DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY, 32, 16);
  zdesc.dwFlags |= DDSD_ZBUFFERBITDEPTH;
  zdesc.dwZBufferBitDepth = 16;
  IDirectDrawSurface* z = nullptr;
  ASSERT_EQ(dd_->CreateSurface(&zdesc, &z, nullptr), DD_OK);
  DDSURFACEDESC got = Desc(0);
  z->GetSurfaceDesc(&got);
  EXPECT_EQ(got.dwZBufferBitDepth, 16u);
  EXPECT_EQ(got.lPitch, 64);
  ASSERT_EQ(target->AddAttachedSurface(z), DD_OK);
  EXPECT_EQ(target->AddAttachedSurface(z), DDERR_SURFACEALREADYATTACHED);
  z->Release();  // the target holds it now
  DDSCAPS caps{DDSCAPS_ZBUFFER};
  IDirectDrawSurface* found = nullptr;
  ASSERT_EQ(target->GetAttachedSurface(&caps, &found), DD_OK);
  EXPECT_EQ(found, z);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillDepth = 0xFFFF;
  EXPECT_EQ(found->Blt(nullptr, nullptr, nullptr, DDBLT_DEPTHFILL, &fx), DD_OK);
  found->Release();
  zdesc.dwWidth = 8;
  IDirectDrawSurface* small = nullptr;
  ASSERT_EQ(dd_->CreateSurface(&zdesc, &small, nullptr), DD_OK);
  EXPECT_EQ(target->AddAttachedSurface(small), DDERR_CANNOTATTACHSURFACE);
  small->Release();
  EXPECT_EQ(target->DeleteAttachedSurface(0, z), DD_OK);
  EXPECT_EQ(target->GetAttachedSurface(&caps, &found), DDERR_NOTFOUND);
}

TEST_F(SurfaceTest, ClientMemoryBecomesTheSurface) {
  IDirectDrawSurface* source = Make8(4, 2);
  IDirectDrawSurface3* third = nullptr;
  ASSERT_EQ(source->QueryInterface(IID_IDirectDrawSurface3, reinterpret_cast<void**>(&third)), DD_OK);
  std::vector<uint8_t> mine(8 * 3, 0);
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_LPSURFACE | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH;
  desc.lpSurface = mine.data();
  desc.dwWidth = 6;
  desc.dwHeight = 3;
  desc.lPitch = 8;
  ASSERT_EQ(third->SetSurfaceDesc(&desc, 0), DD_OK);
  DDSURFACEDESC lock{};
  lock.dwSize = sizeof lock;
  ASSERT_EQ(third->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(lock.lpSurface, mine.data());
  EXPECT_EQ(lock.dwWidth, 6u);
  third->Unlock(nullptr);
  desc.lPitch = 4;  // shorter than a row
  EXPECT_EQ(third->SetSurfaceDesc(&desc, 0), DDERR_INVALIDPARAMS);
  third->Release();
}

}  // namespace

TEST_F(SurfaceTest, WithTwoPrimarySurfacesTheScreenShowsTheOneDrawnLast) {
  // A render module's primary beside the program's own display: both are the one screen.
  FullScreen(640, 480, 16);
  IDirectDraw* second = nullptr;
  ASSERT_EQ(DirectDrawCreate(nullptr, &second, nullptr), DD_OK);
  ASSERT_EQ(second->SetCooperativeLevel(window_, DDSCL_NORMAL), DD_OK);
  IDirectDrawSurface* primaries[2] = {};
  DDSURFACEDESC desc = Desc(DDSCAPS_PRIMARYSURFACE);
  ASSERT_EQ(dd_->CreateSurface(&desc, &primaries[0], nullptr), DD_OK);
  ASSERT_EQ(second->CreateSurface(&desc, &primaries[1], nullptr), DD_OK);
  surfaces_.push_back(primaries[0]);
  surfaces_.push_back(primaries[1]);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  winapi::testing::HostFrameData frame;
  const struct {
    int surface;
    DWORD colour;
    uint32_t shown;
  } steps[] = {{0, 0xF800, 0xFF0000u}, {1, 0x001F, 0x0000FFu}, {0, 0x07E0, 0x00FF00u}, {1, 0xF800, 0xFF0000u}};
  for (const auto& step : steps) {
    fx.dwFillColor = step.colour;
    ASSERT_EQ(primaries[step.surface]->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
    ASSERT_TRUE(winapi::testing::HostFrame(&frame));
    EXPECT_EQ(frame.pixels[320], step.shown) << "drawn through surface " << step.surface;
  }
  // The surface drawn last goes: the other one is shown.
  primaries[1]->Release();
  surfaces_.pop_back();
  fx.dwFillColor = 0x001F;
  ASSERT_EQ(primaries[0]->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
  ASSERT_TRUE(winapi::testing::HostFrame(&frame));
  EXPECT_EQ(frame.pixels[320], 0x0000FFu);
  second->Release();
}
