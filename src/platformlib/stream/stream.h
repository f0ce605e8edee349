// Chunked streams: chunk files (tagged chunks) from disk or memory read ahead through a circular buffer in the
// caller's memory and routed by their ids to taps, one for each consumer.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platformlib/files/filehandle.h"
#include "platformlib/core/memclass.h"

constexpr int32_t kChunkWrap = -1;      // inside the buffer: the data goes on at the buffer start
constexpr int32_t kChunkReleased = -2;  // inside the buffer: a released or discarded chunk
constexpr int32_t kTapDiscard = -1;
constexpr int32_t kTapAbort = -2;
constexpr uint32_t kStreamMinBuffer = 0x6000;
constexpr uint32_t kStreamReadSize = 8192;

enum StreamState : int32_t { STREAM_IDLE = 0, STREAM_RUNNING = 1, STREAM_WAITING = 2 };
enum StreamRequestState : int32_t {
  STREAMREQ_FREE = 0,
  STREAMREQ_QUEUED = 1,
  STREAMREQ_ACTIVE = 2,
  STREAMREQ_FINISHED = 3,
  STREAMREQ_CANCELLED = 4
};

struct ChunkHeader {
  int32_t id;
  uint32_t size;  // whole chunk with this header; inside the buffer the top byte holds the tap number
};

struct StreamRecord;

struct ChunkStreamRequest {
  uint32_t id;
  int32_t state;
  ChunkStreamRequest* prev;
  ChunkStreamRequest* next;
  int32_t kind;  // 0 file, 1 memory
  char name[264];
  const uint8_t* address;
  uint32_t offset;  // start offset in the file, or the memory block's length
  int32_t endid;
  uint8_t* bufferstart;
  uint32_t done;         // bytes copied (memory) or read (file)
  bool endseen;          // the end chunk has been routed
  uint32_t waiting[16];  // chunks of this request routed to each tap and not yet taken
};

struct StreamFilter {
  uint32_t mask, value;
  int32_t tap;
};

struct StreamTap {
  StreamRecord* stream;
  int32_t number;
  uint32_t waiting;
  uint8_t* next;
};

struct StreamRecord {
  char signature[4];
  CRITICAL_SECTION* section;
  ChunkStreamRequest* requests;
  int32_t requestcount;
  StreamFilter* filters;
  int32_t filtercount;
  StreamTap* taps;
  int32_t tapcount;
  uint8_t* bufferstart;
  uint8_t* bufferend;
  std::atomic<int32_t> state;  // read without the lock by STREAM_state
  int32_t readpriority, hungrypriority;
  uint32_t refill;
  int32_t hungry;
  uint32_t buffered;
  uint8_t* consumer;  // oldest byte still held
  uint8_t* routed;    // next chunk to route
  uint8_t* readend;   // end of the data read so far
  ChunkStreamRequest* first;
  ChunkStreamRequest* current;
  ChunkStreamRequest* last;
  ChunkStreamRequest* freelist;
  char filename[264];
  FileHandle handle;
  int32_t fileposition;
  uint32_t operation;  // outstanding file operation (0: none)
  uint32_t inflight;   // bytes of the read in flight
  int32_t slot;        // this stream's number in the user word of its file operations
  int32_t closing;     // the open file is being closed before another is opened
};

using STREAM_HANDLE = StreamTap*;

STREAM_HANDLE STREAM_create(int32_t requests, int32_t filters, int32_t taps, void* memory, uint32_t size);
int STREAM_setfilter(STREAM_HANDLE handle, int32_t filter, uint32_t mask, uint32_t value, int32_t tap);
STREAM_HANDLE STREAM_taphandle(STREAM_HANDLE handle, int32_t tap);
int32_t STREAM_tapnum(STREAM_HANDLE handle);
void STREAM_setpriority(STREAM_HANDLE handle, int32_t readpriority, int32_t hungrypriority);
void STREAM_setgreedylevel(STREAM_HANDLE handle, uint32_t bytes);
void STREAM_setgreedystate(STREAM_HANDLE handle, int on);
uint32_t STREAM_queuefile(STREAM_HANDLE handle, const char* name, uint32_t offset, int32_t endid);
uint32_t STREAM_queuemem(STREAM_HANDLE handle, const void* address, uint32_t length, int32_t endid);
ChunkHeader* STREAM_get(STREAM_HANDLE tap);
void STREAM_release(STREAM_HANDLE tap, ChunkHeader* chunk);
void STREAM_cancelrequest(STREAM_HANDLE handle, uint32_t id);
void STREAM_kill(STREAM_HANDLE handle);
void STREAM_destroy(STREAM_HANDLE handle);
int32_t STREAM_state(STREAM_HANDLE handle);
int STREAM_isendofstream(STREAM_HANDLE tap);
uint32_t STREAM_buffersize(STREAM_HANDLE handle);
uint32_t STREAM_bufferusage(STREAM_HANDLE handle);
uint32_t STREAM_taprequestid(STREAM_HANDLE tap);
int32_t STREAM_requeststate(STREAM_HANDLE handle, uint32_t id);
uint32_t STREAM_gettable(STREAM_HANDLE tap);
