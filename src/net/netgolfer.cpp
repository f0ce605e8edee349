#include "net/netgolfer.h"

#include <cstring>

#include "framework/core/utils.h"
#include "golf/golferfile.h"
#include "golf/playerinfo.h"
#include "windows.h"

namespace net {

std::string NetGolferFolder;

namespace {

constexpr uint32_t kNetGolferFlag = kGolferNetGolfer;

template <class F>
void ForEachGolfer(F each) {
  ForEachGolferFile(NetGolferFolder, each);
}

}  // namespace

bool FindNetGolfer(const char* name, uint16_t* identifier) {
  bool found = false;
  if (!name) return false;
  ForEachGolfer([&](const std::string& file, const playerInfo_s& record) {
    if ((record.flags & kNetGolferFlag) && StringCompareNoCase(file.c_str(), name) == 0) {
      found = true;
      if (identifier) *identifier = record.wordF;
    }
  });
  return found;
}

bool FindAnyNetGolfer(char* name) {
  bool found = false;
  ForEachGolfer([&](const std::string& file, const playerInfo_s& record) {
    if (!(record.flags & kNetGolferFlag)) return;
    found = true;
    std::memset(name, 0, 16);
    std::strncpy(name, file.c_str(), 15);
  });
  return found;
}

}  // namespace net
