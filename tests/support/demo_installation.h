// The demo installation (mkdemo) made once in a temporary folder for a test program: its path, or "!" and the
// reason when it could not be made. The suite removes it with RemoveDemoInstallation.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "demo.h"

inline std::string& DemoInstallation(const char* prefix = "teebox_demo", int holes = 1) {
  static std::string folder;
  if (folder.empty()) {
    std::string pattern = std::string("/tmp/") + prefix + "_XXXXXX";
    folder = mkdtemp(pattern.data());
    mkdemo::DemoOptions options;
    options.holes = holes;
    std::string error;
    if (!mkdemo::MakeDemoInstallation(folder, options, error)) folder = "!" + error;
  }
  return folder;
}

inline void RemoveDemoInstallation() {
  if (!DemoInstallation().empty() && DemoInstallation()[0] != '!') std::filesystem::remove_all(DemoInstallation());
}
