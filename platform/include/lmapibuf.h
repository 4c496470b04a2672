// SPDX-License-Identifier: GPL-3.0-or-later
// Linux stand-in for <lmapibuf.h>: release of network management buffers.
#ifndef VELMORA_PLATFORM_INCLUDE_LMAPIBUF_H
#define VELMORA_PLATFORM_INCLUDE_LMAPIBUF_H

#include <lmcons.h>

#ifdef __cplusplus
extern "C" {
#endif

NET_API_STATUS NET_API_FUNCTION NetApiBufferFree(LPVOID Buffer);

#ifdef __cplusplus
}
#endif

#endif
