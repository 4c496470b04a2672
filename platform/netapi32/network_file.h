// SPDX-License-Identifier: GPL-3.0-or-later
// The network file format's reader and writer (docs/network-file.md): its text
// parsed into a network, and a network written back as text that keeps the
// file's comments and layout; the file read through the host layer (host.h).
#ifndef VELMORA_PLATFORM_NETAPI32_NETWORK_FILE_H
#define VELMORA_PLATFORM_NETAPI32_NETWORK_FILE_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <host.h>

#include "network_model.h"

namespace standin::netapi32 {

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

// Reads and parses the network file at `real_path`; the message names the
// file, the line and the fault. With `version`, it receives the version of
// the file that was read (see host::FileVersion).
bool ReadNetworkFile(const std::string &real_path, Network *network, std::string *error,
                     std::unique_ptr<host::FileVersion> *version = nullptr);

}  // namespace standin::netapi32

#endif
