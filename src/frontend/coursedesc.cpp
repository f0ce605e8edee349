#include "frontend/coursedesc.h"

#include <cstdint>

namespace {

constexpr char kDescriptionLine[] = "description";
constexpr int kBlurbLines = 8;

class Cursor {
 public:
  Cursor(const uint8_t* data, size_t size) : begin_(data), at_(data), end_(data ? data + size : data) {}

  bool AtEnd() const { return at_ >= end_; }

  // The next "%d %d" pair, after skipping to the next digit; false when the text ends first.
  bool Pair(int32_t out[2]) {
    while (!AtEnd() && !IsDigit(*at_)) ++at_;
    if (AtEnd()) return false;
    if (at_ > begin_ && at_[-1] == '-') --at_;
    int32_t first = 0, second = 0;
    if (!Number(&first)) return false;
    while (!AtEnd() && (*at_ == ' ' || *at_ == '\t' || *at_ == '\r' || *at_ == '\n')) ++at_;
    if (!Number(&second)) return false;
    out[0] = first;
    out[1] = second;
    return true;
  }

  void SkipLine() {
    while (!AtEnd() && *at_ != '\n') ++at_;
    if (!AtEnd()) ++at_;
  }

  // The line up to its carriage return or line break; the cursor moves past its line break.
  std::string Line() {
    const uint8_t* start = at_;
    while (!AtEnd() && *at_ != '\n' && *at_ != '\r') ++at_;
    std::string text(reinterpret_cast<const char*>(start), static_cast<size_t>(at_ - start));
    SkipLine();
    return text;
  }

  // Moves past the line that is exactly `text`; false (at the end) when there is none.
  bool SkipPast(const char* text) {
    while (!AtEnd())
      if (Line() == text) return true;
    return false;
  }

 private:
  static bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

  bool Number(int32_t* out) {
    bool negative = false;
    if (!AtEnd() && *at_ == '-') {
      negative = true;
      ++at_;
    }
    if (AtEnd() || !IsDigit(*at_)) return false;
    int64_t value = 0;
    for (; !AtEnd() && IsDigit(*at_); ++at_)
      if (value < INT32_MAX) value = value * 10 + (*at_ - '0');
    if (value > INT32_MAX) value = INT32_MAX;
    *out = static_cast<int32_t>(negative ? -value : value);
    return true;
  }

  const uint8_t* begin_;
  const uint8_t* at_;
  const uint8_t* end_;
};

bool HolePairs(Cursor& text, MenuCourseDescription& out) {
  for (auto& pair : out.holePairs)
    if (!text.Pair(pair)) return false;
  return true;
}

}  // namespace

void ParseCourseDescription(const uint8_t* courseDat, size_t courseSize, const uint8_t* practiceDat,
                            size_t practiceSize, MenuCourseDescription& out) {
  Cursor course(courseDat, courseSize);
  // The catalogue's own lines come first; the description follows its line.
  const bool described = course.SkipPast(kDescriptionLine);
  const bool pairsRead = described && course.Pair(out.coursePairs[0]) && course.Pair(out.coursePairs[1]) &&
                         HolePairs(course, out);
  Cursor practice(practiceDat, practiceSize);
  practice.SkipLine();
  HolePairs(practice, out);
  if (!pairsRead) return;
  // The rest of the last pair's line, then two lines that are not part of the blurb.
  for (int i = 0; i < 3; ++i) course.SkipLine();
  std::string blurb;
  for (int i = 0; i < kBlurbLines && !course.AtEnd(); ++i) {
    std::string line = course.Line();
    const size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos) continue;
    line = line.substr(first, line.find_last_not_of(' ') - first + 1);
    if (!blurb.empty()) blurb += ' ';
    blurb += line;
  }
  if (blurb.size() > kCourseBlurbMax) blurb.resize(kCourseBlurbMax);
  while (!blurb.empty() && blurb.back() == ' ') blurb.pop_back();
  out.blurb = blurb;
}
