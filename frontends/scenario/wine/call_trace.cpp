// SPDX-License-Identifier: GPL-3.0-or-later
#include "call_trace.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace wine_player {
namespace {

std::string ReadFrom(const std::wstring &path, uint64_t offset) {
  std::ifstream in(path.c_str(), std::ios::binary);
  if (!in) return "";
  in.seekg(static_cast<std::streamoff>(offset));
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

std::vector<std::string> SplitTraceArgs(const std::string &text) {
  std::vector<std::string> args;
  std::string current;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted && c == '\\' && i + 1 < text.size()) {
      current += c;
      current += text[++i];
      continue;
    }
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted) {
      args.push_back(current);
      current.clear();
      continue;
    }
    current += c;
  }
  if (!current.empty() || !args.empty()) args.push_back(current);
  return args;
}

std::optional<uint64_t> TraceNumber(const std::string &text) {
  if (text.empty()) return std::nullopt;
  char *end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 16);
  if (end == text.c_str()) return std::nullopt;
  return value;
}

// Relay lines: "0024:Call user32.SetCursor(000100a2) ret=140001234" and
// "0024:Ret  user32.SetCursor() retval=00010034 ret=140001234". The program
// has one thread that calls out, so each Ret belongs to the last open Call of
// that function.
void CallTrace::MarkStart() {
  std::ifstream in(relay_path_.c_str(), std::ios::binary | std::ios::ate);
  relay_offset_ = in ? static_cast<uint64_t>(in.tellg()) : 0;
  relay_calls_.clear();
  open_.clear();
  sleeps_counted_ = 0;
}

bool CallTrace::FromProgram(const std::string &line, size_t marker) const {
  const size_t at = line.rfind(" ret=");
  if (at == std::string::npos || at < marker) return false;
  const std::optional<uint64_t> from = TraceNumber(line.substr(at + 5));
  return from && *from >= caller_start_ && *from < caller_end_;
}

// The relay trace only grows: each refresh reads the whole lines added since
// the last one.
void CallTrace::Refresh() {
  const std::string added = ReadFrom(relay_path_, relay_offset_);
  const size_t complete = added.rfind('\n');
  if (complete != std::string::npos) {
    relay_offset_ += complete + 1;
    std::istringstream relay(added.substr(0, complete + 1));
    std::string line;
    while (std::getline(relay, line)) {
      const size_t call = line.find(":Call ");
      const size_t ret = line.find(":Ret  ");
      if (call != std::string::npos && call <= 8) {
        const size_t dot = line.find('.', call);
        const size_t paren = line.find('(', call);
        const size_t close = line.rfind(") ret=");
        if (dot == std::string::npos || paren == std::string::npos || close == std::string::npos || dot > paren ||
            !FromProgram(line, close))
          continue;
        TracedCall traced;
        traced.function = line.substr(dot + 1, paren - dot - 1);
        traced.args = SplitTraceArgs(line.substr(paren + 1, close - paren - 1));
        open_[traced.function] = relay_calls_.size();
        relay_calls_.push_back(traced);
      } else if (ret != std::string::npos && ret <= 8) {
        const size_t dot = line.find('.', ret);
        const size_t paren = line.find('(', ret);
        const size_t value = line.find("retval=");
        if (dot == std::string::npos || paren == std::string::npos || value == std::string::npos ||
            !FromProgram(line, value))
          continue;
        auto found = open_.find(line.substr(dot + 1, paren - dot - 1));
        if (found == open_.end()) continue;
        relay_calls_[found->second].result = TraceNumber(line.substr(value + 7));
        open_.erase(found);
      }
    }
  }
  std::istringstream network(ReadFrom(network_log_path_, 0));
  std::string line;
  network_calls_.clear();
  buffers_ = 0;
  while (std::getline(network, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("buffers ", 0) == 0)
      buffers_ = std::strtoull(line.c_str() + 8, nullptr, 10);
    else if (!line.empty())
      network_calls_.push_back(TracedCall{line, {}, std::nullopt});
  }
}

uint64_t CallTrace::TakeSleptMilliseconds() {
  uint64_t slept = 0;
  for (; sleeps_counted_ < relay_calls_.size(); ++sleeps_counted_) {
    const TracedCall &call = relay_calls_[sleeps_counted_];
    if (call.function == "Sleep" && call.args.size() == 1) slept += TraceNumber(call.args[0]).value_or(0);
  }
  return slept;
}

size_t CallTrace::Count(const std::string &function) const {
  size_t count = 0;
  for (const auto *calls : {&relay_calls_, &network_calls_})
    for (const TracedCall &call : *calls)
      if (call.function == function) ++count;
  return count;
}

const TracedCall *CallTrace::Last(const std::string &function) const {
  for (const auto *calls : {&relay_calls_, &network_calls_})
    for (auto it = calls->rbegin(); it != calls->rend(); ++it)
      if (it->function == function) return &*it;
  return nullptr;
}

std::optional<uint64_t> CallTrace::LastCursorResource() const {
  std::map<uint64_t, uint64_t> loaded;  // handle -> resource
  std::optional<uint64_t> last;
  for (const TracedCall &call : relay_calls_) {
    if ((call.function == "LoadCursorA" || call.function == "LoadCursorW") && call.result && call.args.size() == 2) {
      if (auto resource = TraceNumber(call.args[1])) loaded[*call.result] = *resource;
    } else if (call.function == "SetCursor" && call.args.size() == 1) {
      auto handle = TraceNumber(call.args[0]);
      auto found = handle ? loaded.find(*handle) : loaded.end();
      last = found == loaded.end() ? 0 : found->second;
    }
  }
  return last;
}

}  // namespace wine_player
