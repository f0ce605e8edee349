// The Direct3D objects over DirectDraw: reaching them, creating devices, scenes, viewports, materials,
// textures and the errors callers rely on.
#include <gtest/gtest.h>

#include <cstring>

#include "d3d.h"
#include "winapi/testing.h"

namespace {

class D3dObjects : public ::testing::Test {
 protected:
  void SetUp() override {
    winapi::testing::Reset();
    winapi::d3d::Install();
    LPDIRECTDRAW dd = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    ASSERT_EQ(dd->QueryInterface(IID_IDirectDraw2, reinterpret_cast<LPVOID*>(&ddraw_)), DD_OK);
    dd->Release();
    ASSERT_EQ(ddraw_->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    ASSERT_EQ(ddraw_->QueryInterface(IID_IDirect3D2, reinterpret_cast<LPVOID*>(&d3d_)), DD_OK);
  }
  void TearDown() override {
    if (d3d_) d3d_->Release();
    if (ddraw_) ddraw_->Release();
    winapi::testing::Reset();
  }
  LPDIRECTDRAWSURFACE Surface(DWORD w, DWORD h, DWORD caps, const DDPIXELFORMAT* format = nullptr) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = w, desc.dwHeight = h;
    desc.ddsCaps.dwCaps = caps;
    if (format) desc.dwFlags |= DDSD_PIXELFORMAT, desc.ddpfPixelFormat = *format;
    LPDIRECTDRAWSURFACE s = nullptr;
    EXPECT_EQ(ddraw_->CreateSurface(&desc, &s, nullptr), DD_OK);
    return s;
  }
  LPDIRECTDRAW2 ddraw_ = nullptr;
  LPDIRECT3D2 d3d_ = nullptr;
};

TEST_F(D3dObjects, DevicesNeedA3dSurfaceAndAKnownType) {
  LPDIRECTDRAWSURFACE plain = Surface(16, 16, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
  LPDIRECTDRAWSURFACE target = Surface(16, 16, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY);
  LPDIRECT3DDEVICE2 device = nullptr;
  EXPECT_EQ(d3d_->CreateDevice(IID_IDirect3DRGBDevice, plain, &device), DDERR_INVALIDCAPS);
  EXPECT_EQ(d3d_->CreateDevice(IID_IDirectDraw2, target, &device), D3DERR_INVALID_DEVICE);
  for (const GUID* type : {&IID_IDirect3DHALDevice, &IID_IDirect3DRGBDevice, &IID_IDirect3DRampDevice, &IID_IDirect3DMMXDevice}) {
    ASSERT_EQ(d3d_->CreateDevice(*type, target, &device), D3D_OK);
    D3DDEVICEDESC hw{}, hel{};
    hw.dwSize = hel.dwSize = sizeof hw;
    EXPECT_EQ(device->GetCaps(&hw, &hel), D3D_OK);
    EXPECT_EQ(hw.dcmColorModel != 0, type == &IID_IDirect3DHALDevice);
    EXPECT_EQ(hel.dcmColorModel != 0, type != &IID_IDirect3DHALDevice);
    device->Release();
  }
  int devices = 0;
  d3d_->EnumDevices([](GUID*, LPSTR, LPSTR, LPD3DDEVICEDESC, LPD3DDEVICEDESC, LPVOID c) -> HRESULT {
    ++*static_cast<int*>(c);
    return D3DENUMRET_OK;
  }, &devices);
  EXPECT_EQ(devices, 4);
  plain->Release();
  target->Release();
}

TEST_F(D3dObjects, NoHardwareDeviceOnAnEmulationOnlyDriver) {
  LPDIRECTDRAW dd = nullptr;
  ASSERT_EQ(DirectDrawCreate(DDCREATE_EMULATIONONLY, &dd, nullptr), DD_OK);
  LPDIRECT3D2 d3d = nullptr;
  ASSERT_EQ(dd->QueryInterface(IID_IDirect3D2, reinterpret_cast<LPVOID*>(&d3d)), DD_OK);
  LPDIRECTDRAWSURFACE target = Surface(8, 8, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY);
  LPDIRECT3DDEVICE2 device = nullptr;
  EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, target, &device), D3DERR_INVALID_DEVICE);
  target->Release();
  d3d->Release();
  dd->Release();
}

TEST_F(D3dObjects, DrawingNeedsASceneAndValidInput) {
  LPDIRECTDRAWSURFACE target = Surface(8, 8, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY);
  LPDIRECT3DDEVICE2 device = nullptr;
  ASSERT_EQ(d3d_->CreateDevice(IID_IDirect3DRGBDevice, target, &device), D3D_OK);
  D3DTLVERTEX v[3] = {{0, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0}, {8, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0},
                      {0, 8, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0}};
  WORD bad[3] = {0, 1, 3};
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DVT_TLVERTEX, v, 3, 0), D3DERR_SCENE_NOT_IN_SCENE);
  EXPECT_EQ(device->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  EXPECT_EQ(device->BeginScene(), D3DERR_SCENE_IN_SCENE);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DVT_LVERTEX, v, 3, 0), D3DERR_INVALIDVERTEXTYPE);
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DVT_TLVERTEX, v, 3, bad, 3, 0), DDERR_INVALIDPARAMS);
  EXPECT_EQ(device->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, 12345), DDERR_INVALIDPARAMS);
  EXPECT_EQ(device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE), D3D_OK);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DVT_TLVERTEX, v, 3, 0), D3D_OK);
  EXPECT_EQ(device->EndScene(), D3D_OK);
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  ASSERT_EQ(target->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(static_cast<uint16_t*>(desc.lpSurface)[0], 0xFFFF);
  target->Unlock(nullptr);
  device->Release();
  target->Release();
}

TEST_F(D3dObjects, ViewportClearsWithTheBackgroundMaterial) {
  LPDIRECTDRAWSURFACE target = Surface(8, 8, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY);
  DDSURFACEDESC zdesc{};
  zdesc.dwSize = sizeof zdesc;
  zdesc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_ZBUFFERBITDEPTH;
  zdesc.dwWidth = zdesc.dwHeight = 8;
  zdesc.dwZBufferBitDepth = 16;
  zdesc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY;
  LPDIRECTDRAWSURFACE z = nullptr;
  ASSERT_EQ(ddraw_->CreateSurface(&zdesc, &z, nullptr), DD_OK);
  ASSERT_EQ(target->AddAttachedSurface(z), DD_OK);
  LPDIRECT3DDEVICE2 device = nullptr;
  ASSERT_EQ(d3d_->CreateDevice(IID_IDirect3DRGBDevice, target, &device), D3D_OK);
  LPDIRECT3DVIEWPORT2 viewport = nullptr;
  LPDIRECT3DMATERIAL2 material = nullptr;
  ASSERT_EQ(d3d_->CreateViewport(&viewport, nullptr), D3D_OK);
  D3DRECT all{0, 0, 8, 8};
  EXPECT_EQ(viewport->Clear(1, &all, D3DCLEAR_TARGET), D3DERR_VIEWPORTHASNODEVICE);
  ASSERT_EQ(device->AddViewport(viewport), D3D_OK);
  ASSERT_EQ(device->SetCurrentViewport(viewport), D3D_OK);
  ASSERT_EQ(d3d_->CreateMaterial(&material, nullptr), D3D_OK);
  D3DMATERIAL m{};
  m.dwSize = sizeof m;
  m.diffuse = {1.0f, 0.0f, 0.0f, 0.0f};
  material->SetMaterial(&m);
  D3DMATERIALHANDLE handle = 0;
  ASSERT_EQ(material->GetHandle(device, &handle), D3D_OK);
  EXPECT_EQ(viewport->SetBackground(99999), DDERR_INVALIDPARAMS);
  ASSERT_EQ(viewport->SetBackground(handle), D3D_OK);
  EXPECT_EQ(viewport->Clear(1, &all, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER), D3D_OK);
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  ASSERT_EQ(target->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(static_cast<uint16_t*>(desc.lpSurface)[9], 0xF800);
  target->Unlock(nullptr);
  ASSERT_EQ(z->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(static_cast<uint16_t*>(desc.lpSurface)[9], 0xFFFF);
  z->Unlock(nullptr);
  material->Release();
  viewport->Release();
  device->Release();
  z->Release();
  target->Release();
}

TEST_F(D3dObjects, TexturesLoadFromTheirSourceAndFollowPaletteChanges) {
  DDPIXELFORMAT pal4{};
  pal4.dwSize = sizeof pal4;
  pal4.dwFlags = DDPF_PALETTEINDEXED4 | DDPF_RGB;
  pal4.dwRGBBitCount = 4;
  LPDIRECTDRAWSURFACE src = Surface(4, 1, DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY, &pal4);
  LPDIRECTDRAWSURFACE dst = Surface(4, 1, DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY, &pal4);
  PALETTEENTRY entries[16] = {};
  entries[1] = {255, 0, 0, 0};
  entries[2] = {0, 0, 255, 0};
  LPDIRECTDRAWPALETTE palette = nullptr;
  ASSERT_EQ(ddraw_->CreatePalette(DDPCAPS_4BIT, entries, &palette, nullptr), DD_OK);
  src->SetPalette(palette);
  dst->SetPalette(palette);
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  ASSERT_EQ(src->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
  static_cast<uint8_t*>(desc.lpSurface)[0] = 0x12;  // texel 0 index 1, texel 1 index 2
  src->Unlock(nullptr);
  LPDIRECT3DTEXTURE2 from = nullptr, to = nullptr, again = nullptr;
  ASSERT_EQ(src->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<LPVOID*>(&from)), DD_OK);
  ASSERT_EQ(dst->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<LPVOID*>(&to)), DD_OK);
  ASSERT_EQ(dst->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<LPVOID*>(&again)), DD_OK);
  EXPECT_EQ(to, again);  // one texture object a surface
  again->Release();
  ASSERT_EQ(to->Load(from), D3D_OK);
  // Draw texel 0, then change the palette entry and see the change after PaletteChanged.
  LPDIRECTDRAWSURFACE target = Surface(1, 1, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY);
  LPDIRECT3DDEVICE2 device = nullptr;
  ASSERT_EQ(d3d_->CreateDevice(IID_IDirect3DRGBDevice, target, &device), D3D_OK);
  D3DTEXTUREHANDLE handle = 0;
  ASSERT_EQ(to->GetHandle(device, &handle), D3D_OK);
  auto drawTexel = [&](float u) {
    device->BeginScene();
    device->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, handle);
    device->SetRenderState(D3DRENDERSTATE_TEXTUREMAPBLEND, D3DTBLEND_DECAL);
    D3DTLVERTEX p{0, 0, 0.5f, 1, 0xFFFFFFFF, 0, u, 0.5f};
    device->DrawPrimitive(D3DPT_POINTLIST, D3DVT_TLVERTEX, &p, 1, 0);
    device->EndScene();
    DDSURFACEDESC d{};
    d.dwSize = sizeof d;
    target->Lock(nullptr, &d, DDLOCK_WAIT, nullptr);
    const uint16_t pixel = static_cast<uint16_t*>(d.lpSurface)[0];
    target->Unlock(nullptr);
    return pixel;
  };
  EXPECT_EQ(drawTexel(0.1f), 0xF800);
  EXPECT_EQ(drawTexel(0.3f), 0x001F);
  entries[1] = {0, 255, 0, 0};
  palette->SetEntries(0, 0, 16, entries);
  EXPECT_EQ(drawTexel(0.1f), 0xF800);  // not yet told
  EXPECT_EQ(to->PaletteChanged(0, 16), D3D_OK);
  EXPECT_EQ(drawTexel(0.1f), 0x07E0);
  // A source of another size is refused.
  LPDIRECTDRAWSURFACE other = Surface(8, 1, DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY, &pal4);
  LPDIRECT3DTEXTURE2 otherTex = nullptr;
  ASSERT_EQ(other->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<LPVOID*>(&otherTex)), DD_OK);
  EXPECT_EQ(to->Load(otherTex), D3DERR_TEXTURE_LOAD_FAILED);
  otherTex->Release();
  other->Release();
  device->Release();
  target->Release();
  from->Release();
  to->Release();
  palette->Release();
  src->Release();
  dst->Release();
}

}  // namespace
