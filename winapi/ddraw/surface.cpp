// Surfaces in memory (lock, blit, flip, lost and restored), palettes and clippers.
#include <algorithm>
#include <cstring>

#include "winapi/ddraw/ddraw_internal.h"
#include "winapi/testing.h"
#include "winapi/user/user_internal.h"

namespace winapi::ddraw {

bool PaletteShown(const Palette* palette);
HRESULT SurfaceExtension(IUnknown* object, REFIID iid, LPVOID* out);

namespace {

uint32_t Read(const uint8_t* p, DWORD bytes) {
  switch (bytes) {
    case 1: return p[0];
    case 2: return static_cast<uint32_t>(p[0] | (p[1] << 8));
    case 3: return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
    default: return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)) | (static_cast<uint32_t>(p[3]) << 24);
  }
}

void Write(uint8_t* p, DWORD bytes, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  if (bytes > 1) p[1] = static_cast<uint8_t>(value >> 8);
  if (bytes > 2) p[2] = static_cast<uint8_t>(value >> 16);
  if (bytes > 3) p[3] = static_cast<uint8_t>(value >> 24);
}

bool InKey(uint32_t value, const DDCOLORKEY& key) {
  return value >= key.dwColorSpaceLowValue && value <= std::max(key.dwColorSpaceLowValue, key.dwColorSpaceHighValue);
}

// One row of a same-size keyed copy, pixels of type Pixel (rows need not be aligned).
template <typename Pixel>
void KeyedRow(const uint8_t* from, uint8_t* to, LONG count, const DDCOLORKEY* sourceKey, const DDCOLORKEY* destKey) {
  const uint32_t sLow = sourceKey ? sourceKey->dwColorSpaceLowValue : 1;
  const uint32_t sHigh = sourceKey ? std::max(sLow, sourceKey->dwColorSpaceHighValue) : 0;
  const uint32_t dLow = destKey ? destKey->dwColorSpaceLowValue : 0;
  const uint32_t dHigh = destKey ? std::max(dLow, destKey->dwColorSpaceHighValue) : ~0u;
  for (LONG i = 0; i < count; ++i, from += sizeof(Pixel), to += sizeof(Pixel)) {
    Pixel value;
    std::memcpy(&value, from, sizeof value);
    if (value >= sLow && value <= sHigh) continue;
    if (destKey) {
      Pixel under;
      std::memcpy(&under, to, sizeof under);
      if (under < dLow || under > dHigh) continue;
    }
    std::memcpy(to, &value, sizeof value);
  }
}

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

bool Inside(const RECT& r, DWORD width, DWORD height) {
  return r.left >= 0 && r.top >= 0 && r.left <= r.right && r.top <= r.bottom &&
         r.right <= static_cast<LONG>(width) && r.bottom <= static_cast<LONG>(height);
}

// Places an 8-bit channel into a colour mask.
uint32_t Pack(uint32_t channel, uint32_t mask) {
  if (!mask) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  int width = 0;
  while (shift + width < 32 && ((mask >> (shift + width)) & 1)) ++width;
  return ((width >= 8 ? channel << (width - 8) : channel >> (8 - width)) << shift) & mask;
}

// Pixel x of a YUY2 row (Y0 U Y1 V for each pair) in an RGB format, with the video range of BT.601.
uint32_t FromYuy2(const uint8_t* row, LONG x, const Format& format) {
  const uint8_t* pair = row + static_cast<size_t>(x & ~1L) * 2;
  const int y = (x & 1) ? pair[2] : pair[0];
  const int c = y - 16;
  const int d = pair[1] - 128;
  const int e = pair[3] - 128;
  auto clamp = [](int v) { return static_cast<uint32_t>(std::clamp((v + 128) >> 8, 0, 255)); };
  const uint32_t r = clamp(298 * c + 409 * e);
  const uint32_t g = clamp(298 * c - 100 * d - 208 * e);
  const uint32_t b = clamp(298 * c + 516 * d);
  return Pack(r, format.red) | Pack(g, format.green) | Pack(b, format.blue);
}

// Gives the caller a reference to an object the surface holds.
template <typename Object, typename Interface>
HRESULT Handed(Object* held, Interface** out, HRESULT none) {
  if (!out) return DDERR_INVALIDPARAMS;
  std::lock_guard lock(Lock());
  *out = held;
  if (!held) return none;
  held->AddRef();
  return DD_OK;
}

// Replaces an object the surface holds, keeping the references right.
template <typename Object>
void Hold(Object*& held, Object* given) {
  if (given) given->AddRef();
  if (held) held->Release();
  held = given;
}

HRESULT Injected(const char* call) {
  uint32_t error = 0;
  if (testing::ShouldFail(call, &error)) return static_cast<HRESULT>(error ? error : static_cast<uint32_t>(DDERR_GENERIC));
  return DD_OK;
}

}  // namespace

// ---- pixel formats --------------------------------------------------------------------------------------------

Format Format::FromPixelFormat(const DDPIXELFORMAT& pf) {
  Format f;
  f.flags = pf.dwFlags;
  f.bits = pf.dwRGBBitCount;
  f.fourcc = pf.dwFourCC;
  if (pf.dwFlags & DDPF_RGB) {
    f.red = pf.dwRBitMask;
    f.green = pf.dwGBitMask;
    f.blue = pf.dwBBitMask;
  }
  if (pf.dwFlags & DDPF_ALPHAPIXELS) f.alpha = pf.dwRGBAlphaBitMask;
  return f;
}

void Format::ToPixelFormat(DDPIXELFORMAT* pf) const {
  std::memset(pf, 0, sizeof(*pf));
  pf->dwSize = sizeof(DDPIXELFORMAT);
  pf->dwFlags = flags;
  pf->dwFourCC = fourcc;
  pf->dwRGBBitCount = bits;
  pf->dwRBitMask = red;
  pf->dwGBitMask = green;
  pf->dwBBitMask = blue;
  pf->dwRGBAlphaBitMask = alpha;
}

Format Format::ForDisplayBits(DWORD displayBits) {
  Format f;
  f.flags = DDPF_RGB;
  switch (displayBits) {
    case 8:
      f.flags |= DDPF_PALETTEINDEXED8;
      f.bits = 8;
      break;
    case 15:
      f.bits = 16;
      f.red = 0x7C00;
      f.green = 0x03E0;
      f.blue = 0x001F;
      break;
    case 24:
    case 32:
      f.bits = displayBits;
      f.red = 0xFF0000;
      f.green = 0x00FF00;
      f.blue = 0x0000FF;
      break;
    default:
      f.bits = 16;
      f.red = 0xF800;
      f.green = 0x07E0;
      f.blue = 0x001F;
      break;
  }
  return f;
}

DWORD Format::DisplayBits() const { return (bits == 16 && green == 0x03E0) ? 15 : bits; }

// ---- surfaces --------------------------------------------------------------------------------------------------

Surface::Surface(DirectDraw* owner, DWORD width, DWORD height, const Format& format, DWORD caps, bool videoMemory)
    : owner_(owner), width_(width), height_(height), format_(format), caps_(caps), video_(videoMemory) {
  const DWORD rowBytes = format.bits == 4 ? (width + 1) / 2 : width * format.BytesPerPixel();
  pitch_ = static_cast<LONG>((rowBytes + 3) & ~3u);
  memory_ = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(pitch_) * height, 0);
  displayBits_ = ddraw::DisplayBits();
  SurfaceCreated(this);
}

Surface::~Surface() {
  for (Surface* surface : attached_) surface->Release();
  if (palette_) palette_->Release();
  if (clipper_) clipper_->Release();
  if (chain && chain->members.front() == this) {
    auto members = chain->members;
    for (size_t i = 1; i < members.size(); ++i) {
      members[i]->chain.reset();
      members[i]->Release();
    }
    chain->members.clear();
  } else if (chain) {
    auto& members = chain->members;
    members.erase(std::remove(members.begin(), members.end(), this), members.end());
  }
  GiveVideoMemory(vramBytes_);
  SurfaceDestroyed(this);
}

HRESULT Surface::QueryInterface(REFIID iid, LPVOID* object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid == IID_IDirectDrawSurface || iid == IID_IDirectDrawSurface2 || iid == IID_IDirectDrawSurface3) {
    AddRef();
    *object = static_cast<IDirectDrawSurface3*>(this);
    return S_OK;
  }
  return SurfaceExtension(this, iid, object);
}

ULONG Surface::AddRef() {
  std::lock_guard lock(ddraw::Lock());
  return ++refs_;
}

ULONG Surface::Release() {
  std::lock_guard lock(ddraw::Lock());
  const ULONG left = --refs_;
  if (!left) delete this;
  return left;
}

HRESULT Surface::CheckUsable(bool) {
  if (ExclusiveInactive() && (video_ || IsPrimary())) lost_ = true;
  if (lost_) return DDERR_SURFACELOST;
  if (locked_) return DDERR_SURFACEBUSY;
  return DD_OK;
}

void Surface::Changed() {
  if (!IsPrimary() || !(caps_ & DDSCAPS_VISIBLE)) return;
  PrimaryDrawn(this);
  ShowFrame();
}

HRESULT Surface::AddAttachedSurface(LPDIRECTDRAWSURFACE surface) {
  std::lock_guard lock(ddraw::Lock());
  Surface* other = AsSurface(surface);
  if (!other) return DDERR_INVALIDPARAMS;
  if (other == this || !(other->caps_ & DDSCAPS_ZBUFFER)) return DDERR_CANNOTATTACHSURFACE;
  if (std::find(attached_.begin(), attached_.end(), other) != attached_.end()) return DDERR_SURFACEALREADYATTACHED;
  if (other->width_ != width_ || other->height_ != height_) return DDERR_CANNOTATTACHSURFACE;
  other->AddRef();
  attached_.push_back(other);
  return DD_OK;
}

HRESULT Surface::DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE surface) {
  std::lock_guard lock(ddraw::Lock());
  if (!surface) {
    auto all = std::move(attached_);
    attached_.clear();
    for (Surface* s : all) s->Release();
    return DD_OK;
  }
  Surface* other = AsSurface(surface);
  auto it = std::find(attached_.begin(), attached_.end(), other);
  if (it == attached_.end()) return DDERR_SURFACENOTATTACHED;
  attached_.erase(it);
  other->Release();
  return DD_OK;
}

HRESULT Surface::EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK callback) {
  if (!callback) return DDERR_INVALIDPARAMS;
  std::vector<Surface*> list;
  {
    std::lock_guard lock(ddraw::Lock());
    if (chain) {
      auto& members = chain->members;
      auto it = std::find(members.begin(), members.end(), this);
      if (it != members.end() && members.size() > 1) {
        Surface* next = members[static_cast<size_t>((it - members.begin()) + 1) % members.size()];
        if (next != this) list.push_back(next);
      }
    }
    list.insert(list.end(), attached_.begin(), attached_.end());
    for (Surface* s : list) s->AddRef();
  }
  for (size_t i = 0; i < list.size(); ++i) {
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    list[i]->GetSurfaceDesc(&desc);
    if (callback(list[i], &desc, context) == DDENUMRET_CANCEL) {
      for (size_t j = i + 1; j < list.size(); ++j) list[j]->Release();
      break;
    }
  }
  return DD_OK;
}

HRESULT Surface::GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* surface) {
  if (!caps || !surface) return DDERR_INVALIDPARAMS;
  *surface = nullptr;
  std::lock_guard lock(ddraw::Lock());
  const DWORD want = caps->dwCaps;
  if (chain) {
    auto& members = chain->members;
    auto it = std::find(members.begin(), members.end(), this);
    if (it != members.end() && members.size() > 1) {
      Surface* next = members[static_cast<size_t>((it - members.begin()) + 1) % members.size()];
      if (next != this && (next->caps_ & want) == want) {
        next->AddRef();
        *surface = next;
        return DD_OK;
      }
    }
  }
  for (Surface* s : attached_) {
    if ((s->caps_ & want) == want) {
      s->AddRef();
      *surface = s;
      return DD_OK;
    }
  }
  return DDERR_NOTFOUND;
}

HRESULT Surface::Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD flags, LPDDBLTFX fx) {
  if (HRESULT injected = Injected("Blt")) return injected;
  HRESULT result;
  {
    std::lock_guard lock(ddraw::Lock());
    Surface* src = source ? AsSurface(source) : nullptr;
    if (source && !src) return DDERR_INVALIDOBJECT;
    RECT dest = destRect ? *destRect : RECT{0, 0, static_cast<LONG>(width_), static_cast<LONG>(height_)};
    RECT srect{};
    if (src) srect = sourceRect ? *sourceRect : RECT{0, 0, static_cast<LONG>(src->width_), static_cast<LONG>(src->height_)};
    result = BltCommon(dest, src, srect, src != nullptr, flags, fx, clipper_ != nullptr);
  }
  if (result == DD_OK) Changed();
  return result;
}

HRESULT Surface::BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD trans) {
  if (HRESULT injected = Injected("Blt")) return injected;
  HRESULT result;
  {
    std::lock_guard lock(ddraw::Lock());
    if (clipper_) return DDERR_BLTFASTCANTCLIP;
    Surface* src = AsSurface(source);
    if (!src) return DDERR_INVALIDPARAMS;
    RECT srect = sourceRect ? *sourceRect : RECT{0, 0, static_cast<LONG>(src->width_), static_cast<LONG>(src->height_)};
    if (srect.right < srect.left || srect.bottom < srect.top || x > 16384 || y > 16384) return DDERR_INVALIDRECT;
    RECT dest{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x) + (srect.right - srect.left),
              static_cast<LONG>(y) + (srect.bottom - srect.top)};
    DWORD flags = 0;
    if (trans & DDBLTFAST_SRCCOLORKEY) flags |= DDBLT_KEYSRC;
    if (trans & DDBLTFAST_DESTCOLORKEY) flags |= DDBLT_KEYDEST;
    result = BltCommon(dest, src, srect, true, flags, nullptr, false);
  }
  if (result == DD_OK) Changed();
  return result;
}

// One blit or fill. The destination rectangle is clipped to the clipper's window when `clip`, else it must
// lie on the surface. Effects: the source is mirrored first, then turned (quarter turns counter-clockwise);
// the result is stretched to the destination by nearest pixels.
HRESULT Surface::BltCommon(RECT dest, Surface* source, RECT srect, bool hasSource, DWORD flags, const DDBLTFX* fx,
                           bool clip) {
  if (HRESULT r = CheckUsable(true)) return r;
  if (hasSource && source != this)
    if (HRESULT r = source->CheckUsable(false)) return r;
  if (dest.left > dest.right || dest.top > dest.bottom) return DDERR_INVALIDRECT;
  const RECT bounds{0, 0, static_cast<LONG>(width_), static_cast<LONG>(height_)};
  RECT area = bounds;
  if (clip) {
    HWND window = clipper_ ? clipper_->Window() : nullptr;
    if (!window) return DDERR_NOCLIPLIST;
    int cw = 0;
    int ch = 0;
    POINT origin{};
    if (!user::ClientGeometry(window, &cw, &ch, &origin)) return DDERR_NOCLIPLIST;
    area = Intersect(area, RECT{origin.x, origin.y, origin.x + cw, origin.y + ch});
  } else if (!Inside(dest, width_, height_)) {
    return DDERR_INVALIDRECT;
  }
  const RECT visible = Intersect(dest, area);
  const DWORD bytes = format_.BytesPerPixel();
  if (format_.bits == 4) return DDERR_UNSUPPORTED;

  if (flags & (DDBLT_COLORFILL | DDBLT_DEPTHFILL)) {
    if (!fx) return DDERR_INVALIDPARAMS;
    const uint32_t value = (flags & DDBLT_DEPTHFILL) ? fx->dwFillDepth : fx->dwFillColor;
    for (LONG y = visible.top; y < visible.bottom; ++y) {
      uint8_t* row = Pixels() + static_cast<ptrdiff_t>(y) * pitch_;
      for (LONG x = visible.left; x < visible.right; ++x) Write(row + static_cast<size_t>(x) * bytes, bytes, value);
    }
    return DD_OK;
  }
  if (!hasSource || !source) return DDERR_INVALIDPARAMS;
  // YUY2 pictures are turned into the destination's colours (the movie output's blit); otherwise depths match.
  const bool yuy2 = (source->format_.flags & DDPF_FOURCC) != 0;
  if (format_.flags & DDPF_FOURCC) return DDERR_INVALIDPIXELFORMAT;
  if (yuy2 && (format_.Palettized() || !format_.red)) return DDERR_INVALIDPIXELFORMAT;
  if (!yuy2 && (source->format_.bits != format_.bits || source->format_.bits == 4)) return DDERR_INVALIDPIXELFORMAT;
  if (!Inside(srect, source->width_, source->height_)) return DDERR_INVALIDRECT;

  DWORD effects = (flags & DDBLT_DDFX) && fx ? fx->dwDDFX : 0;
  int turns = (effects & DDBLTFX_ROTATE90) ? 1 : (effects & DDBLTFX_ROTATE180) ? 2 : (effects & DDBLTFX_ROTATE270) ? 3 : 0;
  if ((flags & DDBLT_ROTATIONANGLE) && fx) {
    const DWORD angle = fx->dwRotationAngle % 36000;  // hundredths of a degree
    if (angle % 9000) return DDERR_UNSUPPORTED;
    turns = static_cast<int>(angle / 9000);
  }
  const DDCOLORKEY* sourceKey = nullptr;
  if (flags & DDBLT_KEYSRCOVERRIDE) {
    if (!fx) return DDERR_INVALIDPARAMS;
    sourceKey = &fx->ddckSrcColorkey;
  } else if (flags & DDBLT_KEYSRC) {
    if (!source->hasSourceKey) return DDERR_NOCOLORKEY;
    sourceKey = &source->sourceKey;
  }
  const DDCOLORKEY* destinationKey = nullptr;
  if (flags & DDBLT_KEYDESTOVERRIDE) {
    if (!fx) return DDERR_INVALIDPARAMS;
    destinationKey = &fx->ddckDestColorkey;
  } else if (flags & DDBLT_KEYDEST) {
    if (!hasDestKey) return DDERR_NOCOLORKEY;
    destinationKey = &destKey;
  }

  const LONG width = dest.right - dest.left;
  const LONG height = dest.bottom - dest.top;
  const LONG srcWidth = srect.right - srect.left;
  const LONG srcHeight = srect.bottom - srect.top;
  if (width == 0 || height == 0 || srcWidth == 0 || srcHeight == 0) return DD_OK;

  // A blit within one surface reads from a copy, so overlapping rectangles come out right.
  std::vector<uint8_t> copy;
  const uint8_t* srcBase = source->Pixels();
  LONG srcPitch = source->pitch_;
  if (source == this && Intersect(srect, dest).right > Intersect(srect, dest).left &&
      Intersect(srect, dest).bottom > Intersect(srect, dest).top) {
    copy.assign(source->Pixels(), source->Pixels() + static_cast<size_t>(pitch_) * height_);
    srcBase = copy.data();
  }
  // Same size and no effects: row copies (or a plain keyed loop), no sampling.
  const bool plain = !yuy2 && turns == 0 && !(effects & (DDBLTFX_MIRRORLEFTRIGHT | DDBLTFX_MIRRORUPDOWN)) &&
                     width == srcWidth && height == srcHeight;
  if (plain) {
    const LONG count = visible.right - visible.left;
    for (LONG y = visible.top; y < visible.bottom; ++y) {
      const uint8_t* from = srcBase + static_cast<ptrdiff_t>(srect.top + (y - dest.top)) * srcPitch +
                            static_cast<size_t>(srect.left + (visible.left - dest.left)) * bytes;
      uint8_t* to = Pixels() + static_cast<ptrdiff_t>(y) * pitch_ + static_cast<size_t>(visible.left) * bytes;
      if (!sourceKey && !destinationKey) {
        std::memmove(to, from, static_cast<size_t>(count) * bytes);
        continue;
      }
      switch (bytes) {
        case 1:
          KeyedRow<uint8_t>(from, to, count, sourceKey, destinationKey);
          break;
        case 2:
          KeyedRow<uint16_t>(from, to, count, sourceKey, destinationKey);
          break;
        case 4:
          KeyedRow<uint32_t>(from, to, count, sourceKey, destinationKey);
          break;
        default:
          for (LONG i = 0; i < count; ++i, from += bytes, to += bytes) {
            const uint32_t value = Read(from, bytes);
            if (sourceKey && InKey(value, *sourceKey)) continue;
            if (destinationKey && !InKey(Read(to, bytes), *destinationKey)) continue;
            Write(to, bytes, value);
          }
          break;
      }
    }
    return DD_OK;
  }
  const LONG preWidth = (turns & 1) ? height : width;
  const LONG preHeight = (turns & 1) ? width : height;
  for (LONG y = visible.top; y < visible.bottom; ++y) {
    uint8_t* row = Pixels() + static_cast<ptrdiff_t>(y) * pitch_;
    for (LONG x = visible.left; x < visible.right; ++x) {
      const LONG dx = x - dest.left;
      const LONG dy = y - dest.top;
      LONG px;
      LONG py;
      switch (turns) {
        case 1:  // a quarter turn counter-clockwise
          px = height - 1 - dy;
          py = dx;
          break;
        case 2:
          px = width - 1 - dx;
          py = height - 1 - dy;
          break;
        case 3:
          px = dy;
          py = width - 1 - dx;
          break;
        default:
          px = dx;
          py = dy;
          break;
      }
      if (effects & DDBLTFX_MIRRORLEFTRIGHT) px = preWidth - 1 - px;
      if (effects & DDBLTFX_MIRRORUPDOWN) py = preHeight - 1 - py;
      const LONG sx = srect.left + static_cast<LONG>((2 * static_cast<int64_t>(px) + 1) * srcWidth / (2 * preWidth));
      const LONG sy = srect.top + static_cast<LONG>((2 * static_cast<int64_t>(py) + 1) * srcHeight / (2 * preHeight));
      const uint32_t value = yuy2 ? FromYuy2(srcBase + static_cast<ptrdiff_t>(sy) * srcPitch, sx, format_)
                                  : Read(srcBase + static_cast<ptrdiff_t>(sy) * srcPitch + static_cast<size_t>(sx) * bytes, bytes);
      if (sourceKey && InKey(value, *sourceKey)) continue;
      uint8_t* target = row + static_cast<size_t>(x) * bytes;
      if (destinationKey && !InKey(Read(target, bytes), *destinationKey)) continue;
      Write(target, bytes, value);
    }
  }
  return DD_OK;
}

HRESULT Surface::Flip(LPDIRECTDRAWSURFACE target, DWORD) {
  if (HRESULT injected = Injected("Flip")) return injected;
  {
    std::lock_guard lock(ddraw::Lock());
    if (!chain || chain->members.front() != this) return DDERR_NOTFLIPPABLE;
    auto& members = chain->members;
    for (Surface* s : members)
      if (HRESULT r = s->CheckUsable(true)) return r;
    if (target) {
      Surface* other = AsSurface(target);
      auto it = std::find(members.begin() + 1, members.end(), other);
      if (!other || it == members.end()) return DDERR_INVALIDPARAMS;
      std::swap(memory_, other->memory_);
    } else {
      auto first = members.front()->memory_;
      for (size_t i = 0; i + 1 < members.size(); ++i) members[i]->memory_ = members[i + 1]->memory_;
      members.back()->memory_ = first;
    }
  }
  Changed();
  return DD_OK;
}

HRESULT Surface::GetBltStatus(DWORD) { return DD_OK; }
HRESULT Surface::GetFlipStatus(DWORD) { return DD_OK; }

HRESULT Surface::GetCaps(LPDDSCAPS caps) {
  if (!caps) return DDERR_INVALIDPARAMS;
  std::lock_guard lock(ddraw::Lock());
  caps->dwCaps = caps_;
  return DD_OK;
}

HRESULT Surface::GetClipper(LPDIRECTDRAWCLIPPER* clipper) { return Handed(clipper_, clipper, DDERR_NOCLIPPERATTACHED); }

HRESULT Surface::SetClipper(LPDIRECTDRAWCLIPPER clipper) {
  std::lock_guard lock(ddraw::Lock());
  auto* ours = clipper ? dynamic_cast<Clipper*>(clipper) : nullptr;
  if (clipper && !ours) return DDERR_INVALIDOBJECT;
  Hold(clipper_, ours);
  return DD_OK;
}

HRESULT Surface::GetColorKey(DWORD flags, LPDDCOLORKEY key) {
  if (!key) return DDERR_INVALIDPARAMS;
  std::lock_guard lock(ddraw::Lock());
  if (flags & DDCKEY_SRCBLT) {
    if (!hasSourceKey) return DDERR_NOCOLORKEY;
    *key = sourceKey;
    return DD_OK;
  }
  if (flags & DDCKEY_DESTBLT) {
    if (!hasDestKey) return DDERR_NOCOLORKEY;
    *key = destKey;
    return DD_OK;
  }
  return DDERR_INVALIDPARAMS;
}

HRESULT Surface::SetColorKey(DWORD flags, LPDDCOLORKEY key) {
  std::lock_guard lock(ddraw::Lock());
  DDCOLORKEY value{};
  if (key) {
    value = *key;
    if (!(flags & DDCKEY_COLORSPACE)) value.dwColorSpaceHighValue = value.dwColorSpaceLowValue;
  }
  if (flags & DDCKEY_SRCBLT) {
    hasSourceKey = key != nullptr;
    sourceKey = value;
    return DD_OK;
  }
  if (flags & DDCKEY_DESTBLT) {
    hasDestKey = key != nullptr;
    destKey = value;
    return DD_OK;
  }
  return DDERR_INVALIDPARAMS;
}

HRESULT Surface::GetPalette(LPDIRECTDRAWPALETTE* palette) { return Handed(palette_, palette, DDERR_NOPALETTEATTACHED); }

HRESULT Surface::SetPalette(LPDIRECTDRAWPALETTE palette) {
  {
    std::lock_guard lock(ddraw::Lock());
    auto* ours = palette ? dynamic_cast<Palette*>(palette) : nullptr;
    if (palette && !ours) return DDERR_INVALIDOBJECT;
    if (ours && !format_.Palettized()) return DDERR_NOTPALETTIZED;
    if (lost_) return DDERR_SURFACELOST;
    Hold(palette_, ours);
  }
  Changed();
  return DD_OK;
}

HRESULT Surface::GetPixelFormat(LPDDPIXELFORMAT format) {
  if (!format) return DDERR_INVALIDPARAMS;
  std::lock_guard lock(ddraw::Lock());
  format_.ToPixelFormat(format);
  if (format_.flags & DDPF_ZBUFFER) format->dwZBufferBitDepth = format_.bits;
  return DD_OK;
}

HRESULT Surface::GetSurfaceDesc(LPDDSURFACEDESC desc) {
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  std::lock_guard lock(ddraw::Lock());
  std::memset(desc, 0, sizeof(*desc));
  desc->dwSize = sizeof(DDSURFACEDESC);
  desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_LPSURFACE;
  desc->dwWidth = width_;
  desc->dwHeight = height_;
  desc->lPitch = pitch_;
  desc->lpSurface = Pixels();
  desc->ddsCaps.dwCaps = caps_;
  format_.ToPixelFormat(&desc->ddpfPixelFormat);
  if (chain && chain->members.front() == this) {
    desc->dwFlags |= DDSD_BACKBUFFERCOUNT;
    desc->dwBackBufferCount = static_cast<DWORD>(chain->members.size() - 1);
  }
  if (format_.flags & DDPF_ZBUFFER) {
    desc->dwFlags |= DDSD_ZBUFFERBITDEPTH;
    desc->dwZBufferBitDepth = format_.bits;
  }
  if (hasSourceKey) {
    desc->dwFlags |= DDSD_CKSRCBLT;
    desc->ddckCKSrcBlt = sourceKey;
  }
  if (hasDestKey) {
    desc->dwFlags |= DDSD_CKDESTBLT;
    desc->ddckCKDestBlt = destKey;
  }
  return DD_OK;
}

HRESULT Surface::IsLost() {
  std::lock_guard lock(ddraw::Lock());
  if (ExclusiveInactive() && (video_ || IsPrimary())) lost_ = true;
  return lost_ ? DDERR_SURFACELOST : DD_OK;
}

HRESULT Surface::Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD, HANDLE) {
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  if (HRESULT injected = Injected("Lock")) return injected;
  std::lock_guard lock(ddraw::Lock());
  if (HRESULT r = CheckUsable(true)) return r;
  RECT area{0, 0, static_cast<LONG>(width_), static_cast<LONG>(height_)};
  if (rect) {
    if (!Inside(*rect, width_, height_)) return DDERR_INVALIDRECT;
    area = *rect;
  }
  GetSurfaceDesc(desc);
  const size_t column = format_.bits == 4 ? static_cast<size_t>(area.left) / 2
                                          : static_cast<size_t>(area.left) * format_.BytesPerPixel();
  desc->lpSurface = Pixels() + static_cast<ptrdiff_t>(area.top) * pitch_ + column;
  locked_ = true;
  return DD_OK;
}

HRESULT Surface::Unlock(LPVOID) {
  {
    std::lock_guard lock(ddraw::Lock());
    if (!locked_) return DDERR_NOTLOCKED;
    locked_ = false;
  }
  Changed();
  return DD_OK;
}

HRESULT Surface::Restore() {
  if (HRESULT injected = Injected("Restore")) return injected;
  std::lock_guard lock(ddraw::Lock());
  if (!lost_) return DD_OK;
  if (!owner_) return DDERR_INVALIDOBJECT;
  if (ExclusiveInactive()) return DDERR_NOEXCLUSIVEMODE;
  if (IsPrimary() && displayBits_ != ddraw::DisplayBits()) return DDERR_WRONGMODE;
  lost_ = false;
  if (chain && chain->members.front() == this)
    for (Surface* s : chain->members) s->lost_ = false;
  return DD_OK;
}

HRESULT Surface::UpdateOverlay(LPRECT sourceRect, LPDIRECTDRAWSURFACE dest, LPRECT destRect, DWORD flags,
                               LPDDOVERLAYFX fx) {
  {
    std::lock_guard lock(ddraw::Lock());
    if (!(caps_ & DDSCAPS_OVERLAY)) return DDERR_NOTAOVERLAYSURFACE;
    if (flags & DDOVER_HIDE) {
      overlay.shown = false;
    } else {
      Surface* target = AsSurface(dest);
      if (!target || !target->IsPrimary()) return DDERR_INVALIDPARAMS;
      if (HRESULT r = CheckUsable(false)) return r;
      const RECT source = sourceRect ? *sourceRect : RECT{0, 0, static_cast<LONG>(width_), static_cast<LONG>(height_)};
      if (!Inside(source, width_, height_)) return DDERR_INVALIDRECT;
      const RECT to = destRect ? *destRect
                               : RECT{0, 0, static_cast<LONG>(target->width_), static_cast<LONG>(target->height_)};
      if (to.right < to.left || to.bottom < to.top) return DDERR_INVALIDRECT;
      Overlay shown;
      shown.shown = (flags & DDOVER_SHOW) != 0 || overlay.shown;
      shown.source = source;
      shown.dest = to;
      if ((flags & DDOVER_KEYDESTOVERRIDE) && fx) {
        shown.keyed = true;
        shown.key = fx->dckDestColorkey;
      } else if (flags & DDOVER_KEYDEST) {
        if (!target->hasDestKey) return DDERR_NOCOLORKEY;
        shown.keyed = true;
        shown.key = target->destKey;
      }
      overlay = shown;
    }
  }
  ShowFrame();
  return DD_OK;
}

uint32_t Surface::ColourAt(LONG x, LONG y) {
  const uint8_t* row = Pixels() + static_cast<ptrdiff_t>(y) * pitch_;
  if (format_.flags & DDPF_FOURCC) {
    Format rgb;
    rgb.red = 0xFF0000;
    rgb.green = 0x00FF00;
    rgb.blue = 0x0000FF;
    return FromYuy2(row, x, rgb);
  }
  const DWORD bytes = format_.BytesPerPixel();
  const uint32_t value = Read(row + static_cast<size_t>(x) * bytes, bytes);
  if (format_.Palettized()) {
    const PALETTEENTRY* entries = palette_ ? palette_->Entries() : nullptr;
    const PALETTEENTRY e = entries ? entries[value & 0xFF] : PALETTEENTRY{BYTE(value), BYTE(value), BYTE(value), 0};
    return (static_cast<uint32_t>(e.peRed) << 16) | (static_cast<uint32_t>(e.peGreen) << 8) | e.peBlue;
  }
  return (ExpandChannel(value, format_.red) << 16) | (ExpandChannel(value, format_.green) << 8) |
         ExpandChannel(value, format_.blue);
}

HRESULT Surface::GetDDInterface(LPVOID* directDraw) {
  if (!directDraw) return DDERR_INVALIDPARAMS;
  std::lock_guard lock(ddraw::Lock());
  if (!owner_) return DDERR_INVALIDOBJECT;
  owner_->AddRef();
  *directDraw = static_cast<IDirectDraw2*>(owner_);
  return DD_OK;
}

HRESULT Surface::PageLock(DWORD) { return DD_OK; }
HRESULT Surface::PageUnlock(DWORD) { return DD_OK; }

HRESULT Surface::SetSurfaceDesc(LPDDSURFACEDESC desc, DWORD) {
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  if (!(desc->dwFlags & DDSD_LPSURFACE) || !desc->lpSurface) return DDERR_INVALIDPARAMS;
  std::lock_guard lock(ddraw::Lock());
  if (video_ || IsPrimary() || chain) return DDERR_INVALIDCAPS;
  if (locked_) return DDERR_SURFACEBUSY;
  DWORD width = (desc->dwFlags & DDSD_WIDTH) ? desc->dwWidth : width_;
  DWORD height = (desc->dwFlags & DDSD_HEIGHT) ? desc->dwHeight : height_;
  Format format = (desc->dwFlags & DDSD_PIXELFORMAT) ? Format::FromPixelFormat(desc->ddpfPixelFormat) : format_;
  if (!width || !height || width > 16384 || height > 16384 || !format.bits) return DDERR_INVALIDPARAMS;
  const LONG rowBytes = static_cast<LONG>(format.bits == 4 ? (width + 1) / 2 : width * format.BytesPerPixel());
  LONG pitch = (desc->dwFlags & DDSD_PITCH) ? desc->lPitch : rowBytes;
  if (pitch < rowBytes) return DDERR_INVALIDPARAMS;
  width_ = width;
  height_ = height;
  format_ = format;
  pitch_ = pitch;
  client_ = static_cast<uint8_t*>(desc->lpSurface);
  return DD_OK;
}

// ---- palettes ----------------------------------------------------------------------------------------------------

Palette::Palette(DWORD caps, const PALETTEENTRY* entries) : caps_(caps) {
  std::memcpy(entries_, entries, sizeof(PALETTEENTRY) * Size());
}

HRESULT Palette::GetCaps(LPDWORD caps) {
  if (!caps) return DDERR_INVALIDPARAMS;
  *caps = caps_;
  return DD_OK;
}

HRESULT Palette::GetEntries(DWORD, DWORD base, DWORD count, LPPALETTEENTRY entries) {
  if (!entries || base >= Size() || count > Size() - base) return DDERR_INVALIDPARAMS;
  std::lock_guard lock(ddraw::Lock());
  std::memcpy(entries, entries_ + base, sizeof(PALETTEENTRY) * count);
  return DD_OK;
}

HRESULT Palette::SetEntries(DWORD, DWORD start, DWORD count, LPPALETTEENTRY entries) {
  if (!entries || start >= Size() || count > Size() - start) return DDERR_INVALIDPARAMS;
  bool shown;
  {
    std::lock_guard lock(ddraw::Lock());
    std::memcpy(entries_ + start, entries, sizeof(PALETTEENTRY) * count);
    shown = PaletteShown(this);
  }
  if (shown) ShowFrame();
  return DD_OK;
}

// ---- clippers ----------------------------------------------------------------------------------------------------

HRESULT Clipper::SetHWnd(DWORD, HWND window) {
  if (window && !IsWindow(window)) return DDERR_INVALIDPARAMS;
  std::lock_guard lock(ddraw::Lock());
  window_ = window;
  return DD_OK;
}

HRESULT Clipper::GetHWnd(HWND* window) {
  if (!window) return DDERR_INVALIDPARAMS;
  std::lock_guard lock(ddraw::Lock());
  *window = window_;
  return DD_OK;
}

}  // namespace winapi::ddraw
