// SPDX-License-Identifier: GPL-3.0-or-later
// The version box DLG_ABOUT.
#ifndef VELMORA_APP_ABOUT_BOX_H
#define VELMORA_APP_ABOUT_BOX_H

#include <windows.h>

INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

#endif
