// SPDX-License-Identifier: GPL-3.0-or-later
// Probe, start and continue of the target computer's Schedule service.
#ifndef VELMORA_SERVICE_SCHEDULE_SERVICE_H
#define VELMORA_SERVICE_SCHEDULE_SERVICE_H

#include <windows.h>

// The three whole status words the program tells apart; any other word is
// an undetermined state.
const DWORD kScheduleStopped = 0x00;
const DWORD kScheduleRunning = 0x33;
const DWORD kSchedulePaused = 0x3F;

// What QueryScheduleServiceStatus yields when the platform refuses the query:
// none of the three words above, so callers take the undetermined path.
const DWORD kStatusQueryFailed = 0xFFFFFFFF;

// 1 while the last evaluation found the service running or brought it to run.
extern int ScheduleServiceUp;

// One status query; never touches ScheduleServiceUp, the status line or the list.
DWORD QueryScheduleServiceStatus();
// Whether the last QueryScheduleServiceStatus was refused by the platform
// (its own message has then been shown).
BOOL LastStatusQueryFailed();
// Evaluates a status word, asks to start or continue, writes the status line
// and ScheduleServiceUp. Returns 0, or the failure code of a start or
// continue that the user asked for.
int CheckScheduleService(HWND window, DWORD status);

#endif
