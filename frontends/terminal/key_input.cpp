// SPDX-License-Identifier: GPL-3.0-or-later
#include "key_input.h"

#include <cstdint>
#include <cwctype>

namespace terminal {
namespace {

InputAction Press(UINT vk, const TerminalEvent &e) {
  InputAction a;
  a.kind = InputAction::kPressKey;
  a.virtual_key = vk;
  a.shift = e.shift;
  a.ctrl = e.ctrl;
  a.alt = e.alt;
  return a;
}

InputAction TranslateChar(const TerminalEvent &e) {
  wchar_t ch = e.ch;
  InputAction none;
  if (e.alt || e.ctrl) {
    // Alt+letter or Alt+digit: the mnemonic key press of the platform.
    if (ch < 0x80 && std::iswalnum(static_cast<wint_t>(ch)))
      return Press(static_cast<UINT>(std::towupper(static_cast<wint_t>(ch))), e);
    return none;
  }
  if (ch < 0x20 || ch == 0x7F) return none;
  InputAction a;
  a.kind = InputAction::kTypeChars;
  if (ch > 0xFFFF) {
    const auto code = static_cast<uint32_t>(ch) - 0x10000;
    a.typed.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
    a.typed.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
  } else {
    a.typed.push_back(static_cast<char16_t>(ch));
  }
  return a;
}

}  // namespace

InputAction TranslateKey(const TerminalEvent &e) {
  switch (e.key) {
    case Key::kChar:
      return TranslateChar(e);
    case Key::kUp:
      return Press(VK_UP, e);
    case Key::kDown:
      return Press(VK_DOWN, e);
    case Key::kLeft:
      return Press(VK_LEFT, e);
    case Key::kRight:
      return Press(VK_RIGHT, e);
    case Key::kHome:
      return Press(VK_HOME, e);
    case Key::kEnd:
      return Press(VK_END, e);
    case Key::kPageUp:
      return Press(VK_PRIOR, e);
    case Key::kPageDown:
      return Press(VK_NEXT, e);
    case Key::kDelete:
      return Press(VK_DELETE, e);
    case Key::kBackspace:
      return Press(VK_BACK, e);
    case Key::kTab:
      return Press(VK_TAB, e);
    case Key::kEnter:
      return Press(VK_RETURN, e);
    case Key::kEscape:
      return Press(VK_ESCAPE, e);
    case Key::kSpace:
      return Press(VK_SPACE, e);
    case Key::kF1:
      return Press(VK_F1, e);
    case Key::kF4:
      return Press(VK_F4, e);
    case Key::kInsert:
      return Press(VK_INSERT, e);
    case Key::kF2:  // the front end's own keyboard pointer, never the program's
    case Key::kF3:  // the front end's own column sizing
    case Key::kNone:
    case Key::kResize:
    case Key::kMouse:
    case Key::kMouseUp:
    case Key::kWheelUp:
    case Key::kWheelDown:
      break;
  }
  return InputAction{};
}

}  // namespace terminal
