// SPDX-License-Identifier: GPL-3.0-or-later
// The stand-in's record of the platform calls the program made, in order, so
// tests can check which calls ran with which arguments.
#ifndef VELMORA_PLATFORM_INCLUDE_STANDIN_CALL_LOG_H
#define VELMORA_PLATFORM_INCLUDE_STANDIN_CALL_LOG_H

#include <cstddef>
#include <string>
#include <vector>

namespace standin {

struct PlatformCall {
  std::string function;  // "NetScheduleJobAdd", "EnableWindow", ...
  std::string server;    // UTF-8 server name as passed (network calls), else ""
  std::string args;      // the other arguments, rendered "name=value" separated by blanks
};

void RecordCall(std::string function, std::string server, std::string args);
const std::vector<PlatformCall> &RecordedCalls();
size_t CountCalls(const std::string &function);
void ClearRecordedCalls();
// A test that watches the program from another process names a file in
// VELMORA_LIVE_CALL_LOG: each call's function is appended to it at once (the
// record above lives in the program's memory), and other lines a watcher
// reads, such as "buffers N" for the network buffers outstanding.
void AppendToLiveLog(const std::string &line);
// The name of a message the program sends ("LVM_INSERTITEMA"), for the
// record's arguments; "0x1234" for a message without one here.
std::string MessageName(unsigned message);
// Recording is on by default; benchmarks turn it off.
void SetCallRecording(bool on);
bool IsCallRecording();

}  // namespace standin

#endif
