// SPDX-License-Identifier: GPL-3.0-or-later
// Lexer for the one-statement-per-line format shared by scenario files and
// network files: words separated by blanks, double-quoted strings with the
// escapes \n \" \\, numbers in decimal or 0x hexadecimal, and key=value words
// whose value may itself be a quoted string (cmd="backup.cmd").
#ifndef VELMORA_PLATFORM_INCLUDE_STANDIN_STATEMENT_H
#define VELMORA_PLATFORM_INCLUDE_STANDIN_STATEMENT_H

#include <cstdint>
#include <string>
#include <vector>

namespace standin {

struct Token {
  std::string key;    // "cmd" for cmd="x"; empty for a plain word or string
  std::string value;  // the word, or the string with its escapes resolved (UTF-8)
  bool quoted = false;
};

// Splits one line into tokens. Blank lines and comment lines ('#' as the first
// non-blank character) give no tokens. Returns false and sets *error for an
// unterminated string, an unknown escape or a string run into a word.
bool LexStatement(const std::string &line, std::vector<Token> *tokens, std::string *error);

// Checks the text of one line: UTF-8 without NUL bytes. "" or the fault with
// its column (counted in characters from 1).
std::string CheckLineText(const std::string &line);

// Decimal or 0x-hexadecimal unsigned number, the whole text; false otherwise.
bool ParseNumber(const std::string &text, uint64_t *value);

// Re-quotes a text with the format's escapes, for writing files back.
std::string QuoteString(const std::string &text);

}  // namespace standin

#endif
