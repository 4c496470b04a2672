// SPDX-License-Identifier: GPL-3.0-or-later
// The seam through which the stand-in's modal loops and message boxes get
// the user's input. The scenario runner and the terminal front end each
// implement a Driver; program code never sees this header.
#ifndef VELMORA_PLATFORM_INCLUDE_STANDIN_DRIVER_H
#define VELMORA_PLATFORM_INCLUDE_STANDIN_DRIVER_H

#include <windows.h>

#include <string>

namespace standin {

class Driver {
 public:
  virtual ~Driver() = default;

  // The calling thread's queue is empty and the program waits for the user
  // (GetMessageA in the main loop, in a modal dialog's loop or in a message
  // box's loop). The driver produces input (posts messages, acts on
  // controls, answers message boxes: standin/ui.h) and returns, or throws to
  // end the run. Open message boxes are windows (OpenMessageBoxes); a box
  // leaves other windows than its owner enabled, and input for them is
  // dispatched inside the box's loop.
  virtual void WaitForInput() = 0;

  // WinHelpA reached the help engine (command HELP_CONTENTS, HELP_QUIT, ...).
  virtual void Help(HWND /*owner*/, const std::string & /*file*/, UINT /*command*/, ULONG_PTR /*data*/) {}

  // The program did what the platform does not survive (a heap block freed
  // twice, a pointer the platform never handed out given back). The driver
  // ends the run, normally by throwing; should it return, the process aborts.
  virtual void ProgramFault(const std::string & /*what*/) {}

  // A control refused the user's input with the system's beep.
  virtual void Beep() {}

  // SetCursor changed the shown cursor.
  virtual void CursorChanged(HCURSOR /*cursor*/) {}
};

// The driver in force; null means none (GetMessageA then ends the loop with
// a quit, MessageBoxA answers at once by its default button).
void SetDriver(Driver *driver);
Driver *CurrentDriver();

// Reports a program fault to the driver, then (with no driver, or a driver
// that returns) prints it and aborts: a fault is never survived quietly.
[[noreturn]] void ReportProgramFault(const std::string &what);

}  // namespace standin

#endif
