// SPDX-License-Identifier: GPL-3.0-or-later
// A stored command converted for the list at and past the 512 bytes that
// CommandText holds.
#include "target/target_computer.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

TEST(CommandTextFromWide, FitsExactlyAt512Bytes) {
  std::u16string command(256, u'あ');  // 512 bytes in code page 932
  CommandTextFromWide(reinterpret_cast<const WCHAR *>(command.c_str()));
  EXPECT_EQ(strlen(CommandText), 512u);
  EXPECT_EQ(std::string(CommandText, 2), "あ");
  // Far longer: the first 256 characters, cut from the first 512 units.
  std::u16string longer(600, u'あ');
  CommandTextFromWide(reinterpret_cast<const WCHAR *>(longer.c_str()));
  EXPECT_EQ(strlen(CommandText), 512u);
}

TEST(CommandTextFromWide, CutsALongerCommandAtACharacterBoundary) {
  memset(CommandText, 'z', sizeof CommandText);
  std::u16string single(600, u'x');
  CommandTextFromWide(reinterpret_cast<const WCHAR *>(single.c_str()));
  EXPECT_EQ(std::string(CommandText), std::string(512, 'x'));

  // One single-byte character first puts the 256th double-byte character
  // across the 512-byte limit: it is left out whole.
  memset(CommandText, 'z', sizeof CommandText);
  std::u16string mixed = u"a" + std::u16string(300, u'あ');
  CommandTextFromWide(reinterpret_cast<const WCHAR *>(mixed.c_str()));
  std::string expected = "a";
  for (int i = 0; i < 255; ++i) expected += "あ";
  EXPECT_EQ(std::string(CommandText), expected);
  EXPECT_EQ(strlen(CommandText), 511u);

  std::u16string katakana = u"ﾃｽﾄ" + std::u16string(300, u'漢');
  CommandTextFromWide(reinterpret_cast<const WCHAR *>(katakana.c_str()));
  EXPECT_EQ(strlen(CommandText), 511u);
  EXPECT_EQ(std::string(CommandText).substr(0, 3), "ﾃｽﾄ");
}

}  // namespace
