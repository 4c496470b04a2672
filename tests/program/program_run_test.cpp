// SPDX-License-Identifier: GPL-3.0-or-later
// Whole runs of the program on the stand-in, each in a fresh process: the
// calls it makes, in order, with the wait cursor around each network call.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>
#include <standin/call_log.h>
#include <standin/driver.h>
#include <standin/ui.h>

#include <stdio.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "standin_player.h"

extern "C" const unsigned char velmora_res[];
extern "C" const unsigned long velmora_res_size;

namespace {

using standin::PlatformCall;

// Failures found in the child process, shown by EXPECT_EXIT on its stderr.
std::vector<std::string> problems;

void Check(bool holds, const std::string &what) {
  if (!holds) problems.push_back(what);
}

void Play(const std::string &scenario) {
  standin::scenario::ScenarioProgram program;
  program.win_main = WinMain;
  program.res_data = velmora_res;
  program.res_size = velmora_res_size;
  const standin::scenario::Verdict result = standin::scenario::PlayScenario(scenario, program);
  if (result.status != standin::scenario::Verdict::kPass) {
    problems.push_back("scenario line " + std::to_string(result.line) + ": " + result.reason);
  }
}

[[noreturn]] void Finish() {
  for (const std::string &problem : problems) fprintf(stderr, "%s\n", problem.c_str());
  fflush(stderr);
  _exit(problems.empty() ? 0 : 1);
}

// The calls (function, a part of its arguments) appear in this order, perhaps with others between them.
void CheckOrder(const std::vector<std::pair<std::string, std::string>> &expected_calls) {
  const std::vector<PlatformCall> &calls = standin::RecordedCalls();
  size_t at = 0;
  for (const auto &[function, args] : expected_calls) {
    while (at < calls.size() && (calls[at].function != function || calls[at].args.find(args) == std::string::npos))
      ++at;
    if (at == calls.size()) return Check(false, "no " + function + " " + args + " in order");
    ++at;
  }
}

// The cursor that the nearest SetCursor before or after call `i` set; "" if none.
std::string CursorNear(size_t i, bool before) {
  const std::vector<PlatformCall> &calls = standin::RecordedCalls();
  for (size_t n = 1; before ? n <= i : i + n < calls.size(); ++n) {
    const PlatformCall &call = calls[before ? i - n : i + n];
    if (call.function == "SetCursor") return call.args;
  }
  return "";
}

// Every network call names the computer by its server text (any, for "") and runs under the wait cursor, the arrow back
// after it; every box shows under the arrow.
void CheckCursors(const std::string &server) {
  const std::vector<PlatformCall> &calls = standin::RecordedCalls();
  for (size_t i = 0; i < calls.size(); ++i) {
    const PlatformCall &call = calls[i];
    const std::string at = call.function + " #" + std::to_string(i);
    if (call.function == "MessageBoxA") {
      std::string shown = CursorNear(i, true);
      Check(shown.empty() || shown == "cursor=arrow", at + " shown under the wait cursor");
    } else if (call.function.rfind("Net", 0) == 0 && call.function != "NetApiBufferFree") {
      Check(server.empty() || call.server == server, at + " named the server '" + call.server + "'");
      Check(CursorNear(i, true) == "cursor=wait", at + " ran without the wait cursor");
      Check(CursorNear(i, false) == "cursor=arrow", at + " left the wait cursor");
    }
  }
}

// The job list's columns as the program handed them to the platform (the test links with --wrap=SendDlgItemMessageA):
// mask, width, title, format and subitem, in the terminal front end's widths.
std::vector<std::string> inserted_columns;

void CheckJobListColumns() {
  // ID, ｺﾏﾝﾄﾞ, 日程, 時刻 in code page 932; mask 15 is LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM.
  const std::vector<std::string> expected = {"15 24 ID 0 0", "15 126 \xBA\xCF\xDD\xC4\xDE 0 1",
                                             "15 159 \x93\xFA\x92\xF6 0 2", "15 72 \x8E\x9E\x8D\x8F 0 3"};
  std::string seen;
  for (const std::string &column : inserted_columns) seen += column + "; ";
  Check(inserted_columns == expected, "columns " + seen);
}

}  // namespace

extern "C" LRESULT __real_SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam);
extern "C" LRESULT __wrap_SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == LVM_INSERTCOLUMNA && lparam != 0) {
    const LVCOLUMNA &c = *reinterpret_cast<LVCOLUMNA *>(lparam);
    inserted_columns.push_back(std::to_string(c.mask) + " " + std::to_string(c.cx) + " " +
                               (c.pszText != NULL ? c.pszText : "(null)") + " " + std::to_string(c.fmt) + " " +
                               std::to_string(c.iSubItem));
  }
  return __real_SendDlgItemMessageA(dialog, id, message, wparam, lparam);
}

namespace {

// A stopped service started at start-up; two modifications (one through the
// passed-time question) and a deletion; a paused service continued.
void RunsEachStepInOrderUnderTheWaitCursor() {
  Play(
      "clock 2026-12-07 09:00\n"
      "computer PC01 service=stopped\n"
      "service PC01 pending=2\n"
      "job PC01 id=1 at=19:00 flags=0x01 dow=0x15 cmd=\"a.cmd\"\n"
      "job PC01 id=2 at=20:00 flags=0x01 dow=0x15 cmd=\"b.cmd\"\n"
      "start\n"
      "box \"ｽｹｼﾞｭｰﾙｻｰﾋﾞｽ\" \"PC01 上でｽｹｼﾞｭｰﾙｻｰﾋﾞｽが停止中です。\\n今すぐ開始しますか?\" 0x24 -> yes\n"
      "select 104 0\n"
      "click 102\n"
      "click 142\n"
      "type 148 \"9\"\n"
      "type 149 \"0\"\n"
      "select 154 0\n"
      "click 152\n"
      "box \"ｼﾞｮﾌﾞ修正 確認\" \"指定時刻を過ぎているので、明日の同時刻に設定されます。\" 0x24 owner=job -> yes\n"
      "box \"ｼﾞｮﾌﾞ修正 完了\" \"修正したｼﾞｮﾌﾞのIDは 3 となります。\" 0x40 owner=job -> ok\n"
      "select 104 0\n"
      "click 102\n"
      "click 152\n"
      "box \"ｼﾞｮﾌﾞ修正 完了\" \"修正したｼﾞｮﾌﾞのIDは 4 となります。\" 0x40 owner=job -> ok\n"
      "select 104 0\n"
      "click 103\n"
      "box \"ｼﾞｮﾌﾞ削除確認\" \"ｼﾞｮﾌﾞID: 3 を削除してもよろしいですか?\" 0x24 owner=main -> yes\n"
      "service PC01 state=paused\n"
      "click 105\n"
      "type 131 \"PC01\"\n"
      "click 132\n"
      "box \"ｽｹｼﾞｭｰﾙｻｰﾋﾞｽ\" \"PC01 上でｽｹｼﾞｭｰﾙｻｰﾋﾞｽが一時停止中です。\\n今すぐ解除しますか?\" 0x24 -> yes\n"
      "click 106\n"
      "expect exit 0\n");
  CheckJobListColumns();
  CheckOrder({{"RegisterClassA", "class=DLG_VELMORA"},
              {"InitCommonControlsEx", "icc=1"},
              {"CreateDialogParamA", "template=DLG_VELMORA owner=window=none"},
              {"SendDlgItemMessageA", "id=104 msg=LVM_INSERTCOLUMNA wparam=0"},
              {"SendDlgItemMessageA", "id=104 msg=LVM_INSERTCOLUMNA wparam=3"},
              {"SetDlgItemTextA", "id=108 text=PC01"},
              {"NetServiceGetInfo", "service=Schedule level=1"},
              {"NetApiBufferFree", ""},
              {"MessageBoxA", ""},
              {"NetServiceInstall", "service=Schedule"},
              {"SetDlgItemTextA", "id=151"},
              {"EnableWindow", "id=101 enable=1"},
              {"EnableWindow", "id=102 enable=1"},
              {"EnableWindow", "id=103 enable=1"},
              {"EnableWindow", "id=104 enable=1"},
              {"SendMessageA", "id=104 msg=LVM_DELETEALLITEMS"},
              {"NetServiceGetInfo", "service=Schedule level=1"},
              {"NetScheduleJobEnum", "prefmaxlen=4294967295 resume=0"},
              {"SendMessageA", "id=104 msg=LVM_INSERTITEMA"},
              {"NetApiBufferFree", ""},
              {"SetFocus", "id=101"},
              {"ShowWindow", "window=DLG_VELMORA"},
              {"UpdateWindow", "window=DLG_VELMORA"},
              {"EndDialog", "result=1"},
              {"NetServiceControl", "service=Schedule"},
              {"SendMessageA", "msg=WM_DESTROY"},
              {"WinHelpA", "file=Velmora.HLP command=2 data=0"},
              {"PostQuitMessage", "code=0"}});
  CheckCursors("\\\\PC01");
  Finish();
}

TEST(ProgramRun, RunsEachStepInOrderUnderTheWaitCursor) {
  EXPECT_EXIT(RunsEachStepInOrderUnderTheWaitCursor(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
