// The registry stand-in: values of each type survive a write and a fresh load, keys compare without case,
// small buffers are refused without overflow, subtrees are deleted whole and the file is replaced atomically.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "winapi/testing.h"
#include "windows.h"

namespace fs = std::filesystem;

namespace {

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("teebox-registry-" + std::to_string(getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    file = (dir / "sub" / "registry.txt").string();
    winapi::registry::UseFile(file);
  }
  void TearDown() override {
    winapi::registry::UseFile(file);  // drops pending changes into the test's own file
    fs::remove_all(dir);
  }
  // Forgets everything in memory and reads the file again.
  void reload() { winapi::registry::UseFile(file); }
  std::string contents() const {
    std::ifstream in(file);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  HKEY create(HKEY root, const char* path, DWORD* disposition = nullptr) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                              disposition),
              ERROR_SUCCESS);
    return key;
  }
  LONG open(HKEY root, const char* path, HKEY* key) { return RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, key); }

  fs::path dir;
  std::string file;
};

const char PRODUCT[] = "SOFTWARE\\ZO Vodoro\\Zarvo Velmarth 99";

TEST_F(Registry, ValuesOfEachTypeSurviveAFreshLoad) {
  HKEY key = create(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZO Vodoro\\Zarvo Velmarth 99\\Graphics");
  const char text[] = "C:\\GAME\\\"quoted\"\n\x01\xE9";
  const DWORD number = 0x01020304;
  const BYTE blob[] = {0, 1, 0xFF, 0x80, '"', '\\'};
  ASSERT_EQ(RegSetValueExA(key, "LogPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "3D Enable Flag", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "Blob", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("default"), 8), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "Empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
  ASSERT_EQ(RegFlushKey(key), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  // Readable by a person.
  const std::string saved = contents();
  EXPECT_NE(saved.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZO Vodoro\\Zarvo Velmarth 99\\Graphics]"), std::string::npos);
  EXPECT_NE(saved.find("\"3D Enable Flag\"=dword:01020304"), std::string::npos);
  EXPECT_NE(saved.find("\"Blob\"=hex:00,01,ff,80,22,5c"), std::string::npos);

  reload();
  ASSERT_EQ(open(HKEY_LOCAL_MACHINE, "software\\zo vodoro\\ZARVO VELMARTH 99\\graphics", &key), ERROR_SUCCESS);
  struct Expect {
    const char* name;
    DWORD type;
    std::vector<BYTE> data;
  };
  const Expect expected[] = {
      {"logpath", REG_SZ, std::vector<BYTE>(text, text + sizeof text)},
      {"3D ENABLE FLAG", REG_DWORD, {4, 3, 2, 1}},
      {"Blob", REG_BINARY, std::vector<BYTE>(blob, blob + sizeof blob)},
      {"", REG_SZ, {'d', 'e', 'f', 'a', 'u', 'l', 't', 0}},
      {"Empty", REG_BINARY, {}},
  };
  for (const Expect& e : expected) {
    DWORD type = 0, size = 64;
    BYTE buffer[64];
    ASSERT_EQ(RegQueryValueExA(key, e.name, nullptr, &type, buffer, &size), ERROR_SUCCESS) << e.name;
    EXPECT_EQ(type, e.type) << e.name;
    EXPECT_EQ(std::vector<BYTE>(buffer, buffer + size), e.data) << e.name;
  }
  RegCloseKey(key);
}

TEST_F(Registry, SmallBufferGivesMoreDataAndTheSize) {
  HKEY key = create(HKEY_CURRENT_USER, "Test");
  const char text[] = "twelve chars";
  ASSERT_EQ(RegSetValueExA(key, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text), ERROR_SUCCESS);
  BYTE buffer[8];
  std::memset(buffer, 0x5A, sizeof buffer);
  DWORD size = 4, type = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, &type, buffer, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, sizeof text);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  for (BYTE b : buffer) EXPECT_EQ(b, 0x5A);
  // Without a buffer only the size is told.
  size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, sizeof text);
  // A buffer without a size is refused; a missing value is not found.
  EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, nullptr, buffer, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExA(key, "Absent", nullptr, nullptr, buffer, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

TEST_F(Registry, DeleteRemovesTheWholeSubtree) {
  HKEY deep = create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Marrowgate\\3D Data\\Cards\\Card 1");
  HKEY data = create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Marrowgate\\3D Data");
  HKEY sibling = create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Marrowgate\\Other");
  const DWORD one = 1;
  ASSERT_EQ(RegSetValueExA(deep, "Driver", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(sibling, "Keep", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_SUCCESS);
  HKEY parent;
  ASSERT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Marrowgate", &parent), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(parent, "3d data"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(parent, "3D Data"), ERROR_FILE_NOT_FOUND);

  HKEY gone;
  EXPECT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Marrowgate\\3D Data\\Cards\\Card 1", &gone), ERROR_FILE_NOT_FOUND);
  DWORD size = 4;
  DWORD value;
  EXPECT_EQ(RegQueryValueExA(deep, "Driver", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size), ERROR_KEY_DELETED);
  EXPECT_EQ(RegSetValueExA(data, "New", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_KEY_DELETED);
  for (HKEY k : {deep, data, parent}) EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
  RegCloseKey(sibling);

  reload();
  EXPECT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Marrowgate\\3D Data", &gone), ERROR_FILE_NOT_FOUND);
  HKEY kept;
  ASSERT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Marrowgate\\Other", &kept), ERROR_SUCCESS);
  size = 4;
  EXPECT_EQ(RegQueryValueExA(kept, "Keep", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
  RegCloseKey(kept);
}

TEST_F(Registry, CreateTellsNewFromExistingAndEmptyKeysPersist) {
  DWORD disposition = 0;
  HKEY a = create(HKEY_LOCAL_MACHINE, PRODUCT, &disposition);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  HKEY b = create(HKEY_LOCAL_MACHINE, "software\\ZO VODORO\\zarvo velmarth 99", &disposition);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  HKEY sub = create(a, "Start", &disposition);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  for (HKEY k : {a, b, sub}) RegCloseKey(k);
  reload();
  HKEY start;
  EXPECT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZO Vodoro\\Zarvo Velmarth 99\\Start", &start), ERROR_SUCCESS);
  RegCloseKey(start);
}

TEST_F(Registry, FileIsReplacedWholeOrNotAtAll) {
  HKEY key = create(HKEY_LOCAL_MACHINE, PRODUCT);
  const DWORD v1 = 1, v2 = 2;
  ASSERT_EQ(RegSetValueExA(key, "Value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v1), 4), ERROR_SUCCESS);
  ASSERT_EQ(RegFlushKey(key), ERROR_SUCCESS);
  const std::string before = contents();
  // Nothing but the file itself is left in its folder.
  int files = 0;
  for (const auto& e : fs::directory_iterator(fs::path(file).parent_path())) files += e.is_regular_file();
  EXPECT_EQ(files, 1);

  // A write, a flush to the disk or the rename that fails leaves the old file as it was, and nothing beside it.
  ASSERT_EQ(RegSetValueExA(key, "Value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v2), 4), ERROR_SUCCESS);
  for (const char* call : {"CreateFileA", "WriteFile", "FlushFileBuffers", "MoveFileA"}) {
    winapi::testing::FailCall(call, ERROR_DISK_FULL, 1);
    EXPECT_EQ(RegFlushKey(key), ERROR_CANTWRITE) << call;
    EXPECT_EQ(contents(), before) << call;
    files = 0;
    for (const auto& e : fs::directory_iterator(fs::path(file).parent_path())) files += e.is_regular_file();
    EXPECT_EQ(files, 1) << call;
  }
  // Once the way is clear the pending change is written.
  EXPECT_EQ(RegFlushKey(key), ERROR_SUCCESS);
  EXPECT_NE(contents().find("dword:00000002"), std::string::npos);
  RegCloseKey(key);
}

TEST_F(Registry, ClosingAChangedKeyWritesTheFile) {
  HKEY key = create(HKEY_CURRENT_USER, "Closing");
  EXPECT_FALSE(fs::exists(file)) << "nothing is written before a key is flushed or closed";
  RegSetValueExA(key, "x", 0, REG_BINARY, reinterpret_cast<const BYTE*>("ab"), 2);
  RegCloseKey(key);
  EXPECT_NE(contents().find("\"x\"=hex:61,62"), std::string::npos);
}

TEST_F(Registry, DynamicStatisticsAreAbsent) {
  HKEY key = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(open(HKEY_DYN_DATA, "PerfStats\\StatData", &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(RegCreateKeyExA(HKEY_DYN_DATA, "PerfStats\\StatData", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_ACCESS_DENIED);
  DWORD size = 4;
  DWORD value;
  EXPECT_EQ(RegQueryValueExA(HKEY_DYN_DATA, "VFAT\\ReadsSec", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, BadHandlesAndArguments) {
  HKEY key = create(HKEY_CLASSES_ROOT, "Thing");
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_DWORD, reinterpret_cast<const BYTE*>("1234"), 4), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegFlushKey(HKEY_CLASSES_ROOT), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "a", 0, nullptr, 0, 0, nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_INVALID_PARAMETER);
  // A key name that would break its line in the file, or is too long, is refused.
  HKEY bad = nullptr;
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "two\\nlines", 0, nullptr, 0, 0, nullptr, &bad, nullptr), ERROR_SUCCESS);
  RegCloseKey(bad);
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "two\nlines", 0, nullptr, 0, 0, nullptr, &bad, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, std::string(256, 'k').c_str(), 0, nullptr, 0, 0, nullptr, &bad, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExA(HKEY_LOCAL_MACHINE, "v", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, UnreadableLinesAreKeptAside) {
  fs::create_directories(fs::path(file).parent_path());
  {
    std::ofstream out(file);
    out << "; comment\n"
           "[HKEY_LOCAL_MACHINE\\Good]\n"
           "\"A\"=dword:0000002a\n"
           "this line means nothing\n"
           "\"B\"=hex:zz\n"
           "[NOWHERE\\Key]\n"
           "\"C\"=\"text\"\n";
  }
  HKEY key;
  ASSERT_EQ(open(HKEY_LOCAL_MACHINE, "Good", &key), ERROR_SUCCESS);
  DWORD value = 0, size = 4;
  EXPECT_EQ(RegQueryValueExA(key, "a", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
  EXPECT_EQ(value, 42u);
  EXPECT_EQ(RegQueryValueExA(key, "B", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
  EXPECT_TRUE(fs::exists(file + ".bad"));
  std::ifstream kept(file + ".bad");
  std::stringstream ss;
  ss << kept.rdbuf();
  EXPECT_NE(ss.str().find("this line means nothing"), std::string::npos);
}

// Hostile lines: each is refused (kept in the ".bad" copy), the rest of the file still loads, and the rewrite
// stays the size of what was kept.
TEST_F(Registry, HostileLinesAreRefusedAndTheRestLoads) {
  std::string deep = "[HKEY_LOCAL_MACHINE";
  for (int i = 0; i < 50000; ++i) deep += "\\k";
  deep += "]";
  std::string longpath = "[HKEY_LOCAL_MACHINE";
  for (int i = 0; i < 8; ++i) longpath += "\\" + std::string(200, 'p');
  longpath += "]";
  const struct {
    const char* what;
    std::string lines;
    const char* stray;  // a value that must not be filed anywhere
  } cases[] = {
      {"50,000 levels", deep + "\n\"Deep\"=dword:00000001\n", "Deep"},
      {"path over its length", longpath + "\n\"Long\"=dword:00000001\n", "Long"},
      {"NUL inside a key name", std::string("[HKEY_LOCAL_MACHINE\\Good\\Ev\0il]\n\"Stray\"=dword:00000001\n", 48),
       "Stray"},
      {"type beyond 32 bits", "[HKEY_LOCAL_MACHINE\\Good]\n\"Wide\"=hex(100000001):01\n", "Wide"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::create_directories(fs::path(file).parent_path());
    fs::remove(file + ".bad");
    {
      std::ofstream out(file, std::ios::binary);
      out << "[HKEY_LOCAL_MACHINE\\Good]\n\"A\"=dword:0000002a\n" << c.lines;
    }
    reload();
    HKEY key;
    ASSERT_EQ(open(HKEY_LOCAL_MACHINE, "Good", &key), ERROR_SUCCESS);
    DWORD value = 0, size = 4;
    EXPECT_EQ(RegQueryValueExA(key, "A", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
    EXPECT_EQ(value, 42u);
    size = 4;
    EXPECT_EQ(RegQueryValueExA(key, c.stray, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegSetValueExA(key, "Touched", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(fs::exists(file + ".bad"));
    EXPECT_LT(fs::file_size(file), 4096u);
    EXPECT_EQ(contents().find(c.stray), std::string::npos);
  }
}

TEST_F(Registry, KeysCannotBeCreatedDeeperThanTheBound) {
  HKEY key = create(HKEY_CURRENT_USER, "a");
  HKEY bad = nullptr;
  int levels = 1;
  // Step down one level at a time from the deepest handle, as a caller walking a tree would.
  while (levels < 1000) {
    HKEY next = nullptr;
    if (RegCreateKeyExA(key, "b", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &next, nullptr) != ERROR_SUCCESS) break;
    RegCloseKey(key);
    key = next;
    ++levels;
  }
  EXPECT_EQ(levels, 64);
  EXPECT_EQ(RegCreateKeyExA(key, "c", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &bad, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(bad, nullptr);
  RegCloseKey(key);
  reload();
  EXPECT_EQ(fs::exists(file + ".bad"), false);  // what was made reads back whole
}

}  // namespace
