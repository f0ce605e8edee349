#include "scene/movieplayer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <strings.h>

#include "framework/core/paths.h"
#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/inputstate.h"
#include "platformlib/gfx/windowdesc.h"
#include "mmsystem.h"
#include "windows.h"

namespace {

constexpr int kBuffers = 6;
bool gAbortLatched = false;
MovieCaption gCaption;

uint32_t ReadLE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

const uint8_t* MadChunkReader::Next(size_t* bytes) {
  if (ended_) return nullptr;
  uint8_t header[8];
  if (source_(header, 8) != 8) {
    ended_ = true;
    return nullptr;
  }
  const uint32_t id = ReadLE32(header), size = ReadLE32(header + 4);
  if (id == kMadEndId || size < 8 || size > kLimit) {
    ended_ = true;
    return nullptr;
  }
  chunk_.resize(size);
  std::memcpy(chunk_.data(), header, 8);
  if (source_(chunk_.data() + 8, size - 8) != size - 8) {
    ended_ = true;
    return nullptr;
  }
  *bytes = size;
  return chunk_.data();
}

const uint8_t* MadChunkReader::NextPicture(size_t* bytes) {
  while (const uint8_t* c = Next(bytes))
    if (movieisframeid(ReadLE32(c))) return c;
  return nullptr;
}

int RunMadPlayer(MadChunkReader& reader, int32_t x, int32_t y, const MovieOutput& out, MoviePlayStats* stats) {
  MoviePlayStats local;
  MoviePlayStats& st = stats ? *stats : local;
  st = MoviePlayStats{};
  size_t bytes = 0;
  const uint8_t* chunk = reader.NextPicture(&bytes);
  MovieFrame frame{};
  if (!chunk || movieparseframe(chunk, bytes, &frame) != 0) return -2;
  const int32_t width = frame.width, height = frame.height;
  const uint64_t duration = frame.duration;
  if (x == -1) {
    x = (Facts().screenWidth - width) / 2;
    y = (Facts().screenHeight - height) / 2;
  }
  std::vector<std::vector<PixelPair>> buffers(kBuffers,
                                              std::vector<PixelPair>(static_cast<size_t>(width / 2) * height));
  std::vector<int> freeList;
  for (int i = kBuffers - 1; i >= 0; --i) freeList.push_back(i);
  struct Queued {
    int64_t due;
    int buffer;
  };
  std::deque<Queued> queue;
  uint64_t dueFixed = 0;  // 16.16 ms: the fraction carries from frame to frame
  uint32_t start = out.clock();
  auto now = [&] { return static_cast<int64_t>(out.clock() - start); };

  auto showDue = [&](int64_t t) {
    if (queue.empty() || queue.front().due > t) return false;
    Queued last = queue.front();
    int due = 0;
    while (!queue.empty() && queue.front().due <= t) {
      last = queue.front();
      freeList.push_back(last.buffer);
      queue.pop_front();
      ++due;
    }
    st.skipped += due - 1;
    st.lateness += t - last.due;
    out.show(buffers[static_cast<size_t>(last.buffer)].data(), x, y, width, height);
    ++st.shown;
    return true;
  };
  // Picture chunks that do not match the first one's size are damage.
  auto decode = [&](const uint8_t* c, size_t n) {
    MovieFrame f{};
    if (movieparseframe(c, n, &f) != 0 || f.width != width || f.height != height) return false;
    const int b = freeList.back();
    if (moviedecodepicture(f, buffers[static_cast<size_t>(b)].data()) != 0) return false;
    freeList.pop_back();
    queue.push_back(Queued{static_cast<int64_t>(dueFixed >> 16), b});
    dueFixed += duration;
    return true;
  };
  auto drop = [&](const uint8_t* c) {
    if (ReadLE32(c) == kMadDropId) ++st.droppedDroppable;
    else ++st.droppedOther;
    dueFixed += duration;
  };

  // Pre-roll: the first frames decoded before the clock starts.
  while (chunk && !freeList.empty()) {
    if (out.abort()) return 1;
    if (!decode(chunk, bytes)) return -2;
    chunk = reader.NextPicture(&bytes);
  }
  start = out.clock();
  while (chunk) {
    if (out.abort()) return 1;
    int64_t t = now();
    const uint32_t id = ReadLE32(chunk);
    const int64_t due = static_cast<int64_t>(dueFixed >> 16);
    if (id == kMadDropId && due - t < 133) {
      drop(chunk);
      chunk = reader.NextPicture(&bytes);
      continue;
    }
    if (due - t < 67) {
      // Far behind: everything up to the next key frame goes.
      while (chunk && ReadLE32(chunk) != kMadKeyId) {
        drop(chunk);
        chunk = reader.NextPicture(&bytes);
      }
      if (!chunk) break;
    }
    while (freeList.empty()) {
      if (!showDue(now())) out.wait(1);
      if (out.abort()) return 1;
    }
    if (!decode(chunk, bytes)) return -2;
    showDue(now());
    chunk = reader.NextPicture(&bytes);
  }
  while (!queue.empty()) {
    if (out.abort()) return 1;
    if (!showDue(now())) out.wait(1);
  }
  return 0;
}

int MovieAbortRequested() {
  if (gAbortLatched) return 1;
  for (int key : {VK_LBUTTON, VK_MBUTTON, VK_RBUTTON, VK_ESCAPE, VK_RETURN, VK_SPACE})
    if (GetAsyncKeyState(key) & 0x8001) gAbortLatched = true;
  return gAbortLatched ? 1 : 0;
}

void ClearMovieAbort() {
  gAbortLatched = false;
  // A press made before the movie began (the click that started it) is not one that ends it.
  for (int key : {VK_LBUTTON, VK_MBUTTON, VK_RBUTTON, VK_ESCAPE, VK_RETURN, VK_SPACE}) GetAsyncKeyState(key);
}

void SetMovieCaption(MovieCaption caption) { gCaption = std::move(caption); }

MovieOutput ScreenMovieOutput() {
  MovieOutput out;
  out.show = [first = true](const PixelPair* frame, int32_t x, int32_t y, int32_t width, int32_t height) mutable {
    ImageRecord* screen = DrawnImage();
    if (!screen || !screen->window || !screen->window->pixels) return;
    if (first && gCaption) {
      // Once: the picture's frames cover only their own place, so the text stays.
      gCaption(MARect{x, y, x + width, y + height});
      AddDirtyRect(MARect{0, 0, screen->window->width, screen->window->height});
    }
    first = false;
    const WindowDesc saved = CurrentWindow;
    CurrentWindow = *screen->window;
    setvideoframe(frame);
    blitvideoframe(x, y, width, height, 0);
    setvideoframe(nullptr);
    CurrentWindow = saved;
    AddDirtyRect(MARect{std::max(x, 0), std::max(y, 0), x + width, y + height});
    UpdateScreen();
  };
  out.clock = [] { return static_cast<uint32_t>(timeGetTime()); };
  out.wait = [](uint32_t ms) { Sleep(ms); };
  out.abort = [] { return MovieAbortRequested() != 0; };
  return out;
}

int PlayMadMovie(const char* name) {
  ClearMovieAbort();
  if (!name) return 0;
  char full[MAX_PATH];
  if (!std::strchr(name, '\\') && !std::strchr(name, '/') && !std::strchr(name, ':')) {
    PathRecord movies{};
    if (PathSetDirectory(&movies, Facts().dataFolder) != 0 || PathAppend(&movies, "MOVIES") != 0 ||
        !PathJoin(&movies, name, full, sizeof full))
      return -2;
  } else {
    std::snprintf(full, sizeof full, "%s", name);
  }
  HANDLE h = CreateFileA(full, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return -2;
  MadChunkReader reader([h](uint8_t* to, size_t count) {
    size_t got = 0;
    while (got < count) {
      DWORD n = 0;
      const DWORD ask = static_cast<DWORD>(std::min<size_t>(count - got, 1u << 20));
      if (!ReadFile(h, to + got, ask, &n, nullptr) || n == 0) break;
      got += n;
    }
    return got;
  });
  // The movie on black: what the picture does not cover.
  if (ImageRecord* screen = DrawnImage(); screen && screen->window && screen->window->pixels) {
    WindowDesc* w = screen->window;
    for (int32_t row = 0; row < w->height; ++row)
      std::memset(w->pixels + static_cast<size_t>(row) * w->rowbytes, 0, static_cast<size_t>(w->width) * 2);
    AddDirtyRect(MARect{0, 0, w->width, w->height});
    UpdateScreen();
  }
  MoviePlayStats stats;
  const int result = RunMadPlayer(reader, -1, -1, ScreenMovieOutput(), &stats);
  CloseHandle(h);
  char line[200];
  std::snprintf(line, sizeof line, "Movie %.80s: %s, %d frames shown, %d dropped", name,
                result == 0 ? "played" : result == 1 ? "ended by the player" : "damaged", stats.shown,
                stats.droppedDroppable + stats.droppedOther + stats.skipped);
  WriteLogLine(line);
  FlushInput();
  return result;
}

int PlayMovieFile(const char* name) {
  const char* dot = name ? std::strrchr(name, '.') : nullptr;
  if (!dot) return 1;
  if (strcasecmp(dot, ".uv") == 0) return -1;
  if (strcasecmp(dot, ".mad") == 0) return PlayMadMovie(name);
  return 1;
}
