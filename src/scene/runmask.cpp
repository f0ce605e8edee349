#include "scene/runmask.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "scene/random.h"

const uint32_t RunMaskTable[34] = {
    0x0, 0x1, 0x3, 0x7, 0xF, 0x1F, 0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF, 0x1FFF, 0x3FFF, 0x7FFF, 0xFFFF,
    0x0, 0x1, 0x3, 0x7, 0xF, 0x1F, 0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF, 0x1FFF, 0x3FFF, 0x7FFF, 0xFFFF};

namespace {

constexpr int kCells = 256;
constexpr int kImageSide = 64;

// Calls run(position, length, copy) for each run of the mask, lengths clipped to the 256 cells; where the mask
// stops early (a zero run, the end of its bytes) the cells left make one skip run.
template <class Run>
void ForEachRun(RunMask mask, Run&& run) {
  int position = 0;
  for (size_t at = 0; position < kCells && mask.bytes && at < mask.size; ++at) {
    const uint8_t byte = mask.bytes[at];
    const int length = std::min<int>(byte & 0x7F, kCells - position);
    if (length == 0) break;
    run(position, length, (byte & 0x80) != 0);
    position += length;
  }
  if (position < kCells) run(position, kCells - position, false);
}

// The same runs cut at row ends: segment(row, column, cells, copy).
template <class Segment>
void ForEachSegment(RunMask mask, Segment&& segment) {
  ForEachRun(mask, [&](int position, int length, bool copy) {
    while (length > 0) {
      const int column = position & 15, n = std::min(length, 16 - column);
      segment(position >> 4, column, n, copy);
      position += n;
      length -= n;
    }
  });
}

// A stream: texels in order from a start, wrapping inside the source.
template <typename T>
struct Stream {
  const T* texels;
  size_t count, at;
  Stream(TexelSource<T> s, size_t start) : texels(s.texels), count(s.texels ? s.count : 0), at(count ? start % count : 0) {}
  void Take(T* out, size_t n) {
    if (count == 0) {
      std::fill(out, out + n, T{});
      return;
    }
    while (n > 0) {
      const size_t k = std::min(n, count - at);
      std::memcpy(out, texels + at, k * sizeof(T));
      out += k;
      n -= k;
      at += k;
      if (at == count) at = 0;
    }
  }
  T Pixel(int, int) {
    T t{};
    Take(&t, 1);
    return t;
  }
  // The pixels of `cells` cells from (row, column) in a tile of cell size C: pixel row by pixel row.
  template <int C>
  void Put(T* tile, int row, int column, int cells) {
    for (int y = 0; y < C; ++y) Take(tile + static_cast<size_t>(row * C + y) * (16 * C) + column * C, static_cast<size_t>(cells) * C);
  }
};

// A 64 x 64 image; 16-texel tiles read every fourth texel of every fourth row from a start column.
template <typename T>
struct Image {
  const T* texels;
  size_t count;
  int column;
  Image(TexelSource<T> s, int start) : texels(s.texels), count(s.texels ? s.count : 0), column(start) {}
  T At(int y, int x) const {
    const size_t i = static_cast<size_t>(y) * kImageSide + x;
    return i < count ? texels[i] : T{};
  }
  T Pixel(int y, int x) const { return At(y, x); }
  template <int C>
  void Put(T* tile, int row, int column0, int cells) const {
    if constexpr (C == 1) {
      T* out = tile + row * 16 + column0;
      for (int i = 0; i < cells; ++i) out[i] = At(4 * row, 4 * (column0 + i) + column);
    } else {
      for (int y = 0; y < C; ++y) {
        const int py = row * C + y, px = column0 * C, n = cells * C;
        T* out = tile + static_cast<size_t>(py) * (16 * C) + px;
        const size_t first = static_cast<size_t>(py) * kImageSide + px;
        if (first + n <= count) std::memcpy(out, texels + first, static_cast<size_t>(n) * sizeof(T));
        else
          for (int x = 0; x < n; ++x) out[x] = At(py, px + x);
      }
    }
  }
};

// An overlay's skip cells: the tile keeps what it holds.
template <typename T>
struct Keep {
  template <int C>
  void Put(T*, int, int, int) {}
};

template <int C, typename T, class A, class B>
void DecodePlain(A& a, B& b, RunMask mask, T* tile) {
  if constexpr (C == 1) {
    // Cells are texels: a run is one stretch of the tile, wherever its rows end.
    ForEachRun(mask, [&](int position, int length, bool copy) {
      if constexpr (std::is_same_v<A, Stream<T>> && std::is_same_v<B, Stream<T>>) {
        (copy ? b : a).Take(tile + position, static_cast<size_t>(length));
      } else {
        while (length > 0) {
          const int column = position & 15, n = std::min(length, 16 - column);
          if (copy) b.template Put<1>(tile, position >> 4, column, n);
          else a.template Put<1>(tile, position >> 4, column, n);
          position += n;
          length -= n;
        }
      }
    });
  } else {
    ForEachSegment(mask, [&](int row, int column, int n, bool copy) {
      if (copy) b.template Put<C>(tile, row, column, n);
      else a.template Put<C>(tile, row, column, n);
    });
  }
}

uint8_t RandomStart() { return RandomNextByte(); }
int RandomColumn() { return RandomNextByte() & 3; }

template <int C, typename T>
void MixStreamsRandom(TexelSource<T> sa, TexelSource<T> sb, RunMask mask, T* tile) {
  Stream<T> a(sa, RandomStart());
  Stream<T> b(sb, RandomStart());
  DecodePlain<C>(a, b, mask, tile);
}

// ---- smoothing ---------------------------------------------------------------------------------------------------

struct Offset {
  int8_t y, x;
};

// Where a copy run's end cells draw in a smoothed 64-texel tile, in the order a stream gives them.
constexpr Offset kSingleOpen64[] = {{1, 1}, {1, 2}, {1, 1}, {2, 1}, {2, 2}, {3, 0}, {3, 1}, {3, 2}, {3, 3}};
constexpr Offset kFirstOpen64[] = {{1, 3}, {2, 2}, {2, 3}, {3, 1}, {3, 2}, {3, 3}};
constexpr Offset kLastOpen64[] = {{1, 0}, {2, 0}, {2, 1}, {3, 0}, {3, 1}, {3, 2}};
constexpr Offset kFirstShort64[] = {{0, -3}, {0, -2}, {0, -1}, {1, -2}, {1, -1}, {2, -1}};
constexpr Offset kFirstFull64[] = {{0, -6}, {0, -5}, {2, -2}, {2, -1}, {0, -4}, {0, -3},
                                   {0, -2}, {0, -1}, {1, -4}, {1, -3}, {1, -2}, {1, -1}};
constexpr Offset kLastShort64[] = {{0, 4}, {0, 5}, {0, 6}, {1, 4}, {1, 5}, {2, 4}};
constexpr Offset kLastFull64[] = {{0, 8}, {0, 9}, {2, 4}, {2, 5}, {0, 4}, {0, 5},
                                  {0, 6}, {0, 7}, {1, 4}, {1, 5}, {1, 6}, {1, 7}};
constexpr Offset kCell64[] = {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 0}, {1, 1}, {1, 2}, {1, 3},
                              {2, 0}, {2, 1}, {2, 2}, {2, 3}, {3, 0}, {3, 1}, {3, 2}, {3, 3}};
constexpr Offset kCell32[] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};

template <typename T, int C, class Src, size_t N>
void PutPixels(T* tile, Src& src, int row, int column, const Offset (&offsets)[N]) {
  for (const Offset& o : offsets) {
    const int y = row * C + o.y, x = column * C + o.x;
    tile[static_cast<size_t>(y) * (16 * C) + x] = src.Pixel(y, x);
  }
}

template <typename T, int C, class Src>
void PutPixel(T* tile, Src& src, int row, int column, int dy, int dx) {
  const Offset one[1] = {{static_cast<int8_t>(dy), static_cast<int8_t>(dx)}};
  PutPixels<T, C>(tile, src, row, column, one);
}

// What a copy run in a later row sees above it.
struct Above {
  bool first, left, left2, last, right, right2;
};
Above LookAbove(const SmoothHistory& h, int cells) {
  SmoothHistory end = h;
  end.Skip(cells - 1);
  return {h.Bit(17), h.Bit(18), h.Bit(19), end.Bit(17), end.Bit(16), end.Bit(15)};
}

// The inner cells of a run (all but its ends), pixel row by pixel row.
template <int C, typename T, class Src>
void PutInner(T* tile, Src& src, int row, int column, int cells) {
  if (cells > 2) src.template Put<C>(tile, row, column + 1, cells - 2);
}

template <typename T, class Src>
void Smooth32Segment(T* tile, Src& src, const Above& a, int row, int column, int cells) {
  const int last = column + cells - 1;
  if (!a.first) {
    PutPixel<T, 2>(tile, src, row, column, 1, 1);
  } else {
    if (a.left) PutPixel<T, 2>(tile, src, row, column, 0, -1);
    if (a.left && a.left2) PutPixel<T, 2>(tile, src, row, column, 0, -2);
    PutPixels<T, 2>(tile, src, row, column, kCell32);
  }
  PutInner<2>(tile, src, row, column, cells);
  if (!a.last) {
    PutPixel<T, 2>(tile, src, row, last, 1, 0);
  } else {
    if (a.right) PutPixel<T, 2>(tile, src, row, last, 0, 2);
    if (a.right && a.right2) PutPixel<T, 2>(tile, src, row, last, 0, 3);
    PutPixels<T, 2>(tile, src, row, last, kCell32);
  }
}

// One end cell of a run in a smoothed 64-texel tile: the open staircase under a skip cell, else the extension
// toward the copy cells beside the one above (short or full) and the whole cell.
template <typename T, class Src, size_t O, size_t S, size_t F>
void End64(T* tile, Src& src, int row, int column, bool above, bool near, bool far, const Offset (&open)[O],
           const Offset (&shortExtension)[S], const Offset (&fullExtension)[F]) {
  if (!above) {
    PutPixels<T, 4>(tile, src, row, column, open);
    return;
  }
  if (near && far) PutPixels<T, 4>(tile, src, row, column, fullExtension);
  else if (near) PutPixels<T, 4>(tile, src, row, column, shortExtension);
  PutPixels<T, 4>(tile, src, row, column, kCell64);
}

template <typename T, class Src>
void Smooth64Segment(T* tile, Src& src, const Above& a, int row, int column, int cells) {
  if (cells == 1 && !a.first) {
    PutPixels<T, 4>(tile, src, row, column, kSingleOpen64);
    return;
  }
  End64(tile, src, row, column, a.first, a.left, a.left2, kFirstOpen64, kFirstShort64, kFirstFull64);
  PutInner<4>(tile, src, row, column, cells);
  End64(tile, src, row, column + cells - 1, a.last, a.right, a.right2, kLastOpen64, kLastShort64, kLastFull64);
}

// An overlay through a smoothed mask: the first cell row plainly, later rows with their stair steps rounded off.
template <int C, typename T, class Src>
void OverlaySmooth(Src& src, RunMask mask, T* tile) {
  SmoothHistory h;
  ForEachSegment(mask, [&](int row, int column, int n, bool copy) {
    if (column == 0 && row > 0) h.NewRow();
    if (!copy) {
      h.Skip(n);
      return;
    }
    if (row == 0) {
      src.template Put<C>(tile, row, column, n);
    } else {
      const Above a = LookAbove(h, n);
      if constexpr (C == 2) Smooth32Segment(tile, src, a, row, column, n);
      else Smooth64Segment(tile, src, a, row, column, n);
    }
    h.Copy(n);
  });
}

template <typename T>
void CopyWhole(TexelSource<T> a, T* tile, size_t texels) {
  Stream<T> s(a, 0);
  s.Take(tile, texels);
}

// Mask tiles: one value a cell, and with `soft` the edge value on the first cell of a run that changes kind in
// mid-row.
template <typename T>
void DecodeMaskTile(RunMask mask, T* tile, T copy, T skip, bool soft, T edge) {
  int previous = -1;
  ForEachRun(mask, [&](int position, int length, bool isCopy) {
    const T value = isCopy ? copy : skip;
    std::fill(tile + position, tile + position + length, value);
    if (soft && previous >= 0 && previous != static_cast<int>(isCopy) && (position & 15) != 0) tile[position] = edge;
    previous = isCopy;
  });
}

}  // namespace

// ---- 16 x 16 -----------------------------------------------------------------------------------------------------
#define TEEBOX_MIX16(Name, T, SrcA, SrcB, StartA, StartB)             \
  void Name(TexelSource<T> sa, TexelSource<T> sb, RunMask mask, T* tile) { \
    SrcA<T> a(sa, StartA());                                           \
    SrcB<T> b(sb, StartB());                                           \
    DecodePlain<1>(a, b, mask, tile);                                  \
  }
TEEBOX_MIX16(MixStreams16, uint8_t, Stream, Stream, RandomStart, RandomStart)
TEEBOX_MIX16(MixImageStream16, uint8_t, Image, Stream, RandomColumn, RandomStart)
TEEBOX_MIX16(MixStreamImage16, uint8_t, Stream, Image, RandomStart, RandomColumn)
TEEBOX_MIX16(MixImages16, uint8_t, Image, Image, RandomColumn, RandomColumn)
TEEBOX_MIX16(MixStreams16Wide, uint16_t, Stream, Stream, RandomStart, RandomStart)
TEEBOX_MIX16(MixImageStream16Wide, uint16_t, Image, Stream, RandomColumn, RandomStart)
TEEBOX_MIX16(MixStreamImage16Wide, uint16_t, Stream, Image, RandomStart, RandomColumn)
TEEBOX_MIX16(MixImages16Wide, uint16_t, Image, Image, RandomColumn, RandomColumn)
#undef TEEBOX_MIX16

#define TEEBOX_MIX64(Name, T, SrcA, SrcB)                               \
  void Name(TexelSource<T> sa, TexelSource<T> sb, RunMask mask, T* tile) { \
    SrcA<T> a(sa, 0);                                                  \
    SrcB<T> b(sb, 0);                                                  \
    DecodePlain<4>(a, b, mask, tile);                                  \
  }
TEEBOX_MIX64(MixStreams64, uint8_t, Stream, Stream)
TEEBOX_MIX64(MixImageStream64, uint8_t, Image, Stream)
TEEBOX_MIX64(MixStreamImage64, uint8_t, Stream, Image)
TEEBOX_MIX64(MixImages64, uint8_t, Image, Image)
TEEBOX_MIX64(MixStreams64Wide, uint16_t, Stream, Stream)
TEEBOX_MIX64(MixImageStream64Wide, uint16_t, Image, Stream)
TEEBOX_MIX64(MixStreamImage64Wide, uint16_t, Stream, Image)
TEEBOX_MIX64(MixImages64Wide, uint16_t, Image, Image)
#undef TEEBOX_MIX64

#define TEEBOX_OVERLAY(Name, T, C, Src, Start)            \
  void Name(TexelSource<T> so, RunMask mask, T* tile) {   \
    Keep<T> keep;                                         \
    Src<T> o(so, Start);                                  \
    DecodePlain<C>(keep, o, mask, tile);                  \
  }
TEEBOX_OVERLAY(OverlayStream16, uint8_t, 1, Stream, RandomStart())
TEEBOX_OVERLAY(OverlayImage16, uint8_t, 1, Image, RandomColumn())
TEEBOX_OVERLAY(OverlayStream16Wide, uint16_t, 1, Stream, RandomStart())
TEEBOX_OVERLAY(OverlayImage16Wide, uint16_t, 1, Image, RandomColumn())
TEEBOX_OVERLAY(OverlayStream32, uint8_t, 2, Stream, RandomStart())
TEEBOX_OVERLAY(OverlayStream64, uint8_t, 4, Stream, 0)
TEEBOX_OVERLAY(OverlayImage64, uint8_t, 4, Image, 0)
TEEBOX_OVERLAY(OverlayStream64Wide, uint16_t, 4, Stream, 0)
TEEBOX_OVERLAY(OverlayImage64Wide, uint16_t, 4, Image, 0)
#undef TEEBOX_OVERLAY

void MixStreams32(Source8 sa, Source8 sb, RunMask mask, uint8_t* tile) {
  Stream<uint8_t> a(sa, 0);
  Stream<uint8_t> b(sb, RandomStart());
  DecodePlain<2>(a, b, mask, tile);
}

void OverlayStream32Smooth(Source8 so, RunMask mask, uint8_t* tile) {
  Stream<uint8_t> o(so, RandomStart());
  OverlaySmooth<2>(o, mask, tile);
}

void CopyMix32Smooth(Source8 a, Source8 b, RunMask mask, uint8_t* tile) {
  CopyWhole(a, tile, 32 * 32);
  OverlayStream32Smooth(b, mask, tile);
}

void OverlayStream64Smooth(Source8 so, RunMask mask, uint8_t* tile) {
  Stream<uint8_t> o(so, 0);
  OverlaySmooth<4>(o, mask, tile);
}

void OverlayImage64Smooth(Source8 so, RunMask mask, uint8_t* tile) {
  Image<uint8_t> o(so, 0);
  OverlaySmooth<4>(o, mask, tile);
}

void CopyMix64Smooth(Source8 a, Source8 b, RunMask mask, uint8_t* tile) {
  CopyWhole(a, tile, 64 * 64);
  OverlayStream64Smooth(b, mask, tile);
}

void CopyMixImage64Smooth(Source8 a, Source8 b, RunMask mask, uint8_t* tile) {
  CopyWhole(a, tile, 64 * 64);
  OverlayImage64Smooth(b, mask, tile);
}

// ---- mask tiles --------------------------------------------------------------------------------------------------
void DecodeMask16(RunMask mask, uint8_t* tile) { DecodeMaskTile<uint8_t>(mask, tile, kMaskShadow, kMaskClear, false, 0); }
void DecodeMask16Soft(RunMask mask, uint8_t* tile) {
  DecodeMaskTile<uint8_t>(mask, tile, kMaskShadow, kMaskClear, true, kMaskSoft);
}
void DecodeAlphaMask8(RunMask mask, uint8_t* tile) { DecodeMaskTile<uint8_t>(mask, tile, kAlpha8Shadow, 0, false, 0); }
void DecodeAlphaMask16(RunMask mask, uint16_t* tile) {
  DecodeMaskTile<uint16_t>(mask, tile, kAlpha16Shadow, 0, false, 0);
}
void DecodeAlphaMask8Soft(RunMask mask, uint8_t* tile) {
  DecodeMaskTile<uint8_t>(mask, tile, kAlpha8Shadow, 0, true, kAlpha8Soft);
}
void DecodeAlphaMask16Soft(RunMask mask, uint16_t* tile) {
  DecodeMaskTile<uint16_t>(mask, tile, kAlpha16Shadow, 0, true, kAlpha16Soft);
}

void DecodeMask32Smooth(RunMask mask, uint8_t* tile) {
  std::fill(tile, tile + 32 * 32, kMaskClear);
  auto put = [tile](int row, int column, int dy, int dx, uint8_t value) {
    tile[static_cast<size_t>(row * 2 + dy) * 32 + column * 2 + dx] = value;
  };
  auto cell = [&](int row, int column) {
    for (int dy = 0; dy < 2; ++dy)
      for (int dx = 0; dx < 2; ++dx) put(row, column, dy, dx, kMaskShadow);
  };
  SmoothHistory h;
  ForEachSegment(mask, [&](int row, int column, int n, bool copy) {
    if (column == 0 && row > 0) h.NewRow();
    if (!copy) {
      h.Skip(n);
      return;
    }
    const int last = column + n - 1;
    if (row == 0) {
      for (int c = column; c <= last; ++c) cell(row, c);
      for (int dy = 0; dy < 2; ++dy) {
        if (column > 0) put(row, column, dy, 0, kMaskSoft);
        if (last < 15) put(row, last, dy, 1, kMaskSoft);
      }
    } else {
      const Above a = LookAbove(h, n);
      if (!a.first) {
        put(row, column, 1, 1, kMaskSoft);
        if (column < 15) put(row, column, 0, 2, kMaskSoft);
      } else {
        cell(row, column);
        if (a.left) {
          put(row, column, 0, -1, kMaskSoft);
          put(row, column, 1, 0, kMaskSoft);
        }
        if (a.left && a.left2) put(row, column, 0, -2, kMaskSoft);
      }
      for (int c = column + 1; c < last; ++c) cell(row, c);
      if (!a.last) {
        put(row, last, 1, 0, kMaskSoft);
        if (last > 0) put(row, last, 0, -1, kMaskSoft);
      } else {
        cell(row, last);
        if (a.right) {
          put(row, last, 0, 2, kMaskSoft);
          put(row, last, 1, 1, kMaskSoft);
        }
        if (a.right && a.right2) put(row, last, 0, 3, kMaskSoft);
      }
    }
    h.Copy(n);
  });
}
