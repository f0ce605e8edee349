// The card-table writer: puts the table of known 3D cards into the registry, where the card-detection
// module looks the installed card up.
#pragma once

#include <cstdint>

namespace hwscan {

constexpr int kCardCount = 17;
constexpr uint32_t kTableVersion = 12;
constexpr int kMaxTypes = 3;
// Text values are written with this data size, whatever their length.
constexpr uint32_t kTextValueSize = 128;

extern const char kMainKey[];    // "SOFTWARE\Marrowgate\3D Data"
extern const char kParentKey[];  // "SOFTWARE\Marrowgate"

struct CardIds {
  uint32_t vendor;
  uint32_t device;
};

// One card as the program keeps it while it writes.
struct CardRecord {
  char name[32];
  char module[32];
  uint32_t types;
  CardIds ids[kMaxTypes];
};

// The run-time table, filled by main from the constant table; card n is entry n - 1.
extern CardRecord g_cards[kCardCount];
// The order in which the detector tries the cards (the values "1" to "17" of the main key).
extern const int kCardOrder[kCardCount];
// The group of card n (1..17).
const char* CardGroup(int n);

// The program: fills the run-time table and writes it; returns the exit code.
int main();
// Writes the table unless one of the current version is there.
void doregistry();
// Reports a failed write in a message box and ends the process with exit code 1.
[[noreturn]] void doexit(const char* keyPath, const char* valueName);

}  // namespace hwscan
