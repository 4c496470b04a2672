// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: a modeless dialog built from DLG_VELMORA whose private
// window class the program registers itself.
#ifndef VELMORA_APP_MAIN_WINDOW_H
#define VELMORA_APP_MAIN_WINDOW_H

#include <windows.h>

// The program's instance, used as the module of every later dialog.
extern HINSTANCE AppInstance;

ATOM RegisterMainWindowClass(HINSTANCE instance);
HWND CreateMainWindow(HINSTANCE instance, int show_command);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Enables or disables the job controls by ScheduleServiceUp; resets LastJobId.
void UpdateJobButtons(HWND window);

#endif
