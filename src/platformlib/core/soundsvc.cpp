// Channel picks and the stream table.
#include "platformlib/core/soundsvc.h"

#include <mutex>

int8_t channelpicklist[SOUNDCHANNELS] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};

namespace {

std::mutex streammutex;
SoundStream* streams[STREAMSLOTS] = {};
StreamService streamservice = nullptr;

}  // namespace

int channelpickedin(const int8_t* list, int length, int channel, int k) {
  if (!list || k < 1) return 0;
  if (k > length) k = length;
  for (int i = 0; i < k; ++i)
    if (list[i] == channel) return 1;
  return 0;
}

int channelpicked(int channel, int k) { return channelpickedin(channelpicklist, SOUNDCHANNELS, channel, k); }

void clearchannelpicks() {
  for (int8_t& entry : channelpicklist) entry = -1;
}

int pickchannel(int channel) {
  for (int8_t& entry : channelpicklist) {
    if (entry == -1) {
      entry = static_cast<int8_t>(channel);
      return 1;
    }
  }
  return 0;
}

// ---- the stream table ---------------------------------------------------------------------------------------------

SoundStream* getstreamslot(int n) {
  if (n < 0 || n >= STREAMSLOTS) return nullptr;
  std::lock_guard<std::mutex> guard(streammutex);
  return streams[n];
}

int setstreamslot(int n, SoundStream* stream) {
  if (n < 0 || n >= STREAMSLOTS) return 0;
  std::lock_guard<std::mutex> guard(streammutex);
  streams[n] = stream;
  return 1;
}

void setstreamservice(StreamService service) {
  std::lock_guard<std::mutex> guard(streammutex);
  streamservice = service;
}

int servicesoundstreams() {
  for (int slot = 0; slot < STREAMSLOTS; ++slot) {
    SoundStream* stream;
    StreamService service;
    {
      std::lock_guard<std::mutex> guard(streammutex);
      stream = streams[slot];
      service = streamservice;
    }
    if (stream && service) service(stream, slot);
  }
  return 0;
}

namespace {
int requestindex(SoundStream* stream, uint32_t id) {
  int count = stream->requestcount < STREAMREQUESTS ? stream->requestcount : STREAMREQUESTS;
  for (int i = 0; i < count; ++i)
    if (stream->requests[i].id == id) return i;
  return -1;
}
}  // namespace

StreamRequest* findstreamrequest(uint32_t id) {
  SoundStream* stream = getstreamslot(static_cast<int>(id & 0xFF));
  if (!stream) return nullptr;
  int index = requestindex(stream, id);
  return index < 0 ? nullptr : &stream->requests[index];
}

int removestreamrequest(uint32_t id) {
  SoundStream* stream = getstreamslot(static_cast<int>(id & 0xFF));
  if (!stream) return 0;
  int index = requestindex(stream, id);
  if (index < 0) return 0;
  int count = stream->requestcount < STREAMREQUESTS ? stream->requestcount : STREAMREQUESTS;
  for (int i = index; i + 1 < count; ++i) stream->requests[i] = stream->requests[i + 1];
  stream->requests[count - 1] = StreamRequest{};
  stream->requestcount = static_cast<uint8_t>(count - 1);
  if (index < stream->currentrequest) --stream->currentrequest;
  if (stream->currentrequest > stream->requestcount) stream->currentrequest = stream->requestcount;
  return 1;
}
