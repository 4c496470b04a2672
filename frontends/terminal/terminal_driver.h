// SPDX-License-Identifier: GPL-3.0-or-later
// The terminal front end's driver for the stand-in: while the program waits
// for the user it draws the windows, reads the terminal and gives the
// program that input as a Windows user would; it shows message boxes and the
// help window and marks the wait cursor.
#ifndef VELMORA_FRONTENDS_TERMINAL_TERMINAL_DRIVER_H
#define VELMORA_FRONTENDS_TERMINAL_TERMINAL_DRIVER_H

#include "help_viewer.h"
#include "message_box.h"
#include "terminal.h"
#include "window_painter.h"

#include <standin/driver.h>

#include <cstddef>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace terminal {

// The dialog templates in a compiled resource file, their sizes in dialog
// units and their controls as the layout sees them: what the program may
// show, so that the screen it needs is known before it shows it.
std::vector<DialogSize> DialogSizesIn(const void *res_data, size_t res_size);

// What the user should know about a network that is legal but gives the
// program nothing to manage (no computer at all, or none by the local name),
// or "" when there is nothing to say.
std::wstring NetworkNotice();

// Thrown through the program when it did what the platform does not survive.
class ProgramFaulted : public std::runtime_error {
 public:
  explicit ProgramFaulted(const std::string &what) : std::runtime_error(what) {}
};

class TerminalDriver : public standin::Driver {
 public:
  // help_directories: where help texts are looked for, in order.
  TerminalDriver(Terminal &terminal, std::vector<std::string> help_directories);

  // The program's dialogs: the screen must hold the largest of them.
  void SetDialogSizes(std::vector<DialogSize> sizes) { painter_.SetDialogSizes(std::move(sizes)); }
  // A line said once, in place of the key hint, until the first key or click.
  void SetNotice(std::wstring notice) { notice_ = std::move(notice); }

  void WaitForInput() override;
  void Help(HWND owner, const std::string &file, UINT command, ULONG_PTR data) override;
  void CursorChanged(HCURSOR cursor) override;
  // A message of the platform's own (UTF-8), shown like a notice.
  void ShowNotice(const std::string &text);
  void Beep() override;
  void ProgramFault(const std::string &what) override;

 private:
  void Render();
  // The message boxes in front of every dialog, oldest first (a box behind a
  // dialog that opened later is hidden by it); each keeps its view.
  std::vector<HWND> BoxesInFront();
  MessageBoxView &ViewOf(HWND box);
  // A key or click while a message box is in front; true when the program
  // took it.
  bool DeliverToBox(HWND box, const TerminalEvent &event);
  // `box`: the message box that has the keyboard, if one has.
  void PaintKeyHint(HWND box);
  // The keys that act in the active window, as the last line names them.
  std::wstring WindowKeyHint();
  FrameSize NeededSize() const;
  bool TooSmall() const;
  // Gives one terminal event to the program; true when the program took it.
  bool Deliver(const TerminalEvent &event);
  bool Click(const TerminalEvent &event);
  // The keyboard pointer: F2 points at the active window's controls one by
  // one, as a mouse would, so that controls outside the tab order (the job
  // editor's run-unit radios have no tab stop) can be clicked without a
  // mouse. Like a mouse pointer it stays after a click, also when the click
  // opens or closes a window, until F2 or Escape puts it away; other keys
  // go to the program meanwhile. Returns true when the key was the
  // pointer's; *clicked when it clicked a control.
  bool PointerKey(const TerminalEvent &event, bool *clicked);
  // The control pointed at in the active window, while the pointer is shown:
  // where it was, else the focus, else the first control.
  HWND PointedControl();
  // Left and Right on a list view whose columns are wider than it scroll
  // them sideways, as on the platform; true when the key did.
  bool SidewaysKey(const TerminalEvent &event);
  // F3 sizes the columns of the active window's list view from the
  // keyboard, as dragging a header divider does: Left and Right narrow and
  // widen the marked column, Tab moves to the next. True when the key was
  // the sizer's.
  bool ColumnSizerKey(const TerminalEvent &event);
  // The wheel, the scroll bars and the header dividers; true when the event
  // was one of theirs.
  bool ScrollOrSize(const TerminalEvent &event);

  std::map<HWND, MessageBoxView> box_views_;
  bool pointer_shown_ = false;
  HWND pointer_ = nullptr;      // the control pointed at, while the pointer is shown
  HWND sizing_list_ = nullptr;  // the list view whose columns F3 sizes, while it does
  int sizing_column_ = 0;
  HWND drag_list_ = nullptr;  // a header divider being dragged: its list view,
  int drag_column_ = 0;       // column,
  int drag_x_ = 0;            // and where the drag began
  std::wstring notice_;

  Terminal &terminal_;
  std::vector<std::string> help_directories_;
  WindowPainter painter_;
  HelpViewer help_;
  Canvas canvas_{0, 0};
  bool busy_shown_ = false;
};

}  // namespace terminal

#endif
