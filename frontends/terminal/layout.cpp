// SPDX-License-Identifier: GPL-3.0-or-later
#include "layout.h"

#include <algorithm>

namespace terminal {
namespace {

int CeilDiv(int a, int b) { return (a + b - 1) / b; }
int RoundDiv(int a, int b) { return a >= 0 ? (2 * a + b) / (2 * b) : -((-2 * a + b) / (2 * b)); }

}  // namespace

Scale ScaleToFit(int cx_du, int cy_du, int cols, int rows) {
  Scale scale;
  int client_cols = std::max(1, cols - kFrameExtraCols);
  int client_rows = std::max(1, rows - kFrameExtraRows);
  // Rounding a half cell up must not push the last row or column out.
  while (RoundDiv(cx_du, scale.du_per_col) > client_cols) ++scale.du_per_col;
  scale.du_per_row = std::max(scale.du_per_row, CeilDiv(cy_du, client_rows));
  while (RoundDiv(cy_du, scale.du_per_row) > client_rows) ++scale.du_per_row;
  return scale;
}

int ColumnOf(int du, const Scale &scale) { return RoundDiv(du, scale.du_per_col); }
int RowOf(int du, const Scale &scale) { return RoundDiv(du, scale.du_per_row); }

CellRect ControlCells(int x, int y, int cx, int cy, const Scale &scale) {
  CellRect r;
  r.x = ColumnOf(x, scale);
  r.y = RowOf(y, scale);
  r.w = std::max(1, ColumnOf(x + cx, scale) - r.x);
  r.h = std::max(1, RowOf(y + cy, scale) - r.y);
  return r;
}

CellRect GroupBoxCells(int x, int y, int cx, int cy, const Scale &scale) {
  CellRect r = ControlCells(x, y, cx, cy, scale);
  r.h = std::max(2, r.h + 1);
  return r;
}

FrameSize FrameForClient(int cx_du, int cy_du, const Scale &scale) {
  return FrameSize{ColumnOf(cx_du, scale) + kFrameExtraCols, RowOf(cy_du, scale) + kFrameExtraRows};
}

Point PlaceFrame(const FrameSize &frame, bool centered, Point anchor, Point offset, int screen_cols, int screen_rows) {
  Point p;
  if (centered) {
    p.x = (screen_cols - frame.cols) / 2;
    p.y = (screen_rows - frame.rows) / 2;
  } else {
    p.x = anchor.x + offset.x;
    p.y = anchor.y + offset.y;
  }
  p.x = std::max(0, std::min(p.x, screen_cols - frame.cols));
  p.y = std::max(0, std::min(p.y, screen_rows - frame.rows));
  return p;
}

std::vector<int> ColumnCells(const std::vector<int> &pixel_widths) {
  std::vector<int> cells;
  for (int px : pixel_widths) cells.push_back(std::max(1, RoundDiv(std::max(0, px), kPixelsPerColumn)));
  return cells;
}

namespace {

bool RowsOverlap(const CellRect &a, const CellRect &b) { return a.y < b.Bottom() && b.y < a.Bottom(); }

bool Encloses(const CellRect &outer, const CellRect &inner) {
  return outer.x < inner.x && inner.Right() < outer.Right() && outer.y < inner.y && inner.Bottom() < outer.Bottom();
}

// Free columns left of `r`, keeping a blank after whatever lies there: a
// control in its rows, the border of a group box around it, the frame.
int RoomOnTheLeft(const std::vector<LayoutItem> &items, const std::vector<CellRect> &cells,
                  const std::vector<size_t> &column, size_t of) {
  const CellRect &r = cells[of];
  int edge = 0;  // the first column a blank could go in
  for (size_t q = 0; q < cells.size(); ++q) {
    if (std::find(column.begin(), column.end(), q) != column.end() || !RowsOverlap(cells[q], r)) continue;
    if (items[q].kind == LayoutItem::kGroupBox && Encloses(cells[q], r))
      edge = std::max(edge, cells[q].x + 1);
    else if (cells[q].x < r.Right())
      edge = std::max(edge, cells[q].Right());
  }
  return std::max(0, r.x - edge - 1);
}

}  // namespace

DialogLayout LayOutDialog(int cx_du, int cy_du, const std::vector<LayoutItem> &items, const Scale &scale) {
  DialogLayout layout;
  layout.client_cols = ColumnOf(cx_du, scale);
  layout.client_rows = RowOf(cy_du, scale);
  std::vector<CellRect> &cells = layout.cells;
  int used = 0;
  for (const LayoutItem &item : items) {
    cells.push_back(item.kind == LayoutItem::kGroupBox ? GroupBoxCells(item.x, item.y, item.cx, item.cy, scale)
                                                       : ControlCells(item.x, item.y, item.cx, item.cy, scale));
    used = std::max(used, cells.back().Right());
  }
  const int margin = std::max(0, layout.client_cols - used);
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].kind != LayoutItem::kPushButton) continue;
    // A label wider than the dialog is cut rather than let the dialog run
    // away from the screen.
    int missing = std::min(ButtonCols(items[i].label_cols), layout.client_cols) - cells[i].w;
    if (missing <= 0) continue;
    // Buttons stacked in one column of the template keep one width.
    std::vector<size_t> column;
    for (size_t p = 0; p < items.size(); ++p)
      if (items[p].kind == LayoutItem::kPushButton && items[p].x == items[i].x && items[p].cx == items[i].cx)
        column.push_back(p);
    int take = missing;
    for (size_t p : column) take = std::min(take, RoomOnTheLeft(items, cells, column, p));
    for (size_t p : column) {
      cells[p].x -= take;
      cells[p].w += take;
    }
    missing -= take;
    if (missing <= 0) continue;
    // Columns inserted at the button's right edge, in the rows it shares
    // with others: what lies to the right moves on, what spans the edge
    // (a group box around the button) widens, and so on for their rows.
    const int edge = cells[i].Right();
    std::vector<bool> done(items.size(), false);
    std::vector<CellRect> band;
    for (size_t p : column) {
      cells[p].w += missing;
      done[p] = true;
      band.push_back(cells[p]);
    }
    for (bool changed = true; changed;) {
      changed = false;
      for (size_t q = 0; q < items.size(); ++q) {
        if (done[q] || cells[q].Right() <= edge) continue;
        bool in_band =
            std::any_of(band.begin(), band.end(), [&](const CellRect &b) { return RowsOverlap(b, cells[q]); });
        if (!in_band) continue;
        if (cells[q].x >= edge)
          cells[q].x += missing;
        else
          cells[q].w += missing;
        done[q] = true;
        band.push_back(cells[q]);
        changed = true;
      }
    }
  }
  for (const CellRect &r : cells) layout.client_cols = std::max(layout.client_cols, r.Right() + margin);
  return layout;
}

int ScrollToShow(int top, int caret, int visible, int count) {
  if (visible < 1) visible = 1;
  int last_top = std::max(0, count - visible);
  if (caret >= 0) {
    if (caret < top) top = caret;
    if (caret >= top + visible) top = caret - visible + 1;
  }
  return std::max(0, std::min(top, last_top));
}

}  // namespace terminal
