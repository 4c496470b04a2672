// SPDX-License-Identifier: GPL-3.0-or-later
// The terminal the front end runs in: shows a canvas and reads keys, mouse
// clicks and size changes. CursesTerminal is the real one (ncurses, wide
// characters); tests and benchmarks put their own in its place.
#ifndef VELMORA_FRONTENDS_TERMINAL_TERMINAL_H
#define VELMORA_FRONTENDS_TERMINAL_TERMINAL_H

#include "canvas.h"
#include "key_input.h"

#include <deque>
#include <deque>
#include <stdexcept>
#include <string>

namespace terminal {

// Thrown when the terminal can give no more input (it was closed).
class TerminalClosed : public std::runtime_error {
 public:
  TerminalClosed() : std::runtime_error("the terminal was closed") {}
};

class Terminal {
 public:
  virtual ~Terminal() = default;
  virtual int Cols() const = 0;
  virtual int Rows() const = 0;
  virtual void Show(const Canvas &canvas) = 0;
  // Blocks until the next event; throws TerminalClosed at the end of input.
  virtual TerminalEvent Read() = 0;
  virtual void Beep() {}
};

class CursesTerminal : public Terminal {
 public:
  CursesTerminal() = default;
  ~CursesTerminal() override;
  CursesTerminal(const CursesTerminal &) = delete;
  CursesTerminal &operator=(const CursesTerminal &) = delete;

  // Takes over the terminal: full screen, no echo, keypad and mouse on, and
  // handlers that give the terminal back on a fatal signal. False with
  // *error when standard input or output is no terminal ncurses can drive.
  bool Start(std::string *error);
  // Gives the terminal back as it was. Safe to call more than once.
  void Stop();

  int Cols() const override;
  int Rows() const override;
  void Show(const Canvas &canvas) override;
  TerminalEvent Read() override;
  void Beep() override;

 private:
  TerminalEvent ReadOne(bool after_escape);
  bool started_ = false;
  // Events read ahead: a key after an Escape it did not belong to, and the
  // mouse events that came in one go.
  std::deque<TerminalEvent> pending_;
  void *screen_ = nullptr;  // ncurses' SCREEN, kept opaque to spare users curses.h
};

}  // namespace terminal

#endif
