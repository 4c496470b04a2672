// SPDX-License-Identifier: GPL-3.0-or-later
// The scenario interpreter's back end on the real program under Wine: the
// world goes to the network file, the fault file and the clock file, input
// goes through SendInput and posted mouse messages, and the screen is read
// from the live windows and the program's traced calls.
#include "wine_back_end.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>

#include "../scenario_interpreter.h"
#include "call_trace.h"
#include "failure_screenshot.h"
#include "live_program.h"
#include "scenario_world.h"
#include "user_input.h"

namespace wine_player {
namespace {

using standin::Token;
using standin::scenario::BackEnd;
using standin::scenario::BoxAnswer;
using standin::scenario::BoxView;
using standin::scenario::ControlKind;
using standin::scenario::Interpreter;
using standin::scenario::Verdict;
using standin::scenario::WindowRef;

constexpr DWORD kExitWaitMs = 10000;

HWND Window(WindowRef ref) { return reinterpret_cast<HWND>(ref); }
WindowRef Ref(HWND window) { return reinterpret_cast<WindowRef>(window); }

// A message box's text without the carriage returns that the platform may
// keep in front of its line feeds.
std::string WithoutCarriageReturns(const std::string &text) {
  std::string out;
  for (char c : text)
    if (c != '\r') out += c;
  return out;
}

bool Usable(HWND control) { return IsWindowEnabled(control) && IsWindowEnabled(GetAncestor(control, GA_ROOT)); }

LRESULT Ask(HWND window, UINT message, WPARAM wparam = 0) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, message, wparam, 0, SMTO_BLOCK, 10000, &result);
  return static_cast<LRESULT>(result);
}

bool PutOnClipboard(const std::string &utf8) {
  const std::wstring wide = Wide(utf8);
  if (!OpenClipboard(nullptr)) return false;
  EmptyClipboard();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t));
  bool ok = memory != nullptr;
  if (ok) {
    memcpy(GlobalLock(memory), wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    // Unicode text: the platform gives the ANSI program CF_TEXT in its code page.
    ok = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
  }
  CloseClipboard();
  return ok;
}

bool FindCloseBox(HWND window, POINT *point) {
  RECT rect{};
  GetWindowRect(window, &rect);
  const int caption = GetSystemMetrics(SM_CYCAPTION);
  for (int dy = 2; dy < caption + 8; dy += 2)
    for (int dx = 2; dx < 4 * caption; dx += 2) {
      POINT p{rect.right - dx, rect.top + dy};
      DWORD_PTR hit = 0;
      if (SendMessageTimeoutW(window, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y), SMTO_BLOCK, 5000, &hit) &&
          hit == HTCLOSE) {
        point->x = p.x - 3 > rect.left ? p.x - 3 : p.x;  // inside the button, not on its edge
        point->y = p.y + 3;
        DWORD_PTR again = 0;
        SendMessageTimeoutW(window, WM_NCHITTEST, 0, MAKELPARAM(point->x, point->y), SMTO_BLOCK, 5000, &again);
        if (again != HTCLOSE) *point = p;
        return true;
      }
    }
  return false;
}

class WineBackEnd : public BackEnd {
 public:
  WineBackEnd(const std::wstring &exe_path, ScenarioWorld *world, const std::vector<DialogTemplate> &templates)
      : exe_path_(exe_path),
        world_(*world),
        templates_(templates),
        trace_(world->RelayTracePath(), world->NetworkCallLogPath()) {}
  ~WineBackEnd() override { program_.Kill(); }

  // The program's windows, for the pictures of a failure.
  std::vector<HWND> Windows() const { return program_.Windows(); }

  bool IsStandIn() const override { return false; }

  // ---- The world.
  std::string ApplyWorld(const std::vector<Token> &statement) override { return world_.Apply(statement); }
  std::string SetClock(const SYSTEMTIME &local_time) override { return world_.SetClock(local_time); }
  std::string AdvanceClock(uint64_t milliseconds) override { return world_.AdvanceMilliseconds(milliseconds); }

  // ---- The run.
  std::string Run(Interpreter &interpreter) override {
    interpreter_ = &interpreter;
    std::string reason = world_.RealiseLocalComputer();
    if (!reason.empty()) return reason;
    trace_.MarkStart();
    reason = program_.Start(exe_path_, world_.ProgramEnvironment(), world_.ProgramOutputPath(), templates_);
    if (!reason.empty()) return reason;
    uint64_t image_start = 0, image_end = 0;
    if (program_.ImageRange(&image_start, &image_end)) trace_.SetCaller(image_start, image_end);
    for (;;) {
      reason = Settle();
      if (!reason.empty() || HasEnded(false) || !interpreter.ProgramWaits()) return reason;
      // Should the player be stopped from outside while the program runs,
      // its standard error still names the last action.
      std::fprintf(stderr, "velmora-scenario: line %d: %s\n", interpreter.CurrentLine(),
                   interpreter.LastAction().c_str());
      std::fflush(stderr);
    }
  }
  bool HasEnded(bool wait) override {
    DWORD code = 0;
    return wait ? program_.WaitForExit(kExitWaitMs, &code) : program_.Exited(&code);
  }
  int ExitCode() override {
    DWORD code = 0;
    program_.Exited(&code);
    return static_cast<int>(code);
  }

  // ---- The screen.
  std::vector<WindowRef> MessageBoxes() override {
    std::vector<WindowRef> boxes;
    for (HWND window : program_.Windows())  // topmost, hence newest, first
      if (program_.IsMessageBox(window)) boxes.insert(boxes.begin(), Ref(window));
    return boxes;
  }
  // Caption, text and owner from the window; the buttons it offers make the
  // style's type. The icon is a picture, which the window does not name: its
  // style bits are those the program passed to MessageBoxA.
  BoxView ReadBox(WindowRef ref) override {
    HWND box = Window(ref);
    BoxView shown;
    shown.caption = wine_player::TextOf(box);
    HWND text = GetDlgItem(box, 0xFFFF);
    shown.text = WithoutCarriageReturns(text ? wine_player::TextOf(text) : "");
    HWND owner = GetWindow(box, GW_OWNER);
    shown.has_owner = owner != nullptr;
    shown.owner_template = owner ? program_.TemplateOf(owner) : "";
    const bool ok = GetDlgItem(box, IDOK) != nullptr, cancel = GetDlgItem(box, IDCANCEL) != nullptr;
    const bool yes = GetDlgItem(box, IDYES) != nullptr, no = GetDlgItem(box, IDNO) != nullptr;
    const unsigned type = yes && no ? (cancel ? MB_YESNOCANCEL : MB_YESNO) : ok && cancel ? MB_OKCANCEL : MB_OK;
    trace_.Refresh();
    unsigned requested = 0;
    if (const TracedCall *call = trace_.Last("MessageBoxA"))
      if (call->args.size() == 4)
        if (auto style = TraceNumber(call->args[3])) requested = static_cast<unsigned>(*style);
    shown.style = type | (requested & ~static_cast<unsigned>(MB_TYPEMASK));
    return shown;
  }
  // A modal dialog or message box is in front of its owner. Before the
  // program shows a window it already exists (the main window while the
  // start-up question stands): a window of the program's templates counts
  // then, shown or not, as the stand-in counts every window that has not
  // ended.
  WindowRef ActiveWindow() override {
    for (HWND window : program_.Windows())
      if (!program_.IsMessageBox(window)) return Ref(window);
    for (HWND window : program_.Windows(/*hidden_too=*/true))
      if (!program_.TemplateOf(window).empty()) return Ref(window);
    return 0;
  }
  WindowRef InnermostWindow() override {
    for (HWND window : program_.Windows())
      if (IsWindowEnabled(window)) return Ref(window);
    return 0;
  }
  WindowRef WindowOfTemplate(const std::string &name) override { return Ref(program_.WindowOfTemplate(name)); }
  std::string TemplateOf(WindowRef window) override {
    const std::string name = program_.TemplateOf(Window(window));
    if (!name.empty()) return name;
    return program_.IsMessageBox(Window(window)) ? "a message box" : "a window of no template";
  }
  bool IsMessageBox(WindowRef window) override { return program_.IsMessageBox(Window(window)); }
  bool IsShown(WindowRef window) override { return IsWindowVisible(Window(window)); }
  bool IsEnabled(WindowRef window) override { return !(GetWindowLongW(Window(window), GWL_STYLE) & WS_DISABLED); }
  bool HasCloseBox(WindowRef window) override { return GetWindowLongW(Window(window), GWL_STYLE) & WS_SYSMENU; }
  WindowRef Control(WindowRef window, int id) override { return Ref(GetDlgItem(Window(window), id)); }
  int ControlId(WindowRef control) override {
    return TopLevelOf(control) == control ? 0 : wine_player::ControlId(Window(control));
  }
  WindowRef TopLevelOf(WindowRef window) override { return Ref(GetAncestor(Window(window), GA_ROOT)); }
  ControlKind KindOf(WindowRef control) override {
    const std::wstring name = ClassOf(Window(control));
    if (lstrcmpiW(name.c_str(), L"Edit") == 0) return ControlKind::kEdit;
    if (lstrcmpiW(name.c_str(), L"ListBox") == 0)
      return GetWindowLongW(Window(control), GWL_STYLE) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)
                 ? ControlKind::kMultipleListBox
                 : ControlKind::kListBox;
    if (lstrcmpiW(name.c_str(), L"ComboBox") == 0) return ControlKind::kComboBox;
    if (lstrcmpiW(name.c_str(), WC_LISTVIEWW) == 0) return ControlKind::kListView;
    return ControlKind::kOther;
  }
  WindowRef Focus() override { return Ref(program_.Focus()); }
  std::string TextOf(WindowRef window) override { return wine_player::TextOf(Window(window)); }
  bool IsChecked(WindowRef button) override { return Ask(Window(button), BM_GETCHECK) == BST_CHECKED; }
  std::vector<std::string> Items(WindowRef control) override { return ItemsOf(Window(control)); }
  std::vector<int> Selection(WindowRef ref) override {
    HWND control = Window(ref);
    switch (KindOf(ref)) {
      case ControlKind::kComboBox: {
        const LRESULT current = Ask(control, CB_GETCURSEL);
        return current >= 0 ? std::vector<int>{static_cast<int>(current)} : std::vector<int>{};
      }
      case ControlKind::kListView:
        return program_.ListViewSelection(control);
      default:
        return ListBoxSelection(control);
    }
  }
  size_t RowCount(WindowRef list) override { return static_cast<size_t>(program_.RowCount(Window(list))); }
  std::vector<std::string> Row(WindowRef list, size_t row) override {
    return program_.Row(Window(list), static_cast<int>(row), 4);
  }
  bool IsWaitCursorShown() override {
    trace_.Refresh();
    return trace_.LastCursorResource().value_or(0) == reinterpret_cast<ULONG_PTR>(IDC_WAIT);
  }
  std::optional<uint64_t> LastHelpCommand() override {
    trace_.Refresh();
    const TracedCall *call = trace_.Last("WinHelpA");
    if (call == nullptr || call->args.size() != 4) return std::nullopt;
    return TraceNumber(call->args[2]);
  }
  uint64_t CallCount(const std::string &function) override {
    trace_.Refresh();
    return trace_.Count(function);
  }
  uint64_t OutstandingBuffers() override {
    trace_.Refresh();
    return trace_.OutstandingBuffers();
  }

  // ---- Input.
  std::string Click(WindowRef control) override {
    ToFront(Window(control));
    return ClickOn(Window(control));
  }
  std::string Type(WindowRef ref, const std::string &text) override {
    HWND edit = Window(ref);
    ToFront(edit);
    if (!Usable(edit)) return ClickOn(edit);  // a disabled edit takes neither the click nor the text
    std::string reason = ClickAndSelectAll(edit);
    if (!reason.empty()) return reason;
    if (text.empty()) wine_player::PressKey(VK_DELETE);
    // The platform's input queue holds a limited number of key events: a
    // long text is typed a few characters at a time, each part handled
    // before the next, as a person types.
    const std::wstring wide = Wide(text);
    constexpr size_t kChunk = 16;
    for (size_t at = 0; at < wide.size(); at += kChunk) {
      TypeCharacters(wide.substr(at, kChunk));
      program_.Settle();
    }
    return "";
  }
  std::string Paste(WindowRef ref, const std::string &text) override {
    HWND edit = Window(ref);
    ToFront(edit);
    if (!Usable(edit)) return ClickOn(edit);
    if (!PutOnClipboard(text)) return "the clipboard cannot be filled";
    std::string reason = ClickAndSelectAll(edit);
    if (reason.empty()) wine_player::PressKey('V', VK_CONTROL);
    return reason;
  }
  std::string Select(WindowRef ref, const std::vector<int> &items) override {
    HWND control = Window(ref);
    ToFront(control);
    if (!Usable(control)) return ClickOn(control);  // ignored, as any click on a disabled control
    switch (KindOf(ref)) {
      case ControlKind::kListBox:
      case ControlKind::kMultipleListBox:
        if (items.empty())
          for (int index : ListBoxSelection(control)) ClickListBoxItem(control, index, true);
        for (size_t i = 0; i < items.size(); ++i) ClickListBoxItem(control, items[i], i > 0);
        return "";
      case ControlKind::kComboBox: {
        if (items.empty()) return "the Wine player cannot make a combo box current item none, as a user cannot";
        // The list opens with a click; the keyboard moves to the item and
        // Enter takes it.
        std::string reason = ClickOn(control);
        if (!reason.empty()) return reason;
        program_.Settle();
        wine_player::PressKey(VK_HOME);
        for (int i = 0; i < items[0]; ++i) wine_player::PressKey(VK_DOWN);
        wine_player::PressKey(VK_RETURN);
        return "";
      }
      default:
        return SelectRow(control, items);
    }
  }
  std::string PressKey(WindowRef window, unsigned virtual_key, bool shift, bool alt) override {
    ToFront(Window(window));
    wine_player::PressKey(static_cast<WORD>(virtual_key), shift ? VK_SHIFT : alt ? VK_MENU : 0);
    return "";
  }
  std::string KeyDownEscape(WindowRef window) override {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(Window(window), WM_KEYDOWN, VK_ESCAPE, 0x00010001, SMTO_BLOCK, 10000, &result);
    return "";
  }
  std::string PressCloseBox(WindowRef window) override {
    ToFront(Window(window));
    POINT point{};
    if (!FindCloseBox(Window(window), &point)) return "the close box of the title bar cannot be found";
    ClickAt(point);
    return "";
  }
  std::string Answer(WindowRef box, BoxAnswer answer) override {
    HWND button = GetDlgItem(Window(box), answer);
    if (button == nullptr) return "the message box has no button for the answer";
    return ClickOn(button);
  }

 private:
  // After each input: the program waits for the user again, or has ended;
  // one that ended by an exception crashed. Its pauses took real time here;
  // the clock, which stands still otherwise, moves on by their length.
  std::string Settle() {
    const std::string after = " after " + interpreter_->LastAction();
    if (!program_.Settle()) return "the program did not wait for input again within 90 seconds" + after;
    DWORD code = 0;
    if (program_.Exited(&code) && code >= 0xC0000000u)
      return "velmora.exe crashed (exception " + standin::scenario::HexText(code) + ")" + after;
    trace_.Refresh();
    if (const uint64_t slept = trace_.TakeSleptMilliseconds()) return world_.AdvanceMilliseconds(slept);
    return "";
  }

  // Keys go to the focus of the foreground window's thread: the window acted
  // on must be in front before the first key.
  static void ToFront(HWND window) {
    HWND root = GetAncestor(window, GA_ROOT);
    for (int tries = 0; tries < 80 && GetForegroundWindow() != root; ++tries) {
      SetForegroundWindow(root);
      Sleep(25);
    }
  }

  static std::string ClickOn(HWND control, bool with_control = false) {
    if (ClickWindow(control, with_control)) return "";
    return "control " + std::to_string(wine_player::ControlId(control)) + " stays covered by another window";
  }

  // Takes the focus to a control as the mouse does; the whole text of an
  // edit is then selected from the keyboard (Home, Shift+End).
  std::string ClickAndSelectAll(HWND edit) {
    std::string reason = ClickOn(edit);
    // The platform aims a key at the focus it finds when the key is queued:
    // the click must have moved the focus first.
    program_.Settle();
    wine_player::PressKey(VK_HOME);
    wine_player::PressKey(VK_END, VK_SHIFT);
    return reason;
  }

  void ClickListBoxItem(HWND list, int index, bool with_control) {
    RECT item{}, client{};
    GetClientRect(list, &client);
    SendMessageW(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
    if (item.top < client.top || item.bottom > client.bottom) {
      // Scrolled into view first, as a person scrolls to it.
      SendMessageW(list, LB_SETTOPINDEX, index, 0);
      SendMessageW(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
    }
    ClickAt(ClientToScreenPoint(list, (item.left + item.right) / 2, (item.top + item.bottom) / 2), with_control);
    program_.Settle();
  }

  std::string SelectRow(HWND list, const std::vector<int> &items) {
    const int rows = program_.RowCount(list);
    RECT item{};
    if (items.empty()) {
      // A click on the empty part of the list, below its last row.
      RECT client{};
      GetClientRect(list, &client);
      int y = client.bottom - 4;
      if (rows > 0 && program_.ListViewItemRect(list, rows - 1, &item)) {
        if (item.bottom + 4 >= client.bottom) return "the list has no empty part to click";
        y = item.bottom + 4 > y ? y : item.bottom + 4;
      }
      ClickAt(ClientToScreenPoint(list, 8, y));
      return "";
    }
    SendMessageW(list, LVM_ENSUREVISIBLE, items[0], FALSE);
    if (!program_.ListViewItemRect(list, items[0], &item))
      return "row " + std::to_string(items[0]) + " cannot be found";
    ClickAt(ClientToScreenPoint(list, item.left + 4, (item.top + item.bottom) / 2));
    return "";
  }

  std::wstring exe_path_;
  ScenarioWorld &world_;
  std::vector<DialogTemplate> templates_;
  CallTrace trace_;
  LiveProgram program_;
  Interpreter *interpreter_ = nullptr;
};

}  // namespace

Verdict PlayScenarioFile(const std::string &text, const std::wstring &exe_path, int run_number) {
  std::vector<standin::scenario::Statement> statements;
  Verdict verdict;
  if (!standin::scenario::ParseScenario(text, &statements, &verdict.line, &verdict.reason)) {
    verdict.status = Verdict::kParseError;
    return verdict;
  }
  std::vector<DialogTemplate> templates;
  std::string error;
  if (!ReadDialogTemplates(exe_path, &templates, &error)) return Verdict{Verdict::kFail, 0, error};
  ScenarioWorld world;
  error = world.Create(run_number);
  if (!error.empty()) return Verdict{Verdict::kFail, 0, error};
  WineBackEnd back_end(exe_path, &world, templates);
  Interpreter interpreter(statements, &back_end);
  CurrentInterpreter() = &interpreter;
  verdict = interpreter.Play();
  if (verdict.status == Verdict::kFail) verdict.reason += SaveFailureScreenshots(back_end.Windows(), verdict.line);
  CurrentInterpreter() = nullptr;
  return verdict;
}

Interpreter *&CurrentInterpreter() {
  static Interpreter *current = nullptr;
  return current;
}

}  // namespace wine_player
