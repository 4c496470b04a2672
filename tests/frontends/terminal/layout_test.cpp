#include "canvas.h"
#include "layout.h"
#include "text_width.h"

#include <gtest/gtest.h>

namespace tui {
namespace {

// The main window is 247 x 239 dialog units; the job editor 294 x 123.
TEST(Layout, MainWindowFitsEightyByTwentyFourAndTheEditorFitsToo) {
  Scale scale = ScaleToFit(247, 239, 80, 24);
  FrameSize main = FrameForClient(247, 239, scale);
  EXPECT_LE(main.cols, 80);
  EXPECT_EQ(main.rows, 24);
  FrameSize editor = FrameForClient(294, 123, scale);
  EXPECT_LE(editor.cols, 80);
  EXPECT_LE(editor.rows, 24);
  // A larger terminal does not blow the dialogs up: one column stays one
  // average character.
  EXPECT_EQ(ScaleToFit(247, 239, 200, 60).du_per_col, 4);
}

TEST(Layout, MainWindowControlsKeepTheirOrderAndDoNotCollide) {
  Scale scale = ScaleToFit(247, 239, 80, 24);
  CellRect group = GroupBoxCells(6, 8, 158, 52, scale);
  CellRect name = ControlCells(16, 24, 70, 12, scale);
  CellRect select = ControlCells(90, 22, 64, 14, scale);
  CellRect status = ControlCells(16, 44, 140, 8, scale);
  CellRect caption = ControlCells(8, 68, 48, 8, scale);
  CellRect list = ControlCells(7, 80, 230, 128, scale);
  CellRect add = ControlCells(76, 216, 52, 14, scale);
  CellRect modify = ControlCells(132, 216, 52, 14, scale);
  // Inside the group frame, strictly between its top and bottom lines.
  for (const CellRect &r : {name, select, status}) {
    EXPECT_GT(r.y, group.y);
    EXPECT_LT(r.Bottom(), group.Bottom());
    EXPECT_GT(r.x, group.x);
    EXPECT_LT(r.Right(), group.Right());
  }
  EXPECT_EQ(name.y, select.y);
  EXPECT_LE(name.Right(), select.x);
  EXPECT_LE(group.Bottom(), caption.y);
  EXPECT_LE(caption.Bottom(), list.y);
  EXPECT_LE(list.Bottom(), add.y);
  EXPECT_EQ(add.h, 1);
  EXPECT_LT(add.Right(), modify.x);  // a blank between neighbouring buttons
  EXPECT_GE(list.h, 10);             // room for a header and several rows
}

TEST(Layout, EditorRadiosTakeOneRowEach) {
  Scale scale = ScaleToFit(247, 239, 80, 24);
  int rows[4];
  for (int i = 0; i < 4; ++i) rows[i] = ControlCells(16, 56 + 12 * i, 40, 8, scale).y;
  for (int i = 1; i < 4; ++i) EXPECT_EQ(rows[i], rows[i - 1] + 1);
  CellRect frame = GroupBoxCells(8, 40, 56, 72, scale);
  EXPECT_GT(rows[0], frame.y);
  EXPECT_LT(rows[3], frame.Bottom() - 1);
}

TEST(Layout, FramesStayOnTheScreen) {
  FrameSize editor{76, 13};
  // Anchored at the owner's client origin, it would run off the right edge.
  Point p = PlaceFrame(editor, false, Point{9, 1}, Point{0, 0}, 80, 24);
  EXPECT_EQ(p.x, 4);
  EXPECT_EQ(p.y, 1);
  Point centred = PlaceFrame(FrameSize{40, 8}, true, Point{}, Point{}, 80, 24);
  EXPECT_EQ(centred.x, 20);
  EXPECT_EQ(centred.y, 8);
  // Bigger than the screen: pinned to the top left rather than off screen.
  Point big = PlaceFrame(FrameSize{100, 30}, true, Point{}, Point{}, 80, 24);
  EXPECT_EQ(big.x, 0);
  EXPECT_EQ(big.y, 0);
}

TEST(Layout, ListViewColumnsShrinkToTheListInProportion) {
  // The job list's columns: 24, 126, 159 and 72 pixels.
  std::vector<int> wide = ColumnCells({24, 126, 159, 72}, 200);
  EXPECT_EQ(wide, (std::vector<int>{4, 21, 27, 12}));
  std::vector<int> fitted = ColumnCells({24, 126, 159, 72}, 55);
  int sum = 0;
  for (int c : fitted) sum += c;
  EXPECT_EQ(sum, 55);
  EXPECT_GE(fitted[3], 10);  // " 7:00 午後" still fits the time column
  EXPECT_LT(fitted[0], fitted[1]);
  EXPECT_LT(fitted[1], fitted[2]);
  EXPECT_EQ(ColumnCells({0, 1000}, 1), (std::vector<int>{1, 1}));  // never below one column
}

TEST(Canvas, DoubleWidthCharactersOccupyTwoCellsAndAreNeverHalved) {
  Canvas canvas(10, 2);
  EXPECT_EQ(canvas.Put(0, 0, DecodeUtf8("日本語"), kPlain), 6);
  EXPECT_TRUE(canvas.At(1, 0).continuation);
  // Overwriting the right half of 本 blanks its left half.
  canvas.Put(3, 0, L"x", kPlain);
  EXPECT_EQ(canvas.RowText(0), DecodeUtf8("日 x語    "));
  // A wide character at the right edge that does not fit is left out.
  EXPECT_EQ(canvas.Put(9, 1, DecodeUtf8("語"), kPlain), 0);
  EXPECT_EQ(canvas.Put(0, 1, std::wstring(L"a\nb"), kPlain), 3);
  EXPECT_EQ(canvas.RowText(1), L"a?b       ");  // control characters never reach the terminal
}

}  // namespace
}  // namespace tui
