// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated clock behind GetLocalTime, Sleep and GetTickCount
// (time_calls.cpp). It either follows the real local clock or stands at a set
// date and time; Sleep moves it (and the tick count) at once instead of
// waiting.
#include <windows.h>

#include <standin/clock.h>

#include <host.h>

#include <chrono>

namespace standin {
namespace {

using Milliseconds = std::chrono::duration<int64_t, std::milli>;

// Local times are kept as milliseconds since 1970-01-01 on the proleptic
// Gregorian calendar, as the standard library's calendar counts them.
SYSTEMTIME CivilFromMilliseconds(int64_t ms) {
  const std::chrono::sys_time<Milliseconds> time{Milliseconds(ms)};
  const std::chrono::sys_days days = std::chrono::floor<std::chrono::days>(time);
  const std::chrono::year_month_day date{days};
  const std::chrono::hh_mm_ss<Milliseconds> of_day{time - days};
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(static_cast<int>(date.year()));
  st.wMonth = static_cast<WORD>(static_cast<unsigned>(date.month()));
  st.wDay = static_cast<WORD>(static_cast<unsigned>(date.day()));
  st.wDayOfWeek = static_cast<WORD>(std::chrono::weekday(days).c_encoding());  // Sunday is 0 in both
  st.wHour = static_cast<WORD>(of_day.hours().count());
  st.wMinute = static_cast<WORD>(of_day.minutes().count());
  st.wSecond = static_cast<WORD>(of_day.seconds().count());
  st.wMilliseconds = static_cast<WORD>(of_day.subseconds().count());
  return st;
}

int64_t MillisecondsFromCivil(const SYSTEMTIME &st) {
  // A day past the month's end counts on into the next month.
  const std::chrono::sys_days days{std::chrono::year(st.wYear) / st.wMonth / 1};
  const auto time = days + std::chrono::days(st.wDay - 1) + std::chrono::hours(st.wHour) +
                    std::chrono::minutes(st.wMinute) + std::chrono::seconds(st.wSecond) +
                    Milliseconds(st.wMilliseconds);
  return std::chrono::duration_cast<Milliseconds>(time.time_since_epoch()).count();
}

struct Clock {
  bool real = true;
  int64_t fixed_local_ms = 0;  // when not real
  int64_t advanced_ms = 0;     // total of Sleep and AdvanceClock
};

Clock &TheClock() {
  static Clock clock;
  return clock;
}

}  // namespace

void SetClock(const SYSTEMTIME &local_time) {
  Clock &clock = TheClock();
  clock.real = false;
  // Earlier pauses keep counting in the tick count, not in the new time.
  clock.fixed_local_ms = MillisecondsFromCivil(local_time) - clock.advanced_ms;
}

void UseRealClock() { TheClock().real = true; }

SYSTEMTIME CurrentClock() {
  const Clock &clock = TheClock();
  const int64_t base = clock.real ? host::LocalMilliseconds() : clock.fixed_local_ms;
  return CivilFromMilliseconds(base + clock.advanced_ms);
}

void AdvanceClock(uint64_t milliseconds) { TheClock().advanced_ms += static_cast<int64_t>(milliseconds); }

uint64_t TickCountMilliseconds() {
  const Clock &clock = TheClock();
  const int64_t base = clock.real ? host::TickMilliseconds() : 0;
  return static_cast<uint64_t>(base + clock.advanced_ms);
}

}  // namespace standin
