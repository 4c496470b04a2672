// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated clock and the local computer's name, as the program reads them.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <tuple>

#include "../netapi32/world.h"
#include "host.h"

namespace {

TEST(SimulatedClock, MovesOnlyBySleep) {
  Network({"clock 2024-02-28 23:59:30"});
  const DWORD ticks = GetTickCount();
  Sleep(45000);  // across midnight into a leap day
  SYSTEMTIME now{};
  GetLocalTime(&now);
  EXPECT_EQ(GetTickCount() - ticks, 45000u);
  // February 29th, a Thursday, 0:00:15.
  EXPECT_EQ(std::tuple(now.wMonth, now.wDay, now.wDayOfWeek, now.wHour, now.wSecond), std::tuple(2, 29, 4, 0, 15));
}

// Without a clock of the network's, time is the host's local time: here
// Japan's, nine hours ahead of UTC all year.
TEST(HostClock, KeepsTheHostsTimeZone) {
  const char *saved = std::getenv("TZ");
  const std::string kept = saved != nullptr ? saved : "";
  setenv("TZ", "JST-9", 1);
  tzset();
  const auto utc = std::chrono::system_clock::now().time_since_epoch();
  const int64_t local = standin::host::LocalMilliseconds();
  saved != nullptr ? setenv("TZ", kept.c_str(), 1) : unsetenv("TZ");
  tzset();
  EXPECT_NEAR(local - std::chrono::duration_cast<std::chrono::milliseconds>(utc).count(), 9 * 3600000, 60000);
}

// The longest name fills the program's buffer; the size comes back without
// the terminator. (Names in the code page are played by local_name_*.)
TEST(GetComputerNameA, ReportsTheLocalComputerInCapitals) {
  Network({"computer SERVERNUMBER-15", "local servernumber-15"});
  char name[16];
  DWORD size = sizeof name;
  ASSERT_TRUE(GetComputerNameA(name, &size));
  EXPECT_STREQ(name, "SERVERNUMBER-15");
  EXPECT_EQ(size, 15u);
}

}  // namespace
