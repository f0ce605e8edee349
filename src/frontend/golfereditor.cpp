#include "frontend/golfereditor.h"

#include <strings.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "app/gameapp.h"
#include "course/roster.h"
#include "framework/core/bigfileio.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "frontend/frontend.h"
#include "frontend/screens.h"
#include "golf/golferfile.h"
#include "platformlib/gfx/windowdesc.h"
#include "platformlib/shapes/shapes.h"

TGolferEditADV* GolferEditor = nullptr;

namespace {

// Where the record keeps each setting.
constexpr uint32_t kTapInsBit = 0x1000, kPuttCaddieBit = 0x4000, kPuttLinesBit = 0x8000, kRiskBit = 0x10000;
constexpr const char* kCaddies[4] = {"Maggie", "Fergus", "Lottie", "Declan"};
constexpr int kLevelSimulation = 3, kLevelCustom = 4;

std::string PlayersFolderPath() {
  char path[MAX_PATH];
  return PathJoin(&Folders().players, nullptr, path, sizeof path) ? path : "";
}

void NoAction(TGenericControlADV*) {}

bool Blank(const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; }

// A saved network golfer has the name (letter case aside).
bool IsNetGolferName(const std::string& name) {
  bool found = false;
  ForEachGolferFile(PlayersFolderPath(), [&](const std::string& file, const playerInfo_s& record) {
    if ((record.flags & kGolferNetGolfer) && strcasecmp(file.c_str(), name.c_str()) == 0) found = true;
  });
  return found;
}

// The first roster slot whose golfer's data is here, for a model number that is not.
uint32_t UsableModel(uint32_t model) {
  const RosterSlot* slot = model < kRosterSlots ? GolferRosterSlot(static_cast<int>(model)) : nullptr;
  if (slot && slot->present) return model;
  for (int s = 0; s < kRosterSlots; ++s)
    if (const RosterSlot* r = GolferRosterSlot(s); r && r->present) return static_cast<uint32_t>(s);
  return 0;
}

NetGolferEditorClosed gNetClosed = nullptr;

void Close(bool saved) {
  TGolferEditADV* editor = GolferEditor;
  if (!editor) return;
  const bool mainMenu = editor->fromMainMenu;
  const bool net = editor->netEditor;
  TMA_EventHandlerList* previous = editor->previous;
  CurrentScreen = nullptr;
  delete editor;
  if (net && gNetClosed) {
    CurrentScreen = previous;  // the callback replaces it
    gNetClosed(saved);
    return;
  }
  if (mainMenu || !previous) {
    ShowMainMenu();
    return;
  }
  CurrentScreen = previous;
  if (auto* menu = dynamic_cast<TMenuADV*>(previous)) menu->ReloadBackground();
  previous->EraseAll(0);
  previous->DrawAll(0);
}

}  // namespace

TGolferEditADV::TGolferEditADV(const char* name, bool fromMainMenu_, bool netEditor_)
    : TMenuADV("bgcreate.dct", "vex.fsh", 80, 80, MenuArchive()),
      newGolfer(!name),
      fromMainMenu(fromMainMenu_),
      netEditor(netEditor_) {
  LoadGolferPictures();
  GolferEditor = this;
  if (name && LoadGolferFile(PlayersFolderPath(), name, golfer) == kGolferFileOk) {
    oldName = golfer.name;
  } else if (!name) {
    // A new golfer of the player's own: taking part, user-made, a mulligan rule, the Amateur level.
    golfer.MakeDefaultGolfer(0, true);
    golfer.option1 = 1;
  }
  golfer.model = UsableModel(golfer.model);
  MemHandle nameFont = fonts[2];
  nameBox = new TTextEditBoxADV(142, 162, 175, nameFont, reinterpret_cast<uintptr_t>(this), golfer.name, 15);
  nameBox->clickHandler = NoAction;
  SetControlHelp(nameBox, "Enter the new golfer's name here");
  if (fromMainMenu) {
    nameBox->Enable(0, 0);
    nameBox->clickHandler = nullptr;
  }
  AddHandler(nameBox);
  static const std::vector<std::string> kChoices[kRows] = {
      {"Level:", "Novice", "Amateur", "Pro", "Simulation", "Custom"},
      {"Shaft:", "Flex", "Regular", "Stiff"},
      {"Tee:", "Red", "White", "Blue", "Tournament"},
      {"Tap-ins:", "Yes", "No"},
      {"Risk meter:", "On", "Off"},
      {"Power guide:", "On", "Off"},
      {"Targeting arc:", "Unadjusted", "Adjusted for lie"},
      {"Putting lines:", "On", "Off"},
      {"Putting caddie:", "On", "Off"},
      {"Mulligans:", "On", "Off", "1 per 9"},
      {"Handicap:", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18"},
      {"Zarvo vision:", "Off", "On"},
      {"Swing type:", "3 clicks", "Pro swing"}};
  static const char* const kHelp[kRows] = {
      "Play levels (sets all options except tap-ins and swing type).",
      "Flex is more forgiving but has a short range, stiff is the longest but most difficult.",
      "Tees range from the close red tees to the far tournament tees.",
      "Allow \"gimmes\" for very short putts",
      "If on, difficult shot types and difficult terrain is less forgiving.",
      "Show the power suggestion mark",
      "If unadjusted, always shows distance as if you're on the fairway with no wind.",
      "Enable the ball path break grid on the green",
      "Use the risk meter on the green to show how close your targeted shot is",
      "Allow you to re-do a shot with no penalty",
      "Handicap can range from 0 (pro) to 18 (beginner).",
      "Turns on aggressive and safe shot buttons.",
      "Choose three click power meter method, or pro swing method."};
  for (int r = 0; r < kRows; ++r) {
    const int32_t x = r < 7 ? 226 : 394, y = 308 + 18 * (r < 7 ? r : r - 7);
    auto* b = new CDialogSelectTxtBtn(x, y, kChoices[r], fonts[0], nullptr, 0, static_cast<uint16_t>(r),
                                      kHandlerShown | kHandlerEnabled, 0x30A000, 0xFFFFFF);
    b->ownerWord = reinterpret_cast<uintptr_t>(this);
    b->clickHandler = r == kLevel ? OnLevel : r == kSwing ? OnSwingType : (r == kTapIns || r == kHandicap) ? NoAction : OnCustom;
    SetControlHelp(b, kHelp[r]);
    rows[r] = b;
    AddHandler(b);
    // The net golfer's settings are its handicap and its swing; the rest follow the games it joins.
    if (netEditor && r != kHandicap && r != kSwing) {
      b->Show(0, 0);
      b->Enable(0, 0);
    }
  }
  if (netEditor) {
    rows[kHandicap]->SetPlace(226, 308);
    rows[kSwing]->SetPlace(226, 326);
  }
  clubsButton = AddGraphicButton(OnClubs, "Choose up to 14 clubs to carry in your bag", 1);
  clubsButton->SetImageInArchive(TGraphicButtonADV::kNormal, MenuArchive(), "butclubs.fsh", 516, 364,
                                 TShellAnimADV::kBackAndForth, 0, 1);
  if (TShapeMovie* m = clubsButton->MovieOf(TGraphicButtonADV::kNormal))
    clubsButton->SetImage(TGraphicButtonADV::kHighlight, m, 516, 364, TShellAnimADV::kLoop, 15, 0);
  models = new TListBoxADV(reinterpret_cast<uintptr_t>(this), 367, 175, 162, 6, fonts[0], 0x1A0);
  for (int s = 0; s < GolferRosterSize() + 4 && s < kRosterSlots; ++s)
    if (const RosterSlot* r = GolferRosterSlot(s); r && r->present) models->Add(r->name, s);
  models->entryHandler = OnListPicked;
  models->SetMenuSound(7);
  SetControlHelp(models, "Golfer animations");
  AddHandler(models);
  caddies = new TListBoxADV(reinterpret_cast<uintptr_t>(this), 367, 175, 125, 6, fonts[0], 0x1A0);
  for (const char* c : kCaddies) caddies->Add(c, 0);
  caddies->entryHandler = OnListPicked;
  SetControlHelp(caddies, "Caddie animations");
  caddies->Show(0, 0);
  caddies->Enable(0, 0);
  AddHandler(caddies);
  // The "Animation" label switches the two lists that share their place.
  TTextButtonADV* animation = AddTextButton("Animation", 396, 142, {}, OnSwitchLists, "Switch between golfers and caddies",
                                            0, 0x005DCE);
  animation->alignment = 2;
  animation->Layout();
  AddTextButton("Cancel", 311, 63, {'c', kKeyEscape}, OnCancel,
                netEditor ? "Exit to the Net Connection screen discarding changes to the net golfer"
                          : "Exit to the Golfer Select screen discarding changes to this golfer",
                2, 0x005DCE);
  saveButton = AddTextButton("Save Changes", 523, 63, {'s'}, OnSave,
                             netEditor ? "Exit to the Net Connection screen saving the net golfer"
                                       : "Exit to the Golfer Select screen saving this golfer",
                             1, 0x005DCE);
  for (int i = 0; i < models->Size(); ++i)
    if (static_cast<uint32_t>(models->At(i)->value) == golfer.model) models->Select(i, false);
  helpText =
      "Golfer Editor\n\nType the golfer's name, choose the golfer it looks like and its caddie (click \"Animation\" "
      "to switch between the two lists), its clubs and its settings. The level sets every option but tap-ins, "
      "handicap and swing type; changing one of those options makes the level Custom.\n\nSave Changes writes the "
      "golfer's file; Cancel leaves it as it was.";
  ShowGolferSettings();
  if (!fromMainMenu) {
    SetCurrentHandler(nameBox);
    nameBox->SetFocus(1);
  }
}

TGolferEditADV::~TGolferEditADV() {
  if (GolferEditor == this) GolferEditor = nullptr;
  FreeGolferPictures();
}

void TGolferEditADV::ShowGolferSettings() {
  if (golfer.option1 >= 1 && golfer.option1 <= 4) caddies->Select(golfer.option1 - 1, false);
  else caddies->Select(-1, false);
  rows[kLevel]->SetIndex(golfer.level);
  rows[kShaft]->SetIndex(golfer.levelPreset == 2 ? 0 : golfer.levelPreset == 1 ? 1 : 2);
  rows[kTapIns]->SetIndex(golfer.viewOptions & kTapInsBit ? 0 : 1);
  rows[kRisk]->SetIndex(golfer.viewOptions & kRiskBit ? 0 : 1);
  rows[kLines]->SetIndex(golfer.viewOptions & kPuttLinesBit ? 0 : 1);
  rows[kPuttCaddie]->SetIndex(golfer.viewOptions & kPuttCaddieBit ? 0 : 1);
  rows[kArc]->SetIndex(golfer.option2 == 2 ? 0 : 1);  // any other value shows "Adjusted for lie"
  rows[kVision]->SetIndex(golfer.wordJ ? 1 : 0);
  if (golfer.level == kLevelSimulation) {
    rows[kSwing]->SetIndex(0);
    rows[kSwing]->Enable(0, 0);
    rows[kPowerGuide]->Enable(1, 0);
  } else {
    rows[kSwing]->Enable(1, 0);
    rows[kSwing]->SetIndex(golfer.wordK ? 1 : 0);
    if (golfer.wordK) {
      rows[kPowerGuide]->SetIndex(0);
      rows[kPowerGuide]->Enable(0, 0);
    } else {
      rows[kPowerGuide]->Enable(1, 0);
      rows[kPowerGuide]->SetIndex(golfer.option3 == 1 ? 0 : 1);
    }
  }
  rows[kTee]->SetIndex(golfer.option4);
  static const int kLevelMulligans[4] = {0, 0, 1, 0};  // On for Novice, Amateur and Simulation
  const int rule = golfer.GetMulliganRule();
  rows[kMulligans]->SetIndex(golfer.level == kLevelCustom ? (rule == 1 ? 0 : rule == 2 ? 2 : 1)
                                                           : kLevelMulligans[std::min<int>(golfer.level, 3)]);
  rows[kHandicap]->SetIndex(static_cast<int>(std::min<uint32_t>(golfer.wordA, 18)));
}

void TGolferEditADV::StoreSettings() {
  golfer.option1 = static_cast<uint8_t>(caddies->Current() ? caddies->RowOf(caddies->Current()) + 1 : 0);
  if (ListEntry* m = models->Current()) golfer.model = static_cast<uint32_t>(m->value);
  static const uint8_t kShafts[3] = {2, 1, 0};
  golfer.levelPreset = kShafts[rows[kShaft]->GetIndex()];
  const auto bit = [&](uint32_t mask, bool on) { golfer.viewOptions = on ? golfer.viewOptions | mask : golfer.viewOptions & ~mask; };
  bit(kTapInsBit, rows[kTapIns]->GetIndex() == 0);
  bit(kRiskBit, rows[kRisk]->GetIndex() == 0);
  bit(kPuttLinesBit, rows[kLines]->GetIndex() == 0);
  bit(kPuttCaddieBit, rows[kPuttCaddie]->GetIndex() == 0);
  golfer.option2 = rows[kArc]->GetIndex() == 0 ? 2 : 1;
  golfer.wordJ = rows[kVision]->GetIndex() == 1 ? 1 : 0;
  golfer.wordK = static_cast<uint32_t>(rows[kSwing]->GetIndex());
  golfer.option3 = golfer.wordK || rows[kPowerGuide]->GetIndex() == 0 ? 1 : 0;
  golfer.option4 = static_cast<uint8_t>(rows[kTee]->GetIndex());
  static const int kRules[3] = {1, 0, 2};
  golfer.SetMulliganRule(kRules[rows[kMulligans]->GetIndex()]);
  golfer.wordA = static_cast<uint32_t>(rows[kHandicap]->GetIndex());
}

void TGolferEditADV::OnLevel(TGenericControlADV* control) {
  TGolferEditADV* e = GolferEditor;
  if (!e) return;
  // Custom is reached by changing a setting, not chosen here: the step past Simulation comes round to Novice.
  int level = static_cast<CDialogSelectTxtBtn*>(control)->GetIndex();
  if (level == kLevelCustom) level = control->pressedWithRight ? 0 : kLevelSimulation;
  e->golfer.SetLevel(level);
  for (CDialogSelectTxtBtn* r : e->rows) r->Erase(0);
  e->ShowGolferSettings();
  for (CDialogSelectTxtBtn* r : e->rows) r->Draw(0);
}

void TGolferEditADV::OnCustom(TGenericControlADV*) {
  TGolferEditADV* e = GolferEditor;
  if (!e) return;
  e->golfer.SetLevel(kLevelCustom);
  e->rows[kLevel]->SetIndex(kLevelCustom);
  e->rows[kLevel]->Draw(0);
  e->rows[kSwing]->Enable(1, 0);
  e->rows[kSwing]->Erase(0);
  e->rows[kSwing]->Draw(0);
}

void TGolferEditADV::OnSwingType(TGenericControlADV* control) {
  TGolferEditADV* e = GolferEditor;
  if (!e) return;
  CDialogSelectTxtBtn* guide = e->rows[kPowerGuide];
  if (static_cast<CDialogSelectTxtBtn*>(control)->GetIndex() == 1) {
    guide->SetIndex(0);
    guide->Enable(0, 0);
  } else {
    guide->Enable(1, 0);
    if (e->golfer.level != 0) guide->SetIndex(1);
  }
  guide->Erase(0);
  guide->Draw(0);
}

void TGolferEditADV::OnClubs(TGenericControlADV*) {
  TGolferEditADV* e = GolferEditor;
  if (!e) return;
  ShowClubsDialog(e->golfer);
  e->EraseAll(0);
  e->DrawAll(0);
}

void TGolferEditADV::OnSwitchLists(TGenericControlADV*) {
  TGolferEditADV* e = GolferEditor;
  if (!e) return;
  const bool golfers = e->models->flags & kHandlerShown;
  e->models->Show(golfers ? 0 : 1, 0);
  e->models->Enable(golfers ? 0 : 1, 0);
  e->caddies->Show(golfers ? 1 : 0, 0);
  e->caddies->Enable(golfers ? 1 : 0, 0);
  e->EraseAll(0);
  e->DrawAll(0);
}

void TGolferEditADV::OnListPicked(TListBoxADV*, ListEntry*) {
  if (GolferEditor) GolferEditor->DrawAll(0);
}

void TGolferEditADV::OnCancel(TGenericControlADV*) { Close(false); }

void TGolferEditADV::OnSave(TGenericControlADV*) {
  TGolferEditADV* e = GolferEditor;
  if (!e) return;
  const std::string name = e->nameBox->Text();
  const auto refuse = [&](const char* notice) {
    ShowConfirmDialog(notice, nullptr, nullptr);
    e->EraseAll(0);
    e->DrawAll(0);
  };
  if (Blank(name)) return refuse("You must give the player a name.");
  TGolfersScreenADV* golfers = e->netEditor ? nullptr : GolfersScreen;
  if (e->netEditor) {
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower.find("operator") != std::string::npos || lower.find("o p e r a t o r") != std::string::npos)
      return refuse("The net golfer name cannot contain the word \"operator\".");
    bool amateur = false;
    ForEachGolferFile(PlayersFolderPath(), [&](const std::string&, const playerInfo_s& record) {
      if (!(record.flags & kGolferNetGolfer) && strcasecmp(record.name, name.c_str()) == 0) amateur = true;
    });
    if (amateur) return refuse("An amateur already exists with that name.");
  } else if (strcasecmp(name.c_str(), e->oldName.c_str()) != 0) {
    playerInfo_s existing;
    const bool userList = golfers && [&] {
      for (int i = 0; i < golfers->users->Size(); ++i)
        if (strcasecmp(golfers->users->At(i)->text.c_str(), name.c_str()) == 0) return true;
      return false;
    }();
    if (userList || LoadGolferFile(PlayersFolderPath(), name.c_str(), existing) == kGolferFileOk)
      return refuse("An amateur already exists with that name.");
    if (FindRosterProfessional(name.c_str()) >= 0) return refuse("A pro already exists with that name.");
    if (IsNetGolferName(name)) return refuse("Name already in use by the net golfer.");
  }
  if (GolferFilePath(PlayersFolderPath(), name.c_str()).empty()) return refuse("That name cannot be used for a golfer.");
  std::snprintf(e->golfer.name, sizeof e->golfer.name, "%s", name.c_str());
  e->golfer.flags |= kGolferTakesPart;
  if (e->netEditor) e->golfer.flags |= kGolferNetGolfer;
  e->StoreSettings();
  // The new file first; only once it is written does the old name's file go.
  if (SaveGolferFile(PlayersFolderPath(), e->golfer) != kGolferFileOk)
    return refuse("The golfer could not be saved.");
  const bool renamed = !e->newGolfer && !e->oldName.empty() && e->oldName != name;
  if (renamed && strcasecmp(e->oldName.c_str(), name.c_str()) != 0) {
    PathRecord players = Folders().players;
    FileDelete(&players, (e->oldName + ".amt").c_str());
  }
  if (e->netEditor) std::snprintf(NetGolferName, sizeof NetGolferName, "%s", name.c_str());
  if (golfers && !e->fromMainMenu) {
    if (e->newGolfer) {
      if (golfers->AddUserGolfer(name.c_str())) {
        golfers->selected->Select(-1, false);
        golfers->pros->Select(-1, false);
        golfers->users->Select(golfers->users->RowOf(golfers->users->Find(name)), false);
      }
    } else if (renamed) {
      // The renamed golfer keeps its places: in the group it stays, and stays taken from the user list.
      ListEntry* user = golfers->users->Find(e->oldName);
      ListEntry* chosen = golfers->selected->Find(e->oldName);
      if (user) {
        user->text = name;
        if (chosen) user->enabled = false;
      }
      if (chosen) chosen->text = name;
    }
    for (TListBoxADV* l : {golfers->users, golfers->selected})
      if (ListEntry* entry = l->Find(name)) entry->value = static_cast<int32_t>(e->golfer.model);
  }
  Close(true);
}

void TGolferEditADV::DrawAll(int flag) {
  EraseAll(0);
  TMenuADV::DrawAll(flag);
  // The preview: the chosen golfer's picture while the golfer list is shown, else the caddie's.
  const bool golfers = models->flags & kHandlerShown;
  char caddie[16];
  const char* picture = nullptr;
  MemHandle golferPicture = 0;
  if (golfers) {
    if (ListEntry* m = models->Current()) golferPicture = GolferPicture(m->value);
  } else if (ListEntry* c = caddies->Current()) {
    std::snprintf(caddie, sizeof caddie, "caddie%02d.fsh", caddies->RowOf(c));
    picture = caddie;
  }
  if (golferPicture || picture) {
    // The golfers' pictures stay loaded while the editor is up; a caddie's is read for its draw.
    const MemHandle h = golferPicture ? golferPicture : LoadMenuFile(picture);
    if (DrawShapeFileScaled(h, 555, 167, 69, 114)) AddDirtyRect(MARect{555, 167, 624, 281});
    if (h && !golferPicture) MemFreeHandle(h);
  }
  if (newGolfer) DrawLabel(titleFonts[2], titleFonts[2], "Create Golfer", 140, 108, 0x005DCE, 0x2E3759, nullptr, false, true);
  else DrawLabel(titleFonts[2], titleFonts[2], "Edit Golfer", 130, 101, 0x005DCE, 0x2E3759, nullptr, false, true);
  DrawLabel(fonts[2], fonts[2], "Setup", 142, 280, 0x005DCE, 0x2E3759, nullptr, false, true);
  AddDirtyRect(MARect{0, 0, Facts().screenWidth, Facts().screenHeight});
}

void SetNetGolferEditorClosed(NetGolferEditorClosed closed) { gNetClosed = closed; }

void ShowNetGolferEditor(const char* name) {
  TMA_EventHandlerList* previous = CurrentScreen;
  const std::string kept = name ? name : "";
  CurrentScreen = nullptr;  // the net screen stays alive under the editor
  auto* editor = new TGolferEditADV(name ? kept.c_str() : nullptr, false, true);
  editor->previous = previous;
  CurrentScreen = editor;
  editor->DrawAll(0);
}

void ShowGolferEditor(const char* name, int fromMainMenu) {
  TMA_EventHandlerList* previous = CurrentScreen;
  std::string kept = name ? name : "";
  if (fromMainMenu) {
    // From the main menu: the menu goes, and comes back when the editor closes.
    ReplaceCurrentScreen(nullptr);
    previous = nullptr;
  }
  CurrentScreen = nullptr;  // the previous screen stays alive under the editor
  auto* editor = new TGolferEditADV(name ? kept.c_str() : nullptr, fromMainMenu != 0);
  editor->previous = previous;
  CurrentScreen = editor;
  editor->DrawAll(0);
}
