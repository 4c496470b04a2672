// SPDX-License-Identifier: GPL-3.0-or-later
// The system clipboard as far as the edit controls use it: one text, kept in
// the form it was put there (Unicode by the user, ANSI by an ANSI edit's
// copy), and read in the other form through the ANSI code page, as the
// platform synthesizes CF_TEXT from CF_UNICODETEXT and back.
#include "window.h"

#include <optional>

namespace standin {
namespace user32 {
namespace {

struct Clipboard {
  std::optional<std::u16string> unicode;  // CF_UNICODETEXT as placed
  std::optional<std::string> ansi;        // CF_TEXT as placed
};

Clipboard &TheClipboard() {
  static Clipboard clipboard;
  return clipboard;
}

}  // namespace

void SetClipboardAnsiText(const std::string &ansi) {
  TheClipboard() = Clipboard();
  TheClipboard().ansi = ansi;
}

std::optional<std::string> ClipboardAnsiText() {
  const Clipboard &clipboard = TheClipboard();
  if (clipboard.ansi) return clipboard.ansi;
  if (!clipboard.unicode) return std::nullopt;
  if (clipboard.unicode->empty()) return std::string();
  // CF_TEXT made from Unicode text: the code page with its best fit and its
  // default character, one unit at a time.
  const std::u16string &wide = *clipboard.unicode;
  std::string ansi(wide.size() * 2, '\0');
  const int size = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWCH>(wide.data()), static_cast<int>(wide.size()),
                                       &ansi[0], static_cast<int>(ansi.size()), nullptr, nullptr);
  ansi.resize(size > 0 ? static_cast<size_t>(size) : 0);
  return ansi;
}

void ResetClipboard() { TheClipboard() = Clipboard(); }

}  // namespace user32

void PutTextOnClipboard(const std::u16string &text) {
  user32::ResetClipboard();
  user32::TheClipboard().unicode = text;
}

std::optional<std::u16string> ClipboardText() {
  const user32::Clipboard &clipboard = user32::TheClipboard();
  if (clipboard.unicode) return clipboard.unicode;
  if (!clipboard.ansi) return std::nullopt;
  if (clipboard.ansi->empty()) return std::u16string();
  const std::string &ansi = *clipboard.ansi;
  std::u16string wide(ansi.size(), u'\0');
  const int size = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                                       reinterpret_cast<LPWSTR>(&wide[0]), static_cast<int>(wide.size()));
  wide.resize(size > 0 ? static_cast<size_t>(size) : 0);
  return wide;
}

}  // namespace standin
