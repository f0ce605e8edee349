// Path records with the "|" rules, volume lookup across drive letters and the file helpers.
#include "framework/core/paths.h"

#include <set>

#include "framework/core/errors.h"
#include "support/drive_fixture.h"

namespace {

using FrameworkPathsTest = DriveTest;

PathRecord Record(const char* label, const char* drive, const char* dir) {
  PathRecord r{};
  snprintf(r.label, sizeof r.label, "%s", label);
  snprintf(r.drive, sizeof r.drive, "%s", drive);
  PathSetDirectory(&r, dir);
  return r;
}

TEST_F(FrameworkPathsTest, DirectoryAndAppendRules) {
  PathRecord a{}, b{};
  PathSetDirectory(&a, "|QV99|COURSES");
  PathSetDirectory(&b, "\\QV99\\COURSES");
  EXPECT_STREQ(a.directory, b.directory);
  PathSetDirectory(&a, "QV99");
  EXPECT_STREQ(a.directory, "\\QV99");
  PathAppend(&a, "COURSES");
  EXPECT_STREQ(a.directory, "\\QV99\\COURSES");
  // A name that begins with "|" brings its own separator.
  PathAppend(&a, "|SEDGEFEN|HOLE02");
  EXPECT_STREQ(a.directory, "\\QV99\\COURSES\\SEDGEFEN\\HOLE02");
  PathSetDirectory(&a, "\\");
  PathAppend(&a, "X");
  EXPECT_STREQ(a.directory, "\\X");
  // Too long a result leaves the record as it was.
  std::string longName(300, 'n');
  EXPECT_EQ(PathAppend(&a, longName.c_str()), 1);
  EXPECT_STREQ(a.directory, "\\X");
}

TEST_F(FrameworkPathsTest, OpenReadWriteAndErrors) {
  PathRecord r = Record("HARDDISK", "c:", "|Saves");
  EXPECT_EQ(DirCreate(&r, ""), 0);  // creating what exists is no error
  PathRecord root = Record("HARDDISK", "c:", "");
  EXPECT_EQ(DirCreate(&root, "Saves"), 0);
  EXPECT_EQ(DirCreate(&root, "Saves"), 0);
  HANDLE h = nullptr;
  EXPECT_EQ(FileOpen(&r, "missing.sav", 0, &h), ERR_FILENOTFOUND);
  EXPECT_EQ(h, nullptr);
  ASSERT_EQ(FileCreateNew(&r, "game.sav", &h), 0);
  EXPECT_EQ(FileWrite(h, "0123456789", 10), 10u);
  EXPECT_EQ(FileClose(h), 0);
  EXPECT_EQ(FileCreateNew(&r, "GAME.SAV", &h), ERR_DUPLICATENAME);
  EXPECT_EQ(FileExists(&r, "Game.Sav"), 1);
  ASSERT_EQ(FileOpen(&r, "game.sav", 1, &h), 0);
  DWORD size = 0;
  FileSize(h, &size);
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(FileSeek(h, 4, FILE_BEGIN), 4u);
  char buffer[16] = {};
  EXPECT_EQ(FileRead(h, buffer, 16), 6u);
  EXPECT_STREQ(buffer, "456789");
  FileClose(h);
  EXPECT_EQ(FileDelete(&r, "game.sav"), 0);
  EXPECT_EQ(FileExists(&r, "game.sav"), 0);
  EXPECT_EQ(FileDelete(&r, "game.sav"), ERR_FILENOTFOUND);
}

TEST_F(FrameworkPathsTest, SaveWholeNeverLeavesAHalfWrittenFile) {
  PathRecord r = Record("HARDDISK", "c:", "");
  ASSERT_EQ(FileSaveWhole(&r, "prefs.dat", "first version", 13), 0);
  EXPECT_EQ(HostRead("c/prefs.dat"), "first version");
  winapi::testing::SetDiskFreeBytes('C', 5);
  EXPECT_EQ(FileSaveWhole(&r, "prefs.dat", "a much longer second version", 28), ERR_DISKFULL);
  EXPECT_EQ(HostRead("c/prefs.dat"), "first version");
  winapi::testing::SetDiskFreeBytes('C', -1);
  ASSERT_EQ(FileSaveWhole(&r, "PREFS.DAT", "second", 6), 0);
  EXPECT_EQ(HostRead("c/prefs.dat"), "second");
  std::set<std::string> names;
  FindFiles(&r, [](const char* n, void* c) { static_cast<std::set<std::string>*>(c)->insert(n); return 1; },
            &names);
  EXPECT_EQ(names, (std::set<std::string>{"prefs.dat"}));
}

TEST_F(FrameworkPathsTest, EnumeratesFoldersAndFiles) {
  HostFile("c/Courses/SEDGEFEN/course.dat", "");
  HostFile("c/Courses/RANGE/course.dat", "");
  HostFile("c/Courses/catalog.txt", "");
  PathRecord r = Record("HARDDISK", "c:", "|Courses");
  std::set<std::string> dirs, files;
  auto collect = [](const char* n, void* c) {
    static_cast<std::set<std::string>*>(c)->insert(n);
    return 1;
  };
  EXPECT_EQ(FindSubdirectories(&r, collect, &dirs), 0);
  EXPECT_EQ(FindFiles(&r, collect, &files), 0);
  EXPECT_EQ(dirs, (std::set<std::string>{"RANGE", "SEDGEFEN"}));
  EXPECT_EQ(files, (std::set<std::string>{"catalog.txt"}));
  // A callback that answers 0 ends the search.
  int calls = 0;
  FindSubdirectories(&r, [](const char*, void* c) { ++*static_cast<int*>(c); return 0; }, &calls);
  EXPECT_EQ(calls, 1);
}

TEST_F(FrameworkPathsTest, TheDiscIsFoundOnWhicheverDriveHoldsIt) {
  HostFile("cd/QV99/DATA.BIN", "x");
  PathRecord r = Record("QV99DISC", "d:", "|QV99");
  EXPECT_EQ(PathExists(&r), 1);
  // The disc moves to drive F: the record follows it.
  winapi::testing::MapDrive('D', "");
  winapi::testing::SetCdDrive('F', "");
  winapi::testing::MapDrive('F', root_ + "/cd");
  winapi::testing::SetCdDrive('F', "QV99DISC");
  EXPECT_EQ(FindGameCdDrive(&r, nullptr), 1);
  EXPECT_EQ(r.drive[0], 'f');
  EXPECT_EQ(FileExists(&r, "data.bin"), 1);
  char label[12];
  EXPECT_EQ(FindProductCdDrive(label), 0);
  EXPECT_STREQ(label, "QV99DISC");
  // Taking the disc out: nothing is found and no "No Disk" box comes up.
  winapi::testing::SetCdPresent(false);
  winapi::testing::TakeMessageBoxes();
  EXPECT_EQ(FindGameCdDrive(&r, nullptr), 0);
  EXPECT_EQ(FindProductCdDrive(label), ERR_VOLUMENOTFOUND);
  EXPECT_EQ(FindAnyCdDrive(label), ERR_VOLUMENOTFOUND);
  HANDLE h;
  EXPECT_EQ(FileOpen(&r, "data.bin", 0, &h), ERR_VOLUMENOTFOUND);
  EXPECT_TRUE(winapi::testing::TakeMessageBoxes().empty());
}

TEST_F(FrameworkPathsTest, ProgramFolderAndVolumeLabel) {
  HostFile("c/Teebox/teebox.exe", "");
  winapi::testing::SetModuleFileName("C:\\Teebox\\teebox.exe");
  PathRecord r{};
  ASSERT_EQ(PathSetToProgramDir(&r), 0);
  EXPECT_STREQ(r.drive, "C:");
  EXPECT_STREQ(r.directory, "\\Teebox");
  EXPECT_STREQ(r.label, "HARDDISK");
  EXPECT_EQ(PathExists(&r), 1);
  char label[12];
  EXPECT_EQ(GetCurrentVolumeLabel(label), 0);
  EXPECT_STREQ(label, "HARDDISK");
}

}  // namespace
