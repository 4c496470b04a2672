// SPDX-License-Identifier: GPL-3.0-or-later
// Linux stand-in for <lm.h>: the network management subset that Velmora
// uses, gathered from the SDK's lm*.h headers of the same names.
#ifndef VELMORA_PLATFORM_INCLUDE_LM_H
#define VELMORA_PLATFORM_INCLUDE_LM_H

#include <lmcons.h>
#include <lmerr.h>
#include <lmapibuf.h>
#include <lmwksta.h>
#include <lmsvc.h>
#include <lmat.h>

#endif
