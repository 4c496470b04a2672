// The terminal front end's driver for the stand-in: while the program waits
// for the user it draws the windows, reads the terminal and gives the
// program that input as a Windows user would; it shows message boxes and the
// help window and marks the wait cursor.
#ifndef VELMORA_TUI_TERMINAL_DRIVER_H
#define VELMORA_TUI_TERMINAL_DRIVER_H

#include "help_viewer.h"
#include "message_box.h"
#include "terminal.h"
#include "window_painter.h"

#include <standin/driver.h>

#include <map>
#include <string>
#include <vector>

namespace tui {

class TerminalDriver : public standin::Driver {
 public:
  // help_directories: where help texts are looked for, in order.
  TerminalDriver(Terminal &terminal, std::vector<std::string> help_directories);

  void WaitForInput() override;
  void Help(HWND owner, const std::string &file, UINT command, ULONG_PTR data) override;
  void CursorChanged(HCURSOR cursor) override;

 private:
  void Render();
  // The message boxes in front of every dialog, oldest first (a box behind a
  // dialog that opened later is hidden by it); each keeps its view.
  std::vector<HWND> BoxesInFront();
  MessageBoxView &ViewOf(HWND box);
  // A key or click while a message box is in front; true when the program
  // took it.
  bool DeliverToBox(HWND box, const TerminalEvent &event);
  bool TooSmall() const;
  // Gives one terminal event to the program; true when the program took it.
  bool Deliver(const TerminalEvent &event);
  bool Click(const TerminalEvent &event);
  // The keyboard pointer: F2 points at the active window's controls one by
  // one, as a mouse would, so that controls outside the tab order (the job
  // editor's run-unit radios have no tab stop) can be clicked without a
  // mouse. Returns true when the key was the pointer's; *clicked when it
  // clicked a control.
  bool PointerKey(const TerminalEvent &event, bool *clicked);

  HWND pointer_ = nullptr;  // the control pointed at, while the pointer is shown
  std::map<HWND, MessageBoxView> box_views_;

  Terminal &terminal_;
  std::vector<std::string> help_directories_;
  WindowPainter painter_;
  HelpViewer help_;
  Canvas canvas_{0, 0};
  bool busy_shown_ = false;
};

}  // namespace tui

#endif
