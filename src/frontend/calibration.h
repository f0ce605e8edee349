// The swing calibration panel: the mouse swing explained in eight steps beside a looping picture of the swing,
// and the swing's mouse sensitivity (10 to 110) set on a scale or by two arrows. It is a group the round's power
// meter holds and shows on request; OK (Enter) keeps the sensitivity as preference 8, Cancel (Esc) restores it.
#pragma once

#include <cstdint>

#include "framework/core/preferencevalues.h"
#include "framework/ui/handlergroup.h"
#include "frontend/textbutton.h"

// The sensitivity the mouse swing reads.
extern int32_t MouseSwingSensitivity;

// The panel's place and measures at a screen size (0..4) and screen.
struct CalibrationLayout {
  int32_t left, top, right, bottom;
  int32_t picture, tickSpacing, lift, arrowHeight, arrowInset;
};
CalibrationLayout CalibrationLayoutFor(int sizeIndex, int32_t screenWidth, int32_t screenHeight);

class TAnalogGraphicBtn;

class CAnalogCalibrationDialog : public TEventHandlerGroup {
 public:
  CAnalogCalibrationDialog();
  ~CAnalogCalibrationDialog() override;
  int OnChar(uint16_t code) override;  // Esc cancels and Enter accepts while shown
  int OnIdle() override;
  void Draw(int flag) override;
  void Erase(int flag) override;

  void Show();
  void Accept();
  void Cancel();
  void Step(int delta);  // an arrow's click
  void DrawPicture();
  bool Shown() const { return shown_; }
  int Frame() const { return frame_; }

  CalibrationLayout layout{};
  MARect scale{};

 private:
  void Close();
  void ReleaseShapes();
  const uint8_t* Image(int shape, int index) const;
  TTextButtonADV *ok_ = nullptr, *cancel_ = nullptr;
  TAnalogGraphicBtn *right_ = nullptr, *left_ = nullptr;
  MemHandle arrows_ = 0, swing_ = 0;
  const uint8_t *arrowsFile_ = nullptr, *swingFile_ = nullptr;
  MemHandle font_ = 0;
  int frame_ = 1;
  uint32_t lastTick_ = 0, gathered_ = 0;
  bool shown_ = false;
};
extern CAnalogCalibrationDialog* CalibrationPanel;

// Shows the panel (made on first use); the power meter asks for it.
void ShowCalibrationPanel();
