// A person's swing in a running program (see runningprogram.h): whether it is awaited, and the space-bar presses
// that make it on the virtual clock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "roundui/roundturn.h"
#include "roundui/targeting.h"
#include "support/programthread.h"
#include "winapi/testing.h"
#include "windows.h"

// True once the program waits for the swing with the aim laid out for the ball where it lies.
inline bool AskAwaitingSwing() {
  auto waiting = std::make_shared<std::atomic<bool>>(false);
  OnProgramThread(
      [waiting] { *waiting = AwaitingSwing() && CurrentTargetingHandler && CurrentTargetingHandler->drawn; }, 2000);
  return waiting->load();
}

// Start, power and accuracy presses of the space bar at 0, `powerAt` and `accuracyAt` ms.
inline std::vector<winapi::testing::ScriptedEvent> ThreeClicks(uint32_t powerAt, uint32_t accuracyAt) {
  std::vector<winapi::testing::ScriptedEvent> script;
  for (uint32_t at : {0u, powerAt, accuracyAt}) {
    const auto press = winapi::testing::ScriptPress(at, VK_SPACE, 30);
    script.insert(script.end(), press.begin(), press.end());
  }
  return script;
}
