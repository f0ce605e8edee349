#include "net/tapimgr.h"

#include <atomic>
#include <cstring>
#include <mutex>

#include "framework/core/registry.h"
#include "framework/core/services.h"

namespace net {
namespace {

constexpr DWORD kVersion = 0x10004;
constexpr const char* kDataModem = "comm/datamodem";

// The program's one line and call, shared with the status callback.
std::mutex gLock;
HLINE gLine = 0;
HCALL gCall = 0;
HANDLE gPort = nullptr;
bool gCapabilitiesKnown = false;
HANDLE gEvent = nullptr;
std::atomic<int> gResult{0};

void SetResult(int result) {
  gResult = result;  // written before the event is set, read after it is signalled
  if (gEvent) SetEvent(gEvent);
}

// The connected call's port; a too small answer is asked again with the room it needs.
HANDLE GetCommHandle() {
  std::vector<uint8_t> buffer(sizeof(VARSTRING) + 64);
  for (int tries = 0; tries < 2; ++tries) {
    auto* id = reinterpret_cast<VARSTRING*>(buffer.data());
    std::memset(id, 0, sizeof *id);
    id->dwTotalSize = static_cast<DWORD>(buffer.size());
    if (lineGetID(0, 0, gCall, LINECALLSELECT_CALL, id, kDataModem) != 0) return nullptr;
    if (id->dwNeededSize > id->dwTotalSize) {
      buffer.resize(id->dwNeededSize);
      continue;
    }
    if (id->dwStringSize < sizeof(HANDLE)) return nullptr;
    HANDLE port;
    std::memcpy(&port, buffer.data() + id->dwStringOffset, sizeof port);
    return port;
  }
  return nullptr;
}

void Callback(DWORD device, DWORD message, DWORD_PTR, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR) {
  if (message == LINE_REPLY) {
    if (p2 != 0) SetResult(TapiMgr::kRequestFailed);
    return;
  }
  if (message == LINE_LINEDEVSTATE) {
    LINEDEVSTATUS status{};
    status.dwTotalSize = sizeof status;
    std::lock_guard<std::mutex> hold(gLock);
    lineGetLineDevStatus(gLine, &status);
    return;
  }
  if (message != LINE_CALLSTATE) return;
  std::unique_lock<std::mutex> hold(gLock);
  switch (p1) {
    case LINECALLSTATE_IDLE:
      if (device == gCall) gCall = 0;
      lineDeallocateCall(device);
      break;
    case LINECALLSTATE_OFFERING:
      // An incoming call is answered at once.
      gCall = device;
      lineAnswer(device, nullptr, 0);
      break;
    case LINECALLSTATE_BUSY:
      hold.unlock();
      SetResult(TapiMgr::kBusy);
      break;
    case LINECALLSTATE_CONNECTED:
      gCall = device;
      if (!gPort) gPort = GetCommHandle();
      hold.unlock();
      SetResult(TapiMgr::kConnected);
      break;
    case LINECALLSTATE_DISCONNECTED:
      hold.unlock();
      SetResult(p2 == LINEDISCONNECTMODE_PICKUP    ? TapiMgr::kPickedUp
                : p2 == LINEDISCONNECTMODE_BUSY    ? TapiMgr::kBusy
                : p2 == LINEDISCONNECTMODE_NOANSWER ? TapiMgr::kNoAnswer
                                                   : TapiMgr::kDisconnected);
      break;
    default:
      break;
  }
}

}  // namespace

TapiMgr::TapiMgr() = default;

TapiMgr::~TapiMgr() {
  {
    std::lock_guard<std::mutex> hold(gLock);
    if (gCall) lineDeallocateCall(gCall);
    gCall = 0;
  }
  // Shut-down first: no callback runs after it returns.
  if (app_) lineShutdown(app_);
  std::lock_guard<std::mutex> hold(gLock);
  gLine = 0;
  if (gPort) CloseHandle(gPort);
  gPort = nullptr;
  if (gEvent) CloseHandle(gEvent);
  gEvent = nullptr;
}

int TapiMgr::Initialize(HINSTANCE instance, bool answering) {
  answering_ = answering;
  {
    std::lock_guard<std::mutex> hold(gLock);
    if (!gEvent) gEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  }
  if (lineInitialize(&app_, instance, Callback, nullptr, &deviceCount_) != 0) {
    app_ = 0;
    return kNoTelephony;
  }
  if (deviceCount_ == 0) return kNoDevices;
  RegistryMgr modem("Modem", false);
  DWORD device = 0;
  if (!modem.ReadValue("LineDevice", &device, sizeof device)) return kNoChosenDevice;
  chosen_ = device;
  return kStarted;
}

int TapiMgr::NegotiateVersions() {
  devices_.clear();
  if (!app_) return 0;
  std::vector<uint8_t> caps(240);
  for (DWORD device = 0; device < deviceCount_; ++device) {
    DWORD version = 0;
    if (lineNegotiateAPIVersion(app_, device, kVersion, kVersion, &version, nullptr) != 0) continue;
    auto* c = reinterpret_cast<LINEDEVCAPS*>(caps.data());
    std::memset(caps.data(), 0, caps.size());
    c->dwTotalSize = static_cast<DWORD>(caps.size());
    if (lineGetDevCaps(app_, device, version, 0, c) != 0) return 0;
    if (c->dwNeededSize > c->dwTotalSize) {
      caps.resize(c->dwNeededSize);
      c = reinterpret_cast<LINEDEVCAPS*>(caps.data());
      std::memset(caps.data(), 0, caps.size());
      c->dwTotalSize = static_cast<DWORD>(caps.size());
      if (lineGetDevCaps(app_, device, version, 0, c) != 0) return 0;
    }
    if (!(c->dwMediaModes & LINEMEDIAMODE_DATAMODEM)) continue;
    if (devices_.size() >= kMaxDevices) break;
    std::string name;
    if (c->dwLineNameSize && c->dwLineNameOffset + c->dwLineNameSize <= caps.size())
      name.assign(reinterpret_cast<const char*>(caps.data() + c->dwLineNameOffset),
                  strnlen(reinterpret_cast<const char*>(caps.data() + c->dwLineNameOffset), c->dwLineNameSize));
    devices_.push_back(Device{device, name});
  }
  return static_cast<int>(devices_.size());
}

const TapiMgr::Device* TapiMgr::GetDevice(int n) const {
  return n >= 0 && n < static_cast<int>(devices_.size()) ? &devices_[static_cast<size_t>(n)] : nullptr;
}

int TapiMgr::OpenLine() {
  if (!app_ || chosen_ == 0xffffffffu) return 0;
  if (lineNegotiateAPIVersion(app_, chosen_, kVersion, kVersion, &version_, nullptr) != 0) return 0;
  HLINE line = 0;
  if (lineOpen(app_, chosen_, &line, version_, 0, 0,
               answering_ ? LINECALLPRIVILEGE_OWNER : LINECALLPRIVILEGE_NONE, LINEMEDIAMODE_DATAMODEM, nullptr) != 0)
    return 0;
  bool known;
  {
    std::lock_guard<std::mutex> hold(gLock);
    gLine = line;
    known = gCapabilitiesKnown;
  }
  if (known) {
    SetModemOptions();
    lineSetStatusMessages(line, LINEDEVSTATE_ALL, 0);
  }
  return 1;
}

int TapiMgr::ConfigureDevice() {
  HLINE line;
  {
    std::lock_guard<std::mutex> hold(gLock);
    line = gLine;
  }
  std::vector<uint8_t> buffer(8000);
  auto* id = reinterpret_cast<VARSTRING*>(buffer.data());
  id->dwTotalSize = static_cast<DWORD>(buffer.size());
  if (!line || lineGetID(line, 0, 0, LINECALLSELECT_LINE, id, kDataModem) != 0) return 0;
  std::lock_guard<std::mutex> hold(gLock);
  gCapabilitiesKnown = true;
  return 1;
}

int TapiMgr::SetModemOptions() {
  std::vector<uint8_t> buffer(8000);
  auto* config = reinterpret_cast<VARSTRING*>(buffer.data());
  config->dwTotalSize = static_cast<DWORD>(buffer.size());
  if (lineGetDevConfig(chosen_, config, kDataModem) != 0) {
    OutputDebugStringA("lineGetDevConfig failed");
    return 0;
  }
  if (config->dwNeededSize > config->dwTotalSize || config->dwStringSize < sizeof(MODEMSETTINGS)) {
    OutputDebugStringA("buffer not big enough to lineGetDevConfig\n");
    return 0;
  }
  MODEMSETTINGS settings;
  std::memcpy(&settings, buffer.data() + config->dwStringOffset, sizeof settings);
  const bool errorControl = (settings.dwPreferredModemOptions & MDM_ERROR_CONTROL) != 0;
  settings.dwPreferredModemOptions &= ~static_cast<DWORD>(MDM_COMPRESSION | MDM_FORCED_EC);
  if (errorControl) settings.dwPreferredModemOptions |= MDM_ERROR_CONTROL;
  if (lineSetDevConfig(chosen_, &settings, sizeof settings, kDataModem) != 0) {
    OutputDebugStringA("lineSetDevConfig failed\n");
    return 0;
  }
  return 1;
}

int TapiMgr::Dial(const char* number) {
  HLINE line;
  {
    std::lock_guard<std::mutex> hold(gLock);
    line = gLine;
  }
  if (!number || !*number || !line) return 0;
  LINECALLPARAMS params{};
  params.dwTotalSize = 112;
  params.dwBearerMode = LINEBEARERMODE_VOICE;
  params.dwMediaMode = LINEMEDIAMODE_DATAMODEM;
  params.dwWaitForDialtone = 3000;
  HCALL call = 0;
  if (lineMakeCall(line, &call, number, 0, &params) < 0) {
    SetResult(kRequestFailed);
    return 0;
  }
  std::lock_guard<std::mutex> hold(gLock);
  gCall = call;
  return 1;
}

void TapiMgr::Drop() {
  std::lock_guard<std::mutex> hold(gLock);
  if (gCall) lineDrop(gCall, nullptr, 0);
}

HANDLE TapiMgr::Event() {
  std::lock_guard<std::mutex> hold(gLock);
  return gEvent;
}

int TapiMgr::Result() { return gResult.load(); }

HANDLE TapiMgr::CommHandle() {
  std::lock_guard<std::mutex> hold(gLock);
  return gPort;
}

HANDLE TapiMgr::TakeCommHandle() {
  std::lock_guard<std::mutex> hold(gLock);
  HANDLE port = gPort;
  gPort = nullptr;
  return port;
}

}  // namespace net
