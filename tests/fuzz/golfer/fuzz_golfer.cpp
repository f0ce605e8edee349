// Golfer record reader fuzz entry: the input is a stored record. Reading it, writing it in the tagged
// form and reading that again must give the same bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "golf/playerinfo.h"
#include "winapi/testing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  playerInfo_s first;
  SerialTarget in = SerialTarget::OverMemory(data, size);
  if (!first.ReadFromStream(&in)) return 0;
  if (std::strlen(first.name) >= sizeof first.name || first.currentClub > 20) std::abort();

  first.flags |= kGolferTaggedForm;
  std::vector<uint8_t> once(kTaggedRecordBytes);
  SerialTarget out = SerialTarget::OverMemory(once.data(), once.size());
  if (!first.WriteToStream(&out)) std::abort();

  playerInfo_s second;
  SerialTarget again = SerialTarget::OverMemory(once.data(), once.size());
  if (!second.ReadFromStream(&again)) std::abort();
  std::vector<uint8_t> twice(kTaggedRecordBytes);
  SerialTarget out2 = SerialTarget::OverMemory(twice.data(), twice.size());
  if (!second.WriteToStream(&out2) || once != twice) std::abort();

  // The file reader takes the same bytes (skips seek there instead of reading past).
  static const bool mapped = [] {
    winapi::testing::MapDrive('T', std::filesystem::temp_directory_path().string());
    return true;
  }();
  const std::string name = "T:\\teebox_fuzz_golfer_" + std::to_string(getpid()) + ".amt";
  if (mapped && winapi::SaveFileWhole(name.c_str(), data, size) == 0) {
    HANDLE f = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
      playerInfo_s fromFile;
      fromFile.LoadFromFile(f);
      CloseHandle(f);
    }
    DeleteFileA(name.c_str());
  }
  return 0;
}
