// Saved-shot file fuzz entry: any bytes; an accepted file encodes back to a file that reads the same.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "course/savedfiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SavedShotHead head;
  std::vector<uint8_t> body;
  std::string error;
  if (!DecodeSavedShot(data, size, head, body, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  if (head.hole > 17 || head.mode > 10 || head.fileName.size() > 15 || head.golfer.size() > 49) std::abort();
  const std::vector<uint8_t> again = EncodeSavedShot(head, body);
  SavedShotHead back;
  std::vector<uint8_t> body2;
  if (!DecodeSavedShot(again.data(), again.size(), back, body2, error) || body2 != body || back.golfer != head.golfer ||
      back.course != head.course || back.surface != head.surface)
    std::abort();
  return 0;
}
