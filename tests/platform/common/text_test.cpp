// SPDX-License-Identifier: GPL-3.0-or-later
#include <standin/text.h>

#include <gtest/gtest.h>

namespace {

// An unreadable byte of the program's text becomes one replacement character, and the text after it is read on.
TEST(StandinText, AnUnreadableByteIsReplacedOnceAndTheRestRead) {
  EXPECT_EQ(standin::Cp932ToUtf8("a\x80z"), "a\xEF\xBF\xBDz");
}

}  // namespace
