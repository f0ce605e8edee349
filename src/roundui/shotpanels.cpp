#include "roundui/shotpanels.h"

#include <algorithm>

#include "course/terrain.h"
#include "framework/core/services.h"
#include "golf/ballstate.h"
#include "golf/player.h"
#include "roundui/gameui.h"
#include "roundui/holetext.h"
#include "roundui/inroundbutton.h"
#include "roundui/targeting.h"
#include "roundui/uishapes.h"
#include "roundui/uitext.h"

TShotLieInfoUI* LiePanel = nullptr;
TShotDistInfoUI* DistancePanel = nullptr;

namespace {

constexpr const char* kLieNames[16] = {"None",  "Fairway", "Sand",    "Rough",    "Heavy Rough", "Water",
                                       "Tee",   "Green",   "Bunker",  "OB",       "Cartpath",    "Fringe",
                                       "E.S.H.", "Fairway", "Fairway", "Fairway"};

// Screen size of the layout tables by the screen-size index.
void ScreenDims(int32_t* w, int32_t* h) {
  static const int32_t kW[5] = {640, 800, 800, 1280, 1280}, kH[5] = {480, 600, 600, 1024, 1024};
  const int i = std::clamp(Facts().sizeSetting, 0, 4);
  *w = kW[i], *h = kH[i];
}

int32_t At(int32_t anchor, double fraction, int32_t size) { return static_cast<int32_t>(anchor - fraction * size); }

MemHandle PanelFont() { return StandardFonts[0]; }

bool IsWholeScreen(const MA_EventHandler& h) {
  return h.left == 0 && h.top == 0 && h.right == Facts().screenWidth && h.bottom == Facts().screenHeight;
}

void Grow(MARect* r) {
  const FontTextState& s = FontState();
  if (s.extentEmpty) return;
  r->left = std::min(r->left, s.extent.left);
  r->top = std::min(r->top, s.extent.top);
  r->right = std::max(r->right, s.extent.right);
  r->bottom = std::max(r->bottom, s.extent.bottom + 1);
}

}  // namespace

const char* LieName(int surfaceType) { return kLieNames[surfaceType & 15]; }

int LieIconForDetail(int detail) {
  switch (detail) {
    case 2: case 3: case 4: case 5: return detail;
    case 6: return 8;
    case 7: return 9;
    case 8: return 6;
    case 9: return 7;
    default: return 1;
  }
}

LieText DescribeLie(int surfaceCode, uint8_t lieFlags, uint8_t lieDetail, bool inCup, int previousIcon) {
  LieText t;
  t.icon = previousIcon;
  if (inCup) {
    t.name = "Cup";
    return t;
  }
  const int type = (surfaceCode >> 4) & 15;
  t.name = LieName(type);
  if (lieFlags & 1) t.suffix += " (Buried)";
  if (lieFlags & 4) {
    if (type == 3 || type == 4) t.suffix += " (Good)";
    if (type == 2 || type == 8) t.suffix += " (Tight)";
  }
  if (lieFlags & 2) t.suffix += " (Flyer)";
  t.icon = LieIconForDetail(lieDetail);
  return t;
}

// ---- lie panel ------------------------------------------------------------------------------------------------

TShotLieInfoUI::TShotLieInfoUI() : MA_EventHandler(0, 0, 0, 0, 0) {}

TShotLieInfoUI::~TShotLieInfoUI() {
  if (LiePanel == this) LiePanel = nullptr;
}

void TShotLieInfoUI::Update(int m) {
  if (m == 1) m = 0;
  surfaceCode = 0x90;
  inCup = 0;
  TPlayer* p = GolferToPlay();
  uint8_t flagsByte = 0, detail = 0;
  if (p && (m == 0 || m == 2)) {
    flagsByte = p->ball.lieFlags;
    detail = p->ball.lieDetail;
    if (m == 0) {
      surfaceCode = GetTerrainSurface(p->ball.position.x, p->ball.position.y) & 0xFF;
    } else {
      surfaceCode = (p->ball.lie * 16) & 0xFF;
      inCup = p->ball.Flag(kBallFlagHoled);
    }
  } else if (m == 0 || m == 2) {
    surfaceCode = 0x90;
  }
  // A mode that reads no ball shows "OB" as it stands.
  const LieText t = (m == 0 || m == 2) ? DescribeLie(surfaceCode, flagsByte, detail, inCup != 0, icon)
                                       : DescribeLie(0x90, 0, 0, false, icon);
  name = t.name;
  suffix = t.suffix;
  icon = t.icon;
}

void TShotLieInfoUI::Draw(int redrawNow) {
  if (!(flags & kHandlerShown)) return;
  const uint8_t* back = GameUIFrame(kShapeLieInfo, 0);
  MARect r = FrameRectAt(back, anchorX, anchorY);
  DrawUIFrame(back, anchorX, anchorY);
  DrawUIFrame(GameUIFrame(kShapeLieInfo, icon), anchorX, anchorY);
  if (!name.empty() && PanelFont()) {
    SelectRoundFont(PanelFont(), DrawnImage(), kAlignCentre, 0xFFFFFF, 1);
    FontRecordExtent(1);
    const int32_t middle = (r.left + r.right) / 2, h = FontHeight();
    if (!suffix.empty()) {
      FontDrawText(middle, r.bottom - 2 - 2 * h, name.c_str());
      Grow(&r);
      FontDrawText(middle, r.bottom - 2 - h, suffix.c_str());
    } else {
      FontDrawText(middle, r.bottom - 2 - h, name.c_str());
    }
    Grow(&r);
    FontRecordExtent(0);
  }
  left = r.left, top = r.top, right = r.right, bottom = r.bottom;
  AddDirtyRect(r);
  if (redrawNow) UpdateScreen();
}

void TShotLieInfoUI::Erase(int redrawNow) {
  if (!(flags & kHandlerShown) || IsWholeScreen(*this)) return;
  const MARect r{left, top, right, bottom};
  RestoreScreenRect(&r);
  if (redrawNow) UpdateScreen();
}

// ---- distance panel ----------------------------------------------------------------------------------------------

TShotDistInfoUI::TShotDistInfoUI() : MA_EventHandler(0, 0, 0, 0, 0) {}

TShotDistInfoUI::~TShotDistInfoUI() {
  if (DistancePanel == this) DistancePanel = nullptr;
}

TShotDistInfoUI::Layout TShotDistInfoUI::LayoutFor(int32_t ax, int32_t ay, int32_t w, int32_t h, int m) {
  Layout l{};
  l.panel = MARect{At(ax, 0.09, w), At(ay, 0.3, h), At(ax, 0.02, w), At(ay, 0.26, h)};
  l.firstIconX = At(ax, 0.035, w), l.firstIconY = At(ay, 0.3, h);
  l.secondIconX = m == 2 ? At(ax, 0.042, w) : At(ax, 0.04, w);
  l.secondIconY = m == 2 ? At(ay, 0.264, h) : At(ay, 0.27, h);
  l.firstLineRight = At(ax, 0.035, w) - 5, l.firstLineY = At(ay, 0.3, h);
  l.secondLineRight = (m == 2 ? At(ax, 0.035, w) : At(ax, 0.04, w)) - 5;
  l.secondLineY = At(ay, 0.27, h);
  return l;
}

void TShotDistInfoUI::Update(int m) {
  mode = m == 1 ? 0 : m;
  cupFlag = 0;
  firstIcon = 1;
  firstLine = FormatDistanceText(kDistanceToHole, nullptr);
  if (mode == 2) {
    secondLine = FormatDistanceText(kDistanceLastShot, nullptr);
    secondIcon = 2;
    return;
  }
  // The target line has a value while the arc shows where the shot lands.
  const TargetingArcEventHandler* arc = CurrentTargetingHandler;
  const bool value = arc && arc->arcReady;
  secondLine = value ? FormatDistanceText(kDistanceTarget, &arc->landing) : std::string();
  secondIcon = value ? 3 : 4;
}

void TShotDistInfoUI::Draw(int redrawNow) {
  if (!(flags & kHandlerShown)) return;
  int32_t w = 0, h = 0;
  ScreenDims(&w, &h);
  const Layout l = LayoutFor(anchorX, anchorY, w, h, mode);
  MARect r = l.panel;
  const MemHandle font = PanelFont();
  const auto line = [&](const std::string& text, int32_t rightEnd, int32_t y) {
    if (!font || text.empty()) return;
    SelectRoundFont(font, DrawnImage(), kAlignLeft, 0xFFFFFF, 1);
    FontRecordExtent(1);
    FontDrawText(rightEnd - FontStringWidth(text.c_str(), 0), y, text.c_str());
    Grow(&r);
    FontRecordExtent(0);
  };
  TPlayer* p = GolferToPlay();
  const bool holed = p && p->ball.Flag(kBallFlagHoled);
  if (!holed) {
    DrawUIFrame(GameUIFrame(kShapeDistInfo, firstIcon), l.firstIconX, l.firstIconY);
    line(firstLine, l.firstLineRight, l.firstLineY);
  }
  if (!secondLine.empty()) {
    DrawUIFrame(GameUIFrame(kShapeDistInfo, secondIcon), l.secondIconX, l.secondIconY);
    line(secondLine, l.secondLineRight, l.secondLineY);
  }
  left = r.left, top = r.top, right = r.right, bottom = r.bottom;
  AddDirtyRect(r);
  if (redrawNow) UpdateScreen();
}

void TShotDistInfoUI::Erase(int redrawNow) {
  if (!(flags & kHandlerShown) || IsWholeScreen(*this)) return;
  const MARect r{left, top, right, bottom};
  RestoreScreenRect(&r);
  if (redrawNow) UpdateScreen();
}
