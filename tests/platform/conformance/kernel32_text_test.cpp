// SPDX-License-Identifier: GPL-3.0-or-later
// The KERNEL32 text calls the program makes: code page 932 and wsprintfA.
#include <windows.h>

#include "conformance.h"

#include <cstring>
#include <string>

namespace {

// What the conversions store, of `length` bytes, or (-1) of the text through its null.
std::u16string Widened(UINT code_page, const char *text, int length = -1) {
  WCHAR wide[40];
  const int n = MultiByteToWideChar(code_page, 0, text, length, wide, 40);
  return std::u16string(reinterpret_cast<const char16_t *>(wide), static_cast<size_t>(n));
}

// Of `count` units, or (-1) through the null.
std::string Narrowed(UINT code_page, DWORD flags, const char16_t *text, int count) {
  char out[256];
  const int n = WideCharToMultiByte(code_page, flags, reinterpret_cast<const WCHAR *>(text), count, out, sizeof out,
                                    nullptr, nullptr);
  return std::string(out, static_cast<size_t>(n));
}

// Code page 932: half-width katakana are single bytes; a lead byte cut off by the terminator becomes the default
// character. Never kinder than the platform: a character outside the code page becomes "?" unit by unit, and the wave
// dash is not taken for its look-alike, the full-width tilde; the yen sign has only a best-fit mapping, which
// WC_NO_BEST_FIT_CHARS refuses. UTF-8, as the host's names and files hold it: one to four bytes a character, a
// surrogate pair as one character, a lone surrogate or a byte no sequence may hold there as U+FFFD.
CONFORMANCE_CASE(CodePage932AndUtf8Conversions) {
  CHECK(Widened(932, "\xBD\xB9\x8C\x8E") == std::u16string(u"ｽｹ月\0", 4));
  CHECK(Widened(CP_ACP, "\x85\x40-\x81") == std::u16string(u"\u30FB-\u30FB\0", 4));  // unassigned, and cut off
  CHECK_EQ(Narrowed(CP_ACP, 0, u"a\U0001F600\u00C5\u00DF\u20AC\u301C", -1), std::string("a??As??", 8));
  CHECK_EQ(Narrowed(CP_ACP, WC_NO_BEST_FIT_CHARS, u"\u00E9\u00A5", 2), std::string("??"));
  // The single bytes that the standard's table leaves out map to themselves or to the private use area, both ways;
  // Latin-1's signs and letters (U+00A1 to U+00FF): the code page's own, a best fit (full-width or ASCII), or "?".
  CHECK(Widened(932, "\x80\xA0\xFD\xFE\xFF") == std::u16string(u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3\0", 6));
  CHECK_EQ(Narrowed(932, 0, u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3", 5), std::string("\x80\xA0\xFD\xFE\xFF"));
  std::u16string signs = u"\u3094";  // and hiragana vu, which only katakana has
  for (char16_t unit = 0xA1; unit <= 0xFF; ++unit) signs += unit;
  CHECK_EQ(Narrowed(932, 0, signs.c_str(), static_cast<int>(signs.size())),
           std::string("\x83\x94!\x81\x91\x81\x92?\x5C|\x81\x98\x81Nca\x81\xE1\x81\xCA-R\x81P\x81\x8B\x81}"
                       "23\x81L\x83\xCA\x81\xF7\x81"
                       "E\x81"
                       "C1o\x81\xE2????AAAAAAACEEEEIIIIDNOOOOO\x81~OUUUUYTsaaaaaaaceeeeiiiidnooooo\x81\x80ouuuuyty"));
  CHECK_EQ(Narrowed(932, 0x0220 /* WC_COMPOSITECHECK | WC_SEPCHARS */, u"a", 1), std::string("a"));
  // Each lead byte's range at its edges; past them, ill-formed sequences, whose bytes become U+FFFD (how many, the
  // platform does not say: Wine gives fewer than the stand-in).
  CHECK(Widened(CP_UTF8,
                "\x80\xC2\x7F\xC3\xA9|\xC1\xBF|\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEF\xBF\xBF\xF0\x90\x80\x80"
                "\xF4\x8F\xBF\xBF|\xF5\x80") ==
        std::u16string(
            u"\uFFFD\uFFFD\x7F\u00E9|\uFFFD\uFFFD|\u0080\u07FF\u0800\uD7FF\uFFFF\U00010000\U0010FFFF|\uFFFD\uFFFD\0",
            21));
  const std::u16string ill_formed = Widened(CP_UTF8, "\xE0\x9F\xBF\xED\xA0\x80\xF0\x8F\xBF\xBF\xF4\x90\x80\x80");
  CHECK(ill_formed.size() > 1 && ill_formed.find_first_not_of(u'\uFFFD') == ill_formed.size() - 1);
  CHECK(Widened(CP_UTF8, "\xC3\xA9", 1) == std::u16string(u"\uFFFD"));  // a sequence cut off by the length given
  CHECK_EQ(Narrowed(CP_UTF8, 0, u"a\u00E9\u3042\U0001F600\xD800", 6),
           std::string("a\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80\xEF\xBF\xBD"));
}

// What wsprintfA stored, and its count where that is not the stored length.
template <typename... Args>
std::string Wsprintf(const char *format, Args... args) {
  char out[1100];
  const int count = wsprintfA(out, format, args...);
  const std::string stored = out;
  return count == static_cast<int>(stored.size()) ? stored : stored + " (count " + std::to_string(count) + ")";
}

// The conversions the program's messages use: %d, %ld and %s; Shift-JIS text passes through byte for byte. The output
// stops at 1023 bytes and is terminated, the byte after it left alone; widths past any output (the limit counts padding
// too) neither wrap nor run past the buffer.
CONFORMANCE_CASE(WsprintfFormatsAndStopsAt1023Bytes) {
  CHECK_EQ(Wsprintf("RC:%ld", static_cast<LONG>(-2147483647 - 1)), std::string("RC:-2147483648"));
  CHECK_EQ(Wsprintf("%d|%i|%u|%lu", -5, 7, 4294967295u, 3u), std::string("-5|7|4294967295|3"));
  CHECK_EQ(Wsprintf("100%% %s", static_cast<const char *>(nullptr)), std::string("100% (null)"));
  CHECK_EQ(Wsprintf("%s %d\x93\xFA ", "\x82\xA0", 31), std::string("\x82\xA0 31\x93\xFA "));

  const std::string long_text(2000, 'x');
  char out[1100];
  std::memset(out, '#', sizeof out);
  wsprintfA(out, "%s", long_text.c_str());
  CHECK_EQ(out[1022], 'x');
  CHECK_EQ(out[1023], '\0');
  CHECK_EQ(out[1024], '#');
  for (const char *format : {"%2000d", "%4294967295d", "%-.18446744073709551617d|"}) {
    wsprintfA(out, format, 5);
    CHECK(std::strlen(out) <= 1023u);
    CHECK_EQ(out[1024], '#');
  }
}

// The count is that of the bytes stored, without the terminating null
// (wsprintfA's documented return value), the cut output's too.
CONFORMANCE_CASE(WsprintfCountsTheBytesItStored) {
  WINE_DEPARTS(
      "Wine's wsprintfA returns 1024 for output cut at the limit, where the documented return value "
      "is the number of characters stored, without the terminating null: 1023");
  CHECK_EQ(Wsprintf("%s", std::string(2000, 'x').c_str()), std::string(1023, 'x'));
  CHECK_EQ(Wsprintf("%2000d", 1), std::string(1023, ' '));
}

}  // namespace
