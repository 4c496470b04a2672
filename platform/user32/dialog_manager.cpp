// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog manager's keyboard interface: Tab and Shift+Tab through tab
// stops, arrows within a group, Enter for the default push button, Escape as
// IDCANCEL, and mnemonics.
#include "window.h"

#include <cctype>

namespace standin {
namespace user32 {
namespace {

bool TakesFocus(const Window *window) {
  return window->alive && (window->style & WS_VISIBLE) && !(window->style & WS_DISABLED);
}

int IndexOf(const Window *dialog, const Window *child) {
  for (size_t i = 0; i < dialog->children.size(); ++i)
    if (dialog->children[i] == child) return static_cast<int>(i);
  return -1;
}

// The letter after '&' in a control's text, or 0; "&&" is a literal '&'.
int MnemonicOf(const Window *control) {
  if (control->kind == Kind::kStatic && (control->style & SS_NOPREFIX)) return 0;
  const std::string &text = control->text;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsCp932LeadByte(c)) {
      ++i;
      continue;
    }
    if (c == '&' && i + 1 < text.size()) {
      unsigned char next = static_cast<unsigned char>(text[i + 1]);
      if (next == '&') {
        ++i;
        continue;
      }
      if (IsCp932LeadByte(next)) return 0;
      return std::tolower(next);
    }
  }
  return 0;
}

void FocusFromKeyboard(Window *control) {
  FocusFromDialogManager(control);
  if (Send(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) Send(control, EM_SETSEL, 0, -1);
}

bool HandleMnemonic(Window *dialog, int ch) {
  ch = std::tolower(ch);
  const auto &children = dialog->children;
  int count = static_cast<int>(children.size());
  int start = Focus() && Focus()->parent == dialog ? IndexOf(dialog, Focus()) : -1;
  for (int step = 1; step <= count; ++step) {
    Window *control = children[static_cast<size_t>((start + step + count) % count)];
    if (!TakesFocus(control) || MnemonicOf(control) != ch) continue;
    if (control->kind == Kind::kButton) {
      DWORD type = control->style & BS_TYPEMASK;
      if (type == BS_GROUPBOX) {
        // A group box's mnemonic leads into its group.
        Window *next = NextTabItem(dialog, control, false);
        if (next) FocusFromKeyboard(next);
      } else {
        // A push button too takes the focus, as a click gives it.
        FocusFromDialogManager(control);
        ClickButton(control);
      }
      return true;
    }
    if (control->kind == Kind::kStatic) {
      // A label's mnemonic focuses the control after it.
      for (int k = IndexOf(dialog, control) + 1; k < count; ++k) {
        Window *next = children[static_cast<size_t>(k)];
        if (TakesFocus(next) && next->kind != Kind::kStatic) {
          FocusFromKeyboard(next);
          break;
        }
      }
      return true;
    }
    // Only buttons and labels carry mnemonics: an edit's text is the user's.
  }
  return false;
}

void SendCommandFor(Window *dialog, int id) {
  Window *control = ControlWithId(dialog, id);
  Send(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control ? ToHandle(control) : nullptr));
}

void PressEnter(Window *dialog, Window *focus, LRESULT code) {
  if (focus != nullptr && focus->parent == dialog && (code & DLGC_DEFPUSHBUTTON) && IsEnabledChain(focus)) {
    SendCommandFor(dialog, focus->id);
    return;
  }
  LRESULT def = Send(dialog, DM_GETDEFID, 0, 0);
  if (HIWORD(def) == DC_HASDEFID) {
    Window *button = ControlWithId(dialog, LOWORD(def));
    if (button != nullptr && !(button->style & WS_DISABLED)) SendCommandFor(dialog, LOWORD(def));
    return;
  }
  SendCommandFor(dialog, IDOK);
}

bool Dispatch(MSG *msg) {
  TranslateMessage(msg);
  DispatchMessageA(msg);
  return true;
}

}  // namespace

void FocusFromDialogManager(Window *control) {
  MoveFocus(control);
  // The look follows the control chosen, though a handler of its focus may
  // have sent the focus on.
  Window *dialog = control->parent;
  if (dialog != nullptr && dialog->kind == Kind::kDialog)
    Send(dialog, kMsgControlFocused, reinterpret_cast<WPARAM>(ToHandle(control)), 0);
}

Window *NextTabItem(Window *dialog, Window *from, bool previous) {
  const auto &children = dialog->children;
  int count = static_cast<int>(children.size());
  if (count == 0) return nullptr;
  int start = from ? IndexOf(dialog, from) : (previous ? count : -1);
  if (start < 0) start = previous ? count : -1;
  for (int step = 1; step <= count; ++step) {
    int index = previous ? start - step : start + step;
    index = ((index % count) + count) % count;
    Window *candidate = children[static_cast<size_t>(index)];
    if ((candidate->style & WS_TABSTOP) && TakesFocus(candidate)) return candidate;
  }
  return nullptr;
}

Window *NextGroupItem(Window *dialog, Window *from, bool previous) {
  const auto &children = dialog->children;
  int index = IndexOf(dialog, from);
  if (index < 0) return nullptr;
  int first = index;
  while (first > 0 && !(children[static_cast<size_t>(first)]->style & WS_GROUP)) --first;
  int last = index + 1;
  while (last < static_cast<int>(children.size()) && !(children[static_cast<size_t>(last)]->style & WS_GROUP)) ++last;
  int size = last - first;
  for (int step = 1; step < size; ++step) {
    int offset = (index - first + (previous ? -step : step) + size * 2) % size;
    Window *candidate = children[static_cast<size_t>(first + offset)];
    if (TakesFocus(candidate) && candidate->kind != Kind::kStatic &&
        !(candidate->kind == Kind::kButton && (candidate->style & BS_TYPEMASK) == BS_GROUPBOX))
      return candidate;
  }
  return nullptr;
}

}  // namespace user32
}  // namespace standin

using namespace standin::user32;

BOOL WINAPI IsDialogMessageA(HWND hDlg, LPMSG lpMsg) {
  Window *dialog = FromHandle(hDlg);
  if (dialog == nullptr || lpMsg == nullptr) return FALSE;
  Window *target = FromHandle(lpMsg->hwnd);
  if (target == nullptr || (target != dialog && target->parent != dialog)) return FALSE;

  UINT message = lpMsg->message;
  bool keyboard = message == WM_KEYDOWN || message == WM_CHAR || message == WM_SYSCHAR;
  if (!keyboard) return Dispatch(lpMsg);
  // Input for a window that cannot take it is swallowed.
  if (!IsEnabledChain(target)) return TRUE;

  LRESULT code = target != dialog ? Send(target, WM_GETDLGCODE, lpMsg->wParam, reinterpret_cast<LPARAM>(lpMsg)) : 0;
  if (code & DLGC_WANTMESSAGE) return Dispatch(lpMsg);

  if (message == WM_SYSCHAR) {
    if (HandleMnemonic(dialog, static_cast<int>(lpMsg->wParam))) return TRUE;
    return Dispatch(lpMsg);
  }
  if (message == WM_CHAR) {
    if (!(code & DLGC_WANTCHARS) && HandleMnemonic(dialog, static_cast<int>(lpMsg->wParam))) return TRUE;
    return Dispatch(lpMsg);
  }

  KeyState keys = CurrentKeyState();
  Window *focus = target != dialog ? target : nullptr;
  switch (lpMsg->wParam) {
    case VK_TAB: {
      if (code & DLGC_WANTTAB) break;
      Window *next = NextTabItem(dialog, focus, keys.shift);
      if (next != nullptr) FocusFromKeyboard(next);
      return TRUE;
    }
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: {
      if (code & DLGC_WANTARROWS) break;
      if (focus == nullptr) return TRUE;
      bool previous = lpMsg->wParam == VK_LEFT || lpMsg->wParam == VK_UP;
      Window *next = NextGroupItem(dialog, focus, previous);
      if (next == nullptr) return TRUE;
      FocusFromDialogManager(next);
      // An automatic radio button that takes the focus from the keyboard is
      // checked, as a click would check it.
      if (IsAutoRadio(next)) ClickButton(next);
      return TRUE;
    }
    case VK_RETURN:
      PressEnter(dialog, focus, code);
      return TRUE;
    case VK_ESCAPE:
      SendCommandFor(dialog, IDCANCEL);
      return TRUE;
    default:
      break;
  }
  return Dispatch(lpMsg);
}
