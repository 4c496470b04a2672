// SPDX-License-Identifier: GPL-3.0-or-later
// Statements of a scenario file, read and checked whole before it is played.
#ifndef VELMORA_FRONTENDS_SCENARIO_SCENARIO_STATEMENTS_H
#define VELMORA_FRONTENDS_SCENARIO_SCENARIO_STATEMENTS_H

#include <windows.h>

#include <standin/statement.h>

#include <cstdint>
#include <string>
#include <vector>

namespace standin {
namespace scenario {

enum class StatementKind {
  kWorld,             // clock, local, computer, service, job, fail, remove
  kStart,             // start
  kBox,               // box "CAPTION" "TEXT"|* STYLE [owner=...] -> answer|open
  kAction,            // click, type, paste, select, key, keydown, close, on WINDOW ACTION, answer
  kAdvance,           // advance MINUTES
  kWorldExpectation,  // expect jobs|job|nojob|service|calls
  kUiExpectation,     // every other expect
  kExitExpectation,   // expect exit CODE
  kStandInOnly,       // stand-in only "REASON"
};

struct Statement {
  int line = 0;
  StatementKind kind = StatementKind::kWorld;
  std::vector<Token> tokens;
};

// The local date and time a scenario starts at unless a `clock` line says
// otherwise: 2026-12-07 09:00, a Monday.
SYSTEMTIME DefaultClock();

// Reads the whole text; false with the line and the reason of the first fault.
bool ParseScenario(const std::string &text, std::vector<Statement> *statements, int *error_line, std::string *error);

// How both players show what they expected and saw in a failure's reason.
uint64_t NumberOf(const Token &token);                         // a token the parser found to be a number
std::string HexText(unsigned value);                           // 0x24
std::string JoinNumbers(const std::vector<int> &numbers);      // "1 2 5", or "none"
std::string JoinQuoted(const std::vector<std::string> &utf8);  // "\"a\" \"b\"", or "no items"

}  // namespace scenario
}  // namespace standin

#endif
