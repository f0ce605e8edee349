// Whole networked rounds between netpeer processes, each its own machine on loopback: they find the game by
// broadcast, join, mesh, run the start exchange and play three holes of stroke play. Every machine prints the
// same score card and bit-identical ball rests. A machine killed mid-round leaves it; the others play on.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "lobby.h"
#include "net/voice.h"
#include "platformlib/core/byteorder.h"
#include "scorestore.h"
#include "speechmetrics.h"
#include "support/spawnprogram.h"

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
    for (Machine& m : machines) KillSpawned(m.pid);
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  void Start(int n, std::vector<std::string> args) {
    Machine m;
    m.out = dir / ("machine" + std::to_string(n) + ".out");
    std::vector<std::string> env = {"WINAPI_NET_ADDRESS=127.0.0." + std::to_string(n), "WINAPI_PORT_MAP=" + portMap,
                                    "WINAPI_HOST=headless",
                                    "WINAPI_REGISTRY=" + (dir / ("registry" + std::to_string(n) + ".txt")).string()};
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    args.push_back("--dir");
    args.push_back((dir / ("machine" + std::to_string(n))).string());
    args.push_back("--timeout");
    args.push_back("60");
    m.pid = SpawnProgram(NETPEER_PATH, args, env,
                         {.out = m.out.string(), .err = (dir / ("machine" + std::to_string(n) + ".err")).string(),
                          .folder = ""});
    ASSERT_GT(m.pid, 0);
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
        KillSpawned(m.pid);
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

  // Waits (bounded) until the machine printed `text`; the rest of that line, nothing when it never did.
  std::optional<std::string> WaitForLine(const Machine& m, const std::string& text) {
    for (int i = 0; i < 3000; ++i) {
      const std::string all = Text(m.out);
      const size_t at = all.find(text);
      if (at != std::string::npos && all.find('\n', at) != std::string::npos)
        return all.substr(at + text.size(), all.find('\n', at) - at - text.size());
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
  }

  // A scripted peer: a plain TCP connection from this process to the host's game port.
  static int Dial(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(0x7f000001);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      ::close(fd);
      return -1;
    }
    return fd;
  }
  static void Put(int fd, std::vector<uint8_t> bytes) { ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size())); }
  static std::vector<uint8_t> Frame(uint32_t length, uint32_t type, std::vector<uint8_t> body) {
    std::vector<uint8_t> f;
    for (uint32_t w : {length, type})
      for (int k = 0; k < 4; ++k) f.push_back(static_cast<uint8_t>(w >> (8 * k)));
    f.insert(f.end(), body.begin(), body.end());
    return f;
  }
  // True when the host closed the connection within ten seconds (what it sent before is read and dropped).
  static bool ClosedByHost(int fd) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      uint8_t sink[4096];
      const ssize_t n = ::recv(fd, sink, sizeof sink, 0);
      if (n <= 0) return true;
    }
    return false;
  }

  // A modem round of two on the stand-in's telephone line in this test's folder; each machine with its own
  // settings added to `extraEnv`.
  void StartModemRound(int holes, const std::vector<std::string>& hostEnv = {},
                       const std::vector<std::string>& joinerEnv = {}, const std::vector<std::string>& hostArgs = {},
                       const std::vector<std::string>& joinerArgs = {}) {
    extraEnv = {"WINAPI_MODEM_FOLDER=" + dir.string(), "WINAPI_MODEM_BAUD=115200"};
    const std::vector<std::string> common = extraEnv;
    extraEnv.insert(extraEnv.end(), hostEnv.begin(), hostEnv.end());
    std::vector<std::string> args = {"--host", "--type", "3", "--holes", std::to_string(holes)};
    args.insert(args.end(), hostArgs.begin(), hostArgs.end());
    Start(1, args);
    extraEnv = common;
    extraEnv.insert(extraEnv.end(), joinerEnv.begin(), joinerEnv.end());
    args = {"--join", "--type", "3", "--holes", std::to_string(holes), "--name", "Guest2"};
    args.insert(args.end(), joinerArgs.begin(), joinerArgs.end());
    Start(2, args);
    extraEnv.clear();
  }
  // The spoken test clip (8000 Hz) as the microphone's WAV file.
  fs::path ClipWav() {
    const std::vector<int16_t> clip = speech::ReadPcm16((std::string(TEEBOX_SOURCE_DIR) + "/tests/fixtures/speech/clip.raw").c_str());
    const fs::path wav = dir / "clip.wav";
    std::ofstream out(wav, std::ios::binary);
    const auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    const auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    const uint32_t bytes = static_cast<uint32_t>(clip.size() * 2);
    out << "RIFF";
    u32(36 + bytes);
    out << "WAVEfmt ";
    u32(16), u16(1), u16(1), u32(8000), u32(16000), u16(2), u16(16);
    out << "data";
    u32(bytes);
    out.write(reinterpret_cast<const char*>(clip.data()), bytes);
    return wav;
  }
  // "voice played" lines of a machine.
  static std::vector<std::string> VoiceLines(const Machine& m) {
    std::vector<std::string> lines;
    std::ifstream in(m.out);
    for (std::string line; std::getline(in, line);)
      if (line.rfind("voice played ", 0) == 0) lines.push_back(line);
    return lines;
  }
  static std::vector<uint8_t> Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  static size_t Occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }

  std::vector<std::string> extraEnv;
  std::vector<std::string> extraArgs;  // given to every machine
  fs::path dir;
  std::string portMap;
  std::vector<Machine> machines;
};

TEST_F(NetpeerTest, TwoMachinesPlayARoundOverTcpIp) { PlayRound(2, 1); }
TEST_F(NetpeerTest, FourMachinesMeshAndPlayARoundOverTcpIp) { PlayRound(4, 1); }
TEST_F(NetpeerTest, TwoMachinesPlayARoundOverIpx) { PlayRound(2, 2); }
// Online: both log in to our lobby server, the host's game is listed in their room, the other joins it from the
// list and they play over their own connection.
TEST_F(NetpeerTest, TwoMachinesMeetAtTheLobbyServerAndPlayARound) {
  lobbyd::Lobby lobby;
  lobbyd::LobbyServer server(&lobby);
  const uint16_t port = server.Start(0);
  ASSERT_NE(port, 0);
  portMap += ",7653=" + std::to_string(port);
  extraArgs = {"--server", "127.0.0.1"};
  PlayRound(2, 0);
  server.Stop();
}
// The team and match modes over the network: every machine ends with the same cards and ball rests.
TEST_F(NetpeerTest, TwoMachinesPlayAMatch) { PlayRound(2, 1, 7); }
TEST_F(NetpeerTest, FourMachinesPlayFourBall) { PlayRound(4, 1, 8); }
TEST_F(NetpeerTest, FourMachinesPlayFoursomes) { PlayRound(4, 1, 9); }
TEST_F(NetpeerTest, JoinerKilledMidRoundLeavesAndTheOthersFinish) { DropMidRound(2); }
TEST_F(NetpeerTest, HostKilledMidRoundEndsTheJoinersLinkAndTheyFinish) { DropMidRound(0); }

// Scripted peers send damaged frames to a netpeer host: each loses its connection, and the host and a real
// joiner play their round to the end with matching cards.
TEST_F(NetpeerTest, HostilePeersLoseTheirConnectionsWhileTheRoundPlaysOn) {
  Start(1, {"--host", "--players", "2", "--type", "1", "--holes", "2"});
  const int port = std::atoi(WaitForLine(machines[0], "listening on port ").value_or("0").c_str());
  ASSERT_GT(port, 0);
  // A frame announcing a body beyond any game message.
  const int oversized = Dial(port);
  ASSERT_GE(oversized, 0);
  Put(oversized, Frame(0x7fffffff, 1, {1, 2, 3, 4}));
  EXPECT_TRUE(ClosedByHost(oversized));
  ::close(oversized);
  // Short and inconsistent messages are dropped without a join; the connection stays until a frame is too big.
  const int lurker = Dial(port);
  ASSERT_GE(lurker, 0);
  Put(lurker, Frame(4, 1, {0x11, 0, 0, 0}));                                        // join request without fields
  Put(lurker, Frame(12, 1, {0x13, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0}));             // peer addresses to a host
  Put(lurker, Frame(8, 1, {0x1c, 0, 0, 0, 0xff, 0xff, 0, 0}));                    // chat from a stranger
  Put(lurker, Frame(12, 2, {0, 0, 0, 0, 0x00, 0x10, 0, 0, 0x0a, 0x07, 0, 0}));   // game data past its frame
  Put(lurker, Frame(3, 9, {1, 2, 3}));                                              // unknown frame type
  Put(lurker, Frame(16, 1, {}));                                                    // half a frame, left hanging
  Start(2, {"--join", "--type", "1", "--name", "Guest2", "--holes", "2"});
  ASSERT_TRUE(WaitForLine(machines[0], "hole 1 starts").has_value());
  // Mid-round the lurker finishes its frame with garbage, then announces too much.
  Put(lurker, std::vector<uint8_t>(16, 0xee));
  Put(lurker, Frame(1u << 20, 2, {}));
  EXPECT_TRUE(ClosedByHost(lurker));
  ::close(lurker);
  ASSERT_TRUE(Finish());
  const std::vector<std::string> host = Result(machines[0]);
  EXPECT_EQ(std::count_if(host.begin(), host.end(), [](const std::string& l) { return l.rfind("card ", 0) == 0; }), 2);
  EXPECT_EQ(Result(machines[1]), host);
  EXPECT_NE(Text(dir / "machine1.err").find("netpeer: 1 joined"), std::string::npos);
}

// A joiner of the round turns hostile at the second hole and sends the host forged golf messages through its own
// connection: messages only the host may post, golfers it does not play, numbers off any course, a hole start
// mid-round, a poll, an oversized chat line. The host refuses each; both play the round to its end with the same
// cards, nobody leaves, is penalised or ends the game.
TEST_F(NetpeerTest, AHostilePeersForgedGolfMessagesAreRefusedAndTheRoundPlaysOn) {
  Start(1, {"--host", "--players", "2", "--type", "1", "--holes", "3"});
  Start(2, {"--join", "--type", "1", "--name", "Guest2", "--holes", "3", "--forge"});
  ASSERT_TRUE(Finish());
  const std::vector<std::string> host = Result(machines[0]);
  EXPECT_EQ(std::count_if(host.begin(), host.end(), [](const std::string& l) { return l.rfind("card ", 0) == 0; }), 2);
  EXPECT_EQ(Result(machines[1]), host);
  for (const std::string& line : host) {
    if (line.rfind("card ", 0) != 0) continue;
    std::istringstream fields(line.substr(5 + 15));
    int strokes = 0, holes = 0;
    while (fields >> strokes && holes < 3) {
      EXPECT_GE(strokes, 1) << line;
      ++holes;
    }
    EXPECT_EQ(holes, 3) << line;
  }
  const std::string joiner = Text(dir / "machine2.err");
  EXPECT_NE(joiner.find("sent 22 forged messages"), std::string::npos) << joiner;
  const std::string err = Text(dir / "machine1.err");
  for (const char* never : {"has left the game", "exceeded the time limit", "The game has been ended", "Position mismatch"})
    EXPECT_EQ(err.find(never), std::string::npos) << never;
}

// Two machines over a modem call play three holes with the same cards and ball rests, on a clean line and on one
// with bit errors (refused packets are sent again).
TEST_F(NetpeerTest, TwoMachinesPlayARoundOverAModemCall) {
  const struct {
    const char* noise;
  } cases[] = {{"0"}, {"30"}};
  for (const auto& c : cases) {
    StartModemRound(3, {std::string("WINAPI_MODEM_NOISE=") + c.noise, "WINAPI_MODEM_NOISE_SEED=3"},
                    {std::string("WINAPI_MODEM_NOISE=") + c.noise, "WINAPI_MODEM_NOISE_SEED=8"});
    ASSERT_TRUE(Finish()) << "noise " << c.noise;
    const std::vector<std::string> host = Result(machines[0]);
    EXPECT_EQ(std::count_if(host.begin(), host.end(), [](const std::string& l) { return l.rfind("card ", 0) == 0; }),
              2) << "noise " << c.noise;
    EXPECT_GE(host.size(), 2u + 6u);
    EXPECT_EQ(Result(machines[1]), host) << "noise " << c.noise;
    // The host greeted the caller over the call before the start.
    for (const char* err : {"machine1.err", "machine2.err"})
      EXPECT_NE(Text(dir / err).find("greeting exchanged"), std::string::npos) << err;
    machines.clear();
  }
}

// A carrier lost mid-round (the other machine gone) reaches the round once, as a failed link that ends it.
TEST_F(NetpeerTest, ALostCarrierEndsTheRoundOnceOnTheOtherMachine) {
  for (size_t victim : {size_t{1}, size_t{0}}) {
    StartModemRound(3);
    ASSERT_TRUE(KillAtSecondHole(victim)) << victim;
    ASSERT_TRUE(Finish(60)) << victim;
    const size_t other = 1 - victim;
    const std::string err = Text(dir / ("machine" + std::to_string(other + 1) + ".err"));
    EXPECT_EQ(Occurrences(err, "The game has been ended."), 1u) << err;
    machines.clear();
  }
}

// Voice on a LAN: a 7 s recording of the spoken clip reaches the other machine exactly as the sender shaped it;
// a cancelled one sends nothing; two shorter ones recorded while it plays wait in voice files and play after it,
// in order.
TEST_F(NetpeerTest, LanVoiceMessagesArriveAsShapedAndPlayInOrder) {
  extraEnv = {"WINAPI_WAVE_IN=" + ClipWav().string()};
  // The second recording is cancelled: nothing of it goes out.
  Start(1, {"--host", "--players", "2", "--type", "1", "--holes", "1", "--voice", "0,c600,1500,800"});
  Start(2, {"--join", "--type", "1", "--name", "Guest2", "--holes", "1", "--expect-voice", "3"});
  ASSERT_TRUE(Finish());
  const std::vector<std::string> lines = VoiceLines(machines[1]);
  ASSERT_EQ(lines.size(), 3u) << Text(machines[1].out);
  EXPECT_NE(lines[0].find("77175 samples of 8 bits at 11025 Hz"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("waiting: none"), std::string::npos) << lines[0];
  EXPECT_EQ(Occurrences(lines[1], ".wxx"), 2u) << lines[1];  // its own file and the third's
  EXPECT_EQ(Occurrences(lines[2], ".wxx"), 1u) << lines[2];
  const auto samples = [](const std::string& l) { return std::atoi(l.substr(l.find(": ") + 2).c_str()); };
  EXPECT_GT(samples(lines[1]), samples(lines[2]));
  // The microphone turned the 8000 Hz clip into 8-bit samples at 11025 Hz; the sender shaped those.
  const std::vector<int16_t> clip = speech::ReadPcm16((std::string(TEEBOX_SOURCE_DIR) + "/tests/fixtures/speech/clip.raw").c_str());
  std::vector<uint8_t> recorded(77175);
  for (size_t n = 0; n < recorded.size(); ++n) {
    const size_t at = n * 8000 / 11025;
    recorded[n] = static_cast<uint8_t>(((at < clip.size() ? clip[at] : 0) >> 8) + 128);
  }
  EXPECT_EQ(Bytes(dir / "machine2" / "voice-1.pcm"), net::ShapeVoiceRecording(0, recorded.data(), 77175));
  EXPECT_NE(Text(machines[0].out).find("voice cancelled 2"), std::string::npos);
  EXPECT_NE(Text(machines[0].out).find("voice sent 4"), std::string::npos);
}

// Voice suspended on the receiving machine while a message plays: the message stops, stays queued and plays
// again from its start once voice resumes.
TEST_F(NetpeerTest, ASuspendedVoiceMessageStaysQueuedAndPlaysAgain) {
  extraEnv = {"WINAPI_WAVE_IN=" + ClipWav().string()};
  Start(1, {"--host", "--players", "2", "--type", "1", "--holes", "1", "--voice", "1500"});
  Start(2, {"--join", "--type", "1", "--name", "Guest2", "--holes", "1", "--expect-voice", "2", "--suspend-voice",
            "300"});
  ASSERT_TRUE(Finish());
  const std::string out = Text(machines[1].out);
  EXPECT_NE(out.find("voice suspended: 1 queued"), std::string::npos) << out;
  const std::vector<std::string> lines = VoiceLines(machines[1]);
  ASSERT_EQ(lines.size(), 2u) << out;
  // The same message twice: its samples and CRC after the number of the play.
  EXPECT_EQ(lines[0].substr(lines[0].find(':')), lines[1].substr(lines[1].find(':')));
}

// Voice over a modem call is coded: the message arrives in several packets and decodes within the codec's
// measured quality of the clip.
TEST_F(NetpeerTest, ModemVoiceArrivesCodedWithinTheCodecsQuality) {
  const std::string clip = std::string(TEEBOX_SOURCE_DIR) + "/tests/fixtures/speech/clip.raw";
#ifdef NETPEER_HOST_MICROPHONE
  // The host's microphone through SDL, whose disk driver hears the clip (8000 Hz, 16-bit mono) as it stands.
  const std::vector<std::string> microphone = {"WINAPI_WAVE_IN=sdl", "SDL_AUDIODRIVER=disk",
                                               "SDL_DISKAUDIOFILEIN=" + clip, "SDL_DISKAUDIODELAY=1",
                                               "SDL_DISKAUDIOFILE=" + (dir / "out.raw").string()};
#else
  const std::vector<std::string> microphone = {"WINAPI_WAVE_IN=" + ClipWav().string()};
#endif
  StartModemRound(1, microphone, {}, {"--voice", "0"}, {"--expect-voice", "1"});
  ASSERT_TRUE(Finish());
  const std::vector<std::string> lines = VoiceLines(machines[1]);
  ASSERT_EQ(lines.size(), 1u) << Text(machines[1].out);
  // 7 s at 8000 Hz less the encoder's 104 samples of look-ahead, in whole frames of 208.
  const int samples = (56000 - 104) / 208 * 208;
  EXPECT_NE(lines[0].find(std::to_string(samples) + " samples of 16 bits at 8000 Hz"), std::string::npos) << lines[0];
  const std::vector<uint8_t> pcm = Bytes(dir / "machine2" / "voice-1.pcm");
  std::vector<int16_t> decoded(pcm.size() / 2);
  std::memcpy(decoded.data(), pcm.data(), decoded.size() * 2);
  std::vector<int16_t> spoken = speech::ReadPcm16(clip.c_str());
  spoken.resize(decoded.size(), 0);
  const speech::SpeechQuality q = speech::MeasureSpeechQuality(spoken, decoded);
  EXPECT_GE(q.segmentalSnrDb, 5.0);
  EXPECT_LE(q.spectralDistanceDb, 10.0);
}

// An online tournament: both machines log in to the lobby server, play, and post cards, statuses, shots and
// statistics lines to the score server, whose leader board each reads back with both golfers on it.
TEST_F(NetpeerTest, AnOnlineTournamentReachesTheScoreServerAndReadsItsLeaderBoard) {
  lobbyd::Lobby lobby;
  lobbyd::LobbyServer server(&lobby);
  const uint16_t port = server.Start(0);
  ASSERT_NE(port, 0);
  scored::ScoreStore store;
  scored::ScoreServer scores(&store);
  const uint16_t scorePort = scores.Start(0);
  ASSERT_NE(scorePort, 0);
  portMap += ",7653=" + std::to_string(port) + ",80=" + std::to_string(scorePort);
  extraArgs = {"--server", "127.0.0.1", "--score-server", "127.0.0.1"};
  PlayRound(2, 0, 6);
  scores.Stop();
  server.Stop();
  EXPECT_EQ(store.Cards(), 2u);
  // Each machine reads the board right after posting its own card: its own golfer is there with every hole and
  // its card's total; the other machine may not have posted its last hole yet. The server's board, read once both
  // have finished, holds both cards whole.
  std::map<std::string, int> totals;
  for (const Machine& m : machines) {
    std::vector<std::string> board;
    std::ifstream in(m.out);
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("card ", 0) == 0) {
        const std::string name = line.substr(5, line.find(' ', 5) - 5);
        totals[name] = std::atoi(line.substr(line.find("total ") + 6).c_str());
      }
      if (line.rfind("leader ", 0) == 0) board.push_back(line);
    }
    ASSERT_EQ(board.size(), 2u) << Text(m.out);
    int own = 0;
    for (const std::string& l : board) {
      std::istringstream f(l.substr(7));
      int position, holes, strokes;
      std::string name, word;
      f >> position >> name >> word >> holes >> word >> strokes;
      const bool mine = l.find("(this machine)") != std::string::npos;
      own += mine;
      if (mine || holes == 3) {
        EXPECT_EQ(strokes, totals[name]) << l;
      }
      EXPECT_EQ(holes, mine ? 3 : std::clamp(holes, 2, 3)) << l;
    }
    EXPECT_EQ(own, 1) << Text(m.out);
  }
  // The cards of the first round carry the value 1.
  std::string request(44, '\0');
  WriteLE32(reinterpret_cast<uint8_t*>(request.data()) + 8, 1);
  const auto [status, board] = store.Handle({"POST", "/isapi/scorlink.dll?GetLeaderBoard2", request});
  ASSERT_EQ(status, 200);
  ASSERT_EQ(board.size(), 474u + 2u * 92u);
  for (int i = 0; i < 2; ++i) {
    const auto* e = reinterpret_cast<const uint8_t*>(board.data()) + 474 + i * 92;
    const std::string name(reinterpret_cast<const char*>(e + 44));
    EXPECT_EQ(ReadLE32(e + 68), 3u) << name;
    EXPECT_EQ(static_cast<int>(ReadLE32(e + 64)), totals.at(name)) << name;
  }
}

// Two machines chat while they play: each one's line, sent as the chat box sends it, reaches the other's round.
TEST_F(NetpeerTest, ChatLinesCrossBetweenTwoMachines) {
  Start(1, {"--host", "--players", "2", "--type", "1", "--holes", "3", "--chat", "nice drive"});
  Start(2, {"--join", "--type", "1", "--name", "Guest2", "--chat", "thanks, the wind helped"});
  ASSERT_TRUE(Finish());
  EXPECT_NE(Text(machines[0].out).find("chat GOLFER: thanks, the wind helped\n"), std::string::npos);
  EXPECT_NE(Text(machines[1].out).find("chat GOLFER: nice drive\n"), std::string::npos);
  // A machine does not hear its own line.
  EXPECT_EQ(Text(machines[0].out).find("chat GOLFER: nice drive"), std::string::npos);
}

}  // namespace
