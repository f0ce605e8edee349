#include "frontend/settingsdlg.h"

#include <cstdio>
#include <string>
#include <vector>

#include "app/gameapp.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "frontend/frontend.h"
#include "frontend/options3d.h"
#include "golf/game.h"
#include "golf/golferfile.h"
#include "scene/render3d.h"

namespace {

// The round's dialogs take the screen size's panel: 522 x 333, or 730 x 466 on the two largest screens.
int32_t LayoutWidth() { return DialogSizeIndex() <= 2 ? 522 : 730; }
int32_t LayoutHeight() { return DialogSizeIndex() <= 2 ? 333 : 466; }
const char* DialogFontName() { return DialogSizeIndex() <= 2 ? "Hal10b.ffn" : "Hal12b.ffn"; }
MemHandle DialogPanel() { return LoadDialogFile("gamedlog.viv", "bkdialog.fsh"); }
void NoStep(TGenericControlADV*) {}

bool HardwareRunning() { return gRenderStart.hardwareActive != 0 || Display().hardwareActive != 0; }

}  // namespace

CDialogTxtBtn* AddSettingsButton(CDialogADV* d, const char* caption, int32_t x, int32_t y, uint16_t id, int sound,
                                 ClickHandler handler) {
  auto* b = new CDialogTxtBtn(x, y, caption, d->font, reinterpret_cast<uintptr_t>(d), 0, 1, id, kKindButton,
                              kHandlerShown | kHandlerEnabled, 0, nullptr);
  b->dialog = d;
  b->SetColors(0xE0E0E0, 0xAAAAAA, 0xFF1010, 0xF0F0F0);
  b->SetMenuSound(sound);
  b->clickHandler = handler;
  d->AddHandler(b);
  return b;
}

CDialogSelectTxtBtn* AddSettingsRow(CDialogADV* d, int32_t x, int32_t y, std::vector<std::string> choices, uint16_t id,
                                    ClickHandler handler, const char* help) {
  auto* s = new CDialogSelectTxtBtn(x, y, std::move(choices), d->font, d, 0, id, kHandlerShown | kHandlerEnabled,
                                    0x0F6178, 0xFFFFFF);
  s->clickHandler = handler ? handler : NoStep;
  if (help) s->text = help;
  d->AddHandler(s);
  return s;
}

void EnableControl(TGenericControlADV* c, bool on) {
  if (c) c->Enable(on ? 1 : 0, 0);
}

void ShowControl(TGenericControlADV* c, bool on) {
  if (!c) return;
  c->Show(on ? 1 : 0, 0);
  c->Enable(on ? 1 : 0, 0);
}

SettingsPanel::SettingsPanel(const char* titleText, int32_t w, int32_t h)
    : CDialogADV((Facts().screenWidth - w) / 2, (Facts().screenHeight - h) / 2, w, h, DialogPanel(), DialogFontName()) {
  SetTitle(titleText);
  SaveUnder();
}

SettingsPanel::SettingsPanel(const char* titleText) : SettingsPanel(titleText, LayoutWidth(), LayoutHeight()) {}

std::vector<std::string> MusicChoices(bool musicDisc) { return {musicDisc ? "ZarvoTunes:" : "Music:", "On", "Off"}; }

void SettingsPanel::DrawAll(int flag) {
  CDialogADV::DrawAll(flag);
  AddDirtyRect(MARect{x, y, x + width, y + height});
}

// ---- Options ------------------------------------------------------------------------------------------------------

namespace {

TPrefsDialogADV* gPrefs = nullptr;
const std::vector<std::string> kDisplayChoices = {"Display:", "640x480", "800x600", "1024x768", "1280x1024",
                                                  "1600x1200"};
constexpr int32_t kPrefsWidth = 438, kPrefsHeight = 280;
constexpr int kPrefs3DEnable = 0, kPrefsResolution = 7;

}  // namespace

const char* const kRestartQuestion =
    "You must restart the game for the new settings to take effect. Do you want to restart now?";

TPrefsDialogADV::TPrefsDialogADV() : SettingsPanel("Options", kPrefsWidth, kPrefsHeight) {
  gPrefs = this;
  AddSettingsButton(this, "Ok", x + 394, y + 243, 1, 1, OnOk)->text = "Keep these settings";
  AddSettingsButton(this, "Cancel", x + 335, y + 243, 0, 2, OnCancel)->text = "Return without saving changes";
  options3d = AddSettingsButton(this, "3D Options", x + 105, y + 243, 2, 1, On3DOptions);
  options3d->text = "Adjust the 3D settings";
  const int32_t rowX = x + width / 2 + 20;
  const bool disc = Svc().sound->CheckMusicDisc(1) != 0;
  rows[kSounds] = AddSettingsRow(this, rowX, y + 70, {"Sounds:", "On", "Off"}, kSounds, nullptr, "Toggle all sounds on or off.");
  rows[kMusic] = AddSettingsRow(this, rowX, y + 95, MusicChoices(disc), kMusic, nullptr,
                        disc ? "Toggle ZarvoTunes music -- or insert an audio CD for your own music." : "Toggle Music.");
  rows[kMenuSound] = AddSettingsRow(this, rowX, y + 120, {"Menu sound:", "On", "Off"}, kMenuSound, nullptr, "Toggle menu sounds.");
  rows[kCommentary] =
      AddSettingsRow(this, rowX, y + 145, {"Commentary:", "On", "Off"}, kCommentary, nullptr, "Toggle in-game commentary.");
  rows[kDisplay] = AddSettingsRow(this, rowX, y + 170, kDisplayChoices, kDisplay, OnDisplayChanged, "Select display resolution.");
  rows[kAccelerator] = AddSettingsRow(this, rowX, y + 195, {"3D Accelerator:", "Off", "On"}, kAccelerator, OnAcceleratorChanged,
                              "Toggle 3d acceleration.");
  LoadSoundRows(rows[kSounds], rows[kMusic], rows[kMenuSound], rows[kCommentary]);
  startingResolution = workingResolution = Display().resolution;
  const bool running = HardwareRunning();
  int32_t value = 0;
  if (Svc().preferences->Get(kPrefs3DEnable, &value) != 0) value = running ? 1 : 0;
  value = value ? 1 : 0;
  if (!gRenderStart.glideCardFound && !gRenderStart.direct3DAvailable) {
    value = 0;
    EnableControl(rows[kAccelerator], false);
  }
  rows[kAccelerator]->SetChoices(running ? std::vector<std::string>{"3D Accelerator:", "Off after restart", "On"}
                                         : std::vector<std::string>{"3D Accelerator:", "Off", "On after restart"});
  working3D = value;
  ShowControl(options3d, value == 1);
  rows[kAccelerator]->SetIndex(value);
  UpdateDisplayChoices(working3D);
  if (GetVideoModeAvailable(0) > 1) {
    workingResolution = 0;
    rows[kDisplay]->SetIndex(0);
    SetDisplayRowEnabled(false);
  } else {
    rows[kDisplay]->SetIndex(workingResolution);
    EnableControl(rows[kDisplay], true);
  }
  for (int id = 1; id <= 6; ++id) renderSnapshot[id - 1] = GraphicsPref(id);
}

TPrefsDialogADV::~TPrefsDialogADV() {
  if (gPrefs == this) gPrefs = nullptr;
}

void TPrefsDialogADV::UpdateDisplayChoices(int accelerator) {
  std::vector<std::string> choices = kDisplayChoices;
  if (accelerator == (HardwareRunning() ? 1 : 0)) {
    // The running display offers the modes up to its first missing one.
    size_t n = 1;
    while (n < choices.size() && GetVideoModeAvailable(static_cast<int>(n) - 1) != 0) ++n;
    choices.resize(std::max<size_t>(n, 2));
    rows[kDisplay]->SetChoices(choices);
    if (GetVideoModeAvailable(0) > 1) {
      rows[kDisplay]->SetIndex(0);
      workingResolution = 0;
      SetDisplayRowEnabled(false);
    } else {
      rows[kDisplay]->SetIndex(workingResolution);
      SetDisplayRowEnabled(true);
    }
  } else {
    rows[kDisplay]->SetChoices(choices);
    rows[kDisplay]->SetIndex(workingResolution);
    EnableControl(rows[kDisplay], true);
  }
  // A resolution beyond the offered ones falls to the last offered.
  if (workingResolution >= rows[kDisplay]->Count()) workingResolution = rows[kDisplay]->Count() - 1;
  rows[kDisplay]->SetIndex(workingResolution);
}

void TPrefsDialogADV::SetDisplayRowEnabled(bool enabled) {
  CDialogSelectTxtBtn* row = rows[kDisplay];
  row->clickHandler = enabled ? OnDisplayChanged : NoStep;
  EnableControl(row, enabled);
  row->SetIndex(workingResolution);
  row->Draw(0);
}

void TPrefsDialogADV::OnDisplayChanged(TGenericControlADV* control) {
  auto* d = control ? control->Owner<TPrefsDialogADV>() : nullptr;
  if (d) d->workingResolution = d->rows[kDisplay]->GetIndex();
}

void TPrefsDialogADV::OnAcceleratorChanged(TGenericControlADV* control) {
  auto* d = control ? control->Owner<TPrefsDialogADV>() : nullptr;
  if (!d) return;
  d->working3D = d->rows[kAccelerator]->GetIndex();
  // Turning 3D on starts at 640 x 480, which every card offers.
  if (d->working3D) {
    d->workingResolution = 0;
    d->rows[kDisplay]->SetIndex(0);
  }
  d->UpdateDisplayChoices(d->working3D);
  ShowControl(d->options3d, d->working3D == 1);
  d->rows[kDisplay]->SetIndex(d->workingResolution);
  d->DrawAll(0);
}

void TPrefsDialogADV::On3DOptions(TGenericControlADV* control) {
  auto* d = control ? control->Owner<TPrefsDialogADV>() : nullptr;
  Show3dOptionsDialog();
  if (d) d->DrawAll(0);
}

void TPrefsDialogADV::OnCancel(TGenericControlADV* control) {
  if (auto* d = control ? control->Owner<TPrefsDialogADV>() : nullptr) d->EndModal(0);
}

void TPrefsDialogADV::OnOk(TGenericControlADV* control) {
  auto* d = control ? control->Owner<TPrefsDialogADV>() : nullptr;
  if (!d) return;
  Display().resolution = static_cast<int8_t>(d->workingResolution);
  Svc().preferences->Set(kPrefs3DEnable, d->working3D);
  Svc().preferences->Set(kPrefsResolution, Display().resolution);
  ApplySoundRows(d->rows[kSounds]->GetIndex(), d->rows[kMusic]->GetIndex(), d->rows[kMenuSound]->GetIndex(),
                 d->rows[kCommentary]->GetIndex(), true);
  d->EndModal(control->id);
  const int newResolution = Display().resolution;
  bool restart = d->working3D != (HardwareRunning() ? 1 : 0);
  restart = restart || (newResolution > d->startingResolution && newResolution > 1);
  for (int id : {kPrefDriverEnumeration, kPrefObjectTextureDepth, kPrefObjectDetail, kPrefTerrainDetail})
    restart = restart || d->renderSnapshot[id - 1] != GraphicsPref(id);
  if (!restart) return;
  const int answer = ShowMessageDialog(kRestartQuestion, 4, 0, nullptr, 0, nullptr);
  // This run keeps the resolution it started with when it went up; the stored preference keeps the new one.
  if (newResolution > d->startingResolution) Display().resolution = static_cast<int8_t>(d->startingResolution);
  if (answer == 1) RelaunchGame();
}

void ShowPreferencesDialog(TGenericControlADV*) {
  RunSettingsDialog<TPrefsDialogADV>();
  RedrawMainMenu();
}

// ---- Screen layout ------------------------------------------------------------------------------------------------

uint32_t& ViewWord(playerInfo_s& golfer) { return golfer.viewChoices; }
void SetViewBits(playerInfo_s& golfer, uint32_t mask) { ViewWord(golfer) |= mask; }
void ClearViewBits(playerInfo_s& golfer, uint32_t mask) { ViewWord(golfer) &= ~mask; }
uint32_t GetTargetPip(playerInfo_s& golfer) { return ViewWord(golfer) & 0x60; }
void SetTargetPip(playerInfo_s& golfer, uint32_t value) { ViewWord(golfer) = (ViewWord(golfer) & ~0x60u) | (value & 0x60); }
uint32_t GetPipView(playerInfo_s& golfer) { return ViewWord(golfer) & 0xF000; }
void SetPipView(playerInfo_s& golfer, uint32_t value) {
  ViewWord(golfer) = (ViewWord(golfer) & ~0xF000u) | (value & 0xF000);
}
uint32_t GetMainViewChoice(playerInfo_s& golfer) { return ViewWord(golfer) & 0xF0000; }
void SetMainViewChoice(playerInfo_s& golfer, uint32_t value) {
  ViewWord(golfer) = (ViewWord(golfer) & ~0xF0000u) | (value & 0xF0000);
}

namespace {

constexpr uint32_t kOverheadBit = kViewOverheadBit, kFairwayGridBit = 0x10, kGreenGridMask = 0xF00, kDynamicBit = 0x1000000;
constexpr uint32_t kPuttingLinesAllowed = 0x8000;  // a golfer's flag word
constexpr uint32_t kMainViews[8] = {0, 0x10000, 0x20000, 0x30000, 0x70000, 0x40000, 0x50000, 0x60000};
constexpr uint32_t kPipViews[6] = {0, 0x3000, 0x4000, 0x1000, 0x2000, 0x9000};
constexpr uint32_t kGreenGrids[5] = {0, 0x100, 0x200, 0x400, 0x800};

template <size_t N>
int IndexOf(const uint32_t (&table)[N], uint32_t value) {
  for (size_t i = 1; i < N; ++i)
    if (table[i] == value) return static_cast<int>(i);
  return 0;
}

TPlayer* LocalGolfer() {
  TGame* g = CurrentGame();
  return g ? g->GetLocalPlayer() : nullptr;
}

// The golfer whose turn it is.
TPlayer* ActiveGolfer() {
  TGame* g = CurrentGame();
  return g && g->players ? g->players->GetPlayer(g->state.currentPlayer) : nullptr;
}

bool MayUsePuttingLines() {
  const TPlayer* p = ActiveGolfer();
  return p && (p->flags & kPuttingLinesAllowed);
}

}  // namespace

CScreenLayoutDialog::CScreenLayoutDialog() : SettingsPanel("Display settings") {
  const double scale = width / 522.0;
  buttons[kCancel] = AddSettingsButton(this, "Cancel", x + static_cast<int32_t>(400 * scale),
                               y + static_cast<int32_t>(290 * scale), kCancel, 2, OnClick);
  buttons[kOk] =
      AddSettingsButton(this, "Ok", x + static_cast<int32_t>(470 * scale), y + static_cast<int32_t>(290 * scale), kOk, 1, OnClick);
  static const std::vector<std::string> kTables[kControls] = {
      {},
      {},
      {"Overhead:", "Off", "On"},
      {"Main view:", "Fixed", "Snap to lie", "Snap to pin", "Ball-cam", "Rev. Ball-cam", "Gallery-cam", "Tower-cam", "Auto"},
      {"PIP:", "Off", "Auto", "Tower-cam", "Gallery-cam", "Ball-cam", "Rev. Ball-cam"},
      {"Target PIP:", "Off", "Forward", "Reverse"},
      {"Fairway grid:", "Off", "Square"},
      {"Green grid:", "Off", "Square", "Circular", "Putting lines", "Gradient"},
      {"Dynamic Camera:", "Off", "On"},
      {"Fast Play: ", "Off", "On"}};
  for (int k = kOverhead; k <= kFastPlay; ++k)
    rows[k] = AddSettingsRow(this, x + width / 2, static_cast<int32_t>(y + (27 * k + 1) * scale), kTables[k],
                     static_cast<uint16_t>(k), OnClick, nullptr);
  if (TGame* g = CurrentGame()) {
    if (g->IsNetworkGame()) EnableControl(rows[kFastPlay], false);
    if (g->mode == kModeDrivingRange) ShowControl(rows[kFastPlay], false);
  }
  LoadSettings();
}

void CScreenLayoutDialog::LoadSettings() {
  TGame* g = CurrentGame();
  TPlayer* p = LocalGolfer();
  if (!g || !p) return;
  const uint32_t view = ViewWord(*p);
  rows[kOverhead]->SetIndex(view & kOverheadBit ? 1 : 0);
  rows[kMainView]->SetIndex(IndexOf(kMainViews, GetMainViewChoice(*p)));
  rows[kPip]->SetIndex(IndexOf(kPipViews, GetPipView(*p)));
  rows[kDynamic]->SetIndex(view & kDynamicBit ? 1 : 0);
  if (!HardwareRunning()) EnableControl(rows[kDynamic], false);
  const uint32_t target = GetTargetPip(*p);
  rows[kTargetPip]->SetIndex(target == 0x20 ? 1 : target == 0x40 ? 2 : 0);
  rows[kFairwayGrid]->SetIndex(view & kFairwayGridBit ? 1 : 0);
  int green = IndexOf(kGreenGrids, view & kGreenGridMask);
  if (green == 3 && !MayUsePuttingLines()) green = 0;
  rows[kGreenGrid]->SetIndex(green);
  rows[kFastPlay]->SetIndex(g->IsFastPlay() ? 1 : 0);
}

void CScreenLayoutDialog::ApplySettings() {
  TGame* g = CurrentGame();
  TPlayer* p = LocalGolfer();
  if (!g || !p) return;
  if (rows[kOverhead]->GetIndex()) SetViewBits(*p, kOverheadBit);
  else ClearViewBits(*p, kOverheadBit);
  SetMainViewChoice(*p, kMainViews[rows[kMainView]->GetIndex() & 7]);
  const int pip = rows[kPip]->GetIndex();
  SetPipView(*p, kPipViews[pip >= 0 && pip < 6 ? pip : 0]);
  if (HardwareRunning()) {
    if (rows[kDynamic]->GetIndex()) SetViewBits(*p, kDynamicBit);
    else ClearViewBits(*p, kDynamicBit);
  }
  g->SetFastPlay(rows[kFastPlay]->GetIndex() != 0);
  const int target = rows[kTargetPip]->GetIndex();
  SetTargetPip(*p, target == 1 ? 0x20 : target == 2 ? 0x40 : 0);
  if (rows[kFairwayGrid]->GetIndex() == 1) SetViewBits(*p, kFairwayGridBit);
  else ClearViewBits(*p, kFairwayGridBit);
  const int green = rows[kGreenGrid]->GetIndex();
  ViewWord(*p) = (ViewWord(*p) & ~kGreenGridMask) | kGreenGrids[green >= 0 && green < 5 ? green : 0];
}

void CScreenLayoutDialog::OnClick(TGenericControlADV* control) {
  auto* d = control ? control->Owner<CScreenLayoutDialog>() : nullptr;
  if (!d) return;
  const bool hardware = HardwareRunning();
  switch (control->id) {
    case kCancel: d->EndModal(0); break;
    case kOk:
      d->ApplySettings();
      d->EndModal(1);
      break;
    case kMainView: {
      CDialogSelectTxtBtn* row = d->rows[kMainView];
      if (row->GetIndex() < 3) break;
      // The camera views need 3D hardware; without it the step passes over them.
      if (hardware) d->rows[kPip]->SetIndex(0);
      else row->SetIndex(row->SteppedBack() ? 2 : 0);
      d->DrawAll(0);
      break;
    }
    case kPip:
      if (hardware && d->rows[kMainView]->GetIndex() > 2) {
        d->rows[kPip]->SetIndex(0);
        d->DrawAll(0);
      }
      break;
    case kGreenGrid: {
      CDialogSelectTxtBtn* row = d->rows[kGreenGrid];
      if (row->GetIndex() != 3 || MayUsePuttingLines()) break;
      row->SetIndex(row->SteppedBack() ? 2 : 4);
      d->DrawAll(0);
      if (TPlayer* p = LocalGolfer()) ClearViewBits(*p, kGreenGridMask);
      break;
    }
    default: break;
  }
}

int ShowScreenLayoutDialog() { return RunSettingsDialog<CScreenLayoutDialog>(); }

// ---- Setup ----------------------------------------------------------------------------------------------------------

namespace {

// Shaft rows: Regular, Flex, Stiff; the record's numbers 1, 2, 0.
constexpr uint8_t kShaftNumbers[3] = {1, 2, 0};
int ShaftRow(uint8_t number) { return number == 1 ? 0 : number == 2 ? 1 : 2; }

constexpr uint32_t kTapInsBit = 0x1000, kCaddieBit = 0x4000, kLinesBit = 0x8000, kRiskBit = 0x10000;
constexpr uint32_t kGreenGridLines = 0x400;

// Per level (Novice to Simulation): rows in the order they are preset, and their values.
struct Preset {
  int row, value;
};
constexpr Preset kPresets[4][7] = {
    {{CPlayerSettingsDialog::kShaft, 1}, {CPlayerSettingsDialog::kTee, 0}, {CPlayerSettingsDialog::kMulligans, 1},
     {CPlayerSettingsDialog::kPowerGuide, 1}, {CPlayerSettingsDialog::kPuttCaddie, 1},
     {CPlayerSettingsDialog::kPuttLines, 1}, {CPlayerSettingsDialog::kArc, 0}},
    {{CPlayerSettingsDialog::kShaft, 0}, {CPlayerSettingsDialog::kTee, 1}, {CPlayerSettingsDialog::kMulligans, 1},
     {CPlayerSettingsDialog::kPowerGuide, 0}, {CPlayerSettingsDialog::kPuttCaddie, 1},
     {CPlayerSettingsDialog::kPuttLines, 1}, {CPlayerSettingsDialog::kArc, 0}},
    {{CPlayerSettingsDialog::kShaft, 2}, {CPlayerSettingsDialog::kTee, 3}, {CPlayerSettingsDialog::kMulligans, 0},
     {CPlayerSettingsDialog::kPowerGuide, 0}, {CPlayerSettingsDialog::kPuttCaddie, 0},
     {CPlayerSettingsDialog::kPuttLines, 0}, {CPlayerSettingsDialog::kArc, 1}},
    {{CPlayerSettingsDialog::kShaft, 2}, {CPlayerSettingsDialog::kTee, 3}, {CPlayerSettingsDialog::kMulligans, 0},
     {CPlayerSettingsDialog::kPowerGuide, 0}, {CPlayerSettingsDialog::kPuttCaddie, 0},
     {CPlayerSettingsDialog::kPuttLines, 1}, {CPlayerSettingsDialog::kArc, 0}},
};
constexpr int kCustom = 4, kSimulation = 3, kPro = 2, kNovice = 0;
constexpr int kProSwing = 1;

// Every mode lets golfers take tap-ins and mulligans; the rows still say which modes use them.
bool GameAllowsTapIns(const TGame&) { return true; }
bool GameAllowsMulligans(const TGame&) { return true; }

std::vector<std::string> HandicapChoices() {
  std::vector<std::string> choices{"Handicap:"};
  for (int h = 0; h <= 18; ++h) choices.push_back(std::to_string(h));
  return choices;
}

}  // namespace

CPlayerSettingsDialog::CPlayerSettingsDialog(playerInfo_s& record) : SettingsPanel("Setup"), golfer(record) {
  const double s = width / 522.0;
  buttons[kCancel] =
      AddSettingsButton(this, "Cancel", x + static_cast<int32_t>(400 * s), y + static_cast<int32_t>(290 * s), kCancel, 2, OnClick);
  buttons[kOk] = AddSettingsButton(this, "Ok", x + static_cast<int32_t>(470 * s), y + static_cast<int32_t>(290 * s), kOk, 1, OnClick);
  static const std::vector<std::string> kTables[kControls] = {
      {},
      {},
      {"Level:", "Novice", "Amateur", "Pro", "Simulation", "Custom"},
      {"Shaft:", "Regular", "Flex", "Stiff"},
      {"Tee:", "Red", "White", "Blue", "Tournament"},
      {"Tap-ins:", "Off", "On"},
      {"Risk meter:", "Off", "On"},
      {"Targeting Arc:", "Adjusted for lie", "Unadjusted"},
      {"Power Guide:", "Off", "On"},
      {"Putting lines:", "Off", "On"},
      {"Putting caddie:", "Off", "On"},
      {"Mulligans:", "Off", "On", "1 per 9"},
      HandicapChoices(),
      {"Zarvo vision:", "Off", "On"},
      {"Swing type:", "3 clicks", "Pro swing"}};
  for (int id = kLevel; id <= kSwing; ++id) {
    int32_t ax, ay;
    if (id == kLevel) ax = width * 43 / 80, ay = 28;
    else if (id <= kPowerGuide) ax = width / 3, ay = 27 * id - 26;
    else ax = width * 3 / 4, ay = 27 * id - 188;
    rows[id] = AddSettingsRow(this, x + ax, y + static_cast<int32_t>(s * ay), kTables[id], static_cast<uint16_t>(id), OnClick,
                      nullptr);
  }
  TGame* g = CurrentGame();
  const bool networked = g && g->IsNetworkGame();
  const int mode = g ? static_cast<int>(g->mode) : 0;
  for (int id = kLevel; id < kSwing; ++id) EnableControl(rows[id], !networked && mode != kModeTournament);
  if (!networked) {
    EnableControl(rows[kTee], mode == kModeStroke || mode == kModePractice || mode == kModeNone);
    if (mode == kModeDrivingRange) EnableControl(rows[kVision], false);
  }
  EnableControl(rows[kRisk], !networked);
  EnableControl(rows[kHandicap], false);
  EnableControl(rows[kTapIns], !networked && g && GameAllowsTapIns(*g));
  EnableControl(rows[kMulligans], !networked && g && GameAllowsMulligans(*g) &&
                                   (mode == kModeStroke || mode == kModePractice));
  Load();
}

void CPlayerSettingsDialog::Load() {
  TGame* g = CurrentGame();
  rows[kLevel]->SetIndex(golfer.level <= kCustom ? golfer.level : kCustom);
  rows[kShaft]->SetIndex(ShaftRow(golfer.levelPreset));
  rows[kTee]->SetIndex(golfer.option4 <= 3 ? golfer.option4 : 0);
  rows[kTapIns]->SetIndex((golfer.viewOptions & kTapInsBit) && g && GameAllowsTapIns(*g) ? 1 : 0);
  const int rule = golfer.GetMulliganRule();
  rows[kMulligans]->SetIndex(rule != 0 && g && GameAllowsMulligans(*g) && rule <= 2 ? rule : 0);
  rows[kHandicap]->SetIndex(GolferHandicap(golfer));
  rows[kVision]->SetIndex(golfer.wordJ ? 1 : 0);
  if (golfer.level == kSimulation) {
    rows[kSwing]->SetIndex(0);
    EnableControl(rows[kSwing], false);
    EnableControl(rows[kPowerGuide], true);
  } else {
    rows[kSwing]->SetIndex(golfer.wordK == kProSwing ? 1 : 0);
    if (golfer.wordK == kProSwing) {
      rows[kPowerGuide]->SetIndex(1);
      EnableControl(rows[kPowerGuide], false);
    }
  }
  if (golfer.wordK == 0) rows[kPowerGuide]->SetIndex(golfer.option3 ? 1 : 0);
  rows[kArc]->SetIndex(golfer.option2 == 1 ? 0 : 1);
  rows[kPuttCaddie]->SetIndex(golfer.viewOptions & kCaddieBit ? 1 : 0);
  rows[kRisk]->SetIndex(golfer.viewOptions & kRiskBit ? 1 : 0);
  linesAtOpen = (golfer.viewOptions & kLinesBit) != 0;
  rows[kPuttLines]->SetIndex(linesAtOpen ? 1 : 0);
}

void CPlayerSettingsDialog::Store() {
  TGame* g = CurrentGame();
  golfer.levelPreset = kShaftNumbers[rows[kShaft]->GetIndex() % 3];
  golfer.option4 = static_cast<uint8_t>(rows[kTee]->GetIndex());
  golfer.wordA = (golfer.wordA & kGolferNoHandicap) | static_cast<uint32_t>(rows[kHandicap]->GetIndex());
  golfer.wordJ = static_cast<uint32_t>(rows[kVision]->GetIndex());
  golfer.wordK = static_cast<uint32_t>(rows[kSwing]->GetIndex());
  const auto bit = [&](uint32_t mask, bool on) { golfer.viewOptions = on ? golfer.viewOptions | mask : golfer.viewOptions & ~mask; };
  bit(kTapInsBit, rows[kTapIns]->GetIndex() == 1);
  golfer.option2 = rows[kArc]->GetIndex() == 0 ? 1 : 2;
  golfer.option3 = static_cast<uint8_t>(rows[kPowerGuide]->GetIndex());
  bit(kCaddieBit, rows[kPuttCaddie]->GetIndex() == 1);
  bit(kRiskBit, rows[kRisk]->GetIndex() == 1);
  golfer.SetLevel(rows[kLevel]->GetIndex());
  if (rows[kMulligans]->flags & kHandlerEnabled) golfer.SetMulliganRule(rows[kMulligans]->GetIndex());
  // Putting lines go with the green grid that shows them.
  if (rows[kPuttLines]->GetIndex() == 0) {
    bit(kLinesBit, false);
    if ((ViewWord(golfer) & kGreenGridMask) == kGreenGridLines) ViewWord(golfer) &= ~kGreenGridMask;
  } else {
    bit(kLinesBit, true);
    if (!linesAtOpen) ViewWord(golfer) = (ViewWord(golfer) & ~kGreenGridMask) | kGreenGridLines;
  }
  if (!(golfer.flags & kGolferNoFile) && g && !g->golferFolder.empty()) SaveGolferFile(g->golferFolder, golfer);
}

void CPlayerSettingsDialog::OnClick(TGenericControlADV* control) {
  auto* d = control ? control->Owner<CPlayerSettingsDialog>() : nullptr;
  if (!d) return;
  CDialogSelectTxtBtn** rows = d->rows;
  const auto makeCustom = [&] {
    if (rows[kLevel]->GetIndex() == kCustom) return;
    rows[kLevel]->SetIndex(kCustom);
    EnableControl(rows[kSwing], true);
    d->DrawAll(0);
  };
  const int mode = CurrentGame() ? static_cast<int>(CurrentGame()->mode) : 0;
  switch (control->id) {
    case kOk:
      d->Store();
      d->EndModal(1);
      break;
    case kCancel: d->EndModal(0); break;
    case kSwing:
      if (rows[kSwing]->GetIndex() == kProSwing) {
        rows[kPowerGuide]->SetIndex(1);
        EnableControl(rows[kPowerGuide], false);
      } else {
        if (rows[kLevel]->GetIndex() != kNovice) rows[kPowerGuide]->SetIndex(0);
        EnableControl(rows[kPowerGuide], true);
      }
      rows[kPowerGuide]->Draw(0);
      break;
    case kLevel: {
      // Custom is reached only by changing an aid.
      int level = rows[kLevel]->GetIndex();
      if (level == kCustom) level = rows[kLevel]->SteppedBack() ? kSimulation : kNovice;
      rows[kLevel]->SetIndex(level);
      if (level == kSimulation) rows[kSwing]->SetIndex(0);
      const bool proSwing = rows[kSwing]->GetIndex() == kProSwing;
      for (const Preset& p : kPresets[level])
        if (!(p.row == kPowerGuide && proSwing)) rows[p.row]->SetIndex(p.value);
      if (level == kPro) rows[kVision]->SetIndex(0);
      if (level == kSimulation) {
        EnableControl(rows[kSwing], false);
        EnableControl(rows[kPowerGuide], true);
      } else {
        EnableControl(rows[kSwing], true);
      }
      d->DrawAll(0);
      break;
    }
    case kMulligans:
      if (mode == kModeStroke || mode == kModePractice) break;
      makeCustom();
      break;
    case kShaft:
    case kTee:
    case kArc:
    case kPowerGuide:
    case kPuttLines:
    case kPuttCaddie:
    case kHandicap:
    case kVision: makeCustom(); break;
    default: break;
  }
}

int ShowPlayerSettingsDialog() {
  TGame* g = CurrentGame();
  TPlayer* p = g && g->players ? g->players->GetPlayer(g->state.currentPlayer) : nullptr;
  if (!p) return 0;
  const int result = RunSettingsDialog<CPlayerSettingsDialog>(*p);
  if (result != 1) return result;
  // The round plays the hole's tee set for everyone, so a changed tee moves no ball; the interface shows the aids.
  Svc().round->UpdateInterface();
  return result;
}
