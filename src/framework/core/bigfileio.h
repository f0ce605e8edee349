// Files read from the current archive or from the disk alike: a name found in the current archive is read
// from memory, any other from the disk. Also whole-file loads, unpacking and a line reader for text files.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "framework/core/memmgr.h"
#include "framework/core/paths.h"
#include "windows.h"

// The handle of the open entry of the current archive (one at a time).
inline HANDLE const kArchiveEntryHandle = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-3));

int BigFileOpenArchive(PathRecord* record, const char* name, void* buffer);
void BigFileCloseArchive();
const uint8_t* BigFileCurrentArchive();

// kArchiveEntryHandle, a disk handle, or null when neither holds the name. With a null record `name` is a full
// path for the stand-in's files ("C:\GAME\DATA\HOLE02.MIS") and the archive is asked for its last component.
HANDLE BigFileOpenEntry(PathRecord* record, const char* name);
// 0 when all `count` bytes came, else 28 (a read never passes the end of an archive entry).
int BigFileRead(HANDLE handle, void* buffer, uint32_t count);
int BigFileReadLong(HANDLE handle, void* buffer);
// Origins 0 start, 1 current, 2 end; inside an archive entry only origin 1 (and never out of the entry).
int BigFileSeek(HANDLE handle, int32_t offset, int origin);
uint32_t BigFileSize(HANDLE handle);
void BigFileClose(HANDLE handle);

// The game's one whole-file read: the current archive's entry of the name, else the disk file (record and name as
// for BigFileOpenEntry), read whole into the memory that `place(size)` gives. False when the file is not found,
// `place` gives null, or a read comes short; nothing is reported.
bool BigFileReadWhole(PathRecord* record, const char* name, const std::function<void*(uint32_t size)>& place);
// BigFileReadWhole into a byte vector (empty on failure).
bool BigFileLoadBytes(PathRecord* record, const char* name, std::vector<uint8_t>& out);
// BigFileLoadBytes, then a packed file unpacked: its bytes become the unpacked ones. A file that only looks
// packed (its first bytes a pack header by chance) and does not unpack whole is kept as it stands.
bool BigFileLoadBytesUnpacked(PathRecord* record, const char* name, std::vector<uint8_t>& out);
// BigFileReadWhole into a new movable block of the memory manager; 0 when the file cannot be read or is empty.
MemHandle BigFileLoadToHandle(PathRecord* record, const char* name, uint16_t flags);

void* BigFileLoad(PathRecord* record, const char* name, void* buffer, uint16_t flags, uint32_t* size);
void* BigFileLoadUnpacked(PathRecord* record, const char* name, void* buffer, uint16_t flags, uint32_t* size);
// Unpacks `path`'s file (from the current archive, or from the program's folder) into `buffer`, or into a
// new movable block whose handle is returned; 0 when a buffer was given or the data is not packed.
MemHandle BigFileLoadPackedByPath(const char* path, void* buffer);

struct TextFileReader {
  char* text;
  char* cursor;
  char* end;
  uint32_t size;
  char line[1024];
};
TextFileReader* TextFileOpen(PathRecord* record, const char* name, bool packed);
// The next line with its line feed; a longer line comes in pieces of 1023 characters. Null at the end.
char* TextFileNextLine(TextFileReader* reader);
void TextFileRewind(TextFileReader* reader);
void TextFileClose(TextFileReader* reader);
// Lines read from text held in memory (the reader does not own the text).
TextFileReader* TextFileFromMemory(const char* text, uint32_t size);

