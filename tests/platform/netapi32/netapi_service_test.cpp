// Server names, buffers and planned faults. (The service functions' states,
// pending queries, refusals and the platform check are played by the
// scenarios service_*, list_* and computer_rejections.)
#include <lm.h>

#include <standin/network.h>
#include <standin/text.h>

#include <gtest/gtest.h>

#include "world.h"

namespace {

NET_API_STATUS QueryStatus(LPCWSTR server) {
  LPBYTE buffer = nullptr;
  const NET_API_STATUS status = NetServiceGetInfo(server, u"Schedule", 1, &buffer);
  NetApiBufferFree(buffer);
  return status;
}

TEST(ServerNames, MalformedNamesGive123AndUnknownOrUnreachableComputers53) {
  Network({"computer PC01", "computer FAR unreachable"});
  LPBYTE buffer = nullptr;
  struct Case {
    const WCHAR *server;
    NET_API_STATUS expected;
  } cases[] = {
      {u"\\\\", ERROR_INVALID_NAME},
      {u"\\\\PC*1", ERROR_INVALID_NAME},
      {u"\\\\\\PC01", ERROR_INVALID_NAME},
      {u"\\\\ABCDEFGHIJKLMNOP", ERROR_INVALID_NAME},  // 16 characters
      {u"\\\\PC02", ERROR_BAD_NETPATH},
      {u"\\\\FAR", ERROR_BAD_NETPATH},
      {u"\\\\pc01", NERR_Success},  // names ignore case
      {nullptr, NERR_Success},      // the local computer
  };
  for (const Case &c : cases) {
    EXPECT_EQ(NetWkstaGetInfo(const_cast<LMSTR>(c.server), 100, &buffer), c.expected)
        << (c.server ? standin::Utf16ToUtf8(c.server) : "(null)");
    NetApiBufferFree(buffer);
  }
  EXPECT_EQ(NetWkstaGetInfo(const_cast<LMSTR>(u"\\\\PC01"), 101, &buffer),
            static_cast<NET_API_STATUS>(ERROR_INVALID_LEVEL));
  EXPECT_EQ(standin::OutstandingNetBuffers(), 0u);
}

TEST(NetApiBufferFree, EveryReturnedBufferIsCountedUntilReleased) {
  Network({"computer PC01"});
  LPBYTE first = nullptr, second = nullptr;
  ASSERT_EQ(NetWkstaGetInfo(nullptr, 100, &first), static_cast<NET_API_STATUS>(NERR_Success));
  ASSERT_EQ(NetServiceGetInfo(nullptr, u"Schedule", 1, &second), static_cast<NET_API_STATUS>(NERR_Success));
  EXPECT_EQ(standin::OutstandingNetBuffers(), 2u);
  EXPECT_EQ(NetApiBufferFree(first), static_cast<NET_API_STATUS>(NERR_Success));
  EXPECT_EQ(standin::OutstandingNetBuffers(), 1u);
  // Freeing twice, or a pointer never handed out, corrupts the platform's
  // heap: the run ends, naming the call.
  EXPECT_DEATH(NetApiBufferFree(first), "program fault: NetApiBufferFree");
  int local = 0;
  EXPECT_DEATH(NetApiBufferFree(&local), "program fault: NetApiBufferFree");
  EXPECT_EQ(NetApiBufferFree(nullptr), static_cast<NET_API_STATUS>(NERR_Success));
  NetApiBufferFree(second);
  EXPECT_EQ(standin::OutstandingNetBuffers(), 0u);
}

// times=N and after=K, which no scenario uses yet; a failed call changes nothing.
TEST(Faults, APlannedFaultFailsTheNextCallsOfOneFunctionAndDoesNothing) {
  Network({"computer PC01", "fail PC01 NetServiceGetInfo 5 times=2", "fail pc01 NetScheduleJobAdd 1722",
           "fail PC01 NetScheduleJobDel 51 after=1"});
  EXPECT_EQ(QueryStatus(u"\\\\PC01"), 5u);
  EXPECT_EQ(QueryStatus(u"\\\\PC01"), 5u);
  EXPECT_EQ(QueryStatus(u"\\\\PC01"), static_cast<NET_API_STATUS>(NERR_Success));

  AT_INFO info = JobRecord(kHour, u"x.cmd");
  DWORD id = 77;
  EXPECT_EQ(NetScheduleJobAdd(u"\\\\PC01", reinterpret_cast<LPBYTE>(&info), &id), 1722u);
  EXPECT_EQ(id, 77u);
  EXPECT_EQ(Expect("expect jobs PC01 0"), "");
  EXPECT_EQ(standin::OutstandingNetBuffers(), 0u);

  EXPECT_EQ(NetScheduleJobDel(u"\\\\PC01", 3, 3), static_cast<NET_API_STATUS>(APE_AT_ID_NOT_FOUND));
  EXPECT_EQ(NetScheduleJobDel(u"\\\\PC01", 3, 3), 51u);
  EXPECT_EQ(NetScheduleJobDel(u"\\\\PC01", 3, 3), static_cast<NET_API_STATUS>(APE_AT_ID_NOT_FOUND));
}

}  // namespace
