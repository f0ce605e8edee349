// Virtual memory over mmap, the system description and the memory status.
#include <sys/mman.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "winapi/kernel/internal.h"

namespace {

constexpr uintptr_t kGranularity = 64 * 1024;

// Reserved regions by base address, so that MEM_RELEASE knows the size and commits stay inside a region.
// Never destroyed: memory may be released while the process exits.
struct Regions {
  std::mutex lock;
  std::map<uintptr_t, size_t> map;
};
Regions& R() {
  static Regions* regions = new Regions;
  return *regions;
}

size_t PageSize() {
  static const size_t size = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return size;
}

bool ProtectionFlags(DWORD protect, int* prot) {
  switch (protect & 0xFF) {
    case PAGE_NOACCESS: *prot = PROT_NONE; return true;
    case PAGE_READONLY: *prot = PROT_READ; return true;
    case PAGE_READWRITE: *prot = PROT_READ | PROT_WRITE; return true;
    case PAGE_EXECUTE_READWRITE: *prot = PROT_READ | PROT_WRITE | PROT_EXEC; return true;
    default: return false;
  }
}

// The region that contains [address, address + size), or end().
std::map<uintptr_t, size_t>::iterator RegionOf(uintptr_t address, size_t size) {
  auto it = R().map.upper_bound(address);
  if (it == R().map.begin()) return R().map.end();
  --it;
  if (address + size > it->first + it->second || address + size < address) return R().map.end();
  return it;
}

// Maps `size` bytes at a 64 KiB boundary (or exactly at `wanted`), as the platform aligns reservations.
void* MapRegion(uintptr_t wanted, size_t size, int prot) {
  int flags = MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE;
  if (wanted) {
    void* p = mmap(reinterpret_cast<void*>(wanted), size, prot, flags | MAP_FIXED_NOREPLACE, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    if (reinterpret_cast<uintptr_t>(p) != wanted) {  // kernels without NOREPLACE treat it as a hint
      munmap(p, size);
      return nullptr;
    }
    return p;
  }
  size_t padded = size + kGranularity;
  if (padded < size) return nullptr;
  void* p = mmap(nullptr, padded, prot, flags, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  uintptr_t start = reinterpret_cast<uintptr_t>(p);
  uintptr_t aligned = (start + kGranularity - 1) & ~(kGranularity - 1);
  if (aligned > start) munmap(p, aligned - start);
  uintptr_t end = start + padded;
  if (end > aligned + size) munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
  return reinterpret_cast<void*>(aligned);
}

}  // namespace

LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect) {
  if (winapi::internal::FailNow("VirtualAlloc")) return nullptr;
  int prot = 0;
  if (size == 0 || !ProtectionFlags(protect, &prot) || !(allocationType & (MEM_COMMIT | MEM_RESERVE)) ||
      (allocationType & ~(MEM_COMMIT | MEM_RESERVE))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const size_t page = PageSize();
  uintptr_t start = reinterpret_cast<uintptr_t>(address);
  std::lock_guard guard(R().lock);

  // Committing without an address reserves as well, as on the platform.
  if ((allocationType & MEM_RESERVE) || !start) {
    size_t length = 0;
    if (start) {
      uintptr_t end = start + size;
      start &= ~(kGranularity - 1);
      if (end < start) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
      }
      length = ((end - start) + page - 1) & ~(page - 1);
    } else {
      length = (size + page - 1) & ~(page - 1);
      if (length < size) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
      }
    }
    int mapProt = (allocationType & MEM_COMMIT) ? prot : PROT_NONE;
    void* p = MapRegion(start, length, mapProt);
    if (!p) {
      SetLastError(start ? ERROR_INVALID_ADDRESS : ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    R().map[reinterpret_cast<uintptr_t>(p)] = length;
    return p;
  }

  // Commit inside a reserved region.
  uintptr_t first = start & ~(page - 1);
  uintptr_t last = (start + size + page - 1) & ~(page - 1);
  if (last < first || RegionOf(first, last - first) == R().map.end()) {
    SetLastError(ERROR_INVALID_ADDRESS);
    return nullptr;
  }
  if (mprotect(reinterpret_cast<void*>(first), last - first, prot) != 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return reinterpret_cast<LPVOID>(first);
}

BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD freeType) {
  uintptr_t start = reinterpret_cast<uintptr_t>(address);
  std::lock_guard guard(R().lock);
  if (freeType == MEM_RELEASE) {
    auto it = R().map.find(start);
    if (size != 0 || it == R().map.end()) {
      SetLastError(it == R().map.end() ? ERROR_INVALID_ADDRESS : ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    munmap(address, it->second);
    R().map.erase(it);
    return TRUE;
  }
  if (freeType == MEM_DECOMMIT) {
    const size_t page = PageSize();
    uintptr_t first = start & ~(page - 1);
    auto it = RegionOf(first, 1);
    if (it == R().map.end()) {
      SetLastError(ERROR_INVALID_ADDRESS);
      return FALSE;
    }
    // Size 0 decommits from the address to the end of its region.
    uintptr_t last = size ? (start + size + page - 1) & ~(page - 1) : it->first + it->second;
    if (last > it->first + it->second || last < first) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    // Fresh zero pages on the next commit, as the platform gives.
    mmap(reinterpret_cast<void*>(first), last - first, PROT_NONE,
         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED, -1, 0);
    return TRUE;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

BOOL VirtualLock(LPVOID address, SIZE_T size) {
  // Locking needs privileges the game never has here; succeeding keeps callers on their normal path.
  return address && size ? TRUE : FALSE;
}

BOOL VirtualUnlock(LPVOID address, SIZE_T size) { return address && size ? TRUE : FALSE; }

void GetSystemInfo(LPSYSTEM_INFO info) {
  if (!info) return;
  std::memset(info, 0, sizeof *info);
  long processors = sysconf(_SC_NPROCESSORS_ONLN);
  if (processors < 1) processors = 1;
  info->wProcessorArchitecture = 0;  // x86, as a 32-bit program sees it
  info->dwPageSize = static_cast<DWORD>(PageSize());
  info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(static_cast<uintptr_t>(0x10000));
  info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(static_cast<uintptr_t>(0x7FFFFFFEFFFFull));
  info->dwNumberOfProcessors = static_cast<DWORD>(processors);
  info->dwActiveProcessorMask = processors >= 64 ? ~DWORD_PTR{0} : (DWORD_PTR{1} << processors) - 1;
  info->dwProcessorType = 586;
  info->dwAllocationGranularity = static_cast<DWORD>(kGranularity);
  info->wProcessorLevel = 6;
  info->wProcessorRevision = 0;
}

namespace {

constexpr uint64_t kClamp = 0x7FFFFFFF;          // largest size a 32-bit program's signed arithmetic holds
constexpr uint64_t kVirtualTotal = 0x7FFE0000;   // user address space of a 32-bit process

uint64_t MemAvailable(const struct sysinfo& si) {
  if (FILE* f = std::fopen("/proc/meminfo", "r")) {
    char line[256];
    unsigned long long kb = 0;
    bool found = false;
    while (std::fgets(line, sizeof line, f))
      if (std::sscanf(line, "MemAvailable: %llu kB", &kb) == 1) {
        found = true;
        break;
      }
    std::fclose(f);
    if (found) return kb * 1024;
  }
  return (static_cast<uint64_t>(si.freeram) + si.bufferram) * si.mem_unit;
}

uint64_t ResidentBytes() {
  unsigned long long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%llu %llu", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * PageSize();
}

}  // namespace

void GlobalMemoryStatus(LPMEMORYSTATUS status) {
  if (!status) return;
  struct sysinfo si {};
  sysinfo(&si);
  const uint64_t unit = si.mem_unit ? si.mem_unit : 1;
  const uint64_t totalPhys = static_cast<uint64_t>(si.totalram) * unit;
  const uint64_t availPhys = std::min(MemAvailable(si), totalPhys);
  const uint64_t totalPage = totalPhys + static_cast<uint64_t>(si.totalswap) * unit;
  const uint64_t availPage = availPhys + static_cast<uint64_t>(si.freeswap) * unit;
  const uint64_t usedVirtual = std::min(ResidentBytes(), kVirtualTotal);

  status->dwLength = sizeof *status;
  status->dwMemoryLoad = totalPhys ? static_cast<DWORD>((totalPhys - availPhys) * 100 / totalPhys) : 0;
  status->dwTotalPhys = std::min(totalPhys, kClamp);
  status->dwAvailPhys = std::min(availPhys, kClamp);
  status->dwTotalPageFile = std::min(totalPage, kClamp);
  status->dwAvailPageFile = std::min(availPage, kClamp);
  status->dwTotalVirtual = kVirtualTotal;
  status->dwAvailVirtual = kVirtualTotal - usedVirtual;
}
