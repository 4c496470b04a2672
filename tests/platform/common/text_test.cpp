// SPDX-License-Identifier: GPL-3.0-or-later
#include <standin/text.h>

#include <gtest/gtest.h>

namespace {

// An unreadable byte or character becomes one replacement character, and the text after it is read on.
TEST(StandinText, AnUnreadableByteIsReplacedOnceAndTheRestRead) {
  EXPECT_EQ(standin::Cp932ToUtf8("a\x80z"), "a\xEF\xBF\xBDz");
  EXPECT_EQ(standin::Utf8ToCp932("\x80z\xDF\xBFz"), "?z?z");  // a stray continuation byte; U+07FF, not in 932
  EXPECT_EQ(standin::Utf8ToUtf16("a\x80z"), u"a\uFFFDz");
}

}  // namespace
