// Another of our programs started as a child process, a machine of its own: the stand-in's settings (WINAPI_*) are
// the caller's alone, not the test's own, and its output goes to files that the test reads.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

extern char** environ;

struct SpawnedOutput {
  std::string out;          // standard output
  std::string err;          // standard error; the same file as `out` when empty
  std::string folder;       // the working folder; the test's own when empty
};

// The child's id, or 0 when it could not be started. `env` is added to the test's environment without its
// WINAPI_ and ASAN_OPTIONS settings; a child that is killed at the end of a test reports no leaks.
inline pid_t SpawnProgram(const std::string& program, const std::vector<std::string>& args,
                          std::vector<std::string> env, const SpawnedOutput& output) {
  env.emplace_back("ASAN_OPTIONS=detect_leaks=0");
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "WINAPI_", 7) != 0 && std::strncmp(*e, "ASAN_OPTIONS=", 13) != 0) env.emplace_back(*e);
  std::vector<std::string> all = {program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv, envp;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (output.err.empty())
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  else
    posix_spawn_file_actions_addopen(&actions, 2, output.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (!output.folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, output.folder.c_str());
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : 0;
}

// Ends a child that is still running (its id is 0 once it has ended) and collects it.
inline void KillSpawned(pid_t& pid) {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  pid = 0;
}
