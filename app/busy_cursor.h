// SPDX-License-Identifier: GPL-3.0-or-later
// The wait cursor shown around network calls.
#ifndef VELMORA_APP_BUSY_CURSOR_H
#define VELMORA_APP_BUSY_CURSOR_H

// 1 shows the system wait cursor, any other value the arrow. Calls do not
// nest: the last one wins.
void SetBusyCursor(int mode);

#endif
