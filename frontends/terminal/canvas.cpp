// SPDX-License-Identifier: GPL-3.0-or-later
#include "canvas.h"

#include "text_width.h"

#include <algorithm>

namespace terminal {

Canvas::Canvas(int cols, int rows)
    : cols_(std::max(0, cols)), rows_(std::max(0, rows)), cells_(static_cast<size_t>(cols_ * rows_)) {}

void Canvas::Clear() {
  std::fill(cells_.begin(), cells_.end(), Cell{});
  HideCursor();
}

void Canvas::Split(int x, int y) {
  Cell &c = Mut(x, y);
  if (c.continuation && x > 0) {
    Cell &left = Mut(x - 1, y);
    left.ch = L' ';
  } else if (!c.continuation && CharWidth(c.ch) == 2 && x + 1 < cols_) {
    Cell &right = Mut(x + 1, y);
    right.ch = L' ';
    right.continuation = false;
  }
  c.continuation = false;
}

void Canvas::Set(int x, int y, wchar_t ch, uint16_t attr) {
  if (!Inside(x, y)) return;
  Split(x, y);
  Cell &c = Mut(x, y);
  c.ch = ch;
  c.attr = attr;
}

int Canvas::Put(int x, int y, const std::wstring &text, uint16_t attr, int max_width) {
  if (y < 0 || y >= rows_) return 0;
  int limit = std::min(max_width, cols_ - x);
  int used = 0;
  for (wchar_t ch : text) {
    if (ch < 0x20 || ch == 0x7F) ch = L'?';  // never send control characters to the terminal
    int w = CharWidth(ch);
    if (used + w > limit) break;
    int cx = x + used;
    if (cx >= 0) {
      Set(cx, y, ch, attr);
      if (w == 2) {
        Split(cx + 1, y);
        Cell &right = Mut(cx + 1, y);
        right.ch = L' ';
        right.attr = attr;
        right.continuation = true;
      }
    }
    used += w;
  }
  return used;
}

void Canvas::Fill(const CellRect &r, wchar_t ch, uint16_t attr) {
  for (int y = r.y; y < r.Bottom(); ++y)
    for (int x = r.x; x < r.Right(); ++x) Set(x, y, ch, attr);
}

void Canvas::AddAttr(int x, int y, int w, uint16_t attr) {
  if (y < 0 || y >= rows_) return;
  for (int i = std::max(0, x); i < std::min(cols_, x + w); ++i) {
    Cell &c = Mut(i, y);
    if (attr & kColourMask) c.attr &= static_cast<uint16_t>(~kColourMask);
    c.attr |= attr;
  }
}

void Canvas::HLine(int x, int y, int w, uint16_t attr) {
  for (int i = 0; i < w; ++i) Set(x + i, y, kHLine, attr);
}

void Canvas::VLine(int x, int y, int h, uint16_t attr) {
  for (int i = 0; i < h; ++i) Set(x, y + i, kVLine, attr);
}

void Canvas::Box(const CellRect &r, uint16_t attr) {
  if (r.w < 2 || r.h < 2) return;
  HLine(r.x + 1, r.y, r.w - 2, attr);
  HLine(r.x + 1, r.Bottom() - 1, r.w - 2, attr);
  VLine(r.x, r.y + 1, r.h - 2, attr);
  VLine(r.Right() - 1, r.y + 1, r.h - 2, attr);
  Set(r.x, r.y, kULCorner, attr);
  Set(r.Right() - 1, r.y, kURCorner, attr);
  Set(r.x, r.Bottom() - 1, kLLCorner, attr);
  Set(r.Right() - 1, r.Bottom() - 1, kLRCorner, attr);
}

std::wstring Canvas::RowText(int y) const {
  std::wstring text;
  if (y < 0 || y >= rows_) return text;
  for (int x = 0; x < cols_; ++x) {
    const Cell &c = At(x, y);
    if (!c.continuation) text += c.ch;
  }
  return text;
}

}  // namespace terminal
