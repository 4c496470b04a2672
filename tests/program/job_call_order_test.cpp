// The wait cursor behind a modification: it covers the network calls and
// gives way to each box.
#include <standin/call_log.h>

#include <string>

#include "played_scenario.h"

namespace {

const char kWorld[] =
    "clock 2026-12-07 09:00\n"
    "computer PC01\n"
    "job PC01 id=1 at=19:00 flags=0x01 dow=0x15 cmd=\"old.cmd\"\n"
    "job PC01 id=2 at=08:00 flags=0x01 dom=0x1 cmd=\"other.cmd\"\n";

// Cursor changes, boxes and job store calls from the first call of `from` on,
// as "wait", "arrow", "box", "Add", ...
std::string CursorTrace(const std::string &from) {
  std::string trace;
  bool started = false;
  for (const standin::PlatformCall &call : standin::RecordedCalls()) {
    if (call.function == from) started = true;
    if (!started) continue;
    std::string step;
    if (call.function == "SetCursor") {
      step = call.args.substr(call.args.find('=') + 1);
    } else if (call.function == "MessageBoxA") {
      step = "box";
    } else if (call.function.rfind("NetScheduleJob", 0) == 0) {
      step = call.function.substr(sizeof "NetScheduleJob" - 1);
    } else {
      continue;
    }
    if (!trace.empty()) trace += " ";
    trace += step;
  }
  return trace;
}

TEST(ModifyCursorTest, TheWaitCursorCoversTheCallsAndGivesWayToEachBox) {
  std::string text =
      std::string(kWorld) +
      "start\n"
      "select 104 0\n"
      "click 102\n"
      "click 142\n"
      "type 148 \"9\"\n"
      "type 149 \"0\"\n"
      "select 154 0\n"
      "click 152\n"
      "box \"ｼﾞｮﾌﾞ修正 確認\" \"指定時刻を過ぎているので、明日の同時刻に設定されます。\" 0x24 owner=job -> yes\n"
      "box \"ｼﾞｮﾌﾞ修正 完了\" \"修正したｼﾞｮﾌﾞのIDは 3 となります。\" 0x40 owner=job -> ok\n";
  EXPECT_PLAYED(text, []() {
    std::string trace = CursorTrace("NetScheduleJobGetInfo");
    // Up to the editor's end: the fetch, then ModifyJob's own cursor steps.
    std::string expected = "GetInfo arrow wait arrow box wait Add Del arrow box";
    if (trace.compare(0, expected.size(), expected) != 0) return "cursor trace " + trace + ", expected " + expected;
    return std::string();
  });
}

}  // namespace
