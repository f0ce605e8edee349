// The two programs as a player runs them: the launcher starts the real card-table writer, saves the settings
// beside the table in the registry file, and starts the game with its own arguments.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "setupfixture.h"

extern char** environ;

namespace setuptest {
namespace {

class Programs : public SetupTest {
 protected:
  // Runs the launcher in the installation folder with no terminal to answer its dialog.
  int RunLauncher(const std::vector<std::string>& args) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      std::string s = *e;
      if (s.rfind("WINAPI_", 0) != 0) env.push_back(s);
    }
    env.push_back("WINAPI_HOST=headless");
    env.push_back("WINAPI_REGISTRY=" + registryFile);
    env.push_back("WINAPI_DRIVE_C=" + (dir / "drive").string());
    std::vector<char*> envp, argv;
    for (auto& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string program = LAUNCH_PROGRAM;
    argv.push_back(program.data());
    std::vector<std::string> copy = args;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, (dir / "drive").c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

TEST_F(Programs, TheLauncherRunsTheWriterAndTheGame) {
  fs::create_directories(dir / "drive" / "qv99");
  fs::copy_file(HWSCAN_PROGRAM, dir / "drive" / "qv99" / "hwscan");
  // The game's stand-in records its arguments, then makes the record visible in one step.
  MakeProgram("qv99/teebox", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > args.tmp\nmv args.tmp args.txt\n");
  WriteDword("SOFTWARE\\ZO Vodoro\\Zarvo Velmarth 99\\Graphics", "Game Screen Resolution", 2);
  winapi::registry::FlushAll();

  ASSERT_EQ(RunLauncher({"/NETWIRE", "two words"}), 0);
  const fs::path record = dir / "drive" / "args.txt";
  // The launcher does not wait for the game; give it a generous while to write its record.
  for (int i = 0; i < 600 && !fs::exists(record); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::ifstream in(record);
  std::stringstream ss;
  ss << in.rdbuf();
  EXPECT_EQ(ss.str(), "/NETWIRE\ntwo words\n");

  winapi::registry::UseFile(registryFile);  // what the other processes saved
  DWORD v = 0;
  EXPECT_TRUE(ReadDword("SOFTWARE\\Marrowgate\\3D Data", "Version", &v) && v == 12);
  EXPECT_TRUE(ReadDword("SOFTWARE\\Marrowgate\\3D Data\\Card5\\Type3", "VendorID", &v) && v == 0x10D9);
  EXPECT_TRUE(ReadDword("SOFTWARE\\ZO Vodoro\\Zarvo Velmarth 99\\Graphics", "3D Enable Flag", &v) && v == 1);
  EXPECT_TRUE(ReadDword("SOFTWARE\\ZO Vodoro\\Zarvo Velmarth 99\\Graphics", "Game Screen Resolution", &v) && v == 2);
}

TEST_F(Programs, WithoutTheWriterTheLauncherEndsWithOne) {
  ASSERT_EQ(RunLauncher({}), 1);
  winapi::registry::UseFile(registryFile);
  EXPECT_FALSE(KeyExists("SOFTWARE\\ZO Vodoro\\Zarvo Velmarth 99\\Graphics"));
}

}  // namespace
}  // namespace setuptest
