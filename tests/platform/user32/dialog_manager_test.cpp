// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog manager's keys, modal dialogs, message boxes and the window
// life cycle, as the platform documents them.
#include "ui_test_support.h"

#include <standin/driver.h>

#include <algorithm>
#include <string>

namespace {

using standin::FocusWindow;
using standin::IsDefaultButton;
using standin::PressKey;

TEST_F(DialogTest, TabVisitsTabStopsInTemplateOrderSkippingDisabledOnes) {
  SetFocus(Item(10));
  std::vector<int> visited;
  EnableWindow(Item(40), FALSE);
  for (int i = 0; i < 8; ++i) {
    PressKey(VK_TAB);
    Pump();
    visited.push_back(GetDlgCtrlID(FocusWindow()));
  }
  // Radios without WS_TABSTOP and the disabled list are skipped; it wraps.
  EXPECT_EQ(visited, (std::vector<int>{11, 30, 50, 60, 1, 70, 2, 10}));
  PressKey(VK_TAB, /*shift=*/true);
  Pump();
  EXPECT_EQ(GetDlgCtrlID(FocusWindow()), 2);
}

TEST_F(DialogTest, DisabledWindowCannotTakeTheFocusAndTabStartsFromTheDialog) {
  SetFocus(nullptr);
  EnableWindow(Item(10), FALSE);
  SetLastError(0);
  EXPECT_EQ(SetFocus(Item(10)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(FocusWindow(), nullptr);
  // With no focus, keys reach the dialog, whose Tab goes to the first tab stop.
  PressKey(VK_TAB);
  Pump();
  EXPECT_EQ(GetDlgCtrlID(FocusWindow()), 11);
}

TEST_F(DialogTest, EnterGoesToTheFocusedPushButtonElseTheDefaultOne) {
  SetFocus(Item(10));
  PressKey(VK_RETURN);
  Pump();
  EXPECT_EQ(g_commands, std::vector<WPARAM>{IDOK});
  g_commands.clear();

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

std::vector<UINT> g_class_messages;
LRESULT CALLBACK TestClassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  g_class_messages.push_back(message);
  if (message == WM_INITDIALOG) return 0;
  return DefWindowProcA(window, message, wparam, lparam);
}

TEST_F(DialogTest, RegisteredClassGetsTheMessagesAndTheCloseBoxDestroysIt) {
  WNDCLASSA cls{};
  cls.lpfnWndProc = TestClassProc;
  cls.cbWndExtra = DLGWINDOWEXTRA;
  cls.lpszClassName = "TESTCLASS";
  ASSERT_NE(RegisterClassA(&cls), 0);
  EXPECT_EQ(RegisterClassA(&cls), 0);  // already registered
  g_class_messages.clear();
  HWND window = CreateDialogParamA(instance_, "DLG_WITH_CLASS", nullptr, reinterpret_cast<DLGPROC>(TestClassProc), 0);
  ASSERT_NE(window, nullptr);
  // The template's font comes before the initialisation.
  ASSERT_GE(g_class_messages.size(), 2u);
  EXPECT_EQ(g_class_messages[0], static_cast<UINT>(WM_SETFONT));
  EXPECT_EQ(g_class_messages[1], static_cast<UINT>(WM_INITDIALOG));
  EXPECT_NE(GetParent(FocusWindow()), window);  // WM_INITDIALOG returned 0: no focus set
  ASSERT_TRUE(standin::PressCloseBox(window));
  MSG msg;
  while (!standin::IsQueueEmpty() && GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_NE(std::find(g_class_messages.begin(), g_class_messages.end(), static_cast<UINT>(WM_DESTROY)),
            g_class_messages.end());
  EXPECT_FALSE(standin::PressCloseBox(dialog_ ? Item(1) : nullptr));  // a control has no close box
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

// A handled message returns what the procedure put in DWLP_MSGRESULT, not
// the procedure's TRUE; WM_INITDIALOG returns the procedure's own value.
INT_PTR CALLBACK ResultProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_USER + 1) SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 42);
  return message == WM_INITDIALOG || message == WM_USER + 1 || message == WM_USER + 2;
}

TEST_F(DialogTest, HandledMessagesReturnTheMessageResult) {
  HWND dialog = CreateDialogParamA(instance_, "DLG_CONTROLS", nullptr, ResultProc, 0);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(SendMessageA(dialog, WM_USER + 1, 0, 0), 42);
  EXPECT_EQ(SendMessageA(dialog, WM_USER + 2, 0, 0), 0);  // set to 0 before each message
  EXPECT_EQ(SendMessageA(dialog, WM_INITDIALOG, 0, 0), TRUE);
  EXPECT_EQ(SetWindowLongPtrA(Item(10), DWLP_MSGRESULT, 1), 0);  // controls have no message result
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
}

}  // namespace
