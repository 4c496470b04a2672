// SPDX-License-Identifier: GPL-3.0-or-later
// The code page conversions the program makes, all in CP_ACP (932).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::u16string Wide(const std::vector<WCHAR> &units, int count) { return std::u16string(units.data(), count); }

TEST(MultiByteToWideChar, TextOf511BytesFillsItsBufferOf512UnitsExactly) {
  const std::string text(511, 'a');
  std::vector<WCHAR> wide(512, u'#');
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0), 512);
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.c_str(), -1, wide.data(), 512), 512);
  EXPECT_EQ(wide[510], u'a');
  EXPECT_EQ(wide[511], u'\0');

  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.c_str(), -1, wide.data(), 511), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

// (Server names and typed commands in the code page are played by every
// scenario.) Half-width katakana are single bytes.
TEST(MultiByteToWideChar, DecodesCodePage932) {
  std::vector<WCHAR> wide(8, u'#');
  ASSERT_EQ(MultiByteToWideChar(932, 0, "\xBD\xB9\x8C\x8E", -1, wide.data(), 8), 4);
  EXPECT_EQ(Wide(wide, 4), std::u16string(u"ｽｹ月\0", 4));
}

TEST(MultiByteToWideChar, UndecodableBytesBecomeTheDefaultCharacterOrFail) {
  const char lone_lead[] = "a\x81";  // a lead byte cut off by the terminator
  std::vector<WCHAR> wide(8);
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, lone_lead, -1, wide.data(), 8), 3);
  EXPECT_EQ(wide[1], u'\u30FB');
  EXPECT_EQ(wide[2], u'\0');

  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, lone_lead, -1, wide.data(), 8), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
}

TEST(MultiByteToWideChar, RefusesInvalidParametersAndFlags) {
  WCHAR wide[4];
  struct Case {
    UINT code_page;
    DWORD flags;
    const char *text;
    int length;
    WCHAR *out;
    int out_size;
    DWORD error;
  } cases[] = {
      {CP_ACP, 0, "a", 0, wide, 4, ERROR_INVALID_PARAMETER},
      {CP_ACP, 0, nullptr, -1, wide, 4, ERROR_INVALID_PARAMETER},
      {CP_ACP, 0, "a", -1, nullptr, 4, ERROR_INVALID_PARAMETER},
      {1252, 0, "a", -1, wide, 4, ERROR_INVALID_PARAMETER},
      {CP_ACP, MB_PRECOMPOSED | MB_COMPOSITE, "a", -1, wide, 4, ERROR_INVALID_FLAGS},
  };
  for (const Case &c : cases) {
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(c.code_page, c.flags, c.text, c.length, c.out, c.out_size), 0);
    EXPECT_EQ(GetLastError(), c.error) << "code page " << c.code_page << " flags " << c.flags;
  }
}

TEST(WideCharToMultiByte, CommandOf512UnitsFitsA513ByteBufferAndDoubleByteTextDoesNot) {
  const std::u16string single(511, u'x');
  char ansi[513];
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, single.c_str(), -1, ansi, 513, nullptr, nullptr), 512);
  EXPECT_EQ(std::string(ansi), std::string(511, 'x'));

  const std::u16string kanji(300, u'月');  // 600 bytes and the terminator
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, kanji.c_str(), -1, nullptr, 0, nullptr, nullptr), 601);
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, kanji.c_str(), -1, ansi, 513, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(WideCharToMultiByte, CharactersOutsideCodePage932BecomeTheDefaultCharacter) {
  // Hangul and an emoji are not in code page 932; the emoji's two units
  // become two default characters, as the platform converts unit by unit.
  const std::u16string text = u"a가月\U0001F600b";
  char ansi[32];
  BOOL used = FALSE;
  int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, ansi, sizeof ansi, nullptr, &used);
  ASSERT_EQ(n, 8);
  EXPECT_EQ(std::string(ansi), "a?\x8C\x8E??b");
  EXPECT_TRUE(used);

  n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, ansi, sizeof ansi, "*", &used);
  EXPECT_EQ(std::string(ansi, n - 1), "a*\x8C\x8E**b");

  // Best fit writes accented letters as their base letters; the euro sign
  // and the wave dash (whose look-alike, the full-width tilde, is a different
  // character) have none and become the default character.
  n = WideCharToMultiByte(CP_ACP, 0, u"\u00E9\u00C5\u00DF\u20AC\u301C", 5, ansi, sizeof ansi, nullptr, &used);
  EXPECT_EQ(std::string(ansi, n), "eAs??");
  n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, u"\u00E9", 1, ansi, sizeof ansi, nullptr, &used);
  EXPECT_EQ(std::string(ansi, n), "?");

  n = WideCharToMultiByte(CP_ACP, 0, u"ok", -1, ansi, sizeof ansi, nullptr, &used);
  EXPECT_EQ(n, 3);
  EXPECT_FALSE(used);

  // The yen sign has only a best-fit mapping, which WC_NO_BEST_FIT_CHARS refuses.
  n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, u"\u00A5", 1, ansi, sizeof ansi, nullptr, &used);
  EXPECT_EQ(std::string(ansi, n), "?");
}

}  // namespace
