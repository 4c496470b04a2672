#include "key_input.h"

#include <gtest/gtest.h>

namespace tui {
namespace {

TerminalEvent KeyEvent(Key key, bool shift = false, bool ctrl = false, bool alt = false) {
  TerminalEvent e;
  e.key = key;
  e.shift = shift;
  e.ctrl = ctrl;
  e.alt = alt;
  return e;
}

TerminalEvent CharEvent(wchar_t ch, bool alt = false) {
  TerminalEvent e;
  e.key = Key::kChar;
  e.ch = ch;
  e.alt = alt;
  return e;
}

TEST(KeyInput, KeysBecomeVirtualKeysWithTheirModifiers) {
  InputAction back_tab = TranslateKey(KeyEvent(Key::kTab, true));
  EXPECT_EQ(back_tab.kind, InputAction::kPressKey);
  EXPECT_EQ(back_tab.virtual_key, static_cast<UINT>(VK_TAB));
  EXPECT_TRUE(back_tab.shift);
  InputAction extend = TranslateKey(KeyEvent(Key::kDown, true, true));
  EXPECT_EQ(extend.virtual_key, static_cast<UINT>(VK_DOWN));
  EXPECT_TRUE(extend.shift && extend.ctrl);
  EXPECT_EQ(TranslateKey(KeyEvent(Key::kResize)).kind, InputAction::kNothing);
}

TEST(KeyInput, AltLetterIsTheMnemonicKeyPress) {
  InputAction a = TranslateKey(CharEvent(L'a', true));
  EXPECT_EQ(a.kind, InputAction::kPressKey);
  EXPECT_EQ(a.virtual_key, static_cast<UINT>('A'));
  EXPECT_TRUE(a.alt);
  EXPECT_EQ(TranslateKey(CharEvent(L'-', true)).kind, InputAction::kNothing);
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
