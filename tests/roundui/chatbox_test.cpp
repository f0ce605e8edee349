// The chat box of a network round: received lines, their ageing and wrapping, typing and sending, as drawn over the
// flat view of a hole on a 640 x 480 screen.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "golf/golfmsg.h"
#include "roundui/chatbox.h"
#include "roundui/gameui.h"
#include "roundui/input.h"
#include "roundui/roundview.h"
#include "screen_fixture.h"
#include "support/ground.h"

namespace {

using roundtest::RoundPictures;

// What the chat box hands the comm layer.
class SentBlocks : public NetworkProvider {
 public:
  void SendBlock(int machine, uint32_t id, const void* data, size_t bytes) override {
    const auto* b = static_cast<const uint8_t*>(data);
    sent.push_back({machine, id, std::vector<uint8_t>(b, b + bytes)});
  }
  struct Block {
    int machine;
    uint32_t id;
    std::vector<uint8_t> bytes;
  };
  std::vector<Block> sent;
};

class ChatBoxTest : public RoundPictures {
 protected:
  void SetUp() override {
    RoundPictures::SetUp();
    ASSERT_EQ(FontLoadStandardSet(Facts().fontFolder), 0);
    Svc().network = &net_;
    ASSERT_TRUE(balltest::makeGround(60, 300, 0x10));
    ASSERT_EQ(CreateGame(kModeStroke), 1);
    g = CurrentGame();
    for (int s = 0; s < 2; ++s) g->players->GetPlayer(s)->flags |= kGolferTakesPart;
    g->SetNetworkGame(1);
    g->roundRunning = 1;
    SetUpShotView(Vector3{0.0f, -100.0f, 0.0f}, Vector3{0.0f, 100.0f, 0.0f});
    DrawRoundView();
    GameUIManager().chatAllowed = 1;
    chat = CreateChatBox();
    ASSERT_NE(chat, nullptr);
    // The round's list, which offers typed keys to the chat box; the clock after it counts its idle passes.
    list_.AddHandler(chat);
    list_.AddHandler(&after_);
    CurrentHandlerList() = &list_;
  }
  void TearDown() override {
    CurrentHandlerList() = nullptr;
    list_.RemoveHandler(&after_);
    list_.RemoveHandler(chat);
    delete chat;
    GameUIManager().chatAllowed = 0;
    FontFreeStandardSet();
    RoundPictures::TearDown();
  }
  void Type(const std::string& keys) {
    for (char c : keys) InRoundOnCommand(static_cast<uint16_t>(static_cast<unsigned char>(c)));
  }
  // Idle passes over `ms` of the virtual clock, a tenth of a second apart.
  void Age(uint32_t ms) {
    for (uint32_t t = 0; t < ms; t += 100) {
      winapi::testing::AdvanceClock(100);
      list_.OnIdle();
    }
  }
  struct IdleCount : MA_EventHandler {
    IdleCount() : MA_EventHandler(kHandlerEnabled, 0, 0, 0, 0) {}
    int OnIdle() override { return ++passes, 1; }
    int passes = 0;
  };
  SentBlocks net_;
  IdleCount after_;
  TMA_EventHandlerList list_;
  TGame* g = nullptr;
  TGameChat* chat = nullptr;
};

TEST_F(ChatBoxTest, FourLinesAgeOutOneEveryTwentySeconds) {
  for (const char* line : {"GOLFER: one", "GOLFER: two", "GOLFER: three", "GOLFER: four"}) chat->AddLine(line);
  ASSERT_EQ(chat->lines.size(), 4u);
  for (size_t left : {3u, 2u, 1u, 0u}) {
    Age(19900);
    EXPECT_EQ(chat->lines.size(), left + 1);
    Age(200);
    EXPECT_EQ(chat->lines.size(), left);
  }
  EXPECT_FALSE(chat->historyDrawn);
  // Time while the chat box may not take input does not age the lines.
  chat->AddLine("GOLFER: five");
  GameUIManager().chatAllowed = 0;
  Age(60000);
  GameUIManager().chatAllowed = 1;
  EXPECT_EQ(chat->lines.size(), 1u);
  // Every pass went on past the chat box to the handlers after it (a network round's shot clock ran down nowhere
  // when the chat box ended the list's pass).
  EXPECT_EQ(after_.passes, 4 * (199 + 2) + 600);
}

TEST_F(ChatBoxTest, AFifthLineOrALongOnePushesTheOldestOut) {
  for (const char* line : {"GOLFER: one", "GOLFER: two", "GOLFER: three", "GOLFER: four", "GOLFER: five"})
    chat->AddLine(line);
  EXPECT_EQ(chat->lines, (std::vector<std::string>{"GOLFER: two", "GOLFER: three", "GOLFER: four", "GOLFER: five"}));
  const std::string twoRows = "GOLFER: " + std::string(30, 'w');
  chat->AddLine(twoRows);
  EXPECT_EQ(chat->lines, (std::vector<std::string>{"GOLFER: four", "GOLFER: five", twoRows}));
  EXPECT_EQ(chat->WrappedRows(), 4);
  const std::string fourRows = "GOLFER: " + std::string(86, 'w');  // the longest a record gives
  chat->AddLine(fourRows);
  EXPECT_EQ(chat->lines, (std::vector<std::string>{fourRows}));
  EXPECT_EQ(chat->WrappedRows(), 4);
}

TEST_F(ChatBoxTest, TypingOpensTheEditLineAndEscapeSendsIt) {
  Type(" ");  // a blank typed first is not chat
  EXPECT_FALSE(chat->IsEditing());
  Type("hi there");
  EXPECT_TRUE(chat->IsEditing());
  EXPECT_EQ(chat->edit, "hi there");
  Type("\x1b");
  EXPECT_FALSE(chat->IsEditing());
  ASSERT_EQ(net_.sent.size(), 1u);
  const SentBlocks::Block& b = net_.sent[0];
  EXPECT_EQ(b.machine, -1);
  EXPECT_EQ(b.id, kGolfChat);
  ASSERT_EQ(b.bytes.size(), kChatRecordBytes);
  EXPECT_STREQ(reinterpret_cast<const char*>(b.bytes.data()), "hi there");
  EXPECT_STREQ(reinterpret_cast<const char*>(b.bytes.data() + kChatTextBytes), "GOLFER");
  EXPECT_EQ(ChatLineOf(b.bytes.data(), b.bytes.size()), "GOLFER: hi there");
  EXPECT_TRUE(chat->edit.empty());
  // An empty edit line sends nothing; at most 78 characters are typed.
  Type("x\b\r");
  EXPECT_EQ(net_.sent.size(), 1u);
  Type(std::string(100, 'a') + "\r");
  ASSERT_EQ(net_.sent.size(), 2u);
  EXPECT_EQ(std::strlen(reinterpret_cast<const char*>(net_.sent[1].bytes.data())), TGameChat::kEditLimit);
}

TEST_F(ChatBoxTest, ASuspendHidesTheEditLineAndAResumeOpensItAgain) {
  Type("wait");
  chat->Suspend();
  EXPECT_FALSE(chat->IsEditing());
  EXPECT_FALSE(chat->editDrawn);
  chat->Resume();
  EXPECT_TRUE(chat->IsEditing());
  EXPECT_EQ(chat->edit, "wait");
}

TEST_F(ChatBoxTest, FourLinesAndTheEditLineOverTheView) {
  for (const char* line : {"GOLFER: nice drive", "GOLFER: thanks, the wind helped",
                           "GOLFER: I am in the bunker again", "GOLFER: good luck"})
    chat->AddLine(line);
  Type("see you on the green");
  d3dtest::ExpectGolden(Crop(320, 0, 320, 80), "chat_history", 0, "roundui");
  d3dtest::ExpectGolden(Crop(0, 440, 420, 40), "chat_edit", 0, "roundui");
}

TEST(ChatBoxWanted, OnlyInANetworkRoundOfMoreThanOneGolferInPlay) {
  ASSERT_EQ(CreateGame(kModeStroke), 1);
  TGame* g = CurrentGame();
  const struct {
    bool network;
    int inPlay;
    bool wanted;
  } cases[] = {{false, 2, false}, {true, 1, false}, {true, 2, true}};
  for (const auto& c : cases) {
    g->SetNetworkGame(c.network ? 1 : 0);
    for (int s = 0; s < 4; ++s) g->players->GetPlayer(s)->flags = s < c.inPlay ? kGolferTakesPart : 0;
    EXPECT_EQ(ChatBoxWanted(g), c.wanted) << c.network << " " << c.inPlay;
  }
  EXPECT_FALSE(ChatBoxWanted(nullptr));
  DeleteCurrentGame();
}

// A received record is read within its fields: an unterminated name and text still make a line that fits.
TEST(ChatRecord, ReadWithinItsFieldsAndCutToTheLine) {
  uint8_t record[kChatRecordBytes];
  std::memset(record, 'x', sizeof record);
  const std::string line = ChatLineOf(record, sizeof record);
  EXPECT_EQ(line.size(), kChatLineLimit);
  EXPECT_EQ(line.substr(0, 18), std::string(16, 'x') + ": ");
  WriteChatRecord("hello", "Ada", record);
  EXPECT_EQ(ChatLineOf(record, sizeof record), "Ada: hello");
  EXPECT_EQ(ChatLineOf(record, 3), "hel");  // a short record is all text
  EXPECT_EQ(ChatLineOf(nullptr, 0), "");
}

}  // namespace
