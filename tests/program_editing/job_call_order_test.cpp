// The order of the network calls behind a modification and a deletion, and
// the life of the record fetched for a modification.
#include <standin/call_log.h>
#include <standin/network.h>

#include <functional>
#include <string>
#include <vector>

#include "jobs/job_operations.h"
#include "played_scenario.h"

namespace {

const char kWorld[] =
    "clock 2026-12-07 09:00\n"
    "computer PC01\n"
    "job PC01 id=1 at=19:00 flags=0x01 dow=0x15 cmd=\"old.cmd\"\n"
    "job PC01 id=2 at=08:00 flags=0x01 dom=0x1 cmd=\"other.cmd\"\n";

// The job store calls in order, as "Function@server".
std::string JobStoreCalls() {
  std::string calls;
  for (const standin::PlatformCall &call : standin::RecordedCalls()) {
    if (call.function.rfind("NetScheduleJob", 0) != 0) continue;
    if (!calls.empty()) calls += " ";
    calls += call.function.substr(sizeof "NetScheduleJob" - 1) + "@" + call.server;
  }
  return calls;
}

std::string ExpectCalls(const std::string &expected) {
  std::string seen = JobStoreCalls();
  return seen == expected ? "" : "expected calls " + expected + ", saw " + seen;
}

TEST(ModifyCallOrderTest, FetchesThenAddsTheNewJobBeforeDeletingTheOldOne) {
  std::string text = std::string(kWorld) +
                     "start\n"
                     "select 104 0\n"
                     "click 102\n"
                     "type 149 \"30\"\n"
                     "click 152\n"
                     "box \"ｼﾞｮﾌﾞ修正 完了\" \"修正したｼﾞｮﾌﾞのIDは 3 となります。\" 0x40 owner=job -> ok\n";
  EXPECT_PLAYED(text, []() {
    std::string problem = ExpectCalls("Enum@\\\\PC01 GetInfo@\\\\PC01 Add@\\\\PC01 Del@\\\\PC01 Enum@\\\\PC01");
    if (!problem.empty()) return problem;
    if (EditJobId != 1) return "EditJobId " + std::to_string(EditJobId) + ", expected 1";
    return std::string();
  });
}

TEST(ModifyCallOrderTest, ARefusedAddDeletesNothing) {
  std::string text =
      std::string(kWorld) +
      "fail PC01 NetScheduleJobAdd 5\n"
      "start\n"
      "select 104 0\n"
      "click 102\n"
      "click 152\n"
      "box \"ｼﾞｮﾌﾞ追加 ｴﾗｰ\" \"ｼﾞｮﾌﾞの追加に失敗しました。\\nNetScheduleJobAdd RC:5\" 0x10 owner=job -> ok\n"
      "click 153\n";
  EXPECT_PLAYED(text, []() { return ExpectCalls("Enum@\\\\PC01 GetInfo@\\\\PC01 Add@\\\\PC01 Enum@\\\\PC01"); });
}

TEST(ModifyCallOrderTest, ARetryAfterAFailedDeletionAddsAgainAndDeletesTheSameOldJob) {
  std::string text = std::string(kWorld) +
                     "fail PC01 NetScheduleJobDel 5\n"
                     "start\n"
                     "select 104 0\n"
                     "click 102\n"
                     "click 152\n"
                     "box \"ｼﾞｮﾌﾞ削除 ｴﾗｰ\" "
                     "\"旧ｼﾞｮﾌﾞの削除に失敗しました。\\n修正したｼﾞｮﾌﾞの追加は行われています。\\nNetScheduleJobDel "
                     "RC:5\" 0x10 owner=job -> ok\n"
                     "click 152\n"
                     "box \"ｼﾞｮﾌﾞ修正 完了\" \"修正したｼﾞｮﾌﾞのIDは 4 となります。\" 0x40 owner=job -> ok\n";
  EXPECT_PLAYED(text, []() {
    std::string problem =
        ExpectCalls("Enum@\\\\PC01 GetInfo@\\\\PC01 Add@\\\\PC01 Del@\\\\PC01 Add@\\\\PC01 Del@\\\\PC01 Enum@\\\\PC01");
    if (!problem.empty()) return problem;
    // The old job went with the second deletion; both new ones stay.
    if (standin::FindJob("PC01", 1)) return std::string("job 1 still stored");
    if (!standin::FindJob("PC01", 3) || !standin::FindJob("PC01", 4)) return std::string("a new job is missing");
    return std::string();
  });
}

// The buttons the editor's OK asked about, in order, up to the add.
std::string ButtonsReadForAdd() {
  std::string ids;
  bool reading = false;
  for (const standin::PlatformCall &call : standin::RecordedCalls()) {
    if (call.function == "GetDlgItemInt") reading = true;
    if (call.function == "NetScheduleJobAdd") break;
    if (!reading || call.function != "IsDlgButtonChecked") continue;
    if (!ids.empty()) ids += " ";
    ids += call.args.substr(call.args.find('=') + 1);
  }
  return ids;
}

std::function<std::string()> ExpectButtonsRead(const std::string &expected) {
  return [expected]() {
    std::string seen = ButtonsReadForAdd();
    return seen == expected ? std::string() : "buttons read " + seen + ", expected " + expected;
  };
}

// Every, Today and Next are tested in this order and the first checked one
// settles the run unit; the date checkbox is read before the weekday one.
TEST(AddButtonReadOrderTest, RadiosAreTestedEveryTodayNextUpToTheFirstChecked) {
  const std::string open = std::string(kWorld) + "start\nclick 101\ntype 141 \"a.cmd\"\nselect 146 0\n";
  EXPECT_PLAYED(open + "click 152\n", ExpectButtonsRead("144 156 155"));
  EXPECT_PLAYED(open + "click 145\nclick 152\n", ExpectButtonsRead("144 142 145 156 155"));
  EXPECT_PLAYED(open + "click 143\nclick 152\n", ExpectButtonsRead("144 142 145"));
}

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

TEST(DeleteCallOrderTest, OnlyAConfirmedDeletionReachesTheService) {
  std::string text = std::string(kWorld) +
                     "start\n"
                     "select 104 1\n"
                     "click 103\n"
                     "box \"ｼﾞｮﾌﾞ削除確認\" \"ｼﾞｮﾌﾞID: 2 を削除してもよろしいですか?\" 0x24 owner=main -> no\n"
                     "click 103\n"
                     "box \"ｼﾞｮﾌﾞ削除確認\" \"ｼﾞｮﾌﾞID: 2 を削除してもよろしいですか?\" 0x24 owner=main -> yes\n";
  EXPECT_PLAYED(text, []() {
    std::string problem = ExpectCalls("Enum@\\\\PC01 Del@\\\\PC01 Enum@\\\\PC01");
    if (!problem.empty()) return problem;
    if (standin::FindJob("PC01", 2)) return std::string("job 2 still stored");
    return std::string();
  });
}

TEST(FetchedRecordTest, TheNextFetchReleasesTheRecordItReplaces) {
  std::string text = std::string(kWorld) +
                     "start\n"
                     "select 104 0\n"
                     "click 102\n"
                     "click 153\n"
                     "select 104 1\n"
                     "click 102\n"
                     "click 153\n";
  EXPECT_PLAYED(text, []() {
    if (EditJobInfo == nullptr) return std::string("no fetched record");
    if (EditJobId != 2) return "EditJobId " + std::to_string(EditJobId);
    if (standin::OutstandingNetBuffers() != 1) {
      return "outstanding buffers " + std::to_string(standin::OutstandingNetBuffers()) + ", expected the one fetched";
    }
    ReleaseEditJobInfo();
    if (EditJobInfo != nullptr) return std::string("EditJobInfo kept after release");
    if (standin::OutstandingNetBuffers() != 0) return std::string("release left a buffer");
    return std::string();
  });
}

TEST(FetchedRecordTest, AFailedFetchLeavesNothingToPointAt) {
  std::string text =
      std::string(kWorld) +
      "start\n"
      "select 104 0\n"
      "click 102\n"
      "click 153\n"
      "fail PC01 NetScheduleJobGetInfo 5\n"
      "select 104 1\n"
      "click 102\n"
      "box \"ジョブ修正 ｴﾗｰ\" \"ｼﾞｮﾌﾞの詳細取得に失敗しました。\\nNetScheduleJobGetInfo RC:5\" 0x10 owner=main -> ok\n";
  EXPECT_PLAYED(text, []() {
    if (EditJobInfo != nullptr) return std::string("EditJobInfo still points at a record");
    if (EditJobId != 2) return "EditJobId " + std::to_string(EditJobId) + ", expected the chosen 2";
    if (standin::OutstandingNetBuffers() != 0) {
      return "outstanding buffers " + std::to_string(standin::OutstandingNetBuffers());
    }
    return std::string();
  });
}

TEST(FetchedRecordTest, TheProgramsEndReleasesTheRecord) {
  std::string text = std::string(kWorld) +
                     "start\n"
                     "select 104 0\n"
                     "click 102\n"
                     "click 153\n"
                     "click 106\n"
                     "expect exit 0\n";
  EXPECT_PLAYED(text, []() {
    if (EditJobInfo != nullptr || standin::OutstandingNetBuffers() != 0) {
      return "outstanding buffers " + std::to_string(standin::OutstandingNetBuffers());
    }
    return std::string();
  });
}

}  // namespace
