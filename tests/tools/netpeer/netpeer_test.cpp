// Whole networked rounds between netpeer processes, each its own machine on loopback: they find the game by
// broadcast, join, mesh, run the start exchange and play three holes of stroke play. Every machine prints the
// same score card and bit-identical ball rests. A machine killed mid-round leaves it; the others play on.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Machine {
  pid_t pid = 0;
  fs::path out;
};

class NetpeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("netpeer_test_" + std::to_string(getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    // Ports of this run only, so tests running side by side do not meet.
    const int base = 40000 + (getpid() % 5000) * 4;
    portMap = "53139=" + std::to_string(base) + ",20225=" + std::to_string(base + 1);
  }
  void TearDown() override {
    for (Machine& m : machines)
      if (m.pid > 0) {
        kill(m.pid, SIGKILL);
        waitpid(m.pid, nullptr, 0);
      }
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  void Start(int n, std::vector<std::string> args) {
    Machine m;
    m.out = dir / ("machine" + std::to_string(n) + ".out");
    std::vector<std::string> env = {"WINAPI_NET_ADDRESS=127.0.0." + std::to_string(n), "WINAPI_PORT_MAP=" + portMap,
                                    "WINAPI_HOST=headless", "ASAN_OPTIONS=detect_leaks=0"};
    for (char** e = environ; *e; ++e)
      if (std::strncmp(*e, "WINAPI_", 7) != 0 && std::strncmp(*e, "ASAN_OPTIONS", 12) != 0) env.emplace_back(*e);
    args.insert(args.begin(), NETPEER_PATH);
    args.push_back("--dir");
    args.push_back((dir / ("machine" + std::to_string(n))).string());
    args.push_back("--timeout");
    args.push_back("60");
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, m.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const fs::path err = dir / ("machine" + std::to_string(n) + ".err");
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_EQ(posix_spawn(&m.pid, NETPEER_PATH, &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    machines.push_back(m);
  }

  // Waits (bounded) for every machine still running; true when all ended with status 0.
  bool Finish(int seconds = 240) {
    bool all = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (Machine& m : machines) {
      if (m.pid <= 0) continue;
      int status = -1;
      while (waitpid(m.pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
          kill(m.pid, SIGKILL);
          waitpid(m.pid, &status, 0);
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      m.pid = 0;
      all = all && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return all;
  }

  // The card and rest lines a machine printed.
  static std::vector<std::string> Result(const Machine& m) {
    std::ifstream in(m.out);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
      if (line.rfind("card ", 0) == 0 || line.rfind("rest ", 0) == 0) lines.push_back(line);
    return lines;
  }

  void PlayRound(int players, int type, int mode = 0) {
    Start(1, {"--host", "--players", std::to_string(players), "--type", std::to_string(type), "--holes", "3", "--mode",
              std::to_string(mode)});
    for (int n = 2; n <= players; ++n)
      Start(n, {"--join", "--type", std::to_string(type), "--name", "Guest" + std::to_string(n)});
    ASSERT_TRUE(Finish());
    const std::vector<std::string> host = Result(machines[0]);
    int cards = 0, rests = 0;
    std::vector<std::string> cardLines;
    for (const std::string& line : host) {
      if (line.rfind("mode ", 0) == 0) {
        EXPECT_EQ(line, "mode " + std::to_string(mode));
      } else if (line.rfind("card ", 0) == 0) {
        cardLines.push_back(line.substr(5 + 15));
        ++cards;
        std::istringstream fields(line.substr(5 + 15));
        int strokes, holes = 0;
        while (fields >> strokes && holes < 3) {
          EXPECT_GE(strokes, 1) << line;
          EXPECT_LE(strokes, 10) << line;
          ++holes;
        }
        EXPECT_EQ(holes, 3) << line;
      } else {
        ++rests;
      }
    }
    EXPECT_EQ(cards, players);
    // Foursomes partners play one ball: the same strokes on every hole.
    if (mode == 9 && cardLines.size() == 4) {
      EXPECT_EQ(cardLines[0], cardLines[1]);
      EXPECT_EQ(cardLines[2], cardLines[3]);
    }
    EXPECT_GE(rests, players * 3);  // at least one shot per golfer and hole
    for (size_t i = 1; i < machines.size(); ++i) EXPECT_EQ(Result(machines[i]), host) << "machine " << i + 1;
  }

  static std::string Text(const fs::path& file) {
    std::ifstream in(file);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
  }

  // Kills machine `index` (by its pid) once it starts the round's second hole; false when it never did.
  bool KillAtSecondHole(size_t index) {
    Machine& m = machines[index];
    for (int i = 0; i < 3000; ++i) {
      if (Text(m.out).find("hole 1 starts") != std::string::npos) {
        kill(m.pid, SIGKILL);
        waitpid(m.pid, nullptr, 0);
        m.pid = 0;
        return true;
      }
      if (waitpid(m.pid, nullptr, WNOHANG) != 0) {
        m.pid = 0;
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  // Three machines play three holes; machine `victim` (0 the host) is killed on the second. The two others must
  // end well inside the handshake's retry limit (about 90 s) with the same card: their own golfers played every
  // hole, the leaver none after the first.
  void DropMidRound(size_t victim) {
    const int holes = 3;
    Start(1, {"--host", "--players", "3", "--type", "1", "--holes", std::to_string(holes)});
    for (int n = 2; n <= 3; ++n) Start(n, {"--join", "--type", "1", "--name", "Guest" + std::to_string(n)});
    ASSERT_TRUE(KillAtSecondHole(victim));
    ASSERT_TRUE(Finish(60));
    const std::string leaver = victim == 0 ? "Host" : "Guest" + std::to_string(victim + 1);
    std::vector<std::vector<std::string>> cards;
    for (size_t i = 0; i < machines.size(); ++i) {
      if (i == victim) continue;
      EXPECT_NE(Text(dir / ("machine" + std::to_string(i + 1) + ".err")).find(leaver + " has left the game"),
                std::string::npos) << "machine " << i + 1;
      std::vector<std::string> card;
      for (const std::string& line : Result(machines[i]))
        if (line.rfind("card ", 0) == 0) card.push_back(line);
      cards.push_back(card);
    }
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_EQ(cards[0], cards[1]);
    ASSERT_EQ(cards[0].size(), 3u);
    for (const std::string& line : cards[0]) {
      std::istringstream fields(line.substr(5 + 15));
      std::vector<int> strokes(holes);
      for (int& n : strokes) fields >> n;
      const bool gone = line.substr(5, leaver.size() + 1) == leaver + " ";
      for (int h = 1; h < holes; ++h) {
        if (gone) EXPECT_EQ(strokes[h], 0) << line;
        else EXPECT_GE(strokes[h], 1) << line;
      }
    }
  }

  fs::path dir;
  std::string portMap;
  std::vector<Machine> machines;
};

TEST_F(NetpeerTest, TwoMachinesPlayARoundOverTcpIp) { PlayRound(2, 1); }
TEST_F(NetpeerTest, FourMachinesMeshAndPlayARoundOverTcpIp) { PlayRound(4, 1); }
TEST_F(NetpeerTest, TwoMachinesPlayARoundOverIpx) { PlayRound(2, 2); }
// The team and match modes over the network: every machine ends with the same cards and ball rests.
TEST_F(NetpeerTest, TwoMachinesPlayAMatch) { PlayRound(2, 1, 7); }
TEST_F(NetpeerTest, FourMachinesPlayFourBall) { PlayRound(4, 1, 8); }
TEST_F(NetpeerTest, FourMachinesPlayFoursomes) { PlayRound(4, 1, 9); }
TEST_F(NetpeerTest, JoinerKilledMidRoundLeavesAndTheOthersFinish) { DropMidRound(2); }
TEST_F(NetpeerTest, HostKilledMidRoundEndsTheJoinersLinkAndTheyFinish) { DropMidRound(0); }

}  // namespace
