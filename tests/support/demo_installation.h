// The demo installation (mkdemo) for tests. Each test runs in a process of its own and making an installation
// takes seconds, so with TEEBOX_DEMO_CACHE set (the test launcher sets it) the first process of a test program
// makes each kind once into that folder and the others copy it.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "demo.h"

// As mkdemo::MakeDemoInstallation; from the cache when `folder` is new or empty. The cache is keyed by this
// program's build (so a rebuilt generator never serves an old tree) and by the options.
inline bool MakeDemoInstallationCached(const std::string& folder, const mkdemo::DemoOptions& options,
                                       std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const char* cache = std::getenv("TEEBOX_DEMO_CACHE");
  struct stat self {};
  if (!cache || !*cache || stat("/proc/self/exe", &self) != 0 || (fs::exists(folder, ec) && !fs::is_empty(folder, ec)))
    return mkdemo::MakeDemoInstallation(folder, options, error);
  const std::string program = fs::read_symlink("/proc/self/exe", ec).filename().string();
  const std::string build = program + "-" + std::to_string(self.st_size) + "-" + std::to_string(self.st_mtim.tv_sec) +
                            "." + std::to_string(self.st_mtim.tv_nsec);
  const std::string kind = std::to_string(options.holes) + (options.archives ? "a" : "l") +
                           (options.commentary ? "c" : "") + "-" +
                           std::to_string(std::hash<std::string>{}(options.fontFolder + "|" + options.commentaryOnly));
  const fs::path root(cache);
  fs::create_directories(root, ec);
  const fs::path entry = root / (build + "-" + kind);
  const fs::path done = root / (build + "-" + kind + ".done");
  // One lock per program: its tests running side by side wait for the first to make an entry.
  const int lock = open((root / (program + ".lock")).c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
  if (lock < 0) return mkdemo::MakeDemoInstallation(folder, options, error);
  flock(lock, LOCK_EX);
  bool ok = true;
  if (!fs::exists(done, ec)) {
    for (const fs::directory_entry& e : fs::directory_iterator(root, ec)) {
      const std::string name = e.path().filename().string();
      if (name.rfind(program + "-", 0) == 0 && name.rfind(build + "-", 0) != 0) fs::remove_all(e.path(), ec);
    }
    fs::remove_all(entry, ec);
    ok = mkdemo::MakeDemoInstallation(entry.string(), options, error);
    if (ok) close(open(done.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
  }
  if (ok) {
    fs::copy(entry, folder, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    if (ec) {
      error = "cannot copy the cached installation: " + ec.message();
      ok = false;
    }
  }
  close(lock);
  return ok;
}

inline std::string& DemoInstallationPath() {
  static std::string folder;
  return folder;
}

// Made once in a temporary folder for a test program: its path, or "!" and the reason when it could not be
// made. The suite removes it with RemoveDemoInstallation.
inline std::string& DemoInstallation(const char* prefix = "teebox_demo", int holes = 1) {
  std::string& folder = DemoInstallationPath();
  if (folder.empty()) {
    std::string pattern = std::string("/tmp/") + prefix + "_XXXXXX";
    const char* made = mkdtemp(pattern.data());
    if (!made) return folder = "!cannot make a temporary folder";
    folder = made;
    mkdemo::DemoOptions options;
    options.holes = holes;
    std::string error;
    if (!MakeDemoInstallationCached(folder, options, error)) folder = "!" + error;
  }
  return folder;
}

// Removed; a later call of DemoInstallation makes it anew.
inline void RemoveDemoInstallation() {
  std::string& folder = DemoInstallationPath();
  if (!folder.empty() && folder[0] != '!') std::filesystem::remove_all(folder);
  folder.clear();
}
