// The round's camera dialogs, each over a live preview of the hole through a copy of the main golf view: the
// camera position (the camera moved sideways and back behind the ball, kept by Ok as the golfer's camera values)
// and the change view (Rotate View turns the main camera; the Putting Analyzer orbits and zooms round the putt
// without touching it).
#pragma once

#include "frontend/dialog.h"
#include "frontend/graphicbutton.h"
#include "scene/golfview.h"

// An arrow of the camera dialogs: a picture button whose images repaint the dialog's panel under them.
class CCameraArrowBtn : public TGraphicButtonADV {
 public:
  CCameraArrowBtn(CDialogADV* dialog, uint16_t hotKey, uint16_t id, const char* shape, int32_t x, int32_t y, float scale,
                  uint32_t controlFlags);
  int OnChar(uint16_t code) override;  // a hot key it takes also gives it the focus
  CDialogADV* dialog;
};

// The dialogs' common part: the centred panel, the preview rectangle and the working view.
class CCameraDialogBase : public CDialogADV {
 public:
  CCameraDialogBase(const char* title, const char* archive);
  void DrawAll(int flag) override;
  // The working view drawn into the preview rectangle and outlined; the putting grid when asked.
  void DrawPreview();
  TGolfView view;
  MARect preview{};
  float scale = 1.0f;  // the buttons' places and pictures: dialog width / 522
  bool puttingGrid = false;

 protected:
  CDialogTxtBtn* AddTextButton(const char* caption, uint16_t hotKey, uint16_t id, int32_t x, int32_t y, int32_t lift,
                               ClickHandler handler);
  CCameraArrowBtn* AddArrow(const char* shape, uint16_t hotKey, uint16_t id, int32_t x, int32_t y, int32_t lift,
                            uint32_t controlFlags, ClickHandler handler);
  const char* archive_;
};

class CCameraPositionDlg : public CCameraDialogBase {
 public:
  enum Button { kCancel, kOk, kRandom, kLeft, kForward, kBack, kRight, kReset, kButtons };
  static constexpr float kSideMin = -2.5f, kSideMax = 2.0f, kBackMin = -7.0f, kBackMax = 1.5f;
  CCameraPositionDlg();
  void MoveSide(float delta);
  void MoveBack(float delta);
  void UpdateButtons();
  static void OnButton(TGenericControlADV* control);
  TGenericControlADV* buttons[kButtons] = {};
};

class CChangeViewDialog : public CCameraDialogBase {
 public:
  enum Mode { kRotateView = 0, kPuttingAnalyzer = 1 };
  static constexpr int32_t kRotationStep = 546;
  static constexpr float kZoomNearest = 1.0f, kZoomFarthest = 30.0f;
  explicit CChangeViewDialog(int mode);
  void Rotate(int32_t step);
  void Zoom(float step);
  void Reset();
  float OrbitDistance() const;
  static void OnButton(TGenericControlADV* control);
  int mode;
  int32_t openingHeading = 0, chosenHeading = 0;
  Vector3 savedEye{}, orbit{};
};

// Run modally: 1 after the camera position's Ok (the main view and the golfer's camera values changed), 0 after
// Cancel. The change view: 1 only after Rotate View's Ok (the main view turned to the chosen heading).
int ShowCameraPositionDialog();
int ShowChangeViewDialog(int mode);
