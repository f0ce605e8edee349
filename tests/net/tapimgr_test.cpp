// The line manager over the stand-in's line functions: the result codes of a machine without a modem, without a
// chosen line device, and of calls that are busy, unanswered, refused or connected, with the connected call's
// serial port carrying bytes both ways.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>

#include <filesystem>
#include <thread>

#include "framework/core/registry.h"
#include "modemline_fixture.h"
#include "net/tapimgr.h"
#include "winapi/tapi/commport.h"
#include "winapi/tapi/modemline.h"
#include "winapi/testing.h"
#include "winapi_comm.h"
#include "winapi_registry.h"

namespace {

namespace fs = std::filesystem;

class TapiMgrTest : public nettest::ModemLineTest {
 protected:
  // Waits (bounded) for the call's outcome.
  static int Outcome() {
    if (WaitForSingleObject(net::TapiMgr::Event(), 20000) != WAIT_OBJECT_0) return -1;
    return net::TapiMgr::Result();
  }
  // Starts the manager as the modem link does: started, lines listed, the chosen one open.
  static void Open(net::TapiMgr& tapi, bool answering) {
    ASSERT_EQ(tapi.Initialize(nullptr, answering), net::TapiMgr::kStarted);
    ASSERT_GE(tapi.NegotiateVersions(), 1);
    ASSERT_EQ(tapi.OpenLine(), 1);
  }
  // Bytes written on one port arrive on the other, whole.
  static void ExpectCarries(HANDLE port, winapi::tapi::ModemCall& far) {
    const char hello[] = "ZQPK over the line";
    DWORD moved = 0;
    ASSERT_TRUE(WriteFile(port, hello, sizeof hello, &moved, nullptr));
    EXPECT_EQ(moved, sizeof hello);
    std::string got;
    for (int i = 0; i < 400 && got.size() < sizeof hello; ++i) {
      uint8_t b[64];
      const uint32_t n = far.Read(b, sizeof b);
      got.append(reinterpret_cast<char*>(b), n);
      if (!n) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(got, std::string(hello, sizeof hello));
    const uint8_t back[3] = {1, 2, 3};
    ASSERT_TRUE(far.Write(back, 3));
    DWORD event = 0;
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR | EV_RLSD));
    ASSERT_TRUE(WaitCommEvent(port, &event, nullptr));
    EXPECT_EQ(event & EV_RXCHAR, static_cast<DWORD>(EV_RXCHAR));
    COMSTAT status{};
    for (int i = 0; i < 400 && status.cbInQue < 3; ++i) {
      ASSERT_TRUE(ClearCommError(port, nullptr, &status));
      if (status.cbInQue < 3) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    uint8_t in[3] = {};
    ASSERT_TRUE(ReadFile(port, in, 3, &moved, nullptr));
    EXPECT_EQ(moved, 3u);
    EXPECT_EQ(std::vector<uint8_t>(in, in + 3), std::vector<uint8_t>(back, back + 3));
    DWORD modem = 0;
    ASSERT_TRUE(GetCommModemStatus(port, &modem));
    EXPECT_EQ(modem & MS_RLSD_ON, static_cast<DWORD>(MS_RLSD_ON));
    // The far end hangs up: the carrier goes.
    far.Hangup();
    for (int i = 0; i < 400 && (modem & MS_RLSD_ON); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      GetCommModemStatus(port, &modem);
    }
    EXPECT_EQ(modem & MS_RLSD_ON, 0u);
  }

};

TEST_F(TapiMgrTest, AMachineWithoutAModemOrAChosenLineGetsItsResult) {
  const struct {
    const char* lines;  // WINAPI_MODEM_LINES
    bool fail;          // the line functions cannot start
    int64_t device;     // -1: no LineDevice value
    int initialize, devices, opened;
  } cases[] = {
      {"none", false, 0, net::TapiMgr::kNoDevices, 0, 0},
      {nullptr, true, 0, net::TapiMgr::kNoTelephony, 0, 0},
      {nullptr, false, -1, net::TapiMgr::kNoChosenDevice, 1, 0},
      {"Modem A,Modem B", false, 5, net::TapiMgr::kStarted, 2, 0},  // a device that is not there
      {"Modem A,Modem B", false, 1, net::TapiMgr::kStarted, 2, 1},
  };
  for (const auto& c : cases) {
    if (c.lines) setenv("WINAPI_MODEM_LINES", c.lines, 1);
    else unsetenv("WINAPI_MODEM_LINES");
    if (c.fail) winapi::testing::FailCall("lineInitialize", 0x80000043);
    winapi::registry::UseFile("");
    fs::remove(registry);
    winapi::registry::UseFile(registry);
    if (c.device >= 0) ChooseLine(static_cast<DWORD>(c.device));
    net::TapiMgr tapi;
    EXPECT_EQ(tapi.Initialize(nullptr, false), c.initialize) << c.device;
    EXPECT_EQ(tapi.NegotiateVersions(), c.devices) << c.device;
    EXPECT_EQ(tapi.OpenLine(), c.opened) << c.device;
  }
  // The listed lines carry their names.
  net::TapiMgr tapi;
  ASSERT_EQ(tapi.Initialize(nullptr, false), net::TapiMgr::kStarted);
  ASSERT_EQ(tapi.NegotiateVersions(), 2);
  EXPECT_EQ(tapi.GetDevice(1)->name, "Modem B");
  EXPECT_EQ(tapi.GetDevice(2), nullptr);
}

TEST_F(TapiMgrTest, ACallEndsBusyUnansweredRefusedOrConnected) {
  ChooseLine(0);
  winapi::tapi::ModemAnswerer far(settings);
  ASSERT_TRUE(far.Listen("5550177"));
  // Nobody listens under this number: it rings unanswered.
  {
    net::TapiMgr tapi;
    Open(tapi, false);
    ASSERT_EQ(tapi.Dial("5550199"), 1);
    EXPECT_EQ(Outcome(), net::TapiMgr::kNoAnswer);
  }
  // The far line has a call up: busy.
  {
    net::TapiMgr tapi;
    Open(tapi, false);
    far.SetBusy(true);
    std::thread answer([&] { far.Answer(5000); });
    ASSERT_EQ(tapi.Dial("5550177"), 1);
    EXPECT_EQ(Outcome(), net::TapiMgr::kBusy);
    answer.join();
    far.SetBusy(false);
  }
  // No dial tone: the request itself fails.
  {
    setenv("WINAPI_MODEM_FAULT", "nodialtone", 1);
    net::TapiMgr tapi;
    Open(tapi, false);
    ASSERT_EQ(tapi.Dial("5550177"), 1);
    EXPECT_EQ(Outcome(), net::TapiMgr::kRequestFailed);
    unsetenv("WINAPI_MODEM_FAULT");
  }
  // Nothing to dial, or no line open: nothing is asked for.
  {
    net::TapiMgr tapi;
    EXPECT_EQ(tapi.Dial("5550177"), 0);
    Open(tapi, false);
    EXPECT_EQ(tapi.Dial(""), 0);
  }
  // Answered: connected, and the call's serial port carries bytes both ways until the far end hangs up.
  {
    net::TapiMgr tapi;
    Open(tapi, false);
    std::unique_ptr<winapi::tapi::ModemCall> call;
    std::thread answer([&] { call = far.Answer(10000); });
    ASSERT_EQ(tapi.Dial("5550177"), 1);
    EXPECT_EQ(Outcome(), net::TapiMgr::kConnected);
    answer.join();
    ASSERT_TRUE(call);
    HANDLE port = net::TapiMgr::CommHandle();
    ASSERT_NE(port, nullptr);
    DCB state{};
    ASSERT_TRUE(GetCommState(port, &state));
    EXPECT_EQ(state.BaudRate, 115200u);
    ExpectCarries(port, *call);
  }
}

// The answering side's line listens under its number and answers the call that comes in.
TEST_F(TapiMgrTest, TheAnsweringLineTakesAnIncomingCall) {
  ChooseLine(0);
  net::TapiMgr tapi;
  Open(tapi, true);
  int result = 0;
  std::unique_ptr<winapi::tapi::ModemCall> call;
  for (int i = 0; i < 100 && !call; ++i) {
    call = winapi::tapi::DialNumber("5550141", settings, &result);
    if (!call) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(call) << result;
  EXPECT_EQ(Outcome(), net::TapiMgr::kConnected);
  HANDLE port = net::TapiMgr::TakeCommHandle();
  ASSERT_NE(port, nullptr);
  ExpectCarries(port, *call);
  CloseHandle(port);
  // A handle that is not a port is refused.
  DCB state{};
  EXPECT_FALSE(GetCommState(port, &state));
}

// A damaged line's error flags reach the port's reader once: reading them clears them.
TEST(CallPortTest, LineErrorsAreReportedOnceByTheirReader) {
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  auto call = std::make_shared<winapi::tapi::ModemCall>(fds[0], winapi::tapi::LineSettings{});
  winapi::tapi::ModemCall far(fds[1], winapi::tapi::LineSettings{});
  HANDLE port = winapi::tapi::OpenCallPort(call);
  ASSERT_NE(port, nullptr);
  DWORD errors = 0xFFFF;
  ASSERT_TRUE(ClearCommError(port, &errors, nullptr));
  EXPECT_EQ(errors, 0u);
  call->RaiseLineErrors(CE_FRAME);
  ASSERT_TRUE(ClearCommError(port, &errors, nullptr));
  EXPECT_EQ(errors, static_cast<DWORD>(CE_FRAME));
  ASSERT_TRUE(ClearCommError(port, &errors, nullptr));
  EXPECT_EQ(errors, 0u);
  CloseHandle(port);
}

}  // namespace
