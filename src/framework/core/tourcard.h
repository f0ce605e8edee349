// The optional tour card "TOURCARD.DAT": up to 63 bytes, DES-encrypted under the program's own key, that
// identify the player to the online service.
#pragma once

#include <cstdint>

#include "framework/core/paths.h"

// Eight lower-case hexadecimal digits whose character codes are the 8 key bytes.
extern const char kTourCardKey[9];

constexpr int kTourCardSize = 64;
extern int32_t TourCardPresent;             // 1 when the file was opened and read (even when empty)
extern char TourCardBuffer[kTourCardSize];  // the decrypted text, always zero-terminated

// Reads "TOURCARD.DAT" from `dataFolder` into the buffer and decrypts the whole 8-byte blocks in place.
// Any failure leaves the flag 0 and the buffer cleared. Returns the flag.
int32_t LoadTourCard(PathRecord* dataFolder);
