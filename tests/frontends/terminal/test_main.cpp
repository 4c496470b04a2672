// SPDX-License-Identifier: GPL-3.0-or-later
// Column widths come from wcwidth, which needs a UTF-8 character type.
#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char **argv) {
  std::setlocale(LC_CTYPE, "C.UTF-8");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
