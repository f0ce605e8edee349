#include "frontend/calibration.h"

#include <algorithm>

#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "framework/ui/inputstate.h"
#include "frontend/dialog.h"
#include "mmsystem.h"
#include "platformlib/gfx/windowdesc.h"
#include "platformlib/shapes/shapes.h"

int32_t MouseSwingSensitivity = 60;
CAnalogCalibrationDialog* CalibrationPanel = nullptr;

namespace {

// The round's shapes: 25 holds the scale marker (image 1) and the arrows (2-4 right, 5-7 left), 26 the swing
// pictures (1-15).
constexpr uint32_t kArrowShape = 25, kSwingShape = 26;
constexpr int kFrames = 15;

constexpr int32_t kA[5] = {470, 520, 570, 810, 830}, kB[5] = {420, 410, 410, 630, 630}, kW[5] = {285, 290, 340, 430, 450},
                  kD[5] = {410, 395, 390, 540, 540}, kG[5] = {149, 149, 149, 179, 179}, kH[5] = {18, 19, 23, 32, 34},
                  kE[5] = {10, 12, 12, 18, 20}, kF[5] = {11, 13, 13, 21, 21}, kI[5] = {20, 15, 15, 10, 10};

constexpr const char* kSteps[8] = {
    "Position the mouse cursor over the swing control icon.",
    "To begin, click the right mouse button.",
    "To start the backswing,  move the mouse smoothly to the right until the meter unfills.",
    "To initiate the downswing, reverse direction and move the mouse smoothly and quickly to the left.",
    "The speed of the mouse movement affects power (upper tic mark).",
    "If necessary, adjust mouse sensitivity using the scale below.",
    "Click the right mouse button to take a practice swing. Click the left mouse button to take a shot.",
    "Double-click for extra power."};

WindowDesc* Drawn() {
  ImageRecord* r = DrawnImage();
  return r ? r->window : nullptr;
}

void Restore(const MARect& r) {
  ImageRecord* background = RoleImage(kRoleErase);
  if (background && DrawnImage()) BlitImage(DrawnImage(), r, background, r);
  AddDirtyRect(r);
}

void DrawImageAt(const uint8_t* image, int32_t x, int32_t y) {
  WindowDesc* w = Drawn();
  if (!image || !w || !setwindow(w)) return;
  drawshape(image, x, y);
  releasewindow();
}

}  // namespace

// An arrow of the scale: its normal, highlight and pressed images come from the round's shape.
class TAnalogGraphicBtn : public TGenericControlADV {
 public:
  TAnalogGraphicBtn(const uint8_t* const images[3], int32_t x, int32_t y, int direction)
      : TGenericControlADV(0, 0, 0, kKindButton, kHandlerShown | kHandlerEnabled, 0, nullptr), direction(direction) {
    for (int i = 0; i < 3; ++i) images_[i] = images[i];
    const uint8_t* first = images_[0] ? images_[0] : images_[1] ? images_[1] : images_[2];
    left = x;
    top = y;
    right = x + (first ? shapewidth(first) : 16);
    bottom = y + (first ? shapeheight(first) : 16);
    clickHandler = [](TGenericControlADV* c) {
      if (CalibrationPanel) CalibrationPanel->Step(static_cast<TAnalogGraphicBtn*>(c)->direction);
    };
  }
  void Draw(int) override {
    if (!(flags & kHandlerShown)) return;
    const int look = !HasFocus() ? 0 : (pressed && Input().buttonHeld) ? 2 : 1;
    DrawImageAt(images_[look], left, top);
    AddDirtyRect(MARect{left, top, right, bottom});
  }
  void Erase(int) override {
    if (CalibrationPanel) CalibrationPanel->Draw(0);
  }
  const int direction;

 private:
  const uint8_t* images_[3] = {};
};

CalibrationLayout CalibrationLayoutFor(int s, int32_t sw, int32_t sh) {
  s = std::clamp(s, 0, 4);
  CalibrationLayout l{};
  l.left = sw - kA[s] - kG[s];
  l.top = sh - kB[s];
  l.right = l.left + kW[s] + kG[s];
  l.bottom = l.top + kD[s];
  l.picture = kG[s];
  l.tickSpacing = kH[s];
  l.lift = kE[s];
  l.arrowHeight = kF[s];
  l.arrowInset = kI[s];
  return l;
}

CAnalogCalibrationDialog::CAnalogCalibrationDialog() {
  CalibrationPanel = this;
  layout = CalibrationLayoutFor(DialogSizeIndex(), Facts().screenWidth, Facts().screenHeight);
  left = layout.left, top = layout.top, right = layout.right, bottom = layout.bottom;
  const int32_t g = layout.picture, h = layout.tickSpacing, e = layout.lift;
  scale = MARect{left + 10 + g, bottom - 80 - e, left + 70 + 11 * h + g, bottom - 30};
  font_ = LoadFrontEndFont(DialogSizeIndex() <= 2 ? "hal10b.ffn" : "hal12b.ffn");
}

CAnalogCalibrationDialog::~CAnalogCalibrationDialog() {
  ReleaseShapes();
  if (CalibrationPanel == this) CalibrationPanel = nullptr;
}

const uint8_t* CAnalogCalibrationDialog::Image(int shape, int index) const {
  const uint8_t* file = shape == static_cast<int>(kArrowShape) ? arrowsFile_ : swingFile_;
  // Only the images the shape holds: a short shape leaves the rest undrawn.
  if (!file || index < 0 || static_cast<uint32_t>(index) >= shapecount(file)) return nullptr;
  return locateshapenum(file, index);
}

void CAnalogCalibrationDialog::ReleaseShapes() {
  if (arrowsFile_) MemUnlock(arrows_);
  if (swingFile_) MemUnlock(swing_);
  arrowsFile_ = swingFile_ = nullptr;
  arrows_ = swing_ = 0;
}

void CAnalogCalibrationDialog::Show() {
  shown_ = true;
  if (!arrowsFile_ && !swingFile_) {
    arrows_ = Svc().round->InterfaceShape(kArrowShape);
    swing_ = Svc().round->InterfaceShape(kSwingShape);
    for (auto [handle, file] : {std::pair{arrows_, &arrowsFile_}, std::pair{swing_, &swingFile_}}) {
      const auto* bytes = handle ? static_cast<const uint8_t*>(MemLock(handle)) : nullptr;
      if (bytes && checkshapefile(bytes, MemHandleSize(handle)) != 1) {
        MemUnlock(handle);
        bytes = nullptr;
      }
      *file = bytes;
    }
  }
  const auto button = [&](const char* caption, int32_t x, void (*handler)(TGenericControlADV*)) {
    auto* b = new TTextButtonADV(x, bottom - 20, caption, font_, reinterpret_cast<uintptr_t>(this), 0, 2, 0, kKindButton,
                                 kHandlerShown | kHandlerEnabled, 0, nullptr);
    b->SetColors(0xE0E0E0, 0xAAAAAA, 0xFF1010, 0xF0F0F0);
    b->clickHandler = handler;
    AddHandler(b);
    return b;
  };
  ok_ = button("OK", right - 30, [](TGenericControlADV*) {
    if (CalibrationPanel) CalibrationPanel->Accept();
  });
  cancel_ = button("Cancel", right - 120, [](TGenericControlADV*) {
    if (CalibrationPanel) CalibrationPanel->Cancel();
  });
  const uint8_t* rightImages[3] = {Image(kArrowShape, 2), Image(kArrowShape, 3), Image(kArrowShape, 4)};
  const uint8_t* leftImages[3] = {Image(kArrowShape, 5), Image(kArrowShape, 6), Image(kArrowShape, 7)};
  right_ = new TAnalogGraphicBtn(rightImages, right - 15 - layout.arrowInset, bottom - 50 - layout.lift, 4);
  left_ = new TAnalogGraphicBtn(leftImages, left + layout.arrowInset + layout.picture, bottom - 47 - layout.lift, -4);
  AddHandler(right_);
  AddHandler(left_);
  frame_ = 1;
  lastTick_ = timeGetTime();
  gathered_ = 0;
  Draw(0);
}

void CAnalogCalibrationDialog::Draw(int) {
  if (!shown_) return;
  WindowDesc* screen = Drawn();
  if (!screen) return;
  const MARect panel{left, top, right, bottom};
  Restore(MARect{left - 10, top - 10, right + 10, bottom + 10});
  Svc().frontEnd->DrawShadowFrame(panel, 6, screen);
  const int32_t g = layout.picture, h = layout.tickSpacing, e = layout.lift;
  // The texts' colours are taken for the window drawn into.
  const bool bound = setwindow(screen);
  FontSelect(font_, DrawnImage(), kAlignCentre, Pixel565(0xFFFFFF), 0, 0, 1);
  const int32_t line = FontHeight();
  FontDrawText((left + g + right) / 2, top + 4, "Pro swing");
  int32_t offset = 2;
  for (int i = 0; i < 8; ++i) {
    const MARect box{left + 20 + g, top + offset * line, right - 4, top + offset * line + 20};
    char number[4] = {static_cast<char>('1' + i), '.', 0, 0};
    FontSelect(font_, DrawnImage(), kAlignLeft, Pixel565(0xFFFFFF), 0, 0, 1);
    FontDrawText(box.left - 20, box.top, number);
    offset += FontDrawTextWrapped(0, kSteps[i], box, line) + 2;
  }
  // The scale: twelve ticks, "Fast" to the right and "Slow" to the left.
  for (int k = 0; k < 12; ++k) {
    const int32_t x = left + 40 + g + h * k;
    for (int32_t y = bottom - 50 - e; y < bottom - 50; ++y)
      if (x >= 0 && x < screen->width && y >= 0 && y < screen->height && screen->depth == 16)
        reinterpret_cast<uint16_t*>(screen->pixels + y * screen->rowbytes)[x] = 0xFFFF;
  }
  FontSelect(font_, DrawnImage(), kAlignLeft, Pixel565(0xFFFFFF), 0, 0, 1);
  FontDrawText(right - 50, bottom - 70 - e, "Fast");
  FontDrawText(left + 20 + g, bottom - 70 - e, "Slow");
  if (bound) releasewindow();
  list.DrawAll(0);
  if (const uint8_t* marker = Image(kArrowShape, 1)) {
    const int32_t x = left + 40 + g + static_cast<int32_t>(11.0 * h * (MouseSwingSensitivity - 10) / 100.0 - shapewidth(marker) / 2.0);
    DrawImageAt(marker, x, bottom - 53 - e);
  }
  DrawPicture();
  AddDirtyRect(MARect{left - 10, top - 10, right + 10, bottom + 10});
}

void CAnalogCalibrationDialog::DrawPicture() {
  const int32_t pictureTop = top + (bottom - top - 149) / 2;
  const MARect area{left, pictureTop, left + layout.picture, pictureTop + 149};
  Restore(area);
  if (WindowDesc* screen = Drawn()) Svc().frontEnd->DrawShadowFrame(area, 0, screen);
  DrawImageAt(Image(kSwingShape, frame_), area.left, area.top);
  AddDirtyRect(area);
}

void CAnalogCalibrationDialog::Erase(int) {
  if (shown_) Restore(MARect{left - 10, top - 10, right + 10, bottom + 10});
}

int CAnalogCalibrationDialog::OnIdle() {
  if (!shown_) return 1;
  bool redrawn = false;
  int16_t px = 0, py = 0;
  MouseGetPosition(&px, &py);
  const auto over = [&](TAnalogGraphicBtn* b) { return px >= b->left && px < b->right && py >= b->top && py < b->bottom; };
  if (Input().buttonHeld && !over(right_) && !over(left_) && px >= scale.left && px < scale.right && py >= scale.top &&
      py < scale.bottom) {
    const uint8_t* marker = Image(kArrowShape, 1);
    const double markerWidth = marker ? shapewidth(marker) : 0;
    const double span = 11.0 * layout.tickSpacing;
    const int value = static_cast<int>((px + markerWidth / 4 - left - 40 - layout.picture) / span * 100 + 10);
    MouseSwingSensitivity = std::clamp(value, 10, 110);
    Draw(0);
    redrawn = true;
  }
  const uint32_t now = timeGetTime();
  gathered_ += now - lastTick_;
  lastTick_ = now;
  if ((frame_ < 3 && gathered_ > 500) || (frame_ >= 3 && gathered_ > 100)) {
    frame_ = frame_ >= kFrames ? 1 : frame_ + 1;
    if (!redrawn) DrawPicture();
    gathered_ = 0;
  }
  return TEventHandlerGroup::OnIdle();
}

int CAnalogCalibrationDialog::OnChar(uint16_t code) {
  if (shown_ && code == kKeyEscape) {
    Cancel();
    return 1;
  }
  if (shown_ && code == kKeyEnter) {
    Accept();
    return 1;
  }
  return TEventHandlerGroup::OnChar(code);
}

void CAnalogCalibrationDialog::Step(int delta) {
  if (!shown_) return;
  Svc().sound->PlayMenuSound(delta > 0 ? 3 : 4);
  MouseSwingSensitivity = std::clamp(MouseSwingSensitivity + delta, 10, 110);
  Draw(0);
  FlushInput();
}

void CAnalogCalibrationDialog::Accept() {
  if (!shown_) return;
  Svc().preferences->Set(kPrefSwingSensitivity, MouseSwingSensitivity);
  Close();
}

void CAnalogCalibrationDialog::Cancel() {
  if (!shown_) return;
  int32_t stored = 60;
  if (Svc().preferences->Get(kPrefSwingSensitivity, &stored) != 0) stored = 60;
  MouseSwingSensitivity = std::clamp(stored, 10, 110);
  Close();
}

void CAnalogCalibrationDialog::Close() {
  shown_ = false;
  Restore(MARect{left - 10, top - 10, right + 10, bottom + 10});
  for (TGenericControlADV* c : {static_cast<TGenericControlADV*>(ok_), static_cast<TGenericControlADV*>(cancel_),
                                static_cast<TGenericControlADV*>(right_), static_cast<TGenericControlADV*>(left_)}) {
    if (!c) continue;
    RemoveHandler(c);
    delete c;
  }
  ok_ = cancel_ = nullptr;
  right_ = left_ = nullptr;
  ReleaseShapes();
}

void ShowCalibrationPanel() {
  if (!CalibrationPanel) new CAnalogCalibrationDialog();
  if (!CalibrationPanel->Shown()) CalibrationPanel->Show();
}
