// SPDX-License-Identifier: GPL-3.0-or-later
// A small program of the runner's own tests: a main window with an edit, a
// button that asks a question and shows the answer (first the computer name), an exit button, a
// button that shows a box without owner, and a modal dialog without a close box; a button that lists
// the local jobs and keeps the record until it lists again, and one that frees that record twice.
// Exit code 7 tells its exit from others.
#include <windows.h>

#include <lm.h>

#include <cstring>

namespace {

HINSTANCE g_instance;
LPBYTE g_jobs = nullptr;  // the last listing, held until the next

bool NetworkCommand(HWND window, WPARAM command) {
  if (command == 207) {
    if (g_jobs != nullptr) NetApiBufferFree(g_jobs);
    g_jobs = nullptr;
    DWORD read = 0, total = 0;
    NET_API_STATUS status = NetScheduleJobEnum(nullptr, &g_jobs, MAX_PREFERRED_LENGTH, &read, &total, nullptr);
    char text[32];
    wsprintfA(text, "RC:%lu", status);
    if (status != NERR_Success) MessageBoxA(window, text, "Net", MB_ICONERROR);
    SetDlgItemInt(window, 205, read, FALSE);
    return true;
  }
  if (command == 208) {
    NetApiBufferFree(g_jobs);
    NetApiBufferFree(g_jobs);
    g_jobs = nullptr;
    return true;
  }
  return false;
}

INT_PTR CALLBACK ModalProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_COMMAND && (wparam == 152 || wparam == IDCANCEL)) {
    EndDialog(dialog, 1);
    return TRUE;
  }
  return message == WM_INITDIALOG;
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      char name[16];
      DWORD size = sizeof name;
      if (GetComputerNameA(name, &size)) SetDlgItemTextA(window, 205, name);
      SetFocus(GetDlgItem(window, 201));
      return 0;
    }
    case WM_COMMAND:
      if (NetworkCommand(window, wparam)) return 0;
      if (wparam == 202) {
        char text[32];
        GetDlgItemTextA(window, 201, text, sizeof text);
        int answer = MessageBoxA(window, text, "Question", MB_YESNO | MB_ICONQUESTION);
        SetDlgItemTextA(window, 205, answer == IDYES ? "yes" : "no");
        EnableWindow(GetDlgItem(window, 204), TRUE);
        return 0;
      }
      if (wparam == 203) {
        SendMessageA(window, WM_DESTROY, 0, 0);
        return 0;
      }
      if (wparam == 210) {
        MessageBoxA(nullptr, "note", "Note", MB_OK);  // no owner: the window stays enabled
        SetDlgItemTextA(window, 205, "noted");
        return 0;
      }
      if (wparam == 204) {
        DialogBoxParamA(g_instance, "DLG_JOB", window, ModalProc, 0);
        return 0;
      }
      break;
    case WM_DESTROY:
      PostQuitMessage(7);
      return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

int WINAPI RunnerTestWinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  g_instance = instance;
  g_jobs = nullptr;  // each scenario is a fresh process
  WNDCLASSA cls{};
  cls.lpfnWndProc = MainProc;
  cls.cbWndExtra = DLGWINDOWEXTRA;
  cls.hInstance = instance;
  cls.lpszClassName = "DLG_VELMORA";
  if (!RegisterClassA(&cls)) return 0;
  HWND window = CreateDialogParamA(instance, "DLG_VELMORA", nullptr, reinterpret_cast<DLGPROC>(MainProc), 0);
  if (window == nullptr) return 0;
  ShowWindow(window, show);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0)) {
    if (!IsDialogMessageA(window, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  return static_cast<int>(msg.wParam);
}
