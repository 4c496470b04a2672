// The seam through which the stand-in's modal loops and message boxes get
// the user's input. The scenario runner and the terminal front end each
// implement a Driver; program code never sees this header.
#ifndef VELMORA_STANDIN_DRIVER_H
#define VELMORA_STANDIN_DRIVER_H

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

  // SetCursor changed the shown cursor.
  virtual void CursorChanged(HCURSOR /*cursor*/) {}
};

// The driver in force; null means none (GetMessageA then ends the loop with
// a quit, MessageBoxA answers at once by its default button).
void SetDriver(Driver *driver);
Driver *CurrentDriver();

}  // namespace standin

#endif
