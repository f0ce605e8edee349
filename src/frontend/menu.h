// Menu screens: the full-screen base with its background picture, looping animation and fonts; the ".dct"
// background pictures.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "framework/ui/eventhandler.h"
#include "framework/core/paths.h"
#include "frontend/control.h"
#include "frontend/graphicbutton.h"
#include "frontend/listbox.h"
#include "frontend/shellanim.h"

// ---- ".dct" pictures ----------------------------------------------------------------------------------------------
struct DctPicture {
  int32_t width = 0, height = 0;  // as stored
  int32_t stride = 0;             // pairs per row of the decoded frame (the width rounded up to whole macroblocks)
  std::vector<uint32_t> pairs;    // the decoded frame, two pixels per entry
};
constexpr size_t kDctHeaderBytes = 24;
constexpr int32_t kDctMaxSide = 4096;
// False for anything but a picture whose sizes and coded data hold together.
bool DecodeDctPicture(const uint8_t* data, size_t bytes, DctPicture& out);
// Draws a background into the background buffer and the drawn buffer: ".dct" decoded, any other extension as a
// shape; a name without '.' is refused.
void LoadDctBackground(PathRecord* archive, const char* name);

// ---- menu screens ---------------------------------------------------------------------------------------------------
class TMenuADV : public TMA_EventHandlerList {
 public:
  TMenuADV(const char* background, const char* animation, int32_t animX, int32_t animY, PathRecord* archive);
  ~TMenuADV() override;
  int OnIdle() override;
  void DrawAll(int flag) override;
  void EraseAll(int flag) override;
  void SetControlHelp(TGenericControlADV* control, const char* text);
  // Draws the screen's background again into the buffers (after another screen replaced it).
  void ReloadBackground();
  // A text button in the screen's button font with its hot keys, colours (the focus colour given), click handler,
  // help text and menu sound (-1: its own), added to the screen.
  class TTextButtonADV* AddTextButton(const char* caption, int32_t x, int32_t y, std::initializer_list<uint16_t> keys,
                                      ClickHandler handler, const char* help, int sound, uint32_t focus);
  // A graphic button whose shape file holds its normal, highlight and pressed frames (the pressed frame also shows
  // it disabled), added to the screen.
  TGraphicButtonADV* AddPictureButton(const char* shape, int32_t x, int32_t y, ClickHandler handler, const char* help,
                                      int sound);
  // A graphic button without images yet, its click handler, help text and menu sound set, added to the screen.
  TGraphicButtonADV* AddGraphicButton(ClickHandler handler, const char* help, int sound);
  // A list box with its row handler, added to the screen.
  TListBoxADV* AddListBox(int32_t x, int32_t y, int32_t width, int32_t rows, MemHandle font, uint32_t style,
                          TListBoxADV::EntryHandler handler);
  // The add and remove buttons beside a group's list, in the looks of the golfers screen's set-up button; the remove
  // button sits 4 right of and 40 below the add button.
  void AddGroupButtons(ClickHandler add, ClickHandler remove, int32_t x, int32_t y, TGraphicButtonADV** addButton,
                       TGraphicButtonADV** removeButton);
  // Keeps a button enabled exactly while `condition` holds, redrawing it only when that changes.
  static void EnableWhile(TGenericControlADV* button, bool condition);

  TShellAnimADV* animation = nullptr;
  // What F1 shows in the help text dialog; null shows nothing.
  const char* helpText = nullptr;
  const char* backgroundName = nullptr;
  PathRecord* backgroundArchive = nullptr;
  MemHandle fonts[5] = {};       // hal10b, hal12b, hal13i, hal18i, hal24i
  MemHandle titleFonts[3] = {};  // trek13, trek18, trek24
};

// A text label with its shadow on the drawn buffer; the caller marks it dirty.
void DrawLabel(MemHandle font, MemHandle shadowFont, const char* text, int32_t x, int32_t y, uint32_t colour,
               uint32_t shadowColour, MARect* out, bool centre, bool withShadow);
// The front end's archive: "menus.viv" in the menus folder, and a whole file of it (0 when missing).
PathRecord* MenuArchive();
MemHandle LoadMenuFile(const char* name);
// Draws the first shape of a loaded shape file scaled into the rectangle on the drawn buffer; false when the file
// is not a sound shape file.
bool DrawShapeFileScaled(MemHandle file, int32_t x, int32_t y, int32_t width, int32_t height);
// The roster's golfer pictures, loaded from the menus once while a screen showing them is up (each screen that
// loads them frees them once), and the one of a slot (0 when not loaded or missing).
void LoadGolferPictures();
void FreeGolferPictures();
MemHandle GolferPicture(int slot);
