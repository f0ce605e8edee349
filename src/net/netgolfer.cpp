#include "net/netgolfer.h"

#include <cstring>

#include "framework/core/utils.h"
#include "golf/golferfile.h"
#include "golf/playerinfo.h"
#include "windows.h"

namespace net {

char NetGolferName[16] = "GOLFER";
std::string NetGolferFolder;

namespace {

constexpr uint32_t kNetGolferFlag = 0x100;

// Calls `each` with the file name (without ".amt") and record of every golfer file that loads.
template <class F>
void ForEachGolfer(F each) {
  if (NetGolferFolder.empty()) return;
  const std::string pattern = NetGolferFolder + "\\*.amt";
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    std::string name = found.cFileName;
    if (name.size() < 5) continue;
    name.resize(name.size() - 4);
    if (name.size() >= 16) continue;
    playerInfo_s record;
    if (LoadGolferFile(NetGolferFolder, name.c_str(), record) == kGolferFileOk) each(name, record);
  } while (FindNextFileA(find, &found));
  FindClose(find);
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
