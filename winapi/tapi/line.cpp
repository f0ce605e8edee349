// The line functions over the stand-in's telephone line. Each line application has a notifier thread that runs
// its callback; dials and the answering line's listening run on threads of the line, which its close wakes and
// waits for.
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tapi.h"
#include "winapi/tapi/commport.h"
#include "winapi/tapi/modemline.h"
#include "winapi/testing.h"

namespace winapi::tapi {
namespace {

constexpr DWORD kVersion = 0x10004, kOldestVersion = 0x10003;

struct Note {
  DWORD device, message;
  DWORD_PTR instance, p1, p2, p3;
};

struct App {
  LINECALLBACK callback = nullptr;
  LineSettings settings;
  std::mutex lock;
  std::condition_variable wake;
  std::deque<Note> notes;
  bool stop = false;
  std::thread notifier;

  void Post(const Note& n) {
    {
      std::lock_guard<std::mutex> hold(lock);
      notes.push_back(n);
    }
    wake.notify_one();
  }
  void Run() {
    std::unique_lock<std::mutex> hold(lock);
    for (;;) {
      wake.wait(hold, [&] { return stop || !notes.empty(); });
      if (notes.empty()) return;  // stopping, everything told
      const Note n = notes.front();
      notes.pop_front();
      hold.unlock();
      callback(n.device, n.message, n.instance, n.p1, n.p2, n.p3);
      hold.lock();
    }
  }
};

struct Call {
  HLINE line = 0;
  std::shared_ptr<ModemCall> port;     // once connected
  std::unique_ptr<ModemCall> offered;  // an incoming call not yet answered
};

struct Line {
  HLINEAPP app = 0;
  DWORD device = 0;
  DWORD_PTR instance = 0;
  bool owner = false;
  std::unique_ptr<ModemAnswerer> answerer;
  std::atomic<bool> closing{false};
  std::vector<std::thread> workers;
};

std::mutex gLock;
std::map<HLINEAPP, std::shared_ptr<App>> gApps;
std::map<HLINE, std::shared_ptr<Line>> gLines;
std::map<HCALL, std::shared_ptr<Call>> gCalls;
std::map<DWORD, DWORD> gModemOptions;  // per device; unset: compression and error control
DWORD gNextId = 1;

DWORD NewId() { return gNextId++ & 0x7fffffff; }

template <class T>
std::shared_ptr<T> Lookup(const std::map<DWORD, std::shared_ptr<T>>& in, DWORD id) {
  auto it = in.find(id);
  return it == in.end() ? nullptr : it->second;
}

// Tells the line's application, when it is still there.
void Tell(HLINEAPP appId, DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR p2 = 0,
          DWORD_PTR p3 = 0) {
  std::shared_ptr<App> app;
  {
    std::lock_guard<std::mutex> hold(gLock);
    app = Lookup(gApps, appId);
  }
  if (app) app->Post(Note{device, message, instance, p1, p2, p3});
}

void TellCall(const Line& line, HCALL call, DWORD state, DWORD detail = 0, DWORD privilege = 0) {
  Tell(line.app, call, LINE_CALLSTATE, line.instance, state, detail, privilege);
}

// An answering line takes calls until it closes; a call that comes while one is up hears busy.
void Listen(std::shared_ptr<Line> line, HLINE lineId) {
  while (!line->closing) {
    std::unique_ptr<ModemCall> incoming = line->answerer->Answer(100);
    if (!incoming) continue;
    line->answerer->SetBusy(true);
    HCALL id;
    {
      std::lock_guard<std::mutex> hold(gLock);
      id = NewId();
      auto call = std::make_shared<Call>();
      call->line = lineId;
      call->offered = std::move(incoming);
      gCalls[id] = call;
    }
    TellCall(*line, id, LINECALLSTATE_OFFERING, 0, LINECALLPRIVILEGE_OWNER);
  }
}

void Dial(std::shared_ptr<Line> line, std::shared_ptr<Call> call, HCALL callId, DWORD request, std::string number,
          LineSettings settings) {
  TellCall(*line, callId, LINECALLSTATE_DIALING);
  int result = kCallFailed;
  std::unique_ptr<ModemCall> port = DialNumber(number, settings, &result, &line->closing);
  if (!port) {
    // No dial tone, or the line closed while it rang: the request itself failed.
    if (result == kCallFailed) {
      Tell(line->app, 0, LINE_REPLY, line->instance, request, LINEERR_CALLUNAVAIL);
      return;
    }
    Tell(line->app, 0, LINE_REPLY, line->instance, request, 0);
    TellCall(*line, callId, LINECALLSTATE_DISCONNECTED,
             result == kCallBusy ? LINEDISCONNECTMODE_BUSY : LINEDISCONNECTMODE_NOANSWER);
    return;
  }
  {
    std::lock_guard<std::mutex> hold(gLock);
    call->port = std::move(port);
  }
  Tell(line->app, 0, LINE_REPLY, line->instance, request, 0);
  TellCall(*line, callId, LINECALLSTATE_CONNECTED);
}

// Fills a variable-size answer: `payload` after the fixed part, or only the size needed when it does not fit.
LONG Answer(VARSTRING* out, const std::vector<uint8_t>& payload) {
  if (!out) return static_cast<LONG>(LINEERR_INVALPOINTER);
  if (out->dwTotalSize < sizeof(VARSTRING)) return static_cast<LONG>(LINEERR_STRUCTURETOOSMALL);
  const DWORD needed = static_cast<DWORD>(sizeof(VARSTRING) + payload.size());
  out->dwNeededSize = needed;
  out->dwStringFormat = STRINGFORMAT_BINARY;
  if (out->dwTotalSize < needed) {
    out->dwUsedSize = sizeof(VARSTRING);
    out->dwStringSize = out->dwStringOffset = 0;
    return 0;
  }
  std::memcpy(reinterpret_cast<uint8_t*>(out) + sizeof(VARSTRING), payload.data(), payload.size());
  out->dwUsedSize = needed;
  out->dwStringSize = static_cast<DWORD>(payload.size());
  out->dwStringOffset = sizeof(VARSTRING);
  return 0;
}

// Ends the line's threads; its calls are the application's to drop.
void CloseLine(const std::shared_ptr<Line>& line) {
  line->closing = true;
  if (line->answerer) line->answerer->Cancel();
  for (std::thread& t : line->workers)
    if (t.joinable()) t.join();
}

}  // namespace
}  // namespace winapi::tapi

using namespace winapi::tapi;

LONG lineInitialize(HLINEAPP* appId, HINSTANCE, LINECALLBACK callback, LPCSTR, DWORD* deviceCount) {
  if (!appId || !deviceCount || !callback) return static_cast<LONG>(LINEERR_INVALPOINTER);
  uint32_t error = LINEERR_NODRIVER;
  if (winapi::testing::ShouldFail("lineInitialize", &error)) return static_cast<LONG>(error);
  auto app = std::make_shared<App>();
  app->callback = callback;
  app->settings = LineSettings::FromEnvironment();
  app->notifier = std::thread([a = app.get()] { a->Run(); });
  std::lock_guard<std::mutex> hold(gLock);
  *appId = NewId();
  *deviceCount = static_cast<DWORD>(app->settings.lines.size());
  gApps[*appId] = app;
  return 0;
}

LONG lineShutdown(HLINEAPP appId) {
  std::shared_ptr<App> app;
  std::vector<std::shared_ptr<Line>> lines;
  {
    std::lock_guard<std::mutex> hold(gLock);
    app = Lookup(gApps, appId);
    if (!app) return static_cast<LONG>(LINEERR_INVALAPPHANDLE);
    for (auto it = gLines.begin(); it != gLines.end();) {
      if (it->second->app == appId) {
        lines.push_back(it->second);
        for (auto c = gCalls.begin(); c != gCalls.end();) c = c->second->line == it->first ? gCalls.erase(c) : std::next(c);
        it = gLines.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& line : lines) CloseLine(line);
  {
    std::lock_guard<std::mutex> hold(app->lock);
    app->stop = true;
  }
  app->wake.notify_one();
  if (app->notifier.get_id() != std::this_thread::get_id()) app->notifier.join();
  else app->notifier.detach();
  std::lock_guard<std::mutex> hold(gLock);
  gApps.erase(appId);
  return 0;
}

LONG lineNegotiateAPIVersion(HLINEAPP appId, DWORD device, DWORD low, DWORD high, DWORD* version, LINEEXTENSIONID* ext) {
  std::lock_guard<std::mutex> hold(gLock);
  auto app = Lookup(gApps, appId);
  if (!app) return static_cast<LONG>(LINEERR_INVALAPPHANDLE);
  if (!version) return static_cast<LONG>(LINEERR_INVALPOINTER);
  if (device >= app->settings.lines.size()) return static_cast<LONG>(LINEERR_BADDEVICEID);
  if (low > kVersion || high < kOldestVersion || low > high) return static_cast<LONG>(LINEERR_INCOMPATIBLEAPIVERSION);
  *version = high < kVersion ? high : kVersion;
  if (ext) *ext = LINEEXTENSIONID{};
  return 0;
}

LONG lineGetDevCaps(HLINEAPP appId, DWORD device, DWORD version, DWORD, LINEDEVCAPS* caps) {
  std::lock_guard<std::mutex> hold(gLock);
  auto app = Lookup(gApps, appId);
  if (!app) return static_cast<LONG>(LINEERR_INVALAPPHANDLE);
  if (device >= app->settings.lines.size()) return static_cast<LONG>(LINEERR_BADDEVICEID);
  if (version < kOldestVersion || version > kVersion) return static_cast<LONG>(LINEERR_INCOMPATIBLEAPIVERSION);
  if (!caps) return static_cast<LONG>(LINEERR_INVALPOINTER);
  if (caps->dwTotalSize < sizeof(LINEDEVCAPS)) return static_cast<LONG>(LINEERR_STRUCTURETOOSMALL);
  const std::string& name = app->settings.lines[device];
  const DWORD needed = static_cast<DWORD>(sizeof(LINEDEVCAPS) + name.size() + 1);
  caps->dwNeededSize = needed;
  caps->dwMediaModes = LINEMEDIAMODE_DATAMODEM;
  caps->dwBearerModes = LINEBEARERMODE_VOICE;
  caps->dwMaxRate = app->settings.baud;
  if (caps->dwTotalSize < needed) {
    caps->dwUsedSize = sizeof(LINEDEVCAPS);
    caps->dwLineNameSize = caps->dwLineNameOffset = 0;
    return 0;
  }
  std::memcpy(reinterpret_cast<char*>(caps) + sizeof(LINEDEVCAPS), name.c_str(), name.size() + 1);
  caps->dwLineNameSize = static_cast<DWORD>(name.size() + 1);
  caps->dwLineNameOffset = sizeof(LINEDEVCAPS);
  caps->dwUsedSize = needed;
  return 0;
}

LONG lineOpen(HLINEAPP appId, DWORD device, HLINE* lineId, DWORD version, DWORD, DWORD_PTR instance,
              DWORD privileges, DWORD mediaModes, const LINECALLPARAMS*) {
  std::shared_ptr<App> app;
  {
    std::lock_guard<std::mutex> hold(gLock);
    app = Lookup(gApps, appId);
  }
  if (!app) return static_cast<LONG>(LINEERR_INVALAPPHANDLE);
  if (!lineId) return static_cast<LONG>(LINEERR_INVALPOINTER);
  if (device >= app->settings.lines.size()) return static_cast<LONG>(LINEERR_BADDEVICEID);
  if (version < kOldestVersion || version > kVersion) return static_cast<LONG>(LINEERR_INCOMPATIBLEAPIVERSION);
  if (!(mediaModes & LINEMEDIAMODE_DATAMODEM)) return static_cast<LONG>(LINEERR_INVALMEDIAMODE);
  auto line = std::make_shared<Line>();
  line->app = appId;
  line->device = device;
  line->instance = instance;
  line->owner = (privileges & LINECALLPRIVILEGE_OWNER) != 0;
  if (line->owner) {
    // This line answers under its number; another process listening there already has it.
    line->answerer = std::make_unique<ModemAnswerer>(app->settings);
    if (!line->answerer->Listen(app->settings.number)) return static_cast<LONG>(LINEERR_RESOURCEUNAVAIL);
  }
  std::lock_guard<std::mutex> hold(gLock);
  *lineId = NewId();
  gLines[*lineId] = line;
  if (line->owner) line->workers.emplace_back(Listen, line, *lineId);
  return 0;
}

LONG lineClose(HLINE lineId) {
  std::shared_ptr<Line> line;
  {
    std::lock_guard<std::mutex> hold(gLock);
    line = Lookup(gLines, lineId);
    if (!line) return static_cast<LONG>(LINEERR_INVALLINEHANDLE);
    gLines.erase(lineId);
  }
  CloseLine(line);
  return 0;
}

LONG lineSetStatusMessages(HLINE lineId, DWORD, DWORD) {
  std::lock_guard<std::mutex> hold(gLock);
  return Lookup(gLines, lineId) ? 0 : static_cast<LONG>(LINEERR_INVALLINEHANDLE);
}

LONG lineGetLineDevStatus(HLINE lineId, LINEDEVSTATUS* status) {
  std::lock_guard<std::mutex> hold(gLock);
  if (!Lookup(gLines, lineId)) return static_cast<LONG>(LINEERR_INVALLINEHANDLE);
  if (!status) return static_cast<LONG>(LINEERR_INVALPOINTER);
  if (status->dwTotalSize < sizeof(LINEDEVSTATUS)) return static_cast<LONG>(LINEERR_STRUCTURETOOSMALL);
  DWORD active = 0;
  for (auto& [id, call] : gCalls)
    if (call->line == lineId && call->port) ++active;
  status->dwNeededSize = status->dwUsedSize = sizeof(LINEDEVSTATUS);
  status->dwNumActiveCalls = active;
  return 0;
}

LONG lineMakeCall(HLINE lineId, HCALL* callId, LPCSTR number, DWORD, const LINECALLPARAMS*) {
  std::lock_guard<std::mutex> hold(gLock);
  auto line = Lookup(gLines, lineId);
  if (!line) return static_cast<LONG>(LINEERR_INVALLINEHANDLE);
  if (!callId || !number) return static_cast<LONG>(LINEERR_INVALPOINTER);
  auto app = Lookup(gApps, line->app);
  if (!app) return static_cast<LONG>(LINEERR_INVALAPPHANDLE);
  auto call = std::make_shared<Call>();
  call->line = lineId;
  *callId = NewId();
  gCalls[*callId] = call;
  const DWORD request = NewId();
  line->workers.emplace_back(Dial, line, call, *callId, request, std::string(number), app->settings);
  return static_cast<LONG>(request);
}

LONG lineAnswer(HCALL callId, LPCSTR, DWORD) {
  std::shared_ptr<Line> line;
  DWORD request;
  {
    std::lock_guard<std::mutex> hold(gLock);
    auto call = Lookup(gCalls, callId);
    if (!call) return static_cast<LONG>(LINEERR_INVALCALLHANDLE);
    if (!call->offered) return static_cast<LONG>(LINEERR_INVALCALLSTATE);
    line = Lookup(gLines, call->line);
    if (!line) return static_cast<LONG>(LINEERR_INVALLINEHANDLE);
    call->port = std::move(call->offered);
    request = NewId();
  }
  Tell(line->app, 0, LINE_REPLY, line->instance, request, 0);
  TellCall(*line, callId, LINECALLSTATE_CONNECTED);
  return static_cast<LONG>(request);
}

LONG lineDrop(HCALL callId, LPCSTR, DWORD) {
  std::shared_ptr<Line> line;
  std::shared_ptr<Call> call;
  DWORD request;
  {
    std::lock_guard<std::mutex> hold(gLock);
    call = Lookup(gCalls, callId);
    if (!call) return static_cast<LONG>(LINEERR_INVALCALLHANDLE);
    line = Lookup(gLines, call->line);
    request = NewId();
  }
  if (call->port) call->port->Hangup();
  if (call->offered) call->offered->Hangup();
  if (line) {
    Tell(line->app, 0, LINE_REPLY, line->instance, request, 0);
    TellCall(*line, callId, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
    TellCall(*line, callId, LINECALLSTATE_IDLE);
  }
  return static_cast<LONG>(request);
}

LONG lineDeallocateCall(HCALL callId) {
  std::lock_guard<std::mutex> hold(gLock);
  auto call = Lookup(gCalls, callId);
  if (!call) return static_cast<LONG>(LINEERR_INVALCALLHANDLE);
  // The answering line takes the next call once this one is gone.
  if (auto line = Lookup(gLines, call->line); line && line->answerer) line->answerer->SetBusy(false);
  gCalls.erase(callId);
  return 0;
}

LONG lineGetID(HLINE lineId, DWORD, HCALL callId, DWORD select, VARSTRING* id, LPCSTR deviceClass) {
  if (!deviceClass || std::strcmp(deviceClass, "comm/datamodem") != 0) return static_cast<LONG>(LINEERR_NODEVICE);
  std::shared_ptr<ModemCall> port;
  std::string name;
  {
    std::lock_guard<std::mutex> hold(gLock);
    std::shared_ptr<Line> line;
    if (select == LINECALLSELECT_CALL) {
      auto call = Lookup(gCalls, callId);
      if (!call) return static_cast<LONG>(LINEERR_INVALCALLHANDLE);
      if (!call->port) return static_cast<LONG>(LINEERR_INVALCALLSTATE);
      port = call->port;
      line = Lookup(gLines, call->line);
    } else {
      line = Lookup(gLines, lineId);
    }
    if (!line) return static_cast<LONG>(LINEERR_INVALLINEHANDLE);
    if (auto app = Lookup(gApps, line->app)) name = app->settings.lines[line->device];
  }
  std::vector<uint8_t> payload;
  if (port) {
    // A port handle is made only when the whole answer fits, so a too small buffer leaks nothing.
    if (id && id->dwTotalSize >= sizeof(VARSTRING) + sizeof(HANDLE) + name.size() + 1) {
      HANDLE h = OpenCallPort(port);
      payload.resize(sizeof h);
      std::memcpy(payload.data(), &h, sizeof h);
    } else {
      payload.resize(sizeof(HANDLE));
    }
  }
  payload.insert(payload.end(), name.begin(), name.end());
  payload.push_back(0);
  return Answer(id, payload);
}

LONG lineGetDevConfig(DWORD device, VARSTRING* config, LPCSTR deviceClass) {
  if (!deviceClass || std::strcmp(deviceClass, "comm/datamodem") != 0) return static_cast<LONG>(LINEERR_NODEVICE);
  std::lock_guard<std::mutex> hold(gLock);
  if (device >= LineSettings::FromEnvironment().lines.size()) return static_cast<LONG>(LINEERR_BADDEVICEID);
  auto it = gModemOptions.find(device);
  MODEMSETTINGS m{sizeof(MODEMSETTINGS), sizeof(MODEMSETTINGS),
                  it != gModemOptions.end() ? it->second : MDM_COMPRESSION | MDM_ERROR_CONTROL};
  std::vector<uint8_t> payload(sizeof m);
  std::memcpy(payload.data(), &m, sizeof m);
  return Answer(config, payload);
}

LONG lineSetDevConfig(DWORD device, const void* config, DWORD size, LPCSTR deviceClass) {
  if (!deviceClass || std::strcmp(deviceClass, "comm/datamodem") != 0) return static_cast<LONG>(LINEERR_NODEVICE);
  if (!config) return static_cast<LONG>(LINEERR_INVALPOINTER);
  if (size < sizeof(MODEMSETTINGS)) return static_cast<LONG>(LINEERR_INVALPARAM);
  std::lock_guard<std::mutex> hold(gLock);
  if (device >= LineSettings::FromEnvironment().lines.size()) return static_cast<LONG>(LINEERR_BADDEVICEID);
  MODEMSETTINGS m;
  std::memcpy(&m, config, sizeof m);
  gModemOptions[device] = m.dwPreferredModemOptions;
  return 0;
}
