#include "frontend/lobbydlg.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/core/commqueue.h"
#include "framework/core/services.h"
#include "framework/core/tourcard.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "frontend/menu.h"
#include "frontend/netgames.h"
#include "golf/golferfile.h"
#include "net/commlayer.h"
#include "net/sessmgr.h"
#include "platformlib/core/byteorder.h"

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

// ---- the tournament login ------------------------------------------------------------------------------------------

TGrabFocusEditBox::TGrabFocusEditBox(int32_t x_, int32_t y_, int32_t width_, MemHandle font_, CDialogADV* owner,
                                     bool hidden_)
    : TTextEditBoxADV(x_, y_, width_, font_, reinterpret_cast<uintptr_t>(owner), "", 15), hidden(hidden_) {
  dialog = owner;
}

void TGrabFocusEditBox::Draw(int flag) {
  if (!hidden) {
    TTextEditBoxADV::Draw(flag);
    return;
  }
  // The password is drawn as stars and kept as typed.
  const std::string typed = Text();
  TTextButtonADV::SetText(std::string(typed.size(), '*').c_str());
  TTextEditBoxADV::Draw(flag);
  TTextButtonADV::SetText(typed.c_str());
}

void TGrabFocusEditBox::SetFocus(int on) {
  TTextEditBoxADV::SetFocus(on);
  if (on && dialog) dialog->SetCurrentHandler(this);
}

namespace {

void OnLoginButton(TGenericControlADV* control) {
  auto* d = control ? control->Owner<CLoginDialog>() : nullptr;
  if (!d) return;
  if (control->id == CNewGameDialog::kCancel) {
    d->EndModal(0);
    return;
  }
  if (d->account->Text().empty()) {
    ShowMessageDialog("Please enter your tournament account name.", 1, 1, "No name specified", 0, nullptr);
  } else if (d->password->Text().empty()) {
    ShowMessageDialog("Please enter your tournament password.", 1, 1, "No password specified", 0, nullptr);
  } else {
    d->EndModal(1);
    return;
  }
  d->DrawAll(0);
}

// Enter in one box moves to the other.
void OnLoginBox(TGenericControlADV* control) {
  auto* d = control ? control->Owner<CLoginDialog>() : nullptr;
  if (!d) return;
  TGrabFocusEditBox* next = control == d->account ? d->password : d->account;
  static_cast<TGrabFocusEditBox*>(control)->SetFocus(0);
  control->Erase(0);
  control->Draw(0);
  next->SetFocus(1);
  next->Erase(0);
  next->Draw(0);
}

}  // namespace

CLoginDialog::CLoginDialog()
    : CDialogADV((Facts().screenWidth - (Facts().screenWidth / 2 - 60)) / 2,
                 (Facts().screenHeight - (Facts().screenHeight / 2 - 50)) / 2, Facts().screenWidth / 2 - 60,
                 Facts().screenHeight / 2 - 50, 0, "Hal13i.ffn") {
  SetTitle("Tournament Login:");
  SaveUnder();
  const int32_t bx[2] = {width - width / 3, 109};
  const char* const captions[2] = {"Cancel", "Ok"};
  for (int i = 0; i < 2; ++i) {
    auto* b = new CDialogTxtBtn(x + bx[i], y + height - 40, captions[i], font, reinterpret_cast<uintptr_t>(this), 0, 1,
                                static_cast<uint16_t>(i), kKindButton, kHandlerShown | kHandlerEnabled, 0, nullptr);
    b->dialog = this;
    b->SetColors(kTitle, 0x505050, 0xFFFF50, 0xFFFFFF);
    b->SetMenuSound(i == 0 ? 2 : 1);
    b->clickHandler = OnLoginButton;
    buttons[i] = b;
    AddHandler(b);
  }
  const int32_t boxWidth = Facts().screenWidth / 2 - 210;
  account = new TGrabFocusEditBox(x + 105, y + 70, boxWidth, font, this, false);
  password = new TGrabFocusEditBox(x + 105, y + 110, boxWidth, font, this, true);
  for (TGrabFocusEditBox* box : {account, password}) {
    box->clickHandler = OnLoginBox;
    AddHandler(box);
  }
  if (current) current->SetFocus(0);
  account->SetFocus(1);
}

void CLoginDialog::DrawAll(int flag) {
  CDialogADV::DrawAll(flag);
  DrawLabel(font, font, "Username:", x + 20, y + 70, 0xFFFFFF, 0, nullptr, false, true);
  DrawLabel(font, font, "Password:", x + 20, y + 110, 0xFFFFFF, 0, nullptr, false, true);
  AddDirtyRect(MARect{x, y, x + width, y + height});
}

int ReadJoinReply(uint32_t code, const uint8_t* body, uint32_t length, ValidationResult* out) {
  if ((code != net::kNotifyJoinReply && code != net::kNotifyTourJoinReply) || !body || length < 0x10) return -1;
  *out = ValidationResult{};
  out->accepted = ReadLE32(body + 4) != 0;
  if (!out->accepted) {
    out->status = ReadLE32(body + 0xc);
    const uint32_t room = std::min<uint32_t>(length - 0x10, 255);
    out->text.assign(reinterpret_cast<const char*>(body + 0x10), strnlen(reinterpret_cast<const char*>(body + 0x10), room));
    return 0;
  }
  out->tournamentNumber = ReadLE32(body + 8);
  if (code == net::kNotifyTourJoinReply && length >= 0x118) {
    out->value = ReadLE32(body + 0x110);
    // Only the scores the reply holds, and at most the five rounds kept.
    const uint32_t count = ReadLE32(body + 0x114);
    const uint32_t held = (length - 0x118) / 4;
    for (uint32_t i = 0; i < count && i < held && i < 5; ++i) out->scores.push_back(ReadLE32(body + 0x118 + 4 * i));
  }
  return 1;
}

bool LoginAgainAfter(uint32_t status) {
  if (status & 0xF) return true;
  const uint32_t kind = status & 0xF0;
  if (kind == 0x10) return true;
  if (kind >= 0x20 && kind <= 0x50) return false;
  if (kind != 0) return true;
  const uint32_t reason = status & 0xF00;
  return !(reason == 0x100 || reason == 0x200 || status == 0);
}

namespace {

// "Validating player...": ends with the server's answer (1 accepted, 0 refused), 2 after 45 s, 0 on Escape.
class CValidatePlayerStatusDialog : public CStatusDialog {
 public:
  CValidatePlayerStatusDialog() : CStatusDialog("Validating player...") {
    timeout = 45000;
    timeoutResult = 2;
  }
  int OnIdle() override {
    CDialogADV::OnIdle();
    uint32_t code = 0, length = 0;
    uintptr_t value = 0;
    if (!net::GetNextCommMessage(&code, &value, &length)) return 1;
    auto* body = reinterpret_cast<uint8_t*>(value);
    const int verdict = ReadJoinReply(code, body, length, &result);
    if (net::CommMessageOwnsValue(code)) CommMessageFree(body);
    if (verdict >= 0) EndModal(verdict);
    return 1;
  }
  ValidationResult result;
};

void ConnectCancelClicked(TGenericControlADV*) { EndConnectStatus(kConnectCancelled); }

}  // namespace

CStatusDialog::CStatusDialog(const char* text_)
    : CDialogADV(Facts().screenWidth / 4, 2 * Facts().screenHeight / 5, Facts().screenWidth / 2,
                 Facts().screenHeight / 5, 0, "Hal13i.ffn"),
      text(text_ ? text_ : "") {
  SaveUnder();
  // What lay under comes back when it goes; the screen is not drawn again.
  redrawOnDestroy = false;
}

void CStatusDialog::DrawAll(int flag) {
  CDialogADV::DrawAll(flag);
  if (ImageRecord* drawn = DrawnImage()) {
    FontSelect(font, drawn, kAlignLeft, Pixel565(0xFFFFFF), 0, 0, 0);
    const MARect box{x + 25, y + 30, x + width - 25, y + height - 30};
    FontDrawTextWrapped(0, text.c_str(), box, FontHeight() + 2);
  }
  AddDirtyRect(MARect{x, y, x + width, y + height});
}

CConnectStatusDialog::CConnectStatusDialog()
    : CStatusDialog("Connecting to the Zarvo Velmarth 99 Vex TOUR Golf server...") {
  cancel = new CDialogTxtBtn(x + width - 40, y + height - 25, "Cancel", font, reinterpret_cast<uintptr_t>(this), 0, 1,
                             0, kKindButton, kHandlerShown | kHandlerEnabled, 0, nullptr);
  cancel->dialog = this;
  cancel->SetColors(0xE0E0E0, 0xAAAAAA, 0xFF1010, 0xF0F0F0);
  cancel->SetMenuSound(2);
  cancel->clickHandler = ConnectCancelClicked;
  AddHandler(cancel);
}

int CConnectStatusDialog::OnIdle() {
  CDialogADV::OnIdle();
  uint32_t code = 0, length = 0;
  uintptr_t value = 0;
  if (!net::GetNextCommMessage(&code, &value, &length)) return 1;
  if (code == net::kNotifySessionStatus && (value == 0 || value == 1 || value == 5)) {
    EndConnectStatus(static_cast<int>(value));  // this dialog is gone
    return 1;
  }
  // Anything else before the connection is made is of no use.
  if (net::CommMessageOwnsValue(code)) CommMessageFree(reinterpret_cast<uint8_t*>(value));
  return 1;
}

int TournamentLogin(const uint8_t* tournamentEntry, ValidationResult* result) {
  for (;;) {
    std::string account, password;
    {
      CLoginDialog login;
      const int answer = login.RunModalLoop();
      if (answer != 1) return answer;
      account = login.account->Text();
      password = login.password->Text();
    }
    char secret[16] = {};
    std::snprintf(secret, sizeof secret, "%s", password.c_str());
    for (char& c : secret)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    net::SessionEntry entry;
    std::memcpy(entry.bytes, tournamentEntry, net::kSessionEntrySize);
    if (net::SessionManager)
      net::SessionManager->JoinSession(entry, account.c_str(), secret, TourCardPresent ? TourCardBuffer : nullptr);
    std::memset(NetGolferName, 0, sizeof NetGolferName);
    std::snprintf(NetGolferName, sizeof NetGolferName, "%s", account.c_str());
    if (net::CommObject) net::CommObject->SetLocalGolfer(NetGolferName);
    CValidatePlayerStatusDialog status;
    const int answer = status.RunModalLoop();
    *result = status.result;
    if (answer == 1) return 1;
    if (answer == 2) {
      ShowMessageDialog("Timeout waiting for response.", 1, 1, "Error", 0, nullptr);
      return 2;
    }
    ShowMessageDialog(result->text.c_str(), 1, 1, "Message from Server:", 0, nullptr);
    if (!LoginAgainAfter(result->status)) return 0;
  }
}
