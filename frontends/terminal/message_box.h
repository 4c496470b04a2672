// SPDX-License-Identifier: GPL-3.0-or-later
// A message box as the terminal shows it: caption, text, icon mark and the
// buttons of its style, with the platform's keyboard rules.
#ifndef VELMORA_FRONTENDS_TERMINAL_MESSAGE_BOX_H
#define VELMORA_FRONTENDS_TERMINAL_MESSAGE_BOX_H

#include "canvas.h"
#include "key_input.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace terminal {

class MessageBoxView {
 public:
  struct Button {
    std::wstring label;  // with its "&" mark, as the platform labels it
    int result = 0;      // IDOK, IDYES, ...
  };
  enum class Icon { kNone, kError, kQuestion, kWarning, kInformation };

  // text and caption are the program's ANSI (code page 932) bytes.
  MessageBoxView(const std::string &text, const std::string &caption, UINT style);

  const std::vector<Button> &Buttons() const { return buttons_; }
  int FocusedButton() const { return focus_; }
  Icon IconKind() const { return icon_; }

  // Whether Escape answers the box (it has Cancel, or OK alone).
  bool EscapeAnswers() const { return EscapeResult().has_value(); }
  // Handles one key; returns the box's result when the key ends it.
  std::optional<int> HandleKey(const TerminalEvent &event);
  // A click at a cell of the last drawing; a click on a button ends the box.
  std::optional<int> HandleClick(int x, int y) const;

  // Draws the box centred over `over` (the owner's frame, or the screen).
  void Draw(Canvas &canvas, const CellRect &over);
  // Whether a cell lies inside the box as last drawn.
  bool Contains(int x, int y) const { return frame_.Contains(x, y); }

 private:
  std::optional<int> EscapeResult() const;

  std::wstring caption_;
  std::vector<std::wstring> lines_;
  std::vector<Button> buttons_;
  Icon icon_ = Icon::kNone;
  int focus_ = 0;
  std::vector<CellRect> button_cells_;  // where the buttons were last drawn
  CellRect frame_;                      // where the box was last drawn
};

}  // namespace terminal

#endif
