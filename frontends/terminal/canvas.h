// SPDX-License-Identifier: GPL-3.0-or-later
// An off-screen picture of the terminal: cells holding a character and its
// attributes. Everything is drawn here first and then shown in one go, so
// drawing can be tested and measured without a terminal.
#ifndef VELMORA_FRONTENDS_TERMINAL_CANVAS_H
#define VELMORA_FRONTENDS_TERMINAL_CANVAS_H

#include "layout.h"

#include <cstdint>
#include <string>
#include <vector>

namespace terminal {

enum Attr : uint16_t {
  kPlain = 0,
  kBold = 1 << 0,
  kReverse = 1 << 1,
  kUnderline = 1 << 2,
  kDim = 1 << 3,
};
// Colours occupy bits 8 to 11; the terminal layer maps them to colour pairs.
enum Colour : uint16_t {
  kNoColour = 0,
  kTitleColour = 1 << 8,
  kInactiveTitleColour = 2 << 8,
  kErrorColour = 3 << 8,
  kQuestionColour = 4 << 8,
  kWarningColour = 5 << 8,
  kBusyColour = 6 << 8,
};
constexpr uint16_t kColourMask = 0x0F00;

// Box-drawing characters, stored as their Unicode code points; the terminal
// layer draws them with the terminal's own line characters.
constexpr wchar_t kHLine = L'\x2500', kVLine = L'\x2502', kULCorner = L'\x250C', kURCorner = L'\x2510',
                  kLLCorner = L'\x2514', kLRCorner = L'\x2518', kScrollThumb = L'\x2592';

struct Cell {
  wchar_t ch = L' ';
  uint16_t attr = kPlain;
  bool continuation = false;  // right half of a double-width character
  bool operator==(const Cell &o) const { return ch == o.ch && attr == o.attr && continuation == o.continuation; }
};

class Canvas {
 public:
  Canvas(int cols, int rows);
  int Cols() const { return cols_; }
  int Rows() const { return rows_; }
  void Clear();

  // Writes text from (x, y), at most max_width columns and never past the
  // right edge; a double-width character that does not fit whole is left
  // out. Returns the columns written.
  int Put(int x, int y, const std::wstring &text, uint16_t attr, int max_width = 1 << 20);
  void Fill(const CellRect &r, wchar_t ch, uint16_t attr);
  // Adds attributes to cells already drawn.
  void AddAttr(int x, int y, int w, uint16_t attr);
  void HLine(int x, int y, int w, uint16_t attr);
  void VLine(int x, int y, int h, uint16_t attr);
  void Box(const CellRect &r, uint16_t attr);

  const Cell &At(int x, int y) const { return cells_[static_cast<size_t>(y * cols_ + x)]; }
  // The row as text, double-width characters once, for tests and diagnostics.
  std::wstring RowText(int y) const;

  // Where the terminal cursor should stand (an edit's caret), if shown.
  void SetCursor(int x, int y) {
    cursor_x_ = x;
    cursor_y_ = y;
  }
  void HideCursor() { cursor_x_ = cursor_y_ = -1; }
  bool CursorShown() const { return cursor_x_ >= 0; }
  int CursorX() const { return cursor_x_; }
  int CursorY() const { return cursor_y_; }

 private:
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < cols_ && y < rows_; }
  Cell &Mut(int x, int y) { return cells_[static_cast<size_t>(y * cols_ + x)]; }
  // Overwriting one half of a double-width character blanks its other half.
  void Split(int x, int y);
  void Set(int x, int y, wchar_t ch, uint16_t attr);

  int cols_, rows_;
  std::vector<Cell> cells_;
  int cursor_x_ = -1, cursor_y_ = -1;
};

}  // namespace terminal

#endif
