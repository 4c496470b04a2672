// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/job_list.h"

#include <commctrl.h>
#include <lm.h>
#include <lmat.h>
#include <string.h>

#include "app/busy_cursor.h"
#include "jobs/job_encoding.h"
#include "res/resource.h"
#include "service/schedule_service.h"
#include "target/target_computer.h"

LONG LastJobId;

namespace {

const int kIdTextSize = 64;

struct JobListColumn {
  const char *title;
  int width;
};

const JobListColumn kColumns[] = {{"ID", 24}, {"ｺﾏﾝﾄﾞ", 126}, {"日程", 159}, {"時刻", 72}};

const char kListErrorCaption[] = "ｼﾞｮﾌﾞ一覧取得 ｴﾗｰ";

// How long a refresh waits for a service that reports neither running,
// stopped nor paused (starting, continuing), and the pause between queries.
const DWORD kServiceWaitLimitMs = 30000;
const DWORD kServiceWaitPauseMs = 250;

// Waits until the service reports the running word. Gives up at once on a
// refused query (which has shown its own message) or a stopped or paused
// service, and after kServiceWaitLimitMs of other words; the list then
// stays empty.
bool WaitForRunningService(HWND window) {
  DWORD started = GetTickCount();
  for (;;) {
    DWORD status = QueryScheduleServiceStatus();
    if (status == kScheduleRunning) return true;
    if (LastStatusQueryFailed()) return false;
    if (status == kScheduleStopped || status == kSchedulePaused || GetTickCount() - started >= kServiceWaitLimitMs) {
      SetBusyCursor(0);
      MessageBoxA(window, "ｽｹｼﾞｭｰﾙｻｰﾋﾞｽが動作していないため、ｼﾞｮﾌﾞ一覧を取得できません。", kListErrorCaption,
                  MB_ICONERROR);
      return false;
    }
    Sleep(kServiceWaitPauseMs);
  }
}

void SetRowText(HWND list, int row, int column, char *text) {
  LVITEMA item = {};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = column;
  item.pszText = text;
  SendMessageA(list, column == 0 ? LVM_INSERTITEMA : LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

}  // namespace

int SetupJobListColumns(HWND window) {
  for (int index = 0; index < 4; ++index) {
    char title[16];
    strcpy(title, kColumns[index].title);
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = kColumns[index].width;
    column.pszText = title;
    column.iSubItem = index;
    SendDlgItemMessageA(window, IDC_JOB_LIST, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
  }
  return 1;
}

void RefreshJobList(HWND window) {
  HWND list = GetDlgItem(window, IDC_JOB_LIST);
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
  BuildTargetServer();
  SetBusyCursor(1);
  if (!WaitForRunningService(window)) return;
  SetBusyCursor(1);

  LPBYTE buffer = NULL;
  DWORD entries_read = 0;
  DWORD total_entries = 0;
  DWORD resume_handle = 0;
  NET_API_STATUS result =
      NetScheduleJobEnum(TargetServerW, &buffer, MAX_PREFERRED_LENGTH, &entries_read, &total_entries, &resume_handle);
  SetBusyCursor(0);
  if (result != 0) {
    if (buffer != NULL) NetApiBufferFree(buffer);
    char message[128];
    wsprintfA(message, "ｼﾞｮﾌﾞ一覧の取得に失敗しました。\nNetScheduleJobEnum : %ld", static_cast<LONG>(result));
    MessageBoxA(window, message, kListErrorCaption, MB_OK);
    return;
  }
  if (buffer == NULL) return;

  const AT_ENUM *jobs = reinterpret_cast<const AT_ENUM *>(buffer);
  char text[512];
  for (DWORD r = 0; r < entries_read; ++r) {
    const AT_ENUM &job = jobs[r];
    int row = static_cast<int>(r);
    LastJobId = static_cast<LONG>(job.JobId);
    wsprintfA(text, "%ld", static_cast<LONG>(job.JobId));
    SetRowText(list, row, 0, text);
    CommandTextFromWide(job.Command);
    SetRowText(list, row, 1, CommandText);
    memset(text, 0, sizeof text);
    FormatScheduleText(job.Flags, job.DaysOfWeek, job.DaysOfMonth, text);
    SetRowText(list, row, 2, text);
    SetRowText(list, row, 3, const_cast<char *>(FormatTimeText(job.JobTime)));
  }
  NetApiBufferFree(buffer);
}

BOOL ReadSelectedJobId(HWND window, int *row, char *id_text) {
  LRESULT selected =
      SendDlgItemMessageA(window, IDC_JOB_LIST, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0));
  if (selected == -1) return FALSE;
  *row = static_cast<int>(selected);
  LVITEMA item = {};
  item.iSubItem = 0;
  item.pszText = id_text;
  item.cchTextMax = kIdTextSize;
  id_text[0] = '\0';
  SendDlgItemMessageA(window, IDC_JOB_LIST, LVM_GETITEMTEXTA, static_cast<WPARAM>(selected),
                      reinterpret_cast<LPARAM>(&item));
  id_text[kIdTextSize - 1] = '\0';
  return TRUE;
}

LONG JobIdFromText(const char *id_text) {
  const char *p = id_text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  // Unsigned arithmetic wraps instead of overflowing: an ID that "%ld"
  // showed as negative reads back as the same 32 bits.
  DWORD value = 0;
  while (*p >= '0' && *p <= '9') value = value * 10 + static_cast<DWORD>(*p++ - '0');
  if (negative) value = 0 - value;
  return static_cast<LONG>(value);
}
