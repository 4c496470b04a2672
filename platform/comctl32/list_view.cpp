// SPDX-License-Identifier: GPL-3.0-or-later
// The common controls' list view ("SysListView32") in report view: columns,
// rows of subitem texts, item states with LVN_ITEMCHANGED, and the keyboard.
// Rows live in a vector so that appending is amortised O(1).
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

struct ListViewRow {
  std::vector<std::string> texts;  // one per subitem, ANSI
  UINT state = 0;
  LPARAM param = 0;
};

class ListViewData : public ControlData {
 public:
  std::vector<ListViewColumnInfo> columns;
  std::vector<ListViewRow> rows;
  int focus_row = -1;
  int top_index = 0;
};

ListViewData *DataOf(HWND list) { return dynamic_cast<ListViewData *>(ControlDataOf(list)); }

// One list view: its window and its data.
struct List {
  HWND hwnd;
  ListViewData &data;
};

void SelectListViewRow(List list, int row);

int Count(List list) { return static_cast<int>(list.data.rows.size()); }
bool Valid(List list, int row) { return row >= 0 && row < Count(list); }
int PageSize(List list) { return std::max(1, PlacementOf(list.hwnd).cy / 10); }

void NotifyChanged(List list, int row, UINT old_state, UINT new_state) {
  HWND parent = ParentOf(list.hwnd);
  if (parent == nullptr) return;
  const int id = ControlIdOf(list.hwnd);
  NMLISTVIEW nm{};
  nm.hdr.hwndFrom = list.hwnd;
  nm.hdr.idFrom = static_cast<UINT_PTR>(id);
  nm.hdr.code = LVN_ITEMCHANGED;
  nm.iItem = row;
  nm.uNewState = new_state;
  nm.uOldState = old_state;
  nm.uChanged = LVIF_STATE;
  nm.lParam = list.data.rows[static_cast<size_t>(row)].param;
  DeliverMessage(parent, WM_NOTIFY, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&nm));
}

// Changes the masked state bits of one row, keeping a single selection and a
// single focus item, and notifies every row whose state changed.
void SetRowState(List list, int row, UINT state, UINT mask) {
  if (!Valid(list, row)) return;
  state &= mask;
  if ((mask & LVIS_SELECTED) && (state & LVIS_SELECTED) && (StyleOf(list.hwnd) & LVS_SINGLESEL)) {
    for (int other = 0; other < Count(list); ++other) {
      ListViewRow &r = list.data.rows[static_cast<size_t>(other)];
      if (other != row && (r.state & LVIS_SELECTED)) {
        UINT old = r.state;
        r.state &= ~static_cast<UINT>(LVIS_SELECTED);
        NotifyChanged(list, other, old, r.state);
      }
    }
  }
  int &focus_row = list.data.focus_row;
  if ((mask & LVIS_FOCUSED) && (state & LVIS_FOCUSED) && focus_row != row && Valid(list, focus_row)) {
    ListViewRow &r = list.data.rows[static_cast<size_t>(focus_row)];
    UINT old = r.state;
    r.state &= ~static_cast<UINT>(LVIS_FOCUSED);
    NotifyChanged(list, focus_row, old, r.state);
  }
  ListViewRow &target = list.data.rows[static_cast<size_t>(row)];
  UINT old = target.state;
  target.state = (target.state & ~mask) | state;
  if (target.state & LVIS_FOCUSED)
    focus_row = row;
  else if (focus_row == row)
    focus_row = -1;
  if (target.state != old) NotifyChanged(list, row, old, target.state);
}

void SetText(ListViewRow &row, int subitem, LPCSTR text) {
  if (subitem < 0) return;
  if (row.texts.size() <= static_cast<size_t>(subitem)) row.texts.resize(static_cast<size_t>(subitem) + 1);
  row.texts[static_cast<size_t>(subitem)] = text ? text : "";
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

void HandleKey(List list, WPARAM key) {
  int count = Count(list);
  if (count == 0) return;
  int to = ListNavigationTarget(key, list.data.focus_row, count, PageSize(list));
  if (to < 0) return;
  SelectListViewRow(list, to);
}

// Single selection and focus, with LVN_ITEMCHANGED.
void SelectListViewRow(List list, int row) {
  if (!Valid(list, row)) {
    for (int other = 0; other < Count(list); ++other)
      if (list.data.rows[static_cast<size_t>(other)].state & LVIS_SELECTED) SetRowState(list, other, 0, LVIS_SELECTED);
    return;
  }
  if (!(StyleOf(list.hwnd) & LVS_SINGLESEL))
    for (int other = 0; other < Count(list); ++other)
      if (other != row && (list.data.rows[static_cast<size_t>(other)].state & LVIS_SELECTED))
        SetRowState(list, other, 0, LVIS_SELECTED);
  SetRowState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  KeepVisible(list, row);
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
      if ((column->mask & LVCF_TEXT) && column->pszText) info.title = column->pszText;
      if (column->mask & LVCF_WIDTH) info.width = column->cx;
      if (column->mask & LVCF_FMT) info.format = column->fmt;
      size_t at = std::min(static_cast<size_t>(wparam), columns.size());
      columns.insert(columns.begin() + static_cast<long>(at), info);
      return static_cast<LRESULT>(at);
    }
    case LVM_SETCOLUMNA:
    case LVM_GETCOLUMNA: {
      LVCOLUMNA *column = reinterpret_cast<LVCOLUMNA *>(lparam);
      if (column == nullptr || wparam >= columns.size()) return FALSE;
      ListViewColumnInfo &info = columns[wparam];
      if (message == LVM_SETCOLUMNA) {
        if ((column->mask & LVCF_TEXT) && column->pszText) info.title = column->pszText;
        if (column->mask & LVCF_WIDTH) info.width = column->cx;
        if (column->mask & LVCF_FMT) info.format = column->fmt;
      } else {
        if (column->mask & LVCF_TEXT) CopyOut(info.title, column->pszText, column->cchTextMax);
        if (column->mask & LVCF_WIDTH) column->cx = info.width;
        if (column->mask & LVCF_FMT) column->fmt = info.format;
      }
      return TRUE;
    }
    case LVM_DELETECOLUMN:
      if (wparam >= columns.size()) return FALSE;
      columns.erase(columns.begin() + static_cast<long>(wparam));
      return TRUE;
    case LVM_GETCOLUMNWIDTH:
      return wparam < columns.size() ? columns[wparam].width : 0;
    case LVM_GETITEMCOUNT:
      return Count(list);
    case LVM_INSERTITEMA: {
      const LVITEMA *item = reinterpret_cast<const LVITEMA *>(lparam);
      if (item == nullptr || item->iSubItem != 0) return -1;
      int at = std::min(std::max(item->iItem, 0), Count(list));
      ListViewRow row;
      if (item->mask & LVIF_TEXT) SetText(row, 0, item->pszText);
      if (item->mask & LVIF_PARAM) row.param = item->lParam;
      rows.insert(rows.begin() + at, std::move(row));
      if (data->focus_row >= at) ++data->focus_row;
      if ((item->mask & LVIF_STATE) && item->stateMask) SetRowState(list, at, item->state, item->stateMask);
      return at;
    }
    case LVM_SETITEMA: {
      const LVITEMA *item = reinterpret_cast<const LVITEMA *>(lparam);
      if (item == nullptr || !Valid(list, item->iItem) || item->iSubItem < 0) return FALSE;
      ListViewRow &row = rows[static_cast<size_t>(item->iItem)];
      if (item->mask & LVIF_TEXT) SetText(row, item->iSubItem, item->pszText);
      if (item->iSubItem == 0) {
        if (item->mask & LVIF_PARAM) row.param = item->lParam;
        if ((item->mask & LVIF_STATE) && item->stateMask) SetRowState(list, item->iItem, item->state, item->stateMask);
      }
      return TRUE;
    }
    case LVM_SETITEMTEXTA: {
      const LVITEMA *item = reinterpret_cast<const LVITEMA *>(lparam);
      int index = static_cast<int>(wparam);
      if (item == nullptr || !Valid(list, index)) return FALSE;
      SetText(rows[static_cast<size_t>(index)], item->iSubItem, item->pszText);
      return TRUE;
    }
    case LVM_GETITEMA: {
      LVITEMA *item = reinterpret_cast<LVITEMA *>(lparam);
      if (item == nullptr || !Valid(list, item->iItem)) return FALSE;
      const ListViewRow &row = rows[static_cast<size_t>(item->iItem)];
      if (item->mask & LVIF_TEXT) {
        size_t sub = static_cast<size_t>(std::max(item->iSubItem, 0));
        CopyOut(sub < row.texts.size() ? row.texts[sub] : std::string(), item->pszText, item->cchTextMax);
      }
      if (item->mask & LVIF_STATE) item->state = row.state & item->stateMask;
      if (item->mask & LVIF_PARAM) item->lParam = row.param;
      return TRUE;
    }
    case LVM_GETITEMTEXTA: {
      LVITEMA *item = reinterpret_cast<LVITEMA *>(lparam);
      int index = static_cast<int>(wparam);
      if (item == nullptr) return 0;
      if (!Valid(list, index) || item->iSubItem < 0) return CopyOut("", item->pszText, item->cchTextMax);
      const ListViewRow &row = rows[static_cast<size_t>(index)];
      size_t sub = static_cast<size_t>(item->iSubItem);
      return CopyOut(sub < row.texts.size() ? row.texts[sub] : std::string(), item->pszText, item->cchTextMax);
    }
    case LVM_GETNEXTITEM: {
      int start = static_cast<int>(wparam);
      UINT flags = static_cast<UINT>(lparam) & (LVNI_SELECTED | LVNI_FOCUSED);
      for (int row = start < 0 ? 0 : start + 1; row < Count(list); ++row) {
        UINT state = rows[static_cast<size_t>(row)].state;
        if ((flags & LVNI_SELECTED) && !(state & LVIS_SELECTED)) continue;
        if ((flags & LVNI_FOCUSED) && !(state & LVIS_FOCUSED)) continue;
        return row;
      }
      return -1;
    }
    case LVM_DELETEITEM: {
      int index = static_cast<int>(wparam);
      if (!Valid(list, index)) return FALSE;
      rows.erase(rows.begin() + index);
      if (data->focus_row == index)
        data->focus_row = -1;
      else if (data->focus_row > index)
        --data->focus_row;
      return TRUE;
    }
    case LVM_DELETEALLITEMS:
      rows.clear();
      data->focus_row = -1;
      data->top_index = 0;
      return TRUE;
    case LVM_SETITEMSTATE: {
      const LVITEMA *item = reinterpret_cast<const LVITEMA *>(lparam);
      if (item == nullptr) return FALSE;
      int index = static_cast<int>(wparam);
      if (index == -1) {
        for (int row = 0; row < Count(list); ++row) SetRowState(list, row, item->state, item->stateMask);
        return TRUE;
      }
      if (!Valid(list, index)) return FALSE;
      SetRowState(list, index, item->state, item->stateMask);
      return TRUE;
    }
    case LVM_GETITEMSTATE: {
      int index = static_cast<int>(wparam);
      return Valid(list, index) ? static_cast<LRESULT>(rows[static_cast<size_t>(index)].state & lparam) : 0;
    }
    case LVM_GETSELECTEDCOUNT: {
      LRESULT n = 0;
      for (const auto &row : rows)
        if (row.state & LVIS_SELECTED) ++n;
      return n;
    }
    case LVM_ENSUREVISIBLE:
      if (Valid(list, static_cast<int>(wparam))) KeepVisible(list, static_cast<int>(wparam));
      return TRUE;
    case LVM_GETTOPINDEX:
      return data->top_index;
    case LVM_GETCOUNTPERPAGE:
      return PageSize(list);
    case WM_KEYDOWN:
      HandleKey(list, wparam);
      return 0;
    case WM_CHAR:
      if (wparam == ' ' && Valid(list, data->focus_row)) SelectListViewRow(list, data->focus_row);
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
      for (int row = 0; row < Count(list); ++row)
        if (rows[static_cast<size_t>(row)].state & LVIS_SELECTED) state->selection.push_back(row);
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
  std::vector<std::string> texts = data->rows[row].texts;
  if (texts.size() < data->columns.size()) texts.resize(data->columns.size());
  return texts;
}

}  // namespace standin

void WINAPI InitCommonControls(void) {
  if (standin::IsCallRecording()) standin::RecordCall("InitCommonControls", "", "");
  standin::comctl32::RegisterListViewClass();
}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX *picce) {
  if (standin::IsCallRecording())
    standin::RecordCall("InitCommonControlsEx", "",
                        picce == nullptr ? std::string("(null)") : "icc=" + std::to_string(picce->dwICC));
  if (picce == nullptr || picce->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
  if (picce->dwICC & ICC_LISTVIEW_CLASSES) standin::comctl32::RegisterListViewClass();
  return TRUE;
}
