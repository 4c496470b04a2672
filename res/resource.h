// SPDX-License-Identifier: GPL-3.0-or-later
// The names of Velmora's resources, shared by velmora.rc and the program's
// code. Dialog templates are named by strings, the names the program and
// its tests look for; controls by number.
#ifndef VELMORA_RES_RESOURCE_H
#define VELMORA_RES_RESOURCE_H

#define IDD_VELMORA "DLG_VELMORA"
#define IDD_ABOUT "DLG_ABOUT"
#define IDD_CP "DLG_CP"
#define IDD_JOB "DLG_JOB"

#define IDI_VELMORA 111

// Help contexts: the sections of Velmora.HLP by the window each explains, the
// map numbers that HELP_CONTEXT opens them with.
#define IDH_DLG_VELMORA 1
#define IDH_DLG_JOB 2
#define IDH_DLG_CP 3

// Controls without an identifier of their own.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// DLG_VELMORA, the main window.
#define IDC_ADD_BUTTON 101
#define IDC_MODIFY_BUTTON 102
#define IDC_DELETE_BUTTON 103
#define IDC_JOB_LIST 104
#define IDC_SELECT_COMPUTER_BUTTON 105
#define IDC_EXIT_BUTTON 106
#define IDC_VERSION_BUTTON 107
// The computer's name display, and the two frames that share its number.
#define IDC_COMPUTER_NAME 108
#define IDC_HELP_BUTTON 109
#define IDC_SERVICE_STATUS 151

// DLG_ABOUT, the version box.
#define IDC_ABOUT_ICON 121
#define IDC_ABOUT_OK 122

// DLG_CP, the computer selection.
#define IDC_COMPUTER_NAME_EDIT 131
#define IDC_CP_OK 132
#define IDC_CP_CANCEL 133

// DLG_JOB, the job editor.
#define IDC_COMMAND_EDIT 141
#define IDC_TODAY_RADIO 142
#define IDC_TOMORROW_RADIO 143
#define IDC_EVERY_RADIO 144
#define IDC_NEXT_RADIO 145
#define IDC_WEEKDAY_LIST 146
#define IDC_DATE_LIST 147
#define IDC_HOUR_EDIT 148
#define IDC_MINUTE_EDIT 149
#define IDC_JOB_OK 152
#define IDC_JOB_CANCEL 153
#define IDC_HALF_DAY 154
#define IDC_WEEKDAY_CHECK 155
#define IDC_DATE_CHECK 156

#endif
