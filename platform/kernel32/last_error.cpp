// SPDX-License-Identifier: GPL-3.0-or-later
// The calling thread's last-error value.
#include <windows.h>

namespace {
thread_local DWORD g_last_error = 0;
}

extern "C" {
DWORD WINAPI GetLastError(void) { return g_last_error; }
void WINAPI SetLastError(DWORD dwErrCode) { g_last_error = dwErrCode; }
}
