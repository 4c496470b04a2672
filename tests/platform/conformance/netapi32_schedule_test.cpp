// SPDX-License-Identifier: GPL-3.0-or-later
// The NETAPI32 calls the program makes, against the network file below: on
// Wine our own netapi32.dll beside the test program reads it.
#include <windows.h>
#include <lm.h>
#include <lmat.h>

#include "conformance.h"

#include <string>

namespace {

#define WIDE(text) const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(u##text))

// Each case keeps to computers of its own: the network is bound once a run.
const char kNetwork[] =
    "local PC01\n"
    "computer PC01\n"
    "job PC01 id=7 at=08:00 cmd=\"old.cmd\"\n"
    "computer ADD01\n"
    "computer STOPPED01 service=stopped\n"
    "computer WIN95PC platform=400\n"
    "computer GONE01 unreachable\n";

constexpr NET_API_STATUS kOk = NERR_Success, kInvalid = ERROR_INVALID_PARAMETER;
constexpr NET_API_STATUS kJobNotFound = 3806;  // APE_AT_ID_NOT_FOUND
constexpr DWORD kHour = 3600000;

AT_INFO Job(DWORD job_time, LPWSTR command, UCHAR flags = 0, UCHAR days_of_week = 0, DWORD days_of_month = 0) {
  return {job_time, days_of_month, days_of_week, flags, command};
}

NET_API_STATUS Add(LPCWSTR server, const AT_INFO &info, DWORD *id) {
  return NetScheduleJobAdd(server, reinterpret_cast<LPBYTE>(const_cast<AT_INFO *>(&info)), id);
}

std::u16string Text(LPCWSTR text) { return text ? reinterpret_cast<const char16_t *>(text) : u""; }

// A buffer NETAPI32 fills with records, freed with the object.
template <typename Record>
struct Buffer {
  LPBYTE data = nullptr;
  ~Buffer() { CHECK_EQ(NetApiBufferFree(data), kOk); }
  const Record &operator[](int i) const { return reinterpret_cast<const Record *>(data)[i]; }
};

// A job added gets the ID after the highest held; it reads back as given and is listed; deleted it is gone, and its ID
// is not given again. A stopped service deletes nothing, nor does a computer that is not NT.
CONFORMANCE_CASE(ScheduleJobsAddReadListAndDelete) {
  REQUIRE(conformance::BindNetwork(kNetwork));
  DWORD id = 0;
  CHECK_EQ(Add(WIDE("\\\\PC01"), Job(19 * kHour, WIDE("backup.cmd"), JOB_RUN_PERIODICALLY, 0x15), &id), kOk);
  CHECK_EQ(id, 8u);
  Buffer<AT_INFO> job;
  Buffer<AT_ENUM> jobs;
  REQUIRE(NetScheduleJobGetInfo(WIDE("\\\\PC01"), 8, &job.data) == kOk);
  const AT_INFO &read = job[0];
  CHECK_EQ(read.JobTime, 19 * kHour);
  CHECK_EQ(read.Flags & JOB_RUN_PERIODICALLY, JOB_RUN_PERIODICALLY);
  CHECK_EQ(static_cast<int>(read.DaysOfWeek), 0x15);
  CHECK(Text(read.Command) == u"backup.cmd");

  DWORD read_count = 0, total = 0, resume = 0;
  REQUIRE(NetScheduleJobEnum(WIDE("\\\\PC01"), &jobs.data, MAX_PREFERRED_LENGTH, &read_count, &total, &resume) == kOk);
  CHECK(read_count == 2 && total == 2);
  CHECK(jobs[0].JobId == 7 && Text(jobs[0].Command) == u"old.cmd");
  CHECK(jobs[1].JobId == 8 && Text(jobs[1].Command) == u"backup.cmd");
  Buffer<AT_ENUM> first;  // a preferred length that the first record and its command fill
  CHECK_EQ(NetScheduleJobEnum(WIDE("\\\\PC01"), &first.data, sizeof(AT_ENUM) + sizeof(u"old.cmd"), &read_count, &total,
                              &resume),
           NET_API_STATUS{ERROR_MORE_DATA});
  CHECK(read_count == 1 && total == 2 && resume == 1);

  CHECK_EQ(NetScheduleJobDel(WIDE("\\\\PC01"), 8, 8), kOk);
  CHECK_EQ(NetScheduleJobDel(WIDE("\\\\PC01"), 8, 8), kJobNotFound);
  CHECK_EQ(NetScheduleJobDel(WIDE("\\\\STOPPED01"), 1, 1), NET_API_STATUS{NERR_ServiceNotInstalled});
  CHECK_EQ(NetScheduleJobDel(WIDE("\\\\WIN95PC"), 1, 1), NET_API_STATUS{ERROR_NOT_SUPPORTED});
  CHECK_EQ(Add(WIDE("\\\\PC01"), Job(kHour, WIDE("again.cmd")), &id), kOk);
  CHECK_EQ(id, 9u);
}

// A record no service could run is refused whole, and no ID is given; a listing without its count is refused.
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
    CHECK_EQ(Add(WIDE("\\\\ADD01"), info, &id), kInvalid);
    CHECK_EQ(id, 99u);
  }
  DWORD id = 0;
  CHECK_EQ(Add(WIDE("\\\\ADD01"), Job(kHour, WIDE("ok")), &id), kOk);
  CHECK_EQ(id, 1u);
  CHECK_EQ(Add(WIDE("\\\\ADD01"), Job(kHour, WIDE("ok")), nullptr), kInvalid);
  LPBYTE none = nullptr;
  CHECK_EQ(NetScheduleJobEnum(WIDE("\\\\ADD01"), &none, MAX_PREFERRED_LENGTH, &id, nullptr, nullptr), kInvalid);
}

// The probe the program makes of a computer: its platform, its Schedule service's state; a computer that does not
// answer, a malformed name, a missing service name or arguments, an unknown control and one of a stopped service.
CONFORMANCE_CASE(ServiceAndWorkstationQueries) {
  REQUIRE(conformance::BindNetwork(kNetwork));
  Buffer<WKSTA_INFO_100> win95, local;
  Buffer<SERVICE_INFO_1> stopped, running;
  REQUIRE(NetWkstaGetInfo(WIDE("\\\\WIN95PC"), 100, &win95.data) == kOk);
  CHECK_EQ(win95[0].wki100_platform_id, 400u);
  REQUIRE(NetWkstaGetInfo(nullptr, 100, &local.data) == kOk);
  CHECK(Text(local[0].wki100_computername) == u"PC01");
  REQUIRE(NetServiceGetInfo(WIDE("\\\\STOPPED01"), WIDE("Schedule"), 1, &stopped.data) == kOk);
  CHECK_EQ(stopped[0].svci1_status & SERVICE_INSTALL_STATE, DWORD{SERVICE_UNINSTALLED});
  REQUIRE(NetServiceGetInfo(WIDE("\\\\PC01"), WIDE("Schedule"), 1, &running.data) == kOk);
  CHECK_EQ(running[0].svci1_status & SERVICE_INSTALL_STATE, DWORD{SERVICE_INSTALLED});

  LPBYTE buffer = nullptr;
  CHECK_EQ(NetServiceGetInfo(WIDE("\\\\GONE01"), WIDE("Schedule"), 1, &buffer), NET_API_STATUS{ERROR_BAD_NETPATH});
  CHECK_EQ(NetWkstaGetInfo(WIDE("\\\\PC*1"), 100, &buffer), NET_API_STATUS{ERROR_INVALID_NAME});
  CHECK_EQ(NetServiceGetInfo(WIDE("\\\\PC01"), nullptr, 1, &buffer), kInvalid);
  CHECK_EQ(NetServiceControl(WIDE("\\\\PC01"), WIDE("Schedule"), 99, 0, &buffer), kInvalid);
  CHECK_EQ(NetServiceInstall(WIDE("\\\\PC01"), WIDE("Schedule"), 1, nullptr, &buffer), kInvalid);
  CHECK_EQ(NetServiceControl(WIDE("\\\\STOPPED01"), WIDE("Schedule"), SERVICE_CTRL_PAUSE, 0, &buffer),
           NET_API_STATUS{NERR_ServiceNotInstalled});
  CHECK_EQ(NetApiBufferFree(nullptr), kOk);
}

}  // namespace
