// SPDX-License-Identifier: GPL-3.0-or-later
// The common controls' list view ("SysListView32") in report view: columns,
// rows of subitem texts, item states with LVN_ITEMCHANGED, and the keyboard.
// Rows live in a vector so that appending is amortised O(1).
// Built as its own library on USER32's window model: InitCommonControls(Ex)
// registers the class with USER32, which never refers to this file.
#include "../user32/window.h"

#include <standin/call_log.h>

#include <algorithm>
#include <cstring>

namespace standin {
namespace user32 {
namespace {

void SelectListViewRow(Window *list, int row);

int Count(const Window *list) { return static_cast<int>(list->rows.size()); }
bool Valid(const Window *list, int row) { return row >= 0 && row < Count(list); }
int PageSize(const Window *list) { return std::max(1, list->placement.cy / 10); }

void NotifyChanged(Window *list, int row, UINT old_state, UINT new_state) {
  if (list->parent == nullptr) return;
  NMLISTVIEW nm{};
  nm.hdr.hwndFrom = ToHandle(list);
  nm.hdr.idFrom = static_cast<UINT_PTR>(list->id);
  nm.hdr.code = LVN_ITEMCHANGED;
  nm.iItem = row;
  nm.uNewState = new_state;
  nm.uOldState = old_state;
  nm.uChanged = LVIF_STATE;
  nm.lParam = list->rows[static_cast<size_t>(row)].param;
  Send(list->parent, WM_NOTIFY, static_cast<WPARAM>(list->id), reinterpret_cast<LPARAM>(&nm));
}

// Changes the masked state bits of one row, keeping a single selection and a
// single focus item, and notifies every row whose state changed.
void SetRowState(Window *list, int row, UINT state, UINT mask) {
  if (!Valid(list, row)) return;
  state &= mask;
  if ((mask & LVIS_SELECTED) && (state & LVIS_SELECTED) && (list->style & LVS_SINGLESEL)) {
    for (int other = 0; other < Count(list); ++other) {
      ListViewRow &r = list->rows[static_cast<size_t>(other)];
      if (other != row && (r.state & LVIS_SELECTED)) {
        UINT old = r.state;
        r.state &= ~static_cast<UINT>(LVIS_SELECTED);
        NotifyChanged(list, other, old, r.state);
      }
    }
  }
  if ((mask & LVIS_FOCUSED) && (state & LVIS_FOCUSED) && list->focus_row != row && Valid(list, list->focus_row)) {
    ListViewRow &r = list->rows[static_cast<size_t>(list->focus_row)];
    UINT old = r.state;
    r.state &= ~static_cast<UINT>(LVIS_FOCUSED);
    NotifyChanged(list, list->focus_row, old, r.state);
  }
  ListViewRow &target = list->rows[static_cast<size_t>(row)];
  UINT old = target.state;
  target.state = (target.state & ~mask) | state;
  if (target.state & LVIS_FOCUSED)
    list->focus_row = row;
  else if (list->focus_row == row)
    list->focus_row = -1;
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

void KeepVisible(Window *list, int row) {
  if (row < list->top_index) list->top_index = row;
  if (row >= list->top_index + PageSize(list)) list->top_index = row - PageSize(list) + 1;
}

void HandleKey(Window *list, WPARAM key) {
  int count = Count(list);
  if (count == 0) return;
  int from = list->focus_row;
  int to = NavigationTarget(key, from, count, PageSize(list));
  if (to < 0) return;
  SelectListViewRow(list, to);
}

// Single selection and focus, with LVN_ITEMCHANGED.
void SelectListViewRow(Window *list, int row) {
  if (!Valid(list, row)) {
    for (int other = 0; other < Count(list); ++other)
      if (list->rows[static_cast<size_t>(other)].state & LVIS_SELECTED) SetRowState(list, other, 0, LVIS_SELECTED);
    return;
  }
  if (!(list->style & LVS_SINGLESEL))
    for (int other = 0; other < Count(list); ++other)
      if (other != row && (list->rows[static_cast<size_t>(other)].state & LVIS_SELECTED))
        SetRowState(list, other, 0, LVIS_SELECTED);
  SetRowState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  KeepVisible(list, row);
}

LRESULT CALLBACK ListViewProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Window *list = FromHandle(hwnd);
  if (list == nullptr) return 0;
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
      size_t at = std::min(static_cast<size_t>(wparam), list->columns.size());
      list->columns.insert(list->columns.begin() + static_cast<long>(at), info);
      return static_cast<LRESULT>(at);
    }
    case LVM_SETCOLUMNA:
    case LVM_GETCOLUMNA: {
      LVCOLUMNA *column = reinterpret_cast<LVCOLUMNA *>(lparam);
      if (column == nullptr || wparam >= list->columns.size()) return FALSE;
      ListViewColumnInfo &info = list->columns[wparam];
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
      if (wparam >= list->columns.size()) return FALSE;
      list->columns.erase(list->columns.begin() + static_cast<long>(wparam));
      return TRUE;
    case LVM_GETCOLUMNWIDTH:
      return wparam < list->columns.size() ? list->columns[wparam].width : 0;
    case LVM_GETITEMCOUNT:
      return Count(list);
    case LVM_INSERTITEMA: {
      const LVITEMA *item = reinterpret_cast<const LVITEMA *>(lparam);
      if (item == nullptr || item->iSubItem != 0) return -1;
      int at = std::min(std::max(item->iItem, 0), Count(list));
      ListViewRow row;
      if (item->mask & LVIF_TEXT) SetText(row, 0, item->pszText);
      if (item->mask & LVIF_PARAM) row.param = item->lParam;
      list->rows.insert(list->rows.begin() + at, std::move(row));
      if (list->focus_row >= at) ++list->focus_row;
      if ((item->mask & LVIF_STATE) && item->stateMask) SetRowState(list, at, item->state, item->stateMask);
      return at;
    }
    case LVM_SETITEMA: {
      const LVITEMA *item = reinterpret_cast<const LVITEMA *>(lparam);
      if (item == nullptr || !Valid(list, item->iItem) || item->iSubItem < 0) return FALSE;
      ListViewRow &row = list->rows[static_cast<size_t>(item->iItem)];
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
      SetText(list->rows[static_cast<size_t>(index)], item->iSubItem, item->pszText);
      return TRUE;
    }
    case LVM_GETITEMA: {
      LVITEMA *item = reinterpret_cast<LVITEMA *>(lparam);
      if (item == nullptr || !Valid(list, item->iItem)) return FALSE;
      const ListViewRow &row = list->rows[static_cast<size_t>(item->iItem)];
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
      const ListViewRow &row = list->rows[static_cast<size_t>(index)];
      size_t sub = static_cast<size_t>(item->iSubItem);
      return CopyOut(sub < row.texts.size() ? row.texts[sub] : std::string(), item->pszText, item->cchTextMax);
    }
    case LVM_GETNEXTITEM: {
      int start = static_cast<int>(wparam);
      UINT flags = static_cast<UINT>(lparam) & (LVNI_SELECTED | LVNI_FOCUSED);
      for (int row = start < 0 ? 0 : start + 1; row < Count(list); ++row) {
        UINT state = list->rows[static_cast<size_t>(row)].state;
        if ((flags & LVNI_SELECTED) && !(state & LVIS_SELECTED)) continue;
        if ((flags & LVNI_FOCUSED) && !(state & LVIS_FOCUSED)) continue;
        return row;
      }
      return -1;
    }
    case LVM_DELETEITEM: {
      int index = static_cast<int>(wparam);
      if (!Valid(list, index)) return FALSE;
      list->rows.erase(list->rows.begin() + index);
      if (list->focus_row == index)
        list->focus_row = -1;
      else if (list->focus_row > index)
        --list->focus_row;
      return TRUE;
    }
    case LVM_DELETEALLITEMS:
      list->rows.clear();
      list->focus_row = -1;
      list->top_index = 0;
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
      return Valid(list, index) ? static_cast<LRESULT>(list->rows[static_cast<size_t>(index)].state & lparam) : 0;
    }
    case LVM_GETSELECTEDCOUNT: {
      LRESULT n = 0;
      for (const auto &row : list->rows)
        if (row.state & LVIS_SELECTED) ++n;
      return n;
    }
    case LVM_ENSUREVISIBLE:
      if (Valid(list, static_cast<int>(wparam))) KeepVisible(list, static_cast<int>(wparam));
      return TRUE;
    case LVM_GETTOPINDEX:
      return list->top_index;
    case LVM_GETCOUNTPERPAGE:
      return PageSize(list);
    case WM_KEYDOWN:
      HandleKey(list, wparam);
      return 0;
    case WM_CHAR:
      if (wparam == ' ' && Valid(list, list->focus_row)) SelectListViewRow(list, list->focus_row);
      return 0;
    case WM_LBUTTONDOWN:
      MoveFocus(list);
      if (Valid(list, static_cast<int>(lparam))) SelectListViewRow(list, static_cast<int>(lparam));
      return 0;
    case kMsgApplyUserSelection:
      SelectListViewRow(list, wparam == 0 ? -1 : *reinterpret_cast<const int *>(lparam));
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wparam, lparam);
  }
}

void RegisterListViewClass() { RegisterControlClass(WC_LISTVIEWA, ListViewProc); }

}  // namespace
}  // namespace user32
}  // namespace standin

void WINAPI InitCommonControls(void) {
  if (standin::user32::Recording()) standin::RecordCall("InitCommonControls", "", "");
  standin::user32::RegisterListViewClass();
}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX *picce) {
  if (standin::user32::Recording())
    standin::RecordCall("InitCommonControlsEx", "",
                        picce == nullptr ? std::string("(null)") : "icc=" + std::to_string(picce->dwICC));
  if (picce == nullptr || picce->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
  if (picce->dwICC & ICC_LISTVIEW_CLASSES) standin::user32::RegisterListViewClass();
  return TRUE;
}
