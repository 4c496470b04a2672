// SPDX-License-Identifier: GPL-3.0-or-later
// Real NT computers reached over the network: what the network file says
// about one, and the Schedule, service and workstation calls made on it. The
// results are NET_API_STATUS codes as NETAPI32 gives them; the records are
// plain data for the stand-in's NETAPI32 functions to hand out.
#ifndef VELMORA_PLATFORM_REALNET_REMOTE_HOST_H
#define VELMORA_PLATFORM_REALNET_REMOTE_HOST_H

#include <windows.h>

#include <standin/network.h>

#include <cstdint>
#include <string>
#include <vector>

namespace standin::realnet {

// The protection asked for on every pipe: packet privacy unless the network
// file lowers it for a host that cannot seal.
enum class Privacy { kSeal, kSign, kNone };

constexpr unsigned kDefaultTimeoutSeconds = 20;

// How a session logs on: a Kerberos ticket when there is a usable one, else
// the credentials file's password (auto); the ticket alone; the password
// alone.
enum class Auth { kAuto, kKerberos, kNtlm };

// `computer NAME real [address=HOST] [port=N] [privacy=seal|sign|none] [timeout=S]
//  [auth=auto|kerberos|ntlm] [ccache=PATH]`
struct RemoteHost {
  std::string address;  // empty: the computer's name, resolved as Samba does
  unsigned port = 0;    // 0: Samba's SMB ports
  Privacy privacy = Privacy::kSeal;
  unsigned timeout_seconds = kDefaultTimeoutSeconds;
  Auth auth = Auth::kAuto;
  std::string ccache{};  // empty: the credentials file's ccache=, else Kerberos's default
};

// One computer to call: its name, where it is, and the authentication file
// the network names (empty: none).
struct Target {
  std::string name;
  RemoteHost host;
  std::string credentials_path;
};

struct Workstation {
  DWORD platform_id = 0;
  DWORD version_major = 0, version_minor = 0;
  std::u16string computer_name, lan_group;
};

DWORD AddJob(const Target &target, const StoredJob &job, uint32_t *id);
DWORD DeleteJobs(const Target &target, uint32_t min_id, uint32_t max_id);
// Jobs as the service reports them (flags with JOB_RUNS_TODAY); `resume` may
// be null. On ERROR_MORE_DATA the jobs read so far are kept.
DWORD EnumJobs(const Target &target, uint32_t preferred_length, uint32_t *resume, std::vector<StoredJob> *jobs,
               uint32_t *total);
DWORD GetJob(const Target &target, uint32_t id, StoredJob *job);

// The LAN Manager status word of the service.
DWORD QueryService(const Target &target, const std::string &service, DWORD *status);
DWORD StartService(const Target &target, const std::string &service);
// `opcode` is a SERVICE_CTRL_* code; *status receives the word after it.
DWORD ControlService(const Target &target, const std::string &service, DWORD opcode, DWORD *status);

// The computer dialog's check of a computer the user selects: a logon the
// computer refused before is tried once more here, and only here.
DWORD WorkstationInfo(const Target &target, Workstation *info);

// The status word from the service controller's state and accepted controls.
DWORD StatusWord(uint32_t state, uint32_t controls_accepted);

// "" when the authentication file can be used, else why not.
std::string CheckCredentialsFile(const std::string &path);

// Why this thread's last call on a real computer failed, for the front
// ends' diagnostic line ("COMPUTER: reason"); "" when the computer's service
// answered with its own result. Taking it clears it.
std::string TakeFailureReason();

// SMB sessions this process has opened.
unsigned long SessionsOpened();

// Closes every connection (a new network).
void CloseAllConnections();

}  // namespace standin::realnet

#endif
