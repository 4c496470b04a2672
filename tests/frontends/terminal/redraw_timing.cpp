// SPDX-License-Identifier: GPL-3.0-or-later
#include "redraw_timing.h"

#include "terminal.h"
#include "terminal_driver.h"

#include <standin/call_log.h>
#include <standin/driver.h>
#include <standin/network.h>
#include <standin/statement.h>
#include <standin/ui.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <pty.h>
#include <sstream>
#include <sys/wait.h>
#include <time.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <utility>
#include <vector>

extern "C" const unsigned char velmora_res[];
extern "C" const unsigned long velmora_res_size;

namespace terminal {
namespace {

// Times the redraw after each of its keys, by the key's label: from reading
// the key to the picture shown, on the clock and in processor time of this
// thread (which runs the program).
class TimedTerminal : public CursesTerminal {
 public:
  std::vector<std::pair<Key, const char *>> keys;  // then Alt+X
  std::map<std::string, std::vector<double>> wall, processor;

  TerminalEvent Read() override {
    if (next_ == keys.size()) return TerminalEvent{Key::kChar, L'x', false, false, /*alt=*/true};
    label_ = keys[next_].second;
    pressed_ = std::chrono::steady_clock::now();
    pressed_cpu_ = ThreadMs();
    return TerminalEvent{keys[next_].first, 0, /*shift=*/next_++ == 0};
  }
  void Show(const Canvas &canvas) override {
    CursesTerminal::Show(canvas);
    if (label_ == nullptr) return;
    processor[label_].push_back(ThreadMs() - pressed_cpu_);
    wall[label_].push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - pressed_).count());
    label_ = nullptr;
  }

 private:
  size_t next_ = 0;
  const char *label_ = nullptr;  // of the key whose redraw is awaited
  std::chrono::steady_clock::time_point pressed_;
  double pressed_cpu_ = 0;

  static double ThreadMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
  }
};

// The time that a share q of the keys took at most.
double Quantile(std::vector<double> times, double q) {
  std::sort(times.begin(), times.end());
  return times[static_cast<size_t>(q * (times.size() - 1))];
}

// Runs the program with `jobs` jobs and writes "LABEL MEDIAN" lines, or
// "error TEXT", to `out`; never returns.
[[noreturn]] void TimeInChild(int jobs, FILE *out) {
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
    if (!standin::LexStatement(line, &tokens, &error) || !standin::ApplyWorldStatement(tokens).empty()) {
      std::fprintf(out, "error the network statement %s\n", line.c_str());
      _exit(1);
    }
  }
  TimedTerminal terminal;
  terminal.keys.push_back({Key::kTab, "focus"});  // Shift+Tab: from Add to the job list
  for (auto [times, first, second, label] : {std::tuple{2000, Key::kDown, Key::kNone, "Down"},
                                             {300, Key::kPageDown, Key::kNone, "PageDown"},
                                             {300, Key::kPageUp, Key::kNone, "PageUp"},
                                             {50, Key::kEnd, Key::kHome, "End/Home"},
                                             {100, Key::kRight, Key::kLeft, "Right/Left"}}) {
    for (int i = 0; i < times; ++i)
      for (Key key : {first, second})
        if (key != Key::kNone) terminal.keys.push_back({key, label});
  }
  struct winsize size = {24, 80, 0, 0};  // rows, columns
  int master = -1, slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, &size) != 0) {
    std::fprintf(out, "error no pseudo-terminal\n");
    _exit(1);
  }
  std::thread drain([master] {
    char buffer[65536];
    while (read(master, buffer, sizeof buffer) > 0) {
    }
  });
  dup2(slave, STDIN_FILENO);
  dup2(slave, STDOUT_FILENO);
  setenv("TERM", "xterm-256color", 1);
  std::string error;
  if (!terminal.Start(&error)) {
    std::fprintf(out, "error %s\n", error.c_str());
    _exit(1);
  }
  TerminalDriver driver(terminal, {});
  standin::SetDriver(&driver);
  char command_line[] = "";
  int code = WinMain(standin::LoadModule(velmora_res, velmora_res_size), nullptr, command_line, SW_SHOWNORMAL);
  terminal.Stop();
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, slave}) close(fd);  // the drain ends with the terminal
  drain.join();
  HWND main_window = standin::TopLevelWindows().front();
  size_t listed = standin::RowCountOf(standin::ControlById(main_window, 104));
  if (code != 0 || listed != static_cast<size_t>(jobs)) {
    std::fprintf(out, "error exit code %d, %zu of %d jobs listed\n", code, listed, jobs);
    _exit(1);
  }
  for (const auto &[label, times] : terminal.wall)
    std::fprintf(out, "%s %.6f %.6f\n", label.c_str(), Quantile(times, 0.5), Quantile(terminal.processor[label], 0.1));
  std::fflush(out);
  _exit(0);
}

}  // namespace

std::map<std::string, RedrawMs> RedrawTimes(int jobs, std::string *error) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) {
    *error = "no pipe";
    return {};
  }
  std::fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    close(pipe_ends[0]);
    TimeInChild(jobs, fdopen(pipe_ends[1], "w"));
  }
  close(pipe_ends[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(pipe_ends[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
  close(pipe_ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  std::map<std::string, RedrawMs> times;
  std::istringstream lines(text);
  for (std::string label; lines >> label;) {
    if (label == "error" || label == "focus") {
      std::string rest;
      std::getline(lines, rest);
      if (label == "error") *error = rest;
      continue;
    }
    lines >> times[label].wall >> times[label].processor;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    if (error->empty()) *error = "the timed run ended abnormally (status " + std::to_string(status) + ")";
    return {};
  }
  return times;
}

}  // namespace terminal
