// SCRCARD.ASC parser fuzz entry: any bytes; a refusal always carries its reason, an accepted file keeps its limits.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "course/courseload.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  CourseCard card;
  const int holes = size > 0 ? 1 + data[0] % 18 : 18;
  if (!ParseScoreCard(data, size, holes, card, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  for (int h = 0; h < holes; ++h)
    if (card.par[h] < 3 || card.par[h] > 6 || card.strokeIndex[h] < 1 || card.strokeIndex[h] > 18) std::abort();
  return 0;
}
