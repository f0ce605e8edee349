// The two libraries as the game links them.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <vector>

#include "speechtestutil.h"
#include "voxdec.h"
#include "voxenc.h"

namespace {

TEST(SpeechLibraries, EncodeThenDecodeThroughTheEntryPoints) {
  auto pcm = speech::testing::VowelPcm(208 + 208 * 10);
  std::vector<uint8_t> coded(pcm.size() / 416 * 28);
  uint32_t n = Encode(pcm.data(), static_cast<uint32_t>(pcm.size()), coded.data());
  ASSERT_EQ(10u * 28, n);
  EXPECT_EQ(0u, Encode(pcm.data(), static_cast<uint32_t>(pcm.size()), nullptr));
  std::vector<uint8_t> out(120000);
  EXPECT_EQ(10u * 416, Decode(coded.data(), n, out.data(), 120000));
}

TEST(SpeechLibraries, EachExportsItsOneEntryPointOnly) {
  const struct {
    const char* path;
    const char* entry;
  } libs[] = {{VOXENC_PATH, "Encode"}, {VOXDEC_PATH, "Decode"}};
  for (auto lib : libs) {
    void* h = dlopen(lib.path, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, h) << dlerror();
    EXPECT_NE(nullptr, dlsym(h, lib.entry)) << lib.path;
    EXPECT_EQ(nullptr, dlsym(h, "_ZN6speech11ResetDecoderEv")) << lib.path;
    EXPECT_EQ(nullptr, dlsym(h, "_ZN6speech12ResetEncoderEv")) << lib.path;
    EXPECT_EQ(nullptr, dlsym(h, "_ZN6speech15PackSpeechFrameERKNS_17SpeechFrameParamsEPh")) << lib.path;
    dlclose(h);
  }
}

}  // namespace
