// SPDX-License-Identifier: GPL-3.0-or-later
// The thread's message queue: posted messages, queued input, the quit flag,
// and the retrieval that hands control to the driver when nothing is left.
#include "window.h"

#include <standin/call_log.h>
#include <standin/driver.h>

#include <deque>

namespace standin {
namespace user32 {
namespace {

using standin::ActiveWindow;

struct QueuedMessage {
  MSG msg{};
  bool is_input = false;
  bool to_focus = false;  // keyboard input: addressed when it is retrieved
  KeyState keys;
};

std::deque<QueuedMessage> g_queue;
bool g_quit_pending = false;
int g_quit_code = 0;
KeyState g_key_state;

bool Matches(const QueuedMessage &queued, HWND filter, UINT low, UINT high) {
  if (filter != nullptr && queued.msg.hwnd != filter) return false;
  if (low == 0 && high == 0) return true;
  return queued.msg.message >= low && queued.msg.message <= high;
}

// Posted messages come first, then the quit flag, then input, as on the
// platform (input queued after PostQuitMessage is never seen).
bool Retrieve(MSG *out, HWND filter, UINT low, UINT high, bool *quit) {
  *quit = false;
  for (auto it = g_queue.begin(); it != g_queue.end(); ++it) {
    if (!it->is_input && Matches(*it, filter, low, high)) {
      *out = it->msg;
      g_queue.erase(it);
      return true;
    }
  }
  if (g_quit_pending) {
    g_quit_pending = false;
    *out = MSG{};
    out->message = WM_QUIT;
    out->wParam = static_cast<WPARAM>(g_quit_code);
    *quit = true;
    return true;
  }
  for (auto it = g_queue.begin(); it != g_queue.end(); ++it) {
    if (it->to_focus) {
      // Keyboard input goes to the window that has the focus when the
      // message is taken from the queue, as on the platform.
      Window *target = Focus();
      if (target == nullptr) target = FromHandle(ActiveWindow());
      it->msg.hwnd = target ? ToHandle(target) : nullptr;
    }
    if (it->is_input && Matches(*it, filter, low, high)) {
      *out = it->msg;
      g_key_state = it->keys;
      g_queue.erase(it);
      return true;
    }
  }
  return false;
}

}  // namespace

void Post(Window *window, UINT message, WPARAM wparam, LPARAM lparam, bool is_input) {
  QueuedMessage queued;
  queued.msg.hwnd = window ? ToHandle(window) : nullptr;
  queued.msg.message = message;
  queued.msg.wParam = wparam;
  queued.msg.lParam = lparam;
  queued.is_input = is_input;
  queued.keys = g_key_state;
  g_queue.push_back(queued);
}

void PostKey(Window *target, UINT message, WPARAM key, KeyState state) {
  QueuedMessage queued;
  queued.msg.hwnd = ToHandle(target);
  queued.to_focus = true;
  queued.msg.message = message;
  queued.msg.wParam = key;
  queued.msg.lParam = state.alt ? (1 << 29) | 1 : 1;
  queued.is_input = true;
  queued.keys = state;
  g_queue.push_back(queued);
}

KeyState CurrentKeyState() { return g_key_state; }

void SetKeyState(KeyState keys) { g_key_state = keys; }

void ClearQueue() { g_queue.clear(); }

void RequestQuit(int code) {
  g_quit_pending = true;
  g_quit_code = code;
}

void ResetQueueState() {
  g_queue.clear();
  g_quit_pending = false;
  g_quit_code = 0;
  g_key_state = KeyState();
}

LRESULT Send(Window *window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (window == nullptr || !window->alive || window->proc == nullptr) return 0;
  return window->proc(ToHandle(window), message, wparam, lparam);
}

}  // namespace user32

bool IsQueueEmpty() { return user32::g_queue.empty() && !user32::g_quit_pending; }

}  // namespace standin

using standin::user32::FromHandle;
using standin::user32::Window;

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  if (lpMsg == nullptr) return -1;
  for (;;) {
    bool quit = false;
    if (standin::user32::Retrieve(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, &quit)) return quit ? FALSE : TRUE;
    standin::Driver *driver = standin::CurrentDriver();
    if (driver == nullptr) {
      // Nobody will ever give input: end the loop as a quit would.
      *lpMsg = MSG{};
      lpMsg->message = WM_QUIT;
      return FALSE;
    }
    driver->WaitForInput();
  }
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
  // Only taking messages out is served (PM_REMOVE), never looking at them.
  if (lpMsg == nullptr || !(wRemoveMsg & PM_REMOVE)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  bool quit = false;
  return standin::user32::Retrieve(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, &quit) ? TRUE : FALSE;
}

SHORT WINAPI GetKeyState(int nVirtKey) {
  standin::user32::KeyState keys = standin::user32::CurrentKeyState();
  bool down = (nVirtKey == VK_SHIFT && keys.shift) || (nVirtKey == VK_CONTROL && keys.ctrl) ||
              (nVirtKey == VK_MENU && keys.alt);
  return down ? static_cast<SHORT>(0x8000) : 0;
}

// The modifier keys are the only ones the stand-in's controls read.
BOOL WINAPI SetKeyboardState(LPBYTE lpKeyState) {
  if (lpKeyState == nullptr) return FALSE;
  standin::user32::SetKeyState(
      {(lpKeyState[VK_SHIFT] & 0x80) != 0, (lpKeyState[VK_CONTROL] & 0x80) != 0, (lpKeyState[VK_MENU] & 0x80) != 0});
  return TRUE;
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  Window *window = nullptr;
  if (hWnd != nullptr) {
    window = FromHandle(hWnd);
    if (window == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
  }
  standin::user32::Post(window, Msg, wParam, lParam, false);
  return TRUE;
}

void WINAPI PostQuitMessage(int nExitCode) {
  if (standin::user32::Recording()) standin::RecordCall("PostQuitMessage", "", "code=" + std::to_string(nExitCode));
  standin::user32::RequestQuit(nExitCode);
}

BOOL WINAPI TranslateMessage(const MSG *lpMsg) {
  if (lpMsg == nullptr) return FALSE;
  Window *window = FromHandle(lpMsg->hwnd);
  if (window == nullptr) return FALSE;
  if (lpMsg->message != WM_KEYDOWN && lpMsg->message != WM_SYSKEYDOWN) return FALSE;
  standin::user32::KeyState keys = standin::user32::CurrentKeyState();
  UINT key = static_cast<UINT>(lpMsg->wParam);
  int ch = -1;
  if (key >= 'A' && key <= 'Z') {
    if (keys.ctrl && !keys.alt)
      ch = static_cast<int>(key - 'A' + 1);
    else
      ch = keys.shift ? static_cast<int>(key) : static_cast<int>(key - 'A' + 'a');
  } else if (key >= '0' && key <= '9' && !keys.ctrl) {
    ch = static_cast<int>(key);
  } else if (key == VK_BACK || key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE || key == VK_SPACE) {
    ch = static_cast<int>(key);
  }
  if (ch < 0) return FALSE;
  // Characters made with Alt are system characters (menu and mnemonic keys).
  // Like any posted message, the character comes before further queued input.
  standin::user32::Post(window, lpMsg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR, static_cast<WPARAM>(ch),
                        lpMsg->lParam, false);
  return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG *lpMsg) {
  if (lpMsg == nullptr) return 0;
  Window *window = FromHandle(lpMsg->hwnd);
  if (window == nullptr) return 0;
  // User input never reaches a window that cannot take it (disabled itself,
  // or inside a disabled window).
  UINT message = lpMsg->message;
  bool user_input = (message >= WM_KEYDOWN && message <= WM_SYSCHAR) ||
                    (message >= WM_LBUTTONDOWN && message <= WM_LBUTTONDBLCLK) ||
                    message == standin::user32::kMsgUserSelect || message == standin::user32::kMsgUserReplaceText ||
                    message == standin::user32::kMsgUserAnswerBox;
  if (user_input && !standin::user32::IsEnabledChain(window)) return 0;
  return standin::user32::Send(window, message, lpMsg->wParam, lpMsg->lParam);
}
