// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's job list (control 104).
#ifndef VELMORA_JOBS_JOB_LIST_H
#define VELMORA_JOBS_JOB_LIST_H

#include <windows.h>

// The job ID last listed or assigned.
extern LONG LastJobId;

int SetupJobListColumns(HWND window);
void RefreshJobList(HWND window);
// Whether a row is selected; if so its index and its ID text (64 bytes).
BOOL ReadSelectedJobId(HWND window, int *row, char *id_text);
// The ID text as the list shows it, read as a signed decimal integer.
LONG JobIdFromText(const char *id_text);

#endif
