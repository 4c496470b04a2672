// SPDX-License-Identifier: GPL-3.0-or-later
#include "network_model.h"

#include "wide_text.h"

#include <cstring>
#include <sstream>
#include <string_view>

namespace standin::netapi32 {
namespace {

// The key=value words of a statement after its leading plain words, as the
// tokens of the line they point into (a statement has few: a search is
// cheaper than a map).
struct Options {
  std::vector<const Token *> values;
  std::vector<std::string> flags;  // plain words such as `unreachable`

  const Token *Find(std::string_view key) const {
    for (const Token *token : values)
      if (token->key == key) return token;
    return nullptr;
  }
  bool Has(std::string_view key) const { return Find(key) != nullptr; }
};

bool CollectOptions(const std::vector<Token> &tokens, size_t first,
                    std::initializer_list<std::string_view> allowed_keys,
                    std::initializer_list<std::string_view> allowed_flags, Options *options, std::string *error) {
  options->values.reserve(tokens.size());
  for (size_t i = first; i < tokens.size(); ++i) {
    const Token &token = tokens[i];
    if (token.key.empty()) {
      bool known = false;
      for (std::string_view flag : allowed_flags) known = known || (!token.quoted && token.value == flag);
      if (!known) {
        *error = "unexpected word \"" + token.value + "\"";
        return false;
      }
      options->flags.push_back(token.value);
      continue;
    }
    bool known = false;
    for (std::string_view key : allowed_keys)
      if (token.key == key) {
        known = true;
        break;
      }
    if (!known) {
      *error = "unknown setting " + token.key + "=";
      return false;
    }
    for (const Token *seen : options->values)
      if (seen->key == token.key) {
        *error = token.key + "= is given twice";
        return false;
      }
    options->values.push_back(&token);
  }
  return true;
}

bool NumberOption(const Options &options, std::string_view key, uint64_t max, uint64_t *value, std::string *error) {
  const Token *token = options.Find(key);
  if (token == nullptr) return true;
  if (token->quoted || !ParseNumber(token->value, value) || *value > max) {
    *error = std::string(key) + "=" + token->value + " is not a number from 0 to " + std::to_string(max);
    return false;
  }
  return true;
}

bool ParseUnsigned(std::string_view text, size_t digits_min, size_t digits_max, unsigned max, unsigned *value) {
  if (text.size() < digits_min || text.size() > digits_max) return false;
  unsigned result = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + static_cast<unsigned>(c - '0');
  }
  if (result > max) return false;
  *value = result;
  return true;
}

std::vector<std::string> Split(const std::string &text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

// HH:MM[:SS[.mmm]] to milliseconds after midnight. Every job line has one, so
// it is read in place.
bool ParseTimeOfDay(std::string_view text, uint32_t *job_time) {
  const size_t dot = text.find('.');
  const std::string_view main = text.substr(0, dot);
  std::string_view parts[3];
  size_t count = 0;
  for (size_t start = 0;;) {
    if (count == 3) return false;
    const size_t colon = main.find(':', start);
    parts[count++] = main.substr(start, colon == std::string_view::npos ? std::string_view::npos : colon - start);
    if (colon == std::string_view::npos) break;
    start = colon + 1;
  }
  unsigned hour = 0, minute = 0, second = 0, milli = 0;
  if (count < 2) return false;
  if (!ParseUnsigned(parts[0], 1, 2, 23, &hour) || !ParseUnsigned(parts[1], 2, 2, 59, &minute)) return false;
  if (count == 3 && !ParseUnsigned(parts[2], 2, 2, 59, &second)) return false;
  if (dot != std::string_view::npos && (count != 3 || !ParseUnsigned(text.substr(dot + 1), 3, 3, 999, &milli)))
    return false;
  *job_time = ((hour * 60 + minute) * 60 + second) * 1000 + milli;
  return true;
}

bool IsLeapYear(unsigned year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

unsigned DaysInMonth(unsigned year, unsigned month) {
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

unsigned DayOfWeek(unsigned year, unsigned month, unsigned day) {
  // Sakamoto's method; Sunday is 0 as in SYSTEMTIME.
  static const unsigned kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) --year;
  return (year + year / 4 - year / 100 + year / 400 + kOffsets[month - 1] + day) % 7;
}

std::string ApplyLocal(Network *network, const std::vector<Token> &tokens) {
  if (tokens.size() != 2 || !tokens[1].key.empty()) return "usage: local NAME";
  if (!IsValidComputerName(tokens[1].value)) return "\"" + tokens[1].value + "\" is not a valid computer name";
  network->local = UpperCaseAscii(tokens[1].value);
  return "";
}

// The `real` word and the settings that belong to it.
std::string ApplyRealOptions(const Options &options, Computer *computer) {
  bool real = false;
  for (const auto &flag : options.flags) real = real || flag == "real";
  for (const char *key : {"address", "port", "privacy", "timeout", "auth", "ccache"})
    if (!real && options.Has(key)) return std::string(key) + "= belongs to a real computer";
  if (!real) return "";
  for (const auto &flag : options.flags)
    if (flag == "unreachable") return "a real computer is reached or not by the network itself, not by unreachable";
  realnet::RemoteHost host;
  std::string error;
  uint64_t port = 0, timeout = realnet::kDefaultTimeoutSeconds;
  if (!NumberOption(options, "port", 65535, &port, &error) || !NumberOption(options, "timeout", 3600, &timeout, &error))
    return error;
  if (timeout == 0) return "timeout=0: a call needs at least one second";
  host.port = static_cast<unsigned>(port);
  host.timeout_seconds = static_cast<unsigned>(timeout);
  if (const Token *address = options.Find("address")) {
    host.address = address->value;
    if (host.address.empty() || host.address.find_first_of(" \t[]\\/,%") != std::string::npos)
      return "address=" + host.address + " is not a host name or address";
  }
  if (const Token *privacy = options.Find("privacy")) {
    const std::string &value = privacy->value;
    if (value == "sign") {
      host.privacy = realnet::Privacy::kSign;
    } else if (value == "none") {
      host.privacy = realnet::Privacy::kNone;
    } else if (value != "seal") {
      return "privacy=" + value + " is not seal, sign or none";
    }
  }
  if (const Token *auth = options.Find("auth")) {
    const std::string &value = auth->value;
    if (value == "kerberos") {
      host.auth = realnet::Auth::kKerberos;
    } else if (value == "ntlm") {
      host.auth = realnet::Auth::kNtlm;
    } else if (value != "auto") {
      return "auth=" + value + " is not auto, kerberos or ntlm";
    }
  }
  if (const Token *ccache = options.Find("ccache")) {
    host.ccache = ccache->value;
    if (host.ccache.empty()) return "ccache= names no ticket cache";
  }
  computer->real = host;
  return "";
}

std::string ApplyCredentials(Network *network, const std::vector<Token> &tokens) {
  if (tokens.size() != 2 || !tokens[1].key.empty() || tokens[1].value.empty()) return "usage: credentials PATH";
  network->credentials = tokens[1].value;
  return "";
}

std::string ApplyComputer(Network *network, const std::vector<Token> &tokens) {
  if (tokens.size() < 2 || !tokens[1].key.empty())
    return "usage: computer NAME [platform=N] [service=running|stopped|paused|STATUSWORD] [unreachable] "
           "| computer NAME real [address=HOST] [port=N] [privacy=seal|sign|none] [timeout=SECONDS] "
           "[auth=auto|kerberos|ntlm] [ccache=PATH]";
  const std::string name = UpperCaseAscii(tokens[1].value);
  if (!IsValidComputerName(name)) return "\"" + tokens[1].value + "\" is not a valid computer name";
  if (network->Find(name) != nullptr) return "computer " + name + " is described twice";
  Options options;
  std::string error;
  if (!CollectOptions(tokens, 2, {"platform", "service", "address", "port", "privacy", "timeout", "auth", "ccache"},
                      {"unreachable", "real"}, &options, &error))
    return error;
  Computer computer;
  computer.name = name;
  error = ApplyRealOptions(options, &computer);
  if (!error.empty()) return error;
  uint64_t platform = 500;
  if (!NumberOption(options, "platform", UINT32_MAX, &platform, &error)) return error;
  computer.platform_id = static_cast<DWORD>(platform);
  const Token *service = options.Find("service");
  if (service != nullptr && !ParseStatusWord(service->value, &computer.status))
    return "service=" + service->value + " is not running, stopped, paused or a status word";
  for (const auto &flag : options.flags) computer.unreachable = computer.unreachable || flag == "unreachable";
  network->computers.push_back(std::move(computer));
  return "";
}

std::string ApplyService(Network *network, const std::vector<Token> &tokens) {
  if (tokens.size() < 3 || !tokens[1].key.empty())
    return "usage: service NAME start=CODE | continue=CODE | pending=N | state=running|stopped|paused|STATUSWORD | "
           "lastid=N";
  Computer *computer = network->Find(tokens[1].value);
  if (computer == nullptr) return "no computer " + UpperCaseAscii(tokens[1].value) + " is described before this line";
  Options options;
  std::string error;
  if (!CollectOptions(tokens, 2, {"start", "continue", "pending", "state", "lastid"}, {}, &options, &error))
    return error;
  uint64_t start = computer->behaviour.start_code, resume = computer->behaviour.continue_code;
  uint64_t pending = computer->behaviour.pending, last_id = computer->highest_id;
  if (!NumberOption(options, "start", UINT32_MAX, &start, &error) ||
      !NumberOption(options, "continue", UINT32_MAX, &resume, &error) ||
      !NumberOption(options, "pending", 1000000, &pending, &error) ||
      !NumberOption(options, "lastid", UINT32_MAX, &last_id, &error))
    return error;
  DWORD status = computer->status;
  const Token *state = options.Find("state");
  if (state != nullptr && (state->quoted || !ParseStatusWord(state->value, &status)))
    return "state=" + state->value + " is not running, stopped, paused or a status word";
  computer->behaviour.start_code = static_cast<DWORD>(start);
  computer->behaviour.continue_code = static_cast<DWORD>(resume);
  computer->behaviour.pending = static_cast<uint32_t>(pending);
  computer->status = status;
  if (last_id > computer->highest_id) computer->highest_id = static_cast<uint32_t>(last_id);
  return "";
}

std::string ApplyJob(Network *network, const std::vector<Token> &tokens) {
  // Spelled out only for a line that needs it: a network file may hold many jobs.
  const char *const usage = "usage: job NAME id=N at=HH:MM[:SS[.mmm]] | time=MS [flags=N] [dow=N] [dom=N] cmd=\"TEXT\"";
  if (tokens.size() < 2 || !tokens[1].key.empty()) return usage;
  Computer *computer = network->Find(tokens[1].value);
  if (computer == nullptr) return "no computer " + UpperCaseAscii(tokens[1].value) + " is described before this line";
  Options options;
  std::string error;
  if (!CollectOptions(tokens, 2, {"id", "at", "time", "flags", "dow", "dom", "cmd"}, {}, &options, &error))
    return error;
  for (const char *required : {"id", "cmd"})
    if (!options.Has(required)) return std::string(required) + "= is missing; " + usage;
  const Token *at = options.Find("at");
  const bool at_given = at != nullptr, time_given = options.Has("time");
  if (at_given == time_given) return std::string("give the time once, as at= or as time=; ") + usage;
  uint64_t id = 0, flags = 0, dow = 0, dom = 0, raw_time = 0;
  if (!NumberOption(options, "id", UINT32_MAX, &id, &error) || !NumberOption(options, "flags", 0xFF, &flags, &error) ||
      !NumberOption(options, "dow", 0xFF, &dow, &error) || !NumberOption(options, "dom", UINT32_MAX, &dom, &error) ||
      !NumberOption(options, "time", UINT32_MAX, &raw_time, &error))
    return error;
  if (id == 0) return "id=0: job IDs start at 1";
  if (flags & 0x0C) return "flags=" + HexText(static_cast<uint32_t>(flags)) + ": 0x04 and 0x08 are not stored flags";
  StoredJob job;
  job.id = static_cast<uint32_t>(id);
  // time= is the raw record (24 hours or more included), at= a time of day.
  job.job_time = static_cast<uint32_t>(raw_time);
  if (at_given && !ParseTimeOfDay(at->value, &job.job_time))
    return "at=" + at->value + " is not a time of day HH:MM[:SS[.mmm]]";
  job.flags = static_cast<uint8_t>(flags);
  job.days_of_week = static_cast<uint8_t>(dow);
  job.days_of_month = static_cast<uint32_t>(dom);
  // Another program may have stored any record, an empty command included.
  job.command = Utf8ToWide(options.Find("cmd")->value);
  auto &jobs = computer->jobs;
  // Files list jobs mostly in ascending IDs: each goes at the end.
  const auto hint = jobs.empty() || jobs.rbegin()->first < job.id ? jobs.end() : jobs.lower_bound(job.id);
  if (hint != jobs.end() && hint->first == job.id)
    return "job " + std::to_string(job.id) + " already exists on " + computer->name;
  if (job.id > computer->highest_id) computer->highest_id = job.id;
  const uint32_t key = job.id;
  jobs.emplace_hint(hint, key, std::move(job));
  return "";
}

std::string ApplyRemove(Network *network, const std::vector<Token> &tokens) {
  if (tokens.size() != 3 || !tokens[1].key.empty() || tokens[2].key != "id") return "usage: remove NAME id=N";
  Computer *computer = network->Find(tokens[1].value);
  if (computer == nullptr) return "no computer " + UpperCaseAscii(tokens[1].value);
  uint64_t id = 0;
  if (!ParseNumber(tokens[2].value, &id) || computer->jobs.erase(static_cast<uint32_t>(id)) == 0)
    return "no job " + tokens[2].value + " on " + computer->name;
  return "";
}

std::string ApplyClock(Network *network, const std::vector<Token> &tokens) {
  SYSTEMTIME clock{};
  std::string error;
  if (!ParseClock(tokens, &clock, &error)) return error;
  network->clock = clock;
  return "";
}

// The world statements that describe a network. Scenario files use them all
// (their `clock` sets the simulated clock instead); network files all but
// those that stand for another program's action.
const StatementRule kStatements[] = {
    {"clock", true, true, ApplyClock},
    {"local", true, true, ApplyLocal},
    {"computer", true, false, ApplyComputer},
    {"service", true, false, ApplyService},
    {"job", true, false, ApplyJob},
    {"remove", false, false, ApplyRemove},
    {"credentials", true, true, ApplyCredentials},
};

}  // namespace

const StatementRule *RuleFor(const std::string &keyword) {
  for (const StatementRule &rule : kStatements)
    if (keyword == rule.keyword) return &rule;
  return nullptr;
}

std::string HexText(uint32_t value) {
  std::ostringstream out;
  out << "0x" << std::hex << value;
  return out.str();
}

std::string StatusWordText(DWORD status) {
  switch (status) {
    case kStatusRunning:
      return "running";
    case kStatusStopped:
      return "stopped";
    case kStatusPaused:
      return "paused";
    default:
      return HexText(status);
  }
}

const char *PrivacyText(realnet::Privacy privacy) {
  switch (privacy) {
    case realnet::Privacy::kSign:
      return "sign";
    case realnet::Privacy::kNone:
      return "none";
    default:
      return "seal";
  }
}

Computer *Network::Find(const std::string &name) {
  const std::string upper = UpperCaseAscii(name);
  for (auto &computer : computers)
    if (computer.name == upper) return &computer;
  return nullptr;
}

const Computer *Network::Find(const std::string &name) const { return const_cast<Network *>(this)->Find(name); }

std::string Network::LocalName() const {
  if (!local.empty()) return local;
  return computers.empty() ? std::string() : computers.front().name;
}

std::string UpperCaseAscii(std::string text) {
  for (char &c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

bool IsValidComputerName(const std::string &utf8_name) {
  if (utf8_name.empty()) return false;
  for (unsigned char c : utf8_name) {
    if (c <= 0x20 || c == 0x7F || std::strchr("\\/:*?\"<>|", static_cast<char>(c)) != nullptr) return false;
  }
  const std::u16string wide = Utf8ToWide(utf8_name);
  for (char16_t unit : wide)
    if (unit == u'\uFFFD') return false;
  std::string ansi;
  return WideToAnsi(wide, &ansi) && ansi.size() <= 15;
}

bool ParseStatusWord(const std::string &text, DWORD *status) {
  if (text == "running") {
    *status = kStatusRunning;
  } else if (text == "stopped") {
    *status = kStatusStopped;
  } else if (text == "paused") {
    *status = kStatusPaused;
  } else {
    uint64_t value = 0;
    if (!ParseNumber(text, &value) || value > UINT32_MAX) return false;
    *status = static_cast<DWORD>(value);
  }
  return true;
}

bool ParseClock(const std::vector<Token> &tokens, SYSTEMTIME *clock, std::string *error) {
  *error = "usage: clock YYYY-MM-DD HH:MM[:SS]";
  if (tokens.size() != 3 || !tokens[1].key.empty() || !tokens[2].key.empty()) return false;
  std::vector<std::string> date = Split(tokens[1].value, '-');
  unsigned year = 0, month = 0, day = 0;
  if (date.size() != 3 || !ParseUnsigned(date[0], 4, 4, 9999, &year) || year < 1601 ||
      !ParseUnsigned(date[1], 2, 2, 12, &month) || month == 0 || !ParseUnsigned(date[2], 2, 2, 31, &day) || day == 0 ||
      day > DaysInMonth(year, month)) {
    *error = tokens[1].value + " is not a date YYYY-MM-DD";
    return false;
  }
  uint32_t job_time = 0;
  if (tokens[2].value.find('.') != std::string::npos || !ParseTimeOfDay(tokens[2].value, &job_time)) {
    *error = tokens[2].value + " is not a time HH:MM[:SS]";
    return false;
  }
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(year);
  st.wMonth = static_cast<WORD>(month);
  st.wDay = static_cast<WORD>(day);
  st.wDayOfWeek = static_cast<WORD>(DayOfWeek(year, month, day));
  st.wHour = static_cast<WORD>(job_time / 3600000);
  st.wMinute = static_cast<WORD>(job_time / 60000 % 60);
  st.wSecond = static_cast<WORD>(job_time / 1000 % 60);
  *clock = st;
  error->clear();
  return true;
}

std::string FormatClock(const SYSTEMTIME &clock) {
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", clock.wYear, clock.wMonth, clock.wDay, clock.wHour,
                clock.wMinute, clock.wSecond);
  return text;
}

std::string FormatJobTime(uint32_t job_time) {
  char text[64];
  const unsigned hours = job_time / 3600000, minutes = job_time / 60000 % 60;
  const unsigned seconds = job_time / 1000 % 60, millis = job_time % 1000;
  if (millis != 0) {
    std::snprintf(text, sizeof text, "%02u:%02u:%02u.%03u", hours, minutes, seconds, millis);
  } else if (seconds != 0) {
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", hours, minutes, seconds);
  } else {
    std::snprintf(text, sizeof text, "%02u:%02u", hours, minutes);
  }
  return text;
}

std::string ApplyNetworkStatement(Network *network, const std::vector<Token> &tokens) {
  const std::string &keyword = tokens.at(0).value;
  const StatementRule *rule = RuleFor(keyword);
  if (rule == nullptr) return "unknown statement \"" + keyword + "\"";
  return rule->apply(network, tokens);
}

bool RunsToday(const StoredJob &job, const SYSTEMTIME &now) {
  const uint32_t now_ms = ((now.wHour * 60u + now.wMinute) * 60u + now.wSecond) * 1000u + now.wMilliseconds;
  if (job.job_time <= now_ms || job.job_time >= kMillisecondsPerDay) return false;
  if (job.days_of_week == 0 && job.days_of_month == 0) return true;  // runs at the next occurrence of its time
  const unsigned weekday_bit = (now.wDayOfWeek + 6u) % 7u;           // bit 0 is Monday
  if (job.days_of_week & (1u << weekday_bit)) return true;
  return now.wDay >= 1 && now.wDay <= 31 && (job.days_of_month & (1u << (now.wDay - 1))) != 0;
}

}  // namespace standin::netapi32
