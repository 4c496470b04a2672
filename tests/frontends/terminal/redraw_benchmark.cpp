// SPDX-License-Identifier: GPL-3.0-or-later
// How long the terminal front end takes from a key press that moves the job
// list's selection (or scrolls it, also sideways) to the finished redraw,
// with 10,000 jobs listed: the program's handling of the key plus drawing
// and terminal output. The front end runs in a pseudo-terminal of 80 x 24
// whose output this process reads and discards.
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
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern "C" const unsigned char velmora_res[];
extern "C" const unsigned long velmora_res_size;

namespace {

using Clock = std::chrono::steady_clock;

struct Step {
  tui::Key key;
  const char *label;
  bool shift = false;
};

class BenchTerminal : public tui::CursesTerminal {
 public:
  explicit BenchTerminal(std::vector<Step> steps) : steps_(std::move(steps)) {}

  tui::TerminalEvent Read() override {
    tui::TerminalEvent e;
    if (next_ >= steps_.size()) {
      e.key = tui::Key::kChar;  // Alt+X ends the program
      e.ch = L'x';
      e.alt = true;
      return e;
    }
    e.key = steps_[next_].key;
    e.shift = steps_[next_].shift;
    current_ = next_++;
    pressed_ = Clock::now();
    waiting_ = true;
    return e;
  }
  void Show(const tui::Canvas &canvas) override {
    tui::CursesTerminal::Show(canvas);
    if (!waiting_) return;
    waiting_ = false;
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - pressed_).count();
    results_[steps_[current_].label].push_back(ms);
  }
  std::vector<std::pair<std::string, std::vector<double>>> Results() const {
    return {results_.begin(), results_.end()};
  }

 private:
  std::vector<Step> steps_;
  size_t next_ = 0, current_ = 0;
  Clock::time_point pressed_;
  bool waiting_ = false;
  std::map<std::string, std::vector<double>> results_;
};

void Fail(const std::string &what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  _exit(2);
}

int RunInTerminal(int jobs, int report_fd) {
  std::setlocale(LC_CTYPE, "C.UTF-8");
  standin::SetCallRecording(false);
  standin::ResetNetwork();
  std::vector<std::string> world = {"computer BENCH"};
  for (int i = 1; i <= jobs; ++i)
    world.push_back("job BENCH id=" + std::to_string(i) + " at=" + std::to_string(i % 24) + ":" +
                    std::to_string(10 + i % 50) + " flags=0x01 dow=0x15 cmd=\"C:\\\\jobs\\\\ジョブ" +
                    std::to_string(i) + ".cmd /x\"");
  for (const std::string &line : world) {
    std::vector<standin::Token> tokens;
    std::string error;
    if (!standin::LexStatement(line, &tokens, &error)) Fail(line + ": " + error);
    std::string reason = standin::ApplyWorldStatement(tokens);
    if (!reason.empty()) Fail(line + ": " + reason);
  }
  std::vector<Step> steps = {{tui::Key::kTab, "focus", true}};  // from Add back to the job list
  auto repeat = [&](int times, const std::vector<Step> &group) {
    for (int i = 0; i < times; ++i) steps.insert(steps.end(), group.begin(), group.end());
  };
  repeat(2000, {{tui::Key::kDown, "Down"}});
  repeat(300, {{tui::Key::kPageDown, "PageDown"}});
  repeat(300, {{tui::Key::kPageUp, "PageUp"}});
  repeat(50, {{tui::Key::kEnd, "End/Home"}, {tui::Key::kHome, "End/Home"}});
  repeat(100, {{tui::Key::kRight, "Right/Left"}, {tui::Key::kLeft, "Right/Left"}});  // sideways
  BenchTerminal terminal(steps);
  std::string error;
  if (!terminal.Start(&error)) Fail(error);
  tui::TerminalDriver driver(terminal, {});
  standin::SetDriver(&driver);
  HINSTANCE instance = standin::LoadModule(velmora_res, velmora_res_size);
  char command_line[] = "";
  auto started = Clock::now();
  int code = WinMain(instance, nullptr, command_line, SW_SHOWNORMAL);
  double total = std::chrono::duration<double>(Clock::now() - started).count();
  standin::SetDriver(nullptr);
  terminal.Stop();

  std::string report;
  char line[256];
  std::snprintf(line, sizeof line, "jobs listed: %zu, exit code %d, whole run %.2f s\n",
                standin::RowCountOf(standin::ControlById(standin::TopLevelWindows().front(), 104)), code, total);
  report += line;
  for (auto &[label, times] : terminal.Results()) {
    std::sort(times.begin(), times.end());
    auto at = [&](double q) { return times[std::min(times.size() - 1, static_cast<size_t>(q * times.size()))]; };
    std::snprintf(line, sizeof line, "%-10s n=%5zu  median %.3f ms  p99 %.3f ms  max %.3f ms\n", label.c_str(),
                  times.size(), at(0.5), at(0.99), times.back());
    report += line;
  }
  ssize_t written = write(report_fd, report.data(), report.size());
  return written == static_cast<ssize_t>(report.size()) ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
  int jobs = argc > 1 ? std::atoi(argv[1]) : 10000;
  int report[2];
  if (pipe(report) != 0) return 1;
  struct winsize size {};
  size.ws_col = 80;
  size.ws_row = 24;
  int master = -1;
  setenv("TERM", "xterm-256color", 1);
  pid_t child = forkpty(&master, nullptr, nullptr, &size);
  if (child < 0) {
    std::perror("forkpty");
    return 1;
  }
  if (child == 0) {
    close(report[0]);
    _exit(RunInTerminal(jobs, report[1]));
  }
  close(report[1]);
  // Drain what the front end writes to its terminal.
  char buffer[65536];
  while (read(master, buffer, sizeof buffer) > 0) {
  }
  int status = 0;
  waitpid(child, &status, 0);
  std::string text;
  ssize_t n;
  while ((n = read(report[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  std::fputs(text.c_str(), stdout);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
