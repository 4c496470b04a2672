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
#include <iterator>
#include <pty.h>
#include <sys/mman.h>
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

// Times the redraw after each of its keys, by the key's label: from reading the key to the picture shown, on the clock
// and in processor time of this thread (which runs the program).
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

// What the timed child hands its parent, in memory they share.
struct Report {
  char error[512];
  size_t count;
  struct {
    char label[16];
    RedrawMs ms;
  } times[8];
};

[[noreturn]] void Refuse(Report *report, const std::string &what) {
  std::snprintf(report->error, sizeof report->error, "%s", what.c_str());
  _exit(1);
}

// Runs the program with `jobs` jobs and fills the report; never returns.
[[noreturn]] void TimeInChild(int jobs, Report *report) {
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
    if (!standin::LexStatement(line, &tokens, &error) || !standin::ApplyWorldStatement(tokens).empty())
      Refuse(report, "the network statement " + line);
  }
  TimedTerminal terminal;
  terminal.keys.push_back({Key::kTab, nullptr});  // Shift+Tab: from Add to the job list, not timed
  for (auto [times, first, second, label] : {std::tuple{2000, Key::kDown, Key::kNone, "Down"},
                                             {300, Key::kPageDown, Key::kNone, "PageDown"},
                                             {300, Key::kPageUp, Key::kNone, "PageUp"},
                                             {50, Key::kEnd, Key::kHome, "End/Home"},
                                             {100, Key::kRight, Key::kLeft, "Right/Left"}})
    for (int i = 0; i < times; ++i)
      for (Key key : {first, second})
        if (key != Key::kNone) terminal.keys.push_back({key, label});
  struct winsize size = {24, 80, 0, 0};  // rows, columns
  int master = -1, slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, &size) != 0) Refuse(report, "no pseudo-terminal");
  std::thread drain([master] {
    char buffer[65536];
    while (read(master, buffer, sizeof buffer) > 0) continue;
  });
  dup2(slave, STDIN_FILENO);
  dup2(slave, STDOUT_FILENO);
  setenv("TERM", "xterm-256color", 1);
  std::string error;
  if (!terminal.Start(&error)) Refuse(report, error);
  TerminalDriver driver(terminal, {});
  standin::SetDriver(&driver);
  char command_line[] = "";
  int code = WinMain(standin::LoadModule(velmora_res, velmora_res_size), nullptr, command_line, SW_SHOWNORMAL);
  terminal.Stop();
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, slave}) close(fd);  // the drain ends with the terminal
  drain.join();
  size_t listed = standin::RowCountOf(standin::ControlById(standin::TopLevelWindows().front(), 104));
  if (code != 0 || listed != static_cast<size_t>(jobs))
    Refuse(report, "exit code " + std::to_string(code) + ", " + std::to_string(listed) + " of " + std::to_string(jobs) +
                       " jobs listed");
  for (const auto &[label, times] : terminal.wall) {
    if (report->count == std::size(report->times)) Refuse(report, "more kinds of key than the report holds");
    auto &entry = report->times[report->count++];
    std::snprintf(entry.label, sizeof entry.label, "%s", label.c_str());
    entry.ms = {Quantile(times, 0.5), Quantile(terminal.processor[label], 0.1)};
  }
  _exit(0);
}

}  // namespace

std::map<std::string, RedrawMs> RedrawTimes(int jobs, std::string *error) {
  void *shared = mmap(nullptr, sizeof(Report), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) {
    *error = "no shared memory";
    return {};
  }
  Report *report = static_cast<Report *>(shared);  // zeroed, as a new mapping is
  std::fflush(nullptr);
  pid_t child = fork();
  if (child == 0) TimeInChild(jobs, report);
  int status = 0;
  waitpid(child, &status, 0);
  std::map<std::string, RedrawMs> times;
  for (size_t i = 0; i < report->count; ++i) times[report->times[i].label] = report->times[i].ms;
  *error = report->error;
  munmap(shared, sizeof(Report));
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return times;
  if (error->empty()) *error = "the timed run ended abnormally (status " + std::to_string(status) + ")";
  return {};
}

}  // namespace terminal
