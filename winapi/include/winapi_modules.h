// Modules loaded by name at run time, over dlopen. "name" and "name.dll" find name.so in the program's folder
// (then in the folders of WINAPI_MODULE_PATH); decorated export names ("_name@8") find the plain export "name".
#pragma once

#include "windows.h"

HMODULE LoadLibraryA(LPCSTR name);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);
// Null: the program itself. Otherwise a module already loaded, by the name it was loaded with.
HMODULE GetModuleHandleA(LPCSTR name);

namespace winapi::internal {
// A module that the stand-in provides itself (for example "ICMP.DLL"): LoadLibraryA of that name (with or
// without ".dll", any letter case) succeeds and GetProcAddress asks `lookup`.
void RegisterBuiltinModule(const char* name, FARPROC (*lookup)(const char* export_name));
}  // namespace winapi::internal
