#include "net/modemmgr.h"

#include <cstdio>
#include <cstring>

#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "golf/golfmsg.h"
#include "platformlib/core/byteorder.h"
#include "winapi_comm.h"

namespace net {

SerialPort::~SerialPort() {
  if (port_) CloseHandle(port_);
}

uint32_t SerialPort::Waiting() {
  COMSTAT status{};
  DWORD errors = 0;
  return ClearCommError(port_, &errors, &status) ? status.cbInQue : 0;
}

uint32_t SerialPort::Read(uint8_t* into, uint32_t n) {
  DWORD got = 0;
  return ReadFile(port_, into, n, &got, nullptr) ? got : 0;
}

bool SerialPort::Write(const uint8_t* data, uint32_t n) {
  DWORD put = 0;
  if (!WriteFile(port_, data, n, &put, nullptr)) {
    char text[64];
    std::snprintf(text, sizeof text, "Data transmission error: %lu\n", static_cast<unsigned long>(GetLastError()));
    OutputDebugStringA(text);
    return false;
  }
  if (put != n) OutputDebugStringA("Transmission failed to send all data\n");
  return put == n;
}

bool SerialPort::Carrier() {
  DWORD status = 0;
  return GetCommModemStatus(port_, &status) && (status & MS_RLSD_ON);
}

void SerialPort::PurgeInput() { PurgeComm(port_, PURGE_RXCLEAR); }

uint32_t SerialPort::LineErrors() {
  DWORD errors = 0;
  return ClearCommError(port_, &errors, nullptr) ? errors : 0;
}

namespace {

// Counts a wait for the call in progress, for the tear-down to wait for.
struct Waiting {
  explicit Waiting(std::atomic<int>& n) : n_(n) { ++n_; }
  ~Waiting() { --n_; }
  std::atomic<int>& n_;
};

// The line manager set up as far as an open line; 0 and the player told why, or -1 when the line functions
// themselves cannot start (nothing to tell).
int OpenModemLine(TapiMgr& tapi, bool answering) {
  if (tapi.Initialize(nullptr, answering) == TapiMgr::kNoTelephony) return -1;
  if (tapi.NegotiateVersions() == 0) {
    Svc().frontEnd->ShowMessageDialog("No installed modems found by Windows.", 0);
    return 0;
  }
  if (!tapi.OpenLine()) {
    Svc().frontEnd->ShowMessageDialog("Error initializing modem.", 0);
    return 0;
  }
  return 1;
}

}  // namespace

ModemMgr::ModemMgr(bool answering) : localId_(answering ? 1 : 2), remoteId_(answering ? 2 : 1) {
  hostFlag = answering ? 1 : 0;
  ResetLinkFailure();
  GolfHandshake = HandshakeSettings{3000, 30, 15000, 6};
  stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  WriteLE32(players_[0], localId_);
  WriteLE32(players_[1], remoteId_);
}

ModemMgr::~ModemMgr() {
  Close();
  CloseHandle(stop_);
}

void ModemMgr::Close() {
  // A wait for the call still running on another thread is woken, and ends before anything it uses goes.
  SetEvent(stop_);
  while (waiting_.load() > 0) Sleep(10);
  StopLink();
  tapi_.reset();
}

void ModemMgr::StopLink() {
  // The link's threads end before the port they use is closed, and the call is dropped after them.
  if (port_) SetCommMask(port_->handle(), 0);
  if (link_) link_->Stop();
  link_.reset();
  port_.reset();
  up_ = false;
  if (tapi_) tapi_->Drop();
}

int ModemMgr::Init() {
  Svc().frontEnd->SetBusy(true);
  tapi_ = std::make_unique<TapiMgr>();
  int opened = OpenModemLine(*tapi_, hostFlag != 0);
  if (opened == 1) {
    // The modem's capabilities are learnt from the line, and a second start sets its options with them.
    tapi_->ConfigureDevice();
    tapi_.reset();
    tapi_ = std::make_unique<TapiMgr>();
    opened = OpenModemLine(*tapi_, hostFlag != 0);
  }
  if (opened != 1) {
    tapi_.reset();
    Svc().frontEnd->SetBusy(false);
    return 0;
  }
  const int started = CCommBase::Init();
  // A modem line is slower to answer than a LAN.
  GolfHandshake.periodMs = 4000;
  SetLocalGolfer("GOLFER");
  Svc().frontEnd->SetBusy(false);
  return started;
}

int ModemMgr::Shutdown() {
  Close();
  return CCommBase::Shutdown();
}

int ModemMgr::SetLocalGolfer(const char* name) {
  std::memset(players_[0] + 4, 0, 52);
  if (name) std::strncpy(reinterpret_cast<char*>(players_[0] + 4), name, 51);
  return 1;
}

void ModemMgr::SetRemoteGolfer(const char* name) {
  std::memset(players_[1] + 4, 0, 52);
  if (name) std::strncpy(reinterpret_cast<char*>(players_[1] + 4), name, 51);
}

int ModemMgr::GetPlayerCount() { return (linkUp() ? 1 : 0) + (includeSelf_ ? 1 : 0); }

const uint8_t* ModemMgr::GetPlayerEntry(int n) {
  if (!includeSelf_) return players_[1];
  return n == 0 ? players_[0] : players_[1];
}

int ModemMgr::Dial(const char* number) {
  if (hostFlag || !tapi_) return 0;
  return tapi_->Dial(number);
}

int ModemMgr::WaitForConnection() {
  Waiting waiting(waiting_);
  HANDLE call = TapiMgr::Event();
  if (!call || !tapi_) return WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0 ? kStopped : TapiMgr::kRequestFailed;
  const HANDLE both[2] = {stop_, call};
  if (WaitForMultipleObjects(2, both, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return kStopped;
  const int result = TapiMgr::Result();
  if (result != TapiMgr::kConnected) {
    // The next call's outcome is awaited afresh.
    ResetEvent(call);
    return result;
  }
  HANDLE handle = TapiMgr::TakeCommHandle();
  if (!handle) return TapiMgr::kRequestFailed;
  auto port = std::make_unique<SerialPort>(handle);
  DCB state{};
  state.DCBlength = sizeof state;
  const uint32_t baud = GetCommState(handle, &state) ? state.BaudRate : 14400;
  if (!SetupComm(handle, 8192, 8192)) {
    char text[48];
    std::snprintf(text, sizeof text, "Error Setting Buffer Sizes: %lu", static_cast<unsigned long>(GetLastError()));
    OutputDebugStringA(text);
  }
  // Reads do not wait; a write may take 20 ms a byte and 5 s more.
  COMMTIMEOUTS timeouts{0xffffffffu, 0, 0, 20, 5000};
  SetCommTimeouts(handle, &timeouts);
  PurgeComm(handle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
  SetCommMask(handle, EV_RXCHAR | EV_RLSD);
  if (WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0) return kStopped;
  ModemLink::Events events;
  events.deliver = [this](uint32_t, std::vector<uint8_t>&& m) {
    PostGameData(remoteId_, m.data(), static_cast<uint32_t>(m.size()));
  };
  events.linkFailure = [this] { PostLinkFailure(); };
  port_ = std::move(port);
  link_ = std::make_unique<ModemLink>(port_.get(), baud, localId_, std::move(events));
  up_ = true;
  link_->Start();
  // The far end's side of the call comes up a moment later, and purges its port as it does: a little time
  // for it before the first message keeps that message off a line nobody reads yet.
  if (WaitForSingleObject(stop_, 2000) == WAIT_OBJECT_0) return kStopped;
  return kLinkUp;
}

void ModemMgr::SendGameData(uint32_t destination, const void* data, uint32_t n) {
  if (n == 0 || destination == localId_) return;
  // A destination beyond the two players reaches this game too, as from that id.
  if (destination > 2) PostGameData(destination, data, n);
  if (link_ && !link_->Send(data, n)) OutputDebugStringA("Out of Memory in Send");
}

void ModemMgr::BroadcastGameData(uint32_t, const void* data, uint32_t n) {
  if (n == 0) return;
  PostGameData(localId_, data, n);
  SendGameData(remoteId_, data, n);
}

void ModemMgr::SendGameWords(uint32_t destination, uint32_t a, uint32_t b) {
  uint8_t words[8];
  WriteLE32(words, a);
  WriteLE32(words + 4, b);
  SendGameData(destination, words, 8);
}

void ModemMgr::BroadcastGameWords(uint32_t, uint32_t a, uint32_t b) {
  uint8_t words[8];
  WriteLE32(words, a);
  WriteLE32(words + 4, b);
  BroadcastGameData(localId_, words, 8);
}

}  // namespace net
