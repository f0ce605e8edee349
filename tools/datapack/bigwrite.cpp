// Writers of both big-file forms: header, directory, then the entries' data in directory order.
#include <cstring>

#include "datapack/datapack.h"

namespace datapack {

namespace {

void putbe(Bytes& out, uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void setbe(Bytes& out, size_t at, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * (bytes - 1 - i)));
}

}  // namespace

Bytes writebigfile(int form, const std::vector<BigEntry>& entries) {
  if (form != 1 && form != 2) throw std::invalid_argument("big-file form must be 1 or 2");
  const int field = form == 1 ? 3 : 4;
  const size_t header = form == 1 ? 6 : 16;
  size_t dirend = header;
  for (const BigEntry& e : entries) {
    if (e.name.find('\0') != std::string::npos || e.name.empty()) throw FormatLimit("entry names are non-empty text");
    // The 0xC0FB form's quick name scan starts looking for the terminator at the fifth character.
    if (form == 1 && e.name.size() < 4) throw FormatLimit("0xC0FB entry names hold at least four characters");
    dirend += 2 * static_cast<size_t>(field) + e.name.size() + 1;
  }
  const uint64_t fieldmax = form == 1 ? 0xFFFFFF : 0xFFFFFFFF;
  if (form == 1 && (dirend - 4 > 0xFFFF || entries.size() > 0xFFFF)) throw FormatLimit("0xC0FB directory too large");

  Bytes out;
  if (form == 1) {
    out = {0xC0, 0xFB};
    putbe(out, dirend - 4, 2);
    putbe(out, entries.size(), 2);
  } else {
    out = {'B', 'I', 'G', 'F'};
    putbe(out, 0, 4);  // total size, filled in below
    putbe(out, entries.size(), 4);
    putbe(out, dirend, 4);
  }
  uint64_t offset = dirend;
  for (const BigEntry& e : entries) {
    if (offset > fieldmax || e.data.size() > fieldmax) throw FormatLimit("entry offset or size too large for the form");
    putbe(out, offset, field);
    putbe(out, e.data.size(), field);
    out.insert(out.end(), e.name.begin(), e.name.end());
    out.push_back(0);
    offset += e.data.size();
  }
  if (offset > 0xFFFFFFFF) throw FormatLimit("big file too large");
  for (const BigEntry& e : entries) out.insert(out.end(), e.data.begin(), e.data.end());
  if (form == 2) setbe(out, 4, out.size(), 4);
  return out;
}

}  // namespace datapack
