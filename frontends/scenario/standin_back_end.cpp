// SPDX-License-Identifier: GPL-3.0-or-later
// The scenario interpreter's back end on the stand-in: the program's WinMain
// runs in this process, and its stand-in is asked what the screen holds. The
// program's loops call the driver when it waits for the user; the driver
// lets the interpreter play up to the next input.
#include <standin/call_log.h>
#include <standin/clock.h>
#include <standin/driver.h>
#include <standin/network.h>
#include <standin/text.h>
#include <standin/ui.h>

#include <commctrl.h>
#include <remote_host.h>

#include <cstdio>

#include "real_host_mode.h"
#include "scenario_interpreter.h"
#include "standin_player.h"

namespace standin {
namespace scenario {
namespace {

// Thrown by the driver to unwind WinMain when the scenario has no more input
// for the program, or the program did what the platform does not survive.
struct EndOfRun {};

HWND Window(WindowRef ref) { return reinterpret_cast<HWND>(ref); }
WindowRef Ref(HWND window) { return reinterpret_cast<WindowRef>(window); }

// The program's texts in its code page, decoded by the stand-in's own table
// (the one MultiByteToWideChar uses), as the platform would show them.
std::string Decoded(const std::string &ansi) {
  if (ansi.empty()) return "";
  const int size = static_cast<int>(ansi.size());
  std::u16string wide(static_cast<size_t>(MultiByteToWideChar(932, 0, ansi.data(), size, nullptr, 0)), u'\0');
  MultiByteToWideChar(932, 0, ansi.data(), size, reinterpret_cast<LPWSTR>(&wide[0]), static_cast<int>(wide.size()));
  return Utf16ToUtf8(wide);
}

std::vector<std::string> Decoded(const std::vector<std::string> &ansi) {
  std::vector<std::string> utf8;
  for (const std::string &text : ansi) utf8.push_back(Decoded(text));
  return utf8;
}

class StandInBackEnd : public BackEnd, public Driver {
 public:
  explicit StandInBackEnd(const ScenarioProgram &program) : program_(program) {}

  bool IsStandIn() const override { return true; }

  // ---- The world.
  std::string ApplyWorld(const std::vector<Token> &statement) override {
    return ApplyWorldStatement(OnRealHost(statement));
  }
  std::string SetClock(const SYSTEMTIME &local_time) override {
    standin::SetClock(local_time);
    return "";
  }
  std::string AdvanceClock(uint64_t milliseconds) override {
    standin::AdvanceClock(milliseconds);
    return "";
  }

  // ---- The run.
  std::string Run(Interpreter &interpreter) override {
    interpreter_ = &interpreter;
    HINSTANCE instance = LoadModule(program_.res_data, program_.res_size);
    if (instance == nullptr) return "the program's resources cannot be read";
    ClearRecordedCalls();
    struct DriverInForce {
      explicit DriverInForce(Driver *driver) { SetDriver(driver); }
      ~DriverInForce() { SetDriver(nullptr); }
    } in_force(this);
    try {
      exit_code_ = program_.win_main(instance, nullptr, const_cast<LPSTR>(""), SW_SHOWNORMAL);
      ended_ = true;
    } catch (const EndOfRun &) {
    }
    return fault_;
  }
  bool HasEnded(bool) override { return ended_; }
  int ExitCode() override { return exit_code_; }

  void WaitForInput() override {
    if (!interpreter_->ProgramWaits()) throw EndOfRun();
  }
  void ProgramFault(const std::string &what) override {
    fault_ = "program fault: " + what;
    throw EndOfRun();
  }

  // ---- The screen.
  std::vector<WindowRef> MessageBoxes() override {
    std::vector<WindowRef> boxes;
    for (HWND box : OpenMessageBoxes()) boxes.push_back(Ref(box));
    return boxes;
  }
  BoxView ReadBox(WindowRef box) override {
    HWND owner = OwnerOf(Window(box));
    return BoxView{Decoded(standin::TextOf(Window(box))), Decoded(MessageBoxTextOf(Window(box))),
                   MessageBoxStyleOf(Window(box)), owner != nullptr, owner ? TemplateNameOf(owner) : ""};
  }
  WindowRef ActiveWindow() override { return Ref(standin::ActiveWindow()); }
  WindowRef InnermostWindow() override { return Ref(standin::InnermostWindow()); }
  WindowRef WindowOfTemplate(const std::string &name) override {
    for (HWND window : TopLevelWindows())
      if (!standin::IsMessageBox(window) && TemplateNameOf(window) == name) return Ref(window);
    return 0;
  }
  std::string TemplateOf(WindowRef window) override { return TemplateNameOf(Window(window)); }
  bool IsMessageBox(WindowRef window) override { return standin::IsMessageBox(Window(window)); }
  bool IsShown(WindowRef window) override { return IsWindowVisible(Window(window)); }
  bool IsEnabled(WindowRef window) override { return IsEnabledSelf(Window(window)); }
  bool HasCloseBox(WindowRef window) override { return StyleOf(Window(window)) & WS_SYSMENU; }
  WindowRef Control(WindowRef window, int id) override { return Ref(ControlById(Window(window), id)); }
  int ControlId(WindowRef control) override { return ControlIdOf(Window(control)); }
  WindowRef TopLevelOf(WindowRef window) override {
    HWND top = Window(window);
    while (top != nullptr && ControlIdOf(top) != 0) top = GetParent(top);
    return Ref(top);
  }
  ControlKind KindOf(WindowRef control) override {
    const std::string name = ClassNameOf(Window(control));
    if (name == "EDIT") return ControlKind::kEdit;
    if (name == "LISTBOX")
      return StyleOf(Window(control)) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL) ? ControlKind::kMultipleListBox
                                                                            : ControlKind::kListBox;
    if (name == "COMBOBOX") return ControlKind::kComboBox;
    if (name == WC_LISTVIEWA) return ControlKind::kListView;
    return ControlKind::kOther;
  }
  WindowRef Focus() override { return Ref(FocusWindow()); }
  std::string TextOf(WindowRef window) override { return Decoded(standin::TextOf(Window(window))); }
  bool IsChecked(WindowRef button) override { return CheckStateOf(Window(button)) == BST_CHECKED; }
  std::vector<std::string> Items(WindowRef control) override { return Decoded(ItemsOf(Window(control))); }
  std::vector<int> Selection(WindowRef control) override { return SelectionOf(Window(control)); }
  size_t RowCount(WindowRef list) override { return RowCountOf(Window(list)); }
  std::vector<std::string> Row(WindowRef list, size_t row) override { return Decoded(RowOf(Window(list), row)); }
  bool IsWaitCursorShown() override { return standin::IsWaitCursorShown(); }
  std::optional<uint64_t> LastHelpCommand() override {
    const HelpRequest help = LastHelpRequest();
    return help.any ? std::optional<uint64_t>(help.command) : std::nullopt;
  }
  uint64_t OutstandingBuffers() override { return OutstandingNetBuffers(); }
  uint64_t CallCount(const std::string &function) override { return CountCalls(function); }

  // ---- Input.
  std::string Click(WindowRef control) override {
    ClickControl(Window(control));
    return "";
  }
  std::string Type(WindowRef edit, const std::string &text) override {
    // Each character reaches the ANSI window as the code page gives it.
    ReplaceEditText(Window(edit), TypedAnsi(Utf8ToUtf16(text)));
    return "";
  }
  std::string Paste(WindowRef edit, const std::string &text) override {
    PutTextOnClipboard(Utf8ToUtf16(text));
    PasteIntoEdit(Window(edit));
    return "";
  }
  std::string Select(WindowRef control, const std::vector<int> &items) override {
    SelectItems(Window(control), items);
    return "";
  }
  std::string PressKey(WindowRef, unsigned virtual_key, bool shift, bool alt) override {
    standin::PressKey(virtual_key, shift, false, alt);
    return "";
  }
  std::string KeyDownEscape(WindowRef window) override {
    DeliverMessage(Window(window), WM_KEYDOWN, VK_ESCAPE, 0);
    return "";
  }
  std::string PressCloseBox(WindowRef window) override {
    standin::PressCloseBox(Window(window));
    return "";
  }
  std::string Answer(WindowRef box, BoxAnswer answer) override {
    if (!AnswerMessageBox(Window(box), answer)) return "the message box takes no input";
    return "";
  }

 private:
  const ScenarioProgram &program_;
  Interpreter *interpreter_ = nullptr;
  std::string fault_;
  bool ended_ = false;
  int exit_code_ = 0;
};

}  // namespace

Verdict PlayScenario(const std::string &text, const ScenarioProgram &program) {
  std::vector<Statement> statements;
  Verdict verdict;
  if (!ParseScenario(text, &statements, &verdict.line, &verdict.reason)) {
    verdict.status = Verdict::kParseError;
    return verdict;
  }
  ResetNetwork();
  if (PlayingOnRealHost()) {
    verdict.reason = BeginRealHostScenario();
    if (!verdict.reason.empty()) {
      verdict.status = Verdict::kFail;
      return verdict;
    }
  }
  ResetUserInterface();
  ClearRecordedCalls();
  std::vector<std::string> diagnostics;
  SetNetworkDiagnosticSink([&diagnostics](const std::string &message) { diagnostics.push_back(message); });
  StandInBackEnd back_end(program);
  verdict = Interpreter(statements, &back_end).Play();
  SetNetworkDiagnosticSink(nullptr);
  if (PlayingOnRealHost()) std::fprintf(stderr, "velmora-scenario: %lu SMB session(s)\n", realnet::SessionsOpened());
  ResetUserInterface();
  if (verdict.status == Verdict::kFail || verdict.status == Verdict::kParseError)
    for (const std::string &message : diagnostics) verdict.reason += "; the network reported: " + message;
  return verdict;
}

}  // namespace scenario
}  // namespace standin
