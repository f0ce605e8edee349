// Voice sample sources: PCM one-shot, looped and callback readers, and the compression-7 and compression-9
// readers, each delivering frames in the stored width (MMX path) or as floats at 16-bit scale (plain path).
// Every reader is bounded by the byte count it was given: frames past the data read as silence.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <type_traits>
#include <new>

#include "platformlib/sound/sndmix.h"

MixBufferCallback sndbuffercallback = nullptr;

CodecInit codectable[28];

namespace {

float bytefloattable[256];
const bool kByteFloatFilled = [] {
  for (int b = 0; b < 256; ++b) bytefloattable[b] = static_cast<float>(static_cast<int8_t>(b)) * 256.0f;
  return true;
}();

struct Format {
  int bytes;     // per sample: 1 or 2
  int channels;  // 1 or 2
  int framebytes() const { return bytes * channels; }
};

// Copies frames from PCM data to the destination in the path's form.
template <bool Float>
void copyframes(const uint8_t* data, int64_t first, int count, Format fmt, void* destination, int at) {
  if (count <= 0) return;
  const int samples = count * fmt.channels;
  if constexpr (!Float) {
    std::memcpy(static_cast<uint8_t*>(destination) + static_cast<size_t>(at) * fmt.framebytes(),
                data + first * fmt.framebytes(), static_cast<size_t>(count) * fmt.framebytes());
  } else {
    float* out = static_cast<float*>(destination) + static_cast<size_t>(at) * fmt.channels;
    const uint8_t* in = data + first * fmt.framebytes();
    if (fmt.bytes == 1) {
      for (int i = 0; i < samples; ++i) out[i] = bytefloattable[in[i]];
    } else {
      for (int i = 0; i < samples; ++i)
        out[i] = static_cast<float>(static_cast<int16_t>(in[2 * i] | (in[2 * i + 1] << 8)));
    }
  }
}

template <bool Float>
void silence(void* destination, int at, int count, Format fmt) {
  if (count <= 0) return;
  const size_t unit = Float ? sizeof(float) * fmt.channels : static_cast<size_t>(fmt.framebytes());
  std::memset(static_cast<uint8_t*>(destination) + at * unit, 0, count * unit);
}

Format formatof(int base) {
  switch (base) {
    case 0: return {1, 1};
    case 4: return {1, 2};
    case 8: return {2, 1};
    default: return {2, 2};
  }
}

// ---- PCM ----------------------------------------------------------------------------------------------------------

struct PcmState {
  const uint8_t* data;
  int64_t available;  // whole frames inside the data
  int64_t position;
  int64_t length;
  int64_t loopstart, loopend;
  Format fmt;
};

template <bool Float>
int readoneshot(void* state, int frames, void* destination) {
  PcmState* s = static_cast<PcmState*>(state);
  if (s->position >= s->length) return -1;
  const int64_t left = s->length - s->position;
  const int count = static_cast<int>(std::min<int64_t>(frames, left));
  const int real = static_cast<int>(std::clamp<int64_t>(s->available - s->position, 0, count));
  copyframes<Float>(s->data, s->position, real, s->fmt, destination, 0);
  silence<Float>(destination, real, frames - real, s->fmt);
  s->position += frames;
  return 1;
}

int positiononeshot(const void* state) {
  return static_cast<int>(std::min<int64_t>(static_cast<const PcmState*>(state)->position, INT32_MAX));
}

template <bool Float>
int readlooped(void* state, int frames, void* destination) {
  PcmState* s = static_cast<PcmState*>(state);
  int done = 0;
  while (done < frames) {
    const int count = static_cast<int>(std::min<int64_t>(frames - done, s->loopend - s->position + 1));
    copyframes<Float>(s->data, s->position, count, s->fmt, destination, done);
    done += count;
    s->position += count;
    if (s->position > s->loopend) s->position = s->loopstart;
  }
  return 1;
}

template <bool Float, int Base>
int initpcm(int, void* state, const uint8_t* data, size_t databytes, int32_t length, int32_t loopstart,
            int32_t loopend, CodecRead* read, CodecPosition* position, bool looped) {
  PcmState* s = new (state) PcmState{};
  s->fmt = formatof(Base);
  s->data = data;
  s->available = data ? static_cast<int64_t>(databytes / s->fmt.framebytes()) : 0;
  s->length = std::max<int64_t>(length, 0);
  if (looped) {
    // The loop stays inside the data; a loop that does not fit plays its part that does.
    s->loopend = std::min<int64_t>(loopend, s->available - 1);
    s->loopstart = std::clamp<int64_t>(loopstart, 0, std::max<int64_t>(s->loopend, 0));
    if (s->loopend < 0) {
      // Nothing to loop over: an empty one-shot.
      s->length = 0;
      *read = readoneshot<Float>;
      *position = positiononeshot;
      return sizeof(PcmState);
    }
    *read = readlooped<Float>;
    *position = nullptr;
  } else {
    *read = readoneshot<Float>;
    *position = positiononeshot;
  }
  return sizeof(PcmState);
}

template <bool Float, int Base>
int initpcmoneshot(int v, void* st, const uint8_t* d, size_t b, int32_t l, int32_t ls, int32_t le, CodecRead* r,
                   CodecPosition* p) {
  return initpcm<Float, Base>(v, st, d, b, l, ls, le, r, p, false);
}
template <bool Float, int Base>
int initpcmlooped(int v, void* st, const uint8_t* d, size_t b, int32_t l, int32_t ls, int32_t le, CodecRead* r,
                  CodecPosition* p) {
  return initpcm<Float, Base>(v, st, d, b, l, ls, le, r, p, true);
}

// Buffers handed over by the library's buffer callback; the state starts with the buffer's address so the
// callback can write the next one there.
struct CallbackState {
  const uint8_t* buffer;
  int32_t length;  // frames
  int32_t position;
  Format fmt;
};

template <bool Float>
int readcallback(void* state, int frames, void* destination) {
  CallbackState* s = static_cast<CallbackState*>(state);
  if (!s->buffer) return -1;
  int done = 0;
  while (done < frames) {
    if (s->position >= s->length) {
      const int r = sndbuffercallback ? sndbuffercallback(s, &s->length) : 1;
      if (r == 0 && s->buffer && s->length > 0) {
        s->position = 0;
      } else {
        silence<Float>(destination, done, frames - done, s->fmt);
        s->position = s->length = 0;
        return 1;
      }
    }
    const int count = std::min(frames - done, s->length - s->position);
    copyframes<Float>(s->buffer, s->position, count, s->fmt, destination, done);
    done += count;
    s->position += count;
  }
  return 1;
}

template <bool Float, int Base>
int initcallback(int, void* state, const uint8_t* data, size_t, int32_t, int32_t, int32_t, CodecRead* read,
                 CodecPosition* position) {
  CallbackState* s = new (state) CallbackState{};
  s->buffer = data;
  s->fmt = formatof(Base);
  *read = readcallback<Float>;
  *position = nullptr;
  return sizeof(CallbackState);
}

// Hands back the packets that the last read used up: the mixer no longer reads from them.
void handback(int slot, int* finished) {
  if (*finished) sndpacketconsumed(slot, *finished);
  *finished = 0;
}

// Packets from the packet player; finished packets are handed back at the start of the next read, when the
// mixer no longer reads from them.
struct PacketState {
  const uint8_t* buffer;
  int32_t length;  // frames
  int32_t position;
  int slot;
  int finished;  // packets used up since the last hand-back
  Format fmt;
};

template <bool Float>
int readpacket(void* state, int frames, void* destination) {
  PacketState* s = static_cast<PacketState*>(state);
  handback(s->slot, &s->finished);
  int done = 0;
  while (done < frames) {
    if (!s->buffer || s->position >= s->length) {
      if (s->buffer) ++s->finished;
      int32_t bytes = 0;
      s->buffer = sndpacketnext(s->slot, &bytes);
      s->length = bytes / s->fmt.framebytes();
      s->position = 0;
      if (!s->buffer) break;
      continue;
    }
    const int count = std::min(frames - done, s->length - s->position);
    copyframes<Float>(s->buffer, s->position, count, s->fmt, destination, done);
    done += count;
    s->position += count;
  }
  if (done > 0) silence<Float>(destination, done, frames - done, s->fmt);
  return done;
}

template <bool Float, int Base>
int initpacket(int voice, void* state, const uint8_t*, size_t, int32_t, int32_t, int32_t, CodecRead* read,
               CodecPosition* position) {
  PacketState* s = new (state) PacketState{};
  s->slot = findpacketslot(voice);
  s->fmt = formatof(Base);
  *read = readpacket<Float>;
  *position = nullptr;
  return sizeof(PacketState);
}

// ---- compression 7 --------------------------------------------------------------------------------------------------

template <bool Float>
struct Adpcm7State {
  using Sample = std::conditional_t<Float, float, int16_t>;
  const uint8_t* data;
  size_t databytes;
  int channels;
  int64_t position, length, loopstart, loopend;
  bool looped;
  bool saved;
  int64_t block;  // decoded block in `samples`, -1 none
  Adpcm7Channel history[2];
  Adpcm7Channel savedhistory[2];
  Sample samples[ADPCM7FRAMES * 2];
};

template <bool Float>
void decodeblock(Adpcm7State<Float>* s, int64_t block) {
  const size_t blockbytes = s->channels == 2 ? 30 : 15;
  const uint64_t at = static_cast<uint64_t>(block) * blockbytes;
  if (block < 0 || at + blockbytes > s->databytes) {
    std::fill(std::begin(s->samples), std::end(s->samples), typename Adpcm7State<Float>::Sample{});
  } else if constexpr (Float) {
    adpcm7blockfloat(s->data + at, s->channels, s->history, s->samples);
  } else {
    adpcm7blockint(s->data + at, s->channels, s->history, s->samples);
  }
  s->block = block;
  // The pair that a wrap to the loop start restores: the state after the block that holds the loop end.
  if (s->looped && !s->saved && block == s->loopend / ADPCM7FRAMES) {
    s->savedhistory[0] = s->history[0];
    s->savedhistory[1] = s->history[1];
    s->saved = true;
  }
}

template <bool Float>
int readadpcm7(void* state, int frames, void* destination) {
  auto* s = static_cast<Adpcm7State<Float>*>(state);
  using Sample = typename Adpcm7State<Float>::Sample;
  Sample* out = static_cast<Sample*>(destination);
  const int ch = s->channels;
  if (!s->looped && s->position >= s->length) return -1;
  int done = 0;
  while (done < frames) {
    if (!s->looped && s->position >= s->length) {
      std::fill(out + done * ch, out + frames * ch, Sample{});
      break;
    }
    const int64_t block = s->position / ADPCM7FRAMES;
    if (block != s->block) decodeblock(s, block);
    const int offset = static_cast<int>(s->position % ADPCM7FRAMES);
    const int64_t limit = s->looped ? s->loopend + 1 : s->length;
    const int count = static_cast<int>(
        std::min<int64_t>({frames - done, ADPCM7FRAMES - offset, limit - s->position}));
    std::copy(s->samples + offset * ch, s->samples + (offset + count) * ch, out + done * ch);
    done += count;
    s->position += count;
    if (s->looped && s->position > s->loopend) {
      s->position = s->loopstart;
      if (s->saved) {
        s->history[0] = s->savedhistory[0];
        s->history[1] = s->savedhistory[1];
      }
      s->block = -1;
    }
  }
  return 1;
}

int positionadpcm7int(const void* state) {
  return static_cast<int>(std::min<int64_t>(static_cast<const Adpcm7State<false>*>(state)->position, INT32_MAX));
}
int positionadpcm7float(const void* state) {
  return static_cast<int>(std::min<int64_t>(static_cast<const Adpcm7State<true>*>(state)->position, INT32_MAX));
}

template <bool Float, int Channels, bool Looped>
int initadpcm7(int, void* state, const uint8_t* data, size_t databytes, int32_t length, int32_t loopstart,
               int32_t loopend, CodecRead* read, CodecPosition* position) {
  auto* s = new (state) Adpcm7State<Float>{};
  s->data = data;
  s->databytes = data ? databytes : 0;
  s->channels = Channels;
  s->length = std::max<int32_t>(length, 0);
  s->block = -1;
  s->looped = Looped && loopend >= 0;
  if (s->looped) {
    s->loopend = loopend;
    s->loopstart = std::clamp<int64_t>(loopstart, 0, loopend);
  }
  *read = readadpcm7<Float>;
  *position = s->looped ? nullptr : (Float ? positionadpcm7float : positionadpcm7int);
  return sizeof(Adpcm7State<Float>);
}

// ---- compression 9 (one-shot) ----------------------------------------------------------------------------------------

struct C9State {
  int64_t position, length;
  int bufferpos;  // next sample of `frame` to deliver; C9FRAME when empty
  float frame[C9FRAME];
  // the decoder follows
};

C9Decoder* decoderof(C9State* s) { return reinterpret_cast<C9Decoder*>(s + 1); }

template <bool Float>
int readc9(void* state, int frames, void* destination) {
  C9State* s = static_cast<C9State*>(state);
  if (s->position >= s->length) return -1;
  for (int done = 0; done < frames; ++done) {
    float v = 0.0f;
    if (s->position + done < s->length) {
      if (s->bufferpos == C9FRAME) {
        c9decodeframe(decoderof(s), s->frame);
        s->bufferpos = 0;
      }
      v = s->frame[s->bufferpos++];
    }
    if constexpr (Float)
      static_cast<float*>(destination)[done] = v;
    else
      static_cast<int16_t*>(destination)[done] = c9toint(v);
  }
  s->position += frames;
  return 1;
}

int positionc9(const void* state) {
  return static_cast<int>(std::min<int64_t>(static_cast<const C9State*>(state)->position, INT32_MAX));
}

template <bool Float>
int initc9(int, void* state, const uint8_t* data, size_t databytes, int32_t length, int32_t, int32_t,
           CodecRead* read, CodecPosition* position) {
  C9State* s = new (state) C9State{};
  s->length = std::max<int32_t>(length, 0);
  s->bufferpos = C9FRAME;
  c9start(decoderof(s), data, data ? databytes : 0);
  *read = readc9<Float>;
  *position = positionc9;
  return static_cast<int>(sizeof(C9State) + c9statesize());
}

// Compression 7 from buffers (callback and packet play types): each buffer holds whole blocks, its length word
// counting bytes, and the decoder's history runs on from one buffer to the next as in one sample. A buffer's
// bytes past its last whole block are not read.
template <bool Float>
struct Adpcm7BufferState {
  using Sample = std::conditional_t<Float, float, int16_t>;
  const uint8_t* buffer;  // first, as the buffer callback writes the next buffer here
  int32_t length;         // bytes
  int32_t position;       // frames of the buffer read
  int slot;
  int channels;
  int finished;
  int32_t decoded;  // the block in `samples`, -1 none
  Adpcm7Channel history[2];
  Sample samples[ADPCM7FRAMES * 2];
};

// Delivers up to `frames` frames from the buffers, moving on through `next` as each is used up; returns the
// frames delivered. Buffers without a whole block are passed over, a bounded number of them in one call.
template <bool Float, typename Next>
int adpcm7frombuffers(Adpcm7BufferState<Float>* s, int frames, void* destination, Next next) {
  using Sample = typename Adpcm7BufferState<Float>::Sample;
  Sample* out = static_cast<Sample*>(destination);
  const int ch = s->channels;
  const int32_t blockbytes = ch == 2 ? 30 : 15;
  int done = 0;
  int empty = 0;
  while (done < frames) {
    const int32_t blocks = s->buffer ? std::max<int32_t>(s->length, 0) / blockbytes : 0;
    if (!s->buffer || s->position >= blocks * ADPCM7FRAMES) {
      if (s->buffer && blocks == 0 && ++empty > 64) break;
      s->position = 0;
      s->decoded = -1;
      if (!next(s)) break;
      continue;
    }
    const int32_t block = s->position / ADPCM7FRAMES;
    if (block != s->decoded) {
      if constexpr (Float)
        adpcm7blockfloat(s->buffer + block * blockbytes, ch, s->history, s->samples);
      else
        adpcm7blockint(s->buffer + block * blockbytes, ch, s->history, s->samples);
      s->decoded = block;
    }
    const int offset = s->position % ADPCM7FRAMES;
    const int count = std::min(frames - done, ADPCM7FRAMES - offset);
    std::copy(s->samples + offset * ch, s->samples + (offset + count) * ch, out + done * ch);
    done += count;
    s->position += count;
  }
  return done;
}

template <bool Float>
int readpacketadpcm7(void* state, int frames, void* destination) {
  auto* s = static_cast<Adpcm7BufferState<Float>*>(state);
  handback(s->slot, &s->finished);
  const int done = adpcm7frombuffers(s, frames, destination, [](Adpcm7BufferState<Float>* b) {
    if (b->buffer) ++b->finished;
    int32_t bytes = 0;
    b->buffer = sndpacketnext(b->slot, &bytes);
    b->length = bytes;
    return b->buffer != nullptr;
  });
  if (done > 0) silence<Float>(destination, done, frames - done, Format{2, s->channels});
  return done;
}

template <bool Float>
int readcallbackadpcm7(void* state, int frames, void* destination) {
  auto* s = static_cast<Adpcm7BufferState<Float>*>(state);
  if (!s->buffer) return -1;
  const int done = adpcm7frombuffers(s, frames, destination, [](Adpcm7BufferState<Float>* b) {
    const int r = sndbuffercallback ? sndbuffercallback(b, &b->length) : 1;
    return r == 0 && b->buffer != nullptr;
  });
  if (done < frames) {
    silence<Float>(destination, done, frames - done, Format{2, s->channels});
    s->length = s->position = 0;
  }
  return 1;
}

template <bool Float, int Channels, bool Packets>
int initbufferadpcm7(int voice, void* state, const uint8_t* data, size_t, int32_t, int32_t, int32_t,
                     CodecRead* read, CodecPosition* position) {
  auto* s = new (state) Adpcm7BufferState<Float>{};
  s->channels = Channels;
  s->decoded = -1;
  if constexpr (Packets) {
    s->slot = findpacketslot(voice);
    *read = readpacketadpcm7<Float>;
  } else {
    s->buffer = data;  // only its presence counts: the first read asks the callback for a buffer
    *read = readcallbackadpcm7<Float>;
  }
  *position = nullptr;
  return sizeof(Adpcm7BufferState<Float>);
}

// Compression 9 from buffers (callback and packet play types). Each buffer opens with one byte: non-zero when
// a header follows and the decoder starts afresh, zero when its frames carry on the decoder's state. A buffer
// holds whole frames; the bit reader starts afresh on each.
struct C9BufferState {
  const uint8_t* buffer;  // first, as the buffer callback writes the next buffer here
  int32_t length;         // bytes, the opening byte included
  int slot;
  int finished;
  int bufferpos;  // next sample of `frame` to deliver; C9FRAME when empty
  bool open;      // the decoder reads from `buffer`
  float frame[C9FRAME];
  // the decoder follows
};
static_assert(sizeof(C9BufferState) <= sizeof(C9State) + 64, "fits the codec area beside the decoder");

C9Decoder* decoderof(C9BufferState* s) { return reinterpret_cast<C9Decoder*>(s + 1); }

// Decodes the next frame, moving on to further buffers through `next` as each is used up; false when none has
// a frame. Buffers without a frame are passed over, a bounded number of them in one call.
template <typename Next>
bool c9nextframe(C9BufferState* s, Next next) {
  for (int tries = 0; tries < 64; ++tries) {
    if (s->open && c9decodeframe(decoderof(s), s->frame)) {
      s->bufferpos = 0;
      return true;
    }
    s->open = false;
    if (!next(s)) return false;
    if (s->length < 1) continue;
    const size_t bytes = static_cast<size_t>(s->length) - 1;
    if (s->buffer[0])
      c9start(decoderof(s), s->buffer + 1, bytes);
    else
      c9continue(decoderof(s), s->buffer + 1, bytes);
    s->open = true;
  }
  return false;
}

template <bool Float>
int c9deliver(C9BufferState* s, int count, void* destination, int at) {
  count = std::min(count, C9FRAME - s->bufferpos);
  for (int i = 0; i < count; ++i) {
    const float v = s->frame[s->bufferpos++];
    if constexpr (Float)
      static_cast<float*>(destination)[at + i] = v;
    else
      static_cast<int16_t*>(destination)[at + i] = c9toint(v);
  }
  return count;
}

template <bool Float>
void c9silence(void* destination, int at, int frames) {
  silence<Float>(destination, at, frames - at, Format{2, 1});
}

template <bool Float>
int readcallbackc9(void* state, int frames, void* destination) {
  auto* s = static_cast<C9BufferState*>(state);
  if (!s->buffer) return -1;
  int done = 0;
  while (done < frames) {
    if (s->bufferpos == C9FRAME && !c9nextframe(s, [](C9BufferState* b) {
          const int r = sndbuffercallback ? sndbuffercallback(b, &b->length) : 1;
          return r == 0 && b->buffer && b->length > 0;
        })) {
      c9silence<Float>(destination, done, frames);
      s->length = 0;
      return 1;
    }
    done += c9deliver<Float>(s, frames - done, destination, done);
  }
  return 1;
}

template <bool Float>
int readpacketc9(void* state, int frames, void* destination) {
  auto* s = static_cast<C9BufferState*>(state);
  handback(s->slot, &s->finished);
  int done = 0;
  while (done < frames) {
    if (s->bufferpos == C9FRAME && !c9nextframe(s, [](C9BufferState* b) {
          if (b->buffer) ++b->finished;
          int32_t bytes = 0;
          b->buffer = sndpacketnext(b->slot, &bytes);
          b->length = bytes;
          return b->buffer != nullptr;
        }))
      break;
    done += c9deliver<Float>(s, frames - done, destination, done);
  }
  if (done > 0) c9silence<Float>(destination, done, frames);
  return done;
}

template <bool Float, bool Packets>
int initbufferc9(int voice, void* state, const uint8_t* data, size_t, int32_t, int32_t, int32_t, CodecRead* read,
                 CodecPosition* position) {
  auto* s = new (state) C9BufferState{};
  s->bufferpos = C9FRAME;
  c9start(decoderof(s), nullptr, 0);
  if constexpr (Packets) {
    s->slot = findpacketslot(voice);
    *read = readpacketc9<Float>;
  } else {
    s->buffer = data;
    *read = readcallbackc9<Float>;
  }
  *position = nullptr;
  return static_cast<int>(sizeof(C9BufferState) + c9statesize());
}

template <bool Float, int Base>
void fillpcm() {
  codectable[Base] = initpcmoneshot<Float, Base>;
  codectable[Base + 1] = initpcmlooped<Float, Base>;
  codectable[Base + 2] = initcallback<Float, Base>;
  codectable[Base + 3] = initpacket<Float, Base>;
}

// Both compressions play from callback buffers and packets too; compression 9 never loops.
template <bool Float>
void fillcodecs() {
  for (CodecInit& entry : codectable) entry = nullptr;
  fillpcm<Float, 0>();
  fillpcm<Float, 4>();
  fillpcm<Float, 8>();
  fillpcm<Float, 12>();
  codectable[16] = initadpcm7<Float, 1, false>, codectable[17] = initadpcm7<Float, 1, true>;
  codectable[18] = initbufferadpcm7<Float, 1, false>, codectable[19] = initbufferadpcm7<Float, 1, true>;
  codectable[20] = initadpcm7<Float, 2, false>, codectable[21] = initadpcm7<Float, 2, true>;
  codectable[22] = initbufferadpcm7<Float, 2, false>, codectable[23] = initbufferadpcm7<Float, 2, true>;
  codectable[24] = initc9<Float>;
  codectable[26] = initbufferc9<Float, false>;
  codectable[27] = initbufferc9<Float, true>;
}

}  // namespace

void mixfillcodecs(int mmx) { mmx ? fillcodecs<false>() : fillcodecs<true>(); }

// ---- compression-7 block decoders --------------------------------------------------------------------------------------

const int32_t adpcmtables[13][16] = {
#define ROW(s)                                                                                                  \
  {0 >> s,     4096 >> s,  8192 >> s,  12288 >> s, 16384 >> s, 20480 >> s, 24576 >> s, 28672 >> s,              \
   -32768 >> s, -28672 >> s, -24576 >> s, -20480 >> s, -16384 >> s, -12288 >> s, -8192 >> s, -4096 >> s}
    ROW(0), ROW(1), ROW(2), ROW(3), ROW(4), ROW(5), ROW(6), ROW(7), ROW(8), ROW(9), ROW(10), ROW(11), ROW(12),
#undef ROW
};

namespace {
const float kC1[4] = {0.0f, 0.9375f, 1.796875f, 1.53125f};
const float kC2[4] = {0.0f, 0.0f, -0.8125f, -0.859375f};
const int32_t kC1Int[4] = {0, 240, 460, 392};
const int32_t kC2Int[4] = {0, 0, -208, -220};

inline int codeat(const uint8_t* codes, int channels, int channel, int k) {
  // Mono: two codes a byte, high nibble first. Stereo: one frame a byte, left high.
  const uint8_t byte = channels == 2 ? codes[k] : codes[k >> 1];
  const bool high = channels == 2 ? channel == 0 : (k & 1) == 0;
  return high ? byte >> 4 : byte & 15;
}

template <typename Sample, typename Step>
void decode7(const uint8_t* block, int channels, Adpcm7Channel* state, Sample* out, Step step) {
  const uint8_t* codes = block + (channels == 2 ? 2 : 1);
  for (int c = 0; c < channels; ++c) {
    const int filter = channels == 2 ? (c == 0 ? block[0] >> 4 : block[0] & 15) : block[0] >> 4;
    const int shift = channels == 2 ? (c == 0 ? block[1] >> 4 : block[1] & 15) : block[0] & 15;
    if (filter > 3 || shift > 12) {
      state[c] = Adpcm7Channel{};
      for (int k = 0; k < ADPCM7FRAMES; ++k) out[k * channels + c] = Sample{};
      continue;
    }
    for (int k = 0; k < ADPCM7FRAMES; ++k)
      out[k * channels + c] = step(state[c], filter, adpcmtables[shift][codeat(codes, channels, c, k)]);
  }
}
}  // namespace

void adpcm7blockint(const uint8_t* block, int channels, Adpcm7Channel* state, int16_t* out) {
  decode7(block, channels, state, out, [](Adpcm7Channel& h, int f, int32_t t) {
    const int16_t sample = static_cast<int16_t>((kC1Int[f] * h.p1 + kC2Int[f] * h.p2 + t * 256) >> 8);
    h.p2 = h.p1;
    h.p1 = sample;
    return sample;
  });
}

void adpcm7blockfloat(const uint8_t* block, int channels, Adpcm7Channel* state, float* out) {
  decode7(block, channels, state, out, [](Adpcm7Channel& h, int f, int32_t t) {
    const float sample = static_cast<float>(t) + kC1[f] * h.f1 + kC2[f] * h.f2;
    h.f2 = h.f1;
    h.f1 = sample;
    return sample;
  });
}
