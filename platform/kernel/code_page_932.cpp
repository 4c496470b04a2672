#include "code_page_932.h"

#include <iconv.h>

#include <memory>
#include <stdexcept>

namespace standin {
namespace {

struct Tables {
  char16_t decode[0x10000] = {};
  int32_t encode[0x10000];
};

// Converts one character with an open converter; false when iconv refuses it.
bool ConvertOne(iconv_t cd, const char *in, size_t in_size, char *out, size_t out_size, size_t *written) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char *src = const_cast<char *>(in);
  char *dst = out;
  size_t src_left = in_size;
  size_t dst_left = out_size;
  if (iconv(cd, &src, &src_left, &dst, &dst_left) == static_cast<size_t>(-1) || src_left != 0) return false;
  *written = out_size - dst_left;
  return true;
}

std::unique_ptr<Tables> BuildTables() {
  auto tables = std::make_unique<Tables>();
  iconv_t to_wide = iconv_open("UTF-16LE", "CP932");
  iconv_t to_ansi = iconv_open("CP932", "UTF-16LE");
  if (to_wide == reinterpret_cast<iconv_t>(-1) || to_ansi == reinterpret_cast<iconv_t>(-1))
    throw std::runtime_error("the C library's iconv lacks code page 932");

  char out[8];
  size_t written = 0;
  for (unsigned code = 1; code < 0x10000; ++code) {
    const unsigned lead = code >> 8;
    if (lead != 0 && !IsCp932LeadByte(static_cast<unsigned char>(lead))) continue;
    if (lead == 0 && IsCp932LeadByte(static_cast<unsigned char>(code))) continue;
    char in[2];
    size_t in_size = 0;
    if (lead != 0) in[in_size++] = static_cast<char>(lead);
    in[in_size++] = static_cast<char>(code & 0xFF);
    if (ConvertOne(to_wide, in, in_size, out, sizeof out, &written) && written == 2) {
      tables->decode[code] =
          static_cast<char16_t>(static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8);
    }
  }
  // Single bytes that iconv leaves undefined but the platform maps.
  tables->decode[0x80] = u'\u0080';
  tables->decode[0xA0] = u'\uF8F0';
  tables->decode[0xFD] = u'\uF8F1';
  tables->decode[0xFE] = u'\uF8F2';
  tables->decode[0xFF] = u'\uF8F3';

  for (unsigned unit = 0; unit < 0x10000; ++unit) {
    tables->encode[unit] = -1;
    if (unit >= 0xD800 && unit <= 0xDFFF) continue;
    const char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    if (!ConvertOne(to_ansi, in, 2, out, sizeof out, &written)) continue;
    if (written == 1) tables->encode[unit] = static_cast<unsigned char>(out[0]);
    if (written == 2)
      tables->encode[unit] = static_cast<unsigned char>(out[0]) << 8 | static_cast<unsigned char>(out[1]);
  }
  tables->encode[0] = 0;
  tables->encode[0x80] = 0x80;
  tables->encode[0xF8F0] = 0xA0;
  tables->encode[0xF8F1] = 0xFD;
  tables->encode[0xF8F2] = 0xFE;
  tables->encode[0xF8F3] = 0xFF;

  iconv_close(to_wide);
  iconv_close(to_ansi);
  return tables;
}

// Built on first use; after that each lookup costs only the initialisation
// guard, which matters since every converted character comes through here.
const Tables &TheTables() {
  static const std::unique_ptr<Tables> tables = BuildTables();
  return *tables;
}

}  // namespace

char16_t DecodeCp932(uint16_t code) { return TheTables().decode[code]; }

int EncodeCp932(char16_t unit) { return TheTables().encode[unit]; }

}  // namespace standin
