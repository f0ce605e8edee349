// The credits screen: the people who made the game scroll up over a background until a key or a button.
#include <cstring>

#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "app/gameapp.h"
#include "framework/ui/inputstate.h"
#include "framework/ui/mousepointer.h"
#include "framework/core/services.h"
#include "mmsystem.h"
#include "platformlib/gfx/pixels.h"

namespace {

constexpr uint16_t kHeading = 0xFFEA, kName = 0xFFFF;
constexpr MARect kCreditsArea{0, 55, 800, 565};
constexpr int32_t kColumns[3] = {210, 420, 630};
constexpr int32_t kBlankSpacing = 12;
constexpr uint32_t kPixelsPerSecond = 40;
constexpr uint32_t kHeadingColour = 0xFFF0D060, kNameColour = 0xFFFFFFFF;

// Headings, each followed by its names; a null text between groups is a blank line.
const char* const kGroups[][8] = {
    {"Lead Software Engineers", "A. Marlow", "T. Quenby", nullptr},
    {"Software Engineers", "R. Ashdown", "L. Pettigrew", "S. Okafor", "J. Varga", nullptr},
    {"Art Manager", "H. Lindqvist", nullptr},
    {"Interface Design", "P. Delacroix", "N. Brennan", nullptr},
    {"Lead Course Designer", "G. Fairweather", nullptr},
    {"Course Design", "E. Morrow", "K. Tanaka", "D. Holloway", nullptr},
    {"Animation", "M. Castellan", "B. Ruiz", nullptr},
    {"Sound", "C. Ambrose", nullptr},
    {"Testing", "F. Oduya", "V. Stein", "W. Carrick", nullptr},
    {"Production", "I. Abernethy", nullptr},
};

bool gBuilt = false;

}  // namespace

CreditsEntry CreditsTable[kCreditsCount];

void BuildCreditsTable() {
  int n = 0;
  for (CreditsEntry& entry : CreditsTable) entry = {nullptr, kName};
  for (const auto& group : kGroups) {
    for (int i = 0; i < 8 && group[i] && n < kCreditsCount; ++i) CreditsTable[n++] = {group[i], i ? kName : kHeading};
    if (n < kCreditsCount) CreditsTable[n++] = {nullptr, kName};
  }
  gBuilt = true;
}

int RunCreditsScreen() {
  if (!gBuilt) BuildCreditsTable();
  MouseHide();
  Svc().frontEnd->LoadDctBackground(&Folders().menus, "bgcredit.dct");
  const bool display = DisplayMgr().open != 0;
  const MARect& screen = Display().screen;
  if (display) BlitImage(DrawnImage(), screen, RoleImage(kRoleErase), screen);

  MemHandle font = 0;
  char fonts[MAX_PATH];
  if (!PathJoin(&Folders().fonts, nullptr, fonts, sizeof fonts) || FontLoad(&font, fonts, "vavodu14.ffn", 0) != 0)
    font = 0;
  const int32_t lineHeight = font ? (FontSelect(font, DrawnImage(), kAlignCentre, rgbpixel(kNameColour), 0, 0, 0), FontHeight() + 4)
                                  : 18;
  int32_t total = 0;
  for (const CreditsEntry& entry : CreditsTable) total += entry.text ? lineHeight : kBlankSpacing;
  const int32_t areaHeight = kCreditsArea.bottom - kCreditsArea.top;

  int frames = 0;
  uint32_t offset = 0;
  const uint32_t start = timeGetTime();
  for (;;) {
    if (display) {
      BlitImage(DrawnImage(), kCreditsArea, RoleImage(kRoleErase), kCreditsArea);
      int32_t y = kCreditsArea.bottom - static_cast<int32_t>(offset);
      for (const CreditsEntry& entry : CreditsTable) {
        const int32_t step = entry.text ? lineHeight : kBlankSpacing;
        if (entry.text && font && y >= kCreditsArea.top && y + lineHeight <= kCreditsArea.bottom) {
          FontSelect(font, DrawnImage(), kAlignCentre, rgbpixel(entry.style == kHeading ? kHeadingColour : kNameColour), 0, 0,
                     entry.style == kHeading ? 1 : 0);
          FontDrawText(kColumns[1] - 20, y, entry.text);
        }
        y += step;
      }
      AddDirtyRect(kCreditsArea);
      UpdateScreen();
    }
    ++frames;
    if (PollMouseButtons() || PollKeyMessages()) break;
    if (static_cast<int32_t>(offset) >= total + areaHeight) break;
    Sleep(15);
    offset = (timeGetTime() - start) * kPixelsPerSecond / 1000;
  }
  if (font) FontFree(&font);
  MouseShow();
  return frames;
}
