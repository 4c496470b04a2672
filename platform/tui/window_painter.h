// Draws the stand-in's windows as they are now: every visible top-level
// window in creation order (owners below the dialogs they own), each dialog
// from its template with its controls at their dialog-unit positions scaled
// to cells. Remembers where it drew what, so a mouse click can be mapped
// back to the control, list item or close box under it.
#ifndef VELMORA_TUI_WINDOW_PAINTER_H
#define VELMORA_TUI_WINDOW_PAINTER_H

#include "canvas.h"
#include "layout.h"

#include <windows.h>

#include <map>
#include <optional>
#include <vector>

namespace tui {

class WindowPainter {
 public:
  struct Hit {
    enum Kind { kNothing, kControl, kListItem, kComboItem, kCloseBox } kind = kNothing;
    HWND window = nullptr;   // the top-level window
    HWND control = nullptr;  // kControl, kListItem, kComboItem
    int index = -1;          // kListItem, kComboItem
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

 private:
  struct Region {
    CellRect cells;
    Hit hit;
  };
  struct ListView {
    int top = 0;           // first row shown
    int control_top = -1;  // the control's own first visible item when last seen
  };

  void PaintWindow(Canvas &canvas, HWND window, const CellRect &frame, bool active, bool busy);
  void PaintControl(Canvas &canvas, HWND window, HWND control, const CellRect &r, int room, HWND focus);
  void PaintButton(Canvas &canvas, HWND control, const CellRect &r, int room, bool focused, bool enabled);
  void PaintEdit(Canvas &canvas, HWND control, const CellRect &r, bool focused, bool enabled);
  void PaintStatic(Canvas &canvas, HWND control, const CellRect &r, int room, bool enabled);
  void PaintListBox(Canvas &canvas, HWND window, HWND control, const CellRect &r, bool focused, bool enabled);
  void PaintListView(Canvas &canvas, HWND window, HWND control, const CellRect &r, bool focused, bool enabled);
  void PaintCombo(Canvas &canvas, HWND control, const CellRect &r, bool focused, bool enabled);
  void PaintDroppedCombo(Canvas &canvas, HWND window, HWND control, const CellRect &r, int list_rows);
  int VisibleTop(HWND list, int caret, int visible, int count);
  void AddRegion(const CellRect &cells, Hit::Kind kind, HWND window, HWND control, int index = -1);

  Scale scale_;
  bool scale_fixed_ = false;
  std::map<HWND, ListView> lists_;
  std::map<HWND, int> edit_scroll_;
  std::map<HWND, CellRect> frames_;
  std::vector<Region> regions_;
  FrameSize required_;
};

}  // namespace tui

#endif
