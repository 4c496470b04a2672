// SPDX-License-Identifier: GPL-3.0-or-later
// The pieces under the windows at the edges the screens do not reach: text measuring and wrapping, message boxes and
// the help text. What the windows make of them is played by the driver tests and the end-to-end cases.
#include "canvas.h"
#include "help_viewer.h"
#include "message_box.h"
#include "text_width.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace terminal {
namespace {

// A four-byte character; a column narrower than an ellipsis; a width below a double-width character's two cells; a
// caption wider than the screen, which is cut, not the box: its lower right corner stays on the screen.
TEST(Text, KeepsToTheScreenAtItsEdges) {
  EXPECT_EQ(DecodeUtf8("\xF0\x90\x80\x80"), L"\x10000");
  EXPECT_EQ(FitWithEllipsis(L"10001", 2), L"..");
  EXPECT_EQ(WrapLine(L"abcd", 0), (std::vector<std::wstring>{L"ab", L"cd"}));
  Canvas narrow(40, 20);
  MessageBoxView("t", std::string(60, 'c'), MB_OK).Draw(narrow, CellRect{0, 0, 40, 20});
  int corners = 0;
  for (int y = 0; y < 20; ++y) corners += narrow.At(39, y).ch == kLRCorner;
  EXPECT_EQ(corners, 1);
}

// Only the file name of the program's help file counts, and a name must be left of it: no hidden ".txt". A text
// without a "# " heading keeps its first line.
TEST(HelpViewer, FindsTheTextByTheHelpFilesNameAlone) {
  char dir[] = "/tmp/velmora-help-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::ofstream(std::string(dir) + "/.txt") << "hidden";
  EXPECT_EQ(FindHelpText("C:\\HELP\\.HLP", {dir}), "");
  const std::string help = VELMORA_TERMINAL_HELP_DIR;
  EXPECT_EQ(FindHelpText("C:\\WINNT\\HELP\\Velmora.HLP", {dir, help}), help + "/Velmora.txt");
  std::filesystem::remove_all(dir);
  HelpViewer viewer;
  viewer.Open({L"#1 first", L"second"});
  Canvas screen(40, 10);
  viewer.Draw(screen);
  std::wstring shown;
  for (int y = 0; y < 10; ++y) shown += screen.RowText(y);
  EXPECT_NE(shown.find(L"#1 first"), std::wstring::npos);
}

}  // namespace
}  // namespace terminal
