// wsprintfA: the platform's own small formatter. Size prefixes 'l' and 'h' name 32- and 16-bit values (a
// 32-bit program's long), so every integer argument is read as an int.
#include <algorithm>
#include <cstring>
#include <string>

#include "windows.h"

namespace {

constexpr size_t kLimit = 1024;  // bytes written, with the terminator

void Pad(std::string& out, size_t count, char fill) { out.append(count, fill); }

void Emit(std::string& out, const std::string& body, const std::string& prefix, bool left, bool zero, int width) {
  const size_t length = body.size() + prefix.size();
  const size_t pad = width > 0 && static_cast<size_t>(width) > length ? static_cast<size_t>(width) - length : 0;
  if (left) {
    out += prefix;
    out += body;
    Pad(out, pad, ' ');
  } else if (zero) {
    out += prefix;
    Pad(out, pad, '0');
    out += body;
  } else {
    Pad(out, pad, ' ');
    out += prefix;
    out += body;
  }
}

std::string Digits(unsigned long long value, unsigned base, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string text;
  do {
    text.insert(text.begin(), digits[value % base]);
    value /= base;
  } while (value);
  return text;
}

}  // namespace

int wvsprintfA(LPSTR buffer, LPCSTR format, va_list args) {
  if (!buffer || !format) return 0;
  std::string out;
  for (const char* p = format; *p && out.size() < kLimit; ++p) {
    if (*p != '%') {
      out += *p;
      continue;
    }
    ++p;
    bool left = false;
    bool zero = false;
    bool alternate = false;
    for (;; ++p) {
      if (*p == '-') left = true;
      else if (*p == '0') zero = true;
      else if (*p == '#') alternate = true;
      else break;
    }
    int width = 0;
    while (*p >= '0' && *p <= '9') width = width * 10 + (*p++ - '0');
    int precision = -1;
    if (*p == '.') {
      ++p;
      precision = 0;
      while (*p >= '0' && *p <= '9') precision = precision * 10 + (*p++ - '0');
    }
    bool shortValue = false;
    if (*p == 'l') ++p;
    else if (*p == 'h') {
      shortValue = true;
      ++p;
    }
    width = std::min(width, static_cast<int>(kLimit));
    switch (*p) {
      case 'd':
      case 'i': {
        int value = va_arg(args, int);
        if (shortValue) value = static_cast<short>(value);
        const long long wide = value;
        std::string body = Digits(static_cast<unsigned long long>(wide < 0 ? -wide : wide), 10, false);
        if (precision >= 0 && body.size() < static_cast<size_t>(precision)) body.insert(0, precision - body.size(), '0');
        Emit(out, body, wide < 0 ? "-" : "", left, zero && precision < 0, width);
        break;
      }
      case 'u':
      case 'x':
      case 'X': {
        unsigned value = va_arg(args, unsigned);
        if (shortValue) value &= 0xFFFF;
        const unsigned base = *p == 'u' ? 10 : 16;
        std::string body = Digits(value, base, *p == 'X');
        if (precision >= 0 && body.size() < static_cast<size_t>(precision)) body.insert(0, precision - body.size(), '0');
        std::string prefix = (alternate && base == 16 && value) ? (*p == 'X' ? "0X" : "0x") : "";
        Emit(out, body, prefix, left, zero && precision < 0, width);
        break;
      }
      case 'c':
        Emit(out, std::string(1, static_cast<char>(va_arg(args, int))), "", left, zero, width);
        break;
      case 's': {
        const char* text = va_arg(args, const char*);
        std::string body = text ? text : "(null)";
        if (precision >= 0 && body.size() > static_cast<size_t>(precision)) body.resize(precision);
        Emit(out, body, "", left, zero, width);
        break;
      }
      case '\0':
        --p;
        break;
      default:  // "%%" and anything unknown stand for themselves
        out += *p;
        break;
    }
  }
  if (out.size() > kLimit - 1) out.resize(kLimit - 1);
  std::memcpy(buffer, out.c_str(), out.size() + 1);
  return static_cast<int>(out.size());
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
  va_list args;
  va_start(args, format);
  const int length = wvsprintfA(buffer, format, args);
  va_end(args);
  return length;
}
