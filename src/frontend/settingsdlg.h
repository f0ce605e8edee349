// The settings dialogs: the main menu's Options (sounds, display resolution, 3D acceleration), and the round's
// sound options, screen layout (cameras, grids, fast play) and the golfer's Setup (level and aids).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "frontend/clubs.h"
#include "frontend/dialog.h"

struct playerInfo_s;

// ---- the pieces they share -------------------------------------------------------------------------------------------
// A settings panel centred on the screen, titled; without a size the screen size's (522 x 333 or 730 x 466).
class SettingsPanel : public CDialogADV {
 public:
  explicit SettingsPanel(const char* title);
  SettingsPanel(const char* title, int32_t width, int32_t height);
  void DrawAll(int flag) override;
};
// A text button (normal, grey, red focus, pressed colours) and a row of choices (blue label, white value), added to
// the dialog; a row without a handler steps by itself.
CDialogTxtBtn* AddSettingsButton(CDialogADV* dialog, const char* caption, int32_t x, int32_t y, uint16_t id, int sound,
                                 ClickHandler handler);
CDialogSelectTxtBtn* AddSettingsRow(CDialogADV* dialog, int32_t x, int32_t y, std::vector<std::string> choices,
                                    uint16_t id, ClickHandler handler, const char* help);
void EnableControl(TGenericControlADV* control, bool on);
void ShowControl(TGenericControlADV* control, bool on);  // shown and enabled, or neither
// The music row's label and choices: the game's own music disc names it.
std::vector<std::string> MusicChoices(bool musicDisc);
// The four On/Off rows from the sound bits (0 On, 1 Off).
void LoadSoundRows(CDialogSelectTxtBtn* sounds, CDialogSelectTxtBtn* music, CDialogSelectTxtBtn* menuSound,
                   CDialogSelectTxtBtn* commentary);
// A modal dialog over whatever is on the screen; the pointer is hidden while it is taken down.
void HidePointerWhile(void (*step)(void*), void* data);
template <typename Dialog, typename... Args>
int RunSettingsDialog(Args&&... args) {
  auto* dialog = new Dialog(std::forward<Args>(args)...);
  const int result = dialog->RunModalLoop();
  HidePointerWhile([](void* d) { delete static_cast<Dialog*>(d); }, dialog);
  return result;
}

// ---- Options (main menu) --------------------------------------------------------------------------------------------
class TPrefsDialogADV : public SettingsPanel {
 public:
  enum Row { kSounds, kMusic, kMenuSound, kCommentary, kDisplay, kAccelerator, kRows };
  TPrefsDialogADV();
  ~TPrefsDialogADV() override;
  // The Display row's resolutions: those the running display offers when the 3D choice is the running one, else
  // all five (a restart changes the render path).
  void UpdateDisplayChoices(int accelerator);
  void SetDisplayRowEnabled(bool enabled);
  static void OnOk(TGenericControlADV* control);
  static void OnCancel(TGenericControlADV* control);
  static void On3DOptions(TGenericControlADV* control);
  static void OnDisplayChanged(TGenericControlADV* control);
  static void OnAcceleratorChanged(TGenericControlADV* control);

  CDialogSelectTxtBtn* rows[kRows] = {};
  CDialogTxtBtn* options3d = nullptr;
  int workingResolution = 0, startingResolution = 0, working3D = 0;
  int32_t renderSnapshot[6] = {};
};
// The main menu's Options button.
void ShowPreferencesDialog(TGenericControlADV* control = nullptr);
// The question Ok asks when a change needs a restart.
extern const char* const kRestartQuestion;

// ---- Sound options (round) ------------------------------------------------------------------------------------------
class CSoundDialog : public SettingsPanel {
 public:
  enum Row { kSounds, kMusic, kMenuSound, kCommentary, kRows };
  CSoundDialog();
  static void OnClick(TGenericControlADV* control);
  CDialogSelectTxtBtn* rows[kRows] = {};
};
// 0 whichever way it closes.
int ShowSoundDialog();
// Writes the four On/Off rows (0 On, 1 Off) into the sound bits and starts or stops what they name; the main
// menu's form leaves the game's own music disc to the menu-sound row.
void ApplySoundRows(int sounds, int music, int menuSound, int commentary, bool mainMenu);

// ---- Screen layout (round) -----------------------------------------------------------------------------------------
// The local golfer's view choices: overhead 0x8, fairway grid 0x10, target picture-in-picture 0x60, green grid
// 0xF00, picture-in-picture camera 0xF000, main view camera 0xF0000, dynamic camera 0x1000000. They are kept in a
// word of their own, apart from the aids' bits (tap-ins, caddie, putting lines, risk meter).
uint32_t& ViewWord(playerInfo_s& golfer);
void SetViewBits(playerInfo_s& golfer, uint32_t mask);
void ClearViewBits(playerInfo_s& golfer, uint32_t mask);
uint32_t GetTargetPip(playerInfo_s& golfer);
void SetTargetPip(playerInfo_s& golfer, uint32_t value);
uint32_t GetPipView(playerInfo_s& golfer);
void SetPipView(playerInfo_s& golfer, uint32_t value);
uint32_t GetMainViewChoice(playerInfo_s& golfer);
void SetMainViewChoice(playerInfo_s& golfer, uint32_t value);

class CScreenLayoutDialog : public SettingsPanel {
 public:
  enum Control { kCancel, kOk, kOverhead, kMainView, kPip, kTargetPip, kFairwayGrid, kGreenGrid, kDynamic, kFastPlay,
                 kControls };
  CScreenLayoutDialog();
  void LoadSettings();
  void ApplySettings();
  static void OnClick(TGenericControlADV* control);
  CDialogTxtBtn* buttons[2] = {};
  CDialogSelectTxtBtn* rows[kControls] = {};  // by code, kOverhead to kFastPlay
};
// 1 after Ok, 0 after Cancel or Esc.
int ShowScreenLayoutDialog();

// ---- Setup: the golfer's level and aids (round) ---------------------------------------------------------------------
class CPlayerSettingsDialog : public SettingsPanel {
 public:
  enum Control { kCancel, kOk, kLevel, kShaft, kTee, kTapIns, kRisk, kArc, kPowerGuide, kPuttLines, kPuttCaddie,
                 kMulligans, kHandicap, kVision, kSwing, kControls };
  explicit CPlayerSettingsDialog(playerInfo_s& golfer);
  void Load();
  void Store();
  static void OnClick(TGenericControlADV* control);
  playerInfo_s& golfer;
  CDialogTxtBtn* buttons[2] = {};
  CDialogSelectTxtBtn* rows[kControls] = {};  // by id, kLevel to kSwing
  bool linesAtOpen = false;
};
// Runs Setup for the golfer to play: 1 after Ok (the golfer's file saved), 0 after Cancel or Esc.
int ShowPlayerSettingsDialog();
