// The full-screen movie player: `.mad` picture chunks decoded a few frames ahead into six buffers and shown at
// their due times on the movie clock; late frames are dropped ("MADe" whenever late, everything up to the next key
// frame when far behind). A mouse button, Escape, Enter or Space ends the movie.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "framework/core/utils.h"
#include "platformlib/movie/movie.h"

// A chunk file's bytes: the count read into `to` (fewer at its end or on an error).
using ChunkSource = std::function<size_t(uint8_t* to, size_t count)>;

// Chunks read one at a time from a source, none larger than `limit`: the end chunk, the source's end, a chunk
// shorter than its header, larger than the limit or cut short by the source's end all end the stream.
class MadChunkReader {
 public:
  static constexpr size_t kLimit = size_t{1} << 20;
  explicit MadChunkReader(ChunkSource source) : source_(std::move(source)) {}
  // The next chunk (its 8-byte header included, `bytes` long), valid until the next call; null at the end.
  const uint8_t* Next(size_t* bytes);
  // The next picture chunk, other chunks released unread.
  const uint8_t* NextPicture(size_t* bytes);
  bool Ended() const { return ended_; }

 private:
  ChunkSource source_;
  std::vector<uint8_t> chunk_;
  bool ended_ = false;
};

struct MoviePlayStats {
  int shown = 0, skipped = 0;             // frames shown; decoded but overtaken at display
  int droppedDroppable = 0, droppedOther = 0;  // dropped before decoding
  int64_t lateness = 0;                   // ms, summed over the frames shown
};

// Where the player shows a frame (width / 2 pixel pairs a row) and reads its clock (ms); tests and the benchmark
// put their own.
struct MovieOutput {
  std::function<void(const PixelPair* frame, int32_t x, int32_t y, int32_t width, int32_t height)> show;
  std::function<uint32_t()> clock;
  std::function<void(uint32_t ms)> wait;
  std::function<bool()> abort;
};
// The screen's: the display's picture, timeGetTime, Sleep and MovieAbortRequested.
MovieOutput ScreenMovieOutput();

// Plays the chunks: 0 after the whole movie, 1 when the player asked to end it, -2 when the stream holds no
// picture chunk or holds a damaged one. x -1 centres the picture on the screen.
int RunMadPlayer(MadChunkReader& reader, int32_t x, int32_t y, const MovieOutput& out, MoviePlayStats* stats);
// A button, Escape, Enter or Space down (or pressed since the last look); latched until ClearMovieAbort.
int MovieAbortRequested();
void ClearMovieAbort();
// Plays a .mad file full screen on black: the player's result (-2 also when the file cannot be opened). Names
// without a folder are looked for in the installation's MOVIES folder.
int PlayMadMovie(const char* name);
// Drawn onto the black screen of every full-screen movie before its first frame (the picture's place given), until
// it is set again: text that goes with a movie, below or beside its picture. Empty: none.
using MovieCaption = std::function<void(const MARect& picture)>;
void SetMovieCaption(MovieCaption caption);
// -1 for a ".uv" name, the player's result for ".mad", else 1 (extensions in any case).
int PlayMovieFile(const char* name);
