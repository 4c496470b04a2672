// SPDX-License-Identifier: GPL-3.0-or-later
// The statement lexer under every scenario and network file (which read what it splits; the fuzz corpus's round trip
// checks quoting): what it refuses, and that lines do not leak into one another.
#include <standin/statement.h>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using standin::LexStatement;
using standin::Token;

TEST(StatementLexer, RejectsMalformedStrings) {
  std::vector<Token> tokens;
  std::string error;
  for (const char *open : {R"(box "open)", R"(box "open\)"}) {
    EXPECT_FALSE(LexStatement(open, &tokens, &error));
    EXPECT_NE(error.find("unterminated"), std::string::npos) << open;
  }
  for (const char *line : {R"(box "a\t")", R"(box "a"b)", R"(box a"b")"})
    EXPECT_FALSE(LexStatement(line, &tokens, &error)) << line;
}

// One line lexed into a file's vector of tokens, shown as key=value or
// value (a quoted one in <>), "refused;" first when it is refused.
std::string Lexed(const char *line, std::vector<Token> *tokens) {
  std::string error, shown;
  if (!LexStatement(line, tokens, &error)) shown = "refused;";
  for (const Token &t : *tokens)
    shown += (t.key.empty() ? "" : t.key + "=") + (t.quoted ? "<" + t.value + ">" : t.value) + ";";
  return shown;
}

// A file is lexed line after line into one vector: nothing of a line stays
// in the next one's tokens, nor of a line that failed.
TEST(StatementLexer, EachLineGivesOnlyItsOwnTokens) {
  std::vector<Token> tokens;
  EXPECT_EQ(Lexed(R"(job cmd="a b" x=1 y)", &tokens), "job;cmd=<a b>;x=1;y;");
  EXPECT_EQ(Lexed("one\ttwo\r", &tokens), "one;two;");
  EXPECT_EQ(Lexed("k=v =v", &tokens), "k=v;=v;");
  EXPECT_EQ(Lexed(R"(a "open)", &tokens), "refused;");
  EXPECT_EQ(Lexed("  # a comment", &tokens), "");
}

// Numbers are decimal or hexadecimal (each end of each digit range checked), whole and within 64 bits.
TEST(StatementLexer, ParsesDecimalAndHexNumbersOnly) {
  uint64_t v = 0;
  EXPECT_TRUE(standin::ParseNumber("0x9aAfF0", &v) && v == 0x9AAFF0u);
  EXPECT_TRUE(standin::ParseNumber("4294967295", &v) && v == 4294967295u);
  for (const char *text : {"", "12a", "0x", "0xg", "99999999999999999999999"})
    EXPECT_FALSE(standin::ParseNumber(text, &v)) << text;
}

// UTF-8 at the edges of what each lead byte allows, and one step past them: overlong forms, surrogates, code points
// past U+10FFFF, a wrong or missing continuation. A refusal names the lead byte's column and value.
TEST(StatementLexer, LinesMustBeUtf8) {
  for (const char *good : {"\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80", "\xEF\xBF\xBF",
                           "\xF0\x90\x80\x80", "\xF3\xBF\xBF\xBF", "\xF4\x8F\xBF\xBF"}) {
    EXPECT_EQ(standin::CheckLineText(std::string("a") + good + "b"), "") << good;
    EXPECT_EQ(standin::CheckLineText(std::string(good) + "\xFF"), "column 2: byte 0xFF is not UTF-8") << good;
  }
  for (const char *bad : {"\xC1\xBF", "\xC2\x7F", "\xC2\xC0", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xE1\x80\x7F",
                          "\xE1\x80\xC0", "\xE1\xC0\x80", "\xE1\x80", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80",
                          "\xF5\x80\x80\x80", "\xF1\x80\x80\x7F", "\xF1\x80\x7F\x80", "\xF1\xC0\x80\x80"}) {
    char lead[5];
    std::snprintf(lead, sizeof lead, "%02X", static_cast<unsigned char>(bad[0]));
    EXPECT_EQ(standin::CheckLineText(std::string("\xC3\xA9") + bad + "b"),
              std::string("column 2: byte 0x") + lead + " is not UTF-8")
        << bad;
  }
  EXPECT_EQ(standin::CheckLineText(std::string("a\0b", 3)), "column 2: a NUL byte");
  EXPECT_EQ(standin::CheckLineText("a\x80"), "column 2: byte 0x80 is not UTF-8");
}

}  // namespace
