// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/busy_cursor.h"

#include <windows.h>

void SetBusyCursor(int mode) { SetCursor(LoadCursorA(NULL, mode == 1 ? IDC_WAIT : IDC_ARROW)); }
