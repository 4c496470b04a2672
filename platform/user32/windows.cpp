// SPDX-License-Identifier: GPL-3.0-or-later
// Window registry, window classes, and the window functions of USER32 that
// act on one window: text, focus, enabling, showing, destruction.
#include "window.h"

#include <standin/call_log.h>

#include <algorithm>
#include <cstdio>
#include <cctype>
#include <memory>
#include <unordered_set>

namespace standin {
namespace user32 {
namespace {

std::unordered_set<Window *> g_live;
std::vector<std::unique_ptr<Window>> g_all;  // live and retired windows
std::vector<Window *> g_top_levels;
Window *g_focus = nullptr;

struct WindowClass {
  std::string name;
  WNDCLASSA info{};
  ATOM atom = 0;
  ControlDataFactory make_data;  // a control class of another library
};
std::vector<WindowClass> g_classes;
ATOM g_next_atom = 0xC000;

bool SameName(const std::string &a, const std::string &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace

Window *FromHandle(HWND handle) {
  if (handle == nullptr) return nullptr;
  auto *window = reinterpret_cast<Window *>(handle);
  return g_live.count(window) ? window : nullptr;
}

Window *NewWindow() {
  g_all.push_back(std::make_unique<Window>());
  Window *window = g_all.back().get();
  g_live.insert(window);
  return window;
}

void RetireWindow(Window *window) {
  window->alive = false;
  g_live.erase(window);
  if (g_focus == window) g_focus = nullptr;
  auto &tops = g_top_levels;
  tops.erase(std::remove(tops.begin(), tops.end(), window), tops.end());
}

void ResetWindows() {
  g_live.clear();
  g_top_levels.clear();
  g_all.clear();
  g_focus = nullptr;
  g_classes.clear();
}

std::vector<Window *> &TopLevels() { return g_top_levels; }

Window *Focus() { return g_focus; }
void ForgetFocus() { g_focus = nullptr; }

Window *TopLevelOf(Window *window) {
  while (window != nullptr && window->parent != nullptr) window = window->parent;
  return window;
}

bool IsEnabledChain(Window *window) {
  for (; window != nullptr; window = window->parent)
    if (window->style & WS_DISABLED) return false;
  return true;
}

}  // namespace user32

int ListNavigationTarget(WPARAM key, int from, int count, int page) {
  int start = from < 0 ? 0 : from;
  switch (key) {
    case VK_UP:
      return std::max(0, from - 1);
    case VK_DOWN:
      return from < 0 ? 0 : std::min(count - 1, from + 1);
    case VK_HOME:
      return 0;
    case VK_END:
      return count - 1;
    case VK_PRIOR:
      return std::max(0, start - page + 1);
    case VK_NEXT:
      return std::min(count - 1, start + page - 1);
    default:
      return -1;
  }
}

namespace user32 {

Window *ControlWithId(Window *dialog, int id) {
  if (dialog == nullptr) return nullptr;
  for (Window *child : dialog->children)
    if (child->alive && child->id == id) return child;
  return nullptr;
}

void SetEnabled(Window *window, bool enable) {
  if (((window->style & WS_DISABLED) == 0) == enable) return;
  if (enable)
    window->style &= ~static_cast<DWORD>(WS_DISABLED);
  else
    window->style |= WS_DISABLED;
  if (!enable && Focus() == window) MoveFocus(nullptr);
  Send(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
}

void MoveFocus(Window *window) {
  if (g_focus == window) return;
  // The focus goes into an inactive top-level window only by activating it.
  if (window != nullptr && TopLevelOf(window) != ActiveTop()) {
    Activate(TopLevelOf(window));
    if (g_focus == window || !window->alive) return;
  }
  Window *old = g_focus;
  g_focus = window;
  if (old != nullptr && old->alive) Send(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(ToHandle(window)), 0);
  if (window != nullptr && g_focus == window) Send(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(ToHandle(old)), 0);
}

bool Recording() { return IsCallRecording(); }

std::string Describe(Window *window) {
  if (window == nullptr) return "window=none";
  if (window->parent != nullptr) return "id=" + std::to_string(window->id);
  return "window=" + (window->template_name.empty() ? window->class_name : window->template_name);
}

const WNDCLASSA *FindClass(const std::string &name) {
  for (const auto &cls : g_classes)
    if (SameName(cls.name, name)) return &cls.info;
  return nullptr;
}

std::string RegisteredClassName(const std::string &name) {
  for (const auto &cls : g_classes)
    if (SameName(cls.name, name)) return cls.name;
  return name;
}

std::unique_ptr<ControlData> MakeControlData(const std::string &class_name) {
  for (const auto &cls : g_classes)
    if (SameName(cls.name, class_name) && cls.make_data) return cls.make_data();
  return nullptr;
}

}  // namespace user32

void RegisterControlClass(const std::string &name, WNDPROC proc, ControlDataFactory make_data) {
  if (user32::FindClass(name) != nullptr) return;
  user32::WindowClass cls;
  cls.name = name;
  cls.info.lpfnWndProc = proc;
  cls.atom = user32::g_next_atom++;
  cls.make_data = std::move(make_data);
  user32::g_classes.push_back(cls);
}

ControlData *ControlDataOf(HWND window) {
  user32::Window *w = user32::FromHandle(window);
  return w != nullptr ? w->control_data.get() : nullptr;
}

void TakeFocus(HWND control) { user32::MoveFocus(user32::FromHandle(control)); }

}  // namespace standin

using namespace standin::user32;

namespace {

void RecordSend(const char *function, Window *window, UINT message, WPARAM wparam) {
  if (!Recording()) return;
  standin::RecordCall(function, "",
                      Describe(window) + " msg=" + standin::MessageName(message) + " wparam=" + std::to_string(wparam));
}

int CopyText(const std::string &text, LPSTR buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
  // Never leave half of a double-byte character at the end.
  size_t i = 0;
  while (i < n) {
    size_t step = standin::IsCp932LeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    if (i + step > n) break;
    i += step;
  }
  text.copy(buffer, i);
  buffer[i] = '\0';
  return static_cast<int>(i);
}

// The show commands that activate the window they show.
bool ShowCommandActivates(int command) {
  return command == SW_SHOWNORMAL || command == SW_SHOWMINIMIZED || command == SW_SHOWMAXIMIZED || command == SW_SHOW ||
         command == SW_RESTORE || command == SW_SHOWDEFAULT;
}

void DestroyTree(Window *window) {
  Send(window, WM_DESTROY, 0, 0);
  // Owned top-level windows go with their owner, as on the platform.
  for (Window *top : std::vector<Window *>(TopLevels()))
    if (top->owner == window && top->alive) DestroyTree(top);
  for (Window *child : window->children)
    if (child->alive) DestroyTree(child);
  Send(window, WM_NCDESTROY, 0, 0);
  RetireWindow(window);
  if (window->parent == nullptr) ActivateNext(window);
}

}  // namespace

ATOM WINAPI RegisterClassA(const WNDCLASSA *lpWndClass) {
  std::string name = lpWndClass && lpWndClass->lpszClassName && !IS_INTRESOURCE(lpWndClass->lpszClassName)
                         ? lpWndClass->lpszClassName
                         : "";
  if (Recording()) standin::RecordCall("RegisterClassA", "", "class=" + name);
  if (lpWndClass == nullptr || lpWndClass->lpfnWndProc == nullptr || name.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (FindClass(name) != nullptr) {
    SetLastError(1410);  // ERROR_CLASS_ALREADY_EXISTS
    return 0;
  }
  WindowClass cls;
  cls.name = name;
  cls.info = *lpWndClass;
  cls.info.lpszClassName = nullptr;  // the caller's string need not outlive the call
  cls.atom = g_next_atom++;
  g_classes.push_back(cls);
  return cls.atom;
}

BOOL WINAPI IsWindow(HWND hWnd) { return FromHandle(hWnd) != nullptr; }

BOOL WINAPI DestroyWindow(HWND hWnd) {
  Window *window = FromHandle(hWnd);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (window->parent != nullptr) {
    auto &siblings = window->parent->children;
    DestroyTree(window);
    siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
  } else {
    DestroyTree(window);
  }
  return TRUE;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
  Window *window = FromHandle(hWnd);
  if (Recording()) standin::RecordCall("ShowWindow", "", Describe(window) + " cmd=" + std::to_string(nCmdShow));
  if (window == nullptr) return FALSE;
  BOOL was_visible = (window->style & WS_VISIBLE) ? TRUE : FALSE;
  if (nCmdShow == SW_HIDE)
    window->style &= ~static_cast<DWORD>(WS_VISIBLE);
  else
    window->style |= WS_VISIBLE;
  if (window->parent == nullptr) {
    if (nCmdShow == SW_HIDE)
      ActivateNext(window);
    else if (ShowCommandActivates(nCmdShow) && !(window->style & WS_DISABLED))
      Activate(window);
  }
  return was_visible;
}

BOOL WINAPI UpdateWindow(HWND hWnd) {
  Window *window = FromHandle(hWnd);
  if (Recording()) standin::RecordCall("UpdateWindow", "", Describe(window));
  if (window == nullptr) return FALSE;
  Send(window, WM_PAINT, 0, 0);
  return TRUE;
}

HWND WINAPI SetFocus(HWND hWnd) {
  Window *window = FromHandle(hWnd);
  if (Recording()) standin::RecordCall("SetFocus", "", Describe(window));
  if (hWnd != nullptr && window == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // A disabled window cannot take the keyboard focus; the focus stays where it was.
  if (window != nullptr && !IsEnabledChain(window)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Window *old = Focus();
  MoveFocus(window);
  return old ? ToHandle(old) : nullptr;
}

HWND WINAPI GetFocus(void) { return Focus() ? ToHandle(Focus()) : nullptr; }

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
  Window *control = ControlWithId(FromHandle(hDlg), nIDDlgItem);
  if (control == nullptr) SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return control ? ToHandle(control) : nullptr;
}

int WINAPI GetDlgCtrlID(HWND hWnd) {
  Window *window = FromHandle(hWnd);
  return window && window->parent ? window->id : 0;
}

HWND WINAPI GetParent(HWND hWnd) {
  Window *window = FromHandle(hWnd);
  if (window == nullptr) return nullptr;
  if (window->parent) return ToHandle(window->parent);
  return window->owner ? ToHandle(window->owner) : nullptr;
}

BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
  Window *window = FromHandle(hWnd);
  if (Recording()) standin::RecordCall("EnableWindow", "", Describe(window) + " enable=" + (bEnable ? "1" : "0"));
  if (window == nullptr) return FALSE;
  BOOL was_disabled = (window->style & WS_DISABLED) ? TRUE : FALSE;
  SetEnabled(window, bEnable != FALSE);
  return was_disabled;
}

BOOL WINAPI IsWindowEnabled(HWND hWnd) {
  Window *window = FromHandle(hWnd);
  return window && !(window->style & WS_DISABLED);
}

BOOL WINAPI IsWindowVisible(HWND hWnd) {
  Window *window = FromHandle(hWnd);
  for (; window != nullptr; window = window->parent)
    if (!(window->style & WS_VISIBLE)) return FALSE;
  return hWnd != nullptr && FromHandle(hWnd) != nullptr;
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
  Window *window = FromHandle(hWnd);
  if (window == nullptr) return FALSE;
  // A null text reaches the window as WM_SETTEXT gives it: every procedure takes it as no text.
  return Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) ? TRUE : FALSE;
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
  Window *window = FromHandle(hWnd);
  if (window == nullptr || lpString == nullptr || nMaxCount <= 0) return 0;
  return static_cast<int>(Send(window, WM_GETTEXT, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
}

int WINAPI GetWindowTextLengthA(HWND hWnd) {
  Window *window = FromHandle(hWnd);
  return window ? static_cast<int>(Send(window, WM_GETTEXTLENGTH, 0, 0)) : 0;
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  Window *window = FromHandle(hWnd);
  RecordSend("SendMessageA", window, Msg, wParam);
  return window ? Send(window, Msg, wParam, lParam) : 0;
}

LRESULT WINAPI SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam) {
  Window *control = ControlWithId(FromHandle(hDlg), nIDDlgItem);
  if (Recording())
    standin::RecordCall(
        "SendDlgItemMessageA", "",
        "id=" + std::to_string(nIDDlgItem) + " msg=" + standin::MessageName(Msg) + " wparam=" + std::to_string(wParam));
  return control ? Send(control, Msg, wParam, lParam) : 0;
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  Window *window = FromHandle(hWnd);
  if (window == nullptr) return 0;
  switch (Msg) {
    case WM_SETTEXT:
      window->text = lParam ? reinterpret_cast<LPCSTR>(lParam) : "";
      return TRUE;
    case WM_GETTEXT:
      return CopyText(window->text, reinterpret_cast<LPSTR>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(window->text.size());
    case WM_CLOSE:
      DestroyWindow(hWnd);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) Send(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_ACTIVATE:
      // An activated window that is not minimised takes the keyboard focus
      // itself; which of its controls had it is not remembered.
      if (LOWORD(wParam) != WA_INACTIVE && !(window->style & WS_MINIMIZE) && IsEnabledChain(window)) MoveFocus(window);
      return 0;
    case kMsgUserSelect: {
      // The user's selection (SelectItems) takes the focus to the control, as
      // the mouse does; the control applies it by its own rules.
      MoveFocus(window);
      if (window->pending_selections.empty()) return 0;
      const std::vector<int> indices = window->pending_selections.front();
      window->pending_selections.pop_front();
      Send(window, standin::kMsgApplyUserSelection, indices.size(), reinterpret_cast<LPARAM>(indices.data()));
      return 0;
    }
    default:
      return 0;
  }
}

BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString) {
  if (Recording())
    standin::RecordCall("SetDlgItemTextA", "",
                        "id=" + std::to_string(nIDDlgItem) + " text=" + (lpString ? lpString : ""));
  Window *control = ControlWithId(FromHandle(hDlg), nIDDlgItem);
  if (control == nullptr) return FALSE;
  return Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString ? lpString : "")) ? TRUE : FALSE;
}

UINT WINAPI GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax) {
  if (Recording())
    standin::RecordCall("GetDlgItemTextA", "", "id=" + std::to_string(nIDDlgItem) + " count=" + std::to_string(cchMax));
  Window *control = ControlWithId(FromHandle(hDlg), nIDDlgItem);
  if (lpString == nullptr || cchMax <= 0) return 0;
  if (control == nullptr) {
    lpString[0] = '\0';
    return 0;
  }
  return static_cast<UINT>(Send(control, WM_GETTEXT, static_cast<WPARAM>(cchMax), reinterpret_cast<LPARAM>(lpString)));
}

UINT WINAPI GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL *lpTranslated, BOOL bSigned) {
  if (Recording())
    standin::RecordCall("GetDlgItemInt", "", "id=" + std::to_string(nIDDlgItem) + " signed=" + (bSigned ? "1" : "0"));
  if (lpTranslated) *lpTranslated = FALSE;
  Window *control = ControlWithId(FromHandle(hDlg), nIDDlgItem);
  if (control == nullptr) return 0;
  std::string buffer(static_cast<size_t>(Send(control, WM_GETTEXTLENGTH, 0, 0)) + 1, '\0');
  Send(control, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(&buffer[0]));
  // Leading blanks are skipped and a minus sign is looked for only when
  // signed. Translation stops at the first character that is not a decimal
  // digit: the digits before it are the value, but anything other than
  // trailing blanks counts as an error for *lpTranslated. No digit at all, or
  // a value past INT_MAX (signed) or UINT_MAX, gives 0, not translated.
  const char *p = buffer.c_str();
  while (*p == ' ' || *p == '\t') ++p;
  bool negative = false;
  if (bSigned && *p == '-') {
    negative = true;
    ++p;
  }
  if (*p < '0' || *p > '9') return 0;
  unsigned long long value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + static_cast<unsigned>(*p - '0');
    if (value > 0xFFFFFFFFull) return 0;
  }
  while (*p == ' ' || *p == '\t') ++p;
  const BOOL whole = *p == '\0' ? TRUE : FALSE;
  if (bSigned) {
    if (negative ? value > 0x80000000ull : value > 0x7FFFFFFFull) return 0;
    if (lpTranslated) *lpTranslated = whole;
    return negative ? static_cast<UINT>(-static_cast<long long>(value)) : static_cast<UINT>(value);
  }
  if (lpTranslated) *lpTranslated = whole;
  return static_cast<UINT>(value);
}

BOOL WINAPI SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned) {
  std::string text = bSigned ? std::to_string(static_cast<int>(uValue)) : std::to_string(uValue);
  Window *control = ControlWithId(FromHandle(hDlg), nIDDlgItem);
  if (control == nullptr) return FALSE;
  return Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) ? TRUE : FALSE;
}

BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
  if (Recording())
    standin::RecordCall("CheckDlgButton", "", "id=" + std::to_string(nIDButton) + " check=" + std::to_string(uCheck));
  Window *control = ControlWithId(FromHandle(hDlg), nIDButton);
  if (control == nullptr) return FALSE;
  Send(control, BM_SETCHECK, uCheck, 0);
  return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton) {
  if (Recording()) standin::RecordCall("IsDlgButtonChecked", "", "id=" + std::to_string(nIDButton));
  Window *control = ControlWithId(FromHandle(hDlg), nIDButton);
  return control ? static_cast<UINT>(Send(control, BM_GETCHECK, 0, 0)) : 0;
}

BOOL WINAPI CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton) {
  Window *dialog = FromHandle(hDlg);
  if (dialog == nullptr) return FALSE;
  for (int id = nIDFirstButton; id <= nIDLastButton; ++id) {
    Window *control = ControlWithId(dialog, id);
    if (control) Send(control, BM_SETCHECK, id == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  return TRUE;
}
