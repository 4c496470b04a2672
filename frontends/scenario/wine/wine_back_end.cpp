// The statements of a scenario, played on the real program: the world goes
// to the network file and the clock file, input goes through SendInput, and
// every expectation is read from the live windows, the network file or the
// program's traced calls. The order and the failure texts follow the
// stand-in's runner, so that one scenario file means the same on both.
#include "wine_player.h"

#include <windows.h>

#include <commctrl.h>

#include <set>

#include "../scenario_statements.h"
#include "call_trace.h"
#include "live_program.h"
#include "scenario_world.h"
#include "user_input.h"

namespace wine_player {
namespace {

using standin::Token;
using standin::scenario::JoinNumbers;
using standin::scenario::Statement;
using standin::scenario::StatementKind;

constexpr DWORD kExitWaitMs = 10000;

struct ScenarioEnd {
  PlayResult::Status status = PlayResult::kFail;
  int line = 0;
  std::string reason;
};

uint64_t Number(const Token &token) { return standin::scenario::NumberOf(token); }

std::string Quote(const std::string &utf8) { return standin::QuoteString(utf8); }

std::string Hex(unsigned value) { return standin::scenario::HexText(value); }

std::string Shown(const Statement &statement) {
  std::string text;
  for (const Token &token : statement.tokens) {
    if (!text.empty()) text += " ";
    if (!token.key.empty()) text += token.key + "=";
    text += token.quoted ? Quote(token.value) : token.value;
  }
  return text;
}

// A message box's text without the carriage returns that the platform may
// keep in front of its line feeds.
std::string WithoutCarriageReturns(std::string text) {
  std::string out;
  for (char c : text)
    if (c != '\r') out += c;
  return out;
}

bool Offers(unsigned style, const std::string &answer) {
  switch (style & MB_TYPEMASK) {
    case MB_OK:
      return answer == "ok";
    case MB_OKCANCEL:
      return answer == "ok" || answer == "cancel";
    case MB_YESNO:
      return answer == "yes" || answer == "no";
    case MB_YESNOCANCEL:
      return answer == "yes" || answer == "no" || answer == "cancel";
    default:
      return false;
  }
}

int AnswerId(const std::string &answer) {
  return answer == "ok" ? IDOK : answer == "yes" ? IDYES : answer == "no" ? IDNO : IDCANCEL;
}

class Player {
 public:
  Player(const std::vector<Statement> &statements, const std::wstring &exe_path, ScenarioWorld *world,
         const std::vector<DialogTemplate> &templates)
      : statements_(statements),
        exe_path_(exe_path),
        world_(*world),
        templates_(templates),
        trace_(world->RelayTracePath(), world->NetworkCallLogPath()) {}

  PlayResult Play() {
    PlayResult result;
    try {
      RunUntilStart();
      if (next_ < statements_.size()) {
        Start();
        RunProgram();
      }
    } catch (const ScenarioEnd &end) {
      result.status = end.status;
      result.line = end.line;
      result.reason = end.reason;
    }
    program_.Kill();
    return result;
  }

 private:
  [[noreturn]] void Fail(const Statement &statement, const std::string &reason) {
    throw ScenarioEnd{PlayResult::kFail, statement.line, reason};
  }

  void RunUntilStart() {
    while (next_ < statements_.size() && statements_[next_].kind != StatementKind::kStart) {
      const Statement &statement = statements_[next_++];
      if (statement.kind == StatementKind::kWorld) {
        std::string reason = world_.Apply(statement.tokens);
        if (!reason.empty()) throw ScenarioEnd{PlayResult::kParseError, statement.line, reason};
      } else if (!PlayWithoutInput(statement)) {
        Fail(statement, Shown(statement) + " cannot stand before start");
      }
    }
  }

  void Start() {
    const Statement &start = statements_[next_++];
    // The program takes its own name from Wine, which takes it from the host
    // name when its server starts; the scenario's local computer must be it.
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    GetComputerNameA(name, &size);
    const std::string local = world_.LocalComputer();
    if (!local.empty() && lstrcmpiA(name, local.c_str()) != 0)
      Fail(start, "Wine's computer name is " + std::string(name) + ", the scenario's local computer is " + local +
                      " (scripts/test-wine.sh sets the host name to the scenario's local computer)");
    trace_.MarkStart();
    std::string reason = program_.Start(exe_path_, world_.ProgramEnvironment(), world_.ProgramOutputPath(), templates_);
    if (!reason.empty()) Fail(start, reason);
    uint64_t image_start = 0, image_end = 0;
    if (program_.ImageRange(&image_start, &image_end)) trace_.SetCaller(image_start, image_end);
    last_action_ = "start";
    Settle(start);
  }

  // After each step: a program that ended by an exception crashed.
  void CheckAlive(const Statement &statement) {
    DWORD code = 0;
    if (program_.Exited(&code) && code >= 0xC0000000u)
      Fail(statement, "velmora.exe crashed (exception " + Hex(code) + ") after " + last_action_);
  }

  void Settle(const Statement &statement) {
    if (!program_.Settle())
      Fail(statement, "the program did not wait for input again within 90 seconds after " + last_action_);
    CheckAlive(statement);
    // Its pauses took real time here; the clock, which stands still
    // otherwise, moves on by their length.
    trace_.Refresh();
    if (const uint64_t slept = trace_.TakeSleptMilliseconds()) {
      const std::string reason = world_.AdvanceMilliseconds(slept);
      if (!reason.empty()) Fail(statement, reason);
    }
  }

  void RunProgram() {
    while (next_ < statements_.size()) {
      const Statement &statement = statements_[next_++];
      DWORD code = 0;
      // A program that was told to end may still be on its way out: its
      // windows can stay until the process ends.
      if (statement.kind == StatementKind::kExitExpectation) program_.WaitForExit(kExitWaitMs, &code);
      if (program_.Exited(&code)) {
        AfterExit(statement, code);
        continue;
      }
      if (statement.kind == StatementKind::kWorld) {  // another program acts meanwhile
        ApplyWorld(statement);
        continue;
      }
      HWND box = NewMessageBox();
      const std::string verb = statement.tokens[0].value;
      if (box != nullptr && statement.kind != StatementKind::kBox)
        Fail(statement, "expected the line for the shown " + DescribeBox(box));
      if (statement.kind == StatementKind::kBox) {
        if (box == nullptr) Fail(statement, "a box line, but no message box is shown");
        AnswerBox(statement, box);
        continue;
      }
      if (PlayWithoutInput(statement)) continue;
      switch (statement.kind) {
        case StatementKind::kExitExpectation:
          Fail(statement, "expected exit " + statement.tokens[2].value + ", but the program still runs");
        case StatementKind::kStart:
          Fail(statement, "start while the program runs");
        default:
          Act(statement);
      }
    }
    DWORD code = 0;
    if (!program_.Exited(&code)) {
      HWND box = NewMessageBox();
      if (box == nullptr && !kept_open_.empty()) box = program_.OpenMessageBox();
      if (box != nullptr)
        throw ScenarioEnd{PlayResult::kFail, statements_.back().line,
                          "the scenario ends with a message box waiting for its answer: " + DescribeBox(box)};
    }
  }

  void AfterExit(const Statement &statement, DWORD code) {
    if (statement.kind == StatementKind::kExitExpectation) {
      const int expected = static_cast<int>(Number(statement.tokens[2]));
      if (static_cast<DWORD>(expected) != code)
        Fail(statement, "expected exit " + std::to_string(expected) + ", saw exit " + std::to_string(code));
      return;
    }
    if (statement.kind == StatementKind::kWorld) {
      ApplyWorld(statement);
      return;
    }
    const std::string what = statement.tokens.size() > 1 ? statement.tokens[1].value : "";
    const bool still_readable =
        statement.kind == StatementKind::kWorldExpectation || statement.kind == StatementKind::kAdvance ||
        (statement.kind == StatementKind::kUiExpectation && (what == "cursor" || what == "help" || what == "buffers"));
    if (still_readable && PlayWithoutInput(statement)) return;
    Fail(statement, "the program has ended (exit " + std::to_string(code) + "); " + statement.tokens[0].value + " " +
                        what + " cannot follow");
  }

  bool PlayWithoutInput(const Statement &statement) {
    switch (statement.kind) {
      case StatementKind::kWorld:
        ApplyWorld(statement);
        return true;
      case StatementKind::kAdvance: {
        std::string reason = world_.Advance(Number(statement.tokens[1]));
        if (!reason.empty()) Fail(statement, reason);
        return true;
      }
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

  void ApplyWorld(const Statement &statement) {
    std::string reason = world_.Apply(statement.tokens);
    if (!reason.empty()) Fail(statement, reason);
  }

  void CheckWorld(const Statement &statement) {
    const auto &t = statement.tokens;
    if (t[1].value == "calls") {
      trace_.Refresh();
      const size_t seen = trace_.Count(t[2].value);
      if (seen != Number(t[3]))
        Fail(statement, "expected " + t[3].value + " calls of " + t[2].value + ", saw " + std::to_string(seen));
      return;
    }
    std::string reason = world_.Check(t);
    if (!reason.empty()) Fail(statement, reason);
  }

  // ---- message boxes --------------------------------------------------------

  HWND NewMessageBox() const {
    for (HWND window : program_.Windows())
      if (program_.IsMessageBox(window) && kept_open_.count(window) == 0) return window;
    return nullptr;
  }

  std::string OwnerName(HWND owner) const {
    if (owner == nullptr) return "none";
    const std::string name = program_.TemplateOf(owner);
    if (name == "DLG_VELMORA") return "main";
    if (name == "DLG_JOB") return "job";
    if (name == "DLG_CP") return "cp";
    if (name == "DLG_ABOUT") return "about";
    return name.empty() ? "unnamed window" : name;
  }

  struct ShownBox {
    std::string caption, text, owner;
    unsigned style = 0;
  };

  // Caption, text and owner from the window; the buttons it offers make the
  // style's type. The icon is a picture, which the window does not name: its
  // style bits are those the program passed to MessageBoxA.
  ShownBox ReadBox(HWND box) {
    ShownBox shown;
    shown.caption = TextOf(box);
    HWND text = GetDlgItem(box, 0xFFFF);
    shown.text = WithoutCarriageReturns(text ? TextOf(text) : "");
    shown.owner = OwnerName(GetWindow(box, GW_OWNER));
    const bool ok = GetDlgItem(box, IDOK) != nullptr, cancel = GetDlgItem(box, IDCANCEL) != nullptr;
    const bool yes = GetDlgItem(box, IDYES) != nullptr, no = GetDlgItem(box, IDNO) != nullptr;
    unsigned type = yes && no ? (cancel ? MB_YESNOCANCEL : MB_YESNO) : ok && cancel ? MB_OKCANCEL : MB_OK;
    trace_.Refresh();
    unsigned requested = 0;
    if (const TracedCall *call = trace_.Last("MessageBoxA"))
      if (call->args.size() == 4)
        if (auto style = TraceNumber(call->args[3])) requested = static_cast<unsigned>(*style);
    shown.style = type | (requested & ~static_cast<unsigned>(MB_TYPEMASK));
    return shown;
  }

  std::string DescribeBox(HWND box) {
    ShownBox shown = ReadBox(box);
    return "box " + Quote(shown.caption) + " " + Quote(shown.text) + " " + Hex(shown.style) + " owner=" + shown.owner;
  }

  void AnswerBox(const Statement &statement, HWND box) {
    const auto &t = statement.tokens;
    ShownBox shown = ReadBox(box);
    const std::string seen =
        "box " + Quote(shown.caption) + " " + Quote(shown.text) + " " + Hex(shown.style) + " owner=" + shown.owner;
    const bool any_text = !t[2].quoted && t[2].value == "*";
    const unsigned expected_style = static_cast<unsigned>(Number(t[3]));
    const bool owner_given = t.size() == 7;
    const bool matches = shown.caption == t[1].value && (any_text || shown.text == t[2].value) &&
                         shown.style == expected_style && (!owner_given || t[4].value == shown.owner);
    if (!matches) {
      std::string wanted = "box " + Quote(t[1].value) + " " + (any_text ? "*" : Quote(t[2].value)) + " " +
                           Hex(expected_style) + (owner_given ? " owner=" + t[4].value : "");
      Fail(statement, "expected " + wanted + ", saw " + seen);
    }
    const std::string &answer = t.back().value;
    if (answer == "open") {
      kept_open_.insert(box);
      return;
    }
    if (!Offers(shown.style, answer)) Fail(statement, "the shown " + seen + " has no button for the answer " + answer);
    Answer(statement, box, answer);
  }

  void Answer(const Statement &statement, HWND box, const std::string &answer) {
    HWND button = GetDlgItem(box, AnswerId(answer));
    if (button == nullptr) Fail(statement, "the message box has no button for " + answer);
    last_action_ = Shown(statement);
    Click(statement, button);
    Settle(statement);
    kept_open_.erase(box);
  }

  // ---- actions ----------------------------------------------------------------

  HWND Target(const Statement &statement, std::vector<Token> *action) {
    *action = statement.tokens;
    if (statement.tokens[0].value != "on") {
      HWND active = Active();
      if (active == nullptr) Fail(statement, "no window is open");
      return active;
    }
    const std::string &which = statement.tokens[1].value;
    const std::string name = which == "main"  ? "DLG_VELMORA"
                             : which == "job" ? "DLG_JOB"
                             : which == "cp"  ? "DLG_CP"
                                              : "DLG_ABOUT";
    HWND window = program_.WindowOfTemplate(name);
    if (window == nullptr || !IsWindowEnabled(window))
      Fail(statement, name + " is not shown and enabled: " + Shown(statement) + " cannot reach it");
    action->erase(action->begin(), action->begin() + 2);
    return window;
  }

  // The window a person works in: the topmost enabled one, past the boxes
  // that a `-> open` line leaves standing (they are reached by `answer`).
  HWND Active() const {
    for (HWND window : program_.Windows())
      if (IsWindowEnabled(window) && kept_open_.count(window) == 0) return window;
    return nullptr;
  }

  HWND Control(const Statement &statement, HWND window, const Token &id_token) {
    const int id = static_cast<int>(Number(id_token));
    HWND control = GetDlgItem(window, id);
    if (control == nullptr) {
      const std::string name = program_.TemplateOf(window);
      Fail(statement, "no control " + std::to_string(id) + " in " + (name.empty() ? "the active window" : name));
    }
    return control;
  }

  static bool Usable(HWND control) {
    return IsWindowEnabled(control) && IsWindowEnabled(GetAncestor(control, GA_ROOT));
  }

  void Click(const Statement &statement, HWND control, bool with_control = false) {
    if (!ClickWindow(control, with_control))
      Fail(statement, "control " + std::to_string(ControlId(control)) + " stays covered by another window");
  }

  // Takes the focus to a control as the mouse does; the whole text of an
  // edit is then selected from the keyboard (Home, Shift+End).
  void ClickAndSelectAll(const Statement &statement, HWND edit) {
    Click(statement, edit);
    // The platform aims a key at the focus it finds when the key is queued:
    // the click must have moved the focus first.
    program_.Settle();
    PressKey(VK_HOME);
    PressKey(VK_END, VK_SHIFT);
  }

  // The platform's input queue holds a limited number of key events: a long
  // text is typed a few characters at a time, each part handled before the
  // next, as a person types.
  void TypeInChunks(const std::wstring &text) {
    constexpr size_t kChunk = 16;
    for (size_t at = 0; at < text.size(); at += kChunk) {
      TypeCharacters(text.substr(at, kChunk));
      program_.Settle();
    }
  }

  void Act(const Statement &statement) {
    std::vector<Token> t;
    HWND window = Target(statement, &t);
    const std::string &verb = t[0].value;
    last_action_ = Shown(statement);
    if (verb == "answer") {
      HWND box = program_.OpenMessageBox();
      if (box == nullptr) Fail(statement, "answer, but no message box is open");
      if (!Offers(ReadBox(box).style, t[1].value)) Fail(statement, "the open box has no button for " + t[1].value);
      Answer(statement, box, t[1].value);
      return;
    }
    // Keys go to the focus of the foreground window's thread: the window
    // acted on must be in front before the first key.
    HWND root = GetAncestor(window, GA_ROOT);
    for (int tries = 0; tries < 80 && GetForegroundWindow() != root; ++tries) {
      SetForegroundWindow(root);
      Sleep(25);
    }
    if (verb == "click") {
      Click(statement, Control(statement, window, t[1]));
    } else if (verb == "type" || verb == "paste") {
      HWND edit = Control(statement, window, t[1]);
      if (lstrcmpiW(ClassOf(edit).c_str(), L"Edit") != 0) Fail(statement, "control " + t[1].value + " is not an edit");
      if (!Usable(edit)) {
        Click(statement, edit);  // a disabled edit takes neither the click nor the text
      } else if (verb == "type") {
        ClickAndSelectAll(statement, edit);
        if (t[2].value.empty())
          PressKey(VK_DELETE);
        else
          TypeInChunks(Wide(t[2].value));
      } else {
        if (!PutOnClipboard(t[2].value)) Fail(statement, "the clipboard cannot be filled");
        ClickAndSelectAll(statement, edit);
        PressKey('V', VK_CONTROL);
      }
    } else if (verb == "select") {
      Select(statement, window, t);
    } else if (verb == "key") {
      const std::string &key = t[1].value;
      if (key == "enter")
        PressKey(VK_RETURN);
      else if (key == "escape")
        PressKey(VK_ESCAPE);
      else if (key == "tab")
        PressKey(VK_TAB);
      else if (key == "shift+tab")
        PressKey(VK_TAB, VK_SHIFT);
      else if (key.rfind("alt+", 0) == 0 && key.size() == 5)
        PressKey(static_cast<WORD>(VkKeyScanA(key[4]) & 0xFF), VK_MENU);
      else
        Fail(statement, "unknown key " + key);
    } else if (verb == "keydown") {
      DWORD_PTR result = 0;
      SendMessageTimeoutW(window, WM_KEYDOWN, VK_ESCAPE, 0x00010001, SMTO_BLOCK, 10000, &result);
    } else if (verb == "close") {
      if (!(GetWindowLongW(window, GWL_STYLE) & WS_SYSMENU))
        Fail(statement, program_.TemplateOf(window) + " has no close box");
      POINT point{};
      if (!FindCloseBox(window, &point)) Fail(statement, "the close box of the title bar cannot be found");
      ClickAt(point);
    } else {
      Fail(statement, "the Windows player cannot play " + verb);
    }
    Settle(statement);
  }

  static bool FindCloseBox(HWND window, POINT *point) {
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

  static bool PutOnClipboard(const std::string &utf8) {
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

  void Select(const Statement &statement, HWND window, const std::vector<Token> &t) {
    HWND control = Control(statement, window, t[1]);
    const std::wstring cls = ClassOf(control);
    const bool none = t.size() == 3 && t[2].value == "none";
    std::vector<int> wanted;
    if (!none)
      for (size_t i = 2; i < t.size(); ++i) wanted.push_back(static_cast<int>(Number(t[i])));
    if (!Usable(control)) {
      Click(statement, control);  // ignored, as any click on a disabled control
      return;
    }
    if (lstrcmpiW(cls.c_str(), L"ListBox") == 0) {
      const int count = static_cast<int>(SendMessageW(control, LB_GETCOUNT, 0, 0));
      for (int index : wanted)
        if (index >= count)
          Fail(statement,
               "control " + t[1].value + " has " + std::to_string(count) + " items; no item " + std::to_string(index));
      const bool multiple = GetWindowLongW(control, GWL_STYLE) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL);
      if (!multiple && wanted.size() > 1) Fail(statement, "control " + t[1].value + " selects one item at a time");
      if (none) {
        for (int index : ListBoxSelection(control)) ClickListBoxItem(control, index, true);
        return;
      }
      for (size_t i = 0; i < wanted.size(); ++i) ClickListBoxItem(control, wanted[i], i > 0);
    } else if (lstrcmpiW(cls.c_str(), L"ComboBox") == 0) {
      const int count = static_cast<int>(SendMessageW(control, CB_GETCOUNT, 0, 0));
      if (none || wanted.size() != 1) Fail(statement, "control " + t[1].value + " selects one item at a time");
      if (wanted[0] >= count)
        Fail(statement, "control " + t[1].value + " has " + std::to_string(count) + " items; no item " +
                            std::to_string(wanted[0]));
      // The list opens with a click; the keyboard moves to the item and
      // Enter takes it.
      Click(statement, control);
      program_.Settle();
      PressKey(VK_HOME);
      for (int i = 0; i < wanted[0]; ++i) PressKey(VK_DOWN);
      PressKey(VK_RETURN);
    } else if (lstrcmpiW(cls.c_str(), WC_LISTVIEWW) == 0) {
      const int rows = program_.RowCount(control);
      if (wanted.size() > 1) Fail(statement, "control " + t[1].value + " selects one item at a time");
      if (!none && wanted[0] >= rows)
        Fail(statement,
             "control " + t[1].value + " has " + std::to_string(rows) + " items; no item " + std::to_string(wanted[0]));
      RECT item{};
      if (none) {
        // A click on the empty part of the list, below its last row.
        RECT client{};
        GetClientRect(control, &client);
        int y = client.bottom - 4;
        if (rows > 0 && program_.ListViewItemRect(control, rows - 1, &item)) {
          if (item.bottom + 4 >= client.bottom) Fail(statement, "the list has no empty part to click");
          y = item.bottom + 4 > y ? y : item.bottom + 4;
        }
        ClickAt(ClientToScreenPoint(control, 8, y));
      } else {
        SendMessageW(control, LVM_ENSUREVISIBLE, wanted[0], FALSE);
        if (!program_.ListViewItemRect(control, wanted[0], &item))
          Fail(statement, "row " + t[2].value + " cannot be found");
        ClickAt(ClientToScreenPoint(control, item.left + 4, (item.top + item.bottom) / 2));
      }
    } else {
      Fail(statement, "control " + t[1].value + " is not a list box, combo box or list view");
    }
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

  // ---- expectations -------------------------------------------------------------

  void Expect(const Statement &statement, bool holds, const std::string &expected, const std::string &seen) {
    if (!holds) Fail(statement, "expected " + expected + ", saw " + seen);
  }

  void CheckUi(const Statement &statement) {
    const auto &t = statement.tokens;
    const std::string &what = t[1].value;
    if (what == "cursor") {
      trace_.Refresh();
      const bool wait = trace_.LastCursorResource().value_or(0) == reinterpret_cast<ULONG_PTR>(IDC_WAIT);
      Expect(statement, (t[2].value == "wait") == wait, "cursor " + t[2].value, wait ? "cursor wait" : "cursor arrow");
      return;
    }
    if (what == "help") {
      trace_.Refresh();
      const TracedCall *call = trace_.Last("WinHelpA");
      std::optional<uint64_t> command;
      if (call != nullptr && call->args.size() == 4) command = TraceNumber(call->args[2]);
      Expect(statement, command && *command == Number(t[2]), "help " + t[2].value,
             command ? "help " + std::to_string(*command) : "no help call");
      return;
    }
    if (what == "buffers") {
      trace_.Refresh();
      const uint64_t held = trace_.OutstandingBuffers();
      Expect(statement, held == Number(t[2]), "buffers " + t[2].value, "buffers " + std::to_string(held));
      return;
    }
    if (what == "rows" || what == "row") {
      HWND main = program_.WindowOfTemplate("DLG_VELMORA");
      if (main == nullptr) Fail(statement, "no main window DLG_VELMORA is open");
      HWND list = Control(statement, main, Token{"", "104", false});
      const int rows = program_.RowCount(list);
      if (what == "rows") {
        Expect(statement, static_cast<uint64_t>(rows) == Number(t[2]), t[2].value + " rows",
               std::to_string(rows) + " rows");
        return;
      }
      const uint64_t row = Number(t[2]);
      if (row >= static_cast<uint64_t>(rows))
        Fail(statement, "expected row " + t[2].value + ", the list has " + std::to_string(rows) + " rows");
      std::vector<std::string> texts = program_.Row(list, static_cast<int>(row), 4);
      texts.resize(4);
      std::string expected, seen;
      bool same = true;
      for (size_t i = 0; i < 4; ++i) {
        expected += " " + Quote(t[3 + i].value);
        seen += " " + Quote(texts[i]);
        same = same && texts[i] == t[3 + i].value;
      }
      Expect(statement, same, "row " + t[2].value + expected, "row " + t[2].value + seen);
      return;
    }
    HWND active = Active();
    if (active == nullptr) Fail(statement, "no window is open");
    if (what == "window") {
      std::string name = program_.TemplateOf(active);
      if (name.empty()) name = program_.IsMessageBox(active) ? "a message box" : "a window of no template";
      Expect(statement, name == t[2].value, "window " + t[2].value, "window " + name);
      return;
    }
    if (what == "focus") {
      HWND focus = program_.Focus(nullptr);
      const bool none_wanted = t[2].value == "none";
      HWND control = none_wanted ? nullptr : Control(statement, active, t[2]);
      const bool on_control = focus != nullptr && GetAncestor(focus, GA_ROOT) != focus;
      std::string seen = !on_control ? "no focus" : "focus on " + std::to_string(ControlId(focus));
      Expect(statement, none_wanted ? !on_control : focus == control, "focus " + t[2].value, seen);
      return;
    }
    if (what == "text") {
      const std::string text = TextOf(Control(statement, active, t[2]));
      Expect(statement, text == t[3].value, "text " + t[2].value + " " + Quote(t[3].value),
             "text " + t[2].value + " " + Quote(text));
      return;
    }
    if (what == "checked" || what == "unchecked" || what == "enabled" || what == "disabled") {
      for (size_t i = 2; i < t.size(); ++i) {
        HWND control = Control(statement, active, t[i]);
        DWORD_PTR check = 0;
        SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_BLOCK, 10000, &check);
        const bool enabled = !(GetWindowLongW(control, GWL_STYLE) & WS_DISABLED);
        const bool state = what == "checked"     ? check == BST_CHECKED
                           : what == "unchecked" ? check == BST_UNCHECKED
                           : what == "enabled"   ? enabled
                                                 : !enabled;
        if (!state) {
          const std::string seen = what == "checked" || what == "unchecked"
                                       ? (check == BST_CHECKED ? "checked" : "unchecked")
                                       : (enabled ? "enabled" : "disabled");
          Fail(statement, "expected " + t[i].value + " " + what + ", saw " + t[i].value + " " + seen);
        }
      }
      return;
    }
    if (what == "items") {
      HWND control = Control(statement, active, t[2]);
      std::vector<std::string> expected;
      for (size_t i = 3; i < t.size(); ++i) expected.push_back(t[i].value);
      const std::vector<std::string> items = ItemsOf(control);
      Expect(statement, items == expected, "items " + t[2].value + " " + standin::scenario::JoinQuoted(expected),
             "items " + t[2].value + " " + standin::scenario::JoinQuoted(items));
      return;
    }
    if (what == "selected") {
      HWND control = Control(statement, active, t[2]);
      std::vector<int> expected;
      if (!(t.size() == 4 && t[3].value == "none"))
        for (size_t i = 3; i < t.size(); ++i) expected.push_back(static_cast<int>(Number(t[i])));
      const std::wstring cls = ClassOf(control);
      std::vector<int> seen;
      if (lstrcmpiW(cls.c_str(), L"ComboBox") == 0) {
        DWORD_PTR current = 0;
        SendMessageTimeoutW(control, CB_GETCURSEL, 0, 0, SMTO_BLOCK, 10000, &current);
        if (static_cast<LRESULT>(current) >= 0) seen.push_back(static_cast<int>(current));
      } else if (lstrcmpiW(cls.c_str(), WC_LISTVIEWW) == 0) {
        seen = program_.ListViewSelection(control);
      } else {
        seen = ListBoxSelection(control);
      }
      Expect(statement, seen == expected, "selected " + t[2].value + " " + JoinNumbers(expected),
             "selected " + t[2].value + " " + JoinNumbers(seen));
      return;
    }
    Fail(statement, "the Windows player cannot check expect " + what);
  }

  const std::vector<Statement> &statements_;
  std::wstring exe_path_;
  ScenarioWorld &world_;
  std::vector<DialogTemplate> templates_;
  CallTrace trace_;
  LiveProgram program_;
  std::set<HWND> kept_open_;  // boxes matched with "-> open"
  std::string last_action_ = "start";
  size_t next_ = 0;
};

}  // namespace

PlayResult PlayScenarioFile(const std::string &text, const std::wstring &exe_path, int run_number) {
  PlayResult result;
  std::vector<Statement> statements;
  if (!standin::scenario::ParseScenario(text, &statements, &result.line, &result.reason)) {
    result.status = PlayResult::kParseError;
    return result;
  }
  std::vector<DialogTemplate> templates;
  std::string error;
  if (!ReadDialogTemplates(exe_path, &templates, &error)) return PlayResult{PlayResult::kFail, 0, error};
  ScenarioWorld world;
  error = world.Create(run_number);
  if (!error.empty()) return PlayResult{PlayResult::kFail, 0, error};
  Player player(statements, exe_path, &world, templates);
  return player.Play();
}

}  // namespace wine_player
