// SPDX-License-Identifier: GPL-3.0-or-later
// The statement lexer under every scenario and network file: what it splits
// is read by every one of them, and quoting is checked by the network file
// reader-writer round trip of the fuzz corpus. Here: what it must refuse.
#include <standin/statement.h>

#include <gtest/gtest.h>

namespace {

using standin::LexStatement;
using standin::Token;

TEST(StatementLexer, RejectsMalformedStrings) {
  std::vector<Token> tokens;
  std::string error;
  EXPECT_FALSE(LexStatement(R"(box "open)", &tokens, &error));
  EXPECT_NE(error.find("unterminated"), std::string::npos);
  EXPECT_FALSE(LexStatement(R"(box "a\t")", &tokens, &error));
  EXPECT_FALSE(LexStatement(R"(box "a"b)", &tokens, &error));
  EXPECT_FALSE(LexStatement(R"(box a"b")", &tokens, &error));
}

TEST(StatementLexer, ParsesDecimalAndHexNumbersOnly) {
  uint64_t v = 0;
  EXPECT_TRUE(standin::ParseNumber("0x3F", &v));
  EXPECT_EQ(v, 0x3Fu);
  EXPECT_TRUE(standin::ParseNumber("4294967295", &v));
  EXPECT_EQ(v, 4294967295u);
  EXPECT_FALSE(standin::ParseNumber("", &v));
  EXPECT_FALSE(standin::ParseNumber("12a", &v));
  EXPECT_FALSE(standin::ParseNumber("0x", &v));
  EXPECT_FALSE(standin::ParseNumber("99999999999999999999999", &v));
}

}  // namespace
