// The target computer's text buffers and their conversions, at their limits.
#include "target/target_computer.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

std::u16string Wide(const WCHAR *text) { return std::u16string(reinterpret_cast<const char16_t *>(text)); }

TEST(TargetServer, IsTwoBackslashesBeforeTheComputerName) {
  TargetComputer[0] = '\0';
  BuildTargetServer();
  EXPECT_STREQ(TargetServer, "\\\\");
  EXPECT_EQ(Wide(TargetServerW), u"\\\\");

  strcpy(TargetComputer, "ABCDEFGHIJKLMNO");  // 15 characters, the longest name
  TargetServer[0] = 'x';
  BuildTargetServer();
  EXPECT_STREQ(TargetServer, "\\\\ABCDEFGHIJKLMNO");
  EXPECT_EQ(Wide(TargetServerW), u"\\\\ABCDEFGHIJKLMNO");

  // Restoring a saved copy carries the name with it; converting it makes the
  // UTF-16 form follow.
  char saved[18];
  memcpy(saved, TargetServer, sizeof saved);
  strcpy(TargetComputer, "PC02");
  memcpy(TargetServer, saved, sizeof saved);
  ConvertTargetServer();
  EXPECT_STREQ(TargetComputer, "ABCDEFGHIJKLMNO");
  EXPECT_EQ(Wide(TargetServerW), u"\\\\ABCDEFGHIJKLMNO");
}

TEST(ServiceName, IsAlwaysSchedule) {
  strcpy(ServiceName, "Other");
  ServiceNameW[0] = u'Z';
  ConvertServiceName();
  EXPECT_STREQ(ServiceName, "Schedule");
  EXPECT_EQ(Wide(ServiceNameW), u"Schedule");
}

TEST(CommandText, TheLongestEditorCommandFitsItsUtf16Form) {
  memset(CommandText, 'a', 511);
  CommandText[511] = '\0';
  ConvertCommandText();
  EXPECT_EQ(Wide(CommandTextW), std::u16string(511, u'a'));

  strcpy(CommandText, "予約 backup.cmd");
  ConvertCommandText();
  EXPECT_EQ(Wide(CommandTextW), u"予約 backup.cmd");
}

TEST(CommandTextFromWide, ConvertsToTheAnsiCodePage) {
  CommandTextFromWide(reinterpret_cast<const WCHAR *>(u"ﾊﾞｯｸｱｯﾌﾟ 毎日.cmd"));
  EXPECT_STREQ(CommandText, "ﾊﾞｯｸｱｯﾌﾟ 毎日.cmd");
  // A character the code page lacks becomes its default character.
  CommandTextFromWide(reinterpret_cast<const WCHAR *>(u"a\uD55Cb"));
  EXPECT_STREQ(CommandText, "a?b");
  CommandTextFromWide(NULL);
  EXPECT_STREQ(CommandText, "");
}

TEST(CommandTextFromWide, FitsExactlyAt512Bytes) {
  std::u16string command(256, u'あ');  // 512 bytes in code page 932
  CommandTextFromWide(reinterpret_cast<const WCHAR *>(command.c_str()));
  EXPECT_EQ(strlen(CommandText), 512u);
  EXPECT_EQ(std::string(CommandText, 2), "あ");
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
