// Server names, NetWkstaGetInfo, the service functions, buffers and faults.
#include <lm.h>

#include <standin/network.h>
#include <standin/text.h>

#include <gtest/gtest.h>

#include "world.h"

namespace {

DWORD QueryStatus(LPCWSTR server, NET_API_STATUS *result = nullptr) {
  LPBYTE buffer = nullptr;
  const NET_API_STATUS status = NetServiceGetInfo(server, u"Schedule", 1, &buffer);
  if (result != nullptr) *result = status;
  if (status != NERR_Success) return 0xFFFFFFFF;
  const DWORD word = reinterpret_cast<SERVICE_INFO_1 *>(buffer)->svci1_status;
  EXPECT_EQ(NetApiBufferFree(buffer), static_cast<NET_API_STATUS>(NERR_Success));
  return word;
}

NET_API_STATUS Start(LPCWSTR server) {
  LPBYTE buffer = nullptr;
  const NET_API_STATUS status = NetServiceInstall(server, u"Schedule", 0, nullptr, &buffer);
  NetApiBufferFree(buffer);
  return status;
}

NET_API_STATUS Continue(LPCWSTR server) {
  LPBYTE buffer = nullptr;
  const NET_API_STATUS status = NetServiceControl(server, u"Schedule", SERVICE_CTRL_CONTINUE, 0, &buffer);
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
  EXPECT_EQ(standin::OutstandingNetBuffers(), 0u);
}

TEST(NetWkstaGetInfo, ReportsThePlatformAndOnlyNtAnswersTheServiceFunctions) {
  Network({"computer PC01", "computer OLD95 platform=400"});
  LPBYTE buffer = nullptr;
  ASSERT_EQ(NetWkstaGetInfo(const_cast<LMSTR>(u"\\\\OLD95"), 100, &buffer), static_cast<NET_API_STATUS>(NERR_Success));
  const auto *info = reinterpret_cast<WKSTA_INFO_100 *>(buffer);
  EXPECT_EQ(info->wki100_platform_id, 400u);
  EXPECT_EQ(std::u16string(info->wki100_computername), u"OLD95");
  NetApiBufferFree(buffer);

  EXPECT_EQ(NetWkstaGetInfo(const_cast<LMSTR>(u"\\\\PC01"), 101, &buffer),
            static_cast<NET_API_STATUS>(ERROR_INVALID_LEVEL));
  NET_API_STATUS result = 0;
  QueryStatus(u"\\\\OLD95", &result);
  EXPECT_EQ(result, static_cast<NET_API_STATUS>(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(NetScheduleJobDel(u"\\\\OLD95", 1, 1), static_cast<NET_API_STATUS>(ERROR_NOT_SUPPORTED));
}

TEST(NetServiceGetInfo, ReportsTheStatusWordsAndRefusesOtherServices) {
  Network(
      {"computer RUN", "computer STOP service=stopped", "computer PAUSE service=paused", "computer ODD service=0x13"});
  EXPECT_EQ(QueryStatus(u"\\\\RUN"), 0x33u);
  EXPECT_EQ(QueryStatus(u"\\\\STOP"), 0x00u);
  EXPECT_EQ(QueryStatus(u"\\\\PAUSE"), 0x3Fu);
  EXPECT_EQ(QueryStatus(u"\\\\ODD"), 0x13u);
  LPBYTE buffer = nullptr;
  EXPECT_EQ(NetServiceGetInfo(u"\\\\RUN", u"Spooler", 1, &buffer), static_cast<NET_API_STATUS>(NERR_BadServiceName));
  EXPECT_EQ(NetServiceGetInfo(u"\\\\RUN", u"schedule", 1, &buffer), static_cast<NET_API_STATUS>(NERR_Success));
  NetApiBufferFree(buffer);
  EXPECT_EQ(NetServiceGetInfo(u"\\\\RUN", u"Schedule", 3, &buffer), static_cast<NET_API_STATUS>(ERROR_INVALID_LEVEL));
}

TEST(NetServiceInstall, StartsAStoppedServiceThroughItsPendingQueries) {
  Network({"computer PC01 service=stopped", "service PC01 pending=2"});
  EXPECT_EQ(Start(u"\\\\PC01"), static_cast<NET_API_STATUS>(NERR_Success));
  EXPECT_EQ(QueryStatus(u"\\\\PC01"), static_cast<DWORD>(SERVICE_INSTALL_PENDING));
  EXPECT_EQ(QueryStatus(u"\\\\PC01"), static_cast<DWORD>(SERVICE_INSTALL_PENDING));
  EXPECT_EQ(QueryStatus(u"\\\\PC01"), 0x33u);
  EXPECT_EQ(Expect("expect service PC01 running"), "");
  // Starting it again is refused as the platform refuses it.
  EXPECT_EQ(Start(u"\\\\PC01"), static_cast<NET_API_STATUS>(NERR_ServiceInstalled));
}

TEST(NetServiceInstall, AFailingStartLeavesTheServiceStopped) {
  Network({"computer PC01 service=stopped", "service PC01 start=1058"});
  EXPECT_EQ(Start(u"\\\\PC01"), 1058u);
  EXPECT_EQ(QueryStatus(u"\\\\PC01"), 0u);
  // Scheduling calls need the running service.
  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0, resume = 0;
  EXPECT_EQ(NetScheduleJobEnum(u"\\\\PC01", &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume),
            static_cast<NET_API_STATUS>(NERR_ServiceNotInstalled));
}

TEST(NetServiceControl, ContinuesOnlyAPausedService) {
  Network({"computer PAUSE service=paused", "service PAUSE pending=1", "computer RUN", "computer STOP service=stopped",
           "computer BROKEN service=paused", "service BROKEN continue=1061"});
  EXPECT_EQ(Continue(u"\\\\PAUSE"), static_cast<NET_API_STATUS>(NERR_Success));
  EXPECT_EQ(QueryStatus(u"\\\\PAUSE"), 0x37u);  // continue pending
  EXPECT_EQ(QueryStatus(u"\\\\PAUSE"), 0x33u);
  EXPECT_EQ(Continue(u"\\\\RUN"), static_cast<NET_API_STATUS>(NERR_ServiceCtlNotValid));
  EXPECT_EQ(Continue(u"\\\\STOP"), static_cast<NET_API_STATUS>(NERR_ServiceNotInstalled));
  EXPECT_EQ(Continue(u"\\\\BROKEN"), 1061u);
  EXPECT_EQ(Expect("expect service BROKEN paused"), "");
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

TEST(Faults, APlannedFaultFailsTheNextCallsOfOneFunctionAndDoesNothing) {
  Network({"computer PC01", "fail PC01 NetServiceGetInfo 5 times=2", "fail pc01 NetScheduleJobAdd 1722",
           "fail PC01 NetScheduleJobDel 51 after=1"});
  NET_API_STATUS result = 0;
  QueryStatus(u"\\\\PC01", &result);
  EXPECT_EQ(result, 5u);
  QueryStatus(u"\\\\PC01", &result);
  EXPECT_EQ(result, 5u);
  EXPECT_EQ(QueryStatus(u"\\\\PC01", &result), 0x33u);

  AT_INFO info = JobRecord(kHour, u"x.cmd");
  DWORD id = 77;
  EXPECT_EQ(NetScheduleJobAdd(u"\\\\PC01", reinterpret_cast<LPBYTE>(&info), &id), 1722u);
  EXPECT_EQ(id, 77u);
  EXPECT_EQ(Expect("expect jobs PC01 0"), "");
  EXPECT_EQ(standin::OutstandingNetBuffers(), 0u);

  // after=K lets K calls behave before the failing one.
  EXPECT_EQ(NetScheduleJobDel(u"\\\\PC01", 3, 3), static_cast<NET_API_STATUS>(APE_AT_ID_NOT_FOUND));
  EXPECT_EQ(NetScheduleJobDel(u"\\\\PC01", 3, 3), 51u);
  EXPECT_EQ(NetScheduleJobDel(u"\\\\PC01", 3, 3), static_cast<NET_API_STATUS>(APE_AT_ID_NOT_FOUND));
}

}  // namespace
