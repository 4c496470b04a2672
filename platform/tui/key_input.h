// Terminal input as the front end sees it, and its translation into the
// input a Windows user gives: virtual-key presses with their modifiers, and
// typed characters in the program's ANSI code page.
#ifndef VELMORA_TUI_KEY_INPUT_H
#define VELMORA_TUI_KEY_INPUT_H

#include <windows.h>

#include <string>

namespace tui {

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
  std::string ansi;  // kTypeChars: the characters in code page 932
};

// Keys become key presses (Alt+letter a system key press for the dialog
// manager's mnemonics); characters are typed, and a character the code page
// cannot hold is refused rather than turned into a different one.
InputAction TranslateKey(const TerminalEvent &event);

}  // namespace tui

#endif
