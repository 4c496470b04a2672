// SPDX-License-Identifier: GPL-3.0-or-later
#include "wide_text.h"

#include <windows.h>

namespace standin::netapi32 {

std::u16string Utf8ToWide(const std::string &utf8) {
  if (utf8.empty()) return std::u16string();
  // Plain ASCII, as most commands are, widens byte for byte.
  bool ascii = true;
  for (char c : utf8) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) return std::u16string(utf8.begin(), utf8.end());
  const int size = static_cast<int>(utf8.size());
  std::u16string wide(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), static_cast<int>(wide.size()));
  return wide;
}

std::string WideToUtf8(const std::u16string &wide) {
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  std::string utf8(
      static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
  return utf8;
}

bool WideToAnsi(const std::u16string &wide, std::string *ansi) {
  ansi->clear();
  if (wide.empty()) return true;
  const int size = static_cast<int>(wide.size());
  BOOL used_default = FALSE;
  ansi->resize(static_cast<size_t>(
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0, nullptr, &used_default)));
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, ansi->data(), static_cast<int>(ansi->size()),
                      nullptr, &used_default);
  return !used_default;
}

}  // namespace standin::netapi32
