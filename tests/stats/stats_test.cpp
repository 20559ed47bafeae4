// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <random>

#include "stats/period_stats.h"

namespace nimbrel::testing {
namespace {

using namespace std::chrono;
constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

struct Record {
  RecordTimePoint time;
  std::array<double, kStatKeys.size()> values;
  double dailyRain;
};

// Five-minute records over a winter with whole days missing, runs of no reading and the day's
// rain as the console keeps it (a running total reset at midnight).
std::vector<Record> Winter() {
  std::mt19937 random(7);
  std::vector<Record> records;
  for (local_days day = local_days{2024y / 12 / 20}; day <= local_days{2025y / 1 / 10};
       day += days{1}) {
    if (day == local_days{2024y / 12 / 24} || day == local_days{2025y / 1 / 2}) {
      continue;
    }
    double rain = 0;
    for (minutes at{0}; at < hours{24}; at += minutes{5}) {
      Record record{day + at, {}, kNone};
      for (std::size_t key = 0; key < kStatKeys.size(); ++key) {
        const bool missing = key >= 13 && key % 3 == 0;  // some channels have no sensor
        record.values[key] = missing || random() % 50 == 0 ? kNone : (random() % 400) / 10.0 - 10;
      }
      if (random() % 40 == 0 && day.time_since_epoch().count() % 3 != 0) {  // some days dry
        rain += 0.3;
      }
      record.dailyRain = random() % 60 == 0 ? kNone : rain;
      records.push_back(record);
    }
  }
  return records;
}

std::vector<DaySummary> DaysOf(const std::vector<Record>& records) {
  std::vector<DaySummary> days;
  for (const Record& record : records) {
    const local_days day = floor<std::chrono::days>(record.time);
    if (days.empty() || days.back().day != day) {
      days.emplace_back().day = day;
    }
    std::array<double, kDayReadingCount> readings{};
    std::copy(record.values.begin(), record.values.end(), readings.begin());
    readings[kDailyRainReading] = record.dailyRain;
    readings[kWindDegreesReading] = kNone;
    days.back().Add(record.time, readings);
  }
  return days;
}

// The period's figures against a separate computation straight from the records.
TEST(PeriodStats, AgreeWithTheRecordsOverMonthsSeasonsAndGaps) {
  const std::vector<Record> records = Winter();
  const std::vector<DaySummary> days = DaysOf(records);
  // A month, the next, and a water year's first months across the new year.
  const DayRange ranges[] = {MonthDays(2024y / 12), MonthDays(2025y / 1), SeasonDays(2024y, 10)};
  for (const DayRange& range : ranges) {
    const PeriodStats stats = Summarize(days, range.first, range.last);
    std::int64_t count = 0;
    std::map<local_days, std::optional<double>> rainOfDay;  // each day with records
    for (std::size_t key = 0; key < kStatKeys.size(); ++key) {
      std::optional<Extreme> high, low;
      double sum = 0;
      std::int64_t n = 0;
      for (const Record& r : records) {
        const local_days day = floor<std::chrono::days>(r.time);
        if (day < range.first || day > range.last) {
          continue;
        }
        if (key == 0) {
          ++count;
          auto& rain = rainOfDay[day];
          rain = std::isnan(r.dailyRain) ? rain : std::max(rain.value_or(0), r.dailyRain);
        }
        const double v = r.values[key];
        if (std::isnan(v)) {
          continue;
        }
        high = !high || v > high->value ? Extreme{v, r.time} : high;
        low = !low || v < low->value ? Extreme{v, r.time} : low;
        sum += v;
        ++n;
      }
      EXPECT_EQ(stats.values[key].high, high) << kStatKeys[key].name;
      EXPECT_EQ(stats.values[key].low, low) << kStatKeys[key].name;
      EXPECT_EQ(stats.values[key].count, n) << kStatKeys[key].name;
      if (n > 0) {
        EXPECT_NEAR(*stats.values[key].Mean(), sum / static_cast<double>(n), 1e-9);
      }
    }
    EXPECT_EQ(stats.records, count);
    double total = 0;
    int wet = 0;
    std::optional<DatedValue> wettest;
    std::vector<local_days> missing;
    for (local_days day = range.first; day <= range.last; day += std::chrono::days{1}) {
      const auto seen = rainOfDay.find(day);
      if (seen == rainOfDay.end()) {
        missing.push_back(day);
      } else if (const auto rain = seen->second) {
        total += *rain;
        wet += *rain > 0 ? 1 : 0;
        wettest = !wettest || *rain > wettest->value ? DatedValue{*rain, day} : wettest;
      }
    }
    EXPECT_NEAR(stats.rainTotal.value_or(-1), total, 1e-9);
    EXPECT_EQ(stats.rainDays, wet);
    EXPECT_EQ(stats.wettestDay, wettest);
    EXPECT_EQ(stats.missingDays, missing);
    EXPECT_EQ(stats.missingDayCount, static_cast<std::int64_t>(missing.size()));
  }
}

// A day without any rain reading has no rain (not none); more than a year of missing days is a
// number, not a list.
TEST(PeriodStats, NoRainReadingAndLongGaps) {
  DaySummary day{local_days{2025y / 3 / 1}};
  std::array<double, kDayReadingCount> readings;
  readings.fill(1.0);
  readings[kDailyRainReading] = kNone;
  day.Add(day.day + hours{1}, readings);
  const PeriodStats stats =
      Summarize({&day, 1}, local_days{2024y / 1 / 1}, local_days{2025y / 12 / 31});
  EXPECT_FALSE(stats.rainTotal);
  EXPECT_EQ(stats.missingDayCount, 366 + 365 - 1);
  EXPECT_TRUE(stats.missingDays.empty());
}

TEST(PeriodStats, MonthsYearsAndRainSeasons) {
  const std::pair<DayRange, DayRange> cases[] = {
      {MonthDays(2024y / 2), {local_days{2024y / 2 / 1}, local_days{2024y / 2 / 29}}},
      {YearDays(2025y), {local_days{2025y / 1 / 1}, local_days{2025y / 12 / 31}}},
      {SeasonDays(2025y, 10), {local_days{2025y / 10 / 1}, local_days{2026y / 9 / 30}}},
      {SeasonDays(2023y, 3), {local_days{2023y / 3 / 1}, local_days{2024y / 2 / 29}}},
  };
  for (const auto& [got, expected] : cases) {
    EXPECT_EQ(got, expected);
  }
}

}  // namespace
}  // namespace nimbrel::testing
