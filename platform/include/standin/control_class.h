// SPDX-License-Identifier: GPL-3.0-or-later
// What a library of the stand-in that provides a window class of its own
// (COMCTL32's list view) gets from USER32, as a DLL on the platform gets it
// from the system: the class's registration with the data each window of it
// keeps (the platform's per-class window extra bytes, here an object owned by
// the class's library), and the private messages by which USER32 hands such a
// control the user's input and asks it what it shows. USER32 knows nothing
// else of the class.
#ifndef VELMORA_PLATFORM_INCLUDE_STANDIN_CONTROL_CLASS_H
#define VELMORA_PLATFORM_INCLUDE_STANDIN_CONTROL_CLASS_H

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace standin {

// The data a control class's library keeps with each of its windows; freed
// with the window.
class ControlData {
 public:
  virtual ~ControlData() = default;
};
using ControlDataFactory = std::function<std::unique_ptr<ControlData>()>;

// Registers a control class of another library, made at its start-up
// (InitCommonControls); each window made of it gets the factory's data. A
// second registration of the same name is ignored. Not a program's call:
// nothing is recorded.
void RegisterControlClass(const std::string &name, WNDPROC proc, ControlDataFactory make_data);
// The data of a window of such a class, else null.
ControlData *ControlDataOf(HWND window);

// What the control's procedure needs from USER32 without making a program's
// call (nothing is recorded): the keyboard focus taken as a click gives it,
// and the item a list's navigation key moves to from `from` (-1: none yet)
// among `count` items, `page` of them visible (Up, Down, Home, End, Page Up,
// Page Down; -1 for any other key).
void TakeFocus(HWND control);
int ListNavigationTarget(WPARAM key, int from, int count, int page);

// Private messages that USER32 sends to a control of any class.
// The user's selection (SelectItems): wParam the count, lParam the indices
// (const int *); none selects nothing.
constexpr UINT kMsgApplyUserSelection = 0x03E4;
// What a list control shows, for the inspection functions of standin/ui.h:
// lParam a ListState to fill.
constexpr UINT kMsgReportListState = 0x03E5;
struct ListState {
  std::vector<int> selection;  // selected items, ascending
  int caret = -1;              // the focus item
  int top = 0;                 // the first visible item
};

}  // namespace standin

#endif
