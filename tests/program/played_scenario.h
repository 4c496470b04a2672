// Plays a scenario against the program in a forked child (fresh program
// state each time) and checks what it left behind.
#ifndef VELMORA_TESTS_PROGRAM_EDITING_PLAYED_SCENARIO_H
#define VELMORA_TESTS_PROGRAM_EDITING_PLAYED_SCENARIO_H

#include <gtest/gtest.h>
#include <standin/scenario.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

extern "C" const unsigned char velmora_res[];
extern "C" const unsigned long velmora_res_size;

namespace velmora_test {

// Run inside the child: plays `text`, then `check`, which returns "" when
// the state holds or says what it saw. Exits 0 on success, 1 with the reason
// on stderr otherwise.
inline void PlayThenCheck(const std::string &text, const std::function<std::string()> &check) {
  standin::ScenarioProgram program;
  program.win_main = &WinMain;
  program.res_data = velmora_res;
  program.res_size = velmora_res_size;
  standin::ScenarioResult result = standin::PlayScenario(text, program);
  if (result.status != standin::ScenarioResult::kPass) {
    std::fprintf(stderr, "scenario line %d: %s\n", result.line, result.reason.c_str());
    std::exit(1);
  }
  std::string problem = check();
  if (!problem.empty()) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    std::exit(1);
  }
  std::exit(0);
}

}  // namespace velmora_test

// Plays the scenario in a child process and expects it and the check to pass.
#define EXPECT_PLAYED(text, check) \
  EXPECT_EXIT(velmora_test::PlayThenCheck((text), (check)), ::testing::ExitedWithCode(0), "")

#endif
