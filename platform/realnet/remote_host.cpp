// SPDX-License-Identifier: GPL-3.0-or-later
// The calls of remote_host.h on the connection pool. Results that outlive a
// call given up after the time bound live in shared storage.
#include "remote_host.h"

#include <lm.h>

#include <standin/text.h>

#include <memory>

#include "connection_pool.h"
#include "credentials_file.h"
#include "samba_rpc.h"

namespace standin::realnet {
namespace {

// The server name as NETAPI32 hands it to the service.
std::string ServerName(const Target &target) { return "\\\\" + target.name; }

StoredJob JobOf(const RpcJob &job) {
  StoredJob stored;
  stored.id = job.id;
  stored.job_time = job.job_time;
  stored.days_of_month = job.days_of_month;
  stored.days_of_week = job.days_of_week;
  stored.flags = job.flags;
  stored.command = Utf8ToUtf16(job.command != nullptr ? job.command : "");
  return stored;
}

uint32_t ServiceControlOf(DWORD opcode) {
  switch (opcode) {
    case SERVICE_CTRL_PAUSE:
      return 2;  // SERVICE_CONTROL_PAUSE
    case SERVICE_CTRL_CONTINUE:
      return 3;  // SERVICE_CONTROL_CONTINUE
    case SERVICE_CTRL_UNINSTALL:
      return 1;  // SERVICE_CONTROL_STOP
    default:
      return 4;  // SERVICE_CONTROL_INTERROGATE
  }
}

}  // namespace

DWORD StatusWord(uint32_t state, uint32_t controls_accepted) {
  DWORD word = SERVICE_UNINSTALLED;
  switch (state) {
    case 2:  // SERVICE_START_PENDING
      word = SERVICE_INSTALL_PENDING;
      break;
    case 3:  // SERVICE_STOP_PENDING
      word = SERVICE_UNINSTALL_PENDING;
      break;
    case 4:  // SERVICE_RUNNING
      word = SERVICE_INSTALLED | LM20_SERVICE_ACTIVE;
      break;
    case 5:  // SERVICE_CONTINUE_PENDING
      word = SERVICE_INSTALLED | LM20_SERVICE_CONTINUE_PENDING;
      break;
    case 6:  // SERVICE_PAUSE_PENDING
      word = SERVICE_INSTALLED | LM20_SERVICE_PAUSE_PENDING;
      break;
    case 7:  // SERVICE_PAUSED
      word = SERVICE_INSTALLED | LM20_SERVICE_PAUSED;
      break;
    default:  // SERVICE_STOPPED
      return SERVICE_UNINSTALLED;
  }
  if (controls_accepted & 0x1) word |= SERVICE_UNINSTALLABLE;  // SERVICE_ACCEPT_STOP
  if (controls_accepted & 0x2) word |= SERVICE_PAUSABLE;       // SERVICE_ACCEPT_PAUSE_CONTINUE
  return word;
}

DWORD AddJob(const Target &target, const StoredJob &job, uint32_t *id) {
  auto result = std::make_shared<uint32_t>(0);
  const std::string command = Utf16ToUtf8(job.command);
  const std::string server = ServerName(target);
  const DWORD code = RunOnComputer(target, Repeat::kNever, Logon::kSpareRefused, kRpcAtsvc, [=](RpcSession *session) {
    RpcJob record{0, job.job_time, job.days_of_month, job.days_of_week, job.flags, const_cast<char *>(command.c_str())};
    return rpc_job_add(session, server.c_str(), &record, result.get());
  });
  if (code == NERR_Success) *id = *result;
  return code;
}

DWORD DeleteJobs(const Target &target, uint32_t min_id, uint32_t max_id) {
  const std::string server = ServerName(target);
  return RunOnComputer(target, Repeat::kNever, Logon::kSpareRefused, kRpcAtsvc,
                       [=](RpcSession *session) { return rpc_job_del(session, server.c_str(), min_id, max_id); });
}

DWORD EnumJobs(const Target &target, uint32_t preferred_length, uint32_t *resume, std::vector<StoredJob> *jobs,
               uint32_t *total) {
  struct Result {
    std::vector<StoredJob> jobs;
    uint32_t total = 0, resume = 0;
  };
  auto result = std::make_shared<Result>();
  result->resume = resume != nullptr ? *resume : 0;
  const bool has_resume = resume != nullptr;
  const std::string server = ServerName(target);
  const DWORD code =
      RunOnComputer(target, Repeat::kOnStaleConnection, Logon::kSpareRefused, kRpcAtsvc, [=](RpcSession *session) {
        RpcJob *records = nullptr;
        uint32_t count = 0;
        const uint32_t status = rpc_job_enum(session, server.c_str(), preferred_length,
                                             has_resume ? &result->resume : nullptr, &records, &count, &result->total);
        for (uint32_t i = 0; i < count; ++i) result->jobs.push_back(JobOf(records[i]));
        rpc_free_jobs(records, count);
        return status;
      });
  jobs->clear();
  *total = 0;
  if (code == NERR_Success || code == ERROR_MORE_DATA) {
    *jobs = std::move(result->jobs);
    *total = result->total;
    if (resume != nullptr) *resume = result->resume;
  }
  return code;
}

DWORD GetJob(const Target &target, uint32_t id, StoredJob *job) {
  auto result = std::make_shared<StoredJob>();
  const std::string server = ServerName(target);
  const DWORD code =
      RunOnComputer(target, Repeat::kOnStaleConnection, Logon::kSpareRefused, kRpcAtsvc, [=](RpcSession *session) {
        RpcJob record{};
        const uint32_t status = rpc_job_get_info(session, server.c_str(), id, &record);
        if (status == NERR_Success) *result = JobOf(record);
        free(record.command);
        return status;
      });
  if (code == NERR_Success) *job = *result;
  return code;
}

DWORD QueryService(const Target &target, const std::string &service, DWORD *status) {
  auto result = std::make_shared<RpcService>();
  const std::string server = ServerName(target);
  const DWORD code = RunOnComputer(
      target, Repeat::kOnStaleConnection, Logon::kSpareRefused, kRpcSvcctl,
      [=](RpcSession *session) { return rpc_service_query(session, server.c_str(), service.c_str(), result.get()); });
  if (code == NERR_Success) *status = StatusWord(result->state, result->controls_accepted);
  return code;
}

DWORD StartService(const Target &target, const std::string &service) {
  const std::string server = ServerName(target);
  return RunOnComputer(target, Repeat::kNever, Logon::kSpareRefused, kRpcSvcctl, [=](RpcSession *session) {
    return rpc_service_start(session, server.c_str(), service.c_str());
  });
}

DWORD ControlService(const Target &target, const std::string &service, DWORD opcode, DWORD *status) {
  auto result = std::make_shared<RpcService>();
  const std::string server = ServerName(target);
  const uint32_t control = ServiceControlOf(opcode);
  const Repeat repeat = opcode == SERVICE_CTRL_INTERROGATE ? Repeat::kOnStaleConnection : Repeat::kNever;
  const DWORD code = RunOnComputer(target, repeat, Logon::kSpareRefused, kRpcSvcctl, [=](RpcSession *session) {
    return rpc_service_control(session, server.c_str(), service.c_str(), control, result.get());
  });
  if (code == NERR_Success) *status = StatusWord(result->state, result->controls_accepted);
  return code;
}

DWORD WorkstationInfo(const Target &target, Workstation *info) {
  auto result = std::make_shared<Workstation>();
  const std::string server = ServerName(target);
  const DWORD code =
      RunOnComputer(target, Repeat::kOnStaleConnection, Logon::kRetryRefused, kRpcWkssvc, [=](RpcSession *session) {
        RpcWorkstation record{};
        const uint32_t status = rpc_workstation_info(session, server.c_str(), &record);
        if (status == NERR_Success) {
          result->platform_id = record.platform_id;
          result->version_major = record.version_major;
          result->version_minor = record.version_minor;
          result->computer_name = Utf8ToUtf16(record.computer_name);
          result->lan_group = Utf8ToUtf16(record.lan_group);
          rpc_free_workstation(&record);
        }
        return status;
      });
  if (code == NERR_Success) *info = *result;
  return code;
}

std::string CheckCredentialsFile(const std::string &path) {
  Credentials credentials;
  std::string error;
  return ReadCredentialsFile(path, &credentials, &error) ? "" : error;
}

unsigned long SessionsOpened() { return rpc_sessions_opened(); }

}  // namespace standin::realnet
