// The two small panels of the shot controls: the lie panel (the name of the ball's lie with its qualifiers and an
// icon for how the ball sits) and the distance panel (the distance to the pin or cup and the shot or target line,
// each beside an icon). Both take no input; the shot information refresh updates them together.
#pragma once

#include <cstdint>
#include <string>

#include "framework/ui/eventhandler.h"

// ---- the lie's words ------------------------------------------------------------------------------------------

// The name of a surface type (0..15): "None", "Fairway", ... "E.S.H."; types 13-15 read "Fairway".
const char* LieName(int surfaceType);
// The icon entry (1..9) of a lie detail code.
int LieIconForDetail(int lieDetail);
struct LieText {
  std::string name;
  std::string suffix;
  int icon = 1;
};
// What the lie panel shows for a surface code (type in the high four bits), the ball's lie flags (bit 0 buried,
// bit 1 flyer, bit 2 good or tight) and lie detail; a ball in the cup reads "Cup" and keeps `previousIcon`.
LieText DescribeLie(int surfaceCode, uint8_t lieFlags, uint8_t lieDetail, bool inCup, int previousIcon);

class TShotLieInfoUI : public MA_EventHandler {
 public:
  TShotLieInfoUI();
  ~TShotLieInfoUI() override;
  // Mode 0 (and 1): the lie under the golfer's ball from the terrain; mode 2: the lie kept in the ball's state;
  // any other mode reads "OB".
  void Update(int mode);
  void Draw(int redrawNow) override;
  void Erase(int redrawNow) override;

  int32_t icon = 1;
  std::string name, suffix;
  int32_t surfaceCode = 0x90;
  int32_t inCup = 0;
  int32_t anchorX = 0, anchorY = 0;
};

class TShotDistInfoUI : public MA_EventHandler {
 public:
  TShotDistInfoUI();
  ~TShotDistInfoUI() override;
  // Mode 1 reads as 0; mode 2 shows the last shot's length as the second line.
  void Update(int mode);
  void Draw(int redrawNow) override;
  void Erase(int redrawNow) override;

  // The panel's places at a screen size, anchored at (ax, ay) (see the layout table of the shot controls).
  struct Layout {
    MARect panel;
    int32_t firstIconX, firstIconY, secondIconX, secondIconY;
    int32_t firstLineRight, firstLineY, secondLineRight, secondLineY;
  };
  static Layout LayoutFor(int32_t ax, int32_t ay, int32_t width, int32_t height, int mode);

  int32_t mode = 0;
  int32_t firstIcon = 1, secondIcon = 3;
  std::string firstLine, secondLine;
  int32_t cupFlag = 0;
  int32_t anchorX = 0, anchorY = 0;
};

// The panels of the shot controls (null when not made).
extern TShotLieInfoUI* LiePanel;
extern TShotDistInfoUI* DistancePanel;
