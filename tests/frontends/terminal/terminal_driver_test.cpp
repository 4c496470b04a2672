// SPDX-License-Identifier: GPL-3.0-or-later
// The terminal driver against the stand-in and the real program: keys and clicks reach the program as a user's input,
// and what the program shows is drawn. Each case runs the program in a child process of its own, since the program
// keeps process-wide state.
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
#include <cctype>
#include <clocale>
#include <cstdlib>
#include <condition_variable>
#include <cstdio>
#include <fstream>
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

// Ends the child process with a message, and the screen, that the parent's test shows.
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

// The program runs on a thread of its own and takes the script's events one at a time: the script sends one and waits
// until the program reads the next, so that what the script checks in between is what the program shows while it waits,
// and nothing changes under the check.
class ScriptedTerminal : public Terminal {
 public:
  int cols = 80, rows = 24, beeps = 0;
  Canvas picture{0, 0};
  bool busy_mark_seen = false;

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

  // Starts the program on a network of `world` statements and waits until it reads its first event.
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
    std::unique_lock<std::mutex> lock(mutex_);
    turn_.wait(lock, [&] { return reading_ || exit_code_ >= 0; });
  }
  // Sends an event and waits until the program has handled it.
  void Send(const TerminalEvent &event) {
    std::unique_lock<std::mutex> lock(mutex_);
    Require(exit_code_ < 0, "the program ended before the script did");
    event_ = event;
    reading_ = false;
    turn_.notify_all();
    turn_.wait(lock, [&] { return reading_ || exit_code_ >= 0; });
  }

  // Column and row where a text is shown, or (-1, -1).
  std::pair<int, int> Find(const std::wstring &text) const {
    for (int y = 0; y < picture.Rows(); ++y) {
      const std::wstring row = picture.RowText(y);
      if (size_t at = row.find(text); at != std::wstring::npos) return {TextWidth(row.substr(0, at)), y};
    }
    return {-1, -1};
  }
  void Type(const std::string &utf8, bool alt = false) {
    for (wchar_t c : DecodeUtf8(utf8)) Send(TerminalEvent{Key::kChar, c, false, false, alt});
  }
  // Alt+X, which ends the program, as the script's last key; ends the child process with WinMain's result, or 3
  // when the program still waits for the script.
  [[noreturn]] void Quit() {
    Type("x", true);
    if (exit_code_ < 0) Fail("the script ran out while the program waited", 3);
    program_.join();
    _exit(exit_code_);
  }

 private:
  std::thread program_;
  std::mutex mutex_;
  std::condition_variable turn_;
  bool reading_ = false;
  TerminalEvent event_;
  int exit_code_ = -1;
};

// One line of a screen script: its input, then a take of the screen when it is named. The input is words: a key (Tab,
// Shift+Tab, Ctrl+v, Alt+a; Right*15 for fifteen of it), "text" typed, click@X,Y on a cell, click:TEXT, wheel:TEXT,
// either with Shift+, on the first cell of a text shown, paste:TEXT put on the clipboard, or COLSxROWS, the terminal's
// new size. A line that begins with "world " is a statement about the network instead.
struct Step {
  std::string input;
  const char *take;
};

struct ScreenScript {
  const char *name;
  std::vector<std::string> world;
  std::vector<Step> steps;
};

void PlayWord(ScriptedTerminal &t, const std::string &word) {
  static const std::map<std::string, Key> kKeys = {
      {"Up", Key::kUp},      {"Down", Key::kDown},     {"Left", Key::kLeft},    {"Right", Key::kRight},
      {"Home", Key::kHome},  {"End", Key::kEnd},       {"Tab", Key::kTab},      {"Enter", Key::kEnter},
      {"Esc", Key::kEscape}, {"Space", Key::kSpace},   {"F1", Key::kF1},        {"F2", Key::kF2},
      {"F3", Key::kF3},      {"Insert", Key::kInsert}, {"PgDn", Key::kPageDown}};
  auto after = [&](const std::string &prefix) {
    return word.compare(0, prefix.size(), prefix) == 0 ? word.substr(prefix.size()) : std::string();
  };
  const bool shift = !after("Shift+").empty();
  const std::string key = shift ? after("Shift+") : word;
  if (word.front() == '"') {
    t.Type(word.substr(1, word.size() - 2));
  } else if (word.size() == 5 && !after("Alt+").empty()) {
    t.Type(after("Alt+"), true);
  } else if (word.size() == 6 && !after("Ctrl+").empty()) {
    t.Send(TerminalEvent{Key::kChar, static_cast<wchar_t>(word[5]), false, /*ctrl=*/true});
  } else if (key.compare(0, 6, "click:") == 0 || key.compare(0, 6, "click@") == 0 || key.compare(0, 6, "wheel:") == 0) {
    const std::string where = key.substr(6);
    auto [x, y] = key[5] == '@' ? std::pair(std::stoi(where), std::stoi(where.substr(where.find(',') + 1)))
                                : t.Find(DecodeUtf8(where));
    Require(x >= 0, where + " is on the screen for the mouse");
    t.Send(TerminalEvent{key[0] == 'w' ? Key::kWheelDown : Key::kMouse, 0, shift, false, false, x, y});
  } else if (!after("paste:").empty()) {
    const std::string text = after("paste:");
    standin::PutTextOnClipboard(std::u16string(text.begin(), text.end()));
  } else if (std::isdigit(static_cast<unsigned char>(word.front()))) {
    t.cols = std::stoi(word), t.rows = std::stoi(word.substr(word.find('x') + 1));
    t.Send(TerminalEvent{Key::kResize});
  } else {
    Require(kKeys.count(key) != 0, "a key named " + word);
    t.Send(TerminalEvent{kKeys.at(key), 0, shift});
  }
}

// Plays one step's input: words apart by blanks, but for those of a "text".
void Play(ScriptedTerminal &t, const std::string &input) {
  if (input.compare(0, 6, "world ") == 0) return ApplyWorld(input.substr(6));
  for (size_t at = input.find_first_not_of(' '); at != std::string::npos; at = input.find_first_not_of(' ', at)) {
    size_t end = input[at] == '"' ? input.find('"', at + 1) + 1 : at;
    end = std::min(input.find(' ', end), input.size());
    std::string word = input.substr(at, end - at);
    int times = 1;
    const size_t star = word.rfind('*');
    if (star != std::string::npos && star + 1 < word.size() && std::isdigit(static_cast<unsigned char>(word[star + 1])))
      times = std::stoi(word.substr(star + 1)), word.resize(star);
    for (int i = 0; i < times; ++i) PlayWord(t, word);
    at = end;
  }
}

// The main window, the job editor, their help and the dialogs at four sizes; then one state after another at 80 x 24.
std::vector<Step> MainSteps() {
  std::vector<Step> steps;
  for (const std::string size : {"80x24", "100x32", "76x24", "160x50"}) {
    steps.insert(steps.end(), {{size, "main"}, {"Alt+a", "editor"}, {"F1", "help"}, {"Esc Esc", nullptr}});
    // The smallest screen the program runs on and a larger one show the other dialogs' buttons whole.
    if (size == "76x24" || size == "100x32")
      steps.insert(steps.end(), {{"Alt+v", "version"},
                                 {"F1", "the version's help"},
                                 {"Esc Esc Alt+s", "computers"},
                                 {"F1", "the computers' help"},
                                 {"wheel:コンピュータの選択", "help turned by the wheel"},
                                 {"Esc Esc", nullptr}});
  }
  steps.insert(steps.end(),
               {{"80x24 Alt+a click:1日 Down*9", "a list scrolled"},
                {"Esc Alt+r", "question"},
                {"Esc 40x16", "too small"},
                {"Alt+x 80x24 click:once.cmd", "a row clicked"},  // Alt+x, too small, ends nothing
                {"Alt+v Esc", "after the version box"},
                {"Tab", "a button focused"},
                // Typed through the code page's best fit, pasted by Shift+Insert and Ctrl+V.
                {"Esc Alt+s \"pc0é€\" paste:ab Home Shift+Insert \"0123456789\" Ctrl+v", "a computer typed"},
                {"Esc", "the list read again"},
                {"Alt+a \"x\"*90 \"END\" Left*3", "a long command's end"},
                {"Tab*3", "the weekday list focused"},
                {"click:火 Shift+click:木 Tab*4", "the hour focused"},
                {"click:午前", "dropped down"},
                {"click:午後", "picked"},
                {"F1 End", "the help's end"},
                {"Esc Esc", nullptr},
                // A box without owner leaves the main window to the mouse.
                {"world fail PC01 NetServiceGetInfo 53", nullptr},
                {"Alt+c Enter", "a box without owner"},
                {"click:ｺﾝﾋﾟｭｰﾀ選択(S)", "the computers over the box"},
                {"Esc Tab", "the box still waits"},
                {"click:RC:53 Enter", "the box answered"}});
  return steps;
}

std::vector<ScreenScript> ScreenScripts() {
  // A fixed clock: what the schedule column says of a job (今日, 明日) follows the time of day.
  std::vector<std::string> many = {"computer PC01", "clock 2026-12-08 09:00"};
  for (int id = 10; id <= 40; ++id)
    many.push_back("job PC01 id=" + std::to_string(id) + " at=10:00 cmd=\"task-00" + std::to_string(id) +
                   "-weekly-report.cmd\"");
  many.push_back("job PC01 id=10001 at=10:00 cmd=\"last.cmd\"");
  return {
      {"",
       {"computer PC01", "clock 2026-12-08 09:00", "job PC01 id=1 at=19:00 flags=1 dow=21 cmd=\"backup.cmd /full\"",
        "job PC01 id=2 at=08:30 dom=16384 cmd=\"C:\\\\jobs\\\\a-long-command-that-does-not-fit.cmd /all\"",
        "job PC01 id=3 at=23:59 cmd=\"once.cmd\""},
       MainSteps()},
      // The keyboard pointer clicks what the tab order passes by and stays until F2 or Escape puts it away.
      {"pointer",
       {"computer PC01"},
       {{"Alt+a \"x\"*80 Home Shift+End \"run.cmd /q\" F2 Up", "at the last control"},
        {"Tab", "round to the first"},
        {"Shift+Tab Left", "to the left"},
        {"Right Right Down Enter", "today clicked"},
        {"Down Space", "tomorrow clicked"},
        {"Esc", "put away"},
        {"Esc", nullptr}}},
      // Columns keep their widths when another is widened; the list scrolls
      // sideways by keys, its scroll bar's arrow and Shift+wheel.
      {"columns",
       many,
       {{"click:task-0010 F3", "sizing"},
        {"Tab Right*15 Enter", "the command widened"},
        {"End", "a long ID cut"},
        {"F3 Right*2 F3", "the ID widened"},
        {"Right*10", "scrolled to the time"},
        {"click:<*7", "scrolled back by the arrow"},
        {"Shift+wheel:last.cmd", "scrolled by Shift+wheel"},
        {"click@66,12", "paged up by the scroll bar's track"},
        {"Home PgDn", "a page down"}}},
      // The thumb moves cell by cell; a column narrowed at the right end.
      {"thumb",
       {"computer PC01",
        "job PC01 id=7 at=22:05 flags=0x01 dow=0x7F cmd=\"a-long-command-line-for-the-nightly-backup.cmd\"",
        "job PC01 id=12 at=09:30 flags=0x01 dow=0x01 cmd=\"b.cmd\""},
       {{"", "columns"},
        {"click:a-long-command F3 Tab Right*10 F3", "widened by ten"},
        {"Right", "scrolled by four"},
        {"Right*11", "at the right end"},
        {"Left", "back by four"},
        {"click@63,18", "paged right by the track"},
        {"F3", "the ID's divider in view"},
        {"Tab Tab Tab Left Left F3", "narrowed at the right end"}}},
      {"no computers", {}, {{"", "notice"}, {"Enter", "a box's keys"}, {"Enter Enter", "after the boxes"}}},
      {"not this computer", {"local GHOST", "computer PC01"}, {{"", "notice"}, {"Enter*3", nullptr}}},
      // The front end's own texts in English, the program's as they are: the one script named so.
      {"english",
       {"computer PC01"},
       {{"", "main"},
        {"Alt+s", "dialog"},
        {"F2", "pointer"},
        {"F2 F1", "help"},
        {"Esc Esc Alt+s \"zz\" Enter", "a box"},
        {"Enter Esc", nullptr}}},
  };
}

// Whole screens, cell by cell with their attributes, with the caret, the busy mark and the beeps since the take before:
// the geometry and states that no other case checks. Each script runs in a child process of its own and leaves its
// takes in a file that this test compares, all of them in order, with VELMORA_TERMINAL_SCREENS;
// VELMORA_UPDATE_SCREENS=1 writes them anew after an intended change: read the difference.
TEST(TerminalDriver, ScreensStayCellForCellAsTheyWere) {
  const std::string takes_file = ::testing::TempDir() + "velmora-screens-" + std::to_string(getpid());
  std::string seen;
  for (const ScreenScript &script : ScreenScripts()) {
    std::remove(takes_file.c_str());
    const auto play = [&] {
      ScriptedTerminal t;  // of 80 x 24
      std::string takes;
      if (std::string(script.name) == "english") SetLanguage(Language::kEnglish);
      t.Start(script.world);
      for (const Step &step : script.steps) {
        Play(t, step.input);
        if (step.take == nullptr) continue;
        takes += std::string("== ") + script.name + (script.name[0] ? ": " : "") + step.take + " " +
                 std::to_string(t.cols) + "x" + std::to_string(t.rows);
        if (t.picture.CursorShown())
          takes += " caret " + std::to_string(t.picture.CursorX()) + "," + std::to_string(t.picture.CursorY());
        if (t.busy_mark_seen) takes += " busy";
        if (t.beeps != 0) takes += " beeps " + std::to_string(t.beeps);
        t.busy_mark_seen = false, t.beeps = 0;
        takes += "\n";
        for (int y = 0; y < t.picture.Rows(); ++y) {
          std::string attrs;
          for (int x = 0; x < t.picture.Cols(); ++x) attrs += static_cast<char>('0' + t.picture.At(x, y).attr % 75);
          takes += EncodeUtf8(t.picture.RowText(y)) + "\n" + attrs + "\n";
        }
      }
      Require(static_cast<bool>(std::ofstream(takes_file, std::ios::binary) << takes << std::flush),
              "cannot write " + takes_file);
      t.Quit();
    };
    EXPECT_EXIT(play(), ::testing::ExitedWithCode(0), "");  // the program ends with 0
    std::ifstream in(takes_file, std::ios::binary);
    ASSERT_TRUE(in.is_open()) << script.name << " left no takes";
    seen.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::remove(takes_file.c_str());
  const std::string file = VELMORA_TERMINAL_SCREENS;
  if (std::getenv("VELMORA_UPDATE_SCREENS") != nullptr) {
    ASSERT_TRUE(std::ofstream(file, std::ios::binary) << seen << std::flush) << "cannot write " << file;
    return;
  }
  std::ifstream in(file, std::ios::binary);
  ASSERT_TRUE(in.is_open()) << "cannot read " << file;
  const std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t at = std::mismatch(seen.begin(), seen.end(), expected.begin(), expected.end()).first - seen.begin();
  EXPECT_TRUE(seen == expected) << "the screens differ from " << file << " at line "
                                << std::count(seen.begin(), seen.begin() + at, '\n') + 1;
}

// The redraw after a key that moves the job list's selection or scrolls it, also sideways, takes about as long with
// 10,000 jobs listed as with 100: within three times, measured in the same run by the processor time of each kind of
// key (its tenth percentile), so that it holds on a loaded machine too. The absolute figures are
// terminal_redraw_benchmark's.
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
