// Fuzz entry for the fast paths of the LZ and Huffman unpackers: the input is a packed block, unpacked by the
// fast path and by the plain one into buffers of its stated size with room after it. Both must give the same
// result, the same bytes when they succeed, and leave the room after the stated size alone.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platformlib/bigfile/unpackfmt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  unpackfmt::PackHeader h;
  if (!unpackfmt::readpackheader(data, size, &h)) return 0;
  // Large enough for the Huffman codes' two-place decoding, small enough to keep the fuzzer quick.
  if (h.size > (1u << 18)) return 0;
  auto unpack = h.code == 0x10 ? unpackfmt::lzunpackwith : unpackfmt::huffmanunpackwith;
  if (h.code != 0x10 && h.code != 0x30 && h.code != 0x32 && h.code != 0x34) return 0;
  constexpr size_t kRoom = 64;
  // Exact copies, so that a read past the block or a write past the room is caught.
  auto* in = static_cast<uint8_t*>(std::malloc(size));
  std::memcpy(in, data, size);
  auto* fast = static_cast<uint8_t*>(std::malloc(h.size + kRoom));
  auto* plain = static_cast<uint8_t*>(std::malloc(h.size + kRoom));
  std::memset(fast, 0xA5, h.size + kRoom);
  std::memset(plain, 0xA5, h.size + kRoom);
  const uint32_t a = unpack(in, size, fast, h.size, true);
  const uint32_t b = unpack(in, size, plain, h.size, false);
  if (a != b) std::abort();
  if (a && std::memcmp(fast, plain, h.size) != 0) std::abort();
  for (size_t i = h.size; i < h.size + kRoom; ++i)
    if (fast[i] != 0xA5 || plain[i] != 0xA5) std::abort();
  std::free(plain);
  std::free(fast);
  std::free(in);
  return 0;
}
