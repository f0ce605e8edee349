// The Direct3D objects of the stand-in: the Direct3D interface of a DirectDraw object, a software device on a
// 3D-capable surface, viewports, materials and textures. Drawing goes to the software rasteriser.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "d3d.h"
#include "winapi/d3d/raster.h"
#include "winapi/ddraw/ddraw_internal.h"

namespace winapi::d3d {
namespace {

using ddraw::Lock;
using ddraw::Surface;

class Device;
class Texture;
class Material;

struct Registry {
  DWORD nextHandle = 1;
  std::map<DWORD, Texture*> textures;
  std::map<DWORD, Material*> materials;
  std::map<Surface*, Texture*> bySurface;
};
Registry& R() {
  static Registry r;
  return r;
}

template <typename Interface>
class Object : public Interface {
 public:
  virtual ~Object() = default;
  ULONG AddRef() override {
    std::lock_guard lock(Lock());
    return ++refs_;
  }
  ULONG Release() override {
    ULONG left;
    {
      std::lock_guard lock(Lock());
      left = --refs_;
    }
    if (!left) delete this;
    return left;
  }

 protected:
  HRESULT Self(REFIID iid, const GUID& own, LPVOID* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!(iid == own)) return E_NOINTERFACE;
    AddRef();
    *object = static_cast<Interface*>(this);
    return S_OK;
  }

 private:
  ULONG refs_ = 1;
};

constexpr GUID kMaterialIid{0x93281503, 0x8cf8, 0x11d0, {0x89, 0xab, 0x00, 0xa0, 0xc9, 0x05, 0x41, 0x29}};
constexpr GUID kViewportIid{0x93281500, 0x8cf8, 0x11d0, {0x89, 0xab, 0x00, 0xa0, 0xc9, 0x05, 0x41, 0x29}};
constexpr GUID kDeviceIid{0x93281501, 0x8cf8, 0x11d0, {0x89, 0xab, 0x00, 0xa0, 0xc9, 0x05, 0x41, 0x29}};

uint32_t ColourOf(const D3DCOLORVALUE& c) {
  auto ch = [](float f) { return static_cast<uint32_t>(std::clamp(f, 0.0f, 1.0f) * 255.0f + 0.5f); };
  return (ch(c.r) << 16) | (ch(c.g) << 8) | ch(c.b);
}

class Material final : public Object<IDirect3DMaterial2> {
 public:
  Material() {
    std::lock_guard lock(Lock());
    handle_ = R().nextHandle++;
    R().materials[handle_] = this;
    material_.dwSize = sizeof material_;
  }
  ~Material() override {
    std::lock_guard lock(Lock());
    R().materials.erase(handle_);
  }
  HRESULT QueryInterface(REFIID iid, LPVOID* object) override { return Self(iid, kMaterialIid, object); }
  HRESULT SetMaterial(LPD3DMATERIAL material) override {
    if (!material) return DDERR_INVALIDPARAMS;
    std::lock_guard lock(Lock());
    material_ = *material;
    return D3D_OK;
  }
  HRESULT GetMaterial(LPD3DMATERIAL material) override {
    if (!material) return DDERR_INVALIDPARAMS;
    std::lock_guard lock(Lock());
    *material = material_;
    return D3D_OK;
  }
  HRESULT GetHandle(IDirect3DDevice2* device, D3DMATERIALHANDLE* handle) override {
    if (!device || !handle) return DDERR_INVALIDPARAMS;
    *handle = handle_;
    return D3D_OK;
  }
  uint32_t Colour() const { return ColourOf(material_.diffuse); }

 private:
  DWORD handle_;
  D3DMATERIAL material_{};
};

// Texels of a surface as 0xAARRGGBB; 4-bit indices take the high nibble first.
void Decode(Surface* s, TextureImage* out) {
  const ddraw::Format& f = s->PixelFormat();
  out->width = static_cast<int32_t>(s->Width());
  out->height = static_cast<int32_t>(s->Height());
  out->hasAlpha = (f.flags & DDPF_ALPHAPIXELS) && f.alpha;
  out->texels.assign(static_cast<size_t>(out->width) * static_cast<size_t>(out->height), 0xFF000000u);
  const uint8_t* pixels = s->Pixels();
  const ddraw::Palette* palette = s->AttachedPalette();
  auto fromPalette = [&](unsigned index) -> uint32_t {
    if (!palette || index >= palette->Size()) return 0xFF000000u;
    const PALETTEENTRY& e = palette->Entries()[index];
    return 0xFF000000u | (static_cast<uint32_t>(e.peRed) << 16) | (static_cast<uint32_t>(e.peGreen) << 8) | e.peBlue;
  };
  const DWORD bytes = f.BytesPerPixel();
  // Channels of at most 8 bits are expanded through small tables made once for the texture (the same values
  // ExpandChannel() gives): textures are decoded again at every load, so this is on the frame's path.
  struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint8_t value[256] = {};
  };
  Channel channels[4];
  bool tabled = !(f.flags & (DDPF_PALETTEINDEXED8 | DDPF_PALETTEINDEXED4)) && bytes >= 1 && bytes <= 4;
  const uint32_t masks[4] = {out->hasAlpha ? f.alpha : 0, f.red, f.green, f.blue};
  for (int c = 0; c < 4 && tabled; ++c) {
    Channel& ch = channels[c];
    ch.mask = masks[c];
    if (!ch.mask) continue;
    while (!((ch.mask >> ch.shift) & 1)) ++ch.shift;
    const uint32_t max = ch.mask >> ch.shift;
    if (max > 255) {
      tabled = false;
      break;
    }
    for (uint32_t v = 0; v <= max; ++v) ch.value[v] = static_cast<uint8_t>(ddraw::ExpandChannel(v << ch.shift, ch.mask));
  }
  if (tabled) {
    auto expand = [&](const Channel& ch, uint32_t p) -> uint32_t {
      return ch.mask ? ch.value[(p & ch.mask) >> ch.shift] : 0;
    };
    for (int32_t y = 0; y < out->height; ++y) {
      const uint8_t* row = pixels + static_cast<ptrdiff_t>(y) * s->Pitch();
      uint32_t* dst = &out->texels[static_cast<size_t>(y) * static_cast<size_t>(out->width)];
      for (int32_t x = 0; x < out->width; ++x) {
        uint32_t p = 0;
        if (bytes == 2) p = static_cast<uint32_t>(row[2 * x] | (row[2 * x + 1] << 8));
        else
          for (DWORD b = 0; b < bytes; ++b) p |= static_cast<uint32_t>(row[x * bytes + b]) << (8 * b);
        const uint32_t a = out->hasAlpha ? expand(channels[0], p) : 255;
        dst[x] = (a << 24) | (expand(channels[1], p) << 16) | (expand(channels[2], p) << 8) | expand(channels[3], p);
      }
    }
    return;
  }
  for (int32_t y = 0; y < out->height; ++y) {
    const uint8_t* row = pixels + static_cast<ptrdiff_t>(y) * s->Pitch();
    uint32_t* dst = &out->texels[static_cast<size_t>(y) * static_cast<size_t>(out->width)];
    for (int32_t x = 0; x < out->width; ++x) {
      if (f.flags & DDPF_PALETTEINDEXED8) {
        dst[x] = fromPalette(row[x]);
      } else if (f.flags & DDPF_PALETTEINDEXED4) {
        const uint8_t pair = row[x / 2];
        dst[x] = fromPalette((x & 1) ? (pair & 15) : (pair >> 4));
      } else {
        uint32_t p = 0;
        for (DWORD b = 0; b < bytes; ++b) p |= static_cast<uint32_t>(row[x * bytes + b]) << (8 * b);
        const uint32_t a = out->hasAlpha ? ddraw::ExpandChannel(p, f.alpha) : 255;
        dst[x] = (a << 24) | (ddraw::ExpandChannel(p, f.red) << 16) | (ddraw::ExpandChannel(p, f.green) << 8) |
                 ddraw::ExpandChannel(p, f.blue);
      }
    }
  }
}

class Texture final : public Object<IDirect3DTexture2> {
 public:
  explicit Texture(Surface* surface) : surface_(surface) {
    surface_->AddRef();
    handle_ = R().nextHandle++;
    R().textures[handle_] = this;
    R().bySurface[surface_] = this;
    Decode(surface_, &image_);
  }
  ~Texture() override {
    {
      std::lock_guard lock(Lock());
      R().textures.erase(handle_);
      R().bySurface.erase(surface_);
    }
    surface_->Release();
  }
  HRESULT QueryInterface(REFIID iid, LPVOID* object) override {
    if (iid == IID_IDirect3DTexture2) return Self(iid, IID_IDirect3DTexture2, object);
    return surface_->QueryInterface(iid, object);
  }
  HRESULT GetHandle(IDirect3DDevice2* device, D3DTEXTUREHANDLE* handle) override {
    if (!device || !handle) return DDERR_INVALIDPARAMS;
    *handle = handle_;
    return D3D_OK;
  }
  HRESULT PaletteChanged(DWORD, DWORD) override {
    std::lock_guard lock(Lock());
    if (surface_->Lost()) return DDERR_SURFACELOST;
    Decode(surface_, &image_);
    return D3D_OK;
  }
  HRESULT Load(IDirect3DTexture2* source) override;
  const TextureImage& Image() const { return image_; }
  Surface* Surf() const { return surface_; }

 private:
  Surface* surface_;
  DWORD handle_;
  TextureImage image_;
};

HRESULT Texture::Load(IDirect3DTexture2* source) {
  auto* from = dynamic_cast<Texture*>(source);
  if (!from) return DDERR_INVALIDPARAMS;
  std::lock_guard lock(Lock());
  Surface* src = from->surface_;
  Surface* dst = surface_;
  if (src->Lost() || dst->Lost()) return DDERR_SURFACELOST;
  const ddraw::Format &sf = src->PixelFormat(), &df = dst->PixelFormat();
  if (src->Width() != dst->Width() || src->Height() != dst->Height() || sf.bits != df.bits || sf.flags != df.flags)
    return D3DERR_TEXTURE_LOAD_FAILED;
  const size_t rowBytes = (static_cast<size_t>(src->Width()) * std::max<DWORD>(sf.bits, 4) + 7) / 8;
  if (src != dst)
    for (DWORD y = 0; y < src->Height(); ++y)
      std::memcpy(dst->Pixels() + static_cast<ptrdiff_t>(y) * dst->Pitch(),
                  src->Pixels() + static_cast<ptrdiff_t>(y) * src->Pitch(), rowBytes);
  Decode(dst, &image_);
  return D3D_OK;
}

class Viewport final : public Object<IDirect3DViewport2> {
 public:
  HRESULT QueryInterface(REFIID iid, LPVOID* object) override { return Self(iid, kViewportIid, object); }
  HRESULT SetViewport2(LPD3DVIEWPORT2 viewport) override {
    if (!viewport) return DDERR_INVALIDPARAMS;
    std::lock_guard lock(Lock());
    if (!device_) return D3DERR_VIEWPORTHASNODEVICE;
    view_ = *viewport;
    return D3D_OK;
  }
  HRESULT GetViewport2(LPD3DVIEWPORT2 viewport) override {
    if (!viewport) return DDERR_INVALIDPARAMS;
    std::lock_guard lock(Lock());
    *viewport = view_;
    return D3D_OK;
  }
  HRESULT SetBackground(D3DMATERIALHANDLE material) override {
    std::lock_guard lock(Lock());
    if (material && !R().materials.count(material)) return DDERR_INVALIDPARAMS;
    background_ = material;
    return D3D_OK;
  }
  HRESULT Clear(DWORD count, LPD3DRECT rects, DWORD flags) override;
  Device* device_ = nullptr;
  D3DVIEWPORT2 view_{};
  D3DMATERIALHANDLE background_ = 0;
};

bool TargetOf(Surface* s, RasterTarget* t) {
  const ddraw::Format& f = s->PixelFormat();
  t->pixels = s->Pixels();
  t->pitch = s->Pitch();
  t->width = static_cast<int32_t>(s->Width());
  t->height = static_cast<int32_t>(s->Height());
  if (f.bits == 16 && f.green == 0x07E0) t->format = TargetFormat::Rgb565;
  else if (f.bits == 16 && f.green == 0x03E0) t->format = TargetFormat::Rgb555;
  else if (f.bits == 32) t->format = TargetFormat::Xrgb8888;
  else return false;
  return true;
}

Surface* ZOf(Surface* target) {
  DDSCAPS caps{DDSCAPS_ZBUFFER};
  LPDIRECTDRAWSURFACE z = nullptr;
  if (target->GetAttachedSurface(&caps, &z) != DD_OK || !z) return nullptr;
  z->Release();  // the target keeps it
  return ddraw::AsSurface(z);
}

class Device final : public Object<IDirect3DDevice2> {
 public:
  Device(Surface* target, bool hardware, bool ramp) : target_(target), hardware_(hardware), ramp_(ramp) {
    target_->AddRef();
    state_[D3DRENDERSTATE_ZENABLE] = ZOf(target) ? 1 : 0;
    state_[D3DRENDERSTATE_ZWRITEENABLE] = 1;
    state_[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
    state_[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
    state_[D3DRENDERSTATE_TEXTUREMAG] = D3DFILTER_NEAREST;
    state_[D3DRENDERSTATE_TEXTUREMIN] = D3DFILTER_NEAREST;
    state_[D3DRENDERSTATE_TEXTUREMAPBLEND] = D3DTBLEND_MODULATE;
    state_[D3DRENDERSTATE_TEXTUREADDRESS] = D3DTADDRESS_WRAP;
    state_[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
    state_[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
    state_[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
    state_[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_ALWAYS;
    state_[D3DRENDERSTATE_FILLMODE] = D3DFILL_SOLID;
    state_[D3DRENDERSTATE_TEXTUREPERSPECTIVE] = 1;
  }
  ~Device() override {
    for (Viewport* v : viewports_) {
      v->device_ = nullptr;
      v->Release();
    }
    target_->Release();
  }
  HRESULT QueryInterface(REFIID iid, LPVOID* object) override { return Self(iid, kDeviceIid, object); }
  HRESULT GetCaps(LPD3DDEVICEDESC hardware, LPD3DDEVICEDESC emulation) override;
  HRESULT EnumTextureFormats(LPD3DENUMTEXTUREFORMATSCALLBACK callback, LPVOID context) override;
  HRESULT AddViewport(IDirect3DViewport2* viewport) override {
    auto* v = dynamic_cast<Viewport*>(viewport);
    if (!v) return DDERR_INVALIDPARAMS;
    std::lock_guard lock(Lock());
    if (v->device_) return DDERR_INVALIDPARAMS;
    v->AddRef();
    v->device_ = this;
    viewports_.push_back(v);
    return D3D_OK;
  }
  HRESULT DeleteViewport(IDirect3DViewport2* viewport) override {
    auto* v = dynamic_cast<Viewport*>(viewport);
    std::lock_guard lock(Lock());
    auto it = std::find(viewports_.begin(), viewports_.end(), v);
    if (it == viewports_.end()) return DDERR_INVALIDPARAMS;
    viewports_.erase(it);
    if (current_ == v) current_ = nullptr;
    v->device_ = nullptr;
    v->Release();
    return D3D_OK;
  }
  HRESULT SetCurrentViewport(IDirect3DViewport2* viewport) override {
    auto* v = dynamic_cast<Viewport*>(viewport);
    std::lock_guard lock(Lock());
    if (!v || v->device_ != this) return DDERR_INVALIDPARAMS;
    current_ = v;
    return D3D_OK;
  }
  HRESULT BeginScene() override {
    std::lock_guard lock(Lock());
    if (inScene_) return D3DERR_SCENE_IN_SCENE;
    if (target_->Lost()) return DDERR_SURFACELOST;
    inScene_ = true;
    return D3D_OK;
  }
  HRESULT EndScene() override {
    std::lock_guard lock(Lock());
    if (!inScene_) return D3DERR_SCENE_NOT_IN_SCENE;
    inScene_ = false;
    return D3D_OK;
  }
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override {
    if (state <= 0 || state >= kStates) return DDERR_INVALIDPARAMS;
    std::lock_guard lock(Lock());
    if (state == D3DRENDERSTATE_TEXTUREHANDLE && value && !R().textures.count(value)) return DDERR_INVALIDPARAMS;
    state_[state] = value;
    return D3D_OK;
  }
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, LPDWORD value) override {
    if (state <= 0 || state >= kStates || !value) return DDERR_INVALIDPARAMS;
    std::lock_guard lock(Lock());
    *value = state_[state];
    return D3D_OK;
  }
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, D3DVERTEXTYPE vertexType, LPVOID vertices, DWORD count,
                        DWORD flags) override;
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, D3DVERTEXTYPE vertexType, LPVOID vertices, DWORD vertexCount,
                               LPWORD indices, DWORD indexCount, DWORD flags) override;

  Surface* Target() const { return target_; }

 private:
  static constexpr int kStates = 64;
  HRESULT Prepare(RasterTarget* t, RasterDepth* d, RasterState* s);
  Surface* target_;
  bool hardware_;
  bool ramp_;
  bool inScene_ = false;
  DWORD state_[kStates] = {};
  std::vector<Viewport*> viewports_;
  Viewport* current_ = nullptr;
};

D3DPRIMCAPS FullCaps() {
  D3DPRIMCAPS c{};
  c.dwSize = sizeof c;
  c.dwRasterCaps = D3DPRASTERCAPS_DITHER | D3DPRASTERCAPS_ZTEST | D3DPRASTERCAPS_FOGVERTEX;
  c.dwZCmpCaps = D3DPCMPCAPS_ALL;
  c.dwAlphaCmpCaps = D3DPCMPCAPS_ALL;
  c.dwSrcBlendCaps = c.dwDestBlendCaps = 0x3FF;
  c.dwShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_SPECULARGOURAUDRGB | D3DPSHADECAPS_ALPHAFLATBLEND |
                  D3DPSHADECAPS_ALPHAGOURAUDBLEND | D3DPSHADECAPS_FOGGOURAUD;
  c.dwTextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA;
  c.dwTextureFilterCaps = D3DPTEXTUREFILTERCAPS_NEAREST | D3DPTEXTUREFILTERCAPS_LINEAR;
  c.dwTextureBlendCaps = D3DPTBLENDCAPS_DECAL | D3DPTBLENDCAPS_MODULATE | D3DPTBLENDCAPS_DECALALPHA |
                         D3DPTBLENDCAPS_MODULATEALPHA;
  c.dwTextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_CLAMP;
  return c;
}

void Describe(LPD3DDEVICEDESC d, bool applies, bool ramp) {
  if (!d) return;
  const DWORD size = d->dwSize ? std::min<DWORD>(d->dwSize, sizeof *d) : sizeof *d;
  D3DDEVICEDESC out{};
  out.dwSize = size;
  if (applies) {
    out.dwFlags = D3DDD_COLORMODEL | D3DDD_DEVCAPS | D3DDD_TRICAPS | D3DDD_DEVICERENDERBITDEPTH |
                  D3DDD_DEVICEZBUFFERBITDEPTH;
    out.dcmColorModel = ramp ? D3DCOLOR_MONO : D3DCOLOR_RGB;
    out.dpcLineCaps = out.dpcTriCaps = FullCaps();
    out.dwDeviceRenderBitDepth = DDBD_16 | DDBD_32;
    out.dwDeviceZBufferBitDepth = DDBD_16 | DDBD_24 | DDBD_32;
    out.dwMaxVertexCount = 65535;
    out.dwMinTextureWidth = out.dwMinTextureHeight = 1;
    out.dwMaxTextureWidth = out.dwMaxTextureHeight = 2048;
  }
  std::memcpy(d, &out, size);
}

HRESULT Device::GetCaps(LPD3DDEVICEDESC hardware, LPD3DDEVICEDESC emulation) {
  Describe(hardware, hardware_, false);
  Describe(emulation, !hardware_, ramp_);
  return D3D_OK;
}

HRESULT Device::EnumTextureFormats(LPD3DENUMTEXTUREFORMATSCALLBACK callback, LPVOID context) {
  if (!callback) return DDERR_INVALIDPARAMS;
  struct Entry {
    DWORD flags, bits, r, g, b, a;
  };
  static const Entry kFormats[] = {
      {DDPF_PALETTEINDEXED8 | DDPF_RGB, 8, 0, 0, 0, 0},
      {DDPF_PALETTEINDEXED4 | DDPF_RGB, 4, 0, 0, 0, 0},
      {DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x7C00, 0x03E0, 0x001F, 0x8000},
      {DDPF_RGB, 16, 0x7C00, 0x03E0, 0x001F, 0},
      {DDPF_RGB, 16, 0xF800, 0x07E0, 0x001F, 0},
      {DDPF_RGB, 24, 0xFF0000, 0xFF00, 0xFF, 0},
      {DDPF_RGB | DDPF_ALPHAPIXELS, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
      {DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x0F00, 0x00F0, 0x000F, 0xF000},
  };
  for (const Entry& e : kFormats) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_PIXELFORMAT;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc.ddpfPixelFormat.dwFlags = e.flags;
    desc.ddpfPixelFormat.dwRGBBitCount = e.bits;
    desc.ddpfPixelFormat.dwRBitMask = e.r;
    desc.ddpfPixelFormat.dwGBitMask = e.g;
    desc.ddpfPixelFormat.dwBBitMask = e.b;
    desc.ddpfPixelFormat.dwRGBAlphaBitMask = e.a;
    if (callback(&desc, context) == D3DENUMRET_CANCEL) break;
  }
  return D3D_OK;
}

HRESULT Device::Prepare(RasterTarget* t, RasterDepth* d, RasterState* s) {
  if (!inScene_) return D3DERR_SCENE_NOT_IN_SCENE;
  if (target_->Lost()) return DDERR_SURFACELOST;
  if (!TargetOf(target_, t)) return DDERR_INVALIDPIXELFORMAT;
  if (Surface* z = ZOf(target_); z && !z->Lost() && z->Width() >= target_->Width() && z->Height() >= target_->Height()) {
    d->pixels = z->Pixels();
    d->pitch = z->Pitch();
    d->bits = static_cast<int32_t>(z->PixelFormat().bits);
  }
  const DWORD* st = state_;
  s->zTest = st[D3DRENDERSTATE_ZENABLE] != 0;
  s->zWrite = st[D3DRENDERSTATE_ZENABLE] && st[D3DRENDERSTATE_ZWRITEENABLE];
  s->zFunc = static_cast<int>(st[D3DRENDERSTATE_ZFUNC]);
  s->gouraud = st[D3DRENDERSTATE_SHADEMODE] != D3DSHADE_FLAT;
  s->perspective = st[D3DRENDERSTATE_TEXTUREPERSPECTIVE] != 0;
  s->bilinear = st[D3DRENDERSTATE_TEXTUREMAG] == D3DFILTER_LINEAR;
  s->wrap = st[D3DRENDERSTATE_TEXTUREADDRESS] != D3DTADDRESS_CLAMP;
  s->textureBlend = static_cast<int>(st[D3DRENDERSTATE_TEXTUREMAPBLEND]);
  s->texture = nullptr;
  if (DWORD h = st[D3DRENDERSTATE_TEXTUREHANDLE]) {
    auto it = R().textures.find(h);
    if (it != R().textures.end() && !it->second->Image().texels.empty()) s->texture = &it->second->Image();
  }
  s->alphaBlend = st[D3DRENDERSTATE_ALPHABLENDENABLE] != 0;
  s->srcBlend = static_cast<int>(st[D3DRENDERSTATE_SRCBLEND]);
  s->destBlend = static_cast<int>(st[D3DRENDERSTATE_DESTBLEND]);
  s->alphaTest = st[D3DRENDERSTATE_ALPHATESTENABLE] != 0;
  s->alphaFunc = static_cast<int>(st[D3DRENDERSTATE_ALPHAFUNC]);
  s->alphaRef = st[D3DRENDERSTATE_ALPHAREF];
  s->fog = st[D3DRENDERSTATE_FOGENABLE] != 0;
  s->fogColour = st[D3DRENDERSTATE_FOGCOLOR] & 0xFFFFFF;
  s->specular = st[D3DRENDERSTATE_SPECULARENABLE] != 0;
  s->cull = static_cast<int>(st[D3DRENDERSTATE_CULLMODE]);
  s->fill = static_cast<int>(st[D3DRENDERSTATE_FILLMODE]);
  return D3D_OK;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, D3DVERTEXTYPE vertexType, LPVOID vertices, DWORD count, DWORD) {
  if (vertexType != D3DVT_TLVERTEX) return D3DERR_INVALIDVERTEXTYPE;
  if (!vertices && count) return DDERR_INVALIDPARAMS;
  std::lock_guard lock(Lock());
  RasterTarget t;
  RasterDepth d;
  RasterState s;
  if (HRESULT r = Prepare(&t, &d, &s); r != D3D_OK) return r;
  const auto* v = static_cast<const D3DTLVERTEX*>(vertices);
  switch (type) {
    case D3DPT_TRIANGLESTRIP:
      for (DWORD i = 0; i + 2 < count; ++i) {
        // Every other triangle is reversed so that the strip keeps one winding.
        if (i & 1) DrawTriangle(t, d, s, v[i + 1], v[i], v[i + 2]);
        else DrawTriangle(t, d, s, v[i], v[i + 1], v[i + 2]);
      }
      return D3D_OK;
    case D3DPT_TRIANGLELIST:
      for (DWORD i = 0; i + 2 < count; i += 3) DrawTriangle(t, d, s, v[i], v[i + 1], v[i + 2]);
      return D3D_OK;
    case D3DPT_TRIANGLEFAN:
      for (DWORD i = 1; i + 1 < count; ++i) DrawTriangle(t, d, s, v[0], v[i], v[i + 1]);
      return D3D_OK;
    case D3DPT_LINESTRIP:
      for (DWORD i = 0; i + 1 < count; ++i) DrawLine(t, d, s, v[i], v[i + 1]);
      return D3D_OK;
    case D3DPT_LINELIST:
      for (DWORD i = 0; i + 1 < count; i += 2) DrawLine(t, d, s, v[i], v[i + 1]);
      return D3D_OK;
    case D3DPT_POINTLIST:
      for (DWORD i = 0; i < count; ++i) DrawPoint(t, d, s, v[i]);
      return D3D_OK;
  }
  return D3DERR_INVALIDPRIMITIVETYPE;
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, D3DVERTEXTYPE vertexType, LPVOID vertices,
                                     DWORD vertexCount, LPWORD indices, DWORD indexCount, DWORD) {
  if (vertexType != D3DVT_TLVERTEX) return D3DERR_INVALIDVERTEXTYPE;
  if (type != D3DPT_TRIANGLELIST) return D3DERR_INVALIDPRIMITIVETYPE;
  if ((!vertices && vertexCount) || (!indices && indexCount)) return DDERR_INVALIDPARAMS;
  for (DWORD i = 0; i < indexCount; ++i)
    if (indices[i] >= vertexCount) return DDERR_INVALIDPARAMS;
  std::lock_guard lock(Lock());
  RasterTarget t;
  RasterDepth d;
  RasterState s;
  if (HRESULT r = Prepare(&t, &d, &s); r != D3D_OK) return r;
  const auto* v = static_cast<const D3DTLVERTEX*>(vertices);
  for (DWORD i = 0; i + 2 < indexCount; i += 3) DrawTriangle(t, d, s, v[indices[i]], v[indices[i + 1]], v[indices[i + 2]]);
  return D3D_OK;
}

HRESULT Viewport::Clear(DWORD count, LPD3DRECT rects, DWORD flags) {
  if (count && !rects) return DDERR_INVALIDPARAMS;
  std::lock_guard lock(Lock());
  if (!device_) return D3DERR_VIEWPORTHASNODEVICE;
  Surface* target = device_->Target();
  if (target->Lost()) return DDERR_SURFACELOST;
  RasterTarget t;
  if (!TargetOf(target, &t)) return DDERR_INVALIDPIXELFORMAT;
  if (!(flags & D3DCLEAR_TARGET)) t.pixels = nullptr;
  RasterDepth d;
  if (flags & D3DCLEAR_ZBUFFER)
    if (Surface* z = ZOf(target); z && !z->Lost() && z->Width() >= target->Width() && z->Height() >= target->Height()) {
      d.pixels = z->Pixels();
      d.pitch = z->Pitch();
      d.bits = static_cast<int32_t>(z->PixelFormat().bits);
    }
  uint32_t colour = 0;
  if (auto it = R().materials.find(background_); it != R().materials.end()) colour = it->second->Colour();
  for (DWORD i = 0; i < count; ++i)
    ClearRect(t, &d, rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2, colour, 1.0f);
  return D3D_OK;
}

class Direct3D final : public Object<IDirect3D2> {
 public:
  explicit Direct3D(ddraw::DirectDraw* ddraw) : ddraw_(ddraw) { ddraw_->AddRef(); }
  ~Direct3D() override { ddraw_->Release(); }
  HRESULT QueryInterface(REFIID iid, LPVOID* object) override {
    if (iid == IID_IDirect3D2) return Self(iid, IID_IDirect3D2, object);
    return ddraw_->QueryInterface(iid, object);
  }
  HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK callback, LPVOID context) override {
    if (!callback) return DDERR_INVALIDPARAMS;
    struct Kind {
      const GUID* guid;
      const char* description;
      const char* name;
      bool hardware, ramp;
    };
    const Kind kinds[] = {{&IID_IDirect3DHALDevice, "Software rasteriser as hardware", "HAL", true, false},
                          {&IID_IDirect3DRGBDevice, "RGB emulation", "RGB Emulation", false, false},
                          {&IID_IDirect3DRampDevice, "Ramp emulation", "Ramp Emulation", false, true},
                          {&IID_IDirect3DMMXDevice, "MMX emulation", "MMX Emulation", false, false}};
    for (const Kind& k : kinds) {
      if (k.hardware && !HardwareAllowed()) continue;
      D3DDEVICEDESC hw{}, hel{};
      hw.dwSize = hel.dwSize = sizeof(D3DDEVICEDESC);
      Describe(&hw, k.hardware, false);
      Describe(&hel, !k.hardware, k.ramp);
      GUID guid = *k.guid;
      std::string description = k.description, name = k.name;
      if (callback(&guid, description.data(), name.data(), &hw, &hel, context) == D3DENUMRET_CANCEL) break;
    }
    return D3D_OK;
  }
  HRESULT CreateMaterial(IDirect3DMaterial2** material, IUnknown* outer) override {
    if (!material || outer) return DDERR_INVALIDPARAMS;
    *material = new Material;
    return D3D_OK;
  }
  HRESULT CreateViewport(IDirect3DViewport2** viewport, IUnknown* outer) override {
    if (!viewport || outer) return DDERR_INVALIDPARAMS;
    *viewport = new Viewport;
    return D3D_OK;
  }
  HRESULT CreateDevice(REFCLSID type, LPDIRECTDRAWSURFACE target, IDirect3DDevice2** device) override {
    if (!device) return DDERR_INVALIDPARAMS;
    *device = nullptr;
    Surface* surface = target ? ddraw::AsSurface(target) : nullptr;
    if (!surface || !(surface->Caps() & DDSCAPS_3DDEVICE)) return DDERR_INVALIDCAPS;
    const bool hardware = type == IID_IDirect3DHALDevice;
    const bool ramp = type == IID_IDirect3DRampDevice;
    if (!hardware && !ramp && !(type == IID_IDirect3DRGBDevice) && !(type == IID_IDirect3DMMXDevice))
      return D3DERR_INVALID_DEVICE;
    if (hardware && !HardwareAllowed()) return D3DERR_INVALID_DEVICE;
    RasterTarget probe;
    if (!TargetOf(surface, &probe)) return DDERR_INVALIDPIXELFORMAT;
    std::lock_guard lock(Lock());
    *device = new Device(surface, hardware, ramp);
    return D3D_OK;
  }

 private:
  bool HardwareAllowed() {
    if (ddraw_->EmulationOnly()) return false;
    DDCAPS caps{};
    caps.dwSize = sizeof caps;
    return ddraw_->GetCaps(&caps, nullptr) == DD_OK && (caps.dwCaps & DDCAPS_3D);
  }
  ddraw::DirectDraw* ddraw_;
};

HRESULT DirectDrawInterfaces(IUnknown* object, REFIID iid, LPVOID* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!(iid == IID_IDirect3D2)) return E_NOINTERFACE;
  auto* ddraw = dynamic_cast<ddraw::DirectDraw*>(object);
  if (!ddraw) return E_NOINTERFACE;
  *out = static_cast<IDirect3D2*>(new Direct3D(ddraw));
  return S_OK;
}

HRESULT SurfaceInterfaces(IUnknown* object, REFIID iid, LPVOID* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!(iid == IID_IDirect3DTexture2)) return E_NOINTERFACE;
  auto* surface = dynamic_cast<Surface*>(object);
  if (!surface || !(surface->Caps() & DDSCAPS_TEXTURE)) return E_NOINTERFACE;
  std::lock_guard lock(Lock());
  if (auto it = R().bySurface.find(surface); it != R().bySurface.end()) {
    it->second->AddRef();
    *out = static_cast<IDirect3DTexture2*>(it->second);
    return S_OK;
  }
  *out = static_cast<IDirect3DTexture2*>(new Texture(surface));
  return S_OK;
}

}  // namespace

void Install() {
  ddraw::SetDirectDrawExtension(DirectDrawInterfaces);
  ddraw::SetSurfaceExtension(SurfaceInterfaces);
}

}  // namespace winapi::d3d
