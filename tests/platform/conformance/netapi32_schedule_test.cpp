// SPDX-License-Identifier: GPL-3.0-or-later
// The NETAPI32 calls the program makes, against the simulated network: on
// Linux the stand-in's, on Wine our own netapi32.dll beside the test program,
// both reading the network file below.
#include <windows.h>
#include <lm.h>
#include <lmat.h>

#include "conformance.h"
#include "test_host.h"

#include <string>

namespace {

#define WIDE(text) reinterpret_cast<LPCWSTR>(u##text)

// Each case keeps to computers of its own: the network is bound once a run.
const char kNetwork[] =
    "local PC01\n"
    "computer PC01\n"
    "job PC01 id=7 at=08:00 cmd=\"old.cmd\"\n"
    "computer ADD01\n"
    "computer STOPPED01 service=stopped\n"
    "computer WIN95PC platform=400\n"
    "computer GONE01 unreachable\n";

constexpr NET_API_STATUS kJobNotFound = 3806;  // APE_AT_ID_NOT_FOUND
constexpr DWORD kHour = 3600000;

AT_INFO Job(DWORD job_time, LPCWSTR command, UCHAR flags = 0, UCHAR days_of_week = 0, DWORD days_of_month = 0) {
  AT_INFO info{};
  info.JobTime = job_time;
  info.DaysOfMonth = days_of_month;
  info.DaysOfWeek = days_of_week;
  info.Flags = flags;
  info.Command = const_cast<LPWSTR>(command);
  return info;
}

NET_API_STATUS Add(LPCWSTR server, const AT_INFO &info, DWORD *id) {
  return NetScheduleJobAdd(server, reinterpret_cast<LPBYTE>(const_cast<AT_INFO *>(&info)), id);
}

std::u16string Text(LPCWSTR text) { return text ? reinterpret_cast<const char16_t *>(text) : u""; }

// A job added gets the ID after the highest held; it reads back as given and
// is listed; deleted it is gone, and its ID is not given again.
CONFORMANCE_CASE(ScheduleJobsAddReadListAndDelete) {
  REQUIRE(conformance::BindNetwork(kNetwork));
  DWORD id = 0;
  CHECK_EQ(Add(WIDE("\\\\PC01"), Job(19 * kHour, WIDE("backup.cmd"), JOB_RUN_PERIODICALLY, 0x15), &id),
           static_cast<NET_API_STATUS>(NERR_Success));
  CHECK_EQ(id, 8u);

  LPBYTE buffer = nullptr;
  REQUIRE(NetScheduleJobGetInfo(WIDE("\\\\PC01"), 8, &buffer) == NERR_Success);
  const AT_INFO *read = reinterpret_cast<const AT_INFO *>(buffer);
  CHECK_EQ(read->JobTime, 19 * kHour);
  CHECK_EQ(read->Flags & JOB_RUN_PERIODICALLY, JOB_RUN_PERIODICALLY);
  CHECK_EQ(static_cast<int>(read->DaysOfWeek), 0x15);
  CHECK(Text(read->Command) == u"backup.cmd");
  CHECK_EQ(NetApiBufferFree(buffer), static_cast<NET_API_STATUS>(NERR_Success));

  DWORD read_count = 0, total = 0, resume = 0;
  buffer = nullptr;
  REQUIRE(NetScheduleJobEnum(WIDE("\\\\PC01"), &buffer, MAX_PREFERRED_LENGTH, &read_count, &total, &resume) ==
          NERR_Success);
  CHECK_EQ(read_count, 2u);
  CHECK_EQ(total, 2u);
  const AT_ENUM *jobs = reinterpret_cast<const AT_ENUM *>(buffer);
  CHECK(jobs[0].JobId == 7 && Text(jobs[0].Command) == u"old.cmd");
  CHECK(jobs[1].JobId == 8 && Text(jobs[1].Command) == u"backup.cmd");
  NetApiBufferFree(buffer);

  CHECK_EQ(NetScheduleJobDel(WIDE("\\\\PC01"), 8, 8), static_cast<NET_API_STATUS>(NERR_Success));
  CHECK_EQ(NetScheduleJobDel(WIDE("\\\\PC01"), 8, 8), kJobNotFound);
  CHECK_EQ(Add(WIDE("\\\\PC01"), Job(kHour, WIDE("again.cmd")), &id), static_cast<NET_API_STATUS>(NERR_Success));
  CHECK_EQ(id, 9u);
}

// A record no service could run is refused whole, and no ID is given.
CONFORMANCE_CASE(ScheduleJobAddRefusesInvalidRecords) {
  REQUIRE(conformance::BindNetwork(kNetwork));
  const AT_INFO invalid[] = {
      Job(24 * kHour, WIDE("x")),             // a time of day of 24 hours
      Job(kHour, WIDE("x"), 0, 0x80),         // no eighth weekday
      Job(kHour, WIDE("x"), 0, 0, 1u << 31),  // no day 32
      Job(kHour, WIDE("")),                   // no command
      Job(kHour, nullptr),
  };
  for (const AT_INFO &info : invalid) {
    DWORD id = 99;
    CHECK_EQ(Add(WIDE("\\\\ADD01"), info, &id), static_cast<NET_API_STATUS>(ERROR_INVALID_PARAMETER));
    CHECK_EQ(id, 99u);
  }
  DWORD id = 0;
  CHECK_EQ(Add(WIDE("\\\\ADD01"), Job(kHour, WIDE("ok")), &id), static_cast<NET_API_STATUS>(NERR_Success));
  CHECK_EQ(id, 1u);
  CHECK_EQ(Add(WIDE("\\\\ADD01"), Job(kHour, WIDE("ok")), nullptr),
           static_cast<NET_API_STATUS>(ERROR_INVALID_PARAMETER));
}

// The probe the program makes of a computer: its platform, its Schedule
// service's state; a computer that does not answer, a malformed name.
CONFORMANCE_CASE(ServiceAndWorkstationQueries) {
  REQUIRE(conformance::BindNetwork(kNetwork));
  LPBYTE buffer = nullptr;
  REQUIRE(NetWkstaGetInfo(const_cast<LMSTR>(WIDE("\\\\WIN95PC")), 100, &buffer) == NERR_Success);
  CHECK_EQ(reinterpret_cast<const WKSTA_INFO_100 *>(buffer)->wki100_platform_id, 400u);
  NetApiBufferFree(buffer);
  buffer = nullptr;
  REQUIRE(NetWkstaGetInfo(nullptr, 100, &buffer) == NERR_Success);
  CHECK(Text(reinterpret_cast<const WKSTA_INFO_100 *>(buffer)->wki100_computername) == u"PC01");
  NetApiBufferFree(buffer);

  buffer = nullptr;
  REQUIRE(NetServiceGetInfo(WIDE("\\\\STOPPED01"), WIDE("Schedule"), 1, &buffer) == NERR_Success);
  CHECK_EQ(reinterpret_cast<const SERVICE_INFO_1 *>(buffer)->svci1_status & SERVICE_INSTALL_STATE,
           static_cast<DWORD>(SERVICE_UNINSTALLED));
  NetApiBufferFree(buffer);
  buffer = nullptr;
  REQUIRE(NetServiceGetInfo(WIDE("\\\\PC01"), WIDE("Schedule"), 1, &buffer) == NERR_Success);
  CHECK_EQ(reinterpret_cast<const SERVICE_INFO_1 *>(buffer)->svci1_status & SERVICE_INSTALL_STATE,
           static_cast<DWORD>(SERVICE_INSTALLED));
  NetApiBufferFree(buffer);

  buffer = nullptr;
  CHECK_EQ(NetServiceGetInfo(WIDE("\\\\GONE01"), WIDE("Schedule"), 1, &buffer),
           static_cast<NET_API_STATUS>(ERROR_BAD_NETPATH));
  CHECK_EQ(NetWkstaGetInfo(const_cast<LMSTR>(WIDE("\\\\PC*1")), 100, &buffer),
           static_cast<NET_API_STATUS>(ERROR_INVALID_NAME));
  CHECK_EQ(NetApiBufferFree(nullptr), static_cast<NET_API_STATUS>(NERR_Success));
}

}  // namespace
