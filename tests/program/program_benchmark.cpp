// SPDX-License-Identifier: GPL-3.0-or-later
// CPU cost of a job list refresh over many jobs, and of start-up until the
// message loop first waits, on the stand-in with its call record off.
#include <windows.h>
#include <commctrl.h>

#include <benchmark/benchmark.h>
#include <standin/call_log.h>
#include <standin/driver.h>
#include <standin/network.h>
#include <standin/statement.h>
#include <standin/ui.h>

#include <lm.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>

#include <stdexcept>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "jobs/job_list.h"

extern "C" const unsigned char velmora_res[];
extern "C" const unsigned long velmora_res_size;

namespace {

HINSTANCE ProgramInstance() {
  static HINSTANCE instance = standin::LoadModule(velmora_res, velmora_res_size);
  return instance;
}

void Apply(const std::string &line) {
  std::vector<standin::Token> tokens;
  std::string error;
  if (!standin::LexStatement(line, &tokens, &error)) throw std::runtime_error(error);
  error = standin::ApplyWorldStatement(tokens);
  if (!error.empty()) throw std::runtime_error(line + ": " + error);
}

// The i-th of many jobs of varied schedules, as a network statement.
std::string JobLine(int i) {
  char line[160];
  snprintf(line, sizeof line, "job PC01 id=%d at=%02d:%02d flags=%d dow=%d dom=%d cmd=\"job%d.cmd /n %d\"", i + 1,
           i % 24, i % 60, i % 2, i % 128, (i * 7919) & 0x7FFFFFFF, i, i);
  return line;
}

// A network of one computer whose running service stores `jobs` jobs.
void BuildNetwork(int jobs) {
  standin::ResetNetwork();
  standin::SetCallRecording(false);
  Apply("computer PC01");
  for (int i = 0; i < jobs; ++i) Apply(JobLine(i));
}

HWND OpenMainWindow() {
  standin::ResetUserInterface();
  standin::SetDriver(nullptr);
  HINSTANCE instance = ProgramInstance();
  RegisterMainWindowClass(instance);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  HWND window = CreateMainWindow(instance, SW_SHOW);
  if (window == NULL) throw std::runtime_error("main window not created");
  return window;
}

void BM_RefreshJobList(benchmark::State &state) {
  int jobs = static_cast<int>(state.range(0));
  BuildNetwork(jobs);
  HWND window = OpenMainWindow();
  for (auto _ : state) RefreshJobList(window);
  if (standin::RowCountOf(GetDlgItem(window, 104)) != static_cast<size_t>(jobs)) {
    state.SkipWithError("the list does not hold every job");
  }
  state.SetComplexityN(jobs);
  state.counters["jobs"] = jobs;
  standin::ResetUserInterface();
}
BENCHMARK(BM_RefreshJobList)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// WinMain without a driver: GetMessageA ends the loop as soon as the queue
// is empty, that is when the program first waits for the user.
void BM_StartUpToIdleLoop(benchmark::State &state) {
  BuildNetwork(20);
  for (auto _ : state) {
    standin::ResetUserInterface();
    standin::SetDriver(nullptr);
    benchmark::DoNotOptimize(WinMain(ProgramInstance(), NULL, const_cast<char *>(""), SW_SHOW));
  }
  standin::ResetUserInterface();
}
BENCHMARK(BM_StartUpToIdleLoop)->Unit(benchmark::kMicrosecond);

// One job added to a network file of `jobs` jobs: the file is locked, read,
// parsed, written back and synced, as on every add in the terminal front end.
void BM_AddToNetworkFile(benchmark::State &state) {
  const int jobs = static_cast<int>(state.range(0));
  const char *tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/velmora-bench-XXXXXX";
  std::vector<char> folder(pattern.begin(), pattern.end());
  folder.push_back('\0');
  if (mkdtemp(folder.data()) == nullptr) throw std::runtime_error("no scratch folder");
  const std::string path = std::string(folder.data()) + "/network";
  FILE *file = fopen(path.c_str(), "w");
  fprintf(file, "# a large network\ncomputer PC01\n");
  for (int i = 0; i < jobs; ++i) fprintf(file, "%s\n", JobLine(i).c_str());
  fclose(file);
  if (!standin::OpenNetworkFile(path).empty()) throw std::runtime_error("network file not opened");
  AT_INFO info = {};
  info.JobTime = 3600000;
  info.Command = const_cast<WCHAR *>(u"added.cmd");
  for (auto _ : state) {
    DWORD id = 0;
    if (NetScheduleJobAdd(u"\\\\PC01", reinterpret_cast<LPBYTE>(&info), &id) != NERR_Success)
      state.SkipWithError("the add failed");
  }
  state.SetComplexityN(jobs);
  standin::ResetNetwork();
  std::remove(path.c_str());
  std::remove((path + ".lock").c_str());
  rmdir(folder.data());
}
BENCHMARK(BM_AddToNetworkFile)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
