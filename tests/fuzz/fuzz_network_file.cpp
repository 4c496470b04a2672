// SPDX-License-Identifier: GPL-3.0-or-later
// Network files: any text is refused or read; what is read, written back (unchanged, or after a job is added and one
// deleted, a service started, the local name and the clock changed) reads as the same network, and no job is lost.
#include <standin/network.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <tuple>

#include "network_file.h"

namespace {

using standin::netapi32::Computer;
using standin::netapi32::Network;

auto Fields(const standin::StoredJob &j) {
  return std::tie(j.id, j.job_time, j.flags, j.days_of_week, j.days_of_month, j.command);
}

auto Fields(const Computer &c) {
  const standin::netapi32::ServiceBehaviour &b = c.behaviour;
  return std::tie(c.name, c.platform_id, c.status, c.unreachable, b.start_code, b.continue_code, b.pending,
                  c.highest_id);
}

bool SameNetwork(const Network &a, const Network &b) {
  auto clock = [](const Network &n) { return n.clock ? "set " + standin::netapi32::FormatClock(*n.clock) : ""; };
  auto same_job = [](const auto &x, const auto &y) {
    return x.first == y.first && Fields(x.second) == Fields(y.second);
  };
  auto same_computer = [&](const Computer &x, const Computer &y) {
    return Fields(x) == Fields(y) && std::equal(x.jobs.begin(), x.jobs.end(), y.jobs.begin(), y.jobs.end(), same_job);
  };
  return clock(a) == clock(b) && a.local == b.local &&
         std::equal(a.computers.begin(), a.computers.end(), b.computers.begin(), b.computers.end(), same_computer);
}

// Writes the network and reads it back; it must be the same.
void RoundTrip(const Network &network) {
  Network again;
  std::string error;
  if (!standin::netapi32::ParseNetworkText(standin::netapi32::WriteNetworkText(network), &again, &error) ||
      !SameNetwork(network, again))
    std::abort();
}

}  // namespace

extern "C" bool VelmoraFuzzInputIsRead(const uint8_t *data, size_t size) {
  Network network;
  std::string error;
  return standin::netapi32::ParseNetworkText(std::string(reinterpret_cast<const char *>(data), size), &network, &error);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Network network;
  std::string error;
  if (!standin::netapi32::ParseNetworkText(std::string(reinterpret_cast<const char *>(data), size), &network, &error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  RoundTrip(network);
  if (network.computers.empty()) return 0;
  // As the service would: a new job with the next ID, and the oldest of the last computer's jobs deleted.
  Computer &first = network.computers.front();
  if (first.highest_id < UINT32_MAX) {
    standin::StoredJob job;
    job.id = ++first.highest_id;
    job.job_time = 60000;
    job.command = u"added \"job\"\\ \x65B0";
    first.jobs.emplace(job.id, job);
  }
  Computer &last = network.computers.back();
  if (!last.jobs.empty()) last.jobs.erase(last.jobs.begin());
  last.status = last.status == 0x33 ? 0 : 0x33;
  RoundTrip(network);
  // A changed local name and clock.
  network.local = network.local.empty() ? last.name : "";
  if (network.clock) {
    network.clock.reset();
  } else {
    standin::netapi32::ParseClock({{"", "clock", false}, {"", "2026-12-07", false}, {"", "23:59:59", false}},
                                  &network.clock.emplace(), &error);
  }
  RoundTrip(network);
  return 0;
}
