// Sound banks and tagged patches. A patch is a block of tags ("PT", then a tag stream) with one or more zones,
// each with its sample block; a bank is a table of patches. Bank entries and the patch's 4-byte slots keep
// their 32-bit layout: an entry holds an index into the library's patch table (plus one), the sample slot an
// offset into the block that holds the sample.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int SNDBANKS = 16;
constexpr int SNDDAMAGED = -7;  // a patch or bank whose bytes do not hold together

// ---- public operations ----------------------------------------------------------------------------------
int SNDbankmemsize(int entries);
int SNDbankcreate(int entries, void* memory);
// Adds a patch of `bytes` bytes (its whole file) to the first empty entry; sample offsets count from the patch.
int SNDbankaddpat(int bank, int* out, void* patch, size_t bytes);
// The worker behind it: sample offsets count from `base`, and samples must lie inside [block, block + blockbytes).
int SNDbankaddpat2files(int bank, int* out, uint8_t* patch, size_t bytes, const uint8_t* block, size_t blockbytes,
                        const uint8_t* base);
int SNDbankremovepat(int bank, int index);
// Registers a bank file of `bytes` bytes whose entries hold offsets of patches from the entries themselves.
int SNDbankadd2files(int* out, void* bank, size_t bytes, uint32_t word);
int cSNDbankremove(int bank);

// ---- the library's side ------------------------------------------------------------------------------------
extern int sndinitialised;
// Set by the voices: stops the voices playing a bank's patch (index -1: every patch of the bank).
extern void (*sndstopbankvoiceshook)(int bank, int index);
// Set by the bank layer at its first bank: removes banks at shut-down (-1: all).
extern int (*sndbankhook)(int bank);

// Set by the driver binding: makes a hardware 3D buffer for a sample and gives its 32-bit index (0: none), and
// frees one.
extern uint32_t (*sndcreatehwbufferhook)(int channels, int representation, int rate, int32_t length,
                                         int32_t loopstart, int32_t loopend, const uint8_t* data);
extern void (*sndremovehwbufferhook)(uint32_t buffer);

struct PatchRecord {
  uint8_t* patch;
  size_t bytes;           // from the patch to the end of its block
  const uint8_t* block;   // where sample offsets point into
  size_t blockbytes;
};
// The patch of a bank's entry, or null when the bank or entry is not valid.
const PatchRecord* sndbankpatch(int bank, int index);
int sndbankpatchcount(int bank);

// ---- tags ---------------------------------------------------------------------------------------------------------
enum class TagKind { End, SampleBlock, ZoneEnd, Tag, Broken };
struct TagItem {
  TagKind kind;
  int id;
  uint32_t length;
  int32_t value;       // for lengths 0..4
  uint8_t* valueaddr;  // the value's bytes
};
// Reads the next item of a tag stream; never past `end`. A stream that stops without 0xFF ends at `end`.
TagItem iSNDnexttag(uint8_t** cursor, uint8_t* end);

constexpr int ZONETAGS = 38;
struct ZoneValues {
  int32_t value[ZONETAGS];
  uint8_t* addr[ZONETAGS];  // the value bytes of each tag given (offsets count from there)
  uint8_t* sampleblock;     // the tags after this zone's 0xFD
};
void zonedefaults(ZoneValues* zone, bool request);  // `request`: the tags kept from zone to zone as well

struct SampleValues {
  int bits, channels, compression, rate;
  int32_t length, loopstart, loopend;
  int quality;
  int32_t dataoffset;   // tag 0x88
  uint8_t* dataslot;    // tag 0x8A's 4 bytes
  uint8_t* methodbyte;  // tag 0x92's byte
  int method;
  uint8_t* hwslot;  // tag 0x93's 4 bytes
  int representation;  // 0 16-bit PCM, 2 8-bit PCM, 3 compression 7, 4 compression 9
};
// Reads a sample block's tags up to its 0xFE; false when they run past `end`.
bool readsampletags(uint8_t* block, uint8_t* end, SampleValues* sample);

// Checks and resolves a patch against the block it lies in; 8 when resolved, negative when refused.
int iSNDresolvetaggedpatch(uint8_t* patch, size_t bytes, const uint8_t* block, size_t blockbytes,
                           const uint8_t* base);
void iSNDunresolvetaggedpatch(uint8_t* patch, size_t bytes);
// The sample data of a resolved sample block and how many bytes of its block follow it.
const uint8_t* sndsampledata(const PatchRecord& record, const SampleValues& sample, size_t* bytes);
