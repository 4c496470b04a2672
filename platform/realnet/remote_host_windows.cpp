// SPDX-License-Identifier: GPL-3.0-or-later
// The real network as netapi32.dll on Windows sees it: the DLL serves the
// simulated computers only, since real ones are reached through Samba's
// client libraries on Linux. A real computer of the network file answers as
// one that cannot be reached, and the DLL says why, once per computer.
#include <cstdio>
#include <set>

#include "remote_host.h"

namespace standin::realnet {
namespace {

DWORD Unreachable(const Target &target) {
  static std::set<std::string> told;
  if (told.insert(target.name).second)
    std::fprintf(stderr,
                 "netapi32: %s is a real computer; only the Linux build reaches real computers, so it is "
                 "reported as not found\n",
                 target.name.c_str());
  return ERROR_BAD_NETPATH;
}

}  // namespace

DWORD AddJob(const Target &target, const StoredJob &, uint32_t *) { return Unreachable(target); }
DWORD DeleteJobs(const Target &target, uint32_t, uint32_t) { return Unreachable(target); }
DWORD EnumJobs(const Target &target, uint32_t, uint32_t *, std::vector<StoredJob> *, uint32_t *) {
  return Unreachable(target);
}
DWORD GetJob(const Target &target, uint32_t, StoredJob *) { return Unreachable(target); }
DWORD QueryService(const Target &target, const std::string &, DWORD *) { return Unreachable(target); }
DWORD StartService(const Target &target, const std::string &) { return Unreachable(target); }
DWORD ControlService(const Target &target, const std::string &, DWORD, DWORD *) { return Unreachable(target); }
DWORD WorkstationInfo(const Target &target, Workstation *) { return Unreachable(target); }

// The DLL never reads the credentials, so it has nothing to check in them.
std::string CheckCredentialsFile(const std::string &) { return ""; }
std::string TakeFailureReason() { return ""; }
unsigned long SessionsOpened() { return 0; }
void CloseAllConnections() {}

}  // namespace standin::realnet
