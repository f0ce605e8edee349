// A shape file whose image entries are the frames of a small movie, held whole in memory.
#pragma once

#include <cstdint>

#include "framework/core/memmgr.h"
#include "framework/core/paths.h"

class TShapeMovie {
 public:
  // Error codes of Open and the frame look-up.
  static constexpr int kOk = 0, kCannotLoad = 7, kCannotLock = 4, kNoFile = 17, kNotAnImage = 20;

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
  // The locked file (null when none is open).
  const uint8_t* File() const { return locked_; }

  int32_t frameCount = 0;
  uint16_t entryCount = 0;
  uint32_t frameTiming = 0xF0000;  // 15.0 frames a second, 16.16

 private:
  MemHandle data_ = 0;
  const uint8_t* locked_ = nullptr;
  size_t bytes_ = 0;
};

// True for an entry that holds pixels (not a palette).
bool ShapeEntryIsImage(const uint8_t* entry);
