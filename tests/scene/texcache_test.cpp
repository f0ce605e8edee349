#include <gtest/gtest.h>

#include <vector>

#include "framework/core/services.h"
#include "platformlib/gfx/vortel.h"
#include "scene/install.h"
#include "scene/texcache.h"

namespace {

struct Card {
  int allocated = 0;
  int limit = 1 << 30;
  std::vector<intptr_t> updates;
  int resets = 0;
} card;

intptr_t FakeTalloc(int32_t, int32_t, int32_t, intptr_t, intptr_t) {
  return card.allocated < card.limit ? ++card.allocated : 0;
}
intptr_t FakeTupdate(intptr_t texture, const void*, const void*) {
  card.updates.push_back(texture);
  return texture;
}
intptr_t FakeTreset() { return ++card.resets; }

constexpr TexturePoolDesc kEnd{0, 0, 0, 0, 0, 0};

class TextureCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = vortellive;
    vortellive.talloc = FakeTalloc;
    vortellive.tupdate = FakeTupdate;
    vortellive.treset = FakeTreset;
    card = Card{};
  }
  void TearDown() override {
    ResetTextureCache();
    vortellive = saved_;
  }
  // A shape header of the given size followed by pixels.
  static std::vector<uint8_t> Image(uint16_t w, uint16_t h) {
    std::vector<uint8_t> image(16 + static_cast<size_t>(w) * h * 2, 0);
    image[4] = static_cast<uint8_t>(w), image[5] = static_cast<uint8_t>(w >> 8);
    image[6] = static_cast<uint8_t>(h), image[7] = static_cast<uint8_t>(h >> 8);
    return image;
  }
  VortelDriver saved_{};
  // Owner variables outlive the cache, as the owners' own do.
  TextureCacheEntry* owner = nullptr;
  TextureCacheEntry* holder = nullptr;
  TextureCacheEntry* holders[3] = {};
};

TEST_F(TextureCacheTest, CreationCountsVideoBytesAndKeepsWhatTheCardGave) {
  const TexturePoolDesc staging[] = {{15, 15, 4, 0, 3, 0}, kEnd};
  const TexturePoolDesc video[] = {{63, 63, 4, 0, 2, 0}, {15, 15, 4, 0, 4, 0}, kEnd};
  uint32_t bytes = 0;
  EXPECT_EQ(CreateTextureCache(staging, video, &bytes), 0);
  EXPECT_EQ(bytes, 2u * 64 * 64 * 2 + 4u * 16 * 16 * 2);
  ASSERT_EQ(TextureCachePools(1).size(), 2u);
  EXPECT_EQ(TextureCachePools(0)[0]->slots, 3u);
  card = Card{};
  card.limit = 3;
  bytes = 0;
  EXPECT_EQ(CreateTextureCache(staging, video, &bytes), 1);
  EXPECT_EQ(TextureCachePools(1)[0]->slots, 2u);
  EXPECT_EQ(TextureCachePools(1)[1]->slots, 1u);
  EXPECT_GE(card.resets, 1);  // the first cache was reset first
  EXPECT_EQ(RoundTextureSize(0), 1);
  const int rounding[][2] = {{1, 1}, {5, 8}, {8, 8}, {9, 16}, {33, 64}, {200, 256}, {300, 256}};
  for (const auto& r : rounding) EXPECT_EQ(RoundTextureSize(r[0]), r[1]) << r[0];
}

TEST_F(TextureCacheTest, UploadsScaleSmallImagesAndReuseTheStamp) {
  const TexturePoolDesc video[] = {{63, 63, 4, 0, 4, 0}, kEnd};
  uint32_t bytes = 0;
  CreateTextureCache(nullptr, video, &bytes);
  const auto small = Image(32, 32), full = Image(64, 64);
  TextureCacheEntry* e = UploadCachedTexture(small.data(), 64, -4, 0, 7, 1, nullptr, &owner);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(owner, e);
  EXPECT_FLOAT_EQ(e->uScale, 0.5f);
  EXPECT_FLOAT_EQ(e->vScale, 0.5f);
  EXPECT_EQ(card.updates.size(), 1u);
  EXPECT_EQ(UploadCachedTexture(small.data(), 64, 4, 0, 7, 5, nullptr, &owner), e);
  EXPECT_EQ(e->weight, 5);
  EXPECT_EQ(card.updates.size(), 1u);
  TextureCacheEntry* f = UploadCachedTexture(full.data(), 64, 4, 0, 8, 1, nullptr, nullptr);
  EXPECT_FLOAT_EQ(f->uScale, 1.0f);
  EXPECT_EQ(FindCachedTexture(8, 1, 63, 4), f);
  EXPECT_EQ(FindCachedTexture(9, 1, 0, 0), nullptr);
  // No pool of that side or format.
  EXPECT_EQ(UploadCachedTexture(full.data(), 128, 4, 0, 9, 1, nullptr, nullptr), nullptr);
}

// A lookup by side and format finds the pool of both, past pools of the format in another side and of the side in
// another format; with the format alone it searches on from the format's first pool.
TEST_F(TextureCacheTest, LookupBySideAndFormatSearchesThePoolOfBoth) {
  const TexturePoolDesc video[] = {{15, 15, 4, 0, 2, 0}, {63, 63, 7, 0, 2, 0}, {63, 63, 4, 0, 2, 0}, kEnd};
  uint32_t bytes = 0;
  CreateTextureCache(nullptr, video, &bytes);
  const auto tile = Image(64, 64);
  TextureCacheEntry* terrain = UploadCachedTexture(tile.data(), 64, 4, 0, 21, 1, nullptr, nullptr);
  TextureCacheEntry* alpha = UploadCachedTexture(tile.data(), 64, 7, 0, 22, 1, nullptr, nullptr);
  ASSERT_NE(terrain, nullptr);
  ASSERT_NE(alpha, nullptr);
  EXPECT_EQ(FindCachedTexture(21, 1, 63, 4), terrain);
  EXPECT_EQ(FindCachedTexture(22, 1, 63, 7), alpha);
  EXPECT_EQ(FindCachedTexture(22, 1, 63, 4), nullptr);
  EXPECT_EQ(FindCachedTexture(21, 1, 0, 4), terrain);
}

TEST_F(TextureCacheTest, EvictionClearsTheOldOwnerAndNeverTakesALockedSlot) {
  const TexturePoolDesc video[] = {{15, 15, 4, 0, 3, 0}, kEnd};
  uint32_t bytes = 0;
  CreateTextureCache(nullptr, video, &bytes);
  const auto image = Image(16, 16);
  for (uint32_t s = 0; s < 3; ++s)
    ASSERT_NE(UploadCachedTexture(image.data(), 16, 4, 0, 100 + s, 1, nullptr, &holders[s]), nullptr);
  // The first-bound slot is locked, as the hole's terrain textures are.
  TextureCacheEntry* locked = holders[0];
  locked->lock = 1;
  for (uint32_t s = 0; s < 6; ++s) {
    AdvanceTextureCacheFrame(10);
    TextureCacheEntry* e = UploadCachedTexture(image.data(), 16, 4, 0, 200 + s, 1, nullptr, &holder);
    ASSERT_NE(e, nullptr);
    EXPECT_NE(e, locked);
    UseCachedTexture(e);
  }
  EXPECT_EQ(holders[0], locked);
  EXPECT_EQ(TextureHandleIsValid(locked, 100), 1);
  // The other first owners lost their slots: their variables are cleared and their stamps are no longer valid.
  EXPECT_EQ(holders[1], nullptr);
  EXPECT_EQ(holders[2], nullptr);
  // Every slot locked: nothing can be taken.
  for (TextureCacheEntry& e : TextureCachePools(1)[0]->entries) e.lock = 1;
  EXPECT_EQ(UploadCachedTexture(image.data(), 16, 4, 0, 999, 1, nullptr, nullptr), nullptr);
}

TEST_F(TextureCacheTest, ClearingGivesSlotsBackInSlotOrder) {
  const TexturePoolDesc video[] = {{15, 15, 4, 0, 3, 0}, kEnd};
  uint32_t bytes = 0;
  CreateTextureCache(nullptr, video, &bytes);
  const auto image = Image(16, 16);
  UploadCachedTexture(image.data(), 16, 4, 0, 1, 1, nullptr, &holder)->lock = 1;
  ClearTextureCache();
  EXPECT_EQ(holder, nullptr);
  TextureCachePool* pool = TextureCachePools(1)[0];
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(UploadCachedTexture(image.data(), 16, 4, 0, 10 + i, 1, nullptr, nullptr), &pool->entries[i]);
}

// Composed tiles are kept under their cells' stamps, which every hole shares: preparing the next hole drops them all
// (and moves the cache's generation on, for what is kept beside it).
TEST_F(TextureCacheTest, ANewHoleFindsNoTileOfTheLastOne) {
  const TexturePoolDesc video[] = {{63, 63, 4, 0, 2, 0}, kEnd};
  uint32_t bytes = 0;
  CreateTextureCache(nullptr, video, &bytes);
  const auto image = Image(64, 64);
  const uint32_t stamp = 0x80000000u | (1234u * 128u + 7u * 4u);
  ASSERT_NE(UploadCachedTexture(image.data(), 64, 4, 0, stamp, 1, nullptr, &holder), nullptr);
  ASSERT_NE(FindCachedTexture(stamp, 1, 63, 4), nullptr);
  const uint32_t generation = TextureCacheGeneration();
  InstallSceneServices();
  Svc().scene->PrepareHole(0);
  EXPECT_EQ(FindCachedTexture(stamp, 1, 63, 4), nullptr);
  EXPECT_EQ(holder, nullptr);
  EXPECT_NE(TextureCacheGeneration(), generation);
}

TEST_F(TextureCacheTest, GrowingClearsOwnerVariablesFirst) {
  const TexturePoolDesc video[] = {{15, 15, 4, 0, 2, 0}, kEnd};
  const TexturePoolDesc extra[] = {{15, 15, 4, 0, 3, 0}, kEnd};
  uint32_t bytes = 0;
  EXPECT_EQ(GrowTextureCachePools(nullptr, extra, &bytes), 1);  // no cache yet
  CreateTextureCache(nullptr, video, &bytes);
  const auto image = Image(16, 16);
  UploadCachedTexture(image.data(), 16, 4, 0, 1, 1, nullptr, &holder);
  ASSERT_NE(holder, nullptr);
  uint32_t grown = 0;
  EXPECT_EQ(GrowTextureCachePools(nullptr, extra, &grown), 0);
  EXPECT_EQ(holder, nullptr);
  EXPECT_EQ(grown, 3u * 16 * 16 * 2);
  EXPECT_EQ(TextureCachePools(1)[0]->slots, 5u);
  EXPECT_EQ(card.allocated, 5);
}

TEST_F(TextureCacheTest, StagingAndVideoPartners) {
  const TexturePoolDesc staging[] = {{15, 15, 4, 0, 2, 0}, kEnd};
  const TexturePoolDesc video[] = {{15, 15, 4, 0, 2, 0}, kEnd};
  uint32_t bytes = 0;
  CreateTextureCache(staging, video, &bytes);
  TextureCacheEntry* s = AllocStagingTexture(16, 16, 4, 0, 42, 1, nullptr);
  ASSERT_NE(s, nullptr);
  TextureCacheEntry* v = CopyStagingToVideo(s, 1, nullptr, nullptr);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->partner, s);
  EXPECT_EQ(s->partner, v);
  EXPECT_EQ(CopyStagingToVideo(s, 3, nullptr, nullptr), v);
  EXPECT_EQ(v->weight, 3);
  EXPECT_EQ(card.updates.size(), 1u);
  // Releasing the video copy alone leaves the staging tile in use, unpaired.
  ReleaseCachedTexture(v, false);
  EXPECT_EQ(v->inUse, 0u);
  EXPECT_EQ(s->inUse, 1u);
  EXPECT_EQ(s->partner, nullptr);
  // Releasing the staging tile frees its video copy.
  v = CopyStagingToVideo(s, 1, nullptr, nullptr);
  ReleaseCachedTexture(s, false);
  EXPECT_EQ(s->inUse, 0u);
  EXPECT_EQ(v->inUse, 0u);
  EXPECT_EQ(TextureHandleIsValid(v, 42), 0);
}

TEST_F(TextureCacheTest, TheVideoModeSetUpBuildsConfigurationB) {
  const uint32_t bytes = SetUpTextureCache(false, 0, 1);
  EXPECT_TRUE(TextureCacheActive());
  EXPECT_GT(bytes, 0u);
  // Base detail-1 video pools, grown by the extra table while under the budget.
  TextureCachePool* terrain = nullptr;
  for (TextureCachePool* p : TextureCachePools(1))
    if (p->widthKey == 15 && p->format == 4) terrain = p;
  ASSERT_NE(terrain, nullptr);
  EXPECT_EQ(terrain->slots, 470u);
}

}  // namespace
