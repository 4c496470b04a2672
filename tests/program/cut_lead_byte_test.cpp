// SPDX-License-Identifier: GPL-3.0-or-later
// A name read with a byte limit never keeps half of a double-byte character;
// whole characters, including those whose second byte lies in the lead-byte
// range, stay.
#include <gtest/gtest.h>

#include <string>

#include "target/computer_dialog.h"

namespace {

std::string Dropped(std::string text) {
  DropCutLeadByte(&text[0]);
  return std::string(text.c_str());
}

TEST(DropCutLeadByteTest, DropsOnlyALeadByteLeftAloneAtTheEnd) {
  // Code page 932 bytes: ア is 83 41, ＝ is 81 81 (its trail byte is also a
  // lead byte).
  EXPECT_EQ(Dropped("X\x83\x41\xE0"), "X\x83\x41");
  EXPECT_EQ(Dropped("\x81\x81\x81"), "\x81\x81");
  EXPECT_EQ(Dropped("\x81\x81"), "\x81\x81");
  EXPECT_EQ(Dropped("\xFC"), "");
  // Half-width katakana up to ﾟ (DF) are single bytes.
  EXPECT_EQ(Dropped("A\xDF"), "A\xDF");
  // The last byte of each lead-byte range.
  EXPECT_EQ(Dropped("AB\x9F"), "AB");
  EXPECT_EQ(Dropped("AB\xFC\x40\x9F"), "AB\xFC\x40");
}

}  // namespace
