// Fuzz entry: the input is a big file; every lookup must stay inside it and hand out only entries whose
// data lies inside it.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platformlib/bigfile/bigfile.h"
#include "platformlib/core/memclass.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  abortonerror = 0;
  // An exact-size copy, so that any read past the end is caught.
  uint8_t* big = static_cast<uint8_t*>(std::malloc(size ? size : 1));
  if (size) std::memcpy(big, data, size);
  typeofbigfilen(big, size);
  for (int i = 0; i < 40; ++i) {
    uint32_t offset = 0, length = 0;
    const char* name = findbigentryn(big, size, nullptr, i, &offset, &length);
    if (!name) break;
    if (uint64_t{offset} + length > size) std::abort();
    // Every name found by number is found by name too.
    uint32_t o2 = 0, l2 = 0;
    if (!findbigentryn(big, size, name, 0, &o2, &l2)) std::abort();
  }
  for (const char* name : {"abcd", "ABCDEFGH.SHP", "x", "course.dat"}) {
    uint32_t offset = 0, length = 0;
    if (findbigentryn(big, size, name, 0, &offset, &length) && uint64_t{offset} + length > size) std::abort();
  }
  // The address-only entry points, with the extent registered (an empty block cannot be).
  if (size) {
    registerbigfile(big, size);
    bigentrycount(big);
    bigdirectoryend(big);
    char buffer[16];
    bigentryname(big, 1, buffer, sizeof buffer);
    void* slots[3];
    locatebigs(big, "abcd,efgh,ijkl", slots);
    unregisterbigfile(big);
  }
  std::free(big);
  return 0;
}
