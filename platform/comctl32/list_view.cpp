// SPDX-License-Identifier: GPL-3.0-or-later
// The common controls' list view ("SysListView32") in report view, as far as
// its clients use it: columns, rows of subitem texts, a single selected row
// with the focus, and the keyboard and mouse. Rows live in a vector so that
// appending is amortised O(1).
// Built as its own library on USER32's public side: InitCommonControls(Ex)
// registers the class, and each list view keeps its columns and rows in the
// data USER32 holds for it (standin/control_class.h); USER32 never refers to
// this file. The stand-in's inspection of list views (standin/ui.h) is here.
#include <windows.h>

#include <commctrl.h>

#include <standin/call_log.h>
#include <standin/control_class.h>
#include <standin/ui.h>

#include <algorithm>
#include <cstring>

namespace standin {
namespace comctl32 {
namespace {

class ListViewData : public ControlData {
 public:
  std::vector<ListViewColumnInfo> columns;
  std::vector<std::vector<std::string>> rows;  // one ANSI text per subitem
  int selected_row = -1;
  int focus_row = -1;
  int top_index = 0;
};

ListViewData *DataOf(HWND list) { return dynamic_cast<ListViewData *>(ControlDataOf(list)); }

// One list view: its window and its data.
struct List {
  HWND hwnd;
  ListViewData &data;
};

int Count(List list) { return static_cast<int>(list.data.rows.size()); }
bool Valid(List list, int row) { return row >= 0 && row < Count(list); }
int PageSize(List list) { return std::max(1, PlacementOf(list.hwnd).cy / 10); }

// Titles and widths: each column is shown left-aligned, so its format is
// not kept.
void ApplyColumn(const LVCOLUMNA &column, ListViewColumnInfo &info) {
  if ((column.mask & LVCF_TEXT) && column.pszText) info.title = column.pszText;
  if (column.mask & LVCF_WIDTH) info.width = column.cx;
}

// Rows carry their texts only: a request for anything else (LVIF_STATE,
// LVIF_PARAM, ...) is refused rather than half done.
bool TextsOnly(const LVITEMA *item) { return item != nullptr && item->mask == LVIF_TEXT && item->iSubItem >= 0; }

void SetText(std::vector<std::string> &row, int subitem, LPCSTR text) {
  if (row.size() <= static_cast<size_t>(subitem)) row.resize(static_cast<size_t>(subitem) + 1);
  row[static_cast<size_t>(subitem)] = text ? text : "";
}

int CopyOut(const std::string &text, LPSTR buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

void KeepVisible(List list, int row) {
  int &top = list.data.top_index;
  if (row < top) top = row;
  if (row >= top + PageSize(list)) top = row - PageSize(list) + 1;
}

// The user's choice of a row: it alone is selected and takes the focus; a
// row that is not there clears the selection.
void SelectListViewRow(List list, int row) {
  if (!Valid(list, row)) {
    list.data.selected_row = -1;
    return;
  }
  list.data.selected_row = list.data.focus_row = row;
  KeepVisible(list, row);
}

void HandleKey(List list, WPARAM key) {
  int to = ListNavigationTarget(key, list.data.focus_row, Count(list), PageSize(list));
  if (to >= 0) SelectListViewRow(list, to);
}

LRESULT CALLBACK ListViewProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  ListViewData *data = DataOf(hwnd);
  if (data == nullptr) return DefWindowProcA(hwnd, message, wparam, lparam);
  const List list{hwnd, *data};
  auto &columns = data->columns;
  auto &rows = data->rows;
  switch (message) {
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case LVM_INSERTCOLUMNA: {
      const LVCOLUMNA *column = reinterpret_cast<const LVCOLUMNA *>(lparam);
      if (column == nullptr) return -1;
      ListViewColumnInfo info;
      ApplyColumn(*column, info);
      size_t at = std::min(static_cast<size_t>(wparam), columns.size());
      columns.insert(columns.begin() + static_cast<long>(at), info);
      return static_cast<LRESULT>(at);
    }
    case LVM_SETCOLUMNA: {
      const LVCOLUMNA *column = reinterpret_cast<const LVCOLUMNA *>(lparam);
      if (column == nullptr || wparam >= columns.size()) return FALSE;
      ApplyColumn(*column, columns[wparam]);
      return TRUE;
    }
    case LVM_INSERTITEMA: {
      const LVITEMA *item = reinterpret_cast<const LVITEMA *>(lparam);
      if (!TextsOnly(item) || item->iSubItem != 0) return -1;
      int at = std::min(std::max(item->iItem, 0), Count(list));
      rows.insert(rows.begin() + at, std::vector<std::string>());
      SetText(rows[static_cast<size_t>(at)], 0, item->pszText);
      // The selection and the focus stay with their rows.
      for (int *index : {&data->selected_row, &data->focus_row})
        if (*index >= at) ++*index;
      return at;
    }
    case LVM_SETITEMA: {
      const LVITEMA *item = reinterpret_cast<const LVITEMA *>(lparam);
      if (!TextsOnly(item) || !Valid(list, item->iItem)) return FALSE;
      SetText(rows[static_cast<size_t>(item->iItem)], item->iSubItem, item->pszText);
      return TRUE;
    }
    case LVM_GETITEMTEXTA: {
      LVITEMA *item = reinterpret_cast<LVITEMA *>(lparam);
      int index = static_cast<int>(wparam);
      if (item == nullptr) return 0;
      if (!Valid(list, index) || item->iSubItem < 0) return CopyOut("", item->pszText, item->cchTextMax);
      const auto &row = rows[static_cast<size_t>(index)];
      size_t sub = static_cast<size_t>(item->iSubItem);
      return CopyOut(sub < row.size() ? row[sub] : std::string(), item->pszText, item->cchTextMax);
    }
    case LVM_GETNEXTITEM:
      // The selected row after iStart (-1: from the first row), the one
      // search any caller makes; other searches find nothing.
      if (static_cast<UINT>(lparam) != LVNI_SELECTED) return -1;
      return data->selected_row > static_cast<int>(wparam) ? data->selected_row : -1;
    case LVM_DELETEALLITEMS:
      rows.clear();
      data->selected_row = data->focus_row = -1;
      data->top_index = 0;
      return TRUE;
    case WM_KEYDOWN:
      HandleKey(list, wparam);
      return 0;
    case WM_CHAR:
      if (wparam == ' ') SelectListViewRow(list, data->focus_row);
      return 0;
    case WM_LBUTTONDOWN:
      TakeFocus(hwnd);
      if (Valid(list, static_cast<int>(lparam))) SelectListViewRow(list, static_cast<int>(lparam));
      return 0;
    case kMsgApplyUserSelection:
      SelectListViewRow(list, wparam == 0 ? -1 : *reinterpret_cast<const int *>(lparam));
      return 0;
    case kMsgReportListState: {
      ListState *state = reinterpret_cast<ListState *>(lparam);
      if (data->selected_row >= 0) state->selection.push_back(data->selected_row);
      state->caret = data->focus_row;
      state->top = data->top_index;
      return 0;
    }
    default:
      return DefWindowProcA(hwnd, message, wparam, lparam);
  }
}

void RegisterListViewClass() {
  RegisterControlClass(WC_LISTVIEWA, ListViewProc, [] { return std::make_unique<ListViewData>(); });
}

}  // namespace
}  // namespace comctl32

std::vector<ListViewColumnInfo> ColumnsOf(HWND list_view) {
  const comctl32::ListViewData *data = comctl32::DataOf(list_view);
  return data ? data->columns : std::vector<ListViewColumnInfo>();
}

size_t RowCountOf(HWND list_view) {
  const comctl32::ListViewData *data = comctl32::DataOf(list_view);
  return data ? data->rows.size() : 0;
}

std::vector<std::string> RowOf(HWND list_view, size_t row) {
  const comctl32::ListViewData *data = comctl32::DataOf(list_view);
  if (data == nullptr || row >= data->rows.size()) return {};
  std::vector<std::string> texts = data->rows[row];
  if (texts.size() < data->columns.size()) texts.resize(data->columns.size());
  return texts;
}

}  // namespace standin

// A program calls these once: RecordCall alone decides whether the call is
// kept, and asking first would spare nothing.
void WINAPI InitCommonControls(void) {
  standin::RecordCall("InitCommonControls", "", "");
  standin::comctl32::RegisterListViewClass();
}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX *picce) {
  standin::RecordCall("InitCommonControlsEx", "",
                      picce == nullptr ? std::string("(null)") : "icc=" + std::to_string(picce->dwICC));
  if (picce == nullptr || picce->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
  if (picce->dwICC & ICC_LISTVIEW_CLASSES) standin::comctl32::RegisterListViewClass();
  return TRUE;
}
