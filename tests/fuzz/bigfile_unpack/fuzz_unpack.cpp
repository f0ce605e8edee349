// Fuzz entry for one unpacker (chosen by FUZZ_UNPACKER at build time): the input is a packed block, unpacked
// into a buffer of exactly its stated size.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platformlib/bigfile/bigfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint32_t unpacked = getunpacksizen(data, size);
  // Sizes are checked the same way at any scale; a few bytes of runs can fill megabytes, which only takes time.
  if (unpacked > (1u << 16)) return 0;
  uint8_t* in = static_cast<uint8_t*>(std::malloc(size ? size : 1));
  if (size) std::memcpy(in, data, size);
  uint8_t* out = static_cast<uint8_t*>(std::malloc(unpacked ? unpacked : 1));
  const uint32_t got = FUZZ_UNPACKER(in, size, out, unpacked);
  if (got != 0 && got != unpacked) std::abort();
  std::free(out);
  std::free(in);
  return 0;
}
