// SPDX-License-Identifier: GPL-3.0-or-later
// The process's simulated network: the in-memory network or the network file
// bound to it, the fault plans and the pending status queries, and the one
// way every call reaches them.
#ifndef VELMORA_PLATFORM_NETAPI32_NETWORK_STATE_H
#define VELMORA_PLATFORM_NETAPI32_NETWORK_STATE_H

#include <lmcons.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "network_model.h"

namespace standin::netapi32 {

// Tells the front end why a network call failed where its result code cannot
// (its message sink, or standard error).
void Diagnose(const std::string &message);

// Runs `body` on the current network. In memory it runs directly; with a
// network file it runs on a fresh reading of the file, under the file's lock
// when this process may change the file; the file is replaced when `body`
// sets *changed. A file that cannot be read, parsed, locked or replaced makes
// the call fail with NERR_InternalError, and the reason is diagnosed.
NET_API_STATUS WithNetwork(const std::function<NET_API_STATUS(Network &network, bool *changed)> &body);

// Fault plans (fault_plans.cpp). ApplyFail plans the fault of a `fail`
// statement, FailForm checks one's form; "" or what is wrong with the line.
std::string ApplyFail(const std::vector<Token> &tokens);
std::string FailForm(const std::vector<Token> &tokens);
void ClearFaultPlans();
// The code of a planned fault for this computer and function, consuming one
// of its calls.
std::optional<DWORD> TakeFault(const std::string &computer, const std::string &function);

// Status queries still to report a pending word after a start or continue.
struct PendingQueries {
  uint32_t left = 0;
  DWORD word = 0;
};
PendingQueries &PendingOf(const std::string &computer);

// Writes a diagnostic to the front end's sink (SetNetworkDiagnosticSink), or
// to standard error without one.
void Diagnose(const std::string &message);

}  // namespace standin::netapi32

#endif
