// SPDX-License-Identifier: GPL-3.0-or-later
// The stand-in's own view of its windows: module loading, inspection of
// windows and controls, and user input given the way a user gives it. Used by
// the scenario runner, the terminal front end and tests; program code sees
// only Win32.
#ifndef VELMORA_PLATFORM_INCLUDE_STANDIN_UI_H
#define VELMORA_PLATFORM_INCLUDE_STANDIN_UI_H

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace standin {

// Registers a module whose resources are the bytes of a compiled .res file
// (as windres -O res writes it) and returns its instance handle. The data
// must outlive the module.
HINSTANCE LoadModule(const void *res_data, size_t res_size);

// Destroys every window, empties the message queue, forgets registered
// classes, focus, cursor and help state: the user interface as at process
// start (modules stay loaded).
void ResetUserInterface();

// A fault plan for tests: the next creation of a dialog from the template
// `template_name` fails as the platform's does when it runs out of memory
// (null, ERROR_NOT_ENOUGH_MEMORY), before any window exists. Forgotten by
// ResetUserInterface.
void FailNextDialogCreation(const std::string &template_name);

// ---- Windows --------------------------------------------------------------

// Top-level windows that exist, in creation order.
std::vector<HWND> TopLevelWindows();
// The innermost modal dialog, else the oldest top-level window; null if none.
// Message boxes do not count here.
HWND ActiveWindow();
// The innermost open modal window, message boxes included, else ActiveWindow().
HWND InnermostWindow();

// Message boxes are windows while MessageBoxA runs its modal loop: open ones
// in the order they were shown, their text and style (the caption is their
// window text, TextOf).
std::vector<HWND> OpenMessageBoxes();
bool IsMessageBox(HWND window);
std::string MessageBoxTextOf(HWND box);
UINT MessageBoxStyleOf(HWND box);
HWND OwnerOf(HWND window);
// Name of the dialog template the window was built from ("DLG_JOB"), or "".
std::string TemplateNameOf(HWND window);
bool IsModalDialog(HWND window);

// Child controls of a dialog in template order (which is also tab order).
std::vector<HWND> ControlsOf(HWND dialog);
// The first control with this identifier in template order, as GetDlgItem.
HWND ControlById(HWND dialog, int id);
int ControlIdOf(HWND control);
// Window class name: "BUTTON", "EDIT", "STATIC", "LISTBOX", "COMBOBOX",
// "SysListView32", or a dialog's class ("#32770" or the template's class).
std::string ClassNameOf(HWND window);
DWORD StyleOf(HWND window);
DWORD ExStyleOf(HWND window);

// Position and size from the template, in dialog units. For a dialog, x and
// y are the template's position and cx, cy its size.
struct DialogUnits {
  int x = 0, y = 0, cx = 0, cy = 0;
};
DialogUnits PlacementOf(HWND window);
// The dialog font from the template (point size and face, UTF-8).
int FontPointSizeOf(HWND dialog);
std::string FontFaceOf(HWND dialog);

// Window text in the program's ANSI code page (932). For a static with
// SS_ICON, the icon's resource name or "#111".
std::string TextOf(HWND window);
// Own enabled flag, and enabled considering the parent chain too.
bool IsEnabledSelf(HWND window);
bool AcceptsInput(HWND window);
HWND FocusWindow();

// ---- Control state --------------------------------------------------------

int CheckStateOf(HWND button);                   // BST_CHECKED / BST_UNCHECKED
bool IsDefaultButton(HWND button);               // currently the default push button
size_t TextLimitOf(HWND edit);                   // EM_LIMITTEXT value
size_t CaretOf(HWND edit);                       // caret position in bytes
std::vector<std::string> ItemsOf(HWND control);  // list box or combo box items (ANSI)
// List box: selected indices ascending; combo box: {current} or {};
// list view: {selected row} or {}.
std::vector<int> SelectionOf(HWND control);
int CaretIndexOf(HWND list);  // list box / list view focus item, -1 if none
int TopIndexOf(HWND list);    // first visible item of a list box / list view
bool IsDroppedDown(HWND combo);

struct ListViewColumnInfo {
  std::string title;  // ANSI
  int width = 0;      // pixels
};
// The list view's own state, kept and reported by COMCTL32.
std::vector<ListViewColumnInfo> ColumnsOf(HWND list_view);
size_t RowCountOf(HWND list_view);
// The row's texts, one per column (ANSI); missing subitems are "".
std::vector<std::string> RowOf(HWND list_view, size_t row);

// ---- Cursor and help --------------------------------------------------------

bool IsWaitCursorShown();  // the cursor last set is the system wait cursor
HCURSOR CurrentCursor();
struct HelpRequest {
  bool any = false;
  std::string file;
  UINT command = 0;
  ULONG_PTR data = 0;
};
HelpRequest LastHelpRequest();

// ---- Input, as a user gives it ------------------------------------------
// The program's user-interface calls are recorded (standin/call_log.h) with
// the function's name and args such as "id=101 enable=0"; SendMessageA and
// SendDlgItemMessageA name the message: "id=104 msg=LVM_INSERTITEMA wparam=0".
//
// Each call posts input to the thread's queue (as the platform queues
// keyboard and mouse input) or acts on the control the way a mouse does; the
// program sees it when its message loop next fetches messages. Input to a
// window that does not accept input (disabled, or disabled owner) is ignored
// and the call returns false.

// A key press delivered to the focus window (WM_KEYDOWN, or WM_SYSKEYDOWN
// with alt); TranslateMessage makes the WM_CHAR where the key has one.
bool PressKey(UINT virtual_key, bool shift = false, bool ctrl = false, bool alt = false);
// Characters typed at the focus window (ANSI bytes, one WM_CHAR each; a
// double-byte character arrives as its lead and trail bytes).
bool TypeChars(const std::string &ansi);
// A mouse click on a control: buttons click, edits take the focus, ...
bool ClickControl(HWND control);
// A click on a list box or list view item, with the modifier keys held.
bool ClickItem(HWND list, int index, bool shift = false, bool ctrl = false);
// Selects the whole text of an edit and types `ansi` into it, under the
// edit's typing rules (ES_UPPERCASE, ES_NUMBER, text limit).
bool ReplaceEditText(HWND edit, const std::string &ansi);
// The user puts Unicode text on the clipboard; the clipboard's text, read
// as Unicode (nullopt when it holds none).
void PutTextOnClipboard(const std::u16string &text);
std::optional<std::u16string> ClipboardText();
// Selects the whole text of an edit and presses Ctrl+V: the clipboard's text
// replaces it under the paste rules (the limit applies, ES_NUMBER does not).
bool PasteIntoEdit(HWND edit);
// The ANSI bytes a window of the program receives for characters typed at
// the keyboard: each UTF-16 unit through the code page with its best fit,
// the default character where it has none.
std::string TypedAnsi(const std::u16string &typed);

// List box: exactly these items selected; combo box: item indices[0]
// current; list view: row indices[0] selected; empty: nothing selected.
// Notifies the parent as the control does for user selection.
bool SelectItems(HWND control, const std::vector<int> &indices);
// A click on a message box's button: the box ends with `answer` (IDOK,
// IDYES, ...) when its loop next fetches input. False for a window that is
// not an open message box.
bool AnswerMessageBox(HWND box, int answer);
// The close box of a top-level window's title bar (WM_SYSCOMMAND SC_CLOSE);
// false when the window has no system menu, hence no close box.
bool PressCloseBox(HWND window);

// Sends a message straight to a window's procedure, past the queue and the
// dialog manager, as the system sends messages; not recorded as a program
// call. Returns the procedure's result (0 for an unknown window).
LRESULT DeliverMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Runs the program until it waits again without processing further input:
// true when the thread's queue is empty.
bool IsQueueEmpty();

}  // namespace standin

#endif
