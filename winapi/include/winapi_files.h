// Files, folders and drives of the stand-in platform. Windows paths are mapped onto host folders: each drive
// letter is a folder chosen by configuration (WINAPI_DRIVE_C=..., see winapi/README.md), backslashes and
// slashes both separate components, and every component is matched without regard to letter case.
#pragma once

#include "windows.h"

// ---- errors the file calls report -------------------------------------------------------------------------
#ifndef ERROR_NO_MORE_FILES
#define ERROR_NO_MORE_FILES 18L
#endif
#ifndef ERROR_INVALID_DRIVE
#define ERROR_INVALID_DRIVE 15L
#endif
#ifndef ERROR_WRITE_PROTECT
#define ERROR_WRITE_PROTECT 19L
#endif
#ifndef ERROR_BAD_UNIT
#define ERROR_BAD_UNIT 20L
#endif
#ifndef ERROR_DUP_NAME
#define ERROR_DUP_NAME 52L
#endif
#ifndef ERROR_BAD_NETPATH
#define ERROR_BAD_NETPATH 53L
#endif
#ifndef ERROR_DEV_NOT_EXIST
#define ERROR_DEV_NOT_EXIST 55L
#endif
#ifndef ERROR_NEGATIVE_SEEK
#define ERROR_NEGATIVE_SEEK 131L
#endif
#ifndef ERROR_DIR_NOT_EMPTY
#define ERROR_DIR_NOT_EMPTY 145L
#endif
#ifndef ERROR_DISCARDED
#define ERROR_DISCARDED 157L
#endif
#ifndef ERROR_BAD_PATHNAME
#define ERROR_BAD_PATHNAME 161L
#endif
#ifndef ERROR_INVALID_NAME
#define ERROR_INVALID_NAME 123L
#endif
#ifndef ERROR_FILENAME_EXCED_RANGE
#define ERROR_FILENAME_EXCED_RANGE 206L
#endif
#ifndef ERROR_DIRECTORY
#define ERROR_DIRECTORY 267L
#endif
#ifndef ERROR_FILE_INVALID
#define ERROR_FILE_INVALID 1006L
#endif

// ---- CreateFileA ------------------------------------------------------------------------------------------
#define GENERIC_READ 0x80000000UL
#define GENERIC_WRITE 0x40000000UL
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5
#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_FLAG_WRITE_THROUGH 0x80000000UL
#define FILE_FLAG_OVERLAPPED 0x40000000UL
#define FILE_FLAG_NO_BUFFERING 0x20000000UL
#define FILE_FLAG_RANDOM_ACCESS 0x10000000UL
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000UL
#define FILE_FLAG_DELETE_ON_CLOSE 0x04000000UL
#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000UL
#define INVALID_FILE_SIZE 0xFFFFFFFFUL
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFUL
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFUL
#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2

// Accepted for the callers' sake; every transfer completes before the call returns.
struct OVERLAPPED {
  ULONG_PTR Internal;
  ULONG_PTR InternalHigh;
  DWORD Offset;
  DWORD OffsetHigh;
  HANDLE hEvent;
};
using LPOVERLAPPED = OVERLAPPED*;

HANDLE CreateFileA(LPCSTR name, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
// A failing read or write still reports, through the count, the bytes that were transferred.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method);
BOOL SetEndOfFile(HANDLE file);
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
BOOL FlushFileBuffers(HANDLE file);

// ---- file mapping -----------------------------------------------------------------------------------------
#define FILE_MAP_COPY 0x0001
#define FILE_MAP_WRITE 0x0002
#define FILE_MAP_READ 0x0004
#define FILE_MAP_ALL_ACCESS 0x000F001F
#ifndef PAGE_WRITECOPY
#define PAGE_WRITECOPY 0x08
#endif

HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCSTR name);
LPVOID MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes);
BOOL UnmapViewOfFile(LPCVOID address);

// ---- files and folders by name ----------------------------------------------------------------------------
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  CHAR cFileName[MAX_PATH];
  CHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAA = WIN32_FIND_DATAA*;

BOOL DeleteFileA(LPCSTR name);
BOOL CreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES security);
BOOL RemoveDirectoryA(LPCSTR name);
BOOL MoveFileA(LPCSTR existing, LPCSTR newName);
#define MOVEFILE_REPLACE_EXISTING 0x00000001
#define MOVEFILE_COPY_ALLOWED 0x00000002
#define MOVEFILE_WRITE_THROUGH 0x00000008
// With MOVEFILE_REPLACE_EXISTING an existing target is replaced in one step (never half-written); with
// MOVEFILE_WRITE_THROUGH the call returns once the move is on the disk (the target's folder is flushed).
BOOL MoveFileExA(LPCSTR existing, LPCSTR newName, DWORD flags);
// Copies through a temporary file beside the target and renames it into place, so a failure never leaves a
// half-written target.
BOOL CopyFileA(LPCSTR existing, LPCSTR newName, BOOL failIfExists);
// "." and ".." are not reported. Patterns use * and ?, case-insensitively; "*.*" matches every name and a
// pattern ending in "." matches names without an extension.
HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data);
BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data);
BOOL FindClose(HANDLE find);
DWORD GetFileAttributesA(LPCSTR name);
DWORD GetFullPathNameA(LPCSTR name, DWORD bufferLength, LPSTR buffer, LPSTR* filePart);
BOOL SetCurrentDirectoryA(LPCSTR path);
DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer);
// The program's own file, as a path on the emulated drives (see winapi/README.md).
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);

// ---- drives and volumes -----------------------------------------------------------------------------------
#define DRIVE_UNKNOWN 0
#define DRIVE_NO_ROOT_DIR 1
#define DRIVE_REMOVABLE 2
#define DRIVE_FIXED 3
#define DRIVE_REMOTE 4
#define DRIVE_CDROM 5
#define DRIVE_RAMDISK 6
#define SEM_FAILCRITICALERRORS 0x0001
#define SEM_NOGPFAULTERRORBOX 0x0002
#define SEM_NOOPENFILEERRORBOX 0x8000

// Sizes are clamped so that the product of the four counts stays below 2 GB, as a 32-bit program expects.
BOOL GetDiskFreeSpaceA(LPCSTR root, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector, LPDWORD freeClusters,
                       LPDWORD totalClusters);
UINT GetDriveTypeA(LPCSTR root);
DWORD GetLogicalDrives();
BOOL GetVolumeInformationA(LPCSTR root, LPSTR volumeName, DWORD volumeNameSize, LPDWORD serialNumber,
                           LPDWORD maximumComponentLength, LPDWORD fileSystemFlags, LPSTR fileSystemName,
                           DWORD fileSystemNameSize);
// Without SEM_FAILCRITICALERRORS, touching a CD drive that holds no disc shows a "No Disk" message box first.
UINT SetErrorMode(UINT mode);

// ---- the older calls ----------------------------------------------------------------------------------------
using HFILE = int;
#define HFILE_ERROR (-1)
#define OFS_MAXPATHNAME 128
#define OF_READ 0x0000
#define OF_EXIST 0x4000
struct OFSTRUCT {
  BYTE cBytes;
  BYTE fFixedDisk;
  WORD nErrCode;
  WORD Reserved1;
  WORD Reserved2;
  CHAR szPathName[OFS_MAXPATHNAME];
};
using LPOFSTRUCT = OFSTRUCT*;
// Only OF_EXIST is supported: 1 when the file exists (its full path in the record), HFILE_ERROR otherwise.
HFILE OpenFile(LPCSTR name, LPOFSTRUCT record, UINT style);
// The run-time library's existence test, on Windows paths (mode 0 exists, 2 write, 4 read, 6 both).
int _access(const char* path, int mode);

// ---- whole-file saves ---------------------------------------------------------------------------------------
namespace winapi {
// Replaces the file `name` (a Windows path) with `size` bytes so that a crash at any moment leaves the old content
// or the new one, never a mix or an empty file: a new temporary file beside the target is written, flushed to the
// disk, renamed over the target, and the folder is flushed. 0, or the error code; the target is then as it was.
// Injected failures of "CreateFileA", "WriteFile", "FlushFileBuffers" and "MoveFileA" and a drive's free-space
// limit apply.
DWORD SaveFileWhole(const char* name, const void* data, size_t size);
// The same for a file named by its host path (the registry's file lives outside the drives).
DWORD SaveHostFileWhole(const char* hostPath, const void* data, size_t size);
// Removes the temporary files that saves killed half way left in a folder (those no running save holds); the
// number removed. Run at start-up over the folders the program saves into.
int RemoveStaleSaves(const char* folder);
int RemoveStaleHostSaves(const char* hostFolder);
}  // namespace winapi

// ---- for the other parts of the stand-in ------------------------------------------------------------------
namespace winapi::internal {
// Closes a file or file-mapping handle; false when the handle is not one of those (CloseHandle tries it).
bool CloseFileHandle(HANDLE handle);
// Device names ("COM1".."COM9", also written "\\.\COM1" or "COM1:") are opened by the part that emulates the
// device: CreateFileA hands them to the opener it registered, and ReadFile, WriteFile and CloseHandle on the
// handle go to the device's operations. Without an opener such names are not found.
struct DeviceFileOps {
  BOOL (*read)(void* device, void* buffer, DWORD count, DWORD* done);
  BOOL (*write)(void* device, const void* buffer, DWORD count, DWORD* done);
  void (*close)(void* device);
};
// Returns the device (null with *error set when it cannot be opened) and its operations.
using DeviceOpener = void* (*)(const char* name, DWORD access, DWORD flags, const DeviceFileOps** ops, DWORD* error);
void SetDeviceOpener(DeviceOpener opener);
// The device behind a handle that CreateFileA gave for a device name; null for any other handle.
void* DeviceOfHandle(HANDLE handle);
// The host path a Windows path maps to (empty with an error code when the drive or a folder is missing).
bool MapPathToHost(const char* windowsPath, char* hostPath, size_t hostPathSize, DWORD* error);
}  // namespace winapi::internal
