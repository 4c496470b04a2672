// SPDX-License-Identifier: GPL-3.0-or-later
#include <standin/text.h>

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace standin {
namespace {

// Converts with iconv; an input sequence that cannot be converted is replaced
// by `replacement` (already in the target encoding) and skipped by `skip` bytes.
std::string Convert(const char *to, const char *from, const std::string &input, const std::string &replacement,
                    size_t skip) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1))
    throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
  std::string out;
  char buffer[256];
  char *in = const_cast<char *>(input.data());
  size_t in_left = input.size();
  while (in_left > 0) {
    char *dst = buffer;
    size_t dst_left = sizeof buffer;
    size_t r = iconv(cd, &in, &in_left, &dst, &dst_left);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL: an undecodable or incomplete sequence.
      out += replacement;
      size_t n = skip < in_left ? skip : in_left;
      in += n;
      in_left -= n;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::string Cp932ToUtf8(const std::string &ansi) { return Convert("UTF-8", "CP932", ansi, "\xEF\xBF\xBD", 1); }

std::string Utf8ToCp932(const std::string &utf8) {
  // Skip one whole UTF-8 sequence per unconvertible character.
  std::string out;
  size_t start = 0;
  iconv_t probe = iconv_open("CP932", "UTF-8");
  if (probe == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv lacks CP932");
  iconv_close(probe);
  while (start < utf8.size()) {
    unsigned char lead = static_cast<unsigned char>(utf8[start]);
    // A byte that cannot begin a sequence (a stray continuation byte) is one bad byte, not the start of one that
    // would swallow the text after it.
    size_t len = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (start + len > utf8.size()) len = utf8.size() - start;
    std::string converted = Convert("CP932", "UTF-8", utf8.substr(start, len), "?", len);
    out += converted;
    start += len;
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string &wide) {
  std::string in(reinterpret_cast<const char *>(wide.data()), wide.size() * 2);
  return Convert("UTF-8", "UTF-16LE", in, "\xEF\xBF\xBD", 2);
}

std::u16string Utf8ToUtf16(const std::string &utf8) {
  std::string bytes = Convert("UTF-16LE", "UTF-8", utf8, std::string("\xFD\xFF", 2), 1);
  std::u16string out(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return out;
}

}  // namespace standin
