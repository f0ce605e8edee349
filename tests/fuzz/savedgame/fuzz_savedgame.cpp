// Saved-game file fuzz entry: any bytes; an accepted file encodes back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "course/savedfiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string caption, error;
  std::vector<uint8_t> state;
  if (!DecodeSavedGame(data, size, caption, state, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  const std::vector<uint8_t> again = EncodeSavedGame(caption, state);
  std::string caption2;
  std::vector<uint8_t> state2;
  if (!DecodeSavedGame(again.data(), again.size(), caption2, state2, error) || caption2 != caption || state2 != state)
    std::abort();
  return 0;
}
