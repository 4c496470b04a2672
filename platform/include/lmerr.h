// SPDX-License-Identifier: GPL-3.0-or-later
// Linux stand-in for <lmerr.h>: network management result codes.
#ifndef VELMORA_PLATFORM_INCLUDE_LMERR_H
#define VELMORA_PLATFORM_INCLUDE_LMERR_H

#define NERR_Success 0
#define NERR_BASE 2100
#define NERR_NetNotStarted (NERR_BASE + 2)
#define NERR_BufTooSmall (NERR_BASE + 23)
#define NERR_InternalError (NERR_BASE + 40)
#define NERR_ServiceTableLocked (NERR_BASE + 80)
#define NERR_ServiceTableFull (NERR_BASE + 81)
#define NERR_ServiceInstalled (NERR_BASE + 82)
#define NERR_ServiceEntryLocked (NERR_BASE + 83)
#define NERR_ServiceNotInstalled (NERR_BASE + 84)
#define NERR_BadServiceName (NERR_BASE + 85)
#define NERR_ServiceCtlTimeout (NERR_BASE + 86)
#define NERR_ServiceCtlBusy (NERR_BASE + 87)
#define NERR_BadServiceProgName (NERR_BASE + 88)
#define NERR_ServiceNotCtrl (NERR_BASE + 89)
#define NERR_ServiceKillProc (NERR_BASE + 90)
#define NERR_ServiceCtlNotValid (NERR_BASE + 91)
#define NERR_NotLocalDomain (NERR_BASE + 220)
#define NERR_InvalidComputer (NERR_BASE + 251)

// Schedule service (lmat.h codes live in the APE range).
#define APE_AT_ID_NOT_FOUND 3806

#endif
