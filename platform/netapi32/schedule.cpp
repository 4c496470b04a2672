// SPDX-License-Identifier: GPL-3.0-or-later
// The Schedule service's job functions of the stand-in, following the
// service's published server rules: records are validated, IDs assigned in
// sequence, and the service itself adds JOB_RUNS_TODAY to what it returns.
#include <lm.h>

#include <standin/statement.h>

#include <sstream>
#include <vector>

#include "net_buffers.h"
#include "network_state.h"
#include "server_call.h"
#include "wide_text.h"

namespace standin::netapi32 {
namespace {

// Flags a submitter sets that the service stores; JOB_ADD_CURRENT_DATE is
// turned into a day of the month instead.
constexpr uint8_t kStoredFlags = JOB_RUN_PERIODICALLY | JOB_NONINTERACTIVE;

NET_API_STATUS ServiceMustRun(const Computer &computer) {
  return (computer.status & SERVICE_INSTALL_STATE) == SERVICE_INSTALLED ? NERR_Success : NERR_ServiceNotInstalled;
}

std::string Hex(uint32_t value) {
  std::ostringstream out;
  out << "0x" << std::hex << value;
  return out.str();
}

uint8_t ReportedFlags(const StoredJob &job, const SYSTEMTIME &now) {
  return static_cast<uint8_t>(job.flags | (RunsToday(job, now) ? JOB_RUNS_TODAY : 0));
}

size_t EnumEntrySize(const StoredJob &job) { return sizeof(AT_ENUM) + (job.command.size() + 1) * sizeof(char16_t); }

// The one buffer of AT_ENUM records for jobs as a real service reported them.
LPBYTE EnumRecords(const std::vector<StoredJob> &jobs) {
  if (jobs.empty()) return nullptr;
  size_t string_units = 0;
  for (const StoredJob &job : jobs) string_units += job.command.size() + 1;
  NetBufferBuilder buffer(jobs.size() * sizeof(AT_ENUM), string_units);
  auto *records = static_cast<AT_ENUM *>(buffer.records());
  for (size_t i = 0; i < jobs.size(); ++i) {
    records[i].JobId = jobs[i].id;
    records[i].JobTime = jobs[i].job_time;
    records[i].DaysOfMonth = jobs[i].days_of_month;
    records[i].DaysOfWeek = jobs[i].days_of_week;
    records[i].Flags = jobs[i].flags;
    records[i].Command = buffer.AddString(jobs[i].command);
  }
  return static_cast<LPBYTE>(buffer.release());
}

LPBYTE InfoRecord(const StoredJob &job, uint8_t flags) {
  NetBufferBuilder buffer(sizeof(AT_INFO), job.command.size() + 1);
  auto *info = static_cast<AT_INFO *>(buffer.records());
  info->JobTime = job.job_time;
  info->DaysOfMonth = job.days_of_month;
  info->DaysOfWeek = job.days_of_week;
  info->Flags = flags;
  info->Command = buffer.AddString(job.command);
  return static_cast<LPBYTE>(buffer.release());
}

}  // namespace
}  // namespace standin::netapi32

using standin::StoredJob;
using standin::netapi32::CallOnServer;
using standin::netapi32::Computer;
using standin::netapi32::Requires;
using standin::realnet::Target;

extern "C" {

NET_API_STATUS NET_API_FUNCTION NetScheduleJobAdd(LPCWSTR Servername, LPBYTE Buffer, LPDWORD JobId) {
  const auto *info = reinterpret_cast<const AT_INFO *>(Buffer);
  std::string args = "(null)";
  if (info != nullptr) {
    args = "time=" + std::to_string(info->JobTime) + " dom=" + standin::netapi32::Hex(info->DaysOfMonth) +
           " dow=" + standin::netapi32::Hex(info->DaysOfWeek) + " flags=" + standin::netapi32::Hex(info->Flags) +
           " cmd=" +
           (info->Command == nullptr ? std::string("(null)")
                                     : standin::QuoteString(standin::netapi32::WideToUtf8(info->Command)));
  }
  return CallOnServer(
      "NetScheduleJobAdd", Servername, args, Requires::kWindowsNt,
      [&](Computer &computer, bool *changed) -> NET_API_STATUS {
        if (info == nullptr || JobId == nullptr) return ERROR_INVALID_PARAMETER;
        if (NET_API_STATUS status = standin::netapi32::ServiceMustRun(computer)) return status;
        if (info->JobTime >= standin::netapi32::kMillisecondsPerDay || (info->DaysOfMonth & 0x80000000u) ||
            (info->DaysOfWeek & 0x80) || info->Command == nullptr || info->Command[0] == 0)
          return ERROR_INVALID_PARAMETER;
        if (computer.highest_id == UINT32_MAX) {
          standin::netapi32::Diagnose("the Schedule service of " + computer.name +
                                      " has given out the highest job ID there is, 4294967295, and cannot number a new "
                                      "job; nothing was added");
          return NERR_InternalError;
        }
        StoredJob job;
        job.id = computer.highest_id + 1;
        job.job_time = static_cast<uint32_t>(info->JobTime);
        job.days_of_month = info->DaysOfMonth;
        job.days_of_week = info->DaysOfWeek;
        job.flags = info->Flags & standin::netapi32::kStoredFlags;
        if (info->Flags & JOB_ADD_CURRENT_DATE) job.days_of_month |= 1u << (standin::CurrentClock().wDay - 1);
        job.command = info->Command;
        computer.highest_id = job.id;
        *JobId = job.id;
        computer.jobs.emplace(job.id, std::move(job));
        *changed = true;
        return NERR_Success;
      },
      [&](const Target &target) -> NET_API_STATUS {
        if (info == nullptr || JobId == nullptr) return ERROR_INVALID_PARAMETER;
        StoredJob job;
        job.job_time = static_cast<uint32_t>(info->JobTime);
        job.days_of_month = info->DaysOfMonth;
        job.days_of_week = info->DaysOfWeek;
        job.flags = info->Flags;
        if (info->Command != nullptr) job.command = info->Command;
        uint32_t id = 0;
        const NET_API_STATUS status = standin::realnet::AddJob(target, job, &id);
        if (status == NERR_Success) *JobId = id;
        return status;
      });
}

NET_API_STATUS NET_API_FUNCTION NetScheduleJobDel(LPCWSTR Servername, DWORD MinJobId, DWORD MaxJobId) {
  const std::string args = "min=" + std::to_string(MinJobId) + " max=" + std::to_string(MaxJobId);
  return CallOnServer(
      "NetScheduleJobDel", Servername, args, Requires::kWindowsNt,
      [&](Computer &computer, bool *changed) -> NET_API_STATUS {
        if (NET_API_STATUS status = standin::netapi32::ServiceMustRun(computer)) return status;
        if (MinJobId > MaxJobId) return ERROR_INVALID_PARAMETER;
        auto first = computer.jobs.lower_bound(MinJobId);
        auto last = computer.jobs.upper_bound(MaxJobId);
        if (first == last) return APE_AT_ID_NOT_FOUND;
        computer.jobs.erase(first, last);
        *changed = true;
        return NERR_Success;
      },
      [&](const Target &target) { return standin::realnet::DeleteJobs(target, MinJobId, MaxJobId); });
}

NET_API_STATUS NET_API_FUNCTION NetScheduleJobEnum(LPCWSTR Servername, LPBYTE *PointerToBuffer,
                                                   DWORD PrefferedMaximumLength, LPDWORD EntriesRead,
                                                   LPDWORD TotalEntries, LPDWORD ResumeHandle) {
  if (PointerToBuffer != nullptr) *PointerToBuffer = nullptr;
  if (EntriesRead != nullptr) *EntriesRead = 0;
  if (TotalEntries != nullptr) *TotalEntries = 0;
  const std::string args = "prefmaxlen=" + std::to_string(PrefferedMaximumLength) +
                           " resume=" + (ResumeHandle == nullptr ? "(null)" : std::to_string(*ResumeHandle));
  return CallOnServer(
      "NetScheduleJobEnum", Servername, args, Requires::kWindowsNt,
      [&](Computer &computer, bool *) -> NET_API_STATUS {
        if (PointerToBuffer == nullptr || EntriesRead == nullptr || TotalEntries == nullptr)
          return ERROR_INVALID_PARAMETER;
        if (NET_API_STATUS status = standin::netapi32::ServiceMustRun(computer)) return status;
        // The resume handle is the index of the first job to return.
        const size_t start = ResumeHandle == nullptr ? 0 : *ResumeHandle;
        const size_t total = computer.jobs.size();
        if (start >= total) return NERR_Success;
        auto first = computer.jobs.begin();
        std::advance(first, static_cast<std::ptrdiff_t>(start));

        // Take the jobs that fit the preferred length (all of them for
        // MAX_PREFERRED_LENGTH) and size the one buffer for them.
        size_t count = 0, string_units = 0, bytes = 0;
        for (auto it = first; it != computer.jobs.end(); ++it) {
          const size_t entry = standin::netapi32::EnumEntrySize(it->second);
          if (PrefferedMaximumLength != MAX_PREFERRED_LENGTH && bytes + entry > PrefferedMaximumLength) break;
          bytes += entry;
          string_units += it->second.command.size() + 1;
          ++count;
        }
        *TotalEntries = static_cast<DWORD>(total - start);
        if (count == 0) return NERR_BufTooSmall;

        const SYSTEMTIME now = standin::CurrentClock();
        standin::netapi32::NetBufferBuilder buffer(count * sizeof(AT_ENUM), string_units);
        auto *records = static_cast<AT_ENUM *>(buffer.records());
        auto it = first;
        for (size_t i = 0; i < count; ++i, ++it) {
          const StoredJob &job = it->second;
          records[i].JobId = job.id;
          records[i].JobTime = job.job_time;
          records[i].DaysOfMonth = job.days_of_month;
          records[i].DaysOfWeek = job.days_of_week;
          records[i].Flags = standin::netapi32::ReportedFlags(job, now);
          records[i].Command = buffer.AddString(job.command);
        }
        *PointerToBuffer = static_cast<LPBYTE>(buffer.release());
        *EntriesRead = static_cast<DWORD>(count);
        if (start + count < total) {
          if (ResumeHandle != nullptr) *ResumeHandle = static_cast<DWORD>(start + count);
          return ERROR_MORE_DATA;
        }
        if (ResumeHandle != nullptr) *ResumeHandle = 0;
        return NERR_Success;
      },
      [&](const Target &target) -> NET_API_STATUS {
        if (PointerToBuffer == nullptr || EntriesRead == nullptr || TotalEntries == nullptr)
          return ERROR_INVALID_PARAMETER;
        std::vector<StoredJob> jobs;
        uint32_t total = 0, resume = ResumeHandle == nullptr ? 0 : *ResumeHandle;
        const NET_API_STATUS status = standin::realnet::EnumJobs(
            target, PrefferedMaximumLength, ResumeHandle == nullptr ? nullptr : &resume, &jobs, &total);
        if (status != NERR_Success && status != ERROR_MORE_DATA) return status;
        *PointerToBuffer = standin::netapi32::EnumRecords(jobs);
        *EntriesRead = static_cast<DWORD>(jobs.size());
        *TotalEntries = total;
        if (ResumeHandle != nullptr) *ResumeHandle = resume;
        return status;
      });
}

NET_API_STATUS NET_API_FUNCTION NetScheduleJobGetInfo(LPCWSTR Servername, DWORD JobId, LPBYTE *PointerToBuffer) {
  if (PointerToBuffer != nullptr) *PointerToBuffer = nullptr;
  return CallOnServer(
      "NetScheduleJobGetInfo", Servername, "jobid=" + std::to_string(JobId), Requires::kWindowsNt,
      [&](Computer &computer, bool *) -> NET_API_STATUS {
        if (PointerToBuffer == nullptr) return ERROR_INVALID_PARAMETER;
        if (NET_API_STATUS status = standin::netapi32::ServiceMustRun(computer)) return status;
        auto found = computer.jobs.find(JobId);
        if (found == computer.jobs.end()) return ERROR_FILE_NOT_FOUND;
        const StoredJob &job = found->second;
        *PointerToBuffer =
            standin::netapi32::InfoRecord(job, standin::netapi32::ReportedFlags(job, standin::CurrentClock()));
        return NERR_Success;
      },
      [&](const Target &target) -> NET_API_STATUS {
        if (PointerToBuffer == nullptr) return ERROR_INVALID_PARAMETER;
        StoredJob job;
        const NET_API_STATUS status = standin::realnet::GetJob(target, JobId, &job);
        if (status == NERR_Success) *PointerToBuffer = standin::netapi32::InfoRecord(job, job.flags);
        return status;
      });
}

}  // extern "C"
