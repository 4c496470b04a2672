// SPDX-License-Identifier: GPL-3.0-or-later
// wsprintfA: the platform's small formatter. Conversions %s %c %d %i %u %x
// %X and %%, with the flags '-', '0' and '#', a width and a precision; 'l'
// and 'h' are accepted and change nothing, since LONG and int are both 32
// bits. Output stops at 1023 bytes plus the terminator, as the platform's
// does.
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <string_view>

namespace {

constexpr size_t kMaxOutput = 1023;

class Output {
 public:
  explicit Output(char *buffer) : buffer_(buffer) {}
  void Put(char c) {
    if (count_ < kMaxOutput) buffer_[count_++] = c;
  }
  // Both stop once the output is full, so that no width costs more time
  // than the output can hold.
  void Put(const char *text, size_t size) {
    for (size_t i = 0; i < size && count_ < kMaxOutput; ++i) Put(text[i]);
  }
  void Repeat(char c, size_t times) {
    for (size_t i = 0; i < times && count_ < kMaxOutput; ++i) Put(c);
  }
  int Finish() {
    buffer_[count_] = '\0';
    return static_cast<int>(count_);
  }

 private:
  char *buffer_;
  size_t count_ = 0;
};

struct Conversion {
  bool left = false;
  bool zero = false;
  bool alternate = false;
  size_t width = 0;
  bool has_precision = false;
  size_t precision = 0;
};

// Writes `body` (a number's digits, or a text) with its prefix ("-" or "0x"),
// padded to the width. Nothing is allocated: the program formats every row
// of a long job list with it.
void Emit(Output *out, const Conversion &conversion, std::string_view prefix, std::string_view body, bool numeric) {
  const size_t zeros = numeric && conversion.has_precision && body.size() < conversion.precision
                           ? conversion.precision - body.size()
                           : 0;
  const size_t length = prefix.size() + zeros + body.size();
  const size_t pad = conversion.width > length ? conversion.width - length : 0;
  if (conversion.left) {
    out->Put(prefix.data(), prefix.size());
    out->Repeat('0', zeros);
    out->Put(body.data(), body.size());
    out->Repeat(' ', pad);
  } else if (conversion.zero && numeric) {
    out->Put(prefix.data(), prefix.size());
    out->Repeat('0', pad + zeros);
    out->Put(body.data(), body.size());
  } else {
    out->Repeat(conversion.zero ? '0' : ' ', pad);
    out->Put(prefix.data(), prefix.size());
    out->Repeat('0', zeros);
    out->Put(body.data(), body.size());
  }
}

// The digits of `value`, written backwards from the end of `room`.
std::string_view Digits(uint32_t value, unsigned base, bool upper, char (&room)[32]) {
  const char *symbols = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char *end = room + sizeof room;
  char *begin = end;
  do {
    *--begin = symbols[value % base];
    value /= base;
  } while (value != 0);
  return std::string_view(begin, static_cast<size_t>(end - begin));
}

// A width or precision. Any count beyond the output's size writes the same
// output, so larger ones are held at that size instead of wrapping around.
size_t ReadCount(const char **p) {
  size_t count = 0;
  for (; **p >= '0' && **p <= '9'; ++*p) count = std::min(count * 10 + static_cast<size_t>(**p - '0'), kMaxOutput + 1);
  return count;
}

int Format(char *buffer, const char *format, va_list args) {
  Output out(buffer);
  char room[32];
  for (const char *p = format; *p != '\0'; ++p) {
    if (*p != '%') {
      out.Put(*p);
      continue;
    }
    const char *start = p++;
    Conversion conversion;
    for (;; ++p) {
      if (*p == '-') {
        conversion.left = true;
      } else if (*p == '0') {
        conversion.zero = true;
      } else if (*p == '#') {
        conversion.alternate = true;
      } else {
        break;
      }
    }
    conversion.width = ReadCount(&p);
    if (*p == '.') {
      conversion.has_precision = true;
      ++p;
      conversion.precision = ReadCount(&p);
    }
    if (*p == 'l' || *p == 'h') ++p;
    switch (*p) {
      case 'd':
      case 'i': {
        const int value = va_arg(args, int);
        const uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
        Emit(&out, conversion, value < 0 ? "-" : "", Digits(magnitude, 10, false, room), true);
        break;
      }
      case 'u':
        Emit(&out, conversion, "", Digits(va_arg(args, unsigned), 10, false, room), true);
        break;
      case 'x':
      case 'X': {
        const unsigned value = va_arg(args, unsigned);
        std::string_view prefix;
        if (conversion.alternate && value != 0) prefix = *p == 'x' ? "0x" : "0X";
        Emit(&out, conversion, prefix, Digits(value, 16, *p == 'X', room), true);
        break;
      }
      case 'c':
        room[0] = static_cast<char>(va_arg(args, int));
        Emit(&out, conversion, "", std::string_view(room, 1), false);
        break;
      case 's': {
        const char *text = va_arg(args, const char *);
        if (text == nullptr) text = "(null)";
        size_t length = 0;
        while (text[length] != '\0' && (!conversion.has_precision || length < conversion.precision)) ++length;
        Emit(&out, conversion, "", std::string_view(text, length), false);
        break;
      }
      case '\0':
        // A lone '%' at the end: keep what was written and stop.
        out.Put(start, static_cast<size_t>(p - start));
        return out.Finish();
      default:
        // "%%" and any unknown conversion write the character itself.
        out.Put(*p);
        break;
    }
  }
  return out.Finish();
}

}  // namespace

extern "C" int WINAPIV wsprintfA(LPSTR buffer, LPCSTR format, ...) {
  if (buffer == nullptr || format == nullptr) return 0;
  va_list args;
  va_start(args, format);
  const int count = Format(buffer, format, args);
  va_end(args);
  return count;
}
