// What the real backend costs a host: SMB messages (round trips) to open a
// session and per NETAPI32 call on an open one, counted by a relay in front
// of the host, and the time from start to listed jobs with 25 ms added each
// way by a delaying relay (this kernel has no netem). Run by hand:
//   build/linux/tests/platform/realnet/realnet_latency_benchmark
// against the fake host with 1,000 jobs, or against another SMB server:
//   realnet_latency_benchmark PORT CREDENTIALS [SERVICE [PRIVACY]]
// (on 127.0.0.1; SERVICE, default Spooler, is the one queried, started and
// interrogated; the job calls show what a host without ATSvc costs; PRIVACY
// is seal, sign or none, the default).
#include <lm.h>

#include <standin/network.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>

#include <remote_host.h>

#include "fake_host.h"
#include "tcp_relay.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string network_path, credentials_path, privacy = "none";
unsigned host_port = 0;

// A network file whose computer PC01 is reached through `relay`.
bool OpenThrough(const TcpRelay &relay, const std::string &jobs) {
  FakeHost::WriteFile(network_path, "credentials " + credentials_path +
                                        "\ncomputer PC01 real address=127.0.0.1 privacy=" + privacy +
                                        " port=" + std::to_string(relay.port()) + "\n" + jobs);
  return standin::OpenNetworkFile(network_path).empty();
}

LPBYTE buffer = nullptr;

// Frees what a call handed out and passes its result on.
NET_API_STATUS Freed(NET_API_STATUS status) {
  NetApiBufferFree(buffer);
  buffer = nullptr;
  return status;
}

NET_API_STATUS Enumerate(DWORD *read) {
  DWORD total = 0, resume = 0;
  return Freed(NetScheduleJobEnum(u"PC01", &buffer, MAX_PREFERRED_LENGTH, read, &total, &resume));
}

void CountMessages(const std::u16string &name, const std::string &jobs) {
  TcpRelay relay(TcpRelay::Mode::kForward, host_port);
  if (!OpenThrough(relay, jobs)) return;
  const char16_t *service = name.c_str();
  AT_INFO info{};
  info.JobTime = 3600000;
  info.Command = const_cast<WCHAR *>(u"added.cmd");
  DWORD id = 0, read = 0;
  const std::pair<const char *, std::function<NET_API_STATUS()>> calls[] = {
      {"open the session + status query", [&] { return Freed(NetServiceGetInfo(u"PC01", service, 1, &buffer)); }},
      {"status query", [&] { return Freed(NetServiceGetInfo(u"PC01", service, 1, &buffer)); }},
      {"interrogate", [&] { return Freed(NetServiceControl(u"PC01", service, SERVICE_CTRL_INTERROGATE, 0, &buffer)); }},
      {"pause", [&] { return Freed(NetServiceControl(u"PC01", service, SERVICE_CTRL_PAUSE, 0, &buffer)); }},
      {"continue", [&] { return Freed(NetServiceControl(u"PC01", service, SERVICE_CTRL_CONTINUE, 0, &buffer)); }},
      {"start (already running)", [&] { return Freed(NetServiceInstall(u"PC01", service, 0, nullptr, &buffer)); }},
      {"workstation info (binds wkssvc)",
       [&] { return Freed(NetWkstaGetInfo(const_cast<LMSTR>(u"PC01"), 100, &buffer)); }},
      {"workstation info", [&] { return Freed(NetWkstaGetInfo(const_cast<LMSTR>(u"PC01"), 100, &buffer)); }},
      {"job list (binds ATSvc)", [&] { return Enumerate(&read); }},
      {"job list", [&] { return Enumerate(&read); }},
      {"job add", [&] { return NetScheduleJobAdd(u"PC01", reinterpret_cast<LPBYTE>(&info), &id); }},
      {"job info", [&] { return Freed(NetScheduleJobGetInfo(u"PC01", id, &buffer)); }},
      {"job delete", [&] { return NetScheduleJobDel(u"PC01", id, id); }},
  };
  std::printf("SMB messages the client sends (%lu jobs held):\n", static_cast<unsigned long>(jobs.empty() ? 0 : 1000));
  for (const auto &[what, call] : calls) {
    const unsigned long before = relay.Messages();
    const NET_API_STATUS status = call();
    std::printf("  %-34s %4lu message(s)  result %lu\n", what, relay.Messages() - before,
                static_cast<unsigned long>(status));
  }
}

// The program's start on a computer: the Schedule service's state, then the
// job list, on a fresh session through a relay that delays each way.
void TimeToListedJobs(const std::u16string &service, const std::string &jobs) {
  TcpRelay relay(TcpRelay::Mode::kForward, host_port, std::chrono::milliseconds(25));
  if (!OpenThrough(relay, jobs)) return;
  const auto began = Clock::now();
  const NET_API_STATUS queried = Freed(NetServiceGetInfo(u"PC01", service.c_str(), 1, &buffer));
  DWORD read = 0;
  const NET_API_STATUS listed = Enumerate(&read);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - began).count();
  std::printf("start to listed jobs, 25 ms each way: %.0f ms, %lu messages (query %lu, list %lu, %lu jobs)\n", ms,
              relay.Messages(), static_cast<unsigned long>(queried), static_cast<unsigned long>(listed),
              static_cast<unsigned long>(read));
}

}  // namespace

int main(int argc, char **argv) {
  FakeHost host;  // also where the network file lives for another server
  if (argc >= 3) {
    network_path = host.network();
    host_port = static_cast<unsigned>(std::stoul(argv[1]));
    credentials_path = argv[2];
    const std::string name = argc >= 4 ? argv[3] : "Spooler";
    if (argc >= 5) privacy = argv[4];
    CountMessages(std::u16string(name.begin(), name.end()), "");
    TimeToListedJobs(std::u16string(name.begin(), name.end()), "");
    return 0;
  }
  if (host.port() == 0) {
    std::fprintf(stderr, "the fake host did not start\n");
    return 1;
  }
  network_path = host.network();
  credentials_path = host.credentials();
  host_port = host.port();
  std::string jobs;
  for (int id = 1; id <= 1000; ++id)
    jobs += "job PC01 id=" + std::to_string(id) + " at=19:00 flags=0x01 dow=0x15 cmd=\"backup job " +
            std::to_string(id) + ".cmd\"\n";
  CountMessages(u"Schedule", jobs);
  TimeToListedJobs(u"Schedule", jobs);
  return 0;
}
