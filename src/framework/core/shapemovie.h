// A shape file whose image entries are the frames of a small movie, held whole in memory.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/core/memmgr.h"
#include "framework/core/paths.h"

class TShapeMovie {
 public:
  // Error codes of Open and the frame look-up.
  static constexpr int kOk = 0, kNoMemory = 2, kCannotLoad = 7, kCannotLock = 4, kNoFile = 17, kNotAnImage = 20,
                       kShortRead = 28;

  TShapeMovie() = default;
  virtual ~TShapeMovie();
  TShapeMovie(const TShapeMovie&) = delete;
  TShapeMovie& operator=(const TShapeMovie&) = delete;

  // Loads the file from a folder, through its archive "menus.viv"-style name when one is given; a previous file
  // is closed first. A file that is not a shape file of one of the three frame layouts is refused.
  virtual int Open(PathRecord* folder, const char* archive, const char* name);
  // Takes a loaded shape file (owned from then on).
  int OpenHandle(MemHandle file);
  virtual void Close();
  // Frame n (1-based, clamped to the frame count) as an entry of the locked file; null with the reason in
  // `error`. The entry stays valid while the movie is open.
  const uint8_t* FrameRef(int32_t n, int* error = nullptr);
  // The locked file (null when none is open). A streamed movie's entries are valid once a frame look-up or
  // EnsureEntryLoaded reached them.
  const uint8_t* File() const { return locked_; }
  // 0 when entry `index` is present in memory whole (its pixels and attached records), else an error code.
  virtual int EnsureEntryLoaded(int32_t index);

  int32_t frameCount = 0;
  uint16_t entryCount = 0;
  uint32_t frameTiming = 0xF0000;  // 15.0 frames a second, 16.16

 protected:
  const uint8_t* locked_ = nullptr;

 private:
  // The entry `index` once present (null with the reason in `error`).
  const uint8_t* PresentEntry(int32_t index, int* error);
  MemHandle data_ = 0;
  size_t bytes_ = 0;
};

// A shape movie read from its (loose) file in pieces as its frames are needed: the file stays open until the last
// piece is in. Reading runs 160 KiB ahead of the entry asked for and always through that entry's end, so a frame
// larger than that never shows bytes not yet read.
class TStreamedShapeMove : public TShapeMovie {
 public:
  static constexpr uint32_t kPiece = 327680, kReadAhead = 163840;
  // Files past this size are refused (no memory).
  static constexpr uint32_t kMaxBytes = 64u << 20;

  TStreamedShapeMove() = default;
  ~TStreamedShapeMove() override;
  // 0; 7 no such file (or an archive was named: streamed movies are loose files); 2 no memory for the file;
  // 28 a short read; 17 a file that is not a shape file whose directory lies in its first piece.
  int Open(PathRecord* folder, const char* archive, const char* name) override;
  // Opens a file by its full path.
  int OpenPath(const char* path);
  // Reads the movie in pieces from bytes in memory, as from a file (which the caller keeps while it is read).
  int OpenMemory(const uint8_t* data, size_t size);
  void Close() override;
  int EnsureEntryLoaded(int32_t index) override;
  uint32_t Loaded() const { return loaded_; }
  uint32_t FileSize() const { return fileSize_; }
  bool FileOpen() const { return file_ != nullptr || source_ != nullptr; }
  int Reads() const { return reads_; }

 private:
  int StartFile(HANDLE file);
  int Start(HANDLE file, size_t size);
  int ReadMore();
  bool HeaderLoaded(int32_t index);  // the entry's 16-byte header is in
  std::vector<uint8_t> buffer_;
  HANDLE file_ = nullptr;
  const uint8_t* source_ = nullptr;
  int reads_ = 0;
  uint32_t fileSize_ = 0, loaded_ = 0;
};

// True for an entry that holds pixels (not a palette).
bool ShapeEntryIsImage(const uint8_t* entry);
