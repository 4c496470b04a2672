// GetComputerNameA: the simulated network's local computer, in the ANSI code
// page, with the platform's in/out size rules.
#include <windows.h>

#include <standin/network.h>
#include <standin/text.h>

#include <cstring>

extern "C" BOOL WINAPI GetComputerNameA(LPSTR lpBuffer, LPDWORD nSize) {
  if (nSize == nullptr || (lpBuffer == nullptr && *nSize != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string name = standin::Utf8ToCp932(standin::LocalComputerName());
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
