// LoadLibraryA and friends over dlopen. A module record is the handle the game holds; it counts its loads.
#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "internal.h"
#include "windows.h"

namespace {

struct Module {
  std::string key;  // canonical file, or "builtin:<name>"
  std::string loadedas;
  void* handle = nullptr;
  FARPROC (*builtin)(const char*) = nullptr;
  int loads = 0;
};

std::mutex lock;
char programmodule;  // GetModuleHandleA(null) names the program by this address
std::map<std::string, std::unique_ptr<Module>>& modules() {
  static auto* m = new std::map<std::string, std::unique_ptr<Module>>;
  return *m;
}
std::map<std::string, FARPROC (*)(const char*)>& builtins() {
  static auto* b = new std::map<std::string, FARPROC (*)(const char*)>;
  return *b;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// "drvd3d.dll" -> "drvd3d"; other extensions stay.
std::string stem(const std::string& name) {
  if (name.size() > 4 && lower(name.substr(name.size() - 4)) == ".dll") return name.substr(0, name.size() - 4);
  return name;
}

std::string programfolder() {
  std::vector<char> buffer(4096);
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return ".";
  std::string path(buffer.data(), static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::vector<std::string> searchfolders() {
  std::vector<std::string> folders{programfolder()};
  if (const char* extra = std::getenv("WINAPI_MODULE_PATH")) {
    std::string list = extra;
    size_t start = 0;
    while (start <= list.size()) {
      const size_t colon = list.find(':', start);
      const std::string folder = list.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
      if (!folder.empty()) folders.push_back(folder);
      if (colon == std::string::npos) break;
      start = colon + 1;
    }
  }
  return folders;
}

bool isfile(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

// Finds a file in a folder by name without regard to letter case.
std::string findnocase(const std::string& folder, const std::string& file) {
  const std::string exact = folder + "/" + file;
  if (isfile(exact)) return exact;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return {};
  const std::string wanted = lower(file);
  while (dirent* entry = readdir(dir.get()))
    if (lower(entry->d_name) == wanted) return folder + "/" + entry->d_name;
  return {};
}

std::string locate(const std::string& name) {
  std::string unix = name;
  std::replace(unix.begin(), unix.end(), '\\', '/');
  if (unix.find('/') != std::string::npos) {
    const std::string base = stem(unix);
    for (const std::string& candidate : {unix, base + ".so"})
      if (isfile(candidate)) return candidate;
    return {};
  }
  const std::string base = stem(unix);
  for (const std::string& folder : searchfolders())
    for (const std::string& file : {base + ".so", "lib" + base + ".so"}) {
      const std::string found = findnocase(folder, file);
      if (!found.empty()) return found;
    }
  return {};
}

Module* fromhandle(HMODULE handle) {
  for (auto& [key, module] : modules())
    if (reinterpret_cast<HMODULE>(module.get()) == handle) return module.get();
  return nullptr;
}

// "_name@12" -> "name"
std::string undecorated(const char* name) {
  std::string s = name;
  const size_t at = s.rfind('@');
  if (at != std::string::npos && at + 1 < s.size() &&
      std::all_of(s.begin() + static_cast<std::ptrdiff_t>(at) + 1, s.end(), [](char c) { return c >= '0' && c <= '9'; }))
    s.erase(at);
  if (!s.empty() && s[0] == '_') s.erase(0, 1);
  return s;
}

}  // namespace

void winapi::internal::RegisterBuiltinModule(const char* name, FARPROC (*lookup)(const char*)) {
  std::lock_guard<std::mutex> guard(lock);
  builtins()[lower(stem(name))] = lookup;
}

HMODULE LoadLibraryA(LPCSTR name) {
  if (winapi::internal::FailNow("LoadLibraryA")) return nullptr;
  if (!name || !*name) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(lock);
  std::string key;
  FARPROC (*builtin)(const char*) = nullptr;
  const auto b = builtins().find(lower(stem(name)));
  if (b != builtins().end()) {
    key = "builtin:" + b->first;
    builtin = b->second;
  } else {
    key = locate(name);
    if (key.empty()) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
  }
  auto& slot = modules()[key];
  if (!slot) {
    auto module = std::make_unique<Module>();
    module->key = key;
    module->loadedas = lower(stem(name));
    module->builtin = builtin;
    if (!builtin) {
      module->handle = dlopen(key.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (!module->handle) {
        modules().erase(key);
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
      }
    }
    slot = std::move(module);
  }
  ++slot->loads;
  return reinterpret_cast<HMODULE>(slot.get());
}

FARPROC GetProcAddress(HMODULE handle, LPCSTR name) {
  // Ordinals (small numbers in place of a name) are not supported.
  if (!name || reinterpret_cast<uintptr_t>(name) < 0x10000) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(lock);
  if (handle == reinterpret_cast<HMODULE>(&programmodule)) handle = nullptr;
  void* dl = nullptr;
  if (!handle) {
    dl = dlopen(nullptr, RTLD_NOW);
  } else {
    Module* module = fromhandle(handle);
    if (!module) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    if (module->builtin) {
      FARPROC proc = module->builtin(name);
      if (!proc) proc = module->builtin(undecorated(name).c_str());
      if (!proc) SetLastError(ERROR_PROC_NOT_FOUND);
      return proc;
    }
    dl = module->handle;
  }
  void* symbol = dlsym(dl, name);
  if (!symbol) symbol = dlsym(dl, undecorated(name).c_str());
  if (!handle) dlclose(dl);
  if (!symbol) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE handle) {
  std::lock_guard<std::mutex> guard(lock);
  Module* module = fromhandle(handle);
  if (!module) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (--module->loads > 0) return TRUE;
  if (module->handle) dlclose(module->handle);
  modules().erase(module->key);
  return TRUE;
}

HMODULE GetModuleHandleA(LPCSTR name) {
  if (!name) return reinterpret_cast<HMODULE>(&programmodule);
  std::lock_guard<std::mutex> guard(lock);
  const std::string wanted = lower(stem(name));
  for (auto& [key, module] : modules())
    if (module->loadedas == wanted) return reinterpret_cast<HMODULE>(module.get());
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}
