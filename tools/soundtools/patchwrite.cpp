// Writers of tagged patches and bank files.
#include <cstring>

#include "soundtools.h"

namespace soundtools {

namespace {

void putbe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void tag(std::vector<uint8_t>& out, int id, int32_t value, int bytes) {
  out.push_back(static_cast<uint8_t>(id));
  out.push_back(static_cast<uint8_t>(bytes));
  putbe(out, static_cast<uint32_t>(value), bytes);
}

void setbe(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

uint32_t getbe(const std::vector<uint8_t>& in, size_t at) {
  return static_cast<uint32_t>(in[at] << 24 | in[at + 1] << 16 | in[at + 2] << 8 | in[at + 3]);
}

// Where each tag 0x88's 4 value bytes sit in a patch.
std::vector<size_t> sampleoffsets(const std::vector<uint8_t>& patch) {
  std::vector<size_t> found;
  size_t p = (patch.size() > 3 && (patch[3] & 2)) ? 8 : 4;
  while (p < patch.size()) {
    const uint8_t id = patch[p++];
    if (id == 0xFF) break;
    if (id == 0xFC || id == 0xFD || id == 0xFE) continue;
    if (p >= patch.size()) break;
    uint32_t length = patch[p++];
    if (length == 0xFF) {
      if (p + 4 > patch.size()) break;
      length = getbe(patch, p);
      p += 4;
    }
    if (id == 0x88 && length == 4) found.push_back(p);
    p += length;
  }
  return found;
}

}  // namespace

std::vector<uint8_t> writepatch(const std::vector<Zone>& zones) {
  std::vector<uint8_t> out = {'P', 'T', 0, 0};
  std::vector<size_t> envelopeslots(zones.size(), 0), dataslots(zones.size(), 0);
  for (size_t z = 0; z < zones.size(); ++z) {
    const Zone& zone = zones[z];
    if (zone.playtype != 1) tag(out, 0, zone.playtype, 1);
    tag(out, 1, zone.velocitylow, 1);
    tag(out, 2, zone.velocityhigh, 1);
    tag(out, 3, zone.keylow, 1);
    tag(out, 4, zone.keyhigh, 1);
    tag(out, 6, zone.priority, 1);
    tag(out, 7, zone.rootkey, 1);
    tag(out, 10, zone.bendrange, 1);
    tag(out, 12, zone.pan, 1);
    tag(out, 14, zone.volume, 1);
    tag(out, 16, zone.finetune, 2);
    tag(out, 28, zone.startlevel, 1);
    if (!zone.envelope.empty()) {
      tag(out, 9, static_cast<int32_t>(zone.envelope.size()), 1);
      envelopeslots[z] = out.size() + 2;
      tag(out, 25, 0, 4);
    }
    out.push_back(0xFD);
    tag(out, 0x81, zone.bits, 1);
    tag(out, 0x82, zone.channels, 1);
    tag(out, 0x83, zone.compression, 1);
    tag(out, 0x84, zone.rate, 4);
    tag(out, 0x85, zone.length, 4);
    tag(out, 0x86, zone.loopstart, 4);
    tag(out, 0x87, zone.loopend, 4);
    tag(out, 0x91, zone.quality, 1);
    dataslots[z] = out.size() + 2;
    tag(out, 0x88, 0, 4);
    tag(out, 0x8A, 0, 4);
    out.push_back(0xFE);
  }
  out.push_back(0xFF);
  for (size_t z = 0; z < zones.size(); ++z) {
    if (envelopeslots[z]) {
      // Offsets of zone tables count from the tag's own value bytes.
      setbe(out, envelopeslots[z], static_cast<uint32_t>(out.size() - envelopeslots[z]));
      for (const auto& [ticks, level] : zones[z].envelope) {
        putbe(out, static_cast<uint32_t>(ticks), 4);
        putbe(out, static_cast<uint32_t>(level), 4);
      }
    }
    setbe(out, dataslots[z], static_cast<uint32_t>(out.size()));  // from the patch's start
    out.insert(out.end(), zones[z].data.begin(), zones[z].data.end());
  }
  return out;
}

std::vector<uint8_t> writebank(const std::vector<std::vector<uint8_t>>& patches) {
  const size_t n = patches.size();
  const size_t table = 20;
  std::vector<uint8_t> out(table + 4 * n, 0);
  std::memcpy(out.data(), "BNKl", 4);
  out[4] = 4;
  out[6] = static_cast<uint8_t>(n);
  out[7] = static_cast<uint8_t>(n >> 8);
  const uint32_t headersize = static_cast<uint32_t>(table + 4 * n);
  for (int i = 0; i < 4; ++i) out[8 + i] = static_cast<uint8_t>(headersize >> (8 * i));
  for (size_t e = 0; e < n; ++e) {
    if (patches[e].empty()) continue;
    const size_t at = out.size();
    const uint32_t offset = static_cast<uint32_t>(at - (table + 4 * e));
    for (int i = 0; i < 4; ++i) out[table + 4 * e + i] = static_cast<uint8_t>(offset >> (8 * i));
    std::vector<uint8_t> patch = patches[e];
    // Sample offsets counted from the patch now count from the entry table.
    for (size_t slot : sampleoffsets(patch)) setbe(patch, slot, static_cast<uint32_t>(getbe(patch, slot) + at - table));
    out.insert(out.end(), patch.begin(), patch.end());
  }
  return out;
}

}  // namespace soundtools
