#include "help_viewer.h"
#include "text_width.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
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

TEST_F(HelpViewerTest, ShowsTitleAndScrollsWithinTheText) {
  std::string text = "# Velmora ヘルプ\n";
  for (int i = 1; i <= 60; ++i) text += "行 " + std::to_string(i) + "\n";
  Write(text);
  HelpViewer viewer;
  ASSERT_TRUE(viewer.OpenFile(dir_ + "/Velmora.txt"));
  Canvas canvas(80, 24);
  viewer.Draw(canvas);
  EXPECT_NE(canvas.RowText(0).find(DecodeUtf8("Velmora ヘルプ")), std::wstring::npos);
  EXPECT_NE(canvas.RowText(1).find(DecodeUtf8("行 1 ")), std::wstring::npos);

  TerminalEvent e;
  e.key = Key::kPageDown;
  viewer.HandleKey(e);
  viewer.Draw(canvas);
  EXPECT_EQ(viewer.Top(), 21);  // 24 rows less title, hint and border
  e.key = Key::kEnd;
  viewer.HandleKey(e);
  viewer.Draw(canvas);
  EXPECT_NE(canvas.RowText(21).find(DecodeUtf8("行 60")), std::wstring::npos);
  e.key = Key::kDown;
  viewer.HandleKey(e);  // already at the end: stays
  viewer.Draw(canvas);
  EXPECT_NE(canvas.RowText(21).find(DecodeUtf8("行 60")), std::wstring::npos);
  e.key = Key::kEscape;
  EXPECT_TRUE(viewer.HandleKey(e));
  EXPECT_FALSE(viewer.IsOpen());
}

TEST_F(HelpViewerTest, AMissingFileIsReported) {
  HelpViewer viewer;
  EXPECT_FALSE(viewer.OpenFile(dir_ + "/missing.txt"));
  EXPECT_FALSE(viewer.IsOpen());
}

}  // namespace
}  // namespace tui
