// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/schedule_service.h"

#include <lm.h>

#include "app/busy_cursor.h"
#include "res/resource.h"
#include "target/target_computer.h"

int ScheduleServiceUp;

namespace {

const char kServiceCaption[] = "ｽｹｼﾞｭｰﾙｻｰﾋﾞｽ";

const char kRunningLine[] = "ｽｹｼﾞｭｰﾙｻｰﾋﾞｽは動作中です。";
const char kStoppedLine[] = "ｽｹｼﾞｭｰﾙｻｰﾋﾞｽは停止中です。";
const char kPausedLine[] = "ｽｹｼﾞｭｰﾙｻｰﾋﾞｽは一時停止中です。";
const char kUndeterminedLine[] = "ｽｹｼﾞｭｰﾙｻｰﾋﾞｽの状態が取得できません。";

const char kStartQuestion[] = "%s 上でｽｹｼﾞｭｰﾙｻｰﾋﾞｽが停止中です。\n今すぐ開始しますか?";
const char kContinueQuestion[] = "%s 上でｽｹｼﾞｭｰﾙｻｰﾋﾞｽが一時停止中です。\n今すぐ解除しますか?";
const char kUndeterminedMessage[] = "%s 上のｽｹｼﾞｭｰﾙｻｰﾋﾞｽの状態が取得できません。\n";

// Set by the last status query that the platform refused.
bool last_query_failed = false;

void ReleaseNetBuffer(LPBYTE buffer) {
  if (buffer != NULL) NetApiBufferFree(buffer);
}

int Conclude(HWND window, const char *status_line, int up, int result) {
  SetDlgItemTextA(window, IDC_SERVICE_STATUS, status_line);
  ScheduleServiceUp = up;
  return result;
}

bool UserAgrees(HWND window, const char *question) {
  char text[256];
  wsprintfA(text, question, TargetComputer);
  return MessageBoxA(window, text, kServiceCaption, MB_YESNO | MB_ICONQUESTION) != IDNO;
}

NET_API_STATUS StartScheduleService() {
  ConvertServiceName();
  SetBusyCursor(1);
  LPBYTE record = NULL;
  NET_API_STATUS result = NetServiceInstall(TargetServerW, ServiceNameW, 0, NULL, &record);
  SetBusyCursor(0);
  ReleaseNetBuffer(record);
  return result;
}

NET_API_STATUS ContinueScheduleService() {
  ConvertServiceName();
  SetBusyCursor(1);
  LPBYTE record = NULL;
  NET_API_STATUS result = NetServiceControl(TargetServerW, ServiceNameW, SERVICE_CTRL_CONTINUE, 0, &record);
  SetBusyCursor(0);
  ReleaseNetBuffer(record);
  return result;
}

}  // namespace

DWORD QueryScheduleServiceStatus() {
  ConvertServiceName();
  SetBusyCursor(1);
  LPBYTE record = NULL;
  NET_API_STATUS result = NetServiceGetInfo(TargetServerW, ServiceNameW, 1, &record);
  SetBusyCursor(0);
  if (result != 0) {
    ReleaseNetBuffer(record);
    char text[64];
    wsprintfA(text, "NetServiceGetInfo\nRC:%ld\n", static_cast<LONG>(result));
    MessageBoxA(NULL, text, "ｴﾗｰ", MB_ICONERROR);
    // The box has no owner: while it shows, the user may start a command
    // that queries the service again. This failure is recorded after it, so
    // that the caller waiting for this query does not see that one's result.
    last_query_failed = true;
    return kStatusQueryFailed;
  }
  last_query_failed = false;
  DWORD status = record != NULL ? reinterpret_cast<SERVICE_INFO_1 *>(record)->svci1_status : kStatusQueryFailed;
  ReleaseNetBuffer(record);
  return status;
}

BOOL LastStatusQueryFailed() { return last_query_failed ? TRUE : FALSE; }

int CheckScheduleService(HWND window, DWORD status) {
  if (status == kScheduleRunning) return Conclude(window, kRunningLine, 1, 0);

  if (status == kScheduleStopped) {
    if (!UserAgrees(window, kStartQuestion)) return Conclude(window, kStoppedLine, 0, 0);
    NET_API_STATUS result = StartScheduleService();
    if (result == 0) return Conclude(window, kRunningLine, 1, 0);
    return Conclude(window, kStoppedLine, 0, static_cast<int>(result));
  }

  if (status == kSchedulePaused) {
    if (!UserAgrees(window, kContinueQuestion)) return Conclude(window, kPausedLine, 0, 0);
    NET_API_STATUS result = ContinueScheduleService();
    if (result == 0) return Conclude(window, kRunningLine, 1, 0);
    return Conclude(window, kPausedLine, 0, static_cast<int>(result));
  }

  char text[256];
  wsprintfA(text, kUndeterminedMessage, TargetComputer);
  MessageBoxA(window, text, kServiceCaption, MB_ICONERROR);
  return Conclude(window, kUndeterminedLine, 0, 0);
}
