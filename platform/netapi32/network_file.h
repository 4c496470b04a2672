// SPDX-License-Identifier: GPL-3.0-or-later
// The network file format's reader and writer (docs/network-file.md): its text
// parsed into a network, and a network written back as text that keeps the
// file's comments and layout; the file read through the host layer (host.h).
#ifndef VELMORA_PLATFORM_NETAPI32_NETWORK_FILE_H
#define VELMORA_PLATFORM_NETAPI32_NETWORK_FILE_H

#include <cstdint>
#include <string>
#include <vector>

#include "network_model.h"

namespace standin::netapi32 {

// One line of a network file as read.
struct SourceLine {
  enum class Kind : uint8_t { kOther, kClock, kLocal, kComputer, kService, kJob };
  std::string text;    // without its line ending
  std::string ending;  // "\n", "\r\n", or "" for a last line without one
  Kind kind = Kind::kOther;
  std::string computer;  // the computer a computer, service or job line names
  uint32_t job_id = 0;
  bool holds_state = false;    // a service line with state=
  bool holds_last_id = false;  // a service line with lastid=
};

struct NetworkSource {
  bool byte_order_mark = false;
  std::string ending;  // the ending new lines get: the file's first one
  std::vector<SourceLine> lines;
  // What was read, to tell what has changed.
  std::optional<SYSTEMTIME> clock;
  std::string local;
  std::vector<Computer> computers;
};

// Parses a network file's text; on failure *error names the line and fault.
bool ParseNetworkText(const std::string &text, Network *network, std::string *error);
// The network as text. A network read from a file keeps that file's text
// except for the statements of what changed: comments, blank lines, unchanged
// statements and line endings stay as they were.
std::string WriteNetworkText(const Network &network);

// Reads and parses the network file at `real_path`; the message names the
// file, the line and the fault.
bool ReadNetworkFile(const std::string &real_path, Network *network, std::string *error);

}  // namespace standin::netapi32

#endif
