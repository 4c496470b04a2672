// SPDX-License-Identifier: GPL-3.0-or-later
#include "key_input.h"

#include <gtest/gtest.h>

namespace tui {
namespace {

TerminalEvent CharEvent(wchar_t ch) {
  TerminalEvent e;
  e.key = Key::kChar;
  e.ch = ch;
  return e;
}

// Characters are typed as the keyboard gives them; the system converts them
// for the program's ANSI windows. Ctrl+letter is a key press.
TEST(KeyInput, CharactersAreTypedAsUtf16AndCtrlLettersArePressed) {
  EXPECT_EQ(TranslateKey(CharEvent(L'x')).typed, u"x");
  EXPECT_EQ(TranslateKey(CharEvent(L'\x00E9')).typed, u"\u00E9");
  EXPECT_EQ(TranslateKey(CharEvent(L'\x1F600')).typed, u"\U0001F600");
  EXPECT_EQ(TranslateKey(CharEvent(L'\x07')).kind, InputAction::kNothing);
  TerminalEvent ctrl_v = CharEvent(L'v');
  ctrl_v.ctrl = true;
  InputAction paste = TranslateKey(ctrl_v);
  EXPECT_EQ(paste.kind, InputAction::kPressKey);
  EXPECT_EQ(paste.virtual_key, static_cast<UINT>('V'));
  EXPECT_TRUE(paste.ctrl);
}

}  // namespace
}  // namespace tui
