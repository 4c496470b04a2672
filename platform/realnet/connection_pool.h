// One connection per real computer, kept for the run. Each connection's
// Samba calls run on a thread of its own, so that a call that hangs can be
// given up after the computer's time bound: the caller then gets 53 and the
// next call opens a fresh connection.
#ifndef VELMORA_REALNET_CONNECTION_POOL_H
#define VELMORA_REALNET_CONNECTION_POOL_H

#include <windows.h>

#include <cstdint>
#include <functional>

#include "remote_host.h"
#include "samba_rpc.h"

namespace standin::realnet {

// How a call may be repeated once on a fresh connection when a kept one
// turns out to be broken: only calls that change nothing.
enum class Repeat { kNever, kOnStaleConnection };

// Runs `call` on the target's connection, opening it first when needed.
// `call` must keep its results in storage it owns: after the time bound it
// may still be running when RunOnComputer returns 53.
DWORD RunOnComputer(const Target &target, Repeat repeat, std::function<uint32_t(RpcSession *)> call);

}  // namespace standin::realnet

#endif
