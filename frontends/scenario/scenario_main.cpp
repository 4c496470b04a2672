// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-scenario FILE...: plays scenario files against Velmora on the stand-in.
#include <standin/scenario.h>

extern "C" const unsigned char velmora_res[];
extern "C" const unsigned long velmora_res_size;

int main(int argc, char **argv) {
  standin::ScenarioProgram program;
  program.win_main = WinMain;
  program.res_data = velmora_res;
  program.res_size = velmora_res_size;
  return standin::RunScenarioFiles(argc, argv, program);
}
