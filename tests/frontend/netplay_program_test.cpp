// Network play end to end: two `teebox /NETWIRE /GS 127.0.0.1` processes, headless, each driven by an input script
// of clicks and keys, meet at our lobby server. One creates a game with a shot clock and waits in its clubhouse, the
// other joins it; the host puts the joiner on the tee and tees off, and both machines start the same round. In it
// they chat both ways, and the host's late first shot and its after-shot choice are carried out on both machines.
// The scripts wait at `await` lines for gates the test opens once the machines' logs show they are ready, so the
// run keeps in step however slowly the machines go.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "golf/shotclock.h"
#include "lobby.h"
#include "support/demo_installation.h"
#include "support/spawnprogram.h"

namespace {

namespace fs = std::filesystem;

// Points in the game's 800 x 600 window.
constexpr const char* kNetworkButton = "417 482";
constexpr const char* kCreateButton = "590 70";  // the lobby's action button: Create, then Join
constexpr const char* kFirstGameRow = "420 201";
constexpr const char* kFirstProShopRow = "200 190";
constexpr const char* kAddButton = "354 215";
constexpr const char* kTeeOffButton = "585 413";
constexpr const char* kShotClockChoice = "420 293";  // the new game's "Shot Clock:" row: one click, 10 seconds
constexpr const char* kNewGameOk = "347 393";
constexpr const char* kModemChoice = "329 232";
constexpr const char* kHostButton = "650 260";
constexpr const char* kHostDialogOk = "300 380";
constexpr const char* kDialButton = "590 347";

struct Machine {
  pid_t pid = 0;
  fs::path folder;
};

class NetPlayProgramTest : public ::testing::Test {
 protected:
  static void TearDownTestSuite() { RemoveDemoInstallation(); }
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("netplay_program_" + std::to_string(getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    for (Machine& m : machines_) KillSpawned(m.pid);
    // NETPLAY_KEEP=1 keeps the machines' folders and logs, to look into a failed run.
    std::error_code ec;
    if (!std::getenv("NETPLAY_KEEP")) fs::remove_all(dir_, ec);
  }

  // A machine of its own: a copy of the demo installation, a registry that has shown the lobby's help before, and
  // the script it plays.
  // NETPLAY_SHOW=<name> shows that machine in a window on the test's display. `args` and `extraEnv` replace the
  // lobby start (/NETWIRE /GS) and add settings.
  void Start(const std::string& name, int address, const std::string& script, uint16_t lobbyPort,
             std::vector<std::string> args = {"/NETWIRE", "/GS", "127.0.0.1", "/NOINTRO"},
             const std::vector<std::string>& extraEnv = {}) {
    Machine m;
    m.folder = dir_ / name;
    fs::copy(DemoInstallation("teebox_netplay", 1), m.folder, fs::copy_options::recursive);
    const fs::path registry = dir_ / (name + ".reg");
    std::ofstream(registry) << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZO Vodoro\\Zarvo Velmarth 99\\Network]\n"
                               "\"DoHelp\"=dword:00000000\n";
    const fs::path scriptFile = dir_ / (name + ".script");
    std::ofstream(scriptFile) << script;
    const char* shown = std::getenv("NETPLAY_SHOW");
    std::vector<std::string> env = {shown && name == shown ? "WINAPI_HOST=" : "WINAPI_HOST=headless",
                                          "WINAPI_AUDIO=null",
                                          "WINAPI_NET_ADDRESS=127.0.0." + std::to_string(address),
                                          "WINAPI_PORT_MAP=7653=" + std::to_string(lobbyPort),
                                          "WINAPI_REGISTRY=" + registry.string(),
                                          "WINAPI_DRIVE_C=" + m.folder.string(),
                                          "WINAPI_DRIVE_D=" + (m.folder / "DISC").string(),
                                          "WINAPI_MODULE_FILE=C:\\teebox.exe",
                                          "WINAPI_INPUT_SCRIPT=" + scriptFile.string()};
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    m.pid = SpawnProgram(TEEBOX_PROGRAM, args, env,
                         {.out = (dir_ / (name + ".out")).string(), .err = "", .folder = m.folder.string()});
    ASSERT_GT(m.pid, 0);
    machines_.push_back(m);
  }

  // The texts after `start` of the first `count` lines of a machine's log that have it, waiting for them (bounded;
  // fewer when they do not come).
  std::vector<std::string> WaitForLogLines(const Machine& m, const std::string& start, size_t count,
                                           int seconds = 240) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::vector<std::string> found;
    for (;;) {
      found.clear();
      std::ifstream log(m.folder / "ZQLog.Log");
      for (std::string line; found.size() < count && std::getline(log, line);)
        if (line.rfind(start, 0) == 0) found.push_back(line.substr(start.size(), line.find(":  Date:") - start.size()));
      // Done, out of time, or the program ended.
      if (found.size() == count || std::chrono::steady_clock::now() >= deadline || waitpid(m.pid, nullptr, WNOHANG) != 0)
        return found;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  }
  std::optional<std::string> WaitForLog(const Machine& m, const std::string& start, int seconds = 240) {
    const std::vector<std::string> found = WaitForLogLines(m, start, 1, seconds);
    return found.empty() ? std::nullopt : std::optional<std::string>(found[0]);
  }

  // A gate of the scripts: its `await` line, and opening it.
  std::string Await(const std::string& gate) const { return "await " + (dir_ / gate).string() + "\n"; }
  void Open(const std::string& gate) const { std::ofstream(dir_ / gate) << "open\n"; }

  fs::path dir_;
  std::vector<Machine> machines_;
};

TEST_F(NetPlayProgramTest, TheRoundStartsOnBothAndTheyChatAndSeeTheSameShotClockAndChoice) {
  ASSERT_NE(DemoInstallation("teebox_netplay", 1)[0], '!') << DemoInstallation("teebox_netplay", 1);
  lobbyd::Lobby lobby;
  lobbyd::LobbyServer server(&lobby);
  const uint16_t port = server.Start(0);
  ASSERT_NE(port, 0);
  // Longer than the edit line takes: the other machine gets its first 78 characters.
  const std::string longLine = "This line is longer than any line the chat box lets a golfer type so its end is lost";
  ASSERT_GT(longLine.size(), 78u);
  // The host: Network (the /NETWIRE start connects to the lobby server), Create, a name, a 10-second shot clock, Ok;
  // once the other machine has joined its golfer goes on the tee and the group tees off. At the host's first turn it
  // types a chat line and sends it with Escape; once the answer is in, the clock has run out: the swing is late.
  const std::string host = std::string("10000 click ") + kNetworkButton + "\n" + Await("host lobby") +
                           "1000 click " + kCreateButton + "\n+2500 type Sunday\n+1000 click " + kShotClockChoice + "\n+1000 click " + kNewGameOk +
                           "\n" + Await("joined") + "2000 click " + kFirstProShopRow + "\n+2000 click " + kAddButton +
                           "\n+3000 click " + kTeeOffButton + "\n" + Await("turn") +
                           "1000 type Hi there\n+300 press ESCAPE\n" + Await("answered") +
                           "14000 press SPACE\n+900 press SPACE\n+600 press SPACE\n";
  Start("host", 2, host, port);
  ASSERT_TRUE(WaitForLog(machines_[0], "Net games lobby opened: "));
  Open("host lobby");
  ASSERT_EQ(WaitForLog(machines_[0], "Clubhouse opened: ").value_or("none"), "hosting");
  // The other machine: Network, the host's game (the first row under "New Game/Tournament..."), Join; it answers
  // the host's line with one too long for the edit line, sent with Return.
  const std::string joiner = std::string("10000 click ") + kNetworkButton + "\n" + Await("joiner lobby") +
                             "3000 click " + kFirstGameRow + "\n+2000 click " + kCreateButton + "\n" + Await("greeted") + "500 type " + longLine +
                             "\n+300 press RETURN\n+1500 type one\n+300 press RETURN\n+1500 type two\n" +
                             "+300 press RETURN\n+1500 type three\n+300 press RETURN\n";
  Start("joiner", 3, joiner, port);
  ASSERT_TRUE(WaitForLog(machines_[1], "Net games lobby opened: "));
  Open("joiner lobby");
  ASSERT_EQ(WaitForLog(machines_[1], "Clubhouse opened: ").value_or("none"), "joined");
  Open("joined");
  const std::optional<std::string> hosted = WaitForLog(machines_[0], "Net round started: ");
  const std::optional<std::string> joined = WaitForLog(machines_[1], "Net round started: ");
  ASSERT_TRUE(hosted && joined);
  // The same game on both machines, each playing its own golfer's slot.
  const std::string game = "mode 0 on SEDGEFEN, 9 holes from hole 1, golfers GOLFER, GOLFER; slot ";
  EXPECT_EQ(*hosted, game + "0 plays here");
  EXPECT_EQ(*joined, game + "1 plays here");

  // The host's golfer is up on both machines: the chat goes both ways.
  ASSERT_EQ(WaitForLog(machines_[0], "Golfer to play: ").value_or("none"), "slot 0 on hole 1, here");
  ASSERT_EQ(WaitForLog(machines_[1], "Golfer to play: ").value_or("none"), "slot 0 on hole 1, elsewhere");
  Open("turn");
  EXPECT_EQ(WaitForLog(machines_[1], "Chat line: ").value_or("none"), "GOLFER: Hi there");
  Open("greeted");
  const std::string cut = "GOLFER: " + longLine.substr(0, 78);
  EXPECT_EQ(WaitForLogLines(machines_[0], "Chat line: ", 4),
            (std::vector<std::string>{cut, "GOLFER: one", "GOLFER: two", "GOLFER: three"}));
  // The long line takes two rows: the fourth line pushes it out, so that four rows show.
  EXPECT_EQ(WaitForLog(machines_[0], "Chat line pushed out: ").value_or("none"), cut);
  Open("answered");
  // The late shot: the first warning on both machines, no stroke added; the choice that ends the shot (fast play
  // makes it at once) counts the same stroke on both.
  const std::string warning = "GOLFER" + std::string(ShotClockInfractionText(1));
  for (Machine& m : machines_) {
    EXPECT_EQ(WaitForLog(m, "Round message: GOLFER exceeded").value_or("none"),
              warning.substr(std::string("GOLFER exceeded").size()));
    EXPECT_EQ(WaitForLog(m, "After-shot choice ").value_or("none"), "Ok: GOLFER has 1 on hole 1");
  }
  // The lines left go one at a time, oldest first, until the box is empty.
  EXPECT_EQ(WaitForLogLines(machines_[0], "Chat line aged: ", 3),
            (std::vector<std::string>{"GOLFER: one", "GOLFER: two", "GOLFER: three"}));
  server.Stop();
}

// The same over the telephone line: the host answers under the number of the demo phone book's first entry, the
// other machine dials it from the modem screen.
TEST_F(NetPlayProgramTest, AModemCallStartsTheSameRoundOnBoth) {
  ASSERT_NE(DemoInstallation("teebox_netplay", 1)[0], '!') << DemoInstallation("teebox_netplay", 1);
  const std::vector<std::string> line = {"WINAPI_MODEM_FOLDER=" + dir_.string(), "WINAPI_MODEM_NUMBER=555-0101"};
  const std::vector<std::string> args = {"/NOINTRO"};
  // Network, Modem, Host, Ok in the host's game dialog.
  const std::string host = std::string("10000 click ") + kNetworkButton + "\n+4000 click " + kModemChoice +
                           "\n+4000 click " + kHostButton + "\n+2000 click " + kHostDialogOk + "\n";
  Start("host", 2, host, 0, args, line);
  // The call is made only once the host waits for it (a number nobody answers would only say so).
  ASSERT_TRUE(WaitForLog(machines_[0], "Modem waiting for a call").has_value());
  // Network, Modem, Dial (the first entry of the phone book is shown).
  const std::string caller = std::string("10000 click ") + kNetworkButton + "\n+4000 click " + kModemChoice +
                             "\n+4000 click " + kDialButton + "\n";
  Start("caller", 3, caller, 0, args, line);
  EXPECT_TRUE(WaitForLog(machines_[0], "Modem call answered").has_value());
  const std::optional<std::string> hosted = WaitForLog(machines_[0], "Net round started: ");
  const std::optional<std::string> called = WaitForLog(machines_[1], "Net round started: ");
  ASSERT_TRUE(hosted && called);
  const std::string game = "mode 0 on SEDGEFEN, 9 holes from hole 1, golfers GOLFER, GOLFER; slot ";
  EXPECT_EQ(*hosted, game + "0 plays here");
  EXPECT_EQ(*called, game + "1 plays here");
}

}  // namespace
