// Run-length masks and the decoders that turn a mask and its source textures into a tile texture or a mask tile.
//
// A mask covers 16 x 16 cells row by row with run bytes: bit 7 the kind (1 copy: texture B, the overlay or the
// shadow; 0 skip: texture A or nothing), bits 0-6 the length. Runs go on across row ends. A cell is one texel of a
// 16-texel tile, 2 x 2 of a 32-texel tile, 4 x 4 of a 64-texel tile.
//
// Masks come from hole files, so a decoder trusts nothing in them: it stops at 256 cells, at a run of length 0
// and at the end of the mask's bytes, and the cells not reached are decoded as one skip run. Streams are read
// wrapping inside their source, however many texels a decoder takes.
//
// Sources: a stream gives its texels in order, one per destination pixel that takes it; an image is 64 x 64 and a
// pixel takes the texel at its own place (16-texel tiles sample every fourth texel of every fourth row, from a
// random start column). 16- and 32-texel decoders take their random starts from the shared random table, in the
// order the names give (A, then B); 64-texel decoders start every source at its first texel.
#pragma once

#include <cstddef>
#include <cstdint>

struct RunMask {
  const uint8_t* bytes = nullptr;
  size_t size = 0;
};

// A source texture: `count` texels readable from `texels` (a 64 x 64 image has 4096).
template <typename T>
struct TexelSource {
  const T* texels = nullptr;
  size_t count = 0;
};
using Source8 = TexelSource<uint8_t>;
using Source16 = TexelSource<uint16_t>;

// Entry n has its low n bits set (n = 0..16), twice over.
extern const uint32_t RunMaskTable[34];

// Mask-tile values: shadow masks and alpha masks for the 3D card.
constexpr uint8_t kMaskClear = 0xFF, kMaskShadow = 0xFE, kMaskSoft = 0xFD;
constexpr uint8_t kAlpha8Shadow = 0x40, kAlpha8Soft = 0x20;
constexpr uint16_t kAlpha16Shadow = 0x4000, kAlpha16Soft = 0x2000;

// ---- 16 x 16 tiles, 8-bit ----------------------------------------------------------------------------------------
void MixStreams16(Source8 a, Source8 b, RunMask mask, uint8_t* tile);
void MixImageStream16(Source8 a, Source8 b, RunMask mask, uint8_t* tile);
void MixStreamImage16(Source8 a, Source8 b, RunMask mask, uint8_t* tile);
void MixImages16(Source8 a, Source8 b, RunMask mask, uint8_t* tile);
void OverlayStream16(Source8 overlay, RunMask mask, uint8_t* tile);
void OverlayImage16(Source8 overlay, RunMask mask, uint8_t* tile);
// ---- 32 x 32 tiles, 8-bit ----------------------------------------------------------------------------------------
void MixStreams32(Source8 a, Source8 b, RunMask mask, uint8_t* tile);
void OverlayStream32(Source8 overlay, RunMask mask, uint8_t* tile);
void OverlayStream32Smooth(Source8 overlay, RunMask mask, uint8_t* tile);
void CopyMix32Smooth(Source8 a, Source8 b, RunMask mask, uint8_t* tile);
// ---- 64 x 64 tiles, 8-bit ----------------------------------------------------------------------------------------
void MixStreams64(Source8 a, Source8 b, RunMask mask, uint8_t* tile);
void MixImageStream64(Source8 a, Source8 b, RunMask mask, uint8_t* tile);
void MixStreamImage64(Source8 a, Source8 b, RunMask mask, uint8_t* tile);
void MixImages64(Source8 a, Source8 b, RunMask mask, uint8_t* tile);
void OverlayStream64(Source8 overlay, RunMask mask, uint8_t* tile);
void OverlayImage64(Source8 overlay, RunMask mask, uint8_t* tile);
void OverlayStream64Smooth(Source8 overlay, RunMask mask, uint8_t* tile);
void OverlayImage64Smooth(Source8 overlay, RunMask mask, uint8_t* tile);
void CopyMix64Smooth(Source8 a, Source8 b, RunMask mask, uint8_t* tile);
void CopyMixImage64Smooth(Source8 a, Source8 b, RunMask mask, uint8_t* tile);
// ---- 16-bit texels -----------------------------------------------------------------------------------------------
void MixStreams16Wide(Source16 a, Source16 b, RunMask mask, uint16_t* tile);
void MixImageStream16Wide(Source16 a, Source16 b, RunMask mask, uint16_t* tile);
void MixStreamImage16Wide(Source16 a, Source16 b, RunMask mask, uint16_t* tile);
void MixImages16Wide(Source16 a, Source16 b, RunMask mask, uint16_t* tile);
void OverlayStream16Wide(Source16 overlay, RunMask mask, uint16_t* tile);
void OverlayImage16Wide(Source16 overlay, RunMask mask, uint16_t* tile);
void MixStreams64Wide(Source16 a, Source16 b, RunMask mask, uint16_t* tile);
void MixImageStream64Wide(Source16 a, Source16 b, RunMask mask, uint16_t* tile);
void MixStreamImage64Wide(Source16 a, Source16 b, RunMask mask, uint16_t* tile);
void MixImages64Wide(Source16 a, Source16 b, RunMask mask, uint16_t* tile);
void OverlayStream64Wide(Source16 overlay, RunMask mask, uint16_t* tile);
void OverlayImage64Wide(Source16 overlay, RunMask mask, uint16_t* tile);
// ---- mask tiles --------------------------------------------------------------------------------------------------
void DecodeMask16(RunMask mask, uint8_t* tile);      // 16 x 16: copy 0xFE, skip 0xFF
void DecodeMask16Soft(RunMask mask, uint8_t* tile);  // and 0xFD where a run of the other kind starts mid-row
void DecodeMask32Smooth(RunMask mask, uint8_t* tile);
void DecodeAlphaMask8(RunMask mask, uint8_t* tile);
void DecodeAlphaMask16(RunMask mask, uint16_t* tile);
void DecodeAlphaMask8Soft(RunMask mask, uint8_t* tile);
void DecodeAlphaMask16Soft(RunMask mask, uint16_t* tile);

// The smoothing decoders' history of copy cells: one bit a cell, two empty bits between rows, so that at a cell of
// column c bit 17 tells the cell above, 18 the one above-left and 19 the one two to the left above.
struct SmoothHistory {
  uint32_t bits = 0;
  void NewRow() { bits <<= 2; }
  void Skip(int cells) { bits = cells >= 32 ? 0 : bits << cells; }
  void Copy(int cells) { bits = (cells >= 32 ? 0 : bits << cells) | RunMaskTable[cells > 16 ? 16 : cells]; }
  bool Bit(int n) const { return ((bits >> n) & 1) != 0; }
};
