#include "frontend/graphicbutton.h"

#include <strings.h>

#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "frontend/menu.h"

// ---- graphic buttons -------------------------------------------------------------------------------------------------

TGraphicButtonADV::TGraphicButtonADV(uintptr_t data_, uint16_t hotKey, uint16_t id_, uint16_t kind_, uint32_t stateFlags,
                                     uint32_t controlFlags_, const char* sampleName)
    : TGenericControlADV(data_, hotKey, id_, kind_, stateFlags, controlFlags_, nullptr) {
  if (sampleName && strcasecmp(sampleName, "button1") == 0) SetSharedSample("button1");
  else if (sampleName) SetClickSound(sampleName);
}

TGraphicButtonADV::~TGraphicButtonADV() {
  // Images that reuse another image's movie are destroyed before the one that owns it.
  for (int pass = 0; pass < 2; ++pass)
    for (TShellAnimADV*& image : images)
      if (image && ((image->flags & TShellAnimADV::kOwnsMovie) != 0) == (pass == 1)) {
        delete image;
        image = nullptr;
      }
}

void TGraphicButtonADV::Replace(TShellAnimADV*& slot, TShellAnimADV* image) {
  delete slot;
  slot = image;
}

void TGraphicButtonADV::SetImageFile(Image which, const char* name, int32_t x, int32_t y, uint8_t mode, int32_t fps,
                                     int32_t fixed) {
  Replace(images[which], TShellAnimADV::FromFile(name, x, y, mode, fps, fixed, 0));
}

void TGraphicButtonADV::SetImageInArchive(Image which, PathRecord* archive, const char* name, int32_t x, int32_t y,
                                          uint8_t mode, int32_t fps, int32_t fixed) {
  Replace(images[which], TShellAnimADV::FromArchiveFile(name, archive, x, y, mode, fps, fixed, 0));
}

void TGraphicButtonADV::SetImage(Image which, TShapeMovie* movie, int32_t x, int32_t y, uint8_t mode, int32_t fps,
                                 int32_t fixed) {
  Replace(images[which], new TShellAnimADV(movie, x, y, mode, fps, fixed, 0));
}

void TGraphicButtonADV::SetImageSize(int32_t w, int32_t h) {
  for (TShellAnimADV* image : images)
    if (image) image->SetSize(w, h);
}

void TGraphicButtonADV::ScaleImages(float factor) {
  if (!images[kNormal]) return;
  int32_t w = 0, h = 0;
  images[kNormal]->FrameSize(&w, &h);
  SetImageSize(static_cast<int32_t>(static_cast<float>(w) * factor), static_cast<int32_t>(static_cast<float>(h) * factor));
}

int TGraphicButtonADV::IsShownAndEnabled() {
  return TGenericControlADV::IsShownAndEnabled() && !(controlFlags & CF_LATCHED);
}

void TGraphicButtonADV::ShowImage(TShellAnimADV* chosen) {
  if (!chosen) return;
  TShellAnimADV* pressedImage = images[kPressed];
  // While a latched press animates, its picture stays.
  if (!((controlFlags & CF_LATCHED) && pressedImage && pressedImage->Running() && chosen != pressedImage)) {
    for (TShellAnimADV* image : images)
      if (image && image != chosen && image->Running()) image->Stop(1);
    chosen->Start();
  } else {
    chosen = pressedImage;
  }
  chosen->Draw();
  const MARect r = chosen->GetDrawnRect();
  if (r.right > r.left) left = r.left, top = r.top, right = r.right, bottom = r.bottom;
}

void TGraphicButtonADV::Draw(int) {
  if (!(flags & kHandlerShown)) return;
  TShellAnimADV* chosen = nullptr;
  if (HasFocus()) {
    if ((controlFlags & CF_LATCHED) || (pressed && pointerInside && images[kPressed])) chosen = images[kPressed];
    if (!chosen) chosen = images[kHighlight];
  } else if (!IsShownAndEnabled()) {
    chosen = images[kDisabled];
  }
  if (!chosen) chosen = images[kNormal];
  ShowImage(chosen);
}

void TGraphicButtonADV::OnActivate(uint16_t code) {
  if (controlFlags & (CF_FIRE_PENDING | CF_LATCHED)) return;
  TGenericControlADV::OnActivate(code);
  if (controlFlags & CF_LATCHING) {
    controlFlags |= CF_LATCHED;
    Erase(0);
    Draw(0);
  }
}

int TGraphicButtonADV::OnIdle() {
  if (TGenericControlADV::OnIdle() == 0) return 0;
  if (MA_EventHandler::IsShownAndEnabled())
    for (TShellAnimADV* image : images)
      if (image) image->Update();
  if (controlFlags & CF_LATCHED) {
    // A latched press fires once both its click sound and its pressed animation have ended.
    if (images[kPressed] && !images[kPressed]->Running()) controlFlags &= ~CF_LATCHED;
    if (!(controlFlags & (CF_FIRE_PENDING | CF_LATCHED))) {
      PostFire();
      return 0;
    }
  }
  return 1;
}

// ---- radio and toggle buttons -------------------------------------------------------------------------------------

TGraphicRadioButtonADV::TGraphicRadioButtonADV(uintptr_t data_, TGraphicRadioButtonADV* previous_, uint16_t hotKey,
                                               uint16_t id_, uint16_t kind_, uint32_t stateFlags, const char* sampleName)
    : TGraphicButtonADV(data_, hotKey, id_, kind_, stateFlags, 0, sampleName), previous(previous_) {
  if (previous) previous->next = this;
}

TGraphicRadioButtonADV::~TGraphicRadioButtonADV() {
  delete selectedImage;
  selectedImage = nullptr;
}

void TGraphicRadioButtonADV::SetSelectedImageInArchive(PathRecord* archive, const char* name, int32_t x, int32_t y,
                                                       uint8_t mode, int32_t fps, int32_t fixed) {
  Replace(selectedImage, TShellAnimADV::FromArchiveFile(name, archive, x, y, mode, fps, fixed, 0));
}

void TGraphicRadioButtonADV::SetSelectedImageFile(const char* name, int32_t x, int32_t y, uint8_t mode, int32_t fps,
                                                  int32_t fixed) {
  Replace(selectedImage, TShellAnimADV::FromFile(name, x, y, mode, fps, fixed, 0));
}

void TGraphicRadioButtonADV::SetSelectedImage(TShapeMovie* movie, int32_t x, int32_t y, uint8_t mode, int32_t fps,
                                              int32_t fixed) {
  Replace(selectedImage, new TShellAnimADV(movie, x, y, mode, fps, fixed, 0));
}

void TGraphicRadioButtonADV::Redraw(int redraw) {
  if (!redraw) return;
  Erase(0);
  Draw(0);
}

void TGraphicRadioButtonADV::Select(int redraw) {
  if (Selected()) return;
  controlFlags |= CF_SELECTED;
  Redraw(redraw);
  TGraphicRadioButtonADV* b = this;
  while (b->previous) b = b->previous;
  for (; b; b = b->next)
    if (b != this && b->Selected()) {
      b->controlFlags &= ~CF_SELECTED;
      b->Redraw(redraw);
    }
}

void TGraphicRadioButtonADV::Deselect(int redraw) {
  if (!Selected()) return;
  controlFlags &= ~CF_SELECTED;
  Redraw(redraw);
}

void TGraphicRadioButtonADV::Toggle(int redraw) {
  controlFlags ^= CF_SELECTED;
  Redraw(redraw);
}

void TGraphicRadioButtonADV::ShowGroup(int show) {
  TGraphicRadioButtonADV* b = this;
  while (b->previous) b = b->previous;
  for (; b; b = b->next) b->Show(show, 0);
}

void TGraphicRadioButtonADV::Draw(int) {
  if (!(flags & kHandlerShown)) return;
  TShellAnimADV* chosen = nullptr;
  if (Selected()) chosen = selectedImage;
  else if (!IsShownAndEnabled()) chosen = images[kDisabled];
  else if (HasFocus()) chosen = pressed && pointerInside && images[kPressed] ? images[kPressed] : images[kHighlight];
  if (!chosen) chosen = images[kNormal];
  if (!chosen) return;
  if (selectedImage && selectedImage != chosen && selectedImage->Running()) selectedImage->Stop(1);
  for (TShellAnimADV* image : images)
    if (image && image != chosen && image->Running()) image->Stop(1);
  chosen->Start();
  chosen->Draw();
  const MARect r = chosen->GetDrawnRect();
  if (r.right > r.left) left = r.left, top = r.top, right = r.right, bottom = r.bottom;
}

int TGraphicRadioButtonADV::OnIdle() {
  if (TGraphicButtonADV::OnIdle() == 0) return 0;
  if (selectedImage && MA_EventHandler::IsShownAndEnabled()) selectedImage->Update();
  return 1;
}

void TGraphicRadioButtonADV::Fire() {
  // Clicking the selected button runs its handler again; the group stays as it is.
  if (!clickHandler) return;
  Select(1);
  TGenericControlADV::Fire();
}

TGraphicToggleButtonADV::TGraphicToggleButtonADV(uintptr_t data_, uint16_t hotKey, uint16_t id_, uint16_t kind_,
                                                 uint32_t stateFlags)
    : TGraphicRadioButtonADV(data_, nullptr, hotKey, id_, kind_, stateFlags, nullptr) {}

void TGraphicToggleButtonADV::Fire() {
  Toggle(1);
  TGenericControlADV::Fire();
}

// ---- graphic buttons with a caption -----------------------------------------------------------------------------------

TGraphicTextButtonADV::TGraphicTextButtonADV(const char* caption, MemHandle font_, uintptr_t data_, uint16_t hotKey,
                                             uint8_t alignment_, uint16_t id_, uint16_t kind_, uint32_t stateFlags,
                                             uint32_t controlFlags_)
    : TGraphicButtonADV(data_, hotKey, id_, kind_, stateFlags, controlFlags_, nullptr), font(font_), alignment(alignment_) {
  if (controlFlags & CF_OWNS_TEXT) owned_ = caption ? caption : "";
  else caption_ = caption;
  SetColors(0, 0, 0, 0);
}

void TGraphicTextButtonADV::SetColors(uint16_t normal, uint16_t disabled, uint16_t focus, uint16_t pressedC) {
  normalColour = normal ? normal : Pixel565(0xFFFFFF);
  disabledColour = disabled ? disabled : Pixel565(0xAAAAAA);
  focusColour = focus ? focus : Pixel565(0xFFFF50);
  pressedColour = pressedC ? pressedC : Pixel565(0xAA0000);
}

void TGraphicTextButtonADV::DrawCaption() {
  bool drew = false;
  for (TShellAnimADV* image : images)
    if (image && image->frameDrawn) drew = true;
  const char* text = Caption();
  ImageRecord* drawn = DrawnImage();
  if (!drew || !text || !font || !drawn) return;
  uint16_t colour = normalColour;
  if (!IsShownAndEnabled()) colour = disabledColour;
  else if (HasFocus()) colour = pressed && pointerInside && pressedColour ? pressedColour : focusColour;
  FontSelect(font, drawn, kAlignLeft, colour, 0, 0, 1);
  const int32_t w = FontStringWidth(text, 0), h = FontHeight();
  const int32_t ty = top + (bottom - top - h) / 2;
  int32_t tx = left + (right - left - w) / 2;
  if (alignment == 2) tx = left;
  else if (alignment == 4) tx = right - w;
  // A caption longer than the picture widens the button.
  if (tx < left) left = tx;
  if (tx + w > right) right = tx + w;
  FontDrawText(tx, ty, text);
  AddDirtyRect(MARect{left, top, right, bottom});
}

void TGraphicTextButtonADV::Draw(int flag) {
  for (TShellAnimADV* image : images)
    if (image) image->frameDrawn = false;
  TGraphicButtonADV::Draw(flag);
  DrawCaption();
}

int TGraphicTextButtonADV::OnIdle() {
  for (TShellAnimADV* image : images)
    if (image) image->frameDrawn = false;
  if (TGraphicButtonADV::OnIdle() == 0) return 0;
  DrawCaption();
  return 1;
}
