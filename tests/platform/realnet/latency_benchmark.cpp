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

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

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

void Report(const char *what, const TcpRelay &relay, unsigned long *seen, NET_API_STATUS status) {
  std::printf("  %-34s %4lu message(s)  result %lu\n", what, relay.Messages() - *seen,
              static_cast<unsigned long>(status));
  *seen = relay.Messages();
}

NET_API_STATUS Query(const char16_t *service) {
  LPBYTE buffer = nullptr;
  const NET_API_STATUS status = NetServiceGetInfo(u"PC01", service, 1, &buffer);
  NetApiBufferFree(buffer);
  return status;
}

NET_API_STATUS Control(const char16_t *service, DWORD opcode) {
  LPBYTE buffer = nullptr;
  const NET_API_STATUS status = NetServiceControl(u"PC01", service, opcode, 0, &buffer);
  NetApiBufferFree(buffer);
  return status;
}

NET_API_STATUS Enumerate(DWORD *read) {
  LPBYTE buffer = nullptr;
  DWORD total = 0, resume = 0;
  const NET_API_STATUS status = NetScheduleJobEnum(u"PC01", &buffer, MAX_PREFERRED_LENGTH, read, &total, &resume);
  NetApiBufferFree(buffer);
  return status;
}

void CountMessages(const std::u16string &service, const std::string &jobs) {
  TcpRelay relay(TcpRelay::Mode::kForward, host_port);
  if (!OpenThrough(relay, jobs)) return;
  unsigned long seen = 0;
  std::printf("SMB messages the client sends:\n");
  Report("open the session + status query", relay, &seen, Query(service.c_str()));
  Report("status query", relay, &seen, Query(service.c_str()));
  Report("interrogate", relay, &seen, Control(service.c_str(), SERVICE_CTRL_INTERROGATE));
  Report("pause", relay, &seen, Control(service.c_str(), SERVICE_CTRL_PAUSE));
  Report("continue", relay, &seen, Control(service.c_str(), SERVICE_CTRL_CONTINUE));
  LPBYTE buffer = nullptr;
  Report("start (already running)", relay, &seen, NetServiceInstall(u"PC01", service.c_str(), 0, nullptr, &buffer));
  NetApiBufferFree(buffer);
  Report("workstation info (binds wkssvc)", relay, &seen, NetWkstaGetInfo(const_cast<LMSTR>(u"PC01"), 100, &buffer));
  NetApiBufferFree(buffer);
  Report("workstation info", relay, &seen, NetWkstaGetInfo(const_cast<LMSTR>(u"PC01"), 100, &buffer));
  NetApiBufferFree(buffer);
  DWORD read = 0;
  Report("job list (binds ATSvc)", relay, &seen, Enumerate(&read));
  std::printf("  (%lu jobs listed)\n", static_cast<unsigned long>(read));
  Report("job list", relay, &seen, Enumerate(&read));
  AT_INFO info{};
  info.JobTime = 3600000;
  info.Command = const_cast<WCHAR *>(u"added.cmd");
  DWORD id = 0;
  Report("job add", relay, &seen, NetScheduleJobAdd(u"PC01", reinterpret_cast<LPBYTE>(&info), &id));
  Report("job info", relay, &seen, NetScheduleJobGetInfo(u"PC01", id, &buffer));
  NetApiBufferFree(buffer);
  Report("job delete", relay, &seen, NetScheduleJobDel(u"PC01", id, id));
}

// The program's start on a computer: the Schedule service's state, then the
// job list, on a fresh session through a relay that delays each way.
void TimeToListedJobs(const std::u16string &service, const std::string &jobs) {
  TcpRelay relay(TcpRelay::Mode::kForward, host_port, std::chrono::milliseconds(25));
  if (!OpenThrough(relay, jobs)) return;
  const auto began = Clock::now();
  const NET_API_STATUS queried = Query(service.c_str());
  DWORD read = 0;
  const NET_API_STATUS listed = Enumerate(&read);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - began).count();
  std::printf("start to listed jobs, 25 ms each way: %.0f ms, %lu messages (query %lu, list %lu, %lu jobs)\n", ms,
              relay.Messages(), static_cast<unsigned long>(queried), static_cast<unsigned long>(listed),
              static_cast<unsigned long>(read));
}

}  // namespace

int main(int argc, char **argv) {
  if (argc >= 3) {
    char directory[] = "/tmp/velmora-benchmark-XXXXXX";
    if (mkdtemp(directory) == nullptr) return 1;
    network_path = std::string(directory) + "/network";
    host_port = static_cast<unsigned>(std::stoul(argv[1]));
    credentials_path = argv[2];
    const std::string name = argc >= 4 ? argv[3] : "Spooler";
    if (argc >= 5) privacy = argv[4];
    const std::u16string service(name.begin(), name.end());
    CountMessages(service, "");
    TimeToListedJobs(service, "");
    std::remove(network_path.c_str());
    std::remove((network_path + ".lock").c_str());
    rmdir(directory);
    return 0;
  }
  FakeHost host;
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
  std::printf("fake host, 1,000 jobs\n");
  CountMessages(u"Schedule", jobs);
  TimeToListedJobs(u"Schedule", jobs);
  return 0;
}
