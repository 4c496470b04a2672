// SPDX-License-Identifier: GPL-3.0-or-later
#include "network_file.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string_view>
#include <utility>

#include "wide_text.h"

namespace standin::netapi32 {
namespace {

SourceLine::Kind KindOf(const std::string &keyword) {
  if (keyword == "clock") return SourceLine::Kind::kClock;
  if (keyword == "local") return SourceLine::Kind::kLocal;
  if (keyword == "computer") return SourceLine::Kind::kComputer;
  if (keyword == "service") return SourceLine::Kind::kService;
  if (keyword == "job") return SourceLine::Kind::kJob;
  if (keyword == "clock") return SourceLine::Kind::kClock;
  return SourceLine::Kind::kOther;
}

// A computer name as a word of a line. Names may hold '=' (NT allows it), and
// a plain word with one would read back as an option: such a name is quoted.
std::string NameWord(const std::string &name) { return name.find('=') == std::string::npos ? name : QuoteString(name); }

std::string ComputerText(const Computer &computer) {
  std::string out = "computer " + NameWord(computer.name);
  if (computer.real) {
    const realnet::RemoteHost &host = *computer.real;
    out += " real";
    if (!host.address.empty()) out += " address=" + host.address;
    if (host.port != 0) out += " port=" + std::to_string(host.port);
    if (host.privacy != realnet::Privacy::kSeal) out += std::string(" privacy=") + PrivacyText(host.privacy);
    if (host.timeout_seconds != realnet::kDefaultTimeoutSeconds)
      out += " timeout=" + std::to_string(host.timeout_seconds);
    if (host.auth != realnet::Auth::kAuto)
      out += host.auth == realnet::Auth::kKerberos ? " auth=kerberos" : " auth=ntlm";
    if (!host.ccache.empty()) out += " ccache=" + QuoteString(host.ccache);
  }
  if (computer.platform_id != 500) out += " platform=" + std::to_string(computer.platform_id);
  out += " service=" + StatusWordText(computer.status);
  if (computer.unreachable) out += " unreachable";
  return out;
}

// Which facts a computer's `service` statements in the file hold besides its
// behaviour: those go on holding them, kept true.
struct ServiceFacts {
  bool state = false;
  bool last_id = false;
};

// The `service` statement a computer needs, or "" when it needs none: its
// behaviour, the last ID when it is above every stored job's (or the file's
// statement holds it), and the state when the file's statement holds it.
std::string ServiceText(const Computer &computer, ServiceFacts facts, uint32_t highest_held) {
  const ServiceBehaviour &b = computer.behaviour;
  std::string service;
  if (b.start_code != 0) service += " start=" + std::to_string(b.start_code);
  if (b.continue_code != 0) service += " continue=" + std::to_string(b.continue_code);
  if (b.pending != 0) service += " pending=" + std::to_string(b.pending);
  if (facts.state) service += " state=" + StatusWordText(computer.status);
  if (facts.last_id || computer.highest_id > highest_held) service += " lastid=" + std::to_string(computer.highest_id);
  return service.empty() ? "" : "service " + NameWord(computer.name) + service;
}

std::string ServiceText(const Computer &computer, ServiceFacts facts = {}) {
  return ServiceText(computer, facts, computer.jobs.empty() ? 0 : computer.jobs.rbegin()->first);
}

std::string JobText(const std::string &computer, const StoredJob &job) {
  std::string out = "job " + NameWord(computer) + " id=" + std::to_string(job.id);
  // A time of day where the record holds one, else the raw milliseconds.
  out += job.job_time < kMillisecondsPerDay ? " at=" + FormatJobTime(job.job_time)
                                            : " time=" + std::to_string(job.job_time);
  if (job.flags != 0) out += " flags=" + HexText(job.flags);
  if (job.days_of_week != 0) out += " dow=" + HexText(job.days_of_week);
  if (job.days_of_month != 0) out += " dom=" + HexText(job.days_of_month);
  return out + " cmd=" + QuoteString(WideToUtf8(job.command));
}

// Whether a job is still as its line in the file states it.
bool SameJob(const StoredJob &job, const NetworkSource &source, const SourceLine &line) {
  if (job.id != line.job_id || job.job_time != line.job_time || job.days_of_month != line.days_of_month ||
      job.days_of_week != line.days_of_week || job.flags != line.flags)
    return false;
  if (line.command_in_place) {
    const std::string_view bytes = source.TextOf(line).substr(line.command_offset, line.command_length);
    // A plain ASCII command equals only the same bytes (UTF-8 spells no
    // other text in ASCII); any other after conversion.
    bool ascii = true;
    for (char16_t unit : job.command) ascii = ascii && unit < 0x80;
    if (!ascii) return Utf8ToWide(std::string(bytes)) == job.command;
    if (bytes.size() != job.command.size()) return false;
    for (size_t i = 0; i < bytes.size(); ++i)
      if (static_cast<unsigned char>(bytes[i]) != job.command[i]) return false;
    return true;
  }
  // The line was read whole before, so it lexes again.
  std::vector<Token> tokens;
  std::string error;
  LexStatement(std::string(source.TextOf(line)), &tokens, &error);
  for (const Token &token : tokens)
    if (token.key == "cmd") return Utf8ToWide(token.value) == job.command;
  return false;
}

// Collects the output lines; a last line without an ending gets one when
// another line follows it.
class LineWriter {
 public:
  explicit LineWriter(std::string ending) : ending_(std::move(ending)) {}
  void Add(std::string_view text, std::string_view ending) {
    if (open_) out_ += ending_;
    out_ += text;
    out_ += ending;
    open_ = ending.empty();
  }
  void Add(std::string_view text, SourceLine::Ending ending) {
    Add(text, ending == SourceLine::Ending::kCrLf ? "\r\n" : ending == SourceLine::Ending::kLf ? "\n" : "");
  }
  void Add(std::string_view text) { Add(text, std::string_view(ending_)); }
  std::string &Text() { return out_; }

 private:
  std::string ending_;
  std::string out_;
  bool open_ = false;
};

void WriteComputer(const Computer &computer, LineWriter *out) {
  out->Add(ComputerText(computer));
  const std::string service = ServiceText(computer);
  if (!service.empty()) out->Add(service);
  for (const auto &entry : computer.jobs) out->Add(JobText(computer.name, entry.second));
}

std::string ClockText(const std::optional<SYSTEMTIME> &clock) { return clock ? "clock " + FormatClock(*clock) : ""; }
std::string LocalText(const std::string &local) { return local.empty() ? "" : "local " + NameWord(local); }

// Writes the source's lines, each kept unless what it states has changed.
std::string RewriteSource(const Network &network, const NetworkSource &source) {
  LineWriter out(source.ending);
  if (source.byte_order_mark) out.Text() = "\xEF\xBB\xBF";
  using Kind = SourceLine::Kind;
  // Each computer the file described, by its index there: as it is now (null
  // when it is gone), where its statements end (its new statements go after
  // them), and which facts its service statements hold.
  const size_t described = source.computers.size();
  std::map<std::string, const Computer *> now_by_name;
  for (const Computer &computer : network.computers) now_by_name[computer.name] = &computer;
  std::vector<const Computer *> now_of(described, nullptr);
  std::map<std::string, bool> was_described;
  for (size_t c = 0; c < described; ++c) {
    auto found = now_by_name.find(source.computers[c].name);
    if (found != now_by_name.end()) now_of[c] = found->second;
    was_described[source.computers[c].name] = true;
  }
  std::vector<uint32_t> then_highest(described, 0);
  for (size_t c = 0; c < described && c < source.job_ids.size(); ++c)
    then_highest[c] = source.job_ids[c].empty() ? 0 : source.job_ids[c].back();
  std::vector<size_t> last_line(described, 0);
  std::vector<ServiceFacts> facts(described);
  std::vector<bool> service_written(described, false);
  // A clock or local that the file lacked goes before its first statement.
  size_t first_statement = source.lines.size();
  bool has_clock = false, has_local = false;
  for (size_t i = 0; i < source.lines.size(); ++i) {
    const SourceLine &line = source.lines[i];
    if (line.kind >= Kind::kComputer) last_line[line.computer] = i;
    if (line.kind == Kind::kService) {
      facts[line.computer].state = facts[line.computer].state || line.holds_state;
      facts[line.computer].last_id = facts[line.computer].last_id || line.holds_last_id;
    }
    if (line.kind != Kind::kOther && first_statement == source.lines.size()) first_statement = i;
    has_clock = has_clock || line.kind == Kind::kClock;
    has_local = has_local || line.kind == Kind::kLocal;
  }
  const std::string clock = ClockText(network.clock), local = LocalText(network.local);
  auto add_settings = [&] {
    if (!has_clock && !clock.empty()) out.Add(clock);
    if (!has_local && !local.empty()) out.Add(local);
  };
  for (size_t i = 0; i < source.lines.size(); ++i) {
    const SourceLine &line = source.lines[i];
    const std::string_view line_text = source.TextOf(line);
    if (i == first_statement) add_settings();
    const Computer *now = nullptr, *then = nullptr;
    if (line.kind >= Kind::kComputer) {
      now = now_of[line.computer];
      then = &source.computers[line.computer];
    }
    if (line.kind == Kind::kOther) {
      out.Add(line_text, line.ending);
    } else if (line.kind == Kind::kClock || line.kind == Kind::kLocal) {
      const bool is_clock = line.kind == Kind::kClock;
      const std::string text = is_clock ? clock : local;
      if (text == (is_clock ? ClockText(source.clock) : LocalText(source.local))) {
        out.Add(line_text, line.ending);
      } else if (!text.empty()) {
        out.Add(text, line.ending);
      }
    } else if (now == nullptr) {
      // The computer is gone: its statements go with it.
    } else if (line.kind == Kind::kComputer) {
      const bool same =
          now->platform_id == then->platform_id && now->status == then->status && now->unreachable == then->unreachable;
      if (same) {
        out.Add(line_text, line.ending);
      } else {
        out.Add(ComputerText(*now), line.ending);
      }
    } else if (line.kind == Kind::kService) {
      const std::string text = ServiceText(*now, facts[line.computer]);
      if (text == ServiceText(*then, facts[line.computer], then_highest[line.computer])) {
        out.Add(line_text, line.ending);
      } else if (!service_written[line.computer] && !text.empty()) {
        out.Add(text, line.ending);
      }
      service_written[line.computer] = true;
    } else {
      auto job = now->jobs.find(line.job_id);
      if (job != now->jobs.end()) {
        if (SameJob(job->second, source, line)) {
          out.Add(line_text, line.ending);
        } else {
          out.Add(JobText(now->name, job->second), line.ending);
        }
      }
    }
    if (now == nullptr || last_line[line.computer] != i) continue;
    // After a computer's last line: the statements it did not have.
    const std::string service = ServiceText(*now, facts[line.computer]);
    if (!service_written[line.computer] && !service.empty() &&
        service != ServiceText(*then, facts[line.computer], then_highest[line.computer]))
      out.Add(service);
    const std::vector<uint32_t> &held = source.job_ids[line.computer];
    for (const auto &entry : now->jobs)
      if (!std::binary_search(held.begin(), held.end(), entry.first)) out.Add(JobText(now->name, entry.second));
  }
  if (first_statement == source.lines.size()) add_settings();
  for (const Computer &computer : network.computers)
    if (was_described.count(computer.name) == 0) WriteComputer(computer, &out);
  return std::move(out.Text());
}

}  // namespace

bool ParseNetworkText(const std::string &text, Network *network, std::string *error) {
  return ParseNetworkText(std::string(text), network, error);
}

bool ParseNetworkText(std::string &&file_text, Network *network, std::string *error) {
  *network = Network();
  auto source = std::make_shared<NetworkSource>();
  source->text = std::move(file_text);  // kept whole: the lines are kept as where they lie in it
  const std::string &text = source->text;
  size_t start = 0;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    source->byte_order_mark = true;
    start = 3;
  }
  std::map<std::string, int> first_seen;  // statements allowed once: their line
  std::vector<Token> tokens;
  size_t line_count = 1;
  for (const char *at = text.data(), *end = at + text.size();
       (at = static_cast<const char *>(std::memchr(at, '\n', static_cast<size_t>(end - at)))) != nullptr; ++at)
    ++line_count;
  source->lines.reserve(line_count);
  size_t named = 0;       // the index of the computer the last line named
  std::string line_text;  // one line at a time, for the lexer
  for (int number = 1; start < text.size(); ++number) {
    SourceLine line;
    line.offset = start;
    size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      line.length = text.size() - start;
      start = text.size();
    } else {
      const bool crlf = end > start && text[end - 1] == '\r';
      line.length = end - start - (crlf ? 1 : 0);
      line.ending = crlf ? SourceLine::Ending::kCrLf : SourceLine::Ending::kLf;
      start = end + 1;
      if (source->ending.empty()) source->ending = crlf ? "\r\n" : "\n";
    }
    line_text.assign(text, line.offset, line.length);
    std::string fault = CheckLineText(line_text);
    if (fault.empty() && LexStatement(line_text, &tokens, &fault) && !tokens.empty()) {
      const std::string &keyword = tokens[0].value;
      const StatementRule *rule = RuleFor(keyword);
      if (tokens[0].quoted || !tokens[0].key.empty()) {
        fault = "a statement must begin with a keyword";
      } else if (rule == nullptr) {
        fault = IsWorldStatement(keyword) ? keyword + " belongs in scenarios, not in a network file"
                                          : "unknown statement \"" + keyword + "\"";
      } else if (!rule->in_network_files) {
        fault = keyword + " belongs in scenarios, not in a network file";
      } else if (rule->at_most_once && first_seen.count(keyword) != 0) {
        fault = keyword + " is given twice (first on line " + std::to_string(first_seen[keyword]) + ")";
      } else {
        if (rule->at_most_once) first_seen.emplace(keyword, number);
        fault = rule->apply(network, tokens);
        line.kind = KindOf(keyword);
        if (line.kind >= SourceLine::Kind::kComputer && fault.empty()) {
          // The rule has found the computer (or added it): its index, the
          // last line's first, since a computer's lines tend to follow it.
          const std::string name = UpperCaseAscii(tokens[1].value);
          const std::vector<Computer> &computers = network->computers;
          if (named >= computers.size() || computers[named].name != name)
            for (named = 0; named < computers.size() && computers[named].name != name; ++named) {
            }
          line.computer = static_cast<uint32_t>(named);
        }
        for (const Token &token : tokens) {
          line.holds_state = line.holds_state || (line.kind == SourceLine::Kind::kService && token.key == "state");
          line.holds_last_id = line.holds_last_id || (line.kind == SourceLine::Kind::kService && token.key == "lastid");
        }
        if (line.kind == SourceLine::Kind::kJob && fault.empty()) {
          uint64_t id = 0;
          for (const Token &token : tokens)
            if (token.key == "id") ParseNumber(token.value, &id);
          line.job_id = static_cast<uint32_t>(id);
          const auto &jobs = network->computers[named].jobs;
          const StoredJob &job = jobs.rbegin()->first == line.job_id ? jobs.rbegin()->second : jobs.at(line.job_id);
          line.job_time = job.job_time;
          line.days_of_month = job.days_of_month;
          line.days_of_week = job.days_of_week;
          line.flags = job.flags;
          // A line that ends in its command written as it is (as written
          // lines do) keeps where it lies, to be compared without lexing.
          for (const Token &token : tokens) {
            if (token.key != "cmd") continue;
            const std::string &value = token.value;
            const size_t end = line_text.size();
            line.command_in_place =
                token.quoted && value.find_first_of("\\\"\n") == std::string::npos && end >= value.size() + 6 &&
                line_text.compare(end - value.size() - 6, 5, "cmd=\"") == 0 && line_text.back() == '"' &&
                line_text.compare(end - value.size() - 1, value.size(), value) == 0;
            if (line.command_in_place) {
              line.command_offset = static_cast<uint32_t>(end - value.size() - 1);
              line.command_length = static_cast<uint32_t>(value.size());
            }
          }
        }
      }
    }
    if (!fault.empty()) {
      *network = Network();
      *error = "line " + std::to_string(number) + (fault.compare(0, 7, "column ") == 0 ? ", " : ": ") + fault;
      return false;
    }
    source->lines.push_back(std::move(line));
  }
  if (source->ending.empty()) source->ending = "\n";
  source->clock = network->clock;
  source->local = network->local;
  source->computers.reserve(network->computers.size());
  for (Computer &computer : network->computers) {
    // Every fact but the jobs: they are set aside while the rest is copied.
    std::map<uint32_t, StoredJob> jobs = std::move(computer.jobs);
    computer.jobs.clear();
    Computer then = computer;
    computer.jobs = std::move(jobs);
    source->job_ids.emplace_back();
    source->job_ids.back().reserve(computer.jobs.size());
    for (const auto &entry : computer.jobs) source->job_ids.back().push_back(entry.first);
    source->computers.push_back(std::move(then));
  }
  network->source = std::move(source);
  return true;
}

std::string WriteNetworkText(const Network &network) {
  if (network.source != nullptr) return RewriteSource(network, *network.source);
  LineWriter out("\n");
  out.Add("# Velmora network: the computers Velmora can reach, their Schedule services and stored jobs.");
  out.Add("# Velmora writes the jobs it adds or deletes and the services it starts back into this file.");
  if (network.clock) out.Add(ClockText(network.clock));
  if (!network.local.empty()) out.Add(LocalText(network.local));
  if (!network.credentials.empty()) out.Add("credentials " + QuoteString(network.credentials));
  for (const Computer &computer : network.computers) WriteComputer(computer, &out);
  return std::move(out.Text());
}

bool ReadNetworkFile(const std::string &real_path, Network *network, std::string *error,
                     std::unique_ptr<host::FileVersion> *version) {
  std::string text;
  if (!host::ReadNetworkFileText(real_path, &text, error, version)) return false;
  std::string fault;
  if (!ParseNetworkText(std::move(text), network, &fault)) {
    *error = "network file " + real_path + ", " + fault;
    return false;
  }
  return true;
}

}  // namespace standin::netapi32
