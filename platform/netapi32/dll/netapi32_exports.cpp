// SPDX-License-Identifier: GPL-3.0-or-later
// The entry points of netapi32.dll, the simulated network as a Windows DLL
// that velmora.exe loads in place of the system's. Each binds the network on
// first use (VELMORA_NETWORK, else the user's default network file), as the
// Linux front ends do before the program starts, then calls the stand-in's
// function of the same name. A network that cannot be bound fails every call
// with NERR_InternalError, which the program reports like any network fault.
//
// VELMORA_CALL_LOG names a file that receives the record of the calls
// (function, server, arguments; one per line, tab-separated) when the process
// ends; without it nothing is recorded, so a long session does not grow.
#include <lm.h>

#include <standin/call_log.h>
#include <standin/network.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char *CallLogPath() {
  const char *path = std::getenv("VELMORA_CALL_LOG");
  return path != nullptr && *path != '\0' ? path : nullptr;
}

bool NetworkBound() {
  static const bool bound = [] {
    std::string path;
    const std::string error = standin::OpenNetworkForUser(&path);
    if (!error.empty()) std::fprintf(stderr, "netapi32: %s\n", error.c_str());
    // Opening resets the record; start it only now.
    standin::SetCallRecording(CallLogPath() != nullptr);
    return error.empty();
  }();
  return bound;
}

void WriteCallLog() {
  const char *path = CallLogPath();
  if (path == nullptr) return;
  FILE *out = std::fopen(path, "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "netapi32: cannot write the call record %s\n", path);
    return;
  }
  for (const standin::PlatformCall &call : standin::RecordedCalls())
    std::fprintf(out, "%s\t%s\t%s\n", call.function.c_str(), call.server.c_str(), call.args.c_str());
  std::fclose(out);
}

}  // namespace

#define VELMORA_BOUND(call) return NetworkBound() ? (call) : static_cast<NET_API_STATUS>(NERR_InternalError)

extern "C" {

NET_API_STATUS NET_API_FUNCTION VelmoraNetApiBufferFree(LPVOID Buffer) { VELMORA_BOUND(NetApiBufferFree(Buffer)); }

NET_API_STATUS NET_API_FUNCTION VelmoraNetScheduleJobAdd(LPCWSTR Servername, LPBYTE Buffer, LPDWORD JobId) {
  VELMORA_BOUND(NetScheduleJobAdd(Servername, Buffer, JobId));
}

NET_API_STATUS NET_API_FUNCTION VelmoraNetScheduleJobDel(LPCWSTR Servername, DWORD MinJobId, DWORD MaxJobId) {
  VELMORA_BOUND(NetScheduleJobDel(Servername, MinJobId, MaxJobId));
}

NET_API_STATUS NET_API_FUNCTION VelmoraNetScheduleJobEnum(LPCWSTR Servername, LPBYTE *PointerToBuffer,
                                                          DWORD PrefferedMaximumLength, LPDWORD EntriesRead,
                                                          LPDWORD TotalEntries, LPDWORD ResumeHandle) {
  VELMORA_BOUND(
      NetScheduleJobEnum(Servername, PointerToBuffer, PrefferedMaximumLength, EntriesRead, TotalEntries, ResumeHandle));
}

NET_API_STATUS NET_API_FUNCTION VelmoraNetScheduleJobGetInfo(LPCWSTR Servername, DWORD JobId, LPBYTE *PointerToBuffer) {
  VELMORA_BOUND(NetScheduleJobGetInfo(Servername, JobId, PointerToBuffer));
}

NET_API_STATUS NET_API_FUNCTION VelmoraNetServiceControl(LPCWSTR servername, LPCWSTR service, DWORD opcode, DWORD arg,
                                                         LPBYTE *bufptr) {
  VELMORA_BOUND(NetServiceControl(servername, service, opcode, arg, bufptr));
}

NET_API_STATUS NET_API_FUNCTION VelmoraNetServiceGetInfo(LPCWSTR servername, LPCWSTR service, DWORD level,
                                                         LPBYTE *bufptr) {
  VELMORA_BOUND(NetServiceGetInfo(servername, service, level, bufptr));
}

NET_API_STATUS NET_API_FUNCTION VelmoraNetServiceInstall(LPCWSTR servername, LPCWSTR service, DWORD argc,
                                                         LPCWSTR argv[], LPBYTE *bufptr) {
  VELMORA_BOUND(NetServiceInstall(servername, service, argc, argv, bufptr));
}

NET_API_STATUS NET_API_FUNCTION VelmoraNetWkstaGetInfo(LMSTR servername, DWORD level, LPBYTE *bufptr) {
  VELMORA_BOUND(NetWkstaGetInfo(servername, level, bufptr));
}

// The stand-in's headers have no DllMain types beyond these; 0 is
// DLL_PROCESS_DETACH.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == 0) WriteCallLog();
  return TRUE;
}

}  // extern "C"
