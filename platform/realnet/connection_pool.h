// SPDX-License-Identifier: GPL-3.0-or-later
// One connection per real computer, kept for the run, each served by a
// thread of its own. Every call ends by its computer's time bound: the
// thread itself gives the call up at its deadline, and Samba's libraries are
// free for the other threads while it waits (samba_rpc.h), so a silent
// computer holds up neither the others nor the program's end.
#ifndef VELMORA_PLATFORM_REALNET_CONNECTION_POOL_H
#define VELMORA_PLATFORM_REALNET_CONNECTION_POOL_H

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "remote_host.h"
#include "samba_rpc.h"

namespace standin::realnet {

// How a call may be repeated once on a fresh connection when a kept one
// turns out to be broken: only calls that change nothing.
enum class Repeat { kNever, kOnStaleConnection };

// A logon the computer refused is not tried again with the same credentials
// file, so that refreshes cannot lock the account out; only the user's
// selecting the computer again (NetWkstaGetInfo of the computer dialog)
// tries it once more.
enum class Logon { kSpareRefused, kRetryRefused };

// Runs `call` on the target's connection, opening it first when needed with
// `interface`, the one the call uses. `call` must keep its results in
// storage it owns: should its thread miss the deadline, RunOnComputer
// returns 53 while it still runs.
DWORD RunOnComputer(const Target &target, Repeat repeat, Logon logon, RpcInterface interface,
                    std::function<uint32_t(RpcSession *)> call);

}  // namespace standin::realnet

#endif
