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

// A file is lexed line after line into one vector: nothing of a line stays
// in the next one's tokens, nor of a line that failed.
TEST(StatementLexer, EachLineGivesOnlyItsOwnTokens) {
  std::vector<Token> tokens;
  std::string error;
  ASSERT_TRUE(LexStatement(R"(job cmd="a b" x=1 y)", &tokens, &error));
  ASSERT_EQ(tokens.size(), 4u);
  EXPECT_TRUE(tokens[1].quoted);
  ASSERT_TRUE(LexStatement("one two", &tokens, &error));
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[1].value, "two");
  EXPECT_EQ(tokens[1].key, "");
  EXPECT_FALSE(tokens[1].quoted);
  ASSERT_TRUE(LexStatement("k=v", &tokens, &error));
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_EQ(tokens[0].key, "k");
  EXPECT_EQ(tokens[0].value, "v");
  EXPECT_FALSE(LexStatement(R"(a "open)", &tokens, &error));
  EXPECT_TRUE(tokens.empty());
  ASSERT_TRUE(LexStatement("  # a comment", &tokens, &error));
  EXPECT_TRUE(tokens.empty());
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
