// Whole-file saves killed at random moments: the target always holds one whole version, old or new, and the
// temporary files the killed saves left go at the next start.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <random>
#include <thread>

#include "support/drive_fixture.h"

namespace {

constexpr size_t kSize = 256 * 1024;

std::string Version(char letter) { return std::string(kSize, letter); }

class SaveKillTest : public DriveTest {
 protected:
  // Runs `save(round)` over and over in a child process and kills it at a random moment, `rounds` times; after
  // each kill `check` looks at what is on the disk.
  void KillDuring(const std::function<void(int)>& save, const std::function<void()>& check) {
    std::mt19937 random(7);
    for (int round = 0; round < 12; ++round) {
      const pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        for (int i = 0;; ++i) save(i);
      }
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
      kill(child, SIGKILL);
      int status = 0;
      waitpid(child, &status, 0);
      check();
    }
    // The next start clears what the killed saves left behind.
    EXPECT_LE(winapi::RemoveStaleSaves("C:\\"), 1);  // one name per target
    for (const auto& e : std::filesystem::directory_iterator(root_ + "/c"))
      EXPECT_EQ(e.path().filename().string().find('~'), std::string::npos) << e.path();
  }
  void ExpectWholeVersion(const std::string& relative) {
    const std::string now = HostRead(relative);
    EXPECT_TRUE(now == Version('A') || now == Version('B')) << relative << ": " << now.size() << " bytes";
  }
};

TEST_F(SaveKillTest, SaveFileWholeLeavesOneWholeVersion) {
  HostFile("c/target.dat", Version('A'));
  KillDuring(
      [](int i) {
        const std::string v = Version(i % 2 ? 'A' : 'B');
        winapi::SaveFileWhole("C:\\target.dat", v.data(), v.size());
      },
      [&] { ExpectWholeVersion("c/target.dat"); });
}

TEST_F(SaveKillTest, CopyAndMoveLeaveOneWholeVersion) {
  HostFile("c/a.dat", Version('A'));
  HostFile("c/b.dat", Version('B'));
  HostFile("c/target.dat", Version('A'));
  KillDuring([](int i) { CopyFileA(i % 2 ? "C:\\a.dat" : "C:\\b.dat", "C:\\target.dat", FALSE); },
             [&] { ExpectWholeVersion("c/target.dat"); });
  // Across drives a move is a copy and a delete.
  std::filesystem::create_directories(root_ + "/e");
  winapi::testing::MapDrive('E', root_ + "/e", "SECOND");
  KillDuring(
      [&](int i) {
        HostFile("e/moved.dat", Version(i % 2 ? 'A' : 'B'));
        MoveFileExA("E:\\moved.dat", "C:\\target.dat", MOVEFILE_COPY_ALLOWED | MOVEFILE_REPLACE_EXISTING);
      },
      [&] { ExpectWholeVersion("c/target.dat"); });
}

TEST_F(SaveKillTest, RegistryFileStaysReadable) {
  const std::string file = root_ + "/c/registry.txt";
  winapi::registry::UseFile(file);
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Kill", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const std::string first = Version('A').substr(0, 16384);
  RegSetValueExA(key, "v", 0, REG_BINARY, reinterpret_cast<const BYTE*>(first.data()), first.size());
  ASSERT_EQ(RegFlushKey(key), ERROR_SUCCESS);
  KillDuring(
      [&](int i) {
        const std::string v = Version(i % 2 ? 'A' : 'B').substr(0, 16384);
        RegSetValueExA(key, "v", 0, REG_BINARY, reinterpret_cast<const BYTE*>(v.data()), v.size());
        RegFlushKey(key);
      },
      [&] {
        winapi::registry::UseFile(file);  // reads the file afresh
        HKEY again = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Kill", 0, KEY_ALL_ACCESS, &again), ERROR_SUCCESS);
        std::string value(16384, 0);
        DWORD size = value.size();
        ASSERT_EQ(RegQueryValueExA(again, "v", nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &size),
                  ERROR_SUCCESS);
        EXPECT_TRUE(value == Version('A').substr(0, 16384) || value == Version('B').substr(0, 16384));
        EXPECT_FALSE(std::filesystem::exists(file + ".bad"));
        RegCloseKey(again);
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Kill", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
      });
  RegCloseKey(key);
  winapi::registry::UseFile(root_ + "/elsewhere.txt");
}

}  // namespace
