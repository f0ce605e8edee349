// The real program (its providers and ProgramMain, headless) plays SEDGEFEN's second hole with its sounds on: Ada,
// the person at this machine, swings by script on the virtual clock and a computer golfer plays beside her. The
// host writes everything it played to a WAV file. The announcer's clips queued and the effects played for these
// shots match a golden list (the sound layer's draws fixed), and the WAV carries sound where each of them played.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/gameapp.h"
#include "course/roster.h"
#include "demo.h"
#include "framework/core/services.h"
#include "frontend/frontend.h"
#include "golf/game.h"
#include "golf/player.h"
#include "roundui/powermeter.h"
#include "roundui/replay.h"
#include "roundui/roundturn.h"
#include "roundui/targeting.h"
#include "roundui/windind.h"
#include "sound/soundobject.h"
#include "support/childprocess.h"
#include "support/programthread.h"
#include "support/swing.h"
#include "support/runningprogram.h"
#include "winapi/testing.h"
#include "mmsystem.h"
#include "windows.h"

namespace {

namespace fs = std::filesystem;
namespace wt = winapi::testing;

bool MainMenuUp() {
  bool menu = false;
  OnProgramThread([&] { menu = TeeOffButton != nullptr; });
  return menu;
}

// The card page is modal: a task posted while it is up waits for it, so the question is kept short.

// The loops of the round (wind, gusts) and of the menus play at times of their own: they are not the shots'.
bool ShotSound(const std::string& name) {
  static const char* const kLoops[] = {"wind-22s.pat", "windgust.pat", "range.pat"};
  return std::none_of(std::begin(kLoops), std::end(kLoops), [&](const char* loop) { return name == loop; });
}

// Mixed output in hundredths of a second from the start of the sound system: the WAV's frames at the device's rate.
struct Wav {
  int rate = 0;
  std::vector<int16_t> samples;  // interleaved left, right
};

bool ReadWav(const std::string& path, Wav* wav, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), {});
  const auto u32 = [&](size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24; };
  const auto u16 = [&](size_t at) { return static_cast<uint32_t>(b[at] | b[at + 1] << 8); };
  if (b.size() < 44 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVEfmt ", 8) != 0 ||
      std::memcmp(b.data() + 36, "data", 4) != 0) {
    *error = path + ": not a WAV file of the host's layout (" + std::to_string(b.size()) + " bytes)";
    return false;
  }
  if (u16(20) != 1 || u16(22) != 2 || u16(34) != 16) {
    *error = path + ": not 16-bit stereo PCM";
    return false;
  }
  const uint32_t bytes = u32(40);
  if (44 + static_cast<size_t>(bytes) > b.size()) {
    *error = path + ": the data chunk claims " + std::to_string(bytes) + " bytes, the file holds " +
             std::to_string(b.size() - 44);
    return false;
  }
  wav->rate = static_cast<int>(u32(24));
  wav->samples.resize(bytes / 2);
  for (size_t i = 0; i < wav->samples.size(); ++i) wav->samples[i] = static_cast<int16_t>(u16(44 + 2 * i));
  return true;
}

// The root mean square of both channels over frames [from, to).
double Rms(const Wav& wav, size_t from, size_t to) {
  to = std::min(to, wav.samples.size() / 2);
  if (from >= to) return 0.0;
  double sum = 0.0;
  for (size_t i = 2 * from; i < 2 * to; ++i) sum += static_cast<double>(wav.samples[i]) * wav.samples[i];
  return std::sqrt(sum / static_cast<double>(2 * (to - from)));
}

// Ada and the computer golfer Orla Fenwick take part; Tee off starts stroke play, which is then set to SEDGEFEN's
// second hole alone before the hole starts (the message that starts it is still in the queue).
void TeeOffOnHoleTwo() {
  TGame* g = CurrentGame();
  TPlayer* ada = g->players->GetPlayer(0);
  ada->flags |= kGolferTakesPart | kGolferFlag5;
  std::snprintf(ada->name, sizeof ada->name, "%s", "Ada");
  const int pro = FindRosterProfessional("Orla Fenwick");
  playerInfo_s record;
  record.MakeDefaultGolfer(pro, false);
  std::snprintf(record.name, sizeof record.name, "%s", "Orla Fenwick");
  record.model = static_cast<uint32_t>(pro);
  record.flags |= kGolferNoFile | kGolferTakesPart;
  g->players->SetComputer(1, true);
  TPlayer* orla = g->players->GetPlayer(1);
  orla->AttachRecord(record, pro);
  KeepRosterName(orla, record);
  orla->flags |= kGolferTakesPart;
  g->state.teeSet = 0;
  Svc().scene->SeedRandom15(7);
  BeginPlay(TeeOffButton);
  TGame* round = CurrentGame();
  round->state.firstHole = 1, round->state.hole = 1, round->state.holeCount = 1;
}

// The round by script; the child's findings, line by line: "shot ...", "queue folder/clip", "play name tick length",
// "start tick", "card ...".
std::string PlayHoleTwo(const std::string& demo) {
  std::ostringstream log;
  RunningProgram program(demo, demo + "/registry.txt");
  EXPECT_TRUE(program.Started(30000));
  EXPECT_TRUE(WaitUntil(MainMenuUp));
  size_t playedFrom = 0, queuedFrom = 0;
  EXPECT_TRUE(OnProgramThread([&] {
    // The idle sounds fall due at times that depend on how fast the machine runs: their draws (and the
    // announcer's) come from a fixed answer, never from the game's generator, which the shots read.
    SoundEnv().random31 = [] { return 0x2345u; };
    std::lock_guard<std::recursive_mutex> hold(Sound().lock);
    playedFrom = Sound().played.size();
    queuedFrom = Sound().queued.size();
  }));
  EXPECT_TRUE(OnProgramThread(TeeOffOnHoleTwo));
  bool cardShown = false;
  for (int shot = 0; shot < 20 && !cardShown; ++shot) {
    const bool ready = WaitUntil([&] { return ScoreCardPagesShown() > 0 || AskAwaitingSwing(); }, 120000);
    EXPECT_TRUE(ready) << "shot " << shot;
    if (!ready || (cardShown = ScoreCardPagesShown() > 0)) break;
    EXPECT_TRUE(OnProgramThread(
        [&] {
          if (!wt::VirtualClockOn()) wt::UseVirtualClock(true, timeGetTime());
          wt::SetVirtualWaitGrace(0);
          TGame* g = CurrentGame();
          TPlayer* p = g->players->GetPlayer(0);
          // Each swing starts from its own seed, the hole's wind and the arc laid out for the ball's place.
          Svc().scene->SeedRandom15(7 + shot);
          g->SetupWind();
          if (WindIndicator) WindIndicator->nextRedraw = timeGetTime();
          if (TargetingArcEventHandler* h = CurrentTargetingHandler) {
            h->FollowShot();
            UpdateTargeting(h, 0, 0, 0, 1);
          }
          log << "shot " << shot << " hole " << g->state.hole + 1 << " club " << int(p->currentClub);
          wt::StartInputScript(ThreeClicks(1350, 1900), 1);
          Svc().round->OnKeyPress(' ');
          wt::StopInputScript();
          char text[96];
          std::snprintf(text, sizeof text, " rest %.3f %.3f", p->ball.position.x, p->ball.position.y);
          log << " marks " << PowerMeter->powerMark << " " << PowerMeter->accuracyMark << " frames "
              << GetReplayFrameCount() << text;
          // The computer golfer's strokes on the hole so far.
          uint32_t strokes = 0;
          if (TPlayer* orla = g->players->GetPlayer(1))
            orla->GetHoleScore(g->state.round, g->state.hole, &strokes, nullptr);
          log << " orla " << (strokes & ~kScoreMarker) << "\n";
          Svc().round->OnKeyPress(VK_RETURN);
          // The computer golfer plays next, from a seed of its own.
          Svc().scene->SeedRandom15(100 + shot);
        },
        120000));
  }
  if (!cardShown) cardShown = WaitUntil([] { return ScoreCardPagesShown() > 0; }, 120000);
  EXPECT_TRUE(cardShown);
  keybd_event(VK_RETURN, 0x1C, 0, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  keybd_event(VK_RETURN, 0x1C, KEYEVENTF_KEYUP, 0);
  EXPECT_TRUE(WaitUntil(MainMenuUp, 60000));
  log << "card " << LastCardGolferRow() << "\n";
  EXPECT_EQ(program.Close(), 0);
  // The program has ended: nothing else touches the sound layer's records.
  const SoundModule& s = Sound();
  log << "start " << s.startTick << "\n";
  for (size_t i = queuedFrom; i < s.queued.size(); ++i) log << "queue " << s.queued[i] << "\n";
  for (size_t i = playedFrom; i < s.played.size() && i < s.playedAt.size(); ++i)
    log << "play " << s.played[i] << " " << s.playedAt[i].tick << " " << s.playedAt[i].length << "\n";
  return log.str();
}

struct Played {
  std::string name;
  uint32_t tick = 0;
  int32_t length = 0;
};

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ProgramRoundSounds, HoleTwoQueuesTheGoldenClipsAndTheWavCarriesEachOfThem) {
  char pattern[] = "/tmp/teebox_roundsounds_XXXXXX";
  const std::string root = mkdtemp(pattern);
  mkdemo::DemoOptions options;
  options.holes = 2;
  options.commentary = true;
  std::string error;
  ASSERT_TRUE(mkdemo::MakeDemoInstallation(root, options, error)) << error;
  const std::string wavPath = root + "/round.wav", logPath = root + "/round.log";
  RunInChildProcess(
      [&] {
        setenv("WINAPI_AUDIO_FILE", wavPath.c_str(), 1);
        setenv("WINAPI_AUDIO", "null", 1);  // no sound card, even with a display: the output follows the clock
        const std::string log = PlayHoleTwo(root);
        std::ofstream(logPath) << log;
      },
      900000);
  const std::string log = ReadText(logPath);
  std::printf("%s", log.c_str());
  ASSERT_NE(log.find("card "), std::string::npos) << "the round did not reach its card:\n" << log;

  // The trace: the shots' lines, the clips queued and the shots' sounds played, in order.
  std::istringstream lines(log);
  std::string line, trace;
  std::vector<Played> played;
  uint32_t startTick = 0;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    if (kind == "start") words >> startTick;
    if (kind == "queue") trace += line + "\n";
    if (kind == "play") {
      Played p;
      words >> p.name >> p.tick >> p.length;
      if (!ShotSound(p.name)) continue;
      played.push_back(p);
      trace += "play " + p.name + "\n";
    }
  }
  EXPECT_GT(played.size(), 0u) << log;
  const std::string golden = std::string(TEEBOX_SOURCE_DIR) + "/tests/golden/sound/round_hole2_clips.txt";
  if (const char* update = std::getenv("TEEBOX_UPDATE_GOLDEN"); update && std::string(update) == "1") {
    std::ofstream(golden) << trace;
  } else {
    const std::string expected = ReadText(golden);
    if (trace != expected) {
      // The first line that differs, with its number, before both lists.
      std::istringstream a(expected), b(trace);
      std::string ea, eb;
      int n = 1;
      while (true) {
        const bool ha = static_cast<bool>(std::getline(a, ea)), hb = static_cast<bool>(std::getline(b, eb));
        if (!ha && !hb) break;
        if (!ha || !hb || ea != eb) {
          ADD_FAILURE() << "clip list differs from " << golden << " at line " << n << ": expected \""
                        << (ha ? ea : "(end)") << "\", got \"" << (hb ? eb : "(end)") << "\"\n--- expected\n"
                        << expected << "--- got\n" << trace;
          break;
        }
        ++n;
      }
    }
  }

  // The WAV holds the sound system's output from its start, a hundredth after a hundredth: a voice started at server
  // tick t sounds from frame (t - start) x rate / 100. Each shot's sound is heard in its window: its first half
  // second (or its length), louder than the same length before it.
  Wav wav;
  ASSERT_TRUE(ReadWav(wavPath, &wav, &error)) << error;
  ASSERT_GT(wav.rate, 0);
  const auto frameOf = [&](uint32_t tick) { return static_cast<size_t>(tick - startTick) * wav.rate / 100; };
  for (const Played& p : played) {
    ASSERT_GE(p.tick, startTick) << p.name;
    const int32_t hundredths = p.length > 0 ? std::min(p.length, 50) : 50;
    const size_t from = frameOf(p.tick), to = frameOf(p.tick + static_cast<uint32_t>(hundredths));
    EXPECT_LE(to, wav.samples.size() / 2) << p.name << " at tick " << p.tick << " lies past the WAV's end ("
                                          << wav.samples.size() / 2 << " frames)";
    const double window = Rms(wav, from, to);
    // The same length just before the sound: the loops of the round and whatever else played then.
    const size_t span = to - from;
    const double before = Rms(wav, from > span ? from - span : 0, from);
    std::printf("heard %s at %zu: RMS %.0f, before it %.0f\n", p.name.c_str(), from, window, before);
    // The wind's loop plays all along (RMS about 1200, a gust about 3000); a clip at full volume stands out of it.
    EXPECT_GT(window, 2500.0) << p.name << " at tick " << p.tick << " (frames " << from << " to " << to
                             << ") is not heard: RMS " << window << ", before it " << before;
    EXPECT_GT(window, 1.3 * before) << p.name << " at tick " << p.tick << " is no louder than what played before it";
  }
  fs::remove_all(root);
}

}  // namespace
