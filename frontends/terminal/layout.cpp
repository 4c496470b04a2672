#include "layout.h"

#include <algorithm>

namespace tui {
namespace {

int CeilDiv(int a, int b) { return (a + b - 1) / b; }
int RoundDiv(int a, int b) { return a >= 0 ? (2 * a + b) / (2 * b) : -((-2 * a + b) / (2 * b)); }

constexpr int kPixelsPerColumn = 6;

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

std::vector<int> ColumnCells(const std::vector<int> &pixel_widths, int available) {
  std::vector<int> cells;
  int total = 0;
  for (int px : pixel_widths) {
    cells.push_back(std::max(1, RoundDiv(std::max(0, px), kPixelsPerColumn)));
    total += cells.back();
  }
  if (total <= available || cells.empty()) return cells;
  int n = static_cast<int>(cells.size());
  int budget = std::max(available, n);
  int assigned = 0;
  for (int &c : cells) {
    c = std::max(1, c * budget / total);
    assigned += c;
  }
  // Hand out what flooring left over, one column each from the first on.
  for (int i = 0; assigned < budget; i = (i + 1) % n, ++assigned) cells[static_cast<size_t>(i)] += 1;
  return cells;
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

}  // namespace tui
