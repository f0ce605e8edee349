// Shared set-up of the drawing tests: memory, the row space, a memory-backed display, and aborts captured
// instead of ending the program.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/core/memclass.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/gfx/windowdesc.h"

inline std::vector<std::string>& CapturedAborts() {
  static std::vector<std::string> texts;
  return texts;
}

class GfxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!memstarted()) initmem();
    gfxresetdisplay();
    rowspacesize = 14336;
    initrow();
    CapturedAborts().clear();
    abortfilterhook = [](const char* text) {
      CapturedAborts().push_back(text);
      return 0;
    };
    releasewindow();
  }
  void TearDown() override {
    releasewindow();
    for (WindowDesc* w : made_) removewindow(w);
    abortfilterhook = nullptr;
  }
  // A window removed again at the end of the test.
  WindowDesc* Make(int width, int height, int depth) {
    WindowDesc* w = createwindowadra(width, height, depth, 1);
    if (w) made_.push_back(w);
    return w;
  }
  bool AbortedWith(const std::string& part) const {
    for (const std::string& t : CapturedAborts())
      if (t.find(part) != std::string::npos) return true;
    return false;
  }

 private:
  std::vector<WindowDesc*> made_;
};
