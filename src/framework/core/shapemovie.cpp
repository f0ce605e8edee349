#include "framework/core/shapemovie.h"

#include "framework/core/bigfileio.h"
#include "platformlib/shapes/shapes.h"

bool ShapeEntryIsImage(const uint8_t* entry) {
  if (!entry) return false;
  const uint8_t type = entry[0] & 0x7F;
  return !iscluttype(type) && shapetypedepth(type) > 0 && shapewidth(entry) > 0 && shapeheight(entry) > 0;
}

TShapeMovie::~TShapeMovie() { TShapeMovie::Close(); }

void TShapeMovie::Close() {
  if (data_) {
    if (locked_) MemUnlock(data_);
    MemFreeHandle(data_);
  }
  data_ = 0;
  locked_ = nullptr;
  bytes_ = 0;
  frameCount = 0;
  entryCount = 0;
}

int TShapeMovie::Open(PathRecord* folder, const char* archive, const char* name) {
  Close();
  const int opened = archive ? BigFileOpenArchive(folder, archive, nullptr) : -1;
  const MemHandle h = name ? BigFileLoadToHandle(folder, name, 0) : 0;
  if (opened == 0) BigFileCloseArchive();
  if (!h) return kCannotLoad;
  return OpenHandle(h);
}

int TShapeMovie::OpenHandle(MemHandle file) {
  Close();
  if (!file) return kCannotLoad;
  data_ = file;
  locked_ = static_cast<const uint8_t*>(MemLock(file));
  if (!locked_) {
    Close();
    return kCannotLock;
  }
  bytes_ = MemHandleSize(file);
  if (checkshapefile(locked_, bytes_) != 1) {
    Close();
    return kCannotLoad;
  }
  const uint32_t entries = shapecount(locked_);
  int32_t frames = 0;
  for (uint32_t i = 0; i < entries; ++i)
    if (ShapeEntryIsImage(locateshapenum(locked_, static_cast<int32_t>(i)))) ++frames;
  entryCount = static_cast<uint16_t>(entries);
  frameCount = frames;
  frameTiming = 0xF0000;
  return kOk;
}

const uint8_t* TShapeMovie::FrameRef(int32_t n, int* error) {
  const auto fail = [&](int code) -> const uint8_t* {
    if (error) *error = code;
    return nullptr;
  };
  if (!locked_ || frameCount <= 0) return fail(kNoFile);
  if (n > frameCount) n = frameCount;
  if (n < 1) n = 1;
  // Three layouts: frames and palettes alternating, one shared palette besides the frames, or frames only.
  int32_t index;
  if (entryCount == 2 * frameCount) index = 2 * n - 1;
  else if (entryCount == frameCount + 1) index = n;
  else if (entryCount == frameCount) index = n - 1;
  else return fail(kNoFile);
  // In the alternating and shared-palette layouts the frames follow their palettes; a file that keeps its
  // palette last still finds its frames.
  const uint8_t* entry = locateshapenum(locked_, index);
  if (!ShapeEntryIsImage(entry) && entryCount == frameCount + 1) entry = locateshapenum(locked_, n - 1);
  if (!ShapeEntryIsImage(entry)) return fail(kNotAnImage);
  if (error) *error = kOk;
  return entry;
}
