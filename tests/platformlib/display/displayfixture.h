// A fresh platform for each display test: library memory, the main thread, the headless host and the fake
// display driver; whatever window a test opened is closed again.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "platformlib/display/displaymode.h"
#include "platformlib/display/keyboard.h"
#include "platformlib/display/mainwindow.h"
#include "platformlib/core/memclass.h"
#include "platformlib/core/timer.h"
#include "platformlib/display/windisplay.h"
#include "winapi/testing.h"

class DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Waits (in real time, a few seconds at most) until the condition holds; false when it never did.
  static bool waitfor(const std::function<bool()>& condition);
  // Full-screen graphics on a fake display with these modes.
  static void usemodes(const std::vector<winapi::testing::FakeDisplayMode>& modes);
};
