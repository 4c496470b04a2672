// SPDX-License-Identifier: GPL-3.0-or-later
// The runner on its own test program: runner-selftest FILE...
#include "standin_player.h"

extern "C" const unsigned char runner_test_res[];
extern "C" const unsigned long runner_test_res_size;
int WINAPI RunnerTestWinMain(HINSTANCE, HINSTANCE, LPSTR, int);

int main(int argc, char **argv) {
  standin::scenario::ScenarioProgram program;
  program.win_main = RunnerTestWinMain;
  program.res_data = runner_test_res;
  program.res_size = runner_test_res_size;
  return standin::scenario::RunScenarioFiles(argc, argv, program);
}
