// The job record that an add stores for each run unit and day choice, as the
// editor's controls give it, and Tomorrow's weekday on each day of the week.
#include <standin/network.h>

#include <cstdio>
#include <string>
#include <vector>

#include "played_scenario.h"

namespace {

struct EditorEntry {
  const char *name;
  int radio;                  // 142 Today ... 145 Next
  bool clear_weekday_check;   // click 155 once before selecting
  bool clear_date_check;      // click 156 once before selecting
  std::vector<int> weekdays;  // list 146 selection
  std::vector<int> dates;     // list 147 selection
  const char *hour;
  const char *minute;
  int half_day;
  // The record the service must hold.
  uint32_t job_time;
  uint8_t flags;
  uint8_t days_of_week;
  uint32_t days_of_month;
};

std::string Selection(const std::vector<int> &indices) {
  std::string text;
  for (int index : indices) text += " " + std::to_string(index);
  return text;
}

std::string AddScenario(const EditorEntry &entry) {
  std::string text =
      "clock 2026-12-07 09:00\n"
      "computer PC01\n"
      "start\n"
      "click 101\n"
      "type 141 \"case.cmd\"\n";
  text += "click " + std::to_string(entry.radio) + "\n";
  if (entry.clear_weekday_check) text += "click 155\n";
  if (entry.clear_date_check) text += "click 156\n";
  if (!entry.weekdays.empty()) text += "select 146" + Selection(entry.weekdays) + "\n";
  if (!entry.dates.empty()) text += "select 147" + Selection(entry.dates) + "\n";
  text += std::string("type 148 \"") + entry.hour + "\"\n";
  text += std::string("type 149 \"") + entry.minute + "\"\n";
  text += "select 154 " + std::to_string(entry.half_day) + "\n";
  text += "click 152\nexpect window DLG_VELMORA\n";
  return text;
}

std::string CheckOnlyJob(const char *computer, uint32_t job_time, uint8_t flags, uint8_t days_of_week,
                         uint32_t days_of_month, const std::u16string &command) {
  std::vector<standin::StoredJob> jobs = standin::JobsOf(computer);
  if (jobs.size() != 1) return "expected one stored job, saw " + std::to_string(jobs.size());
  const standin::StoredJob &job = jobs[0];
  if (job.job_time != job_time || job.flags != flags || job.days_of_week != days_of_week ||
      job.days_of_month != days_of_month || job.command != command) {
    return "stored time=" + std::to_string(job.job_time) + " flags=" + std::to_string(job.flags) +
           " dow=" + std::to_string(job.days_of_week) + " dom=" + std::to_string(job.days_of_month) +
           "; expected time=" + std::to_string(job_time) + " flags=" + std::to_string(flags) +
           " dow=" + std::to_string(days_of_week) + " dom=" + std::to_string(days_of_month);
  }
  return "";
}

const uint32_t kMinute = 60000;

const EditorEntry kEntries[] = {
    {"every_weekdays_evening", 144, false, false, {0, 2, 4}, {}, "7", "0", 1, 19 * 60 * kMinute, 0x01, 0x15, 0},
    {"every_first_and_last_date",
     144,
     false,
     false,
     {},
     {0, 30},
     "11",
     "59",
     0,
     (11 * 60 + 59) * kMinute,
     0x01,
     0,
     0x40000001},
    {"every_all_days_last_minute",
     144,
     false,
     false,
     {0, 1, 2, 3, 4, 5, 6},
     {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30},
     "11",
     "59",
     1,
     (23 * 60 + 59) * kMinute,
     0x01,
     0x7F,
     0x7FFFFFFF},
    {"next_weekday_and_date_at_noon", 145, false, false, {6}, {14}, "0", "0", 1, 12 * 60 * kMinute, 0x00, 0x40, 0x4000},
    {"next_dates_only_weekday_check_cleared",
     145,
     true,
     false,
     {},
     {1},
     "3",
     "5",
     0,
     (3 * 60 + 5) * kMinute,
     0x00,
     0,
     0x2},
    {"every_weekdays_only_date_check_cleared", 144, false, true, {5}, {}, "0", "5", 0, 5 * kMinute, 0x01, 0x20, 0},
    {"today_still_ahead", 142, false, false, {}, {}, "10", "30", 0, (10 * 60 + 30) * kMinute, 0x00, 0, 0},
    {"tomorrow_on_monday", 143, false, false, {}, {}, "9", "0", 1, 21 * 60 * kMinute, 0x00, 0x02, 0},
};

class AddedRecordTest : public ::testing::TestWithParam<EditorEntry> {};

TEST_P(AddedRecordTest, StoresTheEncodedRecord) {
  const EditorEntry &entry = GetParam();
  EXPECT_PLAYED(AddScenario(entry), [&entry]() {
    return CheckOnlyJob("PC01", entry.job_time, entry.flags, entry.days_of_week, entry.days_of_month, u"case.cmd");
  });
}

INSTANTIATE_TEST_SUITE_P(RunUnits, AddedRecordTest, ::testing::ValuesIn(kEntries),
                         [](const ::testing::TestParamInfo<EditorEntry> &info) { return info.param.name; });

// Tomorrow asks for the weekday after today's local date: bit w of the
// Monday-first mask, where w counts today from Sunday = 0.
TEST(TomorrowTest, AsksForTheFollowingWeekdayOnEachDayOfTheWeek) {
  // 2026-12-06 is a Sunday.
  for (int w = 0; w < 7; ++w) {
    SCOPED_TRACE("weekday " + std::to_string(w));
    char date[16];
    std::snprintf(date, sizeof date, "2026-12-%02d", 6 + w);
    std::string text = "clock " + std::string(date) +
                       " 09:00\n"
                       "computer PC01\n"
                       "start\n"
                       "click 101\n"
                       "type 141 \"t.cmd\"\n"
                       "click 143\n"
                       "click 152\n"
                       "expect window DLG_VELMORA\n";
    uint8_t expected = static_cast<uint8_t>(1u << w);
    EXPECT_PLAYED(text, [expected]() { return CheckOnlyJob("PC01", 0, 0x00, expected, 0, u"t.cmd"); });
  }
}

}  // namespace
