// SPDX-License-Identifier: GPL-3.0-or-later
// The program's calls, as counted outside the program: Wine's relay trace of
// the calls velmora.exe makes into the system DLLs (one "Call" and one "Ret"
// line each), and the simulated network DLL's own call record (one function
// name a line), which Wine cannot trace as it is not one of its own DLLs.
#ifndef VELMORA_FRONTENDS_SCENARIO_WINE_CALL_TRACE_H
#define VELMORA_FRONTENDS_SCENARIO_WINE_CALL_TRACE_H

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace wine_player {

struct TracedCall {
  std::string function;           // "SetCursor", "NetScheduleJobAdd", ...
  std::vector<std::string> args;  // as the trace writes them
  std::optional<uint64_t> result;
};

class CallTrace {
 public:
  CallTrace(std::wstring relay_path, std::wstring network_log_path)
      : relay_path_(std::move(relay_path)), network_log_path_(std::move(network_log_path)) {}

  // The relay trace is the standard error that Wine's processes share: the
  // program's part of it begins where the file ends when it starts.
  void MarkStart();
  // Wine traces every call it relays: only those whose return address lies
  // in velmora.exe are the program's own.
  void SetCaller(uint64_t image_start, uint64_t image_end) {
    caller_start_ = image_start;
    caller_end_ = image_end;
  }
  // Reads both files again (the program appends to them as it runs).
  void Refresh();
  size_t Count(const std::string &function) const;
  // The last call of a function, if any.
  const TracedCall *Last(const std::string &function) const;
  // The resource the program loaded a cursor handle from (LoadCursorA's
  // second argument), for the cursor it set last with SetCursor; nullopt
  // when it never set one.
  std::optional<uint64_t> LastCursorResource() const;
  // The network buffers handed to the program and not yet released, as the
  // DLL last reported them ("buffers N" lines of its record).
  uint64_t OutstandingBuffers() const { return buffers_; }
  // Milliseconds the program has paused with Sleep since the last call of
  // this function.
  uint64_t TakeSleptMilliseconds();

 private:
  // Whether a relay line's return address (after `marker`) lies in the exe.
  bool FromProgram(const std::string &line, size_t marker) const;

  std::wstring relay_path_, network_log_path_;
  uint64_t relay_offset_ = 0;  // how far the relay trace has been read
  uint64_t caller_start_ = 0, caller_end_ = UINT64_MAX;
  std::vector<TracedCall> relay_calls_, network_calls_;
  std::map<std::string, size_t> open_;  // calls still waiting for their Ret line
  uint64_t buffers_ = 0;
  size_t sleeps_counted_ = 0;  // relay calls already looked at for Sleep
};

// Splits a traced argument list at its top-level commas; quoted strings
// keep their commas.
std::vector<std::string> SplitTraceArgs(const std::string &text);
std::optional<uint64_t> TraceNumber(const std::string &text);

}  // namespace wine_player

#endif
