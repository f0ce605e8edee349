// Reading from the current archive or the disk alike, whole loads, unpacking and the line reader.
#include "framework/core/bigfileio.h"

#include <cstring>

#include "datapack/datapack.h"
#include "framework/core/errors.h"
#include "platformlib/bigfile/bigfile.h"
#include "support/drive_fixture.h"

namespace {

datapack::Bytes Text(const std::string& s) { return datapack::Bytes(s.begin(), s.end()); }

class BigFileIoTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    winapi::testing::TakeMessageBoxes();
    record_ = PathRecord{};
    snprintf(record_.label, sizeof record_.label, "HARDDISK");
    snprintf(record_.drive, sizeof record_.drive, "c:");
    PathSetDirectory(&record_, "|Data");
  }
  void TearDown() override {
    while (BigFileCurrentArchive() != nullptr) BigFileCloseArchive();
    DriveTest::TearDown();
  }
  void Archive(const char* name, const std::vector<datapack::BigEntry>& entries, int form = 2) {
    datapack::Bytes big = datapack::writebigfile(form, entries);
    HostFile(std::string("c/Data/") + name, std::string(big.begin(), big.end()));
  }
  PathRecord record_;
};

TEST_F(BigFileIoTest, EntriesComeFromTheArchiveAndOtherNamesFromDisk) {
  Archive("a.big", {{"a.dat", Text("0123456789abcdef")}});
  HostFile("c/Data/disk.dat", "from disk");
  ASSERT_EQ(BigFileOpenArchive(&record_, "a.big", nullptr), 0);
  HANDLE h = BigFileOpenEntry(&record_, "A.DAT");
  ASSERT_EQ(h, kArchiveEntryHandle);
  EXPECT_EQ(BigFileSize(h), 16u);
  char buffer[8] = {};
  EXPECT_EQ(BigFileRead(h, buffer, 4), 0);
  EXPECT_EQ(BigFileSeek(h, 10, 1), 0);
  EXPECT_EQ(BigFileRead(h, buffer, 2), 0);
  EXPECT_EQ(std::string(buffer, 2), "ef");
  EXPECT_EQ(BigFileSeek(h, 0, 0), ERR_SEEK);
  EXPECT_EQ(BigFileSeek(h, 0, 2), ERR_SEEK);
  // Reading past the end of the entry gives what is left and the read error.
  EXPECT_EQ(BigFileRead(h, buffer, 8), ERR_READ);
  EXPECT_EQ(BigFileSeek(h, -100, 1), ERR_SEEK);
  BigFileClose(h);

  uint32_t size = 0;
  auto* data = static_cast<char*>(BigFileLoad(&record_, "disk.dat", nullptr, 0, &size));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::string(data, size), "from disk");
  MemFree(data);
  data = static_cast<char*>(BigFileLoad(&record_, "a.dat", nullptr, 0, &size));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::string(data, size), "0123456789abcdef");
  MemFree(data);
  EXPECT_TRUE(winapi::testing::TakeMessageBoxes().empty());
  EXPECT_EQ(BigFileLoad(&record_, "nowhere.dat", nullptr, 0, &size), nullptr);
  auto boxes = winapi::testing::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "file was not found");
}

TEST_F(BigFileIoTest, TheOneWholeFileLoaderTakesRecordsOrFullPaths) {
  Archive("a.big", {{"inside.dat", Text("from the archive")}});
  HostFile("c/Data/Golfers/Ada.amt", "from disk");
  HostFile("c/Data/empty.dat", "");
  ASSERT_EQ(BigFileOpenArchive(&record_, "a.big", nullptr), 0);
  PathRecord golfers = record_;
  PathAppend(&golfers, "GOLFERS");
  struct Case {
    PathRecord* record;
    const char* name;
    bool found;
    std::string content;
  };
  const Case cases[] = {
      {&record_, "INSIDE.DAT", true, "from the archive"},
      {nullptr, "C:\\ELSEWHERE\\inside.dat", true, "from the archive"},  // the archive is asked for the last name
      {&golfers, "ada.AMT", true, "from disk"},
      {nullptr, "c:\\data\\golfers\\ADA.amt", true, "from disk"},
      {&record_, "empty.dat", true, ""},
      {&record_, "nowhere.dat", false, ""},
      {nullptr, "C:\\Data\\nowhere.dat", false, ""},
      {nullptr, "C:\\Nofolder\\x.dat", false, ""},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes{1, 2, 3};
    EXPECT_EQ(BigFileLoadBytes(c.record, c.name, bytes), c.found) << c.name;
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.content) << c.name;
    MemHandle handle = BigFileLoadToHandle(c.record, c.name, 0);
    EXPECT_EQ(handle != 0, c.found && !c.content.empty()) << c.name;  // an empty file makes no block
    if (handle != 0) {
      EXPECT_EQ(std::string(static_cast<char*>(MemLock(handle)), c.content.size()), c.content) << c.name;
      MemUnlock(handle);
      MemFreeHandle(handle);
    }
  }
  // The loader itself reports nothing; BigFileLoad alone shows the missing file.
  EXPECT_TRUE(winapi::testing::TakeMessageBoxes().empty());
  // The placing call learns the size first; when it gives no room, nothing is read.
  EXPECT_FALSE(BigFileReadWhole(&record_, "inside.dat", [](uint32_t) -> void* { return nullptr; }));
}

TEST_F(BigFileIoTest, OneSavedLevelOfArchives) {
  Archive("a.big", {{"which", Text("A")}});
  Archive("b.big", {{"which", Text("B")}});
  Archive("c.big", {{"which", Text("C")}}, 1);
  auto current = [&] {
    uint32_t size = 0;
    char* data = static_cast<char*>(BigFileLoad(&record_, "which", nullptr, 0, &size));
    std::string s = data ? std::string(data, size) : "";
    MemFree(data);
    return s;
  };
  ASSERT_EQ(BigFileOpenArchive(&record_, "a.big", nullptr), 0);
  ASSERT_EQ(BigFileOpenArchive(&record_, "b.big", nullptr), 0);
  ASSERT_EQ(BigFileOpenArchive(&record_, "c.big", nullptr), 0);
  EXPECT_EQ(current(), "C");
  BigFileCloseArchive();
  EXPECT_EQ(current(), "B");
  BigFileCloseArchive();
  EXPECT_EQ(BigFileCurrentArchive(), nullptr);
  EXPECT_EQ(BigFileOpenArchive(&record_, "missing.big", nullptr), ERR_FREEBLOCK);
}

TEST_F(BigFileIoTest, UnpackedLoads) {
  std::string plain(3000, 'x');
  for (size_t i = 0; i < plain.size(); i += 7) plain[i] = static_cast<char>('a' + i % 26);
  datapack::Bytes packed = datapack::packlz(Text(plain));
  HostFile("c/Data/packed.bin", std::string(packed.begin(), packed.end()));
  HostFile("c/Data/plain.bin", "not packed at all");
  uint32_t size = 0;
  auto* data = static_cast<char*>(BigFileLoadUnpacked(&record_, "packed.bin", nullptr, 0, &size));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::string(data, size), plain);
  MemFree(data);
  size = 99;
  EXPECT_EQ(BigFileLoadUnpacked(&record_, "plain.bin", nullptr, 0, &size), nullptr);
  EXPECT_EQ(size, 0u);

  HostFile("c/Teebox/teebox.exe", "");
  HostFile("c/Teebox/Art/packed.bin", std::string(packed.begin(), packed.end()));
  winapi::testing::SetModuleFileName("C:\\Teebox\\teebox.exe");
  MemHandle handle = BigFileLoadPackedByPath("Art\\packed.bin", nullptr);
  ASSERT_NE(handle, 0);
  EXPECT_EQ(MemHandleSize(handle), plain.size());
  EXPECT_EQ(std::string(static_cast<char*>(MemLock(handle)), plain.size()), plain);
  MemUnlock(handle);
  MemFreeHandle(handle);
}

TEST_F(BigFileIoTest, BytesComeUnpackedWhenTheFileIsPacked) {
  std::string plain(3000, 'x');
  for (size_t i = 0; i < plain.size(); i += 5) plain[i] = static_cast<char>('a' + i % 26);
  const datapack::Bytes packed = datapack::packlz(Text(plain));
  datapack::Bytes damaged = packed;
  damaged.resize(damaged.size() / 2);
  // A plain file whose first bytes happen to read as a pack header.
  datapack::Bytes lookalike = {0x10, 0xFB, 0x00, 0x00, 0x40};
  for (char c : std::string(" and then no packed data at all")) lookalike.push_back(static_cast<uint8_t>(c));
  struct Case {
    const char* name;
    datapack::Bytes file;
    datapack::Bytes expected;
  };
  const Case cases[] = {
      {"packed.bin", packed, Text(plain)},
      {"damaged.bin", damaged, damaged},
      {"lookalike.bin", lookalike, lookalike},
      {"plain.bin", Text("not packed"), Text("not packed")},
  };
  for (const Case& c : cases) {
    HostFile(std::string("c/Data/") + c.name, std::string(c.file.begin(), c.file.end()));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(BigFileLoadBytesUnpacked(&record_, c.name, bytes)) << c.name;
    EXPECT_EQ(bytes, c.expected) << c.name;
  }
  // From the current archive alike; a file that is nowhere is no success.
  Archive("packed.viv", {{"inside.bin", packed}});
  ASSERT_EQ(BigFileOpenArchive(&record_, "packed.viv", nullptr), 0);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(BigFileLoadBytesUnpacked(&record_, "inside.bin", bytes));
  EXPECT_EQ(bytes, Text(plain));
  EXPECT_FALSE(BigFileLoadBytesUnpacked(&record_, "nowhere.bin", bytes));
  EXPECT_TRUE(bytes.empty());
}

TEST_F(BigFileIoTest, TextLinesIncludingALastLineWithoutFeed) {
  HostFile("c/Data/list.txt", "first\nsecond\r\nlast");
  TextFileReader* reader = TextFileOpen(&record_, "LIST.TXT", false);
  ASSERT_NE(reader, nullptr);
  EXPECT_STREQ(TextFileNextLine(reader), "first\n");
  EXPECT_STREQ(TextFileNextLine(reader), "second\r\n");
  EXPECT_STREQ(TextFileNextLine(reader), "last");
  EXPECT_EQ(TextFileNextLine(reader), nullptr);
  TextFileRewind(reader);
  EXPECT_STREQ(TextFileNextLine(reader), "first\n");
  TextFileClose(reader);
  EXPECT_EQ(TextFileNextLine(nullptr), nullptr);
  TextFileClose(nullptr);
  // A line longer than the buffer comes in pieces.
  std::string longLine(1500, 'q');
  TextFileReader* memory = TextFileFromMemory(longLine.c_str(), static_cast<uint32_t>(longLine.size()));
  EXPECT_EQ(strlen(TextFileNextLine(memory)), 1023u);
  EXPECT_EQ(strlen(TextFileNextLine(memory)), 477u);
  EXPECT_EQ(TextFileNextLine(memory), nullptr);
  TextFileClose(memory);
  EXPECT_EQ(TextFileOpen(&record_, "none.txt", false), nullptr);
}

}  // namespace
