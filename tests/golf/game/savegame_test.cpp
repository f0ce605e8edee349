#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "golf/game.h"
#include "winapi/testing.h"

namespace {


class SaveGameTest : public ::testing::Test {
 protected:
  void TearDown() override { DeleteCurrentGame(); }

  // A four-ball game in the middle of a round.
  static void setUpGame() {
    ASSERT_EQ(CreateGame(kModeFourBall), 1);
    TGame* g = CurrentGame();
    g->state.round = 1;
    g->state.hole = 11;
    g->state.holeCount = 18;
    g->state.rest[100] = 0xABCD;
    g->state.playOrder[1][0] = 3;
    g->state.playOrder[1][3] = 0;
    g->gameName = "Club final";
    g->courseName = "SEDGEFEN^Links";
    g->SetFastPlay(true);
    g->IncPlayerCounter(2);
    TPlayerList* list = g->GetPlayerList();
    std::strcpy(list->GetPlayer(0)->name, "Ada");
    list->GetPlayer(0)->flags = kGolferTakesPart;
    list->GetPlayer(0)->SetHoleScore(1, 10, 4, 1);
    list->GetPlayer(0)->perHoleCounter = 2;
    ASSERT_EQ(list->SetComputer(3, true), kRecordOk);
    std::strcpy(list->GetPlayer(3)->name, "Robo");
    list->GetPlayer(3)->flags = kGolferTakesPart;
    g->SetCurrentPlayer(3);
  }

  static std::vector<uint8_t> save() {
    std::vector<uint8_t> buf(16384);
    SerialTarget s = SerialTarget::OverMemory(buf.data(), buf.size());
    EXPECT_TRUE(CurrentGame()->SaveToStream(&s));
    buf.resize(static_cast<size_t>(s.cursor - buf.data()));
    return buf;
  }

  static int load(const std::vector<uint8_t>& bytes) {
    SerialTarget s = SerialTarget::OverMemory(bytes.data(), bytes.size());
    return LoadGameFromStream(&s);
  }
};

TEST_F(SaveGameTest, RoundTripThroughMemoryAndFile) {
  setUpGame();
  const std::vector<uint8_t> bytes = save();
  ASSERT_GE(bytes.size(), 6u);
  EXPECT_EQ(bytes[0], 26);
  EXPECT_EQ(bytes[4], kModeFourBall);
  ASSERT_EQ(CreateGame(kModeStroke), 1);
  CurrentGame()->GetPlayerList()->Reset();
  ASSERT_EQ(load(bytes), 0);
  TGame* g = CurrentGame();
  EXPECT_EQ(g->mode, kModeFourBall);
  EXPECT_EQ(g->state.hole, 11);
  EXPECT_EQ(g->state.rest[100], 0xABCDu);
  EXPECT_EQ(g->state.playOrder[1][0], 3);
  EXPECT_EQ(g->gameName, "Club final");
  EXPECT_EQ(g->courseName, "SEDGEFEN^Links");
  EXPECT_TRUE(g->IsFastPlay());
  EXPECT_EQ(g->GetPlayerCounter(2), 1u);
  TPlayer* ada = g->GetPlayerList()->GetPlayer(0);
  EXPECT_STREQ(ada->name, "Ada");
  EXPECT_EQ(ada->perHoleCounter, 2);
  uint32_t strokes = 0;
  ada->GetHoleScore(1, 10, &strokes, nullptr);
  EXPECT_EQ(strokes, 4u);
  EXPECT_TRUE(g->GetPlayerList()->GetPlayer(3)->IsComputer());
  EXPECT_EQ(ActiveGolferRecord, g->GetPlayerList()->GetPlayer(3));
  EXPECT_EQ(save(), bytes);

  // Through a file handle, field by field.
  winapi::testing::MapDrive('T', testing::TempDir(), "TEMPDISK");
  HANDLE f = CreateFileA("T:\\game0001.dat", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(g->SaveToFile(f));
  CloseHandle(f);
  ASSERT_EQ(CreateGame(kModeSkins), 1);
  f = CreateFileA("T:\\game0001.dat", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  SerialTarget s = SerialTarget::OverFile(f);
  EXPECT_EQ(LoadGameFromStream(&s), 0);
  CloseHandle(f);
  EXPECT_EQ(CurrentGame()->mode, kModeFourBall);
  EXPECT_EQ(save(), bytes);

  // And as the program saves and resumes it: the whole file at once.
  PathRecord folder{};
  std::strcpy(folder.label, "TEMPDISK");
  std::strcpy(folder.drive, "t:");
  PathSetDirectory(&folder, "|");
  ASSERT_EQ(SaveGameFile(&folder, "LastGame.dat"), 0);
  ASSERT_EQ(CreateGame(kModeSkins), 1);
  EXPECT_EQ(LoadGameFile(&folder, "LASTGAME.DAT"), 0);
  EXPECT_EQ(CurrentGame()->mode, kModeFourBall);
  EXPECT_EQ(save(), bytes);
  EXPECT_EQ(LoadGameFile(&folder, "NoGame.dat"), 7);
  EXPECT_EQ(CurrentGame()->mode, kModeFourBall);
  winapi::testing::Reset();
}

TEST_F(SaveGameTest, DamagedDataLeavesTheCurrentGame) {
  setUpGame();
  const std::vector<uint8_t> bytes = save();
  ASSERT_EQ(CreateGame(kModeMatchPlay), 1);
  TGame* current = CurrentGame();
  current->gameName = "untouched";
  for (size_t cut = 6; cut < bytes.size(); cut += 97) {
    const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
    EXPECT_EQ(load(part), 2) << cut;
    ASSERT_EQ(CurrentGame(), current);
    EXPECT_EQ(current->gameName, "untouched");
  }
  struct Case { size_t at; uint8_t value; int expect; const char* what; };
  const Case cases[] = {{0, 25, 5, "older format"}, {4, 5, 2, "mode 5"}, {4, 11, 2, "mode past the table"},
                        {6 + 14, 7, 2, "current golfer slot 7"}};
  for (const Case& c : cases) {
    std::vector<uint8_t> bad = bytes;
    bad[c.at] = c.value;
    EXPECT_EQ(load(bad), c.expect) << c.what;
    EXPECT_EQ(CurrentGame(), current) << c.what;
  }
}

}  // namespace
