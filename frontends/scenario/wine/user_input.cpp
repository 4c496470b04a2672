// SPDX-License-Identifier: GPL-3.0-or-later
#include "user_input.h"

namespace wine_player {
namespace {

void Key(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}

}  // namespace

void ClickAt(POINT screen, bool with_control) {
  // The window the platform gives a click at this point: disabled and
  // hidden windows pass it on to what lies below, HTTRANSPARENT ones too.
  HWND target = WindowFromPoint(screen);
  if (target == nullptr) return;
  DWORD_PTR hit = HTCLIENT;
  SendMessageTimeoutW(target, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y), SMTO_BLOCK, 10000, &hit);
  const WPARAM keys = with_control ? MK_CONTROL : 0;
  if (with_control) Key(VK_CONTROL, false);
  if (hit == HTCLIENT) {
    POINT client = screen;
    ScreenToClient(target, &client);
    PostMessageW(target, WM_MOUSEMOVE, keys, MAKELPARAM(client.x, client.y));
    PostMessageW(target, WM_LBUTTONDOWN, keys | MK_LBUTTON, MAKELPARAM(client.x, client.y));
    PostMessageW(target, WM_LBUTTONUP, keys, MAKELPARAM(client.x, client.y));
  } else {
    // The frame: the title bar's buttons track the button until it is
    // released.
    PostMessageW(target, WM_NCLBUTTONDOWN, hit, MAKELPARAM(screen.x, screen.y));
    POINT client = screen;
    ScreenToClient(target, &client);
    PostMessageW(target, WM_LBUTTONUP, keys, MAKELPARAM(client.x, client.y));
  }
  if (with_control) Key(VK_CONTROL, true);
}

bool ClickWindow(HWND window, bool with_control) {
  RECT rect{};
  GetWindowRect(window, &rect);
  const POINT middle{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  // A window that another one covers is brought to the front first, as a
  // person clicks it up; a disabled control is never what the point finds,
  // but its window must be there.
  HWND root = GetAncestor(window, GA_ROOT);
  auto there = [&] {
    HWND found = WindowFromPoint(middle);
    return IsWindowEnabled(window) ? found == window : found != nullptr && GetAncestor(found, GA_ROOT) == root;
  };
  if (!there()) {
    SetForegroundWindow(root);
    for (int tries = 0; tries < 80 && !there(); ++tries) Sleep(25);
    if (!there()) return false;
  }
  ClickAt(middle, with_control);
  return true;
}

POINT ClientToScreenPoint(HWND window, int x, int y) {
  POINT point{x, y};
  ClientToScreen(window, &point);
  return point;
}

void PressKey(WORD key, WORD modifier, WORD second_modifier) {
  if (modifier) Key(modifier, false);
  if (second_modifier) Key(second_modifier, false);
  Key(key, false);
  Key(key, true);
  if (second_modifier) Key(second_modifier, true);
  if (modifier) Key(modifier, true);
}

void TypeCharacters(const std::wstring &text) {
  for (wchar_t unit : text) {
    INPUT input[2] = {};
    for (int i = 0; i < 2; ++i) {
      input[i].type = INPUT_KEYBOARD;
      input[i].ki.wScan = static_cast<WORD>(unit);
      input[i].ki.dwFlags = KEYEVENTF_UNICODE | (i ? KEYEVENTF_KEYUP : 0);
    }
    SendInput(2, input, sizeof input[0]);
  }
}

}  // namespace wine_player
