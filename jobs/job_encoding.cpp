// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/job_encoding.h"

#include <string.h>

const char *const DayNameTable[7] = {"月", "火", "水", "木", "金", "土", "日"};

char TimeText[11];

namespace {

const DWORD_PTR kMillisecondsPerMinute = 60000;
const DWORD_PTR kMinutesPerDay = 24 * 60;
const DWORD_PTR kHalfDay = 12 * 60 * kMillisecondsPerMinute;

const char kMorning[] = "午前";
const char kAfternoon[] = "午後";

// A JobTime of 24 hours or more is no time of day. The list shows it as
// "--:-- 不明" (unknown), ten bytes like every other time text, and the
// editor gets the hour and minute 99, which its range check refuses, so the
// record cannot be saved again without a real time being entered.
const char kUnknownHourText[] = "--";
const char kUnknownMinuteText[] = "--";
const char kUnknownHalfWord[] = "不明";
const char kUnknownEditorText[] = "99";

// Whole minutes after midnight: seconds and milliseconds dropped.
DWORD_PTR MinutesOfJobTime(DWORD_PTR job_time) { return job_time / 1000 / 60; }

char *Append(char *end, const char *text) {
  size_t length = strlen(text);
  memcpy(end, text, length + 1);
  return end + length;
}

}  // namespace

DWORD_PTR EncodeJobTime(UINT hour, UINT minute, int half_day_index) {
  DWORD_PTR job_time = (static_cast<DWORD_PTR>(hour) * 60 + minute) * kMillisecondsPerMinute;
  if (half_day_index != 0) job_time += kHalfDay;
  return job_time;
}

DWORD BuildDayMask(const int *indices, int count, DWORD width_mask) {
  DWORD mask = 0;
  for (int n = 0; n < count; ++n) {
    int index = indices[n];
    // The lists report indices 0 to 30; anything else has no bit in a mask.
    if (index < 0 || index > 31) continue;
    mask = (mask + (static_cast<DWORD>(1) << index)) & width_mask;
  }
  return mask;
}

void EncodeSchedule(RunUnit unit, const int *weekdays, int weekday_count, const int *dates, int date_count,
                    BOOL weekday_checked, BOOL date_checked, WORD today_weekday, AT_INFO *record) {
  record->DaysOfMonth = 0;
  record->DaysOfWeek = 0;
  record->Flags = 0;
  switch (unit) {
    case Every:
    case Next:
      if (date_checked && date_count > 0) record->DaysOfMonth = BuildDayMask(dates, date_count, 0xFFFFFFFF);
      if (weekday_checked && weekday_count > 0) {
        record->DaysOfWeek = static_cast<UCHAR>(BuildDayMask(weekdays, weekday_count, 0xFF));
      }
      if (unit == Every) record->Flags = JOB_RUN_PERIODICALLY;
      break;
    case Today:
      break;
    case Tomorrow:
      // The clock counts weekdays from Sunday = 0, the mask from Monday =
      // bit 0: bit w is the day after today.
      if (today_weekday < 7) record->DaysOfWeek = static_cast<UCHAR>(1u << today_weekday);
      break;
  }
}

void SplitJobTime(DWORD_PTR job_time, char hour_text[3], char minute_text[3], const char **half_word) {
  DWORD_PTR minutes = MinutesOfJobTime(job_time);
  if (minutes >= kMinutesPerDay) {
    memcpy(hour_text, kUnknownHourText, 3);
    memcpy(minute_text, kUnknownMinuteText, 3);
    *half_word = kUnknownHalfWord;
    return;
  }
  unsigned hour = static_cast<unsigned>(minutes / 60);
  unsigned minute = static_cast<unsigned>(minutes % 60);
  unsigned clock_hour = hour % 12;
  hour_text[0] = clock_hour < 10 ? ' ' : static_cast<char>('0' + clock_hour / 10);
  hour_text[1] = static_cast<char>('0' + clock_hour % 10);
  hour_text[2] = '\0';
  minute_text[0] = static_cast<char>('0' + minute / 10);
  minute_text[1] = static_cast<char>('0' + minute % 10);
  minute_text[2] = '\0';
  *half_word = hour < 12 ? kMorning : kAfternoon;
}

void DecodeJobTime(DWORD_PTR job_time, const char **hour_text, const char **minute_text, int *half_day_index) {
  char *hour = TimeText;
  char *minute = TimeText + 3;
  if (MinutesOfJobTime(job_time) >= kMinutesPerDay) {
    memcpy(hour, kUnknownEditorText, 3);
    memcpy(minute, kUnknownEditorText, 3);
    *half_day_index = 0;
  } else {
    const char *half_word = NULL;
    SplitJobTime(job_time, hour, minute, &half_word);
    *half_day_index = strcmp(half_word, kMorning) == 0 ? 0 : 1;
  }
  *hour_text = hour;
  *minute_text = minute;
}

RunUnit DecodeRunUnit(UCHAR flags, UCHAR days_of_week, DWORD days_of_month) {
  if (flags & JOB_RUN_PERIODICALLY) return Every;
  // Bit 7 of the weekdays and bit 31 of the dates mean no day.
  if ((days_of_week & 0x7F) != 0 || (days_of_month & 0x7FFFFFFF) != 0) return Next;
  if (flags & JOB_RUNS_TODAY) return Today;
  return Tomorrow;
}

const char *FormatTimeText(DWORD_PTR job_time) {
  char hour[3];
  char minute[3];
  const char *half_word = NULL;
  SplitJobTime(job_time, hour, minute, &half_word);
  wsprintfA(TimeText, "%s:%s %s", hour, minute, half_word);
  return TimeText;
}

void FormatScheduleText(UCHAR flags, UCHAR days_of_week, DWORD days_of_month, char *buffer) {
  // Bit 7 of the weekdays and bit 31 of the dates name no day.
  days_of_week &= 0x7F;
  days_of_month &= 0x7FFFFFFF;

  const char *prefix;
  switch (DecodeRunUnit(flags, days_of_week, days_of_month)) {
    case Every:
      prefix = "毎回  ";
      break;
    case Next:
      prefix = "次の  ";
      break;
    case Today:
      prefix = "今日  ";
      break;
    default:
      prefix = "明日  ";
      break;
  }
  char *end = Append(buffer, prefix);

  for (int day = 0; day < 7; ++day) {
    if (days_of_week & (1u << day)) end = Append(end, DayNameTable[day]);
  }
  if (days_of_month != 0) {
    if (days_of_week != 0) end = Append(end, " と ");
    for (int day = 0; day < 31; ++day) {
      if (days_of_month & (1u << day)) end += wsprintfA(end, "%d日 ", day + 1);
    }
  }
}
