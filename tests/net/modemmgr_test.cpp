// The modem comm object over the line manager and the serial port, against a scripted far end on the stand-in's
// telephone line: the set-up's messages, the call's outcomes on either side, game data both ways through the
// modem link, a lost carrier reported once, and a tear-down that wakes a wait for the call.
#include <gtest/gtest.h>

#include <thread>

#include "framework/core/services.h"
#include "group_fixture.h"
#include "modemline_fixture.h"
#include "net/modemmgr.h"
#include "winapi/tapi/commport.h"

namespace nettest {
namespace {

class NotingFrontEnd : public FrontEndProvider {
 public:
  const char* Name() const override { return "noting front end"; }
  int ShowMessageDialog(const char* text, int) override {
    shown.emplace_back(text);
    return 0;
  }
  std::vector<std::string> shown;
};

// A modem link on the far end of the call, keeping what it is sent.
struct FarEnd {
  FarEnd(std::shared_ptr<winapi::tapi::ModemCall> c, uint32_t id)
      : call(std::move(c)), port(winapi::tapi::OpenCallPort(call)) {
    net::ModemLink::Events events;
    events.deliver = [this](uint32_t, std::vector<uint8_t>&& m) {
      std::lock_guard<std::mutex> hold(lock);
      got.push_back(std::move(m));
    };
    events.linkFailure = [this] { ++failures; };
    link = std::make_unique<net::ModemLink>(&port, call->Baud(), id, std::move(events));
    link->Start();
  }
  ~FarEnd() { link.reset(); }
  size_t Count() {
    std::lock_guard<std::mutex> hold(lock);
    return got.size();
  }
  std::shared_ptr<winapi::tapi::ModemCall> call;
  net::SerialPort port;  // the far end's serial port on the call
  std::unique_ptr<net::ModemLink> link;
  std::mutex lock;
  std::vector<std::vector<uint8_t>> got;
  std::atomic<int> failures{0};
};

class ModemMgrTest : public ModemLineTest {
 protected:
  void SetUp() override {
    ModemLineTest::SetUp();
    Services s = Svc();
    s.frontEnd = &frontEnd;
    InstallServices(s);
    ChooseLine(0);
  }
  void TearDown() override {
    ResetServices();
    ModemLineTest::TearDown();
  }
  // A started comm object whose game data goes to the inbox.
  std::unique_ptr<net::ModemMgr> Started(bool answering) {
    auto modem = std::make_unique<net::ModemMgr>(answering);
    EXPECT_EQ(modem->Init(), 1);
    modem->SetNotifyThreadId(inbox.id());
    return modem;
  }
  // As the comm layer closes it: shut down (the comm-message thread stopped), then gone.
  static void Close(std::unique_ptr<net::ModemMgr>& modem) {
    if (modem) modem->Shutdown();
    modem.reset();
  }
  static size_t Count(Inbox& box, uint32_t first) {
    size_t n = 0;
    for (const Data& d : box.Take()) n += d.bytes.size() >= 4 && ReadLE32(d.bytes.data()) == first;
    return n;
  }
  NotingFrontEnd frontEnd;
  Inbox inbox;
};

TEST_F(ModemMgrTest, InitNeedsTelephonyAModemAndTheChosenLine) {
  const struct {
    const char* lines;  // WINAPI_MODEM_LINES
    bool fail;          // the line functions cannot start
    int64_t device;     // -1: no LineDevice value
    int result;
    const char* message;
  } cases[] = {
      {"none", false, 0, 0, "No installed modems found by Windows."},
      {nullptr, true, 0, 0, nullptr},
      {nullptr, false, -1, 0, "Error initializing modem."},
      {"Modem A", false, 1, 0, "Error initializing modem."},
      {"Modem A,Modem B", false, 1, 1, nullptr},
  };
  for (const auto& c : cases) {
    if (c.lines) setenv("WINAPI_MODEM_LINES", c.lines, 1);
    else unsetenv("WINAPI_MODEM_LINES");
    if (c.fail) winapi::testing::FailCall("lineInitialize", 0x80000043);
    winapi::registry::UseFile("");
    std::filesystem::remove(registry);
    winapi::registry::UseFile(registry);
    if (c.device >= 0) ChooseLine(static_cast<DWORD>(c.device));
    frontEnd.shown.clear();
    net::ModemMgr modem(false);
    EXPECT_EQ(modem.Init(), c.result) << c.device;
    if (c.result) modem.Shutdown();
    EXPECT_EQ(frontEnd.shown, c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{})
        << c.device;
    EXPECT_FALSE(frontEnd.IsBusy());
    winapi::testing::ClearFailures();
  }
}

TEST_F(ModemMgrTest, ACallThatCannotBeMadeGivesItsReason) {
  winapi::tapi::ModemAnswerer far(settings);
  ASSERT_TRUE(far.Listen("5550177"));
  auto modem = Started(false);
  // Nobody listens under this number: it rings unanswered.
  ASSERT_EQ(modem->Dial("5550199"), 1);
  EXPECT_EQ(modem->WaitForConnection(), net::TapiMgr::kNoAnswer);
  // The far line has a call up: busy. The next dial's outcome is its own.
  far.SetBusy(true);
  std::thread answer([&] { far.Answer(5000); });
  ASSERT_EQ(modem->Dial("5550177"), 1);
  EXPECT_EQ(modem->WaitForConnection(), net::TapiMgr::kBusy);
  answer.join();
  EXPECT_EQ(modem->Dial(""), 0);
  EXPECT_FALSE(modem->linkUp());
  Close(modem);
  // No dial tone: the request fails.
  setenv("WINAPI_MODEM_FAULT", "nodialtone", 1);
  modem = Started(false);
  ASSERT_EQ(modem->Dial("5550177"), 1);
  EXPECT_EQ(modem->WaitForConnection(), net::TapiMgr::kRequestFailed);
  Close(modem);
  // The answering side does not dial.
  unsetenv("WINAPI_MODEM_FAULT");
  modem = Started(true);
  EXPECT_EQ(modem->Dial("5550177"), 0);
  Close(modem);
}

// Either side against the far end: its messages in several packets arrive whole as from the other player, and
// a carrier lost afterwards is one link failure.
TEST_F(ModemMgrTest, GameDataCrossesTheCallBothWaysUntilTheCarrierGoes) {
  for (bool answering : {true, false}) {
    SCOPED_TRACE(answering ? "answering" : "calling");
    auto modem = Started(answering);
    std::unique_ptr<winapi::tapi::ModemCall> call;
    std::thread far;
    winapi::tapi::ModemAnswerer answerer(settings);
    if (answering) {
      far = std::thread([&] {
        int result = 0;
        for (int i = 0; i < 200 && !call; ++i) call = winapi::tapi::DialNumber("5550141", settings, &result);
      });
    } else {
      ASSERT_TRUE(answerer.Listen("5550177"));
      far = std::thread([&] { call = answerer.Answer(10000); });
      ASSERT_EQ(modem->Dial("5550177"), 1);
    }
    ASSERT_EQ(modem->WaitForConnection(), net::ModemMgr::kLinkUp);
    far.join();
    ASSERT_TRUE(call);
    const uint32_t local = answering ? 1 : 2, remote = answering ? 2 : 1;
    FarEnd end(std::move(call), remote);
    EXPECT_EQ(modem->GetLocalId(), local);
    modem->BuildPlayerList(1);
    EXPECT_EQ(modem->GetPlayerCount(), 2);
    modem->BuildPlayerList(0);
    EXPECT_EQ(ReadLE32(modem->GetPlayerEntry(0)), remote);

    std::vector<uint8_t> big(10000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 13);
    modem->SendGameData(remote, big.data(), static_cast<uint32_t>(big.size()));
    modem->SendGameData(local, big.data(), 8);  // to itself: nothing
    const uint8_t words[8] = {0x0a, 0x07, 0, 0, 7, 0, 0, 0};
    ASSERT_TRUE(end.link->Send(words, sizeof words));
    ASSERT_TRUE(WaitUntil([&] { return end.Count() >= 1 && inbox.Count() >= 1; }, 20000));
    EXPECT_EQ(end.got.at(0), big);
    const std::vector<Data> in = inbox.Take();
    ASSERT_EQ(in.size(), 1u);
    EXPECT_EQ(in[0].sender, remote);
    EXPECT_EQ(in[0].bytes, std::vector<uint8_t>(words, words + 8));

    end.call->Hangup();
    ASSERT_TRUE(WaitUntil([&] { return !modem->linkUp(); }, 20000));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(Count(inbox, 0x31), 1u);
    EXPECT_EQ(modem->GetPlayerCount(), 0);
    Close(modem);
    inbox.Clear();
  }
}

// Closing the comm object while a wait for the call runs on another thread wakes it; it returns "stopped" before
// the line it waits on goes.
TEST_F(ModemMgrTest, TearDownWakesAWaitForTheCall) {
  winapi::tapi::ModemAnswerer silent(settings);  // listens, never answers: the dial rings on
  ASSERT_TRUE(silent.Listen("5550202"));
  setenv("WINAPI_MODEM_RING_MS", "60000", 1);
  for (bool answering : {true, false}) {
    auto modem = Started(answering);
    if (!answering) {
      ASSERT_EQ(modem->Dial("5550202"), 1);
    }
    std::atomic<int> result{-1};
    net::ModemMgr* waiting = modem.get();
    std::thread waiter([&] { result = waiting->WaitForConnection(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(result.load(), -1) << answering;  // still waiting
    Close(modem);
    waiter.join();
    EXPECT_EQ(result.load(), net::ModemMgr::kStopped) << answering;
  }
}

}  // namespace
}  // namespace nettest
