// The DirectDraw stand-in's objects, for the parts of the stand-in that build on its surfaces (Direct3D).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "ddraw.h"

namespace winapi::ddraw {

// Guards every DirectDraw object. Recursive: the host's frame source takes it on the showing thread too.
std::recursive_mutex& Lock();

struct Format {
  DWORD flags = 0;  // DDPF_*
  DWORD bits = 0;   // bits per pixel (Z depth for Z-buffers)
  DWORD fourcc = 0;
  DWORD red = 0;
  DWORD green = 0;
  DWORD blue = 0;
  DWORD alpha = 0;
  static Format FromPixelFormat(const DDPIXELFORMAT& pf);
  void ToPixelFormat(DDPIXELFORMAT* pf) const;
  // The pixel format of a display mode of 8, 15, 16, 24 or 32 bits.
  static Format ForDisplayBits(DWORD bits);
  // Bits per pixel of the display mode it describes: 15 for 5-5-5, else the bit count.
  DWORD DisplayBits() const;
  DWORD BytesPerPixel() const { return bits <= 8 ? 1 : (bits + 7) / 8; }
  bool Palettized() const { return (flags & (DDPF_PALETTEINDEXED8 | DDPF_PALETTEINDEXED4)) != 0; }
};

class DirectDraw;
class Palette;
class Clipper;

// A colour channel under `mask` scaled to 8 bits.
inline uint32_t ExpandChannel(uint32_t value, uint32_t mask) {
  if (!mask) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  const uint32_t max = mask >> shift;
  const uint32_t v = (value & mask) >> shift;
  return static_cast<uint32_t>((static_cast<uint64_t>(v) * 255 + max / 2) / max);
}

class Surface final : public IDirectDrawSurface3 {
 public:
  Surface(DirectDraw* owner, DWORD width, DWORD height, const Format& format, DWORD caps, bool videoMemory);
  ~Surface();

  HRESULT QueryInterface(REFIID iid, LPVOID* object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT AddAttachedSurface(LPDIRECTDRAWSURFACE surface) override;
  HRESULT Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD flags, LPDDBLTFX fx) override;
  HRESULT BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD trans) override;
  HRESULT DeleteAttachedSurface(DWORD flags, LPDIRECTDRAWSURFACE surface) override;
  HRESULT EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK callback) override;
  HRESULT Flip(LPDIRECTDRAWSURFACE target, DWORD flags) override;
  HRESULT GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* surface) override;
  HRESULT GetBltStatus(DWORD flags) override;
  HRESULT GetCaps(LPDDSCAPS caps) override;
  HRESULT GetClipper(LPDIRECTDRAWCLIPPER* clipper) override;
  HRESULT GetColorKey(DWORD flags, LPDDCOLORKEY key) override;
  HRESULT GetFlipStatus(DWORD flags) override;
  HRESULT GetPalette(LPDIRECTDRAWPALETTE* palette) override;
  HRESULT GetPixelFormat(LPDDPIXELFORMAT format) override;
  HRESULT GetSurfaceDesc(LPDDSURFACEDESC desc) override;
  HRESULT IsLost() override;
  HRESULT Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) override;
  HRESULT Restore() override;
  HRESULT SetClipper(LPDIRECTDRAWCLIPPER clipper) override;
  HRESULT SetColorKey(DWORD flags, LPDDCOLORKEY key) override;
  HRESULT SetPalette(LPDIRECTDRAWPALETTE palette) override;
  HRESULT Unlock(LPVOID pointer) override;
  HRESULT UpdateOverlay(LPRECT sourceRect, LPDIRECTDRAWSURFACE dest, LPRECT destRect, DWORD flags,
                        LPDDOVERLAYFX fx) override;
  HRESULT GetDDInterface(LPVOID* directDraw) override;
  HRESULT PageLock(DWORD flags) override;
  HRESULT PageUnlock(DWORD flags) override;
  HRESULT SetSurfaceDesc(LPDDSURFACEDESC desc, DWORD flags) override;

  // Direct access for the other stand-in parts (call with Lock() held).
  uint8_t* Pixels() { return client_ ? client_ : memory_->data(); }
  DWORD Width() const { return width_; }
  DWORD Height() const { return height_; }
  LONG Pitch() const { return pitch_; }
  const Format& PixelFormat() const { return format_; }
  DWORD Caps() const { return caps_; }
  bool Lost() const { return lost_; }
  bool InVideoMemory() const { return video_; }
  Palette* AttachedPalette() const { return palette_; }
  bool IsPrimary() const { return (caps_ & DDSCAPS_PRIMARYSURFACE) != 0; }
  void MarkLost() { lost_ = true; }
  void Orphan() { owner_ = nullptr; }
  // The colour of a pixel as 0x00RRGGBB (palettes, masks and YUY2 applied).
  uint32_t ColourAt(LONG x, LONG y);
  // An overlay shown over the primary: where from and where to, and the primary's key it shows through.
  struct Overlay {
    bool shown = false;
    RECT source{};
    RECT dest{};
    bool keyed = false;
    DDCOLORKEY key{};
  };
  Overlay overlay;
  // Colour keys: valid when the flag is set.
  bool hasSourceKey = false;
  DDCOLORKEY sourceKey{};
  bool hasDestKey = false;
  DDCOLORKEY destKey{};

  // The flip chain a complex surface belongs to (front first), shared by its members.
  struct Chain {
    std::vector<Surface*> members;
  };
  std::shared_ptr<Chain> chain;

 private:
  friend class DirectDraw;
  HRESULT CheckUsable(bool forWrite);
  HRESULT BltCommon(RECT dest, Surface* source, RECT sourceRect, bool hasSource, DWORD flags, const DDBLTFX* fx,
                    bool clip);
  void Changed();

  ULONG refs_ = 1;
  DirectDraw* owner_;
  DWORD width_;
  DWORD height_;
  LONG pitch_ = 0;
  Format format_;
  DWORD caps_;
  bool video_;
  DWORD vramBytes_ = 0;
  std::shared_ptr<std::vector<uint8_t>> memory_;
  uint8_t* client_ = nullptr;
  bool lost_ = false;
  bool locked_ = false;
  Palette* palette_ = nullptr;
  Clipper* clipper_ = nullptr;
  std::vector<Surface*> attached_;  // explicitly attached (Z-buffers), each holding a reference
  DWORD displayBits_;               // display depth the surface was made in (primary surfaces)
};

// Reference counting and QueryInterface of the small objects (one interface each).
template <typename Derived, typename Interface>
class Counted : public Interface {
 public:
  HRESULT QueryInterface(REFIID iid, LPVOID* object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!(iid == Derived::Iid())) return E_NOINTERFACE;
    AddRef();
    *object = static_cast<Interface*>(this);
    return S_OK;
  }
  ULONG AddRef() override {
    std::lock_guard lock(Lock());
    return ++refs_;
  }
  ULONG Release() override {
    std::lock_guard lock(Lock());
    const ULONG left = --refs_;
    if (!left) delete static_cast<Derived*>(this);
    return left;
  }

 private:
  ULONG refs_ = 1;
};

class Palette final : public Counted<Palette, IDirectDrawPalette> {
 public:
  static const GUID& Iid() { return IID_IDirectDrawPalette; }
  Palette(DWORD caps, const PALETTEENTRY* entries);
  HRESULT GetCaps(LPDWORD caps) override;
  HRESULT GetEntries(DWORD flags, DWORD base, DWORD count, LPPALETTEENTRY entries) override;
  HRESULT SetEntries(DWORD flags, DWORD start, DWORD count, LPPALETTEENTRY entries) override;
  DWORD Size() const { return (caps_ & DDPCAPS_4BIT) ? 16 : 256; }
  const PALETTEENTRY* Entries() const { return entries_; }

 private:
  DWORD caps_;
  PALETTEENTRY entries_[256] = {};
};

class Clipper final : public Counted<Clipper, IDirectDrawClipper> {
 public:
  static const GUID& Iid() { return IID_IDirectDrawClipper; }
  HRESULT SetHWnd(DWORD flags, HWND window) override;
  HRESULT GetHWnd(HWND* window) override;
  HWND Window() const { return window_; }

 private:
  HWND window_ = nullptr;
};

class DirectDraw final : public IDirectDraw2 {
 public:
  explicit DirectDraw(bool emulationOnly);
  ~DirectDraw();
  HRESULT QueryInterface(REFIID iid, LPVOID* object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT Compact() override;
  HRESULT CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) override;
  HRESULT CreatePalette(DWORD flags, LPPALETTEENTRY entries, LPDIRECTDRAWPALETTE* palette, IUnknown* outer) override;
  HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface, IUnknown* outer) override;
  HRESULT EnumDisplayModes(DWORD flags, LPDDSURFACEDESC filter, LPVOID context,
                           LPDDENUMMODESCALLBACK callback) override;
  HRESULT FlipToGDISurface() override;
  HRESULT GetCaps(LPDDCAPS driverCaps, LPDDCAPS emulationCaps) override;
  HRESULT GetDisplayMode(LPDDSURFACEDESC desc) override;
  HRESULT GetMonitorFrequency(LPDWORD frequency) override;
  HRESULT RestoreDisplayMode() override;
  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
  HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits) override;
  HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refreshRate, DWORD flags) override;
  HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event) override;
  HRESULT GetAvailableVidMem(LPDDSCAPS caps, LPDWORD total, LPDWORD free) override;

  bool EmulationOnly() const { return emulation_; }
  DWORD SurfaceCapsAllowed() const;

 private:
  HRESULT CreatePrimary(const DDSURFACEDESC& desc, Surface** out);
  ULONG refs_ = 1;
  bool emulation_;
  DWORD level_ = 0;
  HWND window_ = nullptr;
};

// Whether a full-screen exclusive program is in the background now (its video memory is not its own).
bool ExclusiveInactive();
// Accounts video memory; false when it is full.
bool TakeVideoMemory(DWORD bytes);
void GiveVideoMemory(DWORD bytes);
void SurfaceCreated(Surface* surface);
void SurfaceDestroyed(Surface* surface);
// A visible primary surface was drawn to: the screen shows it (call without Lock() held).
void PrimaryDrawn(Surface* surface);
// The display's current depth in bits (15 for 5-5-5).
DWORD DisplayBits();
// Tells the host that the visible picture changed. Call without Lock() held.
void ShowFrame();

// Looks behind an interface pointer; null when it is not one of ours.
Surface* AsSurface(IDirectDrawSurface* surface);

// Other parts of the stand-in answer QueryInterface for interfaces of their own (Direct3D on a DirectDraw
// object or a surface). The factory returns E_NOINTERFACE for identifiers it does not know.
using InterfaceFactory = HRESULT (*)(IUnknown* object, REFIID iid, LPVOID* out);
void SetDirectDrawExtension(InterfaceFactory factory);
void SetSurfaceExtension(InterfaceFactory factory);

}  // namespace winapi::ddraw
