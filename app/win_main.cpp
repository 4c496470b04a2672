// SPDX-License-Identifier: GPL-3.0-or-later
// The GUI entry point: registers the main window's class, creates the main
// window and runs the message loop until the quit message.
#include <windows.h>
#include <commctrl.h>

#include "app/main_window.h"
#include "jobs/job_operations.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous_instance, LPSTR /*command_line*/, int show_command) {
  if (previous_instance == NULL && RegisterMainWindowClass(instance) == 0) return 0;

  // The main dialog template holds a list view; its class exists only once
  // the common controls have registered it.
  INITCOMMONCONTROLSEX controls;
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_LISTVIEW_CLASSES;
  InitCommonControlsEx(&controls);

  HWND window = CreateMainWindow(instance, show_command);
  if (window == NULL) return 0;

  MSG message = {};
  int exit_code = 0;
  for (;;) {
    BOOL got = GetMessageA(&message, NULL, 0, 0);
    if (got == 0) {
      exit_code = static_cast<int>(message.wParam);
      break;
    }
    if (got == -1) break;  // the queue is gone; nothing more will arrive
    if (!IsDialogMessageA(window, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }

  ReleaseEditJobInfo();
  return exit_code;
}
