// Big files: the two archive forms, lookups by name and number, and the registered extents that let the
// address-only entry points check what they read.
#include "platformlib/bigfile/bigfile.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "platformlib/core/memclass.h"
#include "platformlib/bigfile/unpackfmt.h"

using namespace unpackfmt;

uint32_t lastbigentrysize = 0;

namespace {

const char BIGFILE[] = "cmn\\locatbig.c";

std::mutex& extentmutex() {
  static std::mutex m;
  return m;
}
std::map<uintptr_t, size_t>& extents() {
  static std::map<uintptr_t, size_t> m;
  return m;
}

// A big file as the lookups see it: its bytes and, when known, how many there are.
struct BigView {
  const uint8_t* p;
  size_t n;
  bool known;
};

BigView viewof(const void* big) {
  const size_t n = registeredextent(big);
  if (n) return {static_cast<const uint8_t*>(big), n, true};
  return {static_cast<const uint8_t*>(big), static_cast<size_t>(UINTPTR_MAX - reinterpret_cast<uintptr_t>(big)),
          false};
}

int formof(const BigView& v) {
  if (!v.p) return 0;
  if (v.n >= 2 && v.p[0] == 0xC0 && v.p[1] == 0xFB) return 1;
  if (v.n >= 4 && std::memcmp(v.p, "BIGF", 4) == 0) return 2;
  return 0;
}

struct Directory {
  int form = 0;
  size_t first = 0;  // first entry
  size_t end = 0;    // directory end
};

// The directory's bounds; form 0 when the data is not a big file or its directory lies outside the data.
Directory directoryof(const BigView& v) {
  Directory d;
  const int form = formof(v);
  if (form == 1 && v.n >= 6) {
    d = {1, 6, size_t{be16(v.p + 2)} + 4};
  } else if (form == 2 && v.n >= 16) {
    d = {2, 16, be32(v.p + 12)};
  } else {
    return {};
  }
  if (d.end > v.n) return {};
  return d;
}

struct Entry {
  const char* name;
  size_t namelength;
  uint32_t offset;
  uint32_t size;
  bool sound;  // the data lies inside the big file (always true when its extent is unknown)
};

// Walks the entries in directory order; `visit` returns true to stop. Entries end at the directory end or
// at the first one whose name is not terminated before it.
template <typename Visit>
void walk(const BigView& v, const Directory& d, Visit visit) {
  const size_t fields = d.form == 1 ? 6 : 8;
  size_t pos = d.first;
  while (pos < d.end && d.end - pos > fields) {
    const uint8_t* e = v.p + pos;
    const char* name = reinterpret_cast<const char*>(e + fields);
    const void* nul = std::memchr(name, 0, d.end - pos - fields);
    if (!nul) return;
    Entry entry;
    entry.name = name;
    entry.namelength = static_cast<size_t>(static_cast<const char*>(nul) - name);
    entry.offset = d.form == 1 ? be24(e) : be32(e);
    entry.size = d.form == 1 ? be24(e + 3) : be32(e + 4);
    entry.sound = !v.known || (entry.offset <= v.n && entry.size <= v.n - entry.offset);
    if (visit(entry)) return;
    pos += fields + entry.namelength + 1;
  }
}

inline uint8_t lower(uint8_t c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

bool sameName(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (lower(static_cast<uint8_t>(a[i])) != lower(static_cast<uint8_t>(b[i]))) return false;
  }
  return true;
}

// The quick filter on the first four characters, each ORed with 0x20 (never rejects a true match).
inline uint32_t quickkey(const char* s) {
  uint32_t k;
  std::memcpy(&k, s, 4);
  return k | 0x20202020u;
}

char* findin(const BigView& v, const char* name, int number, uint32_t* offset, uint32_t* size) {
  if (offset) *offset = 0;
  if (size) *size = 0;
  const Directory d = directoryof(v);
  if (!d.form) return nullptr;
  const Entry* found = nullptr;
  Entry hit;
  if (name) {
    const size_t wanted = std::strlen(name);
    const bool quick = wanted >= 4;
    const uint32_t key = quick ? quickkey(name) : 0;
    walk(v, d, [&](const Entry& e) {
      if (e.namelength != wanted || !e.sound) return false;
      if (quick && quickkey(e.name) != key) return false;
      if (!sameName(e.name, name, wanted)) return false;
      hit = e;
      found = &hit;
      return true;
    });
  } else if (number >= 0) {
    int index = 0;
    walk(v, d, [&](const Entry& e) {
      if (index++ != number) return false;
      if (e.sound) {
        hit = e;
        found = &hit;
      }
      return true;
    });
  }
  if (!found) return nullptr;
  if (offset) *offset = found->offset;
  if (size) *size = found->size;
  return const_cast<char*>(found->name);
}

void notfound(const char* name, int number) {
  if (!abortonerror) return;
  ABORTCONTEXT(BIGFILE, "locatebigentry");
  if (name) abortmessage("locatebigentry: ENTRY \"%s\" NOT FOUND\n", name);
  else abortmessage("locatebigentry: ENTRY #%d NOT FOUND\n", number);
}

}  // namespace

// ---- extents ----------------------------------------------------------------------------------------------------

void registerbigfile(const void* address, size_t size) {
  if (!address) return;
  std::lock_guard<std::mutex> lock(extentmutex());
  if (size) extents()[reinterpret_cast<uintptr_t>(address)] = size;
  else extents().erase(reinterpret_cast<uintptr_t>(address));
}

void unregisterbigfile(const void* address) {
  std::lock_guard<std::mutex> lock(extentmutex());
  extents().erase(reinterpret_cast<uintptr_t>(address));
}

size_t registeredextent(const void* address) {
  const auto a = reinterpret_cast<uintptr_t>(address);
  std::lock_guard<std::mutex> lock(extentmutex());
  auto& m = extents();
  auto it = m.upper_bound(a);
  if (it == m.begin()) return 0;
  --it;
  const uintptr_t end = it->first + it->second;
  return a < end ? end - a : 0;
}

// ---- big files -------------------------------------------------------------------------------------------------

int typeofbigfilen(const void* big, size_t bigsize) {
  if (!big) {
    if (abortonerror) {
      ABORTCONTEXT(BIGFILE, "typeofbigfile");
      abortmessage("typeofbigfile - NO BIG FILE SET (NULL POINTER)\n");
    }
    return 0;
  }
  const BigView v{static_cast<const uint8_t*>(big), bigsize, true};
  const int form = formof(v);
  if (!form && abortonerror) {
    // The block's first bytes as text, cut at the first unprintable one.
    char text[9] = {};
    for (size_t i = 0; i < 8 && i < bigsize && v.p[i] >= 0x20 && v.p[i] < 0x7F; ++i) text[i] = static_cast<char>(v.p[i]);
    ABORTCONTEXT(BIGFILE, "typeofbigfile");
    abortmessage("typeofbigfile - FILE %s IS NOT A BIG FILE\n", text);
  }
  return form;
}

int typeofbigfile(const void* big) {
  if (!big) return typeofbigfilen(nullptr, 0);
  return typeofbigfilen(big, viewof(big).n);
}

uint32_t bigdirectoryend(const void* big) {
  if (!big) return 0;
  return static_cast<uint32_t>(directoryof(viewof(big)).end);
}

uint32_t bigentrycount(const void* big) {
  if (!big) return 0;
  const BigView v = viewof(big);
  const Directory d = directoryof(v);
  if (d.form == 1) return be16(v.p + 4);
  if (d.form == 2) return be32(v.p + 8);
  return 0;
}

char* findbigentryn(const void* big, size_t bigsize, const char* name, int number, uint32_t* offset,
                    uint32_t* size) {
  if (!big) {
    if (offset) *offset = 0;
    if (size) *size = 0;
    return nullptr;
  }
  return findin(BigView{static_cast<const uint8_t*>(big), bigsize, true}, name, number, offset, size);
}

int visitbigentries(const void* big, size_t bigsize,
                    const std::function<void(const char* name, uint32_t offset, uint32_t size)>& visit) {
  if (!big) return 0;
  const BigView v{static_cast<const uint8_t*>(big), bigsize, true};
  const Directory d = directoryof(v);
  if (!d.form) return 0;
  int count = 0;
  walk(v, d, [&](const Entry& e) {
    if (!e.sound) return true;
    visit(e.name, e.offset, e.size);
    ++count;
    return false;
  });
  return count;
}

char* findbigentry(const void* big, const char* name, int number, uint32_t* offset, uint32_t* size) {
  if (!big) return findbigentryn(nullptr, 0, name, number, offset, size);
  return findin(viewof(big), name, number, offset, size);
}

char* locatebigentry(const void* big, const char* name, int number, uint32_t* offset, uint32_t* size) {
  char* entry = findbigentry(big, name, number, offset, size);
  if (!entry) notfound(name, number);
  return entry;
}

uint32_t bigentryoffset(const void* big, const char* name) {
  uint32_t offset = 0, size = 0;
  if (name) locatebigentry(big, name, 0, &offset, &size);
  lastbigentrysize = size;
  return offset;
}

void* locatebigentryadr(const void* big, const char* name) {
  uint32_t offset = 0, size = 0;
  const char* entry = name ? locatebigentry(big, name, 0, &offset, &size) : nullptr;
  lastbigentrysize = size;
  return entry ? const_cast<uint8_t*>(static_cast<const uint8_t*>(big) + offset) : nullptr;
}

void* bigentryadrnum(const void* big, int number) {
  uint32_t offset = 0, size = 0;
  const char* entry = locatebigentry(big, nullptr, number, &offset, &size);
  lastbigentrysize = size;
  return entry ? const_cast<uint8_t*>(static_cast<const uint8_t*>(big) + offset) : nullptr;
}

void locatebigs(const void* big, const char* list, void** out) {
  if (!list || !out) return;
  const char* p = list;
  for (;;) {
    const char* comma = std::strchr(p, ',');
    const std::string name(p, comma ? static_cast<size_t>(comma - p) : std::strlen(p));
    uint32_t offset = 0;
    const char* entry = big ? findbigentry(big, name.c_str(), 0, &offset, nullptr) : nullptr;
    *out++ = entry ? const_cast<uint8_t*>(static_cast<const uint8_t*>(big) + offset) : nullptr;
    if (!entry && abortonerror) {
      ABORTCONTEXT(BIGFILE, "locatebigs");
      abortmessage("locatebigs - FILE NOT FOUND '%s'\n", name.c_str());
    }
    if (!comma) break;
    p = comma + 1;
  }
}

int bigentryname(const void* big, int number, char* buffer, size_t buffersize) {
  if (!buffer || buffersize == 0) return 0;
  buffer[0] = 0;
  const char* entry = big ? findbigentry(big, nullptr, number, nullptr, nullptr) : nullptr;
  if (!entry) return 0;
  const size_t n = std::min(std::strlen(entry), buffersize - 1);
  std::memcpy(buffer, entry, n);
  buffer[n] = 0;
  return 1;
}

int bigentryname(const void* big, int number, char* buffer) { return bigentryname(big, number, buffer, MAX_PATH); }
