// SPDX-License-Identifier: GPL-3.0-or-later
// Shared set-up of the user-interface tests: the test dialog's resources,
// a dialog procedure that records commands, and a message pump.
#ifndef VELMORA_TESTS_PLATFORM_UI_SUPPORT_H
#define VELMORA_TESTS_PLATFORM_UI_SUPPORT_H

#include <windows.h>
#include <commctrl.h>

#include <standin/ui.h>

#include <gtest/gtest.h>

#include <vector>

extern "C" const unsigned char ui_test_res[];
extern "C" const unsigned long ui_test_res_size;

// Commands the test dialog received, as whole wParam values.
extern std::vector<WPARAM> g_commands;
extern INT_PTR CALLBACK RecordingDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Runs every queued message through the dialog manager, as a dialog's loop does.
  void Pump();
  HWND Item(int id) { return GetDlgItem(dialog_, id); }
  bool Saw(WPARAM command) const;

  HINSTANCE instance_ = nullptr;
  HWND dialog_ = nullptr;
};

#endif
