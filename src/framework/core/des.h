// DES (the Data Encryption Standard, ECB mode) for the tour-card file and the online service's fields.
// Slow and simple: bits move one at a time through the standard's tables.
#pragma once

#include <cstdint>

struct DesWorkArea {
  // 48-bit round keys, each as eight 6-bit groups (one per S-box): 16 for encryption, then the same
  // 16 in reverse order for decryption.
  uint8_t roundkeys[32][8];
};

// Bits are one per byte (0 or 1), bit 1 of the standard first.
void DesKeySchedule(const uint8_t permutedkey[56], DesWorkArea* work);
void DesRounds(uint8_t block[64], const uint8_t (*roundkeys)[8]);

// Whole 8-byte blocks of `data` are processed in place; the bytes after the last whole block stay as they are.
// A null key or data or a zero length does nothing.
void DesEncrypt(const uint8_t* key, uint8_t* data, uint32_t length);
void DesDecrypt(const uint8_t* key, uint8_t* data, uint32_t length);
