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

struct Fault {
  DWORD code = 0;
  uint64_t left = 0;     // failing calls still to come
  uint64_t healthy = 0;  // calls that behave normally before the failing ones
};

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
  std::map<std::pair<std::string, std::string>, Fault> faults;
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

const char *const kNetworkFunctions[] = {
    "NetWkstaGetInfo",   "NetServiceGetInfo", "NetServiceInstall",  "NetServiceControl",
    "NetScheduleJobAdd", "NetScheduleJobDel", "NetScheduleJobEnum", "NetScheduleJobGetInfo",
};

bool IsNetworkFunction(const std::string &name) {
  for (const char *function : kNetworkFunctions)
    if (name == function) return true;
  return false;
}

void ResetState() {
  realnet::CloseAllConnections();
  TheState() = State();
  ClearRecordedCalls();
  ReleaseAllNetBuffers();
}

SYSTEMTIME DefaultScenarioClock() {
  SYSTEMTIME clock{};
  clock.wYear = 2026;
  clock.wMonth = 12;
  clock.wDay = 7;
  clock.wDayOfWeek = 1;  // Monday
  clock.wHour = 9;
  return clock;
}

// This machine's host name as a computer name: its first label in upper case,
// cut to the 15 bytes a computer name may hold.
std::string DefaultComputerName() {
  const std::string host = host::HostName();
  std::string name = UpperCaseAscii(host.substr(0, host.find('.')));
  std::string usable;
  for (char c : name)
    usable.push_back(static_cast<unsigned char>(c) < 0x80 && IsValidComputerName(std::string(1, c)) ? c : '-');
  if (usable.size() > 15) usable.resize(15);
  return usable.empty() ? "LOCALHOST" : usable;
}

// Reads a `fail` statement into the computer and function it aims at and the
// fault to plan; "" or what is wrong with the line.
std::string ParseFail(const std::vector<Token> &tokens, std::pair<std::string, std::string> *target, Fault *fault) {
  const std::string usage = "usage: fail NAME FUNCTION CODE [times=N] [after=K]";
  if (tokens.size() < 4 || tokens.size() > 6 || !tokens[1].key.empty() || !tokens[2].key.empty() ||
      !tokens[3].key.empty())
    return usage;
  if (!IsValidComputerName(tokens[1].value)) return "\"" + tokens[1].value + "\" is not a valid computer name";
  if (!IsNetworkFunction(tokens[2].value)) return tokens[2].value + " is not a network function of the stand-in";
  uint64_t code = 0, times = 1, after = 0;
  if (!ParseNumber(tokens[3].value, &code) || code > UINT32_MAX) return tokens[3].value + " is not a result code";
  bool times_seen = false, after_seen = false;
  for (size_t i = 4; i < tokens.size(); ++i) {
    const Token &option = tokens[i];
    if (option.key == "times" && !times_seen) {
      times_seen = true;
      if (option.quoted || !ParseNumber(option.value, &times) || times == 0)
        return usage + " (times is a number of at least 1)";
    } else if (option.key == "after" && !after_seen) {
      after_seen = true;
      if (option.quoted || !ParseNumber(option.value, &after)) return usage + " (after is a number of calls)";
    } else {
      return usage;
    }
  }
  *target = {UpperCaseAscii(tokens[1].value), tokens[2].value};
  *fault = {static_cast<DWORD>(code), times, after};
  return "";
}

// Fault plans may be kept in a file of their own, named by
// VELMORA_FAULT_FILE, so that a test can plan faults for a program running in
// another process: one `fail` line per plan, rewritten as calls consume them.
const char *FaultFile() {
  const char *path = std::getenv("VELMORA_FAULT_FILE");
  return path != nullptr && *path != '\0' ? path : nullptr;
}

void LoadFaults() {
  const char *path = FaultFile();
  if (path == nullptr) return;
  TheState().faults.clear();
  FILE *in = std::fopen(path, "rb");
  if (in == nullptr) return;
  std::string text;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) text.append(buffer, n);
  std::fclose(in);
  std::istringstream lines(text);
  std::string line, error;
  while (std::getline(lines, line)) {
    std::vector<Token> tokens;
    std::pair<std::string, std::string> target;
    Fault fault;
    if (LexStatement(line, &tokens, &error) && !tokens.empty() && ParseFail(tokens, &target, &fault).empty())
      TheState().faults[target] = fault;
  }
}

void SaveFaults() {
  const char *path = FaultFile();
  if (path == nullptr) return;
  std::string text;
  for (const auto &entry : TheState().faults)
    text += "fail " + entry.first.first + " " + entry.first.second + " " + std::to_string(entry.second.code) +
            " times=" + std::to_string(entry.second.left) + " after=" + std::to_string(entry.second.healthy) + "\n";
  if (FILE *out = std::fopen(path, "wb")) {
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);
  } else {
    std::fprintf(stderr, "velmora: cannot write the fault plans %s\n", path);
  }
}

std::string ApplyFail(const std::vector<Token> &tokens) {
  std::pair<std::string, std::string> target;
  Fault fault;
  std::string error = ParseFail(tokens, &target, &fault);
  if (!error.empty()) return error;
  LoadFaults();
  TheState().faults[target] = fault;
  SaveFaults();
  return error;
}

bool ExpectNumber(const std::vector<Token> &tokens, size_t index, uint64_t *value) {
  return index < tokens.size() && tokens[index].key.empty() && ParseNumber(tokens[index].value, value);
}

std::string Hex(uint64_t value) {
  std::ostringstream out;
  out << "0x" << std::hex << value;
  return out.str();
}

std::string DescribeJob(const StoredJob &job) {
  const std::string time = job.job_time < kMillisecondsPerDay ? " at=" + FormatJobTime(job.job_time)
                                                              : " time=" + std::to_string(job.job_time);
  return "id=" + std::to_string(job.id) + time + " flags=" + Hex(job.flags) + " dow=" + Hex(job.days_of_week) +
         " dom=" + Hex(job.days_of_month) + " cmd=" + QuoteString(WideToUtf8(job.command));
}

// Reads the fields of an `expect job` line with the `job` statement's own
// parser; *given tells which fields the line names.
std::string ParseExpectedJob(const std::vector<Token> &tokens, StoredJob *want, std::map<std::string, bool> *given) {
  const std::string usage =
      "usage: expect job NAME id=N at=HH:MM[:SS] | time=MS [flags=N] [dow=N] [dom=N] cmd=\"TEXT\"";
  if (tokens.size() < 4 || !tokens[2].key.empty() || tokens[2].quoted) return usage;
  if (!IsValidComputerName(tokens[2].value)) return "\"" + tokens[2].value + "\" is not a valid computer name";
  Network scratch;
  Computer blank;
  blank.name = UpperCaseAscii(tokens[2].value);
  scratch.computers.push_back(blank);
  std::vector<Token> as_job(tokens.begin() + 1, tokens.end());
  for (size_t i = 2; i < as_job.size(); ++i) (*given)[as_job[i].key] = true;
  // Fields left out are not compared; fill the required ones for the parser.
  if (!(*given)["at"] && !(*given)["time"]) as_job.push_back({"at", "00:00", false});
  if (!(*given)["cmd"]) as_job.push_back({"cmd", "-", true});
  std::string error = ApplyNetworkStatement(&scratch, as_job);
  if (!error.empty()) return error;
  *want = scratch.computers[0].jobs.begin()->second;
  return "";
}

// The form of a world expectation, whatever the network holds; "" or what is
// wrong with the line.
std::string ExpectationForm(const std::vector<Token> &tokens) {
  const std::string &what = tokens[1].value;
  uint64_t number = 0;
  if (what == "calls") {
    if (tokens.size() != 4 || !tokens[2].key.empty() || tokens[2].quoted || !ExpectNumber(tokens, 3, &number))
      return "usage: expect calls FUNCTION N";
    return "";
  }
  if (tokens.size() < 3 || !tokens[2].key.empty() || tokens[2].quoted) return "usage: expect " + what + " NAME ...";
  if (what == "jobs") return tokens.size() == 4 && ExpectNumber(tokens, 3, &number) ? "" : "usage: expect jobs NAME N";
  if (what == "nojob") {
    if (tokens.size() != 4 || tokens[3].key != "id" || !ParseNumber(tokens[3].value, &number))
      return "usage: expect nojob NAME id=N";
    return "";
  }
  if (what == "service") {
    DWORD status = 0;
    if (tokens.size() != 4 || !tokens[3].key.empty() || !ParseStatusWord(tokens[3].value, &status))
      return "usage: expect service NAME running|stopped|paused|STATUSWORD";
    return "";
  }
  StoredJob want;
  std::map<std::string, bool> given;
  return ParseExpectedJob(tokens, &want, &given);
}

std::string CheckJob(const Network &network, const std::vector<Token> &tokens) {
  StoredJob want;
  std::map<std::string, bool> given;
  std::string error = ParseExpectedJob(tokens, &want, &given);
  if (!error.empty()) return error;
  const Computer *computer = network.Find(tokens[2].value);
  if (computer == nullptr) return "expected computer " + tokens[2].value + ", saw no such computer";
  auto found = computer->jobs.find(want.id);
  if (found == computer->jobs.end())
    return "expected job " + std::to_string(want.id) + " on " + computer->name + ", saw no such job";
  const StoredJob &have = found->second;
  const bool time_given = given["at"] || given["time"];
  const bool same = (!time_given || want.job_time == have.job_time) && (!given["flags"] || want.flags == have.flags) &&
                    (!given["dow"] || want.days_of_week == have.days_of_week) &&
                    (!given["dom"] || want.days_of_month == have.days_of_month) &&
                    (!given["cmd"] || want.command == have.command);
  if (same) return "";
  return "expected job " + DescribeJob(want) + " (fields not given are not compared), saw " + DescribeJob(have);
}

std::string CheckExpectation(const Network &network, const std::vector<Token> &tokens) {
  std::string form = ExpectationForm(tokens);
  if (!form.empty()) return form;
  const std::string &what = tokens[1].value;
  uint64_t number = 0;
  if (what == "calls") {
    ExpectNumber(tokens, 3, &number);
    const size_t seen = CountCalls(tokens[2].value);
    if (seen == number) return "";
    return "expected " + std::to_string(number) + " calls of " + tokens[2].value + ", saw " + std::to_string(seen);
  }
  if (what == "job") return CheckJob(network, tokens);
  const Computer *computer = network.Find(tokens[2].value);
  if (computer == nullptr) return "expected computer " + tokens[2].value + ", saw no such computer";
  if (what == "jobs") {
    ExpectNumber(tokens, 3, &number);
    if (computer->jobs.size() == number) return "";
    return "expected " + std::to_string(number) + " jobs on " + computer->name + ", saw " +
           std::to_string(computer->jobs.size());
  }
  if (what == "nojob") {
    ParseNumber(tokens[3].value, &number);
    auto found = computer->jobs.find(static_cast<uint32_t>(number));
    if (found == computer->jobs.end()) return "";
    return "expected no job " + tokens[3].value + " on " + computer->name + ", saw job " + DescribeJob(found->second);
  }
  DWORD want = 0;
  ParseStatusWord(tokens[3].value, &want);
  if (computer->status == want) return "";
  return "expected the Schedule service of " + computer->name + " " + tokens[3].value + " (" + Hex(want) +
         "), saw status word " + Hex(computer->status);
}

// The form of a world statement, whatever the network holds: the statement is
// tried on a scratch network that has the computer it names.
std::string StatementForm(const std::vector<Token> &tokens) {
  const std::string &keyword = tokens[0].value;
  if (keyword == "fail") {
    std::pair<std::string, std::string> target;
    Fault fault;
    return ParseFail(tokens, &target, &fault);
  }
  if (keyword == "clock") {
    SYSTEMTIME clock{};
    std::string error;
    return ParseClock(tokens, &clock, &error) ? "" : error;
  }
  if (keyword == "remove") {
    uint64_t id = 0;
    if (tokens.size() != 3 || !tokens[1].key.empty() || tokens[2].key != "id" || !ParseNumber(tokens[2].value, &id))
      return "usage: remove NAME id=N";
    return "";
  }
  Network scratch;
  if ((keyword == "service" || keyword == "job") && tokens.size() >= 2 && tokens[1].key.empty()) {
    if (!IsValidComputerName(tokens[1].value)) return "\"" + tokens[1].value + "\" is not a valid computer name";
    Computer named;
    named.name = UpperCaseAscii(tokens[1].value);
    scratch.computers.push_back(named);
  }
  return ApplyNetworkStatement(&scratch, tokens);
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

std::optional<DWORD> TakeFault(const std::string &computer, const std::string &function) {
  LoadFaults();
  auto &faults = TheState().faults;
  auto it = faults.find({UpperCaseAscii(computer), function});
  if (it == faults.end() || it->second.left == 0) return std::nullopt;
  if (it->second.healthy > 0) {
    --it->second.healthy;
    SaveFaults();
    return std::nullopt;
  }
  const DWORD code = it->second.code;
  if (--it->second.left == 0) faults.erase(it);
  SaveFaults();
  return code;
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

void ResetNetwork() {
  netapi32::ResetState();
  SetClock(netapi32::DefaultScenarioClock());
}

bool IsWorldStatement(const std::string &keyword) {
  for (const char *world : {"clock", "local", "computer", "service", "job", "fail", "remove"})
    if (keyword == world) return true;
  return false;
}

bool IsWorldExpectation(const std::string &what) {
  for (const char *world : {"jobs", "job", "nojob", "service", "calls"})
    if (what == world) return true;
  return false;
}

std::string ApplyWorldStatement(const std::vector<Token> &tokens) {
  if (tokens.empty() || !IsWorldStatement(tokens[0].value)) return "not a world statement";
  const std::string &keyword = tokens[0].value;
  if (keyword == "fail") return netapi32::ApplyFail(tokens);
  if (keyword == "clock") {
    SYSTEMTIME clock{};
    std::string error;
    if (!netapi32::ParseClock(tokens, &clock, &error)) return error;
    SetClock(clock);
    return "";
  }
  std::string error;
  const NET_API_STATUS status = WithNetwork([&](Network &network, bool *changed) -> NET_API_STATUS {
    error = netapi32::ApplyNetworkStatement(&network, tokens);
    *changed = error.empty();
    return error.empty() ? NERR_Success : ERROR_INVALID_PARAMETER;
  });
  if (error.empty() && status != NERR_Success) return "the network file could not be updated";
  return error;
}

std::string CheckWorldForm(const std::vector<Token> &tokens) {
  if (tokens.size() >= 2 && tokens[0].value == "expect" && IsWorldExpectation(tokens[1].value))
    return netapi32::ExpectationForm(tokens);
  if (tokens.empty() || !IsWorldStatement(tokens[0].value)) return "not a world statement or expectation";
  return netapi32::StatementForm(tokens);
}

std::string CheckWorldExpectation(const std::vector<Token> &tokens) {
  if (tokens.size() < 2 || tokens[0].value != "expect" || !IsWorldExpectation(tokens[1].value))
    return "not a world expectation";
  std::string result;
  const NET_API_STATUS status = WithNetwork([&](Network &network, bool *) -> NET_API_STATUS {
    result = netapi32::CheckExpectation(network, tokens);
    return NERR_Success;
  });
  if (status != NERR_Success) return "the network file could not be read";
  return result;
}

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

std::string OpenNetworkForUser(std::string *path_used) {
  std::string path;
  const char *chosen = std::getenv("VELMORA_NETWORK");
  if (chosen != nullptr && *chosen != '\0') {
    path = chosen;
  } else {
    std::string directory, error;
    if (!host::DefaultNetworkFolder(&directory, &error)) return error;
    if (!host::MakeDirectories(directory, &error)) return error;
    path = directory + "/network";
    // The person's own network is made on first use: this machine alone.
    host::ResolvedPath resolved;
    if (!host::ResolveNetworkFile(path, &resolved, &error)) return error;
    if (!resolved.exists) {
      bool may_not_lock = false;
      const auto lock = host::LockNetworkFile(resolved.real_path, host::kLockWaitMilliseconds, &error, &may_not_lock);
      if (lock == nullptr) return error;
      if (!host::ResolveNetworkFile(path, &resolved, &error)) return error;
      if (!resolved.exists) {
        Network network;
        netapi32::Computer computer;
        computer.name = netapi32::DefaultComputerName();
        network.computers.push_back(computer);
        if (!host::ReplaceNetworkFile(resolved.real_path, netapi32::WriteNetworkText(network), &error)) return error;
      }
    }
  }
  if (path_used != nullptr) *path_used = path;
  return OpenNetworkFile(path);
}

}  // namespace standin
