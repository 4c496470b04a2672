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

TEST(KeyInput, CharactersAreTypedInTheAnsiCodePage) {
  InputAction latin = TranslateKey(CharEvent(L'x'));
  EXPECT_EQ(latin.kind, InputAction::kTypeChars);
  EXPECT_EQ(latin.ansi, "x");
  InputAction kanji = TranslateKey(CharEvent(L'\x65E5'));  // 日
  EXPECT_EQ(kanji.ansi, "\x93\xFA");
  InputAction half_width = TranslateKey(CharEvent(L'\xFF7A'));  // ｺ
  EXPECT_EQ(half_width.ansi, "\xBA");
  EXPECT_EQ(TranslateKey(CharEvent(L'?')).ansi, "?");
}

TEST(KeyInput, CharactersTheCodePageLacksAreRefusedNotReplaced) {
  EXPECT_EQ(TranslateKey(CharEvent(L'\x00E9')).kind, InputAction::kNothing);   // é
  EXPECT_EQ(TranslateKey(CharEvent(L'\x1F600')).kind, InputAction::kNothing);  // an emoji
  EXPECT_EQ(TranslateKey(CharEvent(L'\x07')).kind, InputAction::kNothing);
}

}  // namespace
}  // namespace tui
