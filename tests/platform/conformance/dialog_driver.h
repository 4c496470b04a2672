// SPDX-License-Identifier: GPL-3.0-or-later
// Driving a test dialog through Win32 calls alone, as a dialog's loop runs it.
#ifndef VELMORA_TESTS_PLATFORM_CONFORMANCE_DIALOG_DRIVER_H
#define VELMORA_TESTS_PLATFORM_CONFORMANCE_DIALOG_DRIVER_H

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "test_host.h"

namespace conformance {

// Commands the test window received, as whole wParam values, the edits' focus notifications left out; among them its
// WM_ENABLE and WM_ACTIVATE, as Told(message, state).
inline std::vector<WPARAM> g_commands;

inline WPARAM Told(UINT message, WORD state) { return MAKEWPARAM(state, 0xF000 | message); }

inline void RecordCommand(UINT message, WPARAM wparam) {
  const WORD code = HIWORD(wparam);
  if (message == WM_COMMAND && code != EN_SETFOCUS && code != EN_KILLFOCUS) g_commands.push_back(wparam);
  if (message == WM_ENABLE || message == WM_ACTIVATE) g_commands.push_back(Told(message, LOWORD(wparam)));
}

inline INT_PTR CALLBACK RecordingDialogProc(HWND, UINT message, WPARAM wparam, LPARAM) {
  RecordCommand(message, wparam);
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

inline bool Saw(WPARAM command) { return std::find(g_commands.begin(), g_commands.end(), command) != g_commands.end(); }
// The commands received so far, forgotten.
inline std::vector<WPARAM> TakeCommands() { return std::exchange(g_commands, {}); }

// A shown modeless dialog from a template of conformance.rc, destroyed with the object.
class TestDialog {
 public:
  explicit TestDialog(const char *name, DLGPROC procedure = RecordingDialogProc)
      : window_(CreateDialogParamA(TestModule(), name, nullptr, procedure, 0)) {
    if (window_ != nullptr) ShowWindow(window_, SW_SHOW);
    Pump();
    g_commands.clear();
  }
  ~TestDialog() {
    if (IsWindow(window_)) DestroyWindow(window_);
  }
  TestDialog(const TestDialog &) = delete;
  TestDialog &operator=(const TestDialog &) = delete;

  HWND window() const { return window_; }
  HWND Item(int id) const { return GetDlgItem(window_, id); }
  int FocusId() const { return GetDlgCtrlID(GetFocus()); }
  int Checked(int id) const { return static_cast<int>(IsDlgButtonChecked(window_, id)); }
  bool TabStop(int id) const { return (GetWindowLongPtrA(Item(id), GWL_STYLE) & WS_TABSTOP) != 0; }
  LRESULT DialogCode(int id) const { return SendMessageA(Item(id), WM_GETDLGCODE, 0, 0); }
  // The focus, or the dialog when nothing has it.
  HWND Target() const { return GetFocus() ? GetFocus() : window_; }

  // Every queued message through the dialog manager, as a dialog's loop.
  void Pump() const {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!IsDialogMessageA(window_, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
  }

  // A key pressed and released at the target, with Shift held or not.
  void Press(UINT key, bool shift = false) const {
    BYTE keys[256] = {};
    if (shift) keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    PostMessageA(Target(), WM_KEYDOWN, key, 1);
    Pump();
    PostMessageA(Target(), WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
    Pump();
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
  }

  // Characters typed at the target, as TranslateMessage makes them: with Alt held system characters.
  void Type(const std::string &text, bool alt = false) const {
    for (char ch : text) {
      PostMessageA(Target(), alt ? WM_SYSCHAR : WM_CHAR, static_cast<unsigned char>(ch), alt ? (1 << 29) | 1 : 1);
      Pump();
    }
  }
  void Press(std::initializer_list<UINT> keys) const {
    for (UINT key : keys) Press(key);
  }

 private:
  HWND window_;
};

inline std::string TextOf(HWND window) {
  char text[64] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

}  // namespace conformance

#endif
