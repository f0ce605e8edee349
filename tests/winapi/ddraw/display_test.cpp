// DirectDraw objects over the fake display driver: modes, capabilities, cooperative level and faults.
#include "ddraw_fixture.h"

namespace {

using winapi::testing::FakeDisplay;
using winapi::testing::FakeDisplayMode;

class DisplayTest : public DDrawTest {};

struct Listed {
  DWORD width, height, bits, red, green, refresh, flags;
};

HRESULT Collect(LPDDSURFACEDESC desc, LPVOID context) {
  auto* list = static_cast<std::vector<Listed>*>(context);
  list->push_back({desc->dwWidth, desc->dwHeight, desc->ddpfPixelFormat.dwRGBBitCount,
                   desc->ddpfPixelFormat.dwRBitMask, desc->ddpfPixelFormat.dwGBitMask, desc->dwRefreshRate,
                   desc->ddpfPixelFormat.dwFlags});
  return list->size() < 3 ? DDENUMRET_OK : DDENUMRET_CANCEL;
}

TEST_F(DisplayTest, ModeListComesFromTheDriverInOrderWithPixelFormats) {
  FakeDisplay display = winapi::testing::DefaultFakeDisplay();
  display.modes = {{320, 200, 8, 70}, {640, 480, 15, 60}, {640, 480, 16, 75}, {800, 600, 32, 0}};
  winapi::testing::SetFakeDisplay(display);
  Open();
  std::vector<Listed> list;
  ASSERT_EQ(dd_->EnumDisplayModes(DDEDM_REFRESHRATES, nullptr, &list, Collect), DD_OK);
  ASSERT_EQ(list.size(), 3u);  // the callback cancels after three
  EXPECT_EQ(list[0].width, 320u);
  EXPECT_TRUE(list[0].flags & DDPF_PALETTEINDEXED8);
  EXPECT_EQ(list[0].refresh, 70u);
  EXPECT_EQ(list[1].bits, 16u);
  EXPECT_EQ(list[1].green, 0x03E0u);  // 5-5-5
  EXPECT_EQ(list[2].green, 0x07E0u);  // 5-6-5
  // A filter picks modes by size.
  DDSURFACEDESC filter = Desc(0);
  filter.dwFlags = DDSD_WIDTH;
  filter.dwWidth = 800;
  list.clear();
  dd_->EnumDisplayModes(0, &filter, &list, Collect);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].bits, 32u);
  EXPECT_EQ(list[0].refresh, 0u);  // refresh rates only when asked for
}

TEST_F(DisplayTest, CapabilitiesOfTheDriverAndOfTheEmulation) {
  FakeDisplay display = winapi::testing::DefaultFakeDisplay();
  display.halCaps = DDCAPS_BLT | DDCAPS_BANKSWITCHED;
  display.videoMemory = 3u << 20;
  winapi::testing::SetFakeDisplay(display);
  Open();
  DDCAPS hal{};
  DDCAPS hel{};
  hal.dwSize = hel.dwSize = sizeof(DDCAPS);
  ASSERT_EQ(dd_->GetCaps(&hal, &hel), DD_OK);
  EXPECT_EQ(hal.dwCaps, static_cast<DWORD>(DDCAPS_BLT | DDCAPS_BANKSWITCHED));
  EXPECT_EQ(hal.dwVidMemTotal, 3u << 20);
  EXPECT_EQ(hel.dwCaps, display.helCaps);
  EXPECT_TRUE(hal.ddsCaps.dwCaps & DDSCAPS_FLIP);
  dd_->Release();
  dd_ = nullptr;
  Open(DDCREATE_EMULATIONONLY);
  ASSERT_EQ(dd_->GetCaps(&hal, nullptr), DD_OK);
  EXPECT_EQ(hal.dwCaps, static_cast<DWORD>(DDCAPS_NOHARDWARE));
  DDSCAPS caps{DDSCAPS_VIDEOMEMORY};
  DWORD total = 0;
  EXPECT_EQ(dd_->GetAvailableVidMem(&caps, &total, nullptr), DDERR_NODIRECTDRAWHW);
}

TEST_F(DisplayTest, NoHardwareLeavesOnlyTheEmulation) {
  FakeDisplay display = winapi::testing::DefaultFakeDisplay();
  display.hardware = false;
  winapi::testing::SetFakeDisplay(display);
  IDirectDraw* dd = nullptr;
  EXPECT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DDERR_NODIRECTDRAWHW);
  EXPECT_EQ(dd, nullptr);
  ASSERT_EQ(DirectDrawCreate(DDCREATE_EMULATIONONLY, &dd, nullptr), DD_OK);
  dd->Release();
  winapi::testing::FailCall("DirectDrawCreate", static_cast<uint32_t>(DDERR_GENERIC));
  EXPECT_EQ(DirectDrawCreate(DDCREATE_EMULATIONONLY, &dd, nullptr), DDERR_GENERIC);
}

TEST_F(DisplayTest, InterfacesShareOneCount) {
  IDirectDraw* first = nullptr;
  ASSERT_EQ(DirectDrawCreate(nullptr, &first, nullptr), DD_OK);
  IDirectDraw2* second = nullptr;
  ASSERT_EQ(first->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&second)), DD_OK);
  EXPECT_EQ(first->Release(), 1u);
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(second->QueryInterface(IID_IDirectDrawSurface, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(second->Release(), 0u);
  int calls = 0;
  DirectDrawEnumerateA(
      [](GUID* guid, LPSTR description, LPSTR, LPVOID context) -> BOOL {
        ++*static_cast<int*>(context);
        EXPECT_EQ(guid, nullptr);
        EXPECT_STRNE(description, "");
        return TRUE;
      },
      &calls);
  EXPECT_EQ(calls, 1);
}

TEST_F(DisplayTest, CooperativeLevelsAndTheShownWindow) {
  Open();
  EXPECT_EQ(dd_->SetCooperativeLevel(window_, DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS);
  EXPECT_EQ(dd_->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DDERR_NOHWND);
  EXPECT_EQ(dd_->SetCooperativeLevel(window_, DDSCL_NORMAL), DD_OK);
  EXPECT_EQ(winapi::testing::HostWindow(), window_);
  EXPECT_EQ(dd_->SetCooperativeLevel(window_, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWMODEX), DD_OK);
  // A second program cannot take the display meanwhile.
  IDirectDraw* other = nullptr;
  ASSERT_EQ(DirectDrawCreate(nullptr, &other, nullptr), DD_OK);
  EXPECT_EQ(other->SetCooperativeLevel(window_, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DDERR_EXCLUSIVEMODEALREADYSET);
  EXPECT_EQ(other->SetDisplayMode(640, 480, 16), DDERR_NOEXCLUSIVEMODE);
  other->Release();
}

TEST_F(DisplayTest, SettingAModeAndItsFaults) {
  Open();
  EXPECT_EQ(dd_->SetDisplayMode(640, 480, 16, 0, 0), DDERR_NOEXCLUSIVEMODE);
  ASSERT_EQ(dd_->SetCooperativeLevel(window_, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
  EXPECT_EQ(dd_->SetDisplayMode(641, 480, 16, 0, 0), DDERR_INVALIDMODE);
  winapi::testing::RefuseDisplayMode(800, 600, 16);
  EXPECT_EQ(dd_->SetDisplayMode(800, 600, 16, 0, 0), DDERR_UNSUPPORTEDMODE);
  winapi::testing::SetNoExclusiveMode(true);
  EXPECT_EQ(dd_->SetDisplayMode(640, 480, 16, 0, 0), DDERR_NOEXCLUSIVEMODE);
  winapi::testing::SetNoExclusiveMode(false);
  winapi::testing::FailCall("SetDisplayMode", static_cast<uint32_t>(DDERR_GENERIC));
  EXPECT_EQ(dd_->SetDisplayMode(640, 480, 16, 0, 0), DDERR_GENERIC);
  ASSERT_EQ(dd_->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);
  DDSURFACEDESC mode = Desc(0);
  ASSERT_EQ(dd_->GetDisplayMode(&mode), DD_OK);
  EXPECT_EQ(mode.dwWidth, 640u);
  EXPECT_EQ(mode.ddpfPixelFormat.dwRGBBitCount, 16u);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);
  // Some drivers set a larger mode than asked.
  winapi::testing::SubstituteDisplayMode(640, 480, 8, 800, 600);
  ASSERT_EQ(dd_->SetDisplayMode(640, 480, 8, 0, 0), DD_OK);
  dd_->GetDisplayMode(&mode);
  EXPECT_EQ(mode.dwWidth, 800u);
  EXPECT_EQ(mode.dwHeight, 600u);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
  ASSERT_EQ(dd_->RestoreDisplayMode(), DD_OK);
  EXPECT_EQ(winapi::testing::CurrentDisplayMode().width, 1024u);
}

TEST_F(DisplayTest, ReleasingTheExclusiveObjectGivesTheDesktopBack) {
  Open();
  FullScreen(800, 600, 16);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
  dd_->Release();
  dd_ = nullptr;
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
}

TEST_F(DisplayTest, AModeChangeOrAnotherProgramLosesVideoSurfaces) {
  Open();
  FullScreen(640, 480, 16);
  IDirectDrawSurface* primary = nullptr;
  DDSURFACEDESC desc = Desc(DDSCAPS_PRIMARYSURFACE);
  ASSERT_EQ(dd_->CreateSurface(&desc, &primary, nullptr), DD_OK);
  surfaces_.push_back(primary);
  IDirectDrawSurface* video = nullptr;
  IDirectDrawSurface* system = nullptr;
  desc = Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY, 16, 16);
  ASSERT_EQ(dd_->CreateSurface(&desc, &video, nullptr), DD_OK);
  surfaces_.push_back(video);
  desc = Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, 16, 16);
  ASSERT_EQ(dd_->CreateSurface(&desc, &system, nullptr), DD_OK);
  surfaces_.push_back(system);

  winapi::testing::LoseDisplaySurfaces();
  EXPECT_EQ(primary->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(video->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(system->IsLost(), DD_OK);
  DDSURFACEDESC lock{};
  lock.dwSize = sizeof lock;
  EXPECT_EQ(video->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
  EXPECT_EQ(video->Restore(), DD_OK);
  ASSERT_EQ(video->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr), DD_OK);
  video->Unlock(nullptr);

  // The user switches away from the full-screen program: its surfaces are lost and stay lost until it is
  // back in front; display changes wait too.
  winapi::testing::HostSetActive(false);
  EXPECT_EQ(video->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(video->Restore(), DDERR_NOEXCLUSIVEMODE);
  EXPECT_EQ(dd_->SetDisplayMode(800, 600, 16, 0, 0), DDERR_NOEXCLUSIVEMODE);
  EXPECT_EQ(system->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr), DD_OK);
  system->Unlock(nullptr);
  winapi::testing::HostSetActive(true);
  EXPECT_EQ(video->Restore(), DD_OK);
  EXPECT_EQ(primary->Restore(), DD_OK);

  // After a change of depth the old primary can no longer be restored.
  ASSERT_EQ(dd_->SetDisplayMode(640, 480, 8, 0, 0), DD_OK);
  EXPECT_EQ(primary->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(primary->Restore(), DDERR_WRONGMODE);
  EXPECT_EQ(video->Restore(), DD_OK);
}

TEST_F(DisplayTest, VideoMemoryIsCountedAndRunsOut) {
  FakeDisplay display = winapi::testing::DefaultFakeDisplay();
  display.videoMemory = 64 * 64 * 2 * 3;
  winapi::testing::SetFakeDisplay(display);
  Open();
  DDSCAPS caps{DDSCAPS_VIDEOMEMORY};
  DWORD total = 0;
  DWORD free = 0;
  ASSERT_EQ(dd_->GetAvailableVidMem(&caps, &total, &free), DD_OK);
  EXPECT_EQ(total, display.videoMemory);
  EXPECT_EQ(free, total);
  DDSURFACEDESC desc = Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY, 64, 64 * 2);
  IDirectDrawSurface* big = nullptr;
  ASSERT_EQ(dd_->CreateSurface(&desc, &big, nullptr), DD_OK);
  dd_->GetAvailableVidMem(&caps, &total, &free);
  EXPECT_EQ(free, 64u * 64 * 2);
  IDirectDrawSurface* more = nullptr;
  EXPECT_EQ(dd_->CreateSurface(&desc, &more, nullptr), DDERR_OUTOFVIDEOMEMORY);
  // Without a memory kind the surface goes to system memory when video memory is full.
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  ASSERT_EQ(dd_->CreateSurface(&desc, &more, nullptr), DD_OK);
  DDSCAPS got{};
  more->GetCaps(&got);
  EXPECT_TRUE(got.dwCaps & DDSCAPS_SYSTEMMEMORY);
  more->Release();
  big->Release();
  dd_->GetAvailableVidMem(&caps, &total, &free);
  EXPECT_EQ(free, total);
}

TEST_F(DisplayTest, BadSurfaceRequestsAreRefused) {
  Open();
  IDirectDrawSurface* surface = nullptr;
  DDSURFACEDESC desc = Desc(DDSCAPS_OFFSCREENPLAIN, 8, 8);
  desc.dwSize = 12;
  EXPECT_EQ(dd_->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDPARAMS);
  desc = Desc(DDSCAPS_OFFSCREENPLAIN);  // no size
  EXPECT_EQ(dd_->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDPARAMS);
  desc = Desc(DDSCAPS_OFFSCREENPLAIN, 100000, 8);
  EXPECT_EQ(dd_->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDPARAMS);
  desc = Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY | DDSCAPS_SYSTEMMEMORY, 8, 8);
  EXPECT_EQ(dd_->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDCAPS);
  desc = Desc(DDSCAPS_OFFSCREENPLAIN, 8, 8);
  desc.dwFlags |= DDSD_PIXELFORMAT;
  desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
  desc.ddpfPixelFormat.dwRGBBitCount = 12;
  EXPECT_EQ(dd_->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDPIXELFORMAT);
  desc = Desc(DDSCAPS_ZBUFFER, 8, 8);
  EXPECT_EQ(dd_->CreateSurface(&desc, &surface, nullptr), DDERR_INVALIDPIXELFORMAT);  // no depth
  winapi::testing::FailCall("CreateSurface", static_cast<uint32_t>(DDERR_OUTOFMEMORY));
  desc = Desc(DDSCAPS_OFFSCREENPLAIN, 8, 8);
  EXPECT_EQ(dd_->CreateSurface(&desc, &surface, nullptr), DDERR_OUTOFMEMORY);
  EXPECT_EQ(surface, nullptr);
  // A flipping primary needs exclusive mode, and one primary per object.
  desc = Desc(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX);
  desc.dwFlags |= DDSD_BACKBUFFERCOUNT;
  desc.dwBackBufferCount = 1;
  EXPECT_EQ(dd_->CreateSurface(&desc, &surface, nullptr), DDERR_NOEXCLUSIVEMODE);
  desc = Desc(DDSCAPS_PRIMARYSURFACE);
  ASSERT_EQ(dd_->CreateSurface(&desc, &surface, nullptr), DD_OK);
  IDirectDrawSurface* second = nullptr;
  EXPECT_EQ(dd_->CreateSurface(&desc, &second, nullptr), DDERR_INVALIDCAPS);
  surface->Release();
}

TEST_F(DisplayTest, WithoutFlippingHardwareNoFlipChainIsMade) {
  FakeDisplay display = winapi::testing::DefaultFakeDisplay();
  display.halSurfaceCaps &= ~DDSCAPS_FLIP;
  display.helSurfaceCaps &= ~DDSCAPS_FLIP;
  winapi::testing::SetFakeDisplay(display);
  Open();
  FullScreen(640, 480, 16);
  DDSURFACEDESC desc = Desc(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX);
  desc.dwFlags |= DDSD_BACKBUFFERCOUNT;
  desc.dwBackBufferCount = 1;
  IDirectDrawSurface* surface = nullptr;
  EXPECT_EQ(dd_->CreateSurface(&desc, &surface, nullptr), DDERR_NOFLIPHW);
  desc = Desc(DDSCAPS_PRIMARYSURFACE);
  ASSERT_EQ(dd_->CreateSurface(&desc, &surface, nullptr), DD_OK);
  EXPECT_EQ(surface->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
  surface->Release();
}

}  // namespace
