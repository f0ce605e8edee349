// Score-server request fuzz entry: the bytes a client sent, read as a request and answered by a store. Nothing
// may crash, read past a body or take a body beyond its announced length.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "scorestore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  scored::HttpRequest request;
  if (scored::ParseRequest(bytes, &request) != 1) return 0;
  if (request.body.size() > 65536) std::abort();
  static scored::ScoreStore store;
  store.Handle(request);
  return 0;
}
