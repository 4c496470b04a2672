// SPDX-License-Identifier: GPL-3.0-or-later
// The statements played in order: the world before start, then, each time
// the program waits for the user, every statement up to the next one that
// gives it input, and after it has ended the expectations that remain.
#include "scenario_interpreter.h"

#include <standin/network.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

// The program's dialog and control names.
#include "res/resource.h"
#include "world_expectations.h"

namespace standin {
namespace scenario {
namespace {

uint64_t Number(const Token &token) { return NumberOf(token); }

std::string Quote(const std::string &utf8) { return QuoteString(utf8); }

std::string Shown(const std::vector<Token> &tokens) {
  std::string text;
  for (const Token &token : tokens) {
    if (!text.empty()) text += " ";
    if (!token.key.empty()) text += token.key + "=";
    text += token.quoted ? Quote(token.value) : token.value;
  }
  return text;
}

std::string ShortName(const std::string &template_name) {
  if (template_name == IDD_VELMORA) return "main";
  if (template_name == IDD_JOB) return "job";
  if (template_name == IDD_CP) return "cp";
  if (template_name == IDD_ABOUT) return "about";
  return template_name.empty() ? "unnamed window" : template_name;
}

std::string TemplateNamed(const std::string &short_name) {
  if (short_name == "main") return IDD_VELMORA;
  if (short_name == "job") return IDD_JOB;
  if (short_name == "cp") return IDD_CP;
  return IDD_ABOUT;
}

// The buttons of a box's type (MB_OK, MB_OKCANCEL, ...).
bool Offers(unsigned style, BoxAnswer answer) {
  switch (style & 0x0F) {
    case 0:  // MB_OK
      return answer == kAnswerOk;
    case 1:  // MB_OKCANCEL
      return answer == kAnswerOk || answer == kAnswerCancel;
    case 3:  // MB_YESNOCANCEL
      return answer == kAnswerYes || answer == kAnswerNo || answer == kAnswerCancel;
    case 4:  // MB_YESNO
      return answer == kAnswerYes || answer == kAnswerNo;
    case 5:  // MB_RETRYCANCEL
      return answer == kAnswerCancel;
    default:
      return false;
  }
}

BoxAnswer AnswerNamed(const std::string &answer) {
  return answer == "ok" ? kAnswerOk : answer == "yes" ? kAnswerYes : answer == "no" ? kAnswerNo : kAnswerCancel;
}

}  // namespace

Verdict Interpreter::Play() {
  Verdict verdict;
  for (const Statement &statement : statements_)
    if (statement.kind == StatementKind::kStandInOnly && !back_end_.IsStandIn())
      return Verdict{Verdict::kSkip, statement.line, "stand-in only: " + statement.tokens[2].value};
  const std::string clock = back_end_.SetClock(DefaultClock());
  if (!clock.empty()) return Verdict{Verdict::kFail, 0, clock};
  try {
    PlayUntilStart();
    if (next_ < statements_.size()) {
      ++next_;  // start
      const std::string reason = back_end_.Run(*this);
      if (!reason.empty()) Fail(statements_[next_ - 1], reason);
      if (back_end_.HasEnded(false)) PlayAfterExit();
    }
  } catch (const Failure &failure) {
    verdict = failure.verdict;
  }
  return verdict;
}

int Interpreter::CurrentLine() const { return next_ > 0 ? statements_[next_ - 1].line : 0; }

void Interpreter::Fail(const Statement &statement, const std::string &reason) {
  throw Failure{Verdict{Verdict::kFail, statement.line, reason}};
}

void Interpreter::Must(const Statement &statement, const std::string &reason) {
  if (!reason.empty()) Fail(statement, reason);
}

// A world line that the network refuses before start makes the file unfit
// to play, as a line that cannot be parsed.
void Interpreter::PlayUntilStart() {
  while (next_ < statements_.size() && statements_[next_].kind != StatementKind::kStart) {
    const Statement &statement = statements_[next_++];
    if (statement.kind == StatementKind::kWorld) {
      const std::string reason = ApplyWorld(statement);
      if (!reason.empty()) throw Failure{Verdict{Verdict::kParseError, statement.line, reason}};
    } else {
      // advance or a world expectation (or stand-in only, honoured in Play):
      // the parser allows no other
      PlayWithoutInput(statement);
    }
  }
}

bool Interpreter::ProgramWaits() {
  if (MatchNewMessageBox()) return true;
  for (;;) {
    if (next_ >= statements_.size()) {
      // The scenario ends while the program runs; a box must not be left waiting.
      const std::vector<WindowRef> boxes = back_end_.MessageBoxes();
      if (!boxes.empty())
        Fail(statements_.back(),
             "the scenario ends with a message box waiting for its answer: " + BoxSeen(boxes.back()));
      return false;
    }
    const Statement &statement = statements_[next_];
    // A program told to end may still be on its way out.
    if (back_end_.HasEnded(statement.kind == StatementKind::kExitExpectation)) return false;
    ++next_;
    if (PlayWithoutInput(statement)) continue;
    switch (statement.kind) {
      case StatementKind::kExitExpectation:
        Fail(statement, "expected exit " + statement.tokens[2].value + ", but the program still runs");
      case StatementKind::kBox:
        Fail(statement, "a box line, but no message box is shown");
      case StatementKind::kStart:
        Fail(statement, "start while the program runs");
      default:
        last_action_ = Shown(statement.tokens);
        Act(statement);
        return true;
    }
  }
}

// After the program has ended only expectations and the world remain: the
// help engine, the cursor, the buffers and the stores can still be looked at.
void Interpreter::PlayAfterExit() {
  while (next_ < statements_.size()) {
    const Statement &statement = statements_[next_++];
    const int code = back_end_.ExitCode();
    if (statement.kind == StatementKind::kExitExpectation) {
      const int expected = static_cast<int>(Number(statement.tokens[2]));
      if (expected != code)
        Fail(statement, "expected exit " + std::to_string(expected) + ", saw exit " + std::to_string(code));
    } else if (!PlayWithoutInput(statement)) {
      Fail(statement, "the program has ended (exit " + std::to_string(code) + "); " + statement.tokens[0].value + " " +
                          (statement.tokens.size() > 1 ? statement.tokens[1].value : "") + " cannot follow");
    }
  }
}

// The statements that act on the world or look at the program without giving
// it input. False for any other statement.
bool Interpreter::PlayWithoutInput(const Statement &statement) {
  switch (statement.kind) {
    case StatementKind::kWorld:  // other programs may act on the network at any time
      Must(statement, ApplyWorld(statement));
      return true;
    case StatementKind::kAdvance:
      Must(statement, back_end_.AdvanceClock(Number(statement.tokens[1]) * 60000));
      return true;
    case StatementKind::kWorldExpectation:
      if (statement.tokens[1].value == "calls") {
        const auto &t = statement.tokens;
        const uint64_t seen = back_end_.CallCount(t[2].value);
        Expect(statement, seen == Number(t[3]), t[3].value + " calls of " + t[2].value, std::to_string(seen));
      } else {
        Must(statement, CheckStores(statement.tokens));
      }
      return true;
    case StatementKind::kUiExpectation:
      CheckUi(statement);
      return true;
    default:
      return false;
  }
}

// The clock is the interpreter's to read; the back end only sets it.
std::string Interpreter::ApplyWorld(const Statement &statement) {
  if (statement.tokens[0].value != "clock") return back_end_.ApplyWorld(statement.tokens);
  SYSTEMTIME clock{};
  std::string error;
  if (!ReadClockStatement(statement.tokens, &clock, &error)) return error;
  return back_end_.SetClock(clock);
}

// A message box the scenario has not met yet is the newest open one; the
// next line (world lines aside) must match it. True when the line answered
// it (input for the box's loop), false when it stays open or none is new.
bool Interpreter::MatchNewMessageBox() {
  const std::vector<WindowRef> boxes = back_end_.MessageBoxes();
  matched_boxes_.erase(std::remove_if(matched_boxes_.begin(), matched_boxes_.end(),
                                      [&](WindowRef box) { return std::count(boxes.begin(), boxes.end(), box) == 0; }),
                       matched_boxes_.end());
  if (boxes.empty() || std::count(matched_boxes_.begin(), matched_boxes_.end(), boxes.back())) return false;
  const WindowRef box = boxes.back();
  // World lines may stand between (another program acting meanwhile).
  while (next_ < statements_.size() && statements_[next_].kind == StatementKind::kWorld)
    PlayWithoutInput(statements_[next_++]);
  const std::string seen = BoxSeen(box);
  if (next_ >= statements_.size())
    Fail(statements_.back(), "the scenario ends with a message box waiting for its answer: " + seen);
  const Statement &statement = statements_[next_++];
  if (statement.kind != StatementKind::kBox) Fail(statement, "expected the line for the shown " + seen);
  const auto &t = statement.tokens;
  const BoxView shown = back_end_.ReadBox(box);
  const bool any_text = !t[2].quoted;  // `*`: the program composes the text
  const unsigned expected_style = static_cast<unsigned>(Number(t[3]));
  const bool owner_given = t.size() == 7;
  const bool matches = shown.caption == t[1].value && (any_text || shown.text == t[2].value) &&
                       shown.style == expected_style && (!owner_given || t[4].value == OwnerName(shown));
  if (!matches)
    Fail(statement, "expected box " + Quote(t[1].value) + " " + (any_text ? "*" : Quote(t[2].value)) + " " +
                        HexText(expected_style) + (owner_given ? " owner=" + t[4].value : "") + ", saw " + seen);
  matched_boxes_.push_back(box);
  if (t.back().value == "open") return false;
  last_action_ = Shown(t);
  AnswerBox(statement, box, t.back().value);
  return true;
}

std::string Interpreter::OwnerName(const BoxView &box) const {
  return box.has_owner ? ShortName(box.owner_template) : "none";
}

std::string Interpreter::BoxSeen(WindowRef box) {
  const BoxView shown = back_end_.ReadBox(box);
  return "box " + Quote(shown.caption) + " " + Quote(shown.text) + " " + HexText(shown.style) +
         " owner=" + OwnerName(shown);
}

void Interpreter::AnswerBox(const Statement &statement, WindowRef box, const std::string &answer) {
  if (!Offers(back_end_.ReadBox(box).style, AnswerNamed(answer)))
    Fail(statement, "the shown " + BoxSeen(box) + " has no button for the answer " + answer);
  Must(statement, back_end_.Answer(box, AnswerNamed(answer)));
}

WindowRef Interpreter::Active(const Statement &statement) {
  const WindowRef active = back_end_.ActiveWindow();
  if (active == 0) Fail(statement, "no window is open");
  return active;
}

WindowRef Interpreter::ControlOf(const Statement &statement, WindowRef window, const Token &id) {
  const WindowRef control = back_end_.Control(window, static_cast<int>(Number(id)));
  if (control == 0) Fail(statement, "no control " + id.value + " in " + back_end_.TemplateOf(window));
  return control;
}

// The window `on WINDOW` names: shown and enabled, else the line fails.
WindowRef Interpreter::NamedWindow(const Statement &statement, const std::string &name) {
  const WindowRef window = back_end_.WindowOfTemplate(TemplateNamed(name));
  if (window == 0) Fail(statement, "no window " + name + " is open");
  if (!back_end_.IsShown(window)) Fail(statement, "the window " + name + " is not shown");
  if (!back_end_.IsEnabled(window)) Fail(statement, "the window " + name + " is disabled");
  return window;
}

void Interpreter::Act(const Statement &statement) {
  const auto &t = statement.tokens;
  if (t[0].value == "answer") {
    const std::vector<WindowRef> boxes = back_end_.MessageBoxes();
    if (boxes.empty()) Fail(statement, "answer, but no message box is open");
    AnswerBox(statement, boxes.back(), t[1].value);
    return;
  }
  if (t[0].value == "on") {
    ActOn(statement, std::vector<Token>(t.begin() + 2, t.end()), NamedWindow(statement, t[1].value));
    return;
  }
  const WindowRef innermost = back_end_.InnermostWindow();
  if (innermost != 0 && back_end_.IsMessageBox(innermost))
    Fail(statement, "the " + BoxSeen(innermost) + " is in front; answer it or name the window (on WINDOW ACTION)");
  ActOn(statement, t, Active(statement));
}

void Interpreter::ActOn(const Statement &statement, const std::vector<Token> &t, WindowRef window) {
  const std::string &verb = t[0].value;
  if (verb == "click") {
    Must(statement, back_end_.Click(ControlOf(statement, window, t[1])));  // a disabled control ignores it
  } else if (verb == "type" || verb == "paste") {
    const WindowRef edit = ControlOf(statement, window, t[1]);
    if (back_end_.KindOf(edit) != ControlKind::kEdit) Fail(statement, "control " + t[1].value + " is not an edit");
    Must(statement, verb == "type" ? back_end_.Type(edit, t[2].value) : back_end_.Paste(edit, t[2].value));
  } else if (verb == "select") {
    Select(statement, t, ControlOf(statement, window, t[1]));
  } else if (verb == "key") {
    // Keys go where the keyboard focus is, which must be in the window acted on.
    const WindowRef focus = back_end_.Focus();
    if (focus != 0 && back_end_.TopLevelOf(focus) != window)
      Fail(statement, "the keyboard focus is not in " + back_end_.TemplateOf(window));
    const std::string &key = t[1].value;
    // The platform's virtual-key codes: Enter, Escape, Tab, and a letter's own code.
    const bool tab = key == "tab" || key == "shift+tab";
    const unsigned code = key == "enter"    ? 0x0D
                          : key == "escape" ? 0x1B
                          : tab             ? 0x09
                                            : static_cast<unsigned>(std::toupper(static_cast<unsigned char>(key[4])));
    Must(statement, back_end_.PressKey(window, code, key == "shift+tab", key.compare(0, 4, "alt+") == 0));
  } else if (verb == "keydown") {
    Must(statement, back_end_.KeyDownEscape(window));
  } else if (verb == "close") {
    if (!back_end_.HasCloseBox(window)) Fail(statement, back_end_.TemplateOf(window) + " has no close box");
    Must(statement, back_end_.PressCloseBox(window));
  }
}

void Interpreter::Select(const Statement &statement, const std::vector<Token> &t, WindowRef control) {
  const ControlKind kind = back_end_.KindOf(control);
  const bool list_box = kind == ControlKind::kListBox || kind == ControlKind::kMultipleListBox;
  if (!list_box && kind != ControlKind::kComboBox && kind != ControlKind::kListView)
    Fail(statement, "control " + t[1].value + " is not a list box, combo box or list view");
  const size_t count = kind == ControlKind::kListView ? back_end_.RowCount(control) : back_end_.Items(control).size();
  std::vector<int> indices;
  if (!(t.size() == 3 && t[2].value == "none")) {
    for (size_t i = 2; i < t.size(); ++i) {
      if (Number(t[i]) >= count)
        Fail(statement, "control " + t[1].value + " has " + std::to_string(count) + " items; no item " + t[i].value);
      indices.push_back(static_cast<int>(Number(t[i])));
    }
  }
  if (kind != ControlKind::kMultipleListBox && indices.size() > 1)
    Fail(statement, "control " + t[1].value + " selects one item at a time");
  Must(statement, back_end_.Select(control, indices));  // a disabled control ignores it
}

void Interpreter::Expect(const Statement &statement, bool holds, const std::string &expected, const std::string &seen) {
  if (!holds) Fail(statement, "expected " + expected + ", saw " + seen);
}

void Interpreter::CheckList(const Statement &statement) {
  const auto &t = statement.tokens;
  const WindowRef main = back_end_.WindowOfTemplate(IDD_VELMORA);
  if (main == 0) Fail(statement, std::string("no main window ") + IDD_VELMORA + " is open");
  const WindowRef list = ControlOf(statement, main, Token{"", std::to_string(IDC_JOB_LIST), false});
  const size_t rows = back_end_.RowCount(list);
  if (t[1].value == "rows") {
    Expect(statement, rows == Number(t[2]), t[2].value + " rows", std::to_string(rows) + " rows");
    return;
  }
  const uint64_t row = Number(t[2]);
  if (row >= rows) Fail(statement, "expected row " + t[2].value + ", the list has " + std::to_string(rows) + " rows");
  std::vector<std::string> texts = back_end_.Row(list, static_cast<size_t>(row));
  texts.resize(4);
  std::string expected, seen;
  bool same = true;
  for (size_t i = 0; i < 4; ++i) {
    expected += " " + Quote(t[3 + i].value);
    seen += " " + Quote(texts[i]);
    same = same && texts[i] == t[3 + i].value;
  }
  Expect(statement, same, "row " + t[2].value + expected, "row " + t[2].value + seen);
}

void Interpreter::CheckUi(const Statement &statement) {
  const auto &t = statement.tokens;
  const std::string &what = t[1].value;
  if (what == "rows" || what == "row") {
    CheckList(statement);
    return;
  }
  if (what == "cursor") {
    const bool wait = back_end_.IsWaitCursorShown();
    Expect(statement, (t[2].value == "wait") == wait, "cursor " + t[2].value, wait ? "cursor wait" : "cursor arrow");
    return;
  }
  if (what == "buffers") {
    const uint64_t held = back_end_.OutstandingBuffers();
    Expect(statement, held == Number(t[2]), "buffers " + t[2].value, "buffers " + std::to_string(held));
    return;
  }
  if (what == "help") {
    const std::optional<uint64_t> command = back_end_.LastHelpCommand();
    Expect(statement, command && *command == Number(t[2]), "help " + t[2].value,
           command ? "help " + std::to_string(*command) : "no help call");
    return;
  }
  const WindowRef active = Active(statement);
  if (what == "window") {
    const std::string name = back_end_.TemplateOf(active);
    Expect(statement, name == t[2].value, "window " + t[2].value, "window " + name);
    return;
  }
  if (what == "focus") {
    const WindowRef focus = back_end_.Focus();
    const bool on_control = focus != 0 && back_end_.ControlId(focus) != 0;
    const std::string seen = focus == 0                      ? "no focus"
                             : on_control                    ? "focus on " + std::to_string(back_end_.ControlId(focus))
                             : back_end_.IsMessageBox(focus) ? "focus on the " + BoxSeen(focus)
                                                             : "focus on the window " + back_end_.TemplateOf(focus);
    // none: no control has the focus (the active window itself has it).
    const bool holds = t[2].value == "none" ? !on_control : focus == ControlOf(statement, active, t[2]);
    Expect(statement, holds, "focus " + t[2].value, seen);
    return;
  }
  if (what == "text") {
    const std::string text = back_end_.TextOf(ControlOf(statement, active, t[2]));
    Expect(statement, text == t[3].value, "text " + t[2].value + " " + Quote(t[3].value),
           "text " + t[2].value + " " + Quote(text));
    return;
  }
  if (what == "checked" || what == "unchecked" || what == "enabled" || what == "disabled") {
    const bool about_check = what == "checked" || what == "unchecked";
    for (size_t i = 2; i < t.size(); ++i) {
      const WindowRef control = ControlOf(statement, active, t[i]);
      const bool yes = about_check ? back_end_.IsChecked(control) : back_end_.IsEnabled(control);
      const bool wanted = what == "checked" || what == "enabled";
      if (yes != wanted) {
        const std::string seen = about_check ? (yes ? "checked" : "unchecked") : (yes ? "enabled" : "disabled");
        Fail(statement, "expected " + t[i].value + " " + what + ", saw " + t[i].value + " " + seen);
      }
    }
    return;
  }
  if (what == "items") {
    std::vector<std::string> wanted;
    for (size_t i = 3; i < t.size(); ++i) wanted.push_back(t[i].value);
    const std::vector<std::string> items = back_end_.Items(ControlOf(statement, active, t[2]));
    Expect(statement, items == wanted, "items " + t[2].value + " " + JoinQuoted(wanted),
           "items " + t[2].value + " " + JoinQuoted(items));
    return;
  }
  if (what == "selected") {
    std::vector<int> expected;
    if (!(t.size() == 4 && t[3].value == "none"))
      for (size_t i = 3; i < t.size(); ++i) expected.push_back(static_cast<int>(Number(t[i])));
    const std::vector<int> seen = back_end_.Selection(ControlOf(statement, active, t[2]));
    Expect(statement, seen == expected, "selected " + t[2].value + " " + JoinNumbers(expected),
           "selected " + t[2].value + " " + JoinNumbers(seen));
    return;
  }
  Fail(statement, "unknown expectation " + what);
}

int PlayFiles(const std::vector<std::string> &paths, const FileReader &read, const FilePlayer &play) {
  int passed = 0, failed = 0;
  bool unreadable = false;
  for (size_t i = 0; i < paths.size(); ++i) {
    std::string text, error;
    Verdict verdict;
    if (read(paths[i], &text, &error))
      verdict = play(text, i);
    else
      verdict = {Verdict::kParseError, 0, "cannot read the file: " + error};
    if (verdict.status == Verdict::kPass) {
      std::printf("PASS %s\n", paths[i].c_str());
      ++passed;
    } else if (verdict.status == Verdict::kSkip) {
      std::printf("SKIP %s: %s\n", paths[i].c_str(), verdict.reason.c_str());
    } else {
      std::printf("FAIL %s:%d: %s\n", paths[i].c_str(), verdict.line, verdict.reason.c_str());
      ++failed;
      unreadable = unreadable || verdict.status == Verdict::kParseError;
    }
    std::fflush(stdout);
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  std::fflush(stdout);
  return unreadable ? 2 : failed ? 1 : 0;
}

}  // namespace scenario
}  // namespace standin
