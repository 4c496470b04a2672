// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated clock behind GetLocalTime, Sleep and GetTickCount
// (time_calls.cpp). It either follows the real local clock or stands at a set
// date and time; Sleep moves it (and the tick count) at once instead of
// waiting.
#include <windows.h>

#include <standin/clock.h>

#include <host.h>

namespace standin {
namespace {

constexpr int64_t kMillisecondsPerDay = 86400000;

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
  const unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + static_cast<int64_t>(day_of_era) - 719468;
}

SYSTEMTIME CivilFromMilliseconds(int64_t ms) {
  int64_t days = ms / kMillisecondsPerDay;
  int64_t rest = ms % kMillisecondsPerDay;
  if (rest < 0) {
    rest += kMillisecondsPerDay;
    --days;
  }
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned day_of_era = static_cast<unsigned>(z - era * 146097);
  const unsigned year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const unsigned day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const unsigned mp = (5 * day_of_year + 2) / 153;
  const unsigned day = day_of_year - (153 * mp + 2) / 5 + 1;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = static_cast<int64_t>(year_of_era) + era * 400 + (month <= 2);

  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(year);
  st.wMonth = static_cast<WORD>(month);
  st.wDay = static_cast<WORD>(day);
  // 1970-01-01 was a Thursday (4, counting Sunday as 0).
  st.wDayOfWeek = static_cast<WORD>(((days % 7) + 11) % 7);
  st.wHour = static_cast<WORD>(rest / 3600000);
  st.wMinute = static_cast<WORD>(rest / 60000 % 60);
  st.wSecond = static_cast<WORD>(rest / 1000 % 60);
  st.wMilliseconds = static_cast<WORD>(rest % 1000);
  return st;
}

int64_t MillisecondsFromCivil(const SYSTEMTIME &st) {
  return DaysFromCivil(st.wYear, st.wMonth, st.wDay) * kMillisecondsPerDay +
         ((st.wHour * 60 + st.wMinute) * 60 + st.wSecond) * int64_t{1000} + st.wMilliseconds;
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
