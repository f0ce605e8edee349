// Device names opened through CreateFileA (serial ports), handed to the part that emulates the device.
#include <strings.h>

#include <cctype>
#include <cstring>
#include <mutex>
#include <set>

#include "files_internal.h"
#include "windows.h"

namespace winapi::files {
namespace {

struct DeviceHandle {
  void* device;
  const winapi::internal::DeviceFileOps* ops;
  DWORD access;
};

std::mutex gDeviceLock;
std::set<DeviceHandle*> gDevices;
winapi::internal::DeviceOpener gOpener = nullptr;

DeviceHandle* Find(HANDLE h) {
  std::lock_guard<std::mutex> guard(gDeviceLock);
  auto it = gDevices.find(static_cast<DeviceHandle*>(h));
  return it == gDevices.end() ? nullptr : *it;
}

}  // namespace

bool IsDeviceName(const char* name, std::string* canonical) {
  if (name == nullptr) return false;
  if (strncmp(name, "\\\\.\\", 4) == 0) name += 4;
  size_t n = strlen(name);
  if (n == 5 && name[4] == ':') n = 4;
  if (n != 4 || strncasecmp(name, "COM", 3) != 0 || name[3] < '1' || name[3] > '9') return false;
  *canonical = std::string("COM") + name[3];
  return true;
}

HANDLE OpenDevice(const std::string& canonical, DWORD access, DWORD flags) {
  winapi::internal::DeviceOpener opener;
  {
    std::lock_guard<std::mutex> guard(gDeviceLock);
    opener = gOpener;
  }
  if (opener == nullptr) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  const winapi::internal::DeviceFileOps* ops = nullptr;
  DWORD error = ERROR_FILE_NOT_FOUND;
  void* device = opener(canonical.c_str(), access, flags, &ops, &error);
  if (device == nullptr || ops == nullptr) {
    SetLastError(error != 0 ? error : ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  auto* h = new DeviceHandle{device, ops, access};
  std::lock_guard<std::mutex> guard(gDeviceLock);
  gDevices.insert(h);
  SetLastError(0);
  return h;
}

HANDLE AddDevice(void* device, const winapi::internal::DeviceFileOps* ops, DWORD access) {
  auto* h = new DeviceHandle{device, ops, access};
  std::lock_guard<std::mutex> guard(gDeviceLock);
  gDevices.insert(h);
  return h;
}

bool DeviceRead(HANDLE h, void* buffer, DWORD count, DWORD* done, BOOL* result) {
  DeviceHandle* d = Find(h);
  if (d == nullptr) return false;
  if (!(d->access & GENERIC_READ) || d->ops->read == nullptr) {
    SetLastError(ERROR_ACCESS_DENIED);
    *result = FALSE;
  } else {
    *result = d->ops->read(d->device, buffer, count, done);
  }
  return true;
}

bool DeviceWrite(HANDLE h, const void* buffer, DWORD count, DWORD* done, BOOL* result) {
  DeviceHandle* d = Find(h);
  if (d == nullptr) return false;
  if (!(d->access & GENERIC_WRITE) || d->ops->write == nullptr) {
    SetLastError(ERROR_ACCESS_DENIED);
    *result = FALSE;
  } else {
    *result = d->ops->write(d->device, buffer, count, done);
  }
  return true;
}

bool DeviceClose(HANDLE h) {
  DeviceHandle* d = nullptr;
  {
    std::lock_guard<std::mutex> guard(gDeviceLock);
    auto it = gDevices.find(static_cast<DeviceHandle*>(h));
    if (it == gDevices.end()) return false;
    d = *it;
    gDevices.erase(it);
  }
  if (d->ops->close != nullptr) d->ops->close(d->device);
  delete d;
  return true;
}

}  // namespace winapi::files

void winapi::internal::SetDeviceOpener(DeviceOpener opener) {
  std::lock_guard<std::mutex> guard(winapi::files::gDeviceLock);
  winapi::files::gOpener = opener;
}

void* winapi::internal::DeviceOfHandle(HANDLE handle) {
  winapi::files::DeviceHandle* d = winapi::files::Find(handle);
  return d == nullptr ? nullptr : d->device;
}
