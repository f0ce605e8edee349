// Shared pieces of the sound tests: golden sample lists, aborts caught, and both mixer paths.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platformlib/core/fixture.h"
#include "platformlib/sound/sndmix.h"
#include "windows.h"

namespace soundtest {

// The driver module's service entry, as the library's audio thread calls it (looked up each time: the library
// loads the module afresh for every start); tests that stop the audio thread call it after each hundredth.
inline void ServeSoundModule() {
  int (*serve)() = nullptr;
  HMODULE module = GetModuleHandleA("tolvarsnd");
  FARPROC p = module ? GetProcAddress(module, "_iSNDdirectserve@0") : nullptr;
  std::memcpy(&serve, &p, sizeof serve);
  if (serve) serve();
}

// Compares numbers with tests/golden/sound/<name>.txt (one a line). TEEBOX_UPDATE_GOLDEN=1 rewrites the file.
template <typename T>
void ExpectGolden(const std::string& name, const std::vector<T>& values) {
  const std::string path = std::string(TEEBOX_SOURCE_DIR) + "/tests/golden/sound/" + name + ".txt";
  std::ostringstream text;
  text.precision(9);
  for (const T& v : values) text << +v << "\n";
  if (const char* update = std::getenv("TEEBOX_UPDATE_GOLDEN"); update && *update == '1') {
    std::ofstream(path) << text.str();
    return;
  }
  std::ifstream in(path);
  ASSERT_TRUE(in.good()) << "no golden file " << path;
  std::stringstream golden;
  golden << in.rdbuf();
  EXPECT_EQ(text.str(), golden.str()) << "differs from " << path;
}

// Bits least significant first, as the compression-9 reader takes them.
struct BitWriter {
  std::vector<uint8_t> bytes;
  int used = 0;
  void Put(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
      if (used % 8 == 0) bytes.push_back(0);
      bytes.back() |= static_cast<uint8_t>(((value >> i) & 1) << (used % 8));
      ++used;
    }
  }
  void Zeros(int count) {  // pulses of zero in runs of 7 + n
    while (count > 0) {
      const int run = std::min(count, 70);
      Put(0x7F, 8);
      Put(static_cast<uint32_t>(run - 7), 6);
      count -= run;
    }
  }
};

inline void Header(BitWriter& w) {
  w.Put(0, 1);  // no grid phase
  w.Put(0, 4);  // ternary pulses below 32
  w.Put(0, 4);  // scale 8
  w.Put(0, 6);  // factor 1.04
}

inline void FlatSpectrum(BitWriter& w) {
  for (int i = 0; i < 4; ++i) w.Put(32, 6);
  for (int i = 0; i < 8; ++i) w.Put(16, 5);
}

// A frame of ternary pulses under a gentle spectrum; `variant` shifts the spectrum a little.
inline void TernaryFrame(BitWriter& w, int variant) {
  w.Put(3, 6);  // below 32: ternary pulses
  for (int i = 1; i < 4; ++i) w.Put(static_cast<uint32_t>(30 + variant), 6);
  for (int i = 0; i < 8; ++i) w.Put(17, 5);
  for (int s = 0; s < 4; ++s) {
    w.Put(40, 8), w.Put(5, 4), w.Put(20, 6);
    for (int n = 0; n < 108; ++n) w.Put(n % 5 == 0 ? 0b11 : n % 7 == 0 ? 0b01 : 0, n % 5 == 0 || n % 7 == 0 ? 2 : 1);
  }
}

// Compression-9 buffers as the callback and packet play types take them: each opens with 1 (a header follows,
// the decoder starts afresh) or 0 (its frames carry on the decoder's state), then whole frames.
struct C9Buffers {
  std::vector<std::vector<uint8_t>> buffers;
  C9Buffers& Add(bool fresh, int frames, int variant) {
    BitWriter w;
    w.Put(fresh ? 1 : 0, 8);
    if (fresh) Header(w);
    for (int f = 0; f < frames; ++f) TernaryFrame(w, variant + f);
    buffers.push_back(w.bytes);
    return *this;
  }
  // The samples they decode to, as the integer path delivers them.
  std::vector<int16_t> Decoded() const {
    std::vector<uint8_t> storage(c9statesize());
    C9Decoder* d = reinterpret_cast<C9Decoder*>(storage.data());
    c9start(d, nullptr, 0);
    std::vector<int16_t> out;
    float frame[C9FRAME];
    for (const std::vector<uint8_t>& b : buffers) {
      b[0] ? c9start(d, b.data() + 1, b.size() - 1) : c9continue(d, b.data() + 1, b.size() - 1);
      while (c9decodeframe(d, frame))
        for (float v : frame) out.push_back(c9toint(v));
    }
    return out;
  }
};

// Aborts are caught through the exit hook; the mixer's tables are filled for the path the test names.
class SoundTest : public platformtest::PlatformTest {
 protected:
  void UsePath(int mmx) { mixfilltables(mmx); }
};

}  // namespace soundtest
