// Helpers shared by the archive and pack-code tests: inputs and capture of the library's aborts.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platformlib/core/memclass.h"

namespace packtest {

using Bytes = std::vector<uint8_t>;

inline Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline Bytes randombytes(size_t n, uint32_t seed, int range = 256) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(rng() % static_cast<uint32_t>(range));
  return b;
}

// Records every abort message and cancels the abort, so the failing call returns its failure value.
class AbortCapture {
 public:
  AbortCapture() {
    messages().clear();
    saved_ = abortfilterhook;
    savedflag_ = abortonerror;
    abortonerror = 1;
    abortfilterhook = [](const char* text) {
      messages().push_back(text);
      return 0;
    };
  }
  ~AbortCapture() {
    abortfilterhook = saved_;
    abortonerror = savedflag_;
  }
  AbortCapture(const AbortCapture&) = delete;
  AbortCapture& operator=(const AbortCapture&) = delete;

  static std::vector<std::string>& messages() {
    static std::vector<std::string> m;
    return m;
  }

 private:
  int (*saved_)(const char*);
  int savedflag_;
};

}  // namespace packtest
