// The texture cache's pool tables and the video-mode set-up that builds the cache from them.
#include <cstdint>

#include "scene/texcache.h"

namespace {

constexpr TexturePoolDesc P(int w, int h, int format, int flag, uint32_t slots) {
  return {static_cast<uint8_t>(w - 1), static_cast<uint8_t>(h - 1), static_cast<uint8_t>(format),
          static_cast<uint8_t>(flag), slots, 0};
}
constexpr TexturePoolDesc kEnd{0, 0, 0, 0, 0, 0};

// Configuration A: Glide and the software module.
const TexturePoolDesc kABaseStaging[] = {P(16, 16, 2, 4, 2048), P(16, 16, 8, 0, 2048), P(64, 64, 2, 4, 100), kEnd};
const TexturePoolDesc kAExtraStaging[] = {P(16, 16, 2, 4, 250), P(16, 16, 8, 0, 250), kEnd};
const TexturePoolDesc kABaseVideo0[] = {
    P(8, 8, 3, 0, 5),        P(16, 16, 3, 0, 6),      P(32, 32, 3, 0, 12),     P(64, 64, 3, 0, 11),
    P(128, 128, 3, 0, 9),    P(256, 256, 3, 0, 5),    P(16, 16, 2, 4, 492),    P(64, 64, 2, 4, 30),
    P(128, 128, 2, 4, 1),    P(256, 256, 2, 4, 5),    P(256, 256, 4, 0, 1),    P(16, 16, 9, 4, 1),
    P(64, 64, 9, 4, 1),      P(32, 32, 9, 4, 1),      P(256, 256, 9, 4, 1),    P(128, 128, 9, 4, 1),
    P(16, 16, 8, 0, 500),    kEnd};
const TexturePoolDesc kAExtraVideo0[] = {
    P(8, 8, 3, 0, 2),     P(16, 16, 3, 0, 2),   P(32, 32, 3, 0, 5),    P(64, 64, 3, 0, 5),
    P(128, 128, 3, 0, 3), P(256, 256, 3, 0, 1), P(16, 16, 2, 4, 250),  P(256, 256, 2, 4, 3),
    P(256, 256, 9, 4, 1), P(128, 128, 9, 4, 1), P(16, 16, 8, 0, 250),  kEnd};
const TexturePoolDesc kABaseVideo1[] = {
    P(8, 8, 2, 4, 10),     P(16, 16, 2, 4, 496),  P(32, 32, 2, 4, 19),  P(64, 64, 2, 4, 42),
    P(128, 128, 2, 4, 18), P(256, 256, 2, 4, 16), P(256, 256, 4, 0, 1), P(16, 16, 9, 4, 1),
    P(64, 64, 9, 4, 1),    P(32, 32, 9, 4, 1),    P(256, 256, 9, 4, 1), P(128, 128, 9, 4, 1),
    P(16, 16, 8, 0, 500),  kEnd};
const TexturePoolDesc kAExtraVideo1[] = {
    P(8, 8, 2, 4, 5),     P(16, 16, 2, 4, 250),  P(32, 32, 2, 4, 10),   P(64, 64, 2, 4, 21),
    P(128, 128, 2, 4, 8), P(256, 256, 2, 4, 7),  P(256, 256, 9, 4, 1),  P(128, 128, 9, 4, 1),
    P(16, 16, 8, 0, 250), kEnd};

// Configuration B: Direct3D and the others.
const TexturePoolDesc kBBaseStaging[] = {P(16, 16, 4, 0, 1024), P(16, 16, 3, 0, 350), P(16, 16, 7, 0, 1024),
                                         P(64, 64, 4, 0, 1),    P(64, 64, 3, 0, 1),   kEnd};
const TexturePoolDesc kBExtraStaging[] = {P(16, 16, 4, 0, 100), P(16, 16, 3, 0, 30), P(16, 16, 7, 0, 100),
                                          P(64, 64, 4, 0, 1),   P(64, 64, 3, 0, 1),  kEnd};
const TexturePoolDesc kBBaseVideo0[] = {
    P(16, 16, 4, 0, 320), P(8, 8, 7, 0, 5),      P(16, 16, 7, 0, 268), P(32, 32, 7, 0, 8),
    P(64, 64, 7, 0, 23),  P(128, 128, 7, 0, 18), P(256, 256, 7, 0, 1), P(16, 16, 3, 0, 85),
    P(64, 64, 3, 0, 9),   P(256, 256, 3, 0, 1),  P(32, 32, 4, 0, 1),   P(64, 64, 4, 0, 40), kEnd};
const TexturePoolDesc kBBaseVideo1[] = {
    P(16, 16, 4, 0, 320),  P(8, 8, 7, 0, 5),      P(16, 16, 7, 0, 268), P(32, 32, 7, 0, 16),
    P(64, 64, 7, 0, 12),   P(128, 128, 7, 0, 10), P(256, 256, 7, 0, 1), P(16, 16, 3, 0, 30),
    P(64, 64, 3, 0, 1),    P(128, 128, 3, 0, 14), P(256, 256, 3, 0, 1), P(32, 32, 4, 0, 1),
    P(64, 64, 4, 0, 29),   P(128, 128, 4, 0, 11), kEnd};
const TexturePoolDesc kBBaseVideo2[] = {
    P(16, 16, 4, 0, 320), P(8, 8, 7, 0, 5),     P(16, 16, 7, 0, 268), P(32, 32, 7, 0, 12),
    P(64, 64, 7, 0, 8),   P(128, 128, 7, 0, 4), P(256, 256, 7, 0, 3), P(16, 16, 3, 0, 30),
    P(64, 64, 3, 0, 1),   P(256, 256, 3, 0, 4), P(32, 32, 4, 0, 1),   P(64, 64, 4, 0, 29),
    P(256, 256, 4, 0, 3), kEnd};
const TexturePoolDesc kBExtraVideo0[] = {P(16, 16, 4, 0, 150), P(16, 16, 7, 0, 150),  P(64, 64, 7, 0, 11),
                                         P(128, 128, 7, 0, 13), P(256, 256, 7, 0, 3), P(16, 16, 3, 0, 15),
                                         P(64, 64, 3, 0, 4),    kEnd};
const TexturePoolDesc kBExtraVideo1[] = {P(16, 16, 4, 0, 150),  P(16, 16, 7, 0, 150),  P(32, 32, 7, 0, 3),
                                         P(64, 64, 7, 0, 3),    P(128, 128, 7, 0, 3),  P(256, 256, 7, 0, 2),
                                         P(16, 16, 3, 0, 55),   P(128, 128, 3, 0, 7),  P(128, 128, 4, 0, 3),
                                         kEnd};
const TexturePoolDesc kBExtraVideo2[] = {P(16, 16, 4, 0, 150), P(16, 16, 7, 0, 150), P(32, 32, 7, 0, 6),
                                         P(64, 64, 7, 0, 4),   P(128, 128, 7, 0, 2), P(256, 256, 7, 0, 2),
                                         P(16, 16, 3, 0, 15),  P(256, 256, 3, 0, 2), P(256, 256, 4, 0, 1),
                                         kEnd};

}  // namespace

TexturePoolTables PoolTablesFor(bool configurationA, int depthOrDetail) {
  if (configurationA) {
    return depthOrDetail == 0 ? TexturePoolTables{kABaseStaging, kAExtraStaging, kABaseVideo0, kAExtraVideo0}
                              : TexturePoolTables{kABaseStaging, kAExtraStaging, kABaseVideo1, kAExtraVideo1};
  }
  if (depthOrDetail <= 0) return {kBBaseStaging, kBExtraStaging, kBBaseVideo0, kBExtraVideo0};
  if (depthOrDetail == 1) return {kBBaseStaging, kBExtraStaging, kBBaseVideo1, kBExtraVideo1};
  return {kBBaseStaging, kBExtraStaging, kBBaseVideo2, kBExtraVideo2};
}

uint32_t SetUpTextureCache(bool configurationA, int objectTextureDepth, int terrainDetail) {
  if (TextureCacheActive()) return 0;
  const TexturePoolTables t = PoolTablesFor(configurationA, configurationA ? objectTextureDepth : terrainDetail);
  uint32_t bytes = 0;
  const int64_t budget = static_cast<int64_t>((terrainDetail + 1) / 2 + 2) * 1048576 - 256;
  if (CreateTextureCache(t.baseStaging, t.baseVideo, &bytes) == 0 && static_cast<int64_t>(bytes) < budget) {
    uint32_t grown = 0;
    GrowTextureCachePools(t.extraStaging, t.extraVideo, &grown);
    bytes += grown;
  }
  return bytes;
}
