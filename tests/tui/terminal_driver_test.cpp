// The terminal driver against the stand-in and the real program: keys and
// clicks reach the program as a user's input, and what the program shows is
// drawn. Each case runs the program in a child process of its own, since the
// program keeps process-wide state.
#include "terminal.h"
#include "terminal_driver.h"
#include "text_width.h"

#include <standin/driver.h>
#include <standin/network.h>
#include <standin/statement.h>
#include <standin/ui.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <string>
#include <unistd.h>

extern "C" const unsigned char velmora_res[];
extern "C" const unsigned long velmora_res_size;

namespace tui {
namespace {

// Fails the child process with a message the parent's test shows.
void Require(bool condition, const std::string &what) {
  if (condition) return;
  std::fprintf(stderr, "check failed: %s\n", what.c_str());
  std::fflush(stderr);
  _exit(2);
}

class ScriptedTerminal : public Terminal {
 public:
  int cols = 80, rows = 24;
  Canvas picture{0, 0};
  bool busy_mark_seen = false;
  // Each step either returns an event or, for checks, runs and returns none.
  std::deque<std::function<TerminalEvent()>> steps;

  int Cols() const override { return cols; }
  int Rows() const override { return rows; }
  void Show(const Canvas &canvas) override {
    picture = canvas;
    if (Find(DecodeUtf8("(処理中)")).first >= 0) busy_mark_seen = true;
  }
  TerminalEvent Read() override {
    while (!steps.empty()) {
      auto step = steps.front();
      steps.pop_front();
      TerminalEvent e = step();
      if (e.key != Key::kNone) return e;
    }
    throw TerminalClosed();  // the script ran out while the program still waits
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

  void Press(Key key, bool shift = false, bool alt = false) {
    steps.push_back([=] {
      TerminalEvent e;
      e.key = key;
      e.shift = shift;
      e.alt = alt;
      return e;
    });
  }
  void Type(const std::string &utf8, bool alt = false) {
    for (wchar_t c : DecodeUtf8(utf8))
      steps.push_back([=] {
        TerminalEvent e;
        e.key = Key::kChar;
        e.ch = c;
        e.alt = alt;
        return e;
      });
  }
  void ClickOn(const std::string &utf8) {
    steps.push_back([=] {
      auto [x, y] = Find(DecodeUtf8(utf8));
      Require(x >= 0, "'" + utf8 + "' is on the screen");
      TerminalEvent e;
      e.key = Key::kMouse;
      e.x = x;
      e.y = y;
      return e;
    });
  }
  void Check(std::function<void()> check) {
    steps.push_back([check] {
      check();
      return TerminalEvent{};
    });
  }
};

HWND MainWindow() { return standin::TopLevelWindows().front(); }
int FocusId() { return standin::ControlIdOf(standin::FocusWindow()); }
std::string ActiveTemplate() { return standin::TemplateNameOf(standin::ActiveWindow()); }

// Plays the script against the program on a network of `world` statements;
// ends the child process with WinMain's result, or 3 when the script ran out.
void Play(const std::vector<std::string> &world, ScriptedTerminal &terminal) {
  standin::ResetNetwork();
  for (const std::string &line : world) {
    std::vector<standin::Token> tokens;
    std::string error;
    Require(standin::LexStatement(line, &tokens, &error), line + ": " + error);
    std::string reason = standin::ApplyWorldStatement(tokens);
    Require(reason.empty(), line + ": " + reason);
  }
  HINSTANCE instance = standin::LoadModule(velmora_res, velmora_res_size);
  TerminalDriver driver(terminal, {VELMORA_TUI_HELP_DIR});
  standin::SetDriver(&driver);
  int code;
  try {
    char command_line[] = "";
    code = WinMain(instance, nullptr, command_line, SW_SHOWNORMAL);
  } catch (const TerminalClosed &) {
    std::fprintf(stderr, "the script ran out while the program waited; the screen shows:\n");
    for (int y = 0; y < terminal.picture.Rows(); ++y)
      std::fprintf(stderr, "%s\n", EncodeUtf8(terminal.picture.RowText(y)).c_str());
    _exit(3);
  }
  Require(terminal.steps.empty(), "the program ended before the script did");
  _exit(code);
}

TEST(TerminalDriver, TabMnemonicsAndEscapeMoveThroughTheWindows) {
  auto run = [] {
    ScriptedTerminal t;
    t.Check([&] { Require(FocusId() == 101, "Add has the focus at start"); });
    t.Press(Key::kTab);
    t.Check([&] { Require(FocusId() == 102, "Tab moves to Modify"); });
    t.Press(Key::kTab, true);
    t.Press(Key::kTab, true);
    t.Check([&] { Require(FocusId() == 104, "Shift+Tab twice reaches the job list"); });
    t.Type("v", true);  // Alt+V: version information
    t.Check([&] {
      Require(ActiveTemplate() == "DLG_ABOUT", "Alt+V opens the version box");
      Require(t.Shows("Version β2 (0.9.9.2)"), "the version box is drawn");
    });
    t.Press(Key::kEscape);
    t.Check([&] {
      Require(ActiveTemplate() == "DLG_VELMORA", "Escape closes the version box");
      // The main window, activated again, keeps the focus on itself.
      Require(standin::FocusWindow() == MainWindow(), "the main window itself has the focus");
      auto [x, y] = t.Find(DecodeUtf8("ﾊﾞｰｼﾞｮﾝ情報(V)..."));
      Require(x >= 0 && (t.picture.At(x, y).attr & kReverse) == 0, "no button is drawn focused");
    });
    t.Press(Key::kTab);
    t.Check([&] {
      Require(FocusId() == 105, "Tab starts at the first tab stop");
      auto [x, y] = t.Find(DecodeUtf8("ｺﾝﾋﾟｭｰﾀ選択(S)..."));
      Require(x >= 0 && (t.picture.At(x, y).attr & kReverse) != 0, "Select computer is drawn focused");
    });
    t.Press(Key::kEscape);  // does nothing on the main window
    t.Check([&] { Require(ActiveTemplate() == "DLG_VELMORA", "Escape leaves the main window open"); });
    t.Type("x", true);
    Play({"computer PC01"}, t);
  };
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
}

TEST(TerminalDriver, TheKeyboardPointerClicksControlsOutsideTheTabOrder) {
  auto run = [] {
    ScriptedTerminal t;
    t.Type("a", true);  // Alt+A: the job editor, focus on the command line
    t.Check([&] { Require(ActiveTemplate() == "DLG_JOB", "Alt+A opens the job editor"); });
    t.Press(Key::kF2);
    t.Press(Key::kDown);  // from the command line to the first radio, 今日
    t.Check([&] {
      HWND today = standin::ControlById(standin::ActiveWindow(), 142);
      Require(standin::CheckStateOf(today) == BST_UNCHECKED, "the pointer alone clicks nothing");
    });
    t.Press(Key::kEnter);
    t.Check([&] {
      HWND editor = standin::ActiveWindow();
      Require(standin::CheckStateOf(standin::ControlById(editor, 142)) == BST_CHECKED, "Enter clicked 今日");
      Require(!standin::IsEnabledSelf(standin::ControlById(editor, 155)), "today's run unit turned the days off");
      Require(FocusId() == 142, "the click gave 今日 the focus, as a mouse click does");
    });
    t.Press(Key::kF2);
    t.Press(Key::kEscape);  // puts the pointer away without a click
    t.Press(Key::kEscape);  // the dialog manager's Escape: the editor closes
    t.Check([&] { Require(ActiveTemplate() == "DLG_VELMORA", "Escape closed the editor"); });
    t.Type("x", true);
    Play({"computer PC01"}, t);
  };
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
}

TEST(TerminalDriver, QuestionBoxTakesOnlyItsAnswersAndDisabledControlsAreDimmed) {
  auto run = [] {
    ScriptedTerminal t;
    t.Check([&] {
      Require(t.Shows("PC01 上でｽｹｼﾞｭｰﾙｻｰﾋﾞｽが停止中です。"), "the question's first line");
      Require(t.Shows("今すぐ開始しますか?"), "the question's second line");
      Require(t.Shows("(?)"), "the question mark");
    });
    t.Press(Key::kEscape);  // a Yes/No question has no Cancel: Escape is ignored
    t.Type("q");
    t.Check([&] { Require(t.Shows("今すぐ開始しますか?"), "the question is still asked"); });
    t.Type("n");
    t.Check([&] {
      Require(!t.Shows("今すぐ開始しますか?"), "No answered the question");
      auto [x, y] = t.Find(DecodeUtf8("追加(A)..."));
      Require(x >= 0, "the Add button is drawn");
      Require((t.picture.At(x, y).attr & kDim) != 0, "the disabled Add button is dimmed");
      auto [vx, vy] = t.Find(DecodeUtf8("ﾍﾙﾌﾟ(H)..."));
      Require((t.picture.At(vx, vy).attr & kDim) == 0, "the Help button is not dimmed");
    });
    t.ClickOn("終了(X)");
    Play({"computer PC01 service=stopped"}, t);
  };
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
}

TEST(TerminalDriver, TheMainWindowTakesClicksWhileABoxWithoutOwnerShows) {
  auto run = [] {
    ScriptedTerminal t;
    t.Check([&] {
      std::vector<standin::Token> tokens;
      std::string error;
      standin::LexStatement("fail PC01 NetServiceGetInfo 53", &tokens, &error);
      Require(standin::ApplyWorldStatement(tokens).empty(), "the status query is made to fail");
    });
    t.Type("c", true);  // Modify without a selected row, then a refresh
    t.Press(Key::kEnter);
    t.Check([&] { Require(t.Shows("NetServiceGetInfo"), "the status query's error box"); });
    t.Press(Key::kTab);  // the box has the keyboard
    t.Check([&] { Require(t.Shows("NetServiceGetInfo"), "the box is still shown"); });
    t.ClickOn("終了(X)");  // beside the box: the main window is enabled
    Play({"computer PC01"}, t);
  };
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
}

TEST(TerminalDriver, ASmallTerminalGetsAMessageAndNoInputUntilItGrows) {
  auto run = [] {
    ScriptedTerminal t;
    t.cols = 60;
    t.rows = 20;
    t.Check([&] {
      Require(t.Shows("端末が小さすぎます。"), "the message for a small terminal");
      Require(t.Shows("少なくとも 64 x 24 必要です"), "the size it needs");
    });
    t.Type("x", true);  // would end the program; must be ignored
    t.steps.push_back([&] {
      t.cols = 80;
      t.rows = 24;
      TerminalEvent e;
      e.key = Key::kResize;
      return e;
    });
    t.Check([&] { Require(t.Shows("ｼﾞｮﾌﾞ・ｽｹｼﾞｭｰﾙ"), "the main window after the resize"); });
    t.Type("x", true);
    Play({"computer PC01"}, t);
  };
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
}

TEST(TerminalDriver, ClicksSelectRowsAndTheCloseBoxEndsTheProgram) {
  auto run = [] {
    ScriptedTerminal t;
    t.ClickOn("two.cmd");
    t.Check([&] {
      std::vector<int> selected = standin::SelectionOf(standin::ControlById(MainWindow(), 104));
      Require(selected == std::vector<int>{1}, "the clicked row is selected");
    });
    // The first list is read before the main window is shown; a cancelled
    // computer selection reads it again in the window.
    t.Type("s", true);
    t.Press(Key::kEscape);
    t.Check([&] { Require(t.busy_mark_seen, "the wait cursor's mark was shown while the list was read"); });
    t.ClickOn("[X]");
    Play({"computer PC01", "job PC01 id=1 at=10:00 cmd=\"one.cmd\"", "job PC01 id=2 at=11:00 cmd=\"two.cmd\""}, t);
  };
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
}

TEST(TerminalDriver, TypedTextFollowsTheEditRulesAndForeignCharactersAreRefused) {
  auto run = [] {
    ScriptedTerminal t;
    t.Type("s", true);
    t.Check([&] { Require(ActiveTemplate() == "DLG_CP", "Alt+S opens the computer selection"); });
    t.Type("pc0é2");
    t.Check([&] {
      HWND edit = standin::ControlById(standin::ActiveWindow(), 131);
      Require(standin::TextOf(edit) == "PC02", "typed letters in upper case, é refused: " + standin::TextOf(edit));
      Require(t.picture.CursorShown(), "the caret is shown in the edit");
    });
    t.Press(Key::kEscape);
    t.Check([&] { Require(ActiveTemplate() == "DLG_VELMORA", "Escape cancels the selection"); });
    t.Type("x", true);
    Play({"computer PC01"}, t);
  };
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
}

TEST(TerminalDriver, HelpOpensInFrontScrollsAndCloses) {
  auto run = [] {
    ScriptedTerminal t;
    t.Type("h", true);
    t.Check([&] { Require(t.Shows("Velmora ヘルプ"), "the help window with its title"); });
    t.Type("x", true);  // goes to the help window, not to the program
    t.Press(Key::kEnd);
    t.Check([&] { Require(t.Shows("Esc で閉じます"), "the end of the help text"); });
    t.Press(Key::kEscape);
    t.Check([&] { Require(!t.Shows("Velmora ヘルプ"), "Escape closes the help window"); });
    t.Type("x", true);
    Play({"computer PC01"}, t);
  };
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tui
