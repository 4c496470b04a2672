// SPDX-License-Identifier: GPL-3.0-or-later
#include <standin/call_log.h>

#include <cstdio>
#include <cstdlib>

namespace standin {
namespace {
bool g_recording = true;

std::vector<PlatformCall> &Calls() {
  static std::vector<PlatformCall> calls;
  return calls;
}
}  // namespace

void AppendToLiveLog(const std::string &line) {
  const char *live = std::getenv("VELMORA_LIVE_CALL_LOG");
  if (live == nullptr || *live == '\0') return;
  if (FILE *out = std::fopen(live, "ab")) {
    std::fprintf(out, "%s\n", line.c_str());
    std::fclose(out);
  }
}

void RecordCall(std::string function, std::string server, std::string args) {
  AppendToLiveLog(function);
  if (!g_recording) return;
  Calls().push_back({std::move(function), std::move(server), std::move(args)});
}

const std::vector<PlatformCall> &RecordedCalls() { return Calls(); }

size_t CountCalls(const std::string &function) {
  size_t n = 0;
  for (const auto &call : Calls())
    if (call.function == function) ++n;
  return n;
}

void ClearRecordedCalls() { Calls().clear(); }

void SetCallRecording(bool on) { g_recording = on; }
bool IsCallRecording() { return g_recording; }

}  // namespace standin
