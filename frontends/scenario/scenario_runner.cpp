// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-scenario's command line: each file is played in a child process of
// its own, so that every file starts from the program's initial state and a
// crash fails only its file.
#include "real_host_mode.h"
#include "scenario_interpreter.h"
#include "standin_player.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace standin {
namespace scenario {
namespace {

constexpr unsigned kSecondsPerFile = 120;

bool ReadFile(const std::string &path, std::string *text, std::string *error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = std::strerror(errno);
    return false;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) {
    *error = "read error";
    return false;
  }
  *text = buffer.str();
  return true;
}

bool WriteAll(int fd, const std::string &data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The child's report: "STATUS LINE\nREASON".
std::string Encode(const Verdict &result) {
  return std::to_string(static_cast<int>(result.status)) + " " + std::to_string(result.line) + "\n" + result.reason;
}

bool Decode(const std::string &data, Verdict *result) {
  size_t newline = data.find('\n');
  if (newline == std::string::npos) return false;
  int status = 0, line = 0;
  if (std::sscanf(data.substr(0, newline).c_str(), "%d %d", &status, &line) != 2) return false;
  if (status < Verdict::kPass || status > Verdict::kSkip) return false;
  result->status = static_cast<Verdict::Status>(status);
  result->line = line;
  result->reason = data.substr(newline + 1);
  return true;
}

Verdict RunInChild(const std::string &text, const ScenarioProgram &program) {
  Verdict result;
  int fds[2];
  if (pipe(fds) != 0) {
    result.status = Verdict::kFail;
    result.reason = std::string("cannot create a pipe: ") + std::strerror(errno);
    return result;
  }
  std::fflush(stdout);
  std::fflush(stderr);
  pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    result.status = Verdict::kFail;
    result.reason = std::string("cannot start a process: ") + std::strerror(errno);
    return result;
  }
  if (pid == 0) {
    close(fds[0]);
    // A program that never waits for input again would hold up every later
    // file: the run is ended after a time no scenario comes near.
    alarm(kSecondsPerFile);
    Verdict played = PlayScenario(text, program);
    bool sent = WriteAll(fds[1], Encode(played));
    close(fds[1]);
    // exit, not _exit: leak checkers and sanitizers run at the child's exit.
    std::exit(sent ? 0 : 3);
  }
  close(fds[1]);
  std::string data;
  char buffer[4096];
  for (;;) {
    ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    data.append(buffer, static_cast<size_t>(n));
  }
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  bool decoded = Decode(data, &result);
  if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) {
    result = Verdict();
    result.status = Verdict::kFail;
    result.reason = "the run did not end within " + std::to_string(kSecondsPerFile) +
                    " seconds: the program never waited for input again";
  } else if (WIFSIGNALED(status)) {
    int signal_number = WTERMSIG(status);
    result = Verdict();
    result.status = Verdict::kFail;
    result.reason =
        "the run crashed with signal " + std::to_string(signal_number) + " (" + strsignal(signal_number) + ")";
  } else if (!decoded) {
    result = Verdict();
    result.status = Verdict::kFail;
    result.reason = "the run ended without a result, exit status " + std::to_string(WEXITSTATUS(status));
  } else if (WEXITSTATUS(status) != 0 && result.status == Verdict::kPass) {
    result.status = Verdict::kFail;
    result.reason = "the run ended with exit status " + std::to_string(WEXITSTATUS(status)) +
                    " after the scenario (a sanitizer or leak report above tells why)";
  }
  return result;
}

}  // namespace

int RunScenarioFiles(int argc, char **argv, const ScenarioProgram &program) {
  int first = 1;
  for (; first < argc && std::strncmp(argv[first], "--", 2) == 0; ++first) {
    std::string error;
    if (!TakeRealHostOption(argv[first], &error)) error = std::string("unknown option ") + argv[first];
    if (!error.empty()) {
      std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
      return 2;
    }
  }
  const std::string incomplete = CheckRealHostOptions();
  if (argc <= first || !incomplete.empty()) {
    if (!incomplete.empty()) std::fprintf(stderr, "%s: %s\n", argv[0], incomplete.c_str());
    std::fprintf(stderr,
                 "usage: %s [--real-host=ADDRESS:PORT --credentials=PATH --network=PATH "
                 "[--privacy=seal|sign|none]] FILE...\n",
                 argc > 0 ? argv[0] : "velmora-scenario");
    return 2;
  }
  const std::vector<std::string> paths(argv + first, argv + argc);
  return PlayFiles(paths, ReadFile, [&program](const std::string &text, size_t) { return RunInChild(text, program); });
}

}  // namespace scenario
}  // namespace standin
