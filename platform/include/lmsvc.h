// SPDX-License-Identifier: GPL-3.0-or-later
// Linux stand-in for <lmsvc.h>: the LAN Manager service functions, their
// records and the bit fields of the service status word.
#ifndef VELMORA_PLATFORM_INCLUDE_LMSVC_H
#define VELMORA_PLATFORM_INCLUDE_LMSVC_H

#include <lmcons.h>

typedef struct _SERVICE_INFO_1 {
  LPWSTR svci1_name;
  DWORD svci1_status;
  DWORD svci1_code;
  DWORD svci1_pid;
} SERVICE_INFO_1, *PSERVICE_INFO_1, *LPSERVICE_INFO_1;

typedef struct _SERVICE_INFO_2 {
  LPWSTR svci2_name;
  DWORD svci2_status;
  DWORD svci2_code;
  DWORD svci2_pid;
  LPWSTR svci2_text;
  DWORD svci2_specific_error;
  LPWSTR svci2_display_name;
} SERVICE_INFO_2, *PSERVICE_INFO_2, *LPSERVICE_INFO_2;

// Install state (bits 0 and 1).
#define SERVICE_INSTALL_STATE 0x03
#define SERVICE_UNINSTALLED 0x00
#define SERVICE_INSTALL_PENDING 0x01
#define SERVICE_UNINSTALL_PENDING 0x02
#define SERVICE_INSTALLED 0x03

// Pause state (bits 2 and 3).
#define SERVICE_PAUSE_STATE 0x0C
#define LM20_SERVICE_ACTIVE 0x00
#define LM20_SERVICE_CONTINUE_PENDING 0x04
#define LM20_SERVICE_PAUSE_PENDING 0x08
#define LM20_SERVICE_PAUSED 0x0C

#define SERVICE_NOT_UNINSTALLABLE 0x00
#define SERVICE_UNINSTALLABLE 0x10
#define SERVICE_NOT_PAUSABLE 0x00
#define SERVICE_PAUSABLE 0x20
#define SERVICE_REDIR_PAUSED 0x700

// Control opcodes.
#define SERVICE_CTRL_INTERROGATE 0
#define SERVICE_CTRL_PAUSE 1
#define SERVICE_CTRL_CONTINUE 2
#define SERVICE_CTRL_UNINSTALL 3

#define SERVICE_SCHEDULE "Schedule"
#define SERVICE_LM20_SCHEDULE "SCHEDULE"

#ifdef __cplusplus
extern "C" {
#endif

NET_API_STATUS NET_API_FUNCTION NetServiceGetInfo(LPCWSTR servername, LPCWSTR service, DWORD level, LPBYTE *bufptr);
NET_API_STATUS NET_API_FUNCTION NetServiceInstall(LPCWSTR servername, LPCWSTR service, DWORD argc, LPCWSTR argv[],
                                                  LPBYTE *bufptr);
NET_API_STATUS NET_API_FUNCTION NetServiceControl(LPCWSTR servername, LPCWSTR service, DWORD opcode, DWORD arg,
                                                  LPBYTE *bufptr);

#ifdef __cplusplus
}
#endif

#endif
