// A render module's display without the game's: a hidden window with a thread of its own that runs the display
// handlers the module installs, made the library's main window for the module (the display hooks point at it).
// Tools, measures and tests open a module on it.
#pragma once

#include <cstdint>
#include <memory>

#include "windows.h"

class ModuleDisplayWindow {
 public:
  ModuleDisplayWindow(int32_t x, int32_t y, int32_t width, int32_t height);
  ~ModuleDisplayWindow();
  ModuleDisplayWindow(const ModuleDisplayWindow&) = delete;
  ModuleDisplayWindow& operator=(const ModuleDisplayWindow&) = delete;
  HWND Window() const;
  // Whether the module's handler of a display message is installed.
  static bool HasHandler(UINT message);

 private:
  struct Thread;
  std::unique_ptr<Thread> thread_;
};
