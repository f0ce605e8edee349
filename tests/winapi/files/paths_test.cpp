// Path mapping, folders, finding files, drives and volumes of the stand-in.
#include <set>

#include "support/drive_fixture.h"

namespace {

using PathsTest = DriveTest;

std::string Full(const char* name) {
  char buffer[MAX_PATH];
  LPSTR part = nullptr;
  DWORD n = GetFullPathNameA(name, sizeof buffer, buffer, &part);
  return n == 0 || n >= sizeof buffer ? std::string("<error>") : std::string(buffer, n);
}

TEST_F(PathsTest, FullPathsAgainstTheCurrentDirectory) {
  HostFile("c/Game/Data/x", "");
  ASSERT_TRUE(SetCurrentDirectoryA("c:\\game"));
  char current[MAX_PATH];
  ASSERT_EQ(GetCurrentDirectoryA(sizeof current, current), 7u);
  // The folder keeps the case the caller gave.
  EXPECT_STREQ(current, "C:\\game");
  struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"data\\file.txt", "C:\\game\\data\\file.txt"},
      {"data/file.txt", "C:\\game\\data\\file.txt"},
      {"\\top.txt", "C:\\top.txt"},
      {"..\\..\\..\\up.txt", "C:\\up.txt"},
      {".\\a\\.\\b\\..\\c", "C:\\game\\a\\c"},
      {"d:\\QV99\\x", "D:\\QV99\\x"},
      {"D:rel", "D:\\rel"},
      {"C:rel", "C:\\game\\rel"},
  };
  for (const auto& c : cases) EXPECT_EQ(Full(c.in), c.out) << c.in;
  // Too small a buffer gets the size needed, counting the terminating zero.
  char small[4];
  EXPECT_EQ(GetFullPathNameA("data", sizeof small, small, nullptr), 13u);
  EXPECT_FALSE(SetCurrentDirectoryA("C:\\nowhere"));
}

TEST_F(PathsTest, FoldersAndAttributes) {
  EXPECT_TRUE(CreateDirectoryA("C:\\Saves", nullptr));
  EXPECT_FALSE(CreateDirectoryA("c:\\SAVES", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(CreateDirectoryA("C:\\a\\b", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  HostFile("c/Saves/game1.sav", "1");
  EXPECT_EQ(GetFileAttributesA("C:\\saves") & FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetFileAttributesA("C:\\saves\\GAME1.SAV") & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(GetFileAttributesA("C:\\saves\\none"), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(RemoveDirectoryA("C:\\saves"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
  EXPECT_TRUE(DeleteFileA("C:\\saves\\game1.sav"));
  EXPECT_TRUE(RemoveDirectoryA("C:\\saves"));
  EXPECT_FALSE(HostExists("c/Saves"));
}

std::set<std::string> FindAll(const char* pattern) {
  std::set<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(pattern, &data);
  if (h == INVALID_HANDLE_VALUE) return names;
  do names.insert(data.cFileName);
  while (FindNextFileA(h, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_TRUE(FindClose(h));
  return names;
}

TEST_F(PathsTest, FindFilesWithPatterns) {
  HostFile("c/Courses/SEDGEFEN/course.dat", "");
  HostFile("c/Courses/Range/a", "");
  HostFile("c/Courses/list.txt", "");
  HostFile("c/Courses/notes.TXT", "");
  using Set = std::set<std::string>;
  EXPECT_EQ(FindAll("C:\\courses\\*.*"), (Set{"Range", "SEDGEFEN", "list.txt", "notes.TXT"}));
  EXPECT_EQ(FindAll("C:\\courses\\*."), (Set{"Range", "SEDGEFEN"}));
  EXPECT_EQ(FindAll("C:\\courses\\*.txt"), (Set{"list.txt", "notes.TXT"}));
  EXPECT_EQ(FindAll("C:\\courses\\?ange"), (Set{"Range"}));
  WIN32_FIND_DATAA data;
  EXPECT_EQ(FindFirstFileA("C:\\courses\\*.xyz", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(FindFirstFileA("C:\\nothere\\*.*", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  HANDLE h = FindFirstFileA("C:\\courses\\SEDGEFEN", &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  FindClose(h);
  EXPECT_FALSE(FindClose(h));
}

TEST_F(PathsTest, DrivesAndVolumes) {
  EXPECT_EQ(GetLogicalDrives(), (1u << 2) | (1u << 3));
  EXPECT_EQ(GetDriveTypeA("C:\\"), static_cast<UINT>(DRIVE_FIXED));
  EXPECT_EQ(GetDriveTypeA("d:\\"), static_cast<UINT>(DRIVE_CDROM));
  EXPECT_EQ(GetDriveTypeA("E:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
  char label[12];
  ASSERT_TRUE(GetVolumeInformationA("D:\\", label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0));
  EXPECT_STREQ(label, "QV99DISC");
  ASSERT_TRUE(GetVolumeInformationA("C:\\", label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0));
  EXPECT_STREQ(label, "HARDDISK");
  DWORD spc = 0, bps = 0, freeClusters = 0, total = 0;
  ASSERT_TRUE(GetDiskFreeSpaceA("C:\\", &spc, &bps, &freeClusters, &total));
  EXPECT_LT(static_cast<uint64_t>(spc) * bps * freeClusters, 0x80000000ull);
  EXPECT_LT(static_cast<uint64_t>(spc) * bps * total, 0x80000000ull);
  // Taking the disc out: the drive stays a CD drive but its volume cannot be read, and no box is shown
  // while critical errors are suppressed.
  winapi::testing::SetCdPresent(false);
  winapi::testing::TakeMessageBoxes();
  UINT old = SetErrorMode(SEM_FAILCRITICALERRORS);
  EXPECT_EQ(GetDriveTypeA("D:\\"), static_cast<UINT>(DRIVE_CDROM));
  EXPECT_FALSE(GetVolumeInformationA("D:\\", label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
  EXPECT_FALSE(GetDiskFreeSpaceA("D:\\", &spc, &bps, &freeClusters, &total));
  EXPECT_EQ(SetErrorMode(old), static_cast<UINT>(SEM_FAILCRITICALERRORS));
  EXPECT_TRUE(winapi::testing::TakeMessageBoxes().empty());
}

TEST_F(PathsTest, ModuleFileNameAndExistenceTests) {
  winapi::testing::SetModuleFileName("C:\\TEEBOX\\TEEBOX.EXE");
  char path[MAX_PATH];
  EXPECT_EQ(GetModuleFileNameA(nullptr, path, sizeof path), 20u);
  EXPECT_STREQ(path, "C:\\TEEBOX\\TEEBOX.EXE");
  char small[8];
  EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), 7u);
  EXPECT_STREQ(small, "C:\\TEEB");
  // Without a setting the program's real path maps onto the drive that holds it, if any.
  winapi::testing::SetModuleFileName("");
  ASSERT_GT(GetModuleFileNameA(nullptr, path, sizeof path), 3u);
  EXPECT_EQ(path[1], ':');

  HostFile("c/Here.txt", "x");
  OFSTRUCT of;
  EXPECT_EQ(OpenFile("C:\\here.TXT", &of, OF_EXIST), 1);
  EXPECT_STREQ(of.szPathName, "C:\\here.TXT");
  EXPECT_EQ(OpenFile("C:\\gone.txt", &of, OF_EXIST), HFILE_ERROR);
  EXPECT_EQ(of.nErrCode, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(_access("c:\\HERE.TXT", 0), 0);
  EXPECT_EQ(_access("c:\\gone.txt", 0), -1);
  HostFile("cd/ro.txt", "x");
  EXPECT_EQ(_access("D:\\ro.txt", 4), 0);
  EXPECT_EQ(_access("D:\\ro.txt", 2), -1);
  char host[512];
  DWORD err = 0;
  ASSERT_TRUE(winapi::internal::MapPathToHost("c:\\HERE.txt", host, sizeof host, &err));
  EXPECT_EQ(std::string(host), root_ + "/c/Here.txt");
}

}  // namespace
