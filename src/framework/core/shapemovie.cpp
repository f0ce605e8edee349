#include "framework/core/shapemovie.h"

#include <algorithm>
#include <cstring>

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

int TShapeMovie::EnsureEntryLoaded(int32_t index) {
  return locked_ && static_cast<uint32_t>(index) < entryCount ? kOk : kNoFile;
}

const uint8_t* TShapeMovie::PresentEntry(int32_t index, int* error) {
  *error = EnsureEntryLoaded(index);
  return *error == kOk ? locateshapenum(locked_, index) : nullptr;
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
  int code = kOk;
  const uint8_t* entry = PresentEntry(index, &code);
  if (code != kOk) return fail(code);
  // In the alternating and shared-palette layouts the frames follow their palettes; a file that keeps its
  // palette last still finds its frames.
  if (!ShapeEntryIsImage(entry) && entryCount == frameCount + 1) {
    entry = PresentEntry(n - 1, &code);
    if (code != kOk) return fail(code);
  }
  if (!ShapeEntryIsImage(entry)) return fail(kNotAnImage);
  // An 8-bit frame without its own palette draws with the file's "!pal".
  for (uint32_t i = 0; i < entryCount; ++i) {
    uint32_t name = 0;
    if (shapenamenum(locked_, static_cast<int32_t>(i), &name) == 0 || std::memcmp(&name, "!pal", 4) != 0) continue;
    if ((code = EnsureEntryLoaded(static_cast<int32_t>(i))) != kOk) return fail(code);
    break;
  }
  if (error) *error = kOk;
  return entry;
}

// ---- the streamed movie -------------------------------------------------------------------------------------------

TStreamedShapeMove::~TStreamedShapeMove() { TStreamedShapeMove::Close(); }

void TStreamedShapeMove::Close() {
  if (file_) CloseHandle(file_);
  file_ = nullptr;
  source_ = nullptr;
  buffer_ = {};
  fileSize_ = loaded_ = 0;
  reads_ = 0;
  locked_ = nullptr;
  frameCount = 0;
  entryCount = 0;
}

int TStreamedShapeMove::Open(PathRecord* folder, const char* archive, const char* name) {
  Close();
  TShapeMovie::Close();
  HANDLE h = nullptr;
  if (archive || !name || ::FileOpen(folder, name, 0, &h) != 0 || !h || h == INVALID_HANDLE_VALUE) return kCannotLoad;
  return StartFile(h);
}

int TStreamedShapeMove::OpenPath(const char* path) {
  Close();
  TShapeMovie::Close();
  HANDLE h = path ? CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr) : nullptr;
  if (!h || h == INVALID_HANDLE_VALUE) return kCannotLoad;
  return StartFile(h);
}

int TStreamedShapeMove::OpenMemory(const uint8_t* data, size_t size) {
  Close();
  TShapeMovie::Close();
  if (!data) return kCannotLoad;
  source_ = data;
  return Start(nullptr, size);
}

int TStreamedShapeMove::StartFile(HANDLE h) {
  file_ = h;
  DWORD high = 0;
  const DWORD size = GetFileSize(h, &high);
  if (size == INVALID_FILE_SIZE || high != 0) {
    Close();
    return kCannotLoad;
  }
  return Start(h, size);
}

int TStreamedShapeMove::Start(HANDLE h, size_t size) {
  file_ = h;
  if (size > kMaxBytes) {
    Close();
    return kNoMemory;
  }
  fileSize_ = static_cast<uint32_t>(size);
  buffer_.assign(fileSize_, 0);
  if (const int read = ReadMore(); read != kOk) {
    Close();
    return read;
  }
  locked_ = buffer_.data();
  // The header and the whole directory must be in the first piece; every offset inside the file.
  const uint32_t entries = loaded_ >= 16 ? shapecount(locked_) : 0;
  if (loaded_ < 16 || entries > 0xFFFF || 16 + 8ull * entries > loaded_) {
    Close();
    return kNoFile;
  }
  for (uint32_t i = 0; i < entries; ++i) {
    const uint32_t offset = shaperead32(locked_ + 16 + 8 * i + 4);
    if (offset > fileSize_ || fileSize_ - offset < 16) {
      Close();
      return kNoFile;
    }
  }
  entryCount = static_cast<uint16_t>(entries);
  frameTiming = 0xF0000;
  // Frames by the layout, from the header and the first two entries.
  if (entries < 2) {
    frameCount = static_cast<int32_t>(entries);
  } else if (findshape(locked_, "!pal")) {
    frameCount = static_cast<int32_t>(entries - 1);
  } else {
    // The image test reads only the entries' headers.
    const bool images = HeaderLoaded(0) && HeaderLoaded(1) && ShapeEntryIsImage(locateshapenum(locked_, 0)) &&
                        ShapeEntryIsImage(locateshapenum(locked_, 1));
    frameCount = static_cast<int32_t>(images ? entries : entries / 2);
  }
  return kOk;
}

int TStreamedShapeMove::ReadMore() {
  if (!file_ && !source_) return kShortRead;
  const uint32_t want = std::min(fileSize_ - loaded_, kPiece);
  if (source_) {
    if (want > 0) std::memcpy(buffer_.data() + loaded_, source_ + loaded_, want);
  } else {
    DWORD got = 0;
    if (want > 0 && (!ReadFile(file_, buffer_.data() + loaded_, want, &got, nullptr) || got != want)) return kShortRead;
  }
  loaded_ += want;
  ++reads_;
  if (loaded_ >= fileSize_) {
    if (file_) CloseHandle(file_);
    file_ = nullptr;
    source_ = nullptr;
  }
  return kOk;
}

bool TStreamedShapeMove::HeaderLoaded(int32_t index) {
  const uint32_t offset = shaperead32(locked_ + 16 + 8 * static_cast<uint32_t>(index) + 4);
  while (loaded_ < offset + 16)
    if (loaded_ >= fileSize_ || ReadMore() != kOk) return false;
  return true;
}

int TStreamedShapeMove::EnsureEntryLoaded(int32_t index) {
  if (!locked_ || static_cast<uint32_t>(index) >= entryCount) return kNoFile;
  const uint32_t offset = shaperead32(locked_ + 16 + 8 * static_cast<uint32_t>(index) + 4);
  // Read ahead of the entry, then on until the entry and its records are wholly in.
  while (loaded_ < fileSize_ && (loaded_ < kReadAhead || loaded_ - kReadAhead <= offset))
    if (const int read = ReadMore(); read != kOk) return read;
  while (!checkshapeentry(locked_, offset, loaded_)) {
    if (loaded_ >= fileSize_) return kNotAnImage;  // the entry runs past its file
    if (const int read = ReadMore(); read != kOk) return read;
  }
  return kOk;
}
