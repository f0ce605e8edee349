// Chunked streams. Reads complete on the file system's device thread while consumers call from the game
// thread: the stream's critical section guards its lists, counts, positions and state. File operations are
// queued and given their callbacks outside the lock, since a finished operation calls back at once.
#include "platformlib/bigfile/bigfile.h"
#include "platformlib/stream/stream.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "platformlib/files/filesys.h"
#include "platformlib/core/timer.h"

namespace {

constexpr const char* kSource = "cmn\\stream.c";
constexpr uint32_t kSizeMask = 0x00FFFFFF;
constexpr int kMaxStreams = 64;

// File operations carry a 32-bit user word; it names the stream by its slot here.
std::mutex slotlock;
StreamRecord* slots[kMaxStreams];
std::atomic<uint32_t> requestserial{0};

struct Lock {
  StreamRecord* s;
  explicit Lock(StreamRecord* stream) : s(stream) { entercritical(s->section); }
  ~Lock() { leavecritical(s->section); }
};

int32_t readid(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
uint32_t readsize(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p + 4, 4);
  return v;
}
void writeid(uint8_t* p, int32_t id) { std::memcpy(p, &id, 4); }
void writesize(uint8_t* p, uint32_t size) { std::memcpy(p + 4, &size, 4); }

bool validtap(StreamTap* tap) {
  return tap && tap->stream && std::memcmp(tap->stream->signature, "STRM", 4) == 0;
}

StreamRecord* check(StreamTap* tap, const char* function) {
  if (validtap(tap)) return tap->stream;
  ABORTCONTEXT(kSource, function);
  abortmessage("%s - invalid stream handle\n", function);
  return nullptr;
}

void streamabort(const char* function, const char* text) {
  ABORTCONTEXT(kSource, function);
  abortmessage("%s", text);
}

// The chunk after p, following a wrap record; stops at the routing position.
uint8_t* following(StreamRecord* s, uint8_t* p) {
  p += readsize(p) & kSizeMask;
  if (p != s->routed && readid(p) == kChunkWrap) p = s->bufferstart;
  return p;
}

uint8_t* findtapchunk(StreamRecord* s, uint8_t* from, int32_t tap) {
  for (uint8_t* p = from; p != s->routed;) {
    if (readid(p) == kChunkWrap) {
      p = s->bufferstart;
      continue;
    }
    if (readid(p) != kChunkReleased && static_cast<int32_t>(readsize(p) >> 24) == tap) return p;
    p += readsize(p) & kSizeMask;
  }
  return nullptr;
}

void sethungry(StreamRecord* s, int on) {
  s->hungry = on;
  if (on && s->operation && s->state != STREAM_IDLE) FILE_setoppriority(s->operation, s->hungrypriority);
}

// Gives a routed chunk's space back; a chunk still waiting at its tap leaves the tap too.
void dropchunk(StreamRecord* s, uint8_t* p) {
  const uint32_t size = readsize(p);
  const int32_t tap = static_cast<int32_t>(size >> 24);
  if (tap >= 1 && tap <= s->tapcount) {
    StreamTap& t = s->taps[tap - 1];
    t.waiting -= std::min(t.waiting, size & kSizeMask);
    for (ChunkStreamRequest* r = s->first; r; r = r->next)
      if (r->waiting[tap - 1]) {
        --r->waiting[tap - 1];
        break;
      }
    writesize(p, size & kSizeMask);
    if (t.next == p) t.next = findtapchunk(s, following(s, p), tap);
  }
  writeid(p, kChunkReleased);
  s->buffered -= std::min(s->buffered, size & kSizeMask);
  if (s->buffered < s->refill && !s->hungry) sethungry(s, 1);
}

ChunkStreamRequest* takerequest(StreamRecord* s) {
  ChunkStreamRequest* r = s->freelist;
  if (!r) return nullptr;
  s->freelist = r->next;
  const uint32_t slot = static_cast<uint32_t>(r - s->requests);
  uint32_t serial = requestserial += 256;
  if (serial == 0) serial = requestserial += 256;  // ids are never 0
  const uint32_t id = serial | slot;
  std::memset(r, 0, sizeof *r);
  r->id = id;
  r->state = STREAMREQ_QUEUED;
  r->prev = s->last;
  if (s->last) s->last->next = r;
  else s->first = r;
  s->last = r;
  return r;
}

void freerequest(StreamRecord* s, ChunkStreamRequest* r) {
  if (r->prev) r->prev->next = r->next;
  else s->first = r->next;
  if (r->next) r->next->prev = r->prev;
  else s->last = r->prev;
  if (s->current == r) s->current = nullptr;
  r->state = STREAMREQ_FREE;
  r->prev = nullptr;
  r->next = s->freelist;
  s->freelist = r;
}

bool requestdrained(const StreamRecord* s, const ChunkStreamRequest* r) {
  for (int t = 0; t < s->tapcount; ++t)
    if (r->waiting[t]) return false;
  return true;
}

// Finished requests whose chunks have all been taken are given back.
void freefinished(StreamRecord* s) {
  for (ChunkStreamRequest* r = s->first; r;) {
    ChunkStreamRequest* next = r->next;
    if ((r->state == STREAMREQ_FINISHED || r->state == STREAMREQ_CANCELLED) && r != s->current && requestdrained(s, r))
      freerequest(s, r);
    r = next;
  }
}

// Routes the complete chunks between the routing position and the read end.
void parsechunks(StreamRecord* s) {
  ChunkStreamRequest* r = s->current;
  while (r && !r->endseen && s->readend - s->routed >= 8) {
    uint8_t* p = s->routed;
    const int32_t id = readid(p);
    const uint32_t size = readsize(p);
    const uint32_t room = static_cast<uint32_t>(s->bufferend - s->bufferstart) - kStreamReadSize - 16;
    // A chunk shorter than its header, or one that could never fit the buffer, would stall the stream.
    if ((size >> 24) != 0 || size < 8 || size > room || id == kChunkWrap || id == kChunkReleased) {
      streamabort("parsechunks", "STREAM - invalid chunk file (chunk too large)\n");
      r->state = STREAMREQ_CANCELLED;
      s->readend = s->routed;
      return;
    }
    if (static_cast<uint32_t>(s->readend - p) < size) return;
    int32_t tap = kTapDiscard;
    for (int f = 0; f < s->filtercount; ++f)
      if ((static_cast<uint32_t>(id) & s->filters[f].mask) == s->filters[f].value) {
        tap = s->filters[f].tap;
        break;
      }
    if (tap >= 1) {
      StreamTap& t = s->taps[tap - 1];
      writesize(p, size | static_cast<uint32_t>(tap) << 24);
      t.waiting += size;
      if (!t.next) t.next = p;
      ++r->waiting[tap - 1];
      s->buffered += size;
      if (s->hungry && s->buffered >= s->refill) s->hungry = 0;
    } else {
      writeid(p, kChunkReleased);
      if (tap == kTapAbort) streamabort("parsechunks", "STREAM - chunk received at abort tap\n");
    }
    s->routed = p + size;
    if (id == r->endid) {
      r->endseen = true;
      s->readend = s->routed;  // what follows the end chunk is not this request's
    }
  }
}

// Room for the next read; moves unrouted data to the buffer start when the end is near.
uint32_t freeroom(StreamRecord* s) {
  // Past released chunks and wraps; an empty buffer starts again at its beginning.
  // The active request's first chunk moves along with the consumer, so that it never points at reused space.
  while (s->consumer != s->routed) {
    const int32_t id = readid(s->consumer);
    uint8_t* const was = s->consumer;
    if (id == kChunkWrap) s->consumer = s->bufferstart;
    else if (id == kChunkReleased) s->consumer += readsize(s->consumer) & kSizeMask;
    else break;
    if (s->current && s->current->bufferstart == was) s->current->bufferstart = s->consumer;
  }
  if (s->consumer == s->routed) {
    // Nothing is held: the unrouted rest moves to the start and the whole buffer is free again.
    const size_t unrouted = static_cast<size_t>(s->readend - s->routed);
    if (s->current) s->current->bufferstart = s->bufferstart;
    std::memmove(s->bufferstart, s->routed, unrouted);
    s->consumer = s->routed = s->bufferstart;
    s->readend = s->bufferstart + unrouted;
    return static_cast<uint32_t>(s->bufferend - s->readend - 8);
  }
  if (s->readend < s->consumer) return static_cast<uint32_t>(s->consumer - s->readend - 1);
  const uint32_t room = static_cast<uint32_t>(s->bufferend - s->readend - 8);
  if (room >= kStreamReadSize) return room;
  const size_t unrouted = static_cast<size_t>(s->readend - s->routed);
  if (s->bufferstart + unrouted >= s->consumer) return 0;
  std::memmove(s->bufferstart, s->routed, unrouted);
  writeid(s->routed, kChunkWrap);
  writesize(s->routed, 8);
  s->routed = s->bufferstart;
  s->readend = s->bufferstart + unrouted;
  return static_cast<uint32_t>(s->consumer - s->readend - 1);
}

// The stream's memory walk for a block given without its length: up to and including the end chunk, or up
// to the first chunk that cannot be one.
// The chunks up to and with the end chunk, within the `extent` bytes the block has.
uint32_t memorylength(const uint8_t* address, size_t extent, int32_t endid) {
  uint32_t length = 0;
  for (;;) {
    if (extent - length < 8) return length;
    const int32_t id = readid(address + length);
    const uint32_t size = readsize(address + length);
    if ((size >> 24) || size < 8 || size > extent - length) return length;
    length += size;
    if (id == endid || length >= 0x7F000000) return length;
  }
}

enum class Action { None, Open, Close, Read };

struct Step {
  Action action = Action::None;
  char name[264] = {};
  FileHandle handle = 0;
  int32_t position = 0;
  uint8_t* buffer = nullptr;
  int priority = 0;
};

// Works the stream forward under its lock until it needs the file system or has to wait.
Step advance(StreamRecord* s) {
  Step step;
  for (;;) {
    if (s->operation) return step;
    freefinished(s);
    ChunkStreamRequest* r = s->current;
    if (!r || r->state != STREAMREQ_ACTIVE) {
      if (r) s->current = nullptr;
      // The next queued request.
      ChunkStreamRequest* next = s->first;
      while (next && next->state != STREAMREQ_QUEUED) next = next->next;
      if (!next) {
        s->state = STREAM_IDLE;
        return step;
      }
      next->state = STREAMREQ_ACTIVE;
      next->bufferstart = s->readend;
      s->current = next;
      s->state = STREAM_RUNNING;
      continue;
    }
    if (r->kind == 0) {
      if (s->handle == 0 || std::strcmp(s->filename, r->name) != 0) {
        if (s->handle != 0) {
          step.action = Action::Close;
          step.handle = s->handle;
          s->handle = 0;
          s->filename[0] = 0;
          s->closing = 1;
        } else {
          step.action = Action::Open;
          std::memcpy(step.name, r->name, sizeof step.name);
        }
        step.priority = s->readpriority;
        return step;
      }
      if (r->done == 0) s->fileposition = static_cast<int32_t>(r->offset);
    }
    if (r->endseen || (r->kind == 1 && r->done >= r->offset)) {
      r->state = STREAMREQ_FINISHED;
      continue;
    }
    const uint32_t room = freeroom(s);
    if (room < kStreamReadSize) {
      s->state = STREAM_WAITING;
      return step;
    }
    s->state = STREAM_RUNNING;
    if (r->kind == 1) {
      const uint32_t count = std::min(room, r->offset - r->done);
      std::memcpy(s->readend, r->address + r->done, count);
      r->done += count;
      s->readend += count;
      parsechunks(s);
      if (!r->endseen && r->done >= r->offset) s->readend = s->routed;  // a partial chunk at the end is dropped
      continue;
    }
    step.action = Action::Read;
    step.handle = s->handle;
    step.position = s->fileposition;
    step.buffer = s->readend;
    step.priority = s->hungry ? s->hungrypriority : s->readpriority;
    s->inflight = kStreamReadSize;
    return step;
  }
}

void opened(uint32_t id, int status, uint32_t user);
void closed(uint32_t id, int status, uint32_t user);
void readdone(uint32_t id, int status, uint32_t user);

StreamRecord* streamofslot(uint32_t user) {
  std::lock_guard<std::mutex> guard(slotlock);
  return user < kMaxStreams ? slots[user] : nullptr;
}

void pump(StreamRecord* s) {
  Step step;
  {
    Lock lock(s);
    step = advance(s);
  }
  const uint32_t user = static_cast<uint32_t>(s->slot);
  uint32_t id = 0;
  FileOpCallback callback = nullptr;
  switch (step.action) {
    case Action::None:
      return;
    case Action::Open:
      id = FILE_open(step.name, FILEOPEN_READONLY, step.priority, user);
      callback = opened;
      if (!id) streamabort("startnextrequest", "STREAM - unable to initiate file open\n");
      break;
    case Action::Close:
      id = FILE_close(step.handle, step.priority, user);
      callback = closed;
      if (!id) streamabort("startnextrequest", "STREAM - unable to initiate file close\n");
      break;
    case Action::Read:
      id = FILE_read(step.handle, step.position, step.buffer, kStreamReadSize, step.priority, user);
      callback = readdone;
      if (!id) streamabort("restartstream", "STREAM - unable to initiate file read\n");
      break;
  }
  {
    Lock lock(s);
    if (!id) {
      // The request cannot go on; the stream moves to the next one.
      if (s->current) s->current->state = STREAMREQ_CANCELLED;
      s->closing = 0;
      s->inflight = 0;
    }
    s->operation = id;
  }
  if (id) FILE_callbackop(id, callback);
  else pump(s);
}

void opened(uint32_t id, int status, uint32_t user) {
  StreamRecord* s = streamofslot(user);
  const FileHandle handle = FILE_ophandle(id);
  FILE_completeop(id);
  if (!s) return;
  bool failed = false;
  char name[264] = {};
  {
    Lock lock(s);
    s->operation = 0;
    ChunkStreamRequest* r = s->current;
    if (status == FILEOP_DONE && handle != 0) {
      s->handle = handle;
      if (r) std::memcpy(s->filename, r->name, sizeof s->filename);
    } else if (r) {
      std::memcpy(name, r->name, sizeof name);
      r->state = STREAMREQ_CANCELLED;
      failed = true;
    }
  }
  if (failed) {
    ABORTCONTEXT(kSource, "startnextrequest");
    abortmessage("STREAM - unable to open file '%s'\n", name);
  }
  pump(s);
}

void closed(uint32_t id, int, uint32_t user) {
  StreamRecord* s = streamofslot(user);
  FILE_completeop(id);
  if (!s) return;
  {
    Lock lock(s);
    s->operation = 0;
    s->closing = 0;
  }
  pump(s);
}

void readdone(uint32_t id, int status, uint32_t user) {
  StreamRecord* s = streamofslot(user);
  const uint32_t count = status == FILEOP_DONE ? std::min(FILE_opcount(id), kStreamReadSize) : 0;
  FILE_completeop(id);
  if (!s) return;
  {
    Lock lock(s);
    s->operation = 0;
    s->inflight = 0;
    ChunkStreamRequest* r = s->current;
    if (r && r->state == STREAMREQ_ACTIVE) {
      s->fileposition += static_cast<int32_t>(count);
      s->readend += count;
      r->done += count;
      parsechunks(s);
      // The end of the file ends the request too; a partial chunk there is dropped.
      if (count == 0 && !r->endseen) {
        s->readend = s->routed;
        r->state = STREAMREQ_FINISHED;
      }
    }
  }
  pump(s);
}

void freeslot(StreamRecord* s) {
  std::lock_guard<std::mutex> guard(slotlock);
  if (s->slot >= 0 && s->slot < kMaxStreams && slots[s->slot] == s) slots[s->slot] = nullptr;
}

template <typename T>
uint8_t* carve(uint8_t*& at, int32_t count) {
  at += (alignof(T) - reinterpret_cast<uintptr_t>(at) % alignof(T)) % alignof(T);
  uint8_t* block = at;
  at += sizeof(T) * static_cast<size_t>(count);
  return block;
}

}  // namespace

STREAM_HANDLE STREAM_create(int32_t requests, int32_t filters, int32_t taps, void* memory, uint32_t size) {
  const char* fn = "STREAM_create";
  if (requests < 2) return streamabort(fn, "STREAM_create - a minimum of two requests is required\n"), nullptr;
  if (requests > 256) return streamabort(fn, "STREAM_create - too many requests\n"), nullptr;
  if (filters < 1 || filters > 16) return streamabort(fn, "STREAM_create - invalid number of filters\n"), nullptr;
  if (taps < 1 || taps > filters) return streamabort(fn, "STREAM_create - invalid number of taps\n"), nullptr;
  uint8_t* at = static_cast<uint8_t*>(memory);
  uint8_t* const base = at;
  uint8_t* record = carve<StreamRecord>(at, 1);
  uint8_t* requesttable = carve<ChunkStreamRequest>(at, requests);
  uint8_t* filtertable = carve<StreamFilter>(at, filters);
  uint8_t* taptable = carve<StreamTap>(at, taps);
  at = carve<uint64_t>(at, 0);
  const size_t used = static_cast<size_t>(at - base);
  if (!memory || size < used || size - used < kStreamMinBuffer)
    return streamabort(fn, "STREAM_create - stream buffer too small\n"), nullptr;
  int slot = -1;
  {
    std::lock_guard<std::mutex> guard(slotlock);
    for (int i = 0; i < kMaxStreams && slot < 0; ++i)
      if (!slots[i]) slot = i;
  }
  if (slot < 0) return streamabort(fn, "STREAM_create - too many streams\n"), nullptr;
  auto* s = new (record) StreamRecord{};
  std::memcpy(s->signature, "STRM", 4);
  s->section = getcriticalsection();
  s->requests = reinterpret_cast<ChunkStreamRequest*>(requesttable);
  s->requestcount = requests;
  s->filters = reinterpret_cast<StreamFilter*>(filtertable);
  s->filtercount = filters;
  s->taps = reinterpret_cast<StreamTap*>(taptable);
  s->tapcount = taps;
  s->bufferstart = at;
  s->bufferend = base + size;
  s->state = STREAM_IDLE;
  s->readpriority = 150;
  s->hungrypriority = 50;
  s->consumer = s->routed = s->readend = s->bufferstart;
  s->slot = slot;
  for (int i = 0; i < requests; ++i) {
    ChunkStreamRequest* r = new (s->requests + i) ChunkStreamRequest{};
    r->next = i + 1 < requests ? s->requests + i + 1 : nullptr;
  }
  s->freelist = s->requests;
  for (int i = 0; i < filters; ++i) new (s->filters + i) StreamFilter{0, 0, 1};
  for (int i = 0; i < taps; ++i) new (s->taps + i) StreamTap{s, i + 1, 0, nullptr};
  {
    std::lock_guard<std::mutex> guard(slotlock);
    slots[slot] = s;
  }
  return s->taps;
}

int STREAM_setfilter(STREAM_HANDLE handle, int32_t filter, uint32_t mask, uint32_t value, int32_t tap) {
  const char* fn = "STREAM_setfilter";
  StreamRecord* s = check(handle, fn);
  if (!s) return 0;
  if (filter < 1 || filter > s->filtercount) return streamabort(fn, "STREAM_setfilter - invalid filter number\n"), 0;
  if (filter == s->filtercount && (mask || value)) return streamabort(fn, "STREAM_setfilter - last filter must be null\n"), 0;
  if (!((tap >= 1 && tap <= s->tapcount) || tap == kTapDiscard || tap == kTapAbort))
    return streamabort(fn, "STREAM_setfilter - invalid tap number\n"), 0;
  Lock lock(s);
  if (s->state != STREAM_IDLE) return streamabort(fn, "STREAM_setfilter - stream must be idle to set filter\n"), 0;
  s->filters[filter - 1] = {mask, value, tap};
  return 1;
}

STREAM_HANDLE STREAM_taphandle(STREAM_HANDLE handle, int32_t tap) {
  StreamRecord* s = check(handle, "STREAM_taphandle");
  if (!s) return nullptr;
  if (tap < 1 || tap > s->tapcount) return streamabort("STREAM_taphandle", "STREAM_taphandle - invalid tap number\n"), nullptr;
  return s->taps + (tap - 1);
}

int32_t STREAM_tapnum(STREAM_HANDLE handle) { return check(handle, "STREAM_tapnum") ? handle->number : 0; }

void STREAM_setpriority(STREAM_HANDLE handle, int32_t readpriority, int32_t hungrypriority) {
  StreamRecord* s = check(handle, "STREAM_setpriority");
  if (!s) return;
  Lock lock(s);
  s->readpriority = std::clamp(readpriority, 0, 255);
  s->hungrypriority = std::clamp(hungrypriority, 0, 255);
}

void STREAM_setgreedylevel(STREAM_HANDLE handle, uint32_t bytes) {
  StreamRecord* s = check(handle, "STREAM_setgreedylevel");
  if (!s) return;
  Lock lock(s);
  s->refill = bytes;
  if (s->buffered < bytes && !s->hungry) sethungry(s, 1);
  else if (s->buffered >= bytes && s->hungry) s->hungry = 0;
}

void STREAM_setgreedystate(STREAM_HANDLE handle, int on) {
  StreamRecord* s = check(handle, "STREAM_setgreedystate");
  if (!s) return;
  Lock lock(s);
  sethungry(s, on ? 1 : 0);
}

namespace {

uint32_t queue(StreamRecord* s, int kind, const char* name, const void* address, uint32_t offset, int32_t endid) {
  uint32_t id = 0;
  bool start = false;
  {
    Lock lock(s);
    ChunkStreamRequest* r = takerequest(s);
    if (!r) return 0;
    r->kind = kind;
    if (name) std::snprintf(r->name, sizeof r->name, "%s", name);
    r->address = static_cast<const uint8_t*>(address);
    r->offset = offset;
    r->endid = endid;
    id = r->id;
    start = s->state == STREAM_IDLE;
  }
  if (start) pump(s);
  return id;
}

}  // namespace

uint32_t STREAM_queuefile(STREAM_HANDLE handle, const char* name, uint32_t offset, int32_t endid) {
  StreamRecord* s = check(handle, "STREAM_queuefile");
  if (!s || !name) return 0;
  return queue(s, 0, name, nullptr, offset, endid);
}

uint32_t STREAM_queuemem(STREAM_HANDLE handle, const void* address, uint32_t length, int32_t endid) {
  StreamRecord* s = check(handle, "STREAM_queuemem");
  if (!s || !address) return 0;
  if (length == 0) {
    // Walking to the end chunk needs to know where the block ends: only a registered block has no length.
    const size_t extent = std::min<size_t>(registeredextent(address), 0x7F000000);
    if (extent == 0) {
      streamabort("STREAM_queuemem", "STREAM_queuemem - block has no length\n");
      return 0;
    }
    length = memorylength(static_cast<const uint8_t*>(address), extent, endid);
    if (length == 0) return 0;
  }
  return queue(s, 1, nullptr, address, length, endid);
}

ChunkHeader* STREAM_get(STREAM_HANDLE tap) {
  StreamRecord* s = check(tap, "STREAM_get");
  if (!s) return nullptr;
  Lock lock(s);
  uint8_t* p = tap->next;
  if (!p) return nullptr;
  const uint32_t size = readsize(p) & kSizeMask;
  writesize(p, size);
  tap->waiting -= std::min(tap->waiting, size);
  for (ChunkStreamRequest* r = s->first; r; r = r->next)
    if (r->waiting[tap->number - 1]) {
      --r->waiting[tap->number - 1];
      break;
    }
  tap->next = findtapchunk(s, following(s, p), tap->number);
  return reinterpret_cast<ChunkHeader*>(p);
}

void STREAM_release(STREAM_HANDLE tap, ChunkHeader* chunk) {
  StreamRecord* s = check(tap, "STREAM_release");
  if (!s) return;
  bool restart = false;
  {
    Lock lock(s);
    auto* p = reinterpret_cast<uint8_t*>(chunk);
    if (p < s->bufferstart || p + 8 > s->bufferend)
      return streamabort("STREAM_release", "STREAM_release - chunk does not belong to specified stream\n");
    if (readid(p) == kChunkReleased) return streamabort("STREAM_release", "STREAM_release - chunk has already been released\n");
    dropchunk(s, p);
    restart = s->state == STREAM_WAITING;
  }
  if (restart) pump(s);
}

namespace {

// Releases every routed chunk from `from` to the routing position.
void dropfrom(StreamRecord* s, uint8_t* from) {
  for (uint8_t* p = from; p != s->routed;) {
    if (readid(p) == kChunkWrap) {
      p = s->bufferstart;
      continue;
    }
    const uint32_t size = readsize(p) & kSizeMask;
    if (readid(p) != kChunkReleased) dropchunk(s, p);
    p += size;
  }
}

}  // namespace

void STREAM_cancelrequest(STREAM_HANDLE handle, uint32_t id) {
  StreamRecord* s = check(handle, "STREAM_cancelrequest");
  if (!s) return;
  bool restart = false;
  {
    Lock lock(s);
    ChunkStreamRequest* r = s->first;
    while (r && r->id != id) r = r->next;
    if (!r) return;
    if (r->state == STREAMREQ_QUEUED) {
      freerequest(s, r);
    } else if (r->state == STREAMREQ_ACTIVE) {
      r->state = STREAMREQ_CANCELLED;
      dropfrom(s, r->bufferstart);
      std::fill(std::begin(r->waiting), std::end(r->waiting), 0u);
      s->readend = s->routed;
      restart = s->operation == 0;
    }
  }
  if (restart) pump(s);
}

void STREAM_kill(STREAM_HANDLE handle) {
  StreamRecord* s = check(handle, "STREAM_kill");
  if (!s) return;
  bool restart = false;
  {
    Lock lock(s);
    for (ChunkStreamRequest* r = s->first; r;) {
      ChunkStreamRequest* next = r->next;
      if (r == s->current && s->operation) r->state = STREAMREQ_CANCELLED;
      else freerequest(s, r);
      r = next;
    }
    dropfrom(s, s->consumer);
    for (int t = 0; t < s->tapcount; ++t) {
      s->taps[t].waiting = 0;
      s->taps[t].next = nullptr;
    }
    for (ChunkStreamRequest* r = s->first; r; r = r->next) std::fill(std::begin(r->waiting), std::end(r->waiting), 0u);
    s->buffered = 0;
    s->readend = s->routed;
    restart = s->operation == 0;
  }
  if (restart) pump(s);
}

void STREAM_destroy(STREAM_HANDLE handle) {
  StreamRecord* s = check(handle, "STREAM_destroy");
  if (!s) return;
  STREAM_kill(handle);
  for (;;) {
    {
      Lock lock(s);
      if (s->state == STREAM_IDLE && s->operation == 0) break;
    }
    runsystemtasks();
    Sleep(1);
  }
  FileHandle open = 0;
  {
    Lock lock(s);
    std::memset(s->signature, 0, 4);
    open = s->handle;
    s->handle = 0;
  }
  freeslot(s);
  if (open) {
    const uint32_t id = FILE_close(open, s->readpriority, 0);
    if (id) {
      FILE_waitop(id);
      FILE_completeop(id);
    }
  }
  freecriticalsection(s->section);
  s->section = nullptr;
}

int32_t STREAM_state(STREAM_HANDLE handle) {
  StreamRecord* s = check(handle, "STREAM_state");
  return s ? s->state.load() : STREAM_IDLE;
}

int STREAM_isendofstream(STREAM_HANDLE tap) {
  StreamRecord* s = check(tap, "STREAM_isendofstream");
  if (!s) return 1;
  Lock lock(s);
  return s->state == STREAM_IDLE && s->operation == 0 && tap->next == nullptr;
}

uint32_t STREAM_buffersize(STREAM_HANDLE handle) {
  StreamRecord* s = check(handle, "STREAM_buffersize");
  return s ? static_cast<uint32_t>(s->bufferend - s->bufferstart) : 0;
}

uint32_t STREAM_bufferusage(STREAM_HANDLE handle) {
  StreamRecord* s = check(handle, "STREAM_bufferusage");
  return s ? s->buffered : 0;
}

uint32_t STREAM_taprequestid(STREAM_HANDLE tap) {
  StreamRecord* s = check(tap, "STREAM_taprequestid");
  if (!s) return 0;
  Lock lock(s);
  for (ChunkStreamRequest* r = s->first; r; r = r->next)
    if (r->waiting[tap->number - 1]) return r->id;
  return s->current ? s->current->id : 0;
}

int32_t STREAM_requeststate(STREAM_HANDLE handle, uint32_t id) {
  StreamRecord* s = check(handle, "STREAM_requeststate");
  if (!s) return STREAMREQ_FREE;
  Lock lock(s);
  for (ChunkStreamRequest* r = s->first; r; r = r->next)
    if (r->id == id) return r->state;
  return STREAMREQ_FREE;
}

uint32_t STREAM_gettable(STREAM_HANDLE tap) {
  StreamRecord* s = check(tap, "STREAM_gettable");
  if (!s) return 0;
  Lock lock(s);
  return tap->waiting;
}
