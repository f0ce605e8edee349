// The net golfer: the golfer chosen for network play, looked up among the saved golfer files.
#pragma once

#include <cstdint>
#include <string>

#include "golf/golferfile.h"

namespace net {

// The 16-byte name of the net golfer (initially "GOLFER") and the folder of the golfer files.
using ::NetGolferName;
extern std::string NetGolferFolder;

// True when a net golfer of that name (letter case aside) is saved; its identifier goes to `identifier`. The last
// match wins.
bool FindNetGolfer(const char* name, uint16_t* identifier);
// True when any net golfer is saved; the last one's file name goes to `name` (16 bytes).
bool FindAnyNetGolfer(char* name);

}  // namespace net
