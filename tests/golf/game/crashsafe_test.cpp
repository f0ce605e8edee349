// A process killed at any moment while it saves a golfer file or the registry file never leaves a torn or
// empty file behind: the file always reads back as the old content or the new one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "framework/core/errors.h"
#include "framework/core/paths.h"
#include "framework/core/utils.h"
#include "golf/golferfile.h"
#include "platformlib/shapes/capture.h"
#include "support/drive_fixture.h"
#include "winapi_files.h"
#include "windows.h"

namespace {

constexpr int kKills = 30;
constexpr int kMaxDelayMicroseconds = 4000;
constexpr DWORD kBlobBytes = 8192;
const char kKey[] = "SOFTWARE\\ZO Vodoro\\Zarvo Velmarth 99\\Crash";

std::vector<uint8_t> HostBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

playerInfo_s Golfer(uint32_t version) {
  playerInfo_s r;
  std::strcpy(r.name, "Ada");
  r.flags = kGolferTakesPart;
  r.wordL = version;
  r.model = version;
  return r;
}

// Saves a golfer file or the registry file in version 1 or 2; false when the save failed.
struct Saver {
  const char* what;
  std::function<bool(uint32_t version)> save;
  // The file is whole: it reads back as one of the two versions.
  std::function<void(const char* after)> check;
};

class CrashSafeSaves : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    std::filesystem::create_directories(root_ + "/c/Golfers");
    registryFile_ = root_ + "/config/registry.txt";
    winapi::registry::UseFile(registryFile_);
  }
  void TearDown() override {
    winapi::registry::UseFile(registryFile_);
    DriveTest::TearDown();
  }

  // Forks a child that saves versions 2 and 1 by turns until it is killed, kills it after a random short
  // delay, and checks the file after every kill.
  void KillWhileSaving(const Saver& saver) {
    ASSERT_TRUE(saver.save(1)) << saver.what;
    std::mt19937 random(20261210);
    std::uniform_int_distribution<int> delay(0, kMaxDelayMicroseconds);
    for (int kill = 0; kill < kKills; ++kill) {
      const pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        // Only the save in a loop: no test framework, no exit handlers.
        for (uint32_t n = 0; n < 100000; ++n)
          if (!saver.save(n % 2 == 0 ? 2 : 1)) _exit(2);
        _exit(0);
      }
      std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
      ::kill(child, SIGKILL);
      int status = 0;
      ASSERT_EQ(waitpid(child, &status, 0), child);
      ASSERT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << saver.what << ": a save failed";
      const std::string after = std::string(saver.what) + ", kill " + std::to_string(kill);
      saver.check(after.c_str());
      if (HasFailure()) return;
    }
  }

  std::string registryFile_;
};

TEST_F(CrashSafeSaves, GolferFileIsOldOrNew) {
  std::vector<uint8_t> versions[2];
  {
    // The stored bytes of each version, made by the same save.
    for (uint32_t v : {1u, 2u}) {
      playerInfo_s r = Golfer(v);
      ASSERT_EQ(SaveGolferFile("C:\\Golfers", r), kGolferFileOk);
      versions[v - 1] = HostBytes(root_ + "/c/Golfers/Ada.amt");
      ASSERT_FALSE(versions[v - 1].empty());
    }
    ASSERT_NE(versions[0], versions[1]);
  }
  const Saver saver{"golfer file",
                    [](uint32_t version) {
                      playerInfo_s r = Golfer(version);
                      return SaveGolferFile("C:\\Golfers", r) == kGolferFileOk;
                    },
                    [&](const char* after) {
                      const std::vector<uint8_t> bytes = HostBytes(root_ + "/c/Golfers/Ada.amt");
                      EXPECT_TRUE(bytes == versions[0] || bytes == versions[1])
                          << after << ": " << bytes.size() << " bytes";
                      playerInfo_s back;
                      ASSERT_EQ(LoadGolferFile("C:\\Golfers", "Ada", back), kGolferFileOk) << after;
                      EXPECT_TRUE(back.wordL == 1 || back.wordL == 2) << after;
                    }};
  KillWhileSaving(saver);
}

TEST_F(CrashSafeSaves, RegistryFileIsOldOrNew) {
  const Saver saver{"registry file",
                    [](uint32_t version) {
                      HKEY key = nullptr;
                      if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                          KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
                        return false;
                      // A value and a large blob that must agree with it: a mix of two saves would not.
                      const std::vector<BYTE> blob(kBlobBytes, static_cast<BYTE>(version));
                      bool ok = RegSetValueExA(key, "Value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&version),
                                               sizeof version) == ERROR_SUCCESS &&
                                RegSetValueExA(key, "Blob", 0, REG_BINARY, blob.data(), kBlobBytes) == ERROR_SUCCESS &&
                                RegFlushKey(key) == ERROR_SUCCESS;
                      RegCloseKey(key);
                      return ok;
                    },
                    [&](const char* after) {
                      EXPECT_GT(std::filesystem::file_size(registryFile_), kBlobBytes) << after;
                      // Read afresh from the file.
                      winapi::registry::UseFile(registryFile_);
                      EXPECT_FALSE(std::filesystem::exists(registryFile_ + ".bad")) << after;
                      HKEY key = nullptr;
                      ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key), ERROR_SUCCESS) << after;
                      DWORD value = 0, size = sizeof value, type = 0;
                      EXPECT_EQ(RegQueryValueExA(key, "Value", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
                                ERROR_SUCCESS)
                          << after;
                      std::vector<BYTE> blob(kBlobBytes + 16);
                      DWORD blobSize = static_cast<DWORD>(blob.size());
                      EXPECT_EQ(RegQueryValueExA(key, "Blob", nullptr, &type, blob.data(), &blobSize), ERROR_SUCCESS)
                          << after;
                      RegCloseKey(key);
                      EXPECT_TRUE(value == 1 || value == 2) << after << ": " << value;
                      EXPECT_EQ(blobSize, kBlobBytes) << after;
                      blob.resize(blobSize);
                      EXPECT_EQ(blob, std::vector<BYTE>(blobSize, static_cast<BYTE>(value))) << after;
                    }};
  KillWhileSaving(saver);
}

// The program's own whole-file saves over the stand-in: each target is always one whole version (a copy, which makes
// only new files, whole or not there), and the next start leaves no temporary behind.
TEST_F(CrashSafeSaves, ProgramWholeFileSavesAreOldOrNew) {
  const std::string versions[2] = {std::string(256 * 1024, '1'), std::string(256 * 1024, '2')};
  HostFile("c/one.dat", versions[0]);
  HostFile("c/two.dat", versions[1]);
  const auto size = static_cast<DWORD>(versions[0].size());
  struct Row {
    const char* what;
    const char* target;  // in C:\Golfers
    std::function<bool(uint32_t)> save;
    bool mayBeAbsent;
  } rows[] = {
      {"FileSaveWholePath", "whole.dat",
       [&](uint32_t v) {
         return FileSaveWholePath("C:\\Golfers\\whole.dat", versions[v - 1].data(), size) == ERR_NONE;
       },
       false},
      {"savefileadr", "adr.dat",
       [&](uint32_t v) {
         return savefileadr("C:\\Golfers\\adr.dat", versions[v - 1].data(), static_cast<int32_t>(size)) ==
                static_cast<int32_t>(size);
       },
       false},
      {"FileCopy", "copy.dat",
       [](uint32_t v) {
         DeleteFileA("C:\\Golfers\\copy.dat");
         return FileCopy("C:\\Golfers\\copy.dat", v == 1 ? "C:\\one.dat" : "C:\\two.dat") == 1;
       },
       true},
  };
  for (const Row& row : rows) {
    const std::string path = root_ + "/c/Golfers/" + row.target;
    KillWhileSaving({row.what, row.save, [&](const char* after) {
                       if (row.mayBeAbsent && !std::filesystem::exists(path)) return;
                       const std::vector<uint8_t> bytes = HostBytes(path);
                       const std::string text(bytes.begin(), bytes.end());
                       EXPECT_TRUE(text == versions[0] || text == versions[1]) << after << ": " << bytes.size();
                     }});
    EXPECT_LE(winapi::RemoveStaleSaves("C:\\Golfers"), 1) << row.what;  // one temporary name per target
  }
  for (const auto& e : std::filesystem::directory_iterator(root_ + "/c/Golfers")) {
    const std::string name = e.path().filename().string();
    EXPECT_TRUE(name == "whole.dat" || name == "adr.dat" || name == "copy.dat") << name;
  }
}

}  // namespace
