// Whole runs of the program on the stand-in, each in a fresh process (all
// program state zero, as at start): the calls it makes, in order, and the
// network records it leaves unreleased.
#include <windows.h>

#include <gtest/gtest.h>
#include <standin/call_log.h>
#include <standin/network.h>
#include <standin/scenario.h>

#include <stdio.h>
#include <unistd.h>

#include <string>
#include <vector>

extern "C" const unsigned char velmora_res[];
extern "C" const unsigned long velmora_res_size;

namespace {

using standin::PlatformCall;

// Failures found in the child process; reported on its standard error,
// which EXPECT_EXIT shows when the exit code is not 0.
std::vector<std::string> problems;

void Check(bool holds, const std::string &what) {
  if (!holds) problems.push_back(what);
}

void Play(const std::string &scenario) {
  standin::ScenarioProgram program;
  program.win_main = WinMain;
  program.res_data = velmora_res;
  program.res_size = velmora_res_size;
  standin::ScenarioResult result = standin::PlayScenario(scenario, program);
  if (result.status != standin::ScenarioResult::kPass) {
    problems.push_back("scenario line " + std::to_string(result.line) + ": " + result.reason);
  }
}

[[noreturn]] void Finish() {
  for (const std::string &problem : problems) fprintf(stderr, "%s\n", problem.c_str());
  fflush(stderr);
  _exit(problems.empty() ? 0 : 1);
}

// Index of the first call named `function` at or after `from`, or -1.
int FindCall(const std::string &function, int from) {
  const std::vector<PlatformCall> &calls = standin::RecordedCalls();
  for (int i = from; i < static_cast<int>(calls.size()); ++i) {
    if (calls[i].function == function) return i;
  }
  return -1;
}

// The calls appear in this order, perhaps with others between them.
void CheckOrder(const std::vector<std::string> &functions) {
  int at = 0;
  for (const std::string &function : functions) {
    int found = FindCall(function, at);
    Check(found >= 0, "no " + function + " after call " + std::to_string(at));
    if (found < 0) return;
    at = found + 1;
  }
}

std::string Args(int index) { return standin::RecordedCalls()[index].args; }

bool Contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

void StartUpOnARunningService() {
  Play(
      "computer PC01\n"
      "job PC01 id=4 at=19:00 cmd=\"x.cmd\"\n"
      "start\n"
      "expect rows 1\n"
      "click 106\n"
      "expect exit 0\n");
  CheckOrder({"RegisterClassA", "InitCommonControlsEx", "CreateDialogParamA", "GetComputerNameA", "SetDlgItemTextA",
              "NetServiceGetInfo", "SetDlgItemTextA", "EnableWindow", "EnableWindow", "EnableWindow", "EnableWindow",
              "NetServiceGetInfo", "NetScheduleJobEnum", "SetFocus", "ShowWindow", "UpdateWindow", "GetMessageA",
              "WinHelpA", "PostQuitMessage"});
  // Every network call names the computer by its server text.
  for (const PlatformCall &call : standin::RecordedCalls()) {
    if (call.function.rfind("Net", 0) == 0 && call.function != "NetApiBufferFree") {
      Check(call.server == "\\\\PC01", call.function + " named the server '" + call.server + "'");
    }
  }
  Finish();
}

TEST(ProgramRun, StartsUpInTheOrderOfItsSteps) {
  EXPECT_EXIT(StartUpOnARunningService(), ::testing::ExitedWithCode(0), "");
}

void RegistersTheMainWindowClass() {
  Play("computer PC01\nstart\nclick 106\nexpect exit 0\n");
  int registration = FindCall("RegisterClassA", 0);
  Check(registration >= 0, "no RegisterClassA");
  if (registration >= 0) {
    std::string args = Args(registration);
    for (const char *field : {"style=0", "cbClsExtra=0", "cbWndExtra=30", "hbrBackground=5", "lpszMenuName=null",
                              "lpszClassName=\"DLG_VELMORA\""}) {
      Check(Contains(args, field), std::string("RegisterClassA lacks ") + field + ": " + args);
    }
  }
  Finish();
}

TEST(ProgramRun, RegistersTheMainWindowClassWithItsFields) {
  EXPECT_EXIT(RegistersTheMainWindowClass(), ::testing::ExitedWithCode(0), "");
}

// Each scenario drives the network functions that hand out records: the
// status query, the start, the continue and the enumeration, also when they
// fail or the list gives up waiting.
void ReleasesEveryNetworkRecord(const char *scenario) {
  Play(scenario);
  Check(standin::OutstandingNetBuffers() == 0,
        std::to_string(standin::OutstandingNetBuffers()) + " network buffers left unreleased");
  Finish();
}

TEST(ProgramRun, ReleasesEveryNetworkRecord) {
  const char *const scenarios[] = {
      "computer PC01 service=stopped\n"
      "job PC01 id=1 at=19:00 cmd=\"a\"\n"
      "job PC01 id=2 at=20:00 cmd=\"b\"\n"
      "start\n"
      "box \"ｽｹｼﾞｭｰﾙｻｰﾋﾞｽ\" \"PC01 上でｽｹｼﾞｭｰﾙｻｰﾋﾞｽが停止中です。\\n今すぐ開始しますか?\" 0x24 -> yes\n"
      "expect rows 2\n"
      "click 106\n",

      "computer PC01 service=paused\n"
      "service PC01 pending=2\n"
      "start\n"
      "box \"ｽｹｼﾞｭｰﾙｻｰﾋﾞｽ\" \"PC01 上でｽｹｼﾞｭｰﾙｻｰﾋﾞｽが一時停止中です。\\n今すぐ解除しますか?\" 0x24 -> yes\n"
      "click 106\n",

      "computer PC01 service=stopped\n"
      "service PC01 start=5\n"
      "start\n"
      "box \"ｽｹｼﾞｭｰﾙｻｰﾋﾞｽ\" \"PC01 上でｽｹｼﾞｭｰﾙｻｰﾋﾞｽが停止中です。\\n今すぐ開始しますか?\" 0x24 -> yes\n"
      "box \"ｽｹｼﾞｭｰﾙｻｰﾋﾞｽ\" \"ｽｹｼﾞｭｰﾙｻｰﾋﾞｽの起動に失敗しました。\" 0x10 -> ok\n"
      "click 106\n",

      "computer PC01\n"
      "fail PC01 NetScheduleJobEnum 5\n"
      "start\n"
      "box \"ｼﾞｮﾌﾞ一覧取得 ｴﾗｰ\" \"ｼﾞｮﾌﾞ一覧の取得に失敗しました。\\nNetScheduleJobEnum : 5\" 0 -> ok\n"
      "fail PC01 NetServiceGetInfo 53\n"
      "click 101\n"
      "click 153\n"
      "box \"ｴﾗｰ\" \"NetServiceGetInfo\\nRC:53\\n\" 0x10 -> ok\n"
      "click 106\n",

      "computer PC01 service=stopped\n"
      "service PC01 pending=1000000\n"
      "start\n"
      "box \"ｽｹｼﾞｭｰﾙｻｰﾋﾞｽ\" \"PC01 上でｽｹｼﾞｭｰﾙｻｰﾋﾞｽが停止中です。\\n今すぐ開始しますか?\" 0x24 -> yes\n"
      "box \"ｼﾞｮﾌﾞ一覧取得 ｴﾗｰ\" \"ｽｹｼﾞｭｰﾙｻｰﾋﾞｽが動作していないため、ｼﾞｮﾌﾞ一覧を取得できません。\" 0x10 -> ok\n"
      "click 106\n",
  };
  for (const char *scenario : scenarios) {
    EXPECT_EXIT(ReleasesEveryNetworkRecord(scenario), ::testing::ExitedWithCode(0), "") << scenario;
  }
}

}  // namespace
