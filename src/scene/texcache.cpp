#include "scene/texcache.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "framework/ui/mousepointer.h"
#include "platformlib/gfx/vortel.h"

namespace {

constexpr int32_t kFreeScore = -233495534;

struct Cache {
  bool active = false;
  uint32_t frame = 0;
  uint32_t generation = 0;  // moves on whenever every binding is dropped
  std::vector<std::unique_ptr<TextureCachePool>> owned;
  std::vector<TextureCachePool*> chain[2];  // 0 staging, 1 video
  int32_t overlayMode = 0;
} gCache;

void ClearOwner(TextureCacheEntry* e) {
  if (e->owner && *e->owner == e) *e->owner = nullptr;
  e->owner = nullptr;
}

void Free(TextureCacheEntry* e) {
  e->inUse = 0;
  e->lock = 0;
  e->weight = 0;
  e->lastUsed = 0;
  e->stamp = 0xFFFFFFFFu;
  e->uScale = e->vScale = 1.0f;
  e->partner = nullptr;
  ClearOwner(e);
}

void IndexRemove(TextureCacheEntry* e) {
  auto& v = e->pool->byStamp;
  auto it = std::lower_bound(v.begin(), v.end(), e->stamp,
                             [](const TextureCacheEntry* a, uint32_t s) { return a->stamp < s; });
  for (; it != v.end() && (*it)->stamp == e->stamp; ++it)
    if (*it == e) {
      v.erase(it);
      return;
    }
}

void IndexInsert(TextureCacheEntry* e) {
  auto& v = e->pool->byStamp;
  auto it = std::lower_bound(v.begin(), v.end(), e->stamp,
                             [](const TextureCacheEntry* a, uint32_t s) { return a->stamp < s; });
  v.insert(it, e);
}

TextureCacheEntry* IndexFind(TextureCachePool* pool, uint32_t stamp) {
  auto& v = pool->byStamp;
  auto it = std::lower_bound(v.begin(), v.end(), stamp,
                             [](const TextureCacheEntry* a, uint32_t s) { return a->stamp < s; });
  return it != v.end() && (*it)->stamp == stamp ? *it : nullptr;
}

TextureCachePool* FindPool(int kind, int widthKey, int heightKey, int format, int flag) {
  for (TextureCachePool* p : gCache.chain[kind])
    if (p->widthKey == widthKey && p->heightKey == heightKey && p->format == format && p->paletteFlag == flag)
      return p;
  return nullptr;
}

size_t PieceBytes(const TextureCachePool& p) {
  return static_cast<size_t>(p.widthKey + 1) * static_cast<size_t>(p.heightKey + 1) *
             static_cast<size_t>(TexelBytes(p.format)) + 16;
}

// Fills the pool's slots (the entries array is rebuilt, so nothing may point into it). Returns 1 when the 3D
// interface ran out of texture memory.
int BuildSlots(TextureCachePool* p, uint32_t count, uint32_t* videoBytes, bool growing) {
  int result = 0;
  const int w = p->widthKey + 1, h = p->heightKey + 1;
  std::vector<TextureCacheEntry> entries(count);
  uint32_t obtained = 0;
  if (p->kind == 1) {
    // Keep the textures the pool already holds; ask only for the new ones.
    for (uint32_t i = 0; i < count; ++i) {
      if (i < p->entries.size()) {
        entries[i].texture = p->entries[i].texture;
      } else {
        if (growing) MouseUpdate();
        const intptr_t t = vortellive.talloc ? vortellive.talloc(w, h, p->format, p->paletteFlag, 0) : 0;
        if (!t) {
          result = 1;
          break;
        }
        entries[i].texture = t;
        if (videoBytes) *videoBytes += static_cast<uint32_t>(w * h * TexelBytes(p->format));
      }
      ++obtained;
    }
  } else {
    obtained = count;
  }
  entries.resize(obtained);
  p->entries = std::move(entries);
  p->slots = obtained;
  if (p->kind == 0) {
    p->staging.assign(PieceBytes(*p) * obtained, 0);
    for (uint32_t i = 0; i < obtained; ++i) {
      uint8_t* piece = p->staging.data() + PieceBytes(*p) * i;
      const uint16_t sw = static_cast<uint16_t>(w), sh = static_cast<uint16_t>(h);
      std::memcpy(piece + 4, &sw, 2);
      std::memcpy(piece + 6, &sh, 2);
      p->entries[i].texture = reinterpret_cast<intptr_t>(piece);
    }
  }
  for (auto& e : p->entries) e.pool = p;
  p->byStamp.clear();
  p->candidates.clear();
  p->nextCandidate = 0;
  if (p->kind == 0) {
    for (uint32_t i = obtained; i-- > 0;) p->candidates.push_back(&p->entries[i]);
  } else {
    for (auto& e : p->entries) p->candidates.push_back(&e);
  }
  return result;
}

int AddPools(const TexturePoolDesc* table, int kind, uint32_t* videoBytes) {
  int result = 0;
  for (const TexturePoolDesc* d = table; d && d->slots; ++d) {
    auto pool = std::make_unique<TextureCachePool>();
    pool->widthKey = d->widthKey, pool->heightKey = d->heightKey, pool->format = d->format;
    pool->paletteFlag = d->paletteFlag;
    pool->reserved = d->reserved;
    pool->kind = static_cast<uint8_t>(kind);
    MouseUpdate();
    if (BuildSlots(pool.get(), d->slots, videoBytes, false)) result = 1;
    gCache.chain[kind].push_back(pool.get());
    gCache.owned.push_back(std::move(pool));
  }
  return result;
}

void BindCacheEntry(TextureCacheEntry* e, uint32_t stamp, uint8_t weight, int width, int height,
                    TextureCacheEntry* partner, bool dropOld, TextureCacheEntry** owner) {
  if (weight == 0 && e->stamp == stamp) weight = e->weight;
  if (e->inUse) {
    ClearOwner(e);
    IndexRemove(e);
  }
  e->inUse = 1;
  e->lock = 0;
  e->weight = weight;
  e->stamp = stamp;
  e->lastUsed = gCache.frame;
  const int pw = e->pool->widthKey + 1, ph = e->pool->heightKey + 1;
  e->uScale = width == pw ? 1.0f : static_cast<float>(width) / static_cast<float>(pw);
  e->vScale = height == ph ? 1.0f : static_cast<float>(height) / static_cast<float>(ph);
  TextureCacheEntry* old = e->partner;
  if (dropOld) {
    if (old) {
      if (old->inUse) IndexRemove(old);
      Free(old);
    }
    e->partner = partner;
  } else if (old && old->stamp != stamp) {
    if (old->partner == e) old->partner = nullptr;
    e->partner = partner;
  } else if (!old) {
    e->partner = partner;
  }
  if (partner) partner->partner = e;
  e->owner = owner;
  if (owner) *owner = e;
  IndexInsert(e);
}

}  // namespace

int TexelBytes(int format) {
  static const int kBytes[12] = {0, 1, 1, 2, 2, 4, 4, 2, 1, 2, 2, 2};
  return format >= 0 && format < 12 ? kBytes[format] : 0;
}

int CreateTextureCache(const TexturePoolDesc* staging, const TexturePoolDesc* video, uint32_t* videoBytes) {
  if (gCache.active) ResetTextureCache();
  gCache.active = true;
  gCache.frame = 0;
  ++gCache.generation;
  int result = AddPools(staging, 0, nullptr);
  if (AddPools(video, 1, videoBytes)) result = 1;
  return result;
}

int GrowTextureCachePools(const TexturePoolDesc* staging, const TexturePoolDesc* video, uint32_t* videoBytes) {
  if (!gCache.active) return 1;
  int result = 0;
  for (int kind = 0; kind < 2; ++kind) {
    for (const TexturePoolDesc* d = kind == 0 ? staging : video; d && d->slots; ++d) {
      TextureCachePool* p = FindPool(kind, d->widthKey, d->heightKey, d->format, d->paletteFlag);
      if (!p) continue;
      // The arrays are rebuilt: nobody may keep pointing into the old ones.
      for (auto& e : p->entries) {
        ClearOwner(&e);
        if (e.partner) e.partner->partner = nullptr;
        e.partner = nullptr;
      }
      if (BuildSlots(p, p->slots + d->slots, videoBytes, true)) result = 1;
    }
  }
  return result;
}

int ResetTextureCache() {
  if (!gCache.active) return 0;
  for (int kind = 0; kind < 2; ++kind)
    for (TextureCachePool* p : gCache.chain[kind])
      for (auto& e : p->entries) ClearOwner(&e);
  gCache.chain[0].clear();
  if (vortellive.treset) vortellive.treset();
  gCache.chain[1].clear();
  gCache.owned.clear();
  gCache.active = false;
  return 0;
}

void ClearTextureCache() {
  if (!gCache.active) return;
  ++gCache.generation;
  for (int kind = 0; kind < 2; ++kind)
    for (TextureCachePool* p : gCache.chain[kind]) {
      for (auto& e : p->entries) {
        if (!e.inUse) continue;
        e.lock = 0;
        ReleaseCachedTexture(&e, false);
      }
      p->candidates.clear();
      for (auto& e : p->entries) p->candidates.push_back(&e);
      p->nextCandidate = 0;
      p->byStamp.clear();
    }
}

bool TextureCacheActive() { return gCache.active; }
uint32_t TextureCacheGeneration() { return gCache.generation; }
uint32_t TextureCacheFrame() { return gCache.frame; }
void AdvanceTextureCacheFrame(uint32_t n) { gCache.frame += n; }
const std::vector<TextureCachePool*>& TextureCachePools(int kind) { return gCache.chain[kind == 0 ? 0 : 1]; }

int32_t KeepScore(const TextureCacheEntry& e) {
  if (!e.inUse) return kFreeScore;
  return static_cast<int32_t>(e.weight) * 25 - static_cast<int32_t>(gCache.frame - e.lastUsed);
}

TextureCacheEntry* SelectCacheEntry(TextureCachePool* p) {
  // A candidate locked since the list was made is passed over: a locked slot is never evicted.
  while (p->nextCandidate < p->candidates.size()) {
    TextureCacheEntry* e = p->candidates[p->nextCandidate++];
    if (!e->lock) return e;
  }
  const size_t k = std::max<size_t>(1, p->entries.size() / 8);
  std::vector<TextureCacheEntry*>& c = p->candidates;
  c.clear();
  p->nextCandidate = 0;
  for (auto& e : p->entries) {
    if (e.lock) continue;
    const int32_t score = KeepScore(e);
    if (c.size() == k && KeepScore(*c.back()) < score) continue;
    auto it = std::lower_bound(c.begin(), c.end(), score,
                               [](const TextureCacheEntry* a, int32_t s) { return KeepScore(*a) < s; });
    c.insert(it, &e);
    if (c.size() > k) c.pop_back();
  }
  if (c.empty()) return nullptr;
  p->nextCandidate = 1;
  return c[0];
}

intptr_t UseCachedTexture(TextureCacheEntry* e) {
  if (!e) return 0;
  e->lastUsed = gCache.frame;
  return e->texture;
}

int TextureHandleIsValid(const TextureCacheEntry* e, uint32_t stamp) {
  return e && e->stamp == stamp && e->inUse ? 1 : 0;
}

TextureCacheEntry* UploadCachedTexture(const uint8_t* image, int side, int format, int paletteFlag, uint32_t stamp,
                                       uint8_t weight, const void* palette, TextureCacheEntry** owner) {
  if (!image || side < 1 || side > 256) return nullptr;
  if (format < 0) format = -format;
  TextureCachePool* p = FindPool(1, side - 1, side - 1, format, paletteFlag);
  if (!p) return nullptr;
  if (TextureCacheEntry* held = IndexFind(p, stamp); held && held->inUse) {
    held->weight = weight;
    return held;
  }
  TextureCacheEntry* e = SelectCacheEntry(p);
  if (!e) return nullptr;
  uint16_t w = 0, h = 0;
  std::memcpy(&w, image + 4, 2);
  std::memcpy(&h, image + 6, 2);
  BindCacheEntry(e, stamp, weight, w, h, nullptr, false, owner);
  if (vortellive.tupdate) vortellive.tupdate(e->texture, image + 16, palette);
  return e;
}

TextureCacheEntry* AllocStagingTexture(int width, int height, int format, int paletteFlag, uint32_t stamp,
                                       uint8_t weight, TextureCacheEntry** owner) {
  TextureCachePool* p = FindPool(0, width - 1, height - 1, format, paletteFlag);
  if (!p) return nullptr;
  TextureCacheEntry* e = SelectCacheEntry(p);
  if (!e) return nullptr;
  BindCacheEntry(e, stamp, weight, width, height, nullptr, true, owner);
  return e;
}

TextureCacheEntry* CopyStagingToVideo(TextureCacheEntry* staging, uint8_t weight, const void* palette,
                                      TextureCacheEntry** owner) {
  if (!staging) return nullptr;
  if (staging->partner) {
    if (weight) staging->partner->weight = weight;
    return staging->partner;
  }
  const TextureCachePool* sp = staging->pool;
  TextureCachePool* p = FindPool(1, sp->widthKey, sp->heightKey, sp->format, sp->paletteFlag);
  if (!p) return nullptr;
  TextureCacheEntry* e = SelectCacheEntry(p);
  if (!e) return nullptr;
  BindCacheEntry(e, staging->stamp, weight, p->widthKey + 1, p->heightKey + 1, staging, false, owner);
  if (vortellive.tupdate)
    vortellive.tupdate(e->texture, reinterpret_cast<const uint8_t*>(staging->texture) + 16, palette);
  return e;
}

TextureCacheEntry* FindCachedTexture(uint32_t stamp, int kind, int sizeKey, int format) {
  const auto& chain = gCache.chain[kind == 0 ? 0 : 1];
  size_t i = 0;
  if (format) {
    while (i < chain.size() && chain[i]->format != format) ++i;
  }
  // With both, the pool of that format and side: a pool of the side in another format may come first (the video
  // chain's 64-texel terrain tiles lie past other 64-texel pools), and searching that one would never find them.
  const bool onlyOne = format && sizeKey;
  if (sizeKey) {
    while (i < chain.size() && (chain[i]->widthKey != sizeKey || (onlyOne && chain[i]->format != format))) ++i;
  }
  for (; i < chain.size(); ++i) {
    if (TextureCacheEntry* e = IndexFind(chain[i], stamp)) return e;
    if (onlyOne) break;
  }
  return nullptr;
}

void ReleaseCachedTexture(TextureCacheEntry* e, bool alsoPartner) {
  if (!e || !e->inUse || e->lock) return;
  IndexRemove(e);
  TextureCacheEntry* partner = e->partner;
  e->stamp = 0xFFFFFFFFu;
  e->inUse = 0;
  e->partner = nullptr;
  if (partner) {
    if (partner->partner == e) partner->partner = nullptr;
    if (alsoPartner || partner->pool->kind == 1) ReleaseCachedTexture(partner, false);
  }
  ClearOwner(e);
}

int RoundTextureSize(int n) {
  int size = 1;
  while (size < n && size < 256) size <<= 1;
  return size;
}

void SetOverlayEffectMode(int32_t mode) { gCache.overlayMode = mode; }
int32_t OverlayEffectMode() { return gCache.overlayMode; }
