// Fuzz entry: the input is a bank file. Download either refuses it whole or registers every patch in it, each
// with its samples inside the file.
#include <cstdint>
#include <vector>

#include "platformlib/core/memclass.h"
#include "platformlib/sound/sndbank.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  abortfilterhook = [](const char*) { return 0; };
  sndinitialised = 1;
  std::vector<uint8_t> file(data, data + size);
  int id = -1;
  if (SNDbankadd2files(&id, file.data(), file.size(), 0) >= 0) {
    uint64_t touch = 0;
    for (int i = 0; i < sndbankpatchcount(id); ++i) {
      if (const PatchRecord* r = sndbankpatch(id, i)) {
        for (size_t b = 0; b < r->bytes; ++b) touch += r->patch[b];
      }
    }
    volatile uint64_t sink = touch;
    (void)sink;
    cSNDbankremove(id);
  }
  return 0;
}
