// SPDX-License-Identifier: GPL-3.0-or-later
// The one interpreter of the scenario language (docs/scenarios.md): the order
// in which statements are played, the waiting rule, every expectation and
// every failure reason. What it plays against is a back end: the program on
// the stand-in in this process, or the real velmora.exe under Wine. A back end
// only realises the world and the user's actions and reads what the screen
// holds; it decides nothing about the language.
//
// Plain C++: this header and the interpreter compile against the stand-in's
// headers on Linux and against the SDK's in the Wine player.
#ifndef VELMORA_FRONTENDS_SCENARIO_SCENARIO_INTERPRETER_H
#define VELMORA_FRONTENDS_SCENARIO_SCENARIO_INTERPRETER_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "scenario_statements.h"

namespace standin {
namespace scenario {

// A window or control of the program as its back end names it; 0 is none.
using WindowRef = uintptr_t;

enum class ControlKind { kEdit, kListBox, kMultipleListBox, kComboBox, kListView, kOther };

// What a message box shows: texts in UTF-8, the style as MessageBoxA took it,
// and whether a window owns it, with that window's template ("" for none).
struct BoxView {
  std::string caption, text;
  unsigned style = 0;
  bool has_owner = false;
  std::string owner_template;
};

// The answers of a box, as the platform numbers them (IDOK, ...).
enum BoxAnswer { kAnswerOk = 1, kAnswerCancel = 2, kAnswerYes = 6, kAnswerNo = 7 };

// The outcome of one file, on either witness.
struct Verdict {
  // kSkip: a `stand-in only` file on the Wine witness, not played.
  enum Status { kPass, kFail, kParseError, kSkip } status = kPass;
  int line = 0;        // the line the failure belongs to
  std::string reason;  // what was expected and what was seen, or why it was not played
};

class Interpreter;

// What a witness realises and reads. Every method that can fail returns ""
// or the reason, which the interpreter reports at the statement being played.
// Texts are UTF-8, decoded from the program's code page as the platform does.
class BackEnd {
 public:
  virtual ~BackEnd() = default;

  // True for the stand-in, which plays `stand-in only` files; the Wine
  // witness skips them.
  virtual bool IsStandIn() const = 0;

  // ---- The world: before start, while the program runs and after it ends.
  // A world statement other than `clock`, applied to the network the
  // program's NETAPI32 calls reach.
  virtual std::string ApplyWorld(const std::vector<Token> &statement) = 0;
  // The local date and time the program sees from now on, standing still.
  virtual std::string SetClock(const SYSTEMTIME &local_time) = 0;
  virtual std::string AdvanceClock(uint64_t milliseconds) = 0;

  // ---- The program's run.
  // Starts the program; each time it waits for the user, calls
  // interpreter.ProgramWaits(), which plays statements and returns true once
  // one gave the program input (the program then runs on), false when the
  // scenario has no input left for it or the program has ended. Returns when
  // the program has ended or ProgramWaits() said false; "" or why the run
  // could not go on (a crash, a program that stays busy).
  virtual std::string Run(Interpreter &interpreter) = 0;
  // True once the program has ended; `wait` gives a program on its way out
  // the time to finish.
  virtual bool HasEnded(bool wait) = 0;
  virtual int ExitCode() = 0;

  // ---- What the screen holds.
  virtual std::vector<WindowRef> MessageBoxes() = 0;  // open ones, oldest first
  virtual BoxView ReadBox(WindowRef box) = 0;
  // The innermost modal dialog, else the main window; message boxes do not count.
  virtual WindowRef ActiveWindow() = 0;
  // The innermost open modal window, message boxes included.
  virtual WindowRef InnermostWindow() = 0;
  // A top-level window built from the template (shown or not), else 0.
  virtual WindowRef WindowOfTemplate(const std::string &name) = 0;
  virtual std::string TemplateOf(WindowRef window) = 0;  // "" for none
  virtual bool IsMessageBox(WindowRef window) = 0;
  virtual bool IsShown(WindowRef window) = 0;
  virtual bool IsEnabled(WindowRef window) = 0;  // its own flag
  virtual bool HasCloseBox(WindowRef window) = 0;
  virtual WindowRef Control(WindowRef window, int id) = 0;
  virtual int ControlId(WindowRef control) = 0;  // 0 for a top-level window
  virtual WindowRef TopLevelOf(WindowRef window) = 0;
  virtual ControlKind KindOf(WindowRef control) = 0;
  virtual WindowRef Focus() = 0;
  virtual std::string TextOf(WindowRef window) = 0;
  virtual bool IsChecked(WindowRef button) = 0;
  virtual std::vector<std::string> Items(WindowRef control) = 0;  // list box or combo box
  virtual std::vector<int> Selection(WindowRef control) = 0;
  virtual size_t RowCount(WindowRef list_view) = 0;
  virtual std::vector<std::string> Row(WindowRef list_view, size_t row) = 0;
  virtual bool IsWaitCursorShown() = 0;
  virtual std::optional<uint64_t> LastHelpCommand() = 0;
  virtual uint64_t OutstandingBuffers() = 0;
  virtual uint64_t CallCount(const std::string &function) = 0;  // since start

  // ---- The user's actions; each one gives the program input.
  virtual std::string Click(WindowRef control) = 0;
  virtual std::string Type(WindowRef edit, const std::string &text) = 0;
  virtual std::string Paste(WindowRef edit, const std::string &text) = 0;
  // List box: exactly these items; combo box or list view: items[0]; none: empty.
  virtual std::string Select(WindowRef control, const std::vector<int> &items) = 0;
  // A key (a virtual-key code), with Shift or Alt held, to the focus in `window`.
  virtual std::string PressKey(WindowRef window, unsigned virtual_key, bool shift, bool alt) = 0;
  virtual std::string KeyDownEscape(WindowRef window) = 0;
  virtual std::string PressCloseBox(WindowRef window) = 0;
  virtual std::string Answer(WindowRef box, BoxAnswer answer) = 0;
};

class Interpreter {
 public:
  Interpreter(const std::vector<Statement> &statements, BackEnd *back_end)
      : statements_(statements), back_end_(*back_end) {}

  Verdict Play();

  // The back end's call while the program waits for the user (see BackEnd::Run).
  bool ProgramWaits();

  // The input given last, as written ("start" before any): for the back
  // end's reasons ("... after click 106").
  const std::string &LastAction() const { return last_action_; }
  // The line of the statement being played (0 before the first).
  int CurrentLine() const;

 private:
  struct Failure {
    Verdict verdict;
  };
  [[noreturn]] void Fail(const Statement &statement, const std::string &reason);
  void Must(const Statement &statement, const std::string &reason);

  void PlayUntilStart();
  void PlayAfterExit();
  bool PlayWithoutInput(const Statement &statement);
  std::string ApplyWorld(const Statement &statement);
  bool MatchNewMessageBox();
  void Act(const Statement &statement);
  void ActOn(const Statement &statement, const std::vector<Token> &action, WindowRef window);
  void Select(const Statement &statement, const std::vector<Token> &t, WindowRef control);
  void AnswerBox(const Statement &statement, WindowRef box, const std::string &answer);
  void CheckUi(const Statement &statement);
  void CheckList(const Statement &statement);
  void Expect(const Statement &statement, bool holds, const std::string &expected, const std::string &seen);
  WindowRef Active(const Statement &statement);
  WindowRef ControlOf(const Statement &statement, WindowRef window, const Token &id);
  WindowRef NamedWindow(const Statement &statement, const std::string &name);
  std::string OwnerName(const BoxView &box) const;
  std::string BoxSeen(WindowRef box);

  const std::vector<Statement> &statements_;
  BackEnd &back_end_;
  std::vector<WindowRef> matched_boxes_;  // boxes a box line has met
  std::string last_action_ = "start";
  size_t next_ = 0;
};

// velmora-scenario's output for a list of files, on either witness: plays
// each file with `play`, prints PASS FILE, FAIL FILE:LINE: reason or SKIP
// FILE: stand-in only: reason, then "N passed, N failed" (a skipped file is
// neither); returns the exit status (0, 1, or 2 when a file could not be read
// or parsed). `read` gives a file's text, or false with the reason.
using FileReader = std::function<bool(const std::string &path, std::string *text, std::string *error)>;
using FilePlayer = std::function<Verdict(const std::string &text, size_t index)>;
int PlayFiles(const std::vector<std::string> &paths, const FileReader &read, const FilePlayer &play);

}  // namespace scenario
}  // namespace standin

#endif
