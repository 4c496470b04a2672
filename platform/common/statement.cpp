// SPDX-License-Identifier: GPL-3.0-or-later
#include <standin/statement.h>

#include <cstdio>

namespace standin {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Reads a quoted string starting at line[*pos] == '"'; leaves *pos after the
// closing quote.
bool ReadString(const std::string &line, size_t *pos, std::string *out, std::string *error) {
  size_t i = *pos + 1;
  out->clear();
  while (i < line.size()) {
    char c = line[i];
    if (c == '"') {
      *pos = i + 1;
      return true;
    }
    if (c == '\\') {
      if (i + 1 >= line.size()) break;
      char e = line[i + 1];
      if (e == 'n') {
        out->push_back('\n');
      } else if (e == '"' || e == '\\') {
        out->push_back(e);
      } else {
        *error = std::string("unknown escape \\") + e + " in a string";
        return false;
      }
      i += 2;
      continue;
    }
    out->push_back(c);
    ++i;
  }
  *error = "unterminated string";
  return false;
}

// The length of the UTF-8 sequence at text[i], or 0 when none starts there
// (overlong forms, surrogates and code points above U+10FFFF are not UTF-8).
size_t Utf8SequenceLength(const std::string &text, size_t i) {
  const auto byte = [&](size_t k) { return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0u; };
  const unsigned lead = byte(0);
  const auto follows = [&](size_t k, unsigned low, unsigned high) { return byte(k) >= low && byte(k) <= high; };
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return follows(1, 0x80, 0xBF) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    const unsigned low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
    return follows(1, low, high) && follows(2, 0x80, 0xBF) ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    const unsigned low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
    return follows(1, low, high) && follows(2, 0x80, 0xBF) && follows(3, 0x80, 0xBF) ? 4 : 0;
  }
  return 0;
}

}  // namespace

std::string CheckLineText(const std::string &line) {
  // Plain ASCII without NUL bytes, as most lines are, is UTF-8.
  bool plain = true;
  for (char c : line) plain = plain && c != '\0' && static_cast<unsigned char>(c) < 0x80;
  if (plain) return "";
  size_t column = 1;
  for (size_t i = 0; i < line.size(); ++column) {
    if (line[i] == '\0') return "column " + std::to_string(column) + ": a NUL byte";
    const size_t length = Utf8SequenceLength(line, i);
    if (length == 0) {
      char byte[8];
      std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(line[i]));
      return "column " + std::to_string(column) + ": byte " + byte + " is not UTF-8";
    }
    i += length;
  }
  return "";
}

bool LexStatement(const std::string &line, std::vector<Token> *tokens, std::string *error) {
  // The tokens of the previous line are reused, strings and all: a network
  // file is lexed line after line into one vector.
  size_t count = 0;
  const auto finish = [&](bool ok) {
    tokens->resize(ok ? count : 0);
    return ok;
  };
  size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  if (i == line.size() || line[i] == '#') return finish(true);
  while (i < line.size()) {
    if (IsBlank(line[i])) {
      ++i;
      continue;
    }
    if (count == tokens->size()) tokens->emplace_back();
    Token &token = (*tokens)[count];
    token.key.clear();
    token.quoted = false;
    if (line[i] == '"') {
      if (!ReadString(line, &i, &token.value, error)) return finish(false);
      token.quoted = true;
    } else {
      size_t start = i;
      while (i < line.size() && !IsBlank(line[i]) && line[i] != '"') ++i;
      const size_t eq = line.find('=', start);
      if (eq != std::string::npos && eq > start && eq < i) {
        token.key.assign(line, start, eq - start);
        token.value.assign(line, eq + 1, i - eq - 1);
        if (token.value.empty() && i < line.size() && line[i] == '"') {
          if (!ReadString(line, &i, &token.value, error)) return finish(false);
          token.quoted = true;
        }
      } else {
        token.value.assign(line, start, i - start);
      }
      if (i < line.size() && line[i] == '"') {
        *error = "a string must be separated from the word before it: " + line.substr(start, i - start);
        return finish(false);
      }
    }
    if (i < line.size() && !IsBlank(line[i])) {
      *error = "a string must be followed by a blank";
      return finish(false);
    }
    ++count;
  }
  return finish(true);
}

bool ParseNumber(const std::string &text, uint64_t *value) {
  if (text.empty()) return false;
  uint64_t result = 0;
  size_t i = 0;
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    i = 2;
  }
  for (; i < text.size(); ++i) {
    char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    if (result > (UINT64_MAX - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base)) return false;
    result = result * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  *value = result;
  return true;
}

std::string QuoteString(const std::string &text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else {
      out.push_back(c);
    }
  }
  out.push_back('"');
  return out;
}

}  // namespace standin
