// SPDX-License-Identifier: GPL-3.0-or-later
#include "window_painter.h"

#include "message_catalogue.h"
#include "text_width.h"

#include <standin/ui.h>

#include <commctrl.h>

#include <algorithm>
#include <set>
#include <string>

namespace terminal {
namespace {

// The terminal the main window must fit, with the key hint's line below
// it; the scale it gives, or a finer one on a larger screen, is kept for
// every window, so that all dialogs share one grid.
constexpr int kDesignCols = 80;
constexpr int kDesignRows = 24;

const wchar_t kCloseBox[] = L"[X]";

bool Overlaps(int a0, int a1, int b0, int b1) { return a0 < b1 && b0 < a1; }

bool IsGroupBox(HWND control) {
  return standin::ClassNameOf(control) == "BUTTON" && (standin::StyleOf(control) & BS_TYPEMASK) == BS_GROUPBOX;
}

CellRect Offset(CellRect r, int dx, int dy) {
  r.x += dx;
  r.y += dy;
  return r;
}

uint16_t Dimmed(bool enabled) { return enabled ? kPlain : kDim; }

// Draws a label with its mnemonic underlined; returns the columns used.
int PutLabel(Canvas &canvas, int x, int y, const Label &label, uint16_t attr, int width, bool show_mnemonic) {
  std::wstring text = ClipToWidth(label.text, width);
  int used = canvas.Put(x, y, text, attr, width);
  if (show_mnemonic && label.mnemonic_index >= 0 && label.mnemonic_index < static_cast<int>(text.size())) {
    int at = TextWidth(text.substr(0, static_cast<size_t>(label.mnemonic_index)));
    canvas.AddAttr(x + at, y, CharWidth(text[static_cast<size_t>(label.mnemonic_index)]), kUnderline);
  }
  return used;
}

// The arrows of the scroll bars, in the terminal's plain characters.
constexpr wchar_t kScrollUpArrow = L'^', kScrollDownArrow = L'v', kScrollLeftArrow = L'<', kScrollRightArrow = L'>';

}  // namespace

void WindowPainter::AddRegion(const CellRect &cells, Hit::Kind kind, HWND window, HWND control, int index) {
  Region region;
  region.cells = cells;
  region.hit.kind = kind;
  region.hit.window = window;
  region.hit.control = control;
  region.hit.index = index;
  regions_.push_back(region);
}

void WindowPainter::Paint(Canvas &canvas, bool busy) {
  regions_.clear();
  frames_.clear();
  required_ = FrameSize{};
  std::vector<HWND> windows;
  for (HWND w : standin::TopLevelWindows())  // message boxes are the driver's to draw
    if (IsWindowVisible(w) && !standin::IsMessageBox(w)) windows.push_back(w);
  if (windows.empty()) return;
  if (!coarsest_known_) {
    standin::DialogUnits main = standin::PlacementOf(windows.front());
    coarsest_ = ScaleToFit(main.cx, main.cy, kDesignCols, kDesignRows - kKeyHintRows);
    coarsest_known_ = true;
  }
  // The windows shown, as the layout sees them; the scale must fit them and
  // every dialog the program may yet open.
  std::vector<std::vector<HWND>> controls(windows.size());
  std::vector<DialogSize> shown;
  for (size_t w = 0; w < windows.size(); ++w) {
    standin::DialogUnits du = standin::PlacementOf(windows[w]);
    shown.push_back(DialogSize{du.cx, du.cy, {}});
    for (HWND control : standin::ControlsOf(windows[w])) {
      if (!IsWindowVisible(control)) continue;
      controls[w].push_back(control);
      shown.back().items.push_back(ItemFor(standin::ClassNameOf(control), standin::StyleOf(control),
                                           standin::PlacementOf(control), AnsiToWide(standin::TextOf(control))));
    }
  }
  std::vector<DialogSize> all = dialog_sizes_;
  all.insert(all.end(), shown.begin(), shown.end());
  const int room_rows = std::max(0, canvas.Rows() - kKeyHintRows);
  scale_ = FinestScaleToFit(coarsest_, all, canvas.Cols(), room_rows);
  HWND active = standin::ActiveWindow();
  std::set<HWND> seen;
  for (size_t w = 0; w < windows.size(); ++w) {
    HWND window = windows[w];
    standin::DialogUnits du = standin::PlacementOf(window);
    DWORD style = standin::StyleOf(window);
    DialogLayout layout = LayOutDialog(du.cx, du.cy, shown[w].items, scale_);
    FrameSize size{layout.client_cols + kFrameExtraCols, layout.client_rows + kFrameExtraRows};
    required_.cols = std::max(required_.cols, size.cols);
    required_.rows = std::max(required_.rows, size.rows);
    Point anchor;
    HWND owner = standin::OwnerOf(window);
    auto owner_frame = owner ? frames_.find(owner) : frames_.end();
    if (owner_frame != frames_.end() && !(style & DS_ABSALIGN))
      anchor = Point{owner_frame->second.x + 1, owner_frame->second.y + 1};
    Point at = PlaceFrame(size, (style & DS_CENTER) != 0, anchor, Point{ColumnOf(du.x, scale_), RowOf(du.y, scale_)},
                          canvas.Cols(), room_rows);
    CellRect frame{at.x, at.y, size.cols, size.rows};
    frames_[window] = frame;
    PaintWindow(canvas, window, frame, controls[w], layout.cells, window == active, busy && window == active);
    seen.insert(window);
    for (HWND control : standin::ControlsOf(window)) seen.insert(control);
  }
  // Forget the scroll positions of windows that are gone.
  for (auto it = lists_.begin(); it != lists_.end();) it = seen.count(it->first) ? std::next(it) : lists_.erase(it);
  for (auto it = edit_scroll_.begin(); it != edit_scroll_.end();)
    it = seen.count(it->first) ? std::next(it) : edit_scroll_.erase(it);
}

LayoutItem WindowPainter::ItemFor(const std::string &cls, DWORD style, const standin::DialogUnits &du,
                                  const std::wstring &text) {
  LayoutItem item;
  item.x = du.x;
  item.y = du.y;
  item.cx = du.cx;
  item.cy = du.cy;
  if (cls == "BUTTON") {
    DWORD type = style & BS_TYPEMASK;
    if (type == BS_GROUPBOX) {
      item.kind = LayoutItem::kGroupBox;
    } else if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
      item.kind = LayoutItem::kPushButton;
      item.label_cols = TextWidth(ParseMnemonic(text).text);
    }
  } else if (cls == "LISTBOX") {
    item.kind = LayoutItem::kListBox;
    item.item_rows = ListBoxItems(du.cy, (style & WS_BORDER) != 0);
  }
  return item;
}

void WindowPainter::PaintWindow(Canvas &canvas, HWND window, const CellRect &frame, const std::vector<HWND> &controls,
                                const std::vector<CellRect> &client_cells, bool active, bool busy) {
  canvas.Fill(frame, L' ', kPlain);
  canvas.Box(frame, kPlain);
  AddRegion(frame, Hit::kNothing, window, nullptr);  // hides what lies below from the mouse
  uint16_t title = active ? (kTitleColour | kBold) : kInactiveTitleColour;
  canvas.Fill(CellRect{frame.x, frame.y, frame.w, 1}, L' ', title);
  int title_room = frame.w - 2;
  if (standin::StyleOf(window) & WS_SYSMENU) {
    int x = frame.Right() - 1 - TextWidth(kCloseBox);
    canvas.Put(x, frame.y, kCloseBox, title);
    AddRegion(CellRect{x, frame.y, TextWidth(kCloseBox), 1}, Hit::kCloseBox, window, nullptr);
    title_room -= TextWidth(kCloseBox) + 1;
  }
  if (busy) {
    // Of the front end, not of the program: in the language of its texts.
    const std::wstring busy_mark = L" (" + DecodeUtf8(Localize("busy")) + L") ";
    title_room -= TextWidth(busy_mark);
    canvas.Put(frame.x + 1 + std::max(0, title_room), frame.y, busy_mark, kBusyColour | kBold | kReverse);
  }
  canvas.Put(frame.x + 1, frame.y, L" " + AnsiToWide(standin::TextOf(window)) + L" ", title, std::max(0, title_room));

  int client_right = frame.Right() - 1;
  std::vector<CellRect> cells;
  for (const CellRect &r : client_cells) cells.push_back(Offset(r, frame.x + 1, frame.y + 1));
  HWND focus = standin::FocusWindow();
  // Group boxes go first so that the controls they frame are drawn over them.
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t i = 0; i < controls.size(); ++i) {
      bool group = IsGroupBox(controls[i]);
      if (group != (pass == 0)) continue;
      const CellRect &r = cells[i];
      // A label may run past its control's nominal width, up to the next
      // control to its right or the frame around it.
      int room = client_right;
      for (size_t j = 0; j < controls.size(); ++j) {
        if (j == i) continue;
        const CellRect &q = cells[j];
        if (!Overlaps(r.y, r.Bottom(), q.y, q.Bottom())) continue;
        if (q.x > r.x) room = std::min(room, std::max(r.Right(), q.x - 1));
        if (IsGroupBox(controls[j]) && q.x < r.x && r.x < q.Right() - 1)
          room = std::min(room, std::max(r.Right(), q.Right() - 1));
      }
      PaintControl(canvas, window, controls[i], r, std::max(r.w, room - r.x), focus);
    }
  }
  // An open drop-down list lies over everything else of its dialog.
  for (size_t i = 0; i < controls.size(); ++i) {
    if (standin::ClassNameOf(controls[i]) == "COMBOBOX" && standin::IsDroppedDown(controls[i])) {
      standin::DialogUnits du = standin::PlacementOf(controls[i]);
      int rows = std::max(1, RowOf(du.cy, scale_) - 1);
      PaintDroppedCombo(canvas, window, controls[i], cells[i], rows);
    }
  }
}

void WindowPainter::PaintControl(Canvas &canvas, HWND window, HWND control, const CellRect &r, int room, HWND focus) {
  std::string cls = standin::ClassNameOf(control);
  bool enabled = standin::IsEnabledSelf(control);
  bool focused = control == focus;
  if (cls == "BUTTON") {
    PaintButton(canvas, control, r, room, focused, enabled);
    if (!IsGroupBox(control)) AddRegion(r, Hit::kControl, window, control);
  } else if (cls == "EDIT") {
    PaintEdit(canvas, control, r, focused, enabled);
    AddRegion(r, Hit::kControl, window, control);
  } else if (cls == "STATIC") {
    PaintStatic(canvas, control, r, room, enabled);
  } else if (cls == "LISTBOX") {
    PaintListBox(canvas, window, control, r, focused, enabled);
  } else if (cls == "COMBOBOX") {
    PaintCombo(canvas, control, r, focused, enabled);
    AddRegion(CellRect{r.x, r.y, r.w, 1}, Hit::kControl, window, control);
  } else if (cls == WC_LISTVIEWA) {
    PaintListView(canvas, window, control, r, focused, enabled);
  } else {
    canvas.Box(r, Dimmed(enabled));
  }
}

void WindowPainter::PaintButton(Canvas &canvas, HWND control, const CellRect &r, int room, bool focused, bool enabled) {
  DWORD type = standin::StyleOf(control) & BS_TYPEMASK;
  Label label = ParseMnemonic(AnsiToWide(standin::TextOf(control)));
  uint16_t base = Dimmed(enabled);
  if (type == BS_GROUPBOX) {
    canvas.Box(r, base);
    if (!label.text.empty()) {
      Label titled{L" " + label.text + L" ", label.mnemonic_index < 0 ? -1 : label.mnemonic_index + 1};
      PutLabel(canvas, r.x + 1, r.y, titled, base, r.w - 2, enabled);
    }
    return;
  }
  uint16_t text_attr = base | (focused ? kReverse : kPlain);
  if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE ||
      type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) {
    bool radio = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
    int state = standin::CheckStateOf(control);
    std::wstring mark = radio ? (state == BST_CHECKED ? L"(*)" : L"( )")
                              : (state == BST_CHECKED         ? L"[X]"
                                 : state == BST_INDETERMINATE ? L"[-]"
                                                              : L"[ ]");
    // The blank after the mark goes first when the label is short of room.
    int mark_cols = TextWidth(label.text) + 4 <= room ? 4 : 3;
    canvas.Put(r.x, r.y, mark, base, room);
    if (room > mark_cols) PutLabel(canvas, r.x + mark_cols, r.y, label, text_attr, room - mark_cols, enabled);
    return;
  }
  // Push buttons: the label centred between brackets, which the layout
  // made room for; the default button in bold.
  bool is_default = standin::IsDefaultButton(control);
  uint16_t frame_attr = base | (is_default ? kBold : kPlain);
  if (is_default) text_attr |= kBold;
  int inner = std::max(0, r.w - 2);
  canvas.Fill(CellRect{r.x + 1, r.y, inner, 1}, L' ', text_attr);
  int width = std::min(inner, TextWidth(label.text));
  PutLabel(canvas, r.x + 1 + (inner - width) / 2, r.y, label, text_attr, inner, enabled);
  canvas.Put(r.x, r.y, L"[", frame_attr);
  canvas.Put(r.x + std::max(1, r.w - 1), r.y, L"]", frame_attr);
}

void WindowPainter::PaintEdit(Canvas &canvas, HWND control, const CellRect &r, bool focused, bool enabled) {
  DWORD style = standin::StyleOf(control);
  std::string ansi = standin::TextOf(control);
  std::wstring text = AnsiToWide(ansi);
  size_t caret_bytes = std::min(standin::CaretOf(control), ansi.size());
  int caret_col = TextWidth(AnsiToWide(ansi.substr(0, caret_bytes)));
  if (style & ES_PASSWORD) {
    caret_col = static_cast<int>(AnsiToWide(ansi.substr(0, caret_bytes)).size());
    text.assign(text.size(), L'*');
  }
  uint16_t attr = Dimmed(enabled) | kUnderline | (focused ? kBold : kPlain);
  canvas.Fill(CellRect{r.x, r.y, r.w, 1}, L' ', attr);
  int width = TextWidth(text);
  int &scroll = edit_scroll_[control];
  // Keep the caret inside the field, scrolling sideways as little as possible.
  if (caret_col < scroll) scroll = caret_col;
  if (caret_col >= scroll + r.w) scroll = caret_col - r.w + 1;
  if (width < r.w) scroll = 0;
  std::wstring shown = SkipColumns(text, scroll);
  int skipped = width - TextWidth(shown);
  int offset = 0;
  if (skipped < scroll && !shown.empty()) {
    // A double-width character straddles the left edge: leave its half blank.
    skipped += CharWidth(shown[0]);
    shown.erase(0, 1);
    offset = skipped - scroll;
  }
  int align = 0;
  bool right = (style & ES_RIGHT) || (standin::ExStyleOf(control) & WS_EX_RIGHT);
  if (right && width < r.w) align = r.w - width;
  canvas.Put(r.x + align + offset, r.y, shown, attr, r.w - align - offset);
  if (!focused || !enabled) return;
  canvas.SetCursor(r.x + align + caret_col - scroll, r.y);
  // The selected text is highlighted while the edit has the focus.
  DWORD start = 0, end = 0;
  standin::DeliverMessage(control, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  if (start >= end) return;
  auto column_of = [&](DWORD bytes) {
    std::wstring before = AnsiToWide(ansi.substr(0, std::min<size_t>(bytes, ansi.size())));
    return (style & ES_PASSWORD) ? static_cast<int>(before.size()) : TextWidth(before);
  };
  int from = std::max(0, column_of(start) - scroll), to = std::min(r.w - align, column_of(end) - scroll);
  if (to > from) canvas.AddAttr(r.x + align + from, r.y, to - from, kReverse);
}

void WindowPainter::PaintStatic(Canvas &canvas, HWND control, const CellRect &r, int room, bool enabled) {
  DWORD style = standin::StyleOf(control);
  uint16_t attr = Dimmed(enabled);
  DWORD type = style & SS_TYPEMASK;
  if (type == SS_ICON) {
    // The program's icon: a small block with the program's initial.
    canvas.Fill(r, L' ', kTitleColour | kReverse);
    canvas.Put(r.x + r.w / 2, r.y + (r.h - 1) / 2, L"V", kTitleColour | kReverse | kBold);
    return;
  }
  bool framed = (style & SS_SUNKEN) || (style & WS_BORDER);
  if (framed) {
    attr |= kUnderline;
    canvas.Fill(CellRect{r.x, r.y, r.w, 1}, L' ', attr);
    room = r.w;
  }
  Label label = (style & SS_NOPREFIX) ? Label{AnsiToWide(standin::TextOf(control)), -1}
                                      : ParseMnemonic(AnsiToWide(standin::TextOf(control)));
  std::vector<std::wstring> lines;
  for (const std::wstring &line : SplitLines(label.text))
    for (const std::wstring &piece : r.h > 1 ? WrapLine(line, r.w) : std::vector<std::wstring>{line})
      lines.push_back(piece);
  for (int row = 0; row < r.h && row < static_cast<int>(lines.size()); ++row) {
    int width = std::min(TextWidth(lines[static_cast<size_t>(row)]), room);
    int x = r.x;
    if (type == SS_CENTER) x = r.x + std::max(0, (r.w - width) / 2);
    if (type == SS_RIGHT) x = r.x + std::max(0, r.w - width);
    Label piece{lines[static_cast<size_t>(row)], row == 0 ? label.mnemonic_index : -1};
    PutLabel(canvas, x, r.y + row, piece, attr, room - (x - r.x), enabled);
  }
}

int WindowPainter::VisibleTop(HWND list, int caret, int visible, int count) {
  ListView &view = lists_[list];
  int control_top = standin::TopIndexOf(list);
  if (control_top != view.control_top) {
    // The control scrolled itself (or was refilled): follow it.
    view.top = std::max(0, control_top);
    view.control_top = control_top;
    view.caret = -2;
  }
  // The view follows the caret when it moves; the wheel and the scroll bar
  // may take it away from the caret meanwhile.
  view.top = ScrollToShow(view.top, caret != view.caret ? caret : -1, visible, count);
  view.caret = caret;
  view.visible = std::max(1, visible);
  view.count = count;
  return view.top;
}

void WindowPainter::PaintScrollBar(Canvas &canvas, HWND window, HWND list, int x, int y, int h, uint16_t attr) {
  const ListView &view = lists_[list];
  if (view.count <= view.visible || h < 1) return;
  canvas.VLine(x, y, h, attr);
  int track_y = y, track_h = h;
  if (h >= 4) {
    canvas.Put(x, y, std::wstring(1, kScrollUpArrow), attr | kReverse);
    canvas.Put(x, y + h - 1, std::wstring(1, kScrollDownArrow), attr | kReverse);
    AddRegion(CellRect{x, y, 1, 1}, Hit::kScrollLineUp, window, list);
    AddRegion(CellRect{x, y + h - 1, 1, 1}, Hit::kScrollLineDown, window, list);
    track_y = y + 1;
    track_h = h - 2;
  }
  int thumb = std::max(1, track_h * view.visible / view.count);
  int pos = (track_h - thumb) * view.top / std::max(1, view.count - view.visible);
  for (int i = 0; i < thumb; ++i) canvas.Put(x, track_y + pos + i, std::wstring(1, kScrollThumb), attr);
  if (pos > 0) AddRegion(CellRect{x, track_y, 1, pos}, Hit::kScrollPageUp, window, list);
  int below = track_y + pos + thumb;
  if (below < track_y + track_h)
    AddRegion(CellRect{x, below, 1, track_y + track_h - below}, Hit::kScrollPageDown, window, list);
}

void WindowPainter::ScrollList(HWND list, int rows) {
  auto it = lists_.find(list);
  if (it == lists_.end()) return;
  ListView &view = it->second;
  view.top = std::max(0, std::min(view.top + rows, view.count - view.visible));
}

int WindowPainter::PageOf(HWND list) const {
  auto it = lists_.find(list);
  return it == lists_.end() ? 1 : it->second.visible;
}

void WindowPainter::ScrollSideways(HWND list_view, int cols) {
  auto it = lists_.find(list_view);
  if (it == lists_.end()) return;
  ListView &view = it->second;
  view.left = std::max(0, std::min(view.left + cols, view.total_cols - view.shown_cols));
}

int WindowPainter::SidewaysPageOf(HWND list_view) const {
  auto it = lists_.find(list_view);
  return it == lists_.end() ? 1 : std::max(1, it->second.shown_cols - 1);
}

bool WindowPainter::ScrollsSideways(HWND list_view) const {
  auto it = lists_.find(list_view);
  return it != lists_.end() && it->second.total_cols > it->second.shown_cols;
}

bool WindowPainter::ResizeColumn(HWND list_view, int column, int cells) {
  std::vector<standin::ListViewColumnInfo> columns = standin::ColumnsOf(list_view);
  if (column < 0 || column >= static_cast<int>(columns.size())) return false;
  // Whole cells, so that each step shows; a column keeps one at least, and
  // no column grows past what a pixel width may hold.
  int now = ColumnCells({columns[static_cast<size_t>(column)].width}, scale_)[0];
  constexpr int kWidestColumn = 4096;
  LVCOLUMNA width = {};
  width.mask = LVCF_WIDTH;
  width.cx = PixelsForCells(std::max(1, std::min(kWidestColumn, now + cells)), scale_);
  return standin::DeliverMessage(list_view, LVM_SETCOLUMNA, static_cast<WPARAM>(column),
                                 reinterpret_cast<LPARAM>(&width)) != FALSE;
}

void WindowPainter::PaintListBox(Canvas &canvas, HWND window, HWND control, const CellRect &r, bool focused,
                                 bool enabled) {
  DWORD style = standin::StyleOf(control);
  uint16_t base = Dimmed(enabled);
  bool border = (style & WS_BORDER) && r.w > 2;
  CellRect inner = r;
  if (border) {
    canvas.VLine(r.x, r.y, r.h, base);
    canvas.VLine(r.Right() - 1, r.y, r.h, base);
    inner = CellRect{r.x + 1, r.y, r.w - 2, r.h};
  }
  std::vector<std::string> items = standin::ItemsOf(control);
  std::vector<int> selection = standin::SelectionOf(control);
  std::set<int> selected(selection.begin(), selection.end());
  int count = static_cast<int>(items.size());
  // The focus rectangle is on the caret item, the first one until the caret
  // moves, even when nothing is selected (LB_GETCARETINDEX's rule).
  int caret = standin::CaretIndexOf(control);
  if (caret < 0 && count > 0) caret = 0;
  int top = VisibleTop(control, caret, inner.h, count);
  AddRegion(r, Hit::kList, window, control);
  for (int row = 0; row < inner.h && top + row < count; ++row) {
    int index = top + row;
    uint16_t attr = base;
    if (selected.count(index)) attr |= kReverse;
    if (focused && index == caret) attr |= kUnderline | kBold;
    canvas.Fill(CellRect{inner.x, inner.y + row, inner.w, 1}, L' ', attr);
    canvas.Put(inner.x, inner.y + row, AnsiToWide(items[static_cast<size_t>(index)]), attr, inner.w);
    AddRegion(CellRect{inner.x, inner.y + row, inner.w, 1}, Hit::kListItem, window, control, index);
  }
  if (border) PaintScrollBar(canvas, window, control, r.Right() - 1, r.y, r.h, base);
}

namespace {

// Draws `text` as though from column x, `width` columns wide, showing only
// what falls between the columns clip_left and clip_right; a double-width
// character cut by the left edge leaves its half blank.
void PutClipped(Canvas &canvas, int x, int y, const std::wstring &text, uint16_t attr, int width, int clip_left,
                int clip_right) {
  std::wstring shown = text;
  int at = x;
  if (x < clip_left) {
    shown = SkipColumns(text, clip_left - x);
    at = x + TextWidth(text) - TextWidth(shown);
    while (at < clip_left && !shown.empty()) {
      at += CharWidth(shown[0]);
      shown.erase(0, 1);
    }
  }
  int limit = std::min(x + width, clip_right) - at;
  if (limit > 0) canvas.Put(at, y, shown, attr, limit);
}

}  // namespace

void WindowPainter::PaintListView(Canvas &canvas, HWND window, HWND control, const CellRect &r, bool focused,
                                  bool enabled) {
  DWORD style = standin::StyleOf(control);
  uint16_t base = Dimmed(enabled);
  if (r.w < 3 || r.h < 3) return;
  canvas.Box(r, base | (focused ? kBold : kPlain));
  AddRegion(r, Hit::kList, window, control);
  CellRect inner{r.x + 1, r.y + 1, r.w - 2, r.h - 2};
  std::vector<standin::ListViewColumnInfo> columns = standin::ColumnsOf(control);
  std::vector<int> pixels;
  for (const auto &c : columns) pixels.push_back(c.width);
  std::vector<int> widths = ColumnCells(pixels, scale_);
  std::vector<int> starts;  // each column's first cell in the whole row
  int total = 0;
  for (int w : widths) {
    starts.push_back(total);
    total += w;
  }
  // Columns keep their widths; the view scrolls sideways over them, and
  // follows the column whose divider is being moved.
  ListView &view = lists_[control];
  view.total_cols = total;
  view.shown_cols = inner.w;
  if (control == marked_list_ && marked_column_ >= 0 && marked_column_ < static_cast<int>(widths.size())) {
    int divider = starts[static_cast<size_t>(marked_column_)] + widths[static_cast<size_t>(marked_column_)] - 1;
    if (divider < view.left) view.left = divider;
    if (divider >= view.left + inner.w) view.left = divider - inner.w + 1;
  }
  view.left = std::max(0, std::min(view.left, total - inner.w));
  const int origin = inner.x - view.left;  // where the row's first cell would be
  if (!(style & LVS_NOCOLUMNHEADER) && !columns.empty()) {
    uint16_t header = base | kUnderline | kBold;
    canvas.Fill(CellRect{inner.x, inner.y, inner.w, 1}, L' ', header);
    for (size_t c = 0; c < columns.size(); ++c) {
      int x = origin + starts[c], w = widths[c];
      if (x + w <= inner.x || x >= inner.Right()) continue;
      PutClipped(canvas, x, inner.y, FitWithEllipsis(AnsiToWide(columns[c].title), w - 1), header, w - 1, inner.x,
                 inner.Right());
      // The divider at the column's right edge: dragging it sizes the column.
      int divider = x + w - 1;
      if (divider < inner.x || divider >= inner.Right()) continue;
      if (c + 1 < columns.size()) canvas.Put(divider, inner.y, std::wstring(1, kVLine), header);
      if (control == marked_list_ && static_cast<int>(c) == marked_column_)
        canvas.AddAttr(divider, inner.y, 1, kReverse);
      AddRegion(CellRect{divider, inner.y, 1, 1}, Hit::kColumnDivider, window, control, static_cast<int>(c));
    }
    inner.y += 1;
    inner.h -= 1;
  }
  int count = static_cast<int>(standin::RowCountOf(control));
  std::vector<int> selection = standin::SelectionOf(control);
  int selected = selection.empty() ? -1 : selection.front();
  int caret = standin::CaretIndexOf(control);
  int top = VisibleTop(control, caret >= 0 ? caret : selected, inner.h, count);
  // Only the rows on screen are read: the list may hold many thousands.
  for (int row = 0; row < inner.h && top + row < count; ++row) {
    int index = top + row;
    uint16_t attr = base;
    if (index == selected) attr |= kReverse;
    if (focused && index == caret) attr |= kBold;
    canvas.Fill(CellRect{inner.x, inner.y + row, inner.w, 1}, L' ', attr);
    std::vector<std::string> texts = standin::RowOf(control, static_cast<size_t>(index));
    for (size_t c = 0; c < widths.size() && c < texts.size(); ++c) {
      int x = origin + starts[c], w = widths[c];
      if (x + w <= inner.x || x >= inner.Right()) continue;
      int room = c + 1 == widths.size() ? w : w - 1;
      PutClipped(canvas, x, inner.y + row, FitWithEllipsis(AnsiToWide(texts[c]), room), attr, room, inner.x,
                 inner.Right());
    }
    AddRegion(CellRect{inner.x, inner.y + row, inner.w, 1}, Hit::kListItem, window, control, index);
  }
  PaintScrollBar(canvas, window, control, r.Right() - 1, inner.y, inner.h, base);
  PaintSidewaysBar(canvas, window, control, inner.x, r.Bottom() - 1, inner.w, base);
}

void WindowPainter::PaintSidewaysBar(Canvas &canvas, HWND window, HWND list, int x, int y, int w, uint16_t attr) {
  const ListView &view = lists_[list];
  if (view.total_cols <= view.shown_cols || w < 4) return;
  canvas.Put(x, y, std::wstring(1, kScrollLeftArrow), attr | kReverse);
  canvas.Put(x + w - 1, y, std::wstring(1, kScrollRightArrow), attr | kReverse);
  AddRegion(CellRect{x, y, 1, 1}, Hit::kScrollLineLeft, window, list);
  AddRegion(CellRect{x + w - 1, y, 1, 1}, Hit::kScrollLineRight, window, list);
  int track_x = x + 1, track_w = w - 2;
  int thumb = std::max(1, track_w * view.shown_cols / view.total_cols);
  int pos = (track_w - thumb) * view.left / std::max(1, view.total_cols - view.shown_cols);
  canvas.HLine(track_x, y, track_w, attr);
  for (int i = 0; i < thumb; ++i) canvas.Put(track_x + pos + i, y, std::wstring(1, kScrollThumb), attr);
  if (pos > 0) AddRegion(CellRect{track_x, y, pos, 1}, Hit::kScrollPageLeft, window, list);
  int after = track_x + pos + thumb;
  if (after < track_x + track_w)
    AddRegion(CellRect{after, y, track_x + track_w - after, 1}, Hit::kScrollPageRight, window, list);
}

void WindowPainter::PaintCombo(Canvas &canvas, HWND control, const CellRect &r, bool focused, bool enabled) {
  uint16_t attr = Dimmed(enabled) | kUnderline | (focused ? kReverse : kPlain);
  std::vector<std::string> items = standin::ItemsOf(control);
  std::vector<int> selection = standin::SelectionOf(control);
  std::wstring text;
  if (!selection.empty() && selection.front() >= 0 && selection.front() < static_cast<int>(items.size()))
    text = AnsiToWide(items[static_cast<size_t>(selection.front())]);
  int field = std::max(1, r.w - 1);
  canvas.Fill(CellRect{r.x, r.y, field, 1}, L' ', attr);
  canvas.Put(r.x, r.y, text, attr, field);
  canvas.Put(r.x + field, r.y, L"v", Dimmed(enabled) | kReverse);
}

void WindowPainter::PaintDroppedCombo(Canvas &canvas, HWND window, HWND control, const CellRect &r, int list_rows) {
  std::vector<std::string> items = standin::ItemsOf(control);
  std::vector<int> selection = standin::SelectionOf(control);
  int current = selection.empty() ? -1 : selection.front();
  int count = static_cast<int>(items.size());
  int visible = std::max(1, std::min(count, list_rows));
  CellRect box{r.x, r.y + 1, std::max(3, r.w), visible + 2};
  canvas.Fill(box, L' ', kPlain);
  canvas.Box(box, kPlain);
  int top = VisibleTop(control, current, visible, count);
  for (int row = 0; row < visible && top + row < count; ++row) {
    int index = top + row;
    uint16_t attr = index == current ? kReverse : kPlain;
    CellRect line{box.x + 1, box.y + 1 + row, box.w - 2, 1};
    canvas.Fill(line, L' ', attr);
    canvas.Put(line.x, line.y, AnsiToWide(items[static_cast<size_t>(index)]), attr, line.w);
    AddRegion(line, Hit::kComboItem, window, control, index);
  }
}

WindowPainter::Hit WindowPainter::HitTest(int x, int y) const {
  // Later regions were drawn over earlier ones.
  for (auto it = regions_.rbegin(); it != regions_.rend(); ++it)
    if (it->cells.Contains(x, y)) return it->hit;
  return Hit{};
}

std::vector<HWND> WindowPainter::ClickableControls(HWND window) const {
  std::vector<HWND> controls;
  for (const Region &region : regions_)
    if (region.hit.kind == Hit::kControl && region.hit.window == window) controls.push_back(region.hit.control);
  return controls;
}

std::optional<CellRect> WindowPainter::CellsOf(HWND control) const {
  for (const Region &region : regions_)
    if (region.hit.kind == Hit::kControl && region.hit.control == control) return region.cells;
  return std::nullopt;
}

std::optional<CellRect> WindowPainter::FrameOf(HWND window) const {
  auto it = frames_.find(window);
  if (it == frames_.end()) return std::nullopt;
  return it->second;
}

FrameSize WindowPainter::RequiredSize() const { return required_; }

}  // namespace terminal
