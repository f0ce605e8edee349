#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>

#include "tapi.h"
#include "winapi/kernel/files_internal.h"
#include "winapi/tapi/commport.h"
#include "winapi_comm.h"

namespace winapi::tapi {
namespace {

struct CommPort {
  std::shared_ptr<ModemCall> call;
  std::mutex lock;
  std::condition_variable changed;
  DWORD mask = 0;
  uint64_t maskChanges = 0;
};

std::mutex gPortsLock;
std::set<CommPort*> gPorts;

BOOL Read(void* device, void* buffer, DWORD count, DWORD* done) {
  *done = static_cast<CommPort*>(device)->call->Read(static_cast<uint8_t*>(buffer), count);
  return TRUE;
}

BOOL Write(void* device, const void* buffer, DWORD count, DWORD* done) {
  if (!static_cast<CommPort*>(device)->call->Write(static_cast<const uint8_t*>(buffer), count)) {
    *done = 0;
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  *done = count;
  return TRUE;
}

void Close(void* device) {
  auto* port = static_cast<CommPort*>(device);
  {
    std::lock_guard<std::mutex> hold(gPortsLock);
    gPorts.erase(port);
  }
  delete port;
}

const winapi::internal::DeviceFileOps kOps = {Read, Write, Close};

// The port behind a handle, or null (ERROR_INVALID_HANDLE) for any other handle.
CommPort* PortOf(HANDLE handle) {
  auto* port = static_cast<CommPort*>(winapi::internal::DeviceOfHandle(handle));
  std::lock_guard<std::mutex> hold(gPortsLock);
  if (!port || !gPorts.count(port)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return port;
}

}  // namespace

HANDLE OpenCallPort(std::shared_ptr<ModemCall> call) {
  auto* port = new CommPort;
  port->call = std::move(call);
  {
    std::lock_guard<std::mutex> hold(gPortsLock);
    gPorts.insert(port);
  }
  return winapi::files::AddDevice(port, &kOps, GENERIC_READ | GENERIC_WRITE);
}

}  // namespace winapi::tapi

using winapi::tapi::PortOf;

BOOL GetCommState(HANDLE handle, DCB* state) {
  auto* port = PortOf(handle);
  if (!port || !state) return FALSE;
  *state = DCB{sizeof(DCB), port->call->Baud(), 8, 0, 0};
  return TRUE;
}

BOOL SetupComm(HANDLE handle, DWORD inQueue, DWORD outQueue) {
  if (!PortOf(handle)) return FALSE;
  if (inQueue == 0 || outQueue == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

BOOL SetCommTimeouts(HANDLE handle, const COMMTIMEOUTS* timeouts) {
  if (!PortOf(handle)) return FALSE;
  if (!timeouts) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

BOOL GetCommProperties(HANDLE handle, COMMPROP* properties) {
  auto* port = PortOf(handle);
  if (!port || !properties) return FALSE;
  *properties = COMMPROP{};
  properties->wPacketLength = sizeof(COMMPROP);
  properties->dwMaxBaud = port->call->Baud();
  properties->dwProvSubType = PST_MODEM;
  properties->dwProvCapabilities = PCF_RLSD;
  properties->dwMaxTxQueue = properties->dwMaxRxQueue = 8192;
  return TRUE;
}

BOOL PurgeComm(HANDLE handle, DWORD flags) {
  auto* port = PortOf(handle);
  if (!port) return FALSE;
  if (flags & (PURGE_RXCLEAR | PURGE_RXABORT)) port->call->PurgeInput();
  return TRUE;
}

BOOL SetCommMask(HANDLE handle, DWORD mask) {
  auto* port = PortOf(handle);
  if (!port) return FALSE;
  {
    std::lock_guard<std::mutex> hold(port->lock);
    port->mask = mask;
    ++port->maskChanges;
  }
  port->changed.notify_all();
  return TRUE;
}

BOOL WaitCommEvent(HANDLE handle, DWORD* event, LPOVERLAPPED) {
  auto* port = PortOf(handle);
  if (!port || !event) return FALSE;
  *event = 0;
  std::unique_lock<std::mutex> hold(port->lock);
  const uint64_t changes = port->maskChanges;
  for (;;) {
    if (port->maskChanges != changes || port->mask == 0) {
      SetLastError(ERROR_OPERATION_ABORTED);
      return FALSE;
    }
    if ((port->mask & EV_RXCHAR) && port->call->Waiting() > 0) *event |= EV_RXCHAR;
    if ((port->mask & EV_RLSD) && !port->call->Carrier()) *event |= EV_RLSD;
    if (*event) return TRUE;
    // The line has no way to wake us; a short look every few ms is its latency.
    port->changed.wait_for(hold, std::chrono::milliseconds(5));
  }
}

BOOL ClearCommError(HANDLE handle, DWORD* errors, COMSTAT* status) {
  auto* port = PortOf(handle);
  if (!port) return FALSE;
  const uint32_t pending = port->call->TakeLineErrors();
  if (errors) *errors = pending;
  if (status) *status = COMSTAT{port->call->Waiting(), 0};
  return TRUE;
}

BOOL GetCommModemStatus(HANDLE handle, DWORD* status) {
  auto* port = PortOf(handle);
  if (!port || !status) return FALSE;
  *status = port->call->Carrier() ? MS_RLSD_ON : 0;
  return TRUE;
}
