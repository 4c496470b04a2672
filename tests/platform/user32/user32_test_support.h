// SPDX-License-Identifier: GPL-3.0-or-later
// Shared set-up of the user-interface tests: the test dialog's resources,
// a dialog procedure that records commands, and a message pump.
#ifndef VELMORA_TESTS_PLATFORM_USER32_USER32_TEST_SUPPORT_H
#define VELMORA_TESTS_PLATFORM_USER32_USER32_TEST_SUPPORT_H

#include <windows.h>
#include <commctrl.h>

#include <standin/ui.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

extern "C" const unsigned char user32_test_res[];
extern "C" const unsigned long user32_test_res_size;

// Commands the test dialog received, as whole wParam values.
inline std::vector<WPARAM> g_commands;

inline INT_PTR CALLBACK RecordingDialogProc(HWND, UINT message, WPARAM wparam, LPARAM) {
  const WORD code = HIWORD(wparam);
  const bool edit_notification = code == EN_SETFOCUS || code == EN_KILLFOCUS || code == EN_CHANGE || code == EN_UPDATE;
  if (message == WM_COMMAND && !edit_notification) g_commands.push_back(wparam);
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    standin::ResetUserInterface();
    InitCommonControls();
    instance_ = standin::LoadModule(user32_test_res, user32_test_res_size);
    ASSERT_NE(instance_, nullptr);
    dialog_ = CreateDialogParamA(instance_, "DLG_CONTROLS", nullptr, RecordingDialogProc, 0);
    ASSERT_NE(dialog_, nullptr);
    g_commands.clear();
  }
  void TearDown() override { standin::ResetUserInterface(); }
  // Runs every queued message through the dialog manager, as a dialog's loop does.
  void Pump() {
    MSG msg;
    while (!standin::IsQueueEmpty() && GetMessageA(&msg, nullptr, 0, 0)) {
      if (!IsDialogMessageA(dialog_, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
  }
  HWND Item(int id) { return GetDlgItem(dialog_, id); }
  bool Saw(WPARAM command) const {
    return std::find(g_commands.begin(), g_commands.end(), command) != g_commands.end();
  }

  HINSTANCE instance_ = nullptr;
  HWND dialog_ = nullptr;
};

#endif
