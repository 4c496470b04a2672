// SPDX-License-Identifier: GPL-3.0-or-later
// The statement lexer under every scenario and network file. (Quoting is
// checked by the network file reader-writer round trip of the fuzz corpus.)
#include <standin/statement.h>

#include <gtest/gtest.h>

namespace {

using standin::LexStatement;
using standin::Token;

TEST(StatementLexer, SplitsWordsStringsAndKeyValues) {
  std::vector<Token> tokens;
  std::string error;
  ASSERT_TRUE(LexStatement(R"(job PC01 id=1 at=19:00 cmd="run \"a\" b\\c\nd" "x y" ->)", &tokens, &error)) << error;
  ASSERT_EQ(tokens.size(), 7u);
  EXPECT_EQ(tokens[0].value, "job");
  EXPECT_EQ(tokens[2].key, "id");
  EXPECT_EQ(tokens[2].value, "1");
  EXPECT_EQ(tokens[4].key, "cmd");
  EXPECT_TRUE(tokens[4].quoted);
  EXPECT_EQ(tokens[4].value, "run \"a\" b\\c\nd");
  EXPECT_EQ(tokens[5].value, "x y");
  EXPECT_TRUE(tokens[5].key.empty());
  EXPECT_EQ(tokens[6].value, "->");
}

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
