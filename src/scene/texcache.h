// The texture cache of the hardware path: pools of 3D-interface textures allocated once per display mode, grouped
// by size and format, handed to owners under a stamp and taken back from the least valuable slot when a pool is
// full; staging pools in system memory hold tiles the program composes before they are copied to a video slot.
#pragma once

#include <cstdint>
#include <vector>

struct TexturePoolDesc {
  uint8_t widthKey, heightKey;  // size - 1
  uint8_t format;
  uint8_t paletteFlag;  // 4 for palettised formats
  uint32_t slots;       // 0 ends a table
  uint32_t reserved;
};

struct TextureCachePool;

struct TextureCacheEntry {
  uint32_t inUse = 0;
  uint32_t lock = 0;
  uint8_t weight = 0;
  uint32_t lastUsed = 0;
  uint32_t stamp = 0xFFFFFFFFu;
  float uScale = 1.0f, vScale = 1.0f;
  TextureCacheEntry* partner = nullptr;
  TextureCachePool* pool = nullptr;
  intptr_t texture = 0;  // the 3D interface's handle, or the staging piece's address
  TextureCacheEntry** owner = nullptr;
};

struct TextureCachePool {
  uint8_t widthKey = 0, heightKey = 0, format = 0, paletteFlag = 0;
  uint32_t slots = 0;
  uint32_t reserved = 0;
  std::vector<TextureCacheEntry> entries;
  std::vector<TextureCacheEntry*> byStamp;     // ascending by stamp
  std::vector<TextureCacheEntry*> candidates;  // ascending by KeepScore
  uint32_t nextCandidate = 0;
  std::vector<uint8_t> staging;  // staging pools: 16-byte header and pixels per slot
  uint8_t kind = 0;              // 0 staging, 1 video
};

// Texel bytes of the 3D interface's texture formats 0..11.
int TexelBytes(int format);

int CreateTextureCache(const TexturePoolDesc* staging, const TexturePoolDesc* video, uint32_t* videoBytes);
int GrowTextureCachePools(const TexturePoolDesc* staging, const TexturePoolDesc* video, uint32_t* videoBytes);
int ResetTextureCache();
void ClearTextureCache();
bool TextureCacheActive();
// Moves on at each creation and clearing: what callers keep beside the cache under its stamps is stale then.
uint32_t TextureCacheGeneration();
uint32_t TextureCacheFrame();
void AdvanceTextureCacheFrame(uint32_t n);
const std::vector<TextureCachePool*>& TextureCachePools(int kind);

int32_t KeepScore(const TextureCacheEntry& entry);
TextureCacheEntry* SelectCacheEntry(TextureCachePool* pool);
intptr_t UseCachedTexture(TextureCacheEntry* entry);
int TextureHandleIsValid(const TextureCacheEntry* entry, uint32_t stamp);
// image: a shape (16-byte header, u16 width and height at bytes 4 and 6, then the pixels).
TextureCacheEntry* UploadCachedTexture(const uint8_t* image, int side, int format, int paletteFlag, uint32_t stamp,
                                       uint8_t weight, const void* palette, TextureCacheEntry** owner);
TextureCacheEntry* AllocStagingTexture(int width, int height, int format, int paletteFlag, uint32_t stamp,
                                       uint8_t weight, TextureCacheEntry** owner);
TextureCacheEntry* CopyStagingToVideo(TextureCacheEntry* staging, uint8_t weight, const void* palette,
                                      TextureCacheEntry** owner);
TextureCacheEntry* FindCachedTexture(uint32_t stamp, int kind, int sizeKey, int format);
void ReleaseCachedTexture(TextureCacheEntry* entry, bool alsoPartner);
int RoundTextureSize(int n);
void SetOverlayEffectMode(int32_t mode);
int32_t OverlayEffectMode();

// The pool tables of the two configurations: A (Glide and software modules) and B (the others). `depthOrDetail`
// is "Object Texture Depth" for A and "Terrain Detail" for B.
struct TexturePoolTables {
  const TexturePoolDesc* baseStaging;
  const TexturePoolDesc* extraStaging;
  const TexturePoolDesc* baseVideo;
  const TexturePoolDesc* extraVideo;
};
TexturePoolTables PoolTablesFor(bool configurationA, int depthOrDetail);
// The video-mode set-up of the hardware path: creates the cache with the base tables and grows it while the video
// bytes stay below the budget. Returns the video bytes used.
uint32_t SetUpTextureCache(bool configurationA, int objectTextureDepth, int terrainDetail);
