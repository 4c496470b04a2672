// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog manager's keys, its templates and message boxes, as the
// platform documents them.
#include "user32_test_support.h"

namespace {

using standin::FocusWindow;
using standin::IsDefaultButton;
using standin::PressKey;

// A disabled window cannot take the focus; with no focus, keys reach the
// dialog, whose Tab goes to the first tab stop. Tab then visits the tab stops
// in template order, skipping radios without WS_TABSTOP and disabled
// controls, and wraps.
TEST_F(DialogTest, TabVisitsEnabledTabStopsInTemplateOrder) {
  SetFocus(nullptr);
  EnableWindow(Item(10), FALSE);
  EnableWindow(Item(40), FALSE);
  SetFocus(Item(10));
  EXPECT_EQ(FocusWindow(), nullptr);
  std::vector<int> visited;
  for (int i = 0; i < 8; ++i) {
    PressKey(VK_TAB);
    Pump();
    visited.push_back(GetDlgCtrlID(FocusWindow()));
  }
  EXPECT_EQ(visited, (std::vector<int>{11, 30, 50, 60, 1, 70, 2, 11}));
  PressKey(VK_TAB, /*shift=*/true);
  Pump();
  EXPECT_EQ(GetDlgCtrlID(FocusWindow()), 2);
}

// (Enter in an edit pressing the default button is played by the scenarios.)
TEST_F(DialogTest, EnterGoesToTheFocusedPushButtonElseTheDefaultOne) {
  SetFocus(Item(70));
  EXPECT_TRUE(IsDefaultButton(Item(70)));  // the default look follows the focus
  EXPECT_FALSE(IsDefaultButton(Item(1)));
  PressKey(VK_RETURN);
  Pump();
  EXPECT_EQ(g_commands, std::vector<WPARAM>{70});

  SetFocus(Item(11));
  EXPECT_TRUE(IsDefaultButton(Item(1)));  // and returns to the dialog's default button
  EXPECT_FALSE(IsDefaultButton(Item(70)));
  g_commands.clear();
  EnableWindow(Item(1), FALSE);
  PressKey(VK_RETURN);
  Pump();
  EXPECT_TRUE(g_commands.empty());  // a disabled default button is not pressed
}

TEST_F(DialogTest, TemplatesNamingUnavailableClassesFail) {
  EXPECT_EQ(CreateDialogParamA(instance_, "DLG_NO_CLASS", nullptr, RecordingDialogProc, 0), nullptr);
  EXPECT_EQ(DialogBoxParamA(instance_, "DLG_NO_CLASS", dialog_, RecordingDialogProc, 0), -1);
  standin::ResetUserInterface();  // forgets InitCommonControls
  instance_ = standin::LoadModule(user32_test_res, user32_test_res_size);
  EXPECT_EQ(CreateDialogParamA(instance_, "DLG_CONTROLS", nullptr, RecordingDialogProc, 0), nullptr);
  INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
  EXPECT_TRUE(InitCommonControlsEx(&icc));
  EXPECT_NE(CreateDialogParamA(instance_, "DLG_CONTROLS", nullptr, RecordingDialogProc, 0), nullptr);
}

// (A box and a modal dialog disabling their owner, and the owner's focus
// coming back, are played by the runner's dialog_and_box, on_disabled_window
// and on_owner_of_a_dialog.) With no driver to answer it, as in the
// program's benchmark, a box returns its default button.
TEST_F(DialogTest, AMessageBoxWithoutADriverAnswersWithItsDefaultButton) {
  EXPECT_EQ(MessageBoxA(dialog_, "q", "c", MB_YESNO | MB_DEFBUTTON2), IDNO);
  EXPECT_EQ(MessageBoxA(dialog_, "q", "c", MB_YESNO), IDYES);
}

}  // namespace
