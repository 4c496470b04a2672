// SPDX-License-Identifier: GPL-3.0-or-later
// Code page 932 (the Japanese ANSI code page) as lookup tables, built once
// from the C library's iconv converter.
#ifndef VELMORA_PLATFORM_KERNEL32_CODE_PAGE_932_H
#define VELMORA_PLATFORM_KERNEL32_CODE_PAGE_932_H

#include <standin/text.h>

#include <cstdint>

namespace standin {

// The platform's default characters of code page 932.
constexpr char kCp932DefaultChar = '?';
constexpr char16_t kCp932UnicodeDefaultChar = u'\u30FB';

// The UTF-16 unit of a single byte or of a lead and trail byte pair
// (code = lead << 8 | trail); 0 when the code page has no such character
// (the NUL byte itself decodes to 0 as well: callers handle it first).
char16_t DecodeCp932(uint16_t code);
// The one- or two-byte code of a UTF-16 unit (two-byte codes are > 0xFF)
// where the code page has the character itself (it converts back to the
// same unit); -1 otherwise.
int EncodeCp932(char16_t unit);
// The platform's best-fit code of a UTF-16 unit that the code page lacks, or
// -1 when it has none (the default character then stands in).
int BestFitCp932(char16_t unit);

}  // namespace standin

#endif
