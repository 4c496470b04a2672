// SPDX-License-Identifier: GPL-3.0-or-later
#include "help_viewer.h"
#include "text_width.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace tui {
namespace {

class HelpViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/velmora-help-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::remove((dir_ + "/Velmora.txt").c_str());
    rmdir(dir_.c_str());
  }
  void Write(const std::string &text) { std::ofstream(dir_ + "/Velmora.txt") << text; }
  std::string dir_;
};

TEST_F(HelpViewerTest, FindsTheTextByTheHelpFileNameOnly) {
  Write("# Velmora\n");
  EXPECT_EQ(FindHelpText("Velmora.HLP", {"/nonexistent", dir_}), dir_ + "/Velmora.txt");
  EXPECT_EQ(FindHelpText("C:\\WINNT\\HELP\\Velmora.HLP", {dir_}), dir_ + "/Velmora.txt");
  EXPECT_EQ(FindHelpText("Other.HLP", {dir_}), "");
  EXPECT_EQ(FindHelpText("..", {dir_}), "");
}

// The program's help text, wrapped as the viewer wraps it on narrow screens.
TEST(HelpText, WrapsByWidthKeepingIndentationAndLineBreakingRules) {
  std::ifstream in(std::string(VELMORA_TUI_HELP_DIR) + "/Velmora.txt");
  std::string utf8((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(utf8.empty());
  const std::wstring no_start = DecodeUtf8("。、）」』，．：；？！ー・");
  for (int width : {36, 50, 66, 80}) {
    for (const std::wstring &line : SplitLines(DecodeUtf8(utf8))) {
      int indent = static_cast<int>(line.find_first_not_of(L' '));
      std::vector<std::wstring> pieces = WrapLine(line, width, HangingIndent(line, width));
      for (size_t i = 0; i < pieces.size(); ++i) {
        const std::wstring &piece = pieces[i];
        std::string shown = EncodeUtf8(piece);
        EXPECT_LE(TextWidth(piece), width) << shown;
        if (i == 0) continue;
        size_t text = piece.find_first_not_of(L' ');
        ASSERT_NE(text, std::wstring::npos) << "a blank piece of: " << EncodeUtf8(line);
        EXPECT_GE(static_cast<int>(text), std::min(indent, width / 2)) << shown;
        EXPECT_EQ(no_start.find(piece[text]), std::wstring::npos) << shown;
        EXPECT_NE(pieces[i - 1].back(), L'\x300C') << EncodeUtf8(pieces[i - 1]);  // 「
      }
    }
  }
}

}  // namespace
}  // namespace tui
