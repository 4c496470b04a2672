// SPDX-License-Identifier: GPL-3.0-or-later
// Playing scenario files (the language of docs/scenarios.md) against a
// program's WinMain on the stand-in, in this process.
#ifndef VELMORA_FRONTENDS_SCENARIO_STANDIN_PLAYER_H
#define VELMORA_FRONTENDS_SCENARIO_STANDIN_PLAYER_H

#include <windows.h>

#include <cstddef>
#include <string>

#include "scenario_interpreter.h"

namespace standin {
namespace scenario {

using WinMainFunction = int(WINAPI *)(HINSTANCE, HINSTANCE, LPSTR, int);

struct ScenarioProgram {
  WinMainFunction win_main = nullptr;
  const void *res_data = nullptr;  // the program's compiled .res
  size_t res_size = 0;
};

// Plays one scenario in this process. The caller provides the fresh process
// state (the runner forks per file; tests use EXPECT_EXIT).
Verdict PlayScenario(const std::string &text, const ScenarioProgram &program);

// The runner's command line: velmora-scenario FILE... Each file runs in a
// fresh child process; prints PASS/FAIL lines and "N passed, N failed";
// returns 0, 1 or 2 as docs/scenarios.md says.
int RunScenarioFiles(int argc, char **argv, const ScenarioProgram &program);

}  // namespace scenario
}  // namespace standin

#endif
