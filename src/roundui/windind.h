// The wind indicator above the shot controls: an arrow (one of 16 pictures, one a 22.5-degree sector) that shows
// where the hole's wind blows relative to the view, and the speed in miles per hour under it. Its periodic update
// samples the round's wind into the simulation's wind speed, which the ball's flight and the prediction read.
#pragma once

#include <cstdint>
#include <string>

#include "framework/ui/eventhandler.h"
#include "framework/core/shapemovie.h"

class WindIndicatorEventHandler : public MA_EventHandler {
 public:
  WindIndicatorEventHandler();
  ~WindIndicatorEventHandler() override;
  // Places the indicator at the shot controls' anchor and loads the 16 arrows; 0.
  int Setup(int32_t anchorX, int32_t anchorY);
  int OnIdle() override;  // the periodic update; always 1
  void Draw(int redrawNow) override;
  void Erase(int redrawNow) override;
  int HasFocus() override { return 0; }
  int IsShownAndEnabled() override { return 0; }
  // Draws the arrow and the speed line with the wind setting; 0.
  int Paint(int windSetting);

  MARect dirty{};
  int32_t lastSector = 0;
  int32_t arrowX = 0, arrowY = 0;
  int32_t sector = 0;
  int32_t interval = 0;
  uint32_t nextRedraw = 0;
  std::string speedLine;
  const uint8_t* arrows[16] = {};
  int32_t arrowWidth = 0, arrowHeight = 0;

 private:
  TShapeMovie movie_;
};

// The one indicator (null when absent).
extern WindIndicatorEventHandler* WindIndicator;
// Creates and sets up the indicator: 2 when it cannot be allocated (no indicator), else 0.
int CreateWindIndicator(int32_t anchorX, int32_t anchorY);
void RedrawWindIndicator();
// The arrow taken again from the view a shot is now seen from (nothing when there is no indicator).
void WindIndicatorFollowView();
// Shows or hides the indicator; nothing when there is none.
void SetWindIndicatorVisible(int on);
// The sector (0..15) of the hole's wind relative to the view's heading, with a random part below one sector.
int GetWindDirectionSector();
int WindSectorFor(uint16_t windDirection, int32_t viewHeading, uint32_t random);
// The speed line of a wind: "14  mph " (the number, a blank, " mph", a blank).
std::string WindSpeedLine(int speed);
// The round's wind setting (0 none, 1 moderate, 2 strong) and the redraw interval for it.
int RoundWindSetting();
int32_t WindRedrawInterval(int windSetting, uint32_t random);
