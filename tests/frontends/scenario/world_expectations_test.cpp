// SPDX-License-Identifier: GPL-3.0-or-later
// The interpreter's expectations about the network: what a failure says it
// expected and saw, read from the stand-in's network.
#include <standin/network.h>
#include <standin/statement.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "world_expectations.h"

namespace {

std::vector<standin::Token> Lex(const std::string &line) {
  std::vector<standin::Token> tokens;
  std::string error;
  EXPECT_TRUE(standin::LexStatement(line, &tokens, &error)) << error;
  return tokens;
}

std::string Expect(const std::string &line) { return standin::scenario::CheckStores(Lex(line)); }

TEST(WorldExpectations, FailuresSayWhatWasExpectedAndWhatWasSeen) {
  standin::ResetNetwork();
  for (const char *line :
       {"computer PC01 service=stopped", "job pc01 id=3 at=19:00 flags=1 dow=0x15 cmd=\"backup.cmd\"",
        "job PC01 id=4 time=90000000 cmd=\"late.cmd\""})
    ASSERT_EQ(standin::ApplyWorldStatement(Lex(line)), "") << line;
  EXPECT_EQ(Expect("expect jobs pc01 2"), "");
  EXPECT_EQ(Expect("expect jobs PC01 1"), "expected 1 jobs on PC01, saw 2");
  EXPECT_EQ(Expect("expect job PC01 id=3 at=19:00 cmd=\"backup.cmd\""), "");
  EXPECT_EQ(Expect("expect job PC01 id=3 at=19:00 flags=0 cmd=\"backup.cmd\""),
            "expected job id=3 at=19:00 flags=0x0 dow=0x0 dom=0x0 cmd=\"backup.cmd\" (fields not given are not "
            "compared), saw id=3 at=19:00 flags=0x1 dow=0x15 dom=0x0 cmd=\"backup.cmd\"");
  EXPECT_EQ(Expect("expect job PC01 id=4 dom=1"),
            "expected job id=4 at=00:00 flags=0x0 dow=0x0 dom=0x1 cmd=\"-\" (fields not given are not compared), saw "
            "id=4 time=90000000 flags=0x0 dow=0x0 dom=0x0 cmd=\"late.cmd\"");
  EXPECT_EQ(Expect("expect job PC01 id=5 cmd=\"x\""), "expected job 5 on PC01, saw no such job");
  EXPECT_EQ(Expect("expect nojob PC01 id=5"), "");
  EXPECT_EQ(Expect("expect nojob PC01 id=4294967299"), "");  // no ID of 32 bits: not job 3
  EXPECT_EQ(Expect("expect nojob PC01 id=4"),
            "expected no job 4 on PC01, saw job id=4 time=90000000 flags=0x0 dow=0x0 dom=0x0 cmd=\"late.cmd\"");
  EXPECT_EQ(Expect("expect service PC01 stopped"), "");
  EXPECT_EQ(Expect("expect service PC01 running"),
            "expected the Schedule service of PC01 running (0x33), saw status word 0x0");
  EXPECT_EQ(Expect("expect jobs PC09 0"), "expected computer PC09, saw no such computer");
}

}  // namespace
