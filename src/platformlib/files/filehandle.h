// The library's file handles: ordinary files, files mapped whole into memory, and regions of memory read
// like files. Handle values are the complement of a table index, so valid handles are negative.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "windows.h"

// Open flags.
constexpr uint32_t OPENF_READ = 0x001;
constexpr uint32_t OPENF_WRITE = 0x002;
constexpr uint32_t OPENF_SHAREREAD = 0x004;
constexpr uint32_t OPENF_SHAREWRITE = 0x008;
constexpr uint32_t OPENF_CREATE = 0x010;    // alone: create a new file; with OPENF_TRUNCATE: create always
constexpr uint32_t OPENF_TRUNCATE = 0x020;  // alone: empty an existing file
constexpr uint32_t OPENF_NOBUFFER = 0x100;
constexpr uint32_t OPENF_SEQUENTIAL = 0x200;
constexpr uint32_t OPENF_WRITETHROUGH = 0x400;
constexpr uint32_t OPENF_MAP = 0x800;  // map the whole file after opening

constexpr int FILEDEVICES = 32;
constexpr int FILEDEVICE_NODRIVE = 31;
constexpr uint32_t FILEUNIT_DEFAULT = 16384;

using FileHandle = int32_t;

struct FileHandleEntry {
  uint8_t inuse;
  uint8_t device;
  std::atomic<uint8_t> transfer;  // cleared from another thread to stop a read between pieces
  HANDLE system;                  // INVALID_HANDLE_VALUE for a memory handle
  uint32_t flags;
  uint32_t unit;
  HANDLE mapping;                 // INVALID_HANDLE_VALUE for a memory handle, null when not mapped
  uint8_t* mapped;
  int32_t position;
  int32_t size;
};

extern int filedebuglevel;
// Called after each piece of a transfer (tests watch the pieces and stop transfers through it).
extern void (*filepiecehook)(FileHandle handle, uint32_t piece);

char filedrive(const char* path);
int filedevice(const char* path);
uint32_t diskfreespace(const char* root);
void setdirectory(const char* path);
// `buffer` holds at least 512 characters.
void getdirectory(char* buffer);

int initfiles(int count);
void exitfiles();
int isfilehandle(FileHandle handle);
int openfile(const char* name, uint32_t flags, uint32_t unit, FileHandle* out);
int openmemoryhandle(const void* address, int32_t size, int device, uint32_t unit, FileHandle* out);
int closefile(FileHandle handle);
int fileinfo(FileHandle handle, uint32_t* flags, uint32_t* unit, int32_t* size, uint32_t* freespace);
int seekfile(FileHandle handle, int32_t position);
int32_t filetell(FileHandle handle);
uint32_t readfile(FileHandle handle, void* buffer, uint32_t count);
uint32_t writefile(FileHandle handle, const void* buffer, uint32_t count);
int truncatefile(FileHandle handle, int32_t position);
void* filemapaddress(FileHandle handle);
int filehandledevice(FileHandle handle);
int stoptransfer(FileHandle handle);
int lockfilehandle(FileHandle handle);
int unlockfilehandle(FileHandle handle);

// Checked entry points for the font and shape loaders.
int openhandle(const char* name, FileHandle* out, uint32_t* word, int32_t* size);
int openhandlew(const char* name, FileHandle* out, uint32_t* word, int32_t* size);
void* openmaphandle(const char* name, FileHandle* out, uint32_t* word, int32_t* size);
int libclosehandle(FileHandle handle);
uint32_t readhandle(FileHandle handle, void* buffer, uint32_t count);
uint32_t writehandle(FileHandle handle, const void* buffer, uint32_t count);
int32_t seekhandle(FileHandle handle, int32_t position);
