// SPDX-License-Identifier: GPL-3.0-or-later
// GetComputerNameA: the local computer that the simulated network registered
// (standin/computer_name.h), in the ANSI code page, with the platform's
// in/out size rules.
#include <windows.h>

#include <standin/call_log.h>
#include <standin/computer_name.h>

#include <cstring>

extern "C" BOOL WINAPI GetComputerNameA(LPSTR lpBuffer, LPDWORD nSize) {
  if (standin::IsCallRecording())
    standin::RecordCall("GetComputerNameA", "",
                        "size=" + (nSize == nullptr ? std::string("(null)") : std::to_string(*nSize)));
  if (nSize == nullptr || (lpBuffer == nullptr && *nSize != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The network keeps names in UTF-8; the program sees them in its code page.
  const std::string utf8 = standin::SourcedComputerName();
  std::string name;
  if (!utf8.empty()) {
    const int wide_size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::u16string wide(static_cast<size_t>(wide_size), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), wide_size);
    name.resize(
        static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, wide.data(), wide_size, nullptr, 0, nullptr, nullptr)));
    WideCharToMultiByte(CP_ACP, 0, wide.data(), wide_size, name.data(), static_cast<int>(name.size()), nullptr,
                        nullptr);
  }
  if (name.empty()) {
    // A network without computers has no local name to report.
    if (*nSize > 0) lpBuffer[0] = '\0';
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  const DWORD needed = static_cast<DWORD>(name.size() + 1);
  if (*nSize < needed) {
    *nSize = needed;
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return FALSE;
  }
  std::memcpy(lpBuffer, name.c_str(), needed);
  *nSize = needed - 1;
  return TRUE;
}
