// A window, a DirectDraw object and helpers for small exact surfaces.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ddraw.h"
#include "winapi/testing.h"
#include "windows.h"

inline LRESULT PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

class DDrawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winapi::testing::Reset();
    WNDCLASSA cls{};
    cls.lpfnWndProc = PlainProc;
    cls.lpszClassName = "DDrawTestClass";
    RegisterClassA(&cls);
    window_ = CreateWindowExA(0, "DDrawTestClass", "display", WS_POPUP, 100, 50, 64, 32, nullptr, nullptr, nullptr,
                              nullptr);
    ShowWindow(window_, SW_SHOW);
  }
  void TearDown() override {
    for (auto* s : surfaces_) s->Release();
    if (dd_) dd_->Release();
    if (window_) DestroyWindow(window_);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_PAINT) ValidateRect(msg.hwnd, nullptr);
    }
    winapi::testing::Reset();
  }
  // The second interface of a new DirectDraw object.
  IDirectDraw2* Open(GUID* driver = nullptr) {
    IDirectDraw* first = nullptr;
    EXPECT_EQ(DirectDrawCreate(driver, &first, nullptr), DD_OK);
    if (!first) return nullptr;
    EXPECT_EQ(first->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&dd_)), DD_OK);
    first->Release();
    return dd_;
  }
  void FullScreen(DWORD width, DWORD height, DWORD bits) {
    ASSERT_EQ(dd_->SetCooperativeLevel(window_, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(dd_->SetDisplayMode(width, height, bits, 0, 0), DD_OK);
  }
  static DDSURFACEDESC Desc(DWORD caps, DWORD width = 0, DWORD height = 0) {
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | (width ? DDSD_WIDTH | DDSD_HEIGHT : 0);
    desc.ddsCaps.dwCaps = caps;
    desc.dwWidth = width;
    desc.dwHeight = height;
    return desc;
  }
  static DDPIXELFORMAT Format8() {
    DDPIXELFORMAT pf{};
    pf.dwSize = sizeof pf;
    pf.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
    pf.dwRGBBitCount = 8;
    return pf;
  }
  // An off-screen 8-bit surface in system memory holding `pixels` (rows of `width`).
  IDirectDrawSurface* Make8(DWORD width, DWORD height, const std::vector<uint8_t>& pixels = {}) {
    DDSURFACEDESC desc = Desc(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, width, height);
    desc.dwFlags |= DDSD_PIXELFORMAT;
    desc.ddpfPixelFormat = Format8();
    IDirectDrawSurface* surface = nullptr;
    EXPECT_EQ(dd_->CreateSurface(&desc, &surface, nullptr), DD_OK);
    if (!surface) return nullptr;
    surfaces_.push_back(surface);
    if (!pixels.empty()) Put(surface, pixels);
    return surface;
  }
  static void Put(IDirectDrawSurface* surface, const std::vector<uint8_t>& pixels) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    for (DWORD y = 0; y < desc.dwHeight; ++y)
      std::memcpy(static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch, pixels.data() + y * desc.dwWidth, desc.dwWidth);
    surface->Unlock(nullptr);
  }
  static std::vector<uint8_t> Get(IDirectDrawSurface* surface) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    std::vector<uint8_t> pixels;
    if (surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return pixels;
    for (DWORD y = 0; y < desc.dwHeight; ++y) {
      const uint8_t* row = static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch;
      pixels.insert(pixels.end(), row, row + desc.dwWidth);
    }
    surface->Unlock(nullptr);
    return pixels;
  }
  HWND window_ = nullptr;
  IDirectDraw2* dd_ = nullptr;
  std::vector<IDirectDrawSurface*> surfaces_;
};
