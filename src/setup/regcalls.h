// The registry calls of the set-up tools, kept replaceable so that tests can make the registry refuse a
// key or a value.
#pragma once

#include <functional>

#include "windows.h"

namespace setup {

struct RegistryCalls {
  std::function<LONG(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD)> createKey;
  std::function<LONG(HKEY, LPCSTR, DWORD, REGSAM, PHKEY)> openKey;
  std::function<LONG(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD)> queryValue;
  std::function<LONG(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD)> setValue;
  std::function<LONG(HKEY, LPCSTR)> deleteKey;
  std::function<LONG(HKEY)> closeKey;
};

// The calls in use: the platform's own unless a test replaced them.
RegistryCalls& Registry();
// Back to the platform's calls.
void UsePlatformRegistry();

// REG_DWORD data is four bytes, lowest first.
void PutDword(BYTE out[4], DWORD value);
DWORD GetDword(const BYTE in[4]);

}  // namespace setup
