// Saved games and saved shots: the files read back, damaged or truncated ones are refused with their reason, and a
// failed save keeps the previous file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "course/savedfiles.h"
#include "framework/core/services.h"
#include "platformlib/core/byteorder.h"
#include "winapi/testing.h"

namespace fs = std::filesystem;

namespace {

class FakeGame : public GameProvider {
 public:
  int SaveGameState(std::vector<uint8_t>& out) override {
    if (!exists) return 1;
    out = state;
    return 0;
  }
  int LoadGameState(const uint8_t* data, size_t size) override {
    loaded.assign(data, data + size);
    return 0;
  }
  const char* CurrentCourseFolder() override { return "SEDGEFEN"; }
  bool exists = true;
  std::vector<uint8_t> state{26, 0, 0, 0, 1, 0, 7, 7, 7};
  std::vector<uint8_t> loaded;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
void WriteAll(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

class SavedFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/teebox_saved_XXXXXX";
    folder_ = mkdtemp(pattern);
    winapi::testing::MapDrive('C', folder_);
    SetSavedGameFolder("C:\\SAVEGAME");
    SetSavedShotFolder("C:\\");
    Services s;
    s.game = &game_;
    scope_ = std::make_unique<ScopedServices>(s);
  }
  void TearDown() override {
    scope_.reset();
    winapi::testing::ClearFailures();
    winapi::testing::ResetFiles();
    fs::remove_all(folder_);
  }
  FakeGame game_;
  std::unique_ptr<ScopedServices> scope_;
  std::string folder_;
};

// Each way a file can be spoiled, applied to a sound file.
struct Spoil {
  const char* reason;
  std::string (*apply)(std::string);
};
const Spoil kSpoils[] = {
    {"shorter than its head", [](std::string s) { return s.substr(0, 10); }},
    {"truncated", [](std::string s) { return s.substr(0, s.size() - 1); }},
    {"longer than its head says", [](std::string s) { return s + "x"; }},
    {"damaged (checksum)", [](std::string s) { return s.back() ^= 1, s; }},
};

TEST_F(SavedFilesTest, SavedGamesReadBackAndSpoiledOnesAreRefused) {
  const std::vector<uint8_t> state = {1, 2, 3, 4, 5};
  const std::vector<uint8_t> file = EncodeSavedGame("Sedgefen", state);
  std::string caption, error;
  std::vector<uint8_t> back;
  ASSERT_TRUE(DecodeSavedGame(file.data(), file.size(), caption, back, error)) << error;
  EXPECT_EQ(caption, "Sedgefen");
  EXPECT_EQ(back, state);
  const std::string sound(file.begin(), file.end());
  for (const Spoil& s : kSpoils) {
    SCOPED_TRACE(s.reason);
    const std::string bad = s.apply(sound);
    EXPECT_FALSE(DecodeSavedGame(reinterpret_cast<const uint8_t*>(bad.data()), bad.size(), caption, back, error));
    EXPECT_EQ(error, s.reason);
  }
  std::string other = sound;
  other[0] = 'X';
  EXPECT_FALSE(DecodeSavedGame(reinterpret_cast<const uint8_t*>(other.data()), other.size(), caption, back, error));
  EXPECT_EQ(error, "not a saved game");
}

TEST_F(SavedFilesTest, SaveGameNumbersFilesOverwritesTheLastAndLoadsThemBack) {
  int count = -1;
  ASSERT_EQ(SaveGame(0, &count), kSaveOk);
  EXPECT_EQ(count, 1);
  game_.state = {9, 9};
  ASSERT_EQ(SaveGame(0, &count), kSaveOk);
  EXPECT_EQ(count, 2);
  game_.state = {8, 8, 8};
  ASSERT_EQ(SaveGame(1, &count), kSaveOk);  // over game0002
  EXPECT_EQ(count, 2);
  const std::vector<SavedGameEntry> list = ListSavedGames();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1].file, "game0002.dat");
  EXPECT_TRUE(list[1].sound);
  EXPECT_EQ(list[1].caption, "SEDGEFEN");
  ASSERT_EQ(LoadSavedGame(1), 0);
  EXPECT_EQ(game_.loaded, (std::vector<uint8_t>{26, 0, 0, 0, 1, 0, 7, 7, 7}));
  ASSERT_EQ(LoadSavedGame(2), 0);
  EXPECT_EQ(game_.loaded, (std::vector<uint8_t>{8, 8, 8}));
  EXPECT_EQ(LoadSavedGame(3), kSavedFileMissing);
  game_.exists = false;
  EXPECT_EQ(SaveGame(0, &count), kSaveFailed);
  EXPECT_EQ(count, 2);
}

TEST_F(SavedFilesTest, ADamagedSavedGameIsRefusedAndTheCurrentGameStays) {
  ASSERT_EQ(SaveGame(0, nullptr), kSaveOk);
  const std::string path = folder_ + "/SAVEGAME/game0001.dat";
  const std::string sound = ReadAll(path);
  for (const Spoil& s : kSpoils) {
    SCOPED_TRACE(s.reason);
    WriteAll(path, s.apply(sound));
    game_.loaded.clear();
    std::string error;
    EXPECT_EQ(LoadSavedGame(1, &error), kSavedFileDamaged);
    EXPECT_NE(error.find(s.reason), std::string::npos) << error;
    EXPECT_TRUE(game_.loaded.empty());
    EXPECT_FALSE(ListSavedGames()[0].sound);
  }
}

TEST_F(SavedFilesTest, AFailedSaveKeepsThePreviousFile) {
  ASSERT_EQ(SaveGame(0, nullptr), kSaveOk);
  const std::string path = folder_ + "/SAVEGAME/game0001.dat";
  const std::string before = ReadAll(path);
  game_.state.assign(100000, 5);
  winapi::testing::SetDiskFreeBytes('C', 1000);
  EXPECT_EQ(SaveGame(1, nullptr), kSaveDiskFull);
  winapi::testing::SetDiskFreeBytes('C', -1);
  winapi::testing::FailCall("WriteFile", 5);
  EXPECT_EQ(SaveGame(1, nullptr), kSaveFailed);
  EXPECT_EQ(ReadAll(path), before);
  EXPECT_EQ(ListSavedGames().size(), 1u);
}

TEST_F(SavedFilesTest, SavedShotHeadsLieAtTheirOffsets) {
  SavedShotHead head;
  head.fileName = "SHOT0001.DAT";
  head.caption = "P1 Shot03";
  head.course = "Sedgefen";
  head.mode = 1;
  head.hole = 4;
  head.shot = 2;
  head.club = 20;
  head.holed = 1;
  head.surface = 0x70;
  head.golfer = "Ann Example";
  head.rosterGolfer = 1;
  const std::vector<uint8_t> body = {1, 2, 3};
  const std::vector<uint8_t> file = EncodeSavedShot(head, body);
  ASSERT_EQ(file.size(), kSavedShotHead + 3);
  EXPECT_EQ(file[0], kSavedShotMarker);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[1])), "SHOT0001.DAT");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[17])), "P1 Shot03");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[33])), "Sedgefen");
  EXPECT_EQ(ReadLE16(&file[294]), 1u);
  EXPECT_EQ(ReadLE32(&file[296]), 4u);
  EXPECT_EQ(ReadLE32(&file[300]), 2u);
  EXPECT_EQ(ReadLE32(&file[308]), 20u);
  EXPECT_EQ(ReadLE32(&file[312]), 1u);
  EXPECT_EQ(ReadLE32(&file[316]), 0x70u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[322])), "Ann Example");
  EXPECT_EQ(ReadLE32(&file[372]), 1u);
  SavedShotHead back;
  std::vector<uint8_t> bodyBack;
  std::string error;
  ASSERT_TRUE(DecodeSavedShot(file.data(), file.size(), back, bodyBack, error)) << error;
  EXPECT_EQ(back.golfer, head.golfer);
  EXPECT_EQ(back.surface, 0x70u);
  EXPECT_EQ(bodyBack, body);
  const std::string sound(file.begin(), file.end());
  for (const Spoil& s : kSpoils) {
    SCOPED_TRACE(s.reason);
    const std::string bad = s.apply(sound);
    EXPECT_FALSE(DecodeSavedShot(reinterpret_cast<const uint8_t*>(bad.data()), bad.size(), back, bodyBack, error));
    EXPECT_EQ(error, s.reason);
  }
  std::string unterminated = sound;
  std::fill(unterminated.begin() + 322, unterminated.begin() + 372, 'x');
  EXPECT_FALSE(DecodeSavedShot(reinterpret_cast<const uint8_t*>(unterminated.data()), unterminated.size(), back,
                               bodyBack, error));
  EXPECT_EQ(error, "damaged names");
}

TEST_F(SavedFilesTest, ShotsAreSavedUnderTheNextNumberAndDamagedOnesLeftOutOfTheList) {
  SavedShotHead head;
  head.course = "Sedgefen";
  head.shot = 2;
  EXPECT_EQ(SaveShot("", head, {1, 2}, 0), "SHOT0001.DAT");
  EXPECT_EQ(SaveShot("Great chip", head, {3}, 1), "SHOT0002.DAT");
  WriteAll(folder_ + "/P01S0007.DAT", std::string(500, '\0'));  // not a shot
  std::vector<std::string> problems;
  const std::vector<SavedShotHead> list = ListSavedShots(&problems);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].caption, "P1 Shot03");
  EXPECT_EQ(list[1].caption, "Great chip");
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("not a saved shot"), std::string::npos);
  SavedShotHead read;
  std::vector<uint8_t> body;
  ASSERT_EQ(LoadSavedShot("SHOT0002.DAT", read, body), 0);
  EXPECT_EQ(body, std::vector<uint8_t>{3});
  EXPECT_EQ(LoadSavedShot("..\\x.DAT", read, body), kSavedFileMissing);
  const std::string path = folder_ + "/SHOT0002.DAT";
  WriteAll(path, ReadAll(path).substr(0, kSavedShotHead));  // the body cut off
  std::string error;
  EXPECT_EQ(LoadSavedShot("SHOT0002.DAT", read, body, &error), kSavedFileDamaged);
  EXPECT_NE(error.find("truncated"), std::string::npos) << error;
}

}  // namespace
