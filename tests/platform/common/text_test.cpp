// SPDX-License-Identifier: GPL-3.0-or-later
#include <standin/text.h>

#include <gtest/gtest.h>

namespace {

// The conversions by which the runner and the front ends read and write the program's text.
TEST(StandinText, ConvertsBetweenUtf8AndCodePage932) {
  const std::string utf8 = "ｽｹｼﾞｭｰﾙｻｰﾋﾞｽ 表 ～";
  const std::string ansi = standin::Utf8ToCp932(utf8);
  EXPECT_EQ(static_cast<unsigned char>(ansi[0]), 0xBD);  // half-width katakana is one byte
  EXPECT_NE(ansi.find("\x95\x5C"), std::string::npos);   // 表's trail byte is the backslash byte
  EXPECT_EQ(standin::Cp932ToUtf8(ansi), utf8);
  EXPECT_EQ(standin::Utf8ToCp932("a€b"), "a?b");              // the euro sign is not in 932
  EXPECT_EQ(standin::Cp932ToUtf8("a\x81"), "a\xEF\xBF\xBD");  // a lone lead byte
}

}  // namespace
