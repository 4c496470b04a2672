// SPDX-License-Identifier: GPL-3.0-or-later
// The suite on Windows or Wine: templates from the exe's own resources.
#include "test_host.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

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

// Our netapi32.dll reads the file VELMORA_NETWORK names at its first call;
// the file lies in the temporary folder and goes when the run ends.
bool BindNetwork(const char *network_text) {
  static const bool bound = [network_text] {
    char folder[MAX_PATH], path[MAX_PATH];
    if (GetTempPathA(sizeof folder, folder) == 0 || GetTempFileNameA(folder, "vnw", 0, path) == 0) return false;
    FILE *file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    const std::string text = network_text;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    std::fclose(file);
    static const std::string removal = path;
    std::atexit([] {
      DeleteFileA(removal.c_str());
      DeleteFileA((removal + ".lock").c_str());
    });
    if (!written || _putenv(("VELMORA_NETWORK=" + std::string(path)).c_str()) != 0) {
      std::fprintf(stderr, "cannot name the network file %s\n", path);
      return false;
    }
    return true;
  }();
  return bound;
}

}  // namespace conformance
