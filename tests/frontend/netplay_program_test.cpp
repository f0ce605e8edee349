// Network play end to end: two `teebox /NETWIRE /GS 127.0.0.1` processes, headless, each driven by an input script
// of timed clicks and keys, meet at our lobby server. One creates a game and waits in its clubhouse, the other
// joins it; the host puts the joiner on the tee and tees off, and both machines start the same round.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

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
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  // A machine of its own: a copy of the demo installation, a registry that has shown the lobby's help before, and
  // the script it plays.
  // `args` and `extraEnv` replace the lobby start (/NETWIRE /GS) and add settings.
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
    std::vector<std::string> env = {"WINAPI_HOST=headless",
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

  // The text after `start` of the first line of a machine's log that has it, waiting for it (bounded).
  std::optional<std::string> WaitForLog(const Machine& m, const std::string& start, int seconds = 240) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
      std::ifstream log(m.folder / "ZQLog.Log");
      for (std::string line; std::getline(log, line);)
        if (line.rfind(start, 0) == 0) return line.substr(start.size(), line.find(":  Date:") - start.size());
      if (waitpid(m.pid, nullptr, WNOHANG) != 0) return std::nullopt;  // the program ended
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return std::nullopt;
  }

  fs::path dir_;
  std::vector<Machine> machines_;
};

TEST_F(NetPlayProgramTest, OneCreatesAnotherJoinsAndTeeOffStartsTheSameRoundOnBoth) {
  ASSERT_NE(DemoInstallation("teebox_netplay", 1)[0], '!') << DemoInstallation("teebox_netplay", 1);
  lobbyd::Lobby lobby;
  lobbyd::LobbyServer server(&lobby);
  const uint16_t port = server.Start(0);
  ASSERT_NE(port, 0);
  // The host: Network (the /NETWIRE start connects to the lobby server), Create, a name, Ok; much later, once the
  // other machine has joined, its golfer goes on the tee and the group tees off.
  const std::string host = std::string("10000 click ") + kNetworkButton + "\n20000 click " + kCreateButton +
                           "\n+2500 type Sunday\n+1000 press RETURN\n" + "80000 click " + kFirstProShopRow +
                           "\n+2000 click " + kAddButton + "\n+3000 click " + kTeeOffButton + "\n";
  Start("host", 2, host, port);
  ASSERT_EQ(WaitForLog(machines_[0], "Clubhouse opened: ").value_or("none"), "hosting");
  // The other machine: Network, the host's game (the first row under "New Game/Tournament..."), Join.
  const std::string joiner = std::string("10000 click ") + kNetworkButton + "\n20000 click " + kFirstGameRow +
                             "\n+2000 click " + kCreateButton + "\n";
  Start("joiner", 3, joiner, port);
  ASSERT_EQ(WaitForLog(machines_[1], "Clubhouse opened: ").value_or("none"), "joined");
  const std::optional<std::string> hosted = WaitForLog(machines_[0], "Net round started: ");
  const std::optional<std::string> joined = WaitForLog(machines_[1], "Net round started: ");
  ASSERT_TRUE(hosted && joined);
  // The same game on both machines, each playing its own golfer's slot.
  const std::string game = "mode 0 on SEDGEFEN, 9 holes from hole 1, golfers GOLFER, GOLFER; slot ";
  EXPECT_EQ(*hosted, game + "0 plays here");
  EXPECT_EQ(*joined, game + "1 plays here");
  server.Stop();
}

// The same over the telephone line: the host answers under the number of the demo phone book's first entry, the
// other machine dials it from the modem screen. Left out of the default run until it is steady under load: about
// one run in three stops after the call is answered (run it with --gtest_also_run_disabled_tests).
TEST_F(NetPlayProgramTest, DISABLED_AModemCallStartsTheSameRoundOnBoth) {
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
