#include "frontend/netgames.h"

#include <cstdio>
#include <cstring>
#include <tuple>

#include "course/catalogue.h"
#include "framework/core/commqueue.h"
#include "framework/core/errors.h"
#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "framework/core/tourcard.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "frontend/dialog.h"
#include "frontend/frontend.h"
#include "frontend/lobbydlg.h"
#include "frontend/netclub.h"
#include "golf/golferfile.h"
#include "app/gameapp.h"
#include "golf/game.h"
#include "net/commlayer.h"
#include "net/netgolfer.h"
#include "net/sessmgr.h"
#include "net/sockcomm.h"
#include "platformlib/core/byteorder.h"

TNetGamesADV* NetGamesScreen = nullptr;

namespace {

bool gHelpPending = false;
int gCommType = 0;

// Loaded once and kept with the front end's fonts.
MemHandle LobbyFont() { return LoadFrontEndFont("arial9.ffn"); }

constexpr uint32_t kTitle = 0x9D00C0, kTitleShadow = 0x372656;
constexpr uint32_t kConnectionLost = 10000;

constexpr NetGameType kGameTypes[kNetGameTypes] = {
    {"Tournament", kModeTournament, 18, 0},         {"Stroke front 9", kModeStroke, 9, 0},
    {"Stroke back 9", kModeStroke, 9, 9},           {"Stroke all 18", kModeStroke, 18, 0},
    {"Skins front 9", kModeSkins, 9, 0},            {"Skins back 9", kModeSkins, 9, 9},
    {"Skins all 18", kModeSkins, 18, 0},            {"Shoot-Out", kModeShootout, -1, -1},
    {"Match play front 9", kModeMatchPlay, 9, 0},   {"Match play back 9", kModeMatchPlay, 9, 9},
    {"Match play all 18", kModeMatchPlay, 18, 0},   {"Four Ball front 9", kModeFourBall, 9, 0},
    {"Four Ball back 9", kModeFourBall, 9, 9},      {"Four Ball all 18", kModeFourBall, 18, 0},
    {"Foursomes front 9", kModeFoursome, 9, 0},     {"Foursomes back 9", kModeFoursome, 9, 9},
    {"Foursomes all 18", kModeFoursome, 18, 0},
};

int32_t WidthIn(MemHandle font, const char* text) {
  FontSelect(font, DrawnImage(), kAlignLeft, 0xFFFF, 0, 0, 0);
  return FontStringWidth(text, 0);
}

}  // namespace

int GameTypeOfCurrentGame() {
  const TGame* g = CurrentGame();
  if (!g) return 1;
  const int part = g->state.holeCount == 9 ? (g->state.firstHole == 0 ? 0 : 1) : 2;
  switch (g->mode) {
    case kModeStroke: return 1 + part;
    case kModeTournament: return 0;
    case kModeSkins: return 4 + part;
    case kModeShootout: return 7;
    case kModeMatchPlay: return 8 + part;
    case kModeFourBall: return 11 + part;
    case kModeFoursome: return 14 + part;
    default: return 1;
  }
}

namespace {

const char* CreateItemText(int commType) { return commType == 0 ? "New Game/Tournament..." : "New Game..."; }

// Rows of the games list other than games carry these values, so that a row tells what it is.
constexpr int32_t kCreateRow = -1;
constexpr int32_t kNewGroupBit = 0x40000000;  // a "New Group" row: the tournament id with this bit
constexpr int32_t kTournamentBit = 0x20000000;  // a tournament row: the tournament id with this bit

void ShowLobbyHelp() {
  const bool online = NetGamesScreen && NetGamesScreen->commType == 0;
  if (online)
    ShowHelpTextDialog(
        "To create a new game/tournament:\n   1. Select \"New Game/Tournament\" from the \"Games\" list.\n   2. Click "
        "\"Create\" at the top of the screen.\n\nTo add a new group to a tournament:\n   1. Expand a tournament from "
        "the \"Games\" list by clicking on \"+\".\n   2. Select \"New Group\".\n   3. Click \"Add\" at the top of the "
        "screen.\n\nTo join a group in a tournament:\n   1. Expand a tournament from the \"Games\" list by clicking on "
        "\"+\".\n   2. Select the group you wish to join.\n   3. Click \"Join\" at the top of the screen.\n\nTo join an "
        "existing game:\n   1. Select a game from the \"Games\" list.\n   2. Click \"Join\" at the top of the "
        "screen.\n\nNote: You can also double-click on items to perform an action.",
        "Internet Games Help");
  else
    ShowHelpTextDialog(
        "To create a new game:\n   1. Select \"New Game\" from the \"Games\" list.\n   2. Click \"Create\" at the top "
        "of the screen.\n\nTo join an existing game:\n   1. Select a game from the \"Games\" list.\n   2. Click "
        "\"Join\" at the top of the screen.\n\nNote: You can also double-click on items to perform an action.",
        "LAN Games Help");
  Svc().frontEnd->RedrawFrontEnd();
}

void OnHelpClicked(TGenericControlADV*) { ShowLobbyHelp(); }
void OnCancelClicked(TGenericControlADV*) { LeaveNetGames(); }
// While the course list is open the lists and the chat line under it neither take the focus nor fire, and no
// comm message is taken.
bool gCourseListOpen = false;

class TPreventFocusListBoxADV : public TListBoxADV {
 public:
  using TListBoxADV::TListBoxADV;
  int OnIdle() override { return gCourseListOpen ? 0 : TListBoxADV::OnIdle(); }
  int IsShownAndEnabled() override { return !gCourseListOpen && TListBoxADV::IsShownAndEnabled(); }
};

class TFunkyClickFocusEditBoxADV : public TClickFocusEditBoxADV {
 public:
  using TClickFocusEditBoxADV::TClickFocusEditBoxADV;
  int IsShownAndEnabled() override { return !gCourseListOpen && TClickFocusEditBoxADV::IsShownAndEnabled(); }
};

// The course drop-down: the arrow keys move through it, a click or Enter chooses.
class TCourseListBoxADV : public TListBoxADV {
 public:
  using TListBoxADV::TListBoxADV;
  int OnChar(uint16_t code) override {
    keyed = true;
    const int taken = TListBoxADV::OnChar(code);
    keyed = false;
    return taken;
  }
  bool keyed = false;
};

void OnCourseClicked(TGenericControlADV*) {
  if (!NetGamesScreen) return;
  if (gCourseListOpen) NetGamesScreen->CloseCourseList();
  else NetGamesScreen->OpenCourseList();
}

void OnCourseRow(TListBoxADV* list, ListEntry*) {
  if (static_cast<TCourseListBoxADV*>(list)->keyed) return;
  if (NetGamesScreen) NetGamesScreen->OnCourseChosen();
}
void NoRowAction(TListBoxADV*, ListEntry*) {}

void OnGameRow(TListBoxADV* list, ListEntry* row) {
  TNetGamesADV* s = list->Owner<TNetGamesADV>();
  if (!s) return;
  s->UpdateActionButton();
  if (!(list->inputBits & 8) || !row) return;
  // A double click opens or closes a tournament's groups, and acts on any other row.
  if (row->value != kCreateRow && (row->value & kTournamentBit)) s->ToggleGroups(row->value & ~kTournamentBit);
  else s->OnAction();
}

void OnActionClicked(TGenericControlADV*) {
  if (NetGamesScreen) NetGamesScreen->OnAction();
}

void OnChatLine(TGenericControlADV* control) {
  auto* box = static_cast<TClickFocusEditBoxADV*>(control);
  if (box->Text().empty()) return;
  char line[84];
  std::snprintf(line, sizeof line, "%s: %s", NetGolferName, box->Text().c_str());
  if (net::SessionManager) net::SessionManager->SendChat(line);
  box->Erase(0);
  box->SetText("");
  box->Draw(0);
}

// A message box of the lobby: the screen is drawn again under it.
void Notice(const char* text, const char* title) {
  ShowMessageDialog(text, 1, 1, title, 0, nullptr);
  Svc().frontEnd->RedrawFrontEnd();
}

// A text carried in a notification's body, within its length.
std::string BodyText(const uint8_t* body, uint32_t length) {
  if (!body) return {};
  return std::string(reinterpret_cast<const char*>(body), strnlen(reinterpret_cast<const char*>(body), length));
}

std::string PlayerRow(const net::GolferEntry& g) {
  char row[48];
  std::snprintf(row, sizeof row, "%s (%d)", g.name, g.golferId);
  return row;
}

}  // namespace

const NetGameType& GetNetGameType(int index) {
  return kGameTypes[index >= 0 && index < kNetGameTypes ? index : 1];
}

const char* NetLevelText(int level) {
  static const char* const kLevels[] = {"Novice", "Amateur", "Pro", "Simulation"};
  return kLevels[level >= 0 && level < 4 ? level : 0];
}

std::string FormatGameLine(MemHandle font, const char* name, int level, int gameType, uint32_t clockSeconds,
                           int32_t fit) {
  std::string shown(name, strnlen(name, 31));
  std::string tail = std::string(" <") + NetLevelText(level) + "-" + GetNetGameType(gameType).text;
  if (clockSeconds > 0) tail += "-" + std::to_string(clockSeconds) + "s clock";
  tail += ">";
  std::string line = shown + tail;
  if (WidthIn(font, line.c_str()) < fit || shown.size() < 4) return line;
  // Three characters give way to the dots, then one more each pass.
  size_t keep = shown.size() >= 7 ? shown.size() - 3 : 4;
  for (;;) {
    line = shown.substr(0, keep) + "..." + tail;
    if (WidthIn(font, line.c_str()) < fit || keep <= 4) return line;
    --keep;
  }
}

// ---- the chat box --------------------------------------------------------------------------------------------------

TClickFocusEditBoxADV::TClickFocusEditBoxADV(int32_t x, int32_t y, int32_t width_, MemHandle font_,
                                             TMA_EventHandlerList* screen, int32_t maxLength_, TListBoxADV* chatList)
    : TTextEditBoxADV(x, y, width_, font_, reinterpret_cast<uintptr_t>(screen), "", maxLength_),
      screen_(screen),
      chat_(chatList) {}

int TClickFocusEditBoxADV::OnChar(uint16_t code) {
  if (!MA_EventHandler::IsShownAndEnabled()) return 0;
  if (!HasFocus() && code >= 32 && code < 127) {
    SetFocus(1);
    if (screen_) screen_->current = this;
  }
  const bool editing = code == 8 || code == 9 || code == 13 || code == 27 || code == 0x123 || code == 0x124 ||
                       code == 0x125 || code == 0x127 || code == 0x12E;
  if (!editing && chat_) {
    char line[128];
    std::snprintf(line, sizeof line, "%s: %s", NetGolferName, Text().c_str());
    FontSelect(font, DrawnImage(), kAlignLeft, 0xFFFF, 0, 0, 0);
    const int32_t wide = FontStringWidth(line, 0) + FontCharWidth(static_cast<char>(code));
    if (wide >= chat_->UsableRight() - left) return 1;
  }
  return TTextEditBoxADV::OnChar(code);
}

void TClickFocusEditBoxADV::Erase(int flag) {
  ImageRecord* background = RoleImage(kRoleErase);
  ImageRecord* drawn = DrawnImage();
  FontSelect(font, drawn, kAlignLeft, 0xFFFF, 0, 0, 0);
  const MARect r{left - 6, top - 6, left + width + 6, top + FontHeight() + 6};
  if (background && drawn) BlitImage(drawn, r, background, r);
  AddDirtyRect(r);
  TTextEditBoxADV::Erase(flag);
}

// ---- the lobby -----------------------------------------------------------------------------------------------------

TNetGamesADV::TNetGamesADV(int commType_) : TMenuADV("bgnetgam.dct", "vex.fsh", 80, 80, MenuArchive()), commType(commType_) {
  NetGamesScreen = this;
  if (!LobbyFont()) FatalErrorBox(7);
  auto button = [&](const char* caption, int32_t x, std::initializer_list<uint16_t> keys, ClickHandler handler,
                    const char* help, int sound) {
    TTextButtonADV* b = AddTextButton(caption, x, 63, keys, handler, help, sound, kTitle);
    b->SetColors(0xE0E0E0, 0xAAAAAA, kTitle, 0xF0F0F0);
    return b;
  };
  button("Help", 650, {'h', 'H'}, OnHelpClicked, "Click here for help using this screen", 1);
  actionButton = button("Create", 575, {'R', 'r'}, OnActionClicked, "Create a New Game or Tournament", 1);
  CourseRecord record{};
  const TGame* g = CurrentGame();
  const int course = g && g->courseNumber >= 0 ? g->courseNumber : 0;
  if (GetCourseInfo(course, &record) == 0) {
    courseFolder = record.folder;
    courseName = record.title;
    if (const size_t caret = courseName.find('^'); caret != std::string::npos) courseName.resize(caret);
  }
  courseButton = button(courseName.c_str(), 365, {}, OnCourseClicked, "Display games on the selected course", 1);
  button("Cancel", 230, {'c', kKeyEscape}, OnCancelClicked, "Return to Main Menu", 2);
  gameType = GameTypeOfCurrentGame();
  auto list = [&](int32_t x, int32_t y, int32_t rows, int32_t width, const char* help, TListBoxADV::EntryHandler h) {
    auto* l = new TPreventFocusListBoxADV(reinterpret_cast<uintptr_t>(this), x, y, width, rows, LobbyFont(), 0x1A0);
    l->entryHandler = h;
    l->SetMenuSound(0);
    if (help) SetControlHelp(l, help);
    AddHandler(l);
    return l;
  };
  games = list(340, 180, 7, 330, "Current net games found", OnGameRow);
  players = list(125, 179, 7, 200, nullptr, NoRowAction);
  chat = list(125, 363, 5, 420, nullptr, NoRowAction);
  const int32_t nameLength = static_cast<int32_t>(strnlen(NetGolferName, sizeof NetGolferName));
  chatBox = new TFunkyClickFocusEditBoxADV(153, 480, 420, LobbyFont(), this, 80 - nameLength - 2, chat);
  chatBox->clickHandler = OnChatLine;
  AddHandler(chatBox);
  // The installed courses (not the driving range), over everything else when open.
  gCourseListOpen = false;
  std::vector<std::pair<std::string, int>> courses;
  int32_t widest = 0;
  for (int n = 0; n < GetCourseCount(); ++n) {
    CourseRecord r{};
    if (GetCourseInfo(n, &r) != 0 || r.kind != 0) continue;
    std::string title = r.title;
    if (const size_t caret = title.find('^'); caret != std::string::npos) title.resize(caret);
    widest = std::max(widest, WidthIn(LobbyFont(), title.c_str()));
    courses.emplace_back(title, n);
  }
  courseList = new TCourseListBoxADV(reinterpret_cast<uintptr_t>(this), 365, 100, widest + 20, 20, LobbyFont(), 0x1A0);
  courseList->entryHandler = OnCourseRow;
  courseList->SetMenuSound(1);
  for (const auto& [title, n] : courses) {
    CourseRecord r{};
    GetCourseInfo(n, &r);
    courseList->Add(title, n)->enabled = CourseOnHardDisk(&r) != 0;
  }
  courseIndex = course;
  courseList->Show(0, 0);
  AddHandler(courseList);
  games->Add(CreateItemText(commType), kCreateRow);
  games->Select(0, false);
  UpdateActionButton();
}

TNetGamesADV::~TNetGamesADV() {
  if (NetGamesScreen == this) NetGamesScreen = nullptr;
}

void TNetGamesADV::DrawAll(int flag) {
  TMenuADV::DrawAll(flag);
  ImageRecord* drawn = DrawnImage();
  DrawLabel(titleFonts[2], titleFonts[2], "Net Games", 160, 105, kTitle, kTitleShadow, nullptr, false, true);
  for (const auto& [text, x, y] : {std::tuple{"Players", 160, 147}, {"Games", 370, 147}, {"Chat Box", 160, 339}})
    DrawLabel(fonts[2], fonts[2], text, x, y, kTitle, kTitleShadow, nullptr, false, true);
  // The course button's label ends where the button begins.
  if (drawn) {
    FontSelect(fonts[2], drawn, kAlignLeft, Pixel565(0xFFFFFF), 0, 0, 0);
    const int32_t w = FontStringWidth("Course: ", 0);
    DrawLabel(fonts[2], fonts[2], "Course: ", courseButton->left - w, courseButton->top, 0xFFFFFF, 0, nullptr, false,
              true);
  }
}

void TNetGamesADV::OpenCourseList() {
  gCourseListOpen = true;
  int row = 0;
  for (int r = 0; r < courseList->Size(); ++r)
    if (courseList->At(r)->value == courseIndex) row = r;
  courseList->Select(row, false);
  courseList->Show(1, 0);
  courseList->Draw(0);
  if (current) current->SetFocus(0);
  SetCurrentHandler(courseList);
  courseList->SetFocus(1);
}

void TNetGamesADV::CloseCourseList() {
  gCourseListOpen = false;
  courseList->SetFocus(0);
  courseList->Show(0, 0);
  EraseAll(0);
  DrawAll(0);
  AddDirtyRect(MARect{0, 0, Facts().screenWidth, Facts().screenHeight});
}

void TNetGamesADV::OnCourseChosen() {
  const ListEntry* row = courseList->Current();
  const int chosen = row ? row->value : courseIndex;
  CloseCourseList();
  TGame* g = CurrentGame();
  if (!g || chosen == courseIndex) return;
  if (!MakeChosenCourseCurrent(chosen, courseIndex)) {
    Svc().frontEnd->RedrawFrontEnd();
    return;
  }
  CourseRecord r{};
  GetCourseInfo(chosen, &r);
  courseIndex = chosen;
  courseFolder = r.folder;
  courseName = r.title;
  if (const size_t caret = courseName.find('^'); caret != std::string::npos) courseName.resize(caret);
  courseButton->Erase(0);
  courseButton->SetText(courseName.c_str());
  courseButton->Draw(0);
  chat->Clear();
  RedrawList(chat);
  EnterCourseRoom();
}

int TNetGamesADV::OnPointerDown(int16_t x, int16_t y, uint8_t buttons) {
  // A press beside the open course list closes it, and then counts as usual.
  if (gCourseListOpen) {
    MARect list{}, button{};
    courseList->GetRect(&list);
    courseButton->GetRect(&button);
    const auto inside = [&](const MARect& r) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; };
    if (!inside(list) && !inside(button)) CloseCourseList();
  }
  return TMenuADV::OnPointerDown(x, y, buttons);
}

void TNetGamesADV::OnKeyDown(uint16_t code) {
  if (gCourseListOpen) {
    if (code == kKeyTab || code == kKeyEnter) {
      if (code == kKeyEnter) courseList->OnActivate(kKeyEnter);
      else CloseCourseList();
      if (code == kKeyEnter) return;
    } else if (code == kKeyUp || code == kKeyDown) {
      courseList->OnChar(code);
      return;
    }
  }
  if (code == 0x125 || code == 0x127) return;
  if (code == kKeyEnter && !chatBox->Text().empty()) {
    OnChatLine(chatBox);
    return;
  }
  TMenuADV::OnKeyDown(code);
}

int TNetGamesADV::OnIdle() {
  if (gHelpPending) {
    gHelpPending = false;
    ShowLobbyHelp();
    return 0;
  }
  const ListEntry* row = games->Current();
  SetControlHelp(games, row && row->value == kCreateRow ? "Create a New Game or Tournament" : "");
  TMenuADV::OnIdle();
  uint32_t code = 0, length = 0;
  uintptr_t value = 0;
  if (!gCourseListOpen && net::GetNextCommMessage(&code, &value, &length)) HandleCommMessage(code, value, length);
  return 1;
}

void TNetGamesADV::RedrawList(TListBoxADV* list) {
  list->Erase(0);
  list->Draw(0);
}

void TNetGamesADV::UpdateActionButton() {
  const ListEntry* row = games->Current();
  const char* caption = "";
  uint16_t key = 0;
  const char* help = nullptr;
  if (!row) {
  } else if (row->value == kCreateRow) {
    caption = "Create", key = 'r', help = "Create a New Game or Tournament";
  } else if (row->value & kNewGroupBit) {
    caption = "Add", key = 'a', help = "Create a New Group in an existing tournament";
  } else if (!(row->value & kTournamentBit)) {
    caption = "Join", key = 'j', help = "Join a Game or Group being formed";
  }
  actionButton->Erase(0);
  actionButton->SetText(caption);
  actionButton->SetHotKeys({key});
  if (help || (row && row->value & kTournamentBit)) SetControlHelp(actionButton, help ? help : "");
  actionButton->Draw(0);
}

int TNetGamesADV::RowOfValue(int32_t value) {
  for (int r = 0; r < games->Size(); ++r)
    if (games->At(r)->value == value) return r;
  return -1;
}

void TNetGamesADV::RemoveRowOfValue(int32_t value) {
  if (const int r = RowOfValue(value); r >= 0) games->Remove(games->At(r));
}

// Ids are kept in 29 bits so that the row kinds fit beside them.
int32_t TNetGamesADV::RowValue(uint32_t id) { return static_cast<int32_t>(id & 0x1FFFFFFF); }

bool TNetGamesADV::AddSessionRow(net::SessionEntry& e) {
  e.Terminate();
  const int level = e.bytes[0x2e];
  const int type = e.bytes[0x2c];
  const uint32_t clock = ReadLE32(e.bytes + 0x30);
  if (e.owner() == 0) {
    games->Add(FormatGameLine(LobbyFont(), e.name(), level, type, clock), RowValue(e.id()));
    return true;
  }
  const int32_t tour = RowValue(e.owner());
  if (e.id() == 0) {
    if (e.bytes[0x29] > 1 && !TourCardPresent) return false;
    if (RowOfValue(tour | kTournamentBit) >= 0) return false;
    games->Add(FormatGameLine(LobbyFont(), e.name(), level, type, clock), tour | kTournamentBit);
    games->Add("   New Group", tour | kNewGroupBit);
    return true;
  }
  // A group goes after its tournament's "New Group" row and the groups already there, unless the tournament is
  // closed.
  if (collapsed_.count(tour)) return false;
  int r = RowOfValue(tour | kNewGroupBit);
  if (r < 0) return false;
  ++r;
  while (r < games->Size() && games->At(r)->text.rfind("      ", 0) == 0) ++r;
  games->Insert(r, "      " + std::string(e.name()), RowValue(e.id()));
  return true;
}

void TNetGamesADV::ApplyAdvert(net::SessionEntry& e, bool added) {
  const ListEntry* row = games->Current();
  const bool hadRow = row != nullptr;
  const int32_t was = hadRow ? row->value : 0;
  games->Select(-1, false);
  int32_t made = 0;
  bool madeRow = false;
  if (e.owner() == 0 || e.id() != 0) {
    RemoveRowOfValue(RowValue(e.id()));
    if (added && AddSessionRow(e)) made = RowValue(e.id()), madeRow = e.owner() == 0;
  } else if (added) {
    AddSessionRow(e);
  } else {
    RemoveRowOfValue(RowValue(e.owner()) | kTournamentBit);
    RemoveRowOfValue(RowValue(e.owner()) | kNewGroupBit);
  }
  if (madeRow) games->Select(RowOfValue(made), false);  // scrolled into view
  games->Select(hadRow ? RowOfValue(was) : -1, false);
  UpdateActionButton();
  RedrawList(games);
}

void TNetGamesADV::RebuildGamesList() {
  games->Clear();
  games->Add(CreateItemText(commType), kCreateRow);
  if (net::SessionManager) {
    net::TSessionList& list = net::SessionManager->sessions;
    const int n = list.Count();
    // Games and tournaments first, so that every group finds its tournament.
    for (const bool groups : {false, true})
      for (int i = 0; i < n; ++i) {
        net::SessionEntry e;
        if (list.GetEntry(i, &e) && (e.owner() != 0 && e.id() != 0) == groups) AddSessionRow(e);
      }
  }
  games->Select(0, false);
  UpdateActionButton();
  RedrawList(games);
}

void TNetGamesADV::EnterCourseRoom() {
  players->Clear();
  games->Clear();
  games->Add(CreateItemText(commType), kCreateRow);
  games->Select(0, false);
  UpdateActionButton();
  net::SessionPlayerRecord record;
  record.bytes[0] = static_cast<uint8_t>(gameType);
  record.bytes[2] = static_cast<uint8_t>(level);
  WriteLE32(record.bytes + 4, shotClockChoice ? (shotClockChoice + 1) * 5 : 0);
  std::snprintf(record.lobbyName(), 32, "%s", courseFolder.c_str());
  if (net::SessionManager) {
    net::SessionManager->AnnouncePlayer(record);
    net::SessionManager->SetLocalPlayer(record);
  }
  RedrawList(players);
  RedrawList(games);
}

void TNetGamesADV::HandleCommMessage(uint32_t code, uintptr_t value, uint32_t length) {
  auto* body = reinterpret_cast<uint8_t*>(value);
  const bool owned = net::CommMessageOwnsValue(code);
  switch (code) {
    case net::kNotifySessionListComplete: RebuildGamesList(); break;
    case net::kNotifyServerMessage7:
      if (body && length >= 0x34) {
        if (ReadLE32(body + 4) & 1) players->Clear();
        const uint32_t count = body[0x32] | body[0x33] << 8;
        for (uint32_t i = 0; i < count && 0x34 + (i + 1) * net::kGolferEntrySize <= length; ++i) {
          const net::GolferEntry g = net::GetGolfer(body + 0x34 + i * net::kGolferEntrySize);
          players->Add(PlayerRow(g), static_cast<int32_t>(g.playerId));
          players->Select(players->Size() - 1, false);
        }
        players->Select(-1, false);
        RedrawList(players);
      }
      break;
    // A server text without words is not worth a message box.
    case net::kNotifyOperatorText:
      if (!BodyText(body, length).empty()) Notice(BodyText(body, length).c_str(), "Message from Server Operator:");
      break;
    case net::kNotifyStatusText:
      if (!BodyText(body, length).empty()) Notice(BodyText(body, length).c_str(), "Message from Server:");
      break;
    case net::kNotifySessionAdvert:
      if (body && length >= 0xc + net::kSessionEntrySize) {
        net::SessionEntry e;
        std::memcpy(e.bytes, body + 0xc, net::kSessionEntrySize);
        ApplyAdvert(e, ReadLE32(body + 8) != 0);
      }
      break;
    case net::kNotifySessionChat:
      if (body) {
        chat->Add(BodyText(body, length), 0);
        chat->Select(chat->Size() - 1, false);
        chat->Select(-1, false);
        RedrawList(chat);
      }
      break;
    case net::kNotifySessionStatus:
      switch (value) {
        case 0: EnterCourseRoom(); break;
        case 1: Notice("Could not connect to Server.", nullptr), LeaveNetGames(); return;
        case 3: Notice("Server closed connection.", nullptr), LeaveNetGames(); return;
        case 4:
          Notice("Your game is out of date and may have difficulty communicating with the server.  Please run the "
                 "\"Upgrade Check\" program to get the latest version.",
                 nullptr);
          LeaveNetGames();
          return;
        case 5: LeaveNetGames(); return;
        default: break;
      }
      break;
    case net::kNotifyPlayerAnnounce:
      if (body && length >= 0x10 + net::kGolferEntrySize) {
        const net::GolferEntry g = net::GetGolfer(body + 0x10);
        const std::string text = PlayerRow(g);
        ListEntry* listed = players->Find(text);
        if (ReadLE32(body + 8)) {
          if (!listed) {
            players->Add(text, static_cast<int32_t>(g.playerId));
            players->Select(players->Size() - 1, false);
            players->Select(-1, false);
          }
        } else if (listed) {
          players->Remove(listed);
        }
        RedrawList(players);
      }
      break;
    case kConnectionLost: {
      const std::string text = BodyText(body, length);
      if (owned) CommMessageFree(body);
      Notice(text.c_str(), nullptr);
      LeaveNetGames();
      return;
    }
    default: break;
  }
  if (owned && body) CommMessageFree(body);
}

void TNetGamesADV::ToggleGroups(int32_t tour) {
  if (!collapsed_.erase(tour)) collapsed_.insert(tour);
  const ListEntry* row = games->Current();
  const int32_t was = row ? row->value : kCreateRow;
  RebuildGamesList();
  games->Select(RowOfValue(was), false);
  UpdateActionButton();
  RedrawList(games);
}

void TNetGamesADV::OnAction() {
  const ListEntry* row = games->Current();
  if (!row || row->value == kCreateRow || (row->value & kTournamentBit)) CreateNewGame();
  else if (row->value & kNewGroupBit) AddGroup(static_cast<uint32_t>(row->value & ~kNewGroupBit));
  else JoinGame(static_cast<uint32_t>(row->value));
}

void SetUpNetGolfer(int golferLevel) {
  TGame* g = CurrentGame();
  if (!g) return;
  for (int s = 0; s < TPlayerList::kSlots; ++s)
    if (TPlayer* p = g->players->GetPlayer(s)) {
      p->Reset();
      p->flags &= ~kGolferTakesPart;
    }
  g->ResetPlayOrder();
  TPlayer* me = g->players->GetPlayer(0);
  playerInfo_s record;
  if (LoadGolferFile(net::NetGolferFolder, NetGolferName, record) == 0) me->AttachRecord(record, 0);
  std::memset(me->name, 0, sizeof me->name);
  std::strncpy(me->name, NetGolferName, sizeof me->name - 1);
  me->flags |= kGolferTakesPart;
  g->SetNetworkGame(1);
  me->SetLevel(golferLevel);
}

bool MakeChosenCourseCurrent(int chosen, int previous) {
  TGame* g = CurrentGame();
  if (!g) return false;
  if (g->SetCurrentCourse(chosen) != 1) {
    Notice("Unable to set selected course!", nullptr);
    g->SetCurrentCourse(previous);
    return false;
  }
  if (!EnsureCourseData(1)) {
    g->SetCurrentCourse(previous);
    return false;
  }
  return true;
}

bool CreateNetGame(int mode, int gameType, int golferLevel) {
  const NetGameType& type = GetNetGameType(gameType);
  if (!Svc().game->CreateGame(mode)) return false;
  TGame* g = CurrentGame();
  g->SetNetworkGame(1);
  SetUpNetGolfer(golferLevel);
  g->state.round = 0;
  if (type.holes > 0) {
    g->state.firstHole = static_cast<uint16_t>(type.firstHole);
    g->state.hole = static_cast<uint16_t>(type.firstHole);
    g->state.holeCount = static_cast<uint16_t>(type.holes);
  }
  return true;
}

void TNetGamesADV::SetUpLocalGolfer(int golferLevel) {
  SetUpNetGolfer(golferLevel);
  TGame* g = CurrentGame();
  if (!g) return;
  // A validated tournament player's scores of the earlier rounds.
  TPlayer* me = g->players->GetPlayer(0);
  for (size_t round = 0; round < validated_.scores.size(); ++round)
    me->SetHoleScore(static_cast<int>(round), 0, validated_.scores[round], 0);
}

bool TNetGamesADV::PrepareNetGame() {
  const int mode = gameType == 0 ? (commType == 0 ? kModeNetTournament : kModeTournament) : GetNetGameType(gameType).mode;
  if (!CreateNetGame(mode, gameType, level)) return false;
  SetUpLocalGolfer(level);
  TGame* g = CurrentGame();
  g->SetShotClock(shotClockChoice > 0);
  if (shotClockChoice > 0) g->shotTimeLimit = (shotClockChoice + 1) * 5;
  g->SetFastPlay(fastPlay != 0);
  return g->SetCurrentCourseByName(courseFolder.c_str()) == 1;
}

// The session entry of a game or group this machine hosts: its first player is this machine's golfer.
net::SessionEntry TNetGamesADV::HostedEntry(const char* name, uint32_t owner, const uint8_t* address) {
  net::SessionEntry e;
  e.setOwner(owner);
  std::snprintf(e.name(), 32, "%s", name);
  e.bytes[0x2c] = static_cast<uint8_t>(gameType);
  e.bytes[0x2e] = static_cast<uint8_t>(level);
  WriteLE32(e.bytes + 0x30, shotClockChoice ? (shotClockChoice + 1) * 5 : 0);
  std::snprintf(e.lobbyName(), 32, "%s", courseFolder.c_str());
  std::memcpy(e.hostAddress(), address, 16);
  net::GolferEntry me;
  me.playerId = net::CommObject ? net::CommObject->GetLocalId() : 1;
  me.flags = 1;
  net::FindNetGolfer(NetGolferName, &me.golferId);
  net::SetGolferName(me, NetGolferName);
  net::PutGolfer(e.slot(0), me);
  return e;
}

void TNetGamesADV::HostSession(const char* name, uint32_t owner, const char* lobbyName) {
  auto* comm = dynamic_cast<net::CSockComm*>(net::CommObject);
  if (!PrepareNetGame() || !comm) {
    Notice("Unable to set selected course!", nullptr);
    return;
  }
  uint8_t address[16] = {};
  comm->StartHost(address);
  net::SessionEntry entry = HostedEntry(name, owner, address);
  if (lobbyName) std::snprintf(entry.lobbyName(), 32, "%s", lobbyName);
  std::memcpy(CurrentSessionEntry, entry.bytes, sizeof CurrentSessionEntry);
  if (net::SessionManager) net::SessionManager->CreateSession(&entry);
  ShowNetHostScreen();
}

void TNetGamesADV::CreateNewGame() {
  validated_ = ValidationResult{};
  NewGameChoice choice;
  choice.gameType = gameType;
  choice.level = level;
  if (ShowNewGameDialog(commType == 0, &choice) != 1) {
    Svc().frontEnd->RedrawFrontEnd();
    return;
  }
  gameName = choice.name;
  gameType = choice.gameType;
  level = choice.level;
  shotClockChoice = static_cast<uint32_t>(choice.shotClock);
  fastPlay = choice.fastPlay;
  HostSession(gameName.c_str(), 0, nullptr);
}

void TNetGamesADV::AddGroup(uint32_t tour) {
  net::SessionEntry tournament;
  if (!net::SessionManager || !net::SessionManager->sessions.FindByOwner(tour, &tournament)) return;
  tournament.Terminate();
  validated_ = ValidationResult{};
  if ((tournament.bytes[0x28] & 1) && TournamentLogin(tournament.bytes, &validated_) != 1) {
    Svc().frontEnd->RedrawFrontEnd();
    return;
  }
  gameType = tournament.bytes[0x2c] < kNetGameTypes ? tournament.bytes[0x2c] : 1;
  level = tournament.bytes[0x2e] < 4 ? tournament.bytes[0x2e] : 0;
  const uint32_t seconds = ReadLE32(tournament.bytes + 0x30);
  shotClockChoice = seconds >= 10 && seconds <= 60 ? seconds / 5 - 1 : 0;
  HostSession("", tour, tournament.lobbyName());
}

void TNetGamesADV::JoinGame(uint32_t id) {
  net::SessionEntry entry;
  if (!net::SessionManager || !net::SessionManager->sessions.FindById(id, &entry)) return;
  entry.Terminate();
  net::SessionEntry tournament;
  const bool group = entry.owner() != 0 && net::SessionManager->sessions.FindByOwner(entry.owner(), &tournament);
  if (group) tournament.Terminate();
  std::string line = std::string(NetGolferName, strnlen(NetGolferName, sizeof NetGolferName)) + " has joined \"";
  if (group) line += std::string(tournament.name()) + "/";
  line += std::string(entry.name()) + "\"";
  net::SessionManager->SendChat(line.substr(0, 83).c_str());
  validated_ = ValidationResult{};
  if (group && (tournament.bytes[0x28] & 1) && TournamentLogin(tournament.bytes, &validated_) != 1) {
    Svc().frontEnd->RedrawFrontEnd();
    return;
  }
  auto* comm = dynamic_cast<net::CSockComm*>(net::CommObject);
  if (!comm) return;
  comm->JoinHost(entry.hostAddress());
  net::SessionManager->RefreshSessions();
  std::memcpy(CurrentSessionEntry, entry.bytes, sizeof CurrentSessionEntry);
  // The game arrives from the host at Tee Off; until then this machine's golfer waits in slot 0.
  if (!CurrentGame()) Svc().game->CreateGame(kModeStroke);
  SetUpLocalGolfer(entry.bytes[0x2e] < 4 ? entry.bytes[0x2e] : 0);
  ShowNetJoinScreen();
}

// ---- entry and exit ------------------------------------------------------------------------------------------------

void ShowNetGamesScreen() {
  ReplaceCurrentScreen(nullptr);
  if (auto* comm = dynamic_cast<net::CSockComm*>(net::CommObject)) comm->SetLocalGolfer(NetGolferName);
  auto* lobby = new TNetGamesADV(net::CommObject ? net::GetCommType() : gCommType);
  ReplaceCurrentScreen(lobby);
  if (TGame* g = CurrentGame()) g->SetNetworkGame(1);
  lobby->EnterCourseRoom();
  WriteLogLine(("Net games lobby opened: " + lobby->courseName).c_str());
}

CConnectStatusDialog* ConnectStatus = nullptr;

void CloseStatusDialog() {
  delete ConnectStatus;
  ConnectStatus = nullptr;
}

void EndConnectStatus(int status) {
  CloseStatusDialog();
  if (status == 0) {
    if (NetGamesScreen) NetGamesScreen->EnterCourseRoom();
  } else if (status == 1 || status == kConnectCancelled) {
    if (status == 1) Notice("Could not connect to Server.", nullptr);
    LeaveNetGames();
  }
}

void EnterNetGames(int commType) {
  gCommType = commType;
  // The help opens by itself on the first visit only.
  {
    RegistryMgr network("Network", true);
    DWORD help = 1;
    if (!network.ReadValue("DoHelp", &help, sizeof help) || help != 0) {
      network.WriteValue("DoHelp", static_cast<DWORD>(0));
      gHelpPending = true;
    }
  }
  ShowNetGamesScreen();
  if (commType == 0) {
    CloseStatusDialog();
    ConnectStatus = new CConnectStatusDialog();
    ConnectStatus->DrawAll(0);
  }
}

void LeaveNetGames() {
  CloseStatusDialog();
  net::DestroyCommLayer();
  net::NetPlayStage = 0;
  Svc().sound->FadeMenuSounds();
  if (TGame* g = CurrentGame()) g->SetNetworkGame(0);
  ShowMainMenu();
}
