#include "frontend/cameradialogs.h"

#include <cmath>
#include <vector>

#include "framework/core/bigfileio.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "golf/game.h"
#include "platformlib/gfx/windowdesc.h"
#include "scene/holedraw.h"
#include "scene/render3d.h"

namespace {

int32_t DialogWidth() { return DialogSizeIndex() <= 2 ? 522 : 730; }
int32_t DialogHeight() { return DialogSizeIndex() <= 2 ? 333 : 466; }

void RestorePanelArea(void* data, const MARect& rect, int) {
  if (auto* dialog = static_cast<CDialogADV*>(data)) dialog->RestoreRect(rect);
}

void Outline(WindowDesc* w, const MARect& r, uint16_t colour) {
  const auto put = [&](int32_t x, int32_t y) {
    if (x >= 0 && y >= 0 && x < w->width && y < w->height) reinterpret_cast<uint16_t*>(w->pixels + y * w->rowbytes)[x] = colour;
  };
  for (int32_t x = r.left; x < r.right; ++x) put(x, r.top), put(x, r.bottom - 1);
  for (int32_t y = r.top; y < r.bottom; ++y) put(r.left, y), put(r.right - 1, y);
}

}  // namespace

// ---- the arrows ----------------------------------------------------------------------------------------------------

CCameraArrowBtn::CCameraArrowBtn(CDialogADV* owner, uint16_t hotKey, uint16_t id_, const char* shape, int32_t x, int32_t y,
                                 float scale, uint32_t flags_)
    : TGraphicButtonADV(reinterpret_cast<uintptr_t>(owner), hotKey, id_, kKindButton, kHandlerShown | kHandlerEnabled,
                        flags_, nullptr),
      dialog(owner) {
  SetImageInArchive(kNormal, DialogFolder(), shape, x, y, TShellAnimADV::kLoop, 0, 2);
  if (TShapeMovie* m = MovieOf(kNormal)) {
    SetImage(kHighlight, m, x, y, TShellAnimADV::kLoop, 0, 3);
    SetImage(kPressed, m, x, y, TShellAnimADV::kLoop, 0, 3);
  }
  for (TShellAnimADV* image : images)
    if (image) image->SetRestoreCallback(RestorePanelArea, owner);
  ScaleImages(scale);
}

int CCameraArrowBtn::OnChar(uint16_t code) {
  const int taken = TGraphicButtonADV::OnChar(code);
  if (taken && dialog) {
    dialog->SetCurrentHandler(this);
    SetFocus(1);
  }
  return taken;
}

// ---- the common part -----------------------------------------------------------------------------------------------

CCameraDialogBase::CCameraDialogBase(const char* title, const char* archive)
    : CDialogADV((Facts().screenWidth - DialogWidth()) / 2, (Facts().screenHeight - DialogHeight()) / 2, DialogWidth(),
                 DialogHeight(), LoadDialogFile(archive, "bkdialog.fsh"),
                 DialogSizeIndex() <= 2 ? "hal13i.ffn" : "hal18i.ffn"),
      archive_(archive) {
  SetTitle(title);
  SaveUnder();
  scale = static_cast<float>(width) / 522.0f;
  view = MainView;
  const int32_t pw = 3 * width / 5, ph = 3 * height / 5;
  preview.left = x + (width - pw) / 2;
  preview.top = y + (height - ph) / 2 - 3 * height / 50;
  preview.right = preview.left + pw;
  preview.bottom = preview.top + ph;
  upDownMoveFocus = 0;
  leftRightMoveFocus = 0;
}

CDialogTxtBtn* CCameraDialogBase::AddTextButton(const char* caption, uint16_t hotKey, uint16_t id_, int32_t bx, int32_t by,
                                                int32_t lift, ClickHandler handler) {
  auto* b = new CDialogTxtBtn(x + static_cast<int32_t>(scale * bx), y + static_cast<int32_t>(scale * by - lift), caption,
                              font, reinterpret_cast<uintptr_t>(this), hotKey, 1, id_, kKindButton,
                              kHandlerShown | kHandlerEnabled, 0, nullptr);
  b->dialog = this;
  b->SetColors(0xE0E0E0, 0xAAAAAA, 0xFF1010, 0xF0F0F0);
  b->clickHandler = handler;
  AddHandler(b);
  return b;
}

CCameraArrowBtn* CCameraDialogBase::AddArrow(const char* shape, uint16_t hotKey, uint16_t id_, int32_t bx, int32_t by,
                                             int32_t lift, uint32_t controlFlags, ClickHandler handler) {
  // The pictures are in the screen size's archive of the dialog, current only while they are read.
  const int opened = BigFileOpenArchive(DialogFolder(), archive_, nullptr);
  auto* b = new CCameraArrowBtn(this, hotKey, id_, shape, x + static_cast<int32_t>(scale * bx),
                                y + static_cast<int32_t>(scale * by - lift), scale, controlFlags);
  if (opened == 0) BigFileCloseArchive();
  b->clickHandler = handler;
  AddHandler(b);
  return b;
}

void CCameraDialogBase::DrawAll(int flag) {
  CDialogADV::DrawAll(flag);
  DrawPreview();
  AddDirtyRect(MARect{x, y, x + width, y + height});
}

void CCameraDialogBase::DrawPreview() {
  ImageRecord* drawn = DrawnImage();
  WindowDesc* w = drawn ? drawn->window : nullptr;
  if (!w || w->depth != 16 || !w->pixels) return;
  const int32_t pw = preview.right - preview.left, ph = preview.bottom - preview.top;
  std::vector<uint16_t> pixels(static_cast<size_t>(pw) * ph, 0);
  const int32_t rect[4] = {0, 0, pw, ph};
  const int32_t toWidth = 1;
  view.SetViewport(rect, &toWidth, puttingGrid ? 1 : 0, gRenderStart.hardwareActive ? 0 : 1);
  view.UpdateTransformWithOffsets();
  Surface16 s;
  s.pixels = pixels.data();
  s.pitch = pw;
  s.clipRight = pw;
  s.clipBottom = ph;
  DrawHoleSoftware(view, s, &view.focusPoint);
  for (int32_t row = 0; row < ph; ++row) {
    const int32_t sy = preview.top + row;
    if (sy < 0 || sy >= w->height) continue;
    auto* line = reinterpret_cast<uint16_t*>(w->pixels + sy * w->rowbytes);
    for (int32_t col = 0; col < pw; ++col) {
      const int32_t sx = preview.left + col;
      if (sx >= 0 && sx < w->width) line[sx] = pixels[static_cast<size_t>(row) * pw + col];
    }
  }
  Outline(w, MARect{preview.left - 1, preview.top - 1, preview.right + 1, preview.bottom + 1}, 0xFFFF);
  AddDirtyRect(MARect{preview.left - 1, preview.top - 1, preview.right + 1, preview.bottom + 1});
}

// ---- camera position -----------------------------------------------------------------------------------------------

CCameraPositionDlg::CCameraPositionDlg() : CCameraDialogBase("Camera Position", "campos.viv") {
  const int32_t lift = 3 * height / 50;
  buttons[kCancel] = AddTextButton("Cancel", 'c', kCancel, 425, 308, lift, OnButton);
  buttons[kOk] = AddTextButton("Ok", 'o', kOk, 485, 308, lift, OnButton);
  buttons[kRandom] = AddTextButton("Random", 'r', kRandom, 200, 308, lift, OnButton);
  buttons[kLeft] = AddArrow("btncalef.fsh", kKeyLeft, kLeft, 148, 271, lift, 0, OnButton);
  buttons[kForward] = AddArrow("btncafor.fsh", kKeyUp, kForward, 219, 271, lift, 0, OnButton);
  buttons[kBack] = AddArrow("btncabac.fsh", kKeyDown, kBack, 275, 273, lift, 0, OnButton);
  buttons[kRight] = AddArrow("btncarig.fsh", kKeyRight, kRight, 341, 271, lift, 0, OnButton);
  buttons[kReset] = AddTextButton("Reset", 't', kReset, 330, 308, lift, OnButton);
  const TGame* g = CurrentGame();
  if (g && g->GetCameraValueA() == RandomOffsetMarker && g->GetCameraValueB() == RandomOffsetMarker)
    view.SetOffsets(RandomOffsetMarker, RandomOffsetMarker);
  UpdateButtons();
}

void CCameraPositionDlg::MoveSide(float delta) {
  view.SetSideOffset(view.sideOffset + delta);
  DrawPreview();
  UpdateButtons();
}

void CCameraPositionDlg::MoveBack(float delta) {
  view.SetBackOffset(view.backOffset + delta);
  DrawPreview();
  UpdateButtons();
}

void CCameraPositionDlg::UpdateButtons() {
  // The limits disable the arrows; the offsets themselves are not clamped.
  const bool usable[kButtons] = {true, true, true, view.sideOffset > kSideMin, view.backOffset < kBackMax,
                                 view.backOffset > kBackMin, view.sideOffset < kSideMax, true};
  for (int i = kLeft; i <= kRight; ++i) {
    TGenericControlADV* b = buttons[i];
    const bool enabled = (b->flags & kHandlerEnabled) != 0;
    if (enabled && !usable[i]) {
      b->SetFocus(0);
      b->Enable(0, 1);
      SetCurrentHandler(nullptr);
    } else if (!enabled && usable[i]) {
      b->Enable(1, 0);
    }
  }
}

void CCameraPositionDlg::OnButton(TGenericControlADV* control) {
  auto* d = control ? control->Owner<CCameraPositionDlg>() : nullptr;
  if (!d) return;
  switch (control->id) {
    case kCancel: d->EndModal(0); break;
    case kOk:
      MainView = d->view;
      if (TGame* g = CurrentGame()) {
        g->SetCameraValueA(d->view.sideOffset);
        g->SetCameraValueB(d->view.backOffset);
      }
      d->EndModal(1);
      break;
    case kRandom:
    case kReset:
      if (control->id == kRandom) d->view.SetOffsets(RandomOffsetMarker, RandomOffsetMarker);
      else d->view.SetOffsets(0.0f, 0.0f);
      d->UpdateButtons();
      d->DrawAll(0);
      break;
    case kLeft: d->MoveSide(-0.5f); break;
    case kRight: d->MoveSide(0.5f); break;
    case kForward: d->MoveBack(1.0f); break;
    case kBack: d->MoveBack(-1.0f); break;
    default: break;
  }
}

int ShowCameraPositionDialog() {
  int result = 0;
  {
    CCameraPositionDlg dialog;
    result = dialog.RunModalLoop();
  }
  return result;
}

// ---- change view ---------------------------------------------------------------------------------------------------

CChangeViewDialog::CChangeViewDialog(int mode_)
    : CCameraDialogBase(mode_ == kPuttingAnalyzer ? "Putting Analyzer" : "Rotate View", "rotatevw.viv"), mode(mode_) {
  puttingGrid = mode == kPuttingAnalyzer;
  constexpr uint32_t kRepeat = CF_AUTO_FIRE;
  if (mode == kRotateView) {
    AddTextButton("Cancel", 'c', 0, 425, 283, 0, OnButton);
    AddTextButton("Ok", 'o', 1, 485, 283, 0, OnButton);
    AddArrow("btncarol.fsh", kKeyLeft, 2, 147, 270, 0, kRepeat, OnButton);
    AddTextButton("Reset", 'r', 3, 261, 277, 0, OnButton);
    AddArrow("btncaror.fsh", kKeyRight, 4, 332, 270, 0, kRepeat, OnButton);
  } else {
    AddTextButton("Ok", 'o', 0, 22, 273, 0, OnButton);
    AddTextButton("<-", kKeyLeft, 1, 147, 270, 0, OnButton);
    AddArrow("btncabac.fsh", kKeyDown, 2, 223, 298, 0, kRepeat, OnButton);
    AddArrow("btncafor.fsh", kKeyUp, 3, 298, 298, 0, kRepeat, OnButton);
    AddArrow("btncaror.fsh", kKeyRight, 4, 332, 270, 0, kRepeat, OnButton);
    AddTextButton("Reset", 'r', 5, 261, 270, 0, OnButton);
  }
  openingHeading = chosenHeading = view.heading;
  savedEye = view.focusPoint;
  // The middle of the putt: the ball and the point the shot aims at.
  if (const TGame* g = CurrentGame()) {
    const Vector3 a = g->viewPlacement.viewPoint, b = g->viewPlacement.target;
    orbit = Vector3{0.5f * (a.x + b.x), 0.5f * (a.y + b.y), 0.5f * (a.z + b.z)};
  }
  if (mode == kPuttingAnalyzer) {
    view.SetHeadingAngle(ViewHeadingToward(view.focusPoint, orbit));
    view.UpdateTransform();
  }
}

float CChangeViewDialog::OrbitDistance() const {
  const float dx = view.focusPoint.x - orbit.x, dy = view.focusPoint.y - orbit.y, dz = view.focusPoint.z - orbit.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

void CChangeViewDialog::Rotate(int32_t step) {
  if (mode == kRotateView) view.TurnBy(step);
  else view.AimAtPoint(orbit, step);
  view.heading &= 0xFFFF;
  chosenHeading = view.heading;
  DrawPreview();
}

void CChangeViewDialog::Zoom(float step) {
  const float d = OrbitDistance();
  if ((d < kZoomNearest && step > 0) || (d > kZoomFarthest && step < 0)) return;
  view.MoveBack(step);
  DrawPreview();
}

void CChangeViewDialog::Reset() {
  if (mode == kRotateView) {
    view.SetHeading(openingHeading);
    chosenHeading = openingHeading;
  } else {
    view.focusPoint = savedEye;
    view.SetHeadingAngle(ViewHeadingToward(view.focusPoint, orbit));
    view.UpdateTransform();
  }
  DrawPreview();
}

void CChangeViewDialog::OnButton(TGenericControlADV* control) {
  auto* d = control ? control->Owner<CChangeViewDialog>() : nullptr;
  if (!d) return;
  const int id = control->id;
  if (d->mode == kRotateView) {
    switch (id) {
      case 0: case 1: d->EndModal(id); break;
      case 2: d->Rotate(kRotationStep); break;
      case 4: d->Rotate(-kRotationStep); break;
      case 3: d->Reset(); break;
      default: break;
    }
    return;
  }
  switch (id) {
    case 0: d->EndModal(0); break;
    case 1: d->Rotate(kRotationStep); break;
    case 4: d->Rotate(-kRotationStep); break;
    case 2: d->Zoom(0.25f); break;
    case 3: d->Zoom(-0.25f); break;
    case 5: d->Reset(); break;
    default: break;
  }
}

int ShowChangeViewDialog(int mode) {
  int result = 0;
  int32_t heading = 0;
  {
    CChangeViewDialog dialog(mode);
    result = dialog.RunModalLoop();
    heading = dialog.chosenHeading;
  }
  if (result == 1) MainView.SetHeading(heading);
  return result;
}
