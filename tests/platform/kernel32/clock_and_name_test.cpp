// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include <standin/network.h>
#include <standin/statement.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

void World(const std::string &line) {
  std::vector<standin::Token> tokens;
  std::string error;
  ASSERT_TRUE(standin::LexStatement(line, &tokens, &error)) << error;
  ASSERT_EQ(standin::ApplyWorldStatement(tokens), "") << line;
}

TEST(SimulatedClock, MovesOnlyBySleep) {
  standin::ResetNetwork();
  SYSTEMTIME now{};
  World("clock 2024-02-28 23:59:30");
  const DWORD ticks = GetTickCount();
  Sleep(45000);  // across midnight into a leap day
  GetLocalTime(&now);
  EXPECT_EQ(GetTickCount() - ticks, 45000u);
  EXPECT_EQ(now.wMonth, 2);
  EXPECT_EQ(now.wDay, 29);
  EXPECT_EQ(now.wDayOfWeek, 4);  // Thursday
  EXPECT_EQ(now.wHour, 0);
  EXPECT_EQ(now.wSecond, 15);
}

TEST(GetComputerNameA, ReportsTheLocalComputerWithThePlatformsSizeRules) {
  standin::ResetNetwork();
  World("computer PC01");
  World("computer SERVERNUMBER-15");
  World("local servernumber-15");

  char name[16];
  DWORD size = sizeof name;
  ASSERT_TRUE(GetComputerNameA(name, &size));
  EXPECT_STREQ(name, "SERVERNUMBER-15");
  EXPECT_EQ(size, 15u);  // without the terminator

  char small[15];
  size = sizeof small;
  SetLastError(0);
  EXPECT_FALSE(GetComputerNameA(small, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
  EXPECT_EQ(size, 16u);  // what it needs, with the terminator

  SetLastError(0);
  EXPECT_FALSE(GetComputerNameA(name, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
