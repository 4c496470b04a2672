// SPDX-License-Identifier: GPL-3.0-or-later
// The computer selection dialog DLG_CP.
#ifndef VELMORA_TARGET_COMPUTER_DIALOG_H
#define VELMORA_TARGET_COMPUTER_DIALOG_H

#include <windows.h>

// TargetServer as it was when the dialog opened, put back on Cancel.
extern char SavedTargetServer[18];

// Drops the first byte of a double-byte character (code page 932) left
// alone at the end of a text that a read cut at a byte limit.
void DropCutLeadByte(char *text);

INT_PTR CALLBACK SelectComputerProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

#endif
