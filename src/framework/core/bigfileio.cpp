// Archive-or-disk file access.
#include "framework/core/bigfileio.h"

#include <algorithm>
#include <new>
#include <cstring>
#include <string>
#include <utility>

#include "framework/core/errors.h"
#include "framework/core/services.h"
#include "framework/core/utils.h"
#include "platformlib/bigfile/bigfile.h"
#include "platformlib/core/memclass.h"

namespace {

struct ArchiveSlot {
  uint8_t* archive = nullptr;
  uint32_t size = 0;
  bool owned = false;
};

ArchiveSlot gCurrent;
ArchiveSlot gSaved;
// The open entry of the current archive: where the next read starts and where the entry ends.
uint8_t* gReadPosition = nullptr;
uint8_t* gEntryStart = nullptr;
uint8_t* gEntryEnd = nullptr;
uint32_t gEntrySize = 0;
void Animate() { Svc().frontEnd->AnimatePointer(); }

void Release(ArchiveSlot& slot) {
  if (slot.archive == nullptr) return;
  unregisterbigfile(slot.archive);
  if (slot.owned) {
    int error = MemFree(slot.archive);
    if (error != 0) ShowErrorBox(error, false);
  }
  slot = ArchiveSlot{};
}

// The name after a path's last separator: the name an archive entry has.
const char* LastComponent(const char* path) {
  const char* last = path;
  for (const char* p = path; *p != 0; ++p)
    if (*p == '\\' || *p == '/' || *p == ':') last = p + 1;
  return last;
}

// Looks a name up in the current archive without aborting; the entry's bytes when found.
bool FindInArchive(const char* name, uint8_t** data, uint32_t* size) {
  if (gCurrent.archive == nullptr || name == nullptr) return false;
  uint32_t offset = 0, length = 0;
  AbortQuiet quiet;
  if (findbigentryn(gCurrent.archive, gCurrent.size, name, 0, &offset, &length) == nullptr) return false;
  if (offset > gCurrent.size || length > gCurrent.size - offset) return false;
  *data = gCurrent.archive + offset;
  *size = length;
  return true;
}

}  // namespace

const uint8_t* BigFileCurrentArchive() { return gCurrent.archive; }

int BigFileOpenArchive(PathRecord* record, const char* name, void* buffer) {
  // One level of nesting: an archive saved earlier is given up.
  if (gCurrent.archive != nullptr) {
    Release(gSaved);
    gSaved = gCurrent;
    gCurrent = ArchiveSlot{};
  }
  uint32_t size = 0;
  void* data = BigFileLoad(record, name, buffer, 0, &size);
  if (data == nullptr) return ERR_FREEBLOCK;
  gCurrent.archive = static_cast<uint8_t*>(data);
  gCurrent.size = size;
  gCurrent.owned = buffer == nullptr;
  registerbigfile(gCurrent.archive, size);
  gReadPosition = gEntryStart = gEntryEnd = nullptr;
  return 0;
}

void BigFileCloseArchive() {
  Release(gCurrent);
  gCurrent = gSaved;
  gSaved = ArchiveSlot{};
  gReadPosition = gEntryStart = gEntryEnd = nullptr;
}

HANDLE BigFileOpenEntry(PathRecord* record, const char* name) {
  Animate();
  if (name == nullptr) return nullptr;
  uint8_t* data = nullptr;
  uint32_t size = 0;
  if (FindInArchive(record != nullptr ? name : LastComponent(name), &data, &size)) {
    gReadPosition = gEntryStart = data;
    gEntryEnd = data + size;
    gEntrySize = size;
    lastbigentrysize = size;
    return kArchiveEntryHandle;
  }
  HANDLE h = nullptr;
  if (record == nullptr) {
    h = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
  }
  if (FileOpen(record, name, 0, &h) != 0) return nullptr;
  return h;
}

int BigFileRead(HANDLE handle, void* buffer, uint32_t count) {
  Animate();
  if (handle == kArchiveEntryHandle) {
    if (gReadPosition == nullptr) return ERR_READ;
    uint32_t available = static_cast<uint32_t>(gEntryEnd - gReadPosition);
    uint32_t n = std::min(count, available);
    memcpy(buffer, gReadPosition, n);
    gReadPosition += n;
    return n == count ? 0 : ERR_READ;
  }
  if (handle == nullptr) return ERR_READ;
  return FileRead(handle, buffer, count) == count ? 0 : ERR_READ;
}

int BigFileReadLong(HANDLE handle, void* buffer) { return BigFileRead(handle, buffer, 4); }

int BigFileSeek(HANDLE handle, int32_t offset, int origin) {
  if (handle == kArchiveEntryHandle) {
    if (origin != FILE_CURRENT || gReadPosition == nullptr) return ERR_SEEK;
    int64_t at = (gReadPosition - gEntryStart) + static_cast<int64_t>(offset);
    if (at < 0 || at > gEntryEnd - gEntryStart) return ERR_SEEK;
    gReadPosition = gEntryStart + at;
    return 0;
  }
  if (handle == nullptr) return ERR_SEEK;
  DWORD result = FileSeek(handle, offset, static_cast<DWORD>(origin));
  return result == INVALID_SET_FILE_POINTER ? ERR_SEEK : 0;
}

uint32_t BigFileSize(HANDLE handle) {
  if (handle == kArchiveEntryHandle) return gEntrySize;
  DWORD size = 0;
  if (handle != nullptr) FileSize(handle, &size);
  return size;
}

void BigFileClose(HANDLE handle) {
  if (handle == kArchiveEntryHandle) {
    gReadPosition = gEntryStart = gEntryEnd = nullptr;
  } else if (handle != nullptr) {
    FileClose(handle);
  }
}

bool BigFileReadWhole(PathRecord* record, const char* name, const std::function<void*(uint32_t size)>& place) {
  HANDLE h = BigFileOpenEntry(record, name);
  if (h == nullptr) return false;
  // A disk file larger than a 32-bit size cannot be held whole.
  DWORD high = 0;
  uint32_t length = h == kArchiveEntryHandle ? gEntrySize : GetFileSize(h, &high);
  bool ok = high == 0 && (h == kArchiveEntryHandle || length != INVALID_FILE_SIZE);
  void* data = ok ? place(length) : nullptr;
  ok = data != nullptr && BigFileRead(h, data, length) == 0;
  BigFileClose(h);
  return ok;
}

bool BigFileLoadBytes(PathRecord* record, const char* name, std::vector<uint8_t>& out) {
  out.clear();
  bool ok = false;
  try {
    // Room for one byte more, so that an empty file still has a place to be read into.
    ok = BigFileReadWhole(record, name, [&out](uint32_t size) -> void* {
      out.resize(size + size_t{1});
      return out.data();
    });
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  if (ok) out.pop_back();
  else out.clear();
  return ok;
}

bool BigFileLoadBytesUnpacked(PathRecord* record, const char* name, std::vector<uint8_t>& out) {
  if (!BigFileLoadBytes(record, name, out)) return false;
  const uint32_t size = getunpacksizen(out.data(), out.size());
  if (size == 0) return true;
  std::vector<uint8_t> unpacked;
  try {
    unpacked.resize(size);
  } catch (const std::bad_alloc&) {
    out.clear();
    return false;
  }
  if (decompressn(out.data(), out.size(), unpacked.data(), unpacked.size()) == size) out = std::move(unpacked);
  return true;
}

MemHandle BigFileLoadToHandle(PathRecord* record, const char* name, uint16_t flags) {
  MemHandle handle = 0;
  void* locked = nullptr;
  bool ok = BigFileReadWhole(record, name, [&](uint32_t size) -> void* {
    // An empty file is no data: no block is made for it.
    if (size == 0) return nullptr;
    handle = MemAllocHandle(size, flags);
    locked = handle != 0 ? MemLock(handle) : nullptr;
    return locked;
  });
  if (locked != nullptr) MemUnlock(handle);
  if (!ok && handle != 0) {
    MemFreeHandle(handle);
    handle = 0;
  }
  return handle;
}

void* BigFileLoad(PathRecord* record, const char* name, void* buffer, uint16_t flags, uint32_t* size) {
  uint32_t length = 0;
  bool found = false;
  void* allocated = nullptr;
  bool ok = BigFileReadWhole(record, name, [&](uint32_t bytes) -> void* {
    found = true;
    length = bytes;
    if (buffer != nullptr) return buffer;
    return allocated = MemAlloc(bytes, flags, "sources\\van\\bigfile.cpp", __LINE__);
  });
  if (!ok) {
    if (allocated != nullptr) MemFree(allocated);
    // A file that is nowhere is reported; a failed allocation or a short read gives null quietly.
    if (!found) ShowErrorBox(ERR_FILENOTFOUND, false);
    return nullptr;
  }
  if (size != nullptr) *size = length;
  return buffer != nullptr ? buffer : allocated;
}

void* BigFileLoadUnpacked(PathRecord* record, const char* name, void* buffer, uint16_t flags, uint32_t* size) {
  if (size != nullptr) *size = 0;
  uint32_t packedSize = 0;
  void* packed = BigFileLoad(record, name, nullptr, static_cast<uint16_t>(flags ^ 8), &packedSize);
  if (packed == nullptr) return nullptr;
  uint32_t unpacked = getunpacksizen(packed, packedSize);
  void* out = nullptr;
  if (unpacked != 0) {
    out = buffer != nullptr ? buffer : MemAlloc(unpacked, flags, "sources\\van\\bigfile.cpp", __LINE__);
    // Damaged data gives nothing rather than a partly filled block.
    if (out != nullptr && decompressn(packed, packedSize, out, unpacked) != unpacked) {
      if (buffer == nullptr) MemFree(out);
      out = nullptr;
    }
  }
  MemFree(packed);
  if (out != nullptr && size != nullptr) *size = unpacked;
  return out;
}

MemHandle BigFileLoadPackedByPath(const char* path, void* buffer) {
  if (path == nullptr) return 0;
  std::string full = path;
  size_t cut = full.rfind('\\');
  std::string name = cut == std::string::npos ? full : full.substr(cut + 1);
  uint8_t* data = nullptr;
  uint32_t size = 0;
  bool fromDisk = false;
  if (!FindInArchive(name.c_str(), &data, &size)) {
    PathRecord record{};
    if (PathSetToProgramDir(&record) != 0) return 0;
    if (cut != std::string::npos && PathAppend(&record, full.substr(0, cut).c_str()) != 0) return 0;
    data = static_cast<uint8_t*>(BigFileLoad(&record, name.c_str(), nullptr, 0, &size));
    if (data == nullptr) return 0;
    fromDisk = true;
  }
  MemHandle handle = 0;
  uint32_t unpacked = getunpacksizen(data, size);
  if (unpacked != 0) {
    if (buffer != nullptr) {
      decompressn(data, size, buffer, unpacked);
    } else if ((handle = MemAllocHandle(unpacked, 0x100)) != 0) {
      void* block = MemLock(handle);
      bool ok = decompressn(data, size, block, unpacked) == unpacked;
      MemUnlock(handle);
      if (!ok) {
        MemFreeHandle(handle);
        handle = 0;
      }
    }
  }
  if (fromDisk) MemFree(data);
  return handle;
}

TextFileReader* TextFileOpen(PathRecord* record, const char* name, bool packed) {
  auto* reader = static_cast<TextFileReader*>(MemAlloc(sizeof(TextFileReader), MEM_ZEROFILL, __FILE__, __LINE__));
  if (reader == nullptr) return nullptr;
  uint32_t size = 0;
  void* text = packed ? BigFileLoadUnpacked(record, name, nullptr, 0, &size) : BigFileLoad(record, name, nullptr, 0, &size);
  if (text == nullptr) {
    MemFree(reader);
    return nullptr;
  }
  reader->text = static_cast<char*>(text);
  reader->cursor = reader->text;
  reader->end = reader->text + size;
  reader->size = size;
  return reader;
}

TextFileReader* TextFileFromMemory(const char* text, uint32_t size) {
  auto* reader = static_cast<TextFileReader*>(MemAlloc(sizeof(TextFileReader), MEM_ZEROFILL, __FILE__, __LINE__));
  if (reader == nullptr) return nullptr;
  reader->cursor = const_cast<char*>(text);
  reader->end = reader->cursor + size;
  reader->size = size;
  return reader;
}

char* TextFileNextLine(TextFileReader* reader) {
  Animate();
  if (reader == nullptr || reader->cursor == nullptr || reader->cursor >= reader->end) return nullptr;
  size_t available = static_cast<size_t>(reader->end - reader->cursor);
  size_t limit = std::min(available, sizeof reader->line - 1);
  const void* feed = memchr(reader->cursor, '\n', limit);
  size_t n = feed != nullptr ? static_cast<size_t>(static_cast<const char*>(feed) - reader->cursor) + 1 : limit;
  memcpy(reader->line, reader->cursor, n);
  reader->line[n] = 0;
  reader->cursor += n;
  return reader->line;
}

void TextFileRewind(TextFileReader* reader) {
  if (reader == nullptr) return;
  reader->cursor = reader->text != nullptr ? reader->text : reader->end - reader->size;
}

void TextFileClose(TextFileReader* reader) {
  if (reader == nullptr) return;
  if (reader->text != nullptr) MemFree(reader->text);
  MemFree(reader);
}
