// Synthesised effects, clicks and ambience; spoken announcer lines.
#include "sounds.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "commentary.h"
#include "menus.h"
#include "soundtools.h"

namespace mkdemo {

namespace {

namespace fs = std::filesystem;
constexpr int kRate = 22050;
using Wave = std::vector<float>;  // -1..1

// A small deterministic generator, so that every run writes the same bytes.
struct Noise {
  uint32_t state;
  explicit Noise(uint32_t seed) : state(seed ? seed : 1) {}
  float operator()() {
    state ^= state << 13, state ^= state >> 17, state ^= state << 5;
    return static_cast<float>(state) / 2147483648.0f - 1.0f;
  }
};

uint32_t Seed(const std::string& name) {
  uint32_t h = 2166136261u;
  for (char c : name) h = (h ^ static_cast<uint8_t>(c)) * 16777619u;
  return h;
}

Wave Silence(double seconds) { return Wave(static_cast<size_t>(seconds * kRate), 0.0f); }

// A tone gliding from f0 to f1 with an attack and an exponential decay.
Wave Tone(double seconds, double f0, double f1, double decay, double level, double attack = 0.003) {
  Wave w = Silence(seconds);
  double phase = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double f = f0 + (f1 - f0) * t / seconds;
    phase += 2 * M_PI * f / kRate;
    const double env = std::min(1.0, t / attack) * std::exp(-t * decay);
    w[i] = static_cast<float>(level * env * std::sin(phase));
  }
  return w;
}

// Noise through a one-pole low-pass (`smooth` near 1 is darker) with an envelope.
Wave Hiss(double seconds, double smooth, double level, const std::function<double(double)>& envelope, uint32_t seed) {
  Noise n(seed);
  Wave w = Silence(seconds);
  double y = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    y = smooth * y + (1 - smooth) * n();
    w[i] = static_cast<float>(level * envelope(static_cast<double>(i) / kRate) * y * (1.0 / std::sqrt(1 - smooth)));
  }
  return w;
}

void Mix(Wave& into, const Wave& w, double at, double gain = 1.0) {
  const size_t start = static_cast<size_t>(at * kRate);
  if (into.size() < start + w.size()) into.resize(start + w.size(), 0.0f);
  for (size_t i = 0; i < w.size(); ++i) into[start + i] += static_cast<float>(gain * w[i]);
}

std::function<double(double)> Decay(double rate) {
  return [rate](double t) { return std::min(1.0, t / 0.002) * std::exp(-t * rate); };
}
std::function<double(double)> Swell(double seconds) {
  return [seconds](double t) { return std::sin(M_PI * std::clamp(t / seconds, 0.0, 1.0)); };
}
std::function<double(double)> Steady() {
  return [](double) { return 1.0; };
}

// A strike: a low thump under a bright crack.
Wave Strike(double pitch, double bright, uint32_t seed) {
  Wave w = Tone(0.25, pitch, pitch * 0.6, 25, 0.6);
  Mix(w, Hiss(0.12, 1 - bright, 0.5, Decay(60), seed), 0);
  return w;
}

// Footsteps, a rattle or claps: short bursts at intervals.
Wave Bursts(int count, double spacing, double smooth, double level, uint32_t seed) {
  Wave w;
  Noise jitter(seed);
  for (int i = 0; i < count; ++i)
    Mix(w, Hiss(0.06, smooth, level, Decay(90), seed + static_cast<uint32_t>(i)),
        i * spacing + 0.3 * spacing * std::abs(jitter()));
  return w;
}

// A bird's call: quick sweeps.
Wave Chirps(int count, double f0, double f1, double length, double gap) {
  Wave w;
  for (int i = 0; i < count; ++i) Mix(w, Tone(length, f0, f1, 8, 0.5), i * (length + gap));
  return w;
}

// Murmuring voices: noise shaped by slow random swells.
Wave Murmur(double seconds, double level, uint32_t seed) {
  Noise n(seed);
  Wave w = Hiss(seconds, 0.93, level, Steady(), seed);
  double swell = 0.5;
  for (size_t i = 0; i < w.size(); ++i) {
    if (i % 2205 == 0) swell = 0.6 + 0.4 * n();
    w[i] *= static_cast<float>(swell);
  }
  return w;
}

std::vector<int16_t> ToPcm(const Wave& w) {
  std::vector<int16_t> pcm(w.size());
  for (size_t i = 0; i < w.size(); ++i)
    pcm[i] = static_cast<int16_t>(std::lround(std::clamp(w[i], -1.0f, 1.0f) * 26000.0f));
  return pcm;
}

// A one-zone patch of 16-bit PCM (looped whole when asked), or of compression 7.
std::vector<uint8_t> Patch(const std::vector<int16_t>& pcm, bool looped, bool compressed) {
  soundtools::Zone zone;
  zone.rate = kRate;
  zone.length = static_cast<int32_t>(pcm.size());
  if (looped) zone.loopstart = 0, zone.loopend = zone.length - 1;
  if (compressed) {
    zone.compression = 7;
    zone.data = soundtools::encodeadpcm7(pcm.data(), static_cast<int>(pcm.size()), 1);
  } else {
    for (int16_t v : pcm) zone.data.push_back(static_cast<uint8_t>(v & 0xFF)), zone.data.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  return soundtools::writepatch({zone});
}

// A loop whose end joins its start: the last part cross-fades into the first.
Wave Seamless(Wave w, double fade) {
  const size_t n = std::min(w.size() / 2, static_cast<size_t>(fade * kRate));
  Wave out(w.begin(), w.end() - static_cast<std::ptrdiff_t>(n));
  for (size_t i = 0; i < n; ++i) {
    const float a = static_cast<float>(i) / static_cast<float>(n);
    out[i] = out[i] * a + w[w.size() - n + i] * (1 - a);
  }
  return out;
}

struct Synth {
  const char* name;
  bool looped;
  std::function<Wave(uint32_t seed)> make;
};

std::vector<Synth> Synths() {
  std::vector<Synth> s;
  // Clicks of the controls.
  const double clickPitch[9] = {880, 1175, 523, 988, 784, 660, 1320, 1568, 1047};
  const char* clicks[9] = {"default", "action", "cancel", "next", "prev", "switch", "slide", "camera", "phone"};
  for (int i = 0; i < 9; ++i) {
    const double f = clickPitch[i];
    if (std::string(clicks[i]) == "phone") {
      s.push_back({"phone", false, [](uint32_t) {
                     Wave w;
                     for (int r = 0; r < 2; ++r) Mix(w, Tone(0.35, 1200, 1200, 3, 0.35), r * 0.5), Mix(w, Tone(0.35, 1500, 1500, 3, 0.25), r * 0.5);
                     return w;
                   }});
      continue;
    }
    s.push_back({clicks[i], false, [f](uint32_t seed) {
                   Wave w = Tone(0.07, f, f * 1.05, 60, 0.6);
                   Mix(w, Hiss(0.02, 0.5, 0.2, Decay(200), seed), 0);
                   return w;
                 }});
  }
  // The ambience loops.
  s.push_back({"range", true, [](uint32_t seed) {
                 Wave w = Hiss(4.0, 0.985, 0.25, Steady(), seed);  // a breeze
                 Mix(w, Chirps(3, 2800, 3400, 0.06, 0.05), 1.3, 0.3);
                 return Seamless(w, 0.5);
               }});
  s.push_back({"clubhous", true, [](uint32_t seed) { return Seamless(Murmur(4.0, 0.35, seed), 0.5); }});
  // The menu ambience's sounds.
  for (const char* d : {"drive01", "drive02", "drive03", "drive04", "drive05", "drive06", "drive07"})
    s.push_back({d, false, [](uint32_t seed) { return Strike(110 + seed % 40, 0.8, seed); }});
  for (const char* b : {"bucket01", "bucket02", "bucket03"})
    s.push_back({b, false, [](uint32_t seed) { return Bursts(12, 0.05, 0.3, 0.4, seed); }});
  s.push_back({"bird01_m", false, [](uint32_t) { return Chirps(4, 3000, 4200, 0.07, 0.06); }});
  s.push_back({"bird02_m", false, [](uint32_t) { return Chirps(2, 2200, 3600, 0.12, 0.08); }});
  s.push_back({"bird03_m", false, [](uint32_t) { return Chirps(6, 4200, 3600, 0.04, 0.04); }});
  s.push_back({"thrsh1", false, [](uint32_t) { return Chirps(3, 1800, 2600, 0.15, 0.1); }});
  s.push_back({"thrsh3", false, [](uint32_t) { return Chirps(5, 2600, 1900, 0.09, 0.07); }});
  s.push_back({"thrsh4", false, [](uint32_t) { return Chirps(2, 2000, 3100, 0.2, 0.15); }});
  s.push_back({"crows2", false, [](uint32_t seed) {
                 Wave w;
                 for (int i = 0; i < 3; ++i) {
                   Wave caw = Tone(0.25, 520, 430, 4, 0.4);
                   Mix(caw, Hiss(0.25, 0.6, 0.25, Swell(0.25), seed + i), 0);
                   Mix(w, caw, i * 0.4);
                 }
                 return w;
               }});
  s.push_back({"cleats", false, [](uint32_t seed) { return Bursts(8, 0.45, 0.7, 0.5, seed); }});
  // The clubhouse's sounds.
  for (const char* m : {"bar1", "bar2", "chatter1", "chatter2", "chatter3"})
    s.push_back({m, false, [](uint32_t seed) { return Murmur(1.5, 0.5, seed); }});
  for (const char* c : {"cashreg1", "cashreg2"})
    s.push_back({c, false, [](uint32_t seed) {
                   Wave w = Bursts(3, 0.08, 0.4, 0.3, seed);
                   Mix(w, Tone(0.8, 2093, 2093, 5, 0.4), 0.3);
                   return w;
                 }});
  s.push_back({"clinks", false, [](uint32_t) {
                 Wave w = Tone(0.4, 3520, 3520, 10, 0.3);
                 Mix(w, Tone(0.4, 4186, 4186, 10, 0.25), 0.15);
                 return w;
               }});
  for (const char* d : {"door1", "door2"})
    s.push_back({d, false, [](uint32_t seed) { return Strike(70, 0.3, seed); }});
  // The effect bank.
  s.push_back({"wind-22s", true, [](uint32_t seed) { return Seamless(Hiss(4.0, 0.992, 0.5, Steady(), seed), 0.6); }});
  s.push_back({"windgust", false, [](uint32_t seed) { return Hiss(2.5, 0.985, 0.6, Swell(2.5), seed); }});
  s.push_back({"forenear", false, [](uint32_t) { return Tone(0.6, 300, 280, 3, 0.3); }});
  s.push_back({"inwater", false, [](uint32_t seed) {
                 Wave w = Hiss(0.5, 0.8, 0.6, Decay(8), seed);
                 Mix(w, Tone(0.3, 900, 300, 10, 0.3), 0.02);
                 return w;
               }});
  for (const char* l : {"landtrap", "landfway", "hitrough", "landgren", "hitbush", "hitlevs"})
    s.push_back({l, false, [](uint32_t seed) { return Hiss(0.3, 0.9, 0.5, Decay(18), seed); }});
  for (const char* h : {"hitpath", "hitsign", "hitpin"})
    s.push_back({h, false, [](uint32_t seed) {
                   Wave w = Tone(0.3, 1400 + seed % 600, 1300, 15, 0.4);
                   Mix(w, Hiss(0.05, 0.3, 0.4, Decay(120), seed), 0);
                   return w;
                 }});
  // The range's ball cart: its driver's horn once and twice, its motor catching again, the ball on its cage, the
  // blast.
  s.push_back({"cart1", false, [](uint32_t) { return Tone(0.35, 440, 440, 2, 0.4); }});
  s.push_back({"cart2", false, [](uint32_t) {
                 Wave w = Tone(0.2, 440, 440, 2, 0.4);
                 Mix(w, Tone(0.35, 392, 392, 2, 0.4), 0.3);
                 return w;
               }});
  s.push_back({"cart3", false, [](uint32_t seed) {
                 Wave w = Bursts(10, 0.09, 0.6, 0.4, seed);
                 Mix(w, Tone(1.0, 60, 110, 1, 0.3), 0);
                 return w;
               }});
  s.push_back({"carthit", false, [](uint32_t seed) {
                 Wave w = Tone(0.5, 1900, 1850, 9, 0.35);
                 Mix(w, Tone(0.5, 2750, 2700, 11, 0.2), 0);
                 Mix(w, Hiss(0.05, 0.3, 0.4, Decay(120), seed), 0);
                 return w;
               }});
  s.push_back({"cartexpl", false, [](uint32_t seed) {
                 Wave w = Hiss(1.6, 0.97, 0.8, Decay(2.5), seed);
                 Mix(w, Tone(1.2, 70, 35, 3, 0.5), 0);
                 return w;
               }});
  for (const char* c : {"skipcup", "intocup1", "intocup2", "intocup3"})
    s.push_back({c, false, [](uint32_t seed) { return Bursts(4, 0.07, 0.2, 0.5, seed); }});
  for (const char* c : {"sandwedg", "putter", "fullwedg", "mtldrvr", "ironfway", "ironruff", "woodfway", "woodrgh1",
                        "woodrgh2", "3woodchp", "chiprugh", "chipfair", "ironpine"})
    s.push_back({c, false, [](uint32_t seed) { return Strike(150 + seed % 120, 0.5 + (seed % 40) / 100.0, seed); }});
  // The crowd: cheers swell and clap, a groan falls.
  for (const char* c : {"crwdr16", "crwdmed1", "crwdmed2", "clapbogi"})
    s.push_back({c, false, [](uint32_t seed) {
                   Wave w = Murmur(2.5, 0.4, seed);
                   for (size_t i = 0; i < w.size(); ++i) w[i] *= static_cast<float>(std::sin(M_PI * i / w.size()));
                   Mix(w, Bursts(20, 0.1, 0.2, 0.25, seed + 7), 0.3);
                   return w;
                 }});
  s.push_back({"crwddspt", false, [](uint32_t) { return Tone(1.2, 220, 140, 2, 0.4); }});
  return s;
}

// The announcer's lines: stem, folder below DATA ('|' separated, "" for SOUNDS itself), the lines of its variants.
struct Spoken {
  const char* stem;
  const char* folder;
  std::vector<const char*> lines;
  bool numbered;  // variants are the stem and a number
};

const std::vector<Spoken>& Lines() {
  static const std::vector<Spoken> lines = {
      {"rngannc1", "", {"Would the owner of the blue cart please return to the clubhouse."}, false},
      {"rngannc2", "", {"The range will close in thirty minutes. Please finish your buckets."}, false},
      {"playsafe", "", {"Play it safe."}, false},
      {"goforit", "", {"Go for it!"}, false},
      {"bighit2", "", {"What a hit!"}, false},
      {"zarshot", "", {"Shot of the day!"}, false},
      {"inzone", "", {"In the zone."}, false},
  };
  return lines;
}

// Where spoken lines are kept between runs: speaking is by far the slowest step, and the same speaker says the
// same words the same way every time. TEEBOX_SPEECH_CACHE names the folder ("" turns the cache off); by default
// it is below the person's cache folder.
fs::path SpeechCacheFolder() {
  if (const char* own = std::getenv("TEEBOX_SPEECH_CACHE")) return own;
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg) return fs::path(xdg) / "teebox" / "speech";
  if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / ".cache" / "teebox" / "speech";
  return {};
}

// The speaker's own version line, so that another speaker's voice is never taken from the cache.
const std::string& SpeakerVersion(const std::string& speaker) {
  static std::mutex lock;
  static std::map<std::string, std::string> versions;
  std::lock_guard<std::mutex> hold(lock);
  auto [at, added] = versions.try_emplace(speaker);
  if (added) {
    if (FILE* p = ::popen((speaker + " --version 2>/dev/null").c_str(), "r")) {
      char line[256];
      while (std::fgets(line, sizeof line, p)) at->second += line;
      ::pclose(p);
    }
  }
  return at->second;
}

std::vector<int16_t> ReadPcm(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> pcm(bytes.size() / 2);
  for (size_t i = 0; i < pcm.size(); ++i)
    pcm[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) | static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
  return pcm;
}

// The speaker's words as 16-bit mono samples at our rate, through sox; empty when either cannot be run.
std::vector<int16_t> Speak(const std::string& speaker, const std::string& text, const fs::path& scratch) {
  const fs::path cache = SpeechCacheFolder();
  const std::string& version = SpeakerVersion(speaker);
  fs::path cached;
  if (!cache.empty() && !version.empty()) {
    char key[40];
    std::snprintf(key, sizeof key, "%08x%08x%08x.raw", Seed(speaker + '\n' + version), Seed(text), Seed("#" + text));
    cached = cache / key;
    std::error_code ec;
    if (fs::is_regular_file(cached, ec)) return ReadPcm(cached);
  }
  const fs::path wav = scratch / "line.wav", raw = scratch / "line.raw";
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  quoted += "'";
  const std::string command = speaker + " -s 150 -w '" + wav.string() + "' " + quoted + " >/dev/null 2>&1 && sox '" +
                              wav.string() + "' -r " + std::to_string(kRate) + " -c 1 -b 16 -e signed-integer -t raw '" +
                              raw.string() + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return {};
  std::vector<int16_t> pcm = ReadPcm(raw);
  if (!cached.empty() && !pcm.empty()) {
    // Other runs may fill the same entry at once: each writes a name of its own and renames it into place.
    std::error_code ec;
    fs::create_directories(cache, ec);
    const fs::path own = cached.string() + "." + std::to_string(::getpid()) + "." + scratch.filename().string();
    fs::copy_file(raw, own, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::rename(own, cached, ec);
    if (ec) fs::remove(own, ec);
  }
  return pcm;
}

// A tune: notes (semitones from A 220 Hz, -99 a rest) of equal length, a plucked voice over a soft bass on the
// first note of each bar, as 16-bit stereo with the voice a little to the left and the bass to the right.
std::vector<uint8_t> TuneWav(const std::vector<int>& notes, double noteSeconds, int beatsPerBar) {
  Wave left, right;
  for (size_t i = 0; i < notes.size(); ++i) {
    const double at = static_cast<double>(i) * noteSeconds;
    if (notes[i] == -99) continue;
    const double f = 220.0 * std::pow(2.0, notes[i] / 12.0);
    Wave voice = Tone(noteSeconds * 1.5, f, f, 3.5, 0.35);
    Mix(voice, Tone(noteSeconds * 1.5, 2 * f, 2 * f, 6, 0.1), 0);
    Mix(left, voice, at, 1.0);
    Mix(right, voice, at, 0.6);
    if (i % static_cast<size_t>(beatsPerBar) == 0) {
      const double b = 55.0 * std::pow(2.0, (notes[i] % 12) / 12.0);
      Wave bass = Tone(noteSeconds * beatsPerBar, b, b, 1.2, 0.4, 0.02);
      Mix(left, bass, at, 0.5);
      Mix(right, bass, at, 1.0);
    }
  }
  right.resize(left.size(), 0.0f);
  const std::vector<int16_t> l = ToPcm(left), r = ToPcm(right);
  std::vector<uint8_t> wav = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
  auto put = [&wav](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) wav.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  const uint32_t data = static_cast<uint32_t>(l.size() * 4);
  put(16, 4), put(1, 2), put(2, 2), put(kRate, 4), put(kRate * 4, 4), put(4, 2), put(16, 2);
  wav.insert(wav.end(), {'d', 'a', 't', 'a'});
  put(data, 4);
  for (size_t i = 0; i < l.size(); ++i) put(static_cast<uint16_t>(l[i]), 2), put(static_cast<uint16_t>(r[i]), 2);
  const uint32_t riff = static_cast<uint32_t>(wav.size() - 8);
  for (int i = 0; i < 4; ++i) wav[4 + i] = static_cast<uint8_t>(riff >> (8 * i));
  return wav;
}

}  // namespace

void WriteMusicDisc(const fs::path& disc) {
  fs::create_directories(disc / "QV99");
  const std::string program = "teebox demo disc\n";
  writeBytesTo(disc / "Zarvo99.exe", std::vector<uint8_t>(program.begin(), program.end()));
  const std::vector<std::vector<int>> tunes = {
      {3, 7, 10, 15, 14, 10, 7, 10, 8, 12, 15, 20, 19, 15, 12, 15, 10, 14, 17, 22, 20, 17, 14, 10, 3, -99, 3, -99},
      {0, 4, 7, 4, 5, 9, 12, 9, 7, 11, 14, 11, 12, -99, 7, -99, 0, 4, 7, 12, 11, 7, 5, 2, 0, -99, -99, -99},
      {10, 9, 7, 5, 3, 5, 7, 3, 2, 3, 5, 2, -2, -99, -2, -99, 10, 12, 14, 15, 17, 15, 14, 12, 10, -99, -99, -99},
  };
  const double lengths[3] = {0.22, 0.26, 0.3};
  for (size_t t = 0; t < tunes.size(); ++t) {
    char name[16];
    std::snprintf(name, sizeof name, "TRACK%02zu.WAV", t + 2);
    writeBytesTo(disc / name, TuneWav(tunes[t], lengths[t], 4));
  }
}

std::vector<std::string> DemoSoundNames() {
  std::vector<std::string> names;
  for (const Synth& s : Synths()) names.emplace_back(s.name);
  for (const Spoken& s : Lines())
    if (!*s.folder) names.emplace_back(s.stem);
  return names;
}

void WriteCommentary(const fs::path& data, int holes, const std::string& only, const std::string& speaker) {
  std::vector<SpokenFamily> families = CommentaryFamilies(holes);
  std::erase_if(families, [&only](const SpokenFamily& f) { return f.folder.rfind(only, 0) != 0; });
  const fs::path root = data.parent_path();
  // Each family is spoken once, by a few speakers at a time; its variants share the recording.
  std::vector<std::vector<uint8_t>> patches(families.size());
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  auto work = [&](int worker) {
    const fs::path scratch = data / (".speech" + std::to_string(worker));
    fs::create_directories(scratch);
    for (size_t i; (i = next++) < families.size();) {
      std::vector<int16_t> pcm = failed ? std::vector<int16_t>{} : Speak(speaker, families[i].text, scratch);
      if (pcm.empty()) {
        failed = true;
        pcm = ToPcm(Murmur(1.0, 0.5, Seed(families[i].text)));
      }
      patches[i] = Patch(pcm, false, true);
    }
    fs::remove_all(scratch);
  };
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) workers.emplace_back(work, w);
  for (std::thread& t : workers) t.join();
  if (failed) std::fprintf(stderr, "mkdemo: %s cannot be run; the commentary murmurs instead\n", speaker.c_str());
  for (size_t i = 0; i < families.size(); ++i) {
    std::string rest = families[i].folder;
    for (char& c : rest) c = c == '|' ? '/' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const fs::path folder = root / rest;
    fs::create_directories(folder);
    const fs::path first = folder / (families[i].files[0] + ".pat");
    writeBytesTo(first, patches[i]);
    for (size_t v = 1; v < families[i].files.size(); ++v) {
      const fs::path other = folder / (families[i].files[v] + ".pat");
      std::error_code ec;
      fs::remove(other, ec);
      fs::create_hard_link(first, other, ec);
      if (ec) writeBytesTo(other, patches[i]);
    }
  }
}

void WriteSounds(const fs::path& data, const std::string& speaker) {
  const fs::path sounds = data / "SOUNDS";
  fs::create_directories(sounds);
  for (const Synth& s : Synths())
    writeBytesTo(sounds / (std::string(s.name) + ".pat"), Patch(ToPcm(s.make(Seed(s.name))), s.looped, false));
  const fs::path scratch = data / ".speech";
  fs::create_directories(scratch);
  bool warned = false;
  for (const Spoken& s : Lines()) {
    // "data|sounds|x" below the root is DATA/SOUNDS/X here.
    std::string rest = s.folder;
    for (char& c : rest) c = c == '|' ? '/' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const fs::path folder = *s.folder ? data.parent_path() / rest : sounds;
    fs::create_directories(folder);
    for (size_t v = 0; v < s.lines.size(); ++v) {
      std::vector<int16_t> pcm = Speak(speaker, s.lines[v], scratch);
      if (pcm.empty()) {
        if (!warned) std::fprintf(stderr, "mkdemo: %s cannot be run; the announcer murmurs instead\n", speaker.c_str());
        warned = true;
        pcm = ToPcm(Murmur(1.2, 0.5, Seed(s.lines[v])));
      }
      const std::string name = std::string(s.stem) + (s.numbered ? std::to_string(v + 1) : "") + ".pat";
      writeBytesTo(folder / name, Patch(pcm, false, true));
    }
  }
  fs::remove_all(scratch);
}

}  // namespace mkdemo
