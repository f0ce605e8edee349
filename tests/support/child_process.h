// Runs a scenario in a child process, so that each one starts from what is on disk and a hang cannot stall the
// run: the child is ended after a limit and the test fails.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

// The scenario's gtest failures are printed in the child; its exit code says whether there were any.
inline void RunInChild(const std::function<void()>& scenario, int limitMs) {
  const pid_t child = fork();
  if (child == 0) {
    scenario();
    std::fflush(stdout);
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
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
