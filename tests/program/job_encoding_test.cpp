// SPDX-License-Identifier: GPL-3.0-or-later
// What the scenarios cannot show: day masks built from indices that no list
// reports, the time texts of a record of 24 hours or more written whole into
// buffers the caller did not clear, and ID texts with blanks and a sign.
#include "jobs/job_encoding.h"
#include "jobs/job_list.h"

#include <gtest/gtest.h>

namespace {

TEST(BuildDayMask, SumsOneBitPerIndexWhateverTheOrder) {
  const int weekdays[] = {4, 0, 2};
  EXPECT_EQ(BuildDayMask(weekdays, 3, 0xFF), 0x15u);
  const int dates[] = {30, 0, 14};
  EXPECT_EQ(BuildDayMask(dates, 3, 0xFFFFFFFF), 0x40004001u);
  EXPECT_EQ(BuildDayMask(NULL, 0, 0xFF), 0u);
  // Indices that no list reports add no bit and cause no overflow.
  const int odd[] = {-1, 40, 64, 1};
  EXPECT_EQ(BuildDayMask(odd, 4, 0xFFFFFFFF), 0x2u);
}

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
