// SPDX-License-Identifier: GPL-3.0-or-later
// The stand-in's dialogs, message boxes and standard controls as the program relies on them, each pinned to the
// platform's documented behaviour. (The dialog manager's keys are cases of the conformance suite,
// tests/platform/conformance, played on Wine too.)
#include <windows.h>
#include <commctrl.h>

#include <standin/call_log.h>
#include <standin/driver.h>
#include <standin/text.h>
#include <standin/ui.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>

#include "../conformance/dialog_driver.h"

namespace {

using conformance::g_commands;
using conformance::RecordingDialogProc;
using conformance::Saw;

class DialogTest : public ::testing::Test {
 protected:
  struct FreshUserInterface {
    FreshUserInterface() { conformance::ResetUserInterface(); }
    ~FreshUserInterface() { standin::ResetUserInterface(); }
  } fresh_;
  const conformance::TestDialog controls_{"DLG_CONTROLS"};
  const HWND dialog_ = controls_.window();

  void SetUp() override { ASSERT_NE(dialog_, nullptr); }
  void Pump() const { controls_.Pump(); }
  HWND Item(int id) const { return controls_.Item(id); }
  // What the edit, the list box and the list view hold once every queued message is handled.
  std::string EditText() const { return (Pump(), standin::TextOf(Item(10))); }
  std::vector<int> DaysSelected() const { return (Pump(), standin::SelectionOf(Item(40))); }
  LRESULT RowSelected() const {
    Pump();
    return SendMessageA(Item(60), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
  }
};

using standin::ClickItem;
using standin::PressKey;

void AppendRows(HWND list, int count) {
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = 1000;  // past the end: appended
  item.pszText = const_cast<LPSTR>("x");
  for (int row = 0; row < count; ++row) SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

// Input queued before the dialog was disabled is not delivered either (a disabled control's is played by the runner's
// dialog_and_box). Without a focus the dialog stays active; disabled, it hears of it.
TEST_F(DialogTest, ADisabledDialogTakesNoInputNotEvenInputQueuedBefore) {
  SetFocus(nullptr);  // without a focus, input goes to the active window
  EXPECT_TRUE(PressKey(VK_F4) && standin::TypeChars(""));
  standin::ClickControl(Item(30));
  EnableWindow(dialog_, FALSE);
  EXPECT_FALSE(PressKey(VK_SPACE));
  EXPECT_FALSE(standin::ClickControl(Item(30)));
  EXPECT_FALSE(standin::ReplaceEditText(Item(10), "X"));
  EXPECT_EQ(EditText(), "");
  EXPECT_EQ(IsDlgButtonChecked(dialog_, 30), BST_UNCHECKED);
  EXPECT_EQ(g_commands, std::vector<WPARAM>{conformance::Told(WM_ENABLE, FALSE)});
}

// The day lists' extended selection as the terminal's clicks make it (its
// keys are played by end_to_end.py, the program's LB_ messages by add_records).
TEST_F(DialogTest, ListBoxClicksFollowExtendedSelectionRules) {
  HWND list = Item(40);
  for (const char *day : {"Mo", "Tu", "We", "Th", "Fr", "Sa", "Su"})
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(day));
  ClickItem(list, 1);
  ClickItem(list, 3, /*shift=*/true);
  EXPECT_EQ(DaysSelected(), (std::vector<int>{1, 2, 3}));
  ClickItem(list, 5, false, /*ctrl=*/true);
  ClickItem(list, 2, false, /*ctrl=*/true);
  EXPECT_EQ(DaysSelected(), (std::vector<int>{1, 3, 5}));
  PressKey(VK_SPACE);  // the caret's item alone
  EXPECT_EQ(DaysSelected(), std::vector<int>{2});
  ClickItem(list, 4, /*shift=*/true, /*ctrl=*/true);
  EXPECT_EQ(DaysSelected(), (std::vector<int>{2, 3, 4}));
  standin::SelectItems(list, {0});  // notifies as a click does
  ClickItem(list, 6);
  EXPECT_EQ(DaysSelected(), std::vector<int>{6});
  SendMessageA(list, LB_SETTOPINDEX, 3, 0);
  PressKey(VK_HOME);  // the caret's item comes into view
  EXPECT_EQ((Pump(), SendMessageA(list, LB_GETTOPINDEX, 0, 0)), 0);
  EXPECT_EQ(g_commands.size(), 10u);  // LBN_SETFOCUS, then a change a step
  EXPECT_EQ(g_commands.back(), static_cast<WPARAM>(MAKEWPARAM(40, LBN_SELCHANGE)));
}

// A paste cuts at a whole character; Shift+Delete cuts the selected bytes to
// the clipboard (ES_NUMBER's paste is played by paste_world_and_buffers).
TEST_F(DialogTest, ClipboardCommands) {
  const std::string a = standin::Utf8ToCp932("あ");
  SendDlgItemMessageA(dialog_, 10, EM_LIMITTEXT, 4, 0);
  standin::PutTextOnClipboard(u"xあい\r\nz");
  standin::PasteIntoEdit(Item(10));
  EXPECT_EQ(EditText(), "X" + a);  // い would pass the limit: it is left out whole
  SendDlgItemMessageA(dialog_, 10, EM_SETSEL, 1, -1);
  PressKey(VK_DELETE, /*shift=*/true);
  EXPECT_EQ(EditText(), "X");
  EXPECT_EQ(standin::ClipboardText(), std::u16string(u"あ"));
  PressKey('V', false, /*ctrl=*/true);
  PressKey('V', false, /*ctrl=*/true);
  EXPECT_EQ(EditText(), "X" + a);  // the second paste finds the edit full
}

// Enter on a dropped list closes it instead of reaching the default button.
TEST_F(DialogTest, EnterClosesADroppedDownList) {
  HWND combo = Item(50);
  SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("AM"));
  SendMessageA(combo, CB_SETCURSEL, 0, 0);
  EXPECT_EQ(standin::TextOf(combo), "AM");
  SetFocus(combo);
  for (const auto &[key, dropped] : {std::pair{VK_F4, true}, {VK_RETURN, false}}) {
    PressKey(key);
    Pump();
    EXPECT_EQ(standin::IsDroppedDown(combo), dropped);
  }
  EXPECT_FALSE(Saw(IDOK));
}

// The list view keeps texts, a selection and a focus only: an item with any other field, or a search for anything but
// the selected row, is refused, not half done.
TEST_F(DialogTest, ListViewRefusesWhatItDoesNotKeep) {
  HWND list = Item(60);
  AppendRows(list, 2);
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iSubItem = 1;  // rows are inserted by their first text
  EXPECT_EQ(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)), -1);
  item.iItem = 1;
  item.iSubItem = -1;
  EXPECT_EQ(SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)), FALSE);
  item.mask = LVIF_TEXT | LVIF_STATE;
  item.iSubItem = 0;
  item.stateMask = item.state = LVIS_SELECTED;
  EXPECT_EQ(SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)), FALSE);
  standin::SelectItems(list, {1});
  EXPECT_EQ(RowSelected(), 1);
  EXPECT_EQ(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_ALL), -1);
  EXPECT_EQ(SendMessageA(list, LVM_GETITEMTEXTA, 0, 0), 0);
  item.mask = LVIF_TEXT;
  item.pszText = nullptr;  // an empty text
  EXPECT_EQ(SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)), TRUE);
  // A column takes only the fields its mask names.
  LVCOLUMNA column{};
  column.mask = LVCF_WIDTH;
  column.cx = 5;
  column.pszText = const_cast<LPSTR>("unnamed");
  SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
  column.mask = LVCF_TEXT;
  column.cx = 7;
  SendMessageA(list, LVM_INSERTCOLUMNA, 1, reinterpret_cast<LPARAM>(&column));
  const std::vector<standin::ListViewColumnInfo> columns = standin::ColumnsOf(list);
  ASSERT_EQ(columns.size(), 2u);
  EXPECT_EQ(std::tuple(columns[0].title, columns[0].width, columns[1].title, columns[1].width),
            std::tuple("", 5, "unnamed", 0));
  EXPECT_EQ(standin::RowOf(list, 1), std::vector<std::string>(2));  // a text for each column
  EXPECT_EQ(standin::RowOf(list, 2), std::vector<std::string>());
  EXPECT_EQ(standin::CaretIndexOf(list), 1);    // the selected row has the focus
  EXPECT_EQ(standin::RowCountOf(dialog_), 0u);  // not a list view
  EXPECT_TRUE(standin::ColumnsOf(dialog_).empty());
}

// Page Down moves the selection to the last row a page shows, then a page on, and scrolls to keep it shown, as the
// arrow keys do; Page Up and Home move back. The list, 40 units tall, shows 4 rows of 10 pixels. The user may select no
// row, and Space selects the focus row again.
TEST_F(DialogTest, ListViewPagesByTheRowsItShows) {
  HWND list = Item(60);
  AppendRows(list, 30);
  SetFocus(list);
  for (const auto &[key, selected, top] :
       {std::tuple{VK_NEXT, 3, 0}, {VK_DOWN, 4, 1}, {VK_NEXT, 7, 4}, {VK_PRIOR, 4, 4}, {VK_HOME, 0, 0}}) {
    PressKey(key);
    EXPECT_EQ(RowSelected(), selected);
    EXPECT_EQ(standin::TopIndexOf(list), top);
  }
  EXPECT_EQ(standin::SelectionOf(list), std::vector<int>{0});
  standin::SelectItems(list, {});
  EXPECT_EQ(RowSelected(), -1);
  standin::TypeChars("x");
  EXPECT_EQ(RowSelected(), -1);
  standin::TypeChars(" ");  // selects the focus row again
  EXPECT_EQ(RowSelected(), 0);
}

// DLG_MAIN names the class ConformanceMain, which no one registers here.
TEST_F(DialogTest, TemplatesNamingUnavailableClassesFail) {
  const HINSTANCE module = conformance::TestModule();
  EXPECT_EQ(CreateDialogParamA(module, "DLG_MAIN", nullptr, RecordingDialogProc, 0), nullptr);
  EXPECT_EQ(DialogBoxParamA(module, "DLG_MAIN", dialog_, RecordingDialogProc, 0), -1);
  EXPECT_EQ(RegisterClassA(nullptr), 0);
  EXPECT_TRUE(GetDlgItem(dialog_, 99) == nullptr && GetLastError() == ERROR_CONTROL_ID_NOT_FOUND);  // Wine sets none
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  standin::ResetUserInterface();  // forgets InitCommonControls and the cursor
  EXPECT_FALSE(standin::IsWaitCursorShown());
  INITCOMMONCONTROLSEX icc{0, ICC_LISTVIEW_CLASSES};
  EXPECT_FALSE(InitCommonControlsEx(nullptr));
  EXPECT_FALSE(InitCommonControlsEx(&icc));  // a record of no size registers nothing
  icc = {sizeof icc, 0};
  EXPECT_TRUE(InitCommonControlsEx(&icc));  // nor one that names no list view
  EXPECT_EQ(CreateDialogParamA(module, "DLG_CONTROLS", nullptr, RecordingDialogProc, 0), nullptr);
  icc.dwICC = ICC_LISTVIEW_CLASSES;
  EXPECT_TRUE(InitCommonControlsEx(&icc));
  standin::FailNextDialogCreation("dlg_controls");  // planned for this template, in any case
  EXPECT_EQ(CreateDialogParamA(module, "DLG_CONTROLS", nullptr, RecordingDialogProc, 0), nullptr);
  standin::FailNextDialogCreation("dlg_other");  // planned for another template only
  EXPECT_NE(CreateDialogParamA(module, "DLG_CONTROLS", nullptr, RecordingDialogProc, 0), nullptr);
  // Both calls are in the call log while it records, and only then.
  standin::ClearRecordedCalls();
  InitCommonControls();
  standin::SetCallRecording(false);
  InitCommonControls();
  InitCommonControlsEx(&icc);
  standin::SetCallRecording(true);
  InitCommonControlsEx(&icc);
  EXPECT_EQ(std::pair(standin::CountCalls("InitCommonControls"), standin::CountCalls("InitCommonControlsEx")),
            std::pair(size_t{1}, size_t{1}));
}

// With no driver to answer it, as in the program's benchmark, a box returns
// its default button. Kinds the program never shows are refused.
TEST_F(DialogTest, AMessageBoxWithoutADriverAnswersWithItsDefaultButton) {
  EXPECT_EQ(MessageBoxA(dialog_, "q", "c", MB_YESNO | MB_DEFBUTTON2), IDNO);
  EXPECT_EQ(MessageBoxA(dialog_, "q", "c", MB_YESNO), IDYES);
  EXPECT_FALSE(standin::AnswerMessageBox(dialog_, IDOK));  // no box to answer
  EXPECT_EQ(MessageBoxA(dialog_, "q", "c", MB_OK), IDOK);
  EXPECT_TRUE(MessageBoxA(dialog_, "q", "c", MB_RETRYCANCEL) == 0 && GetLastError() == ERROR_INVALID_PARAMETER);
  // With a driver, a quit ends the box's loop and is posted again for the loop outside.
  struct Idle : standin::Driver {
    void WaitForInput() override { throw std::logic_error("no input was due"); }
  } idle;
  standin::SetDriver(&idle);
  PostQuitMessage(5);
  MessageBoxA(dialog_, "q", "c", MB_OK);
  standin::SetDriver(nullptr);
  MSG quit{};
  EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.wParam == 5);
}

}  // namespace
