// The network clubhouse over a scripted comm object: the group edited on the host and followed on a joining
// machine, the start exchange and its failures, the mesh wait, damaged game set-ups, and the lobby's new-game
// dialog.
#include <tuple>

#include "framework/core/commqueue.h"
#include "framework/core/registry.h"
#include "frontend/lobbydlg.h"
#include "frontend/modemplay.h"
#include "frontend/netclub.h"
#include "frontend/netgames.h"
#include "frontend/netscreens.h"
#include "screenfixture.h"
#include "net/commlayer.h"
#include "net/golferentry.h"
#include "net/sockcomm.h"
#include "platformlib/core/byteorder.h"
#include "framework/core/utils.h"
#include "winapi_registry.h"

namespace {

constexpr uint32_t kPlayerInfo = 0x71b, kGameSetUp = 0x704;

// The comm object of this machine; the machines it talks to answer as `peer` says.
class ScriptedComm : public net::CCommBase {
 public:
  struct Peer {
    bool sendsGolfer = true;  // answers the golfer request
    uint32_t count = 0;       // the player count its golfer record reports (0: the host's)
    bool acknowledges = true;  // answers the start request
    bool lacksCourse = false;  // answers the start request that it cannot take part
    uint32_t dropsLinkAt = 0;  // the request (0x71a or 0x1414) that the link fails on instead of an answer
  };
  void SendGameData(uint32_t destination, const void* data, uint32_t) override {
    const auto* b = static_cast<const uint8_t*>(data);
    sent.push_back({destination, ReadLE32(b)});
  }
  void BroadcastGameData(uint32_t, const void*, uint32_t) override {}
  void SendGameWords(uint32_t destination, uint32_t a, uint32_t) override {
    sent.push_back({destination, a});
    if (a == peer.dropsLinkAt) {
      GuardedQueuePush(CommQueue, 0x701, 0, 0);
      return;
    }
    if (a == 0x71a && peer.sendsGolfer) QueuePlayerInfo(destination, peer.count ? peer.count : players);
    if (a == 0x1414 && peer.acknowledges)
      GuardedQueuePush(CommQueue, 0, peer.lacksCourse ? 0x1416 : 0x1415, destination);
  }
  void BroadcastGameWords(uint32_t, uint32_t a, uint32_t) override { sent.push_back({0, a}); }
  void SendToOthers(const void*, uint32_t) override {}
  int SetLocalGolfer(const char*) override { return 1; }
  uint32_t GetLocalId() override { return localId; }
  void BuildPlayerList(int) override {}
  int GetPlayerCount() override { return static_cast<int>(players); }
  const uint8_t* GetPlayerEntry(int) override { return entry_; }
  void DropPlayer(uint32_t) override {}
  void BeginGame() override {}

  // A golfer record from `from`, as the comm thread queues it.
  static void QueuePlayerInfo(uint32_t from, uint32_t count) {
    std::vector<uint8_t> info(2000, 0);
    WriteLE32(info.data(), kPlayerInfo);
    WriteLE32(info.data() + 4, count);
    TPlayer golfer;
    std::snprintf(golfer.name, sizeof golfer.name, "Guest%u", from);
    SerialTarget s = SerialTarget::OverMemory(info.data() + 8, info.size() - 8);
    golfer.WriteToStream(&s);
    const uint32_t n = static_cast<uint32_t>(s.cursor - info.data()) + 1;
    uint8_t* message = CommMessageAlloc(n + 8);
    WriteLE32(message, from);
    WriteLE32(message + 4, n);
    std::memcpy(message + 8, info.data(), n);
    GuardedQueuePush(CommQueue, kPlayerInfo, reinterpret_cast<uintptr_t>(message), 0);
  }
  bool Sent(uint32_t destination, uint32_t code) const {
    for (const auto& [d, c] : sent)
      if (d == destination && c == code) return true;
    return false;
  }

  uint32_t localId = 1, players = 2;
  Peer peer;
  std::vector<std::pair<uint32_t, uint32_t>> sent;  // destination, first word

 private:
  uint8_t entry_[56] = {};
};

// The host's game set-up (0x704 from machine 1) as the comm thread queues it: `gameBytes` of a saved game for the
// golfer of `slot`, the length word as given, the game after its first words overwritten when `damage`.
void QueueGameSetUp(const uint8_t* game, uint32_t gameBytes, uint32_t mode, uint32_t slot, uint32_t length,
                    bool damage = false) {
  const uint32_t n = std::max<uint32_t>(length, 32);
  uint8_t* m = CommMessageAlloc(8 + std::max<uint32_t>(n, 32 + gameBytes));
  WriteLE32(m, 1);
  WriteLE32(m + 4, length);
  WriteLE32(m + 8, kGameSetUp);
  WriteLE32(m + 8 + 24, mode);
  WriteLE32(m + 8 + 28, slot);
  std::memcpy(m + 8 + 32, game, gameBytes);
  if (damage) std::memset(m + 8 + 32 + 6, 0xFF, gameBytes - 6);
  GuardedQueuePush(CommQueue, kGameSetUp, reinterpret_cast<uintptr_t>(m), 0);
}

std::vector<std::string> Rows(TListBoxADV* list) {
  std::vector<std::string> rows;
  for (int r = 0; r < list->Size(); ++r) rows.push_back(list->At(r)->text);
  return rows;
}

uint8_t* Golfer(uint32_t id, const char* name, uint16_t number, uint32_t behind = 0, uint32_t flags = 0) {
  uint8_t* body = CommMessageAlloc(behind + net::kGolferEntrySize);
  net::GolferEntry e;
  e.playerId = id;
  e.golferId = number;
  e.flags = flags;
  net::SetGolferName(e, name);
  net::PutGolfer(body + behind, e);
  return body;
}

uint8_t* Chat(const char* text) {
  const uint32_t n = static_cast<uint32_t>(std::strlen(text)) + 1;
  uint8_t* body = CommMessageAlloc(n);
  std::memcpy(body, text, n);
  return body;
}

}  // namespace

class ClubhouseTest : public ScreensTest {
 protected:
  void SetUp() override {
    ScreensTest::SetUp();
    registry_ = (std::filesystem::temp_directory_path() / ("club_registry_" + std::to_string(getpid()) + ".txt")).string();
    winapi::registry::UseFile(registry_);
    RegistryMgr("Network", true).WriteValue("DoHelp", static_cast<DWORD>(0));
    std::snprintf(NetGolferName, sizeof NetGolferName, "Netta");
    CommQueue = GuardedQueueCreate(&queue_);
    net::CommObject = net::RoundComm = &comm_;
    std::memset(CurrentSessionEntry, 0, sizeof CurrentSessionEntry);
    CurrentSessionEntry[0x2c] = 3;
    CurrentSessionEntry[0x2e] = 1;
  }
  void TearDown() override {
    Svc().frontEnd->DeleteCurrentScreen();
    net::CommObject = net::RoundComm = nullptr;
    GuardedQueueDestroy(&queue_);
    CommQueue = nullptr;
    winapi::registry::UseFile("");
    std::filesystem::remove(registry_);
    ScreensTest::TearDown();
  }
  // The host's clubhouse over a game of the mode, with joiners 2, 3, ... in the Pro Shop.
  TNetHostADV* Host(int mode, int joiners) {
    Svc().game->CreateGame(mode);
    ShowNetHostScreen();
    auto* host = dynamic_cast<TNetHostADV*>(ClubhouseScreen);
    static const char* const kNames[] = {"Ada", "Bram", "Cleo", "Dov", "Ezra"};
    for (int j = 0; j < joiners; ++j)
      host->HandleCommMessage(net::kNotifyPlayerJoined, reinterpret_cast<uintptr_t>(Golfer(2 + j, kNames[j], 7 + j)));
    return host;
  }
  void Tee(TNetHostADV* host, int count) {
    for (int i = 0; i < count; ++i) {
      host->proShop->Select(0, false);
      host->AddSelected();
    }
  }
  ScriptedComm comm_;
  GuardedQueue queue_{};
  std::string registry_;
};

TEST_F(ClubhouseTest, TheHostEditsTheGroupWithinItsLimits) {
  TNetHostADV* host = Host(kModeStroke, 5);
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(Rows(host->onTee), (std::vector<std::string>{"Netta (0)"}));
  EXPECT_FALSE(host->onTee->At(0)->enabled);
  EXPECT_EQ(Rows(host->proShop), (std::vector<std::string>{"Ada (7)", "Bram (8)", "Cleo (9)", "Dov (10)", "Ezra (11)"}));
  // Four on the tee at most: the fifth stays in the Pro Shop and Add is off.
  Tee(host, 4);
  EXPECT_EQ(Rows(host->onTee), (std::vector<std::string>{"Netta (0)", "Ada (7)", "Bram (8)", "Cleo (9)"}));
  EXPECT_EQ(Rows(host->proShop), (std::vector<std::string>{"Dov (10)", "Ezra (11)"}));
  EXPECT_EQ(host->addButton->MA_EventHandler::IsShownAndEnabled(), 0);
  EXPECT_TRUE(comm_.sent.empty()) << "the scripted comm object is not the peer object, which tells the group";
  // The host's own golfer cannot be removed; another can.
  host->onTee->Select(0, false);
  host->RemoveSelected();
  EXPECT_EQ(host->onTee->Size(), 4);
  host->onTee->Select(2, false);
  host->RemoveSelected();
  EXPECT_EQ(Rows(host->onTee), (std::vector<std::string>{"Netta (0)", "Ada (7)", "Cleo (9)"}));
  // A golfer who leaves goes from whichever list holds him.
  host->HandleCommMessage(net::kNotifyPlayerLeft, reinterpret_cast<uintptr_t>(Golfer(2, "Ada", 7)));
  host->HandleCommMessage(net::kNotifyPlayerLeft, reinterpret_cast<uintptr_t>(Golfer(5, "Dov", 10)));
  EXPECT_EQ(Rows(host->onTee), (std::vector<std::string>{"Netta (0)", "Cleo (9)"}));
  EXPECT_EQ(Rows(host->proShop), (std::vector<std::string>{"Ezra (11)", "Bram (8)"}));
}

TEST_F(ClubhouseTest, MatchPlayTakesTwoOnTheTeeAlsoByDoubleClick) {
  TNetHostADV* host = Host(kModeMatchPlay, 3);
  Tee(host, 1);
  EXPECT_EQ(host->onTee->Size(), 2);
  host->proShop->Select(0, false);
  EXPECT_EQ(host->addButton->MA_EventHandler::IsShownAndEnabled(), 0);
  host->proShop->inputBits = 8;  // a double click on the row
  host->proShop->entryHandler(host->proShop, host->proShop->Current());
  EXPECT_EQ(host->onTee->Size(), 2);
  EXPECT_EQ(host->proShop->Size(), 2);
}

TEST_F(ClubhouseTest, AJoiningMachineFollowsTheHostsGroup) {
  ShowNetJoinScreen();
  auto* join = dynamic_cast<TNetJoinADV*>(ClubhouseScreen);
  ASSERT_NE(join, nullptr);
  // The group as the host sends it: a name that fills its field is cut inside it.
  uint8_t* list = CommMessageAlloc(8 + 3 * net::kGolferEntrySize);
  WriteLE32(list, net::kGolferList);
  WriteLE32(list + 4, 3);
  const struct {
    uint32_t id;
    const char* name;
    uint32_t flags;
  } group[] = {{3, "Cleo", 0}, {1, "Netta", 2}, {2, "Ada", 2}};
  for (int i = 0; i < 3; ++i) {
    net::GolferEntry e;
    e.playerId = group[i].id;
    e.flags = group[i].flags;
    e.golferId = static_cast<uint16_t>(i);
    net::SetGolferName(e, group[i].name);
    net::PutGolfer(list + 8 + net::kGolferEntrySize * i, e);
  }
  join->HandleCommMessage(net::kNotifyGolferList, reinterpret_cast<uintptr_t>(list));
  EXPECT_EQ(Rows(join->proShop), (std::vector<std::string>{"Cleo (0)"}));
  EXPECT_EQ(Rows(join->onTee), (std::vector<std::string>{"Netta (1)", "Ada (2)"}));
  join->HandleCommMessage(net::kNotifyGolferAdded, reinterpret_cast<uintptr_t>(Golfer(4, "Dov", 5, 4)));
  join->HandleCommMessage(net::kNotifyPlayerReady, 4);
  join->HandleCommMessage(net::kNotifyPlayerNotReady, 2);
  join->HandleCommMessage(net::kNotifyGolferRemoved, reinterpret_cast<uintptr_t>(Golfer(3, "Cleo", 0, 4)));
  EXPECT_EQ(Rows(join->proShop), (std::vector<std::string>{"Ada (2)"}));
  EXPECT_EQ(Rows(join->onTee), (std::vector<std::string>{"Netta (1)", "Dov (5)"}));
  join->HandleCommMessage(net::kNotifyChatText, reinterpret_cast<uintptr_t>(Chat("Ada: ready when you are")));
  EXPECT_EQ(Rows(join->chat), (std::vector<std::string>{"Ada: ready when you are"}));
}

TEST_F(ClubhouseTest, TeeOffStartsTheGroupOrSaysWhyNot) {
  const struct Case {
    const char* name;
    int mode, onTee;
    ScriptedComm::Peer peer;
    const char* notice;  // "" none
    bool staysInClubhouse, started;
  } cases[] = {
      {"skins alone", kModeSkins, 0, {}, "Not enough players selected for this game type.", true, false},
      {"no golfer comes", kModeStroke, 1, {false, 0, true}, "Player did not respond to our game startup message", false, false},
      {"another group seen", kModeStroke, 1, {true, 5, true}, "Players not setup correctly. Wait and try again or exit the Clubhouse", true, false},
      {"no acknowledgement", kModeStroke, 1, {true, 0, false}, "", false, false},
      {"started", kModeStroke, 1, {}, "", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    comm_.sent.clear();
    comm_.peer = c.peer;
    comm_.players = 1 + c.onTee;
    TNetHostADV* host = Host(c.mode, 2);
    Tee(host, c.onTee);
    const std::string before = LastMessageText();
    PostMessageA(nullptr, WM_CHAR, 13, 0);  // the notice's Ok, when one comes
    host->TeeOff();
    EXPECT_EQ(LastMessageText() == before ? std::string() : LastMessageText(), c.notice);
    EXPECT_EQ(ClubhouseScreen != nullptr, c.staysInClubhouse);
    if (c.started) {
      EXPECT_EQ(CurrentScreen, nullptr) << "the round takes the screen";
      EXPECT_TRUE(comm_.Sent(2, kGameSetUp));
      EXPECT_TRUE(comm_.Sent(3, 0x1413)) << "the golfer left in the Pro Shop hears the group has gone";
      EXPECT_TRUE(comm_.Sent(0, 0x705));
      EXPECT_EQ(NetGameStarting, 1u);
      TGame* g = CurrentGame();
      EXPECT_EQ(g->players->GetPlayer(0)->machineId, 1u);
      EXPECT_EQ(std::string(g->players->GetPlayer(1)->name), "Guest2");
    } else if (!c.staysInClubhouse) {
      EXPECT_NE(NetGamesScreen, nullptr) << "back in the lobby";
      EXPECT_FALSE(comm_.Sent(0, 0x705));
    }
    if (std::string(c.name) == "no acknowledgement") {
      EXPECT_TRUE(comm_.Sent(2, 0x1413));
    }
    NetGameStarting = 0;
    Drain();
    MSG m;
    while (GuardedQueuePop(CommQueue, &m))
      if (m.wParam == kPlayerInfo) CommMessageFree(reinterpret_cast<uint8_t*>(m.lParam));
  }
}

// Three or more on the tee wait for the machines to connect to each other; once they have, the wait is over,
// also when the start that follows keeps the clubhouse open.
TEST_F(ClubhouseTest, TheMeshWaitEndsWhenTheGroupIsConnected) {
  for (const bool connected : {false, true}) {
    SCOPED_TRACE(connected ? "connected" : "never connected");
    comm_.players = 3;
    comm_.peer = {true, 9, true};  // the start stops at "Players not setup correctly", keeping the clubhouse
    TNetHostADV* host = Host(kModeStroke, 2);
    Tee(host, 2);
    host->TeeOff();
    EXPECT_EQ(host->meshWait, 1u);
    if (connected) {
      PostMessageA(nullptr, WM_CHAR, 13, 0);
      comm_.Notify(net::kNotifyGroupConnected, 0);
      host->OnIdle();
      EXPECT_EQ(LastMessageText(), "Players not setup correctly. Wait and try again or exit the Clubhouse");
      ASSERT_EQ(ClubhouseScreen, host);
    }
    winapi::testing::AdvanceClock(61000);
    const std::string before = LastMessageText();
    PostMessageA(nullptr, WM_CHAR, 13, 0);
    host->OnIdle();
    Drain();
    if (connected) {
      EXPECT_EQ(ClubhouseScreen, host) << "no time-out after the group connected";
      EXPECT_EQ(LastMessageText(), before);
    } else {
      EXPECT_EQ(LastMessageText(), "Timeout waiting for players to connect to each other.");
      EXPECT_EQ(ClubhouseScreen, nullptr);
      EXPECT_NE(NetGamesScreen, nullptr);
    }
    MSG m;
    while (GuardedQueuePop(CommQueue, &m))
      if (m.wParam == kPlayerInfo) CommMessageFree(reinterpret_cast<uint8_t*>(m.lParam));
  }
}

// A game set-up from the host: a damaged one fails as a lost one does, and nothing of it is trusted.
TEST_F(ClubhouseTest, AJoiningMachineTakesOnlyASoundGameSetUp) {
  Svc().game->CreateGame(kModeSkins);
  CurrentGame()->courseName = "SEDGEFEN";
  CurrentGame()->state.holeCount = 9;
  std::vector<uint8_t> game(7468, 0);
  SerialTarget s = SerialTarget::OverMemory(game.data(), game.size());
  ASSERT_TRUE(CurrentGame()->SaveToStream(&s));
  const uint32_t gameBytes = static_cast<uint32_t>(s.cursor - game.data());
  const auto setUp = [&](uint32_t mode, uint32_t slot, uint32_t length, bool damage = false) {
    QueueGameSetUp(game.data(), gameBytes, mode, slot, length, damage);
  };
  const struct Case {
    const char* name;
    uint32_t mode, slot, length;
    bool damage, cancel, started;
  } cases[] = {
      {"sound", kModeSkins, 2, 32 + gameBytes, false, false, true},
      {"no such mode", 5, 1, 32 + gameBytes, false, false, false},
      {"mode far outside", 0x7fffffff, 1, 32 + gameBytes, false, false, false},
      {"golfer beyond the group", kModeSkins, 4, 32 + gameBytes, false, false, false},
      {"too short", kModeSkins, 1, 30, false, false, false},
      {"longer than a set-up", kModeSkins, 1, 7501, false, false, false},
      {"damaged game", kModeSkins, 1, 32 + gameBytes, true, false, false},
      {"cancelled while waiting", kModeSkins, 1, 32 + gameBytes, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    comm_.sent.clear();
    Svc().game->CreateGame(kModeStroke);
    CurrentGame()->state.holeCount = 18;
    ShowNetJoinScreen();
    auto* join = dynamic_cast<TNetJoinADV*>(ClubhouseScreen);
    ASSERT_NE(join, nullptr);
    // The group on the tee, in the host's order: the machines' golfers take the slots in it.
    for (uint32_t id : {1u, 4u, 2u}) {
      join->HandleCommMessage(net::kNotifyGolferAdded, reinterpret_cast<uintptr_t>(Golfer(id, "Guest", 0, 4)));
      join->HandleCommMessage(net::kNotifyPlayerReady, id);
    }
    setUp(c.mode, c.slot, c.length, c.damage);
    GuardedQueuePush(CommQueue, c.cancel ? 0x1413 : 0, c.cancel ? 0 : 0x1414, 1);
    PostMessageA(nullptr, WM_CHAR, 13, 0);
    join->OnIdle();
    Drain();
    ASSERT_NE(CurrentGame(), nullptr) << "a bad mode never leaves the machine without a game";
    if (c.started) {
      EXPECT_EQ(CurrentScreen, nullptr);
      EXPECT_TRUE(comm_.Sent(1, 0x1415));
      EXPECT_EQ(CurrentGame()->mode, kModeSkins);
      EXPECT_EQ(CurrentGame()->localPlayer, 2u);
      EXPECT_EQ(CurrentGame()->state.holeCount, 9);
      for (int slot = 0; slot < 3; ++slot)
        EXPECT_EQ(CurrentGame()->players->GetPlayer(slot)->machineId, (std::vector<uint32_t>{1, 4, 2}[slot]));
    } else {
      EXPECT_EQ(LastMessageText(), "The Game Setup Failed");
      EXPECT_NE(NetGamesScreen, nullptr);
      EXPECT_FALSE(comm_.Sent(1, 0x1415));
    }
    MSG m;
    while (GuardedQueuePop(CommQueue, &m))
      if (m.wParam == kGameSetUp) CommMessageFree(reinterpret_cast<uint8_t*>(m.lParam));
  }
}

TEST_F(ClubhouseTest, TheHostsCancelReachesAWaitingMachine) {
  ShowNetJoinScreen();
  GuardedQueuePush(CommQueue, 0x1413, 0, 0);
  PostMessageA(nullptr, WM_CHAR, 13, 0);
  ClubhouseScreen->OnIdle();
  EXPECT_EQ(LastMessageText(), "The group on the tee has started their round.");
  EXPECT_EQ(ClubhouseScreen, nullptr);
  EXPECT_NE(NetGamesScreen, nullptr);
}

TEST_F(ClubhouseTest, GoldenClubhouseOfFour) {
  TNetHostADV* host = Host(kModeStroke, 4);
  Tee(host, 3);
  CurrentGame()->SetOptionField(0, 1);
  CurrentGame()->SetOptionField(1, 1);
  CurrentGame()->SetOptionField(2, 0);
  WriteLE32(CurrentSessionEntry + 0x30, 30);
  EXPECT_EQ(host->DescriptionLine(1), "Amateur-Stroke all 18, 30s shot clock");
  EXPECT_EQ(host->DescriptionLine(2), "breezy, gusting winds");
  EXPECT_EQ(host->DescriptionLine(3), "dry fairways");
  host->HandleCommMessage(net::kNotifyChatText, reinterpret_cast<uintptr_t>(Chat("Ada: four of us today")));
  host->HandleCommMessage(net::kNotifyChatText, reinterpret_cast<uintptr_t>(Chat("Netta: tee off in a minute")));
  host->EraseAll(0);
  host->DrawAll(0);
  d3dtest::ExpectGolden(Shrunk(), "clubhouse4", 2, "frontend");
}

TEST_F(ClubhouseTest, TheNewGameDialogLocksFastPlayForTournamentsAndWantsAName) {
  EnterNetGames(1);
  ASSERT_NE(NetGamesScreen, nullptr);
  CNewGameDialog dialog(false, 3, 1);
  EXPECT_EQ(dialog.choices[CNewGameDialog::kMode]->GetIndex(), 3);
  EXPECT_EQ(dialog.choices[CNewGameDialog::kLevel]->GetIndex(), 1);
  EXPECT_EQ(dialog.choices[CNewGameDialog::kFastPlay]->GetIndex(), 1);
  dialog.choices[CNewGameDialog::kFastPlay]->SetIndex(0);
  dialog.choices[CNewGameDialog::kMode]->SetIndex(0);
  dialog.FollowMode();
  EXPECT_EQ(dialog.choices[CNewGameDialog::kFastPlay]->GetIndex(), 1);
  EXPECT_EQ(dialog.choices[CNewGameDialog::kFastPlay]->MA_EventHandler::IsShownAndEnabled(), 0);
  dialog.choices[CNewGameDialog::kMode]->SetIndex(5);
  dialog.FollowMode();
  EXPECT_NE(dialog.choices[CNewGameDialog::kFastPlay]->MA_EventHandler::IsShownAndEnabled(), 0);
  EXPECT_EQ(dialog.choices[CNewGameDialog::kFastPlay]->GetIndex(), 1);
  dialog.DrawAll(0);
  d3dtest::ExpectGolden(Shrunk(), "newgame", 2, "frontend");
  // Enter in the empty name asks for one and keeps the dialog open.
  PostMessageA(nullptr, WM_CHAR, 13, 0);
  dialog.name->clickHandler(dialog.name);
  EXPECT_EQ(LastMessageText(), "Please enter a name for the Game.");
  EXPECT_FALSE(dialog.Done());
  dialog.name->SetText("Sunday four");
  dialog.name->clickHandler(dialog.name);
  EXPECT_TRUE(dialog.Done());
}

// The course drop-down lies over the lobby's lists: while it is open they neither take the focus nor fire and no
// comm message is taken; a chosen course becomes the lobby's room.
TEST_F(ClubhouseTest, TheCourseListOpensOverTheLobbyAndChangesItsRoom) {
  CurrentGame()->SetCurrentCourseByName("SEDGEFEN");
  EnterNetGames(1);
  TNetGamesADV* lobby = NetGamesScreen;
  ASSERT_NE(lobby, nullptr);
  EXPECT_EQ(Rows(lobby->courseList), (std::vector<std::string>{"Marshdale", "Sedgefen"}));
  EXPECT_EQ(lobby->courseFolder, "SEDGEFEN");
  lobby->chat->Add("Ada: hello", 0);
  lobby->courseButton->clickHandler(lobby->courseButton);
  for (MA_EventHandler* under : std::initializer_list<MA_EventHandler*>{lobby->games, lobby->players, lobby->chat, lobby->chatBox})
    EXPECT_EQ(under->IsShownAndEnabled(), 0);
  ASSERT_NE(lobby->courseList->Current(), nullptr);
  EXPECT_EQ(lobby->courseList->Current()->text, "Sedgefen");
  comm_.Notify(net::kNotifySessionStatus, 2);
  lobby->OnIdle();
  // Up moves through the list without choosing; Enter chooses.
  lobby->OnKeyDown(kKeyUp);
  EXPECT_EQ(lobby->courseFolder, "SEDGEFEN");
  lobby->OnKeyDown(kKeyEnter);
  EXPECT_EQ(lobby->courseFolder, "MARSHDALE");
  EXPECT_EQ(lobby->courseButton->Text(), "Marshdale");
  EXPECT_TRUE(lobby->chat->Size() == 0) << "another room's chat";
  EXPECT_NE(lobby->games->IsShownAndEnabled(), 0);
  // A press beside the open list closes it and keeps the course.
  lobby->courseButton->clickHandler(lobby->courseButton);
  lobby->OnPointerDown(700, 550, 1);
  EXPECT_NE(lobby->games->IsShownAndEnabled(), 0);
  EXPECT_EQ(lobby->courseFolder, "MARSHDALE");
  uint32_t code = 0, length = 0;
  uintptr_t value = 0;
  ASSERT_TRUE(net::GetNextCommMessage(&code, &value, &length)) << "the message waited while the list was open";
  EXPECT_EQ(code, net::kNotifySessionStatus);
}

// The server's answer to a tournament login, read within its length; at most five earlier rounds are kept.
TEST(TournamentLoginTest, JoinRepliesAreReadWithinTheirLength) {
  const auto reply = [](uint32_t accepted, uint32_t number, uint32_t status, const char* text, uint32_t count,
                        uint32_t scores) {
    std::vector<uint8_t> b(0x118 + 4 * scores, 0);
    WriteLE32(b.data() + 4, accepted);
    WriteLE32(b.data() + 8, number);
    WriteLE32(b.data() + 0xc, status);
    std::snprintf(reinterpret_cast<char*>(b.data() + 0x10), 0x100, "%s", text);
    WriteLE32(b.data() + 0x110, 77);
    WriteLE32(b.data() + 0x114, count);
    for (uint32_t i = 0; i < scores; ++i) WriteLE32(b.data() + 0x118 + 4 * i, 70 + i);
    return b;
  };
  const struct Case {
    const char* name;
    uint32_t code;
    std::vector<uint8_t> body;
    uint32_t length;  // 0: the body's
    int verdict;
    std::vector<uint32_t> scores;
    std::string text;
  } cases[] = {
      {"accepted with three rounds", net::kNotifyTourJoinReply, reply(1, 12, 0, "", 3, 3), 0, 1, {70, 71, 72}, ""},
      {"seven rounds keep five", net::kNotifyTourJoinReply, reply(1, 12, 0, "", 7, 7), 0, 1, {70, 71, 72, 73, 74}, ""},
      {"a count beyond the bytes", net::kNotifyTourJoinReply, reply(1, 12, 0, "", 100, 2), 0, 1, {70, 71}, ""},
      {"a plain join has no rounds", net::kNotifyJoinReply, reply(1, 12, 0, "", 3, 3), 0, 1, {}, ""},
      {"refused", net::kNotifyJoinReply, reply(0, 0, 0x20, "Unknown login name or wrong password.", 0, 0), 0, 0, {},
       "Unknown login name or wrong password."},
      {"too short", net::kNotifyJoinReply, reply(1, 12, 0, "", 0, 0), 8, -1, {}, ""},
      {"another message", net::kNotifySessionChat, reply(1, 12, 0, "", 0, 0), 0, -1, {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ValidationResult r;
    const uint32_t length = c.length ? c.length : static_cast<uint32_t>(c.body.size());
    EXPECT_EQ(ReadJoinReply(c.code, c.body.data(), length, &r), c.verdict);
    if (c.verdict < 0) continue;
    EXPECT_EQ(r.scores, c.scores);
    EXPECT_EQ(r.text, c.text);
    if (c.verdict == 1) {
      EXPECT_EQ(r.tournamentNumber, 12u);
    }
  }
  // After a refusal the status word says whether to ask again.
  const std::pair<uint32_t, bool> statuses[] = {{0x1, true},    {0x10, true},  {0x20, false}, {0x50, false},
                                                {0x60, true},   {0x100, false}, {0x200, false}, {0x300, true},
                                                {0, false}};
  for (const auto& [status, again] : statuses) EXPECT_EQ(LoginAgainAfter(status), again) << std::hex << status;
}

TEST_F(ClubhouseTest, TheLoginAsksForBothFieldsAndHidesThePassword) {
  EnterNetGames(1);  // the login is asked over the lobby, on its screen
  ASSERT_NE(NetGamesScreen, nullptr);
  CLoginDialog login;
  PostMessageA(nullptr, WM_CHAR, 13, 0);
  login.buttons[1]->clickHandler(login.buttons[1]);
  EXPECT_EQ(LastMessageText(), "Please enter your tournament account name.");
  EXPECT_FALSE(login.Done());
  for (const char* c = "Wren"; *c; ++c) login.account->OnChar(static_cast<uint8_t>(*c));
  PostMessageA(nullptr, WM_CHAR, 13, 0);
  login.buttons[1]->clickHandler(login.buttons[1]);
  EXPECT_EQ(LastMessageText(), "Please enter your tournament password.");
  // Enter in the account box moves to the password box; 15 characters at most.
  login.account->clickHandler(login.account);
  EXPECT_TRUE(login.password->HasFocus());
  for (const char* c = "SecretPassWord12345"; *c; ++c) login.password->OnChar(static_cast<uint8_t>(*c));
  EXPECT_EQ(login.password->Text(), "SecretPassWord1");
  login.DrawAll(0);
  EXPECT_EQ(login.password->Text(), "SecretPassWord1") << "drawn as stars, kept as typed";
  login.buttons[1]->clickHandler(login.buttons[1]);
  EXPECT_TRUE(login.Done());
}

// ---- the modem screen ----------------------------------------------------------------------------------------------

namespace {

std::vector<uint8_t> PhoneFile(uint32_t format, uint32_t count, std::initializer_list<std::pair<std::string, std::string>> rows) {
  std::vector<uint8_t> bytes(8, 0);
  WriteLE32(bytes.data(), format);
  WriteLE32(bytes.data() + 4, count);
  for (const auto& [name, number] : rows) {
    uint8_t r[40] = {};
    std::memcpy(r, name.data(), std::min<size_t>(name.size(), 18));
    std::memcpy(r + 18, number.data(), std::min<size_t>(number.size(), 22));
    bytes.insert(bytes.end(), r, r + 40);
  }
  return bytes;
}

// A comm object the screen may close (and delete); what it sent outlives it.
class ClosableComm : public ScriptedComm {
 public:
  explicit ClosableComm(std::vector<std::pair<uint32_t, uint32_t>>* log) : log_(log) {}
  ~ClosableComm() override { *log_ = sent; }
  static bool Logged(const std::vector<std::pair<uint32_t, uint32_t>>& log, uint32_t destination, uint32_t code) {
    return std::find(log.begin(), log.end(), std::pair{destination, code}) != log.end();
  }

 private:
  std::vector<std::pair<uint32_t, uint32_t>>* log_;
};

std::vector<std::string> Names(const std::vector<PhoneEntry>& book) {
  std::vector<std::string> names;
  for (const PhoneEntry& e : book) names.push_back(e.name);
  return names;
}

}  // namespace

// A phone book file is read for the records it holds and no more, its texts ending within their fields.
TEST(PhoneBookTest, OnlyTheRecordsTheFileHoldsAreRead) {
  const std::string eighteen(18, 'N'), twentyTwo(22, '7');
  const struct Case {
    const char* name;
    std::vector<uint8_t> file;
    std::vector<std::string> names;
  } cases[] = {
      {"empty file", {}, {}},
      {"other format", PhoneFile(0x201, 1, {{"Ada", "555"}}), {}},
      {"count beyond the records", PhoneFile(512, 40, {{"Ada", "555"}, {"Bram", "556"}}), {"Ada", "Bram"}},
      {"count below the records", PhoneFile(512, 1, {{"Ada", "555"}, {"Bram", "556"}}), {"Ada"}},
      {"unterminated texts", PhoneFile(512, 1, {{eighteen, twentyTwo}}), {eighteen}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<PhoneEntry> book = ReadPhoneBook(c.file.data(), c.file.size());
    EXPECT_EQ(Names(book), c.names);
    if (std::string(c.name) == "unterminated texts") {
      EXPECT_EQ(book[0].number, twentyTwo);
    }
  }
  // 150 records claimed and held: 99 are kept.
  std::vector<uint8_t> big = PhoneFile(512, 150, {});
  for (int i = 0; i < 150; ++i) {
    const std::vector<uint8_t> one = PhoneFile(512, 1, {{"G" + std::to_string(i), "1"}});
    big.insert(big.end(), one.begin() + 8, one.end());
  }
  EXPECT_EQ(ReadPhoneBook(big.data(), big.size()).size(), 99u);
  // Written texts keep their terminator: a long name reads back cut, not run into the number.
  const std::vector<uint8_t> written = WritePhoneBook({{std::string(30, 'x'), "555-0100"}});
  ASSERT_EQ(written.size(), 48u);
  const std::vector<PhoneEntry> back = ReadPhoneBook(written.data(), written.size());
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].name, std::string(17, 'x'));
  EXPECT_EQ(back[0].number, "555-0100");
}

TEST(PhoneBookTest, NewNamesGoInOrderIgnoringCaseAndBeforeTheirTwin) {
  const std::vector<PhoneEntry> book{{"ada", "1"}, {"Bram", "2"}, {"cleo", "3"}};
  const struct {
    const char* name;
    size_t at;
  } cases[] = {{"Aaron", 0}, {"ADA", 0}, {"Bea", 1}, {"Cab", 2}, {"bram", 1}, {"Zed", 3}};
  for (const auto& c : cases) EXPECT_EQ(PhoneInsertPlace(book, c.name), c.at) << c.name;
  EXPECT_EQ(FormatNameAndCount("Ada", 3), "Ada (3)");
}

class ModemScreenTest : public ClubhouseTest {
 protected:
  void SetUp() override {
    ClubhouseTest::SetUp();
    unsetenv("WINAPI_MODEM_LINES");
    DataFolders& f = Folders();
    f.data = f.root;
    PathAppend(&f.data, "DATA");
    book_ = Installation() + "/DATA/PHONE.LST";
    std::filesystem::remove(book_);
    net::CommObject = net::RoundComm = nullptr;
  }
  void TearDown() override {
    unsetenv("WINAPI_MODEM_LINES");
    std::filesystem::remove(book_);
    ClubhouseTest::TearDown();
  }
  void WriteBook(const std::vector<uint8_t>& bytes) {
    std::ofstream(book_, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::vector<uint8_t> ReadBook() {
    std::ifstream file(book_, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  }
  // The screen with its call up: a scripted comm object the screen may close, the queue emptied.
  TModemPlayADV* OpenOverScriptedCall(std::vector<std::pair<uint32_t, uint32_t>>* sent, ClosableComm** comm) {
    ShowModemScreen();
    *comm = new ClosableComm(sent);
    net::CommObject = net::RoundComm = *comm;
    GuardedQueueClear(CommQueue);
    return ModemScreen;
  }
  void Type(TTextEditBoxADV* box, const char* text) {
    for (const char* c = text; *c; ++c) box->OnChar(static_cast<uint8_t>(*c));
  }
  std::string book_;
};

// Without a usable modem the screen does not open; with several, one must have been chosen.
TEST_F(ModemScreenTest, TheScreenOpensOnlyOverAChosenModem) {
  const struct Case {
    const char* name;
    const char* lines;
    bool chosen;
    const char* notice;
  } cases[] = {
      {"no modem", "none", false, "No modem detected."},
      {"two modems, none chosen", "Modem A,Modem B", false,
       "No modem selected.  Go to the Configuration screen and select a modem to use."},
      {"two modems, one chosen", "Modem A,Modem B", true, ""},
      {"one modem", "Modem A", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    setenv("WINAPI_MODEM_LINES", c.lines, 1);
    std::filesystem::remove(registry_);
    winapi::registry::UseFile(registry_);
    if (c.chosen) RegistryMgr("Modem", true).WriteValue("LineDevice", static_cast<DWORD>(1));
    ShowNetConnectionScreen();
    const std::string before = LastMessageText();
    PostMessageA(nullptr, WM_CHAR, 13, 0);
    ShowModemScreen();
    EXPECT_EQ(LastMessageText() == before ? std::string() : LastMessageText(), c.notice);
    EXPECT_EQ(ModemScreen != nullptr, *c.notice == 0);
    EXPECT_EQ(NetConnectionScreen != nullptr, *c.notice != 0) << "the connection screen stays under the notice";
    Drain();
  }
}

// The phone book: read at the start, kept in name order, names asked about when twice, written whole at the end.
TEST_F(ModemScreenTest, ThePhoneBookIsEditedAndKept) {
  WriteBook(PhoneFile(512, 2, {{"Bram", "555-0102"}, {"Dov", "555-0104"}}));
  ShowModemScreen();
  TModemPlayADV* s = ModemScreen;
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(Rows(s->phoneList), (std::vector<std::string>{"Bram", "Dov"}));
  EXPECT_EQ(s->nameBox->Text(), "Bram");
  EXPECT_EQ(s->numberBox->Text(), "555-0102");
  // Letters do not go into a number.
  s->numberBox->SetText("");
  Type(s->numberBox, "55x5-0a1c");
  EXPECT_EQ(s->numberBox->Text(), "555-01");
  s->nameBox->SetText("");
  Type(s->nameBox, "cleo  ");
  s->AddEntry();
  EXPECT_EQ(Rows(s->phoneList), (std::vector<std::string>{"Bram", "cleo", "Dov"}));
  EXPECT_EQ(s->phoneList->Current()->text, "cleo");
  // The same name again is asked about: No keeps the book, Ok adds it in front of the first.
  PostMessageA(nullptr, WM_CHAR, kKeyEscape, 0);
  s->AddEntry();
  EXPECT_EQ(s->phoneList->Size(), 3);
  PostMessageA(nullptr, WM_CHAR, 13, 0);
  s->AddEntry();
  EXPECT_EQ(Rows(s->phoneList), (std::vector<std::string>{"Bram", "cleo", "cleo", "Dov"}));
  // Blanks only: nothing is added.
  s->nameBox->SetText("   ");
  s->AddEntry();
  EXPECT_EQ(s->phoneList->Size(), 4);
  EXPECT_EQ(s->nameBox->Text(), "");
  // Remove asks first.
  s->phoneList->Select(3, true);
  PostMessageA(nullptr, WM_CHAR, 13, 0);
  s->RemoveEntry();
  EXPECT_EQ(Rows(s->phoneList), (std::vector<std::string>{"Bram", "cleo", "cleo"}));
  EXPECT_EQ(s->nameBox->Text(), "cleo");
  // Dial without a number says so and keeps the screen idle.
  s->numberBox->SetText("");
  PostMessageA(nullptr, WM_CHAR, 13, 0);
  s->Dial();
  EXPECT_EQ(LastMessageText(), "Please enter a phone number.");
  EXPECT_FALSE(s->busy);
  ReplaceCurrentScreen(nullptr);
  const std::vector<uint8_t> kept = ReadBook();
  EXPECT_EQ(Names(ReadPhoneBook(kept.data(), kept.size())), (std::vector<std::string>{"Bram", "cleo", "cleo"}));
  EXPECT_EQ(kept.size(), 8u + 3 * 40);
}

// Hosting begins only over a course whose data is here; otherwise the course the screen had stays current.
TEST_F(ModemScreenTest, TheHostWaitsForACallOnlyOverACourseWithItsData) {
  const int sedgefen = FindCourseByName("SEDGEFEN"), marshdale = FindCourseByName("MARSHDALE");
  ASSERT_GE(sedgefen, 0);
  ASSERT_GE(marshdale, 0);
  const std::string practice = Installation() + "/DATA/COURSES/MARSHDALE/practice.dat";
  const struct Case {
    const char* name;
    int chosen;
    bool dataThere;
    const char* notice;  // "" none; the disc prompt starts with "Please insert the "
    bool hosting;
  } cases[] = {
      {"a course with its data", marshdale, true, "", true},
      {"no such course", 99, true, "Unable to set selected course!", false},
      {"a course without its data, the disc refused", marshdale, false, "Please insert the ", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.dataThere) std::filesystem::rename(practice, practice + ".away");
    ASSERT_EQ(CurrentGame()->SetCurrentCourse(sedgefen), 1);
    ShowModemScreen();
    TModemPlayADV* s = ModemScreen;
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->course, sedgefen);
    const std::string before = LastMessageText();
    PostMessageA(nullptr, WM_CHAR, kKeyEscape, 0);
    s->StartHosting(3, 1, c.chosen);
    const std::string notice = LastMessageText() == before ? std::string() : LastMessageText();
    EXPECT_EQ(notice.substr(0, std::strlen(c.notice)), c.notice);
    EXPECT_EQ(notice.empty(), *c.notice == 0);
    EXPECT_EQ(s->busy, c.hosting);
    EXPECT_EQ(s->hosting, c.hosting);
    EXPECT_EQ(s->course, c.hosting ? c.chosen : sedgefen);
    EXPECT_EQ(CurrentGame()->courseNumber, c.hosting ? c.chosen : sedgefen);
    EXPECT_EQ(net::CommObject != nullptr, c.hosting) << "no call is awaited over a course that is not here";
    if (!c.dataThere) std::filesystem::rename(practice + ".away", practice);
    ReplaceCurrentScreen(nullptr);
    net::DestroyCommLayer();
    Drain();
    GuardedQueueClear(CommQueue);
  }
}

// The host's side of the start once the caller has said who it is: the golfer asked for, the game handed over and
// started, or the reason it was not.
TEST_F(ModemScreenTest, TheHostStartsTheGameTheCallerAgreedTo) {
  const struct Case {
    const char* name;
    ScriptedComm::Peer peer;
    const char* notice;
    bool started, onScreen;
  } cases[] = {
      {"started", {}, "", true, false},
      {"no golfer comes", {false, 0, true}, "Player Wren the golfer did not respond to our game startup message", false, true},
      {"the link fails awaiting the golfer", {false, 0, true, false, 0x71a}, "Communications Lost! Please try again.",
       false, true},
      {"no acknowledgement", {true, 0, false}, "Your opponent's computer has not responded. Game Canceled!", false, false},
      {"the caller lacks the course", {true, 0, true, true}, "Your opponent does not have the course CD you selected.",
       false, true},
      {"the link fails awaiting the acknowledgement", {true, 0, true, false, 0x1414},
       "Communications Lost! Please try again.", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::pair<uint32_t, uint32_t>> sent;
    ClosableComm* comm = nullptr;
    TModemPlayADV* s = OpenOverScriptedCall(&sent, &comm);
    ASSERT_NE(s, nullptr);
    comm->peer = c.peer;
    s->hosting = s->busy = true;
    ASSERT_TRUE(CreateNetGame(kModeStroke, 3, 1));
    // The caller's greeting, its name longer than a golfer's.
    const char name[] = "Wren the golfer of the long name";
    uint8_t* greeting = CommMessageAlloc(12 + sizeof name);
    WriteLE32(greeting, 2);
    WriteLE32(greeting + 4, 4 + sizeof name);
    WriteLE32(greeting + 8, 0x1412);
    std::memcpy(greeting + 12, name, sizeof name);
    GuardedQueuePush(CommQueue, 0x1412, reinterpret_cast<uintptr_t>(greeting), 0);
    const std::string before = LastMessageText();
    PostMessageA(nullptr, WM_CHAR, 13, 0);
    s->HandleMessage();
    EXPECT_EQ(LastMessageText() == before ? std::string() : LastMessageText(), c.notice);
    if (net::CommObject == comm) sent = comm->sent;
    EXPECT_TRUE(ClosableComm::Logged(sent, 2, 0x71a));
    EXPECT_EQ(ClosableComm::Logged(sent, 2, kGameSetUp), c.peer.sendsGolfer);
    EXPECT_EQ(ClosableComm::Logged(sent, 0, 0x705), c.started);
    EXPECT_EQ(ClosableComm::Logged(sent, 2, 0x1413), !c.peer.acknowledges) << "only a waiting caller hears the cancel";
    EXPECT_EQ(ModemScreen != nullptr, c.onScreen);
    if (c.started) {
      EXPECT_EQ(CurrentScreen, nullptr) << "the round takes the screen";
      EXPECT_EQ(CurrentGame()->players->GetPlayer(1)->machineId, 2u);
    }
    if (c.onScreen) {
      EXPECT_FALSE(s->busy) << "back to the idle screen";
    }
    if (c.peer.dropsLinkAt) {
      for (int i = 0; i < 2; ++i) s->HandleMessage();  // "Waiting...", then why
      EXPECT_EQ(s->status, TModemPlayADV::kLostConnection);
    }
    ReplaceCurrentScreen(nullptr);
    net::DestroyCommLayer();
    Drain();
    MSG m;
    while (GuardedQueuePop(CommQueue, &m))
      if (m.wParam == kPlayerInfo) CommMessageFree(reinterpret_cast<uint8_t*>(m.lParam));
  }
}

// The caller's side: the host's level answered with the greeting, the golfer request with the golfer; then the
// host's game is awaited for 90 seconds, however the clock stood when the request came.
TEST_F(ModemScreenTest, TheCallerGreetsTheHostAndSendsItsGolfer) {
  for (const uint32_t tickParity : {0u, 1u}) {
    SCOPED_TRACE(tickParity ? "odd tick" : "even tick");
    std::vector<std::pair<uint32_t, uint32_t>> sent;
    ClosableComm* comm = nullptr;
    TModemPlayADV* s = OpenOverScriptedCall(&sent, &comm);
    ASSERT_NE(s, nullptr);
    comm->localId = 2;
    GuardedQueuePush(CommQueue, 0x1411, 2, 0);
    s->HandleMessage();
    EXPECT_TRUE(comm->Sent(1, 0x1412));
    EXPECT_EQ(CurrentGame()->players->GetPlayer(0)->level, 2);
    EXPECT_EQ(s->status, TModemPlayADV::kConnected);
    if (GetTickCount() % 2 != tickParity) Sleep(1);
    GuardedQueuePush(CommQueue, 0x71a, 1, 0);
    s->HandleMessage();
    EXPECT_TRUE(comm->Sent(1, kPlayerInfo));
    EXPECT_TRUE(s->awaitingGame);
    EXPECT_EQ(s->status, TModemPlayADV::kWaitingForStart);
    // Idle steps in the same millisecond and just short of the limit keep waiting. The Enter meant for the
    // notice at the end would close one shown too early.
    const std::string before = LastMessageText();
    PostMessageA(nullptr, WM_CHAR, 13, 0);
    for (const uint32_t wait : {0u, 90000u}) {
      Sleep(wait);
      s->OnIdle();
      EXPECT_EQ(LastMessageText(), before) << "after " << wait << " ms";
      ASSERT_EQ(ModemScreen, s);
    }
    // No game within 90 seconds: the screen is left.
    Sleep(1000);
    s->OnIdle();
    EXPECT_EQ(LastMessageText(), "We were unable to startup your game.");
    EXPECT_EQ(ModemScreen, nullptr);
    EXPECT_EQ(net::CommObject, nullptr) << "the call is closed";
    Drain();
  }
}

// A caller without the host's course is asked for its disc; giving up tells the host and makes the screen idle.
TEST_F(ModemScreenTest, TheCallerWithoutTheHostsCourseGivesUpAndTellsTheHost) {
  Svc().game->CreateGame(kModeStroke);
  CurrentGame()->courseName = "NOSUCHCOURSE";
  std::vector<uint8_t> game(7468, 0);
  SerialTarget stream = SerialTarget::OverMemory(game.data(), game.size());
  ASSERT_TRUE(CurrentGame()->SaveToStream(&stream));
  const uint32_t gameBytes = static_cast<uint32_t>(stream.cursor - game.data());
  std::vector<std::pair<uint32_t, uint32_t>> sent;
  ClosableComm* comm = nullptr;
  TModemPlayADV* s = OpenOverScriptedCall(&sent, &comm);
  ASSERT_NE(s, nullptr);
  comm->localId = 2;
  s->busy = true;
  QueueGameSetUp(game.data(), gameBytes, kModeStroke, 1, 32 + gameBytes);
  PostMessageA(nullptr, WM_CHAR, kKeyEscape, 0);
  s->HandleMessage();
  EXPECT_EQ(LastMessageText(), "Please insert the NOSUCHCOURSE Championship Course CD, and THEN press OK...");
  EXPECT_TRUE(ClosableComm::Logged(sent, 1, 0x1416));
  EXPECT_FALSE(ClosableComm::Logged(sent, 1, 0x1415));
  EXPECT_EQ(ModemScreen, s);
  EXPECT_FALSE(s->busy) << "back to the idle screen";
  Drain();
}

TEST_F(ModemScreenTest, GoldenModemScreenWithAPhoneBook) {
  WriteBook(PhoneFile(512, 3, {{"Ada Lark", "555-0101"}, {"Bram", "555-0102"}, {"Cleo", "555-0103"}}));
  ShowModemScreen();
  ASSERT_NE(ModemScreen, nullptr);
  ModemScreen->phoneList->Select(1, true);
  Pump();
  ModemScreen->EraseAll(0);
  ModemScreen->DrawAll(0);
  d3dtest::ExpectGolden(Shrunk(), "modem", 2, "frontend");
}

// On the online service the lobby opens under "Connecting...": the session's status ends it, or Cancel does.
TEST_F(ClubhouseTest, TheConnectStatusEndsWithTheSessionsStatusOrCancel) {
  const struct Case {
    const char* name;
    int status;  // -1: Cancel
    const char* notice;
    bool inLobby;
  } cases[] = {
      {"connected", 0, "", true},
      {"server not reached", 1, "Could not connect to Server.", false},
      {"closed", 5, "", true},
      {"cancelled", -1, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::pair<uint32_t, uint32_t>> sent;
    auto* comm = new ClosableComm(&sent);  // leaving the lobby closes it
    net::CommObject = net::RoundComm = comm;
    EnterNetGames(0);
    ASSERT_NE(ConnectStatus, nullptr);
    EXPECT_EQ(CurrentScreen, ConnectStatus) << "it takes the input and the idle pass";
    // A chat line before the connection is made is dropped (its buffer freed), the dialog stays.
    comm->Notify(net::kNotifySessionChat, reinterpret_cast<uintptr_t>(Chat("early")));
    ConnectStatus->OnIdle();
    ASSERT_NE(ConnectStatus, nullptr);
    const std::string before = LastMessageText();
    PostMessageA(nullptr, WM_CHAR, 13, 0);
    if (c.status < 0) {
      ConnectStatus->cancel->clickHandler(ConnectStatus->cancel);
    } else {
      comm->Notify(net::kNotifySessionStatus, static_cast<uintptr_t>(c.status));
      ConnectStatus->OnIdle();
    }
    EXPECT_EQ(ConnectStatus, nullptr);
    EXPECT_EQ(LastMessageText() == before ? std::string() : LastMessageText(), c.notice);
    EXPECT_EQ(NetGamesScreen != nullptr, c.inLobby);
    if (c.inLobby) {
      EXPECT_EQ(CurrentScreen, NetGamesScreen);
    }
    ReplaceCurrentScreen(nullptr);
    net::DestroyCommLayer();
    Drain();
  }
  net::CommObject = net::RoundComm = &comm_;
}

// A call that fails says why and leaves the screen idle; a connected call says nothing until the greeting.
TEST_F(ModemScreenTest, CallResultsSayWhyACallFailed) {
  const struct Case {
    uint32_t result;
    const char* notice;
  } cases[] = {
      {0x6a, "Phone number busy. Try again later"},
      {0x6b, "No answer. Try again later."},
      {0x69, "Unable to connect with the other computer."},
      {0x6d, "No dial tone detected."},
      {0x67, ""},
  };
  ShowModemScreen();
  TModemPlayADV* s = ModemScreen;
  ASSERT_NE(s, nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.result);
    s->busy = true;
    GuardedQueueClear(CommQueue);
    GuardedQueuePush(CommQueue, 0x1417, c.result, 0);
    const std::string before = LastMessageText();
    PostMessageA(nullptr, WM_CHAR, 13, 0);
    s->HandleMessage();
    EXPECT_EQ(LastMessageText() == before ? std::string() : LastMessageText(), c.notice);
    EXPECT_EQ(s->busy, *c.notice == 0) << "a failed call makes the screen idle again";
    Drain();
  }
  // The host's level goes again every 2 s until the caller greets.
  std::vector<std::pair<uint32_t, uint32_t>> sent;
  ClosableComm* comm = nullptr;
  s = OpenOverScriptedCall(&sent, &comm);
  s->hosting = s->busy = true;
  GuardedQueuePush(CommQueue, 0x1417, 0x67, 0);
  s->HandleMessage();
  Sleep(2100);
  s->OnIdle();
  const auto levels = std::count(comm->sent.begin(), comm->sent.end(), std::pair<uint32_t, uint32_t>{2, 0x1411});
  EXPECT_EQ(levels, 2);
  ReplaceCurrentScreen(nullptr);
  net::DestroyCommLayer();
}
