// SPDX-License-Identifier: GPL-3.0-or-later
// World statements and expectations as the scenario runner uses them.
#include <standin/network.h>

#include <gtest/gtest.h>

#include "world.h"

namespace {

TEST(WorldStatements, FaultyStatementsSayWhatIsWrong) {
  Network({"computer PC01"});
  EXPECT_EQ(World("computer PC01"), "computer PC01 is described twice");
  EXPECT_EQ(World("job PC09 id=1 at=01:00 cmd=\"x\""), "no computer PC09 is described before this line");
  EXPECT_EQ(World("job PC01 id=1 at=01:00 cmd=\"x\""), "");
  EXPECT_EQ(World("job PC01 id=1 at=02:00 cmd=\"y\""), "job 1 already exists on PC01");
  EXPECT_EQ(World("remove PC01 id=2"), "no job 2 on PC01");
  EXPECT_EQ(World("clock 2026-02-29 10:00"), "2026-02-29 is not a date YYYY-MM-DD");
  EXPECT_NE(World("job PC01 id=3 at=01:00 time=5 cmd=\"x\"").find("give the time once"), std::string::npos);
  EXPECT_EQ(World("job PC01 id=3 time=4294967296 cmd=\"x\""), "time=4294967296 is not a number from 0 to 4294967295");
}

// The form alone is checked, so that a scenario is refused before it runs
// (the runner's world_form_after_start); what the network holds is not
// looked at.
TEST(WorldStatements, FormIsCheckedWithoutTheNetwork) {
  standin::ResetNetwork();
  auto form = [](const std::string &line) { return standin::CheckWorldForm(Lex(line)); };
  EXPECT_EQ(form("expect job PC09 id=1 dow=0x15"), "");
  EXPECT_EQ(form("expect job PC09 at=10:00").find("id= is missing"), 0u);
  EXPECT_EQ(form("fail PC09 NetScheduleJobAdd 5 times=0"),
            "usage: fail NAME FUNCTION CODE [times=N] [after=K] (times is a number of at least 1)");
  // Checking a form applies nothing.
  EXPECT_EQ(form("computer PC09"), "");
  EXPECT_FALSE(standin::ComputerExists("PC09"));
}

// (Raw records and state lines are played by
// editor_paste_code_page_and_raw_records and list_service_stopped_meanwhile;
// the clock by add_today_by_the_minute and list_rows.)

TEST(WorldExpectations, FailuresSayWhatWasExpectedAndWhatWasSeen) {
  Network({"computer PC01 service=stopped", "job PC01 id=3 at=19:00 flags=1 dow=0x15 cmd=\"backup.cmd\""});
  EXPECT_EQ(Expect("expect jobs PC01 2"), "expected 2 jobs on PC01, saw 1");
  EXPECT_EQ(Expect("expect job PC01 id=3 at=19:00 cmd=\"backup.cmd\""), "");
  EXPECT_EQ(Expect("expect job PC01 id=3 at=19:00 flags=0 cmd=\"backup.cmd\""),
            "expected job id=3 at=19:00 flags=0x0 dow=0x0 dom=0x0 cmd=\"backup.cmd\" (fields not given are not "
            "compared), saw id=3 at=19:00 flags=0x1 dow=0x15 dom=0x0 cmd=\"backup.cmd\"");
  EXPECT_EQ(Expect("expect service PC01 stopped"), "");
  EXPECT_EQ(Expect("expect service PC01 running"),
            "expected the Schedule service of PC01 running (0x33), saw status word 0x0");
}

}  // namespace
