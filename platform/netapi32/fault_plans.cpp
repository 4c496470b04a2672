// SPDX-License-Identifier: GPL-3.0-or-later
// Fault plans: `fail` statements, kept at the NETAPI32 entry in front of the
// simulated or real computer, and consumed one call at a time.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

#include "network_state.h"

namespace standin::netapi32 {
namespace {

struct Fault {
  DWORD code = 0;
  uint64_t left = 0;     // failing calls still to come
  uint64_t healthy = 0;  // calls that behave normally before the failing ones
};

std::map<std::pair<std::string, std::string>, Fault> &Plans() {
  static std::map<std::pair<std::string, std::string>, Fault> plans;
  return plans;
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
  Plans().clear();
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
      Plans()[target] = fault;
  }
}

void SaveFaults() {
  const char *path = FaultFile();
  if (path == nullptr) return;
  std::string text;
  for (const auto &entry : Plans())
    text += "fail " + entry.first.first + " " + entry.first.second + " " + std::to_string(entry.second.code) +
            " times=" + std::to_string(entry.second.left) + " after=" + std::to_string(entry.second.healthy) + "\n";
  if (FILE *out = std::fopen(path, "wb")) {
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);
  } else {
    std::fprintf(stderr, "velmora: cannot write the fault plans %s\n", path);
  }
}

}  // namespace

std::string ApplyFail(const std::vector<Token> &tokens) {
  std::pair<std::string, std::string> target;
  Fault fault;
  std::string error = ParseFail(tokens, &target, &fault);
  if (!error.empty()) return error;
  LoadFaults();
  Plans()[target] = fault;
  SaveFaults();
  return error;
}

void ClearFaultPlans() { Plans().clear(); }

std::string FailForm(const std::vector<Token> &tokens) {
  std::pair<std::string, std::string> target;
  Fault fault;
  return ParseFail(tokens, &target, &fault);
}

std::optional<DWORD> TakeFault(const std::string &computer, const std::string &function) {
  LoadFaults();
  auto &faults = Plans();
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

}  // namespace standin::netapi32
