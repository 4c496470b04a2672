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
  while (ColumnOf(cx_du, scale) > client_cols) ++scale.quarters_per_col;
  scale.quarters_per_row = std::max(scale.quarters_per_row, CeilDiv(4 * cy_du, client_rows));
  while (RowOf(cy_du, scale) > client_rows) ++scale.quarters_per_row;
  return scale;
}

int ColumnOf(int du, const Scale &scale) { return RoundDiv(4 * du, scale.quarters_per_col); }
int RowOf(int du, const Scale &scale) { return RoundDiv(4 * du, scale.quarters_per_row); }

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

namespace {

// Pixels to a column, times sixteen: a column spans quarters_per_col
// quarters of a dialog unit, of kFontPixelsX / 4 pixels each.
int PixelsPerColumnTimes16(const Scale &scale) { return kFontPixelsX * scale.quarters_per_col; }

}  // namespace

std::vector<int> ColumnCells(const std::vector<int> &pixel_widths, const Scale &scale) {
  std::vector<int> cells;
  for (int px : pixel_widths)
    cells.push_back(std::max(1, RoundDiv(16 * std::max(0, px), PixelsPerColumnTimes16(scale))));
  return cells;
}

int PixelsForCells(int cells, const Scale &scale) { return CeilDiv(cells * PixelsPerColumnTimes16(scale), 16); }

int ListBoxItems(int cy_du, bool border) {
  int pixels = cy_du * kFontPixelsY / 8 - (border ? 2 : 0);
  return std::max(1, pixels / kFontPixelsY);
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

// A one-row control within the height of a one-row control it touches
// sideways (a label after an edit) takes that control's row.
void KeepLabelsOnTheirLine(const std::vector<LayoutItem> &items, std::vector<CellRect> *cells) {
  constexpr int kTouchingDu = 4;
  for (size_t i = 0; i < items.size(); ++i) {
    const LayoutItem &a = items[i];
    if ((*cells)[i].h != 1 || a.kind == LayoutItem::kGroupBox) continue;
    for (size_t j = 0; j < items.size(); ++j) {
      const LayoutItem &b = items[j];
      if (j == i || (*cells)[j].h != 1 || b.kind == LayoutItem::kGroupBox || b.cy <= a.cy) continue;
      bool within = b.y <= a.y && a.y + a.cy <= b.y + b.cy;
      bool touching = a.x <= b.x + b.cx + kTouchingDu && b.x <= a.x + a.cx + kTouchingDu;
      if (within && touching) {
        (*cells)[i].y = (*cells)[j].y;
        break;
      }
    }
  }
}

// One-row controls that lie one below the other in the template but met in
// one row by rounding: the lower moves down a row (and what it then meets,
// in turn).
void KeepLinesApart(const std::vector<LayoutItem> &items, std::vector<CellRect> *cells) {
  std::vector<size_t> order(items.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return items[a].y < items[b].y; });
  for (size_t n = 0; n < order.size(); ++n) {
    const size_t i = order[n];
    CellRect &r = (*cells)[i];
    if (r.h != 1 || items[i].kind == LayoutItem::kGroupBox) continue;
    for (size_t m = 0; m < n; ++m) {
      const size_t j = order[m];
      const CellRect &q = (*cells)[j];
      if (q.h != 1 || items[j].kind == LayoutItem::kGroupBox || items[i].y < items[j].y + items[j].cy) continue;
      if (q.y == r.y && r.x < q.Right() && q.x < r.Right()) r.y = q.y + 1;
    }
  }
}

// Rows inserted at each short list box's lower edge until it holds its
// items: what lies below moves down, what spans the edge (a group box, a list
// beside it ending there) grows.
void GrowListBoxes(const std::vector<LayoutItem> &items, DialogLayout *layout) {
  std::vector<CellRect> &cells = layout->cells;
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].kind != LayoutItem::kListBox) continue;
    const int missing = items[i].item_rows - cells[i].h;
    if (missing <= 0) continue;
    const int edge = cells[i].Bottom();
    for (size_t q = 0; q < cells.size(); ++q) {
      if (cells[q].y >= edge)
        cells[q].y += missing;
      else if (cells[q].Bottom() > edge || (cells[q].Bottom() == edge && items[q].kind == LayoutItem::kListBox))
        cells[q].h += missing;
    }
    layout->client_rows += missing;
  }
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
  KeepLabelsOnTheirLine(items, &cells);
  KeepLinesApart(items, &cells);
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
  for (const CellRect &r : cells) {
    layout.client_cols = std::max(layout.client_cols, r.Right() + margin);
    layout.client_rows = std::max(layout.client_rows, r.Bottom());
  }
  GrowListBoxes(items, &layout);
  return layout;
}

Scale FinestScaleToFit(const Scale &coarsest, const std::vector<DialogSize> &dialogs, int cols, int rows) {
  auto fits = [&](const Scale &scale) {
    for (const DialogSize &d : dialogs) {
      DialogLayout layout = LayOutDialog(d.cx, d.cy, d.items, scale);
      if (layout.client_cols + kFrameExtraCols > cols || layout.client_rows + kFrameExtraRows > rows) return false;
    }
    return true;
  };
  Scale scale = coarsest;
  if (!fits(scale)) return scale;
  for (Scale finer = scale; --finer.quarters_per_col >= 4 * 2 && fits(finer);) scale = finer;
  for (Scale finer = scale; --finer.quarters_per_row >= 4 * 8 && fits(finer);) scale = finer;
  return scale;
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
