// SPDX-License-Identifier: GPL-3.0-or-later
// Linux stand-in for <lmcons.h>: network management base types and limits.
#ifndef VELMORA_PLATFORM_INCLUDE_LMCONS_H
#define VELMORA_PLATFORM_INCLUDE_LMCONS_H

#include <windows.h>

#define NET_API_FUNCTION WINAPI
typedef DWORD NET_API_STATUS;
typedef WCHAR *LMSTR;
typedef const WCHAR *LMCSTR;

#define CNLEN 15
#define UNCLEN (CNLEN + 2)
#define SNLEN 80
#define MAX_PREFERRED_LENGTH ((DWORD)-1)

#define PLATFORM_ID_DOS 300
#define PLATFORM_ID_OS2 400
#define PLATFORM_ID_NT 500
#define PLATFORM_ID_OSF 600
#define PLATFORM_ID_VMS 700

#endif
