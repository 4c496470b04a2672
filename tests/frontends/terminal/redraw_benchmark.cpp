// SPDX-License-Identifier: GPL-3.0-or-later
// How long the terminal front end takes from a key press that moves the job
// list's selection (or scrolls it, also sideways) to the finished redraw,
// with 10,000 jobs listed: the program's handling of the key plus drawing
// and terminal output. The front end draws to a pseudo-terminal of 80 x 24
// whose output a thread reads and discards.
//
//   tui_redraw_benchmark [jobs]
#include "terminal.h"
#include "terminal_driver.h"

#include <standin/call_log.h>
#include <standin/driver.h>
#include <standin/network.h>
#include <standin/statement.h>
#include <standin/ui.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <pty.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

extern "C" const unsigned char velmora_res[];
extern "C" const unsigned long velmora_res_size;

namespace {

using Clock = std::chrono::steady_clock;

// Presses its keys in turn, then Alt+X; times each key from its reading to
// the next picture shown, under the key's label.
class BenchTerminal : public tui::CursesTerminal {
 public:
  std::vector<std::pair<tui::Key, const char *>> keys;
  std::map<std::string, std::vector<double>> times;

  tui::TerminalEvent Read() override {
    tui::TerminalEvent e;
    if (next_ == keys.size()) {  // Alt+X ends the program
      e.key = tui::Key::kChar;
      e.ch = L'x';
      e.alt = true;
      return e;
    }
    e.key = keys[next_].first;
    e.shift = next_ == 0;  // Shift+Tab: from Add back to the job list
    label_ = keys[next_++].second;
    pressed_ = Clock::now();
    return e;
  }
  void Show(const tui::Canvas &canvas) override {
    tui::CursesTerminal::Show(canvas);
    if (label_ == nullptr) return;
    times[label_].push_back(std::chrono::duration<double, std::milli>(Clock::now() - pressed_).count());
    label_ = nullptr;
  }

 private:
  size_t next_ = 0;
  const char *label_ = nullptr;  // of the key whose redraw is awaited
  Clock::time_point pressed_;
};

}  // namespace

int main(int argc, char **argv) {
  const int jobs = argc > 1 ? std::atoi(argv[1]) : 10000;
  std::setlocale(LC_CTYPE, "C.UTF-8");
  standin::SetCallRecording(false);
  standin::ResetNetwork();
  for (int i = 0; i <= jobs; ++i) {
    std::string line = "computer BENCH", reason;
    if (i > 0)
      line = "job BENCH id=" + std::to_string(i) + " at=" + std::to_string(i % 24) + ":" + std::to_string(10 + i % 50) +
             " flags=0x01 dow=0x15 cmd=\"C:\\\\jobs\\\\ジョブ" + std::to_string(i) + ".cmd /x\"";
    std::vector<standin::Token> tokens;
    if (!standin::LexStatement(line, &tokens, &reason) || !(reason = standin::ApplyWorldStatement(tokens)).empty()) {
      std::fprintf(stderr, "%s: %s\n", line.c_str(), reason.c_str());
      return 1;
    }
  }
  BenchTerminal terminal;
  struct Group {
    int times;
    std::vector<tui::Key> keys;
    const char *label;
  };
  for (const Group &group : {Group{1, {tui::Key::kTab}, "focus"}, Group{2000, {tui::Key::kDown}, "Down"},
                             Group{300, {tui::Key::kPageDown}, "PageDown"}, Group{300, {tui::Key::kPageUp}, "PageUp"},
                             Group{50, {tui::Key::kEnd, tui::Key::kHome}, "End/Home"},
                             Group{100, {tui::Key::kRight, tui::Key::kLeft}, "Right/Left"}})
    for (int i = 0; i < group.times; ++i)
      for (tui::Key key : group.keys) terminal.keys.push_back({key, group.label});

  struct winsize size {};
  size.ws_col = 80;
  size.ws_row = 24;
  int master = -1, slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, &size) != 0) return 1;
  std::thread drain([master] {
    char buffer[65536];
    while (read(master, buffer, sizeof buffer) > 0) {
    }
  });
  FILE *report = fdopen(dup(STDOUT_FILENO), "w");
  dup2(slave, STDIN_FILENO);
  dup2(slave, STDOUT_FILENO);
  setenv("TERM", "xterm-256color", 1);
  std::string error;
  if (!terminal.Start(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  tui::TerminalDriver driver(terminal, {});
  standin::SetDriver(&driver);
  char command_line[] = "";
  auto started = Clock::now();
  int code = WinMain(standin::LoadModule(velmora_res, velmora_res_size), nullptr, command_line, SW_SHOWNORMAL);
  double total = std::chrono::duration<double>(Clock::now() - started).count();
  standin::SetDriver(nullptr);
  terminal.Stop();
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, slave}) close(fd);  // the drain ends with the terminal
  drain.join();

  std::fprintf(report, "jobs listed: %zu, exit code %d, whole run %.2f s\n",
               standin::RowCountOf(standin::ControlById(standin::TopLevelWindows().front(), 104)), code, total);
  for (auto &[label, times] : terminal.times) {
    std::sort(times.begin(), times.end());
    auto at = [&](double q) { return times[std::min(times.size() - 1, static_cast<size_t>(q * times.size()))]; };
    std::fprintf(report, "%-10s n=%5zu  median %.3f ms  p99 %.3f ms  max %.3f ms\n", label.c_str(), times.size(),
                 at(0.5), at(0.99), times.back());
  }
  return code == 0 && std::fclose(report) == 0 ? 0 : 1;
}
