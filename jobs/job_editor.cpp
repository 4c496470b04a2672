// SPDX-License-Identifier: GPL-3.0-or-later
// The job editor DLG_JOB: set-up in Add and Modify mode, the interplay of the
// run-unit radios, the day checkboxes and the day lists, and OK and Cancel.
#include "jobs/job_editor.h"

#include <lm.h>
#include <lmat.h>

#include <string>

#include "jobs/job_encoding.h"
#include "jobs/job_operations.h"
#include "res/resource.h"
#include "target/target_computer.h"

namespace {

const char kHalfDayAm[] = "午前";
const char kHalfDayPm[] = "午後";

enum EditorMode { kAddMode, kModifyMode };

void SetTextLimit(HWND dialog, int id, int limit) { SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, limit, 0); }

void EnableControl(HWND dialog, int id, BOOL on) { EnableWindow(GetDlgItem(dialog, id), on); }

void FillWeekdayList(HWND dialog) {
  for (int i = 0; i < 7; ++i) {
    SendDlgItemMessageA(dialog, IDC_WEEKDAY_LIST, LB_ADDSTRING, 0, (LPARAM)DayNameTable[i]);
  }
}

void FillDateList(HWND dialog) {
  char text[16];
  for (int day = 1; day <= 31; ++day) {
    wsprintfA(text, "%d日", day);
    SendDlgItemMessageA(dialog, IDC_DATE_LIST, LB_ADDSTRING, 0, (LPARAM)text);
  }
}

void FillHalfDaySelector(HWND dialog, int index) {
  SendDlgItemMessageA(dialog, IDC_HALF_DAY, CB_ADDSTRING, 0, (LPARAM)kHalfDayAm);
  SendDlgItemMessageA(dialog, IDC_HALF_DAY, CB_ADDSTRING, 0, (LPARAM)kHalfDayPm);
  SendDlgItemMessageA(dialog, IDC_HALF_DAY, CB_SETCURSEL, index, 0);
}

// Selects item i of a day list for each set bit i below `bit_count`.
void SelectDays(HWND dialog, int list, DWORD mask, int bit_count) {
  for (int i = 0; i < bit_count; ++i) {
    if (mask & (1UL << i)) SendDlgItemMessageA(dialog, list, LB_SETSEL, TRUE, i);
  }
}

// The fetched command as the edit shows it. CommandText holds at most 512
// bytes; a longer command that another program stored is shown whole from
// its own conversion, so that saving it cannot cut it unnoticed (the
// operations refuse a command over the limit).
void ShowFetchedCommand(HWND dialog, LPCWSTR command) {
  static const WCHAR kEmpty[1] = {0};
  CommandTextFromWide(command != NULL ? command : kEmpty);
  std::string whole = FetchedCommandAnsi();
  if (whole.size() >= sizeof CommandText) {
    SetDlgItemTextA(dialog, IDC_COMMAND_EDIT, whole.c_str());
  } else {
    SetDlgItemTextA(dialog, IDC_COMMAND_EDIT, CommandText);
  }
}

// Add mode's start state once the day lists hold their items.
void SetUpAddDefaults(HWND dialog) {
  CheckDlgButton(dialog, IDC_EVERY_RADIO, BST_CHECKED);
  CheckDlgButton(dialog, IDC_WEEKDAY_CHECK, BST_CHECKED);
  CheckDlgButton(dialog, IDC_DATE_CHECK, BST_CHECKED);
  SetTextLimit(dialog, IDC_HOUR_EDIT, 2);
  SetDlgItemTextA(dialog, IDC_HOUR_EDIT, "00");
  SetTextLimit(dialog, IDC_MINUTE_EDIT, 2);
  SetDlgItemTextA(dialog, IDC_MINUTE_EDIT, "00");
  FillHalfDaySelector(dialog, 0);
  SetTextLimit(dialog, IDC_COMMAND_EDIT, kCommandTextLimit);
  SetFocus(GetDlgItem(dialog, IDC_COMMAND_EDIT));
}

INT_PTR HandleEditorMessage(HWND dialog, UINT message, WPARAM wparam, EditorMode mode) {
  switch (message) {
    case WM_INITDIALOG:
      if (mode == kAddMode) {
        InitJobDialogForAdd(dialog);
      } else {
        InitJobDialogForModify(dialog);
      }
      return 0;
    case WM_COMMAND:
      switch (wparam) {
        case IDC_TODAY_RADIO:
        case IDC_TOMORROW_RADIO:
          EnableDaySelection(dialog, 0);
          return 0;
        case IDC_EVERY_RADIO:
        case IDC_NEXT_RADIO:
          EnableDaySelection(dialog, 1);
          return 0;
        case IDC_WEEKDAY_CHECK:
          SendDlgItemMessageA(dialog, IDC_WEEKDAY_LIST, LB_SETSEL, FALSE, -1);
          SyncWeekdayList(dialog);
          return 0;
        case IDC_DATE_CHECK:
          SendDlgItemMessageA(dialog, IDC_DATE_LIST, LB_SETSEL, FALSE, -1);
          SyncDateList(dialog);
          return 0;
        case IDC_JOB_OK: {
          int done = mode == kAddMode ? AddJob(dialog) : ModifyJob(dialog);
          if (done != 1) return 0;
          EndDialog(dialog, 1);
          return 1;
        }
        case IDC_JOB_CANCEL:
        case IDCANCEL:
          EndDialog(dialog, 1);
          return 1;
        default:
          return 0;
      }
    case WM_KEYDOWN:
      // Only the Add editor closes on an Escape key-down sent to the dialog
      // itself; the dialog manager's Escape reaches both as IDCANCEL.
      if (mode == kAddMode && wparam == VK_ESCAPE) {
        EndDialog(dialog, 1);
        return 1;
      }
      return 0;
    default:
      return 0;
  }
}

}  // namespace

INT_PTR CALLBACK JobAddDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  return HandleEditorMessage(dialog, message, wparam, kAddMode);
}

INT_PTR CALLBACK JobModifyDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  return HandleEditorMessage(dialog, message, wparam, kModifyMode);
}

void InitJobDialogForAdd(HWND dialog) {
  FillWeekdayList(dialog);
  FillDateList(dialog);
  SetUpAddDefaults(dialog);
}

int InitJobDialogForModify(HWND dialog) {
  FillWeekdayList(dialog);
  FillDateList(dialog);
  if (EditJobInfo == NULL) {
    // The main window opens this mode only after a successful fetch; without
    // a record the editor starts from the Add defaults rather than read nothing.
    SetUpAddDefaults(dialog);
    return 1;
  }
  const AT_INFO &job = *EditJobInfo;

  if (job.DaysOfWeek != 0) SelectDays(dialog, IDC_WEEKDAY_LIST, job.DaysOfWeek, 7);
  if (job.DaysOfMonth != 0) SelectDays(dialog, IDC_DATE_LIST, job.DaysOfMonth, 31);

  RunUnit unit = DecodeRunUnit(job.Flags, job.DaysOfWeek, job.DaysOfMonth);
  if (unit == Every || unit == Next) {
    CheckDlgButton(dialog, unit == Every ? IDC_EVERY_RADIO : IDC_NEXT_RADIO, BST_CHECKED);
    CheckDlgButton(dialog, IDC_WEEKDAY_CHECK, BST_CHECKED);
    SyncWeekdayList(dialog);
    CheckDlgButton(dialog, IDC_DATE_CHECK, BST_CHECKED);
  } else {
    CheckDlgButton(dialog, unit == Today ? IDC_TODAY_RADIO : IDC_TOMORROW_RADIO, BST_CHECKED);
    CheckDlgButton(dialog, IDC_WEEKDAY_CHECK, BST_UNCHECKED);
    EnableControl(dialog, IDC_WEEKDAY_CHECK, FALSE);
    SyncWeekdayList(dialog);
    CheckDlgButton(dialog, IDC_DATE_CHECK, BST_UNCHECKED);
    EnableControl(dialog, IDC_DATE_CHECK, FALSE);
  }
  SyncDateList(dialog);

  SetTextLimit(dialog, IDC_HOUR_EDIT, 2);
  SetTextLimit(dialog, IDC_MINUTE_EDIT, 2);
  const char *hour_text = NULL;
  const char *minute_text = NULL;
  int half_day_index = 0;
  DecodeJobTime(job.JobTime, &hour_text, &minute_text, &half_day_index);
  SetDlgItemTextA(dialog, IDC_HOUR_EDIT, hour_text);
  SetDlgItemTextA(dialog, IDC_MINUTE_EDIT, minute_text);
  FillHalfDaySelector(dialog, half_day_index);

  SetTextLimit(dialog, IDC_COMMAND_EDIT, kCommandTextLimit);
  ShowFetchedCommand(dialog, job.Command);
  SetFocus(GetDlgItem(dialog, IDC_COMMAND_EDIT));
  return 1;
}

void EnableDaySelection(HWND dialog, int on) {
  UINT check = on != 0 ? BST_CHECKED : BST_UNCHECKED;
  BOOL enable = on != 0 ? TRUE : FALSE;
  CheckDlgButton(dialog, IDC_WEEKDAY_CHECK, check);
  CheckDlgButton(dialog, IDC_DATE_CHECK, check);
  EnableControl(dialog, IDC_WEEKDAY_CHECK, enable);
  EnableControl(dialog, IDC_WEEKDAY_LIST, enable);
  EnableControl(dialog, IDC_DATE_CHECK, enable);
  EnableControl(dialog, IDC_DATE_LIST, enable);
}

void SyncWeekdayList(HWND dialog) {
  EnableControl(dialog, IDC_WEEKDAY_LIST, IsDlgButtonChecked(dialog, IDC_WEEKDAY_CHECK) == BST_CHECKED);
}

void SyncDateList(HWND dialog) {
  EnableControl(dialog, IDC_DATE_LIST, IsDlgButtonChecked(dialog, IDC_DATE_CHECK) == BST_CHECKED);
}
