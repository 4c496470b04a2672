// SPDX-License-Identifier: GPL-3.0-or-later
// The pieces under the windows: text measuring and wrapping, the canvas, message boxes and the help text. What the
// windows make of them is played by the driver tests and the end-to-end cases.
#include "canvas.h"
#include "help_viewer.h"
#include "message_box.h"
#include "text_width.h"

#include <standin/text.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

namespace terminal {
namespace {

// Text is never garbled: malformed UTF-8 is replaced, not dropped, and a double-width character is never cut in half,
// neither when clipped nor on the canvas; control characters never reach the terminal.
TEST(Text, DoubleWidthAndMalformedTextNeverGarbleTheScreen) {
  // A stray byte, an overlong form and a sequence cut off.
  EXPECT_EQ(DecodeUtf8("a\xFFz\xC0\xAFz\xE8\xBF"), L"a\xFFFDz\xFFFD\xFFFDz\xFFFD\xFFFD");
  // The smallest of two, three and four bytes.
  EXPECT_EQ(DecodeUtf8("\xC2\x80\xE0\xA0\x80\xF0\x90\x80\x80"), L"\x80\x800\x10000");
  std::wstring text = DecodeUtf8("ab追加c");
  EXPECT_EQ(ClipToWidth(text, 3), L"ab");
  EXPECT_EQ(SkipColumns(text, 3), DecodeUtf8("追加c"));  // half a character is not skipped
  EXPECT_EQ(FitWithEllipsis(DecodeUtf8("C:\\TOOLS\\週次集計.cmd"), 14), DecodeUtf8("C:\\TOOLS\\週..."));
  EXPECT_EQ(FitWithEllipsis(L"10001", 2), L"..");  // a column narrowed to two

  Canvas canvas(10, 2);
  EXPECT_EQ(canvas.Put(0, 0, DecodeUtf8("日本語"), kPlain), 6);
  canvas.Put(3, 0, L"x", kPlain);  // the right half of 本 blanks its left half
  EXPECT_EQ(canvas.RowText(0), DecodeUtf8("日 x語    "));
  EXPECT_EQ(canvas.Put(9, 1, DecodeUtf8("語"), kPlain), 0);  // does not fit at the edge
  canvas.Put(0, 1, std::wstring(L"a\nb"), kPlain);
  EXPECT_EQ(canvas.RowText(1), L"a?b       ");
  Canvas boxes(5, 3);  // the smallest box, its corners alone, and one with a cell inside
  boxes.Box(CellRect{0, 0, 2, 2}, kPlain);
  boxes.Box(CellRect{2, 0, 3, 3}, kPlain);
  EXPECT_EQ(boxes.RowText(0) + boxes.RowText(1) + boxes.RowText(2),
            L"\x250C\x2510\x250C\x2500\x2510\x2514\x2518\x2502 \x2502  \x2514\x2500\x2518");
}

// The program's own help text, wrapped as the viewer wraps it on narrow screens: nothing lost, nothing too wide,
// indentation kept, and the Japanese line-breaking rules followed.
TEST(Text, TheHelpTextWrapsWithinTheWidthLosingNothing) {
  std::ifstream in(std::string(VELMORA_TERMINAL_HELP_DIR) + "/Velmora.txt");
  std::string utf8((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(utf8.empty());
  EXPECT_EQ(SplitLines(L"a\n\nb\n"), (std::vector<std::wstring>{L"a", L"", L"b", L""}));  // blank lines kept
  // A term's description goes on under itself; a word is split only when no other break fits.
  EXPECT_EQ(HangingIndent(DecodeUtf8("  削除(R)      一覧で選んだジョブを削除します。"), 40), 15);
  EXPECT_EQ(WrapLine(L"  abcdefghij klm", 8, 2), (std::vector<std::wstring>{L"  abcdef", L"  ghij", L"  klm"}));
  // No narrower than a double-width character: two cells.
  EXPECT_EQ(WrapLine(L"abcd", 0), (std::vector<std::wstring>{L"ab", L"cd"}));
  const std::wstring no_start = DecodeUtf8("。、）」』，．：；？！ー・");
  auto without_blanks = [](const std::wstring &s) { return std::regex_replace(s, std::wregex(L" "), L""); };
  for (int width : {36, 50, 66, 80}) {
    for (const std::wstring &line : SplitLines(DecodeUtf8(utf8))) {
      int indent = static_cast<int>(line.find_first_not_of(L' '));
      std::vector<std::wstring> pieces = WrapLine(line, width, HangingIndent(line, width));
      std::wstring joined;
      for (size_t i = 0; i < pieces.size(); ++i) {
        const std::wstring &piece = pieces[i];
        joined += piece;
        EXPECT_LE(TextWidth(piece), width) << EncodeUtf8(piece);
        if (i == 0) continue;
        size_t text = piece.find_first_not_of(L' ');
        ASSERT_NE(text, std::wstring::npos) << "a blank piece of: " << EncodeUtf8(line);
        EXPECT_GE(static_cast<int>(text), std::min(indent, width / 2)) << EncodeUtf8(piece);
        EXPECT_EQ(no_start.find(piece[text]), std::wstring::npos) << EncodeUtf8(piece);
        EXPECT_NE(pieces[i - 1].back(), L'\x300C') << EncodeUtf8(pieces[i - 1]);  // 「
      }
      EXPECT_EQ(without_blanks(joined), without_blanks(line)) << EncodeUtf8(line);
    }
  }
  // Only the file name of the program's help file counts.
  const std::string dir = VELMORA_TERMINAL_HELP_DIR;
  EXPECT_EQ(FindHelpText("C:\\WINNT\\HELP\\Velmora.HLP", {"/nonexistent", dir}), dir + "/Velmora.txt");
  EXPECT_EQ(FindHelpText("Other.HLP", {dir}), "");
  EXPECT_EQ(FindHelpText("..", {dir}), "");
  // A name with nothing before its extension names no file, not a hidden ".txt".
  char hidden[] = "/tmp/velmora-help-XXXXXX";
  ASSERT_NE(mkdtemp(hidden), nullptr);
  std::ofstream(std::string(hidden) + "/.txt") << "hidden";
  EXPECT_EQ(FindHelpText("C:\\HELP\\.HLP", {hidden}), "");
  std::filesystem::remove_all(hidden);
  // A text without a "# " heading line keeps its first line, under the viewer's own title.
  HelpViewer viewer;
  viewer.Open({L"#1 first", L"second"});
  Canvas screen(40, 10);
  viewer.Draw(screen);
  std::wstring shown;
  for (int y = 0; y < 10; ++y) shown += screen.RowText(y);
  EXPECT_NE(shown.find(L"#1 first"), std::wstring::npos) << EncodeUtf8(shown);
  EXPECT_NE(shown.find(DecodeUtf8("ヘルプ")), std::wstring::npos) << EncodeUtf8(shown);
}

// The platform's keyboard rules: arrows and Tab move round the buttons, Enter presses the focused one, a letter its
// button; Escape answers a box that has Cancel or OK alone, never a Yes/No question. A long line wraps inside a narrow
// screen, the box stands in the middle, and a click on a button answers.
TEST(MessageBoxView, AnswersAsThePlatformDoesAndWrapsLongLines) {
  MessageBoxView box(std::string(120, 'x') + standin::Utf8ToCp932("\n今すぐ開始しますか?"), "c",
                     MB_YESNO | MB_ICONQUESTION);
  EXPECT_EQ(box.HandleKey(TerminalEvent{Key::kRight}), std::nullopt);
  EXPECT_EQ(box.HandleKey(TerminalEvent{Key::kEnter}), IDNO);
  EXPECT_EQ(box.HandleKey(TerminalEvent{Key::kTab}), std::nullopt);  // wraps round to Yes
  EXPECT_EQ(box.HandleKey(TerminalEvent{Key::kEnter}), IDYES);
  EXPECT_EQ(box.HandleKey(TerminalEvent{Key::kEscape}), std::nullopt);
  EXPECT_EQ(box.HandleKey(TerminalEvent{Key::kChar, L'y'}), IDYES);
  EXPECT_EQ(box.HandleKey(TerminalEvent{Key::kChar, L'N'}), IDNO);
  EXPECT_EQ(MessageBoxView("t", "c", MB_OK).HandleKey(TerminalEvent{Key::kEscape}), IDOK);
  EXPECT_EQ(MessageBoxView("t", "c", MB_YESNOCANCEL).HandleKey(TerminalEvent{Key::kEscape}), IDCANCEL);

  Canvas canvas(40, 20);
  box.Draw(canvas, CellRect{0, 0, 40, 20});
  std::wstring shown;
  int clicked = 0;
  for (int y = 0; y < 20; ++y) {
    std::wstring row = canvas.RowText(y);
    shown += row;
    size_t at = row.find(DecodeUtf8("いいえ"));
    if (at == std::wstring::npos) continue;
    EXPECT_EQ(box.HandleClick(TextWidth(row.substr(0, at)), y), IDNO);
    ++clicked;
  }
  EXPECT_EQ(std::count(shown.begin(), shown.end(), L'x'), 120);  // nothing cut off
  // Centred: as many blank rows above the box as below it, give or take one.
  auto blank = [&](int y) { return canvas.RowText(y).find_first_not_of(L' ') == std::wstring::npos; };
  int above = 0, below = 0;
  while (blank(above)) ++above;
  while (blank(19 - below)) ++below;
  EXPECT_LE(std::abs(above - below), 1) << above << " above, " << below << " below";
  EXPECT_EQ(clicked, 1);
  EXPECT_EQ(box.HandleClick(0, 0), std::nullopt);
  // A caption wider than the screen is cut, not the box: its lower right corner stays on the screen.
  Canvas narrow(40, 20);
  MessageBoxView("t", std::string(60, 'c'), MB_OK).Draw(narrow, CellRect{0, 0, 40, 20});
  int corners = 0;
  for (int y = 0; y < 20; ++y) corners += narrow.At(39, y).ch == kLRCorner;
  EXPECT_EQ(corners, 1);
}

}  // namespace
}  // namespace terminal
