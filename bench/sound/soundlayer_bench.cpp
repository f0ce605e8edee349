// The game's sound layer: one idle pass over the effect bank and both ambience sets (every object made, the
// loops playing and gliding), with the library running over the module and the host's null device.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "framework/core/paths.h"
#include "platformlib/core/memclass.h"
#include "platformlib/core/timer.h"
#include "platformlib/display/mainwindow.h"
#include "sound/effects.h"
#include "sound/menusounds.h"
#include "sound/soundobject.h"
#include "soundtools.h"
#include "winapi/testing.h"
#include "winapi_files.h"

namespace {

std::vector<uint8_t> Tone() {
  soundtools::Zone zone;
  zone.length = 2205;
  zone.loopstart = 0, zone.loopend = zone.length - 1;
  for (int i = 0; i < zone.length; ++i) {
    const auto v = static_cast<int16_t>(std::lround(5000 * std::sin(2 * M_PI * 300.0 * i / 22050)));
    zone.data.push_back(static_cast<uint8_t>(v & 0xFF)), zone.data.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  return soundtools::writepatch({zone});
}

void BM_UpdateAllPass(benchmark::State& state) {
  char pattern[] = "/tmp/soundlayer_bench_XXXXXX";
  const std::string root = mkdtemp(pattern);
  std::filesystem::create_directories(root + "/DATA/SOUNDS");
  const std::vector<uint8_t> tone = Tone();
  for (const char* name : {"range", "clubhous", "wind-22s", "windgust", "default"}) {
    const std::string path = root + "/DATA/SOUNDS/" + name + ".pat";
    winapi::SaveHostFileWhole(path.c_str(), tone.data(), tone.size());
  }
  setenv("WINAPI_AUDIO_RATE", "22050", 1);
  winapi::testing::MapDrive('C', root);
  winapi::testing::SetModuleFileName("C:\\teebox.exe");
  if (!memstarted()) initmem();
  initmainthread();
  inittimer(100);
  openmainwindow(320, 200, 0);
  SoundEnvironment& env = SoundEnv();
  env.folders = [](PathRecord* r, PathRecord*, bool* disc) {
    PathSetToProgramDir(r);
    *disc = false;
  };
  TSoundADV::StartSoundSystem();
  setaudiomessagethread(nullptr);
  SoundTakeTime();
  LoadMenuSounds();
  LoadClubhouseSounds();
  StartAmbientSounds(2);
  int objects = 0;
  for (TSoundADV* o = Sound().soundList; o; o = o->next) ++objects;
  for (auto _ : state) {
    SoundTakeTime();
    TSoundADV::UpdateAll(false);  // no re-triggers: the same work every pass
  }
  state.counters["objects"] = objects;
  FreeGameSounds();
  TSoundADV::StopSoundSystem();
  closemainwindow();
  stoptimer();
  std::filesystem::remove_all(root);
}
BENCHMARK(BM_UpdateAllPass)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
