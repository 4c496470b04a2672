// SPDX-License-Identifier: GPL-3.0-or-later
#include "world_expectations.h"

#include <standin/network.h>

#include <cstdint>
#include <map>
#include <sstream>

namespace standin {
namespace scenario {
namespace {

constexpr uint32_t kMillisecondsPerDay = 86400000;

bool ExpectNumber(const std::vector<Token> &tokens, size_t index, uint64_t *value) {
  return index < tokens.size() && tokens[index].key.empty() && ParseNumber(tokens[index].value, value);
}

// Computer names are kept in upper case (ASCII letters only, as the platform
// folds them).
std::string Upper(std::string name) {
  for (char &c : name)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return name;
}

std::string Hex(uint64_t value) {
  std::ostringstream out;
  out << "0x" << std::hex << value;
  return out.str();
}

std::string DescribeJob(const StoredJob &job) {
  const std::string time =
      job.job_time < kMillisecondsPerDay ? " at=" + JobTimeText(job.job_time) : " time=" + std::to_string(job.job_time);
  return "id=" + std::to_string(job.id) + time + " flags=" + Hex(job.flags) + " dow=" + Hex(job.days_of_week) +
         " dom=" + Hex(job.days_of_month) + " cmd=" + QuoteString(JobCommandText(job));
}

// Reads the fields of an `expect job` line with the `job` statement's own
// reader; *given tells which fields the line names.
std::string ParseExpectedJob(const std::vector<Token> &tokens, StoredJob *want, std::map<std::string, bool> *given) {
  const std::string usage =
      "usage: expect job NAME id=N at=HH:MM[:SS] | time=MS [flags=N] [dow=N] [dom=N] cmd=\"TEXT\"";
  if (tokens.size() < 4 || !tokens[2].key.empty() || tokens[2].quoted) return usage;
  std::vector<Token> as_job(tokens.begin() + 1, tokens.end());
  for (size_t i = 2; i < as_job.size(); ++i) (*given)[as_job[i].key] = true;
  // Fields left out are not compared; fill the required ones for the reader.
  if (!(*given)["at"] && !(*given)["time"]) as_job.push_back({"at", "00:00", false});
  if (!(*given)["cmd"]) as_job.push_back({"cmd", "-", true});
  return ReadJobStatement(as_job, want);
}

std::string CheckJob(const std::vector<Token> &tokens) {
  StoredJob want;
  std::map<std::string, bool> given;
  std::string error = ParseExpectedJob(tokens, &want, &given);
  if (!error.empty()) return error;
  const std::string &name = tokens[2].value;
  if (!ComputerExists(name)) return "expected computer " + name + ", saw no such computer";
  const std::optional<StoredJob> found = FindJob(name, want.id);
  if (!found) return "expected job " + std::to_string(want.id) + " on " + Upper(name) + ", saw no such job";
  const StoredJob &have = *found;
  const bool time_given = given["at"] || given["time"];
  const bool same = (!time_given || want.job_time == have.job_time) && (!given["flags"] || want.flags == have.flags) &&
                    (!given["dow"] || want.days_of_week == have.days_of_week) &&
                    (!given["dom"] || want.days_of_month == have.days_of_month) &&
                    (!given["cmd"] || want.command == have.command);
  if (same) return "";
  return "expected job " + DescribeJob(want) + " (fields not given are not compared), saw " + DescribeJob(have);
}

}  // namespace

bool IsWorldExpectation(const std::string &what) {
  for (const char *world : {"jobs", "job", "nojob", "service", "calls"})
    if (what == world) return true;
  return false;
}

std::string WorldExpectationForm(const std::vector<Token> &tokens) {
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
    uint32_t status = 0;
    if (tokens.size() != 4 || !tokens[3].key.empty() || !ReadStatusWord(tokens[3].value, &status))
      return "usage: expect service NAME running|stopped|paused|STATUSWORD";
    return "";
  }
  StoredJob want;
  std::map<std::string, bool> given;
  return ParseExpectedJob(tokens, &want, &given);
}

std::string CheckStores(const std::vector<Token> &tokens) {
  std::string form = WorldExpectationForm(tokens);
  if (!form.empty()) return form;
  const std::string &what = tokens[1].value;
  if (what == "job") return CheckJob(tokens);
  const std::string &name = tokens[2].value;
  if (!ComputerExists(name)) return "expected computer " + name + ", saw no such computer";
  const std::string computer = Upper(name);
  uint64_t number = 0;
  if (what == "jobs") {
    ExpectNumber(tokens, 3, &number);
    const size_t seen = JobsOf(name).size();
    if (seen == number) return "";
    return "expected " + std::to_string(number) + " jobs on " + computer + ", saw " + std::to_string(seen);
  }
  if (what == "nojob") {
    ParseNumber(tokens[3].value, &number);
    const std::optional<StoredJob> found =
        number <= UINT32_MAX ? FindJob(name, static_cast<uint32_t>(number)) : std::nullopt;
    if (!found) return "";
    return "expected no job " + tokens[3].value + " on " + computer + ", saw job " + DescribeJob(*found);
  }
  uint32_t want = 0;
  ReadStatusWord(tokens[3].value, &want);
  const uint32_t seen = ServiceStatusOf(name).value_or(0);
  if (seen == want) return "";
  return "expected the Schedule service of " + computer + " " + tokens[3].value + " (" + Hex(want) +
         "), saw status word " + Hex(seen);
}

}  // namespace scenario
}  // namespace standin
