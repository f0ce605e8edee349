// DirectDraw objects over the fake display driver: creation, cooperative level, display modes, capabilities,
// and the picture the host shows.
#include <algorithm>
#include <cstring>
#include <set>
#include <tuple>

#include "winapi/ddraw/ddraw_internal.h"
#include "winapi/host/host.h"
#include "winapi/kernel/internal.h"
#include "winapi/testing.h"
#include "winapi/user/user_internal.h"

const GUID IID_IDirectDraw = {0x7e0b1001, 0x5a1e, 0x4c1a, {0x9d, 0x01, 0x7e, 0xeb, 0x0c, 0x5a, 0x00, 0x01}};
const GUID IID_IDirectDraw2 = {0x7e0b1002, 0x5a1e, 0x4c1a, {0x9d, 0x01, 0x7e, 0xeb, 0x0c, 0x5a, 0x00, 0x02}};
const GUID IID_IDirectDrawSurface = {0x7e0b1003, 0x5a1e, 0x4c1a, {0x9d, 0x01, 0x7e, 0xeb, 0x0c, 0x5a, 0x00, 0x03}};
const GUID IID_IDirectDrawSurface2 = {0x7e0b1004, 0x5a1e, 0x4c1a, {0x9d, 0x01, 0x7e, 0xeb, 0x0c, 0x5a, 0x00, 0x04}};
const GUID IID_IDirectDrawSurface3 = {0x7e0b1005, 0x5a1e, 0x4c1a, {0x9d, 0x01, 0x7e, 0xeb, 0x0c, 0x5a, 0x00, 0x05}};
const GUID IID_IDirectDrawPalette = {0x7e0b1006, 0x5a1e, 0x4c1a, {0x9d, 0x01, 0x7e, 0xeb, 0x0c, 0x5a, 0x00, 0x06}};
const GUID IID_IDirectDrawClipper = {0x7e0b1007, 0x5a1e, 0x4c1a, {0x9d, 0x01, 0x7e, 0xeb, 0x0c, 0x5a, 0x00, 0x07}};

namespace winapi::ddraw {

namespace {

using testing::FakeDisplay;
using testing::FakeDisplayMode;

struct Display {
  FakeDisplay config;
  FakeDisplayMode current{};
  bool modeSet = false;
  DirectDraw* exclusive = nullptr;
  HWND exclusiveWindow = nullptr;
  std::set<Surface*> surfaces;
  Surface* lastShown = nullptr;  // the visible primary drawn to last
  std::set<DirectDraw*> objects;
  uint64_t vramUsed = 0;
  std::vector<std::tuple<uint32_t, uint32_t, uint32_t, uint32_t, uint32_t>> substitutes;
  std::vector<std::tuple<uint32_t, uint32_t, uint32_t>> refused;
  bool noExclusive = false;
  InterfaceFactory directDrawExtension = nullptr;
  InterfaceFactory surfaceExtension = nullptr;
  bool sourceSet = false;
};

Display& D() {
  // Never destroyed: the host's window thread may still render while the program exits.
  static Display& display = *[] {
    auto* d = new Display;
    d->config = testing::DefaultFakeDisplay();
    d->current = FakeDisplayMode{d->config.desktopWidth, d->config.desktopHeight, d->config.desktopBits, 60};
    return d;
  }();
  return display;
}

void PublishScreen() {
  const FakeDisplayMode& mode = D().current;
  user::SetScreenSize(static_cast<int>(mode.width), static_cast<int>(mode.height), static_cast<int>(mode.bits));
}

void LoseVideoSurfaces() {
  for (Surface* surface : D().surfaces)
    if (surface->InVideoMemory() || surface->IsPrimary()) surface->MarkLost();
}

void BackToDesktop() {
  D().current = FakeDisplayMode{D().config.desktopWidth, D().config.desktopHeight, D().config.desktopBits, 60};
  if (D().modeSet) LoseVideoSurfaces();
  D().modeSet = false;
  PublishScreen();
}

void ResetDisplay() {
  std::lock_guard lock(Lock());
  D().config = testing::DefaultFakeDisplay();
  D().substitutes.clear();
  D().refused.clear();
  D().noExclusive = false;
  D().exclusive = nullptr;
  D().exclusiveWindow = nullptr;
  D().modeSet = true;  // so that surfaces left from an earlier test are lost
  BackToDesktop();
}

void RegisterReset() {
  static const bool registered = (winapi::internal::OnReset(ResetDisplay), true);
  (void)registered;
}

// Registered at start-up, so that a test's Reset covers this part even before its first use.
const bool gResetRegistered = (RegisterReset(), true);

uint32_t Expand(uint32_t value, uint32_t mask) { return ExpandChannel(value, mask); }

uint32_t ReadPixel(const uint8_t* p, DWORD bytes) {
  switch (bytes) {
    case 1: return p[0];
    case 2: return static_cast<uint32_t>(p[0] | (p[1] << 8));
    case 3: return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
    default: return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
  }
}

// The picture the player sees: the primary surface, or in a window the part of it under the window's client
// area.
bool RenderVisible(host::Frame* frame) {
  std::lock_guard lock(Lock());
  // Every primary surface is the one screen: with several (a render module's beside the program's own display),
  // the screen shows what was drawn last, whichever surface it was drawn through.
  Surface* primary = nullptr;
  for (Surface* surface : D().surfaces) {
    if (!surface->IsPrimary() || !(surface->Caps() & DDSCAPS_VISIBLE)) continue;
    if (surface->chain && surface->chain->members.front() != surface) continue;
    if (primary != D().lastShown) primary = surface;
  }
  if (!primary || primary->Lost()) return false;
  int x0 = 0;
  int y0 = 0;
  int width = static_cast<int>(primary->Width());
  int height = static_cast<int>(primary->Height());
  if (!D().exclusive) {
    HWND window = host::BoundWindow();
    POINT origin{};
    if (!window || !user::ClientGeometry(window, &width, &height, &origin)) return false;
    x0 = origin.x;
    y0 = origin.y;
  }
  if (width <= 0 || height <= 0) return false;
  frame->width = width;
  frame->height = height;
  frame->pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  const Format& format = primary->PixelFormat();
  const DWORD bytes = format.BytesPerPixel();
  // One table lookup a pixel for 8 and 16 bits; the common 24/32-bit layout needs none.
  static thread_local std::vector<uint32_t> table;
  static thread_local DWORD tableRed = 0, tableGreen = 0, tableBlue = 0;
  const bool direct = bytes >= 3 && format.red == 0xFF0000 && format.green == 0xFF00 && format.blue == 0xFF;
  if (format.Palettized()) {
    table.assign(256, 0);
    const PALETTEENTRY* palette = primary->AttachedPalette() ? primary->AttachedPalette()->Entries() : nullptr;
    for (uint32_t i = 0; i < 256; ++i) {
      const PALETTEENTRY e = palette ? palette[i] : PALETTEENTRY{BYTE(i), BYTE(i), BYTE(i), 0};
      table[i] = (static_cast<uint32_t>(e.peRed) << 16) | (static_cast<uint32_t>(e.peGreen) << 8) | e.peBlue;
    }
    tableRed = tableGreen = tableBlue = 0;
  } else if (bytes == 2 && (table.size() != 65536 || tableRed != format.red || tableGreen != format.green ||
                            tableBlue != format.blue)) {
    table.resize(65536);
    for (uint32_t v = 0; v < 65536; ++v)
      table[v] = (Expand(v, format.red) << 16) | (Expand(v, format.green) << 8) | Expand(v, format.blue);
    tableRed = format.red;
    tableGreen = format.green;
    tableBlue = format.blue;
  }
  const bool lookup = format.Palettized() || bytes == 2;
  for (int y = 0; y < height; ++y) {
    const int sy = y0 + y;
    if (sy < 0 || sy >= static_cast<int>(primary->Height())) continue;
    const uint8_t* row = primary->Pixels() + static_cast<ptrdiff_t>(sy) * primary->Pitch();
    uint32_t* out = frame->pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    const int from = std::max(0, -x0);
    const int to = std::min(width, static_cast<int>(primary->Width()) - x0);
    for (int x = from; x < to; ++x) {
      const uint32_t value = ReadPixel(row + static_cast<size_t>(x0 + x) * bytes, bytes);
      if (lookup)
        out[x] = table[value & (bytes == 1 ? 0xFF : 0xFFFF)];
      else if (direct)
        out[x] = value & 0xFFFFFF;
      else
        out[x] = (Expand(value, format.red) << 16) | (Expand(value, format.green) << 8) | Expand(value, format.blue);
    }
  }
  // Overlays shown over the primary, where its pixels match their key.
  for (Surface* surface : D().surfaces) {
    const Surface::Overlay& o = surface->overlay;
    if (!o.shown || surface->Lost()) continue;
    const LONG dw = o.dest.right - o.dest.left;
    const LONG dh = o.dest.bottom - o.dest.top;
    const LONG sw = o.source.right - o.source.left;
    const LONG sh = o.source.bottom - o.source.top;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) continue;
    for (LONG py = std::max<LONG>(o.dest.top, y0); py < std::min<LONG>(o.dest.bottom, y0 + height); ++py) {
      if (py < 0 || py >= static_cast<LONG>(primary->Height())) continue;
      const uint8_t* row = primary->Pixels() + static_cast<ptrdiff_t>(py) * primary->Pitch();
      for (LONG px = std::max<LONG>(o.dest.left, x0); px < std::min<LONG>(o.dest.right, x0 + width); ++px) {
        if (px < 0 || px >= static_cast<LONG>(primary->Width())) continue;
        if (o.keyed) {
          const uint32_t under = ReadPixel(row + static_cast<size_t>(px) * bytes, bytes);
          if (under < o.key.dwColorSpaceLowValue || under > std::max(o.key.dwColorSpaceLowValue, o.key.dwColorSpaceHighValue))
            continue;
        }
        const LONG sx = o.source.left + static_cast<LONG>((2 * int64_t{px - o.dest.left} + 1) * sw / (2 * dw));
        const LONG sy = o.source.top + static_cast<LONG>((2 * int64_t{py - o.dest.top} + 1) * sh / (2 * dh));
        frame->pixels[static_cast<size_t>(py - y0) * static_cast<size_t>(width) + static_cast<size_t>(px - x0)] =
            surface->ColourAt(sx, sy);
      }
    }
  }
  return true;
}

void FillModeDesc(const FakeDisplayMode& mode, DDSURFACEDESC* desc, bool refresh) {
  std::memset(desc, 0, sizeof(*desc));
  desc->dwSize = sizeof(DDSURFACEDESC);
  desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | (refresh ? DDSD_REFRESHRATE : 0);
  desc->dwWidth = mode.width;
  desc->dwHeight = mode.height;
  const Format format = Format::ForDisplayBits(mode.bits);
  desc->lPitch = static_cast<LONG>(mode.width * format.BytesPerPixel());
  desc->dwRefreshRate = refresh ? mode.refresh : 0;
  format.ToPixelFormat(&desc->ddpfPixelFormat);
}

void FillCaps(DDCAPS* caps, DWORD general, DWORD colorKey, DWORD fx, DWORD palette, DWORD surface, DWORD vram,
              DWORD vramFree) {
  const DWORD size = caps->dwSize;
  std::memset(caps, 0, sizeof(*caps));
  caps->dwSize = size;
  caps->dwCaps = general;
  caps->dwCKeyCaps = colorKey;
  caps->dwFXCaps = fx;
  caps->dwPalCaps = palette;
  caps->ddsCaps.dwCaps = surface;
  caps->dwVidMemTotal = vram;
  caps->dwVidMemFree = vramFree;
}

}  // namespace

std::recursive_mutex& Lock() {
  static std::recursive_mutex& lock = *new std::recursive_mutex;  // never destroyed
  return lock;
}

bool ExclusiveInactive() { return D().exclusive && !user::ApplicationActive(); }

bool TakeVideoMemory(DWORD bytes) {
  if (D().vramUsed + bytes > D().config.videoMemory) return false;
  D().vramUsed += bytes;
  return true;
}

void GiveVideoMemory(DWORD bytes) { D().vramUsed -= std::min<uint64_t>(bytes, D().vramUsed); }

void SurfaceCreated(Surface* surface) { D().surfaces.insert(surface); }
void SurfaceDestroyed(Surface* surface) {
  D().surfaces.erase(surface);
  if (D().lastShown == surface) D().lastShown = nullptr;
}

void PrimaryDrawn(Surface* surface) {
  std::lock_guard lock(Lock());
  if (D().surfaces.count(surface)) D().lastShown = surface;
}

DWORD DisplayBits() { return D().current.bits; }

bool PaletteShown(const Palette* palette) {
  for (Surface* surface : D().surfaces)
    if (surface->IsPrimary() && (surface->Caps() & DDSCAPS_VISIBLE) && surface->AttachedPalette() == palette)
      return true;
  return false;
}

void ShowFrame() { host::FrameChanged(); }

Surface* AsSurface(IDirectDrawSurface* surface) { return dynamic_cast<Surface*>(surface); }

void SetDirectDrawExtension(InterfaceFactory factory) {
  std::lock_guard lock(Lock());
  D().directDrawExtension = factory;
}

void SetSurfaceExtension(InterfaceFactory factory) {
  std::lock_guard lock(Lock());
  D().surfaceExtension = factory;
}

HRESULT SurfaceExtension(IUnknown* object, REFIID iid, LPVOID* out) {
  InterfaceFactory factory;
  {
    std::lock_guard lock(Lock());
    factory = D().surfaceExtension;
  }
  return factory ? factory(object, iid, out) : E_NOINTERFACE;
}

// ---- DirectDraw ------------------------------------------------------------------------------------------------

DirectDraw::DirectDraw(bool emulationOnly) : emulation_(emulationOnly) { D().objects.insert(this); }

DirectDraw::~DirectDraw() {
  D().objects.erase(this);
  for (Surface* surface : D().surfaces)
    if (surface->owner_ == this) {
      surface->Orphan();
      surface->MarkLost();
    }
  if (D().exclusive == this) {
    D().exclusive = nullptr;
    D().exclusiveWindow = nullptr;
    BackToDesktop();
  }
}

HRESULT DirectDraw::QueryInterface(REFIID iid, LPVOID* object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid == IID_IDirectDraw || iid == IID_IDirectDraw2) {
    AddRef();
    *object = static_cast<IDirectDraw2*>(this);
    return S_OK;
  }
  InterfaceFactory factory;
  {
    std::lock_guard lock(Lock());
    factory = D().directDrawExtension;
  }
  return factory ? factory(this, iid, object) : E_NOINTERFACE;
}

ULONG DirectDraw::AddRef() {
  std::lock_guard lock(Lock());
  return ++refs_;
}

ULONG DirectDraw::Release() {
  ULONG left;
  {
    std::lock_guard lock(Lock());
    left = --refs_;
    if (!left) delete this;
  }
  if (!left) ShowFrame();
  return left;
}

HRESULT DirectDraw::Compact() { return DD_OK; }

HRESULT DirectDraw::CreateClipper(DWORD, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) {
  if (!clipper || outer) return DDERR_INVALIDPARAMS;
  *clipper = new Clipper();
  return DD_OK;
}

HRESULT DirectDraw::CreatePalette(DWORD flags, LPPALETTEENTRY entries, LPDIRECTDRAWPALETTE* palette,
                                  IUnknown* outer) {
  if (!palette || outer || !entries) return DDERR_INVALIDPARAMS;
  *palette = nullptr;
  if (!(flags & (DDPCAPS_8BIT | DDPCAPS_4BIT)) || ((flags & DDPCAPS_8BIT) && (flags & DDPCAPS_4BIT)))
    return DDERR_INVALIDPARAMS;
  *palette = new Palette(flags, entries);
  return DD_OK;
}

DWORD DirectDraw::SurfaceCapsAllowed() const {
  return emulation_ ? D().config.helSurfaceCaps : (D().config.halSurfaceCaps | D().config.helSurfaceCaps);
}

HRESULT DirectDraw::CreatePrimary(const DDSURFACEDESC& desc, Surface** out) {
  for (Surface* surface : D().surfaces)
    if (surface->owner_ == this && surface->IsPrimary() && !(surface->Caps() & DDSCAPS_BACKBUFFER))
      return DDERR_INVALIDCAPS;  // one primary per object
  DWORD caps = desc.ddsCaps.dwCaps;
  const bool flipping = (caps & DDSCAPS_FLIP) != 0;
  DWORD backs = (desc.dwFlags & DDSD_BACKBUFFERCOUNT) ? desc.dwBackBufferCount : 0;
  if (flipping) {
    if (!(caps & DDSCAPS_COMPLEX) || backs < 1 || backs > 3) return DDERR_INVALIDPARAMS;
    if (D().exclusive != this) return DDERR_NOEXCLUSIVEMODE;
    if (!(SurfaceCapsAllowed() & DDSCAPS_FLIP)) return DDERR_NOFLIPHW;
  } else {
    backs = 0;
  }
  if (emulation_ ? (caps & DDSCAPS_VIDEOMEMORY) != 0 : (caps & DDSCAPS_SYSTEMMEMORY) != 0) return DDERR_INVALIDCAPS;
  const bool video = !emulation_;
  const FakeDisplayMode mode = D().current;
  const Format format = Format::ForDisplayBits(mode.bits);
  const DWORD bytes = mode.width * mode.height * format.BytesPerPixel();
  if (video && !TakeVideoMemory(bytes * (backs + 1))) return DDERR_OUTOFVIDEOMEMORY;
  auto chain = flipping ? std::make_shared<Surface::Chain>() : nullptr;
  const DWORD common = (caps & (DDSCAPS_3DDEVICE | DDSCAPS_COMPLEX | DDSCAPS_FLIP)) |
                       (video ? DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM : DDSCAPS_SYSTEMMEMORY);
  auto* front = new Surface(this, mode.width, mode.height, format,
                            common | DDSCAPS_PRIMARYSURFACE | DDSCAPS_VISIBLE | (flipping ? DDSCAPS_FRONTBUFFER : 0),
                            false);
  front->vramBytes_ = video ? bytes * (backs + 1) : 0;
  front->displayBits_ = mode.bits;
  if (chain) {
    chain->members.push_back(front);
    front->chain = chain;
    for (DWORD i = 0; i < backs; ++i) {
      auto* back = new Surface(this, mode.width, mode.height, format,
                               common | DDSCAPS_PRIMARYSURFACE | (i == 0 ? DDSCAPS_BACKBUFFER : 0), false);
      back->displayBits_ = mode.bits;
      back->chain = chain;
      chain->members.push_back(back);
    }
  }
  *out = front;
  return DD_OK;
}

HRESULT DirectDraw::CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface, IUnknown* outer) {
  if (!surface || outer || !desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  *surface = nullptr;
  if (!(desc->dwFlags & DDSD_CAPS)) return DDERR_INVALIDPARAMS;
  uint32_t injected = 0;
  if (testing::ShouldFail("CreateSurface", &injected)) return static_cast<HRESULT>(injected);
  std::lock_guard lock(Lock());
  const DWORD caps = desc->ddsCaps.dwCaps;
  if ((caps & DDSCAPS_VIDEOMEMORY) && (caps & DDSCAPS_SYSTEMMEMORY)) return DDERR_INVALIDCAPS;
  if (caps & DDSCAPS_PRIMARYSURFACE) {
    Surface* primary = nullptr;
    HRESULT result = CreatePrimary(*desc, &primary);
    if (result == DD_OK) *surface = primary;
    return result;
  }
  if ((caps & DDSCAPS_OVERLAY) && (emulation_ || !(D().config.halCaps & DDCAPS_OVERLAY))) return DDERR_NOOVERLAYHW;
  if ((desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
  const DWORD width = desc->dwWidth;
  const DWORD height = desc->dwHeight;
  if (!width || !height || width > 16384 || height > 16384) return DDERR_INVALIDPARAMS;
  Format format = Format::ForDisplayBits(D().current.bits);
  if (caps & DDSCAPS_ZBUFFER) {
    DWORD depth = 0;
    if (desc->dwFlags & DDSD_ZBUFFERBITDEPTH) depth = desc->dwZBufferBitDepth;
    if ((desc->dwFlags & DDSD_PIXELFORMAT) && (desc->ddpfPixelFormat.dwFlags & DDPF_ZBUFFER))
      depth = desc->ddpfPixelFormat.dwZBufferBitDepth;
    if (depth != 16 && depth != 24 && depth != 32) return DDERR_INVALIDPIXELFORMAT;
    format = Format{};
    format.flags = DDPF_ZBUFFER;
    format.bits = depth;
  } else if (desc->dwFlags & DDSD_PIXELFORMAT) {
    format = Format::FromPixelFormat(desc->ddpfPixelFormat);
    const bool rgb = (format.flags & DDPF_RGB) && (format.bits == 16 || format.bits == 24 || format.bits == 32);
    const bool indexed = (format.flags & DDPF_PALETTEINDEXED8) ? format.bits == 8
                         : (format.flags & DDPF_PALETTEINDEXED4) ? format.bits == 4
                                                                 : false;
    const bool yuy2 = (format.flags & DDPF_FOURCC) && format.fourcc == MAKEFOURCC('Y', 'U', 'Y', '2');
    if (yuy2) format.bits = 16;
    if (!rgb && !indexed && !yuy2) return DDERR_INVALIDPIXELFORMAT;
  }
  bool video;
  if (caps & DDSCAPS_SYSTEMMEMORY)
    video = false;
  else if (caps & DDSCAPS_VIDEOMEMORY) {
    if (emulation_) return DDERR_NODIRECTDRAWHW;
    video = true;
  } else {
    video = !emulation_;
  }
  const uint64_t rowBytes = ((static_cast<uint64_t>(width) * std::max<DWORD>(format.bits, 4) + 7) / 8 + 3) & ~uint64_t{3};
  const uint64_t bytes = rowBytes * height;
  if (bytes > (256u << 20)) return DDERR_OUTOFMEMORY;
  if (video && !TakeVideoMemory(static_cast<DWORD>(bytes))) {
    if (caps & DDSCAPS_VIDEOMEMORY) return DDERR_OUTOFVIDEOMEMORY;
    video = false;
  }
  DWORD kept = caps & ~(DDSCAPS_VIDEOMEMORY | DDSCAPS_SYSTEMMEMORY | DDSCAPS_LOCALVIDMEM | DDSCAPS_NONLOCALVIDMEM);
  kept |= video ? (DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM) : DDSCAPS_SYSTEMMEMORY;
  auto* made = new Surface(this, width, height, format, kept, video);
  made->vramBytes_ = video ? static_cast<DWORD>(bytes) : 0;
  if (desc->dwFlags & DDSD_CKSRCBLT) {
    made->hasSourceKey = true;
    made->sourceKey = desc->ddckCKSrcBlt;
  }
  if (desc->dwFlags & DDSD_CKDESTBLT) {
    made->hasDestKey = true;
    made->destKey = desc->ddckCKDestBlt;
  }
  *surface = made;
  return DD_OK;
}

HRESULT DirectDraw::EnumDisplayModes(DWORD flags, LPDDSURFACEDESC filter, LPVOID context,
                                     LPDDENUMMODESCALLBACK callback) {
  if (!callback) return DDERR_INVALIDPARAMS;
  std::vector<FakeDisplayMode> modes;
  {
    std::lock_guard lock(Lock());
    modes = D().config.modes;
  }
  for (const FakeDisplayMode& mode : modes) {
    DDSURFACEDESC desc;
    FillModeDesc(mode, &desc, (flags & DDEDM_REFRESHRATES) != 0);
    if (filter) {
      if ((filter->dwFlags & DDSD_WIDTH) && filter->dwWidth != desc.dwWidth) continue;
      if ((filter->dwFlags & DDSD_HEIGHT) && filter->dwHeight != desc.dwHeight) continue;
      if ((filter->dwFlags & DDSD_PIXELFORMAT) &&
          filter->ddpfPixelFormat.dwRGBBitCount != desc.ddpfPixelFormat.dwRGBBitCount)
        continue;
    }
    if (callback(&desc, context) == DDENUMRET_CANCEL) break;
  }
  return DD_OK;
}

HRESULT DirectDraw::FlipToGDISurface() { return DD_OK; }

HRESULT DirectDraw::GetCaps(LPDDCAPS driverCaps, LPDDCAPS emulationCaps) {
  if (!driverCaps && !emulationCaps) return DDERR_INVALIDPARAMS;
  std::lock_guard lock(Lock());
  const FakeDisplay& c = D().config;
  const DWORD vram = emulation_ ? 0 : c.videoMemory;
  const DWORD vramFree = emulation_ ? 0 : static_cast<DWORD>(c.videoMemory - std::min<uint64_t>(D().vramUsed, c.videoMemory));
  if (driverCaps) {
    if (emulation_)
      FillCaps(driverCaps, DDCAPS_NOHARDWARE, 0, 0, 0, 0, 0, 0);
    else
      FillCaps(driverCaps, c.halCaps, c.halColorKeyCaps, c.halFxCaps, c.halPaletteCaps, c.halSurfaceCaps, vram, vramFree);
  }
  if (emulationCaps)
    FillCaps(emulationCaps, c.helCaps, c.helColorKeyCaps, c.helFxCaps, c.helPaletteCaps, c.helSurfaceCaps, 0, 0);
  return DD_OK;
}

HRESULT DirectDraw::GetDisplayMode(LPDDSURFACEDESC desc) {
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  std::lock_guard lock(Lock());
  FillModeDesc(D().current, desc, true);
  return DD_OK;
}

HRESULT DirectDraw::GetMonitorFrequency(LPDWORD frequency) {
  if (!frequency) return DDERR_INVALIDPARAMS;
  std::lock_guard lock(Lock());
  *frequency = D().current.refresh ? D().current.refresh : 60;
  return DD_OK;
}

HRESULT DirectDraw::RestoreDisplayMode() {
  {
    std::lock_guard lock(Lock());
    if (D().exclusive && D().exclusive != this) return DDERR_NOEXCLUSIVEMODE;
    if (D().modeSet) BackToDesktop();
  }
  ShowFrame();
  return DD_OK;
}

HRESULT DirectDraw::SetCooperativeLevel(HWND window, DWORD flags) {
  uint32_t injected = 0;
  if (testing::ShouldFail("SetCooperativeLevel", &injected)) return static_cast<HRESULT>(injected);
  const bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
  if (exclusive != ((flags & DDSCL_FULLSCREEN) != 0)) return DDERR_INVALIDPARAMS;
  if (!exclusive && !(flags & DDSCL_NORMAL)) return DDERR_INVALIDPARAMS;
  if (window && !IsWindow(window)) return DDERR_INVALIDPARAMS;
  if (exclusive && !window) return DDERR_NOHWND;
  {
    std::lock_guard lock(Lock());
    if (exclusive && D().exclusive && D().exclusive != this) return DDERR_EXCLUSIVEMODEALREADYSET;
    if (exclusive) {
      D().exclusive = this;
      D().exclusiveWindow = window;
    } else if (D().exclusive == this) {
      D().exclusive = nullptr;
      D().exclusiveWindow = nullptr;
      BackToDesktop();
    }
    level_ = flags;
    window_ = window;
  }
  if (window) host::Bind(window);
  return DD_OK;
}

HRESULT DirectDraw::SetDisplayMode(DWORD width, DWORD height, DWORD bits) {
  return SetDisplayMode(width, height, bits, 0, 0);
}

HRESULT DirectDraw::SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refreshRate, DWORD) {
  uint32_t injected = 0;
  if (testing::ShouldFail("SetDisplayMode", &injected)) return static_cast<HRESULT>(injected);
  {
    std::lock_guard lock(Lock());
    if (D().exclusive != this || D().noExclusive || !user::ApplicationActive()) return DDERR_NOEXCLUSIVEMODE;
    const auto& modes = D().config.modes;
    // A 16-bit request takes the listed 16-bit mode, whichever of 5-6-5 and 5-5-5 it is; an exact depth first.
    auto find = [&](bool exact) {
      return std::find_if(modes.begin(), modes.end(), [&](const FakeDisplayMode& m) {
        const DWORD listed = m.bits == 15 ? 16 : m.bits;
        return m.width == width && m.height == height && (exact ? m.bits == bits : listed == bits) &&
               (refreshRate == 0 || m.refresh == 0 || m.refresh == refreshRate);
      });
    };
    auto it = find(true);
    if (it == modes.end()) it = find(false);
    if (it == modes.end()) return DDERR_INVALIDMODE;
    for (const auto& [w, h, b] : D().refused)
      if (w == width && h == height && b == bits) return DDERR_UNSUPPORTEDMODE;
    FakeDisplayMode mode = *it;
    for (const auto& [w, h, b, aw, ah] : D().substitutes)
      if (w == width && h == height && b == bits) {
        mode.width = aw;
        mode.height = ah;
      }
    if (!mode.refresh) mode.refresh = 60;
    D().current = mode;
    D().modeSet = true;
    LoseVideoSurfaces();
    PublishScreen();
  }
  ShowFrame();
  return DD_OK;
}

HRESULT DirectDraw::WaitForVerticalBlank(DWORD, HANDLE) { return DD_OK; }

HRESULT DirectDraw::GetAvailableVidMem(LPDDSCAPS caps, LPDWORD total, LPDWORD free) {
  if (!caps) return DDERR_INVALIDPARAMS;
  if (emulation_) return DDERR_NODIRECTDRAWHW;
  std::lock_guard lock(Lock());
  const DWORD all = D().config.videoMemory;
  if (total) *total = all;
  if (free) *free = static_cast<DWORD>(all - std::min<uint64_t>(D().vramUsed, all));
  return DD_OK;
}

}  // namespace winapi::ddraw

namespace winapi::testing {

FakeDisplay DefaultFakeDisplay() {
  FakeDisplay d;
  d.modes = {{640, 480, 8, 0},   {640, 480, 16, 0},  {640, 480, 32, 0},  {800, 600, 8, 0},
             {800, 600, 16, 0},  {800, 600, 32, 0},  {1024, 768, 8, 0},  {1024, 768, 16, 0},
             {1024, 768, 32, 0}, {1280, 1024, 16, 0}, {1600, 1200, 16, 0}};
  d.halCaps = DDCAPS_3D | DDCAPS_BLT | DDCAPS_BLTCOLORFILL | DDCAPS_BLTSTRETCH | DDCAPS_COLORKEY |
              DDCAPS_COLORKEYHWASSIST | DDCAPS_CANBLTSYSMEM | DDCAPS_PALETTE | DDCAPS_GDI;
  d.halColorKeyCaps = DDCKEYCAPS_SRCBLT | DDCKEYCAPS_DESTBLT;
  d.halFxCaps = DDFXCAPS_BLTMIRRORLEFTRIGHT | DDFXCAPS_BLTMIRRORUPDOWN | DDFXCAPS_BLTROTATION90 |
                DDFXCAPS_BLTSTRETCHX | DDFXCAPS_BLTSTRETCHY;
  d.halPaletteCaps = DDPCAPS_8BIT | DDPCAPS_PRIMARYSURFACE;
  d.halSurfaceCaps = DDSCAPS_BACKBUFFER | DDSCAPS_COMPLEX | DDSCAPS_FLIP | DDSCAPS_FRONTBUFFER |
                     DDSCAPS_OFFSCREENPLAIN | DDSCAPS_PALETTE | DDSCAPS_PRIMARYSURFACE | DDSCAPS_SYSTEMMEMORY |
                     DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY | DDSCAPS_ZBUFFER;
  d.helCaps = DDCAPS_BLT | DDCAPS_BLTCOLORFILL | DDCAPS_BLTSTRETCH | DDCAPS_COLORKEY | DDCAPS_CANBLTSYSMEM |
              DDCAPS_PALETTE;
  d.helColorKeyCaps = DDCKEYCAPS_SRCBLT | DDCKEYCAPS_DESTBLT;
  d.helFxCaps = d.halFxCaps;
  d.helPaletteCaps = DDPCAPS_8BIT | DDPCAPS_4BIT | DDPCAPS_PRIMARYSURFACE;
  d.helSurfaceCaps = d.halSurfaceCaps & ~DDSCAPS_VIDEOMEMORY;
  return d;
}

void SetFakeDisplay(const FakeDisplay& display) {
  using namespace winapi::ddraw;
  RegisterReset();
  std::lock_guard lock(Lock());
  D().config = display;
  if (!D().modeSet) BackToDesktop();
}

void LoseDisplaySurfaces() {
  using namespace winapi::ddraw;
  std::lock_guard lock(Lock());
  LoseVideoSurfaces();
}

void SubstituteDisplayMode(uint32_t width, uint32_t height, uint32_t bits, uint32_t actualWidth,
                           uint32_t actualHeight) {
  using namespace winapi::ddraw;
  RegisterReset();
  std::lock_guard lock(Lock());
  D().substitutes.emplace_back(width, height, bits, actualWidth, actualHeight);
}

void RefuseDisplayMode(uint32_t width, uint32_t height, uint32_t bits) {
  using namespace winapi::ddraw;
  RegisterReset();
  std::lock_guard lock(Lock());
  D().refused.emplace_back(width, height, bits);
}

void SetNoExclusiveMode(bool on) {
  using namespace winapi::ddraw;
  RegisterReset();
  std::lock_guard lock(Lock());
  D().noExclusive = on;
}

FakeDisplayMode CurrentDisplayMode() {
  using namespace winapi::ddraw;
  std::lock_guard lock(Lock());
  return D().current;
}

}  // namespace winapi::testing

HRESULT DirectDrawCreate(GUID* driver, LPDIRECTDRAW* directDraw, IUnknown* outer) {
  using namespace winapi::ddraw;
  RegisterReset();
  if (!directDraw || outer) return DDERR_INVALIDPARAMS;
  *directDraw = nullptr;
  uint32_t injected = 0;
  if (winapi::testing::ShouldFail("DirectDrawCreate", &injected)) return static_cast<HRESULT>(injected);
  const bool emulation = driver == DDCREATE_EMULATIONONLY;
  if (driver && driver != DDCREATE_EMULATIONONLY && driver != DDCREATE_HARDWAREONLY) return DDERR_INVALIDPARAMS;
  std::lock_guard lock(Lock());
  if (!emulation && !D().config.hardware) return DDERR_NODIRECTDRAWHW;
  if (!D().sourceSet) {
    winapi::host::SetFrameSource(RenderVisible);
    D().sourceSet = true;
    PublishScreen();
  }
  *directDraw = new DirectDraw(emulation);
  return DD_OK;
}

HRESULT DirectDrawEnumerateA(LPDDENUMCALLBACKA callback, LPVOID context) {
  if (!callback) return DDERR_INVALIDPARAMS;
  char description[] = "Primary Display Driver";
  char name[] = "display";
  callback(nullptr, description, name, context);
  return DD_OK;
}
