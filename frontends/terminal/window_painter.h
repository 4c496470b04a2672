// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the stand-in's windows as they are now: every visible top-level
// window in creation order (owners below the dialogs they own), each dialog
// from its template with its controls at their dialog-unit positions scaled
// to cells. Remembers where it drew what, so a mouse click can be mapped
// back to the control, list item or close box under it.
#ifndef VELMORA_FRONTENDS_TERMINAL_WINDOW_PAINTER_H
#define VELMORA_FRONTENDS_TERMINAL_WINDOW_PAINTER_H

#include "canvas.h"
#include "layout.h"

#include <standin/ui.h>
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace terminal {

class WindowPainter {
 public:
  struct Hit {
    enum Kind {
      kNothing,
      kControl,
      kListItem,
      kComboItem,
      kCloseBox,
      kList,           // a list box or list view where no item is (the wheel scrolls it)
      kColumnDivider,  // the right edge of list view column `index` in its header
      kScrollLineUp,   // a list's scroll bar: its arrows and its track above and below the thumb
      kScrollLineDown,
      kScrollPageUp,
      kScrollPageDown,
      kScrollLineLeft,  // a list view's sideways scroll bar, alike
      kScrollLineRight,
      kScrollPageLeft,
      kScrollPageRight,
    } kind = kNothing;
    HWND window = nullptr;   // the top-level window
    HWND control = nullptr;  // every kind but kNothing and kCloseBox
    int index = -1;          // kListItem, kComboItem: the item; kColumnDivider: the column
  };

  // Draws every visible top-level window. `busy` shows the wait cursor's
  // mark in the active window's title bar.
  void Paint(Canvas &canvas, bool busy);
  Hit HitTest(int x, int y) const;
  // Controls of `window` that a click reaches as a whole (buttons, radios,
  // check boxes, edits, drop-downs), in the order they were drawn.
  std::vector<HWND> ClickableControls(HWND window) const;
  // Where a control was last drawn as a click target, if it was.
  std::optional<CellRect> CellsOf(HWND control) const;
  // The frame a window was last drawn in, if it was drawn.
  std::optional<CellRect> FrameOf(HWND window) const;
  // Columns and rows the visible windows need (0 x 0 when none is shown).
  FrameSize RequiredSize() const;
  const Scale &CurrentScale() const { return scale_; }
  // The program's dialogs, all of which the scale must fit on the screen.
  void SetDialogSizes(std::vector<DialogSize> sizes) { dialog_sizes_ = std::move(sizes); }
  const std::vector<DialogSize> &DialogSizes() const { return dialog_sizes_; }

  // Scrolls a list's view by `rows` (a page is the rows it shows), without
  // moving its selection or caret, as the wheel and the scroll bar do.
  void ScrollList(HWND list, int rows);
  int PageOf(HWND list) const;
  // Scrolls a list view's columns sideways by `cols`; a page is the columns
  // it shows, less one. ScrollsSideways: its columns are wider than it.
  void ScrollSideways(HWND list_view, int cols);
  int SidewaysPageOf(HWND list_view) const;
  bool ScrollsSideways(HWND list_view) const;
  // Widens (cells > 0) or narrows a list view column by `cells` columns,
  // setting the control's column width as a drag of the header divider
  // does; the others keep theirs. False when the column does not exist.
  bool ResizeColumn(HWND list_view, int column, int cells);
  // What the layout needs to know of a control.
  static LayoutItem ItemFor(const std::string &cls, DWORD style, const standin::DialogUnits &du,
                            const std::wstring &text);
  // Marks a list view column's header divider (-1: none).
  void MarkColumn(HWND list_view, int column) {
    marked_list_ = list_view;
    marked_column_ = column;
  }

 private:
  struct Region {
    CellRect cells;
    Hit hit;
  };
  struct ListView {
    int top = 0;           // first row shown
    int control_top = -1;  // the control's own first visible item when last seen
    int caret = -2;        // the caret when last drawn: the view follows it only when it moves
    int visible = 1;       // rows shown
    int count = 0;         // rows in all
    int left = 0;          // a list view's first column shown, in cells
    int total_cols = 0;    // ... its columns' width together
    int shown_cols = 0;    // ... and the width it shows them in
  };

  void PaintWindow(Canvas &canvas, HWND window, const CellRect &frame, const std::vector<HWND> &controls,
                   const std::vector<CellRect> &client_cells, bool active, bool busy);
  void PaintControl(Canvas &canvas, HWND window, HWND control, const CellRect &r, int room, HWND focus);
  void PaintButton(Canvas &canvas, HWND control, const CellRect &r, int room, bool focused, bool enabled);
  void PaintEdit(Canvas &canvas, HWND control, const CellRect &r, bool focused, bool enabled);
  void PaintStatic(Canvas &canvas, HWND control, const CellRect &r, int room, bool enabled);
  void PaintListBox(Canvas &canvas, HWND window, HWND control, const CellRect &r, bool focused, bool enabled);
  void PaintListView(Canvas &canvas, HWND window, HWND control, const CellRect &r, bool focused, bool enabled);
  void PaintCombo(Canvas &canvas, HWND control, const CellRect &r, bool focused, bool enabled);
  void PaintDroppedCombo(Canvas &canvas, HWND window, HWND control, const CellRect &r, int list_rows);
  int VisibleTop(HWND list, int caret, int visible, int count);
  void PaintScrollBar(Canvas &canvas, HWND window, HWND list, int x, int y, int h, uint16_t attr);
  void PaintSidewaysBar(Canvas &canvas, HWND window, HWND list, int x, int y, int w, uint16_t attr);
  void AddRegion(const CellRect &cells, Hit::Kind kind, HWND window, HWND control, int index = -1);

  Scale scale_;
  // The scale that fits the main window on the smallest screen, found when
  // it is first shown; a larger screen gets a finer one.
  Scale coarsest_;
  bool coarsest_known_ = false;
  std::vector<DialogSize> dialog_sizes_;
  std::map<HWND, ListView> lists_;
  std::map<HWND, int> edit_scroll_;
  HWND marked_list_ = nullptr;
  int marked_column_ = -1;
  std::map<HWND, CellRect> frames_;
  std::vector<Region> regions_;
  FrameSize required_;
};

}  // namespace terminal

#endif
