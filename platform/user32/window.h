// SPDX-License-Identifier: GPL-3.0-or-later
// The stand-in's window objects and the registry that validates handles.
// Internal to the user-interface library: program code sees only HWND.
#ifndef VELMORA_PLATFORM_USER32_WINDOW_H
#define VELMORA_PLATFORM_USER32_WINDOW_H

#include <windows.h>

#include <standin/control_class.h>
#include <standin/text.h>
#include <standin/ui.h>

#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace standin {
namespace user32 {

enum class Kind { kDialog, kButton, kEdit, kStatic, kListBox, kComboBox, kCustom, kMessageBox };

struct Window {
  Kind kind = Kind::kCustom;
  std::string class_name;
  WNDPROC proc = nullptr;     // window procedure: a control's, DefDlgProcA, or a registered class's
  DLGPROC dlgproc = nullptr;  // dialogs only
  Window *parent = nullptr;   // controls: their dialog
  Window *owner = nullptr;    // top-level windows: their owner
  std::vector<Window *> children;
  DWORD style = 0, ex_style = 0;
  int id = 0;
  std::string text;  // ANSI
  bool alive = true;
  DialogUnits placement;

  // Dialogs.
  std::string template_name;
  int font_points = 0;
  std::string font_face;
  HFONT font = nullptr;  // as WM_SETFONT gave it to the dialog default procedure
  bool modal = false, ended = false;
  INT_PTR result = 0;
  int default_id = 0;             // the dialog's default push button (DM_SETDEFID / template)
  Window *saved_focus = nullptr;  // restored when the dialog becomes active again
  LONG_PTR msg_result = 0;        // DWL_MSGRESULT equivalent

  // Message boxes: the text and style MessageBoxA was given (the caption is
  // the window text).
  std::string box_text;
  UINT box_style = 0;

  // Buttons.
  int check = BST_UNCHECKED;
  bool pushed = false;

  // Edits.
  size_t limit = 32767;
  size_t sel_start = 0, sel_end = 0;  // caret at sel_end
  int pending_lead = -1;              // lead byte of a double-byte character awaiting its trail

  // List boxes and combo boxes.
  std::vector<std::string> items;
  std::vector<unsigned char> selected;  // list box selection flags
  int caret_index = -1, anchor_index = -1, top_index = 0, current = -1;
  bool dropped = false;
  std::deque<std::vector<int>> pending_selections;  // user selections queued by SelectItems

  // A control of another library's class: the data that library keeps.
  std::unique_ptr<ControlData> control_data;
};

inline HWND ToHandle(Window *window) { return reinterpret_cast<HWND>(window); }
// The live window behind a handle, or null for null, unknown or destroyed handles.
Window *FromHandle(HWND handle);
Window *NewWindow();
// Marks a window dead; its memory stays reserved until ResetWindows so that
// a procedure still running for it never touches freed memory.
void RetireWindow(Window *window);
void ResetWindows();
void ResetDialogFaults();  // FailNextDialogCreation's plan
std::vector<Window *> &TopLevels();

// Messages sent by the stand-in itself (notifications, dialog manager); not
// recorded as program calls.
LRESULT Send(Window *window, UINT message, WPARAM wparam, LPARAM lparam);
void Post(Window *window, UINT message, WPARAM wparam, LPARAM lparam, bool is_input);
void NotifyParent(Window *control, WORD code);
void ClearQueue();
void RequestQuit(int code);  // PostQuitMessage without the call record
void ResetQueueState();

// Keyboard state as of the input message being processed.
struct KeyState {
  bool shift = false, ctrl = false, alt = false;
};
KeyState CurrentKeyState();
void SetKeyState(KeyState keys);
void PostKey(Window *target, UINT message, WPARAM key, KeyState state);

// Activation: one top-level window is active. Activating sends WM_ACTIVATE
// to the window that loses it and to the one that gains it; what each does
// then (keep, save or restore the focus) is its procedure's matter.
Window *ActiveTop();
void Activate(Window *window);
// `leaving` is hidden or destroyed: if it was active, the activation passes
// to its owner, else to the window active before it, when that can take it.
void ActivateNext(Window *leaving);
void ResetActivation();

// Focus and enabled state.
Window *Focus();
// WM_KILLFOCUS / WM_SETFOCUS; a control's top-level window is activated first.
void MoveFocus(Window *window);
void ForgetFocus();
bool IsEnabledChain(Window *window);  // the window and every parent enabled
// EnableWindow's work, without its call log: on a change the window hears of
// it (WM_ENABLE), and one disabled while it has the focus loses it.
void SetEnabled(Window *window, bool enable);
// ListNavigationTarget (standin/control_class.h) serves USER32's lists too.
Window *TopLevelOf(Window *window);
Window *ControlWithId(Window *dialog, int id);
// The dialog manager's walk through tab stops and through a group.
Window *NextTabItem(Window *dialog, Window *from, bool previous);
Window *NextGroupItem(Window *dialog, Window *from, bool previous);
bool ModuleHasResource(HINSTANCE instance, int type, LPCSTR name);
const WNDCLASSA *FindClass(const std::string &name);  // registered classes, case-insensitive
// The data a window of a control class of another library gets at its
// creation (standin/control_class.h), or null for USER32's own classes.
std::unique_ptr<ControlData> MakeControlData(const std::string &class_name);
// A registered class's name as it was registered (GetClassName's spelling).
std::string RegisteredClassName(const std::string &name);

// Controls.
LRESULT CALLBACK ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ListBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ComboBoxProc(HWND, UINT, WPARAM, LPARAM);

// Shared control helpers.
bool IsPushButton(const Window *window);  // BS_PUSHBUTTON or BS_DEFPUSHBUTTON
bool IsAutoRadio(const Window *window);
void ClickButton(Window *button);  // the action of a completed click, then BN_CLICKED
void ApplyListBoxSelection(Window *list, const std::vector<int> &indices);
void ApplyComboSelection(Window *combo, int index);
void FixDefaultButton(Window *dialog, Window *new_focus);

// Internal messages that carry a user action to a control through the queue.
// kMsgUserSelect reaches DefWindowProcA, which takes the focus to the control
// and sends it kMsgApplyUserSelection (standin/control_class.h) with the
// oldest of pending_selections.
constexpr UINT kMsgUserSelect = 0x03E0;
constexpr UINT kMsgUserReplaceText = 0x03E1;  // select all, then the queued WM_CHARs type
constexpr UINT kMsgUserAnswerBox = 0x03E2;    // a message box's button, wParam its result
// Sent to a dialog when the dialog manager moved the focus to one of its
// controls (a key, WM_NEXTDLGCTL); only the dialog default procedure acts on
// it (the default push button's look follows). SetFocus and clicks do not
// move that look.
constexpr UINT kMsgControlFocused = 0x03E3;
void FocusFromDialogManager(Window *control);

// The clipboard's text as an ANSI edit reads and writes it (CF_TEXT).
void SetClipboardAnsiText(const std::string &ansi);
std::optional<std::string> ClipboardAnsiText();
void ResetClipboard();

// The system's beep where a control refuses the user's input.
void Beep();

// Call recording of the program's user-interface calls, cheap when off.
bool Recording();
std::string Describe(Window *window);  // "id=101" for controls, "window=DLG_JOB" for dialogs
void SetCursorState(HCURSOR cursor);
void ResetCursorAndHelp();

}  // namespace user32
}  // namespace standin

#endif
