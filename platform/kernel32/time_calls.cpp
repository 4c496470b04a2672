// SPDX-License-Identifier: GPL-3.0-or-later
// The stand-in's KERNEL32 time functions, on the simulated clock.
#include <windows.h>

#include <standin/call_log.h>
#include <standin/clock.h>

#include <string>

extern "C" {

// Recorded like every other platform call, so that scenarios can count the
// program's reads of the clock and its pauses.
void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
  standin::RecordCall("GetLocalTime", "", "");
  if (lpSystemTime != nullptr) *lpSystemTime = standin::CurrentClock();
}

void WINAPI Sleep(DWORD dwMilliseconds) {
  if (standin::IsCallRecording()) standin::RecordCall("Sleep", "", "ms=" + std::to_string(dwMilliseconds));
  standin::AdvanceClock(dwMilliseconds);
}

DWORD WINAPI GetTickCount(void) {
  standin::RecordCall("GetTickCount", "", "");
  // The tick count wraps after 49.7 days, as the platform's does.
  return static_cast<DWORD>(standin::TickCountMilliseconds());
}

}  // extern "C"
