// Per-call latency of the real backend against the fake host: listing 1,000
// jobs, adding, deleting, and a status query. Run by hand:
//   build/linux/tests/platform/realnet/realnet_latency_benchmark
#include <lm.h>

#include <standin/network.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include <remote_host.h>

#include "fake_host.h"

namespace {

double MillisecondsPerCall(int calls, const std::function<void(int)> &call) {
  const auto began = std::chrono::steady_clock::now();
  for (int i = 0; i < calls; ++i) call(i);
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began).count() / calls;
}

}  // namespace

int main() {
  FakeHost host;
  if (host.port() == 0) {
    std::fprintf(stderr, "the fake host did not start\n");
    return 1;
  }
  std::string text = "credentials " + host.credentials() +
                     "\ncomputer PC01 real address=127.0.0.1 privacy=none port=" + std::to_string(host.port()) + "\n";
  for (int id = 1; id <= 1000; ++id)
    text += "job PC01 id=" + std::to_string(id) + " at=19:00 flags=0x01 dow=0x15 cmd=\"backup job " +
            std::to_string(id) + ".cmd\"\n";
  FakeHost::WriteFile(host.network(), text);
  if (!standin::OpenNetworkFile(host.network()).empty()) return 1;

  NET_API_STATUS failed = 0;
  auto check = [&](NET_API_STATUS status) { failed = failed ? failed : status; };
  const double first = MillisecondsPerCall(1, [&](int) {
    LPBYTE buffer = nullptr;
    check(NetServiceGetInfo(u"PC01", u"Schedule", 1, &buffer));
    NetApiBufferFree(buffer);
  });
  const double enumerate = MillisecondsPerCall(10, [&](int) {
    LPBYTE buffer = nullptr;
    DWORD read = 0, total = 0, resume = 0;
    check(NetScheduleJobEnum(u"PC01", &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume));
    if (read != 1000) check(ERROR_MORE_DATA);
    NetApiBufferFree(buffer);
  });
  DWORD ids[50] = {};
  const double add = MillisecondsPerCall(50, [&](int i) {
    AT_INFO info{};
    info.JobTime = 3600000;
    info.Command = const_cast<WCHAR *>(u"added.cmd");
    check(NetScheduleJobAdd(u"PC01", reinterpret_cast<LPBYTE>(&info), &ids[i]));
  });
  const double remove = MillisecondsPerCall(50, [&](int i) { check(NetScheduleJobDel(u"PC01", ids[i], ids[i])); });
  const double query = MillisecondsPerCall(50, [&](int) {
    LPBYTE buffer = nullptr;
    check(NetServiceGetInfo(u"PC01", u"Schedule", 1, &buffer));
    NetApiBufferFree(buffer);
  });
  if (failed != 0) {
    std::fprintf(stderr, "a call failed with %u\n", static_cast<unsigned>(failed));
    return 1;
  }
  std::printf("first call (opens the session): %8.2f ms\n", first);
  std::printf("enumerate 1,000 jobs:            %8.2f ms\n", enumerate);
  std::printf("add a job:                       %8.2f ms\n", add);
  std::printf("delete a job:                    %8.2f ms\n", remove);
  std::printf("status query:                    %8.2f ms\n", query);
  std::printf("SMB sessions opened:             %8lu\n", standin::realnet::SessionsOpened());
  return 0;
}
