// SPDX-License-Identifier: GPL-3.0-or-later
// Dialog units to character cells. One column is one average character
// (four horizontal dialog units, as the dialog font defines them); rows are
// compressed so that the main window fits a terminal of 80 x 24. Each axis
// scales linearly, so controls keep their proportions and alignment.
#ifndef VELMORA_FRONTENDS_TERMINAL_LAYOUT_H
#define VELMORA_FRONTENDS_TERMINAL_LAYOUT_H

#include <vector>

namespace terminal {

// Quarters of a dialog unit to a cell, so that a screen a little larger
// than the smallest already gets a finer grid.
struct Scale {
  int quarters_per_col = 16;
  int quarters_per_row = 32;
};

// The finest scale at which a dialog of cx x cy dialog units, with its title
// row and border, fits a terminal of cols x rows.
Scale ScaleToFit(int cx_du, int cy_du, int cols, int rows);

int ColumnOf(int du, const Scale &scale);
int RowOf(int du, const Scale &scale);

struct CellRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool Contains(int col, int row) const { return col >= x && col < x + w && row >= y && row < y + h; }
  int Right() const { return x + w; }   // one past the last column
  int Bottom() const { return y + h; }  // one past the last row
};

// A control's cells inside its dialog's client area. Every control keeps at
// least one row and one column. (LayOutDialog also keeps a one-row text
// beside a one-row control whose height it lies within on that control's
// row, as a label after an edit, which rounding could part.)
CellRect ControlCells(int x, int y, int cx, int cy, const Scale &scale);
// A group box's frame reaches down to the row its lower edge rounds to, so
// that controls placed just above that edge stay inside the frame.
CellRect GroupBoxCells(int x, int y, int cx, int cy, const Scale &scale);

// A window frame is its client area plus a title row on top, a border row
// below and a border column on each side.
constexpr int kFrameExtraCols = 2;
constexpr int kFrameExtraRows = 2;
// The screen's last line names the keys; windows lie above it.
constexpr int kKeyHintRows = 1;
struct FrameSize {
  int cols = 0, rows = 0;
};
FrameSize FrameForClient(int cx_du, int cy_du, const Scale &scale);

// Where a window's frame goes on a screen of screen_cols x screen_rows.
// centered: DS_CENTER; otherwise the template's position in cells relative to
// anchor (the owner's client origin, or the screen's origin). The frame is
// then moved, where it can be, to lie wholly on the screen.
struct Point {
  int x = 0, y = 0;
};
Point PlaceFrame(const FrameSize &frame, bool centered, Point anchor, Point offset, int screen_cols, int screen_rows);

// The dialog font's base units in pixels as the platform measures them for
// the program's dialogs (its average character width and its height, which
// is also a list box item's height): under Wine the main window's client
// area of 247 x 239 dialog units is 432 x 510 pixels. Pixel sizes the program sets, a list
// view's column widths, are mapped to cells through them, so that a list
// shows at a dialog's size what the platform shows.
constexpr int kFontPixelsX = 7;
constexpr int kFontPixelsY = 17;
// Column widths in cells for list view columns given in pixels, at least
// one each. A list view keeps its columns' widths however narrow it is, and
// scrolls sideways to show the rest.
std::vector<int> ColumnCells(const std::vector<int> &pixel_widths, const Scale &scale);
// The pixel width a column of `cells` cells maps back from.
int PixelsForCells(int cells, const Scale &scale);
// The whole items a list box of cy dialog units shows on the platform: its
// height in pixels, less its border, over the item height.
int ListBoxItems(int cy_du, bool border);

// A dialog's controls laid out in cells: the template's positions scaled,
// then push buttons widened until their labels fit with a blank either side
// of the text inside the brackets, as the dialog font's metrics would size
// them. A button takes free room on its left first (its column of equal
// buttons with it); what is still missing is made by moving the controls to
// its right in the rows it shares with them further right, widening the
// group boxes and the dialog around it. No button grows wider than its
// dialog was. A list box is made as tall as the items it shows on the
// platform need, one row each: what lies below it moves down, what spans
// its lower edge grows, and the dialog with them.
struct LayoutItem {
  enum Kind { kPushButton, kGroupBox, kListBox, kOther } kind = kOther;
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  int label_cols = 0;                // kPushButton: the label's width in columns
  int item_rows = 0;                 // kListBox: the items it shows
};
struct DialogLayout {
  int client_cols = 0, client_rows = 0;
  std::vector<CellRect> cells;  // one per item, in the client area
};
DialogLayout LayOutDialog(int cx_du, int cy_du, const std::vector<LayoutItem> &items, const Scale &scale);

// A dialog template as the layout sees it.
struct DialogSize {
  int cx = 0, cy = 0;
  std::vector<LayoutItem> items;
};
// The finest scale, from `coarsest` down to eight dialog units a row (a line
// of text) and two a column, at which every dialog's frame fits a screen of
// cols x rows; `coarsest` itself when even that does not fit. A larger
// screen so shows more of each text and more rows of each list.
Scale FinestScaleToFit(const Scale &coarsest, const std::vector<DialogSize> &dialogs, int cols, int rows);
// Columns a push button needs for a label of `label_cols`: brackets and a
// blank either side.
inline int ButtonCols(int label_cols) { return label_cols + 4; }

// First visible item of a list showing `visible` items of `count` such that
// `caret` is visible, moving as little as possible from `top`.
int ScrollToShow(int top, int caret, int visible, int count);

}  // namespace terminal

#endif
