// The conversions between job record fields and list and editor texts, at
// the edges that the scenarios do not reach one by one.
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

std::string ScheduleText(UCHAR flags, UCHAR days_of_week, DWORD days_of_month) {
  char buffer[512] = {};
  FormatScheduleText(flags, days_of_week, days_of_month, buffer);
  return buffer;
}

// The editor reads its hour and minute fields back as unsigned decimals with
// leading blanks skipped.
UINT ReadBack(const char *text) { return static_cast<UINT>(strtoul(text, NULL, 10)); }

TEST(FormatTimeText, ShowsTheTwelveHourClockWithItsHalfDayWord) {
  const struct {
    DWORD_PTR job_time;
    const char *text;
  } cases[] = {
      {At(0, 0), " 0:00 午前"},  {At(0, 5), " 0:05 午前"},   {At(9, 30), " 9:30 午前"},  {At(11, 59), "11:59 午前"},
      {At(12, 0), " 0:00 午後"}, {At(12, 30), " 0:30 午後"}, {At(13, 0), " 1:00 午後"},  {At(19, 0), " 7:00 午後"},
      {At(20, 0), " 8:00 午後"}, {At(22, 0), "10:00 午後"},  {At(23, 59), "11:59 午後"},
  };
  for (const auto &c : cases) {
    EXPECT_STREQ(FormatTimeText(c.job_time), c.text) << c.job_time;
    EXPECT_EQ(strlen(c.text), 10u);
  }
  // Seconds and milliseconds that another program stored are dropped.
  EXPECT_STREQ(FormatTimeText(At(1, 2) + 59999), " 1:02 午前");
}

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

TEST(DecodeJobTime, EncodesBackToTheSameJobTimeForEveryMinuteOfTheDay) {
  for (unsigned m = 0; m < 24 * 60; ++m) {
    const char *hour = NULL;
    const char *minute = NULL;
    int half = -1;
    DecodeJobTime(m * kMinute + 1234, &hour, &minute, &half);
    ASSERT_LE(ReadBack(hour), 11u) << m;
    ASSERT_EQ(EncodeJobTime(ReadBack(hour), ReadBack(minute), half), m * kMinute) << m;
  }
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

TEST(FormatScheduleText, NamesThePrefixTheWeekdaysAndTheDates) {
  EXPECT_EQ(ScheduleText(0x01, 0x15, 0), "毎回  月水金");
  EXPECT_EQ(ScheduleText(0x01, 0, 0x4001), "毎回  1日 15日 ");
  EXPECT_EQ(ScheduleText(0x00, 0x02, 0x200), "次の  火 と 10日 ");
  EXPECT_EQ(ScheduleText(0x04, 0, 0), "今日  ");
  EXPECT_EQ(ScheduleText(0x00, 0, 0), "明日  ");
  EXPECT_EQ(ScheduleText(0x01, 0, 0), "毎回  ");
  EXPECT_EQ(ScheduleText(0x01, 0, 0x40000000), "毎回  31日 ");
  // Bits the program neither writes nor reads show nothing.
  EXPECT_EQ(ScheduleText(0x10 | 0x02, 0x80, 0x80000000), "明日  ");
  EXPECT_EQ(ScheduleText(0x04, 0x81, 0), "次の  月");
}

TEST(FormatScheduleText, TheLongestTextIs170Bytes) {
  std::string text = ScheduleText(0x01, 0x7F, 0x7FFFFFFF);
  EXPECT_EQ(text.size(), 170u);
  EXPECT_EQ(text.substr(0, 20), "毎回  月火水木金土日");
  EXPECT_EQ(text.substr(text.size() - 6), " 31日 ");
  // The same text whatever the buffer held before.
  char buffer[512];
  memset(buffer, 'x', sizeof buffer);
  FormatScheduleText(0x01, 0x7F, 0x7FFFFFFF, buffer);
  EXPECT_EQ(std::string(buffer), text);
}

TEST(JobIdFromText, ReadsASignedDecimalPrefix) {
  EXPECT_EQ(JobIdFromText("  \t+7x"), 7);
  EXPECT_EQ(JobIdFromText("abc"), 0);
  // An ID above 2^31 was shown negative by "%ld" and reads back to its bits.
  EXPECT_EQ(static_cast<DWORD>(JobIdFromText("-1")), 0xFFFFFFFFu);
  EXPECT_EQ(JobIdFromText("2147483647"), 2147483647);
}

}  // namespace
