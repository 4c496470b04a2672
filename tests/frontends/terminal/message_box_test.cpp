// SPDX-License-Identifier: GPL-3.0-or-later
#include "message_box.h"
#include "text_width.h"

#include <standin/text.h>

#include <gtest/gtest.h>

namespace tui {
namespace {

TerminalEvent KeyEvent(Key key, bool shift = false, wchar_t ch = 0) {
  TerminalEvent e;
  e.key = key;
  e.shift = shift;
  e.ch = ch;
  return e;
}
TerminalEvent CharEvent(wchar_t ch) { return KeyEvent(Key::kChar, false, ch); }

const std::string kQuestion = standin::Utf8ToCp932("PC01 上でｽｹｼﾞｭｰﾙｻｰﾋﾞｽが停止中です。\n今すぐ開始しますか?");
const std::string kCaption = standin::Utf8ToCp932("ｽｹｼﾞｭｰﾙｻｰﾋﾞｽ");

TEST(MessageBoxView, KeysMoveBetweenButtonsAndPressThem) {
  MessageBoxView box(kQuestion, kCaption, MB_YESNO | MB_ICONQUESTION);
  EXPECT_EQ(box.HandleKey(KeyEvent(Key::kRight)), std::nullopt);
  EXPECT_EQ(box.FocusedButton(), 1);
  EXPECT_EQ(box.HandleKey(KeyEvent(Key::kTab)), std::nullopt);
  EXPECT_EQ(box.FocusedButton(), 0);  // wraps around
  EXPECT_EQ(box.HandleKey(KeyEvent(Key::kTab, true)), std::nullopt);
  EXPECT_EQ(box.HandleKey(KeyEvent(Key::kEnter)), IDNO);
  EXPECT_EQ(box.HandleKey(CharEvent(L'y')), IDYES);
  EXPECT_EQ(box.HandleKey(CharEvent(L'N')), IDNO);
}

TEST(MessageBoxView, EscapeCancelsOrAnswersALoneOkButNeverAnswersAQuestion) {
  EXPECT_EQ(MessageBoxView("t", "c", MB_OK).HandleKey(KeyEvent(Key::kEscape)), IDOK);
  EXPECT_EQ(MessageBoxView("t", "c", MB_OKCANCEL).HandleKey(KeyEvent(Key::kEscape)), IDCANCEL);
  EXPECT_EQ(MessageBoxView("t", "c", MB_YESNOCANCEL).HandleKey(KeyEvent(Key::kEscape)), IDCANCEL);
  EXPECT_EQ(MessageBoxView("t", "c", MB_YESNO).HandleKey(KeyEvent(Key::kEscape)), std::nullopt);
}

TEST(MessageBoxView, AClickOnAButtonAnswersTheBox) {
  Canvas canvas(80, 24);
  MessageBoxView box(kQuestion, kCaption, MB_YESNO | MB_ICONQUESTION);
  box.Draw(canvas, CellRect{0, 0, 80, 24});
  int yes_row = -1;
  for (int y = 0; y < 24; ++y)
    if (canvas.RowText(y).find(DecodeUtf8("はい(Y)")) != std::wstring::npos) yes_row = y;
  ASSERT_GE(yes_row, 0);
  std::wstring row = canvas.RowText(yes_row);
  int no_col = TextWidth(row.substr(0, row.find(DecodeUtf8("いいえ"))));
  EXPECT_EQ(box.HandleClick(no_col, yes_row), IDNO);
  EXPECT_EQ(box.HandleClick(0, 0), std::nullopt);
}

TEST(MessageBoxView, LongLinesWrapInsideANarrowScreen) {
  Canvas canvas(40, 20);
  std::string text(120, 'x');
  MessageBoxView box(text, "c", MB_OK);
  box.Draw(canvas, CellRect{0, 0, 40, 20});
  int rows_with_x = 0;
  for (int y = 0; y < 20; ++y)
    if (canvas.RowText(y).find(L"xxxx") != std::wstring::npos) ++rows_with_x;
  EXPECT_GE(rows_with_x, 4);  // nothing cut off
}

}  // namespace
}  // namespace tui
