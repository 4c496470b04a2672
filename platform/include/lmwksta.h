// SPDX-License-Identifier: GPL-3.0-or-later
// Linux stand-in for <lmwksta.h>: workstation information level 100.
#ifndef VELMORA_PLATFORM_INCLUDE_LMWKSTA_H
#define VELMORA_PLATFORM_INCLUDE_LMWKSTA_H

#include <lmcons.h>

typedef struct _WKSTA_INFO_100 {
  DWORD wki100_platform_id;
  LMSTR wki100_computername;
  LMSTR wki100_langroup;
  DWORD wki100_ver_major;
  DWORD wki100_ver_minor;
} WKSTA_INFO_100, *PWKSTA_INFO_100, *LPWKSTA_INFO_100;

#ifdef __cplusplus
extern "C" {
#endif

NET_API_STATUS NET_API_FUNCTION NetWkstaGetInfo(LMSTR servername, DWORD level, LPBYTE *bufptr);

#ifdef __cplusplus
}
#endif

#endif
