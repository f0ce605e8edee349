// The golfers that come with the game: slots 0-3 are the four amateur models user golfers wear, slots 4 and up
// the professionals. A slot number is also a golfer's model number.
#pragma once

#include <cstdint>

constexpr int kRosterSlots = 26;
constexpr int kRosterProfessionals = 22;

struct RosterSlot {
  char name[16];          // short display name
  int32_t present;        // the golfer's data was found
  char picture[16];       // picture shape file
  char longName[30];      // long display name
  char body[16];          // body-shape file; its first two characters are the golfer's sound code
  int32_t mark;           // read by the announcer's choice of clip variants
  int32_t factClips;      // recorded golfer-fact clips
};

// Rebuilds the roster from its defaults; every golfer counts as present.
void InitGolferRoster();
int GolferRosterSize();  // the professionals (22)
const RosterSlot* GolferRosterSlot(int slot);  // null outside 0 .. size + 3 or at 26 and past
// The professional's slot for a name, compared without regard to case; -1 for a user golfer.
int FindRosterProfessional(const char* name);
// The biography of the professional in a slot (its labelled lines), "" for other slots.
const char* RosterBiography(int slot);
