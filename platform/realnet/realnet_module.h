// SPDX-License-Identifier: GPL-3.0-or-later
// The boundary between the stand-in and the real network backend, which is a
// module of its own (velmora-realnet.so, linked against Samba's client
// libraries) that the stand-in opens only when a network names a real
// computer: the one symbol the module exports hands out this table of the
// calls of remote_host.h. Both sides are built from one tree with one
// compiler, so the table may carry C++ types; its version guards against a
// module left from another build.
#ifndef VELMORA_PLATFORM_REALNET_REALNET_MODULE_H
#define VELMORA_PLATFORM_REALNET_REALNET_MODULE_H

#include "remote_host.h"

namespace standin::realnet {

// Raised whenever the table or the types it carries change.
constexpr unsigned kModuleInterfaceVersion = 1;

struct ModuleCalls {
  unsigned interface_version;
  DWORD (*add_job)(const Target &target, const StoredJob &job, uint32_t *id);
  DWORD (*delete_jobs)(const Target &target, uint32_t min_id, uint32_t max_id);
  DWORD(*enum_jobs)
  (const Target &target, uint32_t preferred_length, uint32_t *resume, std::vector<StoredJob> *jobs, uint32_t *total);
  DWORD (*get_job)(const Target &target, uint32_t id, StoredJob *job);
  DWORD (*query_service)(const Target &target, const std::string &service, DWORD *status);
  DWORD (*start_service)(const Target &target, const std::string &service);
  DWORD (*control_service)(const Target &target, const std::string &service, DWORD opcode, DWORD *status);
  DWORD (*workstation_info)(const Target &target, Workstation *info);
  std::string (*check_credentials_file)(const std::string &path);
  std::string (*take_failure_reason)();
  unsigned long (*sessions_opened)();
  void (*close_all_connections)();
};

}  // namespace standin::realnet

// The module's one exported symbol.
#define VELMORA_REALNET_ENTRY "velmora_realnet_calls"
extern "C" const standin::realnet::ModuleCalls *velmora_realnet_calls();

#endif
