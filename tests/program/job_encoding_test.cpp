// SPDX-License-Identifier: GPL-3.0-or-later
// The conversions between job record fields and list and editor texts, at
// the edges that the scenarios do not reach: times of 24 hours or more, day
// indices no list reports, ID texts with blanks and signs.
// Compiled with the program's execution character set, so the expected texts
// below are Shift-JIS like the program's own.
#include "jobs/job_encoding.h"
#include "jobs/job_list.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

namespace {

const DWORD_PTR kMinute = 60000;

DWORD_PTR At(unsigned hour, unsigned minute) { return (hour * 60 + minute) * kMinute; }

// The editor reads its hour and minute fields back as unsigned decimals with
// leading blanks skipped.
UINT ReadBack(const char *text) { return static_cast<UINT>(strtoul(text, NULL, 10)); }

TEST(FormatTimeText, MarksATimeOfTwentyFourHoursOrMoreAsUnknown) {
  EXPECT_STREQ(FormatTimeText(At(23, 59) + 59999), "11:59 午後");
  EXPECT_STREQ(FormatTimeText(At(24, 0)), "--:-- 不明");
  EXPECT_STREQ(FormatTimeText(At(25, 30)), "--:-- 不明");
  EXPECT_STREQ(FormatTimeText(0xFFFFFFFFu), "--:-- 不明");
  EXPECT_LE(strlen(FormatTimeText(At(24, 0))), 10u);
  // Whole texts, whatever the caller's buffers held.
  char hour[3] = {'x', 'x', 'x'};
  char minute[3] = {'x', 'x', 'x'};
  const char *half = NULL;
  SplitJobTime(At(24, 0), hour, minute, &half);
  EXPECT_STREQ(hour, "--");
  EXPECT_STREQ(minute, "--");
}

TEST(DecodeJobTime, GivesATimeTheEditorRefusesForTwentyFourHoursOrMore) {
  const char *hour = NULL;
  const char *minute = NULL;
  int half = -1;
  FormatTimeText(At(19, 0));  // the shared scratch text now holds " 7:00 午後"
  DecodeJobTime(At(24, 0), &hour, &minute, &half);
  EXPECT_STREQ(hour, "99");
  EXPECT_STREQ(minute, "99");
  // Out of the 0 to 11 and 0 to 59 ranges, so saving it unchanged is refused
  // instead of storing a time nobody chose.
  EXPECT_GT(ReadBack(hour), 11u);
  EXPECT_GT(ReadBack(minute), 59u);
  EXPECT_EQ(half, 0);
}

TEST(BuildDayMask, SumsOneBitPerIndexWhateverTheOrder) {
  const int weekdays[] = {4, 0, 2};
  EXPECT_EQ(BuildDayMask(weekdays, 3, 0xFF), 0x15u);
  const int dates[] = {30, 0, 14};
  EXPECT_EQ(BuildDayMask(dates, 3, 0xFFFFFFFF), 0x40004001u);
  int all_dates[31];
  for (int i = 0; i < 31; ++i) all_dates[i] = 30 - i;
  EXPECT_EQ(BuildDayMask(all_dates, 31, 0xFFFFFFFF), 0x7FFFFFFFu);
  EXPECT_EQ(BuildDayMask(NULL, 0, 0xFF), 0u);
  // Indices that no list reports add no bit and cause no overflow.
  const int odd[] = {-1, 40, 64, 1};
  EXPECT_EQ(BuildDayMask(odd, 4, 0xFFFFFFFF), 0x2u);
}

TEST(JobIdFromText, ReadsASignedDecimalPrefix) {
  EXPECT_EQ(JobIdFromText("  \t+7x"), 7);
  EXPECT_EQ(JobIdFromText("abc"), 0);
  // An ID above 2^31 was shown negative by "%ld" and reads back to its bits.
  EXPECT_EQ(static_cast<DWORD>(JobIdFromText("-1")), 0xFFFFFFFFu);
  EXPECT_EQ(JobIdFromText("2147483647"), 2147483647);
}

}  // namespace
