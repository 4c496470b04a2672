// Plays one scenario against a program's WinMain: the world statements
// before start, then a driver that feeds the program its input line by line
// and checks what it shows, and the expectations after WinMain returns.
#include "real_host_mode.h"
#include "scenario_statements.h"

#include <standin/call_log.h>
#include <standin/driver.h>
#include <standin/network.h>
#include <standin/scenario.h>
#include <standin/text.h>
#include <standin/ui.h>

#include <commctrl.h>
#include <remote_host.h>

#include <cctype>
#include <cstdio>
#include <functional>
#include <set>

namespace standin {
namespace scenario {
namespace {

// Thrown by the driver to end the run: a failure, or the end of the file
// while the program still runs. It unwinds WinMain like any C++ exception.
struct ScenarioEnd {
  bool failed = false;
  bool bad_file = false;  // a world line that the network refuses before start
  int line = 0;
  std::string reason;
};

uint64_t Number(const Token &token) { return NumberOf(token); }

std::string Quote(const std::string &utf8) { return QuoteString(utf8); }

std::string Hex(unsigned value) { return HexText(value); }

std::string OwnerName(HWND owner) {
  if (owner == nullptr) return "none";
  std::string name = TemplateNameOf(owner);
  if (name == "DLG_VELMORA") return "main";
  if (name == "DLG_JOB") return "job";
  if (name == "DLG_CP") return "cp";
  if (name == "DLG_ABOUT") return "about";
  return name.empty() ? "unnamed window" : name;
}

std::string JoinTexts(const std::vector<std::string> &ansi) {
  std::vector<std::string> utf8;
  for (const auto &text : ansi) utf8.push_back(Cp932ToUtf8(text));
  return JoinQuoted(utf8);
}

class Player : public Driver {
 public:
  Player(const std::vector<Statement> &statements, const ScenarioProgram &program)
      : statements_(statements), program_(program) {}

  ScenarioResult Play() {
    ScenarioResult result;
    try {
      RunUntilStart();
      if (next_ < statements_.size()) Start();
      RunAfterExit();
    } catch (const ScenarioEnd &end) {
      if (end.failed) {
        result.status = end.bad_file ? ScenarioResult::kParseError : ScenarioResult::kFail;
        result.line = end.line;
        result.reason = end.reason;
      }
    }
    SetDriver(nullptr);
    return result;
  }

  // ---- Driver ---------------------------------------------------------------

  void WaitForInput() override {
    if (MatchNewMessageBox()) return;
    for (;;) {
      if (next_ >= statements_.size()) {
        // The scenario ends while the program runs; a box must not be left waiting.
        std::vector<HWND> boxes = OpenMessageBoxes();
        if (!boxes.empty())
          throw ScenarioEnd{true, false, LastLine(),
                            "the scenario ends with a message box waiting for its answer: " + BoxSeen(boxes.back())};
        throw ScenarioEnd();
      }
      const Statement &statement = statements_[next_++];
      if (PlayWithoutInput(statement)) continue;
      switch (statement.kind) {
        case StatementKind::kExitExpectation:
          Fail(statement, "expected exit " + statement.tokens[2].value + ", but the program still runs");
        case StatementKind::kBox:
          Fail(statement, "a box line, but no message box is shown");
        case StatementKind::kAction:
          Act(statement);
          return;
        case StatementKind::kStart:
          Fail(statement, "start while the program runs");
        default:
          break;
      }
    }
  }

  // The program did what the platform does not survive: the scenario fails
  // at the statement being played, naming the call.
  void ProgramFault(const std::string &what) override {
    throw ScenarioEnd{true, false, next_ > 0 ? statements_[next_ - 1].line : 0, "program fault: " + what};
  }

  // The statements that act on the world or look at the program without
  // giving it input; they stand alike while the program waits and after it
  // has ended (the help engine, the cursor and windows the Exit button did
  // not destroy can still be looked at). False for any other statement.
  bool PlayWithoutInput(const Statement &statement) {
    switch (statement.kind) {
      case StatementKind::kWorld:
        ApplyWorld(statement);  // other programs may act on the network at any time
        return true;
      case StatementKind::kAdvance:
        AdvanceClock(Number(statement.tokens[1]) * 60000);
        return true;
      case StatementKind::kWorldExpectation:
        CheckWorld(statement);
        return true;
      case StatementKind::kUiExpectation:
        CheckUi(statement);
        return true;
      default:
        return false;
    }
  }

  // A message box the scenario has not met yet is the newest open one; the
  // next line (world lines aside) must match it. True when the line answered
  // it (input for the box's loop), false when it stays open or none is new.
  bool MatchNewMessageBox() {
    std::vector<HWND> boxes = OpenMessageBoxes();
    if (boxes.empty() || matched_boxes_.count(boxes.back())) return false;
    HWND box = boxes.back();
    std::string seen = BoxSeen(box);
    // World lines may stand between (another program acting meanwhile).
    while (next_ < statements_.size() && statements_[next_].kind == StatementKind::kWorld)
      ApplyWorld(statements_[next_++]);
    if (next_ >= statements_.size())
      throw ScenarioEnd{true, false, LastLine(),
                        "the scenario ends with a message box waiting for its answer: " + seen};
    const Statement &statement = statements_[next_++];
    if (statement.kind != StatementKind::kBox) Fail(statement, "expected the line for the shown " + seen);
    const auto &t = statement.tokens;
    std::string caption = Cp932ToUtf8(TextOf(box)), text = Cp932ToUtf8(MessageBoxTextOf(box));
    UINT style = MessageBoxStyleOf(box);
    std::string expected_caption = t[1].value, expected_text = t[2].value;
    const bool any_text = !t[2].quoted;  // `*`: the program composes the text
    unsigned expected_style = static_cast<unsigned>(Number(t[3]));
    bool owner_given = t.size() == 7;
    bool matches = caption == expected_caption && (any_text || text == expected_text) && expected_style == style &&
                   (!owner_given || t[4].value == OwnerName(OwnerOf(box)));
    if (!matches) {
      std::string wanted = "box " + Quote(expected_caption) + " " + (any_text ? "*" : Quote(expected_text)) + " " +
                           Hex(expected_style) + (owner_given ? " owner=" + t[4].value : "");
      Fail(statement, "expected " + wanted + ", saw " + seen);
    }
    matched_boxes_.insert(box);
    if (t.back().value == "open") return false;
    Answer(statement, box, t.back().value);
    return true;
  }

  std::string BoxSeen(HWND box) {
    return "box " + Quote(Cp932ToUtf8(TextOf(box))) + " " + Quote(Cp932ToUtf8(MessageBoxTextOf(box))) + " " +
           Hex(MessageBoxStyleOf(box)) + " owner=" + OwnerName(OwnerOf(box));
  }

  void Answer(const Statement &statement, HWND box, const std::string &answer) {
    int id = answer == "ok" ? IDOK : answer == "yes" ? IDYES : answer == "no" ? IDNO : IDCANCEL;
    if (!Offers(MessageBoxStyleOf(box), id))
      Fail(statement, "the shown " + BoxSeen(box) + " has no button for the answer " + answer);
    if (!AnswerMessageBox(box, id)) Fail(statement, "the " + BoxSeen(box) + " takes no input");
  }

 private:
  [[noreturn]] void Fail(const Statement &statement, const std::string &reason) {
    throw ScenarioEnd{true, false, statement.line, reason};
  }

  int LastLine() const { return statements_.empty() ? 0 : statements_.back().line; }

  static bool Offers(UINT style, int id) {
    switch (style & MB_TYPEMASK) {
      case MB_OK:
        return id == IDOK;
      case MB_OKCANCEL:
        return id == IDOK || id == IDCANCEL;
      case MB_YESNO:
        return id == IDYES || id == IDNO;
      case MB_YESNOCANCEL:
        return id == IDYES || id == IDNO || id == IDCANCEL;
      case MB_RETRYCANCEL:
        return id == IDCANCEL;
      default:
        return false;
    }
  }

  void ApplyWorld(const Statement &statement) {
    std::string reason = ApplyWorldStatement(OnRealHost(statement.tokens));
    if (!reason.empty()) Fail(statement, reason);
  }

  void CheckWorld(const Statement &statement) {
    std::string reason = CheckWorldExpectation(statement.tokens);
    if (!reason.empty()) Fail(statement, reason);
  }

  void RunUntilStart() {
    while (next_ < statements_.size()) {
      const Statement &statement = statements_[next_];
      if (statement.kind == StatementKind::kStart) return;
      ++next_;
      if (statement.kind == StatementKind::kWorld) {
        std::string reason = ApplyWorldStatement(OnRealHost(statement.tokens));
        if (!reason.empty()) throw ScenarioEnd{true, true, statement.line, reason};
      } else if (statement.kind == StatementKind::kAdvance)
        AdvanceClock(Number(statement.tokens[1]) * 60000);
      else if (statement.kind == StatementKind::kWorldExpectation)
        CheckWorld(statement);
    }
  }

  void Start() {
    const Statement &start = statements_[next_++];
    HINSTANCE instance = LoadModule(program_.res_data, program_.res_size);
    if (instance == nullptr) Fail(start, "the program's resources cannot be read");
    ClearRecordedCalls();
    SetDriver(this);
    exit_code_ = program_.win_main(instance, nullptr, const_cast<LPSTR>(""), SW_SHOWNORMAL);
    SetDriver(nullptr);
  }

  // After WinMain has returned only expectations remain.
  void RunAfterExit() {
    while (next_ < statements_.size()) {
      const Statement &statement = statements_[next_++];
      if (PlayWithoutInput(statement)) continue;
      switch (statement.kind) {
        case StatementKind::kExitExpectation: {
          int expected = static_cast<int>(Number(statement.tokens[2]));
          if (expected != exit_code_)
            Fail(statement, "expected exit " + std::to_string(expected) + ", saw exit " + std::to_string(exit_code_));
          break;
        }
        default:
          Fail(statement, "the program has ended (exit " + std::to_string(exit_code_) + "); " +
                              statement.tokens[0].value + " " +
                              (statement.tokens.size() > 1 ? statement.tokens[1].value : "") + " cannot follow");
      }
    }
  }

  HWND Active(const Statement &statement) {
    HWND active = ActiveWindow();
    if (active == nullptr) Fail(statement, "no window is open");
    return active;
  }

  HWND Control(const Statement &statement, HWND window, const Token &id_token) {
    int id = static_cast<int>(Number(id_token));
    HWND control = ControlById(window, id);
    if (control == nullptr) Fail(statement, "no control " + std::to_string(id) + " in " + TemplateNameOf(window));
    return control;
  }

  // The window `on WINDOW` names: shown and enabled, else the line fails.
  HWND NamedWindow(const Statement &statement, const std::string &name) {
    for (HWND window : TopLevelWindows()) {
      if (IsMessageBox(window) || OwnerName(window) != name) continue;
      if (!IsWindowVisible(window)) Fail(statement, "the window " + name + " is not shown");
      if (!IsWindowEnabled(window)) Fail(statement, "the window " + name + " is disabled");
      return window;
    }
    Fail(statement, "no window " + name + " is open");
  }

  void Act(const Statement &statement) {
    const auto &t = statement.tokens;
    if (t[0].value == "answer") {
      std::vector<HWND> boxes = OpenMessageBoxes();
      if (boxes.empty()) Fail(statement, "answer, but no message box is open");
      Answer(statement, boxes.back(), t[1].value);
      return;
    }
    if (t[0].value == "on") {
      HWND window = NamedWindow(statement, t[1].value);
      ActOn(statement, std::vector<Token>(t.begin() + 2, t.end()), window);
      return;
    }
    HWND innermost = InnermostWindow();
    if (innermost != nullptr && IsMessageBox(innermost))
      Fail(statement, "the " + BoxSeen(innermost) + " is in front; answer it or name the window (on WINDOW ACTION)");
    ActOn(statement, t, Active(statement));
  }

  void ActOn(const Statement &statement, const std::vector<Token> &t, HWND active) {
    const std::string &verb = t[0].value;
    if (verb == "click") {
      ClickControl(Control(statement, active, t[1]));  // a disabled control ignores the click
    } else if (verb == "type") {
      HWND edit = Control(statement, active, t[1]);
      if (ClassNameOf(edit) != "EDIT") Fail(statement, "control " + t[1].value + " is not an edit");
      // Like a click, typing into a disabled edit reaches nothing. Each
      // character reaches the ANSI window as the code page gives it.
      ReplaceEditText(edit, TypedAnsi(Utf8ToUtf16(t[2].value)));
    } else if (verb == "paste") {
      HWND edit = Control(statement, active, t[1]);
      if (ClassNameOf(edit) != "EDIT") Fail(statement, "control " + t[1].value + " is not an edit");
      PutTextOnClipboard(Utf8ToUtf16(t[2].value));
      PasteIntoEdit(edit);
    } else if (verb == "select") {
      HWND control = Control(statement, active, t[1]);
      std::string cls = ClassNameOf(control);
      if (cls != "LISTBOX" && cls != "COMBOBOX" && cls != WC_LISTVIEWA)
        Fail(statement, "control " + t[1].value + " is not a list box, combo box or list view");
      std::vector<int> indices;
      size_t count = cls == "LISTBOX"    ? ItemsOf(control).size()
                     : cls == "COMBOBOX" ? ItemsOf(control).size()
                                         : RowCountOf(control);
      if (!(t.size() == 3 && t[2].value == "none")) {
        for (size_t i = 2; i < t.size(); ++i) {
          uint64_t index = Number(t[i]);
          if (index >= count)
            Fail(statement,
                 "control " + t[1].value + " has " + std::to_string(count) + " items; no item " + t[i].value);
          indices.push_back(static_cast<int>(index));
        }
      }
      if (cls != "LISTBOX" && indices.size() > 1)
        Fail(statement, "control " + t[1].value + " selects one item at a time");
      SelectItems(control, indices);  // a disabled control ignores it
    } else if (verb == "key") {
      PressNamedKey(statement, t[1].value, active);
    } else if (verb == "keydown") {
      DeliverMessage(active, WM_KEYDOWN, VK_ESCAPE, 0);
    } else if (verb == "close") {
      if (!(StyleOf(active) & WS_SYSMENU)) Fail(statement, TemplateNameOf(active) + " has no close box");
      PressCloseBox(active);
    }
  }

  // Keys go where the keyboard focus is, which must be in the window acted on.
  void PressNamedKey(const Statement &statement, const std::string &key, HWND window) {
    HWND focus = FocusWindow();
    HWND focus_top = focus;
    while (focus_top != nullptr && ControlIdOf(focus_top) != 0) focus_top = GetParent(focus_top);
    if (focus != nullptr && focus_top != window)
      Fail(statement, "the keyboard focus is not in " + TemplateNameOf(window));
    if (key == "enter")
      PressKey(VK_RETURN);
    else if (key == "escape")
      PressKey(VK_ESCAPE);
    else if (key == "tab")
      PressKey(VK_TAB);
    else if (key == "shift+tab")
      PressKey(VK_TAB, true);
    else  // alt+LETTER
      PressKey(static_cast<UINT>(std::toupper(static_cast<unsigned char>(key.back()))), false, false, true);
  }

  void Expect(const Statement &statement, bool holds, const std::string &expected, const std::string &seen) {
    if (!holds) Fail(statement, "expected " + expected + ", saw " + seen);
  }

  HWND MainWindow() {
    for (HWND window : TopLevelWindows())
      if (TemplateNameOf(window) == "DLG_VELMORA") return window;
    return nullptr;
  }

  void CheckUi(const Statement &statement) {
    const auto &t = statement.tokens;
    const std::string &what = t[1].value;
    if (what == "rows" || what == "row") {
      HWND main = MainWindow();
      if (main == nullptr) Fail(statement, "no main window DLG_VELMORA is open");
      HWND list = Control(statement, main, Token{"", "104", false});
      size_t rows = RowCountOf(list);
      if (what == "rows") {
        Expect(statement, rows == Number(t[2]), t[2].value + " rows", std::to_string(rows) + " rows");
        return;
      }
      uint64_t row = Number(t[2]);
      if (row >= rows)
        Fail(statement, "expected row " + t[2].value + ", the list has " + std::to_string(rows) + " rows");
      std::vector<std::string> texts = RowOf(list, static_cast<size_t>(row));
      texts.resize(4);
      std::string expected, seen;
      bool same = true;
      for (size_t i = 0; i < 4; ++i) {
        expected += " " + Quote(t[3 + i].value);
        seen += " " + Quote(Cp932ToUtf8(texts[i]));
        same = same && Cp932ToUtf8(texts[i]) == t[3 + i].value;
      }
      Expect(statement, same, "row " + t[2].value + expected, "row " + t[2].value + seen);
      return;
    }
    if (what == "cursor") {
      bool wait = IsWaitCursorShown();
      Expect(statement, (t[2].value == "wait") == wait, "cursor " + t[2].value, wait ? "cursor wait" : "cursor arrow");
      return;
    }
    if (what == "buffers") {
      const size_t held = OutstandingNetBuffers();
      Expect(statement, held == Number(t[2]), "buffers " + t[2].value, "buffers " + std::to_string(held));
      return;
    }
    if (what == "help") {
      HelpRequest help = LastHelpRequest();
      Expect(statement, help.any && help.command == Number(t[2]), "help " + t[2].value,
             help.any ? "help " + std::to_string(help.command) : "no help call");
      return;
    }
    HWND active = Active(statement);
    if (what == "window") {
      std::string name = TemplateNameOf(active);
      Expect(statement, name == t[2].value, "window " + t[2].value, "window " + name);
      return;
    }
    if (what == "focus") {
      HWND focus = FocusWindow();
      std::string seen = focus == nullptr          ? "no focus"
                         : ControlIdOf(focus) != 0 ? "focus on " + std::to_string(ControlIdOf(focus))
                         : IsMessageBox(focus)     ? "focus on the " + BoxSeen(focus)
                                                   : "focus on the window " + TemplateNameOf(focus);
      // none: the active window itself has the focus, no control of it.
      bool holds = t[2].value == "none" ? focus == active : focus == Control(statement, active, t[2]);
      Expect(statement, holds, "focus " + t[2].value, seen);
      return;
    }
    if (what == "text") {
      std::string text = Cp932ToUtf8(TextOf(Control(statement, active, t[2])));
      Expect(statement, text == t[3].value, "text " + t[2].value + " " + Quote(t[3].value),
             "text " + t[2].value + " " + Quote(text));
      return;
    }
    if (what == "checked" || what == "unchecked" || what == "enabled" || what == "disabled") {
      for (size_t i = 2; i < t.size(); ++i) {
        HWND control = Control(statement, active, t[i]);
        bool state = what == "checked"     ? CheckStateOf(control) == BST_CHECKED
                     : what == "unchecked" ? CheckStateOf(control) == BST_UNCHECKED
                     : what == "enabled"   ? IsEnabledSelf(control)
                                           : !IsEnabledSelf(control);
        if (!state) {
          std::string seen = what == "checked" || what == "unchecked"
                                 ? (CheckStateOf(control) == BST_CHECKED ? "checked" : "unchecked")
                                 : (IsEnabledSelf(control) ? "enabled" : "disabled");
          Fail(statement, "expected " + t[i].value + " " + what + ", saw " + t[i].value + " " + seen);
        }
      }
      return;
    }
    if (what == "items") {
      HWND control = Control(statement, active, t[2]);
      std::vector<std::string> expected;
      for (size_t i = 3; i < t.size(); ++i) expected.push_back(Utf8ToCp932(t[i].value));
      std::vector<std::string> items = ItemsOf(control);
      bool same = items.size() == t.size() - 3;
      for (size_t i = 0; same && i < items.size(); ++i) same = Cp932ToUtf8(items[i]) == t[3 + i].value;
      Expect(statement, same, "items " + t[2].value + " " + JoinTexts(expected),
             "items " + t[2].value + " " + JoinTexts(items));
      return;
    }
    if (what == "selected") {
      HWND control = Control(statement, active, t[2]);
      std::vector<int> expected;
      if (!(t.size() == 4 && t[3].value == "none"))
        for (size_t i = 3; i < t.size(); ++i) expected.push_back(static_cast<int>(Number(t[i])));
      std::vector<int> seen = SelectionOf(control);
      Expect(statement, seen == expected, "selected " + t[2].value + " " + JoinNumbers(expected),
             "selected " + t[2].value + " " + JoinNumbers(seen));
      return;
    }
    Fail(statement, "unknown expectation " + what);
  }

  const std::vector<Statement> &statements_;
  const ScenarioProgram &program_;
  std::set<HWND> matched_boxes_;  // message boxes their box line has met
  size_t next_ = 0;
  int exit_code_ = 0;
};

}  // namespace
}  // namespace scenario

ScenarioResult PlayScenario(const std::string &text, const ScenarioProgram &program) {
  std::vector<scenario::Statement> statements;
  ScenarioResult result;
  if (!scenario::ParseScenario(text, &statements, &result.line, &result.reason)) {
    result.status = ScenarioResult::kParseError;
    return result;
  }
  ResetNetwork();
  if (scenario::PlayingOnRealHost()) {
    result.reason = scenario::BeginRealHostScenario();
    if (!result.reason.empty()) {
      result.status = ScenarioResult::kFail;
      return result;
    }
  }
  ResetUserInterface();
  ClearRecordedCalls();
  std::vector<std::string> diagnostics;
  SetNetworkDiagnosticSink([&diagnostics](const std::string &message) { diagnostics.push_back(message); });
  scenario::Player player(statements, program);
  result = player.Play();
  SetNetworkDiagnosticSink(nullptr);
  if (scenario::PlayingOnRealHost())
    std::fprintf(stderr, "velmora-scenario: %lu SMB session(s)\n", realnet::SessionsOpened());
  ResetUserInterface();
  if (result.status != ScenarioResult::kPass)
    for (const std::string &message : diagnostics) result.reason += "; the network reported: " + message;
  return result;
}

}  // namespace standin
