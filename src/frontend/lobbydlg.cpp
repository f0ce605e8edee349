#include "frontend/lobbydlg.h"

#include <vector>

#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "frontend/menu.h"
#include "frontend/netgames.h"

namespace {

constexpr uint32_t kTitle = 0x9D00C0;

std::vector<std::string> ModeChoices() {
  std::vector<std::string> rows{"Mode: "};
  for (int i = 0; i < kNetGameTypes; ++i) rows.emplace_back(GetNetGameType(i).text);
  return rows;
}

const std::vector<std::string>& RowChoices(int row) {
  static const std::vector<std::string> kMode = ModeChoices();
  static const std::vector<std::string> kLevel{"Level: ", "Novice", "Amateur", "Pro"};
  static const std::vector<std::string> kClock{"Shot Clock:", "Off",     "10 sec.", "15 sec.", "20 sec.",
                                               "25 sec.",     "30 sec.", "35 sec.", "40 sec.", "45 sec.",
                                               "50 sec.",     "55 sec.", "60 sec."};
  static const std::vector<std::string> kFast{"Fast Play:", "Off", "On"};
  switch (row) {
    case CNewGameDialog::kMode: return kMode;
    case CNewGameDialog::kLevel: return kLevel;
    case CNewGameDialog::kShotClock: return kClock;
    default: return kFast;
  }
}

void OnRow(TGenericControlADV* control) {
  auto* d = control ? control->Owner<CNewGameDialog>() : nullptr;
  if (!d) return;
  switch (control->id) {
    case CNewGameDialog::kCancel: d->EndModal(0); break;
    case CNewGameDialog::kOk:
      if (d->name->Text().empty()) {
        ShowMessageDialog(d->online ? "Please enter a name for the Game/Tournament." : "Please enter a name for the Game.",
                          1, 1, "No name specified", 0, nullptr);
        d->DrawAll(0);
        return;
      }
      d->EndModal(1);
      break;
    case CNewGameDialog::kMode:
      d->FollowMode();
      d->DrawAll(0);
      break;
    default: break;
  }
}

}  // namespace

CNewGameDialog::CNewGameDialog(bool online_, int gameType, int level)
    : CDialogADV((Facts().screenWidth - (Facts().screenWidth / 2 - 60)) / 2,
                 (Facts().screenHeight - (Facts().screenHeight / 2 - 50)) / 2, Facts().screenWidth / 2 - 60,
                 Facts().screenHeight / 2 - 50, 0, "Hal13i.ffn"),
      online(online_) {
  SetTitle(online ? "New Game/Tournament..." : "New Game...");
  SaveUnder();
  const int32_t sw = Facts().screenWidth;
  const struct {
    const char* caption;
    int32_t bx;
  } kButtons[2] = {{"Cancel", width - width / 3}, {"Ok", 109}};
  for (int i = kCancel; i <= kOk; ++i) {
    auto* b = new CDialogTxtBtn(x + kButtons[i].bx, y + height - 40, kButtons[i].caption, font,
                                reinterpret_cast<uintptr_t>(this), 0, 1, static_cast<uint16_t>(i), kKindButton,
                                kHandlerShown | kHandlerEnabled, 0, nullptr);
    b->dialog = this;
    b->SetColors(kTitle, 0x505050, 0xFFFF50, 0xFFFFFF);
    b->SetMenuSound(i == kCancel ? 2 : 1);
    b->clickHandler = OnRow;
    buttons[i] = b;
    AddHandler(b);
  }
  const int32_t cx = x + 60 + (sw / 2 - 180) / 2;
  for (int row = kMode; row <= kFastPlay; ++row) {
    auto* s = new CDialogSelectTxtBtn(cx, y + 60 + 25 * (row - kMode), RowChoices(row), font, this, 0,
                                      static_cast<uint16_t>(row), kHandlerShown | kHandlerEnabled, 0xFFFFFF, kTitle);
    s->clickHandler = OnRow;
    choices[row] = s;
    AddHandler(s);
  }
  name = new TTextEditBoxADV(x + 80, y + 160, sw / 2 - 160, font, reinterpret_cast<uintptr_t>(this), "", 31);
  name->dialog = this;
  name->id = kOk;
  // Enter in the name acts as Ok, the empty-name notice included.
  name->clickHandler = OnRow;
  AddHandler(name);
  choices[kMode]->SetIndex(gameType >= 0 && gameType < kNetGameTypes ? gameType : 1);
  choices[kLevel]->SetIndex(level >= 0 && level < 3 ? level : 0);
  choices[kShotClock]->SetIndex(0);
  choices[kFastPlay]->SetIndex(1);
  FollowMode();
  if (current) current->SetFocus(0);
  SetCurrentHandler(name);
  name->SetFocus(1);
}

void CNewGameDialog::FollowMode() {
  CDialogSelectTxtBtn* fast = choices[kFastPlay];
  if (choices[kMode]->GetIndex() == 0) {
    fast->SetIndex(1);
    fast->Enable(0, 0);
  } else {
    fast->Enable(1, 0);
  }
}

void CNewGameDialog::DrawAll(int flag) {
  CDialogADV::DrawAll(flag);
  DrawLabel(font, font, "Name:", x + 20, y + 160, 0xFFFFFF, 0, nullptr, false, true);
  AddDirtyRect(MARect{x, y, x + width, y + height});
}

int ShowNewGameDialog(bool online, NewGameChoice* choice) {
  CNewGameDialog dialog(online, choice->gameType, choice->level);
  const int result = dialog.RunModalLoop();
  if (result == 1) {
    choice->name = dialog.name->Text().substr(0, 31);
    choice->gameType = dialog.choices[CNewGameDialog::kMode]->GetIndex();
    choice->level = dialog.choices[CNewGameDialog::kLevel]->GetIndex();
    choice->shotClock = dialog.choices[CNewGameDialog::kShotClock]->GetIndex();
    choice->fastPlay = dialog.choices[CNewGameDialog::kFastPlay]->GetIndex() == 1 ? 1 : 0;
  }
  return result;
}
