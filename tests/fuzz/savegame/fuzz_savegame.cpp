// Saved-game reader fuzz entry: the input is a saved game (or a game state sent by the host). A game that
// loads must save to bytes that load again to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "golf/game.h"

namespace {
std::vector<uint8_t> saveCurrent() {
  std::vector<uint8_t> buf(16384);
  SerialTarget s = SerialTarget::OverMemory(buf.data(), buf.size());
  if (!CurrentGame()->SaveToStream(&s)) std::abort();
  buf.resize(static_cast<size_t>(s.cursor - buf.data()));
  return buf;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SerialTarget in = SerialTarget::OverMemory(data, size);
  if (LoadGameFromStream(&in) == 0) {
    const std::vector<uint8_t> once = saveCurrent();
    SerialTarget again = SerialTarget::OverMemory(once.data(), once.size());
    if (LoadGameFromStream(&again) != 0 || saveCurrent() != once) std::abort();
  }
  DeleteCurrentGame();
  return 0;
}
