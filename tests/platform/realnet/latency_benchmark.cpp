// SPDX-License-Identifier: GPL-3.0-or-later
// What the real backend costs a host: SMB messages (round trips) to open a
// session and per NETAPI32 call on an open one, counted by a relay, and the
// time from start to listed jobs with 25 ms added each way (this kernel has no
// netem). Run by hand, against the fake host with 1,000 jobs:
//   build/linux/tests/platform/realnet/realnet_latency_benchmark
// or another SMB server on 127.0.0.1 (SERVICE, by default Spooler, is the one
// queried and controlled; PRIVACY seal, sign or none, the default):
//   realnet_latency_benchmark PORT CREDENTIALS [SERVICE [PRIVACY]]
#include <lm.h>

#include <standin/network.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>

#include "fake_host.h"
#include "tcp_relay.h"

namespace {

std::string network_path, credentials_path, privacy = "none";
unsigned host_port = 0;
LPBYTE buffer = nullptr;

// Frees what a call handed out and passes its result on.
NET_API_STATUS Freed(NET_API_STATUS status) {
  NetApiBufferFree(buffer);
  buffer = nullptr;
  return status;
}

NET_API_STATUS Enumerate() {
  DWORD read = 0, total = 0, resume = 0;
  return Freed(NetScheduleJobEnum(u"PC01", &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume));
}

// Plays `calls` on a fresh session through a relay that delays each chunk by
// `delay`, printing each call's messages and the time of them all.
void Play(const std::string &jobs, std::chrono::milliseconds delay,
          const std::vector<std::pair<const char *, std::function<NET_API_STATUS()>>> &calls) {
  TcpRelay relay(TcpRelay::Mode::kForward, host_port, delay);
  FakeHost::WriteFile(network_path, "credentials " + credentials_path +
                                        "\ncomputer PC01 real address=127.0.0.1 privacy=" + privacy +
                                        " port=" + std::to_string(relay.port()) + "\n" + jobs);
  if (!standin::OpenNetworkFile(network_path).empty()) return;
  const auto began = std::chrono::steady_clock::now();
  for (const auto &[what, call] : calls) {
    const unsigned long before = relay.Messages();
    const NET_API_STATUS status = call();
    std::printf("  %-34s %4lu message(s)  result %lu\n", what, relay.Messages() - before,
                static_cast<unsigned long>(status));
  }
  std::printf("  %.0f ms in all, %ld ms added each way\n",
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began).count(),
              static_cast<long>(delay.count()));
}

void Measure(const std::u16string &name, const std::string &jobs) {
  const char16_t *service = name.c_str();
  AT_INFO info{};
  info.JobTime = 3600000;
  info.Command = const_cast<WCHAR *>(u"added.cmd");
  DWORD id = 0;
  const auto query = [service] { return Freed(NetServiceGetInfo(u"PC01", service, 1, &buffer)); };
  const auto control = [service](DWORD opcode) {
    return [service, opcode] { return Freed(NetServiceControl(u"PC01", service, opcode, 0, &buffer)); };
  };
  const auto workstation = [] { return Freed(NetWkstaGetInfo(const_cast<LMSTR>(u"PC01"), 100, &buffer)); };
  std::printf("SMB messages the client sends (%s):\n", jobs.empty() ? "no jobs held" : "1000 jobs held");
  Play(jobs, {},
       {{"open the session + status query", query},
        {"status query", query},
        {"interrogate", control(SERVICE_CTRL_INTERROGATE)},
        {"pause", control(SERVICE_CTRL_PAUSE)},
        {"continue", control(SERVICE_CTRL_CONTINUE)},
        {"start (already running)", [&] { return Freed(NetServiceInstall(u"PC01", service, 0, nullptr, &buffer)); }},
        {"workstation info (binds wkssvc)", workstation},
        {"workstation info", workstation},
        {"job list (binds ATSvc)", Enumerate},
        {"job list", Enumerate},
        {"job add", [&] { return NetScheduleJobAdd(u"PC01", reinterpret_cast<LPBYTE>(&info), &id); }},
        {"job info", [&] { return Freed(NetScheduleJobGetInfo(u"PC01", id, &buffer)); }},
        {"job delete", [&] { return NetScheduleJobDel(u"PC01", id, id); }}});
  std::printf("The program's start, the service's state then the job list:\n");
  Play(jobs, std::chrono::milliseconds(25), {{"status query", query}, {"job list", Enumerate}});
}

}  // namespace

int main(int argc, char **argv) {
  FakeHost host;  // also where the network file lives for another server
  network_path = host.network();
  if (argc >= 3) {
    host_port = static_cast<unsigned>(std::stoul(argv[1]));
    credentials_path = argv[2];
    const std::string name = argc >= 4 ? argv[3] : "Spooler";
    if (argc >= 5) privacy = argv[4];
    Measure(std::u16string(name.begin(), name.end()), "");
    return 0;
  }
  if (host.port() == 0) {
    std::fprintf(stderr, "the fake host did not start\n");
    return 1;
  }
  credentials_path = host.credentials();
  host_port = host.port();
  std::string jobs;
  for (int id = 1; id <= 1000; ++id)
    jobs += "job PC01 id=" + std::to_string(id) + " at=19:00 flags=0x01 dow=0x15 cmd=\"backup job " +
            std::to_string(id) + ".cmd\"\n";
  Measure(u"Schedule", jobs);
  return 0;
}
