// SPDX-License-Identifier: GPL-3.0-or-later
// Day masks built from list indices, including indices that no list
// reports: the one conversion the scenarios cannot feed such input.
#include "jobs/job_encoding.h"

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

}  // namespace
