// Runs a scenario in a child process of its own (a program that registers exit routines or leaves threads
// behind ends with it); its gtest failures are printed there, and its exit code says whether any.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <thread>

inline void RunInChildProcess(const std::function<void()>& scenario, int limitMs = 240000) {
  const pid_t child = fork();
  if (child == 0) {
    scenario();
    std::fflush(stdout);
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  // A child that hangs is ended after a generous limit, so the test fails instead of stalling the run.
  int status = 0;
  pid_t done = 0;
  for (int waited = 0; waited < limitMs && done == 0; waited += 10) {
    done = waitpid(child, &status, WNOHANG);
    if (done == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (done == 0) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    ADD_FAILURE() << "the program did not end";
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}
