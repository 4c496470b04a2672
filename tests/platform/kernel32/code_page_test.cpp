// SPDX-License-Identifier: GPL-3.0-or-later
// The code page conversions the program makes, all in CP_ACP (932).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// (Server names and typed commands in the code page are played by every
// scenario.) Half-width katakana are single bytes; a lead byte cut off by the
// terminator becomes the default character.
TEST(MultiByteToWideChar, DecodesCodePage932) {
  WCHAR wide[8];
  ASSERT_EQ(MultiByteToWideChar(932, 0, "\xBD\xB9\x8C\x8E", -1, wide, 8), 4);
  EXPECT_EQ(std::u16string(wide, 4), std::u16string(u"ｽｹ月\0", 4));
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "a\x81", -1, wide, 8), 3);
  EXPECT_EQ(std::u16string(wide, 3), std::u16string(u"a\u30FB\0", 3));
}

// (Commands the code page cannot hold, and the program's buffer limits, are
// played by modify_foreign_commands; best fit for typed text by
// editor_paste_code_page_and_raw_records.) Never kinder than the platform:
// a character outside the code page becomes "?" unit by unit, and the wave
// dash is not taken for its look-alike, the full-width tilde.
TEST(WideCharToMultiByte, CharactersOutsideCodePage932BecomeTheDefaultCharacter) {
  char ansi[32];
  int n =
      WideCharToMultiByte(CP_ACP, 0, u"a\U0001F600\u00C5\u00DF\u20AC\u301C", -1, ansi, sizeof ansi, nullptr, nullptr);
  EXPECT_EQ(std::string(ansi, n), std::string("a??As??", 8));
  // The yen sign has only a best-fit mapping, which WC_NO_BEST_FIT_CHARS refuses.
  n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, u"\u00E9\u00A5", 2, ansi, sizeof ansi, nullptr, nullptr);
  EXPECT_EQ(std::string(ansi, n), "??");
}

// UTF-8, as the host's names and files hold it: one to four bytes a
// character, a surrogate pair as one character, a lone surrogate as U+FFFD.
TEST(WideCharToMultiByte, EncodesUtf8) {
  char utf8[32];
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, u"a\u00E9\u3042\U0001F600\xD800", 6, utf8, sizeof utf8, nullptr, nullptr);
  EXPECT_EQ(std::string(utf8, n), "a\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80\xEF\xBF\xBD");
}

}  // namespace
