// SPDX-License-Identifier: GPL-3.0-or-later
// Text conversions of the network, made with the stand-in's own code page
// functions: the network converts on every call, so these avoid opening a
// converter each time.
#ifndef VELMORA_PLATFORM_NETAPI32_WIDE_TEXT_H
#define VELMORA_PLATFORM_NETAPI32_WIDE_TEXT_H

#include <string>

namespace standin::netapi32 {

// Ill-formed sequences become U+FFFD.
std::u16string Utf8ToWide(const std::string &utf8);
std::string WideToUtf8(const std::u16string &wide);
// Code page 932; false when a character had to be replaced.
bool WideToAnsi(const std::u16string &wide, std::string *ansi);

}  // namespace standin::netapi32

#endif
