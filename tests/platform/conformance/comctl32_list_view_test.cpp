// SPDX-License-Identifier: GPL-3.0-or-later
// The list-view messages the program sends.
#include <windows.h>
#include <commctrl.h>

#include "conformance.h"
#include "dialog_driver.h"

#include <string>

namespace {

using conformance::TestDialog;

int InsertRow(HWND list, int row, const char *id, const char *command) {
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.pszText = const_cast<LPSTR>(id);
  item.iItem = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  item.iSubItem = 1;
  item.pszText = const_cast<LPSTR>(command);
  SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  return item.iItem;
}

std::string CellOf(HWND list, int row, int column) {
  char text[16] = {};
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return text;
}

LRESULT Selected(HWND list, int after = -1) {
  return SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(after), LVNI_SELECTED);
}

// A column not there is not widened. Rows go where asked, past the end appended. The arrow keys select one row (Shift
// alone changes nothing), found with LVNI_SELECTED after any row before it and not after itself; rows inserted at or
// before it carry the selection and the focus on with it, and none is left once every row is deleted. Its window text
// is DefWindowProc's.
CONFORMANCE_CASE(ListViewRowsTextsAndSelection) {
  TestDialog dialog("DLG_CONTROLS");
  HWND list = dialog.Item(60);
  SetWindowTextA(list, "List1");
  CHECK_EQ(GetWindowTextLengthA(list), 5);
  LVCOLUMNA width{};
  width.mask = LVCF_WIDTH;  // no column yet to widen
  CHECK_EQ(SendMessageA(list, LVM_SETCOLUMNA, 0, reinterpret_cast<LPARAM>(&width)), FALSE);
  for (int column = 0; column < 2; ++column) {
    LVCOLUMNA info{};
    info.mask = LVCF_TEXT | LVCF_WIDTH;
    info.cx = 40;
    info.pszText = const_cast<LPSTR>(column == 0 ? "ID" : "Command");
    CHECK_EQ(SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info)),
             column);
  }
  CHECK_EQ(InsertRow(list, 0, "2", "b.cmd"), 0);
  CHECK_EQ(InsertRow(list, 0, "1", "a.cmd"), 0);
  CHECK_EQ(InsertRow(list, 9, "3", "c.cmd"), 2);
  LVITEMA first{};  // a row's first text set again keeps its others
  first.mask = LVIF_TEXT;
  first.iItem = 2;
  first.pszText = const_cast<LPSTR>("3b");
  CHECK_EQ(SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&first)), TRUE);
  CHECK_EQ(CellOf(list, 1, 0), std::string("2"));
  CHECK_EQ(CellOf(list, 2, 0) + CellOf(list, 2, 1), std::string("3bc.cmd"));
  CHECK_EQ(CellOf(list, 3, 0), std::string(""));

  CHECK_EQ(Selected(list), -1);
  SetFocus(list);
  dialog.Press({VK_END, VK_UP, VK_SHIFT});
  CHECK_EQ(Selected(list), 1);
  CHECK_EQ(Selected(list, 0), 1);
  CHECK_EQ(Selected(list, 1), -1);
  InsertRow(list, 1, "0", "z.cmd");
  InsertRow(list, 0, "0", "y.cmd");
  InsertRow(list, 9, "4", "d.cmd");
  CHECK_EQ(Selected(list), 3);
  dialog.Press(VK_UP);
  CHECK_EQ(Selected(list), 2);
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
  CHECK_EQ(CellOf(list, 0, 0), std::string(""));
  CHECK_EQ(Selected(list), -1);
}

// A text is cut to the caller's buffer, whose size (cchTextMax) counts the terminating null (LVITEM's documentation); a
// buffer of no size is left, and a subitem with no text has an empty one.
CONFORMANCE_CASE(ListViewTextIsCutToTheCallersBuffer) {
  WINE_DEPARTS(
      "Wine's LVM_GETITEMTEXTA fills cchTextMax characters and no terminating null, where LVITEM's "
      "cchTextMax counts the terminating null");
  TestDialog dialog("DLG_CONTROLS");
  HWND list = dialog.Item(60);
  InsertRow(list, 0, "1", "a.cmd");
  char text[8] = "#######";
  LVITEMA item{};
  item.iSubItem = 1;
  item.pszText = text;
  item.cchTextMax = 3;
  CHECK_EQ(SendMessageA(list, LVM_GETITEMTEXTA, 0, reinterpret_cast<LPARAM>(&item)), 2);
  CHECK_EQ(std::string(text, 4), std::string("a.\0#", 4));
  item.cchTextMax = 0;
  CHECK_EQ(SendMessageA(list, LVM_GETITEMTEXTA, 0, reinterpret_cast<LPARAM>(&item)), 0);
  CHECK_EQ(text[0], 'a');
  item.iSubItem = 2;  // past the row's texts
  item.cchTextMax = 8;
  CHECK_EQ(SendMessageA(list, LVM_GETITEMTEXTA, 0, reinterpret_cast<LPARAM>(&item)), 0);
}

}  // namespace
