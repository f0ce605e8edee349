#include "framework/uienv.h"

#include <string>

#include "framework/displaymgr.h"
#include "platformlib/pixels.h"
#include "platformlib/windowdesc.h"

namespace {

UiEnvironment environment;
FileToHandleLoader fileLoader = nullptr;
ShellAnimFactory animFactory = nullptr;
ShadowFrameDrawer shadowDrawer = nullptr;

// Reads a disk file whole through the platform's files, so drive letters and case-blind names apply.
MemHandle LoadDiskFile(const char* folder, const char* name, uint32_t) {
  if (!name || !*name) return 0;
  std::string path = folder ? folder : "";
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  path += name;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  const DWORD size = GetFileSize(file, nullptr);
  MemHandle handle = 0;
  if (size != INVALID_FILE_SIZE && size > 0 && size < (256u << 20)) handle = MemAllocHandle(size, 0);
  bool ok = false;
  if (handle) {
    void* bytes = MemLock(handle);
    DWORD got = 0;
    ok = bytes && ReadFile(file, bytes, size, &got, nullptr) && got == size;
    if (bytes) MemUnlock(handle);
  }
  CloseHandle(file);
  if (!ok && handle) {
    MemFreeHandle(handle);
    handle = 0;
  }
  return handle;
}

// Stand-in pointer: a small white arrow with a black edge, its tip at the position.
class BuiltInArrow : public ShellAnim {
 public:
  void Start() override { running_ = true; }
  void Stop(int) override { running_ = false; }
  void SetPosition(int32_t x, int32_t y) override {
    x_ = x;
    if (y != -1) y_ = y;
  }
  void Draw() override {
    const uint32_t white = rgbpixel(0xFFFFFFFF), black = rgbpixel(0xFF000000);
    for (int32_t row = 0; row < 12; ++row) {
      fillrect(x_, y_ + row, row / 2 + 1, 1, black);
      if (row > 1 && row < 11) fillrect(x_ + 1, y_ + row, row / 2 - 1 > 0 ? row / 2 - 1 : 0, 1, white);
    }
  }

 private:
  bool running_ = false;
  int32_t x_ = 0, y_ = 0;
};

}  // namespace

UiEnvironment& UiEnv() { return environment; }

void SetFileToHandleLoader(FileToHandleLoader loader) { fileLoader = loader; }
MemHandle LoadFileToHandle(const char* folder, const char* name, uint32_t flags) {
  return fileLoader ? fileLoader(folder, name, flags) : LoadDiskFile(folder, name, flags);
}

void SetShellAnimFactory(ShellAnimFactory factory) { animFactory = factory; }
ShellAnim* MakeShellAnim(const char* file, ShellAnim* frames, int a, int b, int c, int d) {
  if (animFactory) return animFactory(file, frames, a, b, c, d);
  return new BuiltInArrow;
}

void SetShadowFrameDrawer(ShadowFrameDrawer drawer) { shadowDrawer = drawer; }
void DrawShadowFrame(const MARect& rect, int32_t width, ImageRecord* buffer) {
  if (shadowDrawer) return shadowDrawer(rect, width, buffer);
  if (!buffer || !buffer->window) return;
  WindowDesc saved;
  savecurrentwindow(&saved);
  if (setwindow(buffer->window)) {
    const uint32_t black = rgbpixel(0xFF000000);
    const int32_t w = rect.right - rect.left, h = rect.bottom - rect.top;
    fillrect(rect.left - width, rect.top - width, w + 2 * width, width, black);
    fillrect(rect.left - width, rect.bottom, w + 2 * width, width, black);
    fillrect(rect.left - width, rect.top, width, h, black);
    fillrect(rect.right, rect.top, width, h, black);
  }
  restorecurrentwindow(&saved);
  MARect framed{rect.left - width, rect.top - width, rect.right + width, rect.bottom + width};
  AddDirtyRect(framed);
}
