// SPDX-License-Identifier: GPL-3.0-or-later
// wsprintfA: any format, once with numbers and once with texts for its conversions, stays within 1024 bytes, terminates
// its output and returns its length.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kArguments = 8;

// The format with its conversions' letters taken in turn from `letters`
// (found as wsprintfA finds them), and no more conversions than arguments.
std::string WithConversions(std::string format, const char *letters) {
  int used = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    size_t p = i + 1;
    while (p < format.size() && std::strchr("-0#", format[p]) != nullptr) ++p;
    while (p < format.size() && format[p] >= '0' && format[p] <= '9') ++p;
    if (p < format.size() && format[p] == '.')
      for (++p; p < format.size() && format[p] >= '0' && format[p] <= '9';) ++p;
    if (p < format.size() && (format[p] == 'l' || format[p] == 'h')) ++p;
    if (p >= format.size()) break;
    if (std::strchr("sdiuxXc", format[p]) != nullptr) {
      format[p] = used < kArguments ? letters[used % std::strlen(letters)] : '%';
      ++used;
    }
    i = p;
  }
  return format;
}

void Check(const char *out, int count) {
  if (count < 0 || count > 1023 || std::strlen(out) != static_cast<size_t>(count)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string format(reinterpret_cast<const char *>(data), size);
  format = format.substr(0, format.find('\0'));
  char out[1024 + 16];
  const std::string numbers = WithConversions(format, "diuxXc");
  Check(out, wsprintfA(out, numbers.c_str(), -1, 0, 7, INT32_MIN, INT32_MAX, 65, 0x7F, 1234));
  const std::string texts = WithConversions(format, "s");
  const std::string long_text(1500, 'z');
  Check(out, wsprintfA(out, texts.c_str(), "", "a", "\x83\x65", long_text.c_str(), nullptr, "b", "c", "d"));
  return 0;
}
