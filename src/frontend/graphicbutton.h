// Buttons drawn from animated pictures: the plain graphic button with its four state images, the radio button
// with a selected image and a group of which one is selected, the toggle button (a radio button alone), and
// the graphic button with a caption over its image.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/paths.h"
#include "frontend/control.h"
#include "frontend/shellanim.h"

class TGraphicButtonADV : public TGenericControlADV {
 public:
  // The sample "button1" (any case) is the class's shared click sound; another name an own sound; none the
  // shared menu sound 0.
  TGraphicButtonADV(uintptr_t data, uint16_t hotKey, uint16_t id, uint16_t kind, uint32_t stateFlags, uint32_t controlFlags,
                    const char* sampleName);
  ~TGraphicButtonADV() override;
  void Draw(int flag) override;
  int OnIdle() override;
  void OnActivate(uint16_t code) override;  // the trigger, latching the press when asked
  int IsShownAndEnabled() override;

  // The image setters: a shape file of the front-end archive, a shape file of a folder (its archive when it is
  // the menus folder), or a movie already loaded (not owned). The three numbers go to the animation: play
  // mode, frames per second, fixed frame.
  enum Image { kDisabled = 0, kNormal = 1, kHighlight = 2, kPressed = 3 };
  void SetImageFile(Image which, const char* name, int32_t x, int32_t y, uint8_t mode, int32_t fps, int32_t fixed);
  void SetImageInArchive(Image which, PathRecord* archive, const char* name, int32_t x, int32_t y, uint8_t mode,
                         int32_t fps, int32_t fixed);
  void SetImage(Image which, TShapeMovie* movie, int32_t x, int32_t y, uint8_t mode, int32_t fps, int32_t fixed);
  void SetNormalImageInArchive(PathRecord* a, const char* n, int32_t x, int32_t y, uint8_t m, int32_t f, int32_t k) {
    SetImageInArchive(kNormal, a, n, x, y, m, f, k);
  }
  void SetHighlightImageInArchive(PathRecord* a, const char* n, int32_t x, int32_t y, uint8_t m, int32_t f, int32_t k) {
    SetImageInArchive(kHighlight, a, n, x, y, m, f, k);
  }
  void SetPressedImageInArchive(PathRecord* a, const char* n, int32_t x, int32_t y, uint8_t m, int32_t f, int32_t k) {
    SetImageInArchive(kPressed, a, n, x, y, m, f, k);
  }
  void SetDisabledImageInArchive(PathRecord* a, const char* n, int32_t x, int32_t y, uint8_t m, int32_t f, int32_t k) {
    SetImageInArchive(kDisabled, a, n, x, y, m, f, k);
  }
  // The movie an image shows (so another image can reuse the loaded file); null when it has none.
  TShapeMovie* MovieOf(Image which) const { return images[which] ? images[which]->movie : nullptr; }
  virtual void SetImageSize(int32_t width, int32_t height);
  virtual void ScaleImages(float factor);

  TShellAnimADV* images[4] = {};  // disabled, normal, highlight, pressed

 protected:
  static void Replace(TShellAnimADV*& slot, TShellAnimADV* image);
  // Shows the chosen image: the others stopped and erased, the chosen one started and drawn; the button takes
  // the rectangle it covers.
  void ShowImage(TShellAnimADV* chosen);
};

class TGraphicRadioButtonADV : public TGraphicButtonADV {
 public:
  TGraphicRadioButtonADV(uintptr_t data, TGraphicRadioButtonADV* previous, uint16_t hotKey, uint16_t id, uint16_t kind,
                         uint32_t stateFlags, const char* sampleName);
  ~TGraphicRadioButtonADV() override;
  void Draw(int flag) override;
  int OnIdle() override;
  void Fire() override;
  void SetSelectedImageInArchive(PathRecord* archive, const char* name, int32_t x, int32_t y, uint8_t mode, int32_t fps,
                                 int32_t fixed);
  void SetSelectedImageFile(const char* name, int32_t x, int32_t y, uint8_t mode, int32_t fps, int32_t fixed);
  void SetSelectedImage(TShapeMovie* movie, int32_t x, int32_t y, uint8_t mode, int32_t fps, int32_t fixed);
  void Select(int redraw);
  void Deselect(int redraw);
  void Toggle(int redraw);
  void ShowGroup(int show);
  bool Selected() const { return controlFlags & CF_SELECTED; }

  TGraphicRadioButtonADV *next = nullptr, *previous = nullptr;
  TShellAnimADV* selectedImage = nullptr;

 private:
  void Redraw(int redraw);
};

// A radio button alone in its group: each fire flips it. It takes clicks without a click handler.
class TGraphicToggleButtonADV : public TGraphicRadioButtonADV {
 public:
  TGraphicToggleButtonADV(uintptr_t data, uint16_t hotKey, uint16_t id, uint16_t kind, uint32_t stateFlags);
  int IsShownAndEnabled() override { return MA_EventHandler::IsShownAndEnabled(); }
  void Fire() override;
};

class TGraphicTextButtonADV : public TGraphicButtonADV {
 public:
  // Alignment 1 centred, 2 left, 4 right.
  TGraphicTextButtonADV(const char* caption, MemHandle font, uintptr_t data, uint16_t hotKey, uint8_t alignment,
                        uint16_t id, uint16_t kind, uint32_t stateFlags, uint32_t controlFlags);
  void Draw(int flag) override;
  int OnIdle() override;
  // 5-6-5 pixels; 0 keeps that colour's default.
  void SetColors(uint16_t normal, uint16_t disabled, uint16_t focus, uint16_t pressedColour);
  const char* Caption() const { return (controlFlags & CF_OWNS_TEXT) ? owned_.c_str() : caption_; }

  MemHandle font;
  uint8_t alignment;
  uint16_t disabledColour, normalColour, focusColour, pressedColour;

 private:
  void DrawCaption();
  const char* caption_ = nullptr;
  std::string owned_;
};
