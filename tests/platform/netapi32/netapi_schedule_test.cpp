// The Schedule service's job functions: validation, IDs, ranges, listings
// and the service's own JOB_RUNS_TODAY.
#include <lm.h>

#include <standin/call_log.h>
#include <standin/network.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "world.h"

namespace {

NET_API_STATUS Add(const AT_INFO &info, DWORD *id, LPCWSTR server = u"\\\\PC01") {
  return NetScheduleJobAdd(server, reinterpret_cast<LPBYTE>(const_cast<AT_INFO *>(&info)), id);
}

std::vector<AT_ENUM> Enumerate(LPCWSTR server = u"\\\\PC01") {
  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0, resume = 0;
  EXPECT_EQ(NetScheduleJobEnum(server, &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume),
            static_cast<NET_API_STATUS>(NERR_Success));
  EXPECT_EQ(read, total);
  std::vector<AT_ENUM> jobs;
  if (buffer != nullptr) jobs.assign(reinterpret_cast<AT_ENUM *>(buffer), reinterpret_cast<AT_ENUM *>(buffer) + read);
  NetApiBufferFree(buffer);
  return jobs;
}

TEST(NetScheduleJobAdd, AssignsIdsAfterTheHighestGivenOrHeld) {
  Network({"computer PC01", "computer FRESH"});
  const AT_INFO info = JobRecord(19 * kHour, u"backup.cmd", JOB_RUN_PERIODICALLY, 0x15);
  DWORD id = 0;
  ASSERT_EQ(Add(info, &id, u"\\\\FRESH"), static_cast<NET_API_STATUS>(NERR_Success));
  EXPECT_EQ(id, 1u);  // a service that never had a job

  ASSERT_EQ(World("job PC01 id=7 at=08:00 cmd=\"old.cmd\""), "");
  ASSERT_EQ(Add(info, &id), static_cast<NET_API_STATUS>(NERR_Success));
  EXPECT_EQ(id, 8u);
  ASSERT_EQ(NetScheduleJobDel(u"\\\\PC01", 8, 8), static_cast<NET_API_STATUS>(NERR_Success));
  ASSERT_EQ(Add(info, &id), static_cast<NET_API_STATUS>(NERR_Success));
  EXPECT_EQ(id, 9u);  // an ID once given is not given again
  EXPECT_EQ(Expect("expect job PC01 id=9 at=19:00 flags=1 dow=0x15 dom=0 cmd=\"backup.cmd\""), "");

  // Every ID given: the add fails, saying why.
  std::string told;
  standin::SetNetworkDiagnosticSink([&told](const std::string &message) { told += message; });
  ASSERT_EQ(World("service FRESH lastid=4294967295"), "");
  EXPECT_EQ(Add(info, &id, u"\\\\FRESH"), static_cast<NET_API_STATUS>(NERR_InternalError));
  standin::SetNetworkDiagnosticSink(nullptr);
  EXPECT_NE(told.find("FRESH has given out the highest job ID there is, 4294967295"), std::string::npos) << told;
}

TEST(NetScheduleJobAdd, RefusesInvalidRecordsAndAssignsNothingForThem) {
  Network({"computer PC01"});
  DWORD id = 0;
  const AT_INFO invalid[] = {
      JobRecord(24 * kHour, u"x"),             // a time of day of 24 hours
      JobRecord(kHour, u"x", 0, 0x80),         // no eighth weekday
      JobRecord(kHour, u"x", 0, 0, 1u << 31),  // no day 32
      JobRecord(kHour, u""),                   // no command
      JobRecord(kHour, nullptr),
  };
  for (const AT_INFO &info : invalid) {
    id = 99;
    EXPECT_EQ(Add(info, &id), static_cast<NET_API_STATUS>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(id, 99u);
  }
  ASSERT_EQ(Add(JobRecord(kHour, u"ok"), &id), static_cast<NET_API_STATUS>(NERR_Success));
  EXPECT_EQ(id, 1u);
  EXPECT_EQ(Add(JobRecord(kHour, u"ok"), nullptr), static_cast<NET_API_STATUS>(ERROR_INVALID_PARAMETER));
}

TEST(NetScheduleJobAdd, StoresTheSubmittersFlagsAndTurnsAddCurrentDateIntoToday) {
  Network({"computer PC01", "clock 2026-12-07 09:00"});
  DWORD id = 0;
  ASSERT_EQ(Add(JobRecord(kHour, u"x", JOB_ADD_CURRENT_DATE | JOB_NONINTERACTIVE | JOB_EXEC_ERROR), &id),
            static_cast<NET_API_STATUS>(NERR_Success));
  const auto job = standin::FindJob("PC01", id);
  ASSERT_TRUE(job.has_value());
  EXPECT_EQ(job->flags, JOB_NONINTERACTIVE);
  EXPECT_EQ(job->days_of_month, 1u << 6);  // the 7th
}

TEST(NetScheduleJobDel, DeletesARangeAndAnswers3806WhenItHoldsNoJob) {
  Network({"computer PC01", "job PC01 id=2 at=01:00 cmd=\"a\"", "job PC01 id=4 at=01:00 cmd=\"b\"",
           "job PC01 id=6 at=01:00 cmd=\"c\""});
  EXPECT_EQ(NetScheduleJobDel(u"\\\\PC01", 3, 3), static_cast<NET_API_STATUS>(APE_AT_ID_NOT_FOUND));
  EXPECT_EQ(NetScheduleJobDel(u"\\\\PC01", 5, 3), static_cast<NET_API_STATUS>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(NetScheduleJobDel(u"\\\\PC01", 1, 4), static_cast<NET_API_STATUS>(NERR_Success));
  EXPECT_EQ(Expect("expect jobs PC01 1"), "");
  EXPECT_EQ(Expect("expect nojob PC01 id=4"), "");
  EXPECT_EQ(Expect("expect job PC01 id=6 cmd=\"c\""), "");
}

TEST(NetScheduleJobEnum, ListsAllJobsInIdOrderWithTheServicesRunsTodayFlag) {
  // Monday 2026-12-07, 09:00.
  Network({"computer PC01", "job PC01 id=5 at=10:00 cmd=\"later today\"", "job PC01 id=2 at=08:00 cmd=\"passed\"",
           "job PC01 id=9 at=09:00 cmd=\"exactly now\"", "job PC01 id=3 at=12:00 flags=1 dow=0x01 cmd=\"mondays\"",
           "job PC01 id=4 at=12:00 flags=1 dow=0x02 cmd=\"tuesdays\"", "job PC01 id=6 at=12:00 dom=0x40 cmd=\"7th\""});
  const auto jobs = Enumerate();
  ASSERT_EQ(jobs.size(), 6u);
  std::vector<DWORD> ids;
  for (const auto &job : jobs) ids.push_back(job.JobId);
  EXPECT_EQ(ids, (std::vector<DWORD>{2, 3, 4, 5, 6, 9}));
  auto flags_of = [&](DWORD id) {
    return std::find_if(jobs.begin(), jobs.end(), [&](const AT_ENUM &j) { return j.JobId == id; })->Flags;
  };
  EXPECT_EQ(flags_of(2), 0);
  EXPECT_EQ(flags_of(3), JOB_RUN_PERIODICALLY | JOB_RUNS_TODAY);
  EXPECT_EQ(flags_of(4), JOB_RUN_PERIODICALLY);
  EXPECT_EQ(flags_of(5), JOB_RUNS_TODAY);
  EXPECT_EQ(flags_of(6), JOB_RUNS_TODAY);
  EXPECT_EQ(flags_of(9), 0);  // not later than the clock
  // The stored record keeps the submitter's flags.
  EXPECT_EQ(Expect("expect job PC01 id=5 flags=0"), "");
}

TEST(NetScheduleJobEnum, ReturnsRecordsAndCommandsInOneBuffer) {
  Network({"computer PC01", "job PC01 id=1 at=01:00 cmd=\"first\"", "job PC01 id=2 at=02:00 cmd=\"コマンド\""});
  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0, resume = 0;
  ASSERT_EQ(NetScheduleJobEnum(u"\\\\PC01", &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume),
            static_cast<NET_API_STATUS>(NERR_Success));
  ASSERT_EQ(read, 2u);
  EXPECT_EQ(standin::OutstandingNetBuffers(), 1u);
  const auto *jobs = reinterpret_cast<AT_ENUM *>(buffer);
  const auto *records_end = reinterpret_cast<const unsigned char *>(jobs + 2);
  for (int i = 0; i < 2; ++i) EXPECT_GE(reinterpret_cast<const unsigned char *>(jobs[i].Command), records_end);
  EXPECT_EQ(std::u16string(jobs[1].Command), u"コマンド");
  NetApiBufferFree(buffer);
  EXPECT_EQ(standin::OutstandingNetBuffers(), 0u);

  // A small preferred length pages with the resume handle.
  ASSERT_EQ(NetScheduleJobEnum(u"\\\\PC01", &buffer, sizeof(AT_ENUM) + 20, &read, &total, &resume),
            static_cast<NET_API_STATUS>(ERROR_MORE_DATA));
  EXPECT_EQ(read, 1u);
  EXPECT_EQ(total, 2u);
  NetApiBufferFree(buffer);
  ASSERT_EQ(NetScheduleJobEnum(u"\\\\PC01", &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume),
            static_cast<NET_API_STATUS>(NERR_Success));
  EXPECT_EQ(read, 1u);
  EXPECT_EQ(reinterpret_cast<AT_ENUM *>(buffer)[0].JobId, 2u);
  NetApiBufferFree(buffer);
}

TEST(NetScheduleJobGetInfo, ReturnsOneJobOr2ForAnUnknownId) {
  Network({"computer PC01", "job PC01 id=3 at=19:00:30.250 flags=1 dow=0x15 dom=0x4001 cmd=\"backup.cmd\""});
  LPBYTE buffer = nullptr;
  EXPECT_EQ(NetScheduleJobGetInfo(u"\\\\PC01", 4, &buffer), static_cast<NET_API_STATUS>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(buffer, nullptr);
  ASSERT_EQ(NetScheduleJobGetInfo(u"\\\\PC01", 3, &buffer), static_cast<NET_API_STATUS>(NERR_Success));
  const auto *info = reinterpret_cast<AT_INFO *>(buffer);
  EXPECT_EQ(info->JobTime, 19 * kHour + 30250u);
  EXPECT_EQ(info->DaysOfMonth, 0x4001u);
  EXPECT_EQ(info->DaysOfWeek, 0x15);
  EXPECT_EQ(info->Flags, JOB_RUN_PERIODICALLY | JOB_RUNS_TODAY);  // Monday, later today
  EXPECT_EQ(std::u16string(info->Command), u"backup.cmd");
  NetApiBufferFree(buffer);
}

TEST(NetScheduleJobEnum, ListsTenThousandJobsWellUnderAMillisecondOrTwo) {
  Network({"computer PC01"});
  for (int i = 1; i <= 10000; ++i) {
    AT_INFO info = JobRecord(static_cast<DWORD>(i % 24) * kHour, u"C:\\jobs\\nightly-backup.cmd /all", 1, 0x1F);
    DWORD id = 0;
    ASSERT_EQ(Add(info, &id), static_cast<NET_API_STATUS>(NERR_Success));
  }
  standin::SetCallRecording(false);
  std::vector<double> runs;
  for (int run = 0; run < 21; ++run) {
    LPBYTE buffer = nullptr;
    DWORD read = 0, total = 0, resume = 0;
    const auto start = std::chrono::steady_clock::now();
    const NET_API_STATUS status =
        NetScheduleJobEnum(u"\\\\PC01", &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume);
    const auto end = std::chrono::steady_clock::now();
    NetApiBufferFree(buffer);
    ASSERT_EQ(status, static_cast<NET_API_STATUS>(NERR_Success));
    ASSERT_EQ(read, 10000u);
    runs.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  standin::SetCallRecording(true);
  std::sort(runs.begin(), runs.end());
  RecordProperty("median_ms", std::to_string(runs[runs.size() / 2]));
  std::printf("enumerating 10000 jobs: median %.3f ms\n", runs[runs.size() / 2]);
#ifdef __OPTIMIZE__
  EXPECT_LT(runs[runs.size() / 2], 2.0);
#else
  EXPECT_LT(runs[runs.size() / 2], 20.0);  // unoptimised and sanitizer builds
#endif
}

}  // namespace
