// Fuzz entry: the input is a run-length mask as a hole file holds it, fed to every decoder with sources shorter
// than a tile, so that a decoder that reads or writes past its tile, its mask or its sources is caught.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/runmask.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const RunMask mask{data, size};
  static const std::vector<uint8_t> a(300, 1), b(301, 2), image(4096, 3);
  static const std::vector<uint16_t> a16(300, 1), b16(301, 2), image16(4096, 3);
  const Source8 sa{a.data(), a.size()}, sb{b.data(), b.size()}, si{image.data(), image.size()};
  const Source16 wa{a16.data(), a16.size()}, wb{b16.data(), b16.size()}, wi{image16.data(), image16.size()};
  std::vector<uint8_t> t16(16 * 16), t32(32 * 32), t64(64 * 64);
  std::vector<uint16_t> w16(16 * 16), w64(64 * 64);
  MixStreams16(sa, sb, mask, t16.data());
  MixImageStream16(si, sb, mask, t16.data());
  MixStreamImage16(sa, si, mask, t16.data());
  MixImages16(si, si, mask, t16.data());
  OverlayStream16(sb, mask, t16.data());
  OverlayImage16(si, mask, t16.data());
  MixStreams32(sa, sb, mask, t32.data());
  OverlayStream32(sb, mask, t32.data());
  OverlayStream32Smooth(sb, mask, t32.data());
  CopyMix32Smooth(sa, sb, mask, t32.data());
  MixStreams64(sa, sb, mask, t64.data());
  MixImageStream64(si, sb, mask, t64.data());
  MixStreamImage64(sa, si, mask, t64.data());
  MixImages64(si, si, mask, t64.data());
  OverlayStream64(sb, mask, t64.data());
  OverlayImage64(si, mask, t64.data());
  OverlayStream64Smooth(sb, mask, t64.data());
  OverlayImage64Smooth(si, mask, t64.data());
  CopyMix64Smooth(sa, sb, mask, t64.data());
  CopyMixImage64Smooth(sa, si, mask, t64.data());
  MixStreams16Wide(wa, wb, mask, w16.data());
  MixImageStream16Wide(wi, wb, mask, w16.data());
  MixStreamImage16Wide(wa, wi, mask, w16.data());
  MixImages16Wide(wi, wi, mask, w16.data());
  OverlayStream16Wide(wb, mask, w16.data());
  OverlayImage16Wide(wi, mask, w16.data());
  MixStreams64Wide(wa, wb, mask, w64.data());
  MixImageStream64Wide(wi, wb, mask, w64.data());
  MixStreamImage64Wide(wa, wi, mask, w64.data());
  MixImages64Wide(wi, wi, mask, w64.data());
  OverlayStream64Wide(wb, mask, w64.data());
  OverlayImage64Wide(wi, mask, w64.data());
  DecodeMask16(mask, t16.data());
  DecodeMask16Soft(mask, t16.data());
  DecodeMask32Smooth(mask, t32.data());
  DecodeAlphaMask8(mask, t16.data());
  DecodeAlphaMask16(mask, w16.data());
  DecodeAlphaMask8Soft(mask, t16.data());
  DecodeAlphaMask16Soft(mask, w16.data());
  return 0;
}
