// Shared set-up of the platform-library tests: a clean stand-in, aborts caught through the exit and
// message-box hooks, and a memory system of its own for each test.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platformlib/core/memclass.h"
#include "winapi/testing.h"

namespace platformtest {

struct Abort {
  bool ended = false;      // the process would have ended
  unsigned exitcode = 0;
  std::string text;        // the message box text
  std::string caption;
  unsigned style = 0;
  int boxes = 0;
};

// Runs `action`, which is expected to abort; reports what the abort showed and how it ended.
inline Abort CatchAbort(const std::function<void()>& action) {
  Abort result;
  winapi::testing::TakeMessageBoxes();
  try {
    action();
  } catch (const winapi::testing::ExitCalled& exit) {
    result.ended = true;
    result.exitcode = exit.code;
  }
  auto boxes = winapi::testing::TakeMessageBoxes();
  result.boxes = static_cast<int>(boxes.size());
  if (!boxes.empty()) {
    result.text = boxes.front().text;
    result.caption = boxes.front().caption;
    result.style = boxes.front().type;
  }
  return result;
}

class PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winapi::testing::Reset();
    winapi::testing::SetExitHook([](unsigned code) { throw winapi::testing::ExitCalled{code}; });
    abortonerror = 1;
    abortlocationflag = 1;
    abortfilterhook = nullptr;
    abortfirsthook = nullptr;
    abortdisplayhook = nullptr;
    aborttimerhook = nullptr;
    abortposthook = nullptr;
    abortfile = abortfunction = nullptr;
    calledfromfile = calledfromfunction = nullptr;
    ASSERT_EQ(initmem(1 << 20), 1);
  }
  void TearDown() override {
    exitmem();
    winapi::testing::Reset();
  }
};

}  // namespace platformtest
