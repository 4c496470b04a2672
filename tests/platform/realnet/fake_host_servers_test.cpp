// The fake host as a server: listings of every size across the reply's
// fragments, and a host that refuses ATSvc as Windows 8 and later do.
#include <lm.h>

#include <standin/network.h>
#include <standin/text.h>

#include <gtest/gtest.h>

#include <string>

#include "fake_host.h"

namespace {

void OpenNetworkOn(const FakeHost &host, const std::string &rest) {
  ASSERT_NE(host.port(), 0u) << "the fake host did not start";
  FakeHost::WriteFile(host.network(), "credentials " + host.credentials() +
                                          "\nclock 2026-12-07 09:00\ncomputer PC01 real address=127.0.0.1 port=" +
                                          std::to_string(host.port()) + " privacy=none timeout=5\n" + rest);
  ASSERT_EQ(standin::OpenNetworkFile(host.network()), "");
}

std::string JobLines(int count) {
  std::string text;
  for (int id = 1; id <= count; ++id)
    text += "job PC01 id=" + std::to_string(id) + " at=19:00 cmd=\"backup job " + std::to_string(id) + ".cmd\"\n";
  return text;
}

// 64 jobs fit one fragment of 4,280 bytes and 65 do not; 1,000 need more
// than 64 KiB, the largest length one fragment can carry.
TEST(FakeHostServer, ListingsOfEverySizeArriveWholeWithOrWithoutAResumeHandle) {
  FakeHost host;
  for (int count : {0, 1, 64, 65, 100, 300, 1000}) {
    OpenNetworkOn(host, JobLines(count));
    for (bool with_resume : {true, false}) {
      LPBYTE buffer = nullptr;
      DWORD read = 0, total = 0, resume = 0;
      EXPECT_EQ(
          NetScheduleJobEnum(u"PC01", &buffer, MAX_PREFERRED_LENGTH, &read, &total, with_resume ? &resume : nullptr),
          static_cast<NET_API_STATUS>(NERR_Success))
          << count << " jobs, resume handle " << with_resume;
      EXPECT_EQ(read, static_cast<DWORD>(count));
      EXPECT_EQ(total, static_cast<DWORD>(count));
      if (count > 0 && read == static_cast<DWORD>(count)) {
        const AT_ENUM &last = reinterpret_cast<AT_ENUM *>(buffer)[count - 1];
        EXPECT_EQ(last.JobId, static_cast<DWORD>(count));
        EXPECT_EQ(std::u16string(last.Command), u"backup job " + standin::Utf8ToUtf16(std::to_string(count)) + u".cmd");
      }
      NetApiBufferFree(buffer);
    }
  }
  // A short preferred length is served page by page.
  OpenNetworkOn(host, JobLines(300));
  DWORD resume = 0, seen = 0;
  NET_API_STATUS status;
  do {
    LPBYTE buffer = nullptr;
    DWORD read = 0, total = 0;
    status = NetScheduleJobEnum(u"PC01", &buffer, 2000, &read, &total, &resume);
    if (read > 0) {
      EXPECT_EQ(reinterpret_cast<AT_ENUM *>(buffer)[0].JobId, seen + 1);
    }
    seen += read;
    NetApiBufferFree(buffer);
  } while (status == ERROR_MORE_DATA && seen < 300);
  EXPECT_EQ(status, static_cast<NET_API_STATUS>(NERR_Success));
  EXPECT_EQ(seen, 300u);
}

// Windows 8 and later without EnableAt bind ATSvc but answer its calls with
// ERROR_NOT_SUPPORTED; the service controller and workstation still answer.
TEST(FakeHostServer, AHostThatRefusesAtsvcStillAnswersServiceAndWorkstationCalls) {
  FakeHost host({"--refuse-atsvc"});
  OpenNetworkOn(host, JobLines(2));
  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0, resume = 0;
  EXPECT_EQ(NetScheduleJobEnum(u"PC01", &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume),
            static_cast<NET_API_STATUS>(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(NetScheduleJobDel(u"PC01", 1, 1), static_cast<NET_API_STATUS>(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(standin::JobsOf("PC01").size(), 2u);

  EXPECT_EQ(NetServiceGetInfo(u"PC01", u"Schedule", 1, &buffer), static_cast<NET_API_STATUS>(NERR_Success));
  NetApiBufferFree(buffer);
  EXPECT_EQ(NetWkstaGetInfo(const_cast<LMSTR>(u"PC01"), 100, &buffer), static_cast<NET_API_STATUS>(NERR_Success));
  NetApiBufferFree(buffer);
}

}  // namespace
