// SPDX-License-Identifier: GPL-3.0-or-later
// The computer selection dialog DLG_CP: a name is accepted only when that
// computer answers on the network and runs Windows NT; Cancel puts the
// previous computer back.
#include "target/computer_dialog.h"

#include <lm.h>
#include <string.h>

#include "app/busy_cursor.h"
#include "res/resource.h"
#include "target/target_computer.h"

char SavedTargetServer[18];

namespace {

// TargetComputer's room: 15 bytes and the terminator.
const int kNameReadSize = 16;

const char kSelectErrorTitle[] = "ｺﾝﾋﾟｭｰﾀ選択 ｴﾗｰ";
const char kNotWindowsNt[] = "ｺﾝﾋﾟｭｰﾀ %s のOSはWindowsNTではありません。";
const char kNotFound[] = "ｺﾝﾋﾟｭｰﾀ %s がﾈｯﾄﾜｰｸ上に見つかりません。";
const char kNoName[] = "ｺﾝﾋﾟｭｰﾀ名を入力して下さい。";
const char kOtherFailure[] = "NetWkstaGetInfo\nRC:%d";

}  // namespace

// A read cut at a byte limit may end in the first byte of a double-byte
// character; that half character is dropped rather than stored or sent.
void DropCutLeadByte(char *text) {
  size_t length = strlen(text);
  size_t i = 0;
  while (i < length) {
    if (IsCp932LeadByte((unsigned char)text[i])) {
      if (i + 1 == length) {
        text[i] = '\0';
        return;
      }
      i += 2;
    } else {
      i += 1;
    }
  }
}

namespace {

// Tries the entry: 1 when the dialog may close on it, 0 after its message.
INT_PTR TryEnteredComputer(HWND dialog) {
  SetBusyCursor(1);
  GetDlgItemTextA(dialog, IDC_COMPUTER_NAME_EDIT, TargetComputer, kNameReadSize);
  DropCutLeadByte(TargetComputer);
  BuildTargetServer();
  LPBYTE record = NULL;
  NET_API_STATUS result = NetWkstaGetInfo(TargetServerW, 100, &record);
  SetBusyCursor(0);
  DWORD platform_id = 0;
  if (result == 0 && record != NULL) platform_id = ((WKSTA_INFO_100 *)record)->wki100_platform_id;
  if (record != NULL) NetApiBufferFree(record);

  if (result == 0 && platform_id == PLATFORM_ID_NT) {
    EndDialog(dialog, 1);
    return 1;
  }
  char text[128];
  if (result == 0) {
    wsprintfA(text, kNotWindowsNt, TargetComputer);
  } else if (result == ERROR_BAD_NETPATH) {
    wsprintfA(text, kNotFound, TargetComputer);
  } else if (result == ERROR_INVALID_NAME) {
    wsprintfA(text, "%s", kNoName);
  } else {
    wsprintfA(text, kOtherFailure, (int)result);
  }
  MessageBoxA(dialog, text, kSelectErrorTitle, MB_ICONERROR);
  SetFocus(GetDlgItem(dialog, IDC_COMPUTER_NAME_EDIT));
  return 0;
}

INT_PTR KeepPreviousComputer(HWND dialog) {
  memcpy(TargetServer, SavedTargetServer, sizeof TargetServer);
  ConvertTargetServer();
  SetBusyCursor(0);
  EndDialog(dialog, 1);
  return 1;
}

}  // namespace

INT_PTR CALLBACK SelectComputerProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      memcpy(SavedTargetServer, TargetServer, sizeof SavedTargetServer);
      SetFocus(GetDlgItem(dialog, IDC_COMPUTER_NAME_EDIT));
      return 0;
    case WM_COMMAND:
      switch (wparam) {
        case IDC_CP_OK:
          return TryEnteredComputer(dialog);
        case IDC_CP_CANCEL:
        case IDCANCEL:
          return KeepPreviousComputer(dialog);
        default:
          return 0;
      }
    default:
      return 0;
  }
}
