// SPDX-License-Identifier: GPL-3.0-or-later
// World statements (clock, local, computer, service, job, fail, remove) as
// the front ends apply them to the network, and their form checked before a
// file runs.
#include <standin/call_log.h>
#include <standin/clock.h>
#include <standin/network.h>

#include <lm.h>

#include <map>
#include <sstream>

#include "network_state.h"
#include "wide_text.h"

namespace standin::netapi32 {
namespace {

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
  if ((keyword == "service" || keyword == "job") && tokens.size() >= 2 && tokens[1].key.empty()) {
    if (!IsValidComputerName(tokens[1].value)) return "\"" + tokens[1].value + "\" is not a valid computer name";
    Computer named;
    named.name = UpperCaseAscii(tokens[1].value);
    scratch.computers.push_back(named);
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

}  // namespace standin
