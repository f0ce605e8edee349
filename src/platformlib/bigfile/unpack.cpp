// Pack codes: the dispatcher and the LZ, pair and run unpackers (Huffman is in unpackhuff.cpp).
// Every unpacker checks each read against the block and each write against the stated unpacked size, and
// rejects (returns 0 for) data that would leave either buffer, refer before the start of the output or stop
// short of the size it states.
#include <algorithm>
#include <cstring>

#include "platformlib/bigfile/bigfile.h"
#include "platformlib/core/memclass.h"
#include "platformlib/bigfile/unpackfmt.h"

using namespace unpackfmt;

namespace {

const char UNPACKFILE[] = "cmn\\unpack.c";

// Extent of a block reached only by its address: the registered block around it, else on trust.
size_t extentof(const void* p) {
  size_t n = registeredextent(p);
  return n ? n : static_cast<size_t>(UINTPTR_MAX - reinterpret_cast<uintptr_t>(p));
}

// Copies a match of `len` bytes from `dist` back; an overlapping match repeats the pattern.
inline void copymatch(uint8_t* out, size_t op, size_t dist, size_t len) {
  uint8_t* d = out + op;
  const uint8_t* s = d - dist;
  if (dist >= len) {
    std::memcpy(d, s, len);
  } else if (dist == 1) {
    std::memset(d, *s, len);
  } else if (dist >= 8) {
    // Chunks of 8 never overlap their own source.
    size_t i = 0;
    for (; i + 8 <= len; i += 8) std::memcpy(d + i, s + i, 8);
    for (; i < len; ++i) d[i] = s[i];
  } else {
    for (size_t i = 0; i < len; ++i) d[i] = s[i];
  }
}

}  // namespace

namespace {

// Copies 16 bytes at a time, up to 15 past `len`: the caller has that room.
inline void widecopy(uint8_t* d, const uint8_t* s, size_t len) {
  for (size_t i = 0; i < len; i += 16) std::memcpy(d + i, s + i, 16);
}

// A match of `len` bytes from `dist` back, in words, writing up to 15 bytes past `len`: the caller has that
// room. Byte by byte, a near match would wait on each byte it has just written.
inline void widematch(uint8_t* d, size_t dist, size_t len) {
  const uint8_t* s = d - dist;
  if (dist >= 16) {
    widecopy(d, s, len);
  } else if (dist >= 8) {
    // Eight at a time never reads what the same step writes.
    for (size_t i = 0; i < len; i += 8) std::memcpy(d + i, s + i, 8);
  } else {
    // The `dist` bytes repeated to fill a word, written a whole number of repeats apart.
    uint64_t word;
    std::memcpy(&word, s, 8);
    word &= ~uint64_t{0} >> (64 - 8 * dist);
    for (size_t have = dist; have < 8; have *= 2) word |= word << (8 * have);
    const size_t step = 8 - 8 % dist;
    for (size_t i = 0; i < len; i += step) std::memcpy(d + i, &word, 8);
  }
}

}  // namespace

uint32_t unpackfmt::lzunpackwith(const uint8_t* in, size_t n, uint8_t* out, size_t outsize, bool fast) {
  PackHeader h;
  if (!readpackheader(in, n, &h) || h.size > outsize) return 0;
  const size_t size = h.size;
  size_t ip = h.dataoffset, op = 0;
  // Wide copies write up to 15 bytes ahead of the output, which later tokens overwrite; never when the
  // output overlaps the block, whose unread bytes they could reach.
  const auto inat = reinterpret_cast<uintptr_t>(in), outat = reinterpret_cast<uintptr_t>(out);
  fast = fast && (outat + size <= inat || inat + n <= outat);
  // The bulk of the block while every token's bytes and what the copies write past them are inside both
  // buffers: no token needs checks of its own but its distance and the room for a long match.
  const size_t inend = fast && n > 128 ? n - 128 : 0, outend = fast && size > 160 ? size - 160 : 0;
  while (ip < inend && op < outend) {
    const uint32_t b0 = in[ip];
    if (b0 >= 0xE0) {
      if (b0 >= 0xFC) break;
      // A literal run of 4..112 bytes as one copy of the most: where a loop over it would end is hard to
      // foresee, and a wrong guess costs more than the bytes copied past the run, which later tokens overwrite.
      const size_t lit = ((b0 & 0x1F) + 1) * 4;
      for (size_t k = 0; k < 112; k += 16) std::memcpy(out + op + k, in + ip + 1 + k, 16);
      ip += 1 + lit;
      op += lit;
      continue;
    }
    const uint32_t b1 = in[ip + 1], b2 = in[ip + 2], b3 = in[ip + 3];
    size_t lit, len, dist;
    if (b0 < 0x80) {
      lit = b0 & 3, len = ((b0 >> 2) & 7) + 3, dist = ((b0 & 0x60) << 3) + b1 + 1, ip += 2;
    } else if (b0 < 0xC0) {
      lit = b1 >> 6, len = (b0 & 0x3F) + 4, dist = ((b1 & 0x3F) << 8) + b2 + 1, ip += 3;
    } else {
      lit = b0 & 3, len = (((b0 >> 2) & 3) << 8) + b3 + 5, dist = ((b0 & 0x10) << 12) + (b1 << 8) + b2 + 1, ip += 4;
    }
    // The 0..3 literals as one 4-byte copy.
    std::memcpy(out + op, in + ip, 4);
    ip += lit;
    op += lit;
    if (dist > op) return 0;
    if (len <= 16 && dist >= 16) {
      std::memcpy(out + op, out + op - dist, 16);
    } else if (size - op >= len + 15) {
      widematch(out + op, dist, len);
    } else {
      if (size - op < len) return 0;
      copymatch(out, op, dist, len);
    }
    op += len;
  }
  for (;;) {
    if (ip >= n) return 0;
    const uint32_t b0 = in[ip];
    size_t lit, len, dist;
    if (b0 < 0x80) {
      if (n - ip < 2) return 0;
      const uint32_t b1 = in[ip + 1];
      lit = b0 & 3;
      len = ((b0 >> 2) & 7) + 3;
      dist = ((b0 & 0x60) << 3) + b1 + 1;
      ip += 2;
    } else if (b0 < 0xC0) {
      if (n - ip < 3) return 0;
      const uint32_t b1 = in[ip + 1], b2 = in[ip + 2];
      lit = b1 >> 6;
      len = (b0 & 0x3F) + 4;
      dist = ((b1 & 0x3F) << 8) + b2 + 1;
      ip += 3;
    } else if (b0 < 0xE0) {
      if (n - ip < 4) return 0;
      const uint32_t b1 = in[ip + 1], b2 = in[ip + 2], b3 = in[ip + 3];
      lit = b0 & 3;
      len = (((b0 >> 2) & 3) << 8) + b3 + 5;
      dist = ((b0 & 0x10) << 12) + (b1 << 8) + b2 + 1;
      ip += 4;
    } else {
      // Literal runs: 4..112 bytes, or the final token with 0..3.
      lit = b0 < 0xFC ? ((b0 & 0x1F) + 1) * 4 : (b0 & 3);
      ++ip;
      if (n - ip < lit || size - op < lit) return 0;
      std::memcpy(out + op, in + ip, lit);
      ip += lit;
      op += lit;
      if (b0 >= 0xFC) break;
      continue;
    }
    if (n - ip < lit || size - op < lit) return 0;
    std::memcpy(out + op, in + ip, lit);
    ip += lit;
    op += lit;
    if (dist > op || size - op < len) return 0;
    copymatch(out, op, dist, len);
    op += len;
  }
  return op == size ? h.size : 0;
}

uint32_t lzunpack(const uint8_t* in, size_t n, uint8_t* out, size_t outsize) {
  return lzunpackwith(in, n, out, outsize, true);
}

uint32_t rununpack(const uint8_t* in, size_t n, uint8_t* out, size_t outsize) {
  PackHeader h;
  if (!readpackheader(in, n, &h) || h.size > outsize) return 0;
  size_t ip = h.dataoffset, op = 0, left = h.size;
  uint8_t fill = 0;
  while (left > 0) {
    if (ip >= n) return 0;
    const uint8_t t = in[ip++];
    const size_t count = t & 0x3F;
    if (count > left) return 0;
    switch (t >> 6) {
      case 0:
        if (n - ip < count) return 0;
        std::memcpy(out + op, in + ip, count);
        ip += count;
        break;
      case 1:
        if (ip >= n) return 0;
        fill = in[ip++];
        std::memset(out + op, fill, count);
        break;
      case 2:
        std::memset(out + op, fill, count);
        break;
      default: {
        if (count == 0) break;
        if (ip >= n) return 0;
        const uint8_t f = in[ip++];
        const uint8_t high = f & 0xF0;
        out[op] = f;
        size_t done = 1;
        if (n - ip < (count - done + 1) / 2) return 0;
        while (done < count) {
          const uint8_t s = in[ip++];
          out[op + done++] = high | (s >> 4);
          if (done < count) out[op + done++] = high | (s & 0x0F);
        }
        break;
      }
    }
    op += count;
    left -= count;
  }
  return h.size;
}

uint32_t pairunpack(const uint8_t* in, size_t n, uint8_t* out, size_t outsize) {
  enum : uint8_t { PLAIN, ESCAPE, PAIR };
  PackHeader h;
  if (!readpackheader(in, n, &h) || h.size > outsize) return 0;
  size_t ip = h.dataoffset;
  if (n - ip < 2) return 0;
  uint8_t kind[256] = {};
  uint8_t left[256], right[256];
  const uint8_t escape = in[ip++];
  kind[escape] = ESCAPE;
  const unsigned pairs = in[ip++];
  if ((n - ip) / 3 < pairs) return 0;
  for (unsigned i = 0; i < pairs; ++i, ip += 3) {
    const uint8_t code = in[ip];
    kind[code] = PAIR;
    left[code] = in[ip + 1];
    right[code] = in[ip + 2];
  }

  // Expanded length of every pair, found depth first. A pair that reaches itself has no expansion: the
  // data is damaged as soon as it is used. Lengths are capped above the largest possible output.
  constexpr uint64_t CAP = uint64_t{1} << 40;
  uint64_t length[256];
  uint8_t state[256] = {};  // 0 unvisited, 1 in progress, 2 done, 3 cyclic
  for (int v = 0; v < 256; ++v) {
    length[v] = 1;
    if (kind[v] == PAIR) state[v] = 0;
    else state[v] = 2;
  }
  for (int root = 0; root < 256; ++root) {
    if (state[root] != 0) continue;
    // Explicit stack: each pair is entered once, so depth stays below 256.
    uint8_t stack[257];
    int top = 0;
    stack[top++] = static_cast<uint8_t>(root);
    state[root] = 1;
    while (top > 0) {
      const uint8_t v = stack[top - 1];
      const uint8_t halves[2] = {left[v], right[v]};
      bool pushed = false;
      for (uint8_t c : halves) {
        if (state[c] == 0) {
          state[c] = 1;
          stack[top++] = c;
          pushed = true;
          break;
        }
      }
      if (pushed) continue;
      --top;
      if (state[halves[0]] == 1 || state[halves[1]] == 1 || state[halves[0]] == 3 || state[halves[1]] == 3) {
        state[v] = 3;
      } else {
        state[v] = 2;
        length[v] = std::min(CAP, length[halves[0]] + length[halves[1]]);
      }
    }
  }

  // Short expansions are kept flat so that the common case is one copy.
  constexpr size_t FLATMAX = 32;
  uint8_t flat[256][FLATMAX];
  bool isflat[256] = {};
  for (int v = 0; v < 256; ++v) {
    if (kind[v] != PAIR || state[v] != 2 || length[v] > FLATMAX) continue;
    uint8_t stack[256];
    int top = 0;
    size_t k = 0;
    stack[top++] = static_cast<uint8_t>(v);
    while (top > 0) {
      const uint8_t c = stack[--top];
      if (kind[c] == PAIR) {
        stack[top++] = right[c];
        stack[top++] = left[c];
      } else {
        flat[v][k++] = c;
      }
    }
    isflat[v] = true;
  }

  const size_t size = h.size;
  size_t op = 0;
  for (;;) {
    if (ip >= n) return 0;
    const uint8_t s = in[ip++];
    switch (kind[s]) {
      case PLAIN:
        if (op == size) return 0;
        out[op++] = s;
        break;
      case ESCAPE: {
        if (ip >= n) return 0;
        const uint8_t v = in[ip++];
        if (v == 0) return op == size ? h.size : 0;
        if (op == size) return 0;
        out[op++] = v;
        break;
      }
      default: {
        if (state[s] != 2 || length[s] > size - op) return 0;
        if (isflat[s]) {
          std::memcpy(out + op, flat[s], length[s]);
          op += length[s];
          break;
        }
        // Acyclic over at most 256 pairs: the stack grows by at most one entry per level.
        uint8_t stack[520];
        int top = 0;
        stack[top++] = s;
        while (top > 0) {
          const uint8_t c = stack[--top];
          if (kind[c] == PAIR) {
            if (isflat[c]) {
              std::memcpy(out + op, flat[c], length[c]);
              op += length[c];
            } else {
              stack[top++] = right[c];
              stack[top++] = left[c];
            }
          } else {
            out[op++] = c;
          }
        }
        break;
      }
    }
  }
}

// ---- dispatch -----------------------------------------------------------------------------------------------

uint32_t getunpacksizen(const void* block, size_t blocksize) {
  PackHeader h;
  if (!block || !readpackheader(static_cast<const uint8_t*>(block), blocksize, &h)) return 0;
  return h.size;
}

uint32_t getunpacksize(const void* block) {
  return block ? getunpacksizen(block, extentof(block)) : 0;
}

namespace {

// A first byte 0x10..0x7F with the mark 0xFB looks like a packed block whose code is not known.
bool lookspacked(const uint8_t* b, size_t n) { return n >= 2 && b[0] >= 0x10 && b[0] <= 0x7F && b[1] == 0xFB; }

}  // namespace

uint32_t unpacksize(const void* block) {
  const uint32_t size = getunpacksize(block);
  if (size == 0 && block) {
    const auto* b = static_cast<const uint8_t*>(block);
    PackHeader h;
    if (!readpackheader(b, extentof(block), &h) && lookspacked(b, extentof(block)) && abortonerror) {
      ABORTCONTEXT(UNPACKFILE, "unpacksize");
      abortmessage("unpacksize - INVALID PACK CODE (%x)\n", (b[0] << 8) | b[1]);
    }
  }
  return size;
}

uint32_t decompressn(const void* block, size_t blocksize, void* destination, size_t destsize) {
  if (!block || !destination) return 0;
  const auto* in = static_cast<const uint8_t*>(block);
  auto* out = static_cast<uint8_t*>(destination);
  PackHeader h;
  if (!readpackheader(in, blocksize, &h)) return 0;
  switch (h.code) {
    case 0x10: return lzunpack(in, blocksize, out, destsize);
    case 0x30:
    case 0x32:
    case 0x34: return huffmanunpack(in, blocksize, out, destsize);
    case 0x46: return pairunpack(in, blocksize, out, destsize);
    default: return rununpack(in, blocksize, out, destsize);
  }
}

uint32_t decompress(const void* block, void* destination) {
  if (!block) return 0;
  // The destination holds the stated unpacked size: that is the caller's side of the bargain.
  return decompressn(block, extentof(block), destination, getunpacksize(block));
}

uint32_t unpack(const void* block, void* destination) {
  if (!block) return 0;
  const auto* b = static_cast<const uint8_t*>(block);
  const size_t n = extentof(block);
  const uint32_t result = decompressn(block, n, destination, getunpacksize(block));
  if (result != 0 || !abortonerror) return result;
  PackHeader h;
  if (!readpackheader(b, n, &h)) {
    if (lookspacked(b, n)) {
      ABORTCONTEXT(UNPACKFILE, "unpack");
      abortmessage("unpack - INVALID PACK CODE (%x)\n", (b[0] << 8) | b[1]);
    }
  } else if (h.size != 0) {
    // An empty block unpacks to nothing and is no failure.
    ABORTCONTEXT(UNPACKFILE, "unpack");
    abortmessage("unpack - DAMAGED PACKED DATA (%x)\n", (b[0] << 8) | b[1]);
  }
  return result;
}
