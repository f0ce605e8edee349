// Library file handles: transfer pieces, stopping a read, clamped seeks, invalid handles, memory handles.
#include <cstring>
#include <vector>

#include "files_fixture.h"

namespace {

std::vector<uint32_t> gPieces;
bool gStopAfterFirst = false;

void RecordPiece(FileHandle handle, uint32_t piece) {
  gPieces.push_back(piece);
  if (gStopAfterFirst) stoptransfer(handle);
}

class FileHandleTest : public LibraryFilesTest {
 protected:
  void SetUp() override {
    LibraryFilesTest::SetUp();
    gPieces.clear();
    gStopAfterFirst = false;
    filepiecehook = RecordPiece;
    std::string data(40000, 0);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    HostFile("c/big.dat", data);
    expected_ = data;
  }
  void TearDown() override {
    filepiecehook = nullptr;
    LibraryFilesTest::TearDown();
  }
  std::string expected_;
};

TEST_F(FileHandleTest, ReadsMoveInTransferUnits) {
  for (uint32_t flags : {OPENF_READ | OPENF_SHAREREAD, OPENF_READ | OPENF_SHAREREAD | OPENF_MAP}) {
    SCOPED_TRACE(flags);
    gPieces.clear();
    FileHandle h = 0;
    ASSERT_EQ(openfile("C:\\BIG.DAT", flags, 0, &h), 1);
    EXPECT_LT(h, 0);
    EXPECT_EQ(filemapaddress(h) != nullptr, (flags & OPENF_MAP) != 0);
    std::vector<char> buffer(40000);
    EXPECT_EQ(readfile(h, buffer.data(), 40000), 40000u);
    EXPECT_EQ(gPieces, (std::vector<uint32_t>{16384, 16384, 7232}));
    EXPECT_EQ(std::string(buffer.data(), buffer.size()), expected_);
    // At the end: no bytes and no system call.
    gPieces.clear();
    EXPECT_EQ(readfile(h, buffer.data(), 10), 0u);
    EXPECT_TRUE(gPieces.empty());
    EXPECT_EQ(closefile(h), 1);
  }
}

TEST_F(FileHandleTest, ClearingTheTransferFlagStopsAfterThePiece) {
  gStopAfterFirst = true;
  FileHandle h = 0;
  ASSERT_EQ(openfile("C:\\big.dat", OPENF_READ, 0, &h), 1);
  std::vector<char> buffer(40000);
  EXPECT_EQ(readfile(h, buffer.data(), 40000), 16384u);
  EXPECT_EQ(gPieces.size(), 1u);
  EXPECT_EQ(filetell(h), 16384);
  closefile(h);
}

TEST_F(FileHandleTest, SeeksAreClampedAndReadsStopAtTheEnd) {
  FileHandle h = 0;
  ASSERT_EQ(openfile("C:\\big.dat", OPENF_READ, 0, &h), 1);
  EXPECT_EQ(seekfile(h, -5), 1);
  EXPECT_EQ(filetell(h), 0);
  EXPECT_EQ(seekfile(h, 50000), 1);
  EXPECT_EQ(filetell(h), 40000);
  EXPECT_EQ(seekhandle(h, 39990), 39990);
  char buffer[100];
  EXPECT_EQ(readfile(h, buffer, 100), 10u);
  EXPECT_EQ(memcmp(buffer, expected_.data() + 39990, 10), 0);
  closefile(h);
}

TEST_F(FileHandleTest, InvalidHandlesDoNothing) {
  FileHandle freed = 0;
  ASSERT_EQ(openfile("C:\\big.dat", OPENF_READ, 0, &freed), 1);
  closefile(freed);
  char buffer[8];
  for (FileHandle h : {0, 5, freed, ~1000}) {
    SCOPED_TRACE(h);
    EXPECT_EQ(readfile(h, buffer, 8), 0u);
    EXPECT_EQ(writefile(h, buffer, 8), 0u);
    EXPECT_EQ(seekfile(h, 0), 0);
    EXPECT_EQ(closefile(h), 0);
    EXPECT_EQ(fileinfo(h, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(stoptransfer(h), 0);
    EXPECT_EQ(lockfilehandle(h), 0);
  }
}

TEST_F(FileHandleTest, WritesGrowTheFileAndUnitsFollowSectors) {
  FileHandle h = 0;
  ASSERT_EQ(openfile("C:\\new.dat", OPENF_READ | OPENF_WRITE | OPENF_CREATE, 1000, &h), 1);
  uint32_t unit = 0;
  int32_t size = -1;
  uint32_t freespace = 0;
  ASSERT_EQ(fileinfo(h, nullptr, &unit, &size, &freespace), 1);
  EXPECT_EQ(unit, 1024u);  // whole 512-byte sectors
  EXPECT_EQ(size, 0);
  EXPECT_GT(freespace, 0u);
  EXPECT_EQ(writefile(h, "abcdef", 6), 6u);
  fileinfo(h, nullptr, nullptr, &size, nullptr);
  EXPECT_EQ(size, 6);
  EXPECT_EQ(truncatefile(h, 0), TRUE);
  fileinfo(h, nullptr, nullptr, &size, nullptr);
  EXPECT_EQ(size, 6);
  closefile(h);
  EXPECT_EQ(HostRead("c/new.dat"), "abcdef");
  // Creating a new file over an existing one fails; the handle comes back as 0.
  EXPECT_EQ(openfile("C:\\new.dat", OPENF_WRITE | OPENF_CREATE, 0, &h), 0);
  EXPECT_EQ(h, 0);
  // A full disk makes the write come back short.
  winapi::testing::SetDiskFreeBytes('C', 3);
  ASSERT_EQ(openfile("C:\\new.dat", OPENF_WRITE | OPENF_CREATE | OPENF_TRUNCATE, 0, &h), 1);
  EXPECT_EQ(writefile(h, "abcdef", 6), 0u);
  closefile(h);
}

TEST_F(FileHandleTest, MemoryHandlesReadButRefuseWrites) {
  const char text[] = "memory region";
  FileHandle h = 0;
  ASSERT_EQ(openmemoryhandle(text, 13, 4, 0, &h), 1);
  EXPECT_EQ(filehandledevice(h), 4);
  char buffer[32] = {};
  EXPECT_EQ(seekhandle(h, 7), 7);
  EXPECT_EQ(readfile(h, buffer, 32), 6u);
  EXPECT_STREQ(buffer, "region");
  seekfile(h, 0);
  EXPECT_EQ(writefile(h, "XX", 2), 0u);
  EXPECT_EQ(truncatefile(h, 0), 0);
  closefile(h);
}

TEST_F(FileHandleTest, DrivesAndCheckedEntryPoints) {
  EXPECT_EQ(filedrive("c:\\x"), 'C');
  EXPECT_EQ(filedevice("D:\\QV99\\x"), 4);
  EXPECT_EQ(filedevice("relative.txt"), 3);  // the current directory is on C
  FileHandle h = 0;
  uint32_t word = 9;
  int32_t size = 0;
  ASSERT_EQ(openhandle("C:\\big.dat", &h, &word, &size), 1);
  EXPECT_EQ(word, 0u);
  EXPECT_EQ(size, 40000);
  libclosehandle(h);
  EXPECT_NE(openmaphandle("C:\\big.dat", &h, &word, &size), nullptr);
  libclosehandle(h);
  EXPECT_EQ(openhandle("C:\\missing.dat", &h, &word, &size), 0);
  EXPECT_NE(gAbortText.find("openhandlea - OPEN FAILED ON `C:\\missing.dat`"), std::string::npos);
  gAbortText.clear();
  EXPECT_EQ(openmaphandle("C:\\missing.dat", &h, &word, &size), nullptr);
  EXPECT_NE(gAbortText.find("openmaphandlea -- FAILED TO OPEN FILE"), std::string::npos);
  // The writing entry point does not abort.
  gAbortText.clear();
  EXPECT_EQ(openhandlew("C:\\nofolder\\x.dat", &h, &word, &size), 0);
  EXPECT_TRUE(gAbortText.empty());
  char dir[512];
  setdirectory("C:\\");
  getdirectory(dir);
  EXPECT_STREQ(dir, "C:\\");
  setdirectory("C:\\nowhere");
  EXPECT_NE(gAbortText.find("setdirectory - FAILED ON 'C:\\nowhere'"), std::string::npos);
}

}  // namespace
