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
