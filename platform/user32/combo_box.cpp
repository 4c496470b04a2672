// SPDX-License-Identifier: GPL-3.0-or-later
// The COMBOBOX class as a drop-down list: items, the current item, the
// drop-down state, and the keyboard (arrows, F4, Alt+Down) with CBN_SELCHANGE.
#include "window.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace standin {
namespace user32 {
namespace {

int Count(const Window *combo) { return static_cast<int>(combo->items.size()); }
bool Valid(const Window *combo, int index) { return index >= 0 && index < Count(combo); }

void SetDropped(Window *combo, bool dropped) {
  if (combo->dropped == dropped) return;
  if (dropped) NotifyParent(combo, CBN_DROPDOWN);
  combo->dropped = dropped;
  if (!dropped) NotifyParent(combo, CBN_CLOSEUP);
}

void UserSelects(Window *combo, int index) {
  if (!Valid(combo, index) || index == combo->current) return;
  combo->current = index;
  NotifyParent(combo, CBN_SELCHANGE);
}

int Insert(Window *combo, int index, const std::string &text) {
  if (index < 0 || index > Count(combo)) index = Count(combo);
  combo->items.insert(combo->items.begin() + index, text);
  if (combo->current >= index) ++combo->current;
  return index;
}

void HandleKey(Window *combo, WPARAM key, bool alt) {
  int count = Count(combo);
  if (alt) {
    if (key == VK_DOWN || key == VK_UP) SetDropped(combo, !combo->dropped);
    return;
  }
  switch (key) {
    case VK_F4:
      SetDropped(combo, !combo->dropped);
      return;
    case VK_RETURN:
    case VK_ESCAPE:
      SetDropped(combo, false);
      return;
    case VK_UP:
    case VK_LEFT:
      if (count) UserSelects(combo, std::max(0, combo->current - 1));
      return;
    case VK_DOWN:
    case VK_RIGHT:
      if (count) UserSelects(combo, combo->current < 0 ? 0 : std::min(count - 1, combo->current + 1));
      return;
    case VK_HOME:
    case VK_PRIOR:
      if (count) UserSelects(combo, 0);
      return;
    case VK_END:
    case VK_NEXT:
      if (count) UserSelects(combo, count - 1);
      return;
    default:
      return;
  }
}

// A typed letter selects the next item that starts with it.
void HandleChar(Window *combo, unsigned char c) {
  int count = Count(combo);
  if (count == 0 || c < 0x20) return;
  for (int step = 1; step <= count; ++step) {
    int index = (std::max(combo->current, -1) + step) % count;
    const std::string &item = combo->items[static_cast<size_t>(index)];
    if (!item.empty() && std::tolower(static_cast<unsigned char>(item[0])) == std::tolower(c)) {
      UserSelects(combo, index);
      return;
    }
  }
}

}  // namespace

void ApplyComboSelection(Window *combo, int index) {
  SetDropped(combo, false);
  combo->current = Valid(combo, index) ? index : -1;
  NotifyParent(combo, CBN_SELCHANGE);
}

LRESULT CALLBACK ComboBoxProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Window *combo = FromHandle(hwnd);
  if (combo == nullptr) return 0;
  int index = static_cast<int>(wparam);
  switch (message) {
    case WM_GETDLGCODE: {
      LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
      const MSG *msg = reinterpret_cast<const MSG *>(lparam);
      if (combo->dropped && msg && msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE))
        code |= DLGC_WANTMESSAGE;
      return code;
    }
    case CB_ADDSTRING: {
      std::string text = lparam ? reinterpret_cast<LPCSTR>(lparam) : "";
      if (combo->style & CBS_SORT)
        return Insert(
            combo,
            static_cast<int>(std::upper_bound(combo->items.begin(), combo->items.end(), text) - combo->items.begin()),
            text);
      return Insert(combo, -1, text);
    }
    case CB_INSERTSTRING:
      if (index < -1 || index > Count(combo)) return CB_ERR;
      return Insert(combo, index, lparam ? reinterpret_cast<LPCSTR>(lparam) : "");
    case CB_DELETESTRING:
      if (!Valid(combo, index)) return CB_ERR;
      combo->items.erase(combo->items.begin() + index);
      if (combo->current == index)
        combo->current = -1;
      else if (combo->current > index)
        --combo->current;
      return Count(combo);
    case CB_RESETCONTENT:
      combo->items.clear();
      combo->current = -1;
      return CB_OKAY;
    case CB_GETCOUNT:
      return Count(combo);
    case CB_SETCURSEL:
      combo->current = Valid(combo, index) ? index : -1;
      return combo->current >= 0 ? combo->current : CB_ERR;
    case CB_GETCURSEL:
      return combo->current >= 0 ? combo->current : CB_ERR;
    case CB_GETLBTEXT: {
      if (!Valid(combo, index) || lparam == 0) return CB_ERR;
      const std::string &text = combo->items[static_cast<size_t>(index)];
      std::memcpy(reinterpret_cast<char *>(lparam), text.c_str(), text.size() + 1);
      return static_cast<LRESULT>(text.size());
    }
    case CB_GETLBTEXTLEN:
      return Valid(combo, index) ? static_cast<LRESULT>(combo->items[static_cast<size_t>(index)].size()) : CB_ERR;
    case CB_SHOWDROPDOWN:
      SetDropped(combo, wparam != 0);
      return TRUE;
    case CB_GETDROPPEDSTATE:
      return combo->dropped ? TRUE : FALSE;
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
      std::string text = combo->current >= 0 ? combo->items[static_cast<size_t>(combo->current)] : "";
      if (message == WM_GETTEXTLENGTH) return static_cast<LRESULT>(text.size());
      if (lparam == 0 || wparam == 0) return 0;
      size_t n = std::min(text.size(), static_cast<size_t>(wparam) - 1);
      std::memcpy(reinterpret_cast<char *>(lparam), text.data(), n);
      reinterpret_cast<char *>(lparam)[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_SETTEXT:
      return CB_ERR;  // a drop-down list has no edit field to write to
    case WM_KEYDOWN:
      HandleKey(combo, wparam, false);
      return 0;
    case WM_SYSKEYDOWN:
      HandleKey(combo, wparam, true);
      return 0;
    case WM_CHAR:
      HandleChar(combo, static_cast<unsigned char>(wparam));
      return 0;
    case WM_LBUTTONDOWN:
      MoveFocus(combo);
      SetDropped(combo, !combo->dropped);
      return 0;
    case WM_KILLFOCUS:
      SetDropped(combo, false);
      return 0;
    case kMsgApplyUserSelection:
      ApplyComboSelection(combo, wparam == 0 ? -1 : *reinterpret_cast<const int *>(lparam));
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wparam, lparam);
  }
}

}  // namespace user32
}  // namespace standin
