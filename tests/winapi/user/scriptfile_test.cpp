// Input scripts read from a file's text: times, keys, typed text and pointer events, and the lines refused.
#include <gtest/gtest.h>

#include "winapi/inputscript.h"

namespace {

namespace wt = winapi::testing;

TEST(ScriptFileTest, LinesBecomeTimedEvents) {
  std::vector<wt::ScriptedEvent> events;
  std::string error;
  ASSERT_TRUE(wt::ParseInputScript("# the lobby\n1000 click 575 70\n+500 type aB\n+100 press RETURN 30\n"
                                   "2000 key 0x25 down  # left arrow\n2100 move 10 20\n",
                                   &events, &error))
      << error;
  struct Want {
    uint32_t at;
    wt::ScriptedEvent::Kind kind;
    int key, x, y, button;
    bool down;
  };
  using K = wt::ScriptedEvent;
  const Want want[] = {
      {1000, K::kPointer, 0, 575, 70, 0, false}, {1000, K::kPointer, 0, 575, 70, 1, true},
      {1060, K::kPointer, 0, 575, 70, 1, false}, {1500, K::kKey, 'A', 0, 0, 0, true},
      {1510, K::kKey, 'A', 0, 0, 0, false},      {1540, K::kKey, 0x10, 0, 0, 0, true},
      {1540, K::kKey, 'B', 0, 0, 0, true},       {1550, K::kKey, 'B', 0, 0, 0, false},
      {1555, K::kKey, 0x10, 0, 0, 0, false},     {1680, K::kKey, 0x0D, 0, 0, 0, true},
      {1710, K::kKey, 0x0D, 0, 0, 0, false},     {2000, K::kKey, 0x25, 0, 0, 0, true},
      {2100, K::kPointer, 0, 10, 20, 0, false},
  };
  ASSERT_EQ(events.size(), std::size(want));
  for (size_t i = 0; i < events.size(); ++i) {
    const wt::ScriptedEvent& e = events[i];
    EXPECT_EQ(e.atMs, want[i].at) << i;
    EXPECT_EQ(e.kind, want[i].kind) << i;
    EXPECT_EQ(e.down, want[i].down) << i;
    if (e.kind == K::kKey) {
      EXPECT_EQ(e.key, want[i].key) << i;
    } else {
      EXPECT_EQ(e.x, want[i].x) << i;
      EXPECT_EQ(e.y, want[i].y) << i;
      EXPECT_EQ(e.button, want[i].button) << i;
    }
  }
}

TEST(ScriptFileTest, AwaitLinesSplitTheScriptIntoPartsTimedFromTheirStart) {
  std::vector<wt::ScriptPart> parts;
  std::string error;
  ASSERT_TRUE(wt::ParseInputScriptParts("1000 press A\nawait /tmp/round started \n+200 press B\n"
                                        "await /tmp/two\n50 click 1 2\n",
                                        &parts, &error))
      << error;
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[0].await, "");
  EXPECT_EQ(parts[1].await, "/tmp/round started");
  EXPECT_EQ(parts[2].await, "/tmp/two");
  ASSERT_EQ(parts[1].events.size(), 2u);
  EXPECT_EQ(parts[0].events[0].atMs, 1000u);
  EXPECT_EQ(parts[1].events[0].atMs, 200u);
  EXPECT_EQ(parts[1].events[0].key, 'B');
  ASSERT_EQ(parts[2].events.size(), 3u);
  EXPECT_EQ(parts[2].events[0].atMs, 50u);
  // Only a file's script can wait; an await with no file is refused.
  std::vector<wt::ScriptedEvent> events;
  EXPECT_FALSE(wt::ParseInputScript("100 press A\nawait /tmp/x\n", &events, &error));
  EXPECT_EQ(error, "await is played from a script file only");
  EXPECT_FALSE(wt::ParseInputScriptParts("100 press A\nawait  \n", &parts, &error));
  EXPECT_EQ(error, "line 2: await needs a file");
}

TEST(ScriptFileTest, DamagedLinesAreRefusedWithTheirNumber) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"100 click 5\n", "line 1: a pointer event needs x and y"},
      {"# fine\n100 press NOSUCHKEY\n", "line 2: unknown key \"NOSUCHKEY\""},
      {"100 key A sideways\n", "line 1: a key goes down or up"},
      {"abc click 1 2\n", "line 1: bad time \"abc\""},
      {"500 move 1 2\n100 move 1 2\n", "line 2: times must not go back"},
      {"100 jump\n", "line 1: unknown event \"jump\""},
      {"100 type a!\n", "line 1: cannot type '!'"},
      {"100\n", "line 1: an event needs a time and a kind"},
      {"100 click 1 2 thumb\n", "line 1: unknown button \"thumb\""},
  };
  for (const auto& c : cases) {
    std::vector<wt::ScriptedEvent> events;
    std::string error;
    EXPECT_FALSE(wt::ParseInputScript(c.text, &events, &error)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

}  // namespace
