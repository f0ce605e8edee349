// Fill and copy routines and the physical-memory figures.
#include <cstdio>
#include <cstring>

#include "platformlib/core/memclass.h"

int memoryreportflag = 0;

void fillmem32(void* address, int count, uint32_t pattern) {
  if (count <= 0 || !address) return;
  auto* p = static_cast<unsigned char*>(address);
  size_t left = static_cast<size_t>(count);
  // Single stores of 1, 2 and 4 bytes bring the destination to an 8-byte boundary.
  if ((reinterpret_cast<uintptr_t>(p) & 1) && left >= 1) {
    *p = static_cast<unsigned char>(pattern);
    p += 1;
    left -= 1;
  }
  if ((reinterpret_cast<uintptr_t>(p) & 2) && left >= 2) {
    uint16_t half = static_cast<uint16_t>(pattern);
    std::memcpy(p, &half, 2);
    p += 2;
    left -= 2;
  }
  if ((reinterpret_cast<uintptr_t>(p) & 4) && left >= 4) {
    std::memcpy(p, &pattern, 4);
    p += 4;
    left -= 4;
  }
  const uint64_t pair = (static_cast<uint64_t>(pattern) << 32) | pattern;
  while (left >= 32) {
    std::memcpy(p, &pair, 8);
    std::memcpy(p + 8, &pair, 8);
    std::memcpy(p + 16, &pair, 8);
    std::memcpy(p + 24, &pair, 8);
    p += 32;
    left -= 32;
  }
  while (left >= 8) {
    std::memcpy(p, &pair, 8);
    p += 8;
    left -= 8;
  }
  if (left >= 4) {
    std::memcpy(p, &pattern, 4);
    p += 4;
    left -= 4;
  }
  if (left >= 2) {
    uint16_t half = static_cast<uint16_t>(pattern);
    std::memcpy(p, &half, 2);
    p += 2;
    left -= 2;
  }
  if (left >= 1) *p = static_cast<unsigned char>(pattern);
}

void clearmem(void* address, int count) { fillmem32(address, count, 0); }

void fillmem(void* address, int count, int byte) { fillmem32(address, count, (byte & 0xFF) * 0x01010101u); }

void fillmem16(void* address, int count, int value) { fillmem32(address, count, (value & 0xFFFF) * 0x00010001u); }

namespace {

bool destinationinside(const void* source, const void* destination, int count) {
  auto s = reinterpret_cast<uintptr_t>(source);
  auto d = reinterpret_cast<uintptr_t>(destination);
  return d > s && d < s + static_cast<uintptr_t>(count);
}

void backwardbytes(const void* source, void* destination, int count) {
  const auto* s = static_cast<const unsigned char*>(source);
  auto* d = static_cast<unsigned char*>(destination);
  for (int i = count - 1; i >= 0; --i) d[i] = s[i];
}

}  // namespace

void movemem(const void* source, void* destination, int count) {
  if (count <= 0) return;
  if (destinationinside(source, destination, count))
    backwardbytes(source, destination, count);
  else
    std::memmove(destination, source, static_cast<size_t>(count));
}

void copymemengine(const void* source, void* destination, int count, int leadingbytes) {
  const auto* s = static_cast<const unsigned char*>(source);
  auto* d = static_cast<unsigned char*>(destination);
  int i = 0;
  for (; i < leadingbytes && i < count; ++i) d[i] = s[i];
  // Word by word, forward: safe when the destination lies below the source.
  for (; count - i >= 4; i += 4) {
    uint32_t word;
    std::memcpy(&word, s + i, 4);
    std::memcpy(d + i, &word, 4);
  }
  for (; i < count; ++i) d[i] = s[i];
}

void copymem(const void* source, void* destination, int count) {
  if (count <= 0) return;
  if (destinationinside(source, destination, count)) {
    backwardbytes(source, destination, count);
    return;
  }
  // Short copies go byte by byte forward, which is safe when the destination lies below the source.
  if (count < 4) {
    copymemengine(source, destination, count, count);
    return;
  }
  int leading = static_cast<int>((4 - (reinterpret_cast<uintptr_t>(source) & 3)) & 3);
  copymemengine(source, destination, count, leading);
}

void copypixels4(void* destination, const void* source, int count) { copymem(source, destination, count / 2); }
void copypixels8(void* destination, const void* source, int count) { copymem(source, destination, count); }
void copypixels16(void* destination, const void* source, int count) { copymem(source, destination, count * 2); }
void copypixels24(void* destination, const void* source, int count) { copymem(source, destination, count * 3); }
void copypixels32(void* destination, const void* source, int count) { copymem(source, destination, count * 4); }

namespace {
MEMORYSTATUS memorystatus() {
  MEMORYSTATUS status{};
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  return status;
}
}  // namespace

size_t getphysicalmemory() { return memorystatus().dwTotalPhys; }

size_t memorystatusdump() {
  MEMORYSTATUS status = memorystatus();
  if (memoryreportflag) {
    std::printf("memoryload %10d\n", static_cast<int>(status.dwMemoryLoad));
    std::printf("total phys %10d\n", static_cast<int>(status.dwTotalPhys));
    std::printf("avail phys %10d\n", static_cast<int>(status.dwAvailPhys));
    std::printf("total page %10d\n", static_cast<int>(status.dwTotalPageFile));
    std::printf("avail page %10d\n", static_cast<int>(status.dwAvailPageFile));
    std::printf("total virt %10d\n", static_cast<int>(status.dwTotalVirtual));
    std::printf("avail virt %10d\n", static_cast<int>(status.dwAvailVirtual));
  }
  return status.dwTotalPhys;
}

size_t getavailablememory() { return memorystatus().dwAvailPhys; }

// No locked-page statistics exist here, so the plain figure stands.
size_t getunlockedmemory() { return getavailablememory(); }
