// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui_test_support.h"

#include <algorithm>

std::vector<WPARAM> g_commands;

INT_PTR CALLBACK RecordingDialogProc(HWND, UINT message, WPARAM wparam, LPARAM) {
  WORD code = HIWORD(wparam);
  bool edit_notification = code == EN_SETFOCUS || code == EN_KILLFOCUS || code == EN_CHANGE || code == EN_UPDATE;
  if (message == WM_COMMAND && !edit_notification) g_commands.push_back(wparam);
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

void DialogTest::SetUp() {
  standin::ResetUserInterface();
  g_commands.clear();
  InitCommonControls();
  instance_ = standin::LoadModule(ui_test_res, ui_test_res_size);
  ASSERT_NE(instance_, nullptr);
  dialog_ = CreateDialogParamA(instance_, "DLG_CONTROLS", nullptr, RecordingDialogProc, 0);
  ASSERT_NE(dialog_, nullptr);
  g_commands.clear();
}

void DialogTest::TearDown() { standin::ResetUserInterface(); }

void DialogTest::Pump() {
  MSG msg;
  while (!standin::IsQueueEmpty()) {
    if (!GetMessageA(&msg, nullptr, 0, 0)) break;
    if (!IsDialogMessageA(dialog_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

bool DialogTest::Saw(WPARAM command) const {
  return std::find(g_commands.begin(), g_commands.end(), command) != g_commands.end();
}
