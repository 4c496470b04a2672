// SPDX-License-Identifier: GPL-3.0-or-later
// The stand-in's simulated clock behind GetLocalTime, Sleep and GetTickCount,
// kept by KERNEL32 and set by the network's world statements and the front
// ends.
#ifndef VELMORA_PLATFORM_INCLUDE_STANDIN_CLOCK_H
#define VELMORA_PLATFORM_INCLUDE_STANDIN_CLOCK_H

#include <windows.h>

#include <cstdint>

namespace standin {

void SetClock(const SYSTEMTIME &local_time);
void UseRealClock();
SYSTEMTIME CurrentClock();
void AdvanceClock(uint64_t milliseconds);
// The tick count in milliseconds, before GetTickCount cuts it to 32 bits.
uint64_t TickCountMilliseconds();

}  // namespace standin

#endif
