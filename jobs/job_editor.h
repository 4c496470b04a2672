// The job editor DLG_JOB in its Add and Modify modes.
#ifndef VELMORA_JOBS_JOB_EDITOR_H
#define VELMORA_JOBS_JOB_EDITOR_H

#include <windows.h>

// The editor's controls, read by the job operations by these identifiers.
enum JobEditorControl {
  kCommandEdit = 141,
  kTodayRadio = 142,
  kTomorrowRadio = 143,
  kEveryRadio = 144,
  kNextRadio = 145,
  kWeekdayList = 146,
  kDateList = 147,
  kHourEdit = 148,
  kMinuteEdit = 149,
  kEditorOk = 152,
  kEditorCancel = 153,
  kHalfDaySelector = 154,
  kWeekdayCheck = 155,
  kDateCheck = 156,
};

INT_PTR CALLBACK JobAddDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK JobModifyDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

void InitJobDialogForAdd(HWND dialog);
int InitJobDialogForModify(HWND dialog);
void EnableDaySelection(HWND dialog, int on);
void SyncWeekdayList(HWND dialog);
void SyncDateList(HWND dialog);

#endif
