// Sound streams over chunked streams, feeding packet players.
#include "platformlib/soundstream/sndstream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platformlib/sound/sndmix.h"
#include "platformlib/sound/sndpacket.h"
#include "platformlib/core/timer.h"

namespace {

constexpr size_t kHeaderBytes = 128;

struct Request {
  int32_t handle;
  uint32_t streamid;
  uint32_t tag;
  bool haveheader;
  uint32_t headerbytes;
  uint8_t header[kHeaderBytes];
  uint64_t bytes, played;  // submitted and handed back
  uint32_t packets, released;
  int32_t firstpacket, lastpacket;
};

struct Record {
  STREAM_HANDLE data, headers;
  bool own;
  int player;
  int capacity;  // packet slots
  SNDPLAYOPTS options;
  uint8_t zone[12];
  int state;  // 0 waiting for a header, 1 playing, 2 a new header waits for the queue to empty
  int pending;  // request whose header waits
  int maxrequests, count;
  Request* requests;
  ChunkHeader** chunks;  // by packet id modulo the capacity
  SampleValues playing;
};

Record* streams[SOUNDSTREAMS];
int32_t requestserial = 0;

// Chunks of any size may leave the next header unaligned: read sizes bytewise.
uint32_t chunksize(const ChunkHeader* chunk) {
  uint32_t size;
  std::memcpy(&size, reinterpret_cast<const uint8_t*>(chunk) + 4, 4);
  return size & 0x00FFFFFF;
}

inline size_t round16(size_t n) { return (n + 15) & ~size_t{15}; }

size_t recordbytes(int requests, int packets) {
  return round16(sizeof(Record)) + round16(sizeof(Request) * requests) + round16(sizeof(ChunkHeader*) * packets) +
         round16(static_cast<size_t>(SNDPKTPLAY_memsize(packets)));
}

bool sameformat(const SampleValues& a, const SampleValues& b) {
  return a.bits == b.bits && a.channels == b.channels && a.rate == b.rate && a.compression == b.compression;
}

bool headerof(Request& r, SampleValues* s) {
  return r.haveheader && readsampletags(r.header, r.header + r.headerbytes, s);
}

int startplayer(Record* s, Request& r) {
  SampleValues sample;
  if (!headerof(r, &sample)) return SNDDAMAGED;
  const int h = SNDPKTPLAY_start(s->player, r.header, r.headerbytes, s->zone, &s->options);
  if (h >= 0) s->playing = sample;
  return h;
}

void packetdone(int player, int32_t id) {
  for (Record* s : streams) {
    if (!s || s->player != player) continue;
    ChunkHeader*& chunk = s->chunks[static_cast<uint32_t>(id) % static_cast<uint32_t>(s->capacity)];
    uint32_t bytes = 0;
    if (chunk) {
      bytes = chunksize(chunk) - 8;
      STREAM_release(s->data, chunk);
    }
    chunk = nullptr;
    for (int i = 0; i < s->count; ++i) {
      Request& r = s->requests[i];
      if (r.packets && id >= r.firstpacket && id <= r.lastpacket) {
        ++r.released;
        r.played += bytes;
        break;
      }
    }
    return;
  }
}

// Requests whose chunks are all read and whose packets are all back are done.
void prune(Record* s) {
  int kept = 0;
  for (int i = 0; i < s->count; ++i) {
    Request& r = s->requests[i];
    const int32_t state = STREAM_requeststate(s->data, r.streamid);
    const bool done = (state == STREAMREQ_FINISHED || state == STREAMREQ_FREE || state == STREAMREQ_CANCELLED) &&
                      r.released == r.packets && r.haveheader;
    if (!done) s->requests[kept++] = r;
  }
  s->count = kept;
}

void service(Record* s) {
  if (s->state == 2) {
    if (SNDPKTPLAY_queued(s->player) > 0) return;
    SNDPKTPLAY_stop(s->player);
    if (startplayer(s, s->requests[s->pending]) < 0) return;
    s->state = 1;
  }
  for (;;) {
    // Chunks go in the file's order: data of a request whose header is known comes before the next header.
    const bool room = s->state == 1 && SNDPKTPLAY_queued(s->player) < s->capacity - 1;
    bool datafirst = false;
    if (s->data->next) {
      const uint32_t owner = STREAM_taprequestid(s->data);
      for (int i = 0; i < s->count; ++i)
        if (s->requests[i].streamid == owner && s->requests[i].haveheader) datafirst = true;
    }
    if (datafirst && !room) break;
    ChunkHeader* h = datafirst ? nullptr : STREAM_get(s->headers);
    if (h) {
      Request* r = nullptr;
      for (int i = 0; i < s->count && !r; ++i)
        if (!s->requests[i].haveheader) r = &s->requests[i];
      const uint32_t size = chunksize(h);
      if (r && size >= 8 && size - 8 <= kHeaderBytes) {
        r->headerbytes = size - 8;
        std::memcpy(r->header, reinterpret_cast<uint8_t*>(h) + 8, r->headerbytes);
        r->haveheader = true;
      }
      STREAM_release(s->headers, h);
      SampleValues sample;
      if (!r || !headerof(*r, &sample)) continue;
      if (s->state == 0) {
        if (startplayer(s, *r) < 0) {
          sndfail(-7, "iSNDstreamparseheader", "iSNDstreamparseheader - FAILED TO START STREAMER VOICE.\n");
          return;
        }
        s->state = 1;
      } else if (!sameformat(sample, s->playing)) {
        s->pending = static_cast<int>(r - s->requests);
        s->state = 2;
        return;
      }
      continue;
    }
    if (!room) break;
    const uint32_t owner = STREAM_taprequestid(s->data);
    ChunkHeader* c = STREAM_get(s->data);
    if (!c) break;
    Request* r = nullptr;
    for (int i = 0; i < s->count && !r; ++i)
      if (s->requests[i].streamid == owner) r = &s->requests[i];
    const uint32_t size = chunksize(c);
    SNDPACKET packet{0, static_cast<int32_t>(size - 8), 0, reinterpret_cast<uint8_t*>(c) + 8};
    const int32_t pid = SNDPKTPLAY_submit(s->player, &packet);
    if (pid < 0) {
      sndfail(pid, "iSNDstreamparsedata", "iSNDstreamparsedata - ERROR %i SUBMITTING PACKET.\n", pid);
      STREAM_release(s->data, c);
      return;
    }
    s->chunks[static_cast<uint32_t>(pid) % static_cast<uint32_t>(s->capacity)] = c;
    if (r) {
      if (r->packets == 0) r->firstpacket = pid;
      r->lastpacket = pid;
      ++r->packets;
      r->bytes += size - 8;
    }
  }
  prune(s);
}

}  // namespace

int SNDSTRM_memsize(int requests, int packets) {
  if (requests < 1 || requests > 127 || SNDPKTPLAY_memsize(packets) < 0) return -8;
  return static_cast<int>(recordbytes(requests, packets));
}

int SNDSTRM_create(const SNDPLAYOPTS* options, int requests, int packets, void* memory, size_t bytes,
                   STREAM_HANDLE stream) {
  if (!sndinitialised) return -10;
  if (requests < 1 || requests > 127)
    return sndfail(-8, "SNDSTRM_create",
                   "SNDSTRM_create... - maxrequests OF %i IS OUT OF RANGE. VALID RANGE IS 1..127.\n", requests);
  if (!memory) return sndfail(-8, "SNDSTRM_create", "SNDSTRM_create... - pmem WAS NULL.\n");
  if (!options || SNDPKTPLAY_memsize(packets) < 0) return -8;
  const size_t used = recordbytes(requests, packets);
  if (bytes < used || (!stream && bytes - used < kSoundStreamBuffer))
    return sndfail(-8, "SNDSTRM_create", "SNDSTRM_create... - INSUFFICIENT AMOUNT OF MEMORY FOR STREAMING.\n");
  int id = 0;
  while (id < SOUNDSTREAMS && streams[id]) ++id;
  if (id == SOUNDSTREAMS) return -9;

  uint8_t* at = static_cast<uint8_t*>(memory);
  Record* s = new (at) Record{};
  at += round16(sizeof(Record));
  s->requests = reinterpret_cast<Request*>(at);
  at += round16(sizeof(Request) * requests);
  s->chunks = reinterpret_cast<ChunkHeader**>(at);
  std::fill(s->chunks, s->chunks + packets, nullptr);
  at += round16(sizeof(ChunkHeader*) * packets);
  const size_t playerbytes = static_cast<size_t>(SNDPKTPLAY_memsize(packets));
  s->player = SNDPKTPLAY_create(at, playerbytes, packetdone);
  if (s->player < 0) return s->player;
  at += round16(playerbytes);
  s->capacity = packets;
  s->maxrequests = requests;
  s->options = *options;
  const uint8_t zone[12] = {0xFF, 0xFF, 0, 0, 0, 0, 110, 127, 64, 0, 0, 0};
  std::memcpy(s->zone, zone, sizeof zone);
  if (stream) {
    s->data = stream;
    s->headers = STREAM_taphandle(stream, 2);
  } else {
    const uint32_t left = static_cast<uint32_t>(std::min<size_t>(bytes - used, UINT32_MAX));
    s->data = STREAM_create(std::max(requests + 1, 2), 3, 2, at, left);
    if (!s->data) {
      SNDPKTPLAY_destroy(s->player);
      return -8;
    }
    STREAM_setfilter(s->data, 1, 0xFFFFFFFF, kSoundHeaderId, 2);
    STREAM_setfilter(s->data, 2, 0xFFFFFFFF, kSoundDataId, 1);
    STREAM_setfilter(s->data, 3, 0, 0, kTapDiscard);
    STREAM_setgreedylevel(s->data, STREAM_buffersize(s->data) / 3);
    s->headers = STREAM_taphandle(s->data, 2);
    s->own = true;
  }
  bool first = true;
  for (Record* other : streams) first &= other == nullptr;
  if (first) {
    addsystemtask(sndstreamservice, 0);
    sndstreamshutdownhook = [] {
      for (int i = 0; i < SOUNDSTREAMS; ++i)
        if (streams[i]) SNDSTRM_destroy(i);
    };
  }
  streams[id] = s;
  return id;
}

namespace {
int queue(int stream, uint32_t tag, uint32_t streamid) {
  Record* s = stream >= 0 && stream < SOUNDSTREAMS ? streams[stream] : nullptr;
  if (!s) return -8;
  if (s->count >= s->maxrequests) return -13;
  requestserial += 256;
  if (requestserial < 0) requestserial = 0;
  Request& r = s->requests[s->count++];
  r = Request{};
  r.handle = requestserial | stream;
  r.streamid = streamid;
  r.tag = tag;
  return r.handle;
}
}  // namespace

int SNDSTRM_queue(int stream, uint32_t tag, uint32_t request) {
  if (!sndinitialised) return -10;
  iSNDenteraudio("SNDSTRM_queue");
  const int r = queue(stream, tag, request);
  iSNDleaveaudio();
  return r;
}

int SNDSTRM_queuemem(int stream, uint32_t tag, const void* data, uint32_t length) {
  if (!sndinitialised) return -10;
  Record* s = stream >= 0 && stream < SOUNDSTREAMS ? streams[stream] : nullptr;
  if (!s || !s->own) return -8;
  iSNDenteraudio("SNDSTRM_queuemem");
  int r = -13;
  if (s->count < s->maxrequests) {
    const uint32_t id = STREAM_queuemem(s->data, data, length, static_cast<int32_t>(kSoundEndId));
    r = id ? queue(stream, tag, id) : -1;
  }
  iSNDleaveaudio();
  return r;
}

int iSNDplatformcalcdatarate(int rate, int channels, int representation) {
  int factor;
  switch (representation) {
    case 0: factor = 512; break;
    case 2: factor = 256; break;
    case 3: factor = 136; break;
    case 4: factor = 51; break;
    default:
      return sndfail(-15, "iSNDplatformcalcdatarate",
                     "iSNDplatformcalcdatarate - UNRECOGNIZED SAMPLE REPRESENTATION %i.\n", representation);
  }
  return static_cast<int>(static_cast<int64_t>(rate) * channels * factor / 256);
}

int SNDSTRM_requeststatus(int request, int32_t out[4]) {
  out[0] = out[1] = out[2] = out[3] = 0;
  if (!sndinitialised) return -10;
  const int id = request & 0xFF;
  if (request < 0 || id >= SOUNDSTREAMS || !streams[id]) return -8;
  Record* s = streams[id];
  iSNDenteraudio("SNDSTRM_requeststatus");
  Request* r = nullptr;
  for (int i = 0; i < s->count && !r; ++i)
    if (s->requests[i].handle == request) r = &s->requests[i];
  if (!r) {
    out[0] = 3;
  } else if (r->packets == 0) {
    out[0] = 0;
  } else {
    // The request in play is the oldest whose packets are not all back.
    Request* inplay = nullptr;
    for (int i = 0; i < s->count && !inplay; ++i)
      if (s->requests[i].packets > s->requests[i].released) inplay = &s->requests[i];
    out[0] = inplay == r ? 2 : 1;
    out[1] = static_cast<int32_t>(std::min<uint64_t>(r->bytes, INT32_MAX));
    out[2] = static_cast<int32_t>(r->packets);
    SampleValues sample;
    const int rate = headerof(*r, &sample) ? iSNDplatformcalcdatarate(sample.rate, sample.channels,
                                                                       sample.representation)
                                           : 0;
    // Worked in 64 bits: a large buffer no longer overflows.
    const uint64_t buffered = r->bytes - std::min(r->played, r->bytes);
    out[3] = rate > 0 ? static_cast<int32_t>(std::min<uint64_t>(buffered * 1000 / static_cast<uint64_t>(rate), INT32_MAX))
                      : 0;
  }
  iSNDleaveaudio();
  return 0;
}

int SNDSTRM_destroy(int stream) {
  if (!sndinitialised) return -10;
  Record* s = stream >= 0 && stream < SOUNDSTREAMS ? streams[stream] : nullptr;
  if (!s) return -8;
  SNDPKTPLAY_stop(s->player);
  SNDPKTPLAY_destroy(s->player);
  if (s->own) STREAM_destroy(s->data);
  streams[stream] = nullptr;
  bool none = true;
  for (Record* other : streams) none &= other == nullptr;
  if (none) {
    removesystemtask(sndstreamservice);
    sndstreamshutdownhook = nullptr;
  }
  return 0;
}

int SNDSTRM_voice(int stream) {
  Record* s = stream >= 0 && stream < SOUNDSTREAMS ? streams[stream] : nullptr;
  return s ? SNDPKTPLAY_voice(s->player) : -1;
}

int sndstreamservice() {
  if (surfacelockedhook && surfacelockedhook()) return 0;
  for (int id = 0; id < SOUNDSTREAMS; ++id) {
    if (!streams[id]) continue;
    iSNDenteraudio("sndstreamservice");
    service(streams[id]);
    iSNDleaveaudio();
  }
  return 0;
}
