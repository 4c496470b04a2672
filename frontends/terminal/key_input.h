// SPDX-License-Identifier: GPL-3.0-or-later
// Terminal input as the front end sees it, and its translation into the
// input a Windows user gives: virtual-key presses with their modifiers, and
// typed characters in the program's ANSI code page.
#ifndef VELMORA_FRONTENDS_TERMINAL_KEY_INPUT_H
#define VELMORA_FRONTENDS_TERMINAL_KEY_INPUT_H

#include <windows.h>

#include <string>

namespace terminal {

enum class Key {
  kNone,
  kChar,  // a typed character (TerminalEvent::ch)
  kUp,
  kDown,
  kLeft,
  kRight,
  kHome,
  kEnd,
  kPageUp,
  kPageDown,
  kDelete,
  kBackspace,
  kTab,
  kEnter,
  kEscape,
  kSpace,
  kF1,
  kF2,  // the keyboard pointer (see TerminalDriver)
  kF3,  // the list view's column widths (see TerminalDriver)
  kF4,
  kInsert,
  kResize,     // the terminal changed its size
  kMouse,      // a click at (x, y): the left button went down
  kMouseUp,    // the left button went up at (x, y)
  kWheelUp,    // the mouse wheel turned away from the user, over (x, y)
  kWheelDown,  // ... and towards the user
};

struct TerminalEvent {
  Key key = Key::kNone;
  wchar_t ch = 0;  // kChar: the character as typed
  bool shift = false, ctrl = false, alt = false;
  int x = 0, y = 0;  // kMouse, kMouseUp, kWheelUp, kWheelDown: the cell
};

struct InputAction {
  enum Kind { kNothing, kPressKey, kTypeChars } kind = kNothing;
  UINT virtual_key = 0;
  bool shift = false, ctrl = false, alt = false;
  std::u16string typed;  // kTypeChars: the UTF-16 units the keyboard gives
};

// Keys become key presses (Alt+letter a system key press for the dialog
// manager's mnemonics, Ctrl+letter a key press that the message loop turns
// into its control character, such as Ctrl+V's paste); characters are typed
// as the keyboard gives them, and the system converts them for the
// program's ANSI windows as it does on the platform.
InputAction TranslateKey(const TerminalEvent &event);

}  // namespace terminal

#endif
