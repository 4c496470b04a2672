// SPDX-License-Identifier: GPL-3.0-or-later
#include "network_state.h"

#include <standin/call_log.h>
#include <standin/computer_name.h>
#include <standin/network.h>

#include <lm.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

#include "net_buffers.h"
#include "network_file.h"
#include <host.h>
#include "wide_text.h"

namespace standin::netapi32 {
namespace {

struct State {
  Network network;        // the in-memory network (unused while a file is bound)
  std::string file_path;  // the bound network file, or empty
  std::map<std::string, PendingQueries> pending;
};

std::function<void(const std::string &)> &DiagnosticSink() {
  static std::function<void(const std::string &)> sink;
  return sink;
}

State &TheState() {
  static State state;
  return state;
}

void ResetState() {
  realnet::CloseAllConnections();
  TheState() = State();
  ClearFaultPlans();
  ClearRecordedCalls();
  ReleaseAllNetBuffers();
}

}  // namespace

void Diagnose(const std::string &message) {
  if (DiagnosticSink()) {
    DiagnosticSink()(message);
  } else {
    std::fprintf(stderr, "velmora: %s\n", message.c_str());
  }
}

NET_API_STATUS WithNetwork(const std::function<NET_API_STATUS(Network &network, bool *changed)> &body) {
  State &state = TheState();
  bool changed = false;
  if (state.file_path.empty()) return body(state.network, &changed);

  // Only a process that may change the file locks it; one that may only read
  // it reads it as it is (a writer replaces it whole) and is told why when a
  // call would change it.
  std::string error, read_only_reason;
  std::unique_ptr<host::NetworkFileLock> lock;
  if (host::CheckReplaceable(state.file_path, &read_only_reason)) {
    bool may_not_lock = false;
    lock = host::LockNetworkFile(state.file_path, host::kLockWaitMilliseconds, &read_only_reason, &may_not_lock);
    if (lock == nullptr && !may_not_lock) {
      Diagnose(read_only_reason);
      return NERR_InternalError;
    }
  }
  Network network;
  if (!ReadNetworkFile(state.file_path, &network, &error)) {
    Diagnose(error);
    return NERR_InternalError;
  }
  const NET_API_STATUS status = body(network, &changed);
  if (changed && lock == nullptr) {
    Diagnose(read_only_reason);
    return NERR_InternalError;
  }
  if (changed && (!host::CheckReplaceable(state.file_path, &error) ||
                  !host::ReplaceNetworkFile(state.file_path, WriteNetworkText(network), &error))) {
    Diagnose(error);
    return NERR_InternalError;
  }
  return status;
}

PendingQueries &PendingOf(const std::string &computer) { return TheState().pending[UpperCaseAscii(computer)]; }

}  // namespace standin::netapi32

namespace standin {

using netapi32::Network;
using netapi32::TheState;
using netapi32::WithNetwork;

void SetNetworkDiagnosticSink(std::function<void(const std::string &message)> sink) {
  netapi32::DiagnosticSink() = std::move(sink);
}

void ResetNetwork() { netapi32::ResetState(); }

std::string LocalComputerName() {
  std::string name;
  WithNetwork([&](Network &network, bool *) -> NET_API_STATUS {
    name = network.LocalName();
    return NERR_Success;
  });
  return name;
}

namespace {
// GetComputerNameA, below the network, reports the network's local computer.
const struct LocalNameRegistration {
  LocalNameRegistration() { SetComputerNameSource(LocalComputerName); }
} kLocalNameRegistration;
}  // namespace

bool ComputerExists(const std::string &name) {
  bool exists = false;
  WithNetwork([&](Network &network, bool *) -> NET_API_STATUS {
    exists = network.Find(name) != nullptr;
    return NERR_Success;
  });
  return exists;
}

std::vector<StoredJob> JobsOf(const std::string &computer) {
  std::vector<StoredJob> jobs;
  WithNetwork([&](Network &network, bool *) -> NET_API_STATUS {
    if (const netapi32::Computer *found = network.Find(computer))
      for (const auto &entry : found->jobs) jobs.push_back(entry.second);
    return NERR_Success;
  });
  return jobs;
}

std::optional<StoredJob> FindJob(const std::string &computer, uint32_t id) {
  std::optional<StoredJob> job;
  WithNetwork([&](Network &network, bool *) -> NET_API_STATUS {
    if (const netapi32::Computer *found = network.Find(computer)) {
      auto it = found->jobs.find(id);
      if (it != found->jobs.end()) job = it->second;
    }
    return NERR_Success;
  });
  return job;
}

std::optional<DWORD> ServiceStatusOf(const std::string &computer) {
  std::optional<DWORD> status;
  WithNetwork([&](Network &network, bool *) -> NET_API_STATUS {
    if (const netapi32::Computer *found = network.Find(computer)) status = found->status;
    return NERR_Success;
  });
  return status;
}

std::string OpenNetworkFile(const std::string &path) {
  netapi32::ResetState();
  Network network;
  host::ResolvedPath resolved;
  std::string error;
  if (!host::ResolveNetworkFile(path, &resolved, &error)) return error;
  if (!resolved.exists) return "there is no network file " + path;
  // Read without a lock: a writer replaces the file whole.
  if (!netapi32::ReadNetworkFile(resolved.real_path, &network, &error)) return error;
  // An authentication file that cannot be used is told at once, not as a
  // logon failure at the first call.
  bool has_real = false;
  for (const auto &computer : network.computers) has_real = has_real || computer.real.has_value();
  if (has_real && !network.credentials.empty()) {
    error = realnet::CheckCredentialsFile(network.credentials);
    if (!error.empty()) return "network file " + path + ": " + error;
  }
  TheState().file_path = resolved.real_path;
  if (network.clock) {
    SetClock(*network.clock);
  } else {
    UseRealClock();
  }
  return "";
}

}  // namespace standin
