// Graphics files of any content: loaded, unpacked and drawn (plain, clipped, scaled, blended) without reading
// or writing outside their memory.
#include <cstdint>
#include <cstring>

#include "framework/core/gfxrecord.h"
#include "framework/core/services.h"
#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/core/memclass.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/shapes/shapes.h"
#include "platformlib/gfx/windowdesc.h"
#include "winapi/testing.h"

namespace {
const uint8_t* input;
size_t inputSize;

// A scene whose shape files are the fuzzer's input.
class InputScene : public SceneProvider {
 public:
  MemHandle LoadShapeFile(PathRecord*, const char*) override {
    if (!inputSize) return 0;
    MemHandle h = MemAllocHandle(inputSize, 0);
    if (!h) return 0;
    std::memcpy(MemLock(h), input, inputSize);
    MemUnlock(h);
    return h;
  }
};
InputScene scene;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static WindowDesc* windows[2] = {};
  if (!windows[0]) {
    if (!memstarted()) initmem();
    gfxresetdisplay();
    rowspacesize = 14336;
    initrow();
    abortfilterhook = [](const char*) { return 0; };
    windows[0] = createwindowadra(64, 48, 8, 1);
    windows[1] = createwindowadra(64, 48, 32, 1);
    GfxInitScratch();
  }
  input = data;
  inputSize = size;
  Svc().scene = &scene;
  // The error boxes a damaged file shows are kept for tests until taken: kept past the input, they make the fuzzer
  // search the whole heap for a leak after it.
  struct TakeBoxes {
    ~TakeBoxes() { winapi::testing::TakeMessageBoxes(); }
  } takeBoxes;
  // Every block is pages of its own, mapped and unmapped by the system: an input is loaded once, unpacked as it is
  // drawn or (inputs of the other size parity) at load.
  if (size & 2) {
    GraphicRecord now{};
    GfxLoad(&now, nullptr, "fuzz.shp", kGfxUnpackNow, 0);
    GfxFree(&now);
    return 0;
  }
  GraphicRecord record{};
  if (GfxLoad(&record, nullptr, "fuzz.shp", 0, 0) == 0 && record.width <= 256 && record.height <= 256) {
    record.transparent = size & 1;
    for (WindowDesc* w : windows) {
      GfxRect covered;
      const GfxRect clip{4, 4, 60, 40};
      GfxDrawClipped(&record, w, 10, 10, &covered, &clip);
      GfxDrawScaledClipped(&record, w, &covered, 30, 20, 5, 5, nullptr);
      GfxDrawBlended(&record, w, 20, 20, 0x8000, &covered, nullptr);
    }
    GfxUnpack(&record, 0);
    if (GfxLock(&record) == 0) GfxUnlock(&record);
  }
  GfxFree(&record);
  return 0;
}
