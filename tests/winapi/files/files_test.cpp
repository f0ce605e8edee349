// File handles of the stand-in: open modes, transfers, sharing, mapping, copy and move, injected faults.
#include <algorithm>
#include <cstring>
#include <functional>

#include "support/drive_fixture.h"

namespace {

bool Close(HANDLE h) { return winapi::internal::CloseFileHandle(h); }

HANDLE Open(const char* name, DWORD access, DWORD disposition, DWORD share = FILE_SHARE_READ) {
  return CreateFileA(name, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string ReadAll(HANDLE h) {
  char buffer[256];
  DWORD n = 0;
  EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &n, nullptr));
  return std::string(buffer, n);
}

using FilesTest = DriveTest;

TEST_F(FilesTest, WriteThenReadBackThroughCaseInsensitivePath) {
  HostFile("c/Data/Courses/readme.txt", "old");
  HANDLE h = Open("C:\\DATA\\courses\\NEW.TXT", GENERIC_WRITE, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(h, "hello", 5, &written, nullptr));
  EXPECT_EQ(written, 5u);
  EXPECT_TRUE(Close(h));
  // The file lands in the existing folders, under the name as it was given.
  EXPECT_EQ(HostRead("c/Data/Courses/NEW.TXT"), "hello");
  h = Open("c:/data/COURSES/new.txt", GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadAll(h), "hello");
  EXPECT_EQ(GetFileSize(h, nullptr), 5u);
  Close(h);
}

TEST_F(FilesTest, CreationDispositionsAndErrors) {
  HostFile("c/exists.bin", "12345");
  struct Case {
    const char* name;
    DWORD disposition;
    bool ok;
    DWORD error;
  } cases[] = {
      {"C:\\exists.bin", CREATE_NEW, false, ERROR_FILE_EXISTS},
      {"C:\\missing.bin", OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND},
      {"C:\\missing.bin", TRUNCATE_EXISTING, false, ERROR_FILE_NOT_FOUND},
      {"C:\\nofolder\\x.bin", CREATE_ALWAYS, false, ERROR_PATH_NOT_FOUND},
      {"Q:\\x.bin", OPEN_EXISTING, false, ERROR_PATH_NOT_FOUND},
      {"C:\\bad?name", CREATE_ALWAYS, false, ERROR_INVALID_NAME},
      {"C:\\EXISTS.BIN", OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS},
      {"C:\\fresh.bin", OPEN_ALWAYS, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HANDLE h = Open(c.name, GENERIC_READ | GENERIC_WRITE, c.disposition);
    EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.ok);
    EXPECT_EQ(GetLastError(), c.error);
    if (h != INVALID_HANDLE_VALUE) Close(h);
  }
  // CREATE_ALWAYS empties an existing file.
  HANDLE h = Open("C:\\exists.bin", GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileSize(h, nullptr), 0u);
  Close(h);
}

TEST_F(FilesTest, SharingRulesAreEnforced) {
  HostFile("c/shared.dat", "x");
  HANDLE reader = Open("C:\\shared.dat", GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  // A second reader is fine; a writer is refused because the first opener shares reading only.
  HANDLE second = Open("C:\\shared.dat", GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ);
  EXPECT_NE(second, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open("C:\\shared.dat", GENERIC_WRITE, OPEN_EXISTING, FILE_SHARE_READ | FILE_SHARE_WRITE),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(DeleteFileA("C:\\shared.dat"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  Close(second);
  Close(reader);
  EXPECT_TRUE(DeleteFileA("C:\\SHARED.DAT"));
  EXPECT_FALSE(HostExists("c/shared.dat"));
}

TEST_F(FilesTest, PointerSeekAndEndOfFile) {
  HANDLE h = Open("C:\\seek.bin", GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  WriteFile(h, "0123456789", 10, &n, nullptr);
  EXPECT_EQ(SetFilePointer(h, -3, nullptr, FILE_END), 7u);
  EXPECT_EQ(ReadAll(h), "789");
  EXPECT_EQ(SetFilePointer(h, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
  EXPECT_EQ(SetFilePointer(h, 4, nullptr, FILE_BEGIN), 4u);
  EXPECT_TRUE(SetEndOfFile(h));
  EXPECT_EQ(GetFileSize(h, nullptr), 4u);
  // A read at the end succeeds with no bytes.
  EXPECT_EQ(ReadAll(h), "");
  Close(h);
  EXPECT_EQ(HostRead("c/seek.bin"), "0123");
}

TEST_F(FilesTest, FullDiskWriteReportsWhatWasWritten) {
  winapi::testing::SetDiskFreeBytes('C', 10);
  HANDLE h = Open("C:\\full.bin", GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 99;
  EXPECT_FALSE(WriteFile(h, "abcdefghijklmnopqrstuvwxy", 25, &written, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(written, 10u);
  // Overwriting what is there needs no new space.
  SetFilePointer(h, 0, nullptr, FILE_BEGIN);
  EXPECT_TRUE(WriteFile(h, "ABCDE", 5, &written, nullptr));
  Close(h);
  EXPECT_EQ(HostRead("c/full.bin"), "ABCDEfghij");
  DWORD spc = 0, bps = 0, freeClusters = 1, total = 0;
  ASSERT_TRUE(GetDiskFreeSpaceA("C:\\", &spc, &bps, &freeClusters, &total));
  EXPECT_EQ(freeClusters, 0u);
}

TEST_F(FilesTest, InjectedFailuresAndBadHandles) {
  HostFile("c/a.txt", "abc");
  winapi::testing::FailCall("CreateFileA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(Open("C:\\a.txt", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  HANDLE h = Open("C:\\a.txt", GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  winapi::testing::FailCall("ReadFile", ERROR_READ_FAULT);
  char buffer[4];
  DWORD n = 7;
  EXPECT_FALSE(ReadFile(h, buffer, 3, &n, nullptr));
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_READ_FAULT));
  // Writing through a read-only handle is refused.
  EXPECT_FALSE(WriteFile(h, "z", 1, &n, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  Close(h);
  EXPECT_FALSE(Close(h));
  EXPECT_FALSE(ReadFile(h, buffer, 3, &n, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(FilesTest, MappedViewsReadAndWriteTheFile) {
  HostFile("c/map.bin", "mapped contents");
  HANDLE h = Open("C:\\map.bin", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  HANDLE m = CreateFileMappingA(h, nullptr, PAGE_READWRITE, 0, 0, nullptr);
  ASSERT_NE(m, nullptr);
  auto* view = static_cast<char*>(MapViewOfFile(m, FILE_MAP_WRITE, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(std::string(view, 6), "mapped");
  memcpy(view, "MAPPED", 6);
  EXPECT_TRUE(Close(m));  // the view outlives its mapping handle
  EXPECT_EQ(view[7], 'c');
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_FALSE(UnmapViewOfFile(view));
  Close(h);
  EXPECT_EQ(HostRead("c/map.bin"), "MAPPED contents");
  // A read-only handle cannot be mapped for writing, and an empty file cannot be mapped at all.
  h = Open("C:\\map.bin", GENERIC_READ, OPEN_EXISTING);
  EXPECT_EQ(CreateFileMappingA(h, nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);
  Close(h);
  HostFile("c/empty.bin", "");
  h = Open("C:\\empty.bin", GENERIC_READ, OPEN_EXISTING);
  EXPECT_EQ(CreateFileMappingA(h, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
  Close(h);
}

TEST_F(FilesTest, CopyAndMove) {
  HostFile("c/src.txt", "source");
  HostFile("c/dst.txt", "target");
  EXPECT_FALSE(CopyFileA("C:\\src.txt", "C:\\DST.TXT", TRUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_TRUE(CopyFileA("C:\\src.txt", "C:\\DST.TXT", FALSE));
  EXPECT_EQ(HostRead("c/dst.txt"), "source");
  // A copy that runs out of disk leaves the old target as it was.
  HostFile("c/dst.txt", "target");
  winapi::testing::SetDiskFreeBytes('C', 3);
  EXPECT_FALSE(CopyFileA("C:\\src.txt", "C:\\dst.txt", FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(HostRead("c/dst.txt"), "target");
  winapi::testing::SetDiskFreeBytes('C', -1);
  EXPECT_FALSE(MoveFileA("C:\\src.txt", "C:\\dst.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_TRUE(MoveFileA("C:\\src.txt", "C:\\SRC.TXT"));  // a change of case only
  EXPECT_TRUE(HostExists("c/SRC.TXT"));
  EXPECT_FALSE(HostExists("c/src.txt"));
  EXPECT_TRUE(MoveFileA("C:\\src.txt", "C:\\moved.txt"));
  EXPECT_EQ(HostRead("c/moved.txt"), "source");
}

TEST_F(FilesTest, WholeFileSavesReplaceTheTargetOrLeaveIt) {
  HostFile("c/Golfers/anna.amt", "old");
  // The existing file is found without regard to case and keeps its name.
  EXPECT_EQ(winapi::SaveFileWhole("C:\\GOLFERS\\ANNA.AMT", "new", 3), 0u);
  EXPECT_EQ(HostRead("c/Golfers/anna.amt"), "new");
  EXPECT_EQ(winapi::SaveFileWhole("C:\\golfers\\empty.dat", "", 0), 0u);
  EXPECT_TRUE(HostExists("c/Golfers/empty.dat"));
  struct Case {
    const char* what;
    std::function<void()> arrange;
    const char* name;
    DWORD error;
  };
  const Case cases[] = {
      {"create fails", [] { winapi::testing::FailCall("CreateFileA", ERROR_ACCESS_DENIED); }, "C:\\Golfers\\anna.amt",
       ERROR_ACCESS_DENIED},
      {"write fails", [] { winapi::testing::FailCall("WriteFile", ERROR_WRITE_FAULT); }, "C:\\Golfers\\anna.amt",
       ERROR_WRITE_FAULT},
      {"flush fails", [] { winapi::testing::FailCall("FlushFileBuffers", ERROR_WRITE_FAULT); },
       "C:\\Golfers\\anna.amt", ERROR_WRITE_FAULT},
      {"rename fails", [] { winapi::testing::FailCall("MoveFileA", ERROR_SHARING_VIOLATION); },
       "C:\\Golfers\\anna.amt", ERROR_SHARING_VIOLATION},
      {"disk full", [] { winapi::testing::SetDiskFreeBytes('C', 10); }, "C:\\Golfers\\anna.amt", ERROR_DISK_FULL},
      {"no such folder", [] {}, "C:\\Nowhere\\anna.amt", ERROR_PATH_NOT_FOUND},
      {"read-only disc", [] {}, "D:\\anna.amt", ERROR_ACCESS_DENIED},
  };
  const std::string longer(64, 'x');
  for (const Case& c : cases) {
    c.arrange();
    EXPECT_EQ(winapi::SaveFileWhole(c.name, longer.data(), longer.size()), c.error) << c.what;
    winapi::testing::SetDiskFreeBytes('C', -1);
    EXPECT_EQ(HostRead("c/Golfers/anna.amt"), "new") << c.what;
    size_t names = 0;
    for (const auto& e : std::filesystem::directory_iterator(root_ + "/c/Golfers")) names += e.is_regular_file();
    EXPECT_EQ(names, 2u) << c.what << ": no temporary file is left behind";
  }
}

TEST_F(FilesTest, CdDriveIsReadOnlyAndCanBeEmpty) {
  HostFile("cd/QV99/DATA.BIN", "cd");
  HANDLE h = Open("D:\\qv99\\data.bin", GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadAll(h), "cd");
  Close(h);
  EXPECT_EQ(Open("D:\\qv99\\new.bin", GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  winapi::testing::SetCdPresent(false);
  winapi::testing::TakeMessageBoxes();
  SetErrorMode(SEM_FAILCRITICALERRORS);
  EXPECT_EQ(Open("D:\\qv99\\data.bin", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
  EXPECT_TRUE(winapi::testing::TakeMessageBoxes().empty());
  // Without the error mode the platform asks for the disc first.
  SetErrorMode(0);
  EXPECT_EQ(Open("D:\\qv99\\data.bin", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(winapi::testing::TakeMessageBoxes().size(), 1u);
}

}  // namespace

namespace {

TEST_F(FilesTest, CloseHandleClosesFilesAndMappings) {
  HostFile("c/c.bin", "abc");
  HANDLE h = Open("C:\\c.bin", GENERIC_READ, OPEN_EXISTING, 0);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  HANDLE m = CreateFileMappingA(h, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(m, nullptr);
  EXPECT_TRUE(CloseHandle(m));
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  // Closed, so an exclusive open works again.
  h = Open("C:\\c.bin", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, 0);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
}

TEST_F(FilesTest, MoveFileExReplacesInOneStep) {
  HostFile("c/new.cfg", "new");
  HostFile("c/old.cfg", "old");
  EXPECT_FALSE(MoveFileExA("C:\\new.cfg", "C:\\old.cfg", 0));
  EXPECT_TRUE(MoveFileExA("C:\\new.cfg", "C:\\OLD.CFG", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(HostRead("c/old.cfg"), "new");
  EXPECT_FALSE(HostExists("c/new.cfg"));
}

}  // namespace

namespace {

struct FakePort {
  std::string sent;
  bool closed = false;
};
FakePort gPort;

const winapi::internal::DeviceFileOps kPortOps = {
    [](void*, void* buffer, DWORD count, DWORD* done) {
      *done = std::min<DWORD>(count, 2);
      memcpy(buffer, "OK", *done);
      return TRUE;
    },
    [](void* device, const void* buffer, DWORD count, DWORD* done) {
      static_cast<FakePort*>(device)->sent.append(static_cast<const char*>(buffer), count);
      *done = count;
      return TRUE;
    },
    [](void* device) { static_cast<FakePort*>(device)->closed = true; },
};

TEST_F(FilesTest, SerialPortNamesGoToTheDevicePart) {
  EXPECT_EQ(Open("COM2", GENERIC_READ, OPEN_EXISTING, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  gPort = FakePort{};
  winapi::internal::SetDeviceOpener([](const char* name, DWORD, DWORD, const winapi::internal::DeviceFileOps** ops,
                                       DWORD* error) -> void* {
    if (strcmp(name, "COM2") != 0) {
      *error = ERROR_ACCESS_DENIED;
      return nullptr;
    }
    *ops = &kPortOps;
    return &gPort;
  });
  EXPECT_EQ(Open("\\\\.\\com1", GENERIC_READ, OPEN_EXISTING, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  HANDLE h = Open("com2:", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, 0);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(winapi::internal::DeviceOfHandle(h), &gPort);
  DWORD n = 0;
  EXPECT_TRUE(WriteFile(h, "ATZ\r", 4, &n, nullptr));
  EXPECT_EQ(n, 4u);
  char reply[8] = {};
  EXPECT_TRUE(ReadFile(h, reply, sizeof reply, &n, nullptr));
  EXPECT_STREQ(reply, "OK");
  EXPECT_EQ(gPort.sent, "ATZ\r");
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_TRUE(gPort.closed);
  EXPECT_EQ(winapi::internal::DeviceOfHandle(h), nullptr);
  winapi::internal::SetDeviceOpener(nullptr);
}

}  // namespace
