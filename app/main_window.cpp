// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window.h"

#include <commctrl.h>

#include "app/about_box.h"
#include "app/busy_cursor.h"
#include "jobs/job_editor.h"
#include "jobs/job_list.h"
#include "jobs/job_operations.h"
#include "res/resource.h"
#include "service/schedule_service.h"
#include "target/computer_dialog.h"
#include "target/target_computer.h"

HINSTANCE AppInstance;

namespace {

// The main window's template names this class (its CLASS statement).
const char kMainClassName[] = "DLG_VELMORA";
const char kHelpFile[] = "Velmora.HLP";

// Room for the computer's name: 15 bytes and the terminator.
const DWORD kComputerNameSize = 16;

const char kStartFailedText[] = "ｽｹｼﾞｭｰﾙｻｰﾋﾞｽの起動に失敗しました。";
const char kScheduleServiceCaption[] = "ｽｹｼﾞｭｰﾙｻｰﾋﾞｽ";

// Probes the target computer's Schedule service, offering to start or
// continue it; reports a start or continue that failed.
void ProbeScheduleService(HWND window) {
  if (CheckScheduleService(window, QueryScheduleServiceStatus()) != 0) {
    MessageBoxA(window, kStartFailedText, kScheduleServiceCaption, MB_ICONERROR);
  }
}

void UpdateJobView(HWND window) {
  UpdateJobButtons(window);
  if (ScheduleServiceUp != 0) RefreshJobList(window);
}

void InitMainWindow(HWND window) {
  SetupJobListColumns(window);
  DWORD size = kComputerNameSize;
  GetComputerNameA(TargetComputer, &size);
  SetDlgItemTextA(window, IDC_COMPUTER_NAME, TargetComputer);
  BuildTargetServer();
  ProbeScheduleService(window);
  UpdateJobButtons(window);
  if (ScheduleServiceUp != 0) RefreshJobList(window);
  SetFocus(GetDlgItem(window, IDC_ADD_BUTTON));
}

void SelectComputer(HWND window) {
  DialogBoxParamA(AppInstance, IDD_CP, window, SelectComputerProc, 0);
  SetBusyCursor(0);
  SetDlgItemTextA(window, IDC_COMPUTER_NAME, TargetComputer);
  ProbeScheduleService(window);
  UpdateJobView(window);
}

// Returns false for a command the main window does not handle itself.
bool HandleCommand(HWND window, WPARAM command) {
  switch (command) {
    case IDC_ADD_BUTTON:
      DialogBoxParamA(AppInstance, IDD_JOB, window, JobAddDialogProc, 0);
      UpdateJobView(window);
      return true;
    case IDC_MODIFY_BUTTON:
      if (FetchJobForModify(window) == 1) {
        DialogBoxParamA(AppInstance, IDD_JOB, window, JobModifyDialogProc, 0);
      }
      UpdateJobView(window);
      return true;
    case IDC_DELETE_BUTTON:
      if (DeleteSelectedJob(window) == 1) UpdateJobView(window);
      return true;
    case IDC_SELECT_COMPUTER_BUTTON:
      SelectComputer(window);
      return true;
    case IDC_EXIT_BUTTON:
      SendMessageA(window, WM_DESTROY, 0, 0);
      return true;
    case IDC_VERSION_BUTTON:
      DialogBoxParamA(AppInstance, IDD_ABOUT, window, AboutBoxProc, 0);
      return true;
    case IDC_HELP_BUTTON:
      WinHelpA(window, kHelpFile, HELP_CONTENTS, 0);
      return true;
    default:
      return false;
  }
}

}  // namespace

ATOM RegisterMainWindowClass(HINSTANCE instance) {
  WNDCLASSA window_class = {};
  window_class.style = 0;
  window_class.lpfnWndProc = MainWindowProc;
  window_class.cbClsExtra = 0;
  window_class.cbWndExtra = DLGWINDOWEXTRA;
  window_class.hInstance = instance;
  // No icon carries the class's name, so the title bar shows the system's
  // default icon; the program's own icon 111 is the version box's.
  window_class.hIcon = LoadIconA(instance, kMainClassName);
  window_class.hCursor = LoadCursorA(NULL, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
  window_class.lpszMenuName = NULL;
  window_class.lpszClassName = kMainClassName;
  return RegisterClassA(&window_class);
}

HWND CreateMainWindow(HINSTANCE instance, int show_command) {
  AppInstance = instance;
  // The window procedure serves as the dialog procedure too; a dialog
  // procedure returns INT_PTR where a window procedure returns LRESULT, the
  // same width but, on 32-bit Windows, not the same C++ type.
  HWND window = CreateDialogParamA(instance, IDD_VELMORA, NULL, reinterpret_cast<DLGPROC>(MainWindowProc), 0);
  if (window == NULL) return NULL;
  ShowWindow(window, show_command);
  UpdateWindow(window);
  return window;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      InitMainWindow(window);
      return 0;
    case WM_COMMAND:
      if (HandleCommand(window, wparam)) return 0;
      break;
    case WM_DESTROY:
      WinHelpA(window, kHelpFile, HELP_QUIT, 0);
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

void UpdateJobButtons(HWND window) {
  static const int kJobControls[] = {IDC_ADD_BUTTON, IDC_MODIFY_BUTTON, IDC_DELETE_BUTTON, IDC_JOB_LIST};
  LastJobId = 0;
  BOOL enable = ScheduleServiceUp != 0 ? TRUE : FALSE;
  if (!enable) SendDlgItemMessageA(window, IDC_JOB_LIST, LVM_DELETEALLITEMS, 0, 0);
  for (int id : kJobControls) EnableWindow(GetDlgItem(window, id), enable);
}
