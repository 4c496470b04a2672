// SPDX-License-Identifier: GPL-3.0-or-later
#include "network_state.h"

#include <standin/call_log.h>
#include <standin/computer_name.h>
#include <standin/network.h>

#include <lm.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>

#include "net_buffers.h"
#include "network_file.h"
#include <host.h>
#include "wide_text.h"

namespace standin::netapi32 {
namespace {

struct State {
  Network network;        // the in-memory network, or the bound file's network as last read or written
  std::string file_path;  // the bound network file, or empty
  // The version of the bound file that `network` holds; null when the file
  // must be read again before the next call.
  std::unique_ptr<host::FileVersion> version;
  // After this process replaced the file: the text it wrote, which `network`
  // states but is not yet the source of (read again only for the next
  // change, which rewrites that text).
  std::optional<std::string> written_text;
  // A call made from within another's body (its network is in use) works on
  // that network, and a change it makes is written by the outer call.
  bool in_call = false;
  bool inner_changed = false;
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
  if (state.in_call) {
    const NET_API_STATUS status = body(state.network, &changed);
    state.inner_changed = state.inner_changed || changed;
    return status;
  }

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
  // The network last read or written is used again while the file is still
  // that version; otherwise the file is read (once per call).
  if (state.version == nullptr || !state.version->Current(state.file_path)) {
    state.version.reset();
    state.written_text.reset();
    Network fresh;
    if (!ReadNetworkFile(state.file_path, &fresh, &error, &state.version)) {
      state.version.reset();
      Diagnose(error);
      return NERR_InternalError;
    }
    state.network = std::move(fresh);
  }
  Network &network = state.network;
  state.inner_changed = false;
  NET_API_STATUS status;
  {
    struct InCall {
      bool &flag;
      ~InCall() { flag = false; }
    } in_call{state.in_call = true};
    status = body(network, &changed);
  }
  changed = changed || state.inner_changed;
  if (!changed) return status;
  // From here on the network in memory may differ from the file until the
  // file is replaced: on any failure it is read again by the next call.
  if (lock == nullptr) {
    state.version.reset();
    Diagnose(read_only_reason);
    return NERR_InternalError;
  }
  // A change is written against the file's text as it stands: the one this
  // process wrote last, when it did.
  if (state.written_text) {
    Network as_written;
    std::string fault;
    const bool parsed = ParseNetworkText(*state.written_text, &as_written, &fault);
    state.written_text.reset();
    if (!parsed) {
      state.version.reset();
      Diagnose("network file " + state.file_path + ", as last written, " + fault + "; nothing was changed");
      return NERR_InternalError;
    }
    network.source = as_written.source;
  }
  std::string text = WriteNetworkText(network);
  std::unique_ptr<host::FileVersion> written;
  if (!host::CheckReplaceable(state.file_path, &error) ||
      !host::ReplaceNetworkFile(state.file_path, text, &error, &written)) {
    state.version.reset();
    Diagnose(error);
    return NERR_InternalError;
  }
  // The network in memory is what the file now states; the calls that follow
  // use it while the file stays this version.
  state.version = std::move(written);
  if (state.version != nullptr) state.written_text = std::move(text);
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
  std::unique_ptr<host::FileVersion> version;
  if (!netapi32::ReadNetworkFile(resolved.real_path, &network, &error, &version)) return error;
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
  // The first call uses this reading while the file stays as it was.
  TheState().network = std::move(network);
  TheState().version = std::move(version);
  TheState().written_text.reset();
  return "";
}

}  // namespace standin
