// SPDX-License-Identifier: GPL-3.0-or-later
// The suite on Windows or Wine: templates from the exe's own resources, and
// a case's windows destroyed through the platform.
#include "test_host.h"

#include <commctrl.h>

namespace conformance {
namespace {

BOOL CALLBACK DestroyOne(HWND window, LPARAM) {
  DestroyWindow(window);
  return TRUE;
}

}  // namespace

HINSTANCE TestModule() { return GetModuleHandleA(nullptr); }

void ResetUserInterface() {
  InitCommonControls();
  EnumThreadWindows(GetCurrentThreadId(), DestroyOne, 0);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
  BYTE keys[256] = {};
  SetKeyboardState(keys);
}

// Wine's ntdll exports its version; Windows' does not.
bool RunsOnWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace conformance
