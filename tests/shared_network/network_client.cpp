// SPDX-License-Identifier: GPL-3.0-or-later
// Network calls from the command line, so that several processes, of several
// users and hosts, can work on one network file at once: for Linux against the
// stand-in, and for Windows, where the calls reach netapi32.dll under Wine.
// Usage: network_client add SERVER COUNT TAG   -- adds jobs "TAG-1" ... "TAG-COUNT", one call each
//        network_client list SERVER            -- prints "ID COMMAND" for each job
// Exits 1 when a call fails, saying why on standard error.
#include <windows.h>

#include <lm.h>
#include <lmat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

int Add(LPCWSTR server, int count, const std::string &tag) {
  int failed = 0;
  for (int i = 1; i <= count; ++i) {
    std::vector<WCHAR> command = Wide(tag + "-" + std::to_string(i));
    AT_INFO job{};
    job.JobTime = 9 * 3600 * 1000;
    job.Command = command.data();
    DWORD id = 0;
    if (const NET_API_STATUS status = NetScheduleJobAdd(server, reinterpret_cast<LPBYTE>(&job), &id)) {
      std::fprintf(stderr, "network_client: job %d of %s: NetScheduleJobAdd returned %lu\n", i, tag.c_str(),
                   static_cast<unsigned long>(status));
      ++failed;
    }
    // A moment between calls, as between a person's actions. (The stand-in's Sleep only moves its simulated clock.)
#ifdef _WIN32
    Sleep(3);
#else
    usleep(3000);
#endif
  }
  return failed == 0 ? 0 : 1;
}

int List(LPCWSTR server) {
  LPBYTE buffer = nullptr;
  DWORD read = 0, total = 0, resume = 0;
  const NET_API_STATUS status = NetScheduleJobEnum(server, &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume);
  if (status != NERR_Success) {
    std::fprintf(stderr, "network_client: NetScheduleJobEnum returned %lu\n", static_cast<unsigned long>(status));
    return 1;
  }
  const auto *jobs = reinterpret_cast<const AT_ENUM *>(buffer);
  for (DWORD i = 0; i < read; ++i) {
    std::printf("%lu ", static_cast<unsigned long>(jobs[i].JobId));
    for (LPCWSTR c = jobs[i].Command; *c != 0; ++c) std::putchar(*c < 0x80 ? static_cast<char>(*c) : '?');
    std::putchar('\n');
  }
  NetApiBufferFree(buffer);
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  const bool add = argc == 5 && std::strcmp(argv[1], "add") == 0 && std::atoi(argv[3]) > 0;
  const bool list = argc == 3 && std::strcmp(argv[1], "list") == 0;
  if (!add && !list) {
    std::fprintf(stderr, "usage: network_client add SERVER COUNT TAG | network_client list SERVER\n");
    return 2;
  }
#ifndef _WIN32
  // The Linux front ends bind the network before the program runs; the DLL binds it itself.
  const std::string error = standin::OpenNetworkForUser(nullptr);
  if (!error.empty()) {
    std::fprintf(stderr, "network_client: %s\n", error.c_str());
    return 1;
  }
#endif
  std::vector<WCHAR> server = Wide(std::string("\\\\") + argv[2]);
  return add ? Add(server.data(), std::atoi(argv[3]), argv[4]) : List(server.data());
}
