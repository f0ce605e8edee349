// The real program started in the test's process: its providers installed and ProgramMain on a thread of its own,
// over a data root mapped as drive C and a registry file of the test's.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/gameapp.h"
#include "framework/core/services.h"
#include "teebox/providers.h"
#include "winapi/testing.h"
#include "winapi_registry.h"
#include "windows.h"

class RunningProgram {
 public:
  // `headless` false leaves the host to the environment (a window when there is a display). The program's
  // arguments are `arguments` (by default the start-up pictures and movies are skipped).
  RunningProgram(const std::string& root, const std::string& registry, bool headless = true,
                 std::vector<std::string> arguments = {"/NOINTRO"})
      : arguments_(std::move(arguments)) {
    if (headless) setenv("WINAPI_HOST", "headless", 1);
    winapi::testing::MapDrive('C', root);
    winapi::testing::SetModuleFileName("C:\\teebox.exe");
    winapi::registry::UseFile(registry);
    ResetGameApp();
    Folders() = DataFolders{};
    ResetServices();
    InstallProviders();
    thread_ = std::thread([this] {
      std::string name = "teebox";
      std::vector<char*> argv{name.data()};
      for (std::string& a : arguments_) argv.push_back(a.data());
      argv.push_back(nullptr);
      exitCode_ = ProgramMain(static_cast<int>(argv.size()) - 1, argv.data());
    });
  }
  // A scenario that stopped early (a failed assertion) still ends the program instead of waiting for it forever.
  ~RunningProgram() {
    if (thread_.joinable()) {
      winapi::testing::HostCloseWindow();
      thread_.join();
    }
  }
  // The loop runs and has shown a frame, within `limitMs`.
  bool Started(int limitMs) {
    for (int waited = 0;; waited += 5) {
      if (Loop().queueWindow && IsAppActive() && winapi::testing::HostFrameCount() > 0) return true;
      if (waited >= limitMs) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  // The user closes the window; the program's exit code.
  int Close() {
    winapi::testing::HostCloseWindow();
    thread_.join();
    return exitCode_;
  }

 private:
  std::vector<std::string> arguments_;
  std::thread thread_;
  std::atomic<int> exitCode_{-1};
};
