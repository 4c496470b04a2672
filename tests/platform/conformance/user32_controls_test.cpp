// SPDX-License-Identifier: GPL-3.0-or-later
// The standard controls' messages as the program and the front ends use them.
#include "conformance.h"
#include "dialog_driver.h"

#include <string>

namespace {

using conformance::g_commands;
using conformance::TakeCommands;
using conformance::TestDialog;
using conformance::TextOf;

std::vector<int> RadiosChecked(const TestDialog &dialog) {
  return {dialog.Checked(20), dialog.Checked(21), dialog.Checked(22)};
}

// BM_SETCHECK sets the state alone (no notification, no other radio cleared); on a radio it makes the checked one a tab
// stop and an unchecked one none; a check box keeps its style. BM_CLICK clicks as the mouse does: an automatic radio
// clears its group. Space clicks the focused button when it is released: a check box toggles, a push button sends its
// command.
CONFORMANCE_CASE(CheckStateTabStopsAndClicks) {
  TestDialog dialog("DLG_CONTROLS");
  SendMessageA(dialog.Item(20), BM_SETCHECK, BST_CHECKED, 0);
  SendMessageA(dialog.Item(22), BM_SETCHECK, BST_CHECKED, 0);
  CHECK(RadiosChecked(dialog) == (std::vector<int>{BST_CHECKED, BST_UNCHECKED, BST_CHECKED}));
  CHECK(dialog.TabStop(20));
  CHECK(g_commands.empty());

  SendMessageA(dialog.Item(21), BM_CLICK, 0, 0);
  CHECK(RadiosChecked(dialog) == (std::vector<int>{BST_UNCHECKED, BST_CHECKED, BST_UNCHECKED}));
  CHECK(!dialog.TabStop(20) && dialog.TabStop(21));
  CHECK((SendMessageA(dialog.Item(21), BM_GETSTATE, 0, 0) & BST_PUSHED) == 0);  // let go with the click
  CHECK(TakeCommands() == std::vector<WPARAM>{MAKEWPARAM(21, BN_CLICKED)});

  const LONG_PTR box_style = GetWindowLongPtrA(dialog.Item(30), GWL_STYLE);
  CHECK(GetWindowLongPtrA(nullptr, GWL_STYLE) == 0 && GetLastError() == ERROR_INVALID_WINDOW_HANDLE);
  for (WPARAM state : {BST_CHECKED, BST_UNCHECKED}) {
    SendMessageA(dialog.Item(30), BM_SETCHECK, state, 0);
    CHECK_EQ(GetWindowLongPtrA(dialog.Item(30), GWL_STYLE), box_style);
  }

  SetFocus(dialog.Item(30));
  for (int state : {BST_CHECKED, BST_UNCHECKED}) {
    dialog.Press(VK_SPACE);
    CHECK_EQ(dialog.Checked(30), state);
  }
  SetFocus(dialog.Item(70));
  dialog.Press(VK_SPACE);
  CHECK(g_commands == (std::vector<WPARAM>{MAKEWPARAM(30, BN_CLICKED), MAKEWPARAM(30, BN_CLICKED), 70}));
}

// An edit refuses what passes its limit and, with ES_NUMBER, what is not a digit; ES_UPPERCASE upper-cases what is
// typed. EM_SETSEL and EM_GETSEL give byte offsets, -1 meaning the end, start and end put in order.
CONFORMANCE_CASE(EditLimitsAndSelection) {
  TestDialog dialog("DLG_CONTROLS");
  SendMessageA(dialog.Item(10), EM_LIMITTEXT, 3, 0);
  SetFocus(dialog.Item(10));
  dialog.Type("a\tbcd");  // a control character types nothing
  CHECK_EQ(TextOf(dialog.Item(10)), std::string("ABC"));

  SetFocus(dialog.Item(11));
  dialog.Type("1x2");
  CHECK_EQ(TextOf(dialog.Item(11)), std::string("12"));
  // Delete takes a double-byte character whole.
  SetWindowTextA(dialog.Item(11), "\x82\xA0\x31\x32");  // "あ12"
  SendMessageA(dialog.Item(11), EM_SETSEL, 0, 0);
  dialog.Press({VK_DELETE, VK_DELETE});
  CHECK_EQ(TextOf(dialog.Item(11)), std::string("2"));

  // GetDlgItemInt: a sign when signed, nothing past UINT_MAX.
  BOOL whole = FALSE;
  SetWindowTextA(dialog.Item(11), "-5");
  CHECK_EQ(static_cast<int>(GetDlgItemInt(dialog.window(), 11, nullptr, TRUE)), -5);
  SetWindowTextA(dialog.Item(11), "4294967296");
  CHECK(GetDlgItemInt(dialog.window(), 11, &whole, FALSE) == 0 && !whole);
  SetWindowTextA(dialog.Item(11), nullptr);  // no text
  CHECK_EQ(GetWindowTextLengthA(dialog.Item(11)), 0);
  SetWindowTextA(dialog.Item(11), "42");
  CHECK(GetDlgItemInt(dialog.window(), 11, &whole, FALSE) == 42 && whole);
  CHECK(GetDlgItemInt(dialog.window(), 99, &whole, FALSE) == 0 && !whole);

  DWORD start = 9, end = 9;
  SendMessageA(dialog.Item(10), EM_SETSEL, 1, -1);
  SendMessageA(dialog.Item(10), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  CHECK(start == 1 && end == 3);
  SendMessageA(dialog.Item(10), EM_SETSEL, 2, 0);
  const LRESULT both = SendMessageA(dialog.Item(10), EM_GETSEL, 0, 0);
  CHECK(LOWORD(both) == 0 && HIWORD(both) == 2);
  SetFocus(dialog.Item(10));
  SendMessageA(dialog.Item(10), EM_SETSEL, 0, 1);
  dialog.Type("z");
  CHECK_EQ(TextOf(dialog.Item(10)), std::string("ZBC"));
}

// A list box with extended selection: LB_SETSEL selects one item or (-1) all, LB_GETSELITEMS gives the selected indices
// ascending up to the buffer's size. A drop-down list's CB_SETCURSEL selects one item or (-1) none.
CONFORMANCE_CASE(ListBoxAndComboBoxSelection) {
  TestDialog dialog("DLG_CONTROLS");
  HWND list = dialog.Item(40);
  for (const char *day : {"Mo", "Tu", "We", "Th"}) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(day));
  SendMessageA(list, LB_SETSEL, TRUE, 3);
  SendMessageA(list, LB_SETSEL, TRUE, 1);
  CHECK_EQ(SendMessageA(list, LB_GETSELCOUNT, 0, 0), 2);
  int selected[4] = {-1, -1, -1, -1};
  CHECK_EQ(SendMessageA(list, LB_GETSELITEMS, 1, reinterpret_cast<LPARAM>(selected)), 1);
  CHECK(selected[0] == 1 && selected[1] == -1);
  SendMessageA(list, LB_SETSEL, TRUE, -1);
  CHECK_EQ(SendMessageA(list, LB_GETSELITEMS, 4, reinterpret_cast<LPARAM>(selected)), 4);
  SendMessageA(list, LB_SETSEL, FALSE, -1);
  CHECK_EQ(SendMessageA(list, LB_GETSELCOUNT, 0, 0), 0);
  CHECK_EQ(SendMessageA(list, LB_SETSEL, TRUE, 4), LB_ERR);
  char text[8] = "";
  CHECK_EQ(SendMessageA(list, LB_GETTEXT, 4, reinterpret_cast<LPARAM>(text)), LB_ERR);
  // The list tells its focus; Left and Right move the caret as Up and Down do in a list of one column, selecting the
  // caret's item alone.
  SetFocus(list);
  SendMessageA(list, LB_SETCARETINDEX, 2, FALSE);
  dialog.Press(VK_LEFT);
  CHECK(SendMessageA(list, LB_GETCARETINDEX, 0, 0) == 1 && SendMessageA(list, LB_GETSELCOUNT, 0, 0) == 1);
  dialog.Press(VK_RIGHT);
  CHECK(SendMessageA(list, LB_GETCARETINDEX, 0, 0) == 2 && SendMessageA(list, LB_GETSEL, 2, 0) > 0);
  CHECK(TakeCommands() == (std::vector<WPARAM>{MAKEWPARAM(40, LBN_SETFOCUS), MAKEWPARAM(40, LBN_SELCHANGE),
                                               MAKEWPARAM(40, LBN_SELCHANGE)}));
  CHECK_EQ(SendMessageA(list, LB_SETTOPINDEX, 1, 0), 0);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  CHECK_EQ(SendMessageA(list, LB_GETTOPINDEX, 0, 0), 0);

  HWND combo = dialog.Item(50);
  SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("PM"));
  CHECK_EQ(SendMessageA(combo, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>("AM")), 0);
  CHECK_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  CHECK_EQ(SendMessageA(combo, CB_SETCURSEL, 1, 0), 1);
  CHECK_EQ(TextOf(combo), std::string("PM"));
  char item[8] = {};
  CHECK_EQ(SendMessageA(combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(item)), 2);
  CHECK_EQ(std::string(item), std::string("AM"));
  CHECK_EQ(SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0), CB_ERR);
  CHECK_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  CHECK_EQ(TextOf(combo), std::string());
  CHECK(g_commands.empty());
  // A typed letter selects the item that starts with it.
  SetFocus(combo);
  dialog.Type("p");
  CHECK_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 1);
  // Up selects the item before the selected one.
  SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("XX"));
  SendMessageA(combo, CB_SETCURSEL, 2, 0);
  dialog.Press(VK_UP);
  CHECK_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 1);
}

}  // namespace
