#include "course/coursetext.h"

#include <cstring>

bool SplitTextLines(const uint8_t* data, size_t size, const std::function<bool(int, const std::string&)>& line,
                    std::string& error) {
  size_t at = 0;
  int number = 0;
  while (at < size) {
    ++number;
    const uint8_t* end = static_cast<const uint8_t*>(std::memchr(data + at, '\n', size - at));
    auto fail = [&](const char* why) {
      error = "line " + std::to_string(number) + ": " + why;
      return false;
    };
    if (!end) return fail("not ended by a line break");
    size_t length = static_cast<size_t>(end - (data + at));
    if (length > 0 && data[at + length - 1] == '\r') --length;
    const std::string text(reinterpret_cast<const char*>(data + at), length);
    at += static_cast<size_t>(end - (data + at)) + 1;
    for (char ch : text)
      if (static_cast<unsigned char>(ch) < 0x20 || static_cast<unsigned char>(ch) > 0x7E)
        return fail("holds a character that is not printable");
    if (!line(number, text)) return false;
  }
  return true;
}

bool ReadTextLines(const uint8_t* data, size_t size, size_t maxBytes, const char* firstLine,
                   std::vector<TextLine>& out, std::string& error) {
  out.clear();
  error.clear();
  if (size > maxBytes) {
    error = "longer than " + std::to_string(maxBytes) + " bytes";
    return false;
  }
  if (!data || size == 0) {
    error = "empty";
    return false;
  }
  const bool read = SplitTextLines(data, size, [&](int number, const std::string& line) {
    if (number == 1) {
      if (line == firstLine) return true;
      error = "line 1: \"" + std::string(firstLine) + "\" expected";
      return false;
    }
    if (line.empty() || line[0] == '#') return true;
    TextLine parsed;
    parsed.number = number;
    size_t p = 0;
    while (p < line.size()) {
      while (p < line.size() && line[p] == ' ') ++p;
      const size_t q = line.find(' ', p);
      const size_t stop = q == std::string::npos ? line.size() : q;
      if (stop > p) parsed.words.push_back(line.substr(p, stop - p));
      p = stop;
    }
    if (!parsed.words.empty()) out.push_back(std::move(parsed));
    return true;
  }, error);
  if (!read) out.clear();
  return read;
}

bool ParseWhole(const std::string& word, int64_t min, int64_t max, int64_t& out) {
  size_t p = word.size() > 0 && word[0] == '-' ? 1 : 0;
  if (p == word.size() || word.size() - p > 12) return false;
  int64_t value = 0;
  for (size_t i = p; i < word.size(); ++i) {
    if (word[i] < '0' || word[i] > '9') return false;
    value = value * 10 + (word[i] - '0');
  }
  if (p) value = -value;
  if (value < min || value > max) return false;
  out = value;
  return true;
}

bool ParseDecimal(const std::string& word, double min, double max, double& out) {
  const size_t point = word.find('.');
  const std::string whole = word.substr(0, point);
  int64_t integral = 0;
  if (whole.empty() || whole == "-" || !ParseWhole(whole, -1000000000, 1000000000, integral)) return false;
  double value = static_cast<double>(integral < 0 ? -integral : integral);
  if (point != std::string::npos) {
    const std::string fraction = word.substr(point + 1);
    if (fraction.empty() || fraction.size() > 3) return false;
    double scale = 0.1;
    for (char c : fraction) {
      if (c < '0' || c > '9') return false;
      value += (c - '0') * scale;
      scale /= 10;
    }
  }
  if (whole[0] == '-') value = -value;
  if (value < min || value > max) return false;
  out = value;
  return true;
}

bool IsPlainName(const std::string& word, size_t max, bool dot) {
  if (word.empty() || word.size() > max) return false;
  for (char c : word)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
          (dot && c == '.')))
      return false;
  return true;
}

std::string LineError(const TextLine& line, const std::string& why) {
  return "line " + std::to_string(line.number) + ": " + why;
}
