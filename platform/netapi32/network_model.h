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
#include <string_view>
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

// One line of a network file as read: where its text lies in the source's
// text (a network file may hold very many lines), and what it states.
struct SourceLine {
  enum class Kind : uint8_t { kOther, kClock, kLocal, kComputer, kService, kJob };
  enum class Ending : uint8_t { kNone, kLf, kCrLf };  // kNone: a last line without one
  size_t offset = 0;                                  // of the text, without its line ending, in NetworkSource::text
  size_t length = 0;
  Ending ending = Ending::kNone;
  Kind kind = Kind::kOther;
  bool holds_state = false;    // a service line with state=
  bool holds_last_id = false;  // a service line with lastid=
  uint32_t computer = 0;       // a computer, service or job line: its computer's index in NetworkSource::computers
  // A job line: the job as read, but for its command (read again from the
  // line when it must be compared).
  uint32_t job_id = 0;
  uint32_t job_time = 0;
  uint32_t days_of_month = 0;
  uint8_t days_of_week = 0;
  uint8_t flags = 0;
  // Where the command's bytes lie in the line, when they stand there as they
  // are (no escapes); otherwise the line is lexed again to compare it.
  bool command_in_place = false;
  uint32_t command_offset = 0;
  uint32_t command_length = 0;
};

struct NetworkSource {
  std::string text;  // the file as read
  bool byte_order_mark = false;
  std::string ending;  // the ending new lines get: the file's first one
  std::vector<SourceLine> lines;
  // What was read, to tell what has changed: the computers without their
  // jobs (a copy of every job would cost as much as the reading), and the
  // IDs of each one's jobs in ascending order; the jobs are on their lines.
  std::optional<SYSTEMTIME> clock;
  std::string local;
  std::vector<Computer> computers;
  std::vector<std::vector<uint32_t>> job_ids;

  std::string_view TextOf(const SourceLine &line) const {
    return std::string_view(text).substr(line.offset, line.length);
  }
};

// Parses a network file's text; on failure *error names the line and fault.
bool ParseNetworkText(const std::string &text, Network *network, std::string *error);
bool ParseNetworkText(std::string &&text, Network *network, std::string *error);
// The network as text. A network read from a file keeps that file's text
// except for the statements of what changed: comments, blank lines, unchanged
// statements and line endings stay as they were.
std::string WriteNetworkText(const Network &network);

// The status word from the words of a `service=` or `expect service` value.
bool ParseStatusWord(const std::string &text, DWORD *status);

// Whether the service adds JOB_RUNS_TODAY to a job at this clock reading.
bool RunsToday(const StoredJob &job, const SYSTEMTIME &now);

}  // namespace standin::netapi32

#endif
