// Shared by the unpackers: the packed-block header and big-endian reads. Internal to the library.
#pragma once

#include <cstddef>
#include <cstdint>
#include "platformlib/core/byteorder.h"

namespace unpackfmt {

inline uint32_t be16(const uint8_t* p) { return ReadBE16(p); }
inline uint32_t be24(const uint8_t* p) { return ReadBE24(p); }
inline uint32_t be32(const uint8_t* p) { return ReadBE32(p); }

struct PackHeader {
  uint8_t code;     // the code proper (bit 0 cleared)
  uint32_t size;    // unpacked size
  size_t dataoffset;  // where the code's own data starts
};

inline bool knownpackcode(uint8_t code) {
  return code == 0x10 || code == 0x30 || code == 0x32 || code == 0x34 || code == 0x46 || code == 0x4A;
}

// Blocks reached only by their address are given an extent that reaches the top of the address space:
// their own data must say where they end, and the unpackers then read no further ahead than they must.
inline bool extentontrust(size_t n) { return n > (size_t{1} << 48); }

// Reads the header of a block of `n` bytes; false when it is not a known pack code or is cut short.
inline bool readpackheader(const uint8_t* b, size_t n, PackHeader* h) {
  if (n < 2) return false;
  uint8_t code = b[0] & 0xFE;
  if (!knownpackcode(code) || (b[1] != 0xFB && b[1] != 0x32)) return false;
  // The run code always keeps its size at offset 2; the others skip a compressed length when bit 0 is set.
  size_t at = (code != 0x4A && (b[0] & 1)) ? 5 : 2;
  if (n < at + 3) return false;
  h->code = code;
  h->size = be24(b + at);
  h->dataoffset = at + 3;
  return true;
}

// The LZ and Huffman unpackers with their fast paths (wide copies, two symbols a look-up) on or off: off is
// the plain path, one token or symbol at a time, that the fast paths are checked against.
uint32_t lzunpackwith(const uint8_t* in, size_t n, uint8_t* out, size_t outsize, bool fast);
uint32_t huffmanunpackwith(const uint8_t* in, size_t n, uint8_t* out, size_t outsize, bool fast);

}  // namespace unpackfmt
