// The line reader shared by the course folder's text files (formats in docs/formats.md): printable ASCII, lines
// ended by LF (CR LF accepted), a fixed first line, '#' comment lines and empty lines skipped, words split at
// spaces. Every number is range-checked by the helpers below; a fault names its line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TextLine {
  int number = 0;
  std::vector<std::string> words;
};

// Splits text into lines (LF, or CR LF), each ended and printable, and hands each to `line(number, text)` until it
// answers false (its own reason then stays in `error`). False with "line N: reason" for a fault of the text.
bool SplitTextLines(const uint8_t* data, size_t size, const std::function<bool(int, const std::string&)>& line,
                    std::string& error);

// False with "line N: reason" (or "empty", "longer than N bytes") in `error`.
bool ReadTextLines(const uint8_t* data, size_t size, size_t maxBytes, const char* firstLine,
                   std::vector<TextLine>& out, std::string& error);

// A whole decimal number in [min, max], digits with an optional leading '-'.
bool ParseWhole(const std::string& word, int64_t min, int64_t max, int64_t& out);
// A decimal with at most 3 decimals ("-12.5"), in [min, max].
bool ParseDecimal(const std::string& word, double min, double max, double& out);
// A name of 1 to `max` characters of A-Z a-z 0-9 _ - (and '.' when `dot`).
bool IsPlainName(const std::string& word, size_t max, bool dot);

// "line N: why"
std::string LineError(const TextLine& line, const std::string& why);
