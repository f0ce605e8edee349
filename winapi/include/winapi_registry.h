// The registry, kept in a text file a person can read.
//
// The file is $WINAPI_REGISTRY, or $XDG_CONFIG_HOME/teebox/registry.txt ($HOME/.config/... without
// XDG_CONFIG_HOME). It is read on first use and rewritten whole (temporary file, then rename) when a changed
// key is flushed or closed and at process exit. Key and value names compare without regard to letter case.
// HKEY_DYN_DATA holds no keys: the performance statistics of the old platform do not exist here.
#pragma once

#include <string>

#include "windows.h"

using REGSAM = DWORD;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))
#define HKEY_USERS (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000003u)))
#define HKEY_CURRENT_CONFIG (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000005u)))
#define HKEY_DYN_DATA (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000006u)))

// Value types.
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7

// Options, access rights and dispositions (access rights are accepted and not enforced).
#define REG_OPTION_NON_VOLATILE 0x00000000L
#define REG_OPTION_VOLATILE 0x00000001L
#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F
#define REG_CREATED_NEW_KEY 0x00000001L
#define REG_OPENED_EXISTING_KEY 0x00000002L

#ifndef ERROR_MORE_DATA
#define ERROR_MORE_DATA 234L
#endif
#ifndef ERROR_BADKEY
#define ERROR_BADKEY 1010L
#endif
#ifndef ERROR_CANTWRITE
#define ERROR_CANTWRITE 1013L
#endif
#ifndef ERROR_KEY_DELETED
#define ERROR_KEY_DELETED 1018L
#endif

// Each returns ERROR_SUCCESS or an error code (GetLastError is not used by these calls).
LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options, REGSAM desired,
                     LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result);
// With `data` null only the size is reported; a buffer too small gives ERROR_MORE_DATA and the size needed
// in *dataSize, and nothing is written to it.
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);
LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);
LONG RegDeleteValueA(HKEY key, LPCSTR valueName);
// Deletes the key and everything below it. Handles still open on deleted keys fail with ERROR_KEY_DELETED.
LONG RegDeleteKeyA(HKEY key, LPCSTR subKey);
LONG RegFlushKey(HKEY key);
LONG RegCloseKey(HKEY key);

namespace winapi::registry {
// Writes pending changes, forgets everything loaded and makes `path` the registry file (an empty path: back to
// the configured one). Open handles become invalid. For tests and tools.
void UseFile(const std::string& path);
// The file in use (after configuration).
std::string FilePath();
// Writes pending changes now; false when the file could not be written.
bool FlushAll();
// The text a save would write now, the file loaded first if it was not.
std::string Rendered();
}  // namespace winapi::registry
