// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated clock and the local computer's name, as the program reads them.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <tuple>

#include <standin/clock.h>

#include <host.h>

#include "../netapi32/world.h"

namespace {

TEST(SimulatedClock, MovesOnlyBySleep) {
  Network({"clock 2024-02-28 23:59:30"});
  const DWORD ticks = GetTickCount();
  Sleep(45000);  // across midnight into a leap day
  SYSTEMTIME now{};
  GetLocalTime(&now);
  // Real time passing moves neither the time nor the tick count.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(GetTickCount() - ticks, 45000u);
  // February 29th 2024, a Thursday, 0:00:15.
  EXPECT_EQ(std::tuple(now.wYear, now.wMonth, now.wDay, now.wDayOfWeek, now.wHour, now.wSecond),
            std::tuple(2024, 2, 29, 4, 0, 15));
}

// Without a clock of the network's, time is the host's local time, to the millisecond: here in a zone whose summer
// time, an hour ahead of UTC, began ten days ago and ends in ten.
TEST(HostClock, KeepsTheHostsTimeZone) {
  using namespace std::chrono;
  const char *saved = std::getenv("TZ");
  const std::string kept = saved != nullptr ? saved : "";
  const std::time_t utc = std::time(nullptr) + 3600;
  std::tm today{};
  gmtime_r(&utc, &today);
  const auto day = [&](int shift) { return ",J" + std::to_string((today.tm_yday + 365 + shift) % 365 + 1); };
  setenv("TZ", ("UTC0SUMMER" + day(-10) + day(10)).c_str(), 1);
  tzset();
  Network({"clock 2024-02-28 23:59:30"});
  standin::UseRealClock();  // as a network file without a clock does
  SYSTEMTIME now{};
  GetLocalTime(&now);
  const auto real_ms = [] { return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count(); };
  const int64_t before = real_ms(), reading = standin::host::LocalMilliseconds() - 3600000, after = real_ms();
  saved != nullptr ? setenv("TZ", kept.c_str(), 1) : unsetenv("TZ");
  tzset();
  EXPECT_LE(before, reading);
  EXPECT_LE(reading, after);
  std::tm local{};
  local.tm_year = now.wYear - 1900;
  local.tm_mon = now.wMonth - 1;
  local.tm_mday = now.wDay;
  local.tm_hour = now.wHour;
  local.tm_min = now.wMinute;
  local.tm_sec = now.wSecond;
  // Give or take the pauses of earlier cases, which the clock counts on.
  EXPECT_NEAR(static_cast<double>(timegm(&local)), static_cast<double>(utc), 120);
}

}  // namespace
