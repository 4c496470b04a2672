// Adds jobs to one computer of the network, one NetScheduleJobAdd call at a
// time, so that several processes can race on one network file. Built twice:
// for Linux against the stand-in, and for Windows against the SDK, where the
// calls reach netapi32.dll (the same network code) under Wine.
// Usage: add_jobs SERVER COUNT TAG  -- commands are "TAG-1" ... "TAG-COUNT".
#include <windows.h>

#include <lm.h>
#include <lmat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#ifndef _WIN32
#include <standin/network.h>
#include <unistd.h>
#endif

namespace {

std::vector<WCHAR> Wide(const std::string &ascii) {
  std::vector<WCHAR> wide(ascii.begin(), ascii.end());
  wide.push_back(0);
  return wide;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 4 || std::atoi(argv[2]) <= 0) {
    std::fprintf(stderr, "usage: add_jobs SERVER COUNT TAG\n");
    return 2;
  }
#ifndef _WIN32
  // The Linux front ends bind the network before the program runs; the DLL
  // binds it itself.
  const std::string error = standin::OpenNetworkForUser(nullptr);
  if (!error.empty()) {
    std::fprintf(stderr, "add_jobs: %s\n", error.c_str());
    return 1;
  }
#endif
  std::vector<WCHAR> server = Wide(std::string("\\\\") + argv[1]);
  const int count = std::atoi(argv[2]);
  int failed = 0;
  for (int i = 1; i <= count; ++i) {
    std::vector<WCHAR> command = Wide(std::string(argv[3]) + "-" + std::to_string(i));
    AT_INFO job{};
    job.JobTime = 9 * 3600 * 1000;
    job.Command = command.data();
    DWORD id = 0;
    const NET_API_STATUS status = NetScheduleJobAdd(server.data(), reinterpret_cast<LPBYTE>(&job), &id);
    if (status != NERR_Success) {
      std::fprintf(stderr, "add_jobs: job %d of %s: NetScheduleJobAdd returned %lu\n", i, argv[3],
                   static_cast<unsigned long>(status));
      ++failed;
    }
    // A moment between calls, as between a person's actions, lets the other
    // process in: each takes the lock by polling. (The stand-in's Sleep only
    // moves its simulated clock.)
#ifdef _WIN32
    Sleep(3);
#else
    usleep(3000);
#endif
  }
  return failed == 0 ? 0 : 1;
}
