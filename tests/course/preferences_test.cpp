// The preference store: numbered preferences in the registry, the 24-byte block in "vex3d.dat".
#include "course/preferences.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "framework/core/registry.h"
#include "winapi/testing.h"

namespace {

class PreferencesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/teebox_prefs_XXXXXX";
    folder_ = mkdtemp(pattern);
    winapi::registry::UseFile(folder_ + "/registry.txt");
    winapi::testing::MapDrive('C', folder_);
    SetPreferencesFolder("C:\\");
  }
  void TearDown() override {
    winapi::testing::ClearFailures();
    winapi::registry::UseFile("");
    winapi::testing::ResetFiles();
    SetPreferencesFolder("");
    Preferences() = DefaultPreferencesBlock();
    std::filesystem::remove_all(folder_);
  }
  // Files beside "vex3d.dat" whose names begin with it: a save's temporary file left behind.
  int LeftoverTemporaries() {
    int count = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder_)) {
      const std::string name = e.path().filename().string();
      if (name != "vex3d.dat" && name.rfind("vex3d.dat", 0) == 0) ++count;
    }
    return count;
  }
  std::vector<uint8_t> FileBytes() {
    std::ifstream in(folder_ + "/vex3d.dat", std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  void WriteFile(const std::vector<uint8_t>& bytes) {
    std::ofstream(folder_ + "/vex3d.dat", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                                  static_cast<std::streamsize>(bytes.size()));
  }
  static void StoreRaw(int index, DWORD type, const std::vector<uint8_t>& data) {
    HKEY key = nullptr;
    const std::string path = std::string(kProductKey) + "\\" + PreferenceSection(index);
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, PreferenceValueName(index), 0, type, data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
  }
  std::string folder_;
};

TEST_F(PreferencesTest, EveryNumberRoundTripsThroughItsRegistryValue) {
  for (int i = 0; i < kPreferenceCount; ++i) {
    int32_t value = 777;
    EXPECT_EQ(GetPreference(i, &value), 1) << i;  // nothing stored yet
    EXPECT_EQ(value, 777);
    ASSERT_EQ(SetPreference(i, i * 100 - 3), 0) << i;
  }
  for (int i = 0; i < kPreferenceCount; ++i) {
    int32_t value = 0;
    ASSERT_EQ(GetPreference(i, &value), 0) << i;
    EXPECT_EQ(value, i * 100 - 3);
  }
  // The names the launcher and the other programs share.
  EXPECT_STREQ(PreferenceValueName(0), "3D Enable Flag");
  EXPECT_STREQ(PreferenceValueName(7), "Game Screen Resolution");
  EXPECT_STREQ(PreferenceSection(7), "Graphics");
  EXPECT_STREQ(PreferenceValueName(10), "Launching (Fail-safe)");
  EXPECT_STREQ(PreferenceSection(9), "Start");
  ASSERT_TRUE(winapi::registry::FlushAll());
  std::ifstream in(folder_ + "/registry.txt");
  const std::string text(std::istreambuf_iterator<char>(in), {});
  EXPECT_NE(text.find("\"Terrain Detail\"=dword:000001f1"), std::string::npos) << text;
}

TEST_F(PreferencesTest, BadNumbersAndForeignValuesAreNotRead) {
  int32_t value = 5;
  EXPECT_EQ(GetPreference(-1, &value), 1);
  EXPECT_EQ(GetPreference(11, &value), 1);
  EXPECT_EQ(GetPreference(0, nullptr), 1);
  EXPECT_EQ(SetPreference(-1, 1), 1);
  EXPECT_EQ(SetPreference(11, 1), 1);
  EXPECT_EQ(PreferenceValueName(11), nullptr);
  StoreRaw(3, REG_SZ, {'1', 0});
  StoreRaw(4, REG_BINARY, {1, 2});
  StoreRaw(5, REG_BINARY, {1, 2, 3, 4, 5, 6, 7, 8});
  for (int i : {3, 4, 5}) {
    EXPECT_EQ(GetPreference(i, &value), 1) << i;
    EXPECT_EQ(value, 5);
  }
}

TEST_F(PreferencesTest, TheBlockRoundTripsThroughTheFile) {
  EXPECT_EQ(InitPreferencesFile(), kPrefsFileAbsent);
  EXPECT_EQ(SoundSettings(), 0x1F);
  for (int k = 1; k < 24; ++k) EXPECT_EQ(Preferences().bytes[k], 0) << k;
  SoundSettings() = kSoundAll | kSoundMusic;
  Preferences().bytes[23] = 0xAB;
  ASSERT_EQ(SavePreferencesFile(), 0);
  EXPECT_EQ(FileBytes().size(), kPreferencesFileBytes);
  EXPECT_EQ(LeftoverTemporaries(), 0);
  Preferences() = DefaultPreferencesBlock();
  ASSERT_EQ(InitPreferencesFile(), kPrefsFileRead);
  EXPECT_EQ(SoundSettings(), kSoundAll | kSoundMusic);
  EXPECT_EQ(Preferences().bytes[23], 0xAB);
  EXPECT_TRUE(PreferencesProblem().empty());
}

TEST_F(PreferencesTest, DamagedFilesAreRefusedAndLeftAsTheyAre) {
  PreferencesBlock block = DefaultPreferencesBlock();
  block.bytes[0] = 0x03;
  const std::vector<uint8_t> good = EncodePreferencesFile(block);
  auto with = [&](size_t at, uint8_t v) {
    std::vector<uint8_t> b = good;
    b[at] = v;
    return b;
  };
  std::vector<uint8_t> longer = good, shorter(good.begin(), good.end() - 1);
  longer.push_back(0);
  const struct {
    std::vector<uint8_t> bytes;
    const char* reason;
  } cases[] = {
      {{}, "not a preferences file"},
      {with(0, 'W'), "not a preferences file"},
      {with(4, 23), "block of 23 bytes, 24 expected"},
      {with(7, 1), "block of 16777240 bytes, 24 expected"},
      {shorter, "truncated"},
      {longer, "longer than 36 bytes"},
      {with(10, 0x55), "checksum does not match"},
      {with(35, 0x55), "checksum does not match"},
  };
  for (const auto& c : cases) {
    WriteFile(c.bytes);
    SoundSettings() = 0;
    EXPECT_EQ(InitPreferencesFile(), kPrefsFileRefused) << c.reason;
    EXPECT_EQ(SoundSettings(), 0x1F) << c.reason;  // the defaults
    EXPECT_EQ(PreferencesProblem(), "C:\\vex3d.dat: " + std::string(c.reason));
    EXPECT_EQ(FileBytes(), c.bytes);
  }
  WriteFile(good);
  EXPECT_EQ(InitPreferencesFile(), kPrefsFileRead);
  EXPECT_EQ(SoundSettings(), 0x03);
}

TEST_F(PreferencesTest, AFailedSaveKeepsThePreviousFile) {
  SoundSettings() = 0x07;
  ASSERT_EQ(SavePreferencesFile(), 0);
  const std::vector<uint8_t> before = FileBytes();
  SoundSettings() = 0x01;
  for (const char* call : {"CreateFileA", "WriteFile", "MoveFileA"}) {
    winapi::testing::FailCall(call, ERROR_DISK_FULL);
    EXPECT_EQ(SavePreferencesFile(), 2) << call;
    winapi::testing::ClearFailures();
    EXPECT_NE(PreferencesProblem().find("cannot be written"), std::string::npos) << call;
    EXPECT_EQ(FileBytes(), before) << call;
    EXPECT_EQ(LeftoverTemporaries(), 0) << call;
  }
  ASSERT_EQ(SavePreferencesFile(), 0);
  EXPECT_NE(FileBytes(), before);
}

}  // namespace
