// The Schedule service's job functions where the program cannot reach them:
// IDs, records no editor sends, ranges and paged listings. (Listings, their
// JOB_RUNS_TODAY and single jobs are played by the scenarios list_rows,
// add_today_by_the_minute and modify_*.)
#include <lm.h>

#include <standin/network.h>

#include <gtest/gtest.h>

#include "world.h"

namespace {

NET_API_STATUS Add(const AT_INFO &info, DWORD *id, LPCWSTR server = u"\\\\PC01") {
  return NetScheduleJobAdd(server, reinterpret_cast<LPBYTE>(const_cast<AT_INFO *>(&info)), id);
}

TEST(NetScheduleJobAdd, AssignsIdsAfterTheHighestGivenOrHeldUntilNoneIsLeft) {
  Network({"computer PC01", "computer FRESH", "clock 2026-12-07 09:00"});
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

  // The submitter's flags but JOB_ADD_CURRENT_DATE are stored; that one
  // becomes today's day of the month.
  ASSERT_EQ(Add(JobRecord(kHour, u"x", JOB_ADD_CURRENT_DATE | JOB_NONINTERACTIVE | JOB_EXEC_ERROR), &id),
            static_cast<NET_API_STATUS>(NERR_Success));
  EXPECT_EQ(Expect("expect job PC01 id=10 flags=0x10 dom=0x40"), "");

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

TEST(NetScheduleJobDel, DeletesARangeAndAnswers3806WhenItHoldsNoJob) {
  Network({"computer PC01", "job PC01 id=2 at=01:00 cmd=\"a\"", "job PC01 id=4 at=01:00 cmd=\"b\"",
           "job PC01 id=6 at=01:00 cmd=\"c\""});
  EXPECT_EQ(NetScheduleJobDel(u"\\\\PC01", 3, 3), static_cast<NET_API_STATUS>(APE_AT_ID_NOT_FOUND));
  EXPECT_EQ(NetScheduleJobDel(u"\\\\PC01", 5, 3), static_cast<NET_API_STATUS>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(NetScheduleJobDel(u"\\\\PC01", 1, 4), static_cast<NET_API_STATUS>(NERR_Success));
  EXPECT_EQ(Expect("expect jobs PC01 1"), "");
  EXPECT_EQ(Expect("expect job PC01 id=6 cmd=\"c\""), "");
}

TEST(NetScheduleJobEnum, ReturnsRecordsAndCommandsInOneBufferAndPages) {
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
  EXPECT_EQ(standin::OutstandingNetBuffers(), 0u);
}

}  // namespace
