// Banks and tagged patches: the bank table, the patch table behind 32-bit bank entries, resolution with every
// offset and length checked against the block the patch came in, and bank download.
#include "platformlib/sound/sndbank.h"

#include <cstring>
#include <vector>

#include "platformlib/sound/sndmix.h"

int sndinitialised = 0;
void (*sndstopbankvoiceshook)(int bank, int index) = nullptr;
int (*sndbankhook)(int bank) = nullptr;
uint32_t (*sndcreatehwbufferhook)(int, int, int, int32_t, int32_t, int32_t, const uint8_t*) = nullptr;
void (*sndremovehwbufferhook)(uint32_t) = nullptr;

namespace {

constexpr uint8_t kResolved = 0x01;
constexpr uint8_t kLongHeader = 0x02;

inline uint32_t rd32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24); }
inline void wr32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint16_t rd16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline void wrbe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

struct BankSlot {
  uint8_t* bank;
  size_t bytes;
  uint32_t word;
  bool async;
};
BankSlot banks[SNDBANKS];

// Bank entries hold an index into this table plus one.
std::vector<PatchRecord> patches;
std::vector<uint32_t> freepatches;

uint32_t addrecord(const PatchRecord& record) {
  if (!freepatches.empty()) {
    const uint32_t index = freepatches.back();
    freepatches.pop_back();
    patches[index] = record;
    return index + 1;
  }
  patches.push_back(record);
  return static_cast<uint32_t>(patches.size());
}

void droprecord(uint32_t entry) {
  if (entry == 0 || entry > patches.size()) return;
  patches[entry - 1] = PatchRecord{};
  freepatches.push_back(entry - 1);
}

const PatchRecord* recordof(uint32_t entry) {
  if (entry == 0 || entry > patches.size() || !patches[entry - 1].patch) return nullptr;
  return &patches[entry - 1];
}

bool validbank(int bank) { return bank >= 0 && bank < SNDBANKS && banks[bank].bank && !banks[bank].async; }
int version(const uint8_t* bank) { return bank[4]; }
int entrycount(const uint8_t* bank) { return rd16(bank + 6); }
uint8_t* entries(uint8_t* bank) { return bank + (version(bank) == 2 ? 12 : 20); }

bool inside(const uint8_t* p, size_t n, const uint8_t* block, size_t blockbytes) {
  return p >= block && static_cast<size_t>(p - block) <= blockbytes && n <= blockbytes - (p - block);
}

uint8_t* tagstart(uint8_t* patch) { return patch + ((patch[3] & kLongHeader) ? 8 : 4); }

int32_t kZoneDefaults[ZONETAGS] = {1,  0, 127, 0, 127, -1, 0, 60, -1, 1, 0, 1, 64, 0, 127, 0, 0, 0, 0,
                                   0,  0, 0,   0, 0,   0,  0, 0,  15, 127, 0, 0, 0, 0, 0, 0, 0, 0, 1};

// A table of `count` bytes at `offset` from a tag's value bytes, inside the patch; offset 0 means none.
bool tablefits(const ZoneValues& z, int tag, int64_t count, uint8_t* patch, size_t bytes) {
  if (z.value[tag] == 0) return true;
  if (count < 1) return false;
  const uint8_t* at = z.addr[tag] + z.value[tag];
  if (z.value[tag] < 0 && static_cast<size_t>(-static_cast<int64_t>(z.value[tag])) > static_cast<size_t>(z.addr[tag] - patch))
    return false;
  return inside(at, static_cast<size_t>(count), patch, bytes);
}

bool zonefits(const ZoneValues& z, uint8_t* patch, size_t bytes) {
  if (z.value[0] < 0 || z.value[0] > 2) return false;
  if (z.value[11] < 1 || z.value[11] > 16) return false;
  for (int curve : {18, 21, 23})
    if (!tablefits(z, curve, 128, patch, bytes)) return false;
  const int32_t points = z.value[9];
  if (points < 1 || points > 255) return false;
  if (z.value[25] == 0 ? points != 1 : !tablefits(z, 25, int64_t{points} * 8, patch, bytes)) return false;
  if (z.value[29] != 0 && (z.value[30] < 1 || z.value[30] > 255 || !tablefits(z, 29, z.value[30], patch, bytes)))
    return false;
  if (z.value[32] != 0 && (z.value[33] < 1 || z.value[33] > 255 || !tablefits(z, 32, z.value[33], patch, bytes)))
    return false;
  return z.sampleblock != nullptr;
}

int64_t samplebytes(const SampleValues& s) {
  switch (s.compression) {
    case 7: return static_cast<int64_t>(adpcm7bytes(s.length, s.channels));
    case 9: return 2;  // the header; frames are read only as far as the block goes
    default: return int64_t{s.length} * s.channels * (s.bits / 8);
  }
}

// The checks of a sample block that resolution makes, and the offset of its data in the block.
bool samplefits(const SampleValues& s, const uint8_t* block, size_t blockbytes, const uint8_t* base,
                uint32_t* offset) {
  if (s.channels != 1 && s.channels != 2) return false;
  if (s.compression == 0 ? (s.bits != 8 && s.bits != 16) : s.bits != 16) return false;
  if (s.compression != 0 && s.compression != 7 && s.compression != 9) return false;
  if (s.compression == 9 && (s.channels != 1 || s.loopend > 0)) return false;
  if (s.rate < 1 || s.rate > 65535 || s.length < 0) return false;
  if (s.loopend > 0 && (s.loopstart < 0 || s.loopstart > s.loopend || s.loopend >= s.length)) return false;
  if (s.method < 0 || s.method > 2 || (s.method == 1 && s.channels != 1)) return false;
  if (s.method == 2 && !s.hwslot) return false;
  if (!s.dataslot) return false;
  const int64_t at = (base - block) + int64_t{s.dataoffset};
  if (at < 0 || static_cast<uint64_t>(at) > blockbytes) return false;
  const int64_t need = samplebytes(s);
  if (need > static_cast<int64_t>(blockbytes) - at) return false;
  *offset = static_cast<uint32_t>(at);
  return true;
}

// Walks the zones of a patch: `each` gets every zone closed by 0xFE or by the end of the stream.
template <typename Each>
bool walkzones(uint8_t* patch, size_t bytes, ZoneValues* zone, Each each) {
  uint8_t* cursor = tagstart(patch);
  uint8_t* end = patch + bytes;
  bool open = false;
  for (;;) {
    const TagItem item = iSNDnexttag(&cursor, end);
    switch (item.kind) {
      case TagKind::Broken: return false;
      case TagKind::End:
        if (open && !each(*zone)) return false;
        return true;
      case TagKind::SampleBlock:
        zone->sampleblock = cursor;
        open = true;
        break;
      case TagKind::ZoneEnd:
        if (!each(*zone)) return false;
        zonedefaults(zone, false);
        open = false;
        break;
      case TagKind::Tag:
        if (item.id < ZONETAGS) {
          zone->value[item.id] = item.value;
          zone->addr[item.id] = item.valueaddr;
        }
        open = true;
        break;
    }
  }
}

int removepatchentry(uint8_t* entry) {
  const PatchRecord* record = recordof(rd32(entry));
  if (!record) return -8;
  if (record->bytes >= 2 && record->patch[0] == 'P' && record->patch[1] == 'T')
    iSNDunresolvetaggedpatch(record->patch, record->bytes);
  droprecord(rd32(entry));
  wr32(entry, 0);
  return 0;
}

}  // namespace

// ---- tags ---------------------------------------------------------------------------------------------------------

TagItem iSNDnexttag(uint8_t** cursor, uint8_t* end) {
  uint8_t* p = *cursor;
  while (p < end && *p == 0xFC) ++p;
  TagItem item{TagKind::End, 0, 0, 0, nullptr};
  if (p >= end) {
    *cursor = p;
    return item;
  }
  const uint8_t id = *p++;
  if (id == 0xFF) {
    *cursor = p;
    return item;
  }
  if (id == 0xFD || id == 0xFE) {
    item.kind = id == 0xFD ? TagKind::SampleBlock : TagKind::ZoneEnd;
    *cursor = p;
    return item;
  }
  item.kind = TagKind::Broken;
  if (p >= end) return item;
  uint32_t length = *p++;
  if (length == 0xFF) {
    if (end - p < 4) return item;
    length = static_cast<uint32_t>(readbeint(p, 4));
    p += 4;
  }
  if (length > static_cast<size_t>(end - p)) return item;
  item.kind = TagKind::Tag;
  item.id = id;
  item.length = length;
  item.valueaddr = p;
  item.value = length <= 4 ? readbeint(p, static_cast<int>(length)) : 0;
  *cursor = p + length;
  return item;
}

void zonedefaults(ZoneValues* zone, bool request) {
  for (int i = 0; i < ZONETAGS; ++i) {
    if (!request && (i == 0 || i == 27 || i == 36)) continue;
    zone->value[i] = kZoneDefaults[i];
    zone->addr[i] = nullptr;
  }
  zone->sampleblock = nullptr;
}

bool readsampletags(uint8_t* block, uint8_t* end, SampleValues* s) {
  *s = SampleValues{16, 1, 0, 22050, 0, -1, -1, 0, 0, nullptr, nullptr, 0, nullptr, 0};
  uint8_t* cursor = block;
  for (;;) {
    const TagItem item = iSNDnexttag(&cursor, end);
    if (item.kind == TagKind::Broken) return false;
    if (item.kind != TagKind::Tag) break;  // 0xFE, 0xFF, 0xFD or the end
    switch (item.id) {
      case 0x81: s->bits = item.value; break;
      case 0x82: s->channels = item.value; break;
      case 0x83: s->compression = item.value; break;
      case 0x84: s->rate = item.value; break;
      case 0x85: s->length = item.value; break;
      case 0x86: s->loopstart = item.value; break;
      case 0x87: s->loopend = item.value; break;
      case 0x91: s->quality = item.value < 0 ? 0 : item.value > 100 ? 100 : item.value; break;
      case 0x88: s->dataoffset = item.value; break;
      case 0x8A:
        if (item.length != 4) return false;
        s->dataslot = item.valueaddr;
        break;
      case 0x92:
        if (item.length < 1) return false;
        s->methodbyte = item.valueaddr + item.length - 1;
        s->method = *s->methodbyte;
        break;
      case 0x93:
        if (item.length != 4) return false;
        s->hwslot = item.valueaddr;
        break;
      default: break;
    }
  }
  s->representation = s->compression == 7 ? 3 : s->compression == 9 ? 4 : s->bits == 8 ? 2 : 0;
  return true;
}

const uint8_t* sndsampledata(const PatchRecord& record, const SampleValues& sample, size_t* bytes) {
  const uint32_t offset = static_cast<uint32_t>(readbeint(sample.dataslot, 4));
  if (offset > record.blockbytes) {
    *bytes = 0;
    return record.block;
  }
  *bytes = record.blockbytes - offset;
  return record.block + offset;
}

// ---- resolution ------------------------------------------------------------------------------------------------------

int iSNDresolvetaggedpatch(uint8_t* patch, size_t bytes, const uint8_t* block, size_t blockbytes,
                           const uint8_t* base) {
  if (!patch || bytes < 4 || patch[0] != 'P' || patch[1] != 'T') return SNDDAMAGED;
  if (patch[2] != 0) return SNDDAMAGED;  // made for another platform
  if (patch[3] & kResolved)
    return sndfail(-8, "iSNDresolvetaggedpatch",
                   "iSNDresolvetaggedpatch - PATCH IS ALREADY IN A RESOLVED STATE - DO NOT ADD TWICE WITHOUT "
                   "REMOVING.\n");
  if ((patch[3] & kLongHeader) && bytes < 8) return SNDDAMAGED;

  // Everything is checked before anything is written, so a refused patch is left as it came.
  ZoneValues zone;
  zonedefaults(&zone, true);
  if (!walkzones(patch, bytes, &zone, [&](const ZoneValues& z) { return zonefits(z, patch, bytes); }))
    return SNDDAMAGED;
  struct Pending {
    SampleValues sample;
    uint32_t offset;
  };
  std::vector<Pending> samples;
  uint8_t* cursor = tagstart(patch);
  uint8_t* end = patch + bytes;
  for (;;) {
    const TagItem item = iSNDnexttag(&cursor, end);
    if (item.kind == TagKind::Broken) return SNDDAMAGED;
    if (item.kind == TagKind::End) break;
    if (item.kind != TagKind::SampleBlock) continue;
    Pending p{};
    if (!readsampletags(cursor, end, &p.sample) || !samplefits(p.sample, block, blockbytes, base, &p.offset))
      return SNDDAMAGED;
    samples.push_back(p);
  }
  if (samples.empty()) return -1;
  for (const Pending& p : samples) {
    wrbe32(p.sample.dataslot, p.offset);
    if (p.sample.method == 2 && p.sample.hwslot) {
      // A voice whose buffer could not be made plays in software.
      const uint32_t buffer = sndcreatehwbufferhook
                                  ? sndcreatehwbufferhook(p.sample.channels, p.sample.representation, p.sample.rate,
                                                          p.sample.length, p.sample.loopstart, p.sample.loopend,
                                                          block + p.offset)
                                  : 0;
      wrbe32(p.sample.hwslot, buffer);
      if (buffer && p.sample.methodbyte) *p.sample.methodbyte = 3;
    }
  }
  patch[3] |= kResolved;
  return 8;
}

void iSNDunresolvetaggedpatch(uint8_t* patch, size_t bytes) {
  if (bytes < 4) return;
  uint8_t* cursor = tagstart(patch);
  uint8_t* end = patch + bytes;
  for (;;) {
    const TagItem item = iSNDnexttag(&cursor, end);
    if (item.kind == TagKind::End || item.kind == TagKind::Broken) break;
    if (item.kind != TagKind::SampleBlock) continue;
    SampleValues s;
    if (readsampletags(cursor, end, &s) && s.method == 3 && s.methodbyte) {
      *s.methodbyte = 2;
      if (s.hwslot && sndremovehwbufferhook) sndremovehwbufferhook(static_cast<uint32_t>(readbeint(s.hwslot, 4)));
    }
  }
  patch[3] &= static_cast<uint8_t>(~kResolved);
}

// ---- banks -------------------------------------------------------------------------------------------------------------

int SNDbankmemsize(int entries) {
  if (entries < 1 || entries > 65535) return -8;
  return 20 + 4 * entries;
}

int SNDbankcreate(int entries, void* memory) {
  if (!sndinitialised) return -14;
  if (entries < 1 || entries > 65535)
    return sndfail(-8, "SNDbankcreate", "SNDbankcreate - numpatches OF %i OUT OF RANGE.\n", entries);
  if (!memory) return sndfail(-8, "SNDbankcreate", "SNDbankcreate - pbankmem WAS NULL.\n");
  int slot = 0;
  while (slot < SNDBANKS && banks[slot].bank) ++slot;
  if (slot == SNDBANKS) return -9;
  uint8_t* bank = static_cast<uint8_t*>(memory);
  std::memset(bank, 0, static_cast<size_t>(SNDbankmemsize(entries)));
  std::memcpy(bank, "BNKl", 4);
  bank[4] = 4;
  bank[6] = static_cast<uint8_t>(entries);
  bank[7] = static_cast<uint8_t>(entries >> 8);
  wr32(bank + 8, static_cast<uint32_t>(20 + 4 * entries));
  banks[slot] = BankSlot{bank, static_cast<size_t>(SNDbankmemsize(entries)), 0, false};
  sndbankhook = cSNDbankremove;
  return slot;
}

int SNDbankaddpat2files(int bank, int* out, uint8_t* patch, size_t bytes, const uint8_t* block, size_t blockbytes,
                        const uint8_t* base) {
  if (!sndinitialised) return -14;
  if (!validbank(bank) || !out || !patch) return -8;
  uint8_t* b = banks[bank].bank;
  if (version(b) != 4 && version(b) != 2)
    return sndfail(-8, "SNDbankaddpat2files", "SNDbankaddpat2files - BANK VERSION %i UNSUPPORTED.\n", version(b));
  const int n = entrycount(b);
  int index = 0;
  while (index < n && rd32(entries(b) + 4 * index) != 0) ++index;
  if (index == n) {
    *out = -1;
    return -9;
  }
  const int r = iSNDresolvetaggedpatch(patch, bytes, block, blockbytes, base);
  if (r < 0) {
    *out = -1;
    return r;
  }
  wr32(entries(b) + 4 * index, addrecord(PatchRecord{patch, bytes, block, blockbytes}));
  *out = index;
  return r;
}

int SNDbankaddpat(int bank, int* out, void* patch, size_t bytes) {
  uint8_t* p = static_cast<uint8_t*>(patch);
  return SNDbankaddpat2files(bank, out, p, bytes, p, bytes, p);
}

int SNDbankremovepat(int bank, int index) {
  if (sndstopbankvoiceshook) sndstopbankvoiceshook(bank, index);
  if (!validbank(bank) || index < 0 || index >= entrycount(banks[bank].bank)) return -8;
  return removepatchentry(entries(banks[bank].bank) + 4 * index);
}

int SNDbankadd2files(int* out, void* memory, size_t bytes, uint32_t word) {
  if (!sndinitialised) return -10;
  uint8_t* bank = static_cast<uint8_t*>(memory);
  // A bank file that does not hold together is refused without ending the game.
  if (!bank || bytes < 12 || std::memcmp(bank, "BNKl", 4) != 0) return SNDDAMAGED;
  if (version(bank) != 4 && version(bank) != 2) return SNDDAMAGED;
  const size_t table = version(bank) == 2 ? 12 : 20;
  const size_t n = entrycount(bank);
  if (bytes < table || (bytes - table) / 4 < n) return SNDDAMAGED;
  int slot = 0;
  while (slot < SNDBANKS && banks[slot].bank) ++slot;
  if (slot == SNDBANKS) return -9;
  banks[slot] = BankSlot{bank, bytes, word, false};

  uint8_t* list = bank + table;
  std::vector<uint32_t> offsets(n);
  for (size_t i = 0; i < n; ++i) offsets[i] = rd32(list + 4 * i);
  int status = 7;
  for (size_t i = 0; i < n; ++i) {
    if (offsets[i] == 0) continue;
    const size_t at = table + 4 * i + offsets[i];
    int r = SNDDAMAGED;
    // A patch already resolved (two entries on one patch, or the flag set in the file) is damaged here.
    if (offsets[i] < bytes && at + 4 <= bytes && !(bank[at + 3] & kResolved)) {
      uint8_t* patch = bank + at;
      r = iSNDresolvetaggedpatch(patch, bytes - at, bank, bytes, list);
      if (r >= 0) wr32(list + 4 * i, addrecord(PatchRecord{patch, bytes - at, bank, bytes}));
    }
    if (r < 0) {
      // Undo: the patches resolved so far, and the entries back to their offsets.
      for (size_t j = 0; j < i; ++j)
        if (offsets[j] != 0) removepatchentry(list + 4 * j);
      for (size_t j = 0; j < n; ++j) wr32(list + 4 * j, offsets[j]);
      banks[slot] = BankSlot{};
      return r;
    }
    if (r != 7) status = 8;
  }
  *out = slot;
  sndbankhook = cSNDbankremove;
  return status;
}

int cSNDbankremove(int bank) {
  if (!sndinitialised) return -10;
  if (bank == -1) {
    for (int b = 0; b < SNDBANKS; ++b)
      if (banks[b].bank && !banks[b].async) cSNDbankremove(b);
    return 0;
  }
  if (bank >= 0 && bank < SNDBANKS && banks[bank].async)
    return sndfail(-8, "SNDbankremove",
                   "SNDbankremove - TRIED TO REMOVE BANK BEING LOADED THROUGH ASYNC. FIRST ALLOW ASYNC LOADING TO "
                   "COMPLETE.\n");
  if (!validbank(bank)) return -8;
  if (sndstopbankvoiceshook) sndstopbankvoiceshook(bank, -1);
  uint8_t* b = banks[bank].bank;
  for (int i = 0; i < entrycount(b); ++i)
    if (rd32(entries(b) + 4 * i) != 0) removepatchentry(entries(b) + 4 * i);
  banks[bank] = BankSlot{};
  return 0;
}

const PatchRecord* sndbankpatch(int bank, int index) {
  if (!validbank(bank) || index < 0 || index >= entrycount(banks[bank].bank)) return nullptr;
  return recordof(rd32(entries(banks[bank].bank) + 4 * index));
}

int sndbankpatchcount(int bank) { return validbank(bank) ? entrycount(banks[bank].bank) : 0; }
