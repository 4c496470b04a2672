// SPDX-License-Identifier: GPL-3.0-or-later
// What every NETAPI32 function of the stand-in does first: record the call,
// find the computer its server name names, and apply planned faults and the
// computer's reachability and platform.
#ifndef VELMORA_PLATFORM_NETAPI32_SERVER_CALL_H
#define VELMORA_PLATFORM_NETAPI32_SERVER_CALL_H

#include <lm.h>

#include <functional>
#include <string>

#include <remote_host.h>

#include "network_model.h"

namespace standin::netapi32 {

enum class Requires { kAnyPlatform, kWindowsNt };

// What a function does on a real computer of the network.
using RemoteCall = std::function<NET_API_STATUS(const realnet::Target &target)>;

// Records `function` with its server name and `args`, then runs `body` on the
// named computer, under the network's lock when it lives in a file. Results
// before `body`: 123 for a malformed or empty name, a planned fault's code,
// 53 for a name no computer answers to or an unreachable computer, 50 for a
// computer that does not run Windows NT when the function needs it. A real
// computer is called through `remote` instead, outside the network's lock
// (a planned fault still comes first); the call sees the network's clock.
NET_API_STATUS CallOnServer(const char *function, LPCWSTR server, const std::string &args, Requires needs,
                            const std::function<NET_API_STATUS(Computer &computer, bool *changed)> &body,
                            const RemoteCall &remote);

// The Schedule service's name, compared as the service manager does
// (ignoring case).
bool IsScheduleService(LPCWSTR service);

}  // namespace standin::netapi32

#endif
