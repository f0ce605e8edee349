// sounddemo --menu FOLDER [seconds]: the game's sound layer on the installation FOLDER (as drive C): the menu
// ambience, clicks and the range speaker's announcements; the sounds played are listed.
// sounddemo [file.pat]: plays a 440 Hz tone, then the patch file (a chirp written to a temporary file when none
// is given) panned, swept and faded, through the sound library and the module tolvarsnd. Audible through SDL2
// audio with a display; headless, WINAPI_AUDIO_FILE=out.wav keeps what was played.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platformlib/core/cpu.h"
#include "platformlib/display/mainwindow.h"
#include "platformlib/core/memclass.h"
#include "platformlib/core/timer.h"
#include "menudemo.h"
#include "sounddemo.h"
#include "soundtools.h"
#include "winapi_files.h"
#include "windows.h"

namespace {

// Two seconds of a tone gliding from 300 to 600 Hz and back, at 22,050 Hz, looped whole.
std::string ChirpPatch() {
  soundtools::Zone zone;
  zone.rate = 22050;
  zone.length = 44100;
  zone.loopstart = 0;
  zone.loopend = zone.length - 1;
  zone.bendrange = 7;  // a full bend raises it a fifth
  double phase = 0;
  for (int i = 0; i < zone.length; ++i) {
    const double t = static_cast<double>(i) / zone.length;
    phase += 2 * M_PI * (300 + 300 * std::sin(M_PI * t)) / zone.rate;
    const auto v = static_cast<int16_t>(std::lround(9000 * std::sin(phase)));
    zone.data.push_back(static_cast<uint8_t>(v & 0xFF));
    zone.data.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  const std::vector<uint8_t> patch = soundtools::writepatch({zone});
  return std::string(patch.begin(), patch.end());
}

}  // namespace

int MenuDemo(const char* folder, int seconds) {
  setenv("WINAPI_DRIVE_C", folder, 1);  // before the platform first looks at its drives
  std::printf("teebox sound demo: the menu ambience, clicks and announcements of %s for %d s.\n", folder, seconds);
  if (!initmem()) return 1;
  identifycpu();
  initmainthread();
  if (inittimer(100) <= 0 || !openmainwindow(320, 200, 0)) {
    std::fprintf(stderr, "sounddemo: no timer or main window\n");
    return 1;
  }
  std::vector<std::string> played;
  const int status = RunMenuSoundDemo(seconds, [](int ms) { Sleep(static_cast<DWORD>(ms)); }, &played);
  for (const std::string& name : played) std::printf("played %s\n", name.c_str());
  closemainwindow();
  stoptimer();
  std::printf("sounddemo: %s (%d)\n", status == 0 ? "done" : "failed", status);
  return status == 0 ? 0 : 1;
}

int main(int argc, char** argv) {
  if (argc > 2 && std::string(argv[1]) == "--menu") return MenuDemo(argv[2], argc > 3 ? std::max(6, std::atoi(argv[3])) : 12);
  SoundDemoOptions options;
  options.bufferms = 1000;
  if (argc > 1) {
    options.patfile = argv[1];
  } else {
    options.patfile = "/tmp/sounddemo-chirp.pat";
    const std::string chirp = ChirpPatch();
    if (winapi::SaveHostFileWhole(options.patfile.c_str(), chirp.data(), chirp.size()) != 0) {
      std::fprintf(stderr, "sounddemo: cannot write %s\n", options.patfile.c_str());
      return 1;
    }
  }
  std::printf("teebox sound demo: a 440 Hz tone, then %s panned, swept and faded, then a 660 Hz tone from "
              "compression-7 buffers.\n", options.patfile.c_str());
  if (!initmem()) return 1;
  identifycpu();
  initmainthread();
  if (inittimer(100) <= 0 || !openmainwindow(320, 200, 0)) {
    std::fprintf(stderr, "sounddemo: no timer or main window\n");
    return 1;
  }
  const int status = RunSoundDemo(options);
  closemainwindow();
  stoptimer();
  std::printf("sounddemo: %s (%d)\n", status == 0 ? "done" : "failed", status);
  return status == 0 ? 0 : 1;
}
