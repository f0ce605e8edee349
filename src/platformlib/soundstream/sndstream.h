// Sound streams: long sounds that arrive as chunks through a chunked stream and play, packet by packet, on one
// packet-player voice. A request is a chunk file of "SCHl" (the sample tags of a patch's sample block), "SCDl"
// (sample data) chunks, and an "SCEl" chunk that ends it.
//
// Stream memory is the caller's; on this 64-bit build its records hold full pointers (`SNDSTRM_memsize` says
// how much the records and the packet player take; a stream the library makes needs 24576 bytes on top).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platformlib/sound/sndvoice.h"
#include "platformlib/stream/stream.h"

constexpr int SOUNDSTREAMS = 16;
constexpr uint32_t kSoundHeaderId = 0x6C484353;  // "SCHl"
constexpr uint32_t kSoundDataId = 0x6C444353;    // "SCDl"
constexpr uint32_t kSoundEndId = 0x6C454353;     // "SCEl"
constexpr uint32_t kSoundStreamBuffer = 24576;

int SNDSTRM_memsize(int requests, int packets);
// A stream over the caller's memory; with `stream` null the library makes its own chunked stream in the memory
// left over. The sound-stream id, -10, -9, or -8.
int SNDSTRM_create(const SNDPLAYOPTS* options, int requests, int packets, void* memory, size_t bytes,
                   STREAM_HANDLE stream);
// Queues a request that the caller already queued on its own stream (`request` is that stream's request id).
int SNDSTRM_queue(int stream, uint32_t tag, uint32_t request);
// Queues a memory block of chunks on the library's own stream.
int SNDSTRM_queuemem(int stream, uint32_t tag, const void* data, uint32_t length);
// out: state (0 waiting for data, 1 queued, 2 playing, 3 finished), bytes and packets of the request, and the
// milliseconds of sound it has buffered.
int SNDSTRM_requeststatus(int request, int32_t out[4]);
int SNDSTRM_destroy(int stream);
// The periodic service: moves chunks of every stream to its packet player.
int sndstreamservice();
// The stream's voice handle, -1 while it does not play.
int SNDSTRM_voice(int stream);
// Bytes a second of a sample representation (0 16-bit, 2 8-bit, 3 compression 7, 4 compression 9).
int iSNDplatformcalcdatarate(int rate, int channels, int representation);
