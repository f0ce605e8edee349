#include "net/sockwindow.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "framework/core/registry.h"
#include "net/socket.h"
#include "winapi_modules.h"

namespace net {
namespace {

struct SocketEntry {
  bool used = false;
  winsock::SOCKET socket = winsock::INVALID_SOCKET;
  CSock* owner = nullptr;
};
struct LookupEntry {
  bool used = false;
  HANDLE task = nullptr;
  CSock* owner = nullptr;
};

std::mutex g_tableLock;
SocketEntry g_sockets[kSocketTableSize];
LookupEntry g_lookups[kSocketTableSize];

HWND g_window = nullptr;
HANDLE g_thread = nullptr;
HANDLE g_ready = nullptr;
bool g_started = false;
bool g_classRegistered = false;

// Takes the owner of a socket's entry, held for the notification; null when the socket is not registered.
CSock* HoldOwner(winsock::SOCKET s) {
  std::lock_guard<std::mutex> lock(g_tableLock);
  for (SocketEntry& e : g_sockets)
    if (e.used && e.socket == s) return e.owner->TryAddRef() ? e.owner : nullptr;
  return nullptr;
}

CSock* TakeLookup(HANDLE task) {
  std::lock_guard<std::mutex> lock(g_tableLock);
  for (LookupEntry& e : g_lookups)
    if (e.used && e.task == task) {
      e.used = false;
      return e.owner;  // the look-up's hold passes to the caller
    }
  return nullptr;
}

LRESULT SocketWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kSocketEventMessage: {
      const auto s = static_cast<winsock::SOCKET>(wParam);
      CSock* owner = HoldOwner(s);
      if (!owner) return 0;
      // An event that was on its way when the socket closed is not this object's.
      if (owner->socket() == s) {
        const int error = WSAGETSELECTERROR(lParam);
        switch (WSAGETSELECTEVENT(lParam)) {
          case kEventRead: owner->OnRead(error); break;
          case kEventWrite: owner->OnWrite(error); break;
          case kEventAccept: owner->OnAccept(error); break;
          case kEventConnect: owner->OnConnect(error); break;
          case kEventClose: owner->OnClose(error); break;
          default: break;
        }
      }
      owner->Release();
      return 0;
    }
    case kLookupDoneMessage: {
      CSock* owner = TakeLookup(reinterpret_cast<HANDLE>(wParam));
      if (!owner) return 0;
      owner->OnHostResolved(WSAGETASYNCERROR(lParam));
      owner->Release();
      return 0;
    }
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

DWORD WINAPI SocketWindowThread(LPVOID) {
  g_window = CreateWindowExA(0, "GolfSocketWndClass", "GolfSocketWnd", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                             nullptr);
  SetEvent(g_ready);
  if (!g_window) return 1;
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  g_window = nullptr;
  return 0;
}

}  // namespace

int StartSocketWindow() {
  if (g_started) return 1;
  if (!g_classRegistered) {
    WNDCLASSA cls{};
    cls.lpfnWndProc = SocketWindowProc;
    cls.lpszClassName = "GolfSocketWndClass";
    if (!RegisterClassA(&cls)) return 0;
    g_classRegistered = true;
  }
  winsock::WSADATA data;
  if (winsock::WSAStartup(0x0101, &data) != 0) return 0;
  g_ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD id = 0;
  g_thread = CreateThread(nullptr, 0, SocketWindowThread, nullptr, 0, &id);
  const bool up = g_thread && WaitForSingleObject(g_ready, 10000) == WAIT_OBJECT_0 && g_window;
  CloseHandle(g_ready);
  g_ready = nullptr;
  if (!up) {
    if (g_thread) {
      WaitForSingleObject(g_thread, 10000);
      CloseHandle(g_thread);
      g_thread = nullptr;
    }
    winsock::WSACleanup();
    return 0;
  }
  g_started = true;
  return 1;
}

int StopSocketWindow() {
  if (!g_started) return 1;
  PostMessageA(g_window, WM_CLOSE, 0, 0);
  // Nothing the thread uses is freed before it has ended.
  while (WaitForSingleObject(g_thread, 10000) == WAIT_TIMEOUT) WriteLogLine("Socket window thread still running");
  CloseHandle(g_thread);
  g_thread = nullptr;
  winsock::WSACleanup();
  g_started = false;
  return 1;
}

bool SocketWindowRunning() { return g_started; }

int RegisterSocket(winsock::SOCKET s, long mask, CSock* owner) {
  {
    std::lock_guard<std::mutex> lock(g_tableLock);
    SocketEntry* slot = nullptr;
    for (SocketEntry& e : g_sockets)
      if (e.used && e.socket == s) slot = &e;
    if (!slot)
      for (SocketEntry& e : g_sockets)
        if (!e.used) {
          slot = &e;
          break;
        }
    if (!slot) return 0;
    *slot = {true, s, owner};
  }
  return winsock::WSAAsyncSelect(s, g_window, kSocketEventMessage, mask) == 0 ? 1 : 0;
}

void UnregisterSocket(winsock::SOCKET s) {
  std::lock_guard<std::mutex> lock(g_tableLock);
  for (SocketEntry& e : g_sockets)
    if (e.used && e.socket == s) e = SocketEntry{};
}

int RegisteredSocketCount() {
  std::lock_guard<std::mutex> lock(g_tableLock);
  int n = 0;
  for (const SocketEntry& e : g_sockets) n += e.used;
  return n;
}

int LookupHostAsync(const char* name, char* buffer, int length, CSock* owner) {
  std::lock_guard<std::mutex> lock(g_tableLock);
  LookupEntry* slot = nullptr;
  for (LookupEntry& e : g_lookups)
    if (!e.used) {
      slot = &e;
      break;
    }
  if (!slot) return 0;
  // The answer cannot arrive before the entry is made: the window thread takes the table lock to find it.
  HANDLE task = winsock::WSAAsyncGetHostByName(g_window, kLookupDoneMessage, name, buffer, length);
  if (!task) return 0;
  owner->AddRef();
  *slot = {true, task, owner};
  return 1;
}

const char* WinsockErrorText(int code) {
  static const struct {
    const char* name;
    int code;
  } kNames[] = {
      {"INTR", 10004}, {"BADF", 10009}, {"CCES", 10013}, {"FAULT", 10014}, {"INVAL", 10022}, {"MFILE", 10024},
      {"WOULDBLOCK", 10035}, {"INPROGRESS", 10036}, {"ALREADY", 10037}, {"NOTSOCK", 10038},
      {"DESTADDRREQ", 10039}, {"MSGSIZE", 10040}, {"PROTOTYPE", 10041}, {"NOPROTOOPT", 10042},
      {"PROTONOSUPPORT", 10043}, {"SOCKTNOSUPPORT", 10044}, {"OPNOTSUPP", 10045}, {"PFNOSUPPORT", 10046},
      {"AFNOSUPPORT", 10047}, {"ADDRINUSE", 10048}, {"ADDRNOTAVAIL", 10049}, {"NETDOWN", 10050},
      {"NETUNREACH", 10051}, {"NETRESET", 10052}, {"CONNABORTED", 10053}, {"CONNRESET", 10054},
      {"NOBUFS", 10055}, {"ISCONN", 10056}, {"NOTCONN", 10057}, {"SHUTDOWN", 10058}, {"TOOMANYREFS", 10059},
      {"TIMEDOUT", 10060}, {"CONNREFUSED", 10061}, {"LOOP", 10062}, {"NAMETOOLONG", 10063}, {"HOSTDOWN", 10064},
      {"HOSTUNREACH", 10065}, {"NOTEMPTY", 10066}, {"PROCLIM", 10067}, {"USERS", 10068}, {"DQUOT", 10069},
      {"STALE", 10070}, {"REMOTE", 10071}, {"DISCON", 10101}, {"SYSNOTREADY", 10091},
      {"VERNOTSUPPORTED", 10092}, {"NOTINITIALISED", 10093}, {"HOST_NOT_FOUND", 11001}, {"TRY_AGAIN", 11002},
      {"NO_RECOVERY", 11003}, {"NO_DATA", 11004},
  };
  static thread_local char text[128];
  for (const auto& n : kNames)
    if (n.code == code) {
      std::snprintf(text, sizeof text, "A Windows networking error occurred: %s", n.name);
      return text;
    }
  return "Unknown Winsock error";
}

}  // namespace net
