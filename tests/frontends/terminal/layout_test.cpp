// SPDX-License-Identifier: GPL-3.0-or-later
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

// The main window's template, its buttons widened for their labels: they
// fit, nothing collides, the group frame still holds what it held, and the
// window still fits the smallest screen (76 columns).
TEST(Layout, MainWindowControlsKeepTheirOrderAndDoNotCollide) {
  Scale scale = ScaleToFit(247, 239, 80, 24);
  using K = LayoutItem;
  const std::vector<LayoutItem> items = {{K::kPushButton, 90, 22, 64, 14, 17},  {K::kOther, 7, 80, 230, 128, 0},
                                         {K::kPushButton, 76, 216, 52, 14, 10}, {K::kPushButton, 132, 216, 52, 14, 10},
                                         {K::kPushButton, 188, 216, 52, 14, 7}, {K::kPushButton, 176, 12, 64, 14, 17},
                                         {K::kPushButton, 176, 32, 64, 14, 10}, {K::kPushButton, 176, 52, 64, 14, 7},
                                         {K::kOther, 16, 24, 70, 12, 0},        {K::kGroupBox, 6, 8, 158, 52, 0},
                                         {K::kOther, 8, 68, 48, 8, 0},          {K::kOther, 16, 44, 140, 8, 0}};
  DialogLayout layout = LayOutDialog(247, 239, items, scale);
  const std::vector<CellRect> &c = layout.cells;
  EXPECT_LE(layout.client_cols + kFrameExtraCols, 76);
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].kind == K::kPushButton) {
      EXPECT_GE(c[i].w, ButtonCols(items[i].label_cols)) << i;
    }
    for (size_t j = i + 1; j < items.size(); ++j) {
      if (items[i].kind == K::kGroupBox || items[j].kind == K::kGroupBox) continue;
      bool apart =
          c[i].Right() <= c[j].x || c[j].Right() <= c[i].x || c[i].Bottom() <= c[j].y || c[j].Bottom() <= c[i].y;
      EXPECT_TRUE(apart) << i << " and " << j;
    }
  }
  const CellRect &group = c[9];
  for (size_t inside : {0, 8, 11}) {
    EXPECT_GT(c[inside].x, group.x);
    EXPECT_LT(c[inside].Right(), group.Right());
    EXPECT_GT(c[inside].y, group.y);
    EXPECT_LT(c[inside].Bottom(), group.Bottom());
  }
  EXPECT_LT(group.Right(), c[5].x);  // the button column stays right of the frame
  EXPECT_EQ(c[5].x, c[6].x);         // and one width
  EXPECT_EQ(c[5].Right(), c[7].Right());
  EXPECT_LT(c[2].Right(), c[3].x);  // a blank between neighbouring buttons
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
