// SPDX-License-Identifier: GPL-3.0-or-later
// The terminal driver against the stand-in and the real program: keys and
// clicks reach the program as a user's input, and what the program shows is
// drawn. Each case runs the program in a child process of its own, since the
// program keeps process-wide state.
#include "message_catalogue.h"
#include "redraw_timing.h"
#include "terminal.h"
#include "terminal_driver.h"
#include "text_width.h"

#include <standin/driver.h>
#include <standin/network.h>
#include <standin/statement.h>
#include <standin/ui.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>

extern "C" const unsigned char velmora_res[];
extern "C" const unsigned long velmora_res_size;

namespace terminal {
namespace {

// Column widths come from wcwidth, which needs a UTF-8 character type.
[[maybe_unused]] const bool g_utf8 = std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr;

const Canvas *g_screen = nullptr;  // the last picture shown, for failure messages

// Ends the child process with a message, and the screen, that the parent's
// test shows.
[[noreturn]] void Fail(const std::string &what, int code) {
  std::fprintf(stderr, "%s; the screen shows:\n", what.c_str());
  for (int y = 0; g_screen != nullptr && y < g_screen->Rows(); ++y)
    std::fprintf(stderr, "%s\n", EncodeUtf8(g_screen->RowText(y)).c_str());
  std::fflush(stderr);
  _exit(code);
}

void Require(bool condition, const std::string &what) {
  if (!condition) Fail("check failed: " + what, 2);
}

void ApplyWorld(const std::string &line) {
  std::vector<standin::Token> tokens;
  std::string error;
  Require(standin::LexStatement(line, &tokens, &error), line + ": " + error);
  std::string reason = standin::ApplyWorldStatement(tokens);
  Require(reason.empty(), line + ": " + reason);
}

// The program runs on a thread of its own and takes the script's events one
// at a time: the script sends one and waits until the program reads the
// next, so that what the script checks in between is what the program shows
// while it waits, and nothing changes under the check.
class ScriptedTerminal : public Terminal {
 public:
  int cols = 80, rows = 24;
  Canvas picture{0, 0};
  bool busy_mark_seen = false;
  int beeps = 0;

  int Cols() const override { return cols; }
  int Rows() const override { return rows; }
  void Beep() override { ++beeps; }
  void Show(const Canvas &canvas) override {
    picture = canvas;
    g_screen = &picture;
    if (Find(L" (" + DecodeUtf8(Localize("busy")) + L") ").first >= 0) busy_mark_seen = true;
  }
  TerminalEvent Read() override {
    std::unique_lock<std::mutex> lock(mutex_);
    reading_ = true;
    turn_.notify_all();
    turn_.wait(lock, [&] { return !reading_; });
    return event_;
  }

  // Starts the program on a network of `world` statements and waits until
  // it reads its first event.
  void Start(const std::vector<std::string> &world) {
    standin::ResetNetwork();
    for (const std::string &line : world) ApplyWorld(line);
    program_ = std::thread([this] {
      TerminalDriver driver(*this, {VELMORA_TERMINAL_HELP_DIR});
      driver.SetDialogSizes(DialogSizesIn(velmora_res, velmora_res_size));
      driver.SetNotice(NetworkNotice());
      standin::SetDriver(&driver);
      char command_line[] = "";
      const int code =
          WinMain(standin::LoadModule(velmora_res, velmora_res_size), nullptr, command_line, SW_SHOWNORMAL);
      std::lock_guard<std::mutex> lock(mutex_);
      exit_code_ = code;
      turn_.notify_all();
    });
    Await();
  }
  // Sends an event and waits until the program has handled it.
  void Send(const TerminalEvent &event) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      Require(exit_code_ < 0, "the program ended before the script did");
      event_ = event;
      reading_ = false;
    }
    turn_.notify_all();
    Await();
  }
  // Ends the child process with WinMain's result, or 3 when the program
  // still waits for the script.
  [[noreturn]] void End() {
    if (exit_code_ < 0) Fail("the script ran out while the program waited", 3);
    program_.join();
    _exit(exit_code_);
  }

  // Column and row where a text is shown, or (-1, -1).
  std::pair<int, int> Find(const std::wstring &text) const {
    for (int y = 0; y < picture.Rows(); ++y) {
      std::wstring row = picture.RowText(y);
      size_t at = row.find(text);
      if (at != std::wstring::npos) return {TextWidth(row.substr(0, at)), y};
    }
    return {-1, -1};
  }
  bool Shows(const std::string &utf8) const { return Find(DecodeUtf8(utf8)).first >= 0; }
  std::wstring RowOf(const std::string &utf8) const { return picture.RowText(Find(DecodeUtf8(utf8)).second); }
  // The attributes of the cell where a text is shown; 0 when it is not.
  uint16_t AttrAt(const std::string &utf8, int offset = 0) const {
    auto [x, y] = Find(DecodeUtf8(utf8));
    return x < 0 ? 0 : picture.At(x + offset, y).attr;
  }
  // A mouse event on the first cell of a text.
  void Mouse(Key key, const std::string &utf8, bool shift = false) {
    auto [x, y] = Find(DecodeUtf8(utf8));
    Require(x >= 0, utf8 + " is on the screen for the mouse");
    Send(TerminalEvent{key, 0, shift, false, false, x, y});
  }
  void ClickOn(const std::string &utf8) { Mouse(Key::kMouse, utf8); }
  void Press(Key key, bool shift = false) { Send(TerminalEvent{key, 0, shift}); }
  void Press(std::initializer_list<Key> keys) {
    for (Key key : keys) Press(key);
  }
  void Type(const std::string &utf8, bool alt = false) {
    for (wchar_t c : DecodeUtf8(utf8)) Send(TerminalEvent{Key::kChar, c, false, false, alt});
  }
  void Resize(int new_cols, int new_rows) {
    cols = new_cols, rows = new_rows;
    Send(TerminalEvent{Key::kResize});
  }
  // Alt+X, which ends the program, as the script's last key.
  [[noreturn]] void Quit() {
    Type("x", true);
    End();
  }

 private:
  std::thread program_;
  std::mutex mutex_;
  std::condition_variable turn_;
  bool reading_ = false;
  TerminalEvent event_;
  int exit_code_ = -1;

  void Await() {
    std::unique_lock<std::mutex> lock(mutex_);
    turn_.wait(lock, [&] { return reading_ || exit_code_ >= 0; });
  }
};

HWND MainWindow() { return standin::TopLevelWindows().front(); }
HWND Control(int id) { return standin::ControlById(standin::ActiveWindow(), id); }
int FocusId() { return standin::ControlIdOf(standin::FocusWindow()); }
std::string ActiveTemplate() { return standin::TemplateNameOf(standin::ActiveWindow()); }

// Runs the script, which ends the program, in a child process of its own on
// a terminal of the given size; the program must end with 0.
void RunScript(const std::function<void(ScriptedTerminal &)> &script, int cols = 80, int rows = 24) {
  auto child = [&] {
    ScriptedTerminal t;
    t.cols = cols;
    t.rows = rows;
    script(t);
  };
  EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

TEST(TerminalDriver, TheMainWindowShowsItsKeysFocusClicksAndTyping) {
  RunScript([](ScriptedTerminal &t) {
    t.Start({"computer PC01", "job PC01 id=1 at=10:00 cmd=\"one.cmd\"", "job PC01 id=2 at=11:00 cmd=\"two.cmd\""});
    // The focus's moves are played by shell_tab_order.scenario; here the screen shows them. The last line names
    // only keys that act here: no Escape on the main window.
    Require(t.Find(L"F1:").second == t.rows - 1 && t.Shows("F3:列幅") && !t.Shows("Esc:"), "the main window's keys");
    t.ClickOn("two.cmd");
    Require(standin::SelectionOf(standin::ControlById(MainWindow(), 104)) == std::vector<int>{1},
            "the clicked row is selected");
    t.Type("v", true);  // Alt+V: version information
    Require(ActiveTemplate() == "DLG_ABOUT", "Alt+V opens the version box");
    Require(t.Shows("Esc:ｷｬﾝｾﾙ") && !t.Shows("F3:"), "the version box's keys");
    t.Press(Key::kEscape);
    Require(ActiveTemplate() == "DLG_VELMORA", "Escape closes the version box");
    Require(t.Shows("ﾊﾞｰｼﾞｮﾝ情報(V)") && (t.AttrAt("ﾊﾞｰｼﾞｮﾝ情報(V)") & kReverse) == 0, "no button is drawn focused");
    t.Press(Key::kTab);
    Require((t.AttrAt("ｺﾝﾋﾟｭｰﾀ選択(S)") & kReverse) != 0, "Select computer is drawn focused");
    t.Press(Key::kEscape);  // does nothing on the main window, which the script's end shows
    // Characters reach the ANSI edit through the code page's best fit, none
    // dropped; Shift+Insert and Ctrl+V paste.
    t.Type("s", true);
    t.Type("pc0é€");
    Require(standin::TextOf(Control(131)) == "PC0E?", "upper case, é as e, € as ?: " + standin::TextOf(Control(131)));
    Require(t.picture.CursorShown(), "the caret is shown in the edit");
    standin::PutTextOnClipboard(u"ab");
    t.Press(Key::kHome);
    t.Press(Key::kInsert, true);
    t.Type("0123456789");
    t.Send(TerminalEvent{Key::kChar, L'v', false, /*ctrl=*/true});
    Require(standin::TextOf(Control(131)) == "AB0123456789ABPC0E?",
            "pasted, typed, pasted: " + standin::TextOf(Control(131)));
    Require(t.beeps == 0, "nothing was refused");
    // A cancelled computer selection reads the list again, in the window.
    t.Press(Key::kEscape);
    Require(t.busy_mark_seen, "the wait cursor's mark was shown while the list was read");
    t.ClickOn("[X]");
    t.End();
  });
}

// Like a mouse pointer, the keyboard pointer stays after a click until F2 or
// Escape puts it away; only then does Escape reach the dialog.
TEST(TerminalDriver, TheKeyboardPointerClicksControlsOutsideTheTabOrderAndStays) {
  RunScript([](ScriptedTerminal &t) {
    auto radio = [](int id) { return standin::CheckStateOf(Control(id)); };
    auto pointed = [&](const char *label) {
      Require((t.AttrAt(label) & (kReverse | kUnderline)) == (kReverse | kUnderline), std::string("at ") + label);
    };
    t.Start({"computer PC01"});
    t.Type("a", true);  // Alt+A: the job editor, focus on the command line
    t.Type("run.cmd /q");
    t.Press({Key::kF2, Key::kUp});  // from the first control round to the last
    pointed("ｷｬﾝｾﾙ(C)");
    t.Press(Key::kTab);
    pointed("run.cmd /q");
    t.Press(Key::kTab, /*shift=*/true);
    t.Press(Key::kLeft);
    pointed("OK(O)");
    t.Press({Key::kRight, Key::kRight, Key::kDown});  // from the command line to the first radio, 今日
    Require(radio(142) == BST_UNCHECKED, "the pointer alone clicks nothing");
    t.Press(Key::kEnter);
    Require(radio(142) == BST_CHECKED, "Enter clicked 今日");
    Require(!standin::IsEnabledSelf(Control(155)), "today's run unit turned the days off");
    Require(FocusId() == 142, "the click gave 今日 the focus, as a mouse click does");
    Require(t.Shows("F2/Esc:終了"), "the pointer is still shown");
    t.Press({Key::kDown, Key::kSpace});
    Require(radio(143) == BST_CHECKED, "the pointer went on to 明日 and clicked it");
    t.Press(Key::kEscape);  // puts the pointer away, nothing else
    Require(ActiveTemplate() == "DLG_JOB", "the editor stays open");
    Require(standin::TextOf(Control(141)) == "run.cmd /q", "the command kept");
    Require(t.Shows("Esc:ｷｬﾝｾﾙ") && !t.Shows("F2/Esc:終了"), "the editor's own keys again");
    t.Press(Key::kEscape);  // the dialog manager's Escape: the editor closes, so Alt+X ends the program
    t.Quit();
  });
}

// Every label shows whole, a push button's between its brackets, a group
// box's with its frame, from the smallest screen the program runs on up; a
// smaller one gets a message and no input until it grows.
TEST(TerminalDriver, ButtonLabelsShowWholeFromTheSmallestScreenUp) {
  auto script = [](ScriptedTerminal &t) {
    auto check_buttons = [&] {
      for (HWND control : standin::ControlsOf(standin::ActiveWindow())) {
        const std::string kind = standin::ClassNameOf(control);
        const DWORD style = standin::StyleOf(control), type = style & BS_TYPEMASK;
        std::wstring label = ParseMnemonic(AnsiToWide(standin::TextOf(control))).text;
        auto [x, y] = t.Find(label);
        if (kind == "BUTTON" || (kind == "STATIC" && (style & SS_TYPEMASK) != SS_ICON))
          Require(x >= 0, EncodeUtf8(label) + " is whole");
        std::wstring row = t.picture.RowText(std::max(y, 0));
        size_t at = row.find(label);
        if (kind == "BUTTON" && type == BS_GROUPBOX && !label.empty())
          Require(row.find(L'\x2510', at) != std::wstring::npos, EncodeUtf8(label) + "'s frame is whole");  // ┐
        if (kind != "BUTTON" || (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON)) continue;
        size_t open = row.find_last_not_of(L' ', at - 1), close = row.find_first_not_of(L' ', at + label.size());
        Require(open != std::wstring::npos && row[open] == L'[' && open + 1 < at && close != std::wstring::npos &&
                    row[close] == L']' && close > at + label.size(),
                EncodeUtf8(label) + " stands whole between its brackets, a blank either side");
      }
    };
    t.Start({"computer PC01"});
    if (t.cols < 76) {
      Require(t.Shows("端末が小さすぎます。"), "the message for a small terminal");
      // The job editor is the widest window the program has.
      Require(t.Shows("少なくとも 76 x 24 必要です"), "the size the program needs");
      t.Type("x", true);  // would end the program; must be ignored
      t.Resize(76, 24);
    }
    check_buttons();
    for (const char *dialog : {"v", "s", "a"}) {
      t.Type(dialog, true);
      check_buttons();
      t.Press(Key::kEscape);
    }
    t.Quit();
  };
  RunScript(script, 60, 20);  // then grown to the smallest screen, 76 x 24
  RunScript(script, 100, 32);
}

TEST(TerminalDriver, TheMainWindowTakesClicksWhileABoxWithoutOwnerShows) {
  RunScript([](ScriptedTerminal &t) {
    t.Start({"computer PC01"});
    ApplyWorld("fail PC01 NetServiceGetInfo 53");
    t.Type("c", true);  // Modify without a selected row, then a refresh
    t.Press(Key::kEnter);
    Require(t.Shows("NetServiceGetInfo"), "the status query's error box");
    t.ClickOn("ｺﾝﾋﾟｭｰﾀ選択(S)");  // beside the box: the main window is enabled
    Require(ActiveTemplate() == "DLG_CP", "the computer selection opens inside the box's loop");
    // The main window has the keyboard now, but the box's loop does not
    // handle its dialog keys: Tab moves nothing.
    t.Press({Key::kEscape, Key::kTab});
    Require(t.Shows("NetServiceGetInfo"), "the box still waits");
    Require(standin::FocusWindow() == MainWindow(), "the main window itself keeps the focus");
    t.ClickOn("RC:53");  // inside the box: the keyboard goes back to it
    t.Press(Key::kEnter);
    Require(!t.Shows("NetServiceGetInfo"), "Enter answered the box");
    t.ClickOn("終了(X)");
    t.End();
  });
}

// Columns keep their widths when another is widened; the list scrolls
// sideways by keys, its scroll bar and Shift+wheel; any column may be
// widened until its text shows.
TEST(TerminalDriver, ListColumnsKeepTheirWidthsAndTheListScrollsSideways) {
  RunScript([](ScriptedTerminal &t) {
    std::vector<std::string> world = {"computer PC01"};
    for (int id = 10; id <= 40; ++id)
      world.push_back("job PC01 id=" + std::to_string(id) + " at=10:00 cmd=\"task-00" + std::to_string(id) +
                      "-weekly-report.cmd\"");
    world.push_back("job PC01 id=10001 at=10:00 cmd=\"last.cmd\"");
    t.Start(world);
    t.ClickOn("task-0010");
    t.Press(Key::kF3);
    Require(t.Shows("Tab:次の列"), "the sizer names its keys");
    t.Press(Key::kTab);
    for (int i = 0; i < 15; ++i) t.Press(Key::kRight);
    t.Press(Key::kEnter);
    Require(ActiveTemplate() == "DLG_VELMORA", "Enter ended the sizer, not pressed Add");
    Require(t.RowOf("task-0011")
                    .find(L"\x2502"
                          L"11  task-0011-weekly-report.cmd") != std::wstring::npos,
            "the ID column still shows 11, the command whole");
    Require(!t.Shows("時刻") && t.Shows("<") && t.Shows("Left/Right:横ｽｸﾛｰﾙ"), "the list scrolls sideways");
    t.Press(Key::kEnd);
    Require(!t.Shows("10001") && t.RowOf("last.cmd").find(L"...") != std::wstring::npos, "a five-digit ID is cut");
    t.Press({Key::kF3, Key::kRight, Key::kRight, Key::kF3});
    Require(t.Shows("10001"), "the widened ID column shows the whole ID");
    for (int i = 0; i < 10; ++i) t.Press(Key::kRight);
    Require(t.Shows("時刻") && t.Shows("10:00 午前") && !t.Shows("ID"), "Right scrolled to the time");
    Require(standin::SelectionOf(standin::ControlById(MainWindow(), 104)) == std::vector<int>{31},
            "the selection stayed");
    for (int i = 0; i < 7; ++i) t.ClickOn("<");
    Require(t.Shows("ID"), "the scroll bar's left arrow scrolled back");
    t.Mouse(Key::kWheelDown, "last.cmd", /*shift=*/true);
    Require(!t.Shows("ID"), "Shift+wheel scrolled sideways");
    t.Quit();
  });
}

// Where each column, the sideways scroll bar's thumb and a mnemonic's
// underline fall, cell by cell.
TEST(TerminalDriver, ColumnsThumbAndUnderlinesFallCellByCell) {
  RunScript([](ScriptedTerminal &t) {
    auto bar_shows = [&](int before, int after) {  // └<───▒▒▒───>┘
      return t.Find(L"\x2514<" + std::wstring(static_cast<size_t>(before), L'\x2500') + std::wstring(49, L'\x2592') +
                    std::wstring(static_cast<size_t>(after), L'\x2500') + L">\x2518")
                 .first >= 0;
    };
    t.Start({"computer PC01",
             "job PC01 id=7 at=22:05 flags=0x01 dow=0x7F cmd=\"a-long-command-line-for-the-nightly-backup.cmd\"",
             "job PC01 id=12 at=09:30 flags=0x01 dow=0x01 cmd=\"b.cmd\""});
    Require(t.Shows("│ID │ｺﾏﾝﾄﾞ             │日程                   │時刻        │") &&
                t.Shows("│7   a-long-command-... 毎回  月火水木金土日    10:05 午後  │"),
            "each column at its place, the long command cut");
    Require(t.Find(L" Velmora ") == std::make_pair(4, 0), "the title in the window's top border");
    Require((t.AttrAt("(S)") & kUnderline) == 0 && (t.AttrAt("(S)", 1) & kUnderline) != 0 &&
                (t.AttrAt("(S)", 2) & kUnderline) == 0,
            "the mnemonic's underline on S alone, after the double-width 選択");
    t.ClickOn("a-long-command");
    t.Press({Key::kF3, Key::kTab});
    for (int i = 0; i < 10; ++i) t.Press(Key::kRight);
    t.Press(Key::kF3);
    Require(t.Shows("│ID │ｺﾏﾝﾄﾞ                       │日程                   │時│") &&
                t.Shows("│7   a-long-command-line-for-t... 毎回  月火水木金土日    10│"),
            "the command widened by ten cells, the last column cut by the list's edge");
    Require(bar_shows(0, 8), "the thumb at the left end");
    Require(t.Shows("  F3:列幅  Left/Right:横ｽｸﾛｰﾙ  Tab:移動"), "the sideways keys, with the focus");
    t.Press(Key::kRight);
    Require(t.Shows("│ｺﾏﾝﾄﾞ                       │日程                   │時刻  │") &&
                t.Shows("│a-long-command-line-for-t... 毎回  月火水木金土日    10:05 │"),
            "Right scrolled four cells, past the ID column");
    Require(bar_shows(3, 5), "the thumb moved by three cells");
    for (int i = 0; i < 11; ++i) t.Press(Key::kRight);
    Require(t.Shows("│g-command-line-for-t... 毎回  月火水木金土日    10:05 午後 │"),
            "the last column whole at the right");
    Require(bar_shows(8, 0), "the thumb at the right end");
    t.Press(Key::kLeft);
    Require(t.Shows("│-long-command-line-for-t... 毎回  月火水木金土日    10:05  │"), "Left scrolled back four cells");
    Require(bar_shows(4, 4), "the thumb moved back");
    t.Press({Key::kRight, Key::kRight, Key::kF3, Key::kTab, Key::kTab, Key::kTab, Key::kLeft, Key::kLeft, Key::kF3});
    Require(t.Shows("│ong-command-line-for-t... 毎回  月火水木金土日    10:05 ...│"),
            "narrowed by two at the right end, the last column still ends at the list's edge");
    t.Quit();
  });
}

// F1 opens the help at the section of the window in front; the last line
// names the keys of that window.
TEST(TerminalDriver, EachWindowOpensItsHelpSectionAndNamesItsKeys) {
  RunScript([](ScriptedTerminal &t) {
    const struct {
      const char *mnemonic, *heading;
    } kWindows[] = {{"", "■ メインウィンドウ"}, {"v", "■ メインウィンドウ"}, {"s", "■ コンピュータの選択"}};
    t.Start({"computer PC01"});
    for (const auto &window : kWindows) {
      const bool dialog = window.mnemonic[0] != '\0';
      if (dialog) t.Type(window.mnemonic, true);
      // The hint has the last line to itself, below every window's border.
      const std::wstring hint = DecodeUtf8(dialog ? "F1:ﾍﾙﾌﾟ  F2:ﾎﾟｲﾝﾀ  Tab:移動  Esc:ｷｬﾝｾﾙ  Alt+文字:選択"
                                                  : "F1:ﾍﾙﾌﾟ  F2:ﾎﾟｲﾝﾀ  F3:列幅  Tab:移動  Alt+文字:選択");
      const std::wstring last = t.picture.RowText(t.rows - 1);
      Require(t.Find(hint).second == t.rows - 1 && last.find(L'\x2500') == std::wstring::npos &&
                  last.find(L"Enter") == std::wstring::npos,
              std::string("the keys of ") + ActiveTemplate());
      t.Press(Key::kF1);
      Require(t.Find(DecodeUtf8(window.heading)).second == 1, std::string("F1 in ") + ActiveTemplate());
      t.Mouse(Key::kWheelDown, window.heading);
      Require(t.Find(DecodeUtf8(window.heading)).second < 1, "the wheel scrolled the help");
      t.Press(Key::kEscape);  // the help
      if (dialog) t.Press(Key::kEscape);
    }
    t.Quit();
  });
}

TEST(TerminalDriver, TheEditorShowsItsFocusSelectionAndViewAndADropDownClosesAfterAPick) {
  RunScript([](ScriptedTerminal &t) {
    t.Start({"computer PC01"});
    t.Type("a", true);
    // An edit scrolled to its end keeps its view while the caret moves back
    // inside it, as the platform's edit does.
    t.Type(std::string(90, 'x') + "END");
    t.Press({Key::kLeft, Key::kLeft, Key::kLeft});
    Require(t.Shows("xEND"), "the end stays in view");
    t.Press(Key::kTab);
    Require(FocusId() == 144, "Tab reached the run-unit radios at the checked one");
    t.Press({Key::kTab, Key::kTab});
    Require(FocusId() == 146, "Tab reached the weekday list");
    Require((t.AttrAt("月") & kUnderline) != 0, "the focus rectangle is on the first day, nothing selected");
    for (int i = 0; i < 4; ++i) t.Press(Key::kTab);
    Require(FocusId() == 148, "Tab reached the hour");
    Require((t.AttrAt("00時") & kReverse) != 0 && (t.AttrAt("00時", 1) & kReverse) != 0,
            "the selected hour text is highlighted");
    Require((t.AttrAt("00分") & kReverse) == 0, "the minute, not focused, is not");
    t.ClickOn("午前");
    Require(standin::IsDroppedDown(Control(154)), "opened");
    t.ClickOn("午後");
    Require(!standin::IsDroppedDown(Control(154)), "the pick closed the drop-down");
    Require(standin::SelectionOf(Control(154)) == std::vector<int>{1}, "午後 was picked");
    t.Press(Key::kF1);
    Require(t.Shows("Velmora ヘルプ"), "F1 opened the help");
    Require(t.Find(DecodeUtf8("■ ジョブの詳細設定")).second == 1, "at the editor's section");
    t.Press(Key::kEnd);
    Require(t.Shows("Esc で閉じます"), "the end of the help text");
    t.Press(Key::kEscape);
    Require(!t.Shows("Velmora ヘルプ") && ActiveTemplate() == "DLG_JOB", "Escape closed the help");
    t.Press(Key::kEscape);
    t.Quit();
  });
}

TEST(TerminalDriver, ANetworkWithoutThisComputerIsSaidOnce) {
  auto run = [](std::vector<std::string> world, const std::string &notice) {
    RunScript([=](ScriptedTerminal &t) {
      t.Start(world);
      Require(t.Shows(notice), "the notice: " + notice);
      t.Press(Key::kEnter);  // the program's own messages about the service query
      Require(!t.Shows(notice) && t.Shows("Enter/Space:押す") && !t.Shows("F1:"),
              "the notice gave way to the box's keys");
      t.Press({Key::kEnter, Key::kEnter});  // no more boxes: the disabled Add button takes no Enter
      Require((t.AttrAt("追加(A)...") & kDim) != 0, "the disabled Add button is dimmed");
      Require(t.Shows("ﾍﾙﾌﾟ(H)...") && (t.AttrAt("ﾍﾙﾌﾟ(H)...") & kDim) == 0, "the Help button is not dimmed");
      t.Quit();
    });
  };
  run({}, "ﾈｯﾄﾜｰｸ ﾌｧｲﾙにｺﾝﾋﾟｭｰﾀが 1 台もありません。");
  run({"local GHOST", "computer PC01"}, "このｺﾝﾋﾟｭｰﾀ (GHOST) はﾈｯﾄﾜｰｸ ﾌｧｲﾙにありません。");
}

// Under an English locale the front end's own texts are English: the keys
// of the main window, of a dialog, of the pointer and of a box, and the busy
// mark; the program's own texts stay as they are.
TEST(TerminalDriver, AnEnglishLocaleNamesTheKeysInEnglish) {
  RunScript([](ScriptedTerminal &t) {
    SetLanguage(Language::kEnglish);
    t.Start({"computer PC01"});
    Require(t.Find(L" F1:Help  F2:Pointer  F3:Column widths  Tab:Move  Alt+Letter:Select ").second == t.rows - 1,
            "the main window's keys in English");
    Require(t.Shows("ﾍﾙﾌﾟ(H)..."), "the program's own button as it is");
    t.Type("s", true);
    Require(t.Shows("  Esc:Cancel  "), "the dialog's keys in English");
    t.Press(Key::kF2);
    Require(t.Shows(" Pointer: Arrows/Tab:Move  Enter/Space:Click  F2/Esc:Done "), "the pointer's keys in English");
    t.Press({Key::kF2, Key::kF1});
    Require(t.Shows("Home/End: scroll   Esc: close"), "the help's keys in English");
    t.Press({Key::kEscape, Key::kEscape});  // the help, then the dialog
    Require(t.busy_mark_seen, "the busy mark in English while the list was read");
    t.Type("s", true);
    t.Type("zz");
    t.Press(Key::kEnter);  // a computer not in the network: the program's box, the front end's keys
    Require(t.Shows(" Tab/Arrows:Move  Enter/Space:Press"), "the box's keys in English");
    t.Press({Key::kEnter, Key::kEscape});
    t.Quit();
  });
}

// A list shows at a dialog's size what the platform shows there: the job
// list every column whole, the weekday list all seven days; a larger screen
// shows more of each text, and the help's schedule table keeps its columns.
// The key hint's line lies below every window.
TEST(TerminalDriver, ListsShowWhatThePlatformShowsAtTheDialogsSize) {
  RunScript(
      [](ScriptedTerminal &t) {
        // How much of the command shows, cut with an ellipsis.
        auto check_main = [&] {
          Require(t.Shows("時刻") && t.Shows("7:00 午後"), "the time column is whole without scrolling");
          Require(!t.Shows("Left/Right:横ｽｸﾛｰﾙ"), "nothing is left to scroll to");
          std::wstring row = t.RowOf("C:\\jobs"), last = t.picture.RowText(t.rows - 1);
          size_t from = row.find(L"C:"), to = row.find(L"...", from);
          Require(to != std::wstring::npos, "the command is cut");
          Require(t.Find(L"F1:").second == t.rows - 1 &&
                      last.find_first_of(L"\x2502\x2514\x2518\x2500") == std::wstring::npos,
                  "the key hint has the last line to itself");
          Require(t.picture.RowText(t.rows - 2).find(L"\x2518") != std::wstring::npos ||
                      t.picture.RowText(t.rows - 3).find(L"\x2518") != std::wstring::npos,
                  "the main window's bottom border is drawn above it");
          return static_cast<int>(to - from);
        };
        t.Start({"computer PC01",
                 "job PC01 id=1 at=19:00 cmd=\"C:\\\\jobs\\\\a-long-command-that-does-not-fit.cmd /all\""});
        const int command_cols_before = check_main();
        t.Type("a", true);
        auto [x, y] = t.Find(DecodeUtf8("月"));
        const std::wstring days = DecodeUtf8("月火水木金土日");
        for (int d = 0; d < 7; ++d) {
          std::wstring row = t.picture.RowText(y + d);
          Require(row.find(days[static_cast<size_t>(d)]) != std::wstring::npos &&
                      TextWidth(row.substr(0, row.find(days[static_cast<size_t>(d)]))) == x,
                  "the weekday list shows day " + std::to_string(d + 1) + " of seven");
        }
        t.Press(Key::kEscape);
        t.Resize(100, 32);
        const int command_cols = check_main();
        Require(command_cols > command_cols_before,
                "a larger screen shows more of the command: " + std::to_string(command_cols_before) + " -> " +
                    std::to_string(command_cols));
        t.Press(Key::kF1);  // each row of the schedule table starts its description where the others do
        std::vector<int> columns;
        for (const char *description : {"毎週 月", "毎月 1", "次の火曜日", "今日、指定", "明日、指定"}) {
          Require(t.Shows(description), std::string(description) + " is shown in the help");
          columns.push_back(t.Find(DecodeUtf8(description)).first);
        }
        Require(std::count(columns.begin(), columns.end(), columns.front()) == 5, "the descriptions align");
        t.Press(Key::kEscape);
        t.Quit();
      },
      76, 24);
}

// Whole screens, cell by cell with their attributes, at four sizes and one
// too small: the geometry that the checks above only sample.
// VELMORA_UPDATE_SCREENS=1 writes them anew after an intended change; read
// the difference.
TEST(TerminalDriver, ScreensStayCellForCellAsTheyWere) {
  const std::string file = VELMORA_TERMINAL_SCREENS;
  RunScript([&](ScriptedTerminal &t) {
    std::string seen;
    auto take = [&](const char *name) {
      seen += std::string("== ") + name + " " + std::to_string(t.cols) + "x" + std::to_string(t.rows) + "\n";
      for (int y = 0; y < t.picture.Rows(); ++y) {
        std::string attrs;
        for (int x = 0; x < t.picture.Cols(); ++x) attrs += static_cast<char>('0' + t.picture.At(x, y).attr % 75);
        seen += EncodeUtf8(t.picture.RowText(y)) + "\n" + attrs + "\n";
      }
    };
    t.Start({"computer PC01", "job PC01 id=1 at=19:00 flags=1 dow=21 cmd=\"backup.cmd /full\"",
             "job PC01 id=2 at=08:30 dom=16384 cmd=\"C:\\\\jobs\\\\a-long-command-that-does-not-fit.cmd /all\"",
             "job PC01 id=3 at=23:59 cmd=\"once.cmd\""});
    for (auto [cols, rows] : {std::pair{80, 24}, {100, 32}, {76, 24}, {160, 50}}) {
      t.Resize(cols, rows);
      take("main");
      t.Type("a", true);
      take("editor");
      t.Press(Key::kF1);
      take("help");
      t.Press({Key::kEscape, Key::kEscape});
    }
    t.Resize(80, 24);
    t.Type("a", true);
    t.ClickOn("1日");
    for (int day = 1; day < 10; ++day) t.Press(Key::kDown);
    take("a list scrolled");
    t.Press(Key::kEscape);
    t.Type("r", true);
    take("question");
    t.Press(Key::kEscape);
    t.Resize(40, 16);
    take("too small");
    t.Resize(76, 24);
    if (std::getenv("VELMORA_UPDATE_SCREENS") != nullptr) {
      std::ofstream out(file, std::ios::binary);
      out << seen;
      out.close();
      Require(!out.fail(), "cannot write " + file);
      t.Quit();
    }
    std::ifstream in(file, std::ios::binary);
    Require(in.is_open(), "cannot read " + file);
    const std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t at = std::mismatch(seen.begin(), seen.end(), expected.begin(), expected.end()).first - seen.begin();
    Require(seen == expected, "the screens differ from " + file + " at line " +
                                  std::to_string(std::count(seen.begin(), seen.begin() + at, '\n') + 1));
    t.Quit();
  });
}

// The redraw after a key that moves the job list's selection or scrolls it,
// also sideways, takes about as long with 10,000 jobs listed as with 100:
// within three times, measured in the same run by the processor time of each
// kind of key (its tenth percentile), so that it holds on a loaded machine
// too. The absolute figures are terminal_redraw_benchmark's.
TEST(TerminalDriver, RedrawDoesNotSlowWithTenThousandJobs) {
  std::string error;
  const std::map<std::string, RedrawMs> few = RedrawTimes(100, &error);
  ASSERT_FALSE(few.empty()) << error;
  const std::map<std::string, RedrawMs> many = RedrawTimes(10000, &error);
  ASSERT_FALSE(many.empty()) << error;
  for (const char *label : {"Down", "PageDown", "PageUp", "End/Home", "Right/Left"}) {
    ASSERT_TRUE(few.count(label) && many.count(label)) << label;
    EXPECT_LE(many.at(label).processor, 3 * few.at(label).processor)
        << label << ": " << many.at(label).processor << " ms with 10,000 jobs, " << few.at(label).processor
        << " ms with 100";
  }
}

}  // namespace
}  // namespace terminal
