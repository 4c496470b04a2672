// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog manager's keys, modal dialogs, message boxes and the window
// life cycle, as the platform documents them.
#include "ui_test_support.h"

#include <standin/driver.h>

#include <string>

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
  SetLastError(0);
  EXPECT_EQ(SetFocus(Item(10)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
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

TEST_F(DialogTest, ArrowsMoveTheCheckWithinARadioGroup) {
  CheckDlgButton(dialog_, 20, BST_CHECKED);
  SetFocus(Item(20));
  PressKey(VK_DOWN);
  Pump();
  EXPECT_EQ(GetDlgCtrlID(FocusWindow()), 21);
  EXPECT_EQ(IsDlgButtonChecked(dialog_, 21), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dialog_, 20), BST_UNCHECKED);
  PressKey(VK_UP);
  PressKey(VK_UP);  // wraps within the group, never into the check box
  Pump();
  EXPECT_EQ(GetDlgCtrlID(FocusWindow()), 22);
  EXPECT_EQ(g_commands, (std::vector<WPARAM>{21, 20, 22}));
}

// (In an edit the letter is typed: every typed command line shows it.)
TEST_F(DialogTest, MnemonicsWithAltAndWithoutItWhereCharactersAreNotWanted) {
  SetFocus(Item(10));
  PressKey('M', false, false, /*alt=*/true);
  Pump();
  EXPECT_EQ(IsDlgButtonChecked(dialog_, 21), BST_CHECKED);
  EXPECT_EQ(GetDlgCtrlID(FocusWindow()), 21);
  // The focus is on a radio button, which does not want characters: the
  // letter alone is a mnemonic.
  PressKey('A');
  Pump();
  EXPECT_TRUE(Saw(70));
}

TEST_F(DialogTest, TemplatesNamingUnavailableClassesFail) {
  EXPECT_EQ(CreateDialogParamA(instance_, "DLG_NO_CLASS", nullptr, RecordingDialogProc, 0), nullptr);
  EXPECT_EQ(DialogBoxParamA(instance_, "DLG_NO_CLASS", dialog_, RecordingDialogProc, 0), -1);
  EXPECT_EQ(CreateDialogParamA(instance_, "DLG_MISSING", nullptr, RecordingDialogProc, 0), nullptr);
  standin::ResetUserInterface();  // forgets InitCommonControls
  instance_ = standin::LoadModule(ui_test_res, ui_test_res_size);
  EXPECT_EQ(CreateDialogParamA(instance_, "DLG_CONTROLS", nullptr, RecordingDialogProc, 0), nullptr);
  INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
  EXPECT_TRUE(InitCommonControlsEx(&icc));
  EXPECT_NE(CreateDialogParamA(instance_, "DLG_CONTROLS", nullptr, RecordingDialogProc, 0), nullptr);
}

// A driver that answers message boxes and ends modal dialogs from the outside.
class ScriptedDriver : public standin::Driver {
 public:
  HWND modal_owner = nullptr;
  bool owner_enabled_in_box = true;
  bool owner_enabled_in_dialog = true;
  void WaitForInput() override {
    std::vector<HWND> boxes = standin::OpenMessageBoxes();
    if (!boxes.empty()) {
      owner_enabled_in_box = IsWindowEnabled(standin::OwnerOf(boxes.back()));
      standin::AnswerMessageBox(boxes.back(), IDNO);
      return;
    }
    HWND active = standin::ActiveWindow();
    owner_enabled_in_dialog = IsWindowEnabled(standin::OwnerOf(active));
    PressKey(VK_ESCAPE);
  }
};

INT_PTR CALLBACK ModalProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_COMMAND && wparam == IDCANCEL) {
    EndDialog(dialog, 5);
    return TRUE;
  }
  return message == WM_INITDIALOG;
}

TEST_F(DialogTest, ModalDialogAndMessageBoxDisableTheirOwnerWhileOpen) {
  EXPECT_EQ(MessageBoxA(dialog_, "q", "c", MB_YESNO | MB_DEFBUTTON2), IDNO);  // no driver: the default button
  EXPECT_EQ(MessageBoxA(dialog_, "q", "c", MB_YESNO), IDYES);
  ScriptedDriver driver;
  standin::SetDriver(&driver);
  SetFocus(Item(70));
  EXPECT_EQ(MessageBoxA(dialog_, "q", "c", MB_YESNO), IDNO);
  EXPECT_FALSE(driver.owner_enabled_in_box);
  EXPECT_TRUE(IsWindowEnabled(dialog_));
  INT_PTR result = DialogBoxParamA(instance_, "DLG_CONTROLS", dialog_, ModalProc, 0);
  standin::SetDriver(nullptr);
  EXPECT_EQ(result, 5);
  EXPECT_FALSE(driver.owner_enabled_in_dialog);
  EXPECT_TRUE(IsWindowEnabled(dialog_));
  EXPECT_EQ(FocusWindow(), Item(70));  // the owner's focus comes back
  EXPECT_EQ(standin::TopLevelWindows().size(), 1u);
}

}  // namespace
