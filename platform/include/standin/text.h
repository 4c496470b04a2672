// SPDX-License-Identifier: GPL-3.0-or-later
// Text conversions of the stand-in itself (not the program's): between UTF-8,
// the ANSI code page 932 and UTF-16, for scenario files, front ends and the
// network file.
#ifndef VELMORA_PLATFORM_INCLUDE_STANDIN_TEXT_H
#define VELMORA_PLATFORM_INCLUDE_STANDIN_TEXT_H

#include <string>

namespace standin {

// Lead bytes of a double-byte character in code page 932.
inline bool IsCp932LeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Code page 932 bytes to UTF-8. Bytes that do not decode become U+FFFD.
std::string Cp932ToUtf8(const std::string &ansi);
// UTF-8 to code page 932; characters the code page lacks become '?'.
std::string Utf8ToCp932(const std::string &utf8);
std::string Utf16ToUtf8(const std::u16string &wide);
std::u16string Utf8ToUtf16(const std::string &utf8);

}  // namespace standin

#endif
