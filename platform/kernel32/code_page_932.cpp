// SPDX-License-Identifier: GPL-3.0-or-later
#include "code_page_932.h"

#include <iconv.h>

#include <algorithm>
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
  // iconv's one-way mappings (U+301C WAVE DASH to the full-width tilde's
  // code, U+00A5 to the backslash, ...) are not the platform's: its
  // one-way mappings are its best-fit table alone.
  for (unsigned unit = 1; unit < 0x10000; ++unit) {
    const int32_t code = tables->encode[unit];
    if (code >= 0 && tables->decode[code] != unit) tables->encode[unit] = -1;
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

// The platform's best fit for code page 932: characters the code page lacks
// that a conversion with best fit writes as a similar one (accented Latin
// letters as their base letter, for instance), in ascending order.
struct BestFit {
  char16_t unit;
  uint16_t code;
};
constexpr BestFit kBestFit[] = {
    {0x00A1, 0x21}, {0x00A2, 0x8191}, {0x00A3, 0x8192}, {0x00A5, 0x5C},   {0x00A6, 0x7C},   {0x00A9, 0x63},
    {0x00AA, 0x61}, {0x00AB, 0x81E1}, {0x00AC, 0x81CA}, {0x00AD, 0x2D},   {0x00AE, 0x52},   {0x00AF, 0x8150},
    {0x00B2, 0x32}, {0x00B3, 0x33},   {0x00B5, 0x83CA}, {0x00B7, 0x8145}, {0x00B8, 0x8143}, {0x00B9, 0x31},
    {0x00BA, 0x6F}, {0x00BB, 0x81E2}, {0x00C0, 0x41},   {0x00C1, 0x41},   {0x00C2, 0x41},   {0x00C3, 0x41},
    {0x00C4, 0x41}, {0x00C5, 0x41},   {0x00C6, 0x41},   {0x00C7, 0x43},   {0x00C8, 0x45},   {0x00C9, 0x45},
    {0x00CA, 0x45}, {0x00CB, 0x45},   {0x00CC, 0x49},   {0x00CD, 0x49},   {0x00CE, 0x49},   {0x00CF, 0x49},
    {0x00D0, 0x44}, {0x00D1, 0x4E},   {0x00D2, 0x4F},   {0x00D3, 0x4F},   {0x00D4, 0x4F},   {0x00D5, 0x4F},
    {0x00D6, 0x4F}, {0x00D8, 0x4F},   {0x00D9, 0x55},   {0x00DA, 0x55},   {0x00DB, 0x55},   {0x00DC, 0x55},
    {0x00DD, 0x59}, {0x00DE, 0x54},   {0x00DF, 0x73},   {0x00E0, 0x61},   {0x00E1, 0x61},   {0x00E2, 0x61},
    {0x00E3, 0x61}, {0x00E4, 0x61},   {0x00E5, 0x61},   {0x00E6, 0x61},   {0x00E7, 0x63},   {0x00E8, 0x65},
    {0x00E9, 0x65}, {0x00EA, 0x65},   {0x00EB, 0x65},   {0x00EC, 0x69},   {0x00ED, 0x69},   {0x00EE, 0x69},
    {0x00EF, 0x69}, {0x00F0, 0x64},   {0x00F1, 0x6E},   {0x00F2, 0x6F},   {0x00F3, 0x6F},   {0x00F4, 0x6F},
    {0x00F5, 0x6F}, {0x00F6, 0x6F},   {0x00F8, 0x6F},   {0x00F9, 0x75},   {0x00FA, 0x75},   {0x00FB, 0x75},
    {0x00FC, 0x75}, {0x00FD, 0x79},   {0x00FE, 0x74},   {0x00FF, 0x79},   {0x3094, 0x8394},
};

}  // namespace

int BestFitCp932(char16_t unit) {
  const BestFit *end = kBestFit + sizeof kBestFit / sizeof kBestFit[0];
  const BestFit *found =
      std::lower_bound(kBestFit, end, unit, [](const BestFit &entry, char16_t key) { return entry.unit < key; });
  return found != end && found->unit == unit ? found->code : -1;
}

char16_t DecodeCp932(uint16_t code) { return TheTables().decode[code]; }

int EncodeCp932(char16_t unit) { return TheTables().encode[unit]; }

}  // namespace standin
