// SPDX-License-Identifier: GPL-3.0-or-later
// Conversions between the job editor's values, the Schedule service's job
// record fields and the job list's texts. No windows, no network.
#ifndef VELMORA_JOBS_JOB_ENCODING_H
#define VELMORA_JOBS_JOB_ENCODING_H

#include <windows.h>
#include <lm.h>
#include <lmat.h>

enum RunUnit { Today, Tomorrow, Every, Next };

// Monday to Sunday, one double-byte name each.
extern const char *const DayNameTable[7];

// Scratch text shared by FormatTimeText and DecodeJobTime: each call
// overwrites it.
extern char TimeText[11];

DWORD_PTR EncodeJobTime(UINT hour, UINT minute, int half_day_index);
// Sum of 2^i over the indices; `width_mask` keeps the mask's width after
// each step (0xFF for weekdays, 0xFFFFFFFF for dates).
DWORD BuildDayMask(const int *indices, int count, DWORD width_mask);
// Writes DaysOfMonth, DaysOfWeek and Flags of `record`. `today_weekday` is
// the local clock's weekday, Sunday = 0.
void EncodeSchedule(RunUnit unit, const int *weekdays, int weekday_count, const int *dates, int date_count,
                    BOOL weekday_checked, BOOL date_checked, WORD today_weekday, AT_INFO *record);

// Hour text (2 characters), minute text (2 digits) and half-day word.
void SplitJobTime(DWORD_PTR job_time, char hour_text[3], char minute_text[3], const char **half_word);
// Hour and minute texts for the editor's edits (pointing into TimeText) and
// the AM/PM selector index.
void DecodeJobTime(DWORD_PTR job_time, const char **hour_text, const char **minute_text, int *half_day_index);
// The run unit that a stored record opens as in the editor.
RunUnit DecodeRunUnit(UCHAR flags, UCHAR days_of_week, DWORD days_of_month);

// The list's time column text, in TimeText.
const char *FormatTimeText(DWORD_PTR job_time);
// The list's schedule column text into a cleared buffer of 512 bytes.
void FormatScheduleText(UCHAR flags, UCHAR days_of_week, DWORD days_of_month, char *buffer);

#endif
