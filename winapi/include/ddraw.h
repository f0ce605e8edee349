// The display interfaces of the stand-in platform: DirectDraw objects, surfaces in memory, palettes and
// clippers, over a fake display driver (configured through winapi/testing.h) and shown by the host.
// Interfaces are C++ abstract classes; the newer interface of each object derives from the older one, so a
// newer interface pointer can be passed wherever the older one is taken.
#pragma once

#include "windows.h"

// ---- interface identifiers ------------------------------------------------------------------------------------
#ifndef WINAPI_GUID_DEFINED
#define WINAPI_GUID_DEFINED
struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
using IID = GUID;
using REFIID = const GUID&;
using REFGUID = const GUID&;
using LPGUID = GUID*;
inline bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i]) return false;
  return true;
}
inline bool IsEqualGUID(const GUID& a, const GUID& b) { return a == b; }
#define IsEqualIID IsEqualGUID
#endif

#ifndef WINAPI_IUNKNOWN_DEFINED
#define WINAPI_IUNKNOWN_DEFINED
struct IUnknown {
  virtual HRESULT QueryInterface(REFIID iid, LPVOID* object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;
#endif

#define S_OK 0
#define S_FALSE 1
#define E_NOINTERFACE static_cast<HRESULT>(0x80004002u)
#define E_POINTER static_cast<HRESULT>(0x80004003u)
#define E_FAIL static_cast<HRESULT>(0x80004005u)
#define E_OUTOFMEMORY static_cast<HRESULT>(0x8007000Eu)
#define E_INVALIDARG static_cast<HRESULT>(0x80070057u)
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

extern const GUID IID_IDirectDraw;
extern const GUID IID_IDirectDraw2;
extern const GUID IID_IDirectDrawSurface;
extern const GUID IID_IDirectDrawSurface2;
extern const GUID IID_IDirectDrawSurface3;
extern const GUID IID_IDirectDrawPalette;
extern const GUID IID_IDirectDrawClipper;

// ---- results ---------------------------------------------------------------------------------------------------
#define MAKE_DDHRESULT(code) static_cast<HRESULT>(0x88760000u | static_cast<uint32_t>(code))
#define DD_OK 0
#define DD_FALSE S_FALSE
#define DDENUMRET_CANCEL 0
#define DDENUMRET_OK 1
#define DDERR_GENERIC E_FAIL
#define DDERR_INVALIDPARAMS E_INVALIDARG
#define DDERR_OUTOFMEMORY E_OUTOFMEMORY
#define DDERR_UNSUPPORTED static_cast<HRESULT>(0x80004001u)
#define DDERR_ALREADYINITIALIZED MAKE_DDHRESULT(5)
#define DDERR_CANNOTATTACHSURFACE MAKE_DDHRESULT(10)
#define DDERR_CANNOTDETACHSURFACE MAKE_DDHRESULT(20)
#define DDERR_EXCEPTION MAKE_DDHRESULT(55)
#define DDERR_INVALIDCAPS MAKE_DDHRESULT(100)
#define DDERR_INVALIDMODE MAKE_DDHRESULT(120)
#define DDERR_INVALIDOBJECT MAKE_DDHRESULT(130)
#define DDERR_INVALIDPIXELFORMAT MAKE_DDHRESULT(145)
#define DDERR_INVALIDRECT MAKE_DDHRESULT(150)
#define DDERR_LOCKEDSURFACES MAKE_DDHRESULT(160)
#define DDERR_NOCLIPLIST MAKE_DDHRESULT(205)
#define DDERR_NOCOLORKEY MAKE_DDHRESULT(215)
#define DDERR_NOEXCLUSIVEMODE MAKE_DDHRESULT(225)
#define DDERR_NOFLIPHW MAKE_DDHRESULT(230)
#define DDERR_NOTFOUND MAKE_DDHRESULT(255)
#define DDERR_NOOVERLAYHW MAKE_DDHRESULT(260)
#define DDERR_NOTAOVERLAYSURFACE MAKE_DDHRESULT(580)
#define DDERR_NOSTRETCHHW MAKE_DDHRESULT(310)
#define DDERR_NOZBUFFERHW MAKE_DDHRESULT(330)
#define DDERR_OUTOFVIDEOMEMORY MAKE_DDHRESULT(380)
#define DDERR_PALETTEBUSY MAKE_DDHRESULT(387)
#define DDERR_SURFACEALREADYATTACHED MAKE_DDHRESULT(410)
#define DDERR_SURFACEBUSY MAKE_DDHRESULT(430)
#define DDERR_SURFACELOST MAKE_DDHRESULT(450)
#define DDERR_SURFACENOTATTACHED MAKE_DDHRESULT(460)
#define DDERR_UNSUPPORTEDMODE MAKE_DDHRESULT(590)
#define DDERR_WASSTILLDRAWING MAKE_DDHRESULT(540)
#define DDERR_WRONGMODE MAKE_DDHRESULT(587)
#define DDERR_NOTFLIPPABLE MAKE_DDHRESULT(582)
#define DDERR_NOTLOCKED MAKE_DDHRESULT(584)
#define DDERR_EXCLUSIVEMODEALREADYSET MAKE_DDHRESULT(581)
#define DDERR_NODIRECTDRAWHW MAKE_DDHRESULT(561)
#define DDERR_BLTFASTCANTCLIP MAKE_DDHRESULT(574)
#define DDERR_NOBLTHW MAKE_DDHRESULT(575)
#define DDERR_NOHWND MAKE_DDHRESULT(569)
#define DDERR_HWNDALREADYSET MAKE_DDHRESULT(571)
#define DDERR_NOPALETTEATTACHED MAKE_DDHRESULT(572)
#define DDERR_NOCLIPPERATTACHED MAKE_DDHRESULT(568)
#define DDERR_NOTPALETTIZED MAKE_DDHRESULT(589)

// ---- records ------------------------------------------------------------------------------------------------------
struct DDCOLORKEY {
  DWORD dwColorSpaceLowValue;
  DWORD dwColorSpaceHighValue;
};
using LPDDCOLORKEY = DDCOLORKEY*;

struct DDSCAPS {
  DWORD dwCaps;
};
using LPDDSCAPS = DDSCAPS*;

struct DDPIXELFORMAT {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwFourCC;
  union {
    DWORD dwRGBBitCount;
    DWORD dwYUVBitCount;
    DWORD dwZBufferBitDepth;
    DWORD dwAlphaBitDepth;
  };
  union {
    DWORD dwRBitMask;
    DWORD dwYBitMask;
  };
  union {
    DWORD dwGBitMask;
    DWORD dwUBitMask;
  };
  union {
    DWORD dwBBitMask;
    DWORD dwVBitMask;
  };
  union {
    DWORD dwRGBAlphaBitMask;
    DWORD dwYUVAlphaBitMask;
  };
};
using LPDDPIXELFORMAT = DDPIXELFORMAT*;

struct DDSURFACEDESC {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwHeight;
  DWORD dwWidth;
  union {
    LONG lPitch;
    DWORD dwLinearSize;
  };
  DWORD dwBackBufferCount;
  union {
    DWORD dwMipMapCount;
    DWORD dwZBufferBitDepth;
    DWORD dwRefreshRate;
  };
  DWORD dwAlphaBitDepth;
  DWORD dwReserved;
  LPVOID lpSurface;
  DDCOLORKEY ddckCKDestOverlay;
  DDCOLORKEY ddckCKDestBlt;
  DDCOLORKEY ddckCKSrcOverlay;
  DDCOLORKEY ddckCKSrcBlt;
  DDPIXELFORMAT ddpfPixelFormat;
  DDSCAPS ddsCaps;
};
using LPDDSURFACEDESC = DDSURFACEDESC*;

struct DDCAPS {
  DWORD dwSize;
  DWORD dwCaps;
  DWORD dwCaps2;
  DWORD dwCKeyCaps;
  DWORD dwFXCaps;
  DWORD dwFXAlphaCaps;
  DWORD dwPalCaps;
  DWORD dwSVCaps;
  DWORD dwZBufferBitDepths;
  DWORD dwVidMemTotal;
  DWORD dwVidMemFree;
  DWORD dwMaxVisibleOverlays;
  DWORD dwCurrVisibleOverlays;
  DWORD dwNumFourCCCodes;
  DWORD dwAlignBoundaryDest;
  DWORD dwAlignSizeDest;
  DWORD dwAlignStrideAlign;
  DWORD dwMinOverlayStretch;
  DWORD dwMaxOverlayStretch;
  DDSCAPS ddsCaps;
};
using LPDDCAPS = DDCAPS*;

struct DDBLTFX {
  DWORD dwSize;
  DWORD dwDDFX;
  DWORD dwROP;
  DWORD dwDDROP;
  DWORD dwRotationAngle;
  DWORD dwZBufferOpCode;
  DWORD dwZBufferLow;
  DWORD dwZBufferHigh;
  DWORD dwZBufferBaseDest;
  DWORD dwZDestConstBitDepth;
  DWORD dwZDestConst;
  DWORD dwZSrcConstBitDepth;
  DWORD dwZSrcConst;
  DWORD dwAlphaEdgeBlendBitDepth;
  DWORD dwAlphaEdgeBlend;
  DWORD dwReserved;
  DWORD dwAlphaDestConstBitDepth;
  DWORD dwAlphaDestConst;
  DWORD dwAlphaSrcConstBitDepth;
  DWORD dwAlphaSrcConst;
  union {
    DWORD dwFillColor;
    DWORD dwFillDepth;
    DWORD dwFillPixel;
  };
  DDCOLORKEY ddckDestColorkey;
  DDCOLORKEY ddckSrcColorkey;
};
using LPDDBLTFX = DDBLTFX*;

struct DDOVERLAYFX {
  DWORD dwSize;
  DWORD dwDDFX;
  DDCOLORKEY dckDestColorkey;
  DDCOLORKEY dckSrcColorkey;
};
using LPDDOVERLAYFX = DDOVERLAYFX*;

#ifndef WINAPI_PALETTEENTRY_DEFINED
#define WINAPI_PALETTEENTRY_DEFINED
struct PALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
};
using LPPALETTEENTRY = PALETTEENTRY*;
#endif

// ---- flags -------------------------------------------------------------------------------------------------------------
// Surface description fields present.
#define DDSD_CAPS 0x00000001
#define DDSD_HEIGHT 0x00000002
#define DDSD_WIDTH 0x00000004
#define DDSD_PITCH 0x00000008
#define DDSD_BACKBUFFERCOUNT 0x00000020
#define DDSD_ZBUFFERBITDEPTH 0x00000040
#define DDSD_ALPHABITDEPTH 0x00000080
#define DDSD_LPSURFACE 0x00000800
#define DDSD_PIXELFORMAT 0x00001000
#define DDSD_CKDESTOVERLAY 0x00002000
#define DDSD_CKDESTBLT 0x00004000
#define DDSD_CKSRCOVERLAY 0x00008000
#define DDSD_CKSRCBLT 0x00010000
#define DDSD_MIPMAPCOUNT 0x00020000
#define DDSD_REFRESHRATE 0x00040000
#define DDSD_LINEARSIZE 0x00080000
#define DDSD_ALL 0x000ff9ee

// Surface capabilities.
#define DDSCAPS_ALPHA 0x00000002
#define DDSCAPS_BACKBUFFER 0x00000004
#define DDSCAPS_COMPLEX 0x00000008
#define DDSCAPS_FLIP 0x00000010
#define DDSCAPS_FRONTBUFFER 0x00000020
#define DDSCAPS_OFFSCREENPLAIN 0x00000040
#define DDSCAPS_OVERLAY 0x00000080
#define DDSCAPS_PALETTE 0x00000100
#define DDSCAPS_PRIMARYSURFACE 0x00000200
#define DDSCAPS_SYSTEMMEMORY 0x00000800
#define DDSCAPS_TEXTURE 0x00001000
#define DDSCAPS_3DDEVICE 0x00002000
#define DDSCAPS_VIDEOMEMORY 0x00004000
#define DDSCAPS_VISIBLE 0x00008000
#define DDSCAPS_WRITEONLY 0x00010000
#define DDSCAPS_ZBUFFER 0x00020000
#define DDSCAPS_OWNDC 0x00040000
#define DDSCAPS_MIPMAP 0x00400000
#define DDSCAPS_ALLOCONLOAD 0x04000000
#define DDSCAPS_MODEX 0x00200000
#define DDSCAPS_LOCALVIDMEM 0x10000000
#define DDSCAPS_NONLOCALVIDMEM 0x20000000

// Pixel formats.
#define DDPF_ALPHAPIXELS 0x00000001
#define DDPF_ALPHA 0x00000002
#define DDPF_FOURCC 0x00000004
#define DDPF_PALETTEINDEXED4 0x00000008
#define DDPF_PALETTEINDEXED8 0x00000020
#define DDPF_RGB 0x00000040
#define DDPF_ZBUFFER 0x00000400
#define MAKEFOURCC(a, b, c, d)                                                                   \
  (static_cast<DWORD>(static_cast<BYTE>(a)) | (static_cast<DWORD>(static_cast<BYTE>(b)) << 8) | \
   (static_cast<DWORD>(static_cast<BYTE>(c)) << 16) | (static_cast<DWORD>(static_cast<BYTE>(d)) << 24))

// Driver capabilities (DDCAPS.dwCaps).
#define DDCAPS_3D 0x00000001
#define DDCAPS_ALIGNBOUNDARYDEST 0x00000002
#define DDCAPS_ALIGNSIZEDEST 0x00000004
#define DDCAPS_BANKSWITCHED 0x00000008
#define DDCAPS_BLT 0x00000040
#define DDCAPS_BLTFOURCC 0x00000100
#define DDCAPS_BLTSTRETCH 0x00000200
#define DDCAPS_GDI 0x00000400
#define DDCAPS_OVERLAY 0x00000800
#define DDCAPS_OVERLAYFOURCC 0x00002000
#define DDCAPS_OVERLAYSTRETCH 0x00004000
#define DDCAPS_PALETTE 0x00008000
#define DDCAPS_PALETTEVSYNC 0x00010000
#define DDCAPS_VBI 0x00080000
#define DDCAPS_ZBLTS 0x00100000
#define DDCAPS_COLORKEY 0x00400000
#define DDCAPS_BLTCOLORFILL 0x04000000
#define DDCAPS_COLORKEYHWASSIST 0x01000000
#define DDCAPS_NOHARDWARE 0x02000000
#define DDCAPS_CANBLTSYSMEM 0x80000000
// Colour-key capabilities (dwCKeyCaps).
#define DDCKEYCAPS_DESTBLT 0x00000001
#define DDCKEYCAPS_SRCBLT 0x00000200
// Blit effects (dwFXCaps).
#define DDFXCAPS_BLTMIRRORLEFTRIGHT 0x00010000
#define DDFXCAPS_BLTMIRRORUPDOWN 0x00020000
#define DDFXCAPS_BLTROTATION90 0x00200000
#define DDFXCAPS_BLTSTRETCHX 0x00800000
#define DDFXCAPS_BLTSTRETCHY 0x02000000
// Palette capabilities and creation flags.
#define DDPCAPS_4BIT 0x00000001
#define DDPCAPS_8BITENTRIES 0x00000002
#define DDPCAPS_8BIT 0x00000004
#define DDPCAPS_PRIMARYSURFACE 0x00000010
#define DDPCAPS_ALLOW256 0x00000040
#define DDPCAPS_VSYNC 0x00001000

// Cooperative levels.
#define DDSCL_FULLSCREEN 0x00000001
#define DDSCL_ALLOWREBOOT 0x00000002
#define DDSCL_NOWINDOWCHANGES 0x00000004
#define DDSCL_NORMAL 0x00000008
#define DDSCL_EXCLUSIVE 0x00000010
#define DDSCL_ALLOWMODEX 0x00000040

// EnumDisplayModes.
#define DDEDM_REFRESHRATES 0x00000001

// Blt.
#define DDBLT_COLORFILL 0x00000400
#define DDBLT_DDFX 0x00000800
#define DDBLT_KEYDEST 0x00002000
#define DDBLT_KEYDESTOVERRIDE 0x00004000
#define DDBLT_KEYSRC 0x00008000
#define DDBLT_KEYSRCOVERRIDE 0x00010000
#define DDBLT_ROTATIONANGLE 0x00040000
#define DDBLT_WAIT 0x01000000
#define DDBLT_ASYNC 0x00000200
#define DDBLT_DEPTHFILL 0x02000000
#define DDBLTFX_MIRRORLEFTRIGHT 0x00000002
#define DDBLTFX_MIRRORUPDOWN 0x00000004
#define DDBLTFX_NOTEARING 0x00000008
#define DDBLTFX_ROTATE180 0x00000010
#define DDBLTFX_ROTATE270 0x00000020
#define DDBLTFX_ROTATE90 0x00000040
#define DDBLTFAST_NOCOLORKEY 0x00000000
#define DDBLTFAST_SRCCOLORKEY 0x00000001
#define DDBLTFAST_DESTCOLORKEY 0x00000002
#define DDBLTFAST_WAIT 0x00000010

// Flip, Lock, colour keys, GetBltStatus/GetFlipStatus.
#define DDFLIP_WAIT 0x00000001
#define DDFLIP_NOVSYNC 0x00000008
#define DDLOCK_SURFACEMEMORYPTR 0x00000000
#define DDLOCK_WAIT 0x00000001
#define DDLOCK_EVENT 0x00000002
#define DDLOCK_READONLY 0x00000010
#define DDLOCK_WRITEONLY 0x00000020
#define DDLOCK_NOSYSLOCK 0x00000800
#define DDCKEY_COLORSPACE 0x00000001
#define DDCKEY_DESTBLT 0x00000002
#define DDCKEY_DESTOVERLAY 0x00000004
#define DDCKEY_SRCBLT 0x00000008
#define DDCKEY_SRCOVERLAY 0x00000010
#define DDGBS_CANBLT 0x00000001
#define DDGBS_ISBLTDONE 0x00000002
#define DDGFS_CANFLIP 0x00000001
#define DDGFS_ISFLIPDONE 0x00000002
#define DDWAITVB_BLOCKBEGIN 0x00000001
#define DDOVER_SHOW 0x00004000
#define DDOVER_HIDE 0x00000200
#define DDOVER_KEYDEST 0x00000400
#define DDOVER_KEYDESTOVERRIDE 0x00000800

// DirectDrawCreate's driver argument.
#define DDCREATE_HARDWAREONLY (reinterpret_cast<GUID*>(1))
#define DDCREATE_EMULATIONONLY (reinterpret_cast<GUID*>(2))

// ---- interfaces --------------------------------------------------------------------------------------------------------
struct IDirectDraw;
struct IDirectDraw2;
struct IDirectDrawSurface;
struct IDirectDrawSurface2;
struct IDirectDrawSurface3;
struct IDirectDrawPalette;
struct IDirectDrawClipper;
using LPDIRECTDRAW = IDirectDraw*;
using LPDIRECTDRAW2 = IDirectDraw2*;
using LPDIRECTDRAWSURFACE = IDirectDrawSurface*;
using LPDIRECTDRAWSURFACE2 = IDirectDrawSurface2*;
using LPDIRECTDRAWSURFACE3 = IDirectDrawSurface3*;
using LPDIRECTDRAWPALETTE = IDirectDrawPalette*;
using LPDIRECTDRAWCLIPPER = IDirectDrawClipper*;

using LPDDENUMMODESCALLBACK = HRESULT (*)(LPDDSURFACEDESC mode, LPVOID context);
using LPDDENUMSURFACESCALLBACK = HRESULT (*)(LPDIRECTDRAWSURFACE surface, LPDDSURFACEDESC desc, LPVOID context);
using LPDDENUMCALLBACKA = BOOL (*)(GUID* guid, LPSTR description, LPSTR driverName, LPVOID context);

struct IDirectDrawPalette : IUnknown {
  virtual HRESULT GetCaps(LPDWORD caps) = 0;
  virtual HRESULT GetEntries(DWORD flags, DWORD base, DWORD count, LPPALETTEENTRY entries) = 0;
  virtual HRESULT SetEntries(DWORD flags, DWORD start, DWORD count, LPPALETTEENTRY entries) = 0;

 protected:
  ~IDirectDrawPalette() = default;
};

struct IDirectDrawClipper : IUnknown {
  virtual HRESULT SetHWnd(DWORD flags, HWND window) = 0;
  virtual HRESULT GetHWnd(HWND* window) = 0;

 protected:
  ~IDirectDrawClipper() = default;
};

struct IDirectDrawSurface : IUnknown {
  virtual HRESULT AddAttachedSurface(LPDIRECTDRAWSURFACE surface) = 0;
  virtual HRESULT Blt(LPRECT destRect, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD flags,
                      LPDDBLTFX fx) = 0;
  virtual HRESULT BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE source, LPRECT sourceRect, DWORD trans) = 0;
  virtual HRESULT DeleteAttachedSurface(DWORD flags, LPDIRECTDRAWSURFACE surface) = 0;
  virtual HRESULT EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK callback) = 0;
  virtual HRESULT Flip(LPDIRECTDRAWSURFACE target, DWORD flags) = 0;
  virtual HRESULT GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* surface) = 0;
  virtual HRESULT GetBltStatus(DWORD flags) = 0;
  virtual HRESULT GetCaps(LPDDSCAPS caps) = 0;
  virtual HRESULT GetClipper(LPDIRECTDRAWCLIPPER* clipper) = 0;
  virtual HRESULT GetColorKey(DWORD flags, LPDDCOLORKEY key) = 0;
  virtual HRESULT GetFlipStatus(DWORD flags) = 0;
  virtual HRESULT GetPalette(LPDIRECTDRAWPALETTE* palette) = 0;
  virtual HRESULT GetPixelFormat(LPDDPIXELFORMAT format) = 0;
  virtual HRESULT GetSurfaceDesc(LPDDSURFACEDESC desc) = 0;
  virtual HRESULT IsLost() = 0;
  virtual HRESULT Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) = 0;
  virtual HRESULT Restore() = 0;
  virtual HRESULT SetClipper(LPDIRECTDRAWCLIPPER clipper) = 0;
  virtual HRESULT SetColorKey(DWORD flags, LPDDCOLORKEY key) = 0;
  virtual HRESULT SetPalette(LPDIRECTDRAWPALETTE palette) = 0;
  virtual HRESULT Unlock(LPVOID pointer) = 0;
  virtual HRESULT UpdateOverlay(LPRECT sourceRect, LPDIRECTDRAWSURFACE dest, LPRECT destRect, DWORD flags,
                                LPDDOVERLAYFX fx) = 0;

 protected:
  ~IDirectDrawSurface() = default;
  // The attached surface as the newer interface that the caller holds (every surface has all of them).
  template <typename Newer>
  HRESULT AttachedAs(LPDDSCAPS caps, Newer** surface) {
    LPDIRECTDRAWSURFACE found = nullptr;
    const HRESULT result = GetAttachedSurface(caps, &found);
    if (surface) *surface = static_cast<Newer*>(found);
    return result;
  }
};

struct IDirectDrawSurface2 : IDirectDrawSurface {
  virtual HRESULT GetDDInterface(LPVOID* directDraw) = 0;
  virtual HRESULT PageLock(DWORD flags) = 0;
  virtual HRESULT PageUnlock(DWORD flags) = 0;
  using IDirectDrawSurface::GetAttachedSurface;
  HRESULT GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE2* surface) { return AttachedAs(caps, surface); }

 protected:
  ~IDirectDrawSurface2() = default;
};

struct IDirectDrawSurface3 : IDirectDrawSurface2 {
  // The surface's pixels become the caller's memory (the description gives lpSurface and may give the size,
  // pitch and pixel format); the caller keeps ownership of the memory.
  virtual HRESULT SetSurfaceDesc(LPDDSURFACEDESC desc, DWORD flags) = 0;
  using IDirectDrawSurface::GetAttachedSurface;
  HRESULT GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE3* surface) { return AttachedAs(caps, surface); }

 protected:
  ~IDirectDrawSurface3() = default;
};

struct IDirectDraw : IUnknown {
  virtual HRESULT Compact() = 0;
  virtual HRESULT CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) = 0;
  virtual HRESULT CreatePalette(DWORD flags, LPPALETTEENTRY entries, LPDIRECTDRAWPALETTE* palette,
                                IUnknown* outer) = 0;
  virtual HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface, IUnknown* outer) = 0;
  virtual HRESULT EnumDisplayModes(DWORD flags, LPDDSURFACEDESC filter, LPVOID context,
                                   LPDDENUMMODESCALLBACK callback) = 0;
  virtual HRESULT FlipToGDISurface() = 0;
  virtual HRESULT GetCaps(LPDDCAPS driverCaps, LPDDCAPS emulationCaps) = 0;
  virtual HRESULT GetDisplayMode(LPDDSURFACEDESC desc) = 0;
  virtual HRESULT GetMonitorFrequency(LPDWORD frequency) = 0;
  virtual HRESULT RestoreDisplayMode() = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
  virtual HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits) = 0;
  virtual HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event) = 0;

 protected:
  ~IDirectDraw() = default;
};

struct IDirectDraw2 : IDirectDraw {
  using IDirectDraw::SetDisplayMode;
  virtual HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refreshRate, DWORD flags) = 0;
  virtual HRESULT GetAvailableVidMem(LPDDSCAPS caps, LPDWORD total, LPDWORD free) = 0;

 protected:
  ~IDirectDraw2() = default;
};

// driver: null for the display's driver, DDCREATE_EMULATIONONLY for the emulation-only one.
HRESULT DirectDrawCreate(GUID* driver, LPDIRECTDRAW* directDraw, IUnknown* outer);
HRESULT DirectDrawEnumerateA(LPDDENUMCALLBACKA callback, LPVOID context);
