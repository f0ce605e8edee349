// The card-detection module. This platform has one 3D device, the software Direct3D device of its DirectDraw
// stand-in, listed in "Cards.txt" as card kind 1 (back-end kind 4, Direct3D); every other kind is absent.
#include <cstdint>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {
constexpr int32_t kSoftwareDirect3DDevice = 1;
}

EXPORT int32_t Scan3DCard(int32_t cardKind) { return cardKind == kSoftwareDirect3DDevice ? 1 : 0; }
