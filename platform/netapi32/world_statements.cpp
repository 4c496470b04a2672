// SPDX-License-Identifier: GPL-3.0-or-later
// World statements (clock, local, computer, service, job, fail, remove) as
// the front ends apply them to the network, and their form checked before a
// file runs.
#include <standin/clock.h>
#include <standin/network.h>

#include <lm.h>

#include "network_state.h"
#include "wide_text.h"

namespace standin::netapi32 {
namespace {

// A scratch network that has the computer a statement names, so that the
// statement can be tried whatever the network holds; "" or what is wrong with
// the name.
std::string ScratchNetworkFor(const std::vector<Token> &tokens, Network *scratch) {
  if (tokens.size() < 2 || !tokens[1].key.empty()) return "";
  if (!IsValidComputerName(tokens[1].value)) return "\"" + tokens[1].value + "\" is not a valid computer name";
  Computer named;
  named.name = UpperCaseAscii(tokens[1].value);
  scratch->computers.push_back(named);
  return "";
}

// The form of a world statement, whatever the network holds: the statement is
// tried on a scratch network that has the computer it names.
std::string StatementForm(const std::vector<Token> &tokens) {
  const std::string &keyword = tokens[0].value;
  if (keyword == "fail") return FailForm(tokens);
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
  if (keyword == "service" || keyword == "job") {
    const std::string error = ScratchNetworkFor(tokens, &scratch);
    if (!error.empty()) return error;
  }
  return ApplyNetworkStatement(&scratch, tokens);
}

}  // namespace
}  // namespace standin::netapi32

namespace standin {

using netapi32::Network;
using netapi32::WithNetwork;

bool IsWorldStatement(const std::string &keyword) {
  for (const char *world : {"clock", "local", "computer", "service", "job", "fail", "remove"})
    if (keyword == world) return true;
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
  if (tokens.empty() || !IsWorldStatement(tokens[0].value)) return "not a world statement";
  return netapi32::StatementForm(tokens);
}

std::string ReadJobStatement(const std::vector<Token> &tokens, StoredJob *job) {
  if (tokens.empty() || tokens[0].value != "job") return "not a job statement";
  Network scratch;
  std::string error = netapi32::ScratchNetworkFor(tokens, &scratch);
  if (error.empty()) error = netapi32::ApplyNetworkStatement(&scratch, tokens);
  if (!error.empty()) return error;
  *job = scratch.computers[0].jobs.begin()->second;
  return "";
}

bool ReadStatusWord(const std::string &text, uint32_t *status) {
  DWORD word = 0;
  if (!netapi32::ParseStatusWord(text, &word)) return false;
  *status = word;
  return true;
}

bool ReadClockStatement(const std::vector<Token> &tokens, SYSTEMTIME *clock, std::string *error) {
  return netapi32::ParseClock(tokens, clock, error);
}

std::string JobTimeText(uint32_t job_time) { return netapi32::FormatJobTime(job_time); }

std::string JobCommandText(const StoredJob &job) { return netapi32::WideToUtf8(job.command); }

}  // namespace standin
