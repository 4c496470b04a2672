// SPDX-License-Identifier: GPL-3.0-or-later
// Text as the terminal shows it: the program's ANSI (code page 932) and
// UTF-8 texts turned into wide characters, measured in terminal columns
// (double-width kanji and kana, single-width half-width katakana), clipped
// without splitting a character, and labels with their mnemonic marks.
#ifndef VELMORA_FRONTENDS_TERMINAL_TEXT_WIDTH_H
#define VELMORA_FRONTENDS_TERMINAL_TEXT_WIDTH_H

#include <string>
#include <vector>

namespace terminal {

// UTF-8 to wide characters; malformed sequences become U+FFFD.
std::wstring DecodeUtf8(const std::string &utf8);
std::string EncodeUtf8(const std::wstring &wide);
// Code page 932 bytes to wide characters.
std::wstring AnsiToWide(const std::string &ansi);

// Columns one character takes: 2 for wide characters, 1 otherwise. Control
// characters count 1 because they are drawn as a visible substitute.
int CharWidth(wchar_t c);
int TextWidth(const std::wstring &text);
// The longest prefix that fits `width` columns; a wide character that would
// straddle the limit is left out.
std::wstring ClipToWidth(const std::wstring &text, int width);
// The text as a list view cell shows it in `width` columns: whole, or cut
// and ended with "..." when it does not fit.
std::wstring FitWithEllipsis(const std::wstring &text, int width);
// Drops whole characters from the front until at most `skip` columns are gone.
std::wstring SkipColumns(const std::wstring &text, int skip);

// A label with its "&" marks resolved: "&&" is a literal "&", "&X" makes X
// the mnemonic. mnemonic_index is the position of that character in text.
struct Label {
  std::wstring text;
  int mnemonic_index = -1;
};
Label ParseMnemonic(const std::wstring &raw);

// Splits at "\r\n", "\n" and "\r".
std::vector<std::wstring> SplitLines(const std::wstring &text);
// Breaks one line into pieces of at most `width` columns: at blanks, or
// between Japanese characters (which need none), following the Japanese
// line-breaking rules: no piece starts with a closing mark or small kana
// (。、）」ゃ ...) nor ends with an opening mark (「（ ...). A word is split
// only when no other break fits. Pieces after the first start with
// `continuation_indent` blanks; no piece is only blanks.
std::vector<std::wstring> WrapLine(const std::wstring &line, int width, int continuation_indent = 0);
// Where the continuation lines of a wrapped text line start: under the
// text after the first gap of two or more blanks (a term and its
// description), else under the line's own first character; never past half
// the width.
int HangingIndent(const std::wstring &line, int width);

}  // namespace terminal

#endif
