// SPDX-License-Identifier: GPL-3.0-or-later
// The calls of remote_host.h as the stand-in makes them: the backend lives in
// its own module, with Samba's client libraries behind it, so that a program
// whose networks are all simulated never loads them. The module is opened at
// the first call on a real computer. Without it (the velmora-realnet package
// is not installed) a real computer answers as one that cannot be reached,
// and the diagnostic line says why.
#include <dlfcn.h>

#include <atomic>
#include <mutex>

#include "realnet_module.h"

#ifndef VELMORA_REALNET_MODULE
#error "VELMORA_REALNET_MODULE names the module's installed path"
#endif

namespace standin::realnet {
namespace {

std::once_flag g_opened;
std::atomic<const ModuleCalls *> g_calls{nullptr};  // null: not opened, or not usable
std::string g_fault;                                // why it is not usable (set once, under g_opened)

// The module stays loaded for the life of the process: Samba's libraries
// keep threads and state that must not be unmapped under them.
void Open() {
  void *handle = ::dlopen(VELMORA_REALNET_MODULE, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char *why = ::dlerror();
    g_fault = std::string(
                  "real computers are reached through the velmora-realnet package, which is not "
                  "installed or cannot be loaded (") +
              (why != nullptr ? why : VELMORA_REALNET_MODULE) + ")";
    return;
  }
  using Entry = const ModuleCalls *(*)();
  auto entry = reinterpret_cast<Entry>(::dlsym(handle, VELMORA_REALNET_ENTRY));
  const ModuleCalls *calls = entry != nullptr ? entry() : nullptr;
  if (calls == nullptr || calls->interface_version != kModuleInterfaceVersion) {
    g_fault = std::string("the real network module ") + VELMORA_REALNET_MODULE +
              " belongs to another version of Velmora; install the velmora-realnet package of this one";
    return;
  }
  g_calls = calls;
}

const ModuleCalls *Calls() {
  std::call_once(g_opened, Open);
  return g_calls;
}

// The module's calls when it is open, without opening it.
const ModuleCalls *CallsIfOpen() { return g_calls; }

thread_local std::string t_missing_reason;

DWORD Unreachable(const Target &target) {
  t_missing_reason = target.name + ": " + g_fault;
  return ERROR_BAD_NETPATH;
}

}  // namespace

DWORD AddJob(const Target &target, const StoredJob &job, uint32_t *id) {
  const ModuleCalls *calls = Calls();
  return calls != nullptr ? calls->add_job(target, job, id) : Unreachable(target);
}

DWORD DeleteJobs(const Target &target, uint32_t min_id, uint32_t max_id) {
  const ModuleCalls *calls = Calls();
  return calls != nullptr ? calls->delete_jobs(target, min_id, max_id) : Unreachable(target);
}

DWORD EnumJobs(const Target &target, uint32_t preferred_length, uint32_t *resume, std::vector<StoredJob> *jobs,
               uint32_t *total) {
  const ModuleCalls *calls = Calls();
  return calls != nullptr ? calls->enum_jobs(target, preferred_length, resume, jobs, total) : Unreachable(target);
}

DWORD GetJob(const Target &target, uint32_t id, StoredJob *job) {
  const ModuleCalls *calls = Calls();
  return calls != nullptr ? calls->get_job(target, id, job) : Unreachable(target);
}

DWORD QueryService(const Target &target, const std::string &service, DWORD *status) {
  const ModuleCalls *calls = Calls();
  return calls != nullptr ? calls->query_service(target, service, status) : Unreachable(target);
}

DWORD StartService(const Target &target, const std::string &service) {
  const ModuleCalls *calls = Calls();
  return calls != nullptr ? calls->start_service(target, service) : Unreachable(target);
}

DWORD ControlService(const Target &target, const std::string &service, DWORD opcode, DWORD *status) {
  const ModuleCalls *calls = Calls();
  return calls != nullptr ? calls->control_service(target, service, opcode, status) : Unreachable(target);
}

DWORD WorkstationInfo(const Target &target, Workstation *info) {
  const ModuleCalls *calls = Calls();
  return calls != nullptr ? calls->workstation_info(target, info) : Unreachable(target);
}

// Without the module the credentials are never read; the calls say why.
std::string CheckCredentialsFile(const std::string &path) {
  const ModuleCalls *calls = Calls();
  return calls != nullptr ? calls->check_credentials_file(path) : "";
}

std::string TakeFailureReason() {
  if (const ModuleCalls *calls = CallsIfOpen()) return calls->take_failure_reason();
  std::string reason;
  reason.swap(t_missing_reason);
  return reason;
}

unsigned long SessionsOpened() {
  const ModuleCalls *calls = CallsIfOpen();
  return calls != nullptr ? calls->sessions_opened() : 0;
}

// A program that never opened the module has no connections to close.
void CloseAllConnections() {
  if (const ModuleCalls *calls = CallsIfOpen()) calls->close_all_connections();
}

}  // namespace standin::realnet
