// SPDX-License-Identifier: GPL-3.0-or-later
// Code page conversions: any bytes, read as code page 932 or as UTF-16, give
// the size the size query promised, and never write past the buffer.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Check(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0 || size > 4096) return 0;
  const UINT code_pages[] = {932, CP_ACP, CP_UTF8};
  const UINT code_page = code_pages[data[0] % 3];
  const char *bytes = reinterpret_cast<const char *>(data + 1);
  const int length = static_cast<int>(size - 1);

  const int wide_needed = MultiByteToWideChar(code_page, 0, bytes, length, nullptr, 0);
  std::vector<WCHAR> wide(static_cast<size_t>(wide_needed) + 1);
  const int wide_made = MultiByteToWideChar(code_page, 0, bytes, length, wide.data(), wide_needed);
  Check(wide_made == wide_needed);
  if (wide_needed > 1) Check(MultiByteToWideChar(code_page, 0, bytes, length, wide.data(), wide_needed - 1) == 0);

  const int narrow_needed = WideCharToMultiByte(code_page, 0, wide.data(), wide_made, nullptr, 0, nullptr, nullptr);
  std::vector<char> narrow(static_cast<size_t>(narrow_needed) + 1);
  Check(WideCharToMultiByte(code_page, 0, wide.data(), wide_made, narrow.data(), narrow_needed, nullptr, nullptr) ==
        narrow_needed);

  // The bytes as UTF-16 text of their own, unpaired surrogates included.
  std::vector<WCHAR> units(static_cast<size_t>(length) / 2);
  if (!units.empty()) std::memcpy(units.data(), bytes, units.size() * sizeof(WCHAR));
  const int units_count = static_cast<int>(units.size());
  BOOL used_default = FALSE;
  const int needed = WideCharToMultiByte(code_page, 0, units.data(), units_count, nullptr, 0, nullptr,
                                         code_page == CP_UTF8 ? nullptr : &used_default);
  std::vector<char> out(static_cast<size_t>(needed) + 1);
  Check(WideCharToMultiByte(code_page, 0, units.data(), units_count, out.data(), needed, nullptr,
                            code_page == CP_UTF8 ? nullptr : &used_default) == needed);
  return 0;
}
