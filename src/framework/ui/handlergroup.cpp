#include "framework/ui/handlergroup.h"

#include <algorithm>

#include "framework/ui/displaymgr.h"
#include "framework/core/errors.h"
#include "framework/ui/fontmgr.h"
#include "framework/ui/inputstate.h"
#include "framework/ui/mousepointer.h"
#include "framework/core/services.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/gfx/windowdesc.h"

// ---- group ----------------------------------------------------------------------------------------------------

TEventHandlerGroup::TEventHandlerGroup() : MA_EventHandler(0x0E, 0, 0, 0, 0) {}
TEventHandlerGroup::~TEventHandlerGroup() = default;

int TEventHandlerGroup::OnPointerDown(int16_t x, int16_t y, uint8_t buttons) { return list.OnPointerDown(x, y, buttons); }
int TEventHandlerGroup::OnPointerUp(int16_t x, int16_t y, uint8_t buttons) { return list.OnPointerUp(x, y, buttons); }
int TEventHandlerGroup::OnChar(uint16_t code) { return list.OnChar(code); }
int TEventHandlerGroup::OnKeyUp(uint16_t code) { return list.OnKeyUp(code); }
int TEventHandlerGroup::IsPointerOver(int16_t x, int16_t y, uint8_t buttons) {
  list.OnPointerMove(x, y, buttons);
  return list.current ? list.current->HasFocus() : 0;
}
int TEventHandlerGroup::OnKeyDown(uint16_t code) {
  list.OnKeyDown(code);
  return list.current ? list.current->OnKeyDown(code) : 0;
}
int TEventHandlerGroup::OnIdle() { return list.OnIdle(); }
void TEventHandlerGroup::Draw(int flag) { list.DrawAll(flag); }
void TEventHandlerGroup::Erase(int flag) { list.EraseAll(flag); }
void TEventHandlerGroup::SetFocus(int on) {
  if (list.current) list.current->SetFocus(on);
}
int TEventHandlerGroup::HasFocus() { return list.current ? list.current->HasFocus() : 0; }
int TEventHandlerGroup::IsShownAndEnabled() {
  if (list.current && list.current->IsShownAndEnabled()) return 1;
  for (MA_EventHandler* e = list.FirstHandler(); e; e = list.NextHandler())
    if (e->IsShownAndEnabled()) return 1;
  return 0;
}
int16_t TEventHandlerGroup::CreateList(uint32_t capacity) { return list.CreateList(capacity); }
void TEventHandlerGroup::SetKeyNavigation(int on) {
  list.tabMovesFocus = on;
  list.upDownMoveFocus = on;
  list.leftRightMoveFocus = on;
}

// ---- help text ------------------------------------------------------------------------------------------------

namespace {

MemHandle sharedFont = 0;
int32_t sharedFontSize = -1;

struct HelpBox {
  WindowDesc* saved = nullptr;
  THelpTextMixin* owner = nullptr;
  MARect rect{};   // the box
  MARect saveArea{};  // what the saved window covers
} box;

constexpr uint32_t kWhite565 = 0xFFFF, kBlack565 = 0;

const char* HelpFontName(int32_t sizeSetting) { return sizeSetting <= 2 ? "Hal8b.ffn" : "Hal12b.ffn"; }

MemHandle LoadHelpFont(const char* name) {
  MemHandle font = 0;
  if (FontLoad(&font, Facts().fontFolder, name, 0) != ERR_NONE) ShowErrorBox(ERR_FILENOTFOUND, false);
  return font;
}

}  // namespace

THelpTextMixin::THelpTextMixin(uint32_t style_) {
  const int32_t size = Facts().sizeSetting;
  if (!sharedFont || size != sharedFontSize) {
    FontFree(&sharedFont);
    sharedFont = LoadHelpFont(HelpFontName(size));
    sharedFontSize = size;
  }
  x = Facts().screenWidth - 8;
  y = Facts().screenHeight - 1;
  textColour = kWhite565;
  backgroundColour = kBlack565;
  font = sharedFont;
  style = style_ & ~kHelpOwnFont;  // the mixin owns a font only once ReloadFont gave it one
}

THelpTextMixin::~THelpTextMixin() {
  if (box.owner == this) HideHelpText();
  if (style & kHelpOwnFont) FontFree(&font);
}

void THelpTextMixin::ReloadFont(const char* name) {
  if (style & kHelpOwnFont) FontFree(&font);
  font = LoadHelpFont(name);
  style |= kHelpOwnFont;
}

void THelpTextMixin::FreeSharedFont() {
  FontFree(&sharedFont);
  sharedFontSize = -1;
}

THelpTextMixin* THelpTextMixin::BoxOwner() { return box.owner; }
const MARect& THelpTextMixin::BoxRect() { return box.rect; }

void THelpTextMixin::ShowHelpText(THelpTextMixin* mixin, const MARect& rect, int wanted) {
  if (!mixin) return;
  const bool held = Input().buttonHeld != 0;
  if (!mixin->text || held || !wanted) {
    if (box.owner == mixin && (!wanted || held)) HideHelpText();
    return;
  }
  if (static_cast<float>(Input().clock - Input().lastInputTime) < mixin->delay * 1000.0f) return;
  if (box.saved || box.owner) return;
  ImageRecord* back = DrawnImage();
  if (!back || !back->window || !mixin->font) return;
  FontSelect(mixin->font, back, kAlignLeft, mixin->textColour, mixin->backgroundColour, 0, 1);
  const int32_t width = FontStringWidth(mixin->text, 0) + 4;
  const int32_t height = FontHeight() + 2;
  int32_t px = Input().pointerX;
  const int32_t py = Input().pointerY;
  if (px < rect.left || px >= rect.right || py < rect.top || py >= rect.bottom) px = (rect.left + rect.right) / 2;
  int32_t ax = mixin->x == -1 ? px : mixin->x;
  const int32_t bottom = mixin->y == -1 ? rect.top : mixin->y;
  if (mixin->alignment == 1) ax -= width / 2;
  if (mixin->alignment == 4) ax -= width;
  const int32_t screenWidth = Facts().screenWidth;
  const int32_t right = std::min(ax + width, screenWidth);
  MARect r{right - width, bottom - height - 5, right, 0};
  if (r.top < 0) r.top = py + height - 25;
  r.bottom = r.top + height;
  MARect area = r;
  if (mixin->style & kHelpFramed) area = MARect{r.left - 3, r.top - 3, r.right + 3, r.bottom + 3};
  WindowDesc* saved = trycreatewindowadr(area.right - area.left, area.bottom - area.top, 16);
  if (!saved) return;
  CopyWindowArea(saved, 0, 0, back->window, area.left, area.top, saved->width, saved->height);
  if (mixin->style & kHelpFramed) {
    const MARect framed = Svc().frontEnd->DrawShadowFrame(r, 3, back->window);
    if (framed.right > framed.left && framed.bottom > framed.top) AddDirtyRect(framed);
  }
  if (mixin->style & kHelpFilled) {
    WindowDesc current;
    savecurrentwindow(&current);
    if (setwindow(back->window)) {
      const int32_t w = r.right - r.left, h = r.bottom - r.top;
      if (mixin->fillColour) fillrect(r.left, r.top, w, h, mixin->fillColour);
      if (mixin->outlineColour) {
        fillrect(r.left, r.top, w, 1, mixin->outlineColour);
        fillrect(r.left, r.bottom - 1, w, 1, mixin->outlineColour);
        fillrect(r.left, r.top, 1, h, mixin->outlineColour);
        fillrect(r.right - 1, r.top, 1, h, mixin->outlineColour);
      }
    }
    restorecurrentwindow(&current);
  }
  FontDrawText(r.left + 2, r.top + 1, mixin->text);
  box.saved = saved;
  box.owner = mixin;
  box.rect = r;
  box.saveArea = area;
  AddDirtyRect(area);
}

void THelpTextMixin::HideHelpText() {
  if (box.saved) {
    ImageRecord* back = DrawnImage();
    if (back && back->window)
      CopyWindowArea(back->window, box.saveArea.left, box.saveArea.top, box.saved, 0, 0, box.saved->width,
                     box.saved->height);
    removewindow(box.saved);
    AddDirtyRect(box.saveArea);
  }
  box = HelpBox{};
}

void RedrawScreenNow() {
  MouseSetBusy(0);
  MouseDraw();
  ImageRecord* back = DrawnImage();
  if (back && back->window) {
    const MARect whole{0, 0, back->window->width, back->window->height};
    CopyWindowArea(DisplayImage()->window, 0, 0, back->window, 0, 0, whole.right, whole.bottom);
  }
  ClearDirtyRects();
  MouseErase();
}
