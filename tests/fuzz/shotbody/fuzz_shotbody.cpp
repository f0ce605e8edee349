// Shot-body fuzz entry: any bytes; an accepted body encodes back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "golf/shotfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SavedShot shot;
  std::string error;
  if (!DecodeShotBody(data, size, shot, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  if (shot.hole >= 18 || shot.round >= 5 || shot.holeFile.size() > kShotBodyMaxText) std::abort();
  SavedShot again;
  const std::vector<uint8_t> bytes = EncodeShotBody(shot);
  if (!DecodeShotBody(bytes.data(), bytes.size(), again, error) || EncodeShotBody(again) != bytes) std::abort();
  return 0;
}
