// SPDX-License-Identifier: GPL-3.0-or-later
// MultiByteToWideChar and WideCharToMultiByte for the ANSI code page 932
// (CP_ACP, CP_OEMCP or 932 itself) and UTF-8, with the platform's rules for
// lengths, terminators, size queries, short buffers, flags and default
// characters.
#include <windows.h>

#include <cstring>
#include <string>

#include "code_page_932.h"

namespace {

// Flags the platform accepts that this header set does not name.
constexpr DWORD kWcDiscardNs = 0x0010;
constexpr DWORD kWcSepChars = 0x0020;
constexpr DWORD kWcDefaultChar = 0x0040;
constexpr DWORD kWcErrInvalidChars = 0x0080;
constexpr DWORD kWcCompositeCheck = 0x0200;

enum class Encoding { kAnsi932, kUtf8, kUnsupported };

Encoding Resolve(UINT code_page) {
  switch (code_page) {
    case CP_ACP:
    case CP_OEMCP:
    case 932:
      return Encoding::kAnsi932;
    case CP_UTF8:
      return Encoding::kUtf8;
    default:
      return Encoding::kUnsupported;
  }
}

int Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

bool IsCp932Trail(unsigned char byte) { return byte >= 0x40 && byte <= 0xFC && byte != 0x7F; }

// Decodes code page 932; false when a byte sequence has no character.
bool DecodeAnsi(const unsigned char *src, size_t size, std::u16string *out) {
  bool all_valid = true;
  for (size_t i = 0; i < size;) {
    const unsigned char byte = src[i];
    if (byte == 0) {
      out->push_back(u'\0');
      ++i;
      continue;
    }
    if (!standin::IsCp932LeadByte(byte)) {
      const char16_t unit = standin::DecodeCp932(byte);
      if (unit == 0) all_valid = false;
      out->push_back(unit != 0 ? unit : standin::kCp932UnicodeDefaultChar);
      ++i;
      continue;
    }
    if (i + 1 < size && IsCp932Trail(src[i + 1])) {
      const char16_t unit = standin::DecodeCp932(static_cast<uint16_t>(byte << 8 | src[i + 1]));
      if (unit == 0) all_valid = false;
      out->push_back(unit != 0 ? unit : standin::kCp932UnicodeDefaultChar);
      i += 2;
      continue;
    }
    // A lead byte without its trail byte: the next byte is read on its own.
    all_valid = false;
    out->push_back(standin::kCp932UnicodeDefaultChar);
    ++i;
  }
  return all_valid;
}

// Decodes UTF-8; each ill-formed subsequence becomes U+FFFD. False when one
// was found.
bool DecodeUtf8(const unsigned char *src, size_t size, std::u16string *out) {
  bool all_valid = true;
  size_t i = 0;
  while (i < size) {
    const unsigned char lead = src[i];
    if (lead < 0x80) {
      out->push_back(lead);
      ++i;
      continue;
    }
    size_t length = 0;
    uint32_t code = 0;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;  // no encoded surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    }
    size_t taken = 1;
    bool ok = length != 0;
    while (ok && taken < length) {
      if (i + taken >= size) {
        ok = false;
        break;
      }
      const unsigned char next = src[i + taken];
      const unsigned char lo = taken == 1 ? low : 0x80, hi = taken == 1 ? high : 0xBF;
      if (next < lo || next > hi) {
        ok = false;
        break;
      }
      code = code << 6 | (next & 0x3F);
      ++taken;
    }
    if (!ok) {
      all_valid = false;
      out->push_back(u'\uFFFD');
      i += taken;
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out->push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out->push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out->push_back(static_cast<char16_t>(code));
    }
    i += taken;
  }
  return all_valid;
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Encodes to code page 932 one UTF-16 unit at a time, as the platform's
// tables do; characters it lacks become `default_char` (a surrogate pair
// twice), and *used_default records that.
std::string EncodeAnsi(const char16_t *src, size_t size, bool best_fit, const std::string &default_char,
                       bool *used_default) {
  std::string out;
  for (size_t i = 0; i < size; ++i) {
    const char16_t unit = src[i];
    // The code page's own characters, then (unless refused) its best fit.
    int code = IsHighSurrogate(unit) || IsLowSurrogate(unit) ? -1 : standin::EncodeCp932(unit);
    if (code < 0 && best_fit) code = standin::BestFitCp932(unit);
    if (code < 0) {
      out += default_char;
      *used_default = true;
    } else if (code > 0xFF) {
      out.push_back(static_cast<char>(code >> 8));
      out.push_back(static_cast<char>(code & 0xFF));
    } else {
      out.push_back(static_cast<char>(code));
    }
  }
  return out;
}

// Encodes UTF-16 to UTF-8; unpaired surrogates become U+FFFD. False when one
// was found.
bool EncodeUtf8(const char16_t *src, size_t size, std::string *out) {
  bool all_valid = true;
  for (size_t i = 0; i < size; ++i) {
    uint32_t code = src[i];
    if (IsHighSurrogate(src[i]) && i + 1 < size && IsLowSurrogate(src[i + 1])) {
      code = 0x10000 + ((code - 0xD800) << 10) + (src[i + 1] - 0xDC00);
      ++i;
    } else if (IsHighSurrogate(src[i]) || IsLowSurrogate(src[i])) {
      all_valid = false;
      code = 0xFFFD;
    }
    if (code < 0x80) {
      out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out->push_back(static_cast<char>(0xC0 | code >> 6));
      out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      out->push_back(static_cast<char>(0xE0 | code >> 12));
      out->push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out->push_back(static_cast<char>(0xF0 | code >> 18));
      out->push_back(static_cast<char>(0x80 | (code >> 12 & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return all_valid;
}

bool Overlaps(const void *a, size_t a_size, const void *b, size_t b_size) {
  const char *pa = static_cast<const char *>(a);
  const char *pb = static_cast<const char *>(b);
  return pa < pb + b_size && pb < pa + a_size;
}

}  // namespace

extern "C" {

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
  const Encoding page = Resolve(CodePage);
  if (page == Encoding::kUnsupported || lpMultiByteStr == nullptr || cbMultiByte == 0 || cbMultiByte < -1 ||
      cchWideChar < 0 || (cchWideChar > 0 && lpWideCharStr == nullptr))
    return Fail(ERROR_INVALID_PARAMETER);
  const size_t size = cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
  if (cchWideChar > 0 && Overlaps(lpMultiByteStr, size, lpWideCharStr, static_cast<size_t>(cchWideChar) * 2))
    return Fail(ERROR_INVALID_PARAMETER);

  if (page == Encoding::kUtf8) {
    if ((dwFlags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS)) != 0) return Fail(ERROR_INVALID_FLAGS);
  } else {
    const DWORD known = MB_PRECOMPOSED | MB_COMPOSITE | MB_USEGLYPHCHARS | MB_ERR_INVALID_CHARS;
    if ((dwFlags & ~known) != 0 || ((dwFlags & MB_PRECOMPOSED) && (dwFlags & MB_COMPOSITE)))
      return Fail(ERROR_INVALID_FLAGS);
  }

  std::u16string wide;
  const auto *bytes = reinterpret_cast<const unsigned char *>(lpMultiByteStr);
  const bool valid = page == Encoding::kUtf8 ? DecodeUtf8(bytes, size, &wide) : DecodeAnsi(bytes, size, &wide);
  if (!valid && (dwFlags & MB_ERR_INVALID_CHARS)) return Fail(ERROR_NO_UNICODE_TRANSLATION);

  if (cchWideChar == 0) return static_cast<int>(wide.size());
  if (wide.size() > static_cast<size_t>(cchWideChar)) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(lpWideCharStr, wide.data(), wide.size() * sizeof(WCHAR));
  return static_cast<int>(wide.size());
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar, LPBOOL lpUsedDefaultChar) {
  const Encoding page = Resolve(CodePage);
  if (page == Encoding::kUnsupported || lpWideCharStr == nullptr || cchWideChar == 0 || cchWideChar < -1 ||
      cbMultiByte < 0 || (cbMultiByte > 0 && lpMultiByteStr == nullptr))
    return Fail(ERROR_INVALID_PARAMETER);
  size_t size = 0;
  if (cchWideChar == -1) {
    while (lpWideCharStr[size] != 0) ++size;
    ++size;
  } else {
    size = static_cast<size_t>(cchWideChar);
  }
  if (cbMultiByte > 0 && Overlaps(lpWideCharStr, size * 2, lpMultiByteStr, static_cast<size_t>(cbMultiByte)))
    return Fail(ERROR_INVALID_PARAMETER);

  std::string bytes;
  if (page == Encoding::kUtf8) {
    if ((dwFlags & ~kWcErrInvalidChars) != 0) return Fail(ERROR_INVALID_FLAGS);
    // UTF-8 has no default character.
    if (lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr) return Fail(ERROR_INVALID_PARAMETER);
    if (!EncodeUtf8(lpWideCharStr, size, &bytes) && (dwFlags & kWcErrInvalidChars))
      return Fail(ERROR_NO_UNICODE_TRANSLATION);
  } else {
    const DWORD known = kWcCompositeCheck | kWcDiscardNs | kWcSepChars | kWcDefaultChar | WC_NO_BEST_FIT_CHARS;
    if ((dwFlags & ~known) != 0) return Fail(ERROR_INVALID_FLAGS);
    std::string default_char(1, standin::kCp932DefaultChar);
    if (lpDefaultChar != nullptr && lpDefaultChar[0] != '\0') {
      const bool double_byte =
          standin::IsCp932LeadByte(static_cast<unsigned char>(lpDefaultChar[0])) && lpDefaultChar[1] != '\0';
      default_char.assign(lpDefaultChar, double_byte ? 2 : 1);
    }
    bool used_default = false;
    bytes = EncodeAnsi(lpWideCharStr, size, (dwFlags & WC_NO_BEST_FIT_CHARS) == 0, default_char, &used_default);
    if (lpUsedDefaultChar != nullptr) *lpUsedDefaultChar = used_default ? TRUE : FALSE;
  }

  if (cbMultiByte == 0) return static_cast<int>(bytes.size());
  if (bytes.size() > static_cast<size_t>(cbMultiByte)) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(lpMultiByteStr, bytes.data(), bytes.size());
  return static_cast<int>(bytes.size());
}

}  // extern "C"
