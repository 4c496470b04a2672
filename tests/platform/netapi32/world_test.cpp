// World statements and expectations as the scenario runner uses them.
#include <standin/network.h>

#include <gtest/gtest.h>

#include "world.h"

namespace {

TEST(WorldStatements, FaultyStatementsSayWhatIsWrong) {
  Network({"computer PC01"});
  EXPECT_EQ(World("computer PC01"), "computer PC01 is described twice");
  EXPECT_EQ(World("job PC09 id=1 at=01:00 cmd=\"x\""), "no computer PC09 is described before this line");
  EXPECT_NE(World("job PC01 at=01:00 cmd=\"x\"").find("id= is missing"), std::string::npos);
  EXPECT_EQ(World("job PC01 id=1 at=01:00 cmd=\"x\""), "");
  EXPECT_EQ(World("job PC01 id=1 at=02:00 cmd=\"y\""), "job 1 already exists on PC01");
  EXPECT_EQ(World("remove PC01 id=2"), "no job 2 on PC01");
  EXPECT_EQ(World("clock 2026-02-29 10:00"), "2026-02-29 is not a date YYYY-MM-DD");
}

// The form alone is checked, so that a scenario is refused before it runs;
// what the network holds is not looked at.
TEST(WorldStatements, FormIsCheckedWithoutTheNetwork) {
  standin::ResetNetwork();
  auto form = [](const std::string &line) { return standin::CheckWorldForm(Lex(line)); };
  EXPECT_EQ(form("job PC09 id=1 at=01:00 cmd=\"x\""), "");
  EXPECT_EQ(form("remove PC09 id=4"), "");
  EXPECT_EQ(form("expect job PC09 id=1 dow=0x15"), "");
  EXPECT_EQ(form("job PC09 id=1 at=1:60 cmd=\"x\""), "at=1:60 is not a time of day HH:MM[:SS[.mmm]]");
  EXPECT_EQ(form("expect job PC09 id=1 at=25:00"), "at=25:00 is not a time of day HH:MM[:SS[.mmm]]");
  EXPECT_EQ(form("expect job PC09 at=10:00").find("id= is missing"), 0u);
  EXPECT_EQ(form("fail PC09 NetScheduleJobAdd 5 times=0"),
            "usage: fail NAME FUNCTION CODE [times=N] [after=K] (times is a number of at least 1)");
  // Checking a form applies nothing.
  EXPECT_EQ(form("computer PC09"), "");
  EXPECT_FALSE(standin::ComputerExists("PC09"));
}

// Records another program may have stored (a time of 24 hours or more, an
// empty command) and an operator changing the service's state.
TEST(WorldStatements, RawRecordsAndServiceStates) {
  Network({"computer PC01", "job PC01 id=2 time=90000000 dow=0x7F cmd=\"\"", "service PC01 state=paused"});
  EXPECT_EQ(Expect("expect job PC01 id=2 time=90000000 cmd=\"\""), "");
  EXPECT_EQ(Expect("expect job PC01 id=2 at=01:00"),
            "expected job id=2 at=01:00 flags=0x0 dow=0x0 dom=0x0 cmd=\"-\" (fields not given are not compared), saw "
            "id=2 time=90000000 flags=0x0 dow=0x7f dom=0x0 cmd=\"\"");
  EXPECT_EQ(Expect("expect service PC01 paused"), "");
  EXPECT_EQ(World("service PC01 state=0x13"), "");
  EXPECT_EQ(Expect("expect service PC01 0x13"), "");
  EXPECT_NE(World("job PC01 id=3 at=01:00 time=5 cmd=\"x\"").find("give the time once"), std::string::npos);
  EXPECT_EQ(World("job PC01 id=3 time=4294967296 cmd=\"x\""), "time=4294967296 is not a number from 0 to 4294967295");
}

TEST(WorldStatements, ClockSetsDateTimeAndWeekday) {
  Network({"clock 2027-01-02 23:15:30"});
  const SYSTEMTIME now = standin::CurrentClock();
  EXPECT_EQ(now.wYear, 2027);
  EXPECT_EQ(now.wDayOfWeek, 6);  // Saturday
  EXPECT_EQ(now.wHour, 23);
  EXPECT_EQ(now.wSecond, 30);
  standin::ResetNetwork();
  EXPECT_EQ(standin::CurrentClock().wDay, 7);  // back to the scenario default
}

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
