// SPDX-License-Identifier: GPL-3.0-or-later
// Syntax of the scenario statements: each one is checked for its words,
// numbers and strings before anything runs, so that a mistyped file is
// reported with its line instead of half played.
#include "scenario_statements.h"

#include <standin/network.h>

#include "world_expectations.h"

#include <cctype>
#include <cstdio>
#include <sstream>

namespace standin {
namespace scenario {
namespace {

bool IsNumber(const Token &token) {
  uint64_t value;
  return !token.quoted && token.key.empty() && ParseNumber(token.value, &value);
}

bool IsWord(const Token &token, const char *word) { return !token.quoted && token.key.empty() && token.value == word; }

bool IsString(const Token &token) { return token.quoted && token.key.empty(); }

bool IsKeyName(const Token &token) {
  if (token.quoted || !token.key.empty()) return false;
  const std::string &v = token.value;
  if (v == "enter" || v == "escape" || v == "tab" || v == "shift+tab") return true;
  return v.size() == 5 && v.compare(0, 4, "alt+") == 0 && std::isalpha(static_cast<unsigned char>(v[4]));
}

bool IsBoxAnswer(const std::string &word) { return word == "ok" || word == "yes" || word == "no" || word == "cancel"; }

std::string Shown(const Token &token) {
  if (!token.key.empty()) return token.key + "=" + token.value;
  return token.quoted ? QuoteString(token.value) : token.value;
}

// Checks tokens[from..] as one or more control identifiers or numbers.
std::string NumbersFrom(const std::vector<Token> &tokens, size_t from, const char *what) {
  if (tokens.size() <= from) return std::string("expected ") + what;
  for (size_t i = from; i < tokens.size(); ++i)
    if (!IsNumber(tokens[i])) return std::string("expected ") + what + ", saw " + Shown(tokens[i]);
  return "";
}

std::string CheckCount(const std::vector<Token> &tokens, size_t count, const char *form) {
  if (tokens.size() != count) return std::string("expected: ") + form;
  return "";
}

std::string CheckBox(const std::vector<Token> &t) {
  const char *form = "box \"CAPTION\" \"TEXT\" STYLE [owner=main|job|cp|about|none] -> ok|yes|no|cancel|open";
  size_t n = t.size();
  if (n < 6 || n > 7) return std::string("expected: ") + form;
  // The text may be `*` where the program composes it itself.
  bool text_ok = IsString(t[2]) || IsWord(t[2], "*");
  if (!IsString(t[1]) || !text_ok || !IsNumber(t[3])) return std::string("expected: ") + form;
  if (n == 7) {
    const std::string &owner = t[4].value;
    if (t[4].key != "owner" || t[4].quoted ||
        (owner != "main" && owner != "job" && owner != "cp" && owner != "about" && owner != "none"))
      return "unknown owner " + Shown(t[4]) + " (main, job, cp, about or none)";
  }
  if (!IsWord(t[n - 2], "->")) return std::string("expected: ") + form;
  const std::string &answer = t[n - 1].value;
  if (t[n - 1].quoted || (answer != "open" && !IsBoxAnswer(answer)))
    return "unknown answer " + Shown(t[n - 1]) + " (ok, yes, no, cancel or open)";
  return "";
}

std::string CheckAction(const std::vector<Token> &t);

// `on WINDOW ACTION` aims an action past the innermost window; `answer`
// answers the innermost open box.
std::string CheckWindowAction(const std::vector<Token> &t) {
  if (t[0].value == "answer") {
    if (t.size() != 2 || t[1].quoted || !t[1].key.empty() || !IsBoxAnswer(t[1].value))
      return "expected: answer ok|yes|no|cancel";
    return "";
  }
  if (t.size() < 3 || !(IsWord(t[1], "main") || IsWord(t[1], "job") || IsWord(t[1], "cp") || IsWord(t[1], "about")))
    return "expected: on main|job|cp|about ACTION";
  if (t[2].quoted || !t[2].key.empty() || t[2].value == "on" || t[2].value == "answer")
    return "expected: on main|job|cp|about ACTION";
  return CheckAction(std::vector<Token>(t.begin() + 2, t.end()));
}

std::string CheckAction(const std::vector<Token> &t) {
  const std::string &verb = t[0].value;
  if (verb == "on" || verb == "answer") return CheckWindowAction(t);
  if (verb == "click") return CheckCount(t, 2, "click ID") + (t.size() == 2 ? NumbersFrom(t, 1, "a control ID") : "");
  if (verb == "type") {
    if (t.size() != 3 || !IsNumber(t[1]) || !IsString(t[2])) return "expected: type ID \"TEXT\"";
    return "";
  }
  if (verb == "paste") {
    if (t.size() != 3 || !IsNumber(t[1]) || !IsString(t[2])) return "expected: paste ID \"TEXT\"";
    return "";
  }
  if (verb == "select") {
    if (t.size() < 3 || !IsNumber(t[1])) return "expected: select ID N... | none";
    if (t.size() == 3 && IsWord(t[2], "none")) return "";
    return NumbersFrom(t, 2, "item numbers or none");
  }
  if (verb == "key") {
    if (t.size() != 2 || !IsKeyName(t[1])) return "expected: key enter|escape|tab|shift+tab|alt+LETTER";
    return "";
  }
  if (verb == "keydown") {
    if (t.size() != 2 || !IsWord(t[1], "escape")) return "expected: keydown escape";
    return "";
  }
  if (verb == "close") return CheckCount(t, 1, "close");
  return "unknown statement " + verb;
}

std::string CheckExpectation(const std::vector<Token> &t, StatementKind *kind) {
  if (t.size() < 2 || t[1].quoted) return "expected: expect WHAT ...";
  const std::string &what = t[1].value;
  *kind = StatementKind::kUiExpectation;
  if (what == "window") {
    if (t.size() != 3 || t[2].quoted) return "expected: expect window DLG_VELMORA|DLG_JOB|DLG_CP|DLG_ABOUT";
    return "";
  }
  if (what == "text") {
    if (t.size() != 4 || !IsNumber(t[2]) || !IsString(t[3])) return "expected: expect text ID \"TEXT\"";
    return "";
  }
  if (what == "checked" || what == "unchecked" || what == "enabled" || what == "disabled")
    return NumbersFrom(t, 2, "control IDs");
  if (what == "focus") {
    if (t.size() == 3 && IsWord(t[2], "none")) return "";
    return t.size() == 3 ? NumbersFrom(t, 2, "a control ID or none") : "expected: expect focus ID | none";
  }
  if (what == "items") {
    if (t.size() < 3 || !IsNumber(t[2])) return "expected: expect items ID \"TEXT\"...";
    for (size_t i = 3; i < t.size(); ++i)
      if (!IsString(t[i])) return "expected item texts in quotes, saw " + Shown(t[i]);
    return "";
  }
  if (what == "selected") {
    if (t.size() < 4 || !IsNumber(t[2])) return "expected: expect selected ID N... | none";
    if (t.size() == 4 && IsWord(t[3], "none")) return "";
    return NumbersFrom(t, 3, "item numbers or none");
  }
  if (what == "rows") return t.size() == 3 ? NumbersFrom(t, 2, "a row count") : "expected: expect rows N";
  if (what == "row") {
    if (t.size() != 7 || !IsNumber(t[2])) return "expected: expect row N \"ID\" \"COMMAND\" \"SCHEDULE\" \"TIME\"";
    for (size_t i = 3; i < 7; ++i)
      if (!IsString(t[i])) return "expected: expect row N \"ID\" \"COMMAND\" \"SCHEDULE\" \"TIME\"";
    return "";
  }
  if (what == "cursor") {
    if (t.size() != 3 || !(IsWord(t[2], "wait") || IsWord(t[2], "arrow"))) return "expected: expect cursor wait|arrow";
    return "";
  }
  if (what == "buffers") return t.size() == 3 ? NumbersFrom(t, 2, "a buffer count") : "expected: expect buffers N";
  if (what == "help") return t.size() == 3 ? NumbersFrom(t, 2, "a help command") : "expected: expect help COMMAND";
  if (what == "exit") {
    *kind = StatementKind::kExitExpectation;
    return t.size() == 3 ? NumbersFrom(t, 2, "an exit code") : "expected: expect exit CODE";
  }
  if (IsWorldExpectation(what)) {
    *kind = StatementKind::kWorldExpectation;
    return WorldExpectationForm(t);
  }
  return "unknown expectation " + what;
}

// World lines that stand for another program or an operator acting while
// Velmora runs.
bool MayFollowStart(const std::vector<Token> &t) {
  const std::string &keyword = t[0].value;
  if (keyword == "job" || keyword == "fail" || keyword == "remove") return true;
  if (keyword != "service" || t.size() < 3) return false;
  for (size_t i = 2; i < t.size(); ++i)
    if (t[i].key != "state") return false;
  return true;
}

}  // namespace

bool ParseScenario(const std::string &text, std::vector<Statement> *statements, int *error_line, std::string *error) {
  std::istringstream in(text);
  std::string line_text;
  int line = 0;
  bool started = false, stand_in_only = false;
  statements->clear();
  auto fail = [&](const std::string &reason) {
    *error_line = line;
    *error = reason;
    return false;
  };
  while (std::getline(in, line_text)) {
    ++line;
    // Editors may start UTF-8 text with a byte order mark; it is not a word.
    if (line == 1 && line_text.compare(0, 3, "\xEF\xBB\xBF") == 0) line_text.erase(0, 3);
    if (!line_text.empty() && line_text.back() == '\r') line_text.pop_back();
    Statement statement;
    statement.line = line;
    std::string lex_error = CheckLineText(line_text);
    if (!lex_error.empty()) return fail(lex_error);
    if (!LexStatement(line_text, &statement.tokens, &lex_error)) return fail(lex_error);
    if (statement.tokens.empty()) continue;
    const Token &first = statement.tokens[0];
    if (first.quoted || !first.key.empty()) return fail("a statement starts with a keyword, saw " + Shown(first));
    const std::string &keyword = first.value;
    std::string reason;
    if (keyword == "stand-in") {
      // A file that the Wine witness cannot play, because Wine departs from
      // the platform's documentation there; it says why.
      if (started) return fail("stand-in only stands before start");
      if (stand_in_only) return fail("stand-in only appears twice");
      if (statement.tokens.size() != 3 || !IsWord(statement.tokens[1], "only") || !IsString(statement.tokens[2]) ||
          statement.tokens[2].value.empty())
        return fail("expected: stand-in only \"REASON\"");
      statement.kind = StatementKind::kStandInOnly;
      stand_in_only = true;
    } else if (keyword == "start") {
      if (started) return fail("start appears twice");
      reason = CheckCount(statement.tokens, 1, "start");
      statement.kind = StatementKind::kStart;
      started = true;
    } else if (IsWorldStatement(keyword)) {
      statement.kind = StatementKind::kWorld;
      if (started && !MayFollowStart(statement.tokens))
        reason = keyword +
                 " describes the world before start; only job, fail, remove and service NAME state= may follow start";
      else
        reason = CheckWorldForm(statement.tokens);
    } else if (keyword == "box") {
      statement.kind = StatementKind::kBox;
      reason = CheckBox(statement.tokens);
    } else if (keyword == "advance") {
      statement.kind = StatementKind::kAdvance;
      reason = statement.tokens.size() == 2 ? NumbersFrom(statement.tokens, 1, "a number of minutes")
                                            : "expected: advance MINUTES";
    } else if (keyword == "expect") {
      reason = CheckExpectation(statement.tokens, &statement.kind);
    } else {
      statement.kind = StatementKind::kAction;
      reason = CheckAction(statement.tokens);
    }
    if (!reason.empty()) return fail(reason);
    bool needs_program = statement.kind == StatementKind::kBox || statement.kind == StatementKind::kAction ||
                         statement.kind == StatementKind::kUiExpectation ||
                         statement.kind == StatementKind::kExitExpectation;
    if (needs_program && !started) return fail(keyword + " before start: the program is not running yet");
    statements->push_back(std::move(statement));
  }
  return true;
}

SYSTEMTIME DefaultClock() {
  SYSTEMTIME clock{};
  clock.wYear = 2026;
  clock.wMonth = 12;
  clock.wDay = 7;
  clock.wDayOfWeek = 1;  // Monday
  clock.wHour = 9;
  return clock;
}

uint64_t NumberOf(const Token &token) {
  uint64_t value = 0;
  ParseNumber(token.value, &value);
  return value;
}

std::string HexText(unsigned value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%X", value);
  return buffer;
}

std::string JoinNumbers(const std::vector<int> &numbers) {
  if (numbers.empty()) return "none";
  std::string out;
  for (int n : numbers) out += (out.empty() ? "" : " ") + std::to_string(n);
  return out;
}

std::string JoinQuoted(const std::vector<std::string> &utf8) {
  if (utf8.empty()) return "no items";
  std::string out;
  for (const auto &text : utf8) out += (out.empty() ? "" : " ") + QuoteString(text);
  return out;
}

}  // namespace scenario
}  // namespace standin
