// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated network behind the stand-in's NETAPI32 functions: computers,
// their Schedule services and job stores, built from world statements (the
// same statements in scenario files and network files) and inspected by
// tests and the scenario interpreter.
#ifndef VELMORA_PLATFORM_INCLUDE_STANDIN_NETWORK_H
#define VELMORA_PLATFORM_INCLUDE_STANDIN_NETWORK_H

#include <windows.h>

#include <standin/clock.h>
#include <standin/statement.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace standin {

struct StoredJob {
  uint32_t id = 0;
  uint32_t job_time = 0;  // milliseconds after midnight
  uint32_t days_of_month = 0;
  uint8_t days_of_week = 0;
  uint8_t flags = 0;  // as the submitter set them
  std::u16string command;
};

// An empty, in-memory network; fault plans, call record and buffer count
// cleared. The clock is left as it is.
void ResetNetwork();

// True for the keywords of world statements: clock, local, computer,
// service, job, fail, remove.
bool IsWorldStatement(const std::string &keyword);
// Applies one world statement to the network; "" on success, else a reason
// naming what is wrong.
std::string ApplyWorldStatement(const std::vector<Token> &tokens);
// Checks the form of a world statement without looking at the network
// (numbers, times, keys, names), so that a file can be refused before it
// runs; "" or the reason.
std::string CheckWorldForm(const std::vector<Token> &tokens);

// The statements' values as the network reads them, for those who compare
// with the network (the scenario interpreter's expectations and clock).
// The record a `job NAME ...` statement describes, without storing it; "" or
// what is wrong with the statement.
std::string ReadJobStatement(const std::vector<Token> &tokens, StoredJob *job);
// running, stopped, paused or a number: the Schedule service's status word.
bool ReadStatusWord(const std::string &text, uint32_t *status);
// The date and time of a `clock` statement; false with the reason.
bool ReadClockStatement(const std::vector<Token> &tokens, SYSTEMTIME *clock, std::string *error);
// A job's time of day as the statements write it (HH:MM, with seconds and
// milliseconds where it has them), and its command in UTF-8.
std::string JobTimeText(uint32_t job_time);
std::string JobCommandText(const StoredJob &job);

// Inspection.
std::string LocalComputerName();
bool ComputerExists(const std::string &name);
std::vector<StoredJob> JobsOf(const std::string &computer);
std::optional<StoredJob> FindJob(const std::string &computer, uint32_t id);
std::optional<DWORD> ServiceStatusOf(const std::string &computer);
// Buffers handed out by the NETAPI32 functions and not yet released with
// NetApiBufferFree.
size_t OutstandingNetBuffers();

// Network files. Opening one makes it the network's store: every later call
// locks the file, reads it, applies the call and replaces the file atomically.
// Returns "" or a message naming the file, the line and the fault.
std::string OpenNetworkFile(const std::string &path);
// $VELMORA_NETWORK, else the default file under $XDG_STATE_HOME/velmora/ (or
// ~/.local/state/velmora/), created with this machine as its one computer.
std::string OpenNetworkForUser(std::string *path_used);

// Where the network's diagnostics go (a network file that cannot be read,
// locked or written, with the reason), so that each front end shows them as
// its own text; without a sink they go to standard error.
void SetNetworkDiagnosticSink(std::function<void(const std::string &message)> sink);

}  // namespace standin

#endif
