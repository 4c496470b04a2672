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

// A time of 24 hours or more is written whole, terminator included, into a buffer not cleared before.
TEST(SplitJobTime, WritesWholeTextsForTwentyFourHoursOrMore) {
  char hour[3] = {'x', 'x', 'x'}, minute[3] = {'x', 'x', 'x'};
  const char *half = NULL;
  SplitJobTime(24 * 60 * 60000, hour, minute, &half);
  EXPECT_STREQ(hour, "--");
  EXPECT_STREQ(minute, "--");
}

TEST(JobIdFromText, SkipsBlanksAndASignBeforeTheDigits) { EXPECT_EQ(JobIdFromText("  \t+7x"), 7); }

std::string Dropped(std::string text) {
  DropCutLeadByte(&text[0]);
  return std::string(text.c_str());
}

TEST(DropCutLeadByteTest, DropsOnlyALeadByteLeftAloneAtTheEnd) {
  // Code page 932: ア is 83 41, ＝ is 81 81 (its trail byte is also a lead byte); half-width katakana up to ﾟ (DF) are
  // single bytes; 9F and FC end the lead-byte ranges.
  EXPECT_EQ(Dropped("X\x83\x41\xE0"), "X\x83\x41");
  EXPECT_EQ(Dropped("\x81\x81\x81"), "\x81\x81");
  EXPECT_EQ(Dropped("\x81\x81"), "\x81\x81");
  EXPECT_EQ(Dropped("\xFC"), "");
  EXPECT_EQ(Dropped("A\xDF"), "A\xDF");
  EXPECT_EQ(Dropped("AB\x9F"), "AB");
  EXPECT_EQ(Dropped("AB\xFC\x40\x9F"), "AB\xFC\x40");
}

}  // namespace
