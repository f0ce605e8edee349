// Tour-card files of any content and length: the text stays zero-terminated inside its buffer.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "framework/core/tourcard.h"
#include "winapi/testing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string root = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "fuzz_tourcard_XXXXXX").string();
    std::string folder = mkdtemp(pattern.data());
    std::filesystem::create_directories(folder + "/DATA");
    winapi::testing::MapDrive('C', folder, "HARDDISK");
    return folder;
  }();
  std::ofstream(root + "/DATA/TOURCARD.DAT", std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  PathRecord record{};
  std::strcpy(record.label, "HARDDISK");
  std::strcpy(record.drive, "c:");
  PathSetDirectory(&record, "|DATA");
  LoadTourCard(&record);
  if (TourCardPresent != 1 || TourCardBuffer[kTourCardSize - 1] != 0) std::abort();
  return 0;
}
