// SPDX-License-Identifier: GPL-3.0-or-later
// The code page conversions the program makes, all in CP_ACP (932).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::u16string Wide(const std::vector<WCHAR> &units, int count) { return std::u16string(units.data(), count); }

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

}  // namespace
