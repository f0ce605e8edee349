// A tip's text file over arbitrary bytes: at most 20 lines of at most 255 characters, none holding a line end.
#include <cstddef>
#include <cstdint>

#include "roundui/tips.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> lines = ParseTipText(data, size);
  if (lines.size() > 20) __builtin_trap();
  for (const std::string& line : lines) {
    if (line.size() > 255) __builtin_trap();
    if (line.find_first_of("\r\n") != std::string::npos || line.find('\0') != std::string::npos) __builtin_trap();
  }
  return 0;
}
