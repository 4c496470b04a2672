// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-scenario FILE...: plays scenario files against Velmora on the stand-in.
#include "standin_player.h"

extern "C" const unsigned char velmora_res[];
extern "C" const unsigned long velmora_res_size;

int main(int argc, char **argv) {
  standin::scenario::ScenarioProgram program;
  program.win_main = WinMain;
  program.res_data = velmora_res;
  program.res_size = velmora_res_size;
  return standin::scenario::RunScenarioFiles(argc, argv, program);
}
