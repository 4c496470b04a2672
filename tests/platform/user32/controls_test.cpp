// SPDX-License-Identifier: GPL-3.0-or-later
// The standard controls as the program relies on them, each pinned to the
// platform's documented behaviour.
#include "user32_test_support.h"

#include <standin/text.h>

#include <string>
#include <tuple>

namespace {

using standin::ClickControl;
using standin::ClickItem;
using standin::PressKey;
using standin::ReplaceEditText;
using standin::SelectionOf;
using standin::TextOf;

// (A disabled control ignoring clicks and typing is played by the runner's
// dialog_and_box.) Input queued before the dialog was disabled is not
// delivered either.
TEST_F(DialogTest, ADisabledDialogTakesNoInputNotEvenInputQueuedBefore) {
  ClickControl(Item(30));
  EnableWindow(dialog_, FALSE);
  EXPECT_FALSE(ClickControl(Item(30)));
  EXPECT_FALSE(ReplaceEditText(Item(10), "X"));
  Pump();
  EXPECT_EQ(IsDlgButtonChecked(dialog_, 30), BST_UNCHECKED);
  EXPECT_EQ(TextOf(Item(10)), "");
  EXPECT_TRUE(g_commands.empty());
}

// The day lists' extended selection as a user makes it (the terminal front
// end's clicks; its keys in the lists are played by end_to_end.py). (What the
// program selects and reads with LB_SETSEL and LB_GETSELITEMS is played by
// editor_add and the other add_* and modify_* scenarios.)
TEST_F(DialogTest, ListBoxClicksFollowExtendedSelectionRules) {
  HWND list = Item(40);
  for (const char *day : {"Mo", "Tu", "We", "Th", "Fr", "Sa", "Su"})
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(day));
  ClickItem(list, 1);
  ClickItem(list, 3, /*shift=*/true);
  Pump();
  EXPECT_EQ(SelectionOf(list), (std::vector<int>{1, 2, 3}));
  ClickItem(list, 5, false, /*ctrl=*/true);
  ClickItem(list, 2, false, /*ctrl=*/true);
  Pump();
  EXPECT_EQ(SelectionOf(list), (std::vector<int>{1, 3, 5}));
  ClickItem(list, 6);
  Pump();
  EXPECT_EQ(SelectionOf(list), std::vector<int>{6});
  EXPECT_EQ(g_commands.size(), 5u);
  EXPECT_EQ(g_commands.back(), static_cast<WPARAM>(MAKEWPARAM(40, LBN_SELCHANGE)));
}

TEST_F(DialogTest, EditKeepsDoubleByteCharactersWhole) {
  SendDlgItemMessageA(dialog_, 10, EM_LIMITTEXT, 3, 0);
  std::string a = standin::Utf8ToCp932("あ"), i = standin::Utf8ToCp932("い");
  ReplaceEditText(Item(10), a + i);
  Pump();
  EXPECT_EQ(TextOf(Item(10)), a);  // the second character would pass the limit: refused whole
  SendDlgItemMessageA(dialog_, 10, EM_LIMITTEXT, 10, 0);
  ReplaceEditText(Item(10), "a" + a + "b");
  Pump();
  EXPECT_EQ(TextOf(Item(10)), "A" + a + "B");  // trail bytes are not upper-cased
  PressKey(VK_LEFT);
  PressKey(VK_BACK);
  Pump();
  EXPECT_EQ(TextOf(Item(10)), "AB");
  EXPECT_EQ(standin::CaretOf(Item(10)), 1u);
}

// (A paste past ES_NUMBER and cut by the limit is played by the scenarios
// paste_world_and_buffers and editor_paste_code_page_and_raw_records, Shift+
// Insert by the terminal driver test.) A paste cuts at a whole character;
// Shift+Delete cuts the selected bytes to the clipboard.
TEST_F(DialogTest, ClipboardCommands) {
  const std::string a = standin::Utf8ToCp932("あ");
  SendDlgItemMessageA(dialog_, 10, EM_LIMITTEXT, 4, 0);
  standin::PutTextOnClipboard(u"xあい\r\nz");
  standin::PasteIntoEdit(Item(10));
  Pump();
  EXPECT_EQ(TextOf(Item(10)), "X" + a);  // い would pass the limit: it is left out whole
  SendDlgItemMessageA(dialog_, 10, EM_SETSEL, 1, -1);
  PressKey(VK_DELETE, /*shift=*/true);
  Pump();
  EXPECT_EQ(TextOf(Item(10)), "X");
  EXPECT_EQ(standin::ClipboardText(), std::u16string(u"あ"));
  PressKey('V', false, /*ctrl=*/true);
  PressKey('V', false, /*ctrl=*/true);
  Pump();
  EXPECT_EQ(TextOf(Item(10)), "X" + a);  // the second paste finds the edit full
}

// Enter on a dropped list closes it instead of reaching the default button.
// (Down in the half-day list is played by end_to_end.py.)
TEST_F(DialogTest, EnterClosesADroppedDownList) {
  HWND combo = Item(50);
  SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("AM"));
  SetFocus(combo);
  PressKey(VK_F4);
  Pump();
  EXPECT_TRUE(standin::IsDroppedDown(combo));
  PressKey(VK_RETURN);
  Pump();
  EXPECT_FALSE(standin::IsDroppedDown(combo));
  EXPECT_FALSE(Saw(IDOK));
}

// (The rows the program fills and reads are played by every list_* scenario;
// insertion, cut texts and selection by the conformance suite.) Deleting a
// row before the focused one moves the focus with its row, where the arrow
// keys go on from; deleting the focused row ends it. A column that is not
// there is refused.
TEST_F(DialogTest, ListViewFocusFollowsDeletedRows) {
  HWND list = Item(60);
  for (const char *id : {"1", "2", "3", "4"}) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = 9;  // past the end: appended
    item.pszText = const_cast<LPSTR>(id);
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  }
  standin::SelectItems(list, {1});
  Pump();
  EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 1);
  SetFocus(list);
  PressKey(VK_END);
  PressKey(VK_UP);  // the focus on row "3", between others
  Pump();
  const auto after = [&](int deleted, WPARAM key) {
    SendMessageA(list, LVM_DELETEITEM, deleted, 0);
    PressKey(key);
    Pump();
    return SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
  };
  EXPECT_EQ(after(0, VK_UP), 0);    // from row "3", now row 1, up to "2"
  EXPECT_EQ(after(0, VK_DOWN), 0);  // "2" deleted with the focus: the first row
  LVCOLUMNA column{};
  column.mask = LVCF_WIDTH;
  EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&column)), FALSE);  // it has none
}

// Page Down moves the selection to the last row a page shows, then a page
// on, and scrolls to keep it shown; Page Up moves back. The list, 40 units
// tall, shows 4 rows of 10 pixels.
TEST_F(DialogTest, ListViewPagesByTheRowsItShows) {
  HWND list = Item(60);
  for (int row = 0; row < 30; ++row) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<LPSTR>("x");
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  }
  EXPECT_EQ(SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0), 4);
  SetFocus(list);
  for (const auto &[key, selected, top] : {std::tuple{VK_NEXT, 3, 0}, {VK_NEXT, 6, 3}, {VK_PRIOR, 3, 3}}) {
    PressKey(key);
    Pump();
    EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), selected);
    EXPECT_EQ(SendMessageA(list, LVM_GETTOPINDEX, 0, 0), top);
  }
}

}  // namespace
