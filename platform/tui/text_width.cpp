#include "text_width.h"

#include <standin/text.h>

#include <cwchar>

namespace tui {

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

std::vector<std::wstring> WrapLine(const std::wstring &line, int width) {
  std::vector<std::wstring> pieces;
  if (width < 2) width = 2;
  std::wstring rest = line;
  while (TextWidth(rest) > width) {
    std::wstring head = ClipToWidth(rest, width);
    size_t cut = head.size();
    size_t blank = head.find_last_of(L' ');
    if (blank != std::wstring::npos && blank > 0) cut = blank;
    pieces.push_back(rest.substr(0, cut));
    rest = rest.substr(cut);
    if (!rest.empty() && rest[0] == L' ') rest.erase(0, 1);
  }
  pieces.push_back(rest);
  return pieces;
}

}  // namespace tui
