// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_width.h"

#include <gtest/gtest.h>

namespace tui {
namespace {

TEST(TextWidth, ClippingNeverSplitsADoubleWidthCharacter) {
  std::wstring text = DecodeUtf8("ab追加c");
  EXPECT_EQ(ClipToWidth(text, 3), L"ab");
  EXPECT_EQ(ClipToWidth(text, 4), DecodeUtf8("ab追"));
  EXPECT_EQ(SkipColumns(text, 3), DecodeUtf8("追加c"));  // half a character is not skipped
  EXPECT_EQ(SkipColumns(text, 4), DecodeUtf8("加c"));
}

TEST(TextWidth, MalformedTextIsReplacedNotDropped) {
  EXPECT_EQ(DecodeUtf8("a\xFF"
                       "b"),
            L"a\xFFFD"
            L"b");
  EXPECT_EQ(DecodeUtf8("\xE8\xBF"), L"\xFFFD\xFFFD");             // cut off
  EXPECT_EQ(DecodeUtf8("\xC0\xAF"), L"\xFFFD\xFFFD");             // overlong
  EXPECT_EQ(EncodeUtf8(DecodeUtf8("日程 ｺﾏﾝﾄﾞ")), "日程 ｺﾏﾝﾄﾞ");  // round trip
}

TEST(TextWidth, MnemonicMarks) {
  Label select = ParseMnemonic(DecodeUtf8("ｺﾝﾋﾟｭｰﾀ選択(&S)..."));
  EXPECT_EQ(select.text, DecodeUtf8("ｺﾝﾋﾟｭｰﾀ選択(S)..."));
  EXPECT_EQ(select.text[static_cast<size_t>(select.mnemonic_index)], L'S');
  Label ampersand = ParseMnemonic(L"A&&B &Cd");
  EXPECT_EQ(ampersand.text, L"A&B Cd");
  EXPECT_EQ(ampersand.mnemonic_index, 4);
  EXPECT_EQ(ParseMnemonic(L"end&").text, L"end&");
}

TEST(TextWidth, LinesAndWrapping) {
  EXPECT_EQ(SplitLines(L"a\nb\r\nc\rd"), (std::vector<std::wstring>{L"a", L"b", L"c", L"d"}));
  EXPECT_EQ(WrapLine(L"one two three", 8), (std::vector<std::wstring>{L"one two", L"three"}));
  // Japanese has no blanks: break between characters, by columns.
  EXPECT_EQ(WrapLine(DecodeUtf8("ｼﾞｮﾌﾞ一覧の取得"), 8),
            (std::vector<std::wstring>{DecodeUtf8("ｼﾞｮﾌﾞ一"), DecodeUtf8("覧の取得")}));
  // Japanese line-breaking rules: 。 and 」 never start a line, 「 never ends one.
  EXPECT_EQ(WrapLine(DecodeUtf8("あいうえ。かき"), 8),
            (std::vector<std::wstring>{DecodeUtf8("あいう"), DecodeUtf8("え。かき")}));
  EXPECT_EQ(WrapLine(DecodeUtf8("あいう「え」"), 8),
            (std::vector<std::wstring>{DecodeUtf8("あいう"), DecodeUtf8("「え」")}));
  // Indentation kept on continuation lines, and no piece of blanks only.
  EXPECT_EQ(WrapLine(L"    abcdefghij klm", 10, 4),
            (std::vector<std::wstring>{L"    abcdef", L"    ghij", L"    klm"}));
  std::wstring term = DecodeUtf8("  削除(R)      一覧で選んだジョブを削除します。");
  EXPECT_EQ(HangingIndent(term, 40), 15);
  EXPECT_EQ(HangingIndent(L"   text", 40), 3);
}

TEST(TextWidth, CutTextEndsInAnEllipsis) {
  EXPECT_EQ(FitWithEllipsis(L"10001", 5), L"10001");
  EXPECT_EQ(FitWithEllipsis(L"10001", 4), L"1...");
  EXPECT_EQ(FitWithEllipsis(L"10001", 2), L"..");
  // A double-width character that would straddle the cut is left out.
  EXPECT_EQ(FitWithEllipsis(DecodeUtf8("C:\\TOOLS\\週次集計.cmd"), 14), DecodeUtf8("C:\\TOOLS\\週..."));
}

}  // namespace
}  // namespace tui
