// SPDX-License-Identifier: GPL-3.0-or-later
// Network files: any text is refused or read; what is read, written back
// (unchanged, or after a job is added and one deleted, a service started, the
// local name and the clock changed) reads as the same network, and no job is
// lost.
#include <standin/network.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "network_model.h"

namespace {

using standin::net::Computer;
using standin::net::Network;

bool SameJobs(const Computer &a, const Computer &b) {
  if (a.jobs.size() != b.jobs.size()) return false;
  for (auto i = a.jobs.begin(), j = b.jobs.begin(); i != a.jobs.end(); ++i, ++j) {
    const standin::StoredJob &x = i->second, &y = j->second;
    if (x.id != y.id || x.job_time != y.job_time || x.flags != y.flags || x.days_of_week != y.days_of_week ||
        x.days_of_month != y.days_of_month || x.command != y.command)
      return false;
  }
  return true;
}

bool SameNetwork(const Network &a, const Network &b) {
  if (a.clock.has_value() != b.clock.has_value()) return false;
  if (a.clock && standin::net::FormatClock(*a.clock) != standin::net::FormatClock(*b.clock)) return false;
  if (a.local != b.local || a.computers.size() != b.computers.size()) return false;
  for (size_t i = 0; i < a.computers.size(); ++i) {
    const Computer &x = a.computers[i], &y = b.computers[i];
    if (x.name != y.name || x.platform_id != y.platform_id || x.status != y.status || x.unreachable != y.unreachable ||
        x.behaviour.start_code != y.behaviour.start_code || x.behaviour.continue_code != y.behaviour.continue_code ||
        x.behaviour.pending != y.behaviour.pending || x.highest_id != y.highest_id || !SameJobs(x, y))
      return false;
  }
  return true;
}

// Writes the network and reads it back; it must be the same.
void RoundTrip(const Network &network) {
  Network again;
  std::string error;
  if (!standin::net::ParseNetworkText(standin::net::WriteNetworkText(network), &again, &error) ||
      !SameNetwork(network, again))
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Network network;
  std::string error;
  if (!standin::net::ParseNetworkText(std::string(reinterpret_cast<const char *>(data), size), &network, &error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  RoundTrip(network);
  if (network.computers.empty()) return 0;
  // As the service would: a new job with the next ID, and the oldest of the
  // last computer's jobs deleted.
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
    standin::net::ParseClock({{"", "clock", false}, {"", "2026-12-07", false}, {"", "23:59:59", false}},
                             &network.clock.emplace(), &error);
  }
  RoundTrip(network);
  return 0;
}
