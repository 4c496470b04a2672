// SPDX-License-Identifier: GPL-3.0-or-later
// The LISTBOX class: single, multiple and extended selection, the keyboard
// and mouse rules of extended selection, and LBN_SELCHANGE.
#include "window.h"

#include <algorithm>
#include <cstring>

namespace standin {
namespace user32 {
namespace {

bool IsMulti(const Window *list) { return (list->style & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) != 0; }
int Count(const Window *list) { return static_cast<int>(list->items.size()); }
bool Valid(const Window *list, int index) { return index >= 0 && index < Count(list); }

int PageSize(const Window *list) { return std::max(1, list->placement.cy / 8); }

void SelChange(Window *list) {
  if (list->style & LBS_NOTIFY) NotifyParent(list, LBN_SELCHANGE);
}

void KeepVisible(Window *list, int index) {
  if (index < 0) return;
  if (index < list->top_index) list->top_index = index;
  if (index >= list->top_index + PageSize(list)) list->top_index = index - PageSize(list) + 1;
}

void SelectOnly(Window *list, int index) {
  std::fill(list->selected.begin(), list->selected.end(), 0);
  if (Valid(list, index)) list->selected[static_cast<size_t>(index)] = 1;
}

void SelectRange(Window *list, int a, int b, bool keep_others) {
  if (!keep_others) std::fill(list->selected.begin(), list->selected.end(), 0);
  for (int i = std::min(a, b); i <= std::max(a, b); ++i)
    if (Valid(list, i)) list->selected[static_cast<size_t>(i)] = 1;
}

int Insert(Window *list, int index, const std::string &text) {
  if (index < 0 || index > Count(list)) index = Count(list);
  list->items.insert(list->items.begin() + index, text);
  list->selected.insert(list->selected.begin() + index, 0);
  if (list->current >= index) ++list->current;
  if (list->caret_index >= index && list->caret_index >= 0 && Count(list) > 1) ++list->caret_index;
  return index;
}

int SortedPosition(const Window *list, const std::string &text) {
  auto it = std::upper_bound(list->items.begin(), list->items.end(), text);
  return static_cast<int>(it - list->items.begin());
}

// The user moves the caret (keyboard) or clicks an item (mouse).
// Extended selection at `index`: Shift selects from the anchor (adding to
// the selection with Ctrl), Ctrl alone toggles the item, neither selects it
// alone; the item becomes the anchor except for Shift.
void SelectExtended(Window *list, int index, bool shift, bool ctrl) {
  if (shift) {
    if (list->anchor_index < 0) list->anchor_index = index;
    SelectRange(list, list->anchor_index, index, ctrl);
    return;
  }
  if (ctrl) {
    list->selected[static_cast<size_t>(index)] ^= 1;
  } else {
    SelectOnly(list, index);
  }
  list->anchor_index = index;
}

void UserPicks(Window *list, int index, bool shift, bool ctrl, bool by_mouse) {
  if (!Valid(list, index)) return;
  if (!IsMulti(list)) {
    list->current = index;
    list->caret_index = index;
    KeepVisible(list, index);
    SelChange(list);
    return;
  }
  if (list->style & LBS_MULTIPLESEL) {
    list->caret_index = index;
    if (by_mouse) list->selected[static_cast<size_t>(index)] ^= 1;
    KeepVisible(list, index);
    if (by_mouse) SelChange(list);
    return;
  }
  list->caret_index = index;
  KeepVisible(list, index);
  if (ctrl && !shift && !by_mouse) return;  // Ctrl+arrow moves only the caret
  SelectExtended(list, index, shift, ctrl);
  SelChange(list);
}

void HandleKey(Window *list, WPARAM key) {
  KeyState keys = CurrentKeyState();
  int count = Count(list);
  if (count == 0) return;
  int from = IsMulti(list) ? list->caret_index : list->current;
  // Left and Right move like Up and Down in a single-column list.
  WPARAM move = key == VK_LEFT ? VK_UP : key == VK_RIGHT ? VK_DOWN : key;
  int to = ListNavigationTarget(move, from, count, PageSize(list));
  if (to < 0) return;
  UserPicks(list, to, keys.shift, keys.ctrl, false);
}

void HandleSpace(Window *list) {
  if (!IsMulti(list)) return;
  KeyState keys = CurrentKeyState();
  int index = list->caret_index < 0 ? 0 : list->caret_index;
  if (!Valid(list, index)) return;
  list->caret_index = index;
  if (list->style & LBS_MULTIPLESEL) {
    list->selected[static_cast<size_t>(index)] ^= 1;
  } else {
    SelectExtended(list, index, keys.shift, keys.ctrl);
  }
  SelChange(list);
}

LRESULT CopyItem(const Window *list, int index, LPARAM buffer) {
  if (!Valid(list, index) || buffer == 0) return LB_ERR;
  const std::string &text = list->items[static_cast<size_t>(index)];
  std::memcpy(reinterpret_cast<char *>(buffer), text.c_str(), text.size() + 1);
  return static_cast<LRESULT>(text.size());
}

}  // namespace

void ApplyListBoxSelection(Window *list, const std::vector<int> &indices) {
  if (IsMulti(list)) {
    std::fill(list->selected.begin(), list->selected.end(), 0);
    for (int index : indices)
      if (Valid(list, index)) list->selected[static_cast<size_t>(index)] = 1;
    if (!indices.empty() && Valid(list, indices.front())) {
      list->caret_index = indices.front();
      list->anchor_index = indices.front();
      KeepVisible(list, indices.front());
    }
  } else {
    list->current = indices.empty() || !Valid(list, indices.front()) ? -1 : indices.front();
    if (list->current >= 0) list->caret_index = list->current;
  }
  SelChange(list);
}

LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Window *list = FromHandle(hwnd);
  if (list == nullptr) return 0;
  int index = static_cast<int>(wparam);
  switch (message) {
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case LB_ADDSTRING: {
      std::string text = lparam ? reinterpret_cast<LPCSTR>(lparam) : "";
      return Insert(list, (list->style & LBS_SORT) ? SortedPosition(list, text) : -1, text);
    }
    case LB_INSERTSTRING:
      if (index < -1 || index > Count(list)) return LB_ERR;
      return Insert(list, index, lparam ? reinterpret_cast<LPCSTR>(lparam) : "");
    case LB_DELETESTRING:
      if (!Valid(list, index)) return LB_ERR;
      list->items.erase(list->items.begin() + index);
      list->selected.erase(list->selected.begin() + index);
      if (list->current == index)
        list->current = -1;
      else if (list->current > index)
        --list->current;
      if (list->caret_index >= Count(list)) list->caret_index = Count(list) - 1;
      return Count(list);
    case LB_RESETCONTENT:
      list->items.clear();
      list->selected.clear();
      list->current = list->caret_index = list->anchor_index = -1;
      list->top_index = 0;
      return 0;
    case LB_SETSEL: {
      if (!IsMulti(list)) return LB_ERR;
      int target = static_cast<int>(lparam);
      if (target == -1) {
        std::fill(list->selected.begin(), list->selected.end(), wparam ? 1 : 0);
        return 0;
      }
      if (!Valid(list, target)) return LB_ERR;
      list->selected[static_cast<size_t>(target)] = wparam ? 1 : 0;
      return 0;
    }
    case LB_GETSEL:
      if (!Valid(list, index)) return LB_ERR;
      return IsMulti(list) ? list->selected[static_cast<size_t>(index)] : (list->current == index ? 1 : 0);
    case LB_SETCURSEL:
      if (IsMulti(list)) return LB_ERR;
      list->current = Valid(list, index) ? index : -1;
      if (list->current >= 0) {
        list->caret_index = list->current;
        KeepVisible(list, list->current);
      }
      return index == -1 ? LB_ERR : (list->current < 0 ? LB_ERR : list->current);
    case LB_GETCURSEL:
      if (IsMulti(list)) return list->caret_index >= 0 ? list->caret_index : LB_ERR;
      return list->current >= 0 ? list->current : LB_ERR;
    case LB_GETTEXT:
      return CopyItem(list, index, lparam);
    case LB_GETTEXTLEN:
      return Valid(list, index) ? static_cast<LRESULT>(list->items[static_cast<size_t>(index)].size()) : LB_ERR;
    case LB_GETCOUNT:
      return Count(list);
    case LB_GETSELCOUNT:
      if (!IsMulti(list)) return LB_ERR;
      return static_cast<LRESULT>(std::count(list->selected.begin(), list->selected.end(), 1));
    case LB_GETSELITEMS: {
      if (!IsMulti(list)) return LB_ERR;
      int *out = reinterpret_cast<int *>(lparam);
      int capacity = static_cast<int>(wparam), n = 0;
      if (out == nullptr) return LB_ERR;
      for (int i = 0; i < Count(list) && n < capacity; ++i)
        if (list->selected[static_cast<size_t>(i)]) out[n++] = i;
      return n;
    }
    case LB_SETTOPINDEX:
      if (!Valid(list, index) && !(index == 0 && Count(list) == 0)) return LB_ERR;
      list->top_index = index;
      return 0;
    case LB_GETTOPINDEX:
      return list->top_index;
    case LB_SETCARETINDEX:
      if (!Valid(list, index)) return LB_ERR;
      list->caret_index = index;
      KeepVisible(list, index);
      return 0;
    case LB_GETCARETINDEX:
      return list->caret_index >= 0 ? list->caret_index : 0;
    case WM_KEYDOWN:
      HandleKey(list, wparam);
      return 0;
    case WM_CHAR:
      if (wparam == ' ') HandleSpace(list);
      return 0;
    case WM_SETFOCUS:
      NotifyParent(list, LBN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      NotifyParent(list, LBN_KILLFOCUS);
      return 0;
    case WM_LBUTTONDOWN:
      MoveFocus(list);
      UserPicks(list, static_cast<int>(lparam), (wparam & MK_SHIFT) != 0, (wparam & MK_CONTROL) != 0, true);
      return 0;
    case kMsgApplyUserSelection: {
      const int *indices = reinterpret_cast<const int *>(lparam);
      ApplyListBoxSelection(list, std::vector<int>(indices, indices + wparam));
      return 0;
    }
    default:
      return DefWindowProcA(hwnd, message, wparam, lparam);
  }
}

}  // namespace user32
}  // namespace standin
