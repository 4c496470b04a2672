// SPDX-License-Identifier: GPL-3.0-or-later
// The help engine's window: finds the help text for a help file name, and
// shows it in a scrollable window until the user or the program closes it.
#ifndef VELMORA_FRONTENDS_TERMINAL_HELP_VIEWER_H
#define VELMORA_FRONTENDS_TERMINAL_HELP_VIEWER_H

#include "canvas.h"
#include "key_input.h"

#include <string>
#include <vector>

namespace terminal {

// The help text for a help file name ("Velmora.HLP" -> "Velmora.txt"),
// looked for in each directory in turn; "" when none has it. Only the file
// name part of `help_file` is used.
std::string FindHelpText(const std::string &help_file, const std::vector<std::string> &directories);

class HelpViewer {
 public:
  bool IsOpen() const { return open_; }
  // Opens at the top. The first line "# Title" becomes the window's title.
  void Open(const std::vector<std::wstring> &lines);
  // Opens the text file at path (UTF-8); false when it cannot be read.
  bool OpenFile(const std::string &path);
  void Close() { open_ = false; }
  // Scrolls to the line that begins with `heading` when it is next drawn.
  void ShowSection(const std::wstring &heading) { section_ = heading; }

  // Scrolling keys scroll; Escape closes. Returns false for keys it ignores.
  bool HandleKey(const TerminalEvent &event);
  void Draw(Canvas &canvas);
  int Top() const { return top_; }

 private:
  int PageRows() const { return page_rows_ > 0 ? page_rows_ : 1; }

  bool open_ = false;
  std::wstring title_;
  std::vector<std::wstring> lines_;
  std::vector<std::wstring> wrapped_;  // lines_ broken to the last drawn width
  int wrapped_width_ = -1;
  int top_ = 0;
  int page_rows_ = 0;
  std::wstring section_;  // to show at the top once wrapped
};

}  // namespace terminal

#endif
