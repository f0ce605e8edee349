#include "frontend/control.h"

#include <algorithm>
#include <set>

#include "framework/ui/displaymgr.h"
#include "framework/core/errors.h"
#include "framework/ui/inputstate.h"
#include "framework/core/services.h"
#include "platformlib/gfx/windowdesc.h"

namespace {

// Controls alive now: a fire message queued for a control destroyed meanwhile is dropped.
std::set<const TGenericControlADV*>& Live() {
  static std::set<const TGenericControlADV*> live;
  return live;
}

HWND gFireWindow = nullptr;

uint16_t Folded(uint16_t c) { return (c >= 'a' && c <= 'z') ? static_cast<uint16_t>(c - 'a' + 'A') : c; }

}  // namespace

HWND FireWindow() { return gFireWindow ? gFireWindow : Facts().queueWindow; }
void SetFireWindow(HWND window) { gFireWindow = window; }

TGenericControlADV::TGenericControlADV(uintptr_t dataWord, uint16_t hotKey, uint16_t id_, uint16_t kind_,
                                       uint32_t stateFlags, uint32_t flags_, const char* sampleName)
    : MA_EventHandler(stateFlags, id_, kind_, hotKey, static_cast<uint32_t>(dataWord)),
      THelpTextMixin(0),
      controlFlags(flags_),
      ownerWord(dataWord) {
  Live().insert(this);
  if (sampleName) {
    SetClickSound(sampleName);
  } else {
    SetMenuSound(0);
  }
}

TGenericControlADV::~TGenericControlADV() {
  ReleaseClickSound();
  if (BoxOwner() == this) HideHelpText();
  Live().erase(this);
}

void TGenericControlADV::SetHotKeys(std::initializer_list<uint16_t> keys) {
  std::fill(std::begin(codes), std::end(codes), uint16_t{0});
  size_t i = 0;
  // Seven at most, so that the list always ends within its eight words.
  for (uint16_t k : keys)
    if (i < 7) codes[i++] = k;
}

void TGenericControlADV::SetClickSound(const char* sampleName) {
  ReleaseClickSound();
  if (!sampleName) return;
  sampleName_ = sampleName;
  controlFlags |= CF_OWNS_SOUND;
}

void TGenericControlADV::SetMenuSound(int index) {
  ReleaseClickSound();
  menuSound_ = index;
}

void TGenericControlADV::SetSharedSample(const char* sampleName) {
  ReleaseClickSound();
  sampleName_ = sampleName;
}

void TGenericControlADV::PostFire() {
  PostMessageA(FireWindow(), kControlFireMessage, kControlFireCode, reinterpret_cast<LPARAM>(this));
}

void TGenericControlADV::ReleaseClickSound() {
  controlFlags &= ~CF_OWNS_SOUND;
  sampleName_ = nullptr;
  menuSound_ = -1;
}

void TGenericControlADV::PlayClickSound() {
  SoundProvider& sound = *Svc().sound;
  if (sampleName_) {
    playing_ = sound.PlaySample(sampleName_);
  } else if (menuSound_ >= 0) {
    playing_ = sound.PlayMenuSound(menuSound_);
  } else {
    playing_ = 0;
  }
}

void TGenericControlADV::ClearPendingWhenSilent() {
  if (playing_ == 0 || !Svc().sound->IsPlaying(playing_)) {
    playing_ = 0;
    controlFlags &= ~CF_FIRE_PENDING;
  }
}

int TGenericControlADV::IsPointerOver(int16_t x, int16_t y, uint8_t buttons) {
  if (!(flags & kHandlerShown)) return 0;
  if (x < left || x >= right || y < top || y >= bottom) return 0;
  pressX = x - left;
  pressY = y - top;
  if (buttons != kButtonTracking) hitButton = buttons;
  return 1;
}

int TGenericControlADV::OnKeyDown(uint16_t code) {
  for (int i = 0; i < 8 && codes[i]; ++i)
    if (Folded(codes[i]) == Folded(code)) {
      matchedHotKey = static_cast<uint16_t>(i + 1);
      return 1;
    }
  matchedHotKey = 0;
  return 0;
}

int TGenericControlADV::OnPointerDown(int16_t x, int16_t y, uint8_t buttons) {
  matchedHotKey = 0;
  if (!IsShownAndEnabled() || !IsPointerOver(x, y, buttons)) return 0;
  pressed = 1;
  pointerInside = 0;
  pressedWithRight = buttons & 1;
  if (controlFlags & CF_AUTO_FIRE) PlayClickSound();
  return 1;
}

int TGenericControlADV::OnPointerUp(int16_t x, int16_t y, uint8_t buttons) {
  if (!HasFocus()) return 0;
  pressed = 0;
  pointerInside = 0;
  if (IsPointerOver(x, y, buttons == 0 ? kButtonTracking : buttons)) {
    if (!(controlFlags & CF_AUTO_FIRE)) OnActivate(0);
    return 1;
  }
  SetFocus(0);
  Erase(0);
  Draw(0);
  return 0;
}

int TGenericControlADV::OnChar(uint16_t code) {
  if (!IsShownAndEnabled() || !OnKeyDown(code)) return 0;
  if (!(controlFlags & CF_FIRE_ON_KEY_UP)) OnActivate(code);
  return 1;
}

int TGenericControlADV::OnKeyUp(uint16_t code) {
  const int usable = IsShownAndEnabled();
  const int matched = OnKeyDown(code);
  if (!usable || !matched) return 0;
  if (controlFlags & CF_FIRE_ON_KEY_UP) OnActivate(code);
  return 1;
}

void TGenericControlADV::OnActivate(uint16_t) {
  if (controlFlags & (CF_FIRE_PENDING | CF_LATCHED)) return;
  HideHelpText();
  PlayClickSound();
  controlFlags |= CF_FIRE_PENDING;
}

int TGenericControlADV::OnIdle() {
  int16_t x = 0, y = 0;
  MouseGetPosition(&x, &y);
  const int over = IsPointerOver(x, y, 0);
  const int usable = IsShownAndEnabled();
  ShowHelpText(this, MARect{left, top, right, bottom}, HasFocus() || (over && !usable));
  if (usable && pressed && Input().buttonHeld) {
    if (pointerInside && !over) {
      pointerInside = 0;
      Erase(0);
      Draw(0);
    } else if (!pointerInside && over) {
      pointerInside = 1;
      Erase(0);
      Draw(0);
    } else if (over && (controlFlags & CF_AUTO_FIRE)) {
      Fire();
    }
  } else {
    pressed = 0;
  }
  if (controlFlags & CF_FIRE_PENDING) {
    ClearPendingWhenSilent();
    if (!(controlFlags & (CF_FIRE_PENDING | CF_LATCHED))) {
      PostFire();
      return 0;
    }
  }
  return 1;
}

void TGenericControlADV::Erase(int) {
  if (!(flags & kHandlerShown)) return;
  if (left == 0 && top == 0 && right == Facts().screenWidth && bottom == Facts().screenHeight) return;
  ImageRecord* background = RoleImage(kRoleErase);
  ImageRecord* drawn = DrawnImage();
  if (!background || !drawn) return;
  const MARect r{left, top, right, bottom};
  if (const int error = BlitImage(drawn, r, background, r)) ShowErrorBox(error, false);
  AddDirtyRect(r);
}

void TGenericControlADV::OnFocusChanged() {
  Erase(0);
  Draw(0);
}

int TGenericControlADV::IsShownAndEnabled() { return MA_EventHandler::IsShownAndEnabled() && clickHandler; }

void TGenericControlADV::Fire() {
  HideHelpText();
  if (clickHandler) clickHandler(this);
}

bool ControlIsLive(const TGenericControlADV* control) { return Live().count(control) != 0; }

void DispatchControlFire(WPARAM first, LPARAM second) {
  if (first != kControlFireCode) return;
  auto* control = reinterpret_cast<TGenericControlADV*>(second);
  if (ControlIsLive(control)) control->Fire();
}

void DiscardQueuedFires() {
  MSG m;
  while (PeekMessageA(&m, FireWindow(), kControlFireMessage, kControlFireMessage, PM_REMOVE)) {
  }
}

// ---- shadows ------------------------------------------------------------------------------------------------------

namespace {

// Any fixed bytes serve as the dither noise.
uint8_t NoiseByte(uint8_t i) { return static_cast<uint8_t>((i * 167u + 13u) ^ (i >> 3) * 29u); }
uint8_t gNoiseCounter = 0;
uint8_t gShadowSeed = 0x5A;

uint16_t* PixelAt(WindowDesc* w, int32_t x, int32_t y) {
  if (!w || !w->pixels || x < 0 || y < 0 || x >= w->width || y >= w->height) return nullptr;
  return reinterpret_cast<uint16_t*>(w->pixels + static_cast<ptrdiff_t>(y) * w->rowbytes) + x;
}

void Darken(WindowDesc* w, int32_t x, int32_t y, int base, int spread) {
  if (uint16_t* p = PixelAt(w, x, y)) DarkenPixel565(p, base, spread);
}

}  // namespace

void DarkenPixel565(uint16_t* pixel, int base, int spread) {
  const int noise = NoiseByte(gNoiseCounter++);
  const int factor = base + (spread > 0 ? noise % spread : 0);
  const uint32_t p = *pixel;
  const uint32_t r = ((p >> 11) & 0x1F) * static_cast<uint32_t>(factor / 8) / 32;
  const uint32_t g = ((p >> 5) & 0x3F) * static_cast<uint32_t>(factor / 4) / 64;
  const uint32_t b = (p & 0x1F) * static_cast<uint32_t>(factor / 8) / 32;
  *pixel = static_cast<uint16_t>((r & 0x1F) << 11 | (g & 0x3F) << 5 | (b & 0x1F));
}

MARect DrawShadowFrame(const MARect& rect, int32_t n, WindowDesc* image, MARect* out) {
  MARect outer = rect;
  if (image && image->depth == 16 && n >= 1) {
    const uint8_t saved = gNoiseCounter;
    gNoiseCounter = gShadowSeed;
    const int step = 127 / n;
    outer = MARect{rect.left - n, rect.top - n, rect.right + n, rect.bottom + n};
    for (int i = 0; i < n; ++i) {
      const int base = 255 - step * (i + 1);
      const MARect ring{outer.left + i, outer.top + i, outer.right - i, outer.bottom - i};
      for (int32_t x = ring.left; x < ring.right; ++x) {
        Darken(image, x, ring.top, base, step);
        Darken(image, x, ring.bottom - 1, base, step);
      }
      for (int32_t y = ring.top + 1; y < ring.bottom - 1; ++y) {
        Darken(image, ring.left, y, base, step);
        Darken(image, ring.right - 1, y, base, step);
      }
    }
    gNoiseCounter = saved;
  }
  AddDirtyRect(outer);
  if (out) *out = outer;
  if (image && image->depth == 16)
    for (int32_t y = rect.top; y < rect.bottom; ++y)
      for (int32_t x = rect.left; x < rect.right; ++x)
        if (uint16_t* p = PixelAt(image, x, y)) *p = static_cast<uint16_t>((*p >> 1) & 0x7BEF);
  return outer;
}

void DrawDropShadow(const MARect& rect, int32_t n, MARect* out, WindowDesc* image) {
  const MARect moved{rect.left + 2 * n, rect.top + 2 * n, rect.right, rect.bottom};
  DrawShadowFrame(moved, n, image, nullptr);
  const uint8_t seed = gShadowSeed;
  gShadowSeed = 0xB6;
  DrawShadowFrame(moved, n, image, nullptr);
  gShadowSeed = seed;
  if (out) *out = MARect{rect.left + n, rect.top + n, rect.right + n, rect.bottom + n};
}

void RedrawControl(TGenericControlADV* control) {
  if (!control) return;
  control->Erase(0);
  control->Draw(0);
}
