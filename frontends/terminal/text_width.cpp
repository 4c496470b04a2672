// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_width.h"

#include <standin/text.h>

#include <algorithm>
#include <cwchar>

namespace terminal {

std::wstring DecodeUtf8(const std::string &utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    unsigned char lead = static_cast<unsigned char>(utf8[i]);
    int extra;
    char32_t code;
    if (lead < 0x80) {
      extra = 0;
      code = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1;
      code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2;
      code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3;
      code = lead & 0x07;
    } else {
      out += L'\xFFFD';
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool ok = i + extra < utf8.size();
    for (int k = 0; ok && k < extra; ++k, ++j) {
      unsigned char next = static_cast<unsigned char>(utf8[j]);
      if ((next & 0xC0) != 0x80)
        ok = false;
      else
        code = (code << 6) | (next & 0x3F);
    }
    static const char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (!ok || code < kMinimum[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      out += L'\xFFFD';
      ++i;  // resynchronise on the next byte
      continue;
    }
    out += static_cast<wchar_t>(code);
    i = j;
  }
  return out;
}

std::string EncodeUtf8(const std::wstring &wide) {
  std::string out;
  for (wchar_t wc : wide) {
    auto c = static_cast<char32_t>(wc);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::wstring AnsiToWide(const std::string &ansi) {
  bool plain = true;
  for (char c : ansi) plain = plain && static_cast<unsigned char>(c) < 0x80;
  if (plain) return std::wstring(ansi.begin(), ansi.end());  // skips the code page converter
  return DecodeUtf8(standin::Cp932ToUtf8(ansi));
}

int CharWidth(wchar_t c) {
  int w = ::wcwidth(c);
  if (w < 1) return 1;
  return w > 2 ? 2 : w;
}

int TextWidth(const std::wstring &text) {
  int width = 0;
  for (wchar_t c : text) width += CharWidth(c);
  return width;
}

std::wstring ClipToWidth(const std::wstring &text, int width) {
  int used = 0;
  size_t n = 0;
  while (n < text.size()) {
    int w = CharWidth(text[n]);
    if (used + w > width) break;
    used += w;
    ++n;
  }
  return text.substr(0, n);
}

std::wstring FitWithEllipsis(const std::wstring &text, int width) {
  if (TextWidth(text) <= width) return text;
  if (width <= 3) return std::wstring(static_cast<size_t>(std::max(0, width)), L'.');
  return ClipToWidth(text, width - 3) + L"...";
}

std::wstring SkipColumns(const std::wstring &text, int skip) {
  int gone = 0;
  size_t n = 0;
  while (n < text.size() && gone + CharWidth(text[n]) <= skip) {
    gone += CharWidth(text[n]);
    ++n;
  }
  return text.substr(n);
}

Label ParseMnemonic(const std::wstring &raw) {
  Label label;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == L'&' && i + 1 < raw.size()) {
      ++i;
      if (raw[i] != L'&' && label.mnemonic_index < 0) label.mnemonic_index = static_cast<int>(label.text.size());
    }
    label.text += raw[i];
  }
  return label;
}

std::vector<std::wstring> SplitLines(const std::wstring &text) {
  std::vector<std::wstring> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'\r' || c == L'\n') {
      if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += c;
    }
  }
  return lines;
}

namespace {

// Characters a line may not start with, and those it may not end with.
bool NoLineStart(wchar_t c) {
  static const std::wstring kMarks =
      L"\x3001\x3002\xFF0C\xFF0E\x30FB\xFF1A\xFF1B\xFF1F\xFF01\x309B\x309C\x30FD\x30FE\x309D\x309E\x3005\x30FC"
      L"\xFF09\x300D\x300F\x3011\x3015\x3009\x300B\xFF3D\xFF5D"
      L"\x3041\x3043\x3045\x3047\x3049\x3063\x3083\x3085\x3087\x308E"
      L"\x30A1\x30A3\x30A5\x30A7\x30A9\x30C3\x30E3\x30E5\x30E7\x30EE\x30F5\x30F6"
      L"\xFF61\xFF63\xFF64\xFF67\xFF68\xFF69\xFF6A\xFF6B\xFF6C\xFF6D\xFF6E\xFF6F\xFF70\xFF9E\xFF9F"
      L")]},.:;?!%";
  return kMarks.find(c) != std::wstring::npos;
}

bool NoLineEnd(wchar_t c) {
  static const std::wstring kMarks = L"\xFF08\x300C\x300E\x3010\x3014\x3008\x300A\xFF3B\xFF5B\xFF62([{";
  return kMarks.find(c) != std::wstring::npos;
}

// Japanese text breaks between any two characters; half-width katakana too.
bool BreaksAnywhere(wchar_t c) { return CharWidth(c) == 2 || (c >= 0xFF61 && c <= 0xFF9F); }

// May a line break between line[at - 1] and line[at]? Blanks at a break
// are dropped, so the rules look past them.
bool MayBreakBefore(const std::wstring &line, size_t at) {
  size_t last = line.find_last_not_of(L' ', at - 1);
  if (last != std::wstring::npos && NoLineEnd(line[last])) return false;
  size_t next = line.find_first_not_of(L' ', at);
  if (next != std::wstring::npos && NoLineStart(line[next])) return false;
  wchar_t before = line[at - 1], after = line[at];
  return before == L' ' || after == L' ' || BreaksAnywhere(before) || BreaksAnywhere(after);
}

}  // namespace

std::vector<std::wstring> WrapLine(const std::wstring &line, int width, int continuation_indent) {
  if (width < 2) width = 2;
  continuation_indent = std::max(0, std::min(continuation_indent, width - 2));
  std::vector<std::wstring> pieces;
  size_t start = 0;
  const size_t n = line.size();
  for (;;) {
    std::wstring indent(pieces.empty() ? 0 : static_cast<size_t>(continuation_indent), L' ');
    int room = width - static_cast<int>(indent.size());
    // The most that fits.
    size_t end = start;
    for (int used = 0; end < n && used + CharWidth(line[end]) <= room; ++end) used += CharWidth(line[end]);
    if (end == start && end < n) ++end;  // a character wider than the room still goes somewhere
    if (end >= n) {
      pieces.push_back(indent + line.substr(start));
      return pieces;
    }
    // The last allowed break that leaves more than blanks on this line.
    size_t first_text = start;
    while (first_text < n && line[first_text] == L' ') ++first_text;
    size_t cut = end;
    while (cut > first_text + 1 && !MayBreakBefore(line, cut)) --cut;
    if (cut <= first_text + 1 && !MayBreakBefore(line, cut)) cut = end;  // no break fits: split the word
    size_t keep = cut;
    while (keep > first_text && line[keep - 1] == L' ') --keep;
    pieces.push_back(indent + line.substr(start, keep - start));
    start = cut;
    while (start < n && line[start] == L' ') ++start;
    if (start >= n) return pieces;
  }
}

int HangingIndent(const std::wstring &line, int width) {
  size_t lead = line.find_first_not_of(L' ');
  if (lead == std::wstring::npos) return 0;
  int indent = static_cast<int>(lead);
  size_t gap = line.find(L"  ", lead);
  if (gap != std::wstring::npos) {
    size_t text = line.find_first_not_of(L' ', gap);
    if (text != std::wstring::npos) {
      int hang = TextWidth(line.substr(0, text));
      if (hang <= width / 2) indent = hang;
    }
  }
  return std::min(indent, width / 2);
}

}  // namespace terminal
