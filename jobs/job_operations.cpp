// SPDX-License-Identifier: GPL-3.0-or-later
// Adding, modifying, deleting and fetching jobs on the target computer: the
// checks and questions in their order, the record built from the editor,
// the network calls and their messages.
#include "jobs/job_operations.h"

#include <lmapibuf.h>
#include <string.h>

#include <string>
#include <vector>

#include "app/busy_cursor.h"
#include "jobs/job_encoding.h"
#include "jobs/job_list.h"
#include "res/resource.h"
#include "target/target_computer.h"

DWORD EditJobId = 0;
AT_INFO *EditJobInfo = NULL;

namespace {

const UINT kErrorBox = MB_ICONERROR;
const UINT kQuestionBox = MB_YESNO | MB_ICONQUESTION;

const char kTimeOutOfRange[] = "時刻は0～11時、0～59分で指定して下さい。";
const char kNoDaySelected[] = "曜日および日付は必ず選択して下さい。";
const char kTimeAlreadyPassed[] = "指定時刻を過ぎているので、明日の同時刻に設定されます。";
const char kNoCommand[] = "ｺﾏﾝﾄﾞを入力して下さい。";
const char kCommandTooLong[] = "ｺﾏﾝﾄﾞﾗｲﾝが長すぎます。\n%dﾊﾞｲﾄ以内で指定して下さい。";
const char kAddFailedForAdd[] = "RC:%ld";
const char kAddFailedForModify[] = "ｼﾞｮﾌﾞの追加に失敗しました。\nNetScheduleJobAdd RC:%ld";
const char kOldJobNotDeleted[] =
    "旧ｼﾞｮﾌﾞの削除に失敗しました。\n修正したｼﾞｮﾌﾞの追加は行われています。\nNetScheduleJobDel RC:%ld";
const char kModified[] = "修正したｼﾞｮﾌﾞのIDは %ld となります。";
const char kNothingToDelete[] = "削除するｼﾞｮﾌﾞIDを選択して下さい。";
const char kConfirmDelete[] = "ｼﾞｮﾌﾞID: %s を削除してもよろしいですか?";
const char kDeleteFailed[] = "ｼﾞｮﾌﾞID: %ld の削除に失敗しました。\nRC:%ld";
const char kNothingToModify[] = "修正するｼﾞｮﾌﾞIDを選択して下さい。";
const char kFetchFailed[] = "ｼﾞｮﾌﾞの詳細取得に失敗しました。\nNetScheduleJobGetInfo RC:%ld";

const char kAddErrorTitle[] = "ｼﾞｮﾌﾞ追加 ｴﾗｰ";
const char kAddQuestionTitle[] = "ｼﾞｮﾌﾞ追加 確認";
const char kModifyErrorTitle[] = "ｼﾞｮﾌﾞ修正 ｴﾗｰ";
const char kModifyQuestionTitle[] = "ｼﾞｮﾌﾞ修正 確認";
const char kModifyDoneTitle[] = "ｼﾞｮﾌﾞ修正 完了";
const char kDeleteErrorTitle[] = "ｼﾞｮﾌﾞ削除 ｴﾗｰ";
const char kDeleteQuestionTitle[] = "ｼﾞｮﾌﾞ削除確認";
const char kFetchErrorTitle[] = "ジョブ修正 ｴﾗｰ";
const char kAddFailedTitle[] = "NetScheduleJobAdd";

// How one run of the shared add steps presents itself: the titles of its
// input messages and whether it keeps the wait cursor up between boxes.
struct SubmitStyle {
  const char *error_title;
  const char *question_title;
  bool busy;
  bool from_fetched_job;
};

const SubmitStyle kAddStyle = {kAddErrorTitle, kAddQuestionTitle, false, false};
const SubmitStyle kModifyStyle = {kModifyErrorTitle, kModifyQuestionTitle, true, true};

// A message box under the arrow: an operation that shows the wait cursor
// restores the arrow before each of its boxes.
int ShowBox(HWND owner, const char *text, const char *title, UINT style, bool busy) {
  if (busy) SetBusyCursor(0);
  return MessageBoxA(owner, text, title, style);
}

// The whole text of the command-line edit, however long a text was put into
// it: the length the platform reports may overstate but never understates,
// and a read that fills the buffer is repeated with a larger one.
std::string ReadCommandEdit(HWND editor) {
  size_t capacity = (size_t)GetWindowTextLengthA(GetDlgItem(editor, IDC_COMMAND_EDIT)) + 2;
  for (;;) {
    std::vector<char> buffer(capacity, '\0');
    UINT length = GetDlgItemTextA(editor, IDC_COMMAND_EDIT, buffer.data(), (int)capacity);
    if (length + 1 < capacity) return std::string(buffer.data(), length);
    capacity *= 2;
  }
}

std::string AnsiFromWide(LPCWSTR wide) {
  int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, NULL, 0, NULL, NULL);
  if (size <= 0) return std::string();
  std::vector<char> buffer((size_t)size, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, -1, buffer.data(), size, NULL, NULL);
  return std::string(buffer.data());
}

// Whether the ANSI text converts back to exactly `wide`; false when the code
// page lacked a character and put its default (or a look-alike) in its place.
bool ConvertsBackTo(const std::string &ansi, LPCWSTR wide) {
  int size = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, ansi.c_str(), -1, NULL, 0);
  if (size <= 0) return false;
  std::vector<WCHAR> back((size_t)size, 0);
  MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, ansi.c_str(), -1, back.data(), size);
  for (int i = 0; i < size; ++i) {
    if (back[(size_t)i] != wide[i]) return false;
    if (wide[i] == 0) return true;
  }
  return false;
}

// The command the record carries. A fetched command that the ANSI code page
// cannot hold was shown with stand-in characters; when the user leaves that
// text as shown, the job keeps its original command instead of the lossy copy.
LPWSTR CommandForRecord(const SubmitStyle &style, const std::string &typed) {
  if (style.from_fetched_job && EditJobInfo != NULL && EditJobInfo->Command != NULL) {
    std::string shown = AnsiFromWide(EditJobInfo->Command);
    if (typed == shown && !ConvertsBackTo(shown, EditJobInfo->Command)) return EditJobInfo->Command;
  }
  ConvertCommandText();
  return CommandTextW;
}

int SelectedIndices(HWND editor, int list, int *indices, int most) {
  LRESULT count = SendDlgItemMessageA(editor, list, LB_GETSELITEMS, most, (LPARAM)indices);
  if (count < 0) return 0;
  return count > most ? most : (int)count;
}

bool IsChecked(HWND editor, int id) { return IsDlgButtonChecked(editor, id) == BST_CHECKED; }

// The radios are tested one after another, Every, Today, Next, and the first
// checked one wins; none of them checked means Tomorrow.
RunUnit ReadRunUnit(HWND editor) {
  if (IsChecked(editor, IDC_EVERY_RADIO)) return Every;
  if (IsChecked(editor, IDC_TODAY_RADIO)) return Today;
  if (IsChecked(editor, IDC_NEXT_RADIO)) return Next;
  return Tomorrow;
}

enum SubmitOutcome { kRefused, kAddFailed, kAdded };

// Checks the editor's entries, builds the job record and adds it. Shows the
// input messages and the passed-time question itself; the add's failure code
// is left to the caller, whose message differs.
SubmitOutcome SubmitEditedJob(HWND editor, const SubmitStyle &style, NET_API_STATUS *add_result) {
  UINT hour = GetDlgItemInt(editor, IDC_HOUR_EDIT, NULL, FALSE);
  UINT minute = GetDlgItemInt(editor, IDC_MINUTE_EDIT, NULL, FALSE);
  if (hour > 11 || minute > 59) {
    ShowBox(editor, kTimeOutOfRange, style.error_title, kErrorBox, style.busy);
    return kRefused;
  }

  int half_day_index = (int)SendDlgItemMessageA(editor, IDC_HALF_DAY, CB_GETCURSEL, 0, 0);
  AT_INFO record;
  memset(&record, 0, sizeof record);
  record.JobTime = EncodeJobTime(hour, minute, half_day_index);
  UINT hour_of_day = hour + (half_day_index != 0 ? 12 : 0);

  RunUnit unit = ReadRunUnit(editor);
  if (unit == Every || unit == Next) {
    int dates[31];
    int weekdays[7];
    int date_count = SelectedIndices(editor, IDC_DATE_LIST, dates, 31);
    int weekday_count = SelectedIndices(editor, IDC_WEEKDAY_LIST, weekdays, 7);
    if (date_count == 0 && weekday_count == 0) {
      ShowBox(editor, kNoDaySelected, style.error_title, kErrorBox, style.busy);
      return kRefused;
    }
    // Read one by one, dates first, as they are settled: as arguments their
    // order would be the compiler's.
    BOOL date_checked = IsChecked(editor, IDC_DATE_CHECK);
    BOOL weekday_checked = IsChecked(editor, IDC_WEEKDAY_CHECK);
    EncodeSchedule(unit, weekdays, weekday_count, dates, date_count, weekday_checked, date_checked, 0, &record);
  } else {
    SYSTEMTIME now;
    GetLocalTime(&now);
    if (unit == Today) {
      bool passed = now.wHour > hour_of_day || (now.wHour == hour_of_day && now.wMinute >= minute);
      if (passed) {
        if (ShowBox(editor, kTimeAlreadyPassed, style.question_title, kQuestionBox, style.busy) != IDYES) {
          return kRefused;
        }
        if (style.busy) SetBusyCursor(1);
      }
    }
    EncodeSchedule(unit, NULL, 0, NULL, 0, FALSE, FALSE, now.wDayOfWeek, &record);
  }

  std::string typed = ReadCommandEdit(editor);
  if (typed.empty()) {
    ShowBox(editor, kNoCommand, style.error_title, kErrorBox, style.busy);
    return kRefused;
  }
  if (typed.size() > (size_t)kCommandTextLimit) {
    char text[128];
    wsprintfA(text, kCommandTooLong, kCommandTextLimit);
    ShowBox(editor, text, style.error_title, kErrorBox, style.busy);
    return kRefused;
  }
  memcpy(CommandText, typed.c_str(), typed.size() + 1);
  record.Command = CommandForRecord(style, typed);

  ++LastJobId;
  BuildTargetServer();
  *add_result = NetScheduleJobAdd(TargetServerW, (LPBYTE)&record, (LPDWORD)&LastJobId);
  return *add_result == 0 ? kAdded : kAddFailed;
}

}  // namespace

int AddJob(HWND editor) {
  NET_API_STATUS result = 0;
  SubmitOutcome outcome = SubmitEditedJob(editor, kAddStyle, &result);
  if (outcome == kAdded) return 1;
  if (outcome == kAddFailed) {
    char text[64];
    wsprintfA(text, kAddFailedForAdd, (LONG)result);
    MessageBoxA(editor, text, kAddFailedTitle, kErrorBox);
  }
  return 0;
}

int ModifyJob(HWND editor) {
  SetBusyCursor(1);
  NET_API_STATUS result = 0;
  SubmitOutcome outcome = SubmitEditedJob(editor, kModifyStyle, &result);
  if (outcome == kRefused) return 0;
  char text[256];
  if (outcome == kAddFailed) {
    wsprintfA(text, kAddFailedForModify, (LONG)result);
    ShowBox(editor, text, kAddErrorTitle, kErrorBox, true);
    return 0;
  }

  // The edited job is stored under its new ID; only now is the old one
  // removed, so a failure leaves both rather than neither.
  result = NetScheduleJobDel(TargetServerW, EditJobId, EditJobId);
  SetBusyCursor(0);
  if (result != 0) {
    wsprintfA(text, kOldJobNotDeleted, (LONG)result);
    MessageBoxA(editor, text, kDeleteErrorTitle, kErrorBox);
    return 0;
  }
  wsprintfA(text, kModified, LastJobId);
  MessageBoxA(editor, text, kModifyDoneTitle, MB_ICONINFORMATION);
  return 1;
}

int DeleteSelectedJob(HWND window) {
  SetBusyCursor(1);
  int row = -1;
  char id_text[64] = {0};
  if (!ReadSelectedJobId(window, &row, id_text)) {
    ShowBox(window, kNothingToDelete, kDeleteErrorTitle, kErrorBox, true);
    return 0;
  }
  SetBusyCursor(0);

  char text[256];
  wsprintfA(text, kConfirmDelete, id_text);
  if (MessageBoxA(window, text, kDeleteQuestionTitle, kQuestionBox) != IDYES) return 0;

  SetBusyCursor(1);
  LONG id = JobIdFromText(id_text);
  BuildTargetServer();
  NET_API_STATUS result = NetScheduleJobDel(TargetServerW, (DWORD)id, (DWORD)id);
  SetBusyCursor(0);
  if (result == 0) return 1;
  wsprintfA(text, kDeleteFailed, id, (LONG)result);
  MessageBoxA(window, text, kDeleteErrorTitle, kErrorBox);
  return 0;
}

int FetchJobForModify(HWND window) {
  SetBusyCursor(1);
  int row = -1;
  char id_text[64] = {0};
  if (!ReadSelectedJobId(window, &row, id_text)) {
    ShowBox(window, kNothingToModify, kModifyErrorTitle, kErrorBox, true);
    return 0;
  }
  EditJobId = (DWORD)JobIdFromText(id_text);

  // The record of the previous fetch is no longer needed once another is asked
  // for; after a failed fetch EditJobInfo points at nothing.
  ReleaseEditJobInfo();
  BuildTargetServer();
  LPBYTE record = NULL;
  NET_API_STATUS result = NetScheduleJobGetInfo(TargetServerW, EditJobId, &record);
  SetBusyCursor(0);
  if (result == 0) {
    EditJobInfo = (AT_INFO *)record;
    return 1;
  }
  if (record != NULL) NetApiBufferFree(record);
  char text[128];
  wsprintfA(text, kFetchFailed, (LONG)result);
  MessageBoxA(window, text, kFetchErrorTitle, kErrorBox);
  return 0;
}

void ReleaseEditJobInfo() {
  if (EditJobInfo != NULL) NetApiBufferFree(EditJobInfo);
  EditJobInfo = NULL;
}

std::string FetchedCommandAnsi() {
  if (EditJobInfo == NULL || EditJobInfo->Command == NULL) return std::string();
  return AnsiFromWide(EditJobInfo->Command);
}
