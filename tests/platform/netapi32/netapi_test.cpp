// SPDX-License-Identifier: GPL-3.0-or-later
// The NETAPI32 functions where the program cannot reach them: server names, buffers, planned faults, job IDs and
// records no editor sends; and the world statements and expectations of the scenarios. (Service states, pending queries
// and refusals, the platform check, listings and their buffers, and single jobs are played by the scenarios service_*,
// computer_selection, list_*, add_records, editor_modify_start_states, delete_and_signed_messages and the runner's
// buffers_held and double_free.)
#include <lm.h>

#include <standin/call_log.h>
#include <standin/network.h>
#include <standin/text.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <tuple>

#include "world.h"

namespace {

NET_API_STATUS QueryStatus(LPCWSTR server) {
  LPBYTE buffer = nullptr;
  const NET_API_STATUS status = NetServiceGetInfo(server, u"Schedule", 1, &buffer);
  NetApiBufferFree(buffer);
  return status;
}

TEST(ServerNames, MalformedNamesGive123) {
  Network({"computer PC01"});  // (empty, unknown and unreachable ones: computer_selection)
  LPBYTE buffer = nullptr;
  char live[] = "/tmp/velmora-live-XXXXXX";  // the calls, as a watcher in another process reads them
  close(mkstemp(live));
  setenv("VELMORA_LIVE_CALL_LOG", live, 1);
  // (A null name is the local computer.)
  for (const auto &[server, expected] : {std::pair<const WCHAR *, NET_API_STATUS>{u"\\\\PC\t1", ERROR_INVALID_NAME},
                                         {u"\\\\\\PC01", ERROR_INVALID_NAME},
                                         {nullptr, NERR_Success}}) {
    EXPECT_EQ(NetWkstaGetInfo(const_cast<LMSTR>(server), 100, &buffer), expected)
        << (server ? standin::Utf16ToUtf8(server) : "(null)");
    NetApiBufferFree(buffer);
  }
  unsetenv("VELMORA_LIVE_CALL_LOG");
  std::ifstream log(live);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(log), {}),
            "NetWkstaGetInfo\nNetApiBufferFree\nNetWkstaGetInfo\nNetApiBufferFree\nNetWkstaGetInfo\nbuffers 1\n"
            "NetApiBufferFree\nbuffers 0\n");
  unlink(live);
}

// A pointer never handed out corrupts the platform's heap: the run ends, naming the call.
TEST(NetApiBufferFree, ForeignPointersEndTheRunAndNullIsAccepted) {
  int local = 0;
  EXPECT_DEATH(NetApiBufferFree(&local), "program fault: NetApiBufferFree");
  EXPECT_EQ(NetApiBufferFree(nullptr), kSuccess);
}

// times=N and after=K, which no scenario uses yet; a failed call changes nothing.
TEST(Faults, APlannedFaultFailsTheNextCallsOfOneFunctionAndDoesNothing) {
  Network({"computer PC01", "fail PC01 NetServiceGetInfo 5 times=2", "fail pc01 NetScheduleJobAdd 1722"});
  EXPECT_EQ(QueryStatus(u"\\\\PC01"), 5u);
  EXPECT_EQ(QueryStatus(u"\\\\PC01"), 5u);
  EXPECT_EQ(QueryStatus(u"\\\\PC01"), kSuccess);

  DWORD id = 77;
  EXPECT_EQ(Add(JobRecord(kHour, u"x.cmd"), &id), 1722u);
  EXPECT_EQ(id, 77u);
  EXPECT_TRUE(standin::JobsOf("PC01").empty());
  EXPECT_EQ(standin::OutstandingNetBuffers(), 0u);

  // Planned in a file of their own, as for a program in another process, the counts go on from call to call.
  char plans[] = "/tmp/velmora-faults-XXXXXX";
  close(mkstemp(plans));
  setenv("VELMORA_FAULT_FILE", plans, 1);
  ASSERT_EQ(World("fail PC01 NetScheduleJobDel 51 after=1"), "");
  EXPECT_EQ(NetScheduleJobDel(u"\\\\PC01", 3, 3), static_cast<NET_API_STATUS>(APE_AT_ID_NOT_FOUND));
  EXPECT_EQ(NetScheduleJobDel(u"\\\\PC01", 3, 3), 51u);
  EXPECT_EQ(NetScheduleJobDel(u"\\\\PC01", 3, 3), static_cast<NET_API_STATUS>(APE_AT_ID_NOT_FOUND));
  unsetenv("VELMORA_FAULT_FILE");
  unlink(plans);
}

TEST(NetScheduleJobAdd, AssignsIdsAfterTheHighestGivenOrHeldUntilNoneIsLeft) {
  Network({"computer PC01", "computer FRESH"});
  const AT_INFO info = JobRecord(19 * kHour, u"backup.cmd", JOB_RUN_PERIODICALLY, 0x15);
  DWORD id = 0;
  ASSERT_EQ(Add(info, &id, u"\\\\FRESH"), kSuccess);
  EXPECT_EQ(id, 1u);  // a service that never had a job
  EXPECT_EQ(standin::RecordedCalls().back().args, "time=68400000 dom=0x0 dow=0x15 flags=0x1 cmd=\"backup.cmd\"");

  ASSERT_EQ(World("job PC01 id=7 at=08:00 cmd=\"old.cmd\""), "");
  ASSERT_EQ(Add(info, &id), kSuccess);
  EXPECT_EQ(id, 8u);
  ASSERT_EQ(NetScheduleJobDel(u"\\\\PC01", 8, 8), kSuccess);
  ASSERT_EQ(Add(info, &id), kSuccess);
  EXPECT_EQ(id, 9u);  // an ID once given is not given again
  const standin::StoredJob stored = standin::FindJob("PC01", 9).value_or(standin::StoredJob{});
  EXPECT_EQ(std::tie(stored.job_time, stored.flags, stored.days_of_week, stored.command),
            std::make_tuple(19 * kHour, JOB_RUN_PERIODICALLY, 0x15, std::u16string(u"backup.cmd")));

  // Every ID given: the add fails, saying why.
  std::string told;
  standin::SetNetworkDiagnosticSink([&told](const std::string &message) { told += message; });
  ASSERT_EQ(World("service FRESH lastid=4294967295"), "");
  EXPECT_EQ(Add(info, &id, u"\\\\FRESH"), kInternalError);
  standin::SetNetworkDiagnosticSink(nullptr);
  EXPECT_NE(told.find("FRESH has given out the highest job ID there is, 4294967295"), std::string::npos) << told;
}

// The service marks the jobs that run later today, by a weekday (Monday is
// bit 0) or a date, and no others; a job that is not there is no file.
TEST(NetScheduleJobGetInfo, MarksTheJobsThatRunLaterToday) {
  Network({"clock 2026-06-01 10:00", "computer PC01",  // a Monday, the 1st
           "job PC01 id=1 at=20:00 flags=1 dow=0x01 cmd=\"monday\"",
           "job PC01 id=2 at=20:00 flags=1 dow=0x02 cmd=\"tuesday\"", "job PC01 id=3 at=20:00 dom=0x01 cmd=\"1st\"",
           "job PC01 id=4 at=09:00 dow=0x01 cmd=\"passed\""});
  for (const auto &[id, today] : {std::pair{1u, true}, {2u, false}, {3u, true}, {4u, false}}) {
    LPBYTE buffer = nullptr;
    ASSERT_EQ(NetScheduleJobGetInfo(u"\\\\PC01", id, &buffer), kSuccess);
    EXPECT_EQ((reinterpret_cast<AT_INFO *>(buffer)->Flags & JOB_RUNS_TODAY) != 0, today) << "job " << id;
    NetApiBufferFree(buffer);
  }
  LPBYTE none = nullptr;
  EXPECT_EQ(NetScheduleJobGetInfo(u"\\\\PC01", 5, &none), static_cast<NET_API_STATUS>(ERROR_FILE_NOT_FOUND));
}

// World statements as the scenario runner uses them.
TEST(WorldStatements, FaultyStatementsSayWhatIsWrong) {
  Network({"computer PC01"});
  EXPECT_EQ(World("computer PC01"), "computer PC01 is described twice");
  EXPECT_EQ(World("job PC09 id=1 at=01:00 cmd=\"x\""), "no computer PC09 is described before this line");
  EXPECT_EQ(World("job PC01 id=1 at=01:00 cmd=\"x\""), "");
  EXPECT_EQ(World("job PC01 id=1 at=02:00 cmd=\"y\""), "job 1 already exists on PC01");
  EXPECT_EQ(World("remove PC01 id=2"), "no job 2 on PC01");
  EXPECT_EQ(World("job PC01 id=3 time=4294967296 cmd=\"x\""), "time=4294967296 is not a number from 0 to 4294967295");
  EXPECT_EQ(World("job PC01 id=3 at=01:00.500 cmd=\"x\""), "at=01:00.500 is not a time of day HH:MM[:SS[.mmm]]");
  EXPECT_EQ(World("clock 2026-10-31 24:00"), "24:00 is not a time HH:MM[:SS]");  // (31 October is a day)
  EXPECT_EQ(World("clock 1600-12-31 10:00"), "1600-12-31 is not a date YYYY-MM-DD");
  EXPECT_EQ(World("computer ABCDEFGHIJKLMNOP"), "\"ABCDEFGHIJKLMNOP\" is not a valid computer name");  // 16 bytes
  EXPECT_EQ(World("fail PC01 NetBogus 5"), "NetBogus is not a network function of the stand-in");
  EXPECT_EQ(World("fail PC01 NetServiceGetInfo x"), "x is not a result code");
  EXPECT_EQ(World("fail PC01 f=NetServiceGetInfo 5"), "usage: fail NAME FUNCTION CODE [times=N] [after=K]");
}

// (The form checked before a run is played by the runner's world_form_after_start and service_setting_after_start;
// state lines by list_refresh; the clock by add_records and list_rows.)

}  // namespace
