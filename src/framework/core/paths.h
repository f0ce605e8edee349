// Path records (a folder together with the label of the volume it lives on, so that data on a disc can be
// found again when the disc moves to another drive letter), drives and the framework's file helpers.
// In names handed to these helpers "|" stands for "\".
#pragma once

#include <cstdint>

#include "windows.h"

struct PathRecord {
  char label[12];       // volume label, up to 11 characters
  char directory[260];  // begins with "\"
  char drive[4];        // "d:"
};
static_assert(sizeof(PathRecord) == 276, "path records are copied whole");

inline constexpr const char* kProductCdFolder = "QV99";

int StringCopyOut(const char* source, char* destination);
int StringCopyIn(char* destination, const char* source);

// Both return 0, or 1 (record unchanged) when the result would not fit the record.
int PathSetDirectory(PathRecord* record, const char* name);
int PathAppend(PathRecord* record, const char* name);
int PathExists(PathRecord* record);
int PathSetToProgramDir(PathRecord* record);
// The record's drive and directory joined with `name` (which may be null) into `out` (MAX_PATH bytes).
bool PathJoin(const PathRecord* record, const char* name, char* out, size_t outSize);

// Each name found is handed to the callback with the context; a callback result of 0 ends the search.
using PathCallback = int (*)(const char* name, void* context);
int FindSubdirectories(PathRecord* record, PathCallback callback, void* context);
int FindFiles(PathRecord* record, PathCallback callback, void* context);

int DirCreate(PathRecord* record, const char* name);
int FileDelete(PathRecord* record, const char* name);
int FileExists(PathRecord* record, const char* name);
int FileCreateNew(PathRecord* record, const char* name, HANDLE* out);
// Mode 0 or 1 read, 2 write, 3 read and write.
int FileOpen(PathRecord* record, const char* name, int mode, HANDLE* out);
int FileClose(HANDLE handle);
int FileSize(HANDLE handle, DWORD* out);
DWORD FileRead(HANDLE handle, void* buffer, DWORD count);
DWORD FileWrite(HANDLE handle, const void* buffer, DWORD count);
DWORD FileSeek(HANDLE handle, LONG offset, DWORD origin);
// The game's one whole-file save: a temporary file beside the target, flushed to the disk and renamed over the
// target, the folder flushed after, so that a crash at any moment leaves the old content or the new one (never a
// torn or empty file). 0, or the error code of the failure (the old file, if any, is then as it was).
int FileSaveWhole(PathRecord* record, const char* name, const void* data, DWORD size);
// The same for a full Windows path ("C:\GAME\GOLFERS\ANNA.amt").
int FileSaveWholePath(const char* path, const void* data, DWORD size);

int GetCurrentVolumeLabel(char* label);
int FindGameCdDrive(PathRecord* record, const char* folder);
int FindProductCdDrive(char* label);
int FindAnyCdDrive(char* label);
