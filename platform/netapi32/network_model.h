// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated network as data: computers, their Schedule services and job
// stores, built from world statements and written back as them.
#ifndef VELMORA_PLATFORM_NETAPI32_NETWORK_MODEL_H
#define VELMORA_PLATFORM_NETAPI32_NETWORK_MODEL_H

#include <windows.h>

#include <standin/network.h>
#include <standin/statement.h>

#include <remote_host.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace standin::netapi32 {

// Status words of the Schedule service (lmsvc.h bit fields).
constexpr DWORD kStatusStopped = 0x00;
constexpr DWORD kStatusRunning = 0x33;
constexpr DWORD kStatusPaused = 0x3F;
constexpr DWORD kStatusStartPending = 0x01;
constexpr DWORD kStatusContinuePending = 0x37;

constexpr uint32_t kMillisecondsPerDay = 86400000;

struct ServiceBehaviour {
  DWORD start_code = 0;     // NetServiceInstall's result; 0 starts the service
  DWORD continue_code = 0;  // NetServiceControl's result for a continue; 0 continues it
  uint32_t pending = 0;     // status queries that report pending after a start or continue
};

struct Computer {
  std::string name;  // upper case, UTF-8
  DWORD platform_id = 500;
  DWORD status = kStatusRunning;
  bool unreachable = false;
  std::optional<realnet::RemoteHost> real;  // reached over the network, not simulated
  ServiceBehaviour behaviour;
  std::map<uint32_t, StoredJob> jobs;  // by ID, so listings come in ID order
  uint32_t highest_id = 0;             // the highest ID the service has given or held
};

struct NetworkSource;

struct Network {
  std::optional<SYSTEMTIME> clock;  // a network file's `clock`
  std::string local;                // `local`; empty means the first computer
  std::string credentials;          // `credentials`: the real computers' authentication file
  std::vector<Computer> computers;  // in the order they were described
  // The file this network was read from, so that a write keeps what did not
  // change; null for a network made in memory.
  std::shared_ptr<const NetworkSource> source;

  Computer *Find(const std::string &name);
  const Computer *Find(const std::string &name) const;
  std::string LocalName() const;
};

// Computer names as the platform takes them: 1 to 15 bytes in the ANSI code
// page, none of \ / : * ? " < > | , no blanks or control characters.
bool IsValidComputerName(const std::string &utf8_name);
std::string UpperCaseAscii(std::string text);

bool ParseClock(const std::vector<Token> &tokens, SYSTEMTIME *clock, std::string *error);
std::string FormatClock(const SYSTEMTIME &clock);
std::string FormatJobTime(uint32_t job_time);

// Applies one of `local`, `computer`, `service`, `job`, `remove`, `credentials` to the
// network; "" or the reason it cannot.
std::string ApplyNetworkStatement(Network *network, const std::vector<Token> &tokens);

// The statements a network is built from, and where each may stand.
struct StatementRule {
  const char *keyword;
  bool in_network_files;  // else it stands for another program's action, in scenarios only
  bool at_most_once;
  std::string (*apply)(Network *network, const std::vector<Token> &tokens);
};
const StatementRule *RuleFor(const std::string &keyword);  // null for no such statement

// How the statements write their values back.
std::string HexText(uint32_t value);       // 0x15
std::string StatusWordText(DWORD status);  // running, stopped, paused or 0x...
const char *PrivacyText(realnet::Privacy privacy);

// The status word from the words of a `service=` or `expect service` value.
bool ParseStatusWord(const std::string &text, DWORD *status);

// Whether the service adds JOB_RUNS_TODAY to a job at this clock reading.
bool RunsToday(const StoredJob &job, const SYSTEMTIME &now);

}  // namespace standin::netapi32

#endif
