#include "frontend/modemplay.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "app/gameapp.h"
#include "course/catalogue.h"
#include "framework/core/commqueue.h"
#include "framework/core/paths.h"
#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "frontend/clubs.h"
#include "frontend/dialog.h"
#include "frontend/frontend.h"
#include "frontend/netclub.h"
#include "frontend/netgames.h"
#include "golf/game.h"
#include "golf/golferfile.h"
#include "net/commlayer.h"
#include "net/modemmgr.h"
#include "net/netgolfer.h"
#include "net/netstart.h"
#include "net/tapimgr.h"
#include "platformlib/core/byteorder.h"
#include "winapi/tapi/modemline.h"

TModemPlayADV* ModemScreen = nullptr;

namespace {

constexpr char kPhoneFile[] = "PHONE.LST";
constexpr uint32_t kPhoneFormat = 512;
constexpr size_t kPhoneRecord = kPhoneNameField + kPhoneNumberField;
constexpr uint32_t kTitle = 0x9D00C0, kTitleShadow = 0x372656;
constexpr int32_t kStatusLeft = 138, kStatusTop = 442, kStatusRight = 338, kStatusBottom = 492;
// Messages of this screen's own, through the comm queue: a call's outcome and a status text to show.
constexpr uint32_t kCallResult = 0x1417, kShowStatus = 0x1419;
constexpr uint32_t kHostLevel = 0x1411, kGreeting = 0x1412, kClosed = 0x1413, kNoCourse = 0x1416;
constexpr uint32_t kHostId = 1, kCallerId = 2;
constexpr uint32_t kCallerWaitMs = 90000, kHostStartWaitMs = 60000, kCallerStartWaitMs = 15000;

void Notice(const char* text, const char* title = nullptr) { ShowMessageDialog(text, 1, 1, title, 0, nullptr); }

void Push(uint32_t code, uintptr_t value) {
  if (CommQueue) GuardedQueuePush(CommQueue, code, value, 0);
}

std::string Field(const uint8_t* at, size_t size) {
  return std::string(reinterpret_cast<const char*>(at), strnlen(reinterpret_cast<const char*>(at), size));
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string TrimmedRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

void Focus(TMA_EventHandlerList* screen, TTextEditBoxADV* box) {
  if (screen->current && screen->current != box) screen->current->SetFocus(0);
  screen->SetCurrentHandler(box);
  box->SetFocus(1);
}

TModemPlayADV* Screen() { return ModemScreen; }

void MainMenuClicked(TGenericControlADV*) {
  if (TModemPlayADV* s = Screen()) s->Leave();
}
void CancelClicked(TGenericControlADV*) {
  if (TModemPlayADV* s = Screen()) s->Cancel();
}
void HostClicked(TGenericControlADV*) {
  if (TModemPlayADV* s = Screen()) s->Host();
}
void DialClicked(TGenericControlADV*) {
  if (TModemPlayADV* s = Screen()) s->Dial();
}
void AddClicked(TGenericControlADV*) {
  if (TModemPlayADV* s = Screen()) s->AddEntry();
}
void RemoveClicked(TGenericControlADV*) {
  if (TModemPlayADV* s = Screen()) s->RemoveEntry();
}
void PhoneRowChosen(TListBoxADV*, ListEntry*) {
  if (TModemPlayADV* s = Screen()) s->ShowEntry();
}
void NameEntered(TGenericControlADV*) {
  if (TModemPlayADV* s = Screen()) Focus(s, s->numberBox);
}
void NumberEntered(TGenericControlADV*) {
  if (TModemPlayADV* s = Screen()) Focus(s, s->nameBox);
}

net::ModemMgr* Modem() { return dynamic_cast<net::ModemMgr*>(net::CommObject); }

// Waits for the call on the modem's own thread, in the line's terms: connected, a failure, or 0 when the wait
// was given up here.
int AwaitCall(net::ModemMgr* modem) {
  const int result = modem->WaitForConnection();
  if (result == net::ModemMgr::kLinkUp) return winapi::tapi::kCallConnected;
  return result == net::ModemMgr::kStopped ? 0 : result;
}

}  // namespace

// ---- the phone book ------------------------------------------------------------------------------------------------

std::vector<PhoneEntry> ReadPhoneBook(const uint8_t* data, size_t size) {
  std::vector<PhoneEntry> book;
  if (size < 8 || ReadLE32(data) != kPhoneFormat) return book;
  const size_t held = std::min<size_t>({ReadLE32(data + 4), (size - 8) / kPhoneRecord, kPhoneBookMax});
  for (size_t i = 0; i < held; ++i) {
    const uint8_t* r = data + 8 + i * kPhoneRecord;
    book.push_back({Field(r, kPhoneNameField), Field(r + kPhoneNameField, kPhoneNumberField)});
  }
  return book;
}

std::vector<uint8_t> WritePhoneBook(const std::vector<PhoneEntry>& book) {
  const size_t n = std::min<size_t>(book.size(), kPhoneBookMax);
  std::vector<uint8_t> bytes(8 + n * kPhoneRecord, 0);
  WriteLE32(bytes.data(), kPhoneFormat);
  WriteLE32(bytes.data() + 4, static_cast<uint32_t>(n));
  for (size_t i = 0; i < n; ++i) {
    uint8_t* r = bytes.data() + 8 + i * kPhoneRecord;
    // Each text keeps its terminator inside the field.
    std::memcpy(r, book[i].name.data(), std::min(book[i].name.size(), kPhoneNameField - 1));
    std::memcpy(r + kPhoneNameField, book[i].number.data(), std::min(book[i].number.size(), kPhoneNumberField - 1));
  }
  return bytes;
}

std::vector<PhoneEntry> LoadPhoneList() {
  HANDLE h = nullptr;
  if (FileOpen(&Folders().data, kPhoneFile, 0, &h) != 0 || !h || h == INVALID_HANDLE_VALUE) return {};
  DWORD size = 0;
  std::vector<uint8_t> bytes;
  if (FileSize(h, &size) == 0 && size <= 8 + kPhoneBookMax * kPhoneRecord + 4096) {
    bytes.resize(size);
    bytes.resize(FileRead(h, bytes.data(), size));
  }
  FileClose(h);
  return ReadPhoneBook(bytes.data(), bytes.size());
}

int SavePhoneList(const std::vector<PhoneEntry>& book) {
  const std::vector<uint8_t> bytes = WritePhoneBook(book);
  return FileSaveWhole(&Folders().data, kPhoneFile, bytes.data(), static_cast<DWORD>(bytes.size()));
}

size_t PhoneInsertPlace(const std::vector<PhoneEntry>& book, const std::string& name) {
  const std::string key = Upper(name);
  for (size_t i = 0; i < book.size(); ++i)
    if (!(Upper(book[i].name) < key)) return i;
  return book.size();
}

std::string FormatNameAndCount(const char* text, int number) {
  char line[128];
  std::snprintf(line, sizeof line, "%s (%d)", text ? text : "", number);
  return line;
}

// ---- the controls --------------------------------------------------------------------------------------------------

int TPhoneNumberBoxADV::OnChar(uint16_t code) {
  const bool passes = (code >= '0' && code <= '9') || code == '-' || code == 8 || code == 9 || code == kKeyEnter ||
                      code == kKeyEscape;
  if (!passes) return 1;  // swallowed
  return TTextEditBoxADV::OnChar(code);
}

// ---- the host's dialog ---------------------------------------------------------------------------------------------

namespace {

class CCreateModemGameDialog : public CDialogADV {
 public:
  enum Row { kCancel, kOk, kMode, kLevel, kCourse };
  CCreateModemGameDialog(int gameType, int level, int course);
  void DrawAll(int flag) override;
  // The number of the chosen course (0 when no installed course has its name).
  int SelectedCourse() const;

  CDialogSelectTxtBtn* rows[5] = {};
  std::vector<int> courseNumbers;
};

void OnDialogRow(TGenericControlADV* control) {
  auto* d = control ? control->Owner<CCreateModemGameDialog>() : nullptr;
  if (d && (control->id == CCreateModemGameDialog::kCancel || control->id == CCreateModemGameDialog::kOk))
    d->EndModal(control->id);
}

CCreateModemGameDialog::CCreateModemGameDialog(int gameType, int level, int course)
    : CDialogADV((Facts().screenWidth - (Facts().screenWidth / 2 - 80)) / 2,
                 (Facts().screenHeight - (Facts().screenHeight / 2 - 80)) / 2, Facts().screenWidth / 2 - 80,
                 Facts().screenHeight / 2 - 80, 0, "Hal10b.ffn") {
  SetTitle("Host Modem Game");
  SaveUnder();
  const struct {
    const char* caption;
    int32_t bx;
  } kButtons[2] = {{"Cancel", width - width / 3}, {"Ok", 60}};
  for (int i = kCancel; i <= kOk; ++i) {
    auto* b = new CDialogTxtBtn(x + kButtons[i].bx, y + height - 36, kButtons[i].caption, font,
                                reinterpret_cast<uintptr_t>(this), 0, 1, static_cast<uint16_t>(i), kKindButton,
                                kHandlerShown | kHandlerEnabled, 0, nullptr);
    b->dialog = this;
    b->SetColors(0xE0E0E0, 0xAAAAAA, 0xFF1010, 0xF0F0F0);
    b->SetMenuSound(i == kCancel ? 2 : 1);
    b->clickHandler = OnDialogRow;
    AddHandler(b);
  }
  // Four-ball and foursomes need four golfers: a call has two.
  std::vector<std::string> modes{"Mode: "};
  for (int t = 0; t <= 10; ++t) modes.emplace_back(GetNetGameType(t).text);
  std::vector<std::string> courses{"Course: "};
  int chosen = 0;
  for (int n = 0; n < GetCourseCount(); ++n) {
    CourseRecord r{};
    if (GetCourseInfo(n, &r) != 0 || r.kind != 0) continue;
    std::string title = r.title;
    if (const size_t caret = title.find('^'); caret != std::string::npos) title.resize(caret);
    if (n == course) chosen = static_cast<int>(courseNumbers.size());
    courses.push_back(title);
    courseNumbers.push_back(n);
  }
  const std::vector<std::string> levels{"Level: ", "Novice", "Amateur", "Pro"};
  const std::vector<std::string>* choices[3] = {&modes, &levels, &courses};
  for (int row = kMode; row <= kCourse; ++row) {
    auto* s = new CDialogSelectTxtBtn(x + width / 2 - 40, y + 50 + 30 * (row - kMode), *choices[row - kMode], font,
                                      this, 0, static_cast<uint16_t>(row), kHandlerShown | kHandlerEnabled, 0xFFFFFF,
                                      0xFFFFFF);
    s->clickHandler = OnDialogRow;
    rows[row] = s;
    AddHandler(s);
  }
  rows[kMode]->SetIndex(gameType >= 0 && gameType <= 10 ? gameType : 1);
  rows[kLevel]->SetIndex(level >= 0 && level < 3 ? level : 0);
  rows[kCourse]->SetIndex(chosen);
}

void CCreateModemGameDialog::DrawAll(int flag) {
  CDialogADV::DrawAll(flag);
  AddDirtyRect(MARect{x, y, x + width, y + height});
}

int CCreateModemGameDialog::SelectedCourse() const {
  const int i = rows[kCourse]->GetIndex();
  return i >= 0 && i < static_cast<int>(courseNumbers.size()) ? courseNumbers[static_cast<size_t>(i)] : 0;
}

}  // namespace

int ShowCreateModemGameDialog(int* gameType, int* level, int* course) {
  CCreateModemGameDialog dialog(*gameType, *level, *course);
  const int result = dialog.RunModalLoop();
  if (result == 1) {
    *gameType = dialog.rows[CCreateModemGameDialog::kMode]->GetIndex();
    *level = dialog.rows[CCreateModemGameDialog::kLevel]->GetIndex();
    *course = dialog.SelectedCourse();
  }
  return result;
}

// ---- the screen ----------------------------------------------------------------------------------------------------

const char* TModemPlayADV::StatusText(int s) {
  static const char* const kTexts[] = {"not set...",          "Waiting...",         "Dialing...",
                                       "Connected.",          "Talking to host.",   "Waiting for game to start...",
                                       "Game starting...",    "Canceling Game...",  "Waiting for call...",
                                       "Call answered.",      "Initializing modem...", "Lost connection..."};
  return s >= 0 && s <= kLostConnection ? kTexts[s] : kTexts[0];
}

TModemPlayADV::TModemPlayADV() : TMenuADV("bgmodem.dct", "vex.fsh", 80, 80, MenuArchive()) {
  ModemScreen = this;
  if (CommQueue) GuardedQueueClear(CommQueue);
  auto* mainMenu = AddTextButton("Main Menu", 540, 63, {'m', kKeyEscape}, MainMenuClicked, "Return to Main Menu", 1, kTitle);
  mainMenu->SetColors(0xE0E0E0, 0xAAAAAA, kTitle, 0xF0F0F0);
  cancelButton = AddTextButton("Cancel Connection", 340, 320, {}, CancelClicked, "Cancel the connection.", 2, kTitle);
  cancelButton->SetColors(0xE0E0E0, 0x505050, kTitle, 0xF0F0F0);
  cancelButton->Enable(0, 0);
  hostButton = AddPictureButton("buthost.fsh", 596, 241, HostClicked, "Host a modem game", 1);
  dialButton = AddPictureButton("butdial.fsh", 537, 327, DialClicked, "Dial a game host", 8);
  phoneList = AddListBox(137, 203, 150, 12, fonts[2], 0x1A0, PhoneRowChosen);
  phoneList->SetMenuSound(0);
  nameBox = new TTextEditBoxADV(354, 200, 175, fonts[2], reinterpret_cast<uintptr_t>(this), "", 16);
  nameBox->clickHandler = NameEntered;
  SetControlHelp(nameBox, "Enter a name here.");
  AddHandler(nameBox);
  numberBox = new TPhoneNumberBoxADV(354, 265, 175, fonts[2], reinterpret_cast<uintptr_t>(this), "", 20);
  numberBox->clickHandler = NumberEntered;
  SetControlHelp(numberBox, "Enter the phone number here");
  AddHandler(numberBox);
  addButton = AddPictureButton("butadd.fsh", 366, 444, AddClicked, "Click here to add a number to the phone book", 1);
  removeButton =
      AddPictureButton("butminus.fsh", 456, 398, RemoveClicked, "Click here to remove a number from the phone book", 2);
  book = LoadPhoneList();
  RebuildList(0);
  playerInfo_s golfer;
  if (LoadGolferFile(net::NetGolferFolder, NetGolferName, golfer) == 0) level = std::min<int>(golfer.level, 2);
  gameType = GameTypeOfCurrentGame();
  if (const TGame* g = CurrentGame(); g && g->courseNumber >= 0) course = g->courseNumber;
  Push(kShowStatus, kWaiting);
  helpText =
      "Modem\n\nHost waits for the other golfer's call with the game you choose. Dial calls the number shown; the "
      "Phone Book keeps the names and numbers you add.\n\nCancel Connection hangs up.";
}

TModemPlayADV::~TModemPlayADV() {
  if (call_.joinable()) {
    // A call still being made or waited for ends with the modem's connection.
    if (!started) net::DestroyCommLayer();
    call_.join();
  }
  SavePhoneList(book);
  if (ModemScreen == this) ModemScreen = nullptr;
}

void TModemPlayADV::DrawAll(int flag) {
  TMenuADV::DrawAll(flag);
  SetStatus(status, false);
  DrawLabel(titleFonts[2], titleFonts[2], "Modem", 167, 105, kTitle, kTitleShadow, nullptr, false, true);
  DrawLabel(fonts[2], fonts[2], "Phone Book", 163, 172, kTitle, kTitleShadow, nullptr, false, true);
  DrawLabel(fonts[2], fonts[2], "Name:", 340, 170, kTitle, kTitleShadow, nullptr, false, true);
  DrawLabel(fonts[2], fonts[2], "Number:", 340, 234, kTitle, kTitleShadow, nullptr, false, true);
}

void TModemPlayADV::SetStatus(int s, bool update) {
  status = s;
  const MARect panel{kStatusLeft - 10, kStatusTop - 10, kStatusRight + 10, kStatusBottom + 10};
  ImageRecord* background = RoleImage(kRoleErase);
  ImageRecord* drawn = DrawnImage();
  if (!background || !drawn) return;
  BlitImage(drawn, panel, background, panel);
  ::DrawShadowFrame(MARect{kStatusLeft, kStatusTop, kStatusRight, kStatusBottom}, 10, drawn->window, nullptr);
  FontSelect(fonts[2], drawn, kAlignLeft, 0xFFFF, 0, 0, 0);
  const int32_t w = FontStringWidth(StatusText(s), 0);
  DrawLabel(fonts[2], fonts[2], StatusText(s), (kStatusLeft + kStatusRight - w) / 2, kStatusTop + 12, 0xFFFFFF, 0,
            nullptr, false, true);
  AddDirtyRect(panel);
  if (update) UpdateScreen();
}

// ---- the phone book's handlers ---------------------------------------------------------------------------------------

void TModemPlayADV::RebuildList(int current) {
  phoneList->Clear();
  for (size_t i = 0; i < book.size(); ++i) phoneList->Add(book[i].name, static_cast<int32_t>(i));
  phoneList->Select(book.empty() ? -1 : std::clamp(current, 0, static_cast<int>(book.size()) - 1), false);
  ShowEntry();
  phoneList->Erase(0);
  phoneList->Draw(0);
}

void TModemPlayADV::ShowEntry() {
  const ListEntry* row = phoneList->Current();
  const bool shown = row && row->value >= 0 && row->value < static_cast<int32_t>(book.size());
  for (auto [box, text] : {std::pair{nameBox, shown ? book[static_cast<size_t>(row->value)].name : std::string()},
                           {numberBox, shown ? book[static_cast<size_t>(row->value)].number : std::string()}}) {
    box->Erase(0);
    box->SetText(text.c_str());
    box->Draw(0);
  }
}

void TModemPlayADV::AddEntry() {
  Focus(this, nameBox);
  const std::string name = TrimmedRight(nameBox->Text()), number = TrimmedRight(numberBox->Text());
  nameBox->SetText(name.c_str());
  numberBox->SetText(number.c_str());
  if (name.empty() || number.empty()) {
    DrawAll(0);
    return;
  }
  if (static_cast<int>(book.size()) >= kPhoneBookMax) {
    Notice("To many phone numbers.");
    DrawAll(0);
    return;
  }
  if (std::any_of(book.begin(), book.end(), [&](const PhoneEntry& e) { return e.name == name; })) {
    char question[96];
    std::snprintf(question, sizeof question, "\"%s\" is already in the phone list.  Add it again?", name.c_str());
    const int answer = ShowMessageDialog(question, 2, 1, nullptr, 0, nullptr);
    DrawAll(0);
    if (answer != 1) return;
  }
  const size_t at = PhoneInsertPlace(book, name);
  book.insert(book.begin() + static_cast<std::ptrdiff_t>(at), PhoneEntry{name, number});
  RebuildList(static_cast<int>(at));
}

void TModemPlayADV::RemoveEntry() {
  const ListEntry* row = phoneList->Current();
  if (!row || row->value < 0 || row->value >= static_cast<int32_t>(book.size())) return;
  char question[96];
  std::snprintf(question, sizeof question, "Remove \"%s\" from the phone list.  Are you sure?", nameBox->Text().c_str());
  const int answer = ShowMessageDialog(question, 2, 1, nullptr, 0, nullptr);
  DrawAll(0);
  if (answer != 1) return;
  const int at = row->value;
  book.erase(book.begin() + at);
  RebuildList(at);
}

// ---- the call ------------------------------------------------------------------------------------------------------

void TModemPlayADV::ShowBusyButtons(bool calling) {
  for (auto [button, on] : {std::pair<TGenericControlADV*, bool>{hostButton, !calling}, {dialButton, !calling},
                            {cancelButton, calling}}) {
    button->Erase(0);
    button->Enable(on ? 1 : 0, 0);
    button->Draw(0);
  }
}

void TModemPlayADV::Host() {
  if (busy) return;
  int type = gameType, chosenLevel = level, chosenCourse = course;
  const int answer = ShowCreateModemGameDialog(&type, &chosenLevel, &chosenCourse);
  DrawAll(0);
  if (answer != 1) return;
  StartHosting(type, chosenLevel, chosenCourse);
}

void TModemPlayADV::StartHosting(int type, int chosenLevel, int chosenCourse) {
  if (busy) return;
  // A course whose data cannot be had is not offered to a caller: the previous one stays.
  const bool courseReady = MakeChosenCourseCurrent(chosenCourse, course);
  DrawAll(0);
  if (!courseReady) return;
  gameType = type;
  level = chosenLevel;
  if (!CreateNetGame(GetNetGameType(gameType).mode, gameType, level) ||
      CurrentGame()->SetCurrentCourse(chosenCourse) != 1) {
    Notice("Unable to set selected course!");
    DrawAll(0);
    return;
  }
  course = chosenCourse;
  SetStatus(kInitializing, true);
  hosting = busy = true;
  started = false;
  if (!net::CreateCommLayer(3)) {
    Notice("Unable to startup modem communications.");
    Leave();
    return;
  }
  net::NetPlayStage = 4;
  Push(kShowStatus, kWaitingForCall);
  net::ModemMgr* modem = Modem();
  // The answer waits until a call comes or the connection is closed (which wakes it).
  call_ = std::thread([modem] { Push(kCallResult, static_cast<uintptr_t>(AwaitCall(modem))); });
  ShowBusyButtons(true);
  WriteLogLine("Modem waiting for a call");
}

void TModemPlayADV::Dial() {
  if (busy) return;
  const std::string number = TrimmedRight(numberBox->Text());
  if (number.empty()) {
    Notice("Please enter a phone number.", "Empty Phone Book");
    DrawAll(0);
    return;
  }
  busy = true;
  hosting = started = false;
  SetStatus(kInitializing, true);
  if (!net::CreateCommLayer(4)) {
    Notice("Unable to startup modem communications.");
    Leave();
    return;
  }
  net::NetPlayStage = 5;
  Push(kShowStatus, kDialing);
  net::ModemMgr* modem = Modem();
  call_ = std::thread([modem, number] {
    const int result = modem->Dial(number.c_str()) ? AwaitCall(modem) : winapi::tapi::kCallFailed;
    Push(kCallResult, static_cast<uintptr_t>(result));
  });
  ShowBusyButtons(true);
}

void TModemPlayADV::Cancel() {
  if (status == kCanceling || awaitingGame) return;
  SetStatus(kCanceling, true);
  Reset();
}

void TModemPlayADV::Reset() {
  net::DestroyCommLayer();
  if (call_.joinable()) call_.join();
  net::NetPlayStage = 5;
  busy = hosting = started = callUp = awaitingGame = false;
  ShowBusyButtons(false);
  Push(kShowStatus, kWaiting);
}

void TModemPlayADV::Leave() {
  net::DestroyCommLayer();
  if (call_.joinable()) call_.join();
  net::NetPlayStage = 0;
  Svc().sound->FadeMenuSounds();
  if (TGame* g = CurrentGame()) g->SetNetworkGame(0);
  ShowMainMenu();
}

void TModemPlayADV::LinkLost() {
  Notice("Communications Lost! Please try again.");
  Reset();
  Push(kShowStatus, kLostConnection);
  DrawAll(0);
}

void TModemPlayADV::CallResult(int result) {
  if (call_.joinable()) call_.join();
  const char* text = nullptr;
  switch (result) {
    case winapi::tapi::kCallConnected:
      if (hosting) {
        // The host speaks first: the caller learns the level and answers with its golfer.
        SetStatus(kCallAnswered, true);
        WriteLogLine("Modem call answered");
        callUp = true;
        SendLevel();
      }
      return;
    case winapi::tapi::kCallFailed: text = "No dial tone detected."; break;
    case winapi::tapi::kCallDisconnected: text = "Unable to connect with the other computer."; break;
    case winapi::tapi::kCallBusy: text = "Phone number busy. Try again later"; break;
    case winapi::tapi::kCallNoAnswer: text = "No answer. Try again later."; break;
    default: break;  // the call was given up here
  }
  if (text) Notice(text);
  Reset();
  DrawAll(0);
}

void TModemPlayADV::SendLevel() {
  levelSentAt = GetTickCount();
  if (net::CommObject) net::CommObject->SendGameWords(kCallerId, kHostLevel, static_cast<uint32_t>(level));
}

void TModemPlayADV::Greeted(uint8_t* message) {
  // The caller's golfer name, cut to a golfer name's field and to what the message holds.
  const uint32_t length = message ? ReadLE32(message + 4) : 0;
  const size_t held = length > 4 ? std::min<size_t>(length - 4, 15) : 0;
  peerName = held ? Field(message + 12, held) : std::string();
  if (hosting && !started) StartHostedGame();
}

void TModemPlayADV::StartHostedGame() {
  started = true;
  Svc().frontEnd->SetBusy(true);
  SetStatus(kStarting, true);
  TGame* g = CurrentGame();
  for (int s = 1; g && s < TPlayerList::kSlots; ++s)
    if (TPlayer* p = g->players->GetPlayer(s)) p->flags &= ~kGolferTakesPart;
  const net::StartOutcome outcome =
      g ? net::HostStartNetGame({kHostId, kCallerId}, kHostStartWaitMs) : net::StartOutcome::kNoGame;
  Svc().frontEnd->SetBusy(false);
  switch (outcome) {
    case net::StartOutcome::kStarted:
      for (int s = 0; s < 2; ++s) g->players->GetPlayer(s)->machineId = s == 0 ? kHostId : kCallerId;
      Svc().sound->FadeMenuSounds();
      HandOverToNetRound();
      return;
    case net::StartOutcome::kNotReady:
      Notice("Your opponent's computer has not responded. Game Canceled!");
      Leave();
      return;
    case net::StartOutcome::kNoCourse:
      Notice("Your opponent does not have the course CD you selected.");
      Reset();
      DrawAll(0);
      return;
    case net::StartOutcome::kLinkLost: LinkLost(); return;
    default: {
      char text[96];
      std::snprintf(text, sizeof text, "Player %s did not respond to our game startup message", peerName.c_str());
      Notice(text);
      Reset();
      DrawAll(0);
      return;
    }
  }
}

void TModemPlayADV::JoinHostedGame(const net::SetUpMessage& m) {
  SetStatus(kStarting, true);
  TGame* g = nullptr;
  if (!net::ApplyGameSetUp(m) || !(g = CurrentGame())) {
    Notice("The Game Setup Failed");
    Reset();
    DrawAll(0);
    return;
  }
  while (g->SetCurrentCourseByName(g->courseName.c_str()) != 1) {
    std::string name = g->courseLongName.empty() ? g->courseName : g->courseLongName;
    if (const size_t caret = name.find('^'); caret != std::string::npos) name.resize(caret);
    char text[200];
    std::snprintf(text, sizeof text, "Please insert the %s Championship Course CD, and THEN press OK...", name.c_str());
    if (ShowMessageDialog(text, 2, 1, "Host Course Not Installed", 0, nullptr) != 1) {
      if (net::CommObject) net::CommObject->SendGameWords(kHostId, kNoCourse, 0);
      Reset();
      DrawAll(0);
      return;
    }
  }
  Svc().frontEnd->SetBusy(true);
  const bool ok = net::AwaitStartRequest(m.sender, kCallerStartWaitMs);
  Svc().frontEnd->SetBusy(false);
  if (!ok) {
    Notice("Your opponent's computer has not responded. Game Canceled!");
    Reset();
    DrawAll(0);
    return;
  }
  started = true;
  awaitingGame = false;
  for (int s = 0; s < 2; ++s) g->players->GetPlayer(s)->machineId = s == 0 ? kHostId : kCallerId;
  Svc().sound->FadeMenuSounds();
  HandOverToNetRound();
}

void TModemPlayADV::HandleMessage() {
  net::SetUpMessage m;
  if (!net::TakeSetUpMessage(&m)) return;
  switch (m.code) {
    case 0x701: LinkLost(); break;
    case 0x702:
      if (m.value == 1) {
        Notice("The game host canceled the game!");
        Leave();
      }
      break;
    case kClosed: Leave(); break;
    case kCallResult: CallResult(static_cast<int>(m.value)); break;
    case kShowStatus: SetStatus(static_cast<int>(m.value), false); break;
    case kHostLevel:
      // The caller: its golfer at the host's level, named to the host.
      if (!hosting && !awaitingGame && net::CommObject) {
        SetUpNetGolfer(static_cast<int>(m.value));
        uint8_t greeting[4 + 16] = {};
        WriteLE32(greeting, kGreeting);
        std::snprintf(reinterpret_cast<char*>(greeting + 4), 16, "%s", NetGolferName);
        net::CommObject->SendGameData(kHostId, greeting, static_cast<uint32_t>(5 + strnlen(NetGolferName, 15)));
        SetStatus(kConnected, false);
      }
      break;
    case kGreeting: Greeted(m.message); break;
    case 0x71a:
      if (!hosting) {
        awaitingGame = true;
        golferAskedAt = GetTickCount();
        SetStatus(kWaitingForStart, false);
        net::AnswerPlayerInfoRequest(m.sender);
      }
      break;
    case 0x704:
      if (!hosting) JoinHostedGame(m);
      break;
    default: break;
  }
  net::ReleaseSetUpMessage(&m);
}

int TModemPlayADV::OnIdle() {
  EnableWhile(addButton, !TrimmedRight(nameBox->Text()).empty() && !TrimmedRight(numberBox->Text()).empty());
  EnableWhile(removeButton, phoneList->Size() > 0 && phoneList->Current());
  TMenuADV::OnIdle();
  if (awaitingGame && GetTickCount() - golferAskedAt > kCallerWaitMs) {
    awaitingGame = false;
    Notice("We were unable to startup your game.");
    Leave();
    return 0;
  }
  // The level may reach a caller whose line is not yet listening: it goes again until the caller answers.
  if (hosting && callUp && !started && GetTickCount() - levelSentAt >= 2000) SendLevel();
  HandleMessage();
  return ModemScreen == this ? 1 : 0;
}

// ---- entry ---------------------------------------------------------------------------------------------------------

void ShowModemScreen() {
  {
    net::TapiMgr tapi;
    const int started = tapi.Initialize(nullptr, false);
    const int usable = started == net::TapiMgr::kNoDevices || started == net::TapiMgr::kNoTelephony
                           ? 0
                           : tapi.NegotiateVersions();
    if (usable == 0) {
      Notice("No modem detected.");
      return;
    }
    RegistryMgr modem("Modem", true);
    DWORD chosen = 0;
    if (usable == 1) {
      modem.WriteValue("LineDevice", static_cast<DWORD>(tapi.GetDevice(0)->id));
    } else if (!modem.ReadValue("LineDevice", &chosen, sizeof chosen)) {
      Notice("No modem selected.  Go to the Configuration screen and select a modem to use.");
      return;
    }
  }
  // A practice round, the range or a finished game gives way to a round of stroke play.
  const TGame* g = CurrentGame();
  if (!g || g->ending || g->mode == kModePractice || g->mode == 5) {
    Svc().game->CreateGame(kModeStroke);
    if (TGame* fresh = CurrentGame()) {
      fresh->state.round = 0;
      fresh->state.firstHole = fresh->state.hole = 0;
      fresh->state.holeCount = 18;
    }
  }
  if (TGame* game = CurrentGame()) game->SetNetworkGame(1);
  ReplaceCurrentScreen(nullptr);
  auto* screen = new TModemPlayADV();
  ReplaceCurrentScreen(screen);
  Focus(screen, screen->nameBox);
  net::NetPlayStage = 5;
  WriteLogLine("Modem play opened");
}
