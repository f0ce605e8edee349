// Two modem comm objects in one process over the stand-in's telephone line: the call's outcomes, game data both
// ways through the modem link, and a lost carrier reported once.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "group_fixture.h"
#include "net/modemmgr.h"
#include "winapi_registry.h"

namespace nettest {
namespace {

namespace fs = std::filesystem;
using winapi::tapi::LineSettings;

class ModemMgrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.folder = (fs::temp_directory_path() / ("modemmgr_" + std::to_string(getpid()) + "_" +
                                                    ::testing::UnitTest::GetInstance()->current_test_info()->name()))
                          .string();
    fs::create_directories(settings.folder);
    settings.baud = 115200;
    for (int i = 0; i < 2; ++i) {
      side[i] = std::make_unique<net::ModemMgr>(i == 0);
      side[i]->SetLineSettings(settings);
      side[i]->SetNotifyThreadId(inbox[i].id());
    }
  }
  void TearDown() override {
    side[0].reset();
    side[1].reset();
    std::error_code ec;
    fs::remove_all(settings.folder, ec);
  }
  // Answers on one thread while the other side dials; the two results.
  std::pair<int, int> Connect(const std::string& number = "555-0101") {
    int answered = 0;
    std::thread host([&] { answered = side[0]->Answer(number, 10000); });
    // The caller dials once the host listens: a number nobody listens under rings unanswered.
    int dialled = 0;
    for (int i = 0; i < 200; ++i) {
      dialled = side[1]->Dial(number);
      if (dialled != winapi::tapi::kCallNoAnswer) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    host.join();
    return {answered, dialled};
  }
  static size_t Count(Inbox& box, uint32_t first) {
    size_t n = 0;
    for (const Data& d : box.Take()) n += d.bytes.size() >= 4 && ReadLE32(d.bytes.data()) == first;
    return n;
  }
  LineSettings settings;
  Inbox inbox[2];
  std::unique_ptr<net::ModemMgr> side[2];
};

TEST_F(ModemMgrTest, ACallThatCannotBeMadeGivesItsReason) {
  EXPECT_EQ(side[1]->Dial("555-0199"), winapi::tapi::kCallNoAnswer);  // nobody answers that number
  LineSettings dead = settings;
  dead.noDialTone = true;
  side[1]->SetLineSettings(dead);
  EXPECT_EQ(side[1]->Dial("555-0101"), winapi::tapi::kCallFailed);
  side[1]->SetLineSettings(settings);
  EXPECT_EQ(side[1]->Dial("no digits"), winapi::tapi::kCallFailed);
  // A second caller while the first call is up hears busy.
  ASSERT_EQ(Connect(), std::make_pair(0x67, 0x67));
  net::ModemMgr third(false);
  third.SetLineSettings(settings);
  std::thread turnAway([&] { side[0]->TurnAwayCallers(10000); });
  EXPECT_EQ(third.Dial("555-0101"), winapi::tapi::kCallBusy);
  turnAway.join();
}

TEST_F(ModemMgrTest, GameDataCrossesTheLinkBothWaysAsFromThePlayers) {
  ASSERT_EQ(Connect(), std::make_pair(0x67, 0x67));
  EXPECT_EQ(side[0]->GetLocalId(), 1u);
  EXPECT_EQ(side[1]->GetLocalId(), 2u);
  side[0]->BuildPlayerList(1);
  EXPECT_EQ(side[0]->GetPlayerCount(), 2);
  side[0]->BuildPlayerList(0);
  EXPECT_EQ(side[0]->GetPlayerCount(), 1);
  EXPECT_EQ(ReadLE32(side[0]->GetPlayerEntry(0)), 2u);

  side[1]->SendGameWords(1, 0x70a, 7);
  std::vector<uint8_t> big(10000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 13);
  side[0]->SendGameData(2, big.data(), static_cast<uint32_t>(big.size()));
  side[0]->SendGameData(1, big.data(), 8);  // to itself: nothing
  side[0]->BroadcastGameWords(0, 0x71c, 0);
  ASSERT_TRUE(WaitUntil([&] { return inbox[0].Count() >= 2 && inbox[1].Count() >= 2; }));
  const std::vector<Data> host = inbox[0].Take(), caller = inbox[1].Take();
  ASSERT_EQ(host.size(), 2u);
  // Its own broadcast, as from itself (at once), and the caller's words (after the line's time).
  const Data& own = host[0].sender == 1 ? host[0] : host[1];
  const Data& remote = host[0].sender == 1 ? host[1] : host[0];
  EXPECT_EQ(own.sender, 1u);
  EXPECT_EQ(ReadLE32(own.bytes.data()), 0x71cu);
  EXPECT_EQ(remote.sender, 2u);
  EXPECT_EQ(ReadLE32(remote.bytes.data()), 0x70au);
  EXPECT_EQ(ReadLE32(remote.bytes.data() + 4), 7u);
  ASSERT_EQ(caller.size(), 2u);
  EXPECT_EQ(caller[0].sender, 1u);
  EXPECT_EQ(caller[0].bytes, big);
  EXPECT_EQ(ReadLE32(caller[1].bytes.data()), 0x71cu);
}

TEST_F(ModemMgrTest, ALostCarrierIsReportedOnceAsALinkFailure) {
  ASSERT_EQ(Connect(), std::make_pair(0x67, 0x67));
  side[1]->call()->Hangup();
  ASSERT_TRUE(WaitUntil([&] { return !side[0]->linkUp() && !side[1]->linkUp(); }, 20000));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  // One program: the failure is posted once, whichever side saw it first.
  EXPECT_EQ(Count(inbox[0], 0x31) + Count(inbox[1], 0x31), 1u);
  EXPECT_EQ(side[0]->GetPlayerCount(), 0);
}

}  // namespace
}  // namespace nettest

namespace nettest {
namespace {

namespace fs = std::filesystem;

class NotingFrontEnd : public FrontEndProvider {
 public:
  const char* Name() const override { return "noting front end"; }
  int ShowMessageDialog(const char* text, int) override {
    shown.emplace_back(text);
    return 0;
  }
  std::vector<std::string> shown;
};

void SetLineDevice(int64_t device) {
  HKEY key;
  const std::string path = std::string(kProductKey) + "\\Modem";
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, "LineDevice");
    RegCloseKey(key);
  }
  if (device >= 0) RegistryMgr("Modem", true).WriteValue("LineDevice", static_cast<DWORD>(device));
}

TEST(ModemMgrInit, NeedsAModemAndTheChosenLineDevice) {
  const struct {
    std::vector<std::string> lines;
    int64_t device;  // -1: no value
    int result;
    const char* message;
  } cases[] = {
      {{}, 0, 0, "No installed modems found by Windows."},
      {{"Modem A"}, -1, 0, "Error initializing modem."},
      {{"Modem A"}, 1, 0, "Error initializing modem."},
      {{"Modem A", "Modem B"}, 1, 1, nullptr},
  };
  const std::string registry = (fs::temp_directory_path() / ("modem_registry_" + std::to_string(getpid()) + ".txt")).string();
  winapi::registry::UseFile(registry);
  NotingFrontEnd frontEnd;
  Services s = Svc();
  s.frontEnd = &frontEnd;
  InstallServices(s);
  for (const auto& c : cases) {
    SetLineDevice(c.device);
    frontEnd.shown.clear();
    net::ModemMgr modem(true);
    winapi::tapi::LineSettings settings;
    settings.lines = c.lines;
    modem.SetLineSettings(settings);
    EXPECT_EQ(modem.Init(), c.result) << c.device;
    if (c.result) modem.Shutdown();
    if (c.message)
      EXPECT_EQ(frontEnd.shown, std::vector<std::string>{c.message}) << c.device;
    else
      EXPECT_TRUE(frontEnd.shown.empty());
  }
  ResetServices();
  winapi::registry::UseFile("");
  fs::remove(registry);
}

}  // namespace
}  // namespace nettest

namespace nettest {
namespace {

// Tearing the comm object down while a dial or an answer waits in it on another thread wakes that thread, which
// returns "stopped" before the object goes.
TEST(ModemMgrTearDown, WakesAWaitingDialOrAnswer) {
  const std::string folder =
      (std::filesystem::temp_directory_path() / ("modemtear_" + std::to_string(getpid()))).string();
  std::filesystem::create_directories(folder);
  winapi::tapi::LineSettings settings;
  settings.folder = folder;
  // A listener that never answers: the caller's dial rings on.
  winapi::tapi::ModemAnswerer silent(settings);
  ASSERT_TRUE(silent.Listen("555-0202"));
  for (bool answering : {true, false}) {
    auto modem = std::make_unique<net::ModemMgr>(answering);
    modem->SetLineSettings(settings);
    std::atomic<int> result{-1};
    std::thread waiter([&] { result = answering ? modem->Answer("555-0203", 60000) : modem->Dial("555-0202"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(result.load(), -1) << answering;  // still waiting
    modem.reset();
    waiter.join();
    EXPECT_EQ(result.load(), net::ModemMgr::kStopped) << answering;
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace nettest
