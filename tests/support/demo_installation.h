// The demo installation (mkdemo) made once in a temporary folder for a test program: its path, or "!" and the
// reason when it could not be made. The suite removes it with RemoveDemoInstallation.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "demo.h"

inline std::string& DemoInstallationPath() {
  static std::string folder;
  return folder;
}

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
    if (!mkdemo::MakeDemoInstallation(folder, options, error)) folder = "!" + error;
  }
  return folder;
}

// Removed; a later call of DemoInstallation makes it anew.
inline void RemoveDemoInstallation() {
  std::string& folder = DemoInstallationPath();
  if (!folder.empty() && folder[0] != '!') std::filesystem::remove_all(folder);
  folder.clear();
}
