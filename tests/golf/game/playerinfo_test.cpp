#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "golf/golferfile.h"
#include "golf/player.h"
#include "golf/playerinfo.h"
#include "winapi/testing.h"
#include "support/drive_fixture.h"

namespace {


playerInfo_s sampleGolfer() {
  playerInfo_s r;
  r.flags = kGolferTakesPart | kGolferFlag5;
  r.model = 17;
  std::strcpy(r.name, "Ada");
  std::strcpy(r.secondName, "Hill");
  r.wordA = 0xA1;
  r.firstPair[1] = 9;
  r.secondPair[0] = 77;
  r.tripleD[2] = 0xD3;
  r.ballByte11 = 4;
  r.ballByte12 = 5;
  r.ballByte36 = 6;
  r.bag = 0x1FFFFF & ~(1u << 3);
  r.wordE = 0xE0E0;
  r.wordF = 0xF00F;
  r.option1 = 2;
  r.mulligan = 0x32;
  r.currentClub = 5;
  r.level = 4;
  r.option5 = 9;
  r.option6 = 8;
  r.option9 = 3;
  r.levelPreset = 1;
  r.viewOptions = 0x31D000;
  r.wordG = 0x6666;
  r.viewChoices = 0x7777;
  r.clubs[4] = {90, 3};
  r.wordI = 11;
  r.wordJ = 12;
  r.wordK = 13;
  r.wordL = 14;
  r.shotType = 2;
  r.SetHoleScore(4, 17, 5 | kScoreMarker, 2);
  r.SetStatistic(26, 1234);
  return r;
}

// Fields that both forms store.
void expectCommonFields(const playerInfo_s& a, const playerInfo_s& b) {
  EXPECT_EQ(a.model, b.model);
  EXPECT_STREQ(a.name, b.name);
  EXPECT_STREQ(a.secondName, b.secondName);
  EXPECT_EQ(a.firstPair[1], b.firstPair[1]);
  EXPECT_EQ(a.secondPair[0], b.secondPair[0]);
  EXPECT_EQ(a.tripleD[2], b.tripleD[2]);
  EXPECT_EQ(a.bag, b.bag);
  EXPECT_EQ(a.wordE, b.wordE);
  EXPECT_EQ(a.wordF, b.wordF);
  EXPECT_EQ(a.option1, b.option1);
  EXPECT_EQ(a.mulligan, b.mulligan);
  EXPECT_EQ(a.currentClub, b.currentClub);
  EXPECT_EQ(a.level, b.level);
  EXPECT_EQ(a.option5, b.option5);
  EXPECT_EQ(a.option9, b.option9);
  EXPECT_EQ(a.levelPreset, b.levelPreset);
  EXPECT_EQ(a.viewOptions, b.viewOptions);
  EXPECT_EQ(a.wordG, b.wordG);
  EXPECT_EQ(a.viewChoices, b.viewChoices);
  ASSERT_TRUE(a.scores && b.scores);
  EXPECT_EQ(*a.scores, *b.scores);
  ASSERT_TRUE(a.statistics && b.statistics);
  EXPECT_EQ(*a.statistics, *b.statistics);
}

std::vector<uint8_t> writeToMemory(playerInfo_s& r) {
  std::vector<uint8_t> buf(2048);
  SerialTarget s = SerialTarget::OverMemory(buf.data(), buf.size());
  EXPECT_TRUE(r.WriteToStream(&s));
  buf.resize(static_cast<size_t>(s.cursor - buf.data()));
  return buf;
}

bool readFromMemory(playerInfo_s& r, const std::vector<uint8_t>& bytes) {
  SerialTarget s = SerialTarget::OverMemory(bytes.data(), bytes.size());
  return r.ReadFromStream(&s);
}

uint32_t u32At(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

// Offset of tag t's record in a tagged image written by this program.
size_t tagOffset(const std::vector<uint8_t>& b, int tag) {
  size_t at = 4;
  while (at + 4 <= b.size()) {
    const int t = b[at] | (b[at + 1] << 8);
    if (t == tag) return at;
    at += 4 + (b[at + 2] | (b[at + 3] << 8));
  }
  return 0;
}

TEST(GolferRecord, FixedFormRoundTrip) {
  playerInfo_s r = sampleGolfer();
  const std::vector<uint8_t> bytes = writeToMemory(r);
  ASSERT_EQ(bytes.size(), kFixedRecordBytes);
  EXPECT_EQ(u32At(bytes, 4), 17u);
  EXPECT_EQ(u32At(bytes, 20), r.bag);
  EXPECT_EQ(std::memcmp(&bytes[24], "Ada", 4), 0);
  EXPECT_EQ(u32At(bytes, 180 + 4 * 72 + 17 * 4), 5u | kScoreMarker);
  EXPECT_EQ(u32At(bytes, 180 + 360 + 4 * 72 + 17 * 4), 2u);
  EXPECT_EQ(bytes[906], 5);
  EXPECT_EQ(u32At(bytes, 913), 0x31D000u);
  EXPECT_EQ(bytes[919], 0x32);
  EXPECT_EQ(u32At(bytes, 926), 0x7777u);
  playerInfo_s back;
  ASSERT_TRUE(readFromMemory(back, bytes));
  expectCommonFields(r, back);
  EXPECT_EQ(back.wordK, 0u);  // tagged-only fields keep their defaults
  EXPECT_EQ(back.wordI, 1u);
}

TEST(GolferRecord, TaggedFormRoundTrip) {
  playerInfo_s r = sampleGolfer();
  r.flags |= kGolferTaggedForm;
  const std::vector<uint8_t> bytes = writeToMemory(r);
  ASSERT_EQ(bytes.size(), kTaggedRecordBytes);
  EXPECT_EQ(bytes[bytes.size() - 2] | (bytes[bytes.size() - 1] << 8), kEndTag);
  EXPECT_TRUE(HasTaggedLead(bytes.data(), bytes.size()));
  const size_t t36 = tagOffset(bytes, 36);
  ASSERT_NE(t36, 0u);
  EXPECT_EQ(bytes[t36 + 2] | (bytes[t36 + 3] << 8), 4);
  EXPECT_EQ(u32At(bytes, t36 + 4), 6u);        // the byte stored as a 4-byte value
  playerInfo_s back;
  ASSERT_TRUE(readFromMemory(back, bytes));
  expectCommonFields(r, back);
  EXPECT_EQ(back.wordA, 0xA1u);
  EXPECT_EQ(back.ballByte11, 4);
  EXPECT_EQ(back.ballByte12, 5);
  EXPECT_EQ(back.ballByte36, 6);
  EXPECT_EQ(back.option6, 8);
  EXPECT_EQ(back.clubs[4].percent, 90u);
  EXPECT_EQ(back.GetClubTrajectory(4), 1);
  EXPECT_EQ(back.wordI, 11u);
  EXPECT_EQ(back.wordJ, 12u);
  EXPECT_EQ(back.wordK, 13u);
  EXPECT_EQ(back.wordL, 14u);
  EXPECT_EQ(back.shotType, 2u);
}

// A tagged image with an extra record inserted before tag `before`.
std::vector<uint8_t> withInserted(std::vector<uint8_t> bytes, int before, std::vector<uint8_t> record) {
  const size_t at = tagOffset(bytes, before);
  bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), record.begin(), record.end());
  return bytes;
}

TEST(GolferRecord, UnknownTagIsSkipped) {
  playerInfo_s r = sampleGolfer();
  r.flags |= kGolferTaggedForm;
  const std::vector<uint8_t> plain = writeToMemory(r);
  const std::vector<uint8_t> extra = withInserted(plain, 20, {40, 0, 6, 0, 0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x02});
  playerInfo_s a, b;
  ASSERT_TRUE(readFromMemory(a, plain));
  ASSERT_TRUE(readFromMemory(b, extra));
  expectCommonFields(a, b);
  EXPECT_EQ(a.wordL, b.wordL);
  // The same through a file (the skip seeks there).
  const std::string path = testing::TempDir() + "/unknown_tag.amt";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(extra.data()),
                                              static_cast<std::streamsize>(extra.size()));
  winapi::testing::MapDrive('T', testing::TempDir());
  HANDLE f = CreateFileA("T:\\unknown_tag.amt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  playerInfo_s c;
  EXPECT_TRUE(c.LoadFromFile(f));
  CloseHandle(f);
  winapi::testing::Reset();
  expectCommonFields(a, c);
}

TEST(GolferRecord, StoredSizeOfAKnownTagIsIgnored) {
  playerInfo_s r = sampleGolfer();
  r.flags |= kGolferTaggedForm;
  std::vector<uint8_t> bytes = writeToMemory(r);
  const size_t t13 = tagOffset(bytes, 13);
  bytes[t13 + 2] = 9;  // claims 9 bytes; the club is one byte
  playerInfo_s back;
  ASSERT_TRUE(readFromMemory(back, bytes));
  EXPECT_EQ(back.currentClub, 5);
  EXPECT_EQ(back.level, 4);
}

TEST(GolferRecord, ClubPastThePutterKeepsThePreviousClub) {
  playerInfo_s r = sampleGolfer();
  r.flags |= kGolferTaggedForm;
  std::vector<uint8_t> bytes = writeToMemory(r);
  bytes[tagOffset(bytes, 13) + 4] = 21;
  playerInfo_s target;
  target.currentClub = 9;
  SerialTarget s = SerialTarget::OverMemory(bytes.data(), bytes.size());
  ASSERT_TRUE(target.Transfer(SERIAL_GET, SERIAL_GET, &s));
  EXPECT_EQ(target.currentClub, 9);
  // A stored putt stays a putt only with the putter in hand: with the 9 kept it is a full shot again, so the
  // record reads back the same when written and read once more.
  bytes[tagOffset(bytes, 33) + 4] = kShotTypePutt;
  playerInfo_s putt;
  putt.currentClub = 9;
  s = SerialTarget::OverMemory(bytes.data(), bytes.size());
  ASSERT_TRUE(putt.Transfer(SERIAL_GET, SERIAL_GET, &s));
  EXPECT_EQ(putt.currentClub, 9);
  EXPECT_EQ(putt.shotType, 0u);
  // The fixed form refuses it too.
  playerInfo_s f = sampleGolfer();
  std::vector<uint8_t> fixed = writeToMemory(f);
  fixed[906] = 40;
  playerInfo_s fixedTarget;
  fixedTarget.currentClub = 3;
  s = SerialTarget::OverMemory(fixed.data(), fixed.size());
  ASSERT_TRUE(fixedTarget.Transfer(SERIAL_GET, SERIAL_GET, &s));
  EXPECT_EQ(fixedTarget.currentClub, 3);
}

TEST(GolferRecord, NamesAreTerminatedAndShortStreamsStop) {
  playerInfo_s r = sampleGolfer();
  r.flags |= kGolferTaggedForm;
  std::vector<uint8_t> bytes = writeToMemory(r);
  std::memset(&bytes[tagOffset(bytes, 3) + 4], 'x', 16);
  bytes.resize(tagOffset(bytes, 14));  // ends after the club
  playerInfo_s back;
  EXPECT_FALSE(readFromMemory(back, bytes));  // no end tag: a damaged record
  // What was read is still held safely.
  EXPECT_EQ(std::strlen(back.name), 15u);
  EXPECT_EQ(back.currentClub, 5);
  EXPECT_EQ(back.level, 0);
  // A truncated fixed form is a failed read.
  playerInfo_s f = sampleGolfer();
  std::vector<uint8_t> fixed = writeToMemory(f);
  fixed.resize(500);
  EXPECT_FALSE(readFromMemory(back, fixed));
}

TEST(GolferRecord, SaveAlwaysWritesTheTaggedForm) {
  playerInfo_s r = sampleGolfer();
  const std::vector<uint8_t> fixed = writeToMemory(r);
  playerInfo_s loaded;
  ASSERT_TRUE(readFromMemory(loaded, fixed));
  EXPECT_FALSE(loaded.flags & kGolferTaggedForm);
  const std::string path = testing::TempDir() + "/save_tagged.amt";
  winapi::testing::MapDrive('T', testing::TempDir());
  HANDLE f = CreateFileA("T:\\save_tagged.amt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(loaded.SaveToFile(f));
  CloseHandle(f);
  winapi::testing::Reset();
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size(), kTaggedRecordBytes);
  EXPECT_TRUE(u32At(bytes, 0) & kGolferTaggedForm);
  EXPECT_TRUE(HasTaggedLead(bytes.data(), bytes.size()));
}

TEST(GolferRecord, MulliganRules) {
  struct Case { int rule; int hole; bool spentFront; bool expect; };
  const Case cases[] = {{0, 0, false, false}, {1, 3, true, true}, {1, 12, true, true}, {2, 0, false, true},
                        {2, 8, false, true},  {2, 8, true, false}, {2, 9, true, true},  {2, 17, false, true}};
  for (const Case& c : cases) {
    playerInfo_s r;
    r.SetMulliganRule(c.rule);
    if (c.spentFront) r.SpendMulligan(4);
    EXPECT_EQ(r.MayTakeMulligan(c.hole), c.expect) << c.rule << " " << c.hole;
  }
  playerInfo_s r;
  r.SetMulliganRule(2);
  EXPECT_EQ(r.mulligan, 0x32);
  r.SpendMulligan(9);
  EXPECT_FALSE(r.MayTakeMulligan(17));
  EXPECT_TRUE(r.MayTakeMulligan(0));
  EXPECT_EQ(r.GetMulliganRule(), 2);
}

TEST(GolferRecord, NextAndPreviousClub) {
  playerInfo_s r;
  r.bag = 0;
  for (int k : {0, 7, 20}) {
    EXPECT_EQ(NextClubInBag(&r, k), k);
    EXPECT_EQ(PrevClubInBag(&r, k), k);
  }
  r.bag = (1u << 2) | (1u << 9) | (1u << 20);
  struct Case { int from, next, prev; };
  const Case cases[] = {{2, 9, 9}, {5, 9, 2}, {9, 20, 2}, {20, 20, 9}, {0, 2, 0}, {19, 20, 9}};
  for (const Case& c : cases) {
    EXPECT_EQ(NextClubInBag(&r, c.from), c.next) << c.from;
    EXPECT_EQ(PrevClubInBag(&r, c.from), c.prev) << c.from;
  }
  r.bag = 1u << 4;  // only club 4: from above it the next club steps down to it
  EXPECT_EQ(NextClubInBag(&r, 10), 4);
  ActiveGolferRecord = &r;
  EXPECT_EQ(PrevClubInBag(nullptr, 10), 4);
  ActiveGolferRecord = nullptr;
}

TEST(GolferRecord, PutterAndPuttShotTypeGoTogether) {
  playerInfo_s r;
  r.bag = (1u << 3) | (1u << 8) | (1u << 20);
  r.SetClub(20);
  EXPECT_EQ(r.shotType, 7u);
  r.SetClub(3);
  EXPECT_EQ(r.shotType, 0u);
  r.SetShotType(7);
  EXPECT_EQ(r.currentClub, 20);
  r.SetShotType(1);
  EXPECT_EQ(r.currentClub, 8);
}

TEST(GolferRecord, LevelPresets) {
  playerInfo_s r;
  r.viewOptions = 0x300000 | 0xFFF;
  r.option5 = 7;
  r.SetLevel(2);
  EXPECT_EQ(r.level, 2);
  EXPECT_EQ(r.option4, 3);
  EXPECT_EQ(r.option2, 2);
  EXPECT_EQ(r.option3, 0);
  EXPECT_EQ(r.mulligan, 0);
  EXPECT_EQ(r.wordJ, 0u);
  EXPECT_EQ(r.levelPreset, 0);
  EXPECT_EQ(r.viewOptions, 0x300000u | 0xFFF | 0x11000);
  EXPECT_EQ(r.option5, 7);  // no game: the further bytes keep their values
  r.wordK = 1;
  r.SetLevel(0);
  EXPECT_EQ(r.option3, 1);
  EXPECT_EQ(r.levelPreset, 2);
  r.option4 = 9;
  r.SetLevel(4);
  EXPECT_EQ(r.level, 4);
  EXPECT_EQ(r.option4, 9);
}

TEST(GolferRecord, DefaultGolfers) {
  struct Case {
    int slot;
    bool user;
    uint32_t flags;
    uint8_t level;
    int mulliganRule;
  };
  // The level preset comes last: Amateur also arms mulligans for a computer golfer of the first four slots.
  for (const Case& c : {Case{0, true, kGolferTakesPart | kGolferFlag5, 1, 1}, Case{2, false, kGolferTakesPart, 1, 1},
                        Case{5, false, kGolferTakesPart, 0, 0}, Case{7, true, kGolferTakesPart | kGolferFlag5, 1, 1}}) {
    playerInfo_s r;
    std::snprintf(r.name, sizeof r.name, "Old");
    r.flags = kGolferOut | kGolferNoFile;
    r.SetHoleScore(0, 0, 5, 2);
    r.MakeDefaultGolfer(c.slot, c.user);
    EXPECT_EQ(r.flags, c.flags) << c.slot;
    EXPECT_EQ(r.level, c.level) << c.slot;
    EXPECT_EQ(r.GetMulliganRule(), c.mulliganRule) << c.slot;
    EXPECT_EQ(r.name[0], 0);
    uint32_t strokes = 9;
    r.GetHoleScore(0, 0, &strokes, nullptr);
    EXPECT_EQ(strokes, 0u);
  }
}

TEST(GolferRecord, TablesAndDeepCopies) {
  playerInfo_s r;
  uint32_t strokes = 1, putts = 1;
  EXPECT_EQ(r.GetHoleScore(0, 0, &strokes, &putts), kRecordOk);  // allocated cleared
  EXPECT_EQ(strokes, 0u);
  EXPECT_EQ(r.AddHoleScore(2, 3, 4, 1), kRecordOk);
  EXPECT_EQ(r.AddHoleScore(2, 3, 1, 1), kRecordOk);
  EXPECT_EQ(r.GetHoleScore(2, 3, &strokes, &putts), kRecordOk);
  EXPECT_EQ(strokes, 5u);
  EXPECT_EQ(putts, 2u);
  EXPECT_EQ(r.SetHoleScore(5, 0, 1, 1), kRecordNoTable);
  EXPECT_EQ(r.GetHoleScore(0, 18, &strokes, &putts), kRecordNoTable);
  EXPECT_EQ(r.GetStatistic(27), 0u);
  playerInfo_s copy(r);
  copy.SetHoleScore(2, 3, 9, 9);
  r.GetHoleScore(2, 3, &strokes, nullptr);
  EXPECT_EQ(strokes, 5u);
  EXPECT_NE(copy.scores.get(), r.scores.get());
  EXPECT_EQ(r.GetClubPercent(0), 100u);
  r.SetClubPercent(0, 80);
  EXPECT_EQ(r.GetClubPercent(0), 80u);
  const int steps[5] = {0, -1, -2, 1, 2};
  for (uint32_t choice = 0; choice < 5; ++choice) {
    r.SetClubTrajectory(1, choice);
    EXPECT_EQ(r.GetClubTrajectory(1), steps[choice]);
  }
}

// The golfer folder is C:\Golfers of the program; `host` is where its files are.
class GolferFiles : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    host = root_ + "/c/Golfers";
    std::filesystem::create_directories(host);
  }
  std::string folder = "C:\\Golfers", host;
};

TEST_F(GolferFiles, NamesStayInsideTheFolder) {
  const char* bad[] = {"", "..", ".", "../evil", "a/b", "a\\b", "c:x", "tab\there"};
  for (const char* n : bad) EXPECT_EQ(GolferFilePath(folder, n), "") << n;
  char unterminated[16];
  std::memset(unterminated, 'a', sizeof unterminated);
  EXPECT_EQ(GolferFilePath(folder, unterminated), "");
  EXPECT_EQ(GolferFilePath(folder, "Ada Hill"), "C:\\Golfers\\Ada Hill.amt");
  EXPECT_EQ(GolferFilePath("C:\\Golfers\\", "Ada"), "C:\\Golfers\\Ada.amt");
  playerInfo_s r = sampleGolfer();
  std::strcpy(r.name, "../x");
  EXPECT_EQ(SaveGolferFile(folder, r), kGolferFileBadName);
  EXPECT_FALSE(HostExists("c/x.amt"));
}

TEST_F(GolferFiles, SaveLoadAndUpdate) {
  playerInfo_s r = sampleGolfer();
  r.flags |= kGolferFlag9;
  ASSERT_EQ(SaveGolferFile(folder, r), kGolferFileOk);
  EXPECT_FALSE(r.flags & kGolferFlag9);
  playerInfo_s back;
  ASSERT_EQ(LoadGolferFile(folder, "Ada", back), kGolferFileOk);
  expectCommonFields(r, back);
  EXPECT_EQ(LoadGolferFile(folder, "Nobody", back), kGolferFileCannotOpen);

  // The update rewrites the later tags and keeps the stored lead.
  playerInfo_s changed = sampleGolfer();
  changed.wordL = 999;
  changed.model = 3;
  ASSERT_EQ(UpdateGolferFile(folder, changed), kGolferFileOk);
  ASSERT_EQ(LoadGolferFile(folder, "Ada", back), kGolferFileOk);
  EXPECT_EQ(back.wordL, 999u);
  EXPECT_EQ(back.model, 17u);
  // Nothing but the golfer's file is left in the folder.
  size_t names = 0;
  for (const auto& e : std::filesystem::directory_iterator(host)) names += e.is_regular_file();
  EXPECT_EQ(names, 1u);
}

TEST_F(GolferFiles, AFileCutAnywhereIsDamagedAndTheGameKeepsTheLastGoodOne) {
  playerInfo_s r = sampleGolfer();
  ASSERT_EQ(SaveGolferFile(folder, r), kGolferFileOk);
  const std::string whole = HostRead("c/Golfers/Ada.amt");
  TPlayerList players;
  TPlayer* inGame = players.GetPlayer(0);
  ASSERT_NE(inGame, nullptr);
  ASSERT_EQ(inGame->CopyFrom(r), kRecordOk);
  inGame->flags |= kGolferTakesPart;
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    HostFile("c/Golfers/Ada.amt", whole.substr(0, cut));
    playerInfo_s back;
    ASSERT_NE(LoadGolferFile(folder, "Ada", back), kGolferFileOk) << "cut at " << cut;
  }
  EXPECT_EQ(players.ReloadGolferFiles(folder), 1);
  EXPECT_STREQ(inGame->name, "Ada");
  expectCommonFields(r, *inGame);
}

TEST_F(GolferFiles, UpdateRefusesAFixedFormFile) {
  playerInfo_s r = sampleGolfer();
  const std::vector<uint8_t> fixed = writeToMemory(r);
  const std::string path = host + "/Ada.amt";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(fixed.data()),
                                              static_cast<std::streamsize>(fixed.size()));
  EXPECT_EQ(UpdateGolferFile(folder, r), kGolferFileDamaged);
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(after, fixed);
}

}  // namespace
