// Tour-card files of any content and length: the text stays zero-terminated inside its buffer.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "framework/core/tourcard.h"
#include "winapi/testing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The scratch folder, removed at exit (kept in a plain array, which outlives every exit routine).
  static char folder[4096];
  static const std::string file = [] {
    std::snprintf(folder, sizeof folder, "%s/fuzz_tourcard_XXXXXX", std::filesystem::temp_directory_path().c_str());
    if (!mkdtemp(folder)) std::abort();
    std::atexit([] { std::filesystem::remove_all(folder); });
    std::filesystem::create_directories(std::string(folder) + "/DATA");
    winapi::testing::MapDrive('C', folder, "HARDDISK");
    return std::string(folder) + "/DATA/TOURCARD.DAT";
  }();
  // The loader reads no more than its buffer: a longer file is still longer, past that nothing is ever read.
  const size_t length = std::min<size_t>(size, 2 * kTourCardSize);
  const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || write(fd, data, length) != static_cast<ssize_t>(length)) std::abort();
  close(fd);
  PathRecord record{};
  std::strcpy(record.label, "HARDDISK");
  std::strcpy(record.drive, "c:");
  PathSetDirectory(&record, "|DATA");
  LoadTourCard(&record);
  if (TourCardPresent != 1 || TourCardBuffer[kTourCardSize - 1] != 0) std::abort();
  return 0;
}
