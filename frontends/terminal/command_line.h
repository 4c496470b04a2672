// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of the terminal front end: --help, --version, and the
// usage text that says what Velmora manages, where its network comes from,
// its keys and where its help is.
#ifndef VELMORA_FRONTENDS_TERMINAL_COMMAND_LINE_H
#define VELMORA_FRONTENDS_TERMINAL_COMMAND_LINE_H

#include <cstddef>
#include <string>

namespace terminal {

struct CommandLine {
  enum Action { kRun, kHelp, kVersion, kUsageError } action = kRun;
  std::string unknown;  // kUsageError: the argument not understood
};

CommandLine ParseCommandLine(int argc, const char *const *argv);

// UTF-8. help_file: where the help text is read from.
std::string UsageText(const std::string &help_file);

// "Velmora 0.9.9.2 (β2)": the product name, file version and product
// version of the version block in a compiled resource file (UTF-8); "" when
// it has none.
std::string VersionText(const void *res_data, size_t res_size);

}  // namespace terminal

#endif
