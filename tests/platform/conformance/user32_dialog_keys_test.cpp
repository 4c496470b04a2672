// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog manager's keys as IsDialogMessage gives them.
#include "conformance.h"
#include "dialog_driver.h"

namespace {

using conformance::g_commands;
using conformance::Saw;
using conformance::TakeCommands;
using conformance::TestDialog;

std::vector<int> TabWalk(const TestDialog &dialog, int steps, bool shift) {
  std::vector<int> visited;
  while (steps-- > 0) visited.push_back((dialog.Press(VK_TAB, shift), dialog.FocusId()));
  return visited;
}

// A dialog given the focus passes it to its first tab stop. Tab visits the enabled tab stops in template order and
// wraps; Shift+Tab walks back. A radio group is a tab stop once one of its radios is checked (BM_SETCHECK gives the
// checked radio WS_TABSTOP), and leaves the order again when none is.
CONFORMANCE_CASE(TabFollowsTabStopsThatChangeAtRunTime) {
  TestDialog dialog("DLG_CONTROLS");
  EnableWindow(dialog.Item(40), FALSE);
  SetFocus(dialog.window());
  CHECK(TabWalk(dialog, 8, false) == (std::vector<int>{11, 30, 50, 60, 1, 70, 2, 10}));
  CHECK(TabWalk(dialog, 2, true) == (std::vector<int>{2, 70}));

  CheckRadioButton(dialog.window(), 20, 22, 21);
  CHECK(dialog.TabStop(21));
  SetFocus(dialog.Item(11));
  CHECK(TabWalk(dialog, 2, false) == (std::vector<int>{21, 30}));
  CHECK(TabWalk(dialog, 2, true) == (std::vector<int>{21, 11}));

  SendMessageA(dialog.Item(21), BM_SETCHECK, BST_UNCHECKED, 0);
  CHECK(!dialog.TabStop(21));
  CHECK(TabWalk(dialog, 1, false) == std::vector<int>{30});
}

// Arrows move within the group from WS_GROUP to WS_GROUP, wrapping and passing disabled radios; an automatic radio that
// takes the focus so is checked, and the others of its group are cleared.
CONFORMANCE_CASE(ArrowsMoveAndCheckWithinARadioGroup) {
  TestDialog dialog("DLG_CONTROLS");
  CheckRadioButton(dialog.window(), 20, 22, 20);
  SetFocus(dialog.Item(20));
  dialog.Press(VK_DOWN);
  CHECK(dialog.FocusId() == 21 && dialog.Checked(21) == BST_CHECKED && dialog.Checked(20) == BST_UNCHECKED);
  EnableWindow(dialog.Item(22), FALSE);
  dialog.Press(VK_RIGHT);
  CHECK_EQ(dialog.FocusId(), 20);  // 22 is disabled: wrapped to the group's first
  dialog.Press(VK_UP);
  CHECK(dialog.FocusId() == 21 && dialog.Checked(21) == BST_CHECKED);
  CHECK(dialog.TabStop(21) && !dialog.TabStop(20));
  CHECK(Saw(MAKEWPARAM(21, BN_CLICKED)));
}

// Enter presses the focused push button when the dialog manager took the focus there (Tab, an arrow, WM_NEXTDLGCTL),
// which makes it the default one; SetFocus alone does not (DM_SETDEFID's remarks: SetFocus leaves the default style,
// WM_NEXTDLGCTL moves it), so Enter then presses the dialog's default button. It is pressed from an edit too, and not
// when it is disabled; Escape is IDCANCEL.
INT_PTR CALLBACK RedirectingProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND && wparam == MAKEWPARAM(10, EN_SETFOCUS)) SetFocus(GetDlgItem(window, 11));
  if (message == WM_USER) return SetWindowLongPtrA(window, DWLP_MSGRESULT, 42), TRUE;  // a message it answers
  return conformance::RecordingDialogProc(window, message, wparam, lparam);
}

CONFORMANCE_CASE(EnterPressesTheFocusedPushButtonElseTheDefaultOne) {
  TestDialog dialog("DLG_CONTROLS");
  SendMessageA(dialog.window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(dialog.Item(70)), TRUE);
  CHECK_EQ(dialog.DialogCode(70), DLGC_BUTTON | DLGC_DEFPUSHBUTTON);
  dialog.Press({VK_RETURN, VK_TAB});
  dialog.Press(VK_TAB, /*shift=*/true);
  dialog.Press({VK_RETURN, VK_RIGHT, VK_RETURN});
  CHECK(TakeCommands() == (std::vector<WPARAM>{70, 70, IDCANCEL}));

  SendMessageA(dialog.window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(dialog.Item(10)), TRUE);
  // Naming no control, it moves to the next tab stop, or with wParam set the previous one.
  SendMessageA(dialog.window(), WM_NEXTDLGCTL, 0, FALSE);
  CHECK_EQ(dialog.FocusId(), 11);
  SendMessageA(dialog.window(), WM_NEXTDLGCTL, 1, FALSE);
  CHECK_EQ(dialog.FocusId(), 10);
  SetFocus(dialog.Item(70));
  CHECK_EQ(dialog.DialogCode(70), DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON);
  dialog.Press(VK_RETURN);
  SetFocus(dialog.Item(10));
  dialog.Press(VK_RETURN);
  CHECK(TakeCommands() == (std::vector<WPARAM>{IDOK, IDOK}));

  SendMessageA(dialog.window(), DM_SETDEFID, 70, 0);
  dialog.Press({VK_RETURN, VK_ESCAPE});
  CHECK(TakeCommands() == (std::vector<WPARAM>{70, IDCANCEL}));
  EnableWindow(dialog.Item(70), FALSE);
  dialog.Press(VK_RETURN);
  CHECK(g_commands.empty());
  // Without a default id, the push button with the default look is the default.
  SendMessageA(dialog.window(), DM_SETDEFID, 0, 0);
  SendMessageA(dialog.window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(dialog.Item(2)), TRUE);
  CHECK_EQ(SendMessageA(dialog.window(), DM_GETDEFID, 0, 0), MAKELONG(2, DC_HASDEFID));
  // The look follows WM_NEXTDLGCTL's control, though its focus is sent on.
  TestDialog redirecting("DLG_CONTROLS", RedirectingProcedure);
  SendMessageA(redirecting.window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(redirecting.Item(70)), TRUE);
  SendMessageA(redirecting.window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(redirecting.Item(10)), TRUE);
  CHECK(redirecting.FocusId() == 11 && redirecting.DialogCode(1) == (DLGC_BUTTON | DLGC_DEFPUSHBUTTON));
  CHECK_EQ(SendMessageA(redirecting.window(), WM_USER, 0, 0), 42);  // the procedure's DWLP_MSGRESULT
}

// A window whose procedure is DefWindowProc's, run through IsDialogMessage: DefWindowProc answers DM_GETDEFID with 0
// and moves no default look, so a focused push button stays an undefault one and Enter sends IDOK, whatever has the
// focus. Escape is IDCANCEL; typing tells the edit's parent.
LRESULT CALLBACK MainProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  conformance::RecordCommand(message, wparam);
  return DefWindowProcA(window, message, wparam, lparam);
}

CONFORMANCE_CASE(EnterInAWindowOfDefWindowProcSendsIdOk) {
  const WNDCLASSA window_class = {0,       MainProcedure, 0,       DLGWINDOWEXTRA, conformance::TestModule(),
                                  nullptr, nullptr,       nullptr, nullptr,        "ConformanceMain"};
  RegisterClassA(&window_class);
  TestDialog main("DLG_MAIN", reinterpret_cast<DLGPROC>(MainProcedure));
  REQUIRE(main.window() != nullptr);
  CHECK_EQ(SendMessageA(main.window(), DM_GETDEFID, 0, 0), 0);

  SetFocus(main.Item(70));
  CHECK_EQ(main.DialogCode(70), DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON);
  main.Press(VK_RETURN);
  SetFocus(main.Item(10));
  main.Press('A', /*shift=*/true);
  CHECK_EQ(conformance::TextOf(main.Item(10)), std::string("A"));
  main.Press({VK_RETURN, VK_ESCAPE});
  CHECK(TakeCommands() ==
        (std::vector<WPARAM>{IDOK, MAKEWPARAM(10, EN_UPDATE), MAKEWPARAM(10, EN_CHANGE), IDOK, IDCANCEL}));

  // A push button the focus reaches keeps its own look: the template's default button stays the default one.
  CHECK_EQ(main.DialogCode(71), DLGC_BUTTON | DLGC_DEFPUSHBUTTON);
  // Tab with no tab stop left moves nothing; the window that lost its focus stays active, and hears nothing of an
  // EnableWindow that changes nothing.
  for (int id : {10, 70, 71}) EnableWindow(main.Item(id), FALSE);
  EnableWindow(main.window(), TRUE);
  main.Press(VK_TAB);
  CHECK(GetFocus() == nullptr && g_commands.empty());
  CHECK(LoadIconA(conformance::TestModule(), "DLG_MAIN") == nullptr);
}

// A mnemonic typed with Alt acts wherever the focus is; typed without Alt it acts where the focus does not take
// characters, and an edit keeps it as text. A radio's mnemonic focuses and checks it, a check box's toggles it, a push
// button's focuses and presses it.
CONFORMANCE_CASE(MnemonicsWithAndWithoutAlt) {
  TestDialog dialog("DLG_CONTROLS");
  SetFocus(dialog.Item(10));
  dialog.Type("m", /*alt=*/true);
  CHECK(dialog.FocusId() == 21 && dialog.Checked(21) == BST_CHECKED);
  dialog.Type("w");
  CHECK(dialog.FocusId() == 30 && dialog.Checked(30) == BST_CHECKED);
  dialog.Type("a");  // the push button takes the focus, as a click gives it
  CHECK(Saw(70) && dialog.FocusId() == 70);

  SetFocus(dialog.Item(10));
  dialog.Type("t");
  CHECK(dialog.FocusId() == 10 && dialog.Checked(20) == BST_UNCHECKED);
  CHECK_EQ(conformance::TextOf(dialog.Item(10)), std::string("T"));
  // An edit's text is no mnemonic.
  SetWindowTextA(dialog.Item(10), "&x");
  SetFocus(dialog.Item(30));
  dialog.Type("x");
  CHECK_EQ(dialog.FocusId(), 30);
}

// A modal dialog, shown and active though it took no focus, disables its owner while it runs; once it ends, the focus
// goes back to the control of its owner that had it.
INT_PTR CALLBACK EndingProcedure(HWND window, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_ACTIVATE && LOWORD(wparam) != WA_INACTIVE) PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  if (message == WM_COMMAND && LOWORD(wparam) == IDCANCEL) EndDialog(window, 7);
  return message == WM_COMMAND;
}

CONFORMANCE_CASE(FocusReturnsToTheOwnerAfterAModalDialogEnds) {
  TestDialog owner("DLG_CONTROLS");
  SetFocus(owner.Item(11));
  CHECK_EQ(DialogBoxParamA(conformance::TestModule(), "DLG_CONTROLS", owner.window(), EndingProcedure, 0), 7);
  CHECK(IsWindowEnabled(owner.window()));
  CHECK(Saw(conformance::Told(WM_ENABLE, FALSE)) && Saw(conformance::Told(WM_ENABLE, TRUE)));
  owner.Pump();
  CHECK_EQ(owner.FocusId(), 11);
  // A window without an owner that goes leaves the activation, and so the focus, to the one active before it.
  { TestDialog other("DLG_CONTROLS"); }
  owner.Pump();
  CHECK_EQ(owner.FocusId(), 11);
  {
    TestDialog other("DLG_CONTROLS");
    SendMessageA(other.window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(other.Item(70)), TRUE);
    SendMessageA(owner.window(), DM_SETDEFID, 70, 0);
    CHECK_EQ(owner.DialogCode(70), DLGC_BUTTON | DLGC_DEFPUSHBUTTON);
    SendMessageA(owner.window(), WM_NEXTDLGCTL, 1, FALSE);
    CHECK(GetFocus() == owner.Item(2));
    // A hidden window shown with SW_RESTORE, SW_SHOW or SW_SHOWNORMAL is activated.
    for (int command : {SW_RESTORE, SW_SHOW}) {
      SetFocus(owner.Item(11));
      ShowWindow(other.window(), SW_HIDE);
      ShowWindow(other.window(), command);
      CHECK(GetParent(GetFocus()) == other.window());
    }
    ShowWindow(owner.window(), SW_HIDE);
    ShowWindow(owner.window(), SW_SHOWNORMAL);
    CHECK_EQ(owner.FocusId(), 11);
  }
}

}  // namespace
