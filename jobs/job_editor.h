// SPDX-License-Identifier: GPL-3.0-or-later
// The job editor DLG_JOB in its Add and Modify modes.
#ifndef VELMORA_JOBS_JOB_EDITOR_H
#define VELMORA_JOBS_JOB_EDITOR_H

#include <windows.h>

INT_PTR CALLBACK JobAddDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK JobModifyDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

void InitJobDialogForAdd(HWND dialog);
int InitJobDialogForModify(HWND dialog);
void EnableDaySelection(HWND dialog, int on);
void SyncWeekdayList(HWND dialog);
void SyncDateList(HWND dialog);

#endif
